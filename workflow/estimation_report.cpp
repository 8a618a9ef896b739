#include "workflow/estimation_report.h"

#include <cmath>
#include <string>
#include <vector>

#include "platform/number_text.h"

namespace zelk {

namespace {

constexpr double kSecondsPerRadian = 206264.80624709636;  // 648000 / pi

// "±1.2345" with the given decimals.
std::string PlusMinus(double value, int decimals) { return "±" + FormatFixed(value, decimals); }

// FormatFixed without the sign of a value that rounds to zero: residuals
// of an exact fit show as 0.0000, not as rounding's -0.0000.
std::string Fixed(double value, int decimals) {
    std::string text = FormatFixed(value, decimals);
    if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) text.erase(0, 1);
    return text;
}

// Right-aligns text in a column of the given width (at least one blank).
void Column(std::string& out, const std::string& text, std::size_t width) {
    out.append(text.size() < width ? width - text.size() : 1, ' ');
    out += text;
}

// The pair a fit's index i stands for: pairs[i] when the fit took some of
// the pairs, else i.
int PairOf(const std::vector<int>& pairs, int i) {
    return i < static_cast<int>(pairs.size()) ? pairs[static_cast<std::size_t>(i)] : i;
}

std::string PairNumber(int index) {
    std::string number = std::to_string(index + 1);
    return std::string(number.size() < 4 ? 4 - number.size() : 0, ' ') + number;
}

// "第3、7对" for indices {2, 6}.
std::string PairList(const std::vector<int>& indices, const std::vector<int>& pairs) {
    std::string text = "第";
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i > 0) text += "、";
        text += std::to_string(PairOf(pairs, indices[i]) + 1);
    }
    return text + "对";
}

bool Suspect(const OutlierTest& test, int index) {
    return test.performed && index < static_cast<int>(test.groups.size()) &&
           test.groups[index].suspect;
}

}  // namespace

std::string FormatDms(double radians) {
    const double seconds = std::fabs(radians) * kSecondsPerRadian;
    // Beyond a few turns an angle in this form means nothing; not a number
    // neither.
    if (!(seconds < 1e10)) return FormatFixed(radians * kSecondsPerRadian, 4) + "″";
    // Whole units of 0.0001″ first, so that 59.99996″ carries into a minute.
    const long long units = std::llround(seconds * 10000.0);
    const long long degrees = units / (3600LL * 10000LL);
    const long long minutes = (units / (60LL * 10000LL)) % 60LL;
    const long long rest = units % (60LL * 10000LL);
    std::string text = radians < 0.0 && units != 0 ? "-" : "";
    text += std::to_string(degrees) + "°";
    if (minutes < 10) text += "0";
    text += std::to_string(minutes) + "′";
    const std::string secondsText = FormatFixed(static_cast<double>(rest) / 10000.0, 4);
    if (rest < 100000) text += "0";
    return text + secondsText + "″";
}

const char* HeightModelName(HeightModel model) {
    static constexpr const char* kNames[] = {"固定差", "平面", "二次曲面"};
    return kNames[static_cast<int>(model)];
}

std::string HeightFitTooFewPointsText(HeightModel model) {
    return std::string("高程拟合（") + HeightModelName(model) + "）至少需要" +
           std::to_string(HeightMinimumPoints(model)) + "个公共点！";
}

std::string HeightFitSingularText(HeightModel model) {
    return std::string("公共点分布不良，无法进行高程拟合（") + HeightModelName(model) + "）！";
}

std::string WeakGeometryWarning(const BursaQuality& q) {
    if (!q.available || !q.Warns()) return "";
    std::string reason;
    if (q.lineLike) reason = "近于一条直线";
    if (q.tooSmall) {
        if (!reason.empty()) reason += "，且";
        reason += "分布范围相对于点位精度太小";
    }
    static constexpr const char* kNames[kBursaCount] = {"ΔX0", "ΔY0", "ΔZ0", "Κ",
                                                        "βx",  "βy",  "βz"};
    std::string names;
    for (int j = 0; j < kBursaCount; ++j) {
        if (!q.undetermined[j]) continue;
        if (!names.empty()) names += "、";
        names += kNames[j];
    }
    return "警告：公共点分布不良（" + reason + "），" + names +
           "不能确定，这组参数只宜在公共点所在的范围内使用，请增加分布均匀、包围工作区的公共点。";
}

