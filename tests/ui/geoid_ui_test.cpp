// Heights above a geoid in the desktop program: each side's height list of
// the main dialog (EGM96, a grid file chosen with the picker, refusals),
// the status line that names the models, and the calibration dialog's
// 大地水准面模型 (held, saved, opened again).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "grids/geoid_grid.h"
#include "recording_messages.h"
#include "ui/calibration_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/geoid_choice.h"
#include "ui/pair_table.h"
#include "ui/residual_views.h"
#include "ui/templates.h"
#include "ui_test_support.h"
#include "workflow/conversion_run.h"
#include "workflow/geoid_model.h"

using namespace zelk;

namespace {

const QString kRegional = QStringLiteral(ZELK_TEST_DATA_DIR "/geoid/regional.gtx");

bool Egm96Installed() { return OpenGeoidModel("egm96").IsOpen(); }

QString Line(CConvertDlg& dialog) { return dialog.TransformLine().text; }

// Chooses both sides (main-list names, meridians) as the user does.
void ChooseSides(CConvertDlg& dialog, const char* from, const char* fromMeridian, const char* to,
                 const char* toMeridian) {
    SelectItem(dialog.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex(from));
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex(to));
    dialog.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QString::fromLatin1(fromMeridian));
    dialog.Item<QLineEdit>(convert_ids::kTgtMeridian)->setText(QString::fromLatin1(toMeridian));
}

void TypePoint(CConvertDlg& dialog, const char* x, const char* y, const char* z) {
    dialog.Item<QLineEdit>(convert_ids::kSrcX)->setText(QString::fromLatin1(x));
    dialog.Item<QLineEdit>(convert_ids::kSrcY)->setText(QString::fromLatin1(y));
    dialog.Item<QLineEdit>(convert_ids::kSrcZ)->setText(QString::fromLatin1(z));
}

}  // namespace

TEST(MainDialogHeights, Egm96OnTheTargetConvertsAsTheRequestDoesAndTheLineSaysSo) {
    if (!Egm96Installed()) GTEST_SKIP() << "EGM96 is not installed";
    RecordingMessages messages;
    CConvertDlg dialog;
    ChooseSides(dialog, "cgcs2000-gauss", "102", "cgcs2000-gauss", "102");
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtHeight), kEgm96Item);
    EXPECT_EQ(Line(dialog), QStringLiteral("当前转换：无；高程 椭球高 → EGM96"));
    TypePoint(dialog, "3341308.907", "538736.866", "3860.595");
    dialog.OnOK();
    EXPECT_TRUE(messages.messages.empty());

    ConversionRequest request;
    request.from = request.to = MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Meridian, 102);
    request.steps = {Transformation::Seven({})};
    request.toGeoid = OpenGeoidModel("egm96");
    double a = 3341308.907, b = 538736.866, c = 3860.595;
    ASSERT_EQ(ConvertTypedPoint(ChainFor(request), a, b, c), "");
    EXPECT_EQ(dialog.m_tgtZ, c);
    EXPECT_NEAR(dialog.m_tgtZ, 3895.916, 0.001);  // the corridor's G06 above EGM96

    // A geocentric target has no such heights: the list greys, keeps its
    // choice, and the line and the conversion leave it out.
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("cgcs2000-xyz"));
    EXPECT_FALSE(dialog.GetDlgItem(convert_ids::kTgtHeight)->isEnabled());
    EXPECT_EQ(dialog.Item<QComboBox>(convert_ids::kTgtHeight)->currentIndex(), kEgm96Item);
    EXPECT_EQ(Line(dialog), QStringLiteral("当前转换：无"));
    dialog.OnOK();
    EXPECT_TRUE(messages.messages.empty());
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("cgcs2000-geodetic"));
    EXPECT_TRUE(dialog.GetDlgItem(convert_ids::kTgtHeight)->isEnabled());
    EXPECT_EQ(Line(dialog), QStringLiteral("当前转换：无；高程 椭球高 → EGM96"));
}

