// The seven-parameter dialog on its own: copy in, exchange order, enabling
// by parity, its two pickers, 确认 and 取消, and a whole estimation from
// real common-point files.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "platform/number_text.h"
#include "recording_messages.h"
#include "ui/bursa_param_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/templates.h"
#include "main_dialog_steps.h"
#include "ui_test_support.h"
#include "named_chain.h"
#include "workflow/calibration_run.h"
#include "workflow/estimation_run.h"
#include "workflow/parameter_file.h"

using namespace zelk;

namespace {
QLineEdit* Edit(CTemplateDialog& d, int id) { return d.Item<QLineEdit>(id); }

SevenParams KnownParams() {
    SevenParams p;
    p.dX0 = -15.25;
    p.dY0 = 120.5;
    p.dZ0 = 80.75;
    p.K = 2.5;
    p.betaX = 0.5;
    p.betaY = -0.8;
    p.betaZ = 1.2;
    return p;
}

// Common points: Beijing 1954 B L H (packed DMS) and the same points in
// WGS84 B L H, moved there with the known parameters.
void WriteCommonPoints(const QString& before, const QString& after, int count) {
    const SevenParams params = KnownParams();
    std::string beforeText, afterText;
    for (int i = 0; i < count; ++i) {
        double b = 25.0 + 3.0 * (i % 5) + 0.1530 * i;  // packed DMS: minutes stay below 60
        double l = 105.0 + 4.0 * (i / 2) + 0.0745 * (i % 3);
        double h = 100.0 + 35.5 * i;
        beforeText += FormatGeneral(b, 17) + " " + FormatGeneral(l, 17) + "\t" + FormatGeneral(h, 17) + "\n";
        named::Convert("beijing54-geodetic", 0.0, "wgs84-geodetic", 0.0, params, b, l, h);
        afterText += FormatGeneral(b, 17) + " " + FormatGeneral(l, 17) + " " + FormatGeneral(h, 17) + "\n";
    }
    WriteFile(before, beforeText);
    WriteFile(after, afterText);
}
}  // namespace

TEST(SevenParameterDialog, CopiesTheRecordInAndStartsAfresh) {
    RecordingMessages messages;
    SevenParams p = KnownParams();
    CBursaParamDlg dialog(&p);
    EXPECT_EQ(Edit(dialog, 1015)->text(), QStringLiteral("-15.25"));
    EXPECT_EQ(Edit(dialog, 1016)->text(), QStringLiteral("120.5"));
    EXPECT_EQ(Edit(dialog, 1017)->text(), QStringLiteral("80.75"));
    EXPECT_EQ(Edit(dialog, 1018)->text(), QStringLiteral("0.5"));
    EXPECT_EQ(Edit(dialog, 1019)->text(), QStringLiteral("-0.8"));
    EXPECT_EQ(Edit(dialog, 1020)->text(), QStringLiteral("1.2"));
    EXPECT_EQ(Edit(dialog, 1021)->text(), QStringLiteral("2.5"));
    EXPECT_EQ(Edit(dialog, 1011)->text(), QStringLiteral("0"));
    EXPECT_EQ(Edit(dialog, 1013)->text(), QStringLiteral("0"));
    EXPECT_TRUE(dialog.GetDlgItem(1011)->isEnabled());
    EXPECT_TRUE(dialog.GetDlgItem(1013)->isEnabled());

    CBursaParamDlg empty(nullptr);
    for (int id = 1015; id <= 1021; ++id) EXPECT_EQ(Edit(empty, id)->text(), QStringLiteral("0"));
    EXPECT_TRUE(messages.messages.empty());
}

