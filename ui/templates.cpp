#include "ui/templates.h"

#include "ui/resources.h"
#include "workflow/conversion.h"

namespace {
QStringList MainListItems() {
    QStringList items;
    for (int i = 0; i < kSystemCount; ++i) items << QString::fromUtf8(MainListLabel(i));
    return items;
}

QStringList ParamListItems() {
    QStringList items;
    for (int i = 0; i < kSystemCount; ++i) items << QString::fromUtf8(ParamListLabel(i));
    return items;
}

ControlTemplate Control(int id, ControlKind kind, const QString& text, int x, int y, int w, int h,
                        unsigned style = kStyleNone, const QStringList& items = {}) {
    return ControlTemplate{id, kind, text, QRect(x, y, w, h), style, items};
}

constexpr unsigned kEditStyle = kBorder | kAutoHScroll;
constexpr unsigned kListStyle = kVerticalScroll;
using K = ControlKind;

DialogTemplate MakeConvertTemplate() {
    using namespace convert_ids;
    DialogTemplate t;
    t.id = kIddConvert;
    t.caption = ApplicationDisplayName();
    t.width = 296;
    t.height = 216;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame | kAppWindow;
    const QStringList items = MainListItems();
    t.controls = {
        Control(kConvert, K::PushButton, QStringLiteral("转换"), 123, 47, 50, 19, kDefaultButton),
        Control(kNoId, K::GroupBox, QStringLiteral("待求"), 181, 5, 105, 156),
        Control(kNoId, K::GroupBox, QStringLiteral("原始"), 7, 5, 105, 156),
        Control(kSrcSystem, K::DropDownList, QString(), 19, 22, 88, 97, kListStyle, items),
        Control(kSrcMeridian, K::Edit, QString(), 34, 51, 70, 12, kEditStyle),
        Control(kSrcX, K::Edit, QString(), 34, 72, 70, 12, kEditStyle),
        Control(kSrcY, K::Edit, QString(), 34, 93, 70, 12, kEditStyle),
        Control(kSrcZ, K::Edit, QString(), 34, 114, 70, 12, kEditStyle),
        Control(kNoId, K::Label, QStringLiteral("中央子午线(度.分秒)"), 19, 40, 87, 9),
        Control(kSrcXCaption, K::Label, QStringLiteral("x"), 18, 72, 10, 14),
        Control(kSrcYCaption, K::Label, QStringLiteral("y"), 18, 93, 10, 14),
        Control(kSrcZCaption, K::Label, QStringLiteral("z"), 18, 114, 10, 14),
        Control(kTgtSystem, K::DropDownList, QString(), 191, 16, 88, 106, kListStyle, items),
        Control(kTgtMeridian, K::Edit, QString(), 205, 51, 70, 12, kEditStyle),
        Control(kTgtX, K::Edit, QString(), 205, 72, 70, 12, kEditStyle),
        Control(kTgtY, K::Edit, QString(), 205, 93, 70, 12, kEditStyle),
        Control(kTgtZ, K::Edit, QString(), 205, 114, 70, 12, kEditStyle),
        Control(kTgtXCaption, K::Label, QStringLiteral("x"), 189, 72, 10, 14),
        Control(kTgtYCaption, K::Label, QStringLiteral("y"), 189, 94, 10, 14),
        Control(kTgtZCaption, K::Label, QStringLiteral("z"), 189, 116, 10, 14),
        Control(kInputFile, K::PushButton, QStringLiteral("转换前文件"), 13, 137, 92, 16),
        Control(kOutputFile, K::PushButton, QStringLiteral("转换后文件"), 189, 137, 92, 16),
        Control(kEditParams, K::PushButton, QStringLiteral("转换参数"), 123, 115, 50, 19, kDefaultButton),
        Control(kNoId, K::Label, QStringLiteral("中央子午线(度.分秒)"), 191, 38, 87, 9),
        Control(kNoId, K::Label, CreditLine(), 11, 180, 236, 8),
        Control(kNoId, K::Label, QStringLiteral("坐标排列:  x y z或者 B L H 方式    有无点号选项"), 11, 170,
                197, 10),
        Control(kWithNames, K::CheckBox, QStringLiteral("带点号"), 209, 168, 35, 13, kAutoCheck | kFlat),
        Control(kAuthorLink, K::Label, QStringLiteral("作者博客 ") + AuthorPageAddress() + QStringLiteral(" "),
                11, 190, 236, 8),
        Control(kSiteLink, K::Label, QStringLiteral("网站支持 ") + SupportSiteAddress(), 11, 200, 236, 8),
        Control(kNoId, K::GroupBox, QString(), 7, 162, 282, 46),
    };
    return t;
}

DialogTemplate MakeBursaParamTemplate() {
    using namespace bursa_ids;
    DialogTemplate t;
    t.id = kIddBursaParams;
    t.caption = QStringLiteral("布尔莎7参数");
    t.width = 210;
    t.height = 190;
    t.fontFace = QStringLiteral("宋体");
    t.pointSize = 9;
    t.style = kSystemMenu | kModalFrame;
    const QStringList items = ParamListItems();
    // The seven parameter fields are as wide as the main dialog's number
    // fields: at the dialog font both hold "-0.000000000000000" whole.
    t.controls = {
        Control(kCompute, K::PushButton, QStringLiteral("计算"), 26, 169, 33, 14, kDefaultButton),
        Control(kCancel, K::PushButton, QStringLiteral("取消"), 141, 169, 33, 14),
        Control(kNoId, K::GroupBox, QStringLiteral("转换前"), 7, 7, 97, 75),
        Control(kNoId, K::GroupBox, QStringLiteral("转换后"), 109, 7, 94, 76),
        Control(kBeforeSystem, K::DropDownList, QString(), 16, 20, 80, 87, kListStyle, items),
        Control(kBeforeMeridian, K::Edit, QString(), 59, 39, 34, 12, kEditStyle),
        Control(kBeforeFile, K::PushButton, QStringLiteral("FILE1"), 13, 60, 84, 14),
        Control(kAfterSystem, K::DropDownList, QString(), 117, 20, 80, 86, kListStyle, items),
        Control(kAfterMeridian, K::Edit, QString(), 163, 39, 34, 12, kEditStyle),
        Control(kAfterFile, K::PushButton, QStringLiteral("FILE2"), 113, 60, 84, 14),
        Control(kDX0, K::Edit, QString(), 29, 97, 70, 13, kEditStyle),
        Control(kDY0, K::Edit, QString(), 29, 115, 70, 13, kEditStyle),
        Control(kDZ0, K::Edit, QString(), 29, 134, 70, 13, kEditStyle),
        Control(kBetaX, K::Edit, QString(), 126, 89, 70, 13, kEditStyle),
        Control(kBetaY, K::Edit, QString(), 126, 106, 70, 13, kEditStyle),
        Control(kBetaZ, K::Edit, QString(), 126, 123, 70, 13, kEditStyle),
        Control(kK, K::Edit, QString(), 126, 140, 70, 13, kEditStyle),
        Control(kNoId, K::GroupBox, QStringLiteral("参数值 单位m,s,ppm"), 7, 84, 196, 71),
        Control(kNoId, K::Label, QStringLiteral("中央子午线"), 10, 42, 45, 10),
        Control(kNoId, K::Label, QStringLiteral("中央子午线"), 115, 41, 45, 10),
        Control(kNoId, K::Label, QStringLiteral("ΔX0"), 13, 99, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("ΔY0"), 13, 116, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("ΔZ0"), 13, 133, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("βx"), 107, 93, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("βy"), 107, 108, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("βz"), 107, 124, 16, 11),
        Control(kNoId, K::Label, QStringLiteral("Κ"), 107, 139, 16, 11),
        Control(kAccept, K::PushButton, QStringLiteral("确认"), 79, 169, 33, 14),
        Control(kNoId, K::Label, QStringLiteral("坐标排列为:  x y z或者 B L H 方式,无点号"), 7, 156, 196, 10),
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

const DialogTemplate& ConvertDialogTemplate() {
    static const DialogTemplate t = MakeConvertTemplate();
    return t;
}

const DialogTemplate& BursaParamDialogTemplate() {
    static const DialogTemplate t = MakeBursaParamTemplate();
    return t;
}

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate t = MakeAboutTemplate();
    return t;
}
