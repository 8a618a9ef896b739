// Normal equations and their solution by Gaussian elimination.
//
// Plain arrays owned by the caller, nothing allocated. The normal matrix is
// n x n row-major with both triangles kept. The column steps reach the
// matrix relative to the current diagonal element: the element of the row
// below lies n elements further on.
#pragma once

namespace zelk {

// N += w * a * a^T, u += w * l * a.
void AddObservation(const double* a, int n, double l, double* N, double* u, double w);

// Solves N x = u in place (x lands in u). Returns 1 when solved, 0 when a
// pivot of the columns 0 .. n-2 is below 0.001 in magnitude (or not a
// number); N and u are then left as reduced so far. The last diagonal
// element is never tested.
int SolveLinearSystem(double* N, double* u, int n);

// Pivot for column i, given the position of N[i][i]. The diagonal is kept
// when its magnitude exceeds 1.0; otherwise the rows below are scanned and a
// row replaces the choice only if strictly larger. Returns the row to
// exchange with row i, or 0 to keep row i; magnitude receives the pivot's.
int FindPivotRow(const double* diagonal, int i, int n, double& magnitude);

// Exchanges rows i and r from column i on, and u[i] with u[r].
void SwapRows(double* diagonal, double* ui, int i, int r, int n);

// Eliminates column i from the rows below row i (N[r][i] itself is left).
void EliminateBelow(double* diagonal, double* ui, int i, int n);

}  // namespace zelk
