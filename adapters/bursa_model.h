// The seven-parameter model object of the original program, as a thin
// adapter: SetParams, SetInput and Apply run bursa/helmert.h's arithmetic,
// Estimate runs bursa/estimate.h's estimation and shows its report through
// the message service, as the original dialog expected.
#pragma once

#include "bursa/estimate.h"
#include "bursa/helmert.h"
#include "bursa/seven_params.h"

// Result codes of CBursaModel::Estimate besides the (non-negative) count.
inline constexpr int kEstimateTooFewPoints = -1;  // fewer than three pairs
inline constexpr int kEstimateSingular = -2;      // normal equations singular

class CBursaModel {
public:
    CBursaModel();
    virtual ~CBursaModel();
    CBursaModel(const CBursaModel&) = delete;
    CBursaModel& operator=(const CBursaModel&) = delete;

    void SetParams(const zelk::SevenParams& params);
    void SetInput(zelk::PointRecord point);
    // Transforms the input point into out; neither input nor parameters change.
    void Apply(zelk::PointRecord& out) const;

    // Least-squares estimate of the parameters that take source to target.
    // Shows the report through the message service, then writes out (user
    // units) and returns the number of accepted corrections. With fewer than
    // three pairs, or singular normal equations, shows an error instead,
    // leaves out untouched and returns kEstimateTooFewPoints or
    // kEstimateSingular.
    int Estimate(const zelk::PointRecord* target, const zelk::PointRecord* source, int n, zelk::SevenParams& out);

    // The parameter vector in internal units (read only).
    const double* Internal() const { return m_params; }

private:
    double m_X = 0.0;
    double m_Y = 0.0;
    double m_Z = 0.0;
    double* m_params;
};
