// Site calibrations from end to end: estimated from common-point files,
// saved, read back and applied through the conversion chain to points that
// took no part in the fit; the systems a calibration was made for are
// enforced; parameter files keep every digit.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/number_text.h"
#include "recording_messages.h"
#include "workflow/calibration_run.h"
#include "workflow/chain.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "workflow/parameter_file.h"
#include "workflow_files.h"

using namespace zelk;

namespace {

using zelk::Crs;

Crs System(const char* name, double meridian = 0.0) {
    return zelk::MakeCrs(*zelk::FindSystem(name), zelk::Zoning::Meridian, meridian);
}

// A site on a CGCS2000 Gauss-Kruger grid (meridian 117) and its local grid:
// a known plane similarity and a known quadratic height anomaly.
struct Site {
    double dX = -4411000.0, dY = -437500.0, alpha = 0.0061, K = 1.0000119;
    double x0 = 4412000.0, y0 = 441000.0;

    PointRecord Local(const PointRecord& p) const {
        const double x = dX + K * (p.X * std::cos(alpha) - p.Y * std::sin(alpha));
        const double y = dY + K * (p.X * std::sin(alpha) + p.Y * std::cos(alpha));
        const double u = (p.X - x0) / 1000, v = (p.Y - y0) / 1000;
        const double zeta = 11.2 + 0.05 * u - 0.03 * v + 0.004 * u * u + 0.002 * u * v - 0.003 * v * v;
        return {x, y, p.Z - zeta};
    }
};

std::string Line(const PointRecord& p) {
    return FormatFixed(p.X, 3) + " " + FormatFixed(p.Y, 3) + " " + FormatFixed(p.Z, 3) + "\n";
}

struct Files {
    std::string before, after;
    std::vector<PointRecord> checkBefore, checkAfter;
};

// Control points around the site (a ring of a 3 x 3 grid, moved a little;
// 5 mm of noise on the local side), check points scattered inside.
Files MakeSite(const Site& site, int control, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 0.005);
    std::uniform_real_distribution<double> spread(-2500, 2500), height(40, 90);
    Files files;
    std::uniform_real_distribution<double> jitter(-400, 400);
    const int ring[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}};
    for (int i = 0; i < control; ++i) {
        const PointRecord p{site.x0 + 3000 * ring[i % 8][0] + jitter(random),
                            site.y0 + 3000 * ring[i % 8][1] + jitter(random), height(random)};
        PointRecord q = site.Local(p);
        q.X += noise(random);
        q.Y += noise(random);
        q.Z += noise(random);
        files.before += Line(p);
        files.after += Line(q);
    }
    for (int i = 0; i < 20; ++i) {
        const PointRecord p{site.x0 + spread(random), site.y0 + spread(random), height(random)};
        files.checkBefore.push_back(p);
        files.checkAfter.push_back(site.Local(p));
    }
    return files;
}

EstimationRun Calibrate(const Files& files, const char* after, Transformation::Model model,
                        std::optional<HeightModel> height, TempFolder& folder) {
    WriteFile(folder / "before.txt", files.before);
    WriteFile(folder / "after.txt", files.after);
    EstimationRequest request;
    request.settings.before = System("cgcs2000-gauss", 117);
    request.settings.after = System(after, 117);
    request.settings.model = model;
    request.settings.height = height;
    request.beforeFile = folder / "before.txt";
    request.afterFile = folder / "after.txt";
    return RunEstimation(request);
}

