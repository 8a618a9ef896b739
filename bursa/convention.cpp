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

PointRecord ApplySevenParams(const SevenParams& params, RotationConvention convention,
                             const PointRecord& point) {
    double internal[kBursaCount];
    ParamsToInternal(ConvertConvention(params, convention, RotationConvention::CoordinateFrame),
                     internal);
    return ApplyBursa(internal, point);
}

PointRecord ApplySevenParamsInverse(const SevenParams& params, RotationConvention convention,
                                    const PointRecord& point) {
    double internal[kBursaCount];
    ParamsToInternal(ConvertConvention(params, convention, RotationConvention::CoordinateFrame),
                     internal);
    return ApplyBursaInverse(internal, point);
}

}  // namespace zelk
