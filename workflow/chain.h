// The conversion chain: a pipeline of small operations, chosen by the source
// and target systems and the transformation steps between them.
//
//   source system -> [bridge] -> step 1 -> [bridge] -> step 2 ... -> [bridge]
//                 -> target system
//
// Each transformation step (workflow/transformation.h) starts in the system
// it was made for: a seven-parameter step in earth-centred X Y Z of its
// before datum, a four-parameter step in its before plane (x y H, in one
// zone when the plane is zoned). A bridge carries points between two
// systems of one datum: through X Y Z of the datum (projected or geodetic
// -> B L H -> X Y Z -> B L H -> projected), or, between zoned systems of one
// zone width, straight from one zone into another, leaving a point that is
// already in the right zone untouched. A datum never changes in a bridge:
// only a step changes it.
//
// A step is applied backwards (from its after system to its before system,
// by the exact inverse of each of its operations in reverse order) when it
// says so (Transformation::inverse: parameters made for the opposite
// direction), or by itself when it names its systems and only backwards
// fits: four parameters when the conversion starts in their after system,
// seven when it stands on their after datum and goes on to their before
// datum. The chain is then built the other way round from that step.
//
// Each operation works in place on triples: x y H or B L H (packed DMS) at
// the ends, X Y Z in the middle. B and L pass between operations in packed
// DMS, as they always have: every double is that of the one-point engine
// calls.
//
// A chain also judges each point: a latitude beyond ±90°, a longitude
// beyond ±180°, a projected point more than 6° from its central meridian
// (on either side), an easting without a valid zone number, a target zone
// that does not exist, or a result that is not a finite number. Such a
// point is marked with its problem; its values are computed all the same
// and mean nothing.
//
// Heights above a geoid model (workflow/geoid_model.h): a side whose heights
// are above a geoid adds an operation at that end of the chain, h = H + N
// at the source, H = h − N at the target, N at the point's own latitude
// and longitude (a projected point's through its inverse projection; x and
// y are left as they are). A geocentric side has no such height and a
// local grid no latitude: neither takes a geoid. A step whose height fit
// sits on a geoid corrects heights by the fit and N together, at the plane
// position of the fit. A point outside the grid, or where a node that
// carries weight holds no data, is refused: never N = 0.
//
// A chain is immutable once built, so one chain serves many threads (the
// geoid grids it holds are shared read-only).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workflow/coordinate_system.h"
#include "workflow/transformation.h"

namespace zelk {

namespace grids {
class GeoidGrid;
enum class Sample;
}  // namespace grids

enum class PointProblem : std::uint8_t {
    None,
    LatitudeRange,      // source latitude beyond ±90°
    LongitudeRange,     // source longitude beyond ±180°
    SourceMeridian,     // source point more than 6° from its central meridian
    TargetMeridian,     // converted point more than 6° from the target meridian
    SourceZone,         // easting without a possible zone number
    TargetZone,         // longitude outside every zone (3°: 1..120, 6°: 1..60)
    NotFinite,          // a result that is not a finite number
    FittedPlane,        // more than 6° from the meridian of a plane a step was fitted in
    GeoidOutside,       // outside the geoid grid
    GeoidNoData,        // in a cell of the geoid grid without data
    GeoidUnreadable,    // the geoid grid could not be read for the point
};

// The problem of a point whose undulation the grid did not give (None for
// Sample::Ok).
PointProblem GeoidProblem(grids::Sample sample);

// The geoid models of the two ends of a chain: null for ellipsoidal heights.
struct ChainHeights {
    std::shared_ptr<const grids::GeoidGrid> from, to;
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
    // The chain through steps, in order; nothing, with problem set to the
    // message shown to the user, when they cannot carry points from `from`
    // to `to` (a step made for other systems, a datum change that no step
    // makes, a local grid without a site calibration, a fitted plane in
    // zones without its zone).
    static std::optional<ConversionChain> Make(const Crs& from, const Crs& to,
                                               const std::vector<Transformation>& steps,
                                               std::string& problem,
                                               const ChainHeights& heights = {});
    // The same for steps known to fit (a problem leaves the chain as far as
    // it could be built). Without steps, within one datum.
    ConversionChain(const Crs& from, const Crs& to, const std::vector<Transformation>& steps = {},
                    const ChainHeights& heights = {});
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
    struct Empty {};
    ConversionChain(const Crs& from, const Crs& to, Empty) : m_from(from), m_to(to) {}
    friend class ChainBuilder;

    Crs m_from, m_to;
    std::vector<std::unique_ptr<const ChainStep>> m_steps;
};

// What stops steps from carrying points from `from` to `to`, as shown to the
// user; the empty text when they can (ConversionChain::Make says nothing).
// A side with heights above a geoid must be geodetic or projected.
std::string ChainProblemText(const Crs& from, const Crs& to, const std::vector<Transformation>& steps,
                             const ChainHeights& heights = {});

// What stops a side's heights from being above a geoid, as shown to the
// user; empty when nothing does. side is "转换前" or "转换后".
std::string GeoidSideProblemText(const Crs& crs, std::string_view side);

// The undulation N at one point of a geodetic (B L in packed DMS) or
// projected (x y; with zones, in the zone its easting names) system, as the
// chain finds it; the point's problem, None when N was found.
PointProblem UndulationAt(const Crs& crs, const grids::GeoidGrid& grid, double a, double b, double& N);

// A system as messages name it: its label, and for a projected system its
// central meridian or zones ("CGCS2000-高斯-xyH（3度带第39带（中央子午线117°））").
std::string SystemText(const Crs& crs);

}  // namespace zelk
