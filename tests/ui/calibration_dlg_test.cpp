// The site calibration in the desktop program: the calibration dialog
// against the workflow's estimate and zelk-cli's saved file, pasting into
// its table, its problems, the residual table and plot, saving and opening
// in both dialogs, the main dialog's line saying what a conversion applies,
// and a calibrated conversion against zelk-cli's bytes.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QListView>
#include <QScreen>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/number_text.h"
#include "recording_messages.h"
#include "ui/bursa_param_dlg.h"
#include "ui/calibration_dlg.h"
#include "ui/convert_dlg.h"
#include "ui/pair_table.h"
#include "ui/residual_views.h"
#include "ui/system_lists.h"
#include "ui/templates.h"
#include "ui/transformation_text.h"
#include "workflow/angle_text.h"
#include "main_dialog_steps.h"
#include "ui_test_support.h"
#include "workflow/chain.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "workflow/parameter_file.h"

using namespace zelk;

namespace {
namespace cal = calibration_ids;


// The "name = value" lines of a parameters file, without its comment.
std::string ValueLines(const std::string& file) {
    std::string values;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = file.find('\n', start);
        if (end == std::string::npos) end = file.size();
        const std::string line = file.substr(start, end - start);
        if (!line.empty() && line[0] != '#') values += line + "\n";
        start = end + 1;
    }
    return values;
}

// zelk-cli's standard output, or "<failed>" with its standard error.
std::string RunCli(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(ZELK_CLI_PATH), args);
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0) {
        return "<failed> " + cli.readAllStandardError().toStdString();
    }
    return cli.readAllStandardOutput().toStdString();
}

std::string Text3(const PointRecord& p) {
    return RoundTripText(p.X) + " " + RoundTripText(p.Y) + " " + RoundTripText(p.Z);
}

// Common points of a known transformation with millimetres of noise, and
// optionally one pair whose after y is `blunder` metres off.
struct Site {
    std::vector<PointRecord> before, after;
    QStringList names;
};

Site MakeSite(bool seven, int n, int blunderPair = -1, double blunder = 0.0) {
    Site site;
    const double north[] = {-1210, 40, 1320, -650, 860, 30, -1420, 1180, 510, -180};
    const double east[] = {-1480, -1320, -1190, -420, -260, 410, 560, 720, 1430, 1510};
    const double noise[] = {3, -2, 4, -1, 4, -3, 2, 1, -2, -4, -1, 5, 1, -3, 2, -2, 2, -4, 4, 0};
    const zelk::ConversionChain toAfter(
        zelk::MakeCrs(*zelk::FindSystem("wgs84-geodetic")),
        zelk::MakeCrs(*zelk::FindSystem("beijing54-gauss"), zelk::Zoning::Meridian, 117),
        {zelk::Transformation::Seven(SevenParams{-15.25, 120.5, 80.75, 2.5, 0.5, -0.8, 1.2})});
    for (int i = 0; i < n; ++i) {
        PointRecord b, a;
        if (seven) {
            // WGS84 B L H (packed DMS) around 39°30′ N, 116°30′ E.
            b = PointRecord{39.3 + north[i] / 1e5, 116.3 + east[i] / 1e5, 40.0 + 3.5 * i};
            a = b;
            EXPECT_EQ(toAfter.Convert(a.X, a.Y, a.Z), zelk::PointProblem::None);
        } else {
            // CGCS2000 Gauss-Kruger (117) against a local grid turned 1.2°.
            b = PointRecord{3542870.0 + north[i], 483150.0 + east[i], 50.0 + 2.5 * i};
            const double t = -0.021, k = 1.0 + 23.6e-6;
            const double zeta = -9.8 + 0.03 * north[i] / 1000 + 0.004 * north[i] * east[i] / 1e6;
            a = PointRecord{2500.0 + k * ((b.X - 3542870.0) * std::cos(t) - (b.Y - 483150.0) * std::sin(t)),
                            4100.0 + k * ((b.X - 3542870.0) * std::sin(t) + (b.Y - 483150.0) * std::cos(t)),
                            b.Z - zeta};
        }
        a.X += noise[(2 * i) % 20] / 1000.0;
        a.Y += noise[(2 * i + 1) % 20] / 1000.0 + (i == blunderPair ? blunder : 0.0);
        a.Z += noise[(3 * i) % 20] / 1000.0;
        site.before.push_back(b);
        site.after.push_back(a);
        site.names << QStringLiteral("P%1").arg(i + 1);
    }
    return site;
}

// The site as a spreadsheet copies it: name and six values, tab-separated.
QString Spreadsheet(const Site& site) {
    QString text;
    for (std::size_t i = 0; i < site.before.size(); ++i) {
        QStringList fields{site.names[static_cast<qsizetype>(i)]};
        for (double v : {site.before[i].X, site.before[i].Y, site.before[i].Z, site.after[i].X, site.after[i].Y,
                         site.after[i].Z}) {
            fields << QString::fromStdString(RoundTripText(v));
        }
        text += fields.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    }
    return text;
}

// What the dialog is set to: model, height item, convention item, systems.
struct Case {
    const char* name;
    int model, height, convention;
    const char* before;
    int beforeZoning;
    const char* beforeMeridian;
    const char* after;
    QStringList cliOptions;
};

const Case kCases[] = {
    {"four, quadratic heights, to the local grid", 1, 3, 0, "cgcs2000-gauss", 0, "117", "local",
     {"--model", "four", "--height", "quadratic", "--before", "cgcs2000-gauss", "--before-meridian", "117",
      "--after", "local"}},
    {"seven, position vector", 0, 0, 1, "wgs84-geodetic", 0, "0", "beijing54-gauss",
     {"--convention", "position-vector", "--before", "wgs84-geodetic", "--after", "beijing54-gauss",
      "--after-meridian", "117"}},
    {"seven, plane heights", 0, 2, 0, "wgs84-geodetic", 0, "0", "beijing54-gauss",
     {"--height", "plane", "--before", "wgs84-geodetic", "--after", "beijing54-gauss", "--after-meridian",
      "117"}},
};

void Configure(CCalibrationDlg& d, const Case& s) {
    SelectItem(d.Item<QComboBox>(cal::kModel), s.model);
    SelectItem(d.Item<QComboBox>(cal::kHeight), s.height);
    SelectItem(d.Item<QComboBox>(cal::kConvention), s.convention);
    SelectItem(d.Item<QComboBox>(cal::kBeforeSystem), MainIndex(s.before));
    SelectItem(d.Item<QComboBox>(cal::kBeforeZoning), s.beforeZoning);
    SelectItem(d.Item<QComboBox>(cal::kAfterSystem), MainIndex(s.after));
    d.Item<QLineEdit>(cal::kBeforeMeridian)->setText(QString::fromUtf8(s.beforeMeridian));
    d.Item<QLineEdit>(cal::kAfterMeridian)->setText(QStringLiteral("117"));
}

