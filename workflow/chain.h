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
#include <string>
#include <vector>

#include <optional>

#include "bursa/convention.h"
#include "bursa/four_params.h"
#include "bursa/height_fit.h"
#include "bursa/seven_params.h"
#include "workflow/coordinate_system.h"

namespace zelk {

// What carries a point from the source system to the target system.
//   Identity         the two datums' frames are taken as the same;
//   SevenParameters  Bursa-Wolf on geocentric X Y Z, in either rotation
//                    convention; with a height fit, the target's heights
//                    are then corrected at the target plane position
//                    (the target must be grid, a projected system);
//   FourParameters   a site calibration: the point is brought to the plane
//                    system `plane` (through X Y Z of its datum when it is
//                    another system of that datum), its height corrected by
//                    the height fit at that position, and its x y carried
//                    onto `grid` (a local grid, or a projected system) by a
//                    plane similarity. With `inverse` the other way: from
//                    grid back to plane, and on to the target.
struct Transformation {
    enum class Kind { Identity, SevenParameters, FourParameters } kind = Kind::SevenParameters;
    SevenParams seven;  // with SevenParameters, in user units
    RotationConvention convention = RotationConvention::CoordinateFrame;
    FourParams four;
    Crs plane;  // FourParameters: the system the plane similarity starts from
    Crs grid;   // FourParameters, and a height fit: the system it ends in
    std::optional<HeightFit> height;
    bool inverse = false;  // FourParameters from grid to plane

    static Transformation Identity() {
        Transformation t;
        t.kind = Kind::Identity;
        return t;
    }
    static Transformation Seven(const SevenParams& params,
                                RotationConvention convention = RotationConvention::CoordinateFrame) {
        Transformation t;
        t.seven = params;
        t.convention = convention;
        return t;
    }
};

// What stops a transformation from carrying points between from and to, as
// shown to the user; the empty text when it can. A local grid is reached
// only by a site calibration; a calibration serves the systems it was made
// for.
std::string TransformationProblemText(const Crs& from, const Crs& to,
                                      const Transformation& transformation);

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
    // The transformation must be able to carry points from `from` to `to`
    // (TransformationProblemText says nothing).
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
