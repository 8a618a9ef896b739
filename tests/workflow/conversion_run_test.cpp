#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/message_box.h"
#include "platform/number_text.h"
#include "recording_messages.h"
#include "run_request.h"
#include "workflow/conversion_run.h"
#include "workflow/file_conversion.h"
#include "workflow_files.h"
#include "c_locale.h"
#include "packed_reference.h"

using namespace zelk;

namespace {

const SevenParams kParams{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};

// Beijing 1954 Gauss-Kruger on 117, to WGS84 geodetic.
ConversionRequest Values(const std::filesystem::path& input = {},
                         const std::filesystem::path& output = {}) {
    ConversionRequest v =
        NamedRequest("beijing54-gauss", "wgs84-geodetic", {Transformation::Seven(kParams)}, input, output);
    v.from.meridian = 117.0;
    return v;
}

std::string Expected(const ConversionRequest& v, double x, double y, double h,
                     const std::string& name = "") {
    ChainFor(v).Convert(x, y, h);
    char line[200];
    const CLocaleScope cLocale;
    // B and L of a geodetic target packed with nine decimals, metres with three.
    if (v.to.IsProjected()) {
        std::snprintf(line, sizeof line, "%.3lf %.3lf %.3lf\n", x, y, h);
    } else {
        std::snprintf(line, sizeof line, "%s %s %.3lf\n", PackedReference(x).c_str(),
                      PackedReference(y).c_str(), h);
    }
    return name.empty() ? std::string(line) : name + " " + line;
}

const std::string kThreePoints =
    "4400000.000 450000.000 50.000\n4401000.5 451000.25 51.5\n4402000 452000 52";

std::string ThreePointsOut(const ConversionRequest& v) {
    return Expected(v, 4400000.0, 450000.0, 50.0) + Expected(v, 4401000.5, 451000.25, 51.5) +
           Expected(v, 4402000.0, 452000.0, 52.0);
}

TEST(ConversionRunTest, ThreePointsWithoutFinalLineEnd) {
    TempFolder folder;
    WriteFile(folder / "in.txt", kThreePoints);
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    EXPECT_EQ(ReadFile(folder / "out.txt"), ThreePointsOut(v));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换完成!");
    EXPECT_EQ(messages.messages[0].caption, ApplicationName());
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));

    // Blank lines, CR LF, blanks and a byte-order mark change nothing.
    WriteFile(folder / "in2.txt",
              "\xEF\xBB\xBF\r\n  4400000.000\t450000.000 50.000\r\n\r\n\n4401000.5 451000.25 "
              "51.5   \n4402000 452000 52\n\n\n");
    ConversionRequest w = Values(folder / "in2.txt", folder / "out2.txt");
    EXPECT_EQ(RunRequest(w), ConvertOutcome::Done);
    EXPECT_EQ(ReadFile(folder / "out2.txt"), ThreePointsOut(v));
}

TEST(ConversionRunTest, GeodeticTargetIsWrittenToAHundredThousandthOfASecond) {
    TempFolder folder;
    WriteFile(folder / "in.txt", "4400000 450000 50\n");
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    std::array<double, 3> point{4400000.0, 450000.0, 50.0};
    EXPECT_EQ(RunRequest(v, &point), ConvertOutcome::Done);
    // The dialog has every digit, the file nine decimals of packed DMS
    // (0.00001 of a second, 0.3 mm), not three (10 seconds, 300 m).
    EXPECT_EQ(ReadFile(folder / "out.txt"), Expected(v, 4400000.0, 450000.0, 50.0));
    const std::string out = ReadFile(folder / "out.txt");
    EXPECT_EQ(out.substr(0, out.find(' ')), PackedReference(point[0]));
    EXPECT_LT(std::fabs(*ParseDecimal(out.substr(0, out.find(' '))) - point[0]), 0.5e-9);
    EXPECT_EQ(out.substr(0, 3), "39.");
}

TEST(ConversionRunTest, NamesAreCopiedWhole) {
    TempFolder folder;
    const std::string n31(31, 'N');
    const std::string n200 = std::string(100, 'L') + std::string(100, 'M');
    const std::string gbk = "\xB9\xFA\xBC\xD2\xB5\xE3\x30\x31";  // GBK bytes, not UTF-8
    WriteFile(folder / "in.txt", n31 + " 4400000 450000 50\n" + n200 + " 4401000.5 451000.25 51.5\r\n" +
                                     gbk + "\t4402000 452000 52");
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    v.formats.withNames = true;
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    EXPECT_EQ(ReadFile(folder / "out.txt"), Expected(v, 4400000.0, 450000.0, 50.0, n31) +
                                                Expected(v, 4401000.5, 451000.25, 51.5, n200) +
                                                Expected(v, 4402000.0, 452000.0, 52.0, gbk));
}

