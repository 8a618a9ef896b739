// The three dialog templates of the program.
#pragma once

#include "ui/dialog_template.h"

inline constexpr int kIddAbout = 100;        // about box
inline constexpr int kIddConvert = 102;      // main dialog
inline constexpr int kIddBursaParams = 130;  // seven-parameter dialog
inline constexpr int kIddCalibration = 131;  // site-calibration dialog
inline constexpr int kIddSystemDef = 132;    // 自定义坐标系 (a system of one's own)
inline constexpr int kIddChain = 133;        // the steps of a transformation (转换参数)

// Control ids of the main dialog.
namespace convert_ids {
inline constexpr int kConvert = 1;         // 转换 (the OK command)
inline constexpr int kEditParams = 3;      // 转换参数
inline constexpr int kSrcSystem = 1000;
inline constexpr int kSrcMeridian = 1001;
inline constexpr int kSrcX = 1002;
inline constexpr int kSrcY = 1003;
inline constexpr int kSrcZ = 1004;
inline constexpr int kTgtSystem = 1005;
inline constexpr int kTgtMeridian = 1006;
inline constexpr int kTgtX = 1007;
inline constexpr int kTgtY = 1008;
inline constexpr int kTgtZ = 1009;
inline constexpr int kInputFile = 1010;    // 转换前文件
inline constexpr int kOutputFile = 1011;   // 转换后文件
inline constexpr int kSrcXCaption = 1025;
inline constexpr int kSrcYCaption = 1026;
inline constexpr int kSrcZCaption = 1027;
inline constexpr int kTgtXCaption = 1028;
inline constexpr int kTgtYCaption = 1029;
inline constexpr int kTgtZCaption = 1030;
inline constexpr int kWithNames = 1031;    // 带点号
inline constexpr int kAuthorLink = 1032;
inline constexpr int kSiteLink = 1033;
inline constexpr int kSrcZoning = 1034;    // central meridian, 3- or 6-degree zones
inline constexpr int kTgtZoning = 1035;
// The file area: each file's format and the angle format of its B and L.
inline constexpr int kInputFormat = 1050;
inline constexpr int kInputAngles = 1051;
inline constexpr int kOutputFormat = 1052;
inline constexpr int kOutputAngles = 1053;
// Each side's heights: above the ellipsoid or a geoid model (ui/geoid_choice.h).
inline constexpr int kSrcHeight = 1054;
inline constexpr int kTgtHeight = 1055;
inline constexpr int kCalibrate = 4;         // 点校正
inline constexpr int kTransformLine = 1036;  // what a conversion will apply
}  // namespace convert_ids

// Control ids of the seven-parameter dialog.
namespace bursa_ids {
inline constexpr int kCompute = 1;         // 计算 (the OK command)
inline constexpr int kCancel = 2;          // 取消
inline constexpr int kBeforeSystem = 1000;
inline constexpr int kBeforeMeridian = 1011;
inline constexpr int kBeforeFile = 1012;   // FILE1
inline constexpr int kAfterMeridian = 1013;
inline constexpr int kAfterFile = 1014;    // FILE2
inline constexpr int kDX0 = 1015;
inline constexpr int kDY0 = 1016;
inline constexpr int kDZ0 = 1017;
inline constexpr int kBetaX = 1018;
inline constexpr int kBetaY = 1019;
inline constexpr int kBetaZ = 1020;
inline constexpr int kK = 1021;
inline constexpr int kAfterSystem = 1023;
inline constexpr int kAccept = 1024;       // 确认
inline constexpr int kBeforeZoning = 1025; // central meridian, 3- or 6-degree zones
inline constexpr int kAfterZoning = 1026;
inline constexpr int kConvention = 1027;   // 坐标框架 or 位置矢量
inline constexpr int kOpenParams = 1028;   // 打开…
inline constexpr int kSaveParams = 1029;   // 保存…
inline constexpr int kResiduals = 1030;    // the residual table
inline constexpr int kPrecision = 1031;    // the standard errors
inline constexpr int kDirection = 1032;    // 正算 or 反算: which way conversions apply them
}  // namespace bursa_ids

// Control ids of the calibration dialog.
namespace calibration_ids {
inline constexpr int kCompute = 1;         // 计算 (the OK command)
inline constexpr int kCancel = 2;          // 取消
inline constexpr int kModel = 1000;        // 七参数, 四参数
inline constexpr int kHeight = 1001;       // 无, 固定差, 平面, 二次曲面
inline constexpr int kConvention = 1002;   // 坐标框架, 位置矢量 (seven only)
inline constexpr int kBeforeSystem = 1003;
inline constexpr int kBeforeZoning = 1004;
inline constexpr int kBeforeMeridian = 1005;
inline constexpr int kAfterSystem = 1006;
inline constexpr int kAfterZoning = 1007;
inline constexpr int kAfterMeridian = 1008;
inline constexpr int kSource = 1009;       // the pair table or two files
inline constexpr int kFormat = 1010;       // format of the two files
inline constexpr int kBeforeFile = 1011;   // 转换前文件
inline constexpr int kAfterFile = 1012;    // 转换后文件
inline constexpr int kPairs = 1013;        // the pair table
inline constexpr int kPlot = 1014;         // the residual plot
inline constexpr int kResiduals = 1015;    // the residual table
inline constexpr int kResult = 1016;       // what the dialog holds, in words
inline constexpr int kOpen = 1017;         // 打开…
inline constexpr int kSave = 1018;         // 保存…
inline constexpr int kClear = 1019;        // 清除
inline constexpr int kAccept = 1020;       // 确认
inline constexpr int kBeforeAngles = 1021;  // format of B and L before (AngleFormat order)
inline constexpr int kAfterAngles = 1022;
inline constexpr int kGeoid = 1023;        // 大地水准面模型 of the height fit (ui/geoid_choice.h)
inline constexpr int kReadPairs = 1024;    // 读入… a pair file into the table
inline constexpr int kWritePairs = 1025;   // 写出… the table as a pair file
}  // namespace calibration_ids

