// Three parameters: the mean shift, its residuals and standard errors, the
// span of the points and the blunder test.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bursa/three_params.h"

using namespace zelk;

namespace {

TEST(ThreeParams, TheMeanShiftWithWhatTheNumberOfPairsAllows) {
    const double shift[3] = {-18.217, 110.486, 47.903};
    // Five points some kilometres apart, with millimetres of noise; the
    // fifth 6 cm off in Z.
    const PointRecord before[5] = {{-2850000.0, 4650000.0, 3200000.0},
                                   {-2852100.0, 4649100.0, 3201300.0},
                                   {-2848700.0, 4651200.0, 3199100.0},
                                   {-2851400.0, 4651700.0, 3198600.0},
                                   {-2849300.0, 4648800.0, 3201900.0}};
    const double noise[5][3] = {{0.002, -0.001, 0.001}, {-0.001, 0.002, -0.002}, {0.000, -0.002, 0.001},
                                {-0.001, 0.001, 0.000}, {0.000, 0.000, 0.060}};
    std::vector<PointRecord> after;
    for (int i = 0; i < 5; ++i) {
        after.push_back({before[i].X + shift[0] + noise[i][0], before[i].Y + shift[1] + noise[i][1],
                         before[i].Z + shift[2] + noise[i][2]});
    }
    // One pair: its difference, nothing more.
    const ThreeParamEstimate one = EstimateThreeParams(before, after.data(), 1);
    ASSERT_EQ(one.status, ThreeParamEstimate::Status::Ok);
    EXPECT_EQ(one.params.dX, after[0].X - before[0].X);
    EXPECT_EQ(one.redundancy, 0);
    EXPECT_EQ(one.sigma0, 0.0);
    EXPECT_EQ(one.span, 0.0);
    EXPECT_FALSE(one.blunders.performed);
    // Two pairs: the mean, residuals equal and opposite, standard errors.
    const ThreeParamEstimate two = EstimateThreeParams(before, after.data(), 2);
    EXPECT_NEAR(two.params.dY, shift[1] + (noise[0][1] + noise[1][1]) / 2, 1e-9);
    EXPECT_NEAR(two.residuals[0].X, -two.residuals[1].X, 1e-9);
    EXPECT_EQ(two.redundancy, 3);
    EXPECT_GT(two.seShift, 0.0);
    EXPECT_NEAR(two.seShift, two.sigma0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(two.span, std::sqrt(2100.0 * 2100 + 900.0 * 900 + 1300.0 * 1300), 1e-6);
    // Five: the blunder stands out; left out, a pair differs from the mean
    // of the others by n / (n - 1) times its residual.
    const ThreeParamEstimate five = EstimateThreeParams(before, after.data(), 5);
    ASSERT_TRUE(five.blunders.performed);
    EXPECT_EQ(five.blunders.suspects, std::vector<int>{4});
    EXPECT_NEAR(five.blunders.groups[4].discrepancy[2], five.residuals[4].Z * 5.0 / 4.0, 1e-9);
    // Nothing: too few; a number that is none: refused.
    EXPECT_EQ(EstimateThreeParams(before, after.data(), 0).status, ThreeParamEstimate::Status::TooFewPoints);
    after[1].Y = NAN;
    EXPECT_EQ(EstimateThreeParams(before, after.data(), 2).status, ThreeParamEstimate::Status::Singular);
}

}  // namespace
