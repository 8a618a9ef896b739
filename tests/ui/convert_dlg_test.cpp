// The main dialog: its state at start, the list handlers, reading and
// writing of the number fields, the file pickers, the parameter dialog it
// opens, the about entry and a whole conversion with real files.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <clocale>
#include <string>

#include "platform/number_text.h"
#include "recording_messages.h"
#include "ui/about_dlg.h"
#include "ui/bursa_param_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/templates.h"
#include "main_dialog_steps.h"
#include "ui_test_support.h"
#include "workflow/angle_text.h"
#include "named_chain.h"
#include "packed_reference.h"

using namespace zelk;

namespace {
QLineEdit* Edit(CTemplateDialog& d, int id) { return d.Item<QLineEdit>(id); }
QString Caption(CTemplateDialog& d, int id) { return d.Item<QLabel>(id)->text(); }
QStringList Captions(CTemplateDialog& d, int first) {
    return {Caption(d, first), Caption(d, first + 1), Caption(d, first + 2)};
}

}  // namespace

TEST(MainDialogStart, EverythingEmptyAndEnabled) {
    RecordingMessages messages;
    CConvertDlg dialog;
    EXPECT_EQ(dialog.Item<QComboBox>(1000)->currentIndex(), -1);
    EXPECT_EQ(dialog.Item<QComboBox>(1005)->currentIndex(), -1);
    EXPECT_EQ(Captions(dialog, 1025), (QStringList{"x", "y", "z"}));
    EXPECT_EQ(Captions(dialog, 1028), (QStringList{"x", "y", "z"}));
    EXPECT_TRUE(dialog.GetDlgItem(1001)->isEnabled());
    EXPECT_TRUE(dialog.GetDlgItem(1006)->isEnabled());
    for (int id : {1001, 1002, 1003, 1004, 1006, 1007, 1008, 1009})
        EXPECT_EQ(Edit(dialog, id)->text(), QStringLiteral("0")) << id;
    EXPECT_FALSE(dialog.Item<QCheckBox>(1031)->isChecked());
    EXPECT_EQ(Text(dialog.GetDlgItem(1010)), QStringLiteral("转换前文件"));
    EXPECT_EQ(Text(dialog.GetDlgItem(1011)), QStringLiteral("转换后文件"));
    EXPECT_TRUE(dialog.m_steps.empty());
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(dialog.m_authorLink.Label(), dialog.GetDlgItem(1032));
    EXPECT_EQ(dialog.m_siteLink.Label(), dialog.GetDlgItem(1033));
    EXPECT_FALSE(dialog.m_authorLink.m_address.IsEmpty());
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogLists, ParitySwitchesMeridianAndCaptions) {
    RecordingMessages messages;
    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(1000), 1);  // WGS84-大地坐标
    EXPECT_FALSE(dialog.GetDlgItem(1001)->isEnabled());
    EXPECT_EQ(Captions(dialog, 1025), (QStringList{"B", "L", "H"}));
    // The other side is untouched.
    EXPECT_TRUE(dialog.GetDlgItem(1006)->isEnabled());
    EXPECT_EQ(Captions(dialog, 1028), (QStringList{"x", "y", "z"}));

    SelectItem(dialog.Item<QComboBox>(1000), 2);  // 北京54-高斯-xyH
    EXPECT_TRUE(dialog.GetDlgItem(1001)->isEnabled());
    // The third caption becomes a capital Z.
    EXPECT_EQ(Captions(dialog, 1025), (QStringList{"x", "y", "Z"}));
    EXPECT_EQ(dialog.m_srcSystem, 2);

    for (int index : {5, 3}) {
        SelectItem(dialog.Item<QComboBox>(1005), index);
        EXPECT_FALSE(dialog.GetDlgItem(1006)->isEnabled()) << index;
        EXPECT_EQ(Captions(dialog, 1028), (QStringList{"B", "L", "H"}));
    }
    for (int index : {0, 4}) {
        SelectItem(dialog.Item<QComboBox>(1005), index);
        EXPECT_TRUE(dialog.GetDlgItem(1006)->isEnabled()) << index;
        EXPECT_EQ(Captions(dialog, 1028), (QStringList{"x", "y", "Z"}));
    }
    EXPECT_EQ(dialog.m_tgtSystem, 4);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogExchange, TypedNumbersComeBackInShortestForm) {
    RecordingMessages messages;
    CConvertDlg dialog;
    // The target first: choosing a system clears the results.
    SelectItem(dialog.Item<QComboBox>(1005), 1);
    Edit(dialog, 1002)->setText(QStringLiteral("1.50"));
    Edit(dialog, 1007)->setText(QStringLiteral("  114.3015\t"));
    Edit(dialog, 1004)->setText(QStringLiteral("1e3"));
    ASSERT_TRUE(dialog.UpdateData(true));
    dialog.UpdateData(false);
    EXPECT_EQ(Edit(dialog, 1002)->text(), QStringLiteral("1.5"));
    // A target field of a geodetic target (item 1) is B: packed, nine decimals.
    EXPECT_EQ(Edit(dialog, 1007)->text(), QStringLiteral("114.301500000"));
    EXPECT_EQ(Edit(dialog, 1004)->text(), QStringLiteral("1000"));
    EXPECT_EQ(dialog.m_srcX, 1.5);
    EXPECT_EQ(dialog.m_tgtX, 114.3015);

    // Fifteen significant digits on writing.
    dialog.m_srcY = 3512345.678901234567;
    dialog.m_tgtZ = -0.0;
    dialog.UpdateData(false);
    EXPECT_EQ(Edit(dialog, 1003)->text(), QStringLiteral("3512345.67890123"));
    EXPECT_EQ(Edit(dialog, 1009)->text(), QStringLiteral("0"));
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogExchange, CommaDecimalLocaleChangesNothing) {
    // A German desktop: the C library and Qt both use a decimal comma.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    const QLocale previousQt;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        RecordingMessages messages;
        CConvertDlg dialog;
        Edit(dialog, 1002)->setText(QStringLiteral("114.3015"));
        Edit(dialog, 1003)->setText(QStringLiteral("30.5"));
        SelectItem(dialog.Item<QComboBox>(1000), 1);
        EXPECT_EQ(dialog.m_srcX, 114.3015);
        EXPECT_EQ(dialog.m_srcY, 30.5);
        EXPECT_EQ(Edit(dialog, 1003)->text(), QStringLiteral("30.5"));
        dialog.m_tgtX = 4433921.00373848;
        dialog.UpdateData(false);
        EXPECT_EQ(Edit(dialog, 1007)->text(), QStringLiteral("4433921.00373848"));
        EXPECT_TRUE(messages.messages.empty());
        // The decimal comma is not a number in any locale.
        Edit(dialog, 1004)->setText(QStringLiteral("1,5"));
        SelectItem(dialog.Item<QComboBox>(1000), 2);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "请键入一个数。");
    }
    QLocale::setDefault(previousQt);
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(MainDialogExchange, UnreadableFieldStopsTheReadingButNotTheListChange) {
    RecordingMessages messages;
    CConvertDlg dialog;
    Edit(dialog, 1002)->setText(QStringLiteral("5"));    // read before 1003
    Edit(dialog, 1003)->setText(QStringLiteral("abc"));  // unreadable
    Edit(dialog, 1008)->setText(QStringLiteral("7"));    // after it: not read
    Edit(dialog, 1004)->setText(QStringLiteral("8"));
    dialog.Item<QCheckBox>(1031)->setChecked(true);
    SelectItem(dialog.Item<QComboBox>(1000), 1);

    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "请键入一个数。");
    EXPECT_EQ(messages.messages[0].caption, ApplicationName());
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
    // The lists come first, so the new selection was read and applied.
    EXPECT_EQ(dialog.m_srcSystem, 1);
    EXPECT_EQ(Captions(dialog, 1025), (QStringList{"B", "L", "H"}));
    EXPECT_FALSE(dialog.GetDlgItem(1001)->isEnabled());
    // Read before the bad field: kept. The bad field and those after it:
    // back to their previous values.
    EXPECT_EQ(Edit(dialog, 1002)->text(), QStringLiteral("5"));
    EXPECT_EQ(Edit(dialog, 1003)->text(), QStringLiteral("0"));
    EXPECT_EQ(Edit(dialog, 1008)->text(), QStringLiteral("0"));
    EXPECT_EQ(Edit(dialog, 1004)->text(), QStringLiteral("0"));
    EXPECT_FALSE(dialog.Item<QCheckBox>(1031)->isChecked());
    EXPECT_EQ(dialog.m_withNames, 0);
}

