// The two-stage field workflow through the desktop program, as the user
// guide works it: seven parameters from two csv files paired by name, a
// calibration from a pair file with plan-only control read into the table,
// both as steps of 转换参数, saved as one chain, and a file converted to the
// bytes zelk-cli writes (examples/expected).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <string>

#include "recording_messages.h"
#include "ui/calibration_dlg.h"
#include "ui/pair_table.h"
#include "ui/residual_views.h"
#include "main_dialog_steps.h"
#include "ui_test_support.h"
#include "workflow/estimation_run.h"

using namespace zelk;

namespace {

namespace cal = calibration_ids;

const QString kExamples = QStringLiteral(ZELK_EXAMPLES_DIR);

QString Example(const char* name) { return kExamples + QLatin1Char('/') + QString::fromUtf8(name); }

// A calibration added as a step: action sets it up and computes; then it
// is saved as file and confirmed.
bool AddCalibration(CChainDlg* chain, RecordingPicker& picker, const QString& file,
                    const std::function<void(CCalibrationDlg*)>& action) {
    auto ran = WhenModal([&](QWidget* w) {
        auto* d = qobject_cast<CCalibrationDlg*>(w);
        ASSERT_NE(d, nullptr);
        action(d);
        ASSERT_TRUE(d->Held());
        picker.answers = {file};
        d->Item<QPushButton>(cal::kSave)->click();
        d->Item<QPushButton>(cal::kAccept)->click();
    });
    chain->Item<QPushButton>(chain_ids::kAddCalibration)->click();
    return *ran;
}

TEST(FieldWorkflow, SevenThenFourParametersAsStepsConvertAsZelkCliDoes) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString stage1 = folder.filePath(QStringLiteral("stage1.params"));
    const QString stage2 = folder.filePath(QStringLiteral("stage2.params"));
    const QString chainFile = folder.filePath(QStringLiteral("rtk-to-local.params"));

    CConvertDlg main;
    SelectItem(main.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex("wgs84-geodetic"));
    SelectItem(main.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("local"));
    ASSERT_TRUE(InStepsDialog(main, [&](CChainDlg* chain) {
        // Stage 1: seven parameters from two csv files, paired by name.
        EXPECT_TRUE(AddCalibration(chain, picker, stage1, [&](CCalibrationDlg* d) {
            SelectItem(d->Item<QComboBox>(cal::kModel), 0);
            SelectItem(d->Item<QComboBox>(cal::kBeforeSystem), MainIndex("wgs84-geodetic"));
            SelectItem(d->Item<QComboBox>(cal::kAfterSystem), MainIndex("beijing54-xyz"));
            SelectItem(d->Item<QComboBox>(cal::kSource), 1);
            SelectItem(d->Item<QComboBox>(cal::kFormat), 2);
            picker.answers = {Example("stage1-wgs84.csv"), Example("stage1-bj54-xyz.csv")};
            d->Item<QPushButton>(cal::kBeforeFile)->click();
            d->Item<QPushButton>(cal::kAfterFile)->click();
            d->Item<QPushButton>(cal::kCompute)->click();
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_NE(messages.messages[0].text.find("转换后文件：C07（第2行）"), std::string::npos);
            EXPECT_EQ(d->Item<CResidualTable>(cal::kResiduals)->rowCount(), 6);
        }));
        // Stage 2: four parameters and a fixed height from the pair file,
        // read into the table; S2 and S4 have no height.
        EXPECT_TRUE(AddCalibration(chain, picker, stage2, [&](CCalibrationDlg* d) {
            SelectItem(d->Item<QComboBox>(cal::kModel), 1);
            SelectItem(d->Item<QComboBox>(cal::kHeight), 1);
            SelectItem(d->Item<QComboBox>(cal::kBeforeSystem), MainIndex("beijing54-gauss"));
            d->Item<QLineEdit>(cal::kBeforeMeridian)->setText(QStringLiteral("117"));
            SelectItem(d->Item<QComboBox>(cal::kAfterSystem), MainIndex("local"));
            picker.answers = {Example("stage2-pairs.txt")};
            d->Item<QPushButton>(cal::kReadPairs)->click();
            auto* pairs = d->Item<CPairTable>(cal::kPairs);
            ASSERT_EQ(pairs->Rows().size(), 5u);
            EXPECT_EQ(pairs->item(1, 6)->text(), QStringLiteral("*"));
            d->Item<QPushButton>(cal::kCompute)->click();
            auto* residuals = d->Item<CResidualTable>(cal::kResiduals);
            ASSERT_EQ(residuals->rowCount(), 5);
            const int height = static_cast<int>(residuals->Captions().indexOf(QStringLiteral("高程 (m)")));
            ASSERT_GE(height, 0);
            EXPECT_EQ(residuals->CellText(1, height), QStringLiteral("—"));
            EXPECT_EQ(residuals->CellText(3, height), QStringLiteral("—"));
            EXPECT_NE(residuals->CellText(2, height), QStringLiteral("—"));
            EXPECT_EQ(d->Item<CResidualPlot>(cal::kPlot)->PointCount(), 5);
        }));
        ASSERT_EQ(chain->Steps().size(), 2u);
        EXPECT_EQ(chain->List()->item(0)->text(), QStringLiteral("1. 七参数 (坐标框架) (stage1.params)"));
        EXPECT_EQ(chain->List()->item(1)->text(), QStringLiteral("2. 四参数 + 固定差高程拟合 (stage2.params)"));
        EXPECT_EQ(chain->LineText(), QStringLiteral("可以从WGS84-大地坐标转换到地方坐标-xyH。"));
        picker.answers = {chainFile};
        chain->Item<QPushButton>(chain_ids::kSave)->click();
        // In the other order the steps do not meet: the line says why.
        chain->Select(1);
        chain->Item<QPushButton>(chain_ids::kUp)->click();
        EXPECT_TRUE(chain->LineText().startsWith(QStringLiteral("转换前坐标系统WGS84-大地坐标与第1步（stage2.params）")))
            << chain->LineText().toStdString();
        chain->Item<QPushButton>(chain_ids::kDown)->click();
        chain->Item<QPushButton>(chain_ids::kAccept)->click();
    }));
    EXPECT_EQ(main.TransformLine().text,
              QStringLiteral("当前转换：1. 七参数 (坐标框架) (stage1.params) → 2. 四参数 + 固定差高程拟合 (stage2.params)"));
    EXPECT_FALSE(main.TransformLine().warning);

