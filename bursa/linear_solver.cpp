#include "bursa/linear_solver.h"

#include <cmath>
#include <utility>

namespace zelk {

void AddObservation(const double* a, int n, double l, double* N, double* u, double w) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) N[i * n + j] += (a[j] * a[i]) * w;
        u[i] += (l * a[i]) * w;
    }
}

int FindPivotRow(const double* diagonal, int i, int n, double& magnitude) {
    double m = std::fabs(diagonal[0]);
    int row = i;
    if (!(m > 1.0)) {
        for (int r = i + 1; r < n; ++r) {
            const double candidate = std::fabs(diagonal[(r - i) * n]);
            if (candidate > m) {
                m = candidate;
                row = r;
            }
        }
    }
    magnitude = m;
    return row != i ? row : 0;
}

void SwapRows(double* diagonal, double* ui, int i, int r, int n) {
    double* other = diagonal + (r - i) * n;
    for (int j = 0; j < n - i; ++j) std::swap(diagonal[j], other[j]);
    std::swap(ui[0], ui[r - i]);
}

void EliminateBelow(double* diagonal, double* ui, int i, int n) {
    for (int r = i + 1; r < n; ++r) {
        double* row = diagonal + (r - i) * n;
        const double c = row[0] / diagonal[0];
        for (int j = 1; j < n - i; ++j) row[j] -= c * diagonal[j];
        ui[r - i] -= c * ui[0];
    }
}

int SolveLinearSystem(double* N, double* u, int n) {
    double* diagonal = N;
    double* ui = u;
    for (int i = 0; i < n - 1; ++i) {
        double magnitude = 0.0;
        const int r = FindPivotRow(diagonal, i, n, magnitude);
        if (!(magnitude >= 0.001)) return 0;
        if (r != 0) SwapRows(diagonal, ui, i, r, n);
        EliminateBelow(diagonal, ui, i, n);
        diagonal += n + 1;
        ui += 1;
    }
    // Back substitution, walking the two positions back up the diagonal.
    ui[0] = ui[0] / diagonal[0];
    for (int i = n - 2; i >= 0; --i) {
        diagonal -= n + 1;
        ui -= 1;
        for (int k = 1; k < n - i; ++k) ui[0] -= diagonal[k] * ui[k];
        ui[0] = ui[0] / diagonal[0];
    }
    return 1;
}

}  // namespace zelk
