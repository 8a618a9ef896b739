// The dialogs as built from their templates: every control findable by its
// id, exact texts and list items, tab order, rectangles in dialog units, a
// font that draws the Chinese texts, and number fields that never hide the
// start of a number.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

#include "recording_messages.h"
#include "ui/about_dlg.h"
#include "ui/bursa_param_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/chain_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/resources.h"
#include "ui/templates.h"
#include "ui_test_support.h"
#include "workflow/coordinate_system.h"

using namespace zelk;

namespace {
// The ids of the focusable controls in tab order.
std::vector<int> TabOrder(CTemplateDialog& dialog) {
    std::vector<int> ids;
    QWidget* first = nullptr;
    for (QWidget* w : dialog.Controls()) {
        if (w->focusPolicy() != Qt::NoFocus) {
            first = w;
            break;
        }
    }
    QWidget* w = first;
    do {
        if (w->parentWidget() == &dialog && w->focusPolicy() != Qt::NoFocus)
            ids.push_back(w->property(kControlIdProperty).toInt());
        w = w->nextInFocusChain();
    } while (w && w != first);
    return ids;
}

// Titles of the group boxes in template order.
QStringList GroupTitles(CTemplateDialog& dialog) {
    QStringList titles;
    for (QWidget* w : dialog.Controls()) {
        if (auto* box = qobject_cast<QGroupBox*>(w)) titles << box->title();
    }
    return titles;
}

QStringList Items(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

// The catalogue's labels in a dialog's list order.
QStringList CatalogueLabels(bool mainList) {
    QStringList labels;
    const int count = static_cast<int>(zelk::Systems().size());
    for (int i = 0; i < count; ++i) {
        labels << QString::fromUtf8(mainList ? zelk::Systems()[static_cast<std::size_t>(i)].mainLabel
                                             : ParamListEntryAt(i)->paramLabel);
    }
    return labels;
}

// A system list: the catalogue's labels in the dialog's order, then the
// systems of one's own of this run, then 自定义坐标系… last.
QStringList SystemListShown(QComboBox* list) {
    const QStringList shown = Items(list);
    EXPECT_FALSE(shown.isEmpty());
    if (!shown.isEmpty()) EXPECT_EQ(shown.back(), QStringLiteral("自定义坐标系…"));
    return shown.mid(0, static_cast<int>(zelk::Systems().size()));
}

const QStringList kZoningItems{QStringLiteral("中央子午线(度.分秒)"), QStringLiteral("3度带(y含带号)"),
                               QStringLiteral("6度带(y含带号)")};
// The zoning list: kZoningItems, then the UTM zones 1N..60N, 1S..60S with
// their meridians (a side shows only those of its projection).
QStringList ZoningListItems() {
    QStringList items = kZoningItems;
    for (const char* hemisphere : {"N 北", "S 南"}) {
        for (int zone = 1; zone <= 60; ++zone) {
            items << QStringLiteral("UTM %1%2 (%3°)").arg(zone).arg(QString::fromUtf8(hemisphere)).arg(6 * zone - 183);
        }
    }
    return items;
}

// Every control sits where its rectangle in dialog units says; lists keep
// their own closed height.
void ExpectPlacedByDialogUnits(CTemplateDialog& dialog) {
    const DialogBaseUnits units = dialog.BaseUnits();
    ASSERT_EQ(dialog.Controls().size(), dialog.Template().controls.size());
    for (std::size_t i = 0; i < dialog.Controls().size(); ++i) {
        const ControlTemplate& t = dialog.Template().controls[i];
        QWidget* w = dialog.Controls()[i];
        const QRect expected = MapDialogRect(t.rect, units);
        SCOPED_TRACE(t.text.toStdString() + " id " + std::to_string(t.id));
        EXPECT_EQ(w->property(kDialogRectProperty).toRect(), t.rect);
        EXPECT_EQ(w->pos(), expected.topLeft());
        if (t.kind == ControlKind::Icon) {
            EXPECT_EQ(w->size(), QSize(32, 32));
        } else if (t.kind == ControlKind::DropDownList) {
            EXPECT_EQ(w->width(), expected.width());
        } else {
            EXPECT_EQ(w->size(), expected.size());
        }
        if (t.id != kNoId) {
            EXPECT_EQ(dialog.GetDlgItem(t.id), w);
        }
    }
    EXPECT_EQ(dialog.size(),
              MapDialogRect(QRect(0, 0, dialog.Template().width, dialog.Template().height), units)
                  .size());
}

// Whether the field shows all of its text, as the line edit itself decides:
// it scrolls a text only when the text does not fit. Painted with the cursor
// at the end, the text's start then lies left of where an empty field
// starts; moving the cursor to 0 without painting again shows where.
int CursorLeft(QLineEdit* edit) { return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(); }

bool ShowsWholeText(QLineEdit* edit) {
    const QString text = edit->text();
    edit->clear();
    edit->grab();
    const int start = CursorLeft(edit);
    edit->setText(text);
    edit->end(false);
    edit->grab();
    edit->home(false);
    return CursorLeft(edit) == start;
}

// Every character of every text has a glyph in the dialog's font.
void ExpectGlyphsForAllTexts(CTemplateDialog& dialog) {
    const QFontMetrics metrics(dialog.font());
    QStringList texts{dialog.windowTitle()};
    for (const ControlTemplate& t : dialog.Template().controls) {
        if (t.kind != ControlKind::Icon) texts << t.text;
        texts << t.items;
    }
    for (const QString& text : texts) {
        for (QChar c : text) {
            EXPECT_TRUE(metrics.inFont(c)) << "no glyph for U+" << std::hex << static_cast<int>(c.unicode()) << " in "
                                           << text.toStdString() << " ("
                                           << dialog.font().family().toStdString() << ")";
        }
    }
}
}  // namespace

TEST(DialogUnits, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(7, 3, 2), 11);    // 10.5
    EXPECT_EQ(MulDiv(-7, 3, 2), -11);  // -10.5
    EXPECT_EQ(MulDiv(5, 6, 4), 8);     // 7.5
    EXPECT_EQ(MulDiv(296, 7, 4), 518);
    EXPECT_EQ(MulDiv(3, 1, 4), 1);     // 0.75
    EXPECT_EQ(MulDiv(1, 1, 4), 0);     // 0.25
}

