// Conversions between the catalogue's systems by their command-line names
// (wgs84-utm, beijing54-gauss, xian80-geodetic, wgs84-xyz ...) through typed
// seven parameters, as both programs build them: for tests that need the
// expected result of a conversion.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "bursa/seven_params.h"
#include "workflow/chain.h"
#include "workflow/coordinate_system.h"
#include "workflow/transformation.h"

namespace named {

// The system of that name; a projected one on the given central meridian
// (packed DMS), which the other forms ignore.
inline zelk::Crs System(std::string_view name, double meridian = 0.0) {
    const zelk::SystemEntry* entry = zelk::FindSystem(name);
    if (!entry) throw std::invalid_argument("no system named " + std::string(name));
    return zelk::MakeCrs(*entry, zelk::Zoning::Meridian, meridian);
}

// The chain from one system to the other through the parameters.
inline zelk::ConversionChain Chain(std::string_view from, double fromMeridian, std::string_view to,
                                   double toMeridian, const zelk::SevenParams& params) {
    return zelk::ConversionChain(System(from, fromMeridian), System(to, toMeridian),
                                 {zelk::Transformation::Seven(params)});
}

// Converts the triple in place.
inline void Convert(std::string_view from, double fromMeridian, std::string_view to,
                    double toMeridian, const zelk::SevenParams& params, double& a, double& b,
                    double& c) {
    Chain(from, fromMeridian, to, toMeridian, params).Convert(a, b, c);
}

}  // namespace named
