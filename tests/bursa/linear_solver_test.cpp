#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "bursa/linear_solver.h"

using namespace zelk;

namespace {

TEST(LinearSolver, SolvesWithoutExchangeWhenTheDiagonalExceedsOne) {
    double N[] = {2, 1, 1, 3};
    double u[] = {3, 5};
    EXPECT_EQ(SolveLinearSystem(N, u, 2), 1);
    EXPECT_EQ(u[0], 0.8);
    EXPECT_EQ(u[1], 1.4);
}

TEST(LinearSolver, ExchangesRowsForASmallDiagonal) {
    double N[] = {0.5, 1, 0.8, 1};
    double u[] = {1, 2};
    EXPECT_EQ(SolveLinearSystem(N, u, 2), 1);
    EXPECT_EQ(u[0], 3.333333333333333);
    EXPECT_EQ(u[1], -0.6666666666666666);
}

TEST(LinearSolver, KeepsADiagonalAboveOneWhateverLiesBelow) {
    double N[] = {1.5, 1, 100, 1};
    double u[] = {1, 2};
    double magnitude = 0;
    EXPECT_EQ(FindPivotRow(N, 0, 2, magnitude), 0);
    EXPECT_EQ(magnitude, 1.5);
    EXPECT_EQ(SolveLinearSystem(N, u, 2), 1);
    EXPECT_EQ(u[0], 0.010152284263959421);
    EXPECT_EQ(u[1], 0.9847715736040609);
}

TEST(LinearSolver, PivotScanNeedsStrictlyGreater) {
    double tie[] = {0.5, 0, -0.5, 0};
    double magnitude = 0;
    EXPECT_EQ(FindPivotRow(tie, 0, 2, magnitude), 0);
    EXPECT_EQ(magnitude, 0.5);
    // Equal candidates below keep the earlier row.
    double three[] = {0.1, 0, 0, 0.7, 0, 0, -0.7, 0, 0};
    EXPECT_EQ(FindPivotRow(three, 0, 3, magnitude), 1);
    EXPECT_EQ(magnitude, 0.7);
    // A not-a-number below is never chosen.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double withNan[] = {0.2, 0, nan, 0};
    EXPECT_EQ(FindPivotRow(withNan, 0, 2, magnitude), 0);
    EXPECT_EQ(magnitude, 0.2);
}

TEST(LinearSolver, FailsTheAbsoluteThresholdAndLeavesU) {
    double N[] = {0.0005, 1, 0.0002, 1};
    double u[] = {1, 2};
    EXPECT_EQ(SolveLinearSystem(N, u, 2), 0);
    EXPECT_EQ(u[0], 1.0);
    EXPECT_EQ(u[1], 2.0);

    double zero[9] = {};
    double v[] = {4, 5, 6};
    EXPECT_EQ(SolveLinearSystem(zero, v, 3), 0);
    EXPECT_EQ(v[0], 4.0);
    EXPECT_EQ(v[1], 5.0);
    EXPECT_EQ(v[2], 6.0);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    double nanDiagonal[] = {nan, 1, 1, 1};
    double w[] = {1, 1};
    EXPECT_EQ(SolveLinearSystem(nanDiagonal, w, 2), 0);
}

TEST(LinearSolver, NeverTestsTheLastDiagonal) {
    double N[] = {2, 1, 2, 1};
    double u[] = {1, 2};
    EXPECT_EQ(SolveLinearSystem(N, u, 2), 1);
    EXPECT_EQ(u[0], -std::numeric_limits<double>::infinity());
    EXPECT_EQ(u[1], std::numeric_limits<double>::infinity());
}

TEST(LinearSolver, SizeOneDividesOnly) {
    double N[] = {4};
    double u[] = {3};
    EXPECT_EQ(SolveLinearSystem(N, u, 1), 1);
    EXPECT_EQ(u[0], 0.75);
}

TEST(LinearSolver, SwapTouchesOnlyColumnsFromTheDiagonalOn) {
    // Rows 1 and 2 of a 3x3, exchanged at column 1.
    double N[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    double u[] = {10, 11, 12};
    SwapRows(N + 4, u + 1, 1, 2, 3);
    const double expected[] = {1, 2, 3, 4, 8, 9, 7, 5, 6};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(N[i], expected[i]) << i;
    EXPECT_EQ(u[1], 12.0);
    EXPECT_EQ(u[2], 11.0);
}

TEST(LinearSolver, EliminationLeavesTheSubdiagonalEntry) {
    double N[] = {2, 1, 4, 5};
    double u[] = {1, 4};
    EliminateBelow(N, u, 0, 2);
    EXPECT_EQ(N[2], 4.0);
    EXPECT_EQ(N[3], 3.0);
    EXPECT_EQ(u[1], 2.0);
}

TEST(NormalEquations, AddsWeightedOuterProducts) {
    const double a[] = {1, 2};
    double N[4] = {};
    double u[2] = {};
    AddObservation(a, 2, 3, N, u, 1);
    EXPECT_EQ(N[0], 1.0);
    EXPECT_EQ(N[1], 2.0);
    EXPECT_EQ(N[2], 2.0);
    EXPECT_EQ(N[3], 4.0);
    EXPECT_EQ(u[0], 3.0);
    EXPECT_EQ(u[1], 6.0);

    double N2[4] = {};
    double u2[2] = {};
    AddObservation(a, 2, 3, N2, u2, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(N2[i], 2 * N[i]);
    EXPECT_EQ(u2[0], 6.0);
    EXPECT_EQ(u2[1], 12.0);

    double untouched[1] = {7};
    double uu[1] = {8};
    AddObservation(a, 0, 3, untouched, uu, 1);
    EXPECT_EQ(untouched[0], 7.0);
    EXPECT_EQ(uu[0], 8.0);
}

TEST(LinearSolver, SolvesASevenBySevenSystem) {
    // A well-conditioned symmetric system with a known solution.
    const int n = 7;
    std::vector<double> N(n * n), u(n), x = {1, -2, 3, -4, 5, -6, 7};
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) N[i * n + j] = (i == j ? 10.0 : 1.0 / (1 + i + j));
    for (int i = 0; i < n; ++i) {
        u[i] = 0;
        for (int j = 0; j < n; ++j) u[i] += N[i * n + j] * x[j];
    }
    EXPECT_EQ(SolveLinearSystem(N.data(), u.data(), n), 1);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(u[i], x[i], 1e-12);
}

}  // namespace
