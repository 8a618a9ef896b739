// The main dialog's file area and its file conversions: formats chosen by
// hand or by extension, dropped files, the clear entry, long names, and the
// conversion on a worker thread with its progress window and cancel.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "recording_messages.h"
#include "ui/convert_dlg.h"
#include "ui/progress_dlg.h"
#include "ui/templates.h"
#include "ui_test_support.h"
#include "workflow/conversion_run.h"
#include "workflow/coordinate_system.h"

using namespace zelk;

using namespace convert_ids;

namespace {
std::string ReadAll(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
}

void WriteAll(const QString& name, const std::string& text) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

std::string RunCli(const QStringList& args) {
    QProcess cli;
    cli.start(QStringLiteral(ZELK_CLI_PATH), args);
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0) {
        return "<failed> " + cli.readAllStandardError().toStdString();
    }
    return cli.readAllStandardOutput().toStdString();
}



QAction* ClearEntry(CConvertDlg& dialog, int buttonId) {
    const QList<QAction*> actions = dialog.GetDlgItem(buttonId)->actions();
    return actions.size() == 1 ? actions[0] : nullptr;
}

// count points of Beijing 1954 Gauss-Kruger coordinates on 117.
std::string GaussPoints(int count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 32);
    for (int i = 0; i < count; ++i) {
        text += std::to_string(4400000 + i % 90000) + "." + std::to_string(100 + i % 900) + " " +
                std::to_string(450000 + i % 70000) + ".25 " + std::to_string(i % 500) + ".5\n";
    }
    return text;
}

// The dialog set for Beijing 1954 Gauss on 117 to WGS84 geodetic, with
// both files chosen through the picker.
void SetUpGaussToWgs84(CConvertDlg& dialog, RecordingPicker& picker, const QString& input,
                       const QString& output) {
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("beijing54-gauss"));
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("wgs84-geodetic"));
    dialog.Item<QLineEdit>(kSrcMeridian)->setText(QStringLiteral("117"));
    picker.answers = {input, output};
    dialog.Item<QPushButton>(kInputFile)->click();
    dialog.Item<QPushButton>(kOutputFile)->click();
}
}  // namespace

TEST(FileArea, ExtensionChoosesTheFormatUnlessOneWasPickedByHand) {
    RecordingMessages messages;
    RecordingPicker picker;
    CConvertDlg dialog;
    auto* inFormat = dialog.Item<QComboBox>(kInputFormat);
    auto* outFormat = dialog.Item<QComboBox>(kOutputFormat);
    EXPECT_EQ(inFormat->currentIndex(), 0);
    EXPECT_EQ(outFormat->currentIndex(), 0);
    struct Step {
        bool input;
        const char* file;  // chosen in the picker; nullptr: 清除
        int byHand;        // item picked in the list before, -1 none
        int expected;      // the list's item after
    };
    const Step steps[] = {
        {true, "/d/a.dat", -1, 1},   {true, "/d/b.CSV", -1, 2},  {true, "/d/c.txt", -1, 0},
        {true, "/d/d.xyz", -1, 0},   {true, "/d/e.kml", -1, 0},  // no KML input
        {false, "/d/f.kml", -1, 3},  {false, "/d/g.csv", -1, 2},
        {true, "/d/h.txt", 2, 2},    {true, "/d/i.dat", -1, 2},  // by hand it stays
        {true, nullptr, -1, 2},      {true, "/d/j.dat", -1, 1},  // until 清除
        {false, "/d/k.txt", 1, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.file ? step.file : "clear");
        QComboBox* list = step.input ? inFormat : outFormat;
        if (step.byHand >= 0) SelectItem(list, step.byHand);
        if (step.file) {
            picker.answers = {QString::fromUtf8(step.file)};
            dialog.Item<QPushButton>(step.input ? kInputFile : kOutputFile)->click();
        } else {
            ClearEntry(dialog, step.input ? kInputFile : kOutputFile)->trigger();
        }
        EXPECT_EQ(list->currentIndex(), step.expected);
        EXPECT_EQ(step.input ? dialog.m_inputFormat : dialog.m_outputFormat, step.expected);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST(FileArea, ListsFollowTheSystemsAndTheFormats) {
    RecordingMessages messages;
    CConvertDlg dialog;
    QWidget* inAngles = dialog.GetDlgItem(kInputAngles);
    QWidget* outAngles = dialog.GetDlgItem(kOutputAngles);
    QWidget* names = dialog.GetDlgItem(kWithNames);
    // Nothing chosen: everything open, as for the meridian fields.
    EXPECT_TRUE(inAngles->isEnabled() && outAngles->isEnabled() && names->isEnabled());
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("cgcs2000-gauss"));
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("cgcs2000-geodetic"));
    EXPECT_FALSE(inAngles->isEnabled());  // x y H has no angles
    EXPECT_TRUE(outAngles->isEnabled());
    SelectItem(dialog.Item<QComboBox>(kOutputFormat), 3);  // KML has its own degrees
    EXPECT_FALSE(outAngles->isEnabled());
    SelectItem(dialog.Item<QComboBox>(kOutputFormat), 2);
    EXPECT_TRUE(outAngles->isEnabled());
    SelectItem(dialog.Item<QComboBox>(kInputFormat), 1);  // dat always has names
    EXPECT_FALSE(names->isEnabled());
    SelectItem(dialog.Item<QComboBox>(kInputFormat), 0);
    EXPECT_TRUE(names->isEnabled());
    EXPECT_TRUE(messages.messages.empty());
}