TEST(ConversionRunTest, EmptyInputGivesAnEmptyOutput) {
    TempFolder folder;
    WriteFile(folder / "in.txt", " \r\n\n");
    WriteFile(folder / "out.txt", "old contents\n");
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    EXPECT_EQ(ReadFile(folder / "out.txt"), "");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "文件转换完成!");
}

TEST(ConversionRunTest, UnopenableFilesLeaveTheOutputAlone) {
    TempFolder folder;
    WriteFile(folder / "out.txt", "previous\n");
    {
        RecordingMessages messages;
        ConversionRequest v = Values(folder / "missing.txt", folder / "out.txt");
        EXPECT_EQ(RunRequest(v), ConvertOutcome::InputOpenFailed);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "读转换前文件错误！");
        EXPECT_EQ(messages.messages[0].caption, "读文件出错");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
        EXPECT_EQ(ReadFile(folder / "out.txt"), "previous\n");
    }
    {
        WriteFile(folder / "in.txt", kThreePoints);
        RecordingMessages messages;
        ConversionRequest v = Values(folder / "in.txt", folder / "no-such-folder" / "out.txt");
        EXPECT_EQ(RunRequest(v), ConvertOutcome::OutputOpenFailed);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "写转换后文件错误！");
        EXPECT_EQ(messages.messages[0].caption, "写文件出错");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    }
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
}

TEST(ConversionRunTest, UnreadableTokenStopsWithItsLine) {
    TempFolder folder;
    WriteFile(folder / "in.txt", "4400000 450000 50\r\n\r\n4401000 45l000 51\r\n4402000 452000 52\r\n");
    WriteFile(folder / "out.txt", "previous\n");
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Unreadable);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "转换前文件第3行有无法读取的数据“45l000”，文件未转换！");
    EXPECT_EQ(messages.messages[0].caption, "读文件出错");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(ReadFile(folder / "out.txt"), "previous\n");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
}

TEST(ConversionRunTest, NamedFileReadWithoutNamesReportsLineOne) {
    TempFolder folder;
    WriteFile(folder / "in.txt", "控制点A 4400000 450000 50\n");
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Unreadable);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "转换前文件第1行有无法读取的数据“控制点A”，文件未转换！");
    EXPECT_FALSE(std::filesystem::exists(folder / "out.txt"));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"in.txt"});
}

TEST(ConversionRunTest, PointCutShortStopsWithItsLine) {
    TempFolder folder;
    WriteFile(folder / "in.txt", "4400000 450000 50\n4401000 451000\n\n");
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Unreadable);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "转换前文件第2行有无法读取的数据“”，文件未转换！");
    EXPECT_FALSE(std::filesystem::exists(folder / "out.txt"));
}

TEST(ConversionRunTest, ReplacedOutputKeepsItsPermissionsAndLinks) {
    TempFolder folder;
    WriteFile(folder / "in.txt", kThreePoints);
    WriteFile(folder / "out.txt", "previous\n");
    ASSERT_EQ(::chmod((folder / "out.txt").c_str(), 0640), 0);
    std::filesystem::create_symlink("out.txt", folder / "link.txt");
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "link.txt");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.txt"));
    EXPECT_EQ(ReadFile(folder / "out.txt"), ThreePointsOut(v));
    struct stat st {};
    ASSERT_EQ(::stat((folder / "out.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(ConversionRunTest, OutputWithTheLongestFileName) {
    TempFolder folder;
    WriteFile(folder / "in.txt", kThreePoints);
    const std::string name = std::string(251, 'o') + ".txt";  // 255 bytes
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / name);
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    EXPECT_EQ(ReadFile(folder / name), ThreePointsOut(v));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", name}));
}

TEST(ConversionRunTest, DeviceOutputIsWrittenDirectly) {
    RecordingMessages messages;
    TempFolder folder;
    WriteFile(folder / "in.txt", kThreePoints);
    ConversionRequest v = Values(folder / "in.txt", "/dev/null");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    if (std::filesystem::exists("/dev/full")) {
        // A device that refuses every byte: a write error, not success.
        messages.messages.clear();
        ConversionRequest full = Values(folder / "in.txt", "/dev/full");
        EXPECT_EQ(RunRequest(full), ConvertOutcome::WriteFailed);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "写转换后文件错误！");
        EXPECT_EQ(messages.messages[0].caption, "写文件出错");
    }
}

