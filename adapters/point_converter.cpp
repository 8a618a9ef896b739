#include "adapters/point_converter.h"

#include <algorithm>

#include "adapters/conversion.h"

using namespace zelk;

CPointConverter::CPointConverter(int sourceIndex, int targetIndex, double sourceMeridian,
                                 double targetMeridian, const SevenParams& params)
    : m_chain(MainListChain(sourceIndex, targetIndex, sourceMeridian, targetMeridian, params)) {}

CPointConverter::~CPointConverter() = default;

void CPointConverter::Convert(double& a, double& b, double& c) { m_chain.Convert(a, b, c); }

void CPointConverter::ConvertMany(double* values, std::size_t count) {
    constexpr std::size_t kBlock = 64;
    zelk::PointProblem problems[kBlock];
    for (std::size_t i = 0; i < count; i += kBlock) {
        m_chain.Convert(values + 3 * i, problems, std::min(kBlock, count - i));
    }
}