TEST(FileArea, SavePickerStartsBesideTheInputWithTheFormatsExtension) {
    RecordingMessages messages;
    RecordingPicker picker;
    CConvertDlg dialog;
    picker.answers = {QStringLiteral("/data/2024/a.txt"), std::nullopt, std::nullopt};
    dialog.Item<QPushButton>(kOutputFile)->click();  // no input yet
    EXPECT_TRUE(picker.requests[0].directory.isEmpty());
    dialog.Item<QPushButton>(kInputFile)->click();
    SelectItem(dialog.Item<QComboBox>(kOutputFormat), 2);
    dialog.Item<QPushButton>(kOutputFile)->click();
    ASSERT_EQ(picker.requests.size(), 3u);
    EXPECT_EQ(picker.requests[2].directory, QStringLiteral("/data/2024"));
    EXPECT_EQ(picker.requests[2].defaultSuffix, QStringLiteral("csv"));
    EXPECT_FALSE(picker.requests[2].open);
}

TEST(FileArea, DroppedFilesSetThePaths) {
    RecordingMessages messages;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString a = folder.filePath(QStringLiteral("点 a.dat"));
    const QString b = folder.filePath(QStringLiteral("b.csv"));
    const QString c = folder.filePath(QStringLiteral("c.txt"));
    for (const QString& name : {a, c}) WriteAll(name, "1 2 3\n");
    CConvertDlg dialog;
    dialog.show();

    // Onto the output button: the output, its format from the extension
    // (a new file: nothing to ask).
    EXPECT_TRUE(Drop(dialog.GetDlgItem(kOutputFile), {QUrl::fromLocalFile(b)}));
    EXPECT_EQ(dialog.m_outputPath, b);
    EXPECT_EQ(Text(dialog.GetDlgItem(kOutputFile)), QStringLiteral("b.csv"));
    EXPECT_EQ(dialog.Item<QComboBox>(kOutputFormat)->currentIndex(), 2);
    EXPECT_TRUE(dialog.m_inputPath.isEmpty());
    // Onto the input button; of several files the first.
    EXPECT_TRUE(Drop(dialog.GetDlgItem(kInputFile), {QUrl::fromLocalFile(a), QUrl::fromLocalFile(c)}));
    EXPECT_EQ(dialog.m_inputPath, a);
    EXPECT_EQ(dialog.Item<QComboBox>(kInputFormat)->currentIndex(), 1);
    // Onto the window: the input.
    EXPECT_TRUE(Drop(&dialog, {QUrl::fromLocalFile(c)}));
    EXPECT_EQ(dialog.m_inputPath, c);
    EXPECT_EQ(Text(dialog.GetDlgItem(kInputFile)), QStringLiteral("c.txt"));
    EXPECT_EQ(dialog.m_outputPath, b);
    // Not a local file, or a folder: refused, nothing changes.
    EXPECT_FALSE(Drop(&dialog, {QUrl(QStringLiteral("https://example.org/x.txt"))}));
    EXPECT_FALSE(Drop(dialog.GetDlgItem(kOutputFile), {QUrl::fromLocalFile(folder.path())}));
    EXPECT_EQ(dialog.m_inputPath, c);
    EXPECT_EQ(dialog.m_outputPath, b);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(FileArea, ClearEntryUnchoosesTheFileSoAPointAloneWritesNothing) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("in.txt"));
    const QString output = folder.filePath(QStringLiteral("out.txt"));
    WriteAll(input, "4429471.237 500000 50\n");
    CConvertDlg dialog;
    for (int id : {kInputFile, kOutputFile}) {
        ASSERT_NE(ClearEntry(dialog, id), nullptr);
        EXPECT_EQ(ClearEntry(dialog, id)->text(), QStringLiteral("清除"));
        EXPECT_FALSE(ClearEntry(dialog, id)->isEnabled()) << id;  // nothing to clear
        EXPECT_EQ(dialog.GetDlgItem(id)->contextMenuPolicy(), Qt::ActionsContextMenu);
    }
    SetUpGaussToWgs84(dialog, picker, input, output);
    dialog.Item<QLineEdit>(kSrcX)->setText(QStringLiteral("4429471.237"));
    dialog.Item<QLineEdit>(kSrcY)->setText(QStringLiteral("500000"));
    dialog.Item<QPushButton>(kConvert)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换完成!");

    ASSERT_TRUE(ClearEntry(dialog, kOutputFile)->isEnabled());
    ClearEntry(dialog, kOutputFile)->trigger();
    EXPECT_TRUE(dialog.m_outputPath.isEmpty());
    EXPECT_EQ(Text(dialog.GetDlgItem(kOutputFile)), QStringLiteral("转换后文件"));
    EXPECT_TRUE(dialog.GetDlgItem(kOutputFile)->toolTip().isEmpty());
    EXPECT_FALSE(ClearEntry(dialog, kOutputFile)->isEnabled());
    EXPECT_EQ(dialog.m_inputPath, input);  // the other file stays

    // The next press converts the point only: the old output is not rewritten.
    WriteAll(output, "kept\n");
    dialog.Item<QPushButton>(kConvert)->click();
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(ReadAll(output), "kept\n");
    EXPECT_NE(dialog.Item<QLineEdit>(kTgtX)->text(), QStringLiteral("0"));
}