CalibrationSettings SettingsOf(const Case& s) {
    CalibrationSettings settings;
    settings.before = *SideCrs(MainListEntryAt(MainIndex(s.before)), s.beforeZoning,
                               ParseDialogNumber(s.beforeMeridian).value());
    settings.after = *SideCrs(MainListEntryAt(MainIndex(s.after)), 0, 117);
    settings.model = s.model == 1 ? Transformation::Model::Four : Transformation::Model::Seven;
    settings.height = HeightModelOfItem(s.height);
    settings.convention = ConventionOfItem(s.convention);
    return settings;
}

std::string FileOf(const Transformation& c) { return FormatParametersFile(c, ""); }
}  // namespace

TEST(CalibrationDialog, PastedPairsGiveTheWorkflowsEstimateAndZelkCliFile) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const Case& setup : kCases) {
        SCOPED_TRACE(setup.name);
        messages.messages.clear();
        const bool seven = setup.model == 0;
        const Site site = MakeSite(seven, 10);
        const CalibrationEstimate expected = EstimateCalibration(SettingsOf(setup), site.before, site.after);
        ASSERT_EQ(expected.status, CalibrationEstimate::Status::Estimated) << expected.message;

        CCalibrationDlg dialog;
        Configure(dialog, setup);
        dialog.Item<CPairTable>(cal::kPairs)->PasteText(Spreadsheet(site));
        dialog.Item<QPushButton>(cal::kCompute)->click();

        // The report as the workflow gives it, the calibration to the last bit.
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, expected.message);
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
        ASSERT_TRUE(dialog.Held());
        EXPECT_EQ(FileOf(*dialog.Held()), FileOf(expected.calibration));
        EXPECT_TRUE(dialog.HeldName().isEmpty());

        // Saved, it holds the values zelk-cli --save writes from the same
        // points in two files.
        const QString saved = folder.filePath(QStringLiteral("dialog.params"));
        picker.answers = {saved};
        dialog.Item<QPushButton>(cal::kSave)->click();
        EXPECT_EQ(dialog.HeldName(), QStringLiteral("dialog.params"));
        std::string beforeText, afterText;
        for (std::size_t i = 0; i < site.before.size(); ++i) {
            beforeText += Text3(site.before[i]) + "\n";
            afterText += Text3(site.after[i]) + "\n";
        }
        const QString before = folder.filePath(QStringLiteral("before.txt"));
        const QString after = folder.filePath(QStringLiteral("after.txt"));
        const QString cliSaved = folder.filePath(QStringLiteral("cli.params"));
        WriteFile(before, beforeText);
        WriteFile(after, afterText);
        const std::string printed =
            RunCli(QStringList{"estimate"} + setup.cliOptions + QStringList{"--save", cliSaved, before, after});
        ASSERT_EQ(printed.rfind("<failed>", 0), std::string::npos) << printed;
        EXPECT_EQ(ValueLines(ReadFile(saved)), ValueLines(ReadFile(cliSaved)));
        EXPECT_NE(ReadFile(saved).find("# Use it as: zelk-cli convert --params @dialog.params"), std::string::npos);

        // The two files through the dialog give the same again.
        messages.messages.clear();
        SelectItem(dialog.Item<QComboBox>(cal::kSource), 1);
        EXPECT_FALSE(dialog.GetDlgItem(cal::kPairs)->isEnabled());
        picker.answers = {before, after};
        dialog.Item<QPushButton>(cal::kBeforeFile)->click();
        dialog.Item<QPushButton>(cal::kAfterFile)->click();
        dialog.Item<QPushButton>(cal::kCompute)->click();
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, expected.message);
        ASSERT_TRUE(dialog.Held());
        EXPECT_EQ(FileOf(*dialog.Held()), FileOf(expected.calibration));
    }
}

// B and L in decimal degrees or DMS, typed into the table or read from
// files (plain, or dat with names that label the residuals), give what
// zelk-cli --from-angles gives from the same files.
TEST(CalibrationDialog, AngleFormatsOfTheTableAndTheFilesAreZelkClis) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const Case& setup = kCases[1];  // seven parameters from WGS84 B L H
    const Site site = MakeSite(true, 10);
    for (const AngleFormat angles : {AngleFormat::Degrees, AngleFormat::Dms}) {
        const std::string name(AngleFormatName(angles));
        SCOPED_TRACE(name);
        const bool dat = angles == AngleFormat::Dms;
        std::string beforeText, afterText;
        QString table;
        for (std::size_t i = 0; i < site.before.size(); ++i) {
            char b[kAngleTextMax], l[kAngleTextMax];
            const std::string bl = std::string(b, WriteAngle(b, site.before[i].X, angles)) + " " +
                                   std::string(l, WriteAngle(l, site.before[i].Y, angles));
            const std::string point = site.names[static_cast<qsizetype>(i)].toStdString();
            const auto datLine = [&](const std::string& x, const std::string& y, const PointRecord& p) {
                return point + ",," + y + "," + x + "," + RoundTripText(p.Z) + "\n";  // east before north
            };
            beforeText += dat ? datLine(std::string(b, WriteAngle(b, site.before[i].X, angles)),
                                        std::string(l, WriteAngle(l, site.before[i].Y, angles)), site.before[i])
                              : bl + " " + RoundTripText(site.before[i].Z) + "\n";
            afterText += dat ? datLine(RoundTripText(site.after[i].X), RoundTripText(site.after[i].Y), site.after[i])
                             : Text3(site.after[i]) + "\n";
            table += QString::fromUtf8(point + " " + bl + " " + RoundTripText(site.before[i].Z) + " " +
                                       Text3(site.after[i])) +
                     QStringLiteral("\n");
        }
        const QString before = folder.filePath(QStringLiteral("before.txt"));
        const QString after = folder.filePath(QStringLiteral("after.txt"));
        const QString cliSaved = folder.filePath(QStringLiteral("cli.params"));
        WriteFile(before, beforeText);
        WriteFile(after, afterText);
        const std::string printed = RunCli(QStringList{"estimate"} + setup.cliOptions +
                                           QStringList{"--from-angles", QString::fromStdString(name), "--format",
                                                       dat ? "dat" : "plain", "--save", cliSaved, before, after});
        ASSERT_EQ(printed.rfind("<failed>", 0), std::string::npos) << printed;

        CCalibrationDlg dialog;
        Configure(dialog, setup);
        EXPECT_TRUE(dialog.GetDlgItem(cal::kBeforeAngles)->isEnabled());
        EXPECT_FALSE(dialog.GetDlgItem(cal::kAfterAngles)->isEnabled());  // a Gauss-Kruger side
        SelectItem(dialog.Item<QComboBox>(cal::kBeforeAngles), static_cast<int>(angles));
        SelectItem(dialog.Item<QComboBox>(cal::kFormat), dat ? 1 : 0);
        dialog.Item<CPairTable>(cal::kPairs)->PasteText(table);
        for (const int source : {0, 1}) {
            SCOPED_TRACE(source == 0 ? "table" : "files");
            messages.messages.clear();
            SelectItem(dialog.Item<QComboBox>(cal::kSource), source);
            picker.answers = {before, after};
            if (source == 1) {
                dialog.Item<QPushButton>(cal::kBeforeFile)->click();
                dialog.Item<QPushButton>(cal::kAfterFile)->click();
            }
            dialog.Item<QPushButton>(cal::kCompute)->click();
            ASSERT_EQ(messages.messages.size(), 1u);
            ASSERT_TRUE(dialog.Held()) << messages.messages[0].text;
            EXPECT_EQ(ValueLines(FileOf(*dialog.Held())), ValueLines(ReadFile(cliSaved)));
            const auto* residuals = dialog.Item<CResidualTable>(cal::kResiduals);
            ASSERT_EQ(residuals->rowCount(), 10);
            const bool named = source == 0 || dat;  // a plain file has no names
            EXPECT_EQ(residuals->Captions().contains(QStringLiteral("点号")), named);
            if (named) {
                EXPECT_EQ(residuals->CellText(9, 1), QStringLiteral("P10"));
            }
        }
    }
    // A value not in the chosen format names its cell and the format.
    CCalibrationDlg dialog;
    Configure(dialog, setup);
    SelectItem(dialog.Item<QComboBox>(cal::kBeforeAngles), static_cast<int>(AngleFormat::Dms));
    messages.messages.clear();
    dialog.Item<CPairTable>(cal::kPairs)->PasteText(Spreadsheet(site));  // packed B L
    dialog.Item<QPushButton>(cal::kCompute)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "点对表第1行的“转换前 B”“39.2879”不是度分秒，请改正！");
    EXPECT_FALSE(dialog.Held());
}