TEST(DialogUnits, FollowTheFontsAverageWidthAndHeight) {
    const DialogBaseUnits units{7, 16};
    EXPECT_EQ(MapDialogRect(QRect(123, 47, 50, 19), units), QRect(215, 94, 88, 38));
    CConvertDlg dialog;
    const QFontMetrics metrics(dialog.font());
    EXPECT_EQ(dialog.BaseUnits().y, metrics.height());
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    EXPECT_NEAR(dialog.BaseUnits().x, letters / 52.0, 0.5);
    EXPECT_EQ(dialog.font().pointSize(), 9);
}

TEST(MainDialogLayout, ControlsTextsAndPlaces) {
    CConvertDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), ApplicationDisplayName());
    ExpectPlacedByDialogUnits(dialog);
    ExpectGlyphsForAllTexts(dialog);

    const std::pair<int, const char*> texts[] = {
        {1, "转换"},          {3, "转换参数"},      {4, "点校正"},        {1010, "转换前文件"}, {1011, "转换后文件"},
        {1025, "x"},          {1026, "y"},          {1027, "z"},          {1028, "x"},
        {1029, "y"},          {1030, "z"},          {1031, "带点号"},
    };
    for (const auto& [id, text] : texts) {
        ASSERT_NE(dialog.GetDlgItem(id), nullptr) << id;
        EXPECT_EQ(Text(dialog.GetDlgItem(id)), QString::fromUtf8(text)) << id;
    }
    EXPECT_TRUE(Text(dialog.GetDlgItem(1032)).startsWith(QStringLiteral("作者博客 ")));
    EXPECT_TRUE(Text(dialog.GetDlgItem(1032)).endsWith(QStringLiteral(".md ")));
    EXPECT_TRUE(Text(dialog.GetDlgItem(1033)).startsWith(QStringLiteral("网站支持 ")));

    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("坐标排列:  x y z或者 B L H 方式    有无点号选项")));
    // Each side gives its central meridian with a list above the field.
    EXPECT_EQ(labels.count(QStringLiteral("中央子午线(度.分秒)")), 0);
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1034)), ZoningListItems());
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1035)), ZoningListItems());
    EXPECT_EQ(GroupTitles(dialog), (QStringList{QStringLiteral("待求"), QStringLiteral("原始"), QString()}));

    const QStringList items{QStringLiteral("WGS84-UTM--xyH"),  QStringLiteral("WGS84-大地坐标"),
                            QStringLiteral("北京54-高斯-xyH"), QStringLiteral("北京54-大地坐标"),
                            QStringLiteral("西安80-高斯-xyH"), QStringLiteral("西安80-大地坐标")};
    // The original six keep their places and labels; the whole catalogue
    // follows in its order.
    for (int id : {1000, 1005}) {
        const QStringList shown = SystemListShown(dialog.Item<QComboBox>(id));
        EXPECT_EQ(shown.mid(0, 6), items) << id;
        EXPECT_EQ(shown, CatalogueLabels(true)) << id;
    }

    // The file area: each file button, then its format and angle lists;
    // 点校正 (4) follows 转换参数.
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1050)), FileFormatItems(false));
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1052)), FileFormatItems(true));
    for (int id : {1051, 1053}) EXPECT_EQ(Items(dialog.Item<QComboBox>(id)), AngleFormatItems()) << id;
    // Under each side's zoning list, what its heights are above.
    for (int id : {1054, 1055}) {
        EXPECT_EQ(Items(dialog.Item<QComboBox>(id)), (QStringList{"椭球高", "EGM96", "选择模型文件…"})) << id;
        EXPECT_EQ(dialog.Item<QComboBox>(id)->currentIndex(), 0) << id;
    }
    EXPECT_EQ(TabOrder(dialog), (std::vector<int>{1, 1000, 1034, 1054, 1001, 1002, 1003, 1004, 1005, 1035,
                                                  1055, 1006, 1007, 1008, 1009, 1010, 1050, 1051, 1011,
                                                  1052, 1053, 3, 4, 1031}));
    EXPECT_TRUE(dialog.Item<QPushButton>(1)->isDefault());
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(1));
}

