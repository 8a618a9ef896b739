#include "bursa/least_squares.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "bursa/statistics.h"

namespace zelk {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The inverse V diag(1/lambda) V^T of a decomposed symmetric matrix.
std::vector<double> InverseOf(const SymmetricEigen& eigen, int n) {
    std::vector<double> inverse(static_cast<std::size_t>(n) * n, 0.0);
    for (int k = 0; k < n; ++k) {
        const double w = 1.0 / eigen.values[k];
        for (int i = 0; i < n; ++i) {
            const double vi = eigen.vectors[i * n + k] * w;
            for (int j = 0; j < n; ++j) inverse[i * n + j] += vi * eigen.vectors[j * n + k];
        }
    }
    return inverse;
}

}  // namespace

SymmetricEigen DecomposeSymmetric(std::vector<double> a, int n) {
    SymmetricEigen result;
    std::vector<double>& v = result.vectors;
    v.assign(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) v[i * n + i] = 1.0;
    for (double x : a) {
        if (!std::isfinite(x)) {
            result.values.assign(static_cast<std::size_t>(n), std::numeric_limits<double>::quiet_NaN());
            return result;
        }
    }
    for (int sweep = 0; sweep < 100; ++sweep) {
        double off = 0.0, diagonal = 0.0;
        for (int i = 0; i < n; ++i) {
            diagonal += a[i * n + i] * a[i * n + i];
            for (int j = i + 1; j < n; ++j) off += a[i * n + j] * a[i * n + j];
        }
        if (!(off > 1e-32 * diagonal)) break;
        for (int p = 0; p < n; ++p) {
            for (int q = p + 1; q < n; ++q) {
                const double apq = a[p * n + q];
                if (apq == 0.0) continue;
                // The rotation that zeroes a[p][q] (Golub & Van Loan 8.5.2).
                const double theta = (a[q * n + q] - a[p * n + p]) / (2.0 * apq);
                const double t = (theta >= 0.0 ? 1.0 : -1.0) /
                                 (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < n; ++k) {
                    const double akp = a[k * n + p], akq = a[k * n + q];
                    a[k * n + p] = c * akp - s * akq;
                    a[k * n + q] = s * akp + c * akq;
                }
                for (int k = 0; k < n; ++k) {
                    const double apk = a[p * n + k], aqk = a[q * n + k];
                    a[p * n + k] = c * apk - s * aqk;
                    a[q * n + k] = s * apk + c * aqk;
                }
                for (int k = 0; k < n; ++k) {
                    const double vkp = v[k * n + p], vkq = v[k * n + q];
                    v[k * n + p] = c * vkp - s * vkq;
                    v[k * n + q] = s * vkp + c * vkq;
                }
            }
        }
    }
    // Sort ascending, vectors along.
    std::vector<int> order(static_cast<std::size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int x, int y) { return a[x * n + x] < a[y * n + y]; });
    result.values.resize(static_cast<std::size_t>(n));
    std::vector<double> sorted(static_cast<std::size_t>(n) * n);
    for (int k = 0; k < n; ++k) {
        result.values[k] = a[order[k] * n + order[k]];
        for (int i = 0; i < n; ++i) sorted[i * n + k] = v[i * n + order[k]];
    }
    v = std::move(sorted);
    return result;
}

void LinearDesign::AddRow(std::initializer_list<double> coefficients, double value) {
    rows.insert(rows.end(), coefficients.begin(), coefficients.end());
    observed.push_back(value);
}

