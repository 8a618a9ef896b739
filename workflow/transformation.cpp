#include "workflow/transformation.h"

#include <algorithm>

namespace zelk {

std::string ModelProblemText(Transformation::Model model, bool heightFit, const Crs& before,
                             const Crs& after) {
    const bool local = before.form == Form::Local || after.form == Form::Local;
    if (model != Transformation::Model::Four) {
        const std::string name = model == Transformation::Model::Seven ? "七参数" : "三参数";
        if (local) return name + "连接两个基准，地方坐标只能用四参数点校正！";
        if (heightFit && !after.IsProjected()) {
            return name + "加高程拟合时，转换后坐标系统须是投影坐标（高程拟合在其平面上进行）！";
        }
        return {};
    }
    if (!before.IsProjected()) return "四参数点校正的转换前坐标系统须是投影坐标（高斯或UTM）！";
    if (!after.IsProjected() && after.form != Form::Local) {
        return "四参数点校正的转换后坐标系统须是投影坐标或地方坐标！";
    }
    return {};
}

std::string GeoidFitProblemText(const std::optional<GeoidModel>& geoid, bool heightFit) {
    if (!geoid) return {};
    if (!heightFit) {
        return "使用大地水准面模型时须选择高程拟合（至少固定差），以吸收模型与当地高程之间的差！";
    }
    if (!geoid->IsOpen()) return GeoidProblemText(*geoid, "点校正");
    return {};
}

bool IsFittedPlane(const Transformation& t, bool after) {
    const std::optional<Crs>& side = after ? t.after : t.before;
    if (!side || !side->IsProjected()) return false;
    if (t.model == Transformation::Model::Four) return true;
    return after && t.height.has_value();
}

std::vector<Transformation> ReversedChain(std::vector<Transformation> steps) {
    std::reverse(steps.begin(), steps.end());
    for (Transformation& step : steps) step.inverse = !step.inverse;
    return steps;
}

}  // namespace zelk