TEST(MainDialogHeights, AGridFileOfOnesOwnAndWhatIsRefused) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString broken = folder.filePath(QStringLiteral("broken.gtx"));
    WriteFile(broken, "not a grid\n");
    CConvertDlg dialog;
    ChooseSides(dialog, "cgcs2000-gauss", "120", "cgcs2000-geodetic", "0");
    auto* list = dialog.Item<QComboBox>(convert_ids::kSrcHeight);

    // Cancelled: nothing changes.
    SelectItem(list, 2);
    EXPECT_EQ(list->currentIndex(), kNoGeoidItem);
    ASSERT_EQ(picker.requests.size(), 1u);
    EXPECT_TRUE(picker.requests[0].filter.contains(QStringLiteral("*.gtx")));

    // A grid file: an item of its own, named in the line.
    picker.answers = {kRegional};
    SelectItem(list, 2);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_EQ(list->itemText(2), QStringLiteral("regional.gtx"));
    EXPECT_EQ(Line(dialog), QStringLiteral("当前转换：无；高程 regional.gtx → 椭球高"));
    EXPECT_TRUE(messages.messages.empty());

    // A file that is no grid is refused by name, and the list goes back.
    picker.answers = {broken};
    SelectItem(list, 3);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.rfind("高程所用的大地水准面模型“broken.gtx”无法使用：", 0) == 0)
        << messages.messages[0].text;
    EXPECT_EQ(list->currentIndex(), 2);
    EXPECT_EQ(list->itemText(2), QStringLiteral("regional.gtx"));
    messages.messages.clear();

    // A point the grid does not cover is refused; one it covers converts.
    TypePoint(dialog, "3598530.207", "500000", "12.5");  // 32.5 N
    dialog.OnOK();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              "键入的点在大地水准面模型范围之外，无法换算高程，请检查数据或换用覆盖该处的模型！");
    EXPECT_EQ(dialog.m_tgtZ, 0.0);
    messages.messages.clear();
    TypePoint(dialog, "3430974.323", "500000", "12.5");  // 31 N 120 E
    dialog.OnOK();
    EXPECT_TRUE(messages.messages.empty());
    const GeoidModel regional = OpenGeoidModel(kRegional.toStdString());
    double N = 0;
    ASSERT_TRUE(regional.grid->Undulation(31.0, 120.0, N));
    EXPECT_NEAR(dialog.m_tgtZ, 12.5 + N, 1e-6);

    // Back to ellipsoidal heights, and to the file again without a picker.
    SelectItem(list, kNoGeoidItem);
    EXPECT_EQ(Line(dialog), QStringLiteral("当前转换：无"));
    SelectItem(list, 2);
    EXPECT_EQ(picker.requests.size(), 3u);
    EXPECT_EQ(Line(dialog), QStringLiteral("当前转换：无；高程 regional.gtx → 椭球高"));
}

TEST(CalibrationDialogGeoid, HeldSavedAndOpenedWithItsModel) {
    if (!Egm96Installed()) GTEST_SKIP() << "EGM96 is not installed";
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    CCalibrationDlg dialog;
    auto* geoid = dialog.Item<QComboBox>(calibration_ids::kGeoid);
    EXPECT_FALSE(geoid->isEnabled());
    SelectItem(dialog.Item<QComboBox>(calibration_ids::kModel), 1);   // 四参数
    SelectItem(dialog.Item<QComboBox>(calibration_ids::kHeight), 1);  // 固定差
    EXPECT_TRUE(geoid->isEnabled());
    SelectItem(geoid, kEgm96Item);
    SelectItem(dialog.Item<QComboBox>(calibration_ids::kBeforeSystem), MainIndex("cgcs2000-gauss"));
    dialog.Item<QLineEdit>(calibration_ids::kBeforeMeridian)->setText(QStringLiteral("102"));
    SelectItem(dialog.Item<QComboBox>(calibration_ids::kAfterSystem), MainIndex("local"));
    // The corridor's five benchmarks, pasted.
    auto* pairs = dialog.Item<CPairTable>(calibration_ids::kPairs);
    pairs->setCurrentCell(0, 0);
    pairs->PasteText(QStringLiteral(
        "G01 3319685.479 499493.487 3323.996 18396.443 60048.716 3356.609\n"
        "G04 3334136.265 521319.293 3501.847 32721.508 81974.441 3536.289\n"
        "G07 3347610.162 543884.155 3015.917 46064.648 104633.645 3051.777\n"
        "G10 3357845.691 565705.860 3117.727 56172.242 126529.504 3154.665\n"
        "G12 3368589.895 582171.675 2779.517 66821.516 143069.736 2817.030\n"));
    dialog.OnCompute();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find("高程中误差为 0.000298 m，不用模型时为 1.772013 m ."),
              std::string::npos)
        << messages.messages[0].text;
    ASSERT_TRUE(dialog.Held());
    ASSERT_TRUE(dialog.Held()->geoid);
    EXPECT_EQ(dialog.Held()->geoid->name, "egm96");
    EXPECT_TRUE(dialog.Item<CResidualTable>(calibration_ids::kResiduals)->Captions().contains(QStringLiteral("无模型 (m)")));
    EXPECT_TRUE(Text(dialog.GetDlgItem(calibration_ids::kResult))
                    .startsWith(QStringLiteral("四参数 + 固定差高程拟合（EGM96之上） (未保存)")));

    // Saved as zelk-cli saves it, and opened again with its model chosen.
    const QString path = folder.filePath(QStringLiteral("corridor.params"));
    picker.answers = {path};
    dialog.OnSave();
    EXPECT_NE(ReadFile(path).find("\ngeoid = egm96\n"), std::string::npos);
    CCalibrationDlg again;
    picker.answers = {path};
    again.OnOpen();
    ASSERT_TRUE(again.Held() && again.Held()->geoid);
    EXPECT_EQ(again.Item<QComboBox>(calibration_ids::kGeoid)->currentIndex(), kEgm96Item);
    EXPECT_TRUE(again.GetDlgItem(calibration_ids::kGeoid)->isEnabled());

    // No height fit: the geoid is greyed and not asked of the estimate.
    SelectItem(again.Item<QComboBox>(calibration_ids::kHeight), 0);
    EXPECT_FALSE(again.GetDlgItem(calibration_ids::kGeoid)->isEnabled());
}