TEST(SevenParameterDialogLayout, ControlsTextsAndPlaces) {
    CBursaParamDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("布尔莎7参数"));
    ExpectPlacedByDialogUnits(dialog);
    ExpectGlyphsForAllTexts(dialog);

    const std::pair<int, const char*> texts[] = {
        {1, "计算"},   {2, "取消"},     {1024, "确认"},  {1012, "FILE1"},
        {1014, "FILE2"}, {1028, "打开…"}, {1029, "保存…"},
    };
    for (const auto& [id, text] : texts) EXPECT_EQ(Text(dialog.GetDlgItem(id)), QString::fromUtf8(text));

    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
    EXPECT_EQ(labels.mid(0, 11), (QStringList{"ΔX0", "ΔY0", "ΔZ0", "βx", "βy", "βz", "Κ",
                                              "坐标排列为:  x y z或者 B L H 方式,无点号", "旋转约定",
                                              "参数方向", Text(dialog.GetDlgItem(1031))}));
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1032)),
              (QStringList{"正算：从转换前到转换后", "反算：从转换后到转换前（精确逆变换）"}));
    EXPECT_EQ(dialog.Item<QComboBox>(1032)->currentIndex(), 0);
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1027)), (QStringList{"坐标框架", "位置矢量"}));
    EXPECT_EQ(dialog.Item<QComboBox>(1027)->currentIndex(), 0);
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1025)), ZoningListItems());
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1026)), ZoningListItems());
    // The scale's caption is the Greek capital kappa, not a Latin K.
    EXPECT_EQ(QStringLiteral("Κ").at(0).unicode(), 0x039A);
    EXPECT_EQ(GroupTitles(dialog), (QStringList{"转换前", "转换后", "参数值 单位m,″,ppm", "残差与参数中误差"}));

    const QStringList items{QStringLiteral("北京54大地坐标BLH"), QStringLiteral("北京54高斯投影xyH"),
                            QStringLiteral("西安80大地坐标BLH"), QStringLiteral("西安80高斯投影xyH"),
                            QStringLiteral("WGS84大地坐标BLH"),  QStringLiteral("WGS84UTM投影xyH")};
    for (int id : {1000, 1023}) {
        const QStringList shown = SystemListShown(dialog.Item<QComboBox>(id));
        EXPECT_EQ(shown.mid(0, 6), items) << id;
        EXPECT_EQ(shown, CatalogueLabels(false)) << id;
    }

    // The convention, 打开…, 保存…, the direction and the residual table follow 确认.
    EXPECT_EQ(TabOrder(dialog), (std::vector<int>{1, 2, 1000, 1025, 1011, 1012, 1023, 1026, 1013, 1014, 1015,
                                                  1016, 1017, 1018, 1019, 1020, 1021, 1024, 1027, 1028, 1029,
                                                  1032, 1030}));
    EXPECT_TRUE(dialog.Item<QPushButton>(1)->isDefault());
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(1));
}