TEST(CalibrationDialog, PastingFillsFromTheCurrentCellAndReadingNamesTheBadCell) {
    const struct {
        const char* line;
        QStringList fields;
    } splits[] = {
        {"P1\t1.5\t2\t3\t4\t5\t6", {"P1", "1.5", "2", "3", "4", "5", "6"}},
        {"P1, 1.5 ,2,3,4,5,6", {"P1", "1.5", "2", "3", "4", "5", "6"}},
        {"P1\t\t2 ", {"P1", "", "2"}},  // tabs first: an empty cell stays a field
        {"  P1   1.5 2", {"P1", "1.5", "2"}},
        {"P 1  1.5  2", {"P", "1", "1.5", "2"}},
        {"名1,,3", {"名1", "", "3"}},
    };
    for (const auto& s : splits) EXPECT_EQ(SplitPastedLine(QString::fromUtf8(s.line)), s.fields) << s.line;

    RecordingMessages messages;
    CPairTable table;
    table.setCurrentCell(0, 0);
    // Six values go past the name column; rows grow; blank lines are skipped.
    table.PasteText(QStringLiteral("1\t2\t3\t4\t5\t6\n\nA\t7\t8\t9\t10\t11\t12\n"));
    table.setCurrentCell(2, 0);
    for (int i = 0; i < 13; ++i) table.PasteText(QStringLiteral("B,1,2,3,4,5,6"));
    EXPECT_EQ(table.rowCount(), 12);  // each paste at the same cell; the table starts with 12 rows
    table.setCurrentCell(3, 0);
    QString many;
    for (int i = 0; i < 14; ++i) many += QStringLiteral("C%1 1 2 3 4 5 6\n").arg(i);
    table.PasteText(many);
    EXPECT_EQ(table.rowCount(), 3 + 14 + 1);
    CPairTable::Problem problem;
    std::optional<CPairTable::Pairs> pairs = table.ReadPairs(problem);
    ASSERT_TRUE(pairs);
    ASSERT_EQ(pairs->before.size(), 17u);
    EXPECT_EQ(pairs->names.mid(0, 4), (QStringList{"", "A", "B", "C0"}));
    EXPECT_EQ(pairs->before[1].X, 7.0);
    EXPECT_EQ(pairs->after[1].Z, 12.0);

    // The first cell that does not read: its row, its column and why.
    const struct {
        int row, column;
        const char* text;
        const char* message;
    } bad[] = {
        {1, 5, "8..1", "点对表第2行的“转换后 y”“8..1”不是一个数，请改正！"},
        {4, 3, "", "点对表第5行的“转换前 H”是空的，请键入一个数！"},
        {0, 1, "1,5", "点对表第1行的“转换前 x”“1,5”不是一个数，请改正！"},
    };
    for (const auto& b : bad) {
        CPairTable copy;
        copy.setCurrentCell(0, 0);
        copy.PasteText(QStringLiteral("P\t1\t2\t3\t4\t5\t6\nQ\t1\t2\t3\t4\t5\t6\nR\t1\t2\t3\t4\t5\t6\n"
                                      "S\t1\t2\t3\t4\t5\t6\nT\t1\t2\t3\t4\t5\t6\n"));
        copy.item(b.row, b.column)->setText(QString::fromUtf8(b.text));
        EXPECT_FALSE(copy.ReadPairs(problem));
        EXPECT_EQ(problem.row, b.row);
        EXPECT_EQ(problem.column, b.column);
        EXPECT_EQ(problem.text.toStdString(), b.message);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(CalibrationDialog, ProblemsAreShownAndNothingIsHeld) {
    RecordingMessages messages;
    const Site site = MakeSite(false, 10);
    const struct {
        const char* why;
        const char* before;
        const char* after;
        int model, height;
        int pairs;
        const char* message;
    } cases[] = {
        {"no after system", "cgcs2000-gauss", nullptr, 1, 0, 10, kIncompleteText},
        {"seven to a local grid", "cgcs2000-gauss", "local", 0, 0, 10, "七参数连接两个基准，地方坐标只能用四参数点校正！"},
        {"four from geodetic", "cgcs2000-geodetic", "local", 1, 0, 10,
         "四参数点校正的转换前坐标系统须是投影坐标（高斯或UTM）！"},
        {"five pairs for a quadratic", "cgcs2000-gauss", "local", 1, 3, 5, "高程拟合（二次曲面）至少需要6个公共点！"},
        {"one pair for four", "cgcs2000-gauss", "local", 1, 0, 1, "公共点不足2个，无法解算四参数！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        messages.messages.clear();
        CCalibrationDlg dialog;
        SelectItem(dialog.Item<QComboBox>(cal::kModel), c.model);
        SelectItem(dialog.Item<QComboBox>(cal::kHeight), c.height);
        SelectItem(dialog.Item<QComboBox>(cal::kBeforeSystem), MainIndex(c.before));
        if (c.after) SelectItem(dialog.Item<QComboBox>(cal::kAfterSystem), MainIndex(c.after));
        dialog.Item<QLineEdit>(cal::kBeforeMeridian)->setText(QStringLiteral("117"));
        Site part = site;
        part.before.resize(static_cast<std::size_t>(c.pairs));
        part.after.resize(static_cast<std::size_t>(c.pairs));
        dialog.Item<CPairTable>(cal::kPairs)->PasteText(Spreadsheet(part));
        dialog.Item<QPushButton>(cal::kCompute)->click();
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, c.message);
        EXPECT_FALSE(dialog.Held());
        EXPECT_EQ(dialog.Item<CResidualTable>(cal::kResiduals)->rowCount(), 0);
    }
    // Saving without a result says so and asks for no file.
    RecordingPicker picker;
    messages.messages.clear();
    CCalibrationDlg dialog;
    dialog.Item<QPushButton>(cal::kSave)->click();
    EXPECT_TRUE(picker.requests.empty());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].text.find("还没有点校正结果可保存"), std::string::npos);
}