TEST(MainDialogExchange, FocusAndSelectionLandOnTheUnreadableField) {
    RecordingMessages messages;
    CConvertDlg dialog;
    Edit(dialog, 1006)->setText(QStringLiteral("12x"));
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(1006));
    EXPECT_EQ(Edit(dialog, 1006)->selectedText(), QStringLiteral("12x"));
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST(MainDialogExchange, WhatCountsAsANumber) {
    RecordingMessages messages;
    CConvertDlg dialog;
    struct Case {
        const char* text;
        bool number;
        double value;
    };
    const Case cases[] = {
        {"", false, 0},       {"-0", false, 0},   {"+0", false, 0},  {".0", false, 0},
        {"   ", false, 0},    {"0", true, 0},     {"0.0", true, 0},  {" \t0 ", true, 0},
        {"-12.5", true, -12.5}, {"12.5 m", false, 0}, {"1,5", false, 0}, {"0x10", false, 0},
        {"inf", false, 0},    {"1e999", false, 0}, {"３", false, 0},
    };
    for (const Case& c : cases) {
        messages.messages.clear();
        dialog.m_srcMeridian = 99.0;
        Edit(dialog, 1001)->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(dialog.UpdateData(true), c.number) << '"' << c.text << '"';
        EXPECT_EQ(messages.messages.size(), c.number ? 0u : 1u) << c.text;
        EXPECT_EQ(dialog.m_srcMeridian, c.number ? c.value : 99.0) << c.text;
    }
    // Only the first 31 bytes count: a long number followed by junk past
    // them still reads.
    Edit(dialog, 1001)->setText(QStringLiteral("1234567890123456789012345678901xyz"));
    EXPECT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.m_srcMeridian, 1234567890123456789012345678901.0);
}

