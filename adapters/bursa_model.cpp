#include "adapters/bursa_model.h"

#include "bursa/estimate.h"
#include "platform/message_box.h"

using namespace zelk;

CBursaModel::CBursaModel() : m_params(new double[kBursaCount]()) {}

CBursaModel::~CBursaModel() { delete[] m_params; }

void CBursaModel::SetParams(const SevenParams& params) { ParamsToInternal(params, m_params); }

void CBursaModel::SetInput(PointRecord point) {
    m_X = point.X;
    m_Y = point.Y;
    m_Z = point.Z;
}

void CBursaModel::Apply(PointRecord& out) const { out = ApplyBursa(m_params, {m_X, m_Y, m_Z}); }

int CBursaModel::Estimate(const PointRecord* target, const PointRecord* source, int n,
                          SevenParams& out) {
    const BursaEstimate estimate = EstimateBursa(target, source, n);
    switch (estimate.status) {
        case BursaEstimate::Status::TooFewPoints:
            ShowMessage(kTooFewCommonPoints, ApplicationName(), MessageIcon::Error);
            return kEstimateTooFewPoints;
        case BursaEstimate::Status::Singular:
            ShowMessage(kSingularNormalEquations, ApplicationName(), MessageIcon::Error);
            return kEstimateSingular;
        case BursaEstimate::Status::Ok:
            break;
    }
    for (int j = 0; j < kBursaCount; ++j) m_params[j] = estimate.internal[j];
    ShowMessage(BursaReportText(estimate), ApplicationName(), MessageIcon::Warning);
    out = estimate.params;
    return estimate.iterations;
}
