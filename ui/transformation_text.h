// Transformations in words, as the dialogs show them: the main dialog's
// line saying what a conversion will apply, and the result line of the
// calibration dialog. Numbers are written locale-independently.
#pragma once

#include <QColor>
#include <QString>
#include <optional>
#include <vector>

#include "bursa/convention.h"
#include "bursa/seven_params.h"
#include "workflow/coordinate_system.h"
#include "workflow/transformation.h"

// The items of the convention lists: 0 坐标框架, 1 位置矢量 (an item
// outside the list counts as the coordinate frame).
zelk::RotationConvention ConventionOfItem(int item);
int ItemOfConvention(zelk::RotationConvention convention);

// The colour of a line that warns.
QColor WarningColor();

// "七参数 (坐标框架)", "七参数 (位置矢量)".
QString SevenParamsTitle(zelk::RotationConvention convention);
// The title and the values in short: "七参数 (坐标框架) dX0=-8.375
// dY0=89.829 dZ0=38.424 m … K=1.9034 ppm" (the rotations only in
// SevenParamsValues).
QString SevenParamsShort(const zelk::SevenParams& params, zelk::RotationConvention convention);
// Every value with the dialogs' digits (%.15g): "dX0=… dY0=… dZ0=… m,
// βx=… βy=… βz=… ″, K=… ppm".
QString SevenParamsValues(const zelk::SevenParams& params);
// "dX=… dY=… m, α=…° ′ ″, K=1.000012 (12 ppm)".
QString FourParamsValues(const zelk::FourParams& params);

// "四参数 + 二次曲面高程拟合", "七参数 (位置矢量)", "七参数 (坐标框架) + 平面高程拟合",
// "四参数 + 固定差高程拟合（EGM96之上）".
QString CalibrationTitle(const zelk::Transformation& calibration);
// A calibration in three or four short lines: the parameters (metres and
// seconds with four decimals), the height fit's first coefficients.
QString CalibrationSummary(const zelk::Transformation& calibration);
// The values of a calibration, one line each: the parameters, then the
// height fit's centroid and coefficients when there is one, then the
// systems when the calibration names them.
QString CalibrationValues(const zelk::Transformation& calibration);

// Three parameters in full: "ΔX=… ΔY=… ΔZ=… m".
QString ThreeParamsValues(const zelk::ThreeParams& params);

// Seven parameters typed here, for any systems or the systems chosen in
// the seven-parameter dialog: no height fit, no file.
bool IsTypedSeven(const zelk::Transformation& step);
// One step in short, as the status line and the steps dialog list it:
// typed seven parameters by their values ("七参数 (坐标框架) dX0=… K=… ppm",
// "七参数全为零"); any other step by its title and its name, the file it was
// read from or saved to ("四参数 + 固定差高程拟合 (site.params)"; unsaved:
// "(点校正，未保存)" with a height fit or four parameters, else "(未保存)").
QString StepText(const zelk::Transformation& step);

// What a conversion from `from` to `to` (nothing: not chosen yet) applies.
struct TransformationLine {
    QString text;     // the line: "当前转换：…", or "注意，<why>：…" with warning
    QString details;  // the whole story, for a tooltip
    bool warning = false;
};

// The steps a conversion applies (none: seven parameters all zero, "无").
// One step is StepText; several are numbered in order, "1. … → 2. …".
// Whether a conversion would be refused is the conversion's own check
// (zelk::ChainProblemText). Warnings:
//  - one step of seven or three parameters: both sides on one datum and
//    the parameters not all zero, or different datums and all seven zero
//    (both legal, usually a mistake);
//  - the steps do not fit the chosen systems (a conversion would be
//    refused, with the message the details end with).
TransformationLine DescribeTransformation(const std::vector<zelk::Transformation>& steps,
                                          const std::optional<zelk::Crs>& from,
                                          const std::optional<zelk::Crs>& to);

// Adds the heights of the two sides to a line when either is above a geoid
// model (its label; empty: ellipsoidal): "；高程 EGM96 → 椭球高".
void AppendHeights(TransformationLine& line, const QString& from, const QString& to);