TEST(MainDialogPickers, ChosenNameOnTheButtonAndACancelKeepsIt) {
    RecordingMessages messages;
    RecordingPicker picker;
    CConvertDlg dialog;
    const QString chosen = QDir::tempPath() + QStringLiteral("/some folder/a.txt");
    picker.answers = {chosen, std::nullopt};

    dialog.Item<QPushButton>(1010)->click();
    ASSERT_EQ(picker.requests.size(), 1u);
    EXPECT_TRUE(picker.requests[0].open);
    // Every format the dialog reads, and all files (the filters changed
    // with the file formats).
#if ZELK_HAVE_GIS
    EXPECT_EQ(NameFiltersFromPairs(picker.requests[0].filter),
              (QStringList{"点文件(*.txt;*.dat;*.csv;*.dxf;*.shp;*.gpkg;*.geojson;*.json;*.xlsx) "
                           "(*.txt *.dat *.csv *.dxf *.shp *.gpkg *.geojson *.json *.xlsx)",
                           "普通格式(*.txt) (*.txt)", "CASS数据(*.dat) (*.dat)", "CSV表格(*.csv) (*.csv)",
                           "DXF图形(*.dxf) (*.dxf)", "Shapefile(*.shp) (*.shp)", "GeoPackage(*.gpkg) (*.gpkg)",
                           "GeoJSON(*.geojson;*.json) (*.geojson *.json)", "Excel工作簿(*.xlsx) (*.xlsx)",
                           "所有文件(*) (*)"}));
#else
    EXPECT_EQ(NameFiltersFromPairs(picker.requests[0].filter),
              (QStringList{"点文件(*.txt;*.dat;*.csv) (*.txt *.dat *.csv)", "普通格式(*.txt) (*.txt)",
                           "CASS数据(*.dat) (*.dat)", "CSV表格(*.csv) (*.csv)", "所有文件(*) (*)"}));
#endif
    EXPECT_EQ(picker.requests[0].defaultSuffix, QStringLiteral("txt"));
    EXPECT_TRUE(picker.requests[0].hideReadOnly);
    EXPECT_EQ(picker.requests[0].owner, &dialog);
    EXPECT_EQ(Text(dialog.GetDlgItem(1010)), QStringLiteral("a.txt"));
    EXPECT_EQ(dialog.m_inputPath, chosen);

    dialog.Item<QPushButton>(1010)->click();  // cancelled
    EXPECT_EQ(picker.requests.size(), 2u);
    EXPECT_EQ(Text(dialog.GetDlgItem(1010)), QStringLiteral("a.txt"));
    EXPECT_EQ(dialog.m_inputPath, chosen);
    EXPECT_TRUE(dialog.m_outputPath.isEmpty());
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogPickers, OutputUsesTheSavePickerWithOverwritePrompt) {
    RecordingMessages messages;
    RecordingPicker picker;
    CConvertDlg dialog;
    picker.answers = {QStringLiteral("/data/结果.txt")};
    dialog.Item<QPushButton>(1011)->click();
    ASSERT_EQ(picker.requests.size(), 1u);
    EXPECT_FALSE(picker.requests[0].open);
    EXPECT_TRUE(picker.requests[0].overwritePrompt);
    // KML too when saving.
#if ZELK_HAVE_GIS
    EXPECT_EQ(NameFiltersFromPairs(picker.requests[0].filter),
              (QStringList{"点文件(*.txt;*.dat;*.csv;*.kml;*.dxf;*.shp;*.gpkg;*.geojson;*.xlsx) "
                           "(*.txt *.dat *.csv *.kml *.dxf *.shp *.gpkg *.geojson *.xlsx)",
                           "普通格式(*.txt) (*.txt)", "CASS数据(*.dat) (*.dat)", "CSV表格(*.csv) (*.csv)",
                           "KML地图(*.kml) (*.kml)", "DXF图形(*.dxf) (*.dxf)", "Shapefile(*.shp) (*.shp)",
                           "GeoPackage(*.gpkg) (*.gpkg)", "GeoJSON(*.geojson) (*.geojson)",
                           "Excel工作簿(*.xlsx) (*.xlsx)", "所有文件(*) (*)"}));
#else
    EXPECT_EQ(NameFiltersFromPairs(picker.requests[0].filter),
              (QStringList{"点文件(*.txt;*.dat;*.csv;*.kml) (*.txt *.dat *.csv *.kml)",
                           "普通格式(*.txt) (*.txt)", "CASS数据(*.dat) (*.dat)", "CSV表格(*.csv) (*.csv)",
                           "KML地图(*.kml) (*.kml)", "所有文件(*) (*)"}));
#endif
    EXPECT_EQ(picker.requests[0].defaultSuffix, QStringLiteral("txt"));
    EXPECT_EQ(Text(dialog.GetDlgItem(1011)), QStringLiteral("结果.txt"));
    EXPECT_EQ(dialog.m_outputPath, QStringLiteral("/data/结果.txt"));
    EXPECT_EQ(Text(dialog.GetDlgItem(1010)), QStringLiteral("转换前文件"));
}

