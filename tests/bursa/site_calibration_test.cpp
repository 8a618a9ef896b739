// The four-parameter plane similarity and the height fit, on synthetic
// sites whose true transformation is known.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "bursa/four_params.h"
#include "bursa/height_fit.h"
#include "synthetic_sites.h"

using namespace zelk;

namespace {

using synthetic::Site;

// A local grid: origin moved by some 3.4e6 m and 5e5 m, turned by 0.35°,
// scaled by 12.3 ppm.
const FourParams kLocal{-3391234.5678, -498765.4321, 0.35 * M_PI / 180, 1.0000123};

// A height anomaly surface over the site, metres, with x y in metres.
double TrueZeta(double x, double y) {
    const double dx = (x - 3401000.0) / 1000, dy = (y - 499000.0) / 1000;
    return 12.3 + 0.05 * dx - 0.03 * dy + 0.004 * dx * dx - 0.002 * dx * dy + 0.003 * dy * dy;
}

std::vector<GridPoint> Calibrated(const std::vector<GridPoint>& before, const FourParams& p,
                                  double noise, std::mt19937& random) {
    std::normal_distribution<double> n(0, noise);
    std::vector<GridPoint> after;
    for (const GridPoint& b : before) {
        GridPoint a = ApplyFourParams(p, b);
        a.x += n(random);
        a.y += n(random);
        a.H = b.H - TrueZeta(b.x, b.y) + n(random);
        after.push_back(a);
    }
    return after;
}

TEST(FourParams, RecoversKnownTransformationsFromTwoPairsOrMore) {
    const FourParams truths[] = {
        kLocal,
        {152.25, -73.5, -12.0 * M_PI / 180, 0.99998},
        {-1e6, 2e6, 170.0 * M_PI / 180, 1.5},
    };
    for (const FourParams& t : truths) {
        for (int n : {2, 5}) {
            SCOPED_TRACE(testing::Message() << "alpha " << t.alpha << ", " << n << " pairs");
            std::mt19937 random(1);
            const auto before = Site(n, 4, 50 + n);
            const auto after = Calibrated(before, t, 0.0, random);
            const FourParamEstimate e = EstimateFourParams(before.data(), after.data(), n);
            ASSERT_EQ(e.status, FourParamEstimate::Status::Ok);
            EXPECT_NEAR(e.params.dX, t.dX, 1e-6);
            EXPECT_NEAR(e.params.dY, t.dY, 1e-6);
            EXPECT_NEAR(e.params.alpha, t.alpha, 1e-12);
            EXPECT_NEAR(e.params.K, t.K, 1e-12);
            EXPECT_LT(e.planeRms, 1e-6);
            EXPECT_EQ(e.redundancy, 2 * n - 4);
            // Two pairs fix the four parameters and leave nothing to test.
            EXPECT_EQ(e.blunders.performed, n >= 4);
            if (n == 2) {
                EXPECT_EQ(e.seK, 0.0);
            }
        }
    }
}

TEST(FourParams, RefusesTooFewAndCoincidentPoints) {
    const auto before = Site(3, 2, 60);
    EXPECT_EQ(EstimateFourParams(before.data(), before.data(), 1).status,
              FourParamEstimate::Status::TooFewPoints);
    const std::vector<GridPoint> same(3, before[0]);
    EXPECT_EQ(EstimateFourParams(same.data(), before.data(), 3).status,
              FourParamEstimate::Status::Singular);
}

TEST(FourParams, StandardErrorsAgreeWithMonteCarlo) {
    constexpr double kSigma = 0.01;
    constexpr int kRuns = 1000;
    const auto before = Site(6, 3, 61);
    std::mt19937 random(2);
    std::vector<double> values[4];
    double predicted[4] = {};
    for (int run = 0; run < kRuns; ++run) {
        const auto after = Calibrated(before, kLocal, kSigma, random);
        const FourParamEstimate e = EstimateFourParams(before.data(), after.data(), 6);
        values[0].push_back(e.params.dX);
        values[1].push_back(e.params.dY);
        values[2].push_back(e.params.alpha);
        values[3].push_back(e.params.K);
        if (run == 0) {
            // The standard errors scale with s0; at the true sigma:
            const double f = kSigma / e.sigma0;
            const double se[4] = {e.seDX * f, e.seDY * f, e.seAlpha * f, e.seK * f};
            for (int j = 0; j < 4; ++j) predicted[j] = se[j];
        }
    }
    for (int j = 0; j < 4; ++j) {
        double mean = 0, var = 0;
        for (double v : values[j]) mean += v / kRuns;
        for (double v : values[j]) var += (v - mean) * (v - mean) / (kRuns - 1);
        EXPECT_NEAR(std::sqrt(var) / predicted[j], 1.0, 0.1) << j;
    }
}

TEST(FourParams, AThirtyCentimetreBlunderAmongEightPairsIsMarkedAlone) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> angle(0, 2 * M_PI);
    for (int at = 0; at < 8; ++at) {
        for (double noise : {0.01, 0.02}) {
            SCOPED_TRACE(testing::Message() << "pair " << at + 1 << ", noise " << noise);
            const auto before = Site(8, 3, 70 + at);
            auto after = Calibrated(before, kLocal, noise, random);
            const double a = angle(random);
            after[at].x += 0.3 * std::cos(a);
            after[at].y += 0.3 * std::sin(a);
            const FourParamEstimate e = EstimateFourParams(before.data(), after.data(), 8);
            ASSERT_EQ(e.blunders.suspects.size(), 1u);
            EXPECT_EQ(e.blunders.suspects[0], at);
        }
    }
}

