#include "ui/transformation_text.h"

#include <algorithm>

#include "platform/number_text.h"
#include "workflow/chain.h"
#include "workflow/estimation_report.h"

using namespace zelk;

namespace {
QString Fixed(double value, int decimals) { return QString::fromStdString(FormatFixed(value, decimals)); }
QString Dialog(double value) { return QString::fromStdString(FormatDialogNumber(value)); }
QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool AllZero(const SevenParams& p) {
    return p.dX0 == 0.0 && p.dY0 == 0.0 && p.dZ0 == 0.0 && p.K == 0.0 && p.betaX == 0.0 &&
           p.betaY == 0.0 && p.betaZ == 0.0;
}

QString HeightTitle(HeightModel model) {
    return QStringLiteral(" + ") + QString::fromUtf8(HeightModelName(model)) + QStringLiteral("高程拟合");
}
}  // namespace

QColor WarningColor() { return QColor(204, 82, 0); }

RotationConvention ConventionOfItem(int item) {
    return item == 1 ? RotationConvention::PositionVector : RotationConvention::CoordinateFrame;
}

int ItemOfConvention(RotationConvention convention) {
    return convention == RotationConvention::PositionVector ? 1 : 0;
}

QString SevenParamsTitle(RotationConvention convention) {
    return convention == RotationConvention::PositionVector ? QStringLiteral("七参数 (位置矢量)")
                                                            : QStringLiteral("七参数 (坐标框架)");
}

QString SevenParamsShort(const SevenParams& p, RotationConvention convention) {
    return SevenParamsTitle(convention) + QStringLiteral(" dX0=") + Fixed(p.dX0, 3) +
           QStringLiteral(" dY0=") + Fixed(p.dY0, 3) + QStringLiteral(" dZ0=") + Fixed(p.dZ0, 3) +
           QStringLiteral(" m … K=") + Fixed(p.K, 4) + QStringLiteral(" ppm");
}

QString SevenParamsValues(const SevenParams& p) {
    return QStringLiteral("dX0=") + Dialog(p.dX0) + QStringLiteral(" dY0=") + Dialog(p.dY0) +
           QStringLiteral(" dZ0=") + Dialog(p.dZ0) + QStringLiteral(" m, βx=") + Dialog(p.betaX) +
           QStringLiteral(" βy=") + Dialog(p.betaY) + QStringLiteral(" βz=") + Dialog(p.betaZ) +
           QStringLiteral("″, K=") + Dialog(p.K) + QStringLiteral(" ppm");
}

QString FourParamsValues(const FourParams& p) {
    return QStringLiteral("dX=") + Fixed(p.dX, 4) + QStringLiteral(" dY=") + Fixed(p.dY, 4) +
           QStringLiteral(" m, α=") + Utf8(FormatDms(p.alpha)) + QStringLiteral(", K=") +
           Fixed(p.K, 9) + QStringLiteral(" (") + Fixed((p.K - 1.0) * 1e6, 3) + QStringLiteral(" ppm)");
}

QString ThreeParamsValues(const ThreeParams& p) {
    return QStringLiteral("ΔX=") + Dialog(p.dX) + QStringLiteral(" ΔY=") + Dialog(p.dY) + QStringLiteral(" ΔZ=") +
           Dialog(p.dZ) + QStringLiteral(" m");
}

QString CalibrationTitle(const Transformation& c) {
    QString title = c.model == Transformation::Model::Four    ? QStringLiteral("四参数")
                    : c.model == Transformation::Model::Three ? QStringLiteral("三参数")
                                                              : SevenParamsTitle(c.convention);
    if (c.height) title += HeightTitle(c.height->model);
    if (c.height && c.geoid) title += QStringLiteral("（") + Utf8(GeoidLabel(c.geoid->name)) + QStringLiteral("之上）");
    return title;
}