TEST(MainDialogPickers, OpenEvenAfterAnUnreadableField) {
    RecordingMessages messages;
    RecordingPicker picker;
    CConvertDlg dialog;
    Edit(dialog, 1002)->setText(QStringLiteral("abc"));
    picker.answers = {QStringLiteral("/x/in.txt")};
    dialog.Item<QPushButton>(1010)->click();
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(picker.requests.size(), 1u);
    EXPECT_EQ(Text(dialog.GetDlgItem(1010)), QStringLiteral("in.txt"));
    EXPECT_EQ(Edit(dialog, 1002)->text(), QStringLiteral("0"));
}

TEST(MainDialogPickers, FilterPairsBecomeNameFilters) {
    EXPECT_EQ(NameFiltersFromPairs(QStringLiteral("转换前坐标UVW(*.txt)|*.txt||")),
              QStringList{QStringLiteral("转换前坐标UVW(*.txt) (*.txt)")});
    EXPECT_EQ(NameFiltersFromPairs(QStringLiteral("A|*.a;*.b|B|*.c||")),
              (QStringList{QStringLiteral("A (*.a *.b)"), QStringLiteral("B (*.c)")}));
    EXPECT_TRUE(NameFiltersFromPairs(QString()).isEmpty());
}

TEST(MainDialogParameters, ConfirmCopiesByNameAndShowsThemNextTime) {
    RecordingMessages messages;
    CConvertDlg dialog;
    ASSERT_TRUE(EditFirstSevenStep(dialog, [](CBursaParamDlg* params) {
        // Opened on all-zero parameters, lists unselected, meridians enabled.
        for (int id : {1011, 1013, 1015, 1016, 1017, 1018, 1019, 1020, 1021})
            EXPECT_EQ(params->Item<QLineEdit>(id)->text(), QStringLiteral("0")) << id;
        EXPECT_EQ(params->Item<QComboBox>(1000)->currentIndex(), -1);
        EXPECT_EQ(params->Item<QComboBox>(1023)->currentIndex(), -1);
        EXPECT_TRUE(params->GetDlgItem(1011)->isEnabled());
        EXPECT_TRUE(params->GetDlgItem(1013)->isEnabled());
        const std::pair<int, const char*> typed[] = {{1015, "1"}, {1016, "2"}, {1017, "3"}, {1018, "4"},
                                                     {1019, "5"}, {1020, "6"}, {1021, "7"}};
        for (const auto& [id, text] : typed) params->Item<QLineEdit>(id)->setText(text);
        params->Item<QPushButton>(1024)->click();
    }));
    ASSERT_EQ(dialog.m_steps.size(), 1u);
    const SevenParams& p = dialog.m_steps[0].seven;
    EXPECT_EQ(p.dX0, 1.0);
    EXPECT_EQ(p.dY0, 2.0);
    EXPECT_EQ(p.dZ0, 3.0);
    EXPECT_EQ(p.betaX, 4.0);  // field 1018
    EXPECT_EQ(p.betaY, 5.0);  // field 1019
    EXPECT_EQ(p.betaZ, 6.0);  // field 1020
    EXPECT_EQ(p.K, 7.0);      // field 1021
    EXPECT_FALSE(dialog.m_steps[0].before);

    // The next opening shows them; the lists, meridians and files start afresh.
    EXPECT_TRUE(EditFirstSevenStep(
        dialog,
        [](CBursaParamDlg* params) {
            EXPECT_EQ(params->Item<QLineEdit>(1018)->text(), QStringLiteral("4"));
            EXPECT_EQ(params->Item<QLineEdit>(1021)->text(), QStringLiteral("7"));
            EXPECT_EQ(params->Item<QComboBox>(1000)->currentIndex(), -1);
            EXPECT_EQ(params->Item<QLineEdit>(1011)->text(), QStringLiteral("0"));
            EXPECT_EQ(Text(params->GetDlgItem(1012)), QStringLiteral("FILE1"));
            params->Item<QPushButton>(2)->click();
        },
        false));
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogParameters, CancelEscapeAndCloseKeepTheRecord) {
    RecordingMessages messages;
    CConvertDlg dialog;
    SevenParams held;
    held.K = 3.5;
    held.betaY = -0.25;
    dialog.m_steps = {Transformation::Seven(held)};
    // Ending the seven-parameter dialog any way but 确认 keeps the step,
    // even when the steps dialog is confirmed; ending the steps dialog any
    // way but 确认 keeps the steps, whatever was done in it.
    const std::function<void(CTemplateDialog*)> endings[] = {
        [](CTemplateDialog* d) { d->Item<QPushButton>(2)->click(); },  // 取消 of both
        [](CTemplateDialog* d) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(d, &esc);
        },
        [](CTemplateDialog* d) { d->close(); },
    };
    for (const auto& end : endings) {
        EXPECT_TRUE(EditFirstSevenStep(dialog, [&end](CBursaParamDlg* params) {
            EXPECT_EQ(params->Item<QLineEdit>(1021)->text(), QStringLiteral("3.5"));
            EXPECT_EQ(params->Item<QLineEdit>(1019)->text(), QStringLiteral("-0.25"));
            for (int id = 1015; id <= 1021; ++id) params->Item<QLineEdit>(id)->setText("9");
            end(params);
        }));
        EXPECT_TRUE(InStepsDialog(dialog, [&end](CChainDlg* chain) {
            chain->Select(0);
            chain->Item<QPushButton>(chain_ids::kRemove)->click();
            EXPECT_TRUE(chain->Steps().empty());
            end(chain);
        }));
        ASSERT_EQ(dialog.m_steps.size(), 1u);
        EXPECT_EQ(dialog.m_steps[0].seven.K, held.K);
        EXPECT_EQ(dialog.m_steps[0].seven.betaY, held.betaY);
        EXPECT_EQ(dialog.m_steps[0].seven.dX0, held.dX0);
    }
    // The main dialog's own fields are neither read nor written.
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogAbout, ContextMenuEntryOpensTheAboutBox) {
    RecordingMessages messages;
    CConvertDlg dialog;
    dialog.show();
    ASSERT_NE(dialog.SystemMenu(), nullptr);
    ASSERT_EQ(dialog.SystemMenu()->actions().size(), 1);
    EXPECT_EQ(dialog.SystemMenu()->actions()[0]->text(), QStringLiteral("关于 ZELK(&A)..."));

    std::shared_ptr<bool> aboutShown;
    auto menuShown = WhenModal(
        [&aboutShown](QWidget* popup) {
            auto* menu = qobject_cast<QMenu*>(popup);
            ASSERT_NE(menu, nullptr);
            aboutShown = WhenModal([](QWidget* w) {
                auto* about = qobject_cast<CAboutDlg*>(w);
                ASSERT_NE(about, nullptr);
                EXPECT_EQ(about->windowTitle(), QStringLiteral("关于 ZELK"));
                about->Item<QPushButton>(1)->click();
            });
            menu->actions()[0]->trigger();
            menu->close();
        },
        true);
    const QPoint where(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, where, dialog.mapToGlobal(where));
    QApplication::sendEvent(&dialog, &event);
    EXPECT_TRUE(*menuShown);
    WaitMs(50);
    ASSERT_TRUE(aboutShown);
    EXPECT_TRUE(*aboutShown);

    // The window-menu command: the low four bits do not matter.
    aboutShown = WhenModal([](QWidget* w) {
        EXPECT_NE(qobject_cast<CAboutDlg*>(w), nullptr);
        w->close();
    });
    dialog.OnSysCommand(kIdmAboutBox | 0x3);
    EXPECT_TRUE(*aboutShown);
}