TEST(FileArea, LongNamesAreElidedInTheMiddleWithTheWholePathAsTooltip) {
    RecordingMessages messages;
    RecordingPicker picker;
    CConvertDlg dialog;
    const QString shortName = QStringLiteral("/d/a&b.txt");
    const QString longName =
        QStringLiteral("/外业/2024/控制测量_第三标段_GPS静态观测_平差后坐标_最终版本.dat");
    picker.answers = {shortName, longName};
    auto* button = dialog.Item<QPushButton>(kInputFile);
    button->click();
    EXPECT_EQ(button->text(), QStringLiteral("a&&b.txt"));  // an ampersand, not a shortcut
    EXPECT_EQ(button->toolTip(), shortName);
    button->click();
    const QString shown = button->text();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("控制"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".dat"))) << shown.toStdString();
    EXPECT_LT(button->fontMetrics().horizontalAdvance(shown), button->width());
    EXPECT_EQ(button->toolTip(), longName);
    EXPECT_EQ(dialog.m_inputPath, longName);
}

TEST(FileArea, DatToCsvThroughTheDialogIsZelkCliByteForByte) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("survey.dat"));
    const QString output = folder.filePath(QStringLiteral("survey.csv"));
    WriteAll(input,
             "# 控制点\n1,,365760.368,2936912.007,1118.852\nK2,ctl,366001.5,2937000.25,1120\r\n\n"
             "点3,,365500,2936800.125,1117.5\n");
    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("cgcs2000-gauss"));
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("cgcs2000-geodetic"));
    dialog.Item<QLineEdit>(kSrcMeridian)->setText(QStringLiteral("105"));
    picker.answers = {input, output};
    dialog.Item<QPushButton>(kInputFile)->click();
    dialog.Item<QPushButton>(kOutputFile)->click();
    SelectItem(dialog.Item<QComboBox>(kOutputAngles), 2);  // dms
    dialog.Item<QPushButton>(kConvert)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换完成!");

    const QString cliOutput = folder.filePath(QStringLiteral("cli.csv"));
    EXPECT_EQ(RunCli({"convert", "--from", "cgcs2000-gauss", "--from-meridian", "105", "--from-format",
                      "dat", "--to", "cgcs2000-geodetic", "--to-format", "csv", "--to-angles", "dms",
                      input, cliOutput}),
              "");
    const std::string bytes = ReadAll(output);
    EXPECT_EQ(bytes, ReadAll(cliOutput));
    EXPECT_EQ(bytes.rfind("name,B,L,H\n", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("°"), std::string::npos);
}