QString CalibrationSummary(const Transformation& c) {
    QString text;
    if (c.model == Transformation::Model::Three) {
        const ThreeParams& p = c.three;
        text = QStringLiteral("ΔX=") + Fixed(p.dX, 4) + QStringLiteral(" ΔY=") + Fixed(p.dY, 4) +
               QStringLiteral(" ΔZ=") + Fixed(p.dZ, 4) + QStringLiteral(" m");
    } else if (c.model == Transformation::Model::Four) {
        const FourParams& p = c.four;
        text = QStringLiteral("dX=") + Fixed(p.dX, 4) + QStringLiteral(" dY=") + Fixed(p.dY, 4) +
               QStringLiteral(" m\nα=") + Utf8(FormatDms(p.alpha)) + QStringLiteral("  K=") +
               Fixed(p.K, 9) + QStringLiteral(" (") + Fixed((p.K - 1.0) * 1e6, 3) + QStringLiteral(" ppm)");
    } else {
        const SevenParams& p = c.seven;
        text = QStringLiteral("dX0=") + Fixed(p.dX0, 4) + QStringLiteral(" dY0=") + Fixed(p.dY0, 4) +
               QStringLiteral(" dZ0=") + Fixed(p.dZ0, 4) + QStringLiteral(" m  K=") + Fixed(p.K, 4) +
               QStringLiteral(" ppm\nβx=") + Fixed(p.betaX, 4) + QStringLiteral("″ βy=") +
               Fixed(p.betaY, 4) + QStringLiteral("″ βz=") + Fixed(p.betaZ, 4) + QStringLiteral("″");
    }
    if (c.height) {
        const HeightFit& h = *c.height;
        text += QStringLiteral("\n高程拟合（") + QString::fromUtf8(HeightModelName(h.model)) + QStringLiteral("）");
        const int n = HeightCoefficients(h.model);
        for (int j = 0; j < std::min(n, 3); ++j) {
            text += QStringLiteral(" a%1=").arg(j) + Fixed(h.a[static_cast<std::size_t>(j)], 4);
        }
        if (n > 3) text += QStringLiteral(" …");
    }
    return text;
}

QString CalibrationValues(const Transformation& c) {
    QString text = c.model == Transformation::Model::Four    ? FourParamsValues(c.four)
                   : c.model == Transformation::Model::Three ? ThreeParamsValues(c.three)
                                                             : SevenParamsValues(c.seven);
    if (c.height) {
        const HeightFit& h = *c.height;
        text += QStringLiteral("\n高程拟合 ") + QString::fromUtf8(HeightModelName(h.model)) +
                QStringLiteral("：重心 x0=") + Fixed(h.x0, 3) + QStringLiteral(" y0=") + Fixed(h.y0, 3) +
                QStringLiteral(" m，");
        for (int j = 0; j < HeightCoefficients(h.model); ++j) {
            text += QStringLiteral(" a%1=").arg(j) + Fixed(h.a[static_cast<std::size_t>(j)], 6);
        }
    }
    if (c.geoid) {
        text += QStringLiteral("\n大地水准面模型 ") + Utf8(GeoidLabel(c.geoid->name)) + QStringLiteral("（") +
                Utf8(c.geoid->name) + QStringLiteral("）：拟合的是 ζ − N");
    }
    if (c.before && c.after) {
        text += QStringLiteral("\n从 ") + Utf8(DescribeSystem(*c.before)) + QStringLiteral(" 到 ") +
                Utf8(DescribeSystem(*c.after));
    }
    return text;
}

bool IsTypedSeven(const Transformation& step) {
    return step.model == Transformation::Model::Seven && !step.height && step.source.empty();
}

QString StepText(const Transformation& step) {
    // 反算: applied backwards, by the exact inverse.
    if (step.inverse) {
        Transformation forwards = step;
        forwards.inverse = false;
        return QStringLiteral("反算 ") + StepText(forwards);
    }
    if (IsTypedSeven(step)) {
        return AllZero(step.seven) ? QStringLiteral("七参数全为零") : SevenParamsShort(step.seven, step.convention);
    }
    const bool calibration = step.model == Transformation::Model::Four || step.height.has_value();
    return CalibrationTitle(step) + QStringLiteral(" (") +
           (!step.source.empty() ? Utf8(step.source)
            : calibration        ? QStringLiteral("点校正，未保存")
                                 : QStringLiteral("未保存")) +
           QLatin1Char(')');
}