TEST(SevenParameterDialog, EnablingFollowsParityWithoutCaptionChanges) {
    RecordingMessages messages;
    CBursaParamDlg dialog;
    SelectItem(dialog.Item<QComboBox>(1000), 0);  // 北京54大地坐标BLH
    EXPECT_FALSE(dialog.GetDlgItem(1011)->isEnabled());
    EXPECT_TRUE(dialog.GetDlgItem(1013)->isEnabled());
    SelectItem(dialog.Item<QComboBox>(1000), 5);  // WGS84UTM投影xyH
    EXPECT_TRUE(dialog.GetDlgItem(1011)->isEnabled());
    for (int index : {0, 2, 4}) {
        SelectItem(dialog.Item<QComboBox>(1023), index);
        EXPECT_FALSE(dialog.GetDlgItem(1013)->isEnabled()) << index;
    }
    for (int index : {1, 3, 5}) {
        SelectItem(dialog.Item<QComboBox>(1023), index);
        EXPECT_TRUE(dialog.GetDlgItem(1013)->isEnabled()) << index;
    }
    EXPECT_EQ(dialog.m_beforeSystem, 5);
    EXPECT_EQ(dialog.m_afterSystem, 5);
    EXPECT_EQ(Text(dialog.GetDlgItem(1012)), QStringLiteral("FILE1"));
}

TEST(SevenParameterDialog, ReadingStopsAtTheBadFieldAndLeavesTheAfterList) {
    RecordingMessages messages;
    CBursaParamDlg dialog;
    dialog.Item<QComboBox>(1000)->setCurrentIndex(1);
    dialog.Item<QComboBox>(1023)->setCurrentIndex(3);
    Edit(dialog, 1015)->setText("11");
    Edit(dialog, 1016)->setText("1..2");
    Edit(dialog, 1021)->setText("4");
    EXPECT_FALSE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.m_beforeSystem, 1);
    EXPECT_EQ(dialog.m_dX0, 11.0);
    EXPECT_EQ(dialog.m_dY0, 0.0);
    EXPECT_EQ(dialog.m_K, 0.0);
    EXPECT_EQ(dialog.m_afterSystem, -1);  // exchanged last, so not reached
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(1016));
    EXPECT_EQ(Edit(dialog, 1016)->selectedText(), QStringLiteral("1..2"));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "请键入一个数。");
}

TEST(SevenParameterDialog, BothFilesUseTheOpenPicker) {
    RecordingMessages messages;
    RecordingPicker picker;
    CBursaParamDlg dialog;
    picker.answers = {QStringLiteral("/a/前.txt"), QStringLiteral("/b/后.txt"), std::nullopt};
    dialog.Item<QPushButton>(1012)->click();
    dialog.Item<QPushButton>(1014)->click();
    dialog.Item<QPushButton>(1014)->click();  // cancelled
    ASSERT_EQ(picker.requests.size(), 3u);
    EXPECT_TRUE(picker.requests[0].open);
    EXPECT_TRUE(picker.requests[1].open);
    EXPECT_EQ(picker.requests[0].filter, QStringLiteral("转换前坐标UVW(*.txt)|*.txt||"));
    EXPECT_EQ(picker.requests[1].filter, QStringLiteral("转换后坐标XYZ(*.txt)|*.txt||"));
    EXPECT_EQ(picker.requests[1].defaultSuffix, QStringLiteral("txt"));
    EXPECT_EQ(picker.requests[1].owner, &dialog);
    EXPECT_EQ(Text(dialog.GetDlgItem(1012)), QStringLiteral("前.txt"));
    EXPECT_EQ(Text(dialog.GetDlgItem(1014)), QStringLiteral("后.txt"));
    EXPECT_EQ(dialog.m_beforeFile, QStringLiteral("/a/前.txt"));
    EXPECT_EQ(dialog.m_afterFile, QStringLiteral("/b/后.txt"));
}

TEST(SevenParameterDialog, ConfirmClosesOnlyWhenEveryFieldReads) {
    RecordingMessages messages;
    CBursaParamDlg dialog;
    auto ran = WhenModal([&messages](QWidget* w) {
        auto* d = static_cast<CBursaParamDlg*>(w);
        d->Item<QLineEdit>(1019)->setText("-");
        d->Item<QPushButton>(1024)->click();
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(messages.messages.size(), 1u);
        d->Item<QLineEdit>(1019)->setText("-3.25");
        d->Item<QPushButton>(1024)->click();
    });
    EXPECT_EQ(dialog.DoModal(), kIdOk);
    EXPECT_TRUE(*ran);
    SevenParams out;
    out.dX0 = 77;
    dialog.CopyTo(out);
    EXPECT_EQ(out.betaY, -3.25);
    EXPECT_EQ(out.dX0, 0.0);
}