TEST(CalibrationDialogLayout, ControlsTextsAndPlaces) {
    CCalibrationDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("点校正"));
    ExpectPlacedByDialogUnits(dialog);
    ExpectGlyphsForAllTexts(dialog);
    const std::pair<int, const char*> texts[] = {
        {1, "计算"},   {2, "取消"},           {1011, "转换前文件"}, {1012, "转换后文件"},
        {1017, "打开…"}, {1018, "保存…"},        {1019, "清除"},       {1020, "确认"},
        {1024, "读入…"}, {1025, "写出…"},
    };
    for (const auto& [id, text] : texts) EXPECT_EQ(Text(dialog.GetDlgItem(id)), QString::fromUtf8(text)) << id;
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1000)), (QStringList{"七参数", "四参数", "三参数"}));
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1001)), (QStringList{"无", "固定差", "平面", "二次曲面"}));
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1002)), (QStringList{"坐标框架", "位置矢量"}));
    for (int id : {1003, 1006}) EXPECT_EQ(SystemListShown(dialog.Item<QComboBox>(id)), CatalogueLabels(true)) << id;
    for (int id : {1004, 1007}) EXPECT_EQ(Items(dialog.Item<QComboBox>(id)), ZoningListItems()) << id;
    EXPECT_EQ(GroupTitles(dialog), (QStringList{"模型", "转换前", "转换后", "公共点", "残差图", "残差"}));
    for (int id : {1021, 1022}) {
        EXPECT_EQ(Items(dialog.Item<QComboBox>(id)), (QStringList{"度.分秒", "十进制度", "度分秒(°′″)"})) << id;
        EXPECT_TRUE(dialog.GetDlgItem(id)->isEnabled()) << id;  // no system chosen yet
    }
    // The geoid model a height fit sits on: none, and greyed while there is no fit.
    EXPECT_EQ(Items(dialog.Item<QComboBox>(1023)), (QStringList{"无", "EGM96", "选择模型文件…"}));
    EXPECT_EQ(dialog.Item<QComboBox>(1023)->currentIndex(), 0);
    EXPECT_FALSE(dialog.GetDlgItem(1023)->isEnabled());
    EXPECT_EQ(TabOrder(dialog), (std::vector<int>{1, 1000, 1001, 1002, 1023, 1003, 1004, 1005, 1021, 1006, 1007,
                                                  1008, 1022, 1009, 1010, 1011, 1012, 1013, 1024, 1025, 1015, 1017,
                                                  1018, 1019, 1020, 2}));
    EXPECT_TRUE(dialog.Item<QPushButton>(1)->isDefault());
    // It opens on the typed pairs: the files greyed; seven parameters, so
    // the convention usable.
    EXPECT_EQ(dialog.Item<QComboBox>(1009)->currentIndex(), 0);
    for (int id : {1010, 1011, 1012}) EXPECT_FALSE(dialog.GetDlgItem(id)->isEnabled()) << id;
    EXPECT_TRUE(dialog.GetDlgItem(1013)->isEnabled());
    EXPECT_TRUE(dialog.GetDlgItem(1002)->isEnabled());
}

