#include "cli/systems.h"

namespace {
constexpr SystemName kNames[kSystemCount] = {
    {"wgs84-utm", CoordinateSystem::Wgs84Utm},
    {"wgs84-geodetic", CoordinateSystem::Wgs84Geodetic},
    {"beijing54-gauss", CoordinateSystem::Beijing54Gauss},
    {"beijing54-geodetic", CoordinateSystem::Beijing54Geodetic},
    {"xian80-gauss", CoordinateSystem::Xian80Gauss},
    {"xian80-geodetic", CoordinateSystem::Xian80Geodetic},
};
}  // namespace

const SystemName* SystemNames() { return kNames; }

std::optional<CoordinateSystem> SystemByName(std::string_view name) {
    for (const SystemName& entry : kNames) {
        if (name == entry.name) return entry.system;
    }
    return std::nullopt;
}

const char* NameOfSystem(CoordinateSystem system) {
    for (const SystemName& entry : kNames) {
        if (entry.system == system) return entry.name;
    }
    return "";
}

int MainListIndex(CoordinateSystem system) {
    for (int i = 0; i < kSystemCount; ++i) {
        if (SystemFromMainList(i) == system) return i;
    }
    return -1;
}

int ParamListIndex(CoordinateSystem system) {
    for (int i = 0; i < kSystemCount; ++i) {
        if (SystemFromParamList(i) == system) return i;
    }
    return -1;
}
