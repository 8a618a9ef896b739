#include "ui/templates.h"

#include <QListWidget>

#include "ui/geoid_choice.h"
#include "ui/pair_table.h"
#include "ui/residual_views.h"
#include "ui/resources.h"
#include "ui/system_lists.h"

using namespace zelk;

namespace {

ControlTemplate Control(int id, ControlKind kind, const QString& text, int x, int y, int w, int h,
                        unsigned style = kStyleNone, const QStringList& items = {}) {
    return ControlTemplate{id, kind, text, QRect(x, y, w, h), style, items};
}

// A custom control made by create (a table, a plot).
ControlTemplate Custom(int id, CustomControlFactory create, int x, int y, int w, int h) {
    ControlTemplate control{id, ControlKind::Custom, QString(), QRect(x, y, w, h), kStyleNone, {}};
    control.create = create;
    return control;
}

constexpr unsigned kEditStyle = kBorder | kAutoHScroll;

QWidget* CreateStepList(QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setWordWrap(false);
    return list;
}

QStringList ConventionItems() { return {QStringLiteral("坐标框架"), QStringLiteral("位置矢量")}; }
QStringList HeightModelItems() {
    return {QStringLiteral("无"), QStringLiteral("固定差"), QStringLiteral("平面"), QStringLiteral("二次曲面")};
}
constexpr unsigned kListStyle = kVerticalScroll;
using K = ControlKind;

DialogTemplate MakeConvertTemplate() {
    using namespace convert_ids;
    DialogTemplate t;
    t.id = kIddConvert;
    t.caption = ApplicationDisplayName();
    t.width = 296;
    t.height = 279;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame | kAppWindow;
    const QStringList items = MainListItems();
    const QStringList zonings = ZoningItems();
    const QStringList inFormats = FileFormatItems(false);
    const QStringList outFormats = FileFormatItems(true);
    const QStringList angles = AngleFormatItems();
    const QStringList heights = GeoidItems(QStringLiteral("椭球高"));
    // Each side: the system, below it how the central meridian is given and
    // what its heights are above (the ellipsoid or a geoid model), then the
    // meridian field, the three numbers, and the file area: the file, its
    // format and the angle format of its B and L. The strip between the
    // sides and the bottom frame (y 209 to 223) is free, for a line of
    // status.
    t.controls = {
        Control(kConvert, K::PushButton, QStringLiteral("转换"), 123, 47, 50, 19, kDefaultButton),
        Control(kNoId, K::GroupBox, QStringLiteral("待求"), 181, 5, 105, 203),
        Control(kNoId, K::GroupBox, QStringLiteral("原始"), 7, 5, 105, 203),
        Control(kSrcSystem, K::DropDownList, QString(), 19, 17, 88, 160, kListStyle, items),
        Control(kSrcZoning, K::DropDownList, QString(), 19, 34, 88, 45, kListStyle, zonings),
        Control(kSrcHeight, K::DropDownList, QString(), 19, 51, 88, 45, kListStyle, heights),
        Control(kSrcMeridian, K::Edit, QString(), 34, 69, 70, 12, kEditStyle),
        Control(kSrcX, K::Edit, QString(), 34, 89, 70, 12, kEditStyle),
        Control(kSrcY, K::Edit, QString(), 34, 110, 70, 12, kEditStyle),
        Control(kSrcZ, K::Edit, QString(), 34, 131, 70, 12, kEditStyle),
        Control(kSrcXCaption, K::Label, QStringLiteral("x"), 18, 89, 10, 14),
        Control(kSrcYCaption, K::Label, QStringLiteral("y"), 18, 110, 10, 14),
        Control(kSrcZCaption, K::Label, QStringLiteral("z"), 18, 131, 10, 14),
        Control(kTgtSystem, K::DropDownList, QString(), 191, 17, 88, 160, kListStyle, items),
        Control(kTgtZoning, K::DropDownList, QString(), 191, 34, 88, 45, kListStyle, zonings),
        Control(kTgtHeight, K::DropDownList, QString(), 191, 51, 88, 45, kListStyle, heights),
        Control(kTgtMeridian, K::Edit, QString(), 205, 69, 70, 12, kEditStyle),
        Control(kTgtX, K::Edit, QString(), 205, 89, 70, 12, kEditStyle),
        Control(kTgtY, K::Edit, QString(), 205, 110, 70, 12, kEditStyle),
        Control(kTgtZ, K::Edit, QString(), 205, 131, 70, 12, kEditStyle),
        Control(kTgtXCaption, K::Label, QStringLiteral("x"), 189, 89, 10, 14),
        Control(kTgtYCaption, K::Label, QStringLiteral("y"), 189, 111, 10, 14),
        Control(kTgtZCaption, K::Label, QStringLiteral("z"), 189, 133, 10, 14),
        Control(kInputFile, K::PushButton, QStringLiteral("转换前文件"), 13, 154, 92, 16),
        Control(kNoId, K::Label, QStringLiteral("格式"), 13, 175, 20, 10),
        Control(kInputFormat, K::DropDownList, QString(), 34, 173, 71, 60, kListStyle, inFormats),
        Control(kNoId, K::Label, QStringLiteral("角度"), 13, 191, 20, 10),
        Control(kInputAngles, K::DropDownList, QString(), 34, 189, 71, 45, kListStyle, angles),
        Control(kOutputFile, K::PushButton, QStringLiteral("转换后文件"), 189, 154, 92, 16),
        Control(kNoId, K::Label, QStringLiteral("格式"), 189, 175, 20, 10),
        Control(kOutputFormat, K::DropDownList, QString(), 210, 173, 71, 60, kListStyle, outFormats),
        Control(kNoId, K::Label, QStringLiteral("角度"), 189, 191, 20, 10),
        Control(kOutputAngles, K::DropDownList, QString(), 210, 189, 71, 45, kListStyle, angles),
        Control(kEditParams, K::PushButton, QStringLiteral("转换参数"), 123, 132, 50, 19, kDefaultButton),
        Control(kCalibrate, K::PushButton, QStringLiteral("点校正"), 123, 156, 50, 19),
        Control(kNoId, K::Label, CreditLine(), 11, 243, 236, 8),
        Control(kNoId, K::Label, QStringLiteral("坐标排列:  x y z或者 B L H 方式    有无点号选项"), 11, 233,
                197, 10),
        Control(kWithNames, K::CheckBox, QStringLiteral("带点号"), 209, 231, 35, 13, kAutoCheck | kFlat),
        Control(kAuthorLink, K::Label, QStringLiteral("作者博客 ") + AuthorPageAddress() + QStringLiteral(" "),
                11, 253, 236, 8),
        Control(kSiteLink, K::Label, QStringLiteral("网站支持 ") + SupportSiteAddress(), 11, 263, 236, 8),
        Control(kNoId, K::GroupBox, QString(), 7, 225, 282, 46),
        // What a conversion will apply, under the two sides.
        Control(kTransformLine, K::Label, QString(), 9, 211, 280, 10),
    };
    return t;
}

DialogTemplate MakeBursaParamTemplate() {
    using namespace bursa_ids;
    DialogTemplate t;
    t.id = kIddBursaParams;
    t.caption = QStringLiteral("布尔莎7参数");
    t.width = 460;
    t.height = 236;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame;
    const QStringList items = ParamListItems();
    const QStringList zonings = ZoningItems();
    // The seven parameter fields are as wide as the main dialog's number
    // fields: at the dialog font both hold "-0.000000000000000" whole. Each
    // side: the system, how its central meridian is given, the meridian
    // field, the file. On the right the residuals of the last estimate and
    // the parameters' standard errors. Under the convention, the direction
    // conversions apply them in.
    t.controls = {
        Control(kCompute, K::PushButton, QStringLiteral("计算"), 30, 215, 33, 14, kDefaultButton),
        Control(kCancel, K::PushButton, QStringLiteral("取消"), 165, 215, 33, 14),
        Control(kNoId, K::GroupBox, QStringLiteral("转换前"), 7, 7, 105, 85),
        Control(kNoId, K::GroupBox, QStringLiteral("转换后"), 116, 7, 105, 85),
        Control(kBeforeSystem, K::DropDownList, QString(), 14, 20, 91, 160, kListStyle, items),
        Control(kBeforeZoning, K::DropDownList, QString(), 14, 37, 91, 45, kListStyle, zonings),
        Control(kBeforeMeridian, K::Edit, QString(), 14, 55, 91, 12, kEditStyle),
        Control(kBeforeFile, K::PushButton, QStringLiteral("FILE1"), 14, 71, 91, 14),
        Control(kAfterSystem, K::DropDownList, QString(), 123, 20, 91, 160, kListStyle, items),
        Control(kAfterZoning, K::DropDownList, QString(), 123, 37, 91, 45, kListStyle, zonings),
        Control(kAfterMeridian, K::Edit, QString(), 123, 55, 91, 12, kEditStyle),
        Control(kAfterFile, K::PushButton, QStringLiteral("FILE2"), 123, 71, 91, 14),
        Control(kDX0, K::Edit, QString(), 29, 107, 70, 13, kEditStyle),
        Control(kDY0, K::Edit, QString(), 29, 125, 70, 13, kEditStyle),
        Control(kDZ0, K::Edit, QString(), 29, 144, 70, 13, kEditStyle),
        Control(kBetaX, K::Edit, QString(), 144, 99, 70, 13, kEditStyle),
        Control(kBetaY, K::Edit, QString(), 144, 116, 70, 13, kEditStyle),
        Control(kBetaZ, K::Edit, QString(), 144, 133, 70, 13, kEditStyle),
        Control(kK, K::Edit, QString(), 144, 150, 70, 13, kEditStyle),
        Control(kNoId, K::GroupBox, QStringLiteral("参数值 单位m,″,ppm"), 7, 94, 214, 71),
        Control(kNoId, K::Label, QStringLiteral("ΔX0"), 13, 109, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("ΔY0"), 13, 126, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("ΔZ0"), 13, 143, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("βx"), 125, 103, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("βy"), 125, 118, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("βz"), 125, 134, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("Κ"), 125, 149, 16, 11),
        Control(kAccept, K::PushButton, QStringLiteral("确认"), 98, 215, 33, 14),
        Control(kNoId, K::Label, QStringLiteral("坐标排列为:  x y z或者 B L H 方式,无点号"), 7, 202, 214, 10),
        Control(kNoId, K::Label, QStringLiteral("旋转约定"), 7, 170, 32, 10),
        Control(kConvention, K::DropDownList, QString(), 40, 168, 56, 40, kListStyle, ConventionItems()),
        Control(kOpenParams, K::PushButton, QStringLiteral("打开…"), 131, 168, 42, 14),
        Control(kSaveParams, K::PushButton, QStringLiteral("保存…"), 179, 168, 42, 14),
        Control(kNoId, K::Label, QStringLiteral("参数方向"), 7, 187, 32, 10),
        Control(kDirection, K::DropDownList, QString(), 40, 185, 181, 40, kListStyle, DirectionItems()),
        Control(kNoId, K::GroupBox, QStringLiteral("残差与参数中误差"), 228, 7, 225, 222),
        Custom(kResiduals, &CResidualTable::Create, 235, 19, 211, 128),
        Control(kPrecision, K::Label, QString(), 235, 151, 211, 74),
    };
    return t;
}

DialogTemplate MakeCalibrationTemplate() {
    using namespace calibration_ids;
    DialogTemplate t;
    t.id = kIddCalibration;
    t.caption = QStringLiteral("点校正");
    t.width = 600;
    t.height = 336;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame;
    const QStringList items = MainListItems();
    const QStringList zonings = ZoningItems();
    const QStringList angles = AngleFormatItems();
    // Left: the model (with, below, the geoid model a height fit sits on),
    // the two systems, the common points (typed or pasted into the table,
    // or two files). Right: the residual plot, the residual table and what
    // the dialog holds. Buttons along the bottom.
    t.controls = {
        Control(kCompute, K::PushButton, QStringLiteral("计算"), 7, 317, 50, 14, kDefaultButton),
        Control(kNoId, K::GroupBox, QStringLiteral("模型"), 7, 5, 330, 44),
        Control(kNoId, K::Label, QStringLiteral("平面"), 14, 17, 20, 10),
        Control(kModel, K::DropDownList, QString(), 36, 15, 64, 40, kListStyle,
                {QStringLiteral("七参数"), QStringLiteral("四参数"), QStringLiteral("三参数")}),
        Control(kNoId, K::Label, QStringLiteral("高程拟合"), 112, 17, 32, 10),
        Control(kHeight, K::DropDownList, QString(), 146, 15, 64, 60, kListStyle, HeightModelItems()),
        Control(kNoId, K::Label, QStringLiteral("旋转约定"), 222, 17, 32, 10),
        Control(kConvention, K::DropDownList, QString(), 256, 15, 74, 40, kListStyle, ConventionItems()),
        Control(kNoId, K::Label, QStringLiteral("大地水准面模型"), 112, 31, 56, 10),
        Control(kGeoid, K::DropDownList, QString(), 170, 29, 96, 45, kListStyle,
                GeoidItems(QStringLiteral("无"))),
        Control(kNoId, K::GroupBox, QStringLiteral("转换前"), 7, 52, 163, 68),
        Control(kBeforeSystem, K::DropDownList, QString(), 14, 64, 149, 160, kListStyle, items),
        Control(kBeforeZoning, K::DropDownList, QString(), 14, 82, 95, 45, kListStyle, zonings),
        Control(kBeforeMeridian, K::Edit, QString(), 113, 83, 50, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("B L 格式"), 14, 102, 34, 10),
        Control(kBeforeAngles, K::DropDownList, QString(), 50, 100, 113, 45, kListStyle, angles),
        Control(kNoId, K::GroupBox, QStringLiteral("转换后"), 174, 52, 163, 68),
        Control(kAfterSystem, K::DropDownList, QString(), 181, 64, 149, 160, kListStyle, items),
        Control(kAfterZoning, K::DropDownList, QString(), 181, 82, 95, 45, kListStyle, zonings),
        Control(kAfterMeridian, K::Edit, QString(), 280, 83, 50, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("B L 格式"), 181, 102, 34, 10),
        Control(kAfterAngles, K::DropDownList, QString(), 217, 100, 113, 45, kListStyle, angles),
        Control(kNoId, K::GroupBox, QStringLiteral("公共点"), 7, 123, 330, 190),
        Control(kSource, K::DropDownList, QString(), 14, 135, 104, 30, kListStyle,
                {QStringLiteral("点对表：键入或粘贴"), QStringLiteral("两个公共点文件")}),
        Control(kNoId, K::Label, QStringLiteral("格式"), 124, 137, 18, 10),
        Control(kFormat, K::DropDownList, QString(), 143, 135, 42, 45, kListStyle,
                {QStringLiteral("txt"), QStringLiteral("dat"), QStringLiteral("csv")}),
        Control(kBeforeFile, K::PushButton, QStringLiteral("转换前文件"), 191, 134, 68, 14),
        Control(kAfterFile, K::PushButton, QStringLiteral("转换后文件"), 263, 134, 67, 14),
        Custom(kPairs, &CPairTable::Create, 14, 152, 316, 138),
        Control(kNoId, K::Label, QStringLiteral("点对文件：每行点号和两侧的坐标，未知的写 *"), 14, 296, 200, 10),
        Control(kReadPairs, K::PushButton, QStringLiteral("读入…"), 222, 294, 52, 14),
        Control(kWritePairs, K::PushButton, QStringLiteral("写出…"), 278, 294, 52, 14),
        Control(kNoId, K::GroupBox, QStringLiteral("残差图"), 343, 5, 250, 120),
        Custom(kPlot, &CResidualPlot::Create, 350, 16, 236, 104),
        Control(kNoId, K::GroupBox, QStringLiteral("残差"), 343, 128, 250, 185),
        Custom(kResiduals, &CResidualTable::Create, 350, 140, 236, 130),
        Control(kResult, K::Label, QString(), 350, 273, 236, 36),
        Control(kOpen, K::PushButton, QStringLiteral("打开…"), 63, 317, 50, 14),
        Control(kSave, K::PushButton, QStringLiteral("保存…"), 119, 317, 50, 14),
        Control(kClear, K::PushButton, QStringLiteral("清除"), 175, 317, 50, 14),
        Control(kAccept, K::PushButton, QStringLiteral("确认"), 487, 317, 50, 14),
        Control(kCancel, K::PushButton, QStringLiteral("取消"), 543, 317, 50, 14),
    };
    return t;
}

DialogTemplate MakeChainTemplate() {
    using namespace chain_ids;
    DialogTemplate t;
    t.id = kIddChain;
    t.caption = QStringLiteral("转换参数");
    t.width = 330;
    t.height = 196;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame;
    // The steps in order on the left, what can be done to them on the
    // right; below, what they do to the main dialog's two systems.
    t.controls = {
        Control(kNoId, K::Label, QStringLiteral("转换步骤，从上到下依次施加："), 7, 7, 250, 10),
        Custom(kSteps, &CreateStepList, 7, 19, 252, 122),
        Control(kAddSeven, K::PushButton, QStringLiteral("七参数…"), 266, 19, 57, 14),
        Control(kAddCalibration, K::PushButton, QStringLiteral("点校正…"), 266, 36, 57, 14),
        Control(kOpen, K::PushButton, QStringLiteral("打开…"), 266, 53, 57, 14),
        Control(kEdit, K::PushButton, QStringLiteral("编辑…"), 266, 76, 57, 14),
        Control(kRemove, K::PushButton, QStringLiteral("删除"), 266, 93, 57, 14),
        Control(kUp, K::PushButton, QStringLiteral("上移"), 266, 110, 57, 14),
        Control(kDown, K::PushButton, QStringLiteral("下移"), 266, 127, 57, 14),
        Control(kLine, K::Label, QString(), 7, 146, 316, 26),
        Control(kSave, K::PushButton, QStringLiteral("保存…"), 7, 176, 50, 14),
        Control(kAccept, K::PushButton, QStringLiteral("确认"), 217, 176, 50, 14, kDefaultButton),
        Control(kCancel, K::PushButton, QStringLiteral("取消"), 273, 176, 50, 14),
    };
    return t;
}

DialogTemplate MakeSystemDefTemplate() {
    using namespace system_ids;
    DialogTemplate t;
    t.id = kIddSystemDef;
    t.caption = QStringLiteral("自定义坐标系");
    t.width = 262;
    t.height = 232;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame;
    // The name, the ellipsoid, the form; the grid of a Gauss projection with
    // its projection plane; what the plane comes to; the buttons.
    t.controls = {
        Control(kNoId, K::Label, QStringLiteral("名称"), 9, 11, 40, 10),
        Control(kName, K::Edit, QString(), 52, 9, 201, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("椭球"), 9, 29, 40, 10),
        Control(kDatum, K::DropDownList, QString(), 52, 27, 88, 80, kListStyle,
                {QStringLiteral("CGCS2000"), QStringLiteral("西安80"), QStringLiteral("北京54"),
                 QStringLiteral("WGS84"), QStringLiteral("自定义椭球")}),
        Control(kNoId, K::Label, QStringLiteral("a(米)"), 52, 47, 22, 10),
        Control(kA, K::Edit, QString(), 76, 45, 64, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("1/f"), 155, 47, 14, 10),
        Control(kRf, K::Edit, QString(), 171, 45, 82, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("坐标形式"), 9, 65, 40, 10),
        Control(kForm, K::DropDownList, QString(), 52, 63, 88, 60, kListStyle,
                {QStringLiteral("高斯投影 x y H"), QStringLiteral("大地坐标 B L H"), QStringLiteral("地心坐标 X Y Z")}),
        Control(kNoId, K::GroupBox, QStringLiteral("高斯投影"), 7, 80, 248, 92),
        Control(kNoId, K::Label, QStringLiteral("中央子午线"), 14, 95, 42, 10),
        Control(kMeridian, K::Edit, QString(), 62, 93, 60, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("尺度 k0"), 134, 95, 42, 10),
        Control(kK0, K::Edit, QString(), 184, 93, 62, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("假东(米)"), 14, 113, 42, 10),
        Control(kFalseEasting, K::Edit, QString(), 62, 111, 60, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("假北(米)"), 134, 113, 42, 10),
        Control(kFalseNorthing, K::Edit, QString(), 184, 111, 62, 12, kEditStyle),
        Control(kPlaneHeightCaption, K::Label, QStringLiteral("投影面高程"), 14, 131, 42, 10),
        Control(kPlaneHeight, K::Edit, QString(), 62, 129, 60, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("投影面纬度"), 134, 131, 42, 10),
        Control(kPlaneLatitude, K::Edit, QString(), 184, 129, 62, 12, kEditStyle),
        Control(kPlaneOriginCaption, K::Label, QStringLiteral("投影面原点"), 14, 149, 42, 10),
        Control(kNoId, K::Label, QStringLiteral("x0"), 62, 149, 10, 10),
        Control(kPlaneX0, K::Edit, QString(), 73, 147, 72, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("y0"), 163, 149, 10, 10),
        Control(kPlaneY0, K::Edit, QString(), 174, 147, 72, 12, kEditStyle),
        Control(kDerived, K::Label, QString(), 9, 175, 246, 32),
        Control(kOpen, K::PushButton, QStringLiteral("打开…"), 7, 211, 45, 14),
        Control(kSave, K::PushButton, QStringLiteral("保存…"), 57, 211, 45, 14),
        Control(kOk, K::PushButton, QStringLiteral("确定"), 155, 211, 45, 14, kDefaultButton),
        Control(kCancel, K::PushButton, QStringLiteral("取消"), 208, 211, 45, 14),
    };
    return t;
}

DialogTemplate MakeAboutTemplate() {
    DialogTemplate t;
    t.id = kIddAbout;
    t.caption = QStringLiteral("关于 ZELK");
    t.width = 235;
    t.height = 55;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame;
    t.controls = {
        Control(kNoId, K::Icon, QString::number(kIdrMainFrame), 11, 17, 20, 20),
        Control(kNoId, K::Label, QStringLiteral("ZELK 1.0 版"), 40, 10, 119, 8, kNoPrefix),
        Control(kNoId, K::Label, QStringLiteral("坐标转换与七参数解算"), 40, 25, 119, 8),
        Control(kIdOk, K::PushButton, QStringLiteral("确定"), 178, 7, 50, 14, kDefaultButton),
    };
    return t;
}
}  // namespace