TEST(StepsDialogLayout, ControlsTextsAndPlaces) {
    CChainDlg dialog({}, std::nullopt, std::nullopt);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("转换参数"));
    ExpectPlacedByDialogUnits(dialog);
    ExpectGlyphsForAllTexts(dialog);
    const std::pair<int, const char*> texts[] = {
        {1, "确认"},     {2, "取消"},     {1001, "七参数…"}, {1002, "点校正…"}, {1003, "打开…"},
        {1004, "编辑…"}, {1005, "删除"},  {1006, "上移"},    {1007, "下移"},    {1008, "保存…"},
    };
    for (const auto& [id, text] : texts) EXPECT_EQ(Text(dialog.GetDlgItem(id)), QString::fromUtf8(text)) << id;
    EXPECT_EQ(TabOrder(dialog),
              (std::vector<int>{1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1, 2}));
    EXPECT_TRUE(dialog.Item<QPushButton>(1)->isDefault());
    // Nothing to edit, move or save yet.
    for (int id : {1004, 1005, 1006, 1007, 1008}) EXPECT_FALSE(dialog.GetDlgItem(id)->isEnabled()) << id;
    EXPECT_EQ(dialog.LineText(), QStringLiteral("没有转换步骤：七参数全为零，同一基准内只换算坐标形式。主窗口还没有选好转换前、后坐标系统。"));
}

TEST(AboutBox, ShowsNameVersionAndIconAndClosesBothWays) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("关于 ZELK"));
    ExpectPlacedByDialogUnits(about);
    ExpectGlyphsForAllTexts(about);
    QStringList texts;
    bool icon = false;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            icon = true;
            EXPECT_EQ(label->pixmap().size(), QSize(32, 32));
        } else {
            texts << label->text();
        }
    }
    EXPECT_TRUE(icon);
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QStringLiteral("ZELK 1.0 版"));
    EXPECT_FALSE(texts[1].isEmpty());
    EXPECT_EQ(Text(about.GetDlgItem(1)), QStringLiteral("确定"));

    WhenModal([](QWidget* w) { static_cast<CAboutDlg*>(w)->Item<QPushButton>(1)->click(); });
    EXPECT_EQ(about.DoModal(), kIdOk);
    WhenModal([](QWidget* w) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(w, &esc);
    });
    EXPECT_EQ(about.DoModal(), kIdCancel);
}

TEST(Resources, IconStringTableAndAddresses) {
    const QIcon icon = LoadIconResource(kIdrMainFrame);
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(32, 32).isNull());
    EXPECT_TRUE(LoadIconResource(129).isNull());
    // The drawn picture is not blank.
    const QImage drawn = DrawApplicationIcon().toImage();
    EXPECT_EQ(drawn.size(), QSize(32, 32));
    EXPECT_NE(drawn.pixelColor(15, 15).alpha(), 0);
    EXPECT_EQ(drawn.pixelColor(0, 0).alpha(), 0);

    EXPECT_EQ(LoadStringResource(101).value_or(QString()), QStringLiteral("关于 ZELK(&A)..."));
    EXPECT_FALSE(LoadStringResource(1032).has_value());

    // The links open local documents, so they work without a network.
    EXPECT_TRUE(AuthorPageAddress().startsWith(QStringLiteral("file://")));
    EXPECT_TRUE(SupportSiteAddress().startsWith(QStringLiteral("file://")));
    EXPECT_TRUE(SupportSiteAddress().endsWith(QStringLiteral("/README.md")));
}