namespace {

// The whole story of one step: its title and name, every value, the systems.
QString StepDetails(const Transformation& step) {
    if (step.inverse) {
        Transformation forwards = step;
        forwards.inverse = false;
        return StepDetails(forwards) + QStringLiteral("\n反算：从转换后到转换前，用其精确逆变换");
    }
    if (IsTypedSeven(step)) {
        if (AllZero(step.seven)) return QStringLiteral("无：七参数全为零，不施加任何转换");
        QString text = SevenParamsTitle(step.convention) + QLatin1Char('\n') + SevenParamsValues(step.seven);
        if (step.before && step.after) {
            text += QStringLiteral("\n从 ") + Utf8(DescribeSystem(*step.before)) + QStringLiteral(" 到 ") +
                    Utf8(DescribeSystem(*step.after));
        }
        return text;
    }
    return StepText(step) + QLatin1Char('\n') + CalibrationValues(step);
}

// Why one step alone is probably a mistake, or would be refused (problem).
QString SingleStepWarning(const Transformation& step, const std::string& problem,
                          const std::optional<zelk::Crs>& from, const std::optional<zelk::Crs>& to) {
    const bool chosen = from && to;
    const bool datumShift = step.ChangesDatum() && !step.height;
    if (!problem.empty()) {
        if (!datumShift) return QStringLiteral("点校正不适用于所选坐标系统");
        if (from->form == zelk::Form::Local || to->form == zelk::Form::Local) {
            return QStringLiteral("地方坐标须用点校正");
        }
        return step.model == Transformation::Model::Three ? QStringLiteral("三参数不适用于所选坐标系统")
                                                          : QStringLiteral("七参数不适用于所选坐标系统");
    }
    if (!datumShift || !chosen) return {};
    const bool zero = step.model == Transformation::Model::Seven && AllZero(step.seven);
    if (SameDatum(*from, *to) && !zero) {
        return step.model == Transformation::Model::Three ? QStringLiteral("两侧同一基准却施加三参数")
                                                          : QStringLiteral("两侧同一基准却施加七参数");
    }
    // An ellipsoid of one's own is usually meant to share X Y Z with its
    // datum (an ellipsoid enlarged by the site's height).
    if (!SameDatum(*from, *to) && zero && !from->ellipsoid && !to->ellipsoid) {
        return QStringLiteral("两侧基准不同却未设七参数");
    }
    return {};
}

}  // namespace

TransformationLine DescribeTransformation(const std::vector<Transformation>& given,
                                          const std::optional<zelk::Crs>& from,
                                          const std::optional<zelk::Crs>& to) {
    const std::vector<Transformation> steps = given.empty() ? std::vector<Transformation>{Transformation::Seven(SevenParams{})}
                                                            : given;
    TransformationLine line;
    const bool chosen = from && to;
    const std::string problem = chosen ? ChainProblemText(*from, *to, steps) : std::string();
    QString description, why;
    if (steps.size() == 1) {
        const Transformation& step = steps.front();
        description = IsTypedSeven(step) && AllZero(step.seven) ? QStringLiteral("无") : StepText(step);
        line.details = StepDetails(step);
        why = SingleStepWarning(step, problem, from, to);
    } else {
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const QString number = QString::number(k + 1) + QStringLiteral(". ");
            if (k > 0) {
                description += QStringLiteral(" → ");
                line.details += QLatin1Char('\n');
            }
            description += number + StepText(steps[k]);
            line.details += number + StepDetails(steps[k]);
        }
        if (!problem.empty()) why = QStringLiteral("转换链不适用于所选坐标系统");
    }
    if (!problem.empty()) line.details += QLatin1Char('\n') + Utf8(problem);
    line.warning = !why.isEmpty();
    line.text = line.warning ? QStringLiteral("注意，") + why + QStringLiteral("：") + description
                             : QStringLiteral("当前转换：") + description;
    // A system of one's own is named on the line, as in its list.
    if (chosen && (!from->IsCatalogued() || !to->IsCatalogued())) {
        const auto name = [](const zelk::Crs& crs) { return Utf8(crs.name.empty() ? SystemText(crs) : crs.name); };
        line.text += QStringLiteral("；") + name(*from) + QStringLiteral(" → ") + name(*to);
        line.details += QStringLiteral("\n坐标系统：") + Utf8(SystemText(*from)) + QStringLiteral(" → ") +
                        Utf8(SystemText(*to));
    }
    if (line.warning) {
        line.details = why + (!problem.empty() ? QStringLiteral("，转换时会被拒绝\n")
                                               : QStringLiteral("（可以转换，但通常是疏忽）\n")) +
                       line.details;
    }
    return line;
}

void AppendHeights(TransformationLine& line, const QString& from, const QString& to) {
    if (from.isEmpty() && to.isEmpty()) return;
    const auto name = [](const QString& label) { return label.isEmpty() ? QStringLiteral("椭球高") : label; };
    line.text += QStringLiteral("；高程 ") + name(from) + QStringLiteral(" → ") + name(to);
    line.details += QStringLiteral("\n高程：转换前为") +
                    (from.isEmpty() ? QStringLiteral("椭球高") : from + QStringLiteral("之上的高程")) +
                    QStringLiteral("，转换后为") +
                    (to.isEmpty() ? QStringLiteral("椭球高") : to + QStringLiteral("之上的高程")) +
                    QStringLiteral("（H = h − N）");
}
