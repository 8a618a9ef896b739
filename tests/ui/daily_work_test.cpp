// Nothing lost by the dialogs (a dropped output that exists, Esc with an
// unsaved transformation) and the details of daily work: dialogs that start
// from the main dialog's systems, typed values and results that never stay
// beside settings they do not belong to, eastings shown whole, no -0.0000.
#include <gtest/gtest.h>

#include <QComboBox>
#include <algorithm>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include "recording_messages.h"
#include "ui/ask.h"
#include "ui/bursa_param_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/pair_table.h"
#include "ui/residual_views.h"
#include "ui/templates.h"
#include "ui_test_support.h"

using namespace convert_ids;

namespace {
// Drops a file onto a widget as a file manager does; true when taken.
bool DropOnto(QWidget* target, const QString& path) { return Drop(target, {QUrl::fromLocalFile(path)}); }

// Answers the next question box with button, keeping its text.
std::shared_ptr<bool> Answer(QMessageBox::StandardButton button, QString* text = nullptr) {
    return WhenModal([button, text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        if (text) *text = box->text();
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        box->button(button)->click();
    });
}

void PressEscape(QWidget* window) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window, &press);
}

QLineEdit* Field(CTemplateDialog& d, int id) { return d.Item<QLineEdit>(id); }
}  // namespace

TEST(NothingLost, ADroppedOutputThatExistsIsReplacedOnlyWhenTheUserSaysSo) {
    QTemporaryDir folder;
    const QString existing = folder.filePath(QStringLiteral("result.txt"));
    const QString fresh = folder.filePath(QStringLiteral("new.txt"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    CConvertDlg dialog;
    dialog.show();
    QWidget* output = dialog.GetDlgItem(kOutputFile);

    // A new name is taken without a question.
    EXPECT_TRUE(DropOnto(output, fresh));
    EXPECT_EQ(dialog.m_outputPath, fresh);

    // 否: the drop is not taken; 是: it is. The question is the save picker's.
    QString question;
    auto asked = Answer(QMessageBox::No, &question);
    EXPECT_FALSE(DropOnto(output, existing));
    EXPECT_TRUE(*asked);
    EXPECT_EQ(question, ReplaceQuestion(existing));
    EXPECT_NE(question.indexOf(QStringLiteral("result.txt")), -1);
    EXPECT_EQ(dialog.m_outputPath, fresh);
    asked = Answer(QMessageBox::Yes);
    EXPECT_TRUE(DropOnto(output, existing));
    EXPECT_TRUE(*asked);
    EXPECT_EQ(dialog.m_outputPath, existing);

    // An existing input is no question: it is read, not replaced.
    EXPECT_TRUE(DropOnto(dialog.GetDlgItem(kInputFile), existing));
    EXPECT_EQ(dialog.m_inputPath, existing);
}

TEST(NothingLost, EscClosesACleanWindowAndAsksBeforeUnsavedParametersGo) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    {
        CConvertDlg clean;
        clean.show();
        PressEscape(&clean);
        EXPECT_FALSE(clean.isVisible());
    }

    CConvertDlg dialog;
    dialog.show();
    // Seven parameters typed in 转换参数 and confirmed, never saved: a step
    // without a file's name.
    zelk::Transformation typed;
    typed.model = zelk::Transformation::Model::Seven;
    typed.seven.dX0 = 8.5;
    dialog.m_steps = {typed};
    EXPECT_EQ(dialog.UnsavedTransformation(), QStringLiteral("七参数"));

    QString question;
    auto asked = Answer(QMessageBox::No, &question);
    PressEscape(&dialog);
    EXPECT_TRUE(*asked);
    EXPECT_NE(question.indexOf(QStringLiteral("七参数还没有保存")), -1) << question.toStdString();
    EXPECT_TRUE(dialog.isVisible());
    // The close box asks the same.
    asked = Answer(QMessageBox::No);
    dialog.close();
    EXPECT_TRUE(*asked);
    EXPECT_TRUE(dialog.isVisible());

    // Saved to a file (the step named by it): nothing to lose, Esc closes.
    dialog.m_steps[0].source = "p.params";
    EXPECT_EQ(dialog.UnsavedTransformation(), QString());
    PressEscape(&dialog);
    EXPECT_FALSE(dialog.isVisible());

    // And a yes closes with them unsaved.
    CConvertDlg again;
    again.show();
    again.m_steps = {typed};
    asked = Answer(QMessageBox::Yes);
    PressEscape(&again);
    EXPECT_TRUE(*asked);
    EXPECT_FALSE(again.isVisible());
    EXPECT_TRUE(messages.messages.empty());
}

TEST(DailyWork, TypedValuesGoWithTheirFormAndResultsWithAnySetting) {
    RecordingMessages messages;
    CConvertDlg dialog;
    dialog.show();
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("beijing54-gauss"));
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("beijing54-geodetic"));
    Field(dialog, kSrcMeridian)->setText(QStringLiteral("117"));
    Field(dialog, kSrcX)->setText(QStringLiteral("4400000"));
    Field(dialog, kSrcY)->setText(QStringLiteral("450000"));
    dialog.Item<QPushButton>(kConvert)->click();
    ASSERT_TRUE(messages.messages.empty());
    ASSERT_NE(Field(dialog, kTgtX)->text(), QStringLiteral("0"));
    const auto results = [&dialog] {
        return QStringList{Field(dialog, kTgtX)->text(), Field(dialog, kTgtY)->text(), Field(dialog, kTgtZ)->text()};
    };
    // Cleared: every result zero, as the target's form writes it ("0", or
    // "0.000000000" for B and L).
    const auto cleared = [&results] {
        const QStringList shown = results();
        return std::all_of(shown.begin(), shown.end(), [](const QString& t) { return t.toDouble() == 0.0; });
    };
    const QStringList converted = results();

    // Each setting clears the results; the typed point stays in its form.
    const std::function<void()> changes[] = {
        [&] { SelectItem(dialog.Item<QComboBox>(kTgtZoning), 0); },
        [&] { SelectItem(dialog.Item<QComboBox>(kSrcZoning), 0); },
        [&] { Field(dialog, kSrcMeridian)->textEdited(QStringLiteral("117")); },
        [&] { Field(dialog, kSrcZ)->textEdited(QStringLiteral("0")); },
        [&] { SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("xian80-geodetic")); },
    };
    for (const auto& change : changes) {
        dialog.Item<QPushButton>(kConvert)->click();
        change();
        EXPECT_TRUE(cleared());
        EXPECT_EQ(Field(dialog, kSrcX)->text(), QStringLiteral("4400000"));
    }
    // Within x y H (Gauss to UTM) the point stays; to B L H it goes.
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("wgs84-utm"));
    EXPECT_EQ(Field(dialog, kSrcY)->text(), QStringLiteral("450000"));
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("wgs84-geodetic"));
    EXPECT_EQ(Field(dialog, kSrcX)->text(), QStringLiteral("0"));
    EXPECT_EQ(Field(dialog, kSrcY)->text(), QStringLiteral("0"));
    EXPECT_FALSE(converted == QStringList({"0", "0", "0"}));
}

