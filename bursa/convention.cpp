#include "bursa/convention.h"

#include "bursa/helmert.h"

namespace zelk {

const char* ConventionName(RotationConvention convention) {
    return convention == RotationConvention::PositionVector ? "position-vector"
                                                            : "coordinate-frame";
}

std::optional<RotationConvention> ConventionFromName(std::string_view name) {
    if (name == "coordinate-frame") return RotationConvention::CoordinateFrame;
    if (name == "position-vector") return RotationConvention::PositionVector;
    return std::nullopt;
}

SevenParams ConvertConvention(const SevenParams& params, RotationConvention from,
                              RotationConvention to) {
    SevenParams out = params;
    if (from != to) {
        out.betaX = -params.betaX;
        out.betaY = -params.betaY;
        out.betaZ = -params.betaZ;
    }
    return out;
}

namespace {
// params, written in convention, through the engine's step (or its inverse).
PointRecord Apply(const SevenParams& params, RotationConvention convention, const PointRecord& point,
                  PointRecord (*step)(const double*, const PointRecord&)) {
    double internal[kBursaCount];
    ParamsToInternal(ConvertConvention(params, convention, RotationConvention::CoordinateFrame),
                     internal);
    return step(internal, point);
}
}  // namespace

PointRecord ApplySevenParams(const SevenParams& params, RotationConvention convention,
                             const PointRecord& point) {
    return Apply(params, convention, point, ApplyBursa);
}

PointRecord ApplySevenParamsInverse(const SevenParams& params, RotationConvention convention,
                                    const PointRecord& point) {
    return Apply(params, convention, point, ApplyBursaInverse);
}

}  // namespace zelk