#if ZELK_HAVE_GIS
// The GIS, CAD and spreadsheet formats: chosen by extension (the input list
// has no KML, so its items sit one higher), their angle lists greyed where
// the file holds decimal degrees, and a conversion through the dialog that
// is zelk-cli's byte for byte.
TEST(FileArea, GisFormats) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("cgcs2000-geodetic"));
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("cgcs2000-geodetic"));
    auto* inFormat = dialog.Item<QComboBox>(kInputFormat);
    auto* outFormat = dialog.Item<QComboBox>(kOutputFormat);
    QWidget* inAngles = dialog.GetDlgItem(kInputAngles);
    QWidget* outAngles = dialog.GetDlgItem(kOutputAngles);
    struct Step {
        bool input;
        const char* file;
        const char* item;  // the list's text after
        bool anglesOpen;   // the side's angle list
    };
    const Step steps[] = {
        {true, "/d/a.dxf", "DXF(dxf)", false},       {true, "/d/b.SHP", "SHP(shp)", false},
        {true, "/d/c.gpkg", "GPKG(gpkg)", false},    {true, "/d/d.json", "GeoJSON", false},
        {true, "/d/e.xlsx", "Excel(xlsx)", true},    {true, "/d/f.csv", "CSV(csv)", true},
        {false, "/d/g.geojson", "GeoJSON", false},   {false, "/d/h.xlsx", "Excel(xlsx)", false},
        {false, "/d/i.dxf", "DXF(dxf)", false},      {false, "/d/j.kml", "KML(kml)", false},
        {false, "/d/k.json", "KML(kml)", false},  // .json is read, not written
        {false, "/d/l.csv", "CSV(csv)", true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.file);
        picker.answers = {QString::fromUtf8(step.file)};
        dialog.Item<QPushButton>(step.input ? kInputFile : kOutputFile)->click();
        EXPECT_EQ((step.input ? inFormat : outFormat)->currentText(), QString::fromUtf8(step.item));
        EXPECT_EQ((step.input ? inAngles : outAngles)->isEnabled(), step.anglesOpen);
    }

    const QString input = folder.filePath(QStringLiteral("rtk.csv"));
    const QString output = folder.filePath(QStringLiteral("rtk.geojson"));
    WriteAll(input, "点名,纬度,经度,高程\nGPS01,39.914475217,116.415001390,49.463\n北门2,39.9,116.4,50\n");
    picker.answers = {input, output};
    dialog.Item<QPushButton>(kInputFile)->click();
    dialog.Item<QPushButton>(kOutputFile)->click();
    SelectItem(dialog.Item<QComboBox>(kInputAngles), 1);  // decimal degrees
    dialog.Item<QPushButton>(kConvert)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换完成!");
    // The collection is named after the file: the same name in another folder.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("cli")));
    const QString cliOutput = folder.filePath(QStringLiteral("cli/rtk.geojson"));
    EXPECT_EQ(RunCli({"convert", "--from", "cgcs2000-geodetic", "--from-format", "csv", "--from-angles",
                      "degrees", "--to", "cgcs2000-geodetic", "--to-format", "geojson", input, cliOutput}),
              "");
    const std::string bytes = ReadAll(output);
    EXPECT_EQ(bytes, ReadAll(cliOutput));
    EXPECT_NE(bytes.find("\"name\": \"北门2\", \"H\": 50.0 }"), std::string::npos) << bytes;

    // A projected target is refused before anything is written, as zelk-cli refuses it.
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("cgcs2000-gauss"));
    dialog.Item<QLineEdit>(kTgtMeridian)->setText(QStringLiteral("117"));
    dialog.Item<QPushButton>(kConvert)->click();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1].text,
              "GeoJSON文件（RFC 7946）只能存放WGS84经纬度，投影坐标、地心坐标和别的基准都不能写，请选择WGS84或CGCS2000大地坐标作为转换后坐标系统！");
}
#endif