// Control ids of the steps dialog.
namespace chain_ids {
inline constexpr int kAccept = 1;          // 确认 (the OK command)
inline constexpr int kCancel = 2;          // 取消
inline constexpr int kSteps = 1000;        // the list of steps, in order
inline constexpr int kAddSeven = 1001;     // 七参数…: a step typed or estimated there
inline constexpr int kAddCalibration = 1002;  // 点校正…: a step from the calibration dialog
inline constexpr int kOpen = 1003;         // 打开…: the steps of a parameters or chain file
inline constexpr int kEdit = 1004;         // 编辑…
inline constexpr int kRemove = 1005;       // 删除
inline constexpr int kUp = 1006;           // 上移
inline constexpr int kDown = 1007;         // 下移
inline constexpr int kSave = 1008;         // 保存…: the steps as one chain file
inline constexpr int kLine = 1009;         // what the steps do to the main dialog's systems
}  // namespace chain_ids

// Control ids of the system dialog (自定义坐标系).
namespace system_ids {
inline constexpr int kOk = 1;              // 确定
inline constexpr int kCancel = 2;          // 取消
inline constexpr int kName = 1000;
inline constexpr int kDatum = 1001;        // CGCS2000, 西安80, 北京54, WGS84, 自定义椭球
inline constexpr int kA = 1002;            // semi-major axis (m)
inline constexpr int kRf = 1003;           // inverse flattening
inline constexpr int kForm = 1004;         // 高斯投影, 大地坐标, 地心坐标
inline constexpr int kMeridian = 1005;     // packed DMS
inline constexpr int kK0 = 1006;
inline constexpr int kFalseEasting = 1007;
inline constexpr int kFalseNorthing = 1008;
inline constexpr int kPlaneHeight = 1009;  // H0 (m)
inline constexpr int kPlaneLatitude = 1010;  // packed DMS
inline constexpr int kPlaneX0 = 1011;
inline constexpr int kPlaneY0 = 1012;
inline constexpr int kDerived = 1013;      // q and the transverse Mercator it comes to
inline constexpr int kOpen = 1014;         // 打开…
inline constexpr int kSave = 1015;         // 保存…
inline constexpr int kPlaneHeightCaption = 1016;
inline constexpr int kPlaneOriginCaption = 1017;
}  // namespace system_ids

const DialogTemplate& ConvertDialogTemplate();
const DialogTemplate& BursaParamDialogTemplate();
const DialogTemplate& CalibrationDialogTemplate();
const DialogTemplate& ChainDialogTemplate();
const DialogTemplate& AboutDialogTemplate();
const DialogTemplate& SystemDefDialogTemplate();

// The filters of the file pickers: the seven-parameter dialog's common
// point files, and the main dialog's point files in every format it reads
// (or writes).
inline constexpr const char* kBeforeFileFilter = "转换前坐标UVW(*.txt)|*.txt||";
inline constexpr const char* kAfterFileFilter = "转换后坐标XYZ(*.txt)|*.txt||";
inline constexpr const char* kFileSuffix = "txt";
// The filters of the main dialog's pickers: every format this build reads
// (or writes), the GIS, CAD and spreadsheet formats where it has them.
QString InputFileFilter();
QString OutputFileFilter();

// The items of the seven-parameter dialog's direction list: 0 正算 (from the
// before system to the after system), 1 反算 (the exact inverse, the other
// way round).
QStringList DirectionItems();

// The items of the file area's lists, in the order of pointformat::FileFormat
// (plain, dat, csv, kml, then dxf, shp, gpkg, geojson, xlsx where this build
// has them; the input list has no kml) and of AngleFormat (packed, degrees,
// dms).
QStringList FileFormatItems(bool output);
QStringList AngleFormatItems();
// Parameter files (seven parameters or a site calibration).
inline constexpr const char* kParamsFileFilter = "参数文件(*.params)|*.params|所有文件(*)|*||";
inline constexpr const char* kParamsFileSuffix = "params";
// Pair files of the calibration dialog's table: plain, or csv with a header.
inline constexpr const char* kPairFileFilter =
    "点对文件(*.txt;*.csv)|*.txt;*.csv|所有文件(*)|*||";
// System files (a coordinate system of one's own).
inline constexpr const char* kSystemFileFilter = "坐标系文件(*.crs)|*.crs|所有文件(*)|*||";
inline constexpr const char* kSystemFileSuffix = "crs";
// Common-point files of the calibration dialog, in any of their formats.
inline constexpr const char* kCommonPointFilter =
    "公共点文件(*.txt;*.dat;*.csv)|*.txt;*.dat;*.csv|所有文件(*)|*||";