TEST(ResidualViews, EveryPairListedAndOnlyTheBlunderMarkedAndRed) {
    RecordingMessages messages;
    // A 0.3 m blunder among eight pairs, in a four-parameter site with
    // quadratic heights and in a seven-parameter field.
    const struct {
        const Case* setup;
        QStringList captions;
    } cases[] = {
        {&kCases[0], {"对", "点号", "vx (m)", "vy (m)", "平面 (m)", "高程 (m)", "剔除后 (m)", "粗差"}},
        {&kCases[1], {"对", "点号", "rX (m)", "rY (m)", "rZ (m)", "三维 (m)", "剔除后 (m)", "粗差"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setup->name);
        const int blunder = 4;
        const Site site = MakeSite(c.setup->model == 0, 8, blunder, 0.3);
        const CalibrationEstimate expected = EstimateCalibration(SettingsOf(*c.setup), site.before, site.after);
        ASSERT_EQ(expected.status, CalibrationEstimate::Status::Estimated);

        CCalibrationDlg dialog;
        Configure(dialog, *c.setup);
        dialog.Item<CPairTable>(cal::kPairs)->PasteText(Spreadsheet(site));
        dialog.Item<QPushButton>(cal::kCompute)->click();
        auto* table = dialog.Item<CResidualTable>(cal::kResiduals);
        EXPECT_EQ(table->Captions(), c.captions);
        ASSERT_EQ(table->rowCount(), 8);
        for (int row = 0; row < 8; ++row) {
            SCOPED_TRACE(row);
            const CalibrationResidual& r = expected.residuals[static_cast<std::size_t>(row)];
            const auto cell = [&](int column) { return table->CellText(row, column); };
            const int last = table->columnCount() - 1;
            EXPECT_EQ(cell(0), QString::number(row + 1));
            EXPECT_EQ(cell(1), QStringLiteral("P%1").arg(row + 1));
            EXPECT_EQ(cell(2), TableNumber(r.r[0], 4));
            EXPECT_EQ(cell(3), TableNumber(r.r[1], 4));
            const int length = c.setup->model == 0 ? 5 : 4;
            EXPECT_EQ(cell(length), TableNumber(r.length, 4));
            if (r.heightFitted) {
                EXPECT_EQ(cell(length + 1), TableNumber(r.height, 4));
            }
            EXPECT_EQ(cell(last - 1), TableNumber(r.leftOut, 4));
            EXPECT_EQ(cell(last), row == blunder ? QStringLiteral("*") : QString());
            EXPECT_EQ(table->CellColor(row, 2) == SuspectColor(), row == blunder);
        }

        // In the plot: one point a pair, the blunder's arrow longer than the
        // plot allows and cut, red pixels by it and by no other point.
        auto* plot = dialog.Item<CResidualPlot>(cal::kPlot);
        ASSERT_EQ(plot->PointCount(), 8);
        EXPECT_FALSE(plot->ArrowScaleText().isEmpty());
        const QImage image = plot->grab().toImage();
        const auto redNear = [&](int i) {
            const QPointF a = plot->PointAt(i), b = plot->ArrowEnd(i);
            int red = 0;
            for (double t = 0.0; t <= 1.0; t += 0.05) {
                const QPoint p = (a + (b - a) * t).toPoint();
                const QColor colour = image.pixelColor(p);
                if (colour.red() > 150 && colour.green() < 80 && colour.blue() < 80) ++red;
            }
            return red;
        };
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(plot->ArrowCut(i), i == blunder) << i;
            if (i == blunder) {
                EXPECT_GT(redNear(i), 10);
            } else {
                EXPECT_EQ(redNear(i), 0) << i;
            }
        }
    }
}

