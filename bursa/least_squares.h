// Small dense least squares for the estimations from common points: a
// symmetric eigen-decomposition, the fit of a linear model with the inverse
// of its normal matrix, and the leave-one-out test for blunders.
//
// The model is l = A x + v with equal weights, its rows grouped by point (the
// three coordinates of an earth-centred point, the two of a plane point, the
// one height). Callers hand over a design that is already centred on the
// points' centroid and scaled to comparable columns: then the normal matrix
// is well conditioned and its inverse is accurate to about 1e-13 relative.
//
// FitLinear scales the normal matrix N = A^T A to a unit diagonal, takes its
// eigen-decomposition by cyclic Jacobi rotations (Golub & Van Loan, Matrix
// Computations, 4th ed., section 8.5) and inverts it through the eigen
// values; one step of iterative refinement follows. A scaled condition
// number above kSingularCondition counts as singular.
//
// LeaveOneOutTest is the classical test of one group of observations
// against the rest, the externally studentised residual of a group (Koch,
// Parameter Estimation and Hypothesis Testing in Linear Models, 2nd ed.,
// chapter 4, test for outliers). Leaving group i out and refitting predicts its observations with
// the discrepancy d_i = l_i - A_i x_(i), which equals Qvv_i^-1 v_i, where
// Qvv_i = I - A_i N^-1 A_i^T is the group's block of the residuals'
// cofactor matrix; the refit's sum of squares is v'v - v_i' Qvv_i^-1 v_i.
// With m rows a group and f = rows - unknowns,
//   T_i = (v_i' Qvv_i^-1 v_i / m) / s_(i)^2,  s_(i)^2 = (v'v - v_i' Qvv_i^-1 v_i) / (f - m),
// is F(m, f - m) distributed for normal errors when group i holds no
// blunder: the group's discrepancy measured against the spread of the
// others, both from the same refit. So no refit is run; the closed form is
// the refit (a test compares the two). Each round compares every T_i with
// the upper quantile at the per-group level 1 - (1 - a)^(1/k), a the family
// level and k the groups tested (Sidak), so that a set without blunders
// raises an alarm with probability at most a in all. When the largest T_i
// exceeds it, that group is suspected, left out, and the test runs again on
// the others: a blunder pulls the fit towards itself, so that near it a
// sound group left out can seem to disagree with the rest (with 8 pairs
// and 2 cm noise, a 0.3 m blunder does this to a neighbour about once in
// twenty). A group whose Qvv_i is singular (the fit cannot do without it)
// is not tested. The rounds stop at MaximumSuspects: a set with more
// blunders than that does not fit as a whole (systems chosen wrongly, files
// out of step), and the search would take a round a pair.
#pragma once

#include <initializer_list>
#include <vector>

namespace zelk {

// Eigen-decomposition of a symmetric n x n matrix, row-major.
struct SymmetricEigen {
    std::vector<double> values;   // ascending
    std::vector<double> vectors;  // row-major n x n; column k belongs to values[k]
};
SymmetricEigen DecomposeSymmetric(std::vector<double> matrix, int n);

// A linear model observed in groups of rowsPerGroup rows.
struct LinearDesign {
    int unknowns = 0;
    int rowsPerGroup = 1;
    std::vector<double> rows;      // row-major, `unknowns` coefficients a row
    std::vector<double> observed;  // one value a row

    int Rows() const { return static_cast<int>(observed.size()); }
    int Groups() const { return Rows() / rowsPerGroup; }
    void AddRow(std::initializer_list<double> coefficients, double value);
};

inline constexpr double kSingularCondition = 1e13;

struct LinearFit {
    bool solved = false;            // false: singular or not finite
    std::vector<double> solution;   // x
    std::vector<double> residuals;  // v = l - A x, a row each
    double sumSquares = 0.0;        // v'v
    int redundancy = 0;             // rows - unknowns
    std::vector<double> normal;     // N = A^T A, row-major
    std::vector<double> cofactor;   // N^-1 when solved
    double condition = 0.0;         // of N scaled to a unit diagonal
};
LinearFit FitLinear(const LinearDesign& design);

// Result for one group, from the last round it took part in: a suspect's
// from the round that found it, the others' from the final round, that is
// with the suspects left out.
struct GroupTest {
    bool tested = false;
    double statistic = 0.0;              // T_i
    std::vector<double> discrepancy;     // d_i, a value a row of the group
    double discrepancyLength = 0.0;      // |d_i|
    bool suspect = false;
};

struct OutlierTest {
    // False when leaving a group out leaves no redundancy (f - m < 1), when
    // the fit failed, or when no group could be tested.
    bool performed = false;
    // Of the first round, with every group.
    double familyLevel = 0.0;  // a
    double groupLevel = 0.0;   // 1 - (1 - a)^(1/k)
    int tested = 0;            // k
    double numeratorFreedom = 0.0, denominatorFreedom = 0.0;  // m, f - m
    double critical = 0.0;     // upper quantile of F(m, f - m) at groupLevel
    std::vector<GroupTest> groups;
    std::vector<int> suspects;  // indices of suspected groups, ascending
    // The rounds stopped at MaximumSuspects with a group still failing.
    bool tooMany = false;
};

// The most suspects the rounds look for: a fifth of the groups, at least
// two and at most twenty.
int MaximumSuspects(int groups);

// sigmaFloor: s_(i) is taken as at least this (units of the observations),
// so that a set fitting to the rounding of its coordinates raises no alarm.
OutlierTest LeaveOneOutTest(const LinearDesign& design, const LinearFit& fit, double familyLevel,
                            double sigmaFloor);

// Groups needed for the leave-one-out test: the refit without one group
// must keep at least one redundant observation.
int MinimumGroupsForTest(int unknowns, int rowsPerGroup);

}  // namespace zelk