    // The files are zelk-cli's, to the byte where the names are the same.
    EXPECT_EQ(ReadFile(chainFile), ReadFile(Example("rtk-to-local.params")));
    const auto values = [](const std::string& text) { return text.substr(text.find("\nbefore = ")); };
    EXPECT_EQ(values(ReadFile(stage1)), values(ReadFile(Example("stage1.params"))));
    EXPECT_EQ(values(ReadFile(stage2)), values(ReadFile(Example("stage2.params"))));

    // The RTK points converted as the guide's example does.
    messages.messages.clear();
    const QString output = folder.filePath(QStringLiteral("rtk-new-local.txt"));
    main.Item<QCheckBox>(convert_ids::kWithNames)->setChecked(true);
    picker.answers = {Example("rtk-new.txt"), output};
    main.Item<QPushButton>(convert_ids::kInputFile)->click();
    main.Item<QPushButton>(convert_ids::kOutputFile)->click();
    main.Item<QPushButton>(convert_ids::kConvert)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, kConversionDoneText);
    EXPECT_EQ(ReadFile(output), ReadFile(Example("expected/rtk-new-local.txt")));
}

TEST(FieldWorkflow, StepsOpenFromAChainFileAndThePairTableWritesWhatItReads) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    CChainDlg chain({}, MakeCrs(*FindSystem("wgs84-geodetic")), MakeCrs(*FindSystem("local")));
    picker.answers = {Example("rtk-to-local.params")};
    chain.Item<QPushButton>(chain_ids::kOpen)->click();
    ASSERT_EQ(chain.Steps().size(), 2u);
    EXPECT_EQ(chain.List()->item(1)->text(),
              QStringLiteral("2. 四参数 + 固定差高程拟合 (rtk-to-local.params [step 2])"));
    EXPECT_EQ(chain.Selected(), 1);
    for (int id : {chain_ids::kEdit, chain_ids::kRemove, chain_ids::kUp, chain_ids::kSave}) {
        EXPECT_TRUE(chain.GetDlgItem(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(chain.GetDlgItem(chain_ids::kDown)->isEnabled());
    chain.Item<QPushButton>(chain_ids::kRemove)->click();
    EXPECT_EQ(chain.LineText(),
              QStringLiteral("rtk-to-local.params [step 1]: 地方坐标只能通过四参数点校正到达，请打开点校正参数文件！"));

    // Read and written back as csv, then read again: the same text.
    CCalibrationDlg dialog;
    SelectItem(dialog.Item<QComboBox>(cal::kBeforeSystem), MainIndex("beijing54-gauss"));
    SelectItem(dialog.Item<QComboBox>(cal::kAfterSystem), MainIndex("local"));
    picker.answers = {Example("stage2-pairs.txt")};
    dialog.Item<QPushButton>(cal::kReadPairs)->click();
    auto* table = dialog.Item<CPairTable>(cal::kPairs);
    const auto rows = table->Rows();
    const QString csv = folder.filePath(QStringLiteral("pairs.csv"));
    picker.answers = {csv};
    dialog.Item<QPushButton>(cal::kWritePairs)->click();
    EXPECT_EQ(ReadFile(csv).substr(0, 37), "name,x,y,H,x,y,H\nS1,4373877.420,48706");
    table->ClearPairs();
    picker.answers = {csv};
    dialog.Item<QPushButton>(cal::kReadPairs)->click();
    EXPECT_EQ(table->Rows(), rows);
    // A name with a blank cannot go to a plain file: nothing written.
    table->item(0, 0)->setText(QStringLiteral("S 1"));
    const QString plain = folder.filePath(QStringLiteral("pairs.txt"));
    picker.answers = {plain};
    dialog.Item<QPushButton>(cal::kWritePairs)->click();
    EXPECT_EQ(ReadFile(plain), "<missing>");
    ASSERT_FALSE(messages.messages.empty());
    EXPECT_NE(messages.messages.back().text.find("点对表第1行的点号或坐标含有空格"), std::string::npos);
}

}  // namespace