TEST(ParameterFiles, SaveThenOpenGiveTheSameInBothDialogs) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());

    // The calibration dialog: what it holds and its settings come back.
    for (const Case& setup : kCases) {
        SCOPED_TRACE(setup.name);
        CCalibrationDlg dialog;
        Configure(dialog, setup);
        SelectItem(dialog.Item<QComboBox>(cal::kBeforeZoning), setup.model == 1 ? 1 : 0);
        const Site site = MakeSite(setup.model == 0, 10);
        Site zoned = site;
        if (setup.model == 1) {
            for (PointRecord& p : zoned.before) p.Y += 39e6;  // 3-degree zone 39 in front of y
        }
        dialog.Item<CPairTable>(cal::kPairs)->PasteText(Spreadsheet(zoned));
        dialog.Item<QPushButton>(cal::kCompute)->click();
        ASSERT_TRUE(dialog.Held());
        const QString file = folder.filePath(QStringLiteral("round.params"));
        picker.answers = {file};
        dialog.Item<QPushButton>(cal::kSave)->click();

        CCalibrationDlg opened;
        picker.answers = {file};
        opened.Item<QPushButton>(cal::kOpen)->click();
        ASSERT_TRUE(opened.Held());
        EXPECT_EQ(FileOf(*opened.Held()), FileOf(*dialog.Held()));
        EXPECT_EQ(opened.HeldName(), QStringLiteral("round.params"));
        for (int id : {cal::kModel, cal::kHeight, cal::kConvention, cal::kBeforeSystem, cal::kBeforeZoning,
                       cal::kAfterSystem}) {
            EXPECT_EQ(opened.Item<QComboBox>(id)->currentIndex(), dialog.Item<QComboBox>(id)->currentIndex()) << id;
        }
        EXPECT_EQ(opened.Item<QLineEdit>(cal::kBeforeMeridian)->isEnabled(),
                  dialog.Item<QLineEdit>(cal::kBeforeMeridian)->isEnabled());
        EXPECT_TRUE(Text(opened.GetDlgItem(cal::kResult)).startsWith(CalibrationTitle(*dialog.Held()) +
                                                                    QStringLiteral(" (round.params)")));
        EXPECT_EQ(opened.Item<CResidualTable>(cal::kResiduals)->rowCount(), 0);
    }

    // The seven-parameter dialog: every digit, the convention and the systems.
    const SevenParams typed{-8.37454984476547, 89.8286208574093, 38.4244832769727, 1.90339751420126,
                            -0.819544262089452, 1.24446337557222, -2.11979400818895};
    const struct {
        const char* before;
        int beforeZoning;
        const char* after;
        int convention;
    } cases[] = {{"wgs84-geodetic", 0, "beijing54-gauss", 1}, {"xian80-gauss", 2, "cgcs2000-xyz", 0}, {nullptr, 0, nullptr, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before ? c.before : "no systems");
        messages.messages.clear();
        CBursaParamDlg dialog(&typed, nullptr, ConventionOfItem(c.convention));
        if (c.before) {
            SelectItem(dialog.Item<QComboBox>(bursa_ids::kBeforeSystem), ParamIndex(c.before));
            SelectItem(dialog.Item<QComboBox>(bursa_ids::kBeforeZoning), c.beforeZoning);
            SelectItem(dialog.Item<QComboBox>(bursa_ids::kAfterSystem), ParamIndex(c.after));
            dialog.Item<QLineEdit>(bursa_ids::kAfterMeridian)->setText(QStringLiteral("117.3"));
        }
        const QString file = folder.filePath(QStringLiteral("seven.params"));
        picker.answers = {file};
        dialog.Item<QPushButton>(bursa_ids::kSaveParams)->click();
        EXPECT_EQ(picker.requests.back().filter.toStdString(), kParamsFileFilter);
        EXPECT_FALSE(picker.requests.back().open);
        std::string error;
        const std::optional<Transformation> read = ReadParametersFile(ToPath(file), error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(read->convention, ConventionOfItem(c.convention));
        EXPECT_EQ(read->before.has_value(), c.before != nullptr);

        CBursaParamDlg opened;
        picker.answers = {file};
        opened.Item<QPushButton>(bursa_ids::kOpenParams)->click();
        EXPECT_TRUE(messages.messages.empty());
        for (int id = bursa_ids::kDX0; id <= bursa_ids::kK; ++id) {
            EXPECT_EQ(opened.Item<QLineEdit>(id)->text(), dialog.Item<QLineEdit>(id)->text()) << id;
        }
        EXPECT_EQ(opened.Convention(), ConventionOfItem(c.convention));
        for (int id : {bursa_ids::kBeforeSystem, bursa_ids::kBeforeZoning, bursa_ids::kAfterSystem,
                       bursa_ids::kAfterZoning}) {
            EXPECT_EQ(opened.Item<QComboBox>(id)->currentIndex(), dialog.Item<QComboBox>(id)->currentIndex()) << id;
        }
        EXPECT_EQ(opened.Item<QLineEdit>(bursa_ids::kAfterMeridian)->text(),
                  c.before && std::string(c.after) == "beijing54-gauss" ? QStringLiteral("117.3") : QStringLiteral("0"));
    }

    // A calibration file is not seven parameters: refused, the fields kept.
    {
        messages.messages.clear();
        CBursaParamDlg dialog(&typed);
        picker.answers = {folder.filePath(QStringLiteral("round.params"))};  // the last one: seven, plane heights
        dialog.Item<QPushButton>(bursa_ids::kOpenParams)->click();
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "这个七参数文件带有高程拟合，请在主窗口按“点校正”打开！");
        EXPECT_EQ(dialog.Item<QLineEdit>(bursa_ids::kDX0)->text(), QStringLiteral("-8.37454984476547"));
    }
}

TEST(SevenParameterDialog, ComputeListsResidualsAndStandardErrors) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString before = folder.filePath(QStringLiteral("before.txt"));
    const QString after = folder.filePath(QStringLiteral("after.txt"));
    const Site site = MakeSite(true, 9, 6, 0.3);
    std::string beforeText, afterText;
    for (std::size_t i = 0; i < site.before.size(); ++i) {
        beforeText += Text3(site.before[i]) + "\n";
        afterText += Text3(site.after[i]) + "\n";
    }
    WriteFile(before, beforeText);
    WriteFile(after, afterText);

    for (int convention : {0, 1}) {
        SCOPED_TRACE(convention);
        CBursaParamDlg dialog(nullptr, nullptr, ConventionOfItem(convention));
        SelectItem(dialog.Item<QComboBox>(bursa_ids::kBeforeSystem), ParamIndex("wgs84-geodetic"));
        SelectItem(dialog.Item<QComboBox>(bursa_ids::kAfterSystem), ParamIndex("beijing54-gauss"));
        dialog.Item<QLineEdit>(bursa_ids::kAfterMeridian)->setText(QStringLiteral("117"));
        picker.answers = {before, after};
        dialog.Item<QPushButton>(bursa_ids::kBeforeFile)->click();
        dialog.Item<QPushButton>(bursa_ids::kAfterFile)->click();
        auto* table = dialog.Item<CResidualTable>(bursa_ids::kResiduals);
        EXPECT_EQ(table->rowCount(), 0);
        dialog.Item<QPushButton>(bursa_ids::kCompute)->click();

        // The run without the dialog.
        EstimationRequest request;
        request.settings.before = zelk::MakeCrs(*zelk::FindSystem("wgs84-geodetic"));
        request.settings.after = zelk::MakeCrs(*zelk::FindSystem("beijing54-gauss"), zelk::Zoning::Meridian, 117);
        request.beforeFile = ToPath(before);
        request.afterFile = ToPath(after);
        const EstimationRun run = RunEstimation(request);
        ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
        const SevenParams& values = run.estimate.calibration.seven;
        const BursaQuality& quality = *run.estimate.quality;

        EXPECT_EQ(table->Captions(), (QStringList{"对", "rX (m)", "rY (m)", "rZ (m)", "三维 (m)", "剔除后 (m)", "粗差"}));
        ASSERT_EQ(table->rowCount(), 9);
        for (int row = 0; row < 9; ++row) {
            const CalibrationResidual& r = run.estimate.residuals[static_cast<std::size_t>(row)];
            EXPECT_EQ(table->CellText(row, 3), TableNumber(r.r[2], 4)) << row;
            EXPECT_EQ(table->CellText(row, 4), TableNumber(r.length, 4)) << row;
            EXPECT_EQ(table->CellText(row, 6), row == 6 ? QStringLiteral("*") : QString()) << row;
        }
        const std::string precision = Text(dialog.GetDlgItem(bursa_ids::kPrecision)).toStdString();
        const SevenParams& se = quality.standardErrors;
        for (const std::string& part :
             {"单位权中误差 ±" + FormatFixed(quality.sigma0, 6) + " m", "ΔX0 ±" + FormatFixed(se.dX0, 4),
              "ΔZ0 ±" + FormatFixed(se.dZ0, 4), "Κ ±" + FormatFixed(se.K, 4) + " ppm",
              "βy ±" + FormatFixed(se.betaY, 4) + "″", std::string("粗差检验：第7对可能有粗差")}) {
            EXPECT_NE(precision.find(part), std::string::npos) << part << " in " << precision;
        }
        // The values are written in the convention chosen: the rotations
        // turn sign, the rest stays.
        const double sign = convention == 1 ? -1.0 : 1.0;
        EXPECT_EQ(dialog.m_betaX, sign * values.betaX);
        EXPECT_EQ(dialog.m_betaZ, sign * values.betaZ);
        EXPECT_EQ(dialog.m_dY0, values.dY0);
        EXPECT_EQ(dialog.m_K, values.K);
    }
}