LinearFit FitLinear(const LinearDesign& design) {
    LinearFit fit;
    const int u = design.unknowns, rows = design.Rows();
    fit.redundancy = rows - u;
    fit.normal.assign(static_cast<std::size_t>(u) * u, 0.0);
    std::vector<double> rhs(static_cast<std::size_t>(u), 0.0);
    bool finite = true;
    for (int r = 0; r < rows; ++r) {
        const double* a = &design.rows[static_cast<std::size_t>(r) * u];
        const double l = design.observed[r];
        if (!std::isfinite(l)) finite = false;
        for (int i = 0; i < u; ++i) {
            if (!std::isfinite(a[i])) finite = false;
            for (int j = 0; j < u; ++j) fit.normal[i * u + j] += a[i] * a[j];
            rhs[i] += a[i] * l;
        }
    }
    if (!finite || u == 0 || rows < u) return fit;

    // Scale to a unit diagonal, invert, scale back.
    std::vector<double> scale(static_cast<std::size_t>(u));
    for (int i = 0; i < u; ++i) {
        const double d = fit.normal[i * u + i];
        if (!(d > 0.0)) {
            fit.condition = kInfinity;
            return fit;
        }
        scale[i] = 1.0 / std::sqrt(d);
    }
    std::vector<double> scaled(fit.normal);
    for (int i = 0; i < u; ++i) {
        for (int j = 0; j < u; ++j) scaled[i * u + j] *= scale[i] * scale[j];
    }
    const SymmetricEigen eigen = DecomposeSymmetric(scaled, u);
    const double low = eigen.values.front(), high = eigen.values.back();
    fit.condition = low > 0.0 ? high / low : kInfinity;
    if (!std::isfinite(high) || !(fit.condition <= kSingularCondition)) return fit;
    const std::vector<double> inverse = InverseOf(eigen, u);
    fit.cofactor.resize(static_cast<std::size_t>(u) * u);
    for (int i = 0; i < u; ++i) {
        for (int j = 0; j < u; ++j) fit.cofactor[i * u + j] = inverse[i * u + j] * scale[i] * scale[j];
    }

    const auto residualsAt = [&](const std::vector<double>& x, std::vector<double>& v) {
        v.assign(static_cast<std::size_t>(rows), 0.0);
        for (int r = 0; r < rows; ++r) {
            const double* a = &design.rows[static_cast<std::size_t>(r) * u];
            double computed = 0.0;
            for (int i = 0; i < u; ++i) computed += a[i] * x[i];
            v[r] = design.observed[r] - computed;
        }
    };
    const auto solve = [&](const std::vector<double>& b, std::vector<double>& x) {
        x.assign(static_cast<std::size_t>(u), 0.0);
        for (int i = 0; i < u; ++i) {
            for (int j = 0; j < u; ++j) x[i] += fit.cofactor[i * u + j] * b[j];
        }
    };
    solve(rhs, fit.solution);
    // One step of iterative refinement: x += N^-1 A^T (l - A x).
    residualsAt(fit.solution, fit.residuals);
    std::vector<double> correctionRhs(static_cast<std::size_t>(u), 0.0), correction;
    for (int r = 0; r < rows; ++r) {
        const double* a = &design.rows[static_cast<std::size_t>(r) * u];
        for (int i = 0; i < u; ++i) correctionRhs[i] += a[i] * fit.residuals[r];
    }
    solve(correctionRhs, correction);
    for (int i = 0; i < u; ++i) fit.solution[i] += correction[i];
    residualsAt(fit.solution, fit.residuals);
    for (double v : fit.residuals) fit.sumSquares += v * v;
    fit.solved = true;
    return fit;
}

int MaximumSuspects(int groups) { return std::min(20, std::max(2, groups / 5)); }

int MinimumGroupsForTest(int unknowns, int rowsPerGroup) {
    // (groups - 1) * m - u >= 1.
    return (unknowns + 1 + rowsPerGroup - 1) / rowsPerGroup + 1;
}