TEST(MainDialogLifetime, EscapeAndCloseEndTheDialog) {
    RecordingMessages messages;
    {
        CConvertDlg dialog;
        WhenModal([](QWidget* w) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(w, &esc);
        });
        EXPECT_EQ(dialog.DoModal(), kIdCancel);
    }
    {
        CConvertDlg dialog;
        WhenModal([](QWidget* w) { w->close(); });
        EXPECT_EQ(dialog.DoModal(), kIdCancel);
    }
    {
        // Enter in a field converts and leaves the dialog open.
        CConvertDlg dialog;
        WhenModal([](QWidget* w) {
            auto* d = static_cast<CConvertDlg*>(w);
            d->Item<QLineEdit>(1002)->setFocus();
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(d->Item<QLineEdit>(1002), &enter);
            EXPECT_TRUE(d->isVisible());
            d->close();
        });
        EXPECT_EQ(dialog.DoModal(), kIdCancel);
    }
    // The Enter press reached the convert handler: no system selected.
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "请检查输入数据是否完整");
    EXPECT_EQ(messages.messages[0].caption, "输入不完整");
}

TEST(MainDialogConvert, IncompleteSelectionOnlyWarns) {
    RecordingMessages messages;
    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(1000), 2);
    Edit(dialog, 1002)->setText("4000000");
    Edit(dialog, 1003)->setText("500000");
    Edit(dialog, 1007)->setText("1.50");  // no refresh, so it stays as typed
    dialog.Item<QPushButton>(1)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "请检查输入数据是否完整");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(Edit(dialog, 1007)->text(), QStringLiteral("1.50"));
    EXPECT_EQ(dialog.m_tgtX, 1.5);  // read, and not touched by a press that converted nothing
}