TEST(MainDialogTransformLine, SaysWhatAConversionAppliesAndWarnsOfLikelyMistakes) {
    RecordingMessages messages;
    Transformation site;
    site.model = Transformation::Model::Four;
    site.four = FourParams{-3530390.7898, -404213.6573, -0.021, 1.0000236};
    HeightFit fit;
    fit.status = HeightFit::Status::Ok;
    fit.model = HeightModel::Quadratic;
    site.height = fit;
    fit.model = HeightModel::Plane;
    site.before = zelk::MakeCrs(*zelk::FindSystem("cgcs2000-gauss"), zelk::Zoning::Meridian, 117);
    site.after = zelk::MakeCrs(*zelk::FindSystem("local"));
    const SevenParams zero;
    const SevenParams some{-8.37455, 89.8286, 38.4245, 1.9034, -0.82, 1.24, -2.12};

    const struct {
        const char* source;
        const char* target;
        SevenParams params;
        int convention;
        bool calibrated;
        const char* text;
        bool warning;
    } cases[] = {
        {nullptr, nullptr, zero, 0, false, "当前转换：无", false},
        {"wgs84-geodetic", "cgcs2000-geodetic", zero, 0, false, "注意，两侧基准不同却未设七参数：无", true},
        {"cgcs2000-geodetic", "cgcs2000-gauss", zero, 0, false, "当前转换：无", false},
        {"beijing54-gauss", "beijing54-geodetic", some, 0, false,
         "注意，两侧同一基准却施加七参数：七参数 (坐标框架) dX0=-8.375 dY0=89.829 dZ0=38.425 m … K=1.9034 ppm", true},
        {"wgs84-geodetic", "beijing54-gauss", some, 1, false,
         "当前转换：七参数 (位置矢量) dX0=-8.375 dY0=89.829 dZ0=38.425 m … K=1.9034 ppm", false},
        {"cgcs2000-gauss", "local", zero, 0, true, "当前转换：四参数 + 二次曲面高程拟合 (site.params)", false},
        {"local", "cgcs2000-gauss", zero, 0, true, "当前转换：四参数 + 二次曲面高程拟合 (site.params)", false},
        {"wgs84-geodetic", "local", zero, 0, true,
         "注意，点校正不适用于所选坐标系统：四参数 + 二次曲面高程拟合 (site.params)", true},
        {"cgcs2000-gauss", "local", some, 0, false, "注意，地方坐标须用点校正：七参数 (坐标框架) dX0=-8.375 dY0=89.829 dZ0=38.425 m … K=1.9034 ppm", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CConvertDlg dialog;
        if (c.calibrated) {
            Transformation named = site;
            named.source = "site.params";
            dialog.m_steps = {named};
        } else {
            dialog.m_steps = {Transformation::Seven(c.params, ConventionOfItem(c.convention))};
        }
        dialog.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QStringLiteral("117"));
        if (c.source) SelectItem(dialog.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex(c.source));
        if (c.target) SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex(c.target));
        dialog.UpdateTransformLine();
        auto* line = dialog.Item<QLabel>(convert_ids::kTransformLine);
        EXPECT_EQ(dialog.TransformLine().text.toStdString(), c.text);
        EXPECT_EQ(dialog.TransformLine().warning, c.warning);
        EXPECT_EQ(line->palette().color(QPalette::WindowText) == WarningColor(), c.warning);
        // Shown whole, or cut at the end with the whole text in the tooltip.
        if (line->text() != dialog.TransformLine().text) {
            EXPECT_TRUE(line->text().endsWith(QStringLiteral("…")));
            EXPECT_TRUE(line->toolTip().startsWith(dialog.TransformLine().text));
        }
        EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->width());
    }
    // The line follows the systems chosen: a height fit made on the Beijing
    // 1954 grid of 117 serves Beijing 1954 targets (another meridian is
    // reached from that grid), no other datum.
    Transformation seven;
    seven.height = fit;
    seven.before = zelk::MakeCrs(*zelk::FindSystem("wgs84-geodetic"));
    seven.after = zelk::MakeCrs(*zelk::FindSystem("beijing54-gauss"), zelk::Zoning::Meridian, 117);
    CConvertDlg dialog;
    dialog.m_steps = {seven};
    SelectItem(dialog.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex("wgs84-geodetic"));
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("beijing54-gauss"));
    dialog.Item<QLineEdit>(convert_ids::kTgtMeridian)->setText(QStringLiteral("117"));
    EXPECT_FALSE(dialog.TransformLine().warning);
    dialog.Item<QLineEdit>(convert_ids::kTgtMeridian)->setText(QStringLiteral("120"));
    EXPECT_FALSE(dialog.TransformLine().warning);
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("xian80-gauss"));
    EXPECT_TRUE(dialog.TransformLine().warning);
    EXPECT_EQ(dialog.TransformLine().text,
              QStringLiteral("注意，点校正不适用于所选坐标系统：七参数 (坐标框架) + 平面高程拟合 (点校正，未保存)"));
    EXPECT_TRUE(messages.messages.empty());
}

