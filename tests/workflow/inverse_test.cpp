// Parameters both ways: steps applied backwards, asked for (--inverse, 反算)
// or by themselves (a file made for the opposite direction), through whole
// conversion chains.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "engine/angle.h"
#include "helmert_inverse_lines.h"
#include "workflow/chain.h"
#include "workflow/transformation.h"

using namespace zelk;

namespace {

Crs System(const char* name, double meridian = 0.0) {
    return MakeCrs(*FindSystem(name), Zoning::Meridian, meridian);
}

double Distance(const double a[3], const double b[3]) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

// Metres between two geodetic points (packed DMS, m).
double GroundDistance(const double a[3], const double b[3]) {
    const double north = (DmsToRadian(b[0]) - DmsToRadian(a[0])) * 6371000.0;
    const double east =
        (DmsToRadian(b[1]) - DmsToRadian(a[1])) * 6371000.0 * std::cos(DmsToRadian(a[0]));
    return std::hypot(north, east, b[2] - a[2]);
}

void Convert(const Crs& from, const Crs& to, const std::vector<Transformation>& steps, double v[3]) {
    std::string problem;
    const std::optional<ConversionChain> chain = ConversionChain::Make(from, to, steps, problem);
    ASSERT_TRUE(chain.has_value()) << problem;
    ASSERT_EQ(chain->Convert(v[0], v[1], v[2]), PointProblem::None);
}

// tests/data/helmert_inverse.txt through a chain between two earth-centred
// systems with the typed parameters turned round. "exact" lines: X' is
// PROJ's forward step of X, so the chain's forward step must give X' (to
// the micrometres X and X' are printed with) and its inverse X again (to
// nanometres); "proj-inv" lines: PROJ's +inv, which applies the transposed
// rotation matrix instead of its inverse, only within the line's bound
// |w|²|X| (1 mm at 2.6", 0.75 m at 30-50").
TEST(ParametersBothWays, ThroughTheChainAgainstProj) {
    const Crs from = Crs::Geocentric(DatumId::Wgs84), to = Crs::Geocentric(DatumId::Beijing54);
    int exact = 0, projInverse = 0;
    double negatedWorst = 0;
    for (const HelmertInverseLine& l : HelmertInverseLines()) {
        const SevenParams& p = l.p;
        const std::vector<Transformation> step = {Transformation::Seven(p, l.convention)};
        double back[3] = {l.moved[0], l.moved[1], l.moved[2]};
        Convert(to, from, ReversedChain(step), back);
        EXPECT_LE(Distance(back, l.expected), l.tolerance) << l.text;
        if (l.kind == "exact") {
            double there[3] = {l.expected[0], l.expected[1], l.expected[2]};
            Convert(from, to, step, there);
            EXPECT_LE(Distance(there, l.moved), 2e-6) << l.text;  // both printed to 1 µm
            Convert(to, from, ReversedChain(step), there);
            EXPECT_LE(Distance(there, l.expected), 1e-8) << l.text;
            // What negating the seven values instead would give.
            const SevenParams negated{-p.dX0, -p.dY0, -p.dZ0, -p.K, -p.betaX, -p.betaY, -p.betaZ};
            double flipped[3] = {l.moved[0], l.moved[1], l.moved[2]};
            Convert(to, from, {Transformation::Seven(negated, l.convention)}, flipped);
            negatedWorst = std::max(negatedWorst, Distance(flipped, l.expected));
            ++exact;
        } else {
            ++projInverse;
        }
    }
    EXPECT_EQ(exact, 48);
    EXPECT_EQ(projInverse, 48);
    // The negated parameters are no inverse: off by about |w|²|X| (0.77 m
    // at the 30-50" rotations of the file).
    std::printf("helmert_inverse.txt: negated parameters off by up to %.3f m\n", negatedWorst);
    EXPECT_GT(negatedWorst, 0.7);
}

// A file of seven parameters made from Beijing 1954 to WGS84 serves the
// conversion the other way by itself, with the very doubles of the typed
// parameters asked backwards; with a height fit made in the after plane
// too. Asked backwards where only forwards fits, it is refused, saying so.
TEST(ParametersBothWays, AFileMadeTheOtherWayTurnsItselfRound) {
    Transformation file = Transformation::Seven({-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87});
    file.before = System("beijing54-geodetic");
    file.after = System("wgs84-geodetic");
    Transformation typedBack = Transformation::Seven(file.seven);
    typedBack.inverse = true;
    const double start[3] = {39.54123456, 116.18345678, 52.5};
    double there[3] = {start[0], start[1], start[2]};
    Convert(*file.before, *file.after, {file}, there);
    double back[3] = {there[0], there[1], there[2]};
    Convert(*file.after, *file.before, {file}, back);
    double typed[3] = {there[0], there[1], there[2]};
    Convert(*file.after, *file.before, {typedBack}, typed);
    EXPECT_EQ(back[0], typed[0]);
    EXPECT_EQ(back[1], typed[1]);
    EXPECT_EQ(back[2], typed[2]);
    EXPECT_LE(GroundDistance(back, start), 1e-6);

    // Seven parameters and a plane height fit into CGCS2000 Gauss-Kruger
    // (Krüger's series: the plane goes and comes back to nanometres).
    Transformation fitted = file;
    fitted.before = System("wgs84-geodetic");
    fitted.after = System("cgcs2000-gauss", 117);
    HeightFit fit;
    fit.status = HeightFit::Status::Ok;
    fit.model = HeightModel::Plane;
    fit.x0 = 4418000;
    fit.y0 = 440000;
    fit.a = {-9.8, 0.031, -0.024, 0, 0, 0};
    fitted.height = fit;
    double plane[3] = {start[0], start[1], start[2]};
    Convert(*fitted.before, *fitted.after, {fitted}, plane);
    double home[3] = {plane[0], plane[1], plane[2]};
    Convert(*fitted.after, *fitted.before, {fitted}, home);
    EXPECT_LE(GroundDistance(home, start), 1e-6);

    Transformation wrongWay = file;
    wrongWay.inverse = true;
    EXPECT_EQ(ChainProblemText(*file.before, *file.after, {wrongWay}),
              "参数文件的七参数从beijing54-geodetic转换到wgs84-geodetic（反向使用），"
              "转换前、后坐标系统的基准与之不符！");
}

// A chain of steps made from WGS84 to a site grid (typed seven parameters to
// CGCS2000, then a site calibration), turned round whole, brings the site
// grid back to WGS84.
TEST(ParametersBothWays, AWholeChainTurnedRound) {
    Transformation seven = Transformation::Seven({0.42, -1.3, 0.8, -0.35, 0.012, -0.021, 0.017});
    Transformation four;
    four.model = Transformation::Model::Four;
    four.four = FourParams{-3530368.142, -404212.068, -0.0211, 1.000023};
    four.before = System("cgcs2000-gauss", 117.2);
    four.after = System("local");
    const std::vector<Transformation> chain = {seven, four};
    const Crs wgs84 = System("wgs84-geodetic");
    const double start[3] = {31.5959999, 117.3003, 35.0};
    double site[3] = {start[0], start[1], start[2]};
    Convert(wgs84, System("local"), chain, site);
    double back[3] = {site[0], site[1], site[2]};
    Convert(System("local"), wgs84, ReversedChain(chain), back);
    EXPECT_LE(GroundDistance(back, start), 1e-6);
    // Not turned round, the typed parameters would go forwards from CGCS2000.
    double forwards[3] = {site[0], site[1], site[2]};
    Convert(System("local"), wgs84, {four, seven}, forwards);
    EXPECT_GT(GroundDistance(forwards, start), 1.0);
}

}  // namespace