TEST(AtomicOutputFileTest, NothingTakesThePlaceOfTheTargetUntilCommitted) {
    TempFolder folder;
    WriteFile(folder / "out.txt", "previous\n");
    {
        AtomicOutputFile file;
        ASSERT_TRUE(file.Open(folder / "out.txt"));
        std::fputs("new\n", file.Stream());
        std::fflush(file.Stream());
        EXPECT_EQ(ReadFile(folder / "out.txt"), "previous\n");
        EXPECT_EQ(folder.Entries().size(), 2u);  // the target and the temporary file
    }  // not committed
    EXPECT_EQ(ReadFile(folder / "out.txt"), "previous\n");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.txt"});

    AtomicOutputFile file;
    ASSERT_TRUE(file.Open(folder / "out.txt"));
    std::fputs("new\n", file.Stream());
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(ReadFile(folder / "out.txt"), "new\n");
    EXPECT_FALSE(file.Commit());  // nothing left to commit
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.txt"});
    // A new file gets the mode a new file gets (the umask applies).
    const mode_t mask = ::umask(022);
    ::umask(mask);
    AtomicOutputFile fresh;
    ASSERT_TRUE(fresh.Open(folder / "fresh.txt"));
    EXPECT_TRUE(fresh.Commit());
    struct stat st {};
    ASSERT_EQ(::stat((folder / "fresh.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

TEST(AtomicOutputFileTest, PipeIsWrittenDirectly) {
    TempFolder folder;
    const std::filesystem::path fifo = folder / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    WriteFile(folder / "in.txt", kThreePoints);
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", fifo);
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    reader.join();
    EXPECT_EQ(received, ThreePointsOut(v));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "pipe"}));
}

// In a child process whose files may not grow beyond a limit, a write that
// fails partway through is reported and the previous output stays.
TEST(ConversionRunTest, WriteFailingPartwayLeavesThePreviousOutput) {
    TempFolder folder;
    std::string input;
    for (int i = 0; i < 20000; ++i) {
        input += std::to_string(4400000 + i) + ".125 " + std::to_string(450000 + i) + ".5 " +
                 std::to_string(i % 300) + "\n";
    }
    WriteFile(folder / "in.txt", input);
    std::string previous;
    for (int i = 0; i < 300; ++i) previous += "old line " + std::to_string(i) + "\n";
    WriteFile(folder / "out.txt", previous);

    for (int threads : {1, 2}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit {};
            limit.rlim_cur = limit.rlim_max = 64 * 1024;
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(10);
            RecordingMessages messages;
            ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
            FileConversionOptions options;
            options.threads = threads;
            const ConvertOutcome outcome = RunRequest(v, nullptr, options);
            if (outcome != ConvertOutcome::WriteFailed) ::_exit(11);
            if (messages.messages.size() != 1) ::_exit(12);
            if (messages.messages[0].text != "写转换后文件错误！") ::_exit(13);
            if (messages.messages[0].caption != "写文件出错") ::_exit(14);
            if (messages.messages[0].icon != MessageIcon::Error) ::_exit(15);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "threads " << threads;
        EXPECT_EQ(ReadFile(folder / "out.txt"), previous);
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
    }
    // Without the limit the same run succeeds.
    RecordingMessages messages;
    ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
    EXPECT_EQ(RunRequest(v), ConvertOutcome::Done);
    EXPECT_GT(ReadFile(folder / "out.txt").size(), 64u * 1024u);
}

TEST(ConversionRunTest, CancelledRunLeavesThePreviousOutput) {
    TempFolder folder;
    std::string input;
    for (int i = 0; i < 40000; ++i) {
        input += std::to_string(4400000 + i) + ".125 " + std::to_string(450000 + i) + ".5 " +
                 std::to_string(i % 300) + "\n";
    }
    WriteFile(folder / "in.txt", input);
    const std::string previous = "old result\n";
    WriteFile(folder / "out.txt", previous);
    // Cancelled before the first chunk, and after some chunks were written
    // (the flag set from the progress callback), one thread and two.
    for (const int threads : {1, 2}) {
        for (const std::uint64_t afterBytes : {std::uint64_t{0}, std::uint64_t{300000}}) {
            SCOPED_TRACE("threads " + std::to_string(threads) + " after " +
                         std::to_string(afterBytes));
            RecordingMessages messages;
            std::atomic<bool> cancel{afterBytes == 0};
            std::uint64_t pointsSeen = 0;
            FileConversionOptions options;
            options.threads = threads;
            options.cancel = &cancel;
            options.progress = [&](std::uint64_t bytes, std::uint64_t points) {
                if (bytes >= afterBytes) cancel = true;
                pointsSeen = points;
            };
            ConversionRequest v = Values(folder / "in.txt", folder / "out.txt");
            EXPECT_EQ(RunRequest(v, nullptr, options), ConvertOutcome::Cancelled);
            ASSERT_EQ(messages.messages.size(), 1u);
            EXPECT_EQ(messages.messages[0].text, "文件转换已取消，转换后文件没有改动。");
            EXPECT_EQ(messages.messages[0].caption, ApplicationName());
            EXPECT_EQ(ReadFile(folder / "out.txt"), previous);
            EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
            EXPECT_LT(pointsSeen, 40000u);
        }
    }
}

}  // namespace