std::string BlunderTestLine(const OutlierTest& test, int pairs, int minimumPairs,
                            const std::vector<int>& numbers) {
    std::string line = "粗差检验（逐对剔除，显著水平1%）：";
    if (pairs < minimumPairs) {
        return line + "公共点少于" + std::to_string(minimumPairs) + "对，不做粗差检验。";
    }
    if (!test.performed) return line + "无法检验。";
    if (test.suspects.empty()) return line + "未发现粗差。";
    if (test.tooMany) {
        return line + "可能有粗差的点对太多（" + PairList(test.suspects, numbers) +
               "及其他），请先检查坐标系统、中央子午线和两个文件的点是否一一对应。";
    }
    std::string apart;
    for (std::size_t i = 0; i < test.suspects.size(); ++i) {
        if (i > 0) apart += "、";
        apart += FormatFixed(test.groups[test.suspects[i]].discrepancyLength, 3) + " m";
    }
    line += PairList(test.suspects, numbers) + "可能有粗差（不参加解算时与其余各对";
    if (test.suspects.size() == 1) {
        return line + "相差 " + apart + "），请检查，必要时去掉它重新解算。";
    }
    return line + "分别相差 " + apart + "），请检查，必要时先去掉相差最大的一对重新解算。";
}

std::string SevenParameterReport(const BursaEstimate& estimate, const BursaQuality& q) {
    std::string text = BursaReportText(estimate);
    if (!q.available) return text;
    text += "\n单位权中误差为 ";
    AppendFixed(text, q.sigma0, 6);
    text += " m,多余观测数为 " + std::to_string(q.redundancy) + " .";
    if (q.precisionKnown) {
        const SevenParams& e = q.standardErrors;
        text += "\n平移中误差为 ΔX0 " + PlusMinus(e.dX0, 4) + " m,ΔY0 " + PlusMinus(e.dY0, 4) +
                " m,ΔZ0 " + PlusMinus(e.dZ0, 4) + " m .";
        text += "\n尺度中误差为 Κ " + PlusMinus(e.K, 4) + " ppm,旋转中误差为 βx " +
                PlusMinus(e.betaX, 4) + "″,βy " + PlusMinus(e.betaY, 4) + "″,βz " +
                PlusMinus(e.betaZ, 4) + "″ .";
    } else {
        text += "\n参数中误差无法计算 .";
    }
    const std::string warning = WeakGeometryWarning(q);
    if (!warning.empty()) text += "\n" + warning;
    text += "\n" + BlunderTestLine(q.blunders, q.pairs, MinimumGroupsForTest(kBursaCount, 3));
    return text;
}

std::string FourParameterReport(const FourParamEstimate& e, const std::vector<int>& pairs) {
    const FourParams& p = e.params;
    const int n = static_cast<int>(e.residuals.size());
    std::string text = "四参数：\n平移 ΔX = ";
    AppendFixed(text, p.dX, 4);
    text += " m,ΔY = ";
    AppendFixed(text, p.dY, 4);
    text += " m\n旋转 α = " + FormatDms(p.alpha) + "（" +
            FormatFixed(p.alpha * kSecondsPerRadian, 4) + "″）\n尺度 K = ";
    AppendFixed(text, p.K, 12);
    text += "（尺度变化 " + FormatFixed((p.K - 1.0) * 1e6, 4) + " ppm）\n";
    if (e.redundancy > 0) {
        text += "中误差为 ΔX " + PlusMinus(e.seDX, 4) + " m,ΔY " + PlusMinus(e.seDY, 4) +
                " m,α " + PlusMinus(e.seAlpha * kSecondsPerRadian, 4) + "″,K " +
                PlusMinus(e.seK * 1e6, 4) + " ppm,单位权中误差为 " + FormatFixed(e.sigma0, 6) +
                " m .\n";
    } else {
        text += "公共点只有" + std::to_string(n) + "个，没有多余观测，不计算中误差。\n";
    }
    text += "点对      vx (m)      vy (m)    平面 (m)\n";
    for (int i = 0; i < n; ++i) {
        const PlaneResidual& v = e.residuals[i];
        text += PairNumber(PairOf(pairs, i));
        Column(text, Fixed(v.vx, 4), 12);
        Column(text, Fixed(v.vy, 4), 12);
        Column(text, Fixed(std::hypot(v.vx, v.vy), 4), 12);
        if (Suspect(e.blunders, i)) text += " *";
        text += '\n';
    }
    text += "平面中误差为 ";
    AppendFixed(text, e.planeRms, 6);
    text += " m .\n";
    text += BlunderTestLine(e.blunders, n, MinimumGroupsForTest(4, 2), pairs);
    return text;
}