TEST(MainDialogCalibration, AppliedUntilClearedAndConvertsAsZelkCliWithTheFile) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString params = folder.filePath(QStringLiteral("site.params"));
    const Site site = MakeSite(false, 10);

    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex("cgcs2000-gauss"));
    dialog.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QStringLiteral("117"));
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("local"));
    // 点校正 opens on the main dialog's systems; compute, save, 确认.
    auto ran = WhenModal([&](QWidget* w) {
        auto* d = qobject_cast<CCalibrationDlg*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Item<QComboBox>(cal::kBeforeSystem)->currentIndex(), MainIndex("cgcs2000-gauss"));
        EXPECT_EQ(d->Item<QLineEdit>(cal::kBeforeMeridian)->text(), QStringLiteral("117"));
        EXPECT_EQ(d->Item<QComboBox>(cal::kAfterSystem)->currentIndex(), MainIndex("local"));
        // Onto a site grid: four parameters from the start.
        EXPECT_EQ(d->Item<QComboBox>(cal::kModel)->currentIndex(), 1);
        SelectItem(d->Item<QComboBox>(cal::kHeight), 3);
        d->Item<CPairTable>(cal::kPairs)->PasteText(Spreadsheet(site));
        d->Item<QPushButton>(cal::kCompute)->click();
        picker.answers = {params};
        d->Item<QPushButton>(cal::kSave)->click();
        d->Item<QPushButton>(cal::kAccept)->click();
    });
    dialog.Item<QPushButton>(convert_ids::kCalibrate)->click();
    ASSERT_TRUE(*ran);
    ASSERT_EQ(dialog.m_steps.size(), 1u);
    EXPECT_EQ(dialog.m_steps[0].model, Transformation::Model::Four);
    // The saved file lists each pair's residuals by the table's names.
    const std::string saved = ReadFile(params);
    for (int i = 1; i <= 10; ++i) {
        const std::string number = std::to_string(i);
        EXPECT_NE(saved.find("\n# " + std::string(6 - number.size(), ' ') + number + "  P" + number + " "),
                  std::string::npos)
            << i << saved;
    }
    EXPECT_EQ(dialog.TransformLine().text, QStringLiteral("当前转换：四参数 + 二次曲面高程拟合 (site.params)"));

    // Both ways through the dialog: the file and the typed point as
    // zelk-cli gives them with --params @site.params.
    const QString input = folder.filePath(QStringLiteral("in.txt"));
    const QString output = folder.filePath(QStringLiteral("out.txt"));
    const QString cliOutput = folder.filePath(QStringLiteral("cli.txt"));
    const struct {
        const char* from;
        const char* to;
        const char* points;
        const char* typed[3];
    } ways[] = {
        {"cgcs2000-gauss", "local", "A 3542000.5 482900.25 61.5\nB 3543100 483800.125 70\n",
         {"3542555.5", "483333.25", "66.125"}},
        {"local", "cgcs2000-gauss", "A 2500 4100 55.5\nB 1800.25 3700.5 48\n", {"2100.5", "3900.75", "52.25"}},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.from);
        messages.messages.clear();
        WriteFile(input, way.points);
        SelectItem(dialog.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex(way.from));
        SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex(way.to));
        dialog.Item<QLineEdit>(convert_ids::kSrcMeridian)->setText(QStringLiteral("117"));
        dialog.Item<QLineEdit>(convert_ids::kTgtMeridian)->setText(QStringLiteral("117"));
        EXPECT_FALSE(dialog.TransformLine().warning);
        dialog.Item<QLineEdit>(convert_ids::kSrcX)->setText(QString::fromUtf8(way.typed[0]));
        dialog.Item<QLineEdit>(convert_ids::kSrcY)->setText(QString::fromUtf8(way.typed[1]));
        dialog.Item<QLineEdit>(convert_ids::kSrcZ)->setText(QString::fromUtf8(way.typed[2]));
        dialog.Item<QCheckBox>(convert_ids::kWithNames)->setChecked(true);
        picker.answers = {input, output};
        dialog.Item<QPushButton>(convert_ids::kInputFile)->click();
        dialog.Item<QPushButton>(convert_ids::kOutputFile)->click();
        dialog.Item<QPushButton>(convert_ids::kConvert)->click();
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, kConversionDoneText);

        QStringList systems{"--from", way.from, "--to", way.to, "--params", "@" + params};
        systems << (std::string(way.from) == "local" ? "--to-meridian" : "--from-meridian") << "117";
        EXPECT_EQ(RunCli(QStringList{"convert"} + systems + QStringList{"--names", input, cliOutput}), "");
        EXPECT_EQ(ReadFile(output), ReadFile(cliOutput));
        const QString shown = dialog.Item<QLineEdit>(convert_ids::kTgtX)->text() + ' ' +
                              dialog.Item<QLineEdit>(convert_ids::kTgtY)->text() + ' ' +
                              dialog.Item<QLineEdit>(convert_ids::kTgtZ)->text() + '\n';
        EXPECT_EQ(RunCli(QStringList{"point"} + systems +
                         QStringList{way.typed[0], way.typed[1], way.typed[2]}),
                  shown.toStdString());
    }

    // Systems the calibration was not made for: refused, nothing written.
    messages.messages.clear();
    QFile::remove(output);
    SelectItem(dialog.Item<QComboBox>(convert_ids::kSrcSystem), MainIndex("beijing54-gauss"));
    SelectItem(dialog.Item<QComboBox>(convert_ids::kTgtSystem), MainIndex("local"));
    EXPECT_TRUE(dialog.TransformLine().warning);
    dialog.Item<QPushButton>(convert_ids::kConvert)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].caption, kSettingCaption);
    EXPECT_NE(messages.messages[0].text.find("点校正参数从"), std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(output));

    // 清除 and 确认 hand back nothing: the calibration is no longer applied.
    ran = WhenModal([&](QWidget* w) {
        auto* d = static_cast<CCalibrationDlg*>(w);
        EXPECT_EQ(d->HeldName(), QStringLiteral("site.params"));
        EXPECT_EQ(d->Item<QComboBox>(cal::kModel)->currentIndex(), 1);
        d->Item<QPushButton>(cal::kClear)->click();
        d->Item<QPushButton>(cal::kAccept)->click();
    });
    dialog.Item<QPushButton>(convert_ids::kCalibrate)->click();
    ASSERT_TRUE(*ran);
    EXPECT_TRUE(dialog.m_steps.empty());
    EXPECT_EQ(dialog.TransformLine().text, QStringLiteral("注意，地方坐标须用点校正：无"));

    // In 转换参数 the calibration is a step among others: seven parameters
    // added, moved before it, the calibration removed.
    std::string error;
    const auto file = ReadParametersFile(ToPath(params), error);
    ASSERT_TRUE(file) << error;
    Transformation named = *file;
    named.source = "site.params";
    dialog.m_steps = {named};
    EXPECT_TRUE(InStepsDialog(dialog, [](CChainDlg* chain) {
        EXPECT_EQ(chain->List()->item(0)->text(), QStringLiteral("1. 四参数 + 二次曲面高程拟合 (site.params)"));
        EXPECT_TRUE(InSevenDialog(chain, -1, [](CBursaParamDlg* d) {
            SelectItem(d->Item<QComboBox>(bursa_ids::kConvention), 1);
            d->Item<QLineEdit>(bursa_ids::kDX0)->setText(QStringLiteral("2.5"));
            d->Item<QPushButton>(bursa_ids::kAccept)->click();
        }));
        ASSERT_EQ(chain->Steps().size(), 2u);
        EXPECT_EQ(chain->Selected(), 1);
        chain->Item<QPushButton>(chain_ids::kUp)->click();
        EXPECT_EQ(chain->Steps()[0].model, Transformation::Model::Seven);
        EXPECT_EQ(chain->List()->item(1)->text(), QStringLiteral("2. 四参数 + 二次曲面高程拟合 (site.params)"));
        chain->Select(1);
        chain->Item<QPushButton>(chain_ids::kRemove)->click();
        chain->Item<QPushButton>(chain_ids::kAccept)->click();
    }));
    ASSERT_EQ(dialog.m_steps.size(), 1u);
    EXPECT_EQ(dialog.m_steps[0].convention, RotationConvention::PositionVector);
    EXPECT_EQ(dialog.m_steps[0].seven.dX0, 2.5);
}