TEST(SevenParameterDialog, UnreadableFieldEndsComputeAndConfirm) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString before = folder.filePath(QStringLiteral("a.txt"));
    const QString after = folder.filePath(QStringLiteral("b.txt"));
    WriteCommonPoints(before, after, 6);  // enough for an estimate
    const struct {
        int button;  // 1 计算, 1024 确认
        int field;
        const char* text;
    } cases[] = {{1, 1017, "80.75m"}, {1, 1021, "2,5"}, {1024, 1015, "--1"}, {1024, 1020, "1.2.3"}};
    for (const auto& c : cases) {
        SCOPED_TRACE("button " + std::to_string(c.button) + " field " + std::to_string(c.field));
        messages.messages.clear();
        CBursaParamDlg dialog;
        SelectItem(dialog.Item<QComboBox>(1000), 0);  // 北京54大地坐标BLH
        SelectItem(dialog.Item<QComboBox>(1023), 4);  // WGS84大地坐标BLH
        picker.answers = {before, after};
        dialog.Item<QPushButton>(1012)->click();
        dialog.Item<QPushButton>(1014)->click();
        Edit(dialog, 1016)->setText("120.50");  // any writing back would show 120.5
        Edit(dialog, c.field)->setText(c.text);

        dialog.Item<QPushButton>(c.button)->click();

        ASSERT_EQ(messages.messages.size(), 1u);  // no estimation report
        EXPECT_EQ(messages.messages[0].text, "请键入一个数。");
        EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(c.field));
        EXPECT_EQ(Edit(dialog, c.field)->selectedText(), QString::fromUtf8(c.text));
        EXPECT_EQ(Edit(dialog, 1016)->text(), QStringLiteral("120.50"));
        EXPECT_NE(dialog.result(), kIdOk);
    }
}

TEST(SevenParameterDialog, ComputeWithoutSelectionWarnsAndKeepsTheFields) {
    RecordingMessages messages;
    SevenParams p = KnownParams();
    CBursaParamDlg dialog(&p);
    Edit(dialog, 1015)->setText("1.50");
    dialog.Item<QPushButton>(1)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "请检查输入数据是否完整");
    EXPECT_EQ(messages.messages[0].caption, "输入不完整");
    // No refresh: the typed text stays as typed.
    EXPECT_EQ(Edit(dialog, 1015)->text(), QStringLiteral("1.50"));
}