TEST(DailyWork, DialogsStartFromTheMainDialogsSystemsWithAModelThatFits) {
    RecordingMessages messages;
    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("beijing54-gauss"));
    Field(dialog, kSrcMeridian)->setText(QStringLiteral("117"));
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("wgs84-geodetic"));
    // (转换参数 opens the chain of steps, which hands these systems on.)

    // A site grid as the target: 点校正 opens on four parameters.
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("local"));
    auto four = WhenModal([](QWidget* w) {
        auto* d = qobject_cast<CTemplateDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Item<QComboBox>(calibration_ids::kModel)->currentIndex(), 1);
        EXPECT_EQ(d->Item<QComboBox>(calibration_ids::kAfterSystem)->currentIndex(), MainIndex("local"));
        d->reject();
    });
    dialog.Item<QPushButton>(kCalibrate)->click();
    EXPECT_TRUE(*four);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(DailyWork, EastingsWithTheirZoneShowWholeAndTablesNeverShowMinusZero) {
    CPairTable table;
    table.resize(600, 300);
    table.setCurrentCell(0, 0);
    table.PasteText(QStringLiteral("K1\t3542870.1234\t39447322.3456\t50.1\t2500.0\t4100.0\t40.2\n"));
    for (int column : {1, 2}) {
        const QString text = table.item(0, column)->text();
        EXPECT_GE(table.columnWidth(column), table.fontMetrics().horizontalAdvance(text)) << column;
    }
    EXPECT_EQ(table.textElideMode(), Qt::ElideLeft);

    const struct {
        double value;
        const char* text;
    } numbers[] = {{-0.00004, "0.0000"}, {-0.0, "0.0000"}, {0.00004, "0.0000"},
                   {-0.00006, "-0.0001"}, {-12.5, "-12.5000"}, {1e-12, "0.0000"}};
    for (const auto& n : numbers) EXPECT_EQ(TableNumber(n.value, 4), QString::fromLatin1(n.text)) << n.value;
}