TEST(MainDialogConvert, UnreadableFieldEndsThePress) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString input = folder.filePath(QStringLiteral("in.txt"));
    const QString output = folder.filePath(QStringLiteral("out.txt"));
    WriteFile(input, "4429471.237 500000 50\n");
    // Texts that any writing back would show in their shortest form.
    const std::pair<int, const char*> typed[] = {
        {1001, "117.0"}, {1002, "4429471.2370"}, {1003, "500000.0"}, {1004, "50.0"},
        {1007, "1.50"},  {1008, "2.50"},         {1009, "3.50"}};
    // A bad field read first, in the middle, and among the results.
    const std::pair<int, const char*> bad[] = {{1001, "117°"}, {1003, "5OOOOO"}, {1004, "50 m"}, {1007, "-"}};
    for (const auto& [badId, badText] : bad) {
        SCOPED_TRACE("field " + std::to_string(badId));
        messages.messages.clear();
        CConvertDlg dialog;
        SelectItem(dialog.Item<QComboBox>(1000), 2);  // 北京54-高斯-xyH
        SelectItem(dialog.Item<QComboBox>(1005), 1);  // WGS84-大地坐标
        picker.answers = {input, output};
        dialog.Item<QPushButton>(1010)->click();
        dialog.Item<QPushButton>(1011)->click();
        for (const auto& [id, text] : typed) Edit(dialog, id)->setText(QString::fromUtf8(text));
        Edit(dialog, badId)->setText(QString::fromUtf8(badText));

        dialog.Item<QPushButton>(1)->click();

        ASSERT_EQ(messages.messages.size(), 1u);  // no completion message: nothing converted
        EXPECT_EQ(messages.messages[0].text, "请键入一个数。");
        EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(badId));
        EXPECT_EQ(Edit(dialog, badId)->selectedText(), QString::fromUtf8(badText));
        EXPECT_FALSE(QFile::exists(output));
        for (const auto& [id, text] : typed) {
            if (id == badId) continue;
            EXPECT_EQ(Edit(dialog, id)->text(), QString::fromUtf8(text)) << id;
        }
    }
}

