// The conversion chain: a pipeline of small steps, chosen by the source and
// target systems and the transformation between their datums.
//
//   source system -> geocentric X Y Z of its datum
//                 -> transformation step (seven parameters, or identity)
//                 -> geocentric X Y Z of the target datum -> target system
//
// Each step works in place on triples: x y H or B L H (packed DMS) at the
// ends, X Y Z in the middle. B and L pass between steps in packed DMS, as
// they always have: every double is that of the one-point engine calls.
//
// A chain also judges each point: a latitude beyond ±90°, a longitude
// beyond ±180°, a projected point more than 6° from its central meridian
// (on either side), an easting without a valid zone number, a target zone
// that does not exist, or a result that is not a finite number. Such a
// point is marked with its problem; its values are computed all the same
// and mean nothing.
//
// A chain is immutable once built, so one chain serves many threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bursa/seven_params.h"
#include "workflow/coordinate_system.h"

namespace zelk {

// What carries geocentric X Y Z of the source datum to the target datum.
struct Transformation {
    enum class Kind {
        Identity,        // the frames are taken as the same
        SevenParameters  // Bursa-Wolf, coordinate-frame rotations
    } kind = Kind::SevenParameters;
    SevenParams seven;  // with SevenParameters, in user units

    static Transformation Identity() { return {Kind::Identity, {}}; }
    static Transformation Seven(const SevenParams& params) {
        return {Kind::SevenParameters, params};
    }
};

enum class PointProblem : std::uint8_t {
    None,
    LatitudeRange,      // source latitude beyond ±90°
    LongitudeRange,     // source longitude beyond ±180°
    SourceMeridian,     // source point more than 6° from its central meridian
    TargetMeridian,     // converted point more than 6° from the target meridian
    SourceZone,         // easting without a possible zone number
    TargetZone,         // longitude outside every zone (3°: 1..120, 6°: 1..60)
    NotFinite,          // a result that is not a finite number
};

// One step of a chain.
class ChainStep {
public:
    virtual ~ChainStep() = default;
    // Works on count triples in values; marks problems of points whose mark
    // is still None.
    virtual void Apply(double* values, PointProblem* problems, std::size_t count) const = 0;
};

class ConversionChain {
public:
    ConversionChain(const Crs& from, const Crs& to, const Transformation& transformation);
    ~ConversionChain();
    ConversionChain(ConversionChain&&) noexcept;
    ConversionChain& operator=(ConversionChain&&) noexcept;

    // Converts count triples in place and marks each point's problem.
    void Convert(double* values, PointProblem* problems, std::size_t count) const;
    // One point.
    PointProblem Convert(double& a, double& b, double& c) const;

    const Crs& From() const { return m_from; }
    const Crs& To() const { return m_to; }

private:
    Crs m_from, m_to;
    std::vector<std::unique_ptr<const ChainStep>> m_steps;
};

}  // namespace zelk