TEST(SiteCalibration, SavedAndAppliedItBringsTwentyCheckPointsWithinTwoCentimetres) {
    const Site site;
    const Files files = MakeSite(site, 8, 11);
    TempFolder folder;
    const EstimationRun run =
        Calibrate(files, "local", Transformation::Model::Four, HeightModel::Quadratic, folder);
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated) << run.estimate.message;

    // Saved and read back: the conversion uses the file, as zelk-cli does.
    std::string error;
    ASSERT_TRUE(SaveParametersFile(folder / "site.params", run.estimate.calibration, "site", error));
    const auto calibration = ReadParametersFile(folder / "site.params", error);
    ASSERT_TRUE(calibration) << error;
    const Crs gauss = System("cgcs2000-gauss", 117), local = System("local");
    const auto there = zelk::ConversionChain::Make(gauss, local, {*calibration}, error);
    ASSERT_TRUE(there) << error;
    const auto back = zelk::ConversionChain::Make(local, gauss, {*calibration}, error);
    ASSERT_TRUE(back) << error;
    for (std::size_t i = 0; i < files.checkBefore.size(); ++i) {
        PointRecord p = files.checkBefore[i];
        there->Convert(p.X, p.Y, p.Z);
        const PointRecord& want = files.checkAfter[i];
        EXPECT_LE(std::hypot(p.X - want.X, p.Y - want.Y), 0.02) << i;
        EXPECT_LE(std::fabs(p.Z - want.Z), 0.02) << i;
        // And back again to where it started.
        back->Convert(p.X, p.Y, p.Z);
        EXPECT_NEAR(p.X, files.checkBefore[i].X, 1e-6);
        EXPECT_NEAR(p.Y, files.checkBefore[i].Y, 1e-6);
        EXPECT_NEAR(p.Z, files.checkBefore[i].Z, 1e-6);
    }
}