TEST(SevenParameterDialog, WholeEstimationFromFilesThenConfirm) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString before = folder.filePath(QStringLiteral("北京54.txt"));
    const QString after = folder.filePath(QStringLiteral("wgs84.txt"));
    WriteCommonPoints(before, after, 8);

    CConvertDlg main;
    ASSERT_TRUE(EditFirstSevenStep(main, [&](CBursaParamDlg* d) {
        SelectItem(d->Item<QComboBox>(1000), 0);  // 北京54大地坐标BLH
        SelectItem(d->Item<QComboBox>(1023), 4);  // WGS84大地坐标BLH
        picker.answers = {before, after};
        d->Item<QPushButton>(1012)->click();
        d->Item<QPushButton>(1014)->click();
        d->Item<QPushButton>(1)->click();  // 计算
        EXPECT_TRUE(d->isVisible());

        // The report, with the application's name as caption.
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].caption, ApplicationName());

        const SevenParams known = KnownParams();
        const auto shown = [d](int id) {
            return ParseDialogNumber(d->Item<QLineEdit>(id)->text().toStdString()).value_or(1e9);
        };
        EXPECT_NEAR(shown(1015), known.dX0, 0.01);
        EXPECT_NEAR(shown(1016), known.dY0, 0.01);
        EXPECT_NEAR(shown(1017), known.dZ0, 0.01);
        EXPECT_NEAR(shown(1018), known.betaX, 1e-3);
        EXPECT_NEAR(shown(1019), known.betaY, 1e-3);
        EXPECT_NEAR(shown(1020), known.betaZ, 1e-3);
        EXPECT_NEAR(shown(1021), known.K, 1e-3);
        EXPECT_EQ(d->Item<QLineEdit>(1021)->text().toStdString(), FormatDialogNumber(d->m_K));
        d->Item<QPushButton>(1024)->click();  // 确认
    }));
    const SevenParams known = KnownParams();
    ASSERT_EQ(main.m_steps.size(), 1u);
    const Transformation& step = main.m_steps[0];
    EXPECT_NEAR(step.seven.dX0, known.dX0, 0.01);
    EXPECT_NEAR(step.seven.K, known.K, 1e-3);
    EXPECT_NEAR(step.seven.betaX, known.betaX, 1e-3);
    EXPECT_NEAR(step.seven.betaZ, known.betaZ, 1e-3);
    // The estimate with every digit, and the systems it was made for.
    ASSERT_TRUE(step.before && step.after);
    EXPECT_EQ(DescribeSystem(*step.before), "beijing54-geodetic");
    EXPECT_EQ(DescribeSystem(*step.after), "wgs84-geodetic");
}

TEST(SevenParameterDialog, ComputeThenCancelLeavesTheMainRecord) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString before = folder.filePath(QStringLiteral("a.txt"));
    const QString after = folder.filePath(QStringLiteral("b.txt"));
    WriteCommonPoints(before, after, 6);

    CConvertDlg main;
    SevenParams held;
    held.dX0 = 1.0;
    held.K = -4.0;
    main.m_steps = {Transformation::Seven(held)};
    ASSERT_TRUE(EditFirstSevenStep(main, [&](CBursaParamDlg* d) {
        SelectItem(d->Item<QComboBox>(1000), 0);
        SelectItem(d->Item<QComboBox>(1023), 4);
        picker.answers = {before, after};
        d->Item<QPushButton>(1012)->click();
        d->Item<QPushButton>(1014)->click();
        d->Item<QPushButton>(1)->click();
        EXPECT_NE(d->Item<QLineEdit>(1021)->text(), QStringLiteral("-4"));  // the estimate is shown
        d->Item<QPushButton>(2)->click();
    }));
    ASSERT_EQ(main.m_steps.size(), 1u);
    EXPECT_EQ(main.m_steps[0].seven.dX0, 1.0);
    EXPECT_EQ(main.m_steps[0].seven.K, -4.0);
    EXPECT_EQ(main.m_steps[0].seven.betaX, 0.0);
}

TEST(SevenParameterDialog, UnreadableCommonPointFileIsReportedAndFieldsKept) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString before = folder.filePath(QStringLiteral("a.txt"));
    const QString after = folder.filePath(QStringLiteral("b.txt"));
    WriteFile(before, "30 110 10\n31 111 10\n32 x12 10\n33 113 10\n");
    WriteFile(after, "30 110 10\n31 111 10\n32 112 10\n33 113 10\n");
    SevenParams p;
    p.K = 6.0;
    CBursaParamDlg dialog(&p);
    SelectItem(dialog.Item<QComboBox>(1000), 0);
    SelectItem(dialog.Item<QComboBox>(1023), 2);
    picker.answers = {before, after};
    dialog.Item<QPushButton>(1012)->click();
    dialog.Item<QPushButton>(1014)->click();
    dialog.Item<QPushButton>(1)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_NE(messages.messages[0].text.find("x12"), std::string::npos);
    EXPECT_EQ(Edit(dialog, 1021)->text(), QStringLiteral("6"));
    EXPECT_EQ(dialog.m_K, 6.0);
}