namespace {

// Parameter files that no estimation could have made are refused by both
// programs with the same words, naming the file and the key at fault.
TEST(DamagedParameterFiles, RefusedByBothProgramsAlike) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string four = "model = four\ndX = 12.5\ndY = -3.25\nalpha = 0.001\nscale = 1.00001\n";
    const std::string seven = "dX0 = -8\ndY0 = 90\ndZ0 = 38\nK = 1.9\nbetaX = -0.8\nbetaY = 1.2\nbetaZ = -2.1\n";
    const struct {
        const char* what;
        std::string text;
        const char* error;  // after the file's name
    } cases[] = {
        {"four parameters ending in B L H",
         four + "before = cgcs2000-gauss\nbefore-meridian = 117\nafter = cgcs2000-geodetic\n",
         ":8: after = cgcs2000-geodetic: 四参数点校正的转换后坐标系统须是投影坐标或地方坐标！"},
        {"four parameters ending in X Y Z",
         four + "before = cgcs2000-gauss\nbefore-meridian = 117\nafter = cgcs2000-xyz\n",
         ":8: after = cgcs2000-xyz: 四参数点校正的转换后坐标系统须是投影坐标或地方坐标！"},
        {"seven parameters without their after line", seven + "before = wgs84-geodetic\n",
         ": after is missing (a file that names the system on one side names the other too)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = folder.filePath(QStringLiteral("damaged.params"));
        WriteFile(file, c.text);
        const std::string expected = ToPath(file).string() + c.error;

        QProcess cli;
        cli.start(QStringLiteral(ZELK_CLI_PATH),
                  {"point", "--from", "cgcs2000-gauss", "--from-meridian", "117", "--to", "local", "--params",
                   "@" + file, "3500000", "500000", "10"});
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitCode(), 1);
        EXPECT_EQ(cli.readAllStandardError().toStdString(), "zelk-cli: " + expected + "\n");

        messages.messages.clear();
        CCalibrationDlg dialog;
        picker.answers = {file};
        dialog.Item<QPushButton>(calibration_ids::kOpen)->click();
        EXPECT_FALSE(dialog.Held());
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "参数文件无法读取：\n" + expected);
    }
}

// n pairs of a plane similarity over a site of 20 km with millimetres of
// noise, as "name x y H x y H" lines.
QString ManyPairs(int n) {
    QString text;
    text.reserve(n * 80);
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    const double t = 0.012, k = 1.0 + 14e-6;
    for (int i = 0; i < n; ++i) {
        const double x = 3530000.0 + 20000.0 * next(), y = 470000.0 + 20000.0 * next(), h = 40.0 + 30.0 * next();
        const double dx = x - 3540000.0, dy = y - 480000.0;
        const double ax = 2500.0 + k * (dx * std::cos(t) - dy * std::sin(t)) + (next() - 0.5) * 0.004;
        const double ay = 4100.0 + k * (dx * std::sin(t) + dy * std::cos(t)) + (next() - 0.5) * 0.004;
        text += QStringLiteral("K%1 %2 %3 %4 %5 %6 %7\n")
                    .arg(i + 1)
                    .arg(x, 0, 'f', 3)
                    .arg(y, 0, 'f', 3)
                    .arg(h, 0, 'f', 3)
                    .arg(ax, 0, 'f', 3)
                    .arg(ay, 0, 'f', 3)
                    .arg(h - 9.0, 0, 'f', 3);
    }
    return text;
}
}  // namespace

TEST(CalibrationDialog, ALargePasteKeepsThePairLimitAndIsEstimatedOnAWorkerAndDrawnInBounds) {
    RecordingMessages messages;
    CCalibrationDlg dialog;
    dialog.show();
    SelectItem(dialog.Item<QComboBox>(cal::kModel), 1);
    SelectItem(dialog.Item<QComboBox>(cal::kBeforeSystem), MainIndex("cgcs2000-gauss"));
    SelectItem(dialog.Item<QComboBox>(cal::kAfterSystem), MainIndex("local"));
    dialog.Item<QLineEdit>(cal::kBeforeMeridian)->setText(QStringLiteral("117"));
    auto* pairs = dialog.Item<CPairTable>(cal::kPairs);
    pairs->setCurrentCell(0, 0);

    // 300,000 pairs pasted: the first 200,000 are taken, and a message
    // says how many lines were not.
    pairs->PasteText(ManyPairs(300000));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "点对表最多容纳200000对公共点，粘贴的最后100000行没有贴入！");
    EXPECT_EQ(pairs->rowCount(), 200001);  // and the empty row to type into
    EXPECT_EQ(pairs->item(199999, 0)->text(), QStringLiteral("K200000"));

    // 计算: the estimate runs while the dialog's event loop does, its
    // controls disabled.
    int ticks = 0, busyTicks = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (dialog.Busy() && !dialog.GetDlgItem(cal::kCompute)->isEnabled()) ++busyTicks;
    });
    timer.start();
    dialog.Item<QPushButton>(cal::kCompute)->click();
    timer.stop();
    EXPECT_GT(busyTicks, 0);
    EXPECT_FALSE(dialog.Busy());
    EXPECT_TRUE(dialog.GetDlgItem(cal::kCompute)->isEnabled());
    ASSERT_EQ(messages.messages.size(), 2u);
    const std::string& report = messages.messages[1].text;
    EXPECT_EQ(report.rfind("四参数", 0), 0u) << report.substr(0, 200);
    EXPECT_TRUE(IsLongMessage(report));
    ASSERT_TRUE(dialog.Held());

    // Every pair in the table of residuals, a bounded number in the plot.
    EXPECT_EQ(dialog.Item<CResidualTable>(cal::kResiduals)->rowCount(), 200000);
    auto* plot = dialog.Item<CResidualPlot>(cal::kPlot);
    EXPECT_EQ(plot->PointCount(), 200000);
    EXPECT_GT(plot->DrawnCount(), 100);
    EXPECT_LE(plot->DrawnCount(), CResidualPlot::kMaxDrawnPoints);
    EXPECT_FALSE(plot->grab().isNull());

    // The report in a box of bounded size, its 确定 within the screen.
    const std::unique_ptr<QDialog> box = MakeReportBox(report, "ZELK", MessageIcon::Information, &dialog);
    box->show();
    const QRect screen = box->screen()->availableGeometry();
    EXPECT_LE(box->height(), screen.height());
    EXPECT_LE(box->width(), screen.width());
    auto* ok = box->findChild<QDialogButtonBox*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_LE(ok->mapTo(box.get(), QPoint(0, ok->height())).y(), box->height());
    auto* lines = box->findChild<QListView*>(QStringLiteral("reportLines"));
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->model()->rowCount(), static_cast<int>(std::count(report.begin(), report.end(), '\n')) +
                                              (report.back() == '\n' ? 0 : 1));
}