// The CASS file cannot hold a name with a comma, blanks at its ends or a
// leading #: the dialog refuses the whole file, naming the first such point,
// and writes nothing (once it left those points out and said it was done).
TEST(FileArea, CsvToDatWithNamesDatCannotHoldIsRefusedWhole) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("names.csv"));
    const QString output = folder.filePath(QStringLiteral("names.dat"));
    WriteAll(input, "name,x,y,H\n\"A,1\",3380000,500000,10\n\" B\",3380001,500001,10\n"
                    "\"#C\",3380002,500002,10\nD,3380003,500003,10\n");
    CConvertDlg dialog;
    SelectItem(dialog.Item<QComboBox>(kSrcSystem), MainIndex("cgcs2000-gauss"));
    SelectItem(dialog.Item<QComboBox>(kTgtSystem), MainIndex("cgcs2000-gauss"));
    dialog.Item<QLineEdit>(kSrcMeridian)->setText(QStringLiteral("117"));
    dialog.Item<QLineEdit>(kTgtMeridian)->setText(QStringLiteral("117"));
    picker.answers = {input, output};
    dialog.Item<QPushButton>(kInputFile)->click();
    dialog.Item<QPushButton>(kOutputFile)->click();
    dialog.Item<QPushButton>(kConvert)->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              NameProblemText(2, pointformat::FileFormat::Dat, false, "A,1"));
    EXPECT_FALSE(QFile::exists(output));
}

