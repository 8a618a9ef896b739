// The seven-parameter estimation as a result (bursa/estimate.h). What the
// original entry point adds to it, the codes it returns and the message it
// shows, is held by the adapters' table (tests/adapters).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "bursa/estimate.h"
#include "bursa/helmert.h"
#include "c_locale.h"
#include "engine/datum.h"
#include "engine/geocentric.h"

using namespace zelk;

namespace {

// Earth-centred points on the Beijing 1954 ellipsoid over a field around
// (lat0, lon0) degrees, spread over sizeKm.
std::vector<PointRecord> Field(int n, double sizeKm, unsigned seed, double lat0 = 30.5,
                               double lon0 = 114.3) {
    std::mt19937 random(seed);
    const double half = sizeKm / 2 / 111.0;  // degrees, roughly
    std::uniform_real_distribution<double> d(-half, half), h(0, 300);
    std::vector<PointRecord> points;
    for (int i = 0; i < n; ++i) {
        const double lat = lat0 + d(random), lon = lon0 + d(random);
        const double B = lat * M_PI / 180, L = lon * M_PI / 180, H = h(random);
        PointRecord p;
        GeodeticToCartesianBatch(DatumOf(DatumId::Beijing54).ellipsoid, &B, &L, &H, &p.X, &p.Y, &p.Z, 1);
        points.push_back(p);
    }
    return points;
}

std::vector<PointRecord> Transformed(const std::vector<PointRecord>& source, const SevenParams& p) {
    double internal[kBursaCount];
    ParamsToInternal(p, internal);
    std::vector<PointRecord> out(source.size());
    for (size_t i = 0; i < source.size(); ++i) out[i] = ApplyBursa(internal, source[i]);
    return out;
}

// A refused estimation gives no parameters.
void ExpectNothing(const BursaEstimate& e) {
    EXPECT_EQ(e.iterations, 0);
    EXPECT_EQ(e.params.dX0, 0.0);
    EXPECT_EQ(e.params.K, 0.0);
    EXPECT_EQ(e.params.betaZ, 0.0);
    EXPECT_TRUE(e.residuals.empty());
}

BursaEstimate Estimate(const std::vector<PointRecord>& target, const std::vector<PointRecord>& source,
                       int n) {
    return EstimateBursa(target.data(), source.data(), n);
}

TEST(Estimate, IdenticalPointsGiveZeroParametersAfterOneCorrection) {
    const auto points = Field(5, 3, 1);
    const BursaEstimate estimate = Estimate(points, points, 5);
    ASSERT_EQ(estimate.status, BursaEstimate::Status::Ok);
    EXPECT_EQ(estimate.iterations, 1);
    const SevenParams& out = estimate.params;
    for (double v : {out.dX0, out.dY0, out.dZ0, out.K, out.betaX, out.betaY, out.betaZ}) {
        EXPECT_EQ(v, 0.0);
    }
    EXPECT_EQ(BursaReportText(estimate),
              "叠带进行了1次.\n平面中误差为 0.000000 m,高程中误差为 0.000000 m,三维中误差为0.000000 m .");
}

TEST(Estimate, RecoversAPureTranslation) {
    const auto source = Field(6, 5, 2);
    SevenParams shift;
    shift.dX0 = 100;
    shift.dY0 = -50;
    shift.dZ0 = 25;
    const auto target = Transformed(source, shift);
    const BursaEstimate estimate = Estimate(target, source, 6);
    const SevenParams& out = estimate.params;
    EXPECT_GE(estimate.iterations, 1);
    EXPECT_NEAR(out.dX0, 100, 1e-9);
    EXPECT_NEAR(out.dY0, -50, 1e-9);
    EXPECT_NEAR(out.dZ0, 25, 1e-9);
    EXPECT_NEAR(out.K, 0, 1e-9);
    EXPECT_NEAR(out.betaX, 0, 1e-9);
    EXPECT_NEAR(out.betaY, 0, 1e-9);
    EXPECT_NEAR(out.betaZ, 0, 1e-9);
    // Below 1e-9 m: six decimals show zeros.
    EXPECT_NE(BursaReportText(estimate).find("平面中误差为 0.000000 m,高程中误差为 0.000000 m,三维中误差为0.000000 m ."),
              std::string::npos);
}

TEST(Estimate, NoiselessAppliedParametersFitBelowAMicrometre) {
    const auto source = Field(12, 4, 3);
    const SevenParams truth{-15.4, 142.7, 83.2, 2.5, 1.2, -0.8, 3.1};
    const auto target = Transformed(source, truth);
    const BursaEstimate estimate = Estimate(target, source, 12);
    const SevenParams& out = estimate.params;
    ASSERT_GE(estimate.iterations, 1);
    // The linearised model fits to rounding: all three figures show zeros.
    const std::string text = BursaReportText(estimate);
    EXPECT_NE(text.find("平面中误差为 0.000000 m,高程中误差为 0.000000 m,三维中误差为0.000000 m ."),
              std::string::npos)
        << text;
    // The linearisation takes its coefficients at the target point and drops
    // the products of scale and rotation: Apply with the estimate reproduces
    // the targets only to a few millimetres, absorbed by the translations.
    const auto fitted = Transformed(source, out);
    for (size_t i = 0; i < source.size(); ++i) {
        EXPECT_NEAR(fitted[i].X, target[i].X, 0.01);
        EXPECT_NEAR(fitted[i].Y, target[i].Y, 0.01);
        EXPECT_NEAR(fitted[i].Z, target[i].Z, 0.01);
    }
}

TEST(Estimate, ErrorFiguresAddUpInQuadrature) {
    auto source = Field(20, 10, 4);
    auto target = Transformed(source, {10, 20, 30, 1, 0.5, 0.5, 0.5});
    std::mt19937 random(9);
    std::normal_distribution<double> noise(0, 0.05);
    for (auto& p : target) {
        p.X += noise(random);
        p.Y += noise(random);
        p.Z += noise(random);
    }
    const BursaEstimate estimate = Estimate(target, source, 20);
    ASSERT_GE(estimate.iterations, 1);
    const std::string text = BursaReportText(estimate);
    double plane = 0, height = 0, spatial = 0;
    const auto number = [&](const char* before) {
        const auto at = text.find(before);
        EXPECT_NE(at, std::string::npos);
        const CLocaleScope cLocale;
        return std::stod(text.substr(at + std::string(before).size()));
    };
    plane = number("平面中误差为 ");
    height = number("高程中误差为 ");
    spatial = number("三维中误差为");
    EXPECT_GT(plane, 0.01);
    EXPECT_NEAR(plane * plane + height * height, spatial * spatial, 1e-5);
    // The figures are made of the residuals at the final parameters.
    double S = 0;
    for (size_t i = 0; i < source.size(); ++i) {
        const BursaResidual r = ResidualAt(estimate.internal.data(), target[i], source[i]);
        S += r.rX * r.rX + r.rY * r.rY + r.rZ * r.rZ;
    }
    EXPECT_NEAR(std::sqrt(S / 20), spatial, 1e-6);
    // ... and the report shows the figures of the result.
    EXPECT_NEAR(estimate.spatialError, spatial, 1e-6);
}

TEST(Estimate, RefusesFewerThanThreePairs) {
    const auto source = Field(2, 2, 6);
    for (int n : {0, 1, 2}) {
        const BursaEstimate estimate = Estimate(source, source, n);
        EXPECT_EQ(estimate.status, BursaEstimate::Status::TooFewPoints);
        ExpectNothing(estimate);
    }
    EXPECT_STREQ(kTooFewCommonPoints, "公共点不足3个，无法解算七参数！");
}

TEST(Estimate, RefusesCoincidentAndCollinearPoints) {
    const auto one = Field(1, 1, 7);
    const std::vector<PointRecord> coincident(5, one[0]);
    // Collinear: five points on a straight line through the field.
    const auto ends = Field(2, 20, 8);
    std::vector<PointRecord> line;
    for (int i = 0; i < 5; ++i) {
        const double t = i / 4.0;
        line.push_back({ends[0].X + t * (ends[1].X - ends[0].X), ends[0].Y + t * (ends[1].Y - ends[0].Y),
                        ends[0].Z + t * (ends[1].Z - ends[0].Z)});
    }
    const std::vector<const std::vector<PointRecord>*> sets = {&coincident, &line};
    for (const std::vector<PointRecord>* set : sets) {
        auto target = Transformed(*set, {1, 2, 3, 0, 0, 0, 0});
        const BursaEstimate estimate = Estimate(target, *set, 5);
        EXPECT_EQ(estimate.status, BursaEstimate::Status::Singular);
        ExpectNothing(estimate);
    }
    EXPECT_STREQ(kSingularNormalEquations, "公共点分布不良，法方程奇异，无法解算七参数！");
}

TEST(Estimate, RealisticFieldPredictsCheckPointsToMillimetres) {
    // 30 common points and 10 check points over a 50 km field; the target
    // datum differs by tens of metres, a few ppm and a few arc-seconds.
    const auto all = Field(40, 50, 10, 36.1, 117.2);
    const SevenParams truth{-48.3, 61.9, 27.4, 3.7, 2.1, -1.6, 4.4};
    const auto exact = Transformed(all, truth);
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0, 0.002);
    std::vector<PointRecord> source(all.begin(), all.begin() + 30);
    std::vector<PointRecord> target(exact.begin(), exact.begin() + 30);
    for (auto& p : target) {
        p.X += noise(random);
        p.Y += noise(random);
        p.Z += noise(random);
    }
    const BursaEstimate estimate = Estimate(target, source, 30);
    ASSERT_GE(estimate.iterations, 1);
    const std::string text = BursaReportText(estimate);
    const CLocaleScope cLocale;
    const double spatial = std::stod(text.substr(text.find("三维中误差为") + std::string("三维中误差为").size()));
    EXPECT_LT(spatial, 0.01);
    EXPECT_GT(spatial, 0.0005);

    double check[kBursaCount];
    ParamsToInternal(estimate.params, check);
    for (int i = 30; i < 40; ++i) {
        const PointRecord p = ApplyBursa(check, all[i]);
        EXPECT_NEAR(p.X, exact[i].X, 0.005) << i;
        EXPECT_NEAR(p.Y, exact[i].Y, 0.005) << i;
        EXPECT_NEAR(p.Z, exact[i].Z, 0.005) << i;
    }
}

}  // namespace