std::string HeightFitReport(const HeightFit& fit, const GeoidComparison* geoid, const std::vector<int>& pairs) {
    const int u = HeightCoefficients(fit.model);
    const int n = static_cast<int>(fit.residuals.size());
    std::string text = std::string("高程拟合（") + HeightModelName(fit.model);
    if (geoid) {
        text += "，在大地水准面模型" + geoid->label + "之上）：ζ - N = H转换前 - H转换后 - N = a0";
    } else {
        text += "）：ζ = H转换前 - H转换后 = a0";
    }
    if (u >= 3) text += " + a1·dx + a2·dy";
    if (u >= 6) text += " + a3·dx² + a4·dx·dy + a5·dy²";
    text += "\n";
    if (geoid) text += "N 为模型在各点的大地水准面差距。\n";
    if (u >= 3) {
        text += "dx、dy 为到公共点重心（x0 = " + FormatFixed(fit.x0, 3) + " m，y0 = " +
                FormatFixed(fit.y0, 3) + " m）的北、东向距离，单位 km。\n";
    }
    static constexpr const char* kUnits[6] = {"m", "m/km", "m/km", "m/km²", "m/km²", "m/km²"};
    for (int j = 0; j < u; ++j) {
        text += "a" + std::to_string(j) + " = " + Fixed(fit.a[j], 6) + " " + kUnits[j];
        if (fit.redundancy > 0) text += " " + PlusMinus(fit.se[j], 6);
        text += "\n";
    }
    if (fit.redundancy <= 0) text += "没有多余观测，不计算中误差。\n";
    const std::vector<double>* plain = geoid ? &geoid->withoutModel.residuals : nullptr;
    text += plain ? "点对      vH (m)  不用模型 vH (m)\n" : "点对      vH (m)\n";
    for (int i = 0; i < n; ++i) {
        text += PairNumber(PairOf(pairs, i));
        Column(text, Fixed(fit.residuals[i], 4), 12);
        if (plain && i < static_cast<int>(plain->size())) Column(text, Fixed((*plain)[i], 4), 17);
        if (Suspect(fit.blunders, i)) text += " *";
        text += '\n';
    }
    text += "高程中误差为 ";
    AppendFixed(text, fit.rms, 6);
    if (geoid) {
        text += " m，不用模型时为 ";
        AppendFixed(text, geoid->withoutModel.rms, 6);
    }
    text += " m .\n";
    text += BlunderTestLine(fit.blunders, n, MinimumGroupsForTest(u, 1), pairs);
    return text;
}

std::string ThreeParameterReport(const ThreeParamEstimate& e) {
    const ThreeParams& p = e.params;
    const int n = static_cast<int>(e.residuals.size());
    std::string text = "三参数（平移）：\nΔX = " + FormatFixed(p.dX, 4) + " m,ΔY = " + FormatFixed(p.dY, 4) +
                       " m,ΔZ = " + FormatFixed(p.dZ, 4) + " m\n";
    if (n == 1) {
        text += "只有1对公共点：三参数就是它两侧地心坐标之差，没有多余观测，没有残差可以检核，"
                "参数的精度无从得知。\n";
    } else {
        text += "由" + std::to_string(n) + "对公共点取平均，公共点之间最远相距 " +
                FormatFixed(e.span / 1000.0, 3) + " km。\n";
        text += "中误差为 ΔX、ΔY、ΔZ 各 " + PlusMinus(e.seShift, 4) + " m,单位权中误差为 " +
                FormatFixed(e.sigma0, 6) + " m,多余观测数为 " + std::to_string(e.redundancy) + " .\n";
        text += "点对      rX (m)      rY (m)      rZ (m)    三维 (m)\n";
        for (int i = 0; i < n; ++i) {
            const PointRecord& v = e.residuals[static_cast<std::size_t>(i)];
            text += PairNumber(i);
            Column(text, Fixed(v.X, 4), 12);
            Column(text, Fixed(v.Y, 4), 12);
            Column(text, Fixed(v.Z, 4), 12);
            Column(text, Fixed(std::sqrt(v.X * v.X + v.Y * v.Y + v.Z * v.Z), 4), 12);
            if (Suspect(e.blunders, i)) text += " *";
            text += '\n';
        }
        text += "三维中误差为 ";
        AppendFixed(text, e.spatialRms, 6);
        text += " m .\n";
    }
    text += "注意：三参数只是平移，不顾及两个坐标系之间的旋转和尺度，只在公共点附近的小范围内成立"
            "（一般不超过几千米）。";
    if (n == 1) {
        text += "这组参数只由一个点求得，离开这个点越远误差越大。";
    } else {
        text += "上面的残差是在最远相距 " + FormatFixed(e.span / 1000.0, 3) +
                " km 的公共点上量得的，超出这个范围误差会迅速增大。";
    }
    text += "范围较大时请用七参数。\n";
    text += BlunderTestLine(e.blunders, n, MinimumGroupsForTest(3, 3));
    return text;
}

}  // namespace zelk