TEST(GroupBoxes, LieBeneathAndLetTheMouseThrough) {
    CConvertDlg dialog;
    dialog.show();
    // The bottom frame surrounds the link labels; a click there reaches the label.
    QWidget* link = dialog.GetDlgItem(1032);
    const QPoint inside = link->geometry().topLeft() + QPoint(3, 3);
    EXPECT_EQ(dialog.childAt(inside), link);
    // And the lists inside the side frames are reachable too.
    QWidget* list = dialog.GetDlgItem(1000);
    EXPECT_EQ(dialog.childAt(list->geometry().center()), list);
}

TEST(NumberFields, ShowTheStartAndTheWholeNumberOneWayOrAnother) {
    RecordingMessages messages;
    CConvertDlg main;
    CBursaParamDlg params;
    CCalibrationDlg calibration;
    struct Field {
        CTemplateDialog* dialog;
        int id;
        bool holdsLongestFixed;  // wide enough for "-0.000000000000000" at the dialog font
    };
    std::vector<Field> fields;
    for (int id : {1001, 1002, 1003, 1004, 1006, 1007, 1008, 1009}) fields.push_back({&main, id, true});
    for (int id : {1011, 1013, 1015, 1016, 1017, 1018, 1019, 1020, 1021})
        fields.push_back({&params, id, true});
    for (int id : {1005, 1008}) fields.push_back({&calibration, id, false});
    // The widths are chosen for the font the program draws with on the
    // machines it is set up on.
    const bool dialogFont = main.font().family() == QStringLiteral("WenQuanYi Micro Hei");

    for (const Field& f : fields) {
        SCOPED_TRACE("field " + std::to_string(f.id));
        QLineEdit* edit = f.dialog->Item<QLineEdit>(f.id);
        ASSERT_NE(edit, nullptr);
        // Written by the exchange: the cursor at 0, so the minus sign shows.
        edit->setText(QStringLiteral("-0.819544262089452"));
        ASSERT_TRUE(f.dialog->UpdateData(true));
        f.dialog->UpdateData(false);
        EXPECT_EQ(edit->text(), QStringLiteral("-0.819544262089452"));
        EXPECT_EQ(edit->cursorPosition(), 0);

        // A text that the field cannot show whole is its tooltip; one it
        // shows whole has none, up to the last pixel: every length from one
        // character to more than any field holds.
        const QString longest = QStringLiteral("-4433921.00373848123456789e-100");
        for (qsizetype n = 1; n <= longest.size(); ++n) {
            edit->setText(longest.left(n));
            const std::string expected = ShowsWholeText(edit) ? "" : edit->text().toStdString();
            EXPECT_EQ(edit->toolTip().toStdString(), expected) << n;
        }
        edit->setText(QStringLiteral("-0.000000000000000"));
        if (dialogFont && f.holdsLongestFixed) {
            EXPECT_TRUE(ShowsWholeText(edit));
        }
        edit->setText(longest);
        EXPECT_FALSE(ShowsWholeText(edit));  // longer than any field
        edit->setText(QStringLiteral("0"));
        EXPECT_TRUE(edit->toolTip().isEmpty());
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(DropDownLists, ShowEveryItemWholeWhenClosed) {
    CConvertDlg main;
    CBursaParamDlg params;
    CCalibrationDlg calibration;
    const std::vector<CTemplateDialog*> dialogs{&main, &params, &calibration};
    for (CTemplateDialog* dialog : dialogs) {
        for (QComboBox* list : dialog->findChildren<QComboBox*>(QString(), Qt::FindDirectChildrenOnly)) {
            for (const QString& item : Items(list)) {
                SCOPED_TRACE(dialog->windowTitle().toStdString() + ": " + item.toStdString());
                // The text area of the closed list as the style lays it out,
                // less the pixel the label keeps clear on each side.
                QStyleOptionComboBox option;
                option.initFrom(list);
                option.editable = false;
                option.frame = true;
                option.currentText = item;
                const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                                  QStyle::SC_ComboBoxEditField, list);
                EXPECT_LE(list->fontMetrics().horizontalAdvance(item) + 2, field.width());
            }
        }
    }
}