namespace {

// One round of the test over every group of a design and its fit.
struct Round {
    bool performed = false;
    int tested = 0;
    double freedom = 0.0, level = 0.0, critical = 0.0;
    std::vector<GroupTest> groups;
};

Round TestRound(const LinearDesign& design, const LinearFit& fit, double familyLevel,
                double sigmaFloor) {
    Round round;
    const int u = design.unknowns, m = design.rowsPerGroup, groups = design.Groups();
    const int freedom = fit.redundancy - m;
    if (!fit.solved || freedom < 1) return round;
    round.freedom = freedom;
    round.groups.resize(static_cast<std::size_t>(groups));
    const double floorSquared = sigmaFloor * sigmaFloor;
    for (int g = 0; g < groups; ++g) {
        GroupTest& result = round.groups[g];
        const double* a = &design.rows[static_cast<std::size_t>(g) * m * u];
        const double* v = &fit.residuals[static_cast<std::size_t>(g) * m];
        // Qvv_i = I - A_i N^-1 A_i^T, symmetrised against rounding.
        std::vector<double> qvv(static_cast<std::size_t>(m) * m);
        for (int r = 0; r < m; ++r) {
            for (int c = 0; c < m; ++c) {
                double s = 0.0;
                for (int i = 0; i < u; ++i) {
                    double t = 0.0;
                    for (int j = 0; j < u; ++j) t += fit.cofactor[i * u + j] * a[c * u + j];
                    s += a[r * u + i] * t;
                }
                qvv[r * m + c] = (r == c ? 1.0 : 0.0) - s;
            }
        }
        for (int r = 0; r < m; ++r) {
            for (int c = r + 1; c < m; ++c) {
                const double mean = (qvv[r * m + c] + qvv[c * m + r]) / 2.0;
                qvv[r * m + c] = qvv[c * m + r] = mean;
            }
        }
        // The group's residuals have no freedom of their own when Qvv_i is
        // (nearly) singular: its eigenvalues lie between 0 and 1.
        const SymmetricEigen eigen = DecomposeSymmetric(qvv, m);
        if (!(eigen.values.front() > 1e-8)) continue;
        const std::vector<double> weight = InverseOf(eigen, m);
        result.discrepancy.assign(static_cast<std::size_t>(m), 0.0);
        double quadratic = 0.0;
        for (int r = 0; r < m; ++r) {
            for (int c = 0; c < m; ++c) result.discrepancy[r] += weight[r * m + c] * v[c];
            quadratic += v[r] * result.discrepancy[r];
        }
        double length = 0.0;
        for (double d : result.discrepancy) length += d * d;
        result.discrepancyLength = std::sqrt(length);
        const double others = std::max(fit.sumSquares - quadratic, 0.0) / freedom;
        result.statistic = (quadratic / m) / std::max(others, floorSquared);
        result.tested = std::isfinite(result.statistic);
        if (result.tested) ++round.tested;
    }
    if (round.tested == 0) return round;
    round.performed = true;
    round.level = -std::expm1(std::log1p(-familyLevel) / round.tested);
    round.critical = FUpperQuantile(round.level, m, freedom);
    return round;
}

}  // namespace

OutlierTest LeaveOneOutTest(const LinearDesign& design, const LinearFit& fit, double familyLevel,
                            double sigmaFloor) {
    OutlierTest test;
    test.familyLevel = familyLevel;
    const int u = design.unknowns, m = design.rowsPerGroup;
    test.groups.resize(static_cast<std::size_t>(design.Groups()));
    // The groups still in the fit, as indices into design.
    std::vector<int> active(test.groups.size());
    std::iota(active.begin(), active.end(), 0);
    LinearDesign current = design;
    LinearFit currentFit = fit;
    for (bool first = true;; first = false) {
        Round round = TestRound(current, currentFit, familyLevel, sigmaFloor);
        if (!round.performed) break;
        if (first) {
            test.performed = true;
            test.tested = round.tested;
            test.numeratorFreedom = m;
            test.denominatorFreedom = round.freedom;
            test.groupLevel = round.level;
            test.critical = round.critical;
        }
        int worst = -1;
        for (std::size_t g = 0; g < active.size(); ++g) {
            GroupTest& result = test.groups[active[g]];
            result = std::move(round.groups[g]);
            if (result.tested && (worst < 0 || result.statistic > test.groups[active[worst]].statistic)) {
                worst = static_cast<int>(g);
            }
        }
        if (worst < 0 || !(test.groups[active[worst]].statistic > round.critical)) break;
        if (static_cast<int>(test.suspects.size()) >= MaximumSuspects(design.Groups())) {
            test.tooMany = true;
            break;
        }
        // The worst group is suspected; the rest are tested again without it.
        test.groups[active[worst]].suspect = true;
        test.suspects.push_back(active[worst]);
        active.erase(active.begin() + worst);
        LinearDesign reduced;
        reduced.unknowns = u;
        reduced.rowsPerGroup = m;
        for (int g : active) {
            const std::size_t row = static_cast<std::size_t>(g) * m;
            reduced.rows.insert(reduced.rows.end(), design.rows.begin() + row * u,
                                design.rows.begin() + (row + m) * u);
            reduced.observed.insert(reduced.observed.end(), design.observed.begin() + row,
                                    design.observed.begin() + row + m);
        }
        current = std::move(reduced);
        currentFit = FitLinear(current);
    }
    std::sort(test.suspects.begin(), test.suspects.end());
    return test;
}

}  // namespace zelk