QStringList DirectionItems() {
    return {QStringLiteral("正算：从转换前到转换后"), QStringLiteral("反算：从转换后到转换前（精确逆变换）")};
}

QStringList FileFormatItems(bool output) {
    QStringList items{QStringLiteral("普通(txt)"), QStringLiteral("CASS(dat)"),
                      QStringLiteral("CSV(csv)")};
    if (output) items << QStringLiteral("KML(kml)");
#if ZELK_HAVE_GIS
    items << QStringLiteral("DXF(dxf)") << QStringLiteral("SHP(shp)") << QStringLiteral("GPKG(gpkg)")
          << QStringLiteral("GeoJSON") << QStringLiteral("Excel(xlsx)");
#endif
    return items;
}

QString InputFileFilter() {
#if ZELK_HAVE_GIS
    return QStringLiteral(
        "点文件(*.txt;*.dat;*.csv;*.dxf;*.shp;*.gpkg;*.geojson;*.json;*.xlsx)|"
        "*.txt;*.dat;*.csv;*.dxf;*.shp;*.gpkg;*.geojson;*.json;*.xlsx|普通格式(*.txt)|*.txt|"
        "CASS数据(*.dat)|*.dat|CSV表格(*.csv)|*.csv|DXF图形(*.dxf)|*.dxf|Shapefile(*.shp)|*.shp|"
        "GeoPackage(*.gpkg)|*.gpkg|GeoJSON(*.geojson;*.json)|*.geojson;*.json|"
        "Excel工作簿(*.xlsx)|*.xlsx|所有文件(*)|*||");
#else
    return QStringLiteral(
        "点文件(*.txt;*.dat;*.csv)|*.txt;*.dat;*.csv|普通格式(*.txt)|*.txt|CASS数据(*.dat)|*.dat|"
        "CSV表格(*.csv)|*.csv|所有文件(*)|*||");
#endif
}