TEST(FourParams, CleanSetsOfFourToThirtyPairsMarkNothing) {
    for (int n = 4; n <= 30; ++n) {
        SCOPED_TRACE(n);
        std::mt19937 random(200 + n);
        const auto before = Site(n, 5, 100 + n);
        const auto after = Calibrated(before, kLocal, 0.015, random);
        const FourParamEstimate e = EstimateFourParams(before.data(), after.data(), n);
        EXPECT_TRUE(e.blunders.performed);
        EXPECT_TRUE(e.blunders.suspects.empty());
    }
    std::mt19937 random(99);
    const auto three = Site(3, 5, 99);
    const auto after = Calibrated(three, kLocal, 0.015, random);
    EXPECT_FALSE(EstimateFourParams(three.data(), after.data(), 3).blunders.performed);
}
// ---------------------------------------------------------------- heights

TEST(HeightFit, TooFewPointsForEachModel) {
    const auto before = Site(6, 2, 80);
    std::mt19937 random(5);
    const auto after = Calibrated(before, kLocal, 0.0, random);
    const struct {
        HeightModel model;
        int needed;
    } models[] = {{HeightModel::Fixed, 1}, {HeightModel::Plane, 3}, {HeightModel::Quadratic, 6}};
    for (const auto& m : models) {
        EXPECT_EQ(HeightMinimumPoints(m.model), m.needed);
        EXPECT_EQ(FitHeights(m.model, before.data(), after.data(), m.needed - 1).status,
                  HeightFit::Status::TooFewPoints);
        const HeightFit fit = FitHeights(m.model, before.data(), after.data(), m.needed);
        EXPECT_EQ(fit.status, HeightFit::Status::Ok);
        EXPECT_EQ(fit.redundancy, 0);
        for (double v : fit.residuals) EXPECT_NEAR(v, 0.0, 1e-9);
    }
    // One point fixes the constant.
    const HeightFit one = FitHeights(HeightModel::Fixed, before.data(), after.data(), 1);
    EXPECT_DOUBLE_EQ(one.a[0], before[0].H - after[0].H);
    EXPECT_DOUBLE_EQ(ApplyHeightFit(one, before[0]), after[0].H);
}