TEST(SiteCalibration, WhatEachModelNeeds) {
    const Site site;
    struct Case {
        int control;
        Transformation::Model model;
        std::optional<HeightModel> height;
        const char* after;
        EstimationOutcome outcome;
        const char* message;  // start of the message shown
    };
    const Case cases[] = {
        {2, Transformation::Model::Four, HeightModel::Fixed, "local", EstimationOutcome::Estimated,
         "四参数"},
        {1, Transformation::Model::Four, std::nullopt, "local", EstimationOutcome::TooFewPoints,
         "公共点不足2个，无法解算四参数！"},
        {5, Transformation::Model::Four, HeightModel::Quadratic, "local",
         EstimationOutcome::TooFewPoints, "高程拟合（二次曲面）至少需要6个公共点！"},
        {5, Transformation::Model::Seven, std::nullopt, "local", EstimationOutcome::SettingRefused,
         "七参数连接两个基准，地方坐标只能用四参数点校正！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        TempFolder folder;
        const EstimationRun run =
            Calibrate(MakeSite(site, c.control, 5), c.after, c.model, c.height, folder);
        EXPECT_EQ(run.outcome, c.outcome);
        EXPECT_EQ(run.message.text.rfind(c.message, 0), 0u) << run.message.text;
    }
}

TEST(SiteCalibration, FilesServeOnlyTheSystemsTheyWereMadeFor) {
    Transformation four;
    four.model = Transformation::Model::Four;
    four.four = FourParams{10.0, -20.0, 0.001, 1.00001};
    four.before = System("cgcs2000-gauss", 117);
    four.after = System("local");
    Transformation seven;
    seven.seven = SevenParams{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};
    seven.before = System("beijing54-gauss", 117);
    seven.after = System("wgs84-geodetic");
    Transformation anySystems;  // a file of earlier versions
    anySystems.seven = seven.seven;
    // Asked backwards (--inverse, 反算): only from their after systems.
    Transformation fourBack = four, sevenBack = seven;
    fourBack.inverse = sevenBack.inverse = true;
    const struct {
        const Transformation* file;
        Crs from, to;
        bool fits;
    } cases[] = {
        {&four, System("cgcs2000-gauss", 117), System("local"), true},
        {&four, System("cgcs2000-geodetic"), System("local"), true},  // same datum
        {&four, System("local"), System("cgcs2000-xyz"), true},       // backwards
        {&four, System("cgcs2000-gauss", 120), System("cgcs2000-gauss", 117), false},
        {&four, System("wgs84-geodetic"), System("local"), false},
        {&four, System("cgcs2000-gauss", 117), System("cgcs2000-gauss", 117), false},
        {&seven, System("beijing54-geodetic"), System("wgs84-utm", 117), true},
        {&seven, System("wgs84-geodetic"), System("beijing54-gauss", 117), true},  // backwards
        {&seven, System("wgs84-geodetic"), System("wgs84-utm", 117), false},
        {&seven, System("beijing54-gauss", 117), System("local"), false},
        {&anySystems, System("xian80-geodetic"), System("cgcs2000-xyz"), true},
        {&anySystems, System("local"), System("cgcs2000-xyz"), false},
        {&fourBack, System("local"), System("cgcs2000-gauss", 117), true},
        {&fourBack, System("cgcs2000-gauss", 117), System("local"), false},
        {&sevenBack, System("wgs84-geodetic"), System("beijing54-gauss", 117), true},
        {&sevenBack, System("beijing54-geodetic"), System("wgs84-utm", 117), false},
    };
    for (const auto& c : cases) {
        const std::string problem = ChainProblemText(c.from, c.to, {*c.file});
        EXPECT_EQ(problem.empty(), c.fits) << DescribeSystem(c.from) << " -> " << DescribeSystem(c.to)
                                           << ": " << problem;
    }
}

TEST(ParameterFiles, EveryModelReadsBackItsExactDoubles) {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> any(-1e6, 1e6);
    for (int round = 0; round < 200; ++round) {
        Transformation c;
        c.model = round % 3 == 0   ? Transformation::Model::Seven
                  : round % 3 == 1 ? Transformation::Model::Four
                                   : Transformation::Model::Three;
        c.convention = round % 3 ? RotationConvention::CoordinateFrame
                                 : RotationConvention::PositionVector;
        c.seven = SevenParams{any(random), any(random), any(random), any(random) / 1e6,
                              any(random) / 1e7, any(random) / 1e7, any(random) / 1e7};
        c.four = FourParams{any(random), any(random), any(random) / 1e9, 1 + any(random) / 1e12};
        c.three = ThreeParams{any(random) / 1e3, any(random) / 1e3, any(random) / 1e3};
        c.before = zelk::MakeCrs(*zelk::FindSystem("xian80-gauss"),
                                 round % 4 ? zelk::Zoning::Zone3 : zelk::Zoning::Meridian,
                                 114.3 + round % 60);
        // A plane a fit was made in, in zones, is one zone.
        if (round % 4) c.before->zone = 30 + round % 60;
        c.after = System(c.model == Transformation::Model::Four ? "local" : "cgcs2000-gauss", 117);
        if (round % 5) {
            HeightFit fit;
            fit.model = static_cast<HeightModel>(round % 3);
            fit.x0 = any(random);
            fit.y0 = any(random);
            for (double& a : fit.a) a = any(random) / 1e3;
            for (int j = HeightCoefficients(fit.model); j < 6; ++j) fit.a[static_cast<std::size_t>(j)] = 0;
            c.height = fit;
            // A fit may sit on a geoid model: a name, or a grid file's path.
            if (round % 3 == 0) c.geoid = GeoidModel{round % 2 ? "egm96" : "/grids/my geoid.gtx", nullptr, {}};
        }
        if (c.model != Transformation::Model::Seven) c.convention = RotationConvention::CoordinateFrame;
        std::string error;
        const auto read = ParseParametersFile(FormatParametersFile(c, "comment\nlines"), "f", error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(FormatParametersFile(*read, ""), FormatParametersFile(c, ""));
        EXPECT_EQ(read->geoid.has_value(), c.geoid.has_value());
        if (c.geoid) EXPECT_EQ(read->geoid->name, c.geoid->name);
        if (c.model == Transformation::Model::Four) {
            EXPECT_EQ(read->four.alpha, c.four.alpha);
            EXPECT_EQ(read->four.K, c.four.K);
        } else if (c.model == Transformation::Model::Three) {
            EXPECT_EQ(read->three.dZ, c.three.dZ);
        } else {
            EXPECT_EQ(read->seven.betaZ, c.seven.betaZ);
        }
    }
}

TEST(ParameterFiles, MistakesNameTheirLine) {
    const std::string kFour = "model = four\ndX = 1\ndY = 2\nalpha = 0\nscale = 1\n";
    const std::string kSeven = "dX0 = 1\ndY0 = 2\ndZ0 = 3\nK = 4\nbetaX = 5\nbetaY = 6\nbetaZ = 7\n";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"model = five\n", "f:1: the model 'five' is not seven, three or four"},
        {"model = four\ndX = 1\ndY = 2\nalpha = 0\nscale = 1\nK = 3\n",
         "f:6: unknown parameter 'K' (the names are dX dY alpha scale)"},
        {"model = four\ndX = 1\ndY = 2\nalpha = 0\n", "f: scale is missing (dX, dY, alpha and scale are needed)"},
        {"before-zone = 3\n", "f:1: 'before' names no system for this setting"},
        {"before = mars-gauss\n", "f:1: unknown coordinate system 'mars-gauss'"},
        {"before = cgcs2000-gauss\nbefore-zone = 4\n", "f:2: the zone width '4' is not 3 or 6"},
        {"convention = position\x1b[31m\n",
         "f:1: the convention 'position\\x1b[31m' is not coordinate-frame or position-vector"},
        {"dX0 = 1\ndY0 = 2\ndZ0 = 3\nK = 4\nbetaX = 5\nbetaY = 6\nbetaZ = 7\nheight = plane\n"
         "height-x0 = 1\nheight-y0 = 2\na0 = 1\na1 = 2\n",
         "f: a2 is missing (the height fit needs its centroid and coefficients)"},
        {"dX0 = 1\ndY0 = 2\ndZ0 = 3\nK = 4\nbetaX = 5\nbetaY = 6\nbetaZ = 7\na0 = 1\n",
         "f:8: 'a0' does not belong to this file's model"},
        // What no estimation could have made.
        {kFour + "before = cgcs2000-gauss\nbefore-meridian = 117\nafter = cgcs2000-geodetic\n",
         "f:8: after = cgcs2000-geodetic: 四参数点校正的转换后坐标系统须是投影坐标或地方坐标！"},
        {kFour + "before = cgcs2000-gauss\nbefore-meridian = 117\nafter = cgcs2000-xyz\n",
         "f:8: after = cgcs2000-xyz: 四参数点校正的转换后坐标系统须是投影坐标或地方坐标！"},
        {kFour + "before = cgcs2000-geodetic\nafter = local\n",
         "f:6: before = cgcs2000-geodetic: 四参数点校正的转换前坐标系统须是投影坐标（高斯或UTM）！"},
        {kSeven + "before = beijing54-gauss\nbefore-meridian = 117\n",
         "f: after is missing (a file that names the system on one side names the other too)"},
        {kSeven + "after = local\nbefore = wgs84-geodetic\n",
         "f:8: after = local: 七参数连接两个基准，地方坐标只能用四参数点校正！"},
        {kSeven + "before = wgs84-geodetic\nafter = beijing54-geodetic\nheight = fixed\n"
                  "height-x0 = 1\nheight-y0 = 2\na0 = 1\n",
         "f:9: after = beijing54-geodetic: 七参数加高程拟合时，转换后坐标系统须是投影坐标（高程拟合在其平面上进行）！"},
        {kFour + "before = cgcs2000-gauss\nbefore-zone = 3\nafter = local\n",
         "f:7: before-zone = 3: the fit was made in one zone, and before-zone-number (the zone of the "
         "common points, the first digits of their eastings) is missing"},
        {kFour + "before = cgcs2000-gauss\nbefore-zone = 3\nbefore-meridian = 117\nafter = local\n",
         "f:8: 'before-meridian' and 'before-zone' exclude each other"},
        {kFour + "before = cgcs2000-gauss\nbefore-zone = 3\nbefore-zone-number = 121\nafter = local\n",
         "f:8: the zone '121' is not a 3-degree zone (1 to 120)"},
        {kFour + "before = cgcs2000-gauss\nbefore-zone-number = 39\nafter = local\n",
         "f:7: 'before-zone-number' needs 'before-zone'"},
        {kFour + "before = cgcs2000-geodetic\nbefore-meridian = 117\nafter = local\n",
         "f:7: 'cgcs2000-geodetic' is not projected"},
        // A geoid model serves a height fit.
        {kFour + "geoid = egm96\n",
         "f:6: a geoid model serves a height fit, and this file has none (height = fixed, plane or quadratic)"},
        {kFour + "height = fixed\nheight-x0 = 1\nheight-y0 = 2\na0 = 1\ngeoid =\n",
         "f:10: the geoid is empty (a model name such as egm96, or a grid file)"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseParametersFile(c.text, "f", error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace

TEST(SiteCalibration, PlaneResidualsForThePlotAreAfterMinusTheConvertedBefore) {
    // A 0.3 m blunder in one after easting among eight pairs, for both models.
    const Crs gauss = System("beijing54-gauss", 117), geodetic = System("wgs84-geodetic");
    const zelk::ConversionChain move(geodetic, gauss,
                                     {zelk::Transformation::Seven(SevenParams{-15.25, 120.5, 80.75, 2.5, 0.5, -0.8, 1.2})});
    std::vector<PointRecord> before, after, plane, shifted;
    for (int i = 0; i < 8; ++i) {
        PointRecord b{39.3 + 0.01 * (i % 3) + 0.003 * i, 116.3 + 0.012 * (i / 3) + 0.002 * i, 40.0 + 5 * i};
        PointRecord a = b;
        ASSERT_EQ(move.Convert(a.X, a.Y, a.Z), zelk::PointProblem::None);
        a.X += 0.002 * ((i * 7) % 5 - 2);
        a.Y += 0.002 * ((i * 3) % 5 - 2) + (i == 5 ? 0.3 : 0.0);
        before.push_back(b);
        after.push_back(a);
        // The same after points against plane before points for four parameters.
        PointRecord p = a;
        p.Y += (i == 5 ? -0.3 : 0.0);
        plane.push_back(PointRecord{p.X - 1000.0, p.Y + 2000.0, p.Z});
        shifted.push_back(a);
    }
    CalibrationSettings seven;
    seven.before = geodetic;
    seven.after = gauss;
    CalibrationSettings four;
    four.model = Transformation::Model::Four;
    four.before = gauss;
    four.after = System("local");
    for (const auto& [settings, from, to] :
         {std::tuple{seven, before, after}, std::tuple{four, plane, shifted}}) {
        const CalibrationEstimate e = EstimateCalibration(settings, from, to);
        ASSERT_EQ(e.status, CalibrationEstimate::Status::Estimated) << e.message;
        ASSERT_EQ(e.positions.size(), 8u);
        const bool isSeven = settings.model == Transformation::Model::Seven;
        for (std::size_t i = 0; i < 8; ++i) {
            const CalibrationResidual& r = e.residuals[i];
            if (isSeven) {
                // At the before point converted into the after grid, reaching
                // the after point; the horizontal part of the 3-D residual
                // (which the estimate linearises at the after point: a few
                // millimetres apart over a datum shift of a hundred metres).
                EXPECT_NEAR(e.positions[i].x + r.plane[0], to[i].X, 1e-6) << i;
                EXPECT_NEAR(e.positions[i].y + r.plane[1], to[i].Y, 1e-6) << i;
                EXPECT_LE(std::hypot(r.plane[0], r.plane[1]), r.length + 0.003) << i;
            } else {
                // At the before point, the plane residual itself.
                EXPECT_EQ(e.positions[i].x, from[i].X) << i;
                EXPECT_EQ(e.positions[i].y, from[i].Y) << i;
                EXPECT_EQ(r.plane[0], r.r[0]) << i;
                EXPECT_EQ(r.plane[1], r.r[1]) << i;
            }
        }
        // The blunder: mostly east, after minus converted, so positive.
        EXPECT_TRUE(e.residuals[5].suspect);
        EXPECT_GT(e.residuals[5].plane[1], 0.2);
        EXPECT_GT(std::hypot(e.residuals[5].plane[0], e.residuals[5].plane[1]), 0.9 * e.residuals[5].length);
    }
}

// A calibration made from control points in one 3-degree zone serves points
// of the next zone however they arrive: each is brought into the zone of the
// control points first. Before, a zone-40 easting went into a similarity
// fitted on zone-39 eastings and landed some 743 km away.
TEST(SiteCalibration, MadeInOneZoneItCarriesPointsOfTheNextZone) {
    const Crs geodetic = System("cgcs2000-geodetic");
    const Crs zoned = zelk::MakeCrs(*zelk::FindSystem("cgcs2000-gauss"), zelk::Zoning::Zone3);
    const Crs local = System("local");
    // Five control points at 118.47–118.50°E (zone 39, meridian 117), as
    // B L H in packed DMS, and their local grid: turned, shifted, H − 10 m.
    const double control[][3] = {{31.4500, 118.2812, 30}, {31.4530, 118.2830, 31}, {31.4600, 118.2900, 32},
                                 {31.4510, 118.2950, 33}, {31.4570, 118.2920, 34}};
    const ConversionChain toZoned(geodetic, zoned);
    std::vector<PointRecord> before, after;
    for (const auto& c : control) {
        PointRecord p{c[0], c[1], c[2]};
        ASSERT_EQ(toZoned.Convert(p.X, p.Y, p.Z), PointProblem::None);
        ASSERT_EQ(zelk::ZoneOfEasting(zelk::Zoning::Zone3, p.Y), 39);
        before.push_back(p);
        after.push_back({p.X - 3480000.0 + 0.0001 * (p.Y - 39e6), p.Y - 39400000.0 - 0.0001 * p.X, p.Z - 10});
    }
    CalibrationSettings settings;
    settings.model = Transformation::Model::Four;
    settings.height = HeightModel::Fixed;
    settings.before = zoned;
    settings.after = local;
    const CalibrationEstimate estimate = EstimateCalibration(settings, before, after);
    ASSERT_EQ(estimate.status, CalibrationEstimate::Status::Estimated) << estimate.message;
    ASSERT_TRUE(estimate.calibration.before);
    EXPECT_EQ(estimate.calibration.before->zone, 39);
    EXPECT_NE(estimate.message.find("3度带第39带"), std::string::npos) << estimate.message;
    std::string error;
    const auto saved = ParseParametersFile(FormatParametersFile(estimate.calibration, ""), "f", error);
    ASSERT_TRUE(saved) << error;

    // 118°30′18″, 850 m east of the zone line: the same ground point as
    // B L H, as a zone-40 easting, on the meridian 117 and in zone 39.
    const PointRecord ground{31.4540, 118.3018, 30};
    const auto in = [&](const Crs& crs) {
        PointRecord p = ground;
        EXPECT_EQ(ConversionChain(geodetic, crs).Convert(p.X, p.Y, p.Z), PointProblem::None);
        return p;
    };
    const Crs meridian117 = System("cgcs2000-gauss", 117);
    PointRecord want = in(zelk::InZone(zoned, 39));
    ASSERT_EQ(ConversionChain(zelk::InZone(zoned, 39), local, {*saved}).Convert(want.X, want.Y, want.Z),
              PointProblem::None);
    const struct {
        const char* what;
        Crs from;
        PointRecord point;
    } cases[] = {
        {"B L H", geodetic, ground},
        {"a zone-40 easting", zoned, in(zoned)},
        {"meridian 117", meridian117, in(meridian117)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PointRecord p = c.point;
        ASSERT_EQ(ConversionChain(c.from, local, {*saved}).Convert(p.X, p.Y, p.Z), PointProblem::None);
        EXPECT_LT(std::hypot(p.X - want.X, p.Y - want.Y), 0.001);
        EXPECT_NEAR(p.Z, want.Z, 0.001);
    }
    // Near the site on the local grid, not 743 km off.
    EXPECT_LT(std::hypot(want.X - after[0].X, want.Y - after[0].Y), 5000.0);

    // A dat file in 3-degree zones, through the one conversion path.
    TempFolder folder;
    const PointRecord z40 = in(zoned);
    WriteFile(folder / "in.dat", "P40,," + FormatFixed(z40.Y, 4) + "," + FormatFixed(z40.X, 4) + ",30\n");
    ConversionRequest request;
    request.from = zoned;
    request.to = local;
    request.steps = {*saved};
    request.formats.input = pointformat::FileFormat::Dat;
    request.input = PointInput{folder / "in.dat"};
    request.output = PointOutput{folder / "out.txt"};
    ASSERT_EQ(RequestProblemText(request), "");
    ASSERT_TRUE(ConvertFiles(request, ChainFor(request)).committed);
    const std::string out = ReadFile(folder / "out.txt");
    EXPECT_EQ(out, "P40 " + FormatFixed(want.X, 3) + " " + FormatFixed(want.Y, 3) + " " +
                       FormatFixed(want.Z, 3) + "\n");
}
