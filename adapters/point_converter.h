// Converts many points with one set of arguments, as a file conversion does.
//
// Convert gives the very same doubles as ConvertPoint with the arguments
// given to the constructor, but builds the chain once instead of once per
// point. ConvertMany gives them for many points at a time.
#pragma once

#include <cstddef>

#include "bursa/seven_params.h"
#include "workflow/chain.h"

class CPointConverter {
public:
    // Main-list indices; an index outside 0 to 5 leaves that side as X Y Z.
    CPointConverter(int sourceIndex, int targetIndex, double sourceMeridian, double targetMeridian,
                    const zelk::SevenParams& params);
    ~CPointConverter();
    CPointConverter(const CPointConverter&) = delete;
    CPointConverter& operator=(const CPointConverter&) = delete;

    // Converts the triple in place.
    void Convert(double& a, double& b, double& c);

    // Converts count triples in place, values holding a b c of each point
    // in turn: the same doubles as Convert on each, but faster, as the
    // iterations of several points are interleaved.
    void ConvertMany(double* values, std::size_t count);

private:
    zelk::ConversionChain m_chain;
};