TEST(HeightFit, PointsThatCannotFixTheSurfaceAreSingular) {
    // Three on a line for the plane; six on a circle (one conic) for the
    // quadratic.
    std::vector<GridPoint> line, circle;
    for (int i = 0; i < 3; ++i) line.push_back({3400000.0 + 100 * i, 500000.0 + 50 * i, 10});
    for (int i = 0; i < 6; ++i) {
        circle.push_back({3400000.0 + 800 * std::cos(i), 500000.0 + 800 * std::sin(i), 10.0 + i});
    }
    EXPECT_EQ(FitHeights(HeightModel::Plane, line.data(), line.data(), 3).status,
              HeightFit::Status::Singular);
    EXPECT_EQ(FitHeights(HeightModel::Quadratic, circle.data(), circle.data(), 6).status,
              HeightFit::Status::Singular);
    EXPECT_EQ(FitHeights(HeightModel::Plane, circle.data(), circle.data(), 6).status,
              HeightFit::Status::Ok);
}

TEST(HeightFit, QuadraticReproducesAQuadraticSurfaceAnywhere) {
    for (double sizeKm : {0.3, 5.0, 30.0}) {
        SCOPED_TRACE(sizeKm);
        const auto before = Site(9, sizeKm, 81);
        std::mt19937 random(6);
        const auto after = Calibrated(before, kLocal, 0.0, random);
        const HeightFit fit = FitHeights(HeightModel::Quadratic, before.data(), after.data(), 9);
        ASSERT_EQ(fit.status, HeightFit::Status::Ok);
        EXPECT_EQ(fit.redundancy, 3);
        EXPECT_LT(fit.rms, 1e-8);
        for (const GridPoint& p : Site(5, sizeKm * 2, 82)) {
            EXPECT_NEAR(HeightDifference(fit, p.x, p.y), TrueZeta(p.x, p.y), 1e-7);
        }
    }
}

// The site calibration of a surveyor: four parameters and a quadratic
// height fit from 8 control points around a site 5 km across (5 mm noise)
// carry 20 check points inside it, which took no part in the fit, within
// 2 cm.
TEST(SiteCalibration, EightControlPointsCarryTwentyCheckPointsWithinTwoCentimetres) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(-300, 300), h(20, 120);
    std::vector<GridPoint> control;
    for (int i = -1; i <= 1; ++i) {
        for (int j = -1; j <= 1; ++j) {
            if (i == 0 && j == 0) continue;
            control.push_back({3400000.0 + 2500 * i + jitter(random),
                               500000.0 + 2500 * j + jitter(random), h(random)});
        }
    }
    const auto controlAfter = Calibrated(control, kLocal, 0.005, random);
    const auto check = Site(20, 4, 91);
    const auto checkAfter = Calibrated(check, kLocal, 0.0, random);

    const FourParamEstimate plane = EstimateFourParams(control.data(), controlAfter.data(), 8);
    ASSERT_EQ(plane.status, FourParamEstimate::Status::Ok);
    const HeightFit heights =
        FitHeights(HeightModel::Quadratic, control.data(), controlAfter.data(), 8);
    ASSERT_EQ(heights.status, HeightFit::Status::Ok);
    EXPECT_TRUE(plane.blunders.suspects.empty());
    EXPECT_LT(plane.planeRms, 0.01);
    EXPECT_LT(heights.rms, 0.01);
    for (std::size_t i = 0; i < check.size(); ++i) {
        SCOPED_TRACE(i);
        const GridPoint p = ApplyFourParams(plane.params, check[i]);
        EXPECT_LT(std::hypot(p.x - checkAfter[i].x, p.y - checkAfter[i].y), 0.02);
        EXPECT_LT(std::fabs(ApplyHeightFit(heights, check[i]) - checkAfter[i].H), 0.02);
    }
}

}  // namespace