TEST(MainDialogConvert, PointWithXOrYZeroClearsItsThreeResults) {
    RecordingMessages messages;
    for (int zeroed : {1002, 1003}) {
        SCOPED_TRACE("field " + std::to_string(zeroed));
        CConvertDlg dialog;
        SelectItem(dialog.Item<QComboBox>(1000), 2);  // 北京54-高斯-xyH
        SelectItem(dialog.Item<QComboBox>(1005), 4);  // 西安80-高斯-xyH
        const std::pair<int, const char*> typed[] = {
            {1001, "117"}, {1006, "114"}, {1002, "4429471.237"}, {1003, "500000"}, {1004, "50"}};
        for (const auto& [id, text] : typed) Edit(dialog, id)->setText(QString::fromUtf8(text));
        dialog.Item<QPushButton>(1)->click();
        for (int id : {1007, 1008, 1009}) ASSERT_NE(Edit(dialog, id)->text(), QStringLiteral("0")) << id;

        // No point now: its results go back to 0, as when the dialog opened.
        Edit(dialog, zeroed)->setText(QStringLiteral("0"));
        dialog.Item<QPushButton>(1)->click();
        for (int id : {1007, 1008, 1009}) EXPECT_EQ(Edit(dialog, id)->text(), QStringLiteral("0")) << id;
        EXPECT_EQ(dialog.m_tgtX, 0.0);
        EXPECT_EQ(dialog.m_tgtZ, 0.0);
        // The inputs, the target's meridian among them, stay as typed.
        for (const auto& [id, text] : typed) {
            if (id == zeroed) continue;
            EXPECT_EQ(Edit(dialog, id)->text(), QString::fromUtf8(text)) << id;
        }
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogConvert, PointAndFileThroughTheDialog) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString input = folder.filePath(QStringLiteral("点 输入.txt"));
    const QString output = folder.filePath(QStringLiteral("out.txt"));
    WriteFile(input, "P1 4429471.237 500000.000 50.0\r\nK2 4430001.5 501234.25 61.75\n\n");

    CConvertDlg dialog;
    SevenParams typed;
    typed.dX0 = 15.0;
    typed.K = 2.0;
    typed.betaZ = -1.5;
    dialog.m_steps = {Transformation::Seven(typed)};
    SelectItem(dialog.Item<QComboBox>(1000), 2);  // 北京54-高斯-xyH
    SelectItem(dialog.Item<QComboBox>(1005), 1);  // WGS84-大地坐标
    Edit(dialog, 1001)->setText("117");
    Edit(dialog, 1002)->setText("4429471.237");
    Edit(dialog, 1003)->setText("500000");
    Edit(dialog, 1004)->setText("50");
    dialog.Item<QCheckBox>(1031)->setChecked(true);
    picker.answers = {input, output};
    dialog.Item<QPushButton>(1010)->click();
    dialog.Item<QPushButton>(1011)->click();
    EXPECT_EQ(Text(dialog.GetDlgItem(1010)), QStringLiteral("点 输入.txt"));
    EXPECT_EQ(Text(dialog.GetDlgItem(1011)), QStringLiteral("out.txt"));

    dialog.Item<QPushButton>(1)->click();

    // The completion message, with the application's name as caption.
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换完成!");
    EXPECT_EQ(messages.messages[0].caption, ApplicationName());
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);

    // The single point, with all its digits.
    const SevenParams params = dialog.m_steps[0].seven;
    double b = 4429471.237, l = 500000.0, h = 50.0;
    named::Convert("beijing54-gauss", 117.0, "wgs84-geodetic", 0.0, params, b, l, h);
    // B and L packed with nine decimals (0.00001"), as zelk-cli point prints them.
    EXPECT_EQ(Edit(dialog, 1007)->text().toStdString(), PackedAngleText(b));
    EXPECT_EQ(Edit(dialog, 1008)->text().toStdString(), PackedAngleText(l));
    EXPECT_EQ(Edit(dialog, 1009)->text().toStdString(), FormatDialogNumber(h));
    EXPECT_EQ(Edit(dialog, 1007)->text().size(), 12);
    EXPECT_EQ(dialog.m_tgtX, b);

    // The file, names kept: B and L packed with nine decimals, H with three.
    std::string expected;
    const struct {
        const char* name;
        double x, y, z;
    } points[] = {{"P1", 4429471.237, 500000.0, 50.0}, {"K2", 4430001.5, 501234.25, 61.75}};
    for (const auto& p : points) {
        double x = p.x, y = p.y, z = p.z;
        named::Convert("beijing54-gauss", 117.0, "wgs84-geodetic", 0.0, params, x, y, z);
        expected += std::string(p.name) + " " + PackedReference(x) + " " + PackedReference(y) +
                    " " + FormatFixed(z, 3) + "\n";
    }
    EXPECT_EQ(ReadFile(output), expected);
    // The dialog stays usable for the next press.
    EXPECT_TRUE(dialog.GetDlgItem(1)->isEnabled());
}

TEST(MainDialogConvert, MissingInputFileIsReportedAndNothingWritten) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("out.txt"));
    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(1000), 1);
    SelectItem(dialog.Item<QComboBox>(1005), 3);
    // The picker accepts a typed name of a file that does not exist.
    picker.answers = {folder.filePath(QStringLiteral("none.txt")), output};
    dialog.Item<QPushButton>(1010)->click();
    dialog.Item<QPushButton>(1011)->click();
    dialog.Item<QPushButton>(1)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "读转换前文件错误！");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(QFile::exists(output));
}