TEST(BackgroundConversion, LargeFileConvertsOnAWorkerWhileTheEventLoopRuns) {
    // The messages are recorded with the thread that showed them.
    RecordingMessages messages;
    std::vector<bool> onUiThread;
    messages.onShow = [&onUiThread](const RecordedMessage&) {
        onUiThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
    };
    RecordingPicker picker;
    QTemporaryDir folder;
    const QString input = folder.filePath(QStringLiteral("big.txt"));
    const QString output = folder.filePath(QStringLiteral("big-out.txt"));
    WriteAll(input, GaussPoints(200000));
    CConvertDlg dialog;
    dialog.m_conversionThreads = 1;
    dialog.show();
    SetUpGaussToWgs84(dialog, picker, input, output);

    // A timer of the dialog's own thread, ticking while the press runs.
    int ticks = 0, ticksWhileDisabled = 0;
    QTimer timer;
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!dialog.Converting()) return;
        ++ticks;
        const bool disabled = !dialog.GetDlgItem(kConvert)->isEnabled() &&
                              !dialog.GetDlgItem(kSrcSystem)->isEnabled() &&
                              !dialog.GetDlgItem(kOutputFile)->isEnabled();
        if (disabled) ++ticksWhileDisabled;
        // Closing the window waits for the conversion.
        if (ticks == 1) dialog.reject();
    });
    timer.start();
    dialog.Item<QPushButton>(kConvert)->click();
    timer.stop();

    EXPECT_GT(ticks, 1);
    EXPECT_EQ(ticksWhileDisabled, ticks);
    EXPECT_FALSE(dialog.Converting());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.GetDlgItem(kConvert)->isEnabled());
    // Each control as it was before the press.
    EXPECT_TRUE(dialog.GetDlgItem(kSrcMeridian)->isEnabled());
    EXPECT_FALSE(dialog.GetDlgItem(kTgtMeridian)->isEnabled());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换完成!");
    EXPECT_EQ(onUiThread, std::vector<bool>{true});

    const QString cliOutput = folder.filePath(QStringLiteral("cli.txt"));
    EXPECT_EQ(RunCli({"convert", "--from", "beijing54-gauss", "--from-meridian", "117", "--to",
                      "wgs84-geodetic", input, cliOutput}),
              "");
    const std::string bytes = ReadAll(output);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 200000);
    EXPECT_TRUE(bytes == ReadAll(cliOutput));

    // 点校正 right after a conversion (once the program vanished there).
    auto opened = WhenModal([](QWidget* w) { w->close(); });
    dialog.Item<QPushButton>(kCalibrate)->click();
    EXPECT_TRUE(*opened);
}

TEST(BackgroundConversion, ProgressAfterHalfASecondAndCancelLeavesTheOldOutput) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    // The input is a named pipe fed here: the conversion waits for the rest
    // of the points until 取消 has been pressed.
    const QString input = folder.filePath(QStringLiteral("feed.txt"));
    const QString output = folder.filePath(QStringLiteral("out.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(input).constData(), 0600), 0);
    WriteAll(output, "the old result\n");
    std::atomic<bool> cancelPressed{false};
    std::thread feeder([&] {
        const int fd = ::open(QFile::encodeName(input).constData(), O_WRONLY);
        if (fd < 0) return;
        const std::string first = GaussPoints(8000);  // more than a chunk
        const std::string rest = GaussPoints(100);    // less than a pipe holds
        [[maybe_unused]] ssize_t written = ::write(fd, first.data(), first.size());
        while (!cancelPressed) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        written = ::write(fd, rest.data(), rest.size());
        ::close(fd);
    });

    CConvertDlg dialog;
    dialog.m_conversionThreads = 1;
    dialog.show();
    SetUpGaussToWgs84(dialog, picker, input, output);

    QElapsedTimer clock;
    qint64 shownAfter = -1;
    QString shownText;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        CProgressDlg* progress = dialog.Progress();
        if (cancelPressed || !progress || !progress->isVisible()) return;
        shownAfter = clock.elapsed();
        shownText = progress->CountLabel()->text();
        EXPECT_EQ(progress->CancelButton()->text(), QStringLiteral("取消"));
        progress->CancelButton()->click();
        EXPECT_TRUE(progress->CancelAsked());
        cancelPressed = true;
    });
    timer.start();
    clock.start();
    dialog.Item<QPushButton>(kConvert)->click();
    timer.stop();
    cancelPressed = true;
    feeder.join();

    EXPECT_GE(shownAfter, 450);
    EXPECT_TRUE(shownText.startsWith(QStringLiteral("已转换 "))) << shownText.toStdString();
    EXPECT_FALSE(shownText.startsWith(QStringLiteral("已转换 0 "))) << shownText.toStdString();
    EXPECT_EQ(dialog.Progress(), nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换已取消，转换后文件没有改动。");
    EXPECT_EQ(ReadAll(output), "the old result\n");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{"feed.txt", "out.txt"}));
    EXPECT_TRUE(dialog.GetDlgItem(kConvert)->isEnabled());
}

