// Standard errors, weak geometry and blunders of the seven-parameter
// estimate, on synthetic fields whose true parameters are known.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "bursa/bursa_quality.h"
#include "bursa/estimate.h"
#include "synthetic_sites.h"

using namespace zelk;

namespace {

using synthetic::AddNoise;
using synthetic::Field;
using synthetic::Road;
using synthetic::Transformed;

const SevenParams kTruth{-48.3, 61.9, 27.4, 3.7, 2.1, -1.6, 4.4};

struct Assessed {
    BursaEstimate estimate;
    BursaQuality quality;
};

Assessed Assess(const std::vector<PointRecord>& target, const std::vector<PointRecord>& source) {
    Assessed a;
    const int n = static_cast<int>(source.size());
    a.estimate = EstimateBursa(target.data(), source.data(), n);
    a.quality = AssessBursa(target.data(), source.data(), n, a.estimate);
    return a;
}

// The covariance predicted for noise sigma, against the spread of the
// estimates over many noise draws. The raw translations of a field are
// dominated by the rotations through the 6400 km lever arm; the road's
// normal matrix is nearly singular in raw form. Both must come out right.
TEST(SevenPrecision, StandardErrorsAgreeWithMonteCarlo) {
    struct Case {
        const char* what;
        std::vector<PointRecord> source;
    };
    const Case cases[] = {
        {"field 20 km, 10 pairs", Field(10, 20, 21)},
        {"road 20 km, 8 pairs within 30 m of its axis", Road(8, 20, 30, 22)},
    };
    constexpr double kSigma = 0.01;
    constexpr int kRuns = 600;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto exact = Transformed(c.source, kTruth);
        std::mt19937 random(5);
        double sum[kBursaCount] = {}, sum2[kBursaCount] = {};
        std::array<double, kBursaCount * kBursaCount> predicted{};
        for (int run = 0; run < kRuns; ++run) {
            auto target = exact;
            AddNoise(target, kSigma, random);
            const Assessed a = Assess(target, c.source);
            ASSERT_EQ(a.estimate.status, BursaEstimate::Status::Ok);
            ASSERT_TRUE(a.quality.precisionKnown);
            if (run == 0) {
                // The covariance is s0^2 times a cofactor fixed by the geometry.
                const double s2 = a.quality.sigma0 * a.quality.sigma0;
                for (int k = 0; k < kBursaCount * kBursaCount; ++k) {
                    predicted[k] = a.quality.covariance[k] / s2 * kSigma * kSigma;
                }
            }
            for (int j = 0; j < kBursaCount; ++j) {
                sum[j] += a.estimate.internal[j];
                sum2[j] += a.estimate.internal[j] * a.estimate.internal[j];
            }
        }
        for (int j = 0; j < kBursaCount; ++j) {
            const double mean = sum[j] / kRuns;
            const double sd = std::sqrt((sum2[j] / kRuns - mean * mean) * kRuns / (kRuns - 1));
            const double se = std::sqrt(predicted[j * kBursaCount + j]);
            // 600 draws know a standard deviation to about 3 %.
            EXPECT_NEAR(sd / se, 1.0, 0.12) << "parameter " << j << ": " << sd << " vs " << se;
        }
    }
}
// Which sets warn, and which parameters they name (order of BursaIndex:
// tx ty tz k ex ey ez).
TEST(SevenGeometry, WarnsOnlyWhereThePointsCannotFixTheParameters) {
    struct Case {
        const char* what;
        std::vector<PointRecord> source;
        double noise;
        bool lineLike, tooSmall;
        std::array<bool, kBursaCount> named;
    };
    const std::array<bool, kBursaCount> none{}, all{true, true, true, true, true, true, true};
    const std::array<bool, kBursaCount> rotations{true, true, true, false, true, true, true};
    const Case cases[] = {
        {"field 3 km, 8 pairs, 1 cm", Field(8, 3, 31), 0.01, false, false, none},
        {"field 5 km, 6 pairs, 2 cm", Field(6, 5, 32), 0.02, false, false, none},
        {"field 10 km, 4 pairs, 1 cm", Field(4, 10, 33), 0.01, false, false, none},
        {"field 30 km, 10 pairs, 5 cm", Field(10, 30, 34), 0.05, false, false, none},
        {"field 50 km, 30 pairs, 2 mm", Field(30, 50, 35), 0.002, false, false, none},
        {"corridor 20 km x 2 km, 10 pairs, 1 cm", Road(10, 20, 1000, 36), 0.01, false, false, none},
        // The road of the report: six points along 20 km, 1 cm noise.
        {"road 20 km, 6 pairs, 1 cm", Road(6, 20, 0, 37), 0.01, true, true, rotations},
        {"road 20 km within 50 m, 10 pairs, 2 mm", Road(10, 20, 50, 38), 0.002, true, false, rotations},
        // Exact coordinates: tiny standard errors, but the shape gives it away.
        {"road 20 km within 2 m, no noise", Road(6, 20, 2, 39), 0.0, true, false, rotations},
        {"site 300 m, 8 pairs, 1 cm", Field(8, 0.3, 40), 0.01, false, true, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto target = Transformed(c.source, kTruth);
        std::mt19937 random(7);
        AddNoise(target, c.noise, random);
        const Assessed a = Assess(target, c.source);
        ASSERT_EQ(a.estimate.status, BursaEstimate::Status::Ok);
        const BursaQuality& q = a.quality;
        EXPECT_EQ(q.lineLike, c.lineLike) << "condition " << q.condition;
        EXPECT_EQ(q.tooSmall, c.tooSmall) << "rotation se " << q.standardErrors.betaX << " "
                                          << q.standardErrors.betaY << " " << q.standardErrors.betaZ;
        for (int j = 0; j < kBursaCount; ++j) EXPECT_EQ(q.undetermined[j], c.named[j]) << j;
        if (!q.Warns()) {
            // Sound geometry: the estimate is near the truth, within a few
            // standard errors.
            EXPECT_LT(std::fabs(a.estimate.params.betaZ - kTruth.betaZ),
                      4 * q.standardErrors.betaZ + 1e-9);
        }
    }
}
// ---------------------------------------------------------------- blunders

// Clean sets of 4 to 30 pairs mark nothing; over 400 more, about one in a
// hundred raises an alarm (the family level), ten would be too eager.
TEST(SevenBlunders, CleanSetsMarkNothingAndFalseAlarmsStayNearOnePercent) {
    int alarms = 0;
    for (int run = 0; run < 427; ++run) {
        const int n = 4 + run % 27;
        const unsigned seed = run < 27 ? n : 1000 + run;
        const auto source = Field(n, run < 27 ? 10 : 8, 100 + seed);
        auto target = Transformed(source, kTruth);
        std::mt19937 random(200 + seed);
        AddNoise(target, 0.015, random);
        const OutlierTest& test = Assess(target, source).quality.blunders;
        EXPECT_EQ(test.tested, n);
        if (run < 27) {
            EXPECT_TRUE(test.suspects.empty()) << n << " pairs";
        }
        if (!test.suspects.empty()) ++alarms;
    }
    EXPECT_LE(alarms, 10);
}

TEST(SevenBlunders, AThirtyCentimetreBlunderAmongEightPairsIsMarkedAlone) {
    std::mt19937 random(12);
    std::normal_distribution<double> direction(0, 1);
    for (int at = 0; at < 8; ++at) {
        for (double noise : {0.01, 0.02}) {
            SCOPED_TRACE(testing::Message() << "pair " << at + 1 << ", noise " << noise);
            const auto source = Field(8, 5, 300 + at);
            auto target = Transformed(source, kTruth);
            AddNoise(target, noise, random);
            const double ux = direction(random), uy = direction(random), uz = direction(random);
            const double length = std::sqrt(ux * ux + uy * uy + uz * uz);
            target[at].X += 0.3 * ux / length;
            target[at].Y += 0.3 * uy / length;
            target[at].Z += 0.3 * uz / length;
            const OutlierTest& test = Assess(target, source).quality.blunders;
            ASSERT_EQ(test.suspects.size(), 1u);
            EXPECT_EQ(test.suspects[0], at);
            // Left out, the pair shows the blunder's size, not the share
            // the fit spread over the others.
            EXPECT_NEAR(test.groups[at].discrepancyLength, 0.3, 4 * noise);
        }
    }
}

TEST(SevenBlunders, ManyBlundersStopTheSearch) {
    // Thirty pairs, ten of them off by 0.5 m to 256 m, each twice the last:
    // every round finds the largest left, and the rounds stop at a fifth of
    // the pairs.
    const auto source = Field(30, 10, 16);
    auto target = Transformed(source, kTruth);
    std::mt19937 random(17);
    AddNoise(target, 0.01, random);
    for (int i = 0; i < 30; i += 3) target[i].Y += std::ldexp(0.5, i / 3);
    const OutlierTest& test = Assess(target, source).quality.blunders;
    EXPECT_TRUE(test.tooMany);
    EXPECT_EQ(static_cast<int>(test.suspects.size()), MaximumSuspects(30));
    // The largest six.
    EXPECT_EQ(test.suspects, (std::vector<int>{12, 15, 18, 21, 24, 27}));
}
// The closed form of the test is the refit: the discrepancy of each pair
// and the spread of the others, from EstimateBursa without that pair. The
// blunder is found in the first round; the others are tested again in a
// second round without it.
TEST(SevenBlunders, ClosedFormIsTheRefitWithoutThePair) {
    const int n = 7, blunder = 4;
    const auto source = Field(n, 6, 14);
    auto target = Transformed(source, kTruth);
    std::mt19937 random(15);
    AddNoise(target, 0.02, random);
    target[blunder].Z += 0.5;
    const OutlierTest& test = Assess(target, source).quality.blunders;
    ASSERT_TRUE(test.performed);
    EXPECT_EQ(test.numeratorFreedom, 3);
    EXPECT_EQ(test.denominatorFreedom, 3 * n - 7 - 3);
    ASSERT_EQ(test.suspects, std::vector<int>{blunder});
    const auto estimateWithout = [&](int a, int b) {
        std::vector<PointRecord> s, t;
        for (int j = 0; j < n; ++j) {
            if (j == a || j == b) continue;
            s.push_back(source[j]);
            t.push_back(target[j]);
        }
        const BursaEstimate e = EstimateBursa(t.data(), s.data(), static_cast<int>(s.size()));
        EXPECT_EQ(e.status, BursaEstimate::Status::Ok);
        return std::make_pair(e, static_cast<int>(s.size()));
    };
    for (int i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        // The fit the pair was tested in, and the refit without it.
        const int other = i == blunder ? -1 : blunder;
        const auto [fit, fitPairs] = estimateWithout(other, -1);
        const auto [refit, refitPairs] = estimateWithout(other, i);
        const BursaResidual d = ResidualAt(refit.internal.data(), target[i], source[i]);
        const GroupTest& g = test.groups[i];
        ASSERT_TRUE(g.tested);
        EXPECT_NEAR(g.discrepancy[0], d.rX, 1e-6);
        EXPECT_NEAR(g.discrepancy[1], d.rY, 1e-6);
        EXPECT_NEAR(g.discrepancy[2], d.rZ, 1e-6);
        const double others = refit.spatialError * refit.spatialError * refitPairs /
                              (3 * refitPairs - 7);
        const BursaResidual v = ResidualAt(fit.internal.data(), target[i], source[i]);
        const double quadratic = v.rX * d.rX + v.rY * d.rY + v.rZ * d.rZ;
        EXPECT_NEAR(g.statistic, quadratic / 3 / others, 1e-6 * g.statistic);
        EXPECT_EQ(g.suspect, i == blunder);
        (void)fitPairs;
    }
}

}  // namespace