TEST(SevenParameterDialog, SavedAfterComputeItIsWhatEstimateSaveWrites) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString before = folder.filePath(QStringLiteral("bj54.txt"));
    const QString after = folder.filePath(QStringLiteral("wgs84.txt"));
    WriteCommonPoints(before, after, 8);
    CBursaParamDlg dialog;
    SelectItem(dialog.Item<QComboBox>(1000), 0);  // 北京54大地坐标BLH
    SelectItem(dialog.Item<QComboBox>(1023), 4);  // WGS84大地坐标BLH
    picker.answers = {before, after};
    dialog.Item<QPushButton>(1012)->click();
    dialog.Item<QPushButton>(1014)->click();
    dialog.Item<QPushButton>(1)->click();  // 计算
    ASSERT_EQ(messages.messages.size(), 1u);

    // The same estimation as zelk-cli estimate --save makes.
    EstimationRequest request;
    request.settings.before = MakeCrs(*FindSystem("beijing54-geodetic"));
    request.settings.after = MakeCrs(*FindSystem("wgs84-geodetic"));
    request.beforeFile = ToPath(before);
    request.afterFile = ToPath(after);
    const EstimationRun run = RunEstimation(request);
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
    const std::string wanted =
        FormatParametersFile(run.estimate.calibration,
                             CalibrationComment(run.estimate.calibration, run.message.text, "bj54.txt", "wgs84.txt") +
                                 "\nUse it as: zelk-cli convert --params @saved.params ...");

    const QString saved = folder.filePath(QStringLiteral("saved.params"));
    picker.answers = {saved};
    dialog.Item<QPushButton>(1029)->click();  // 保存…
    EXPECT_EQ(ReadFile(saved), wanted);
    EXPECT_EQ(ReadFile(saved).find("not estimated here"), std::string::npos);
    // 确认 hands over the same every digit, named by the file.
    Transformation step = dialog.Step();
    EXPECT_EQ(step.seven.betaZ, run.estimate.calibration.seven.betaZ);
    EXPECT_EQ(step.source, "saved.params");

    // A field changed: typed values now, saved with 15 digits, no report.
    Edit(dialog, 1015)->setText(QStringLiteral("1.5"));
    picker.answers = {saved};
    dialog.Item<QPushButton>(1029)->click();
    EXPECT_NE(ReadFile(saved).find("(typed or opened, not estimated here)"), std::string::npos);
    EXPECT_NE(ReadFile(saved).find("\ndX0 = 1.5\n"), std::string::npos);
    step = dialog.Step();
    EXPECT_EQ(step.seven.dX0, 1.5);
    EXPECT_EQ(step.seven.betaZ, *ParseDialogNumber(FormatDialogNumber(run.estimate.calibration.seven.betaZ)));
}

// ---------------------------------------------------------------- parameter files

#include "../robustness/catalogue.h"
#include "ui/parameter_files.h"

namespace {

// The catalogue's parameter files as the dialogs' 打开 opens them: a file
// cut short refused with the reason, values seldom meant opened all the
// same behind one warning box with a "警告：" line for each.
TEST(ParamsFileOpen, CutShortRefusedUnlikelyValuesWarned) {
    for (const catalogue::ParamsCase& c : catalogue::ParamsCases()) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("p.params"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.text.data(), static_cast<qint64>(c.text.size()));
        file.close();
        RecordingPicker picker;
        picker.answers = {path};
        RecordingMessages messages;
        QString chosen;
        CBursaParamDlg owner;  // the file is read on a worker the dialog waits for
        const std::optional<Transformation> read = OpenParamsFile(&owner, chosen);
        if (!c.error.empty()) {
            EXPECT_FALSE(read.has_value());
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text,
                      "参数文件无法读取：\n" + path.toStdString() + c.error);
            continue;
        }
        ASSERT_TRUE(read.has_value());
        std::string warnings;
        for (const std::string& w : c.warnings) {
            warnings += (warnings.empty() ? "" : "\n") + ("警告：p.params：" + w);
        }
        if (warnings.empty()) {
            EXPECT_TRUE(messages.messages.empty());
        } else {
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text, warnings);
            EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
        }
    }
}

}  // namespace