TEST(BackgroundConversion, CancelOfAStalledInputReturnsAtOnceAndTheReadEndsInTheBackground) {
    RecordingMessages messages;
    RecordingPicker picker;
    QTemporaryDir folder;
    // A named pipe that gives a few chunks and then nothing, as a hung
    // share does, until the test lets it go.
    const QString input = folder.filePath(QStringLiteral("stalled.txt"));
    const QString output = folder.filePath(QStringLiteral("out.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(input).constData(), 0600), 0);
    WriteAll(output, "the old result\n");
    std::atomic<bool> release{false};
    std::thread feeder([&] {
        const int fd = ::open(QFile::encodeName(input).constData(), O_WRONLY);
        if (fd < 0) return;
        const std::string first = GaussPoints(8000);
        [[maybe_unused]] ssize_t written = ::write(fd, first.data(), first.size());
        // Let go after a few seconds all the same: a dialog that waits for
        // the read fails the test instead of hanging it.
        const auto start = std::chrono::steady_clock::now();
        while (!release && std::chrono::steady_clock::now() - start < std::chrono::seconds(4)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const std::string rest = GaussPoints(100);
        written = ::write(fd, rest.data(), rest.size());
        ::close(fd);
    });
    const auto entries = [&folder] {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };

    CConvertDlg dialog;
    dialog.m_conversionThreads = 2;
    dialog.show();
    SetUpGaussToWgs84(dialog, picker, input, output);
    QElapsedTimer sinceCancel;
    QStringList whileStalled;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        CProgressDlg* progress = dialog.Progress();
        if (sinceCancel.isValid() || !progress) return;
        whileStalled = entries();  // the temporary file beside the output
        progress->CancelButton()->click();
        sinceCancel.start();
    });
    timer.start();
    dialog.Item<QPushButton>(kConvert)->click();
    const qint64 cancelTook = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
    timer.stop();

    EXPECT_EQ(whileStalled.size(), 3) << whileStalled.join(' ').toStdString();
    EXPECT_GE(cancelTook, 0);
    EXPECT_LT(cancelTook, 1000);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, kCancelledText);
    EXPECT_FALSE(dialog.Converting());
    EXPECT_TRUE(dialog.GetDlgItem(kConvert)->isEnabled());
    EXPECT_EQ(ReadAll(output), "the old result\n");
    EXPECT_EQ(entries(), (QStringList{"out.txt", "stalled.txt"}));

    // The read comes back: the run ends in the background, writing nothing.
    release = true;
    feeder.join();
    WaitMs(300);
    EXPECT_EQ(ReadAll(output), "the old result\n");
    EXPECT_EQ(entries(), (QStringList{"out.txt", "stalled.txt"}));
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST(BackgroundConversion, ProgressTextGroupsDigitsWhateverTheLocale) {
    const struct {
        std::uint64_t points;
        double seconds;
        const char* text;
    } cases[] = {
        {0, 0.0, "已转换 0 点"},
        {999, 0.05, "已转换 999 点"},
        {1000, 0.5, "已转换 1,000 点    每秒 2,000 点"},
        {1234567, 0.5, "已转换 1,234,567 点    每秒 2,469,134 点"},
        {1000000, 3.0, "已转换 1,000,000 点    每秒 333,333 点"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressText(c.points, c.seconds).toStdString(), c.text);
}