QString OutputFileFilter() {
#if ZELK_HAVE_GIS
    return QStringLiteral(
        "点文件(*.txt;*.dat;*.csv;*.kml;*.dxf;*.shp;*.gpkg;*.geojson;*.xlsx)|"
        "*.txt;*.dat;*.csv;*.kml;*.dxf;*.shp;*.gpkg;*.geojson;*.xlsx|普通格式(*.txt)|*.txt|"
        "CASS数据(*.dat)|*.dat|CSV表格(*.csv)|*.csv|KML地图(*.kml)|*.kml|DXF图形(*.dxf)|*.dxf|"
        "Shapefile(*.shp)|*.shp|GeoPackage(*.gpkg)|*.gpkg|GeoJSON(*.geojson)|*.geojson|"
        "Excel工作簿(*.xlsx)|*.xlsx|所有文件(*)|*||");
#else
    return QStringLiteral(
        "点文件(*.txt;*.dat;*.csv;*.kml)|*.txt;*.dat;*.csv;*.kml|普通格式(*.txt)|*.txt|"
        "CASS数据(*.dat)|*.dat|CSV表格(*.csv)|*.csv|KML地图(*.kml)|*.kml|所有文件(*)|*||");
#endif
}

QStringList AngleFormatItems() {
    return {QStringLiteral("度.分秒"), QStringLiteral("十进制度"), QStringLiteral("度分秒(°′″)")};
}

const DialogTemplate& ConvertDialogTemplate() {
    static const DialogTemplate t = MakeConvertTemplate();
    return t;
}

const DialogTemplate& BursaParamDialogTemplate() {
    static const DialogTemplate t = MakeBursaParamTemplate();
    return t;
}

const DialogTemplate& CalibrationDialogTemplate() {
    static const DialogTemplate t = MakeCalibrationTemplate();
    return t;
}

const DialogTemplate& ChainDialogTemplate() {
    static const DialogTemplate t = MakeChainTemplate();
    return t;
}

const DialogTemplate& SystemDefDialogTemplate() {
    static const DialogTemplate t = MakeSystemDefTemplate();
    return t;
}

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate t = MakeAboutTemplate();
    return t;
}
