// The bad-input catalogue (catalogue.h) through the built zelk-cli, run as a
// separate process: the same messages on standard error as the buttons show,
// exit status 1 for every refused file, and nothing lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "catalogue.h"
#include "run_cli.h"
#include "platform/number_text.h"
#include "recording_messages.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "c_locale.h"

using namespace zelk;

namespace {

using namespace catalogue;
namespace fs = std::filesystem;

std::vector<std::string> ConvertArgs(bool withNames, const std::string& input,
                                     const std::string& output) {
    std::vector<std::string> args = {"convert",  "--from",        "beijing54-gauss",
                                     "--to",     "wgs84-geodetic", "--from-meridian",
                                     "117",      "--params",      kParamsText};
    if (withNames) args.push_back("--names");
    args.push_back(input);
    args.push_back(output);
    return args;
}

std::string Diagnostic(const std::string& text) { return "zelk-cli: " + text + "\n"; }

TEST(CatalogueCliTest, EveryCaseThroughConvert) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string input = c.input();
        WriteFile(folder / "in.txt", input);
        // From the file, and from standard input into the same output.
        for (bool fromStdin : {false, true}) {
            SCOPED_TRACE(fromStdin ? "standard input" : "file");
            WriteFile(folder / "out.txt", kEarlierOutput);
            const CliResult r = fromStdin ? RunCli(folder.Path(),
                                                   ConvertArgs(c.withNames, "-", "out.txt"),
                                                   folder / "in.txt")
                                          : RunCli(folder.Path(),
                                                   ConvertArgs(c.withNames, "in.txt", "out.txt"));
            EXPECT_EQ(r.out, "");
            if (c.refusal.empty()) {
                EXPECT_EQ(r.status, 0);
                EXPECT_EQ(r.err, Diagnostic(kConversionDoneText));
                EXPECT_TRUE(SameBytes(ReadFile(folder / "out.txt"), ConvertedFile(c.points)));
            } else {
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.err, Diagnostic(c.refusal));
                EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
            }
            EXPECT_TRUE(SameBytes(ReadFile(folder / "in.txt"), input));
            EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
        }
    }
}

// ---------------------------------------------------------------- estimate

std::vector<std::string> EstimateArgs(const std::string& before, const std::string& after,
                                      const std::string& afterSystem = "beijing54-gauss") {
    return {"estimate",
            "--before",
            "beijing54-gauss",
            "--after",
            afterSystem,
            "--before-meridian",
            "117",
            "--after-meridian",
            "117",
            "--save",
            "saved.txt",
            before,
            after};
}

// What zelk-cli estimate prints after a successful run: the report, then
// the seven parameters; made from the compute button's run in this process.
std::string ExpectedEstimate(const fs::path& before, const fs::path& after, const Crs& afterSystem) {
    EstimationRequest request;
    request.settings.before = SourceCrs();
    request.settings.after = afterSystem;
    request.beforeFile = before;
    request.afterFile = after;
    const EstimationRun run = RunEstimation(request);
    EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
    if (run.outcome != EstimationOutcome::Estimated) return "(no report)";
    const SevenParams& v = run.estimate.calibration.seven;
    std::string text = run.message.text + "\n";
    const std::pair<const char*, double> lines[] = {
        {"dX0", v.dX0},     {"dY0", v.dY0},     {"dZ0", v.dZ0},     {"K", v.K},
        {"betaX", v.betaX}, {"betaY", v.betaY}, {"betaZ", v.betaZ},
    };
    for (const auto& [name, value] : lines) {
        text += std::string(name) + " = " + FormatGeneral(value, 15) + "\n";
    }
    return text;
}

const std::string kEarlierSaved = "# parameters saved earlier\n";

TEST(CatalogueCliTest, EveryCaseWithoutNamesThroughEstimate) {
    for (const Case& c : Cases()) {
        if (c.withNames) continue;
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string input = c.input();
        WriteFile(folder / "case.txt", input);
        WriteFile(folder / "good.txt", kGoodCommonPoints);
        WriteFile(folder / "saved.txt", kEarlierSaved);
        const std::vector<std::string> files = {"case.txt", "good.txt", "saved.txt"};

        if (c.refusal.empty()) {
            const CliResult r = RunCli(folder.Path(), EstimateArgs("case.txt", "case.txt"));
            if (c.points.size() < 3) {
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.out, "");
                EXPECT_EQ(r.err, Diagnostic(kTooFewCommonPoints));
                EXPECT_EQ(ReadFile(folder / "saved.txt"), kEarlierSaved);
            } else {
                EXPECT_EQ(r.status, 0) << r.err;
                EXPECT_EQ(r.err, "");
                EXPECT_EQ(r.out, ExpectedEstimate(folder / "case.txt", folder / "case.txt", SourceCrs()));
                EXPECT_NE(ReadFile(folder / "saved.txt").find("\ndX0 = "), std::string::npos);
            }
        } else {
            for (bool inAfter : {false, true}) {
                const CliResult r = RunCli(folder.Path(), inAfter
                                                              ? EstimateArgs("good.txt", "case.txt")
                                                              : EstimateArgs("case.txt", "good.txt"));
                EXPECT_EQ(r.status, 1);
                EXPECT_EQ(r.out, "");
                EXPECT_EQ(r.err, Diagnostic(EstimationText(c.refusal, inAfter)));
                EXPECT_EQ(ReadFile(folder / "saved.txt"), kEarlierSaved);
            }
        }
        EXPECT_TRUE(SameBytes(ReadFile(folder / "case.txt"), input));
        EXPECT_EQ(folder.Entries(), files);
    }
}

// ---------------------------------------------------------------- files

TEST(CatalogueCliFilesTest, DirectoryAsInput) {
    TempFolder folder;
    fs::create_directory(folder / "in.txt");
    WriteFile(folder / "out.txt", kEarlierOutput);
    WriteFile(folder / "good.txt", kGoodCommonPoints);
    CliResult r = RunCli(folder.Path(), ConvertArgs(false, "in.txt", "out.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic(kInputOpenText));
    r = RunCli(folder.Path(), EstimateArgs("in.txt", "good.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic("读转换前文件错误！"));
    r = RunCli(folder.Path(), EstimateArgs("good.txt", "in.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic("读转换后文件错误！"));
    EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"good.txt", "in.txt", "out.txt"}));
}

TEST(CatalogueCliFilesTest, UnreadableInput) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    WriteFile(folder / "good.txt", kGoodCommonPoints);
    WriteFile(folder / "out.txt", kEarlierOutput);
    fs::permissions(folder / "in.txt", fs::perms::none);
    CliResult r = RunCli(folder.Path(), ConvertArgs(false, "in.txt", "out.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic(kInputOpenText));
    r = RunCli(folder.Path(), EstimateArgs("in.txt", "good.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic(kBeforeOpenText));
    r = RunCli(folder.Path(), EstimateArgs("good.txt", "in.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic(kAfterOpenText));
    fs::permissions(folder / "in.txt", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(folder / "in.txt"), kGoodCommonPoints);
    EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"good.txt", "in.txt", "out.txt"}));
}

TEST(CatalogueCliFilesTest, OutputFolderMissingOrAFolder) {
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    fs::create_directory(folder / "out.txt");
    for (const char* output : {"missing/out.txt", "out.txt"}) {
        SCOPED_TRACE(output);
        const CliResult r = RunCli(folder.Path(), ConvertArgs(false, "in.txt", output));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, Diagnostic(kOutputOpenText));
    }
    EXPECT_TRUE(fs::is_empty(folder / "out.txt"));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"in.txt", "out.txt"}));
}

TEST(CatalogueCliFilesTest, ReadOnlyOutputFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    fs::create_directory(folder / "locked");
    WriteFile(folder / "locked" / "out.txt", kEarlierOutput);
    fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    const CliResult r = RunCli(folder.Path(), ConvertArgs(false, "in.txt", "locked/out.txt"));
    fs::permissions(folder / "locked", fs::perms::owner_all);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic(kOutputOpenText));
    EXPECT_EQ(ReadFile(folder / "locked" / "out.txt"), kEarlierOutput);
    EXPECT_EQ(Entries(folder / "locked"), std::vector<std::string>{"out.txt"});
}

TEST(CatalogueCliFilesTest, InputChosenAsOutput) {
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    WriteFile(folder / "copy.txt", kGoodCommonPoints);
    CliResult r = RunCli(folder.Path(), ConvertArgs(false, "in.txt", "in.txt"));
    EXPECT_EQ(r.status, 0) << r.err;
    // The same bytes as converting a copy into another file.
    r = RunCli(folder.Path(), ConvertArgs(false, "copy.txt", "copy.out"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(folder / "in.txt"), ReadFile(folder / "copy.out"));
    const std::string bad = WithH("1,5");
    WriteFile(folder / "in.txt", bad);
    r = RunCli(folder.Path(), ConvertArgs(false, "in.txt", "in.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, Diagnostic(Unreadable(2, "1,5")));
    EXPECT_EQ(ReadFile(folder / "in.txt"), bad);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"copy.out", "copy.txt", "in.txt"}));
}

// Standard output taken over by the shell, named as a file on the command
// line: `>> log.txt` or `{ echo head; zelk-cli ... /dev/stdout; } > f.txt`.
// What was in the file stays; the result follows it once the whole input
// has converted, and a refused input adds nothing.
TEST(CatalogueCliFilesTest, OutputNamingAnOpenDescriptor) {
    TempFolder folder;
    WriteFile(folder / "good.txt", kGoodCommonPoints);
    WriteFile(folder / "bad.txt", WithH("1,5"));
    fs::create_symlink("/dev/stdout", folder / "link.txt");
    CliResult r = RunCli(folder.Path(), ConvertArgs(false, "good.txt", "plain.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string converted = ReadFile(folder / "plain.txt");
    fs::remove(folder / "plain.txt");

    for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "link.txt"}) {
        for (bool append : {true, false}) {
            SCOPED_TRACE(std::string(name) + (append ? " >>" : " > after a first line"));
            TempFolder logs;
            const fs::path log = logs / "log.txt";
            WriteFile(log, kEarlierOutput);
            for (const char* input : {"bad.txt", "good.txt"}) {
                const int fd = append ? ::open(log.c_str(), O_WRONLY | O_APPEND)
                                      : ::open(log.c_str(), O_WRONLY);
                ASSERT_GE(fd, 0);
                if (!append) ::lseek(fd, static_cast<off_t>(kEarlierOutput.size()), SEEK_SET);
                CliRun run;
                run.stdoutFd = fd;
                r = RunCli(folder.Path(), ConvertArgs(false, input, name), run);
                ::close(fd);
                const bool good = std::string(input) == "good.txt";
                EXPECT_EQ(r.status, good ? 0 : 1) << r.err;
                EXPECT_TRUE(SameBytes(ReadFile(log), kEarlierOutput + (good ? converted : "")));
            }
            EXPECT_EQ(Entries(logs.Path()), std::vector<std::string>{"log.txt"});
        }
    }
    // The parameters saved to standard output come first, the printout after.
    r = RunCli(folder.Path(), EstimateArgs("good.txt", "good.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string printout = r.out;
    std::vector<std::string> args = EstimateArgs("good.txt", "good.txt");
    args[10] = "/dev/stdout";  // the --save value
    TempFolder logs;
    WriteFile(logs / "log.txt", kEarlierOutput);
    const int fd = ::open((logs / "log.txt").c_str(), O_WRONLY | O_APPEND);
    CliRun run;
    run.stdoutFd = fd;
    r = RunCli(folder.Path(), args, run);
    ::close(fd);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string log = ReadFile(logs / "log.txt");
    EXPECT_EQ(log.substr(0, kEarlierOutput.size()), kEarlierOutput);
    ASSERT_GT(log.size(), kEarlierOutput.size() + printout.size());
    EXPECT_EQ(log.substr(log.size() - printout.size()), printout);
    EXPECT_NE(log.find("\n# "), std::string::npos);
    EXPECT_EQ(folder.Entries(),
              (std::vector<std::string>{"bad.txt", "good.txt", "link.txt", "saved.txt"}));
}

// A reader that stops early (`| head`): what was asked to be saved is
// saved, and the end of printing is no fault. Standard output here is a pipe
// whose reader has gone before the run starts.
TEST(CatalogueCliFilesTest, ReaderThatStopsEarly) {
    TempFolder folder;
    std::string before, after;
    for (int i = 0; i < 3000; ++i) {  // a residual table larger than any pipe buffer
        before += std::to_string(4400000 + i * 7 % 3001) + ".5 " +
                  std::to_string(450000 + i * 13 % 2999) + ".25 " + std::to_string(i % 97) + "\n";
    }
    WriteFile(folder / "before.txt", before);
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    std::vector<std::string> estimate = EstimateArgs("before.txt", "before.txt");
    estimate.insert(estimate.end() - 2, "--residuals");
    struct Run {
        std::vector<std::string> args;
        int status;
    };
    const Run runs[] = {
        {estimate, 0},
        {{"point", "--from", "wgs84-geodetic", "--to", "wgs84-utm", "--to-meridian", "117", "40",
          "117", "0"},
         0},
        {ConvertArgs(false, "in.txt", "-"), 141},
        {ConvertArgs(false, "in.txt", "/dev/stdout"), 141},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.args[0] + " " + run.args.back());
        fs::remove(folder / "saved.txt");
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::close(ends[0]);
        CliRun closed;
        closed.stdoutFd = ends[1];
        const CliResult r = RunCli(folder.Path(), run.args, closed);
        ::close(ends[1]);
        EXPECT_EQ(r.status, run.status);
        EXPECT_EQ(r.err, "");
        if (run.args[0] == "estimate") {
            EXPECT_NE(ReadFile(folder / "saved.txt").find("\ndX0 = "), std::string::npos);
        }
    }
}

// SIGINT, SIGTERM and SIGHUP in the middle of a conversion: the temporary
// file goes, the earlier output stays, the exit status is 128 + the signal.
TEST(CatalogueCliFilesTest, InterruptedConversion) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempFolder folder;
        WriteFile(folder / "out.txt", kEarlierOutput);
        // The input stalls half-way: a pipe kept open with some points in it.
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
        const std::string some = Repeat(kGoodCommonPoints, 100);
        ASSERT_EQ(::write(ends[1], some.data(), some.size()), static_cast<ssize_t>(some.size()));
        CliRun run;
        run.stdinFile = "/dev/fd/" + std::to_string(ends[0]);
        bool sawTemporary = false;
        run.whileRunning = [&](pid_t pid) {
            for (int i = 0; i < 2000 && !sawTemporary; ++i) {
                sawTemporary = folder.Entries().size() == 2;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            ::kill(pid, signal);
        };
        const CliResult r = RunCli(folder.Path(), ConvertArgs(false, "-", "out.txt"), run);
        ::close(ends[0]);
        ::close(ends[1]);
        EXPECT_TRUE(sawTemporary);
        EXPECT_EQ(r.status, 128 + signal);
        EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{"out.txt"});
    }
}

// Inputs that never end or hold one endless token: refused within seconds,
// in little memory (a few megabytes; some 25 under the sanitizers).
TEST(CatalogueCliFilesTest, EndlessInputsStaySmall) {
    constexpr long kLimitKb = 64 * 1024;
    static constexpr std::uint64_t k300MB = 300u << 20;
    const std::string nuls = Repeat("\\x00", 10);
    struct Endless {
        const char* what;
        std::function<std::unique_ptr<GeneratedInput>()> input;  // on standard input
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Endless> cases = {
        {"300 MB of NUL bytes", [] { return std::make_unique<GeneratedInput>("", '\0', k300MB, ""); },
         ConvertArgs(false, "-", "out.txt"), Unreadable(1, nuls)},
        {"/dev/zero", nullptr, ConvertArgs(true, "/dev/zero", "out.txt"),
         Unreadable(1, nuls)},
        {"300 MB of line ends inside a point",
         [] { return std::make_unique<GeneratedInput>("4433921.004 ", '\n', k300MB, ""); },
         ConvertArgs(false, "-", "out.txt"), Unreadable(1, "")},
        {"/dev/zero before", nullptr, EstimateArgs("/dev/zero", "good.txt"),
         EstimationText(Unreadable(1, nuls), false)},
        {"a token of 300 MB after",
         [] { return std::make_unique<GeneratedInput>("", '7', k300MB, ""); },
         EstimateArgs("good.txt", "/dev/stdin"),
         EstimationText(Unreadable(1, std::string(40, '7')), true)},
    };
    for (const Endless& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteFile(folder / "out.txt", kEarlierOutput);
        WriteFile(folder / "good.txt", kGoodCommonPoints);
        WriteFile(folder / "saved.txt", kEarlierSaved);
        const std::unique_ptr<GeneratedInput> input = c.input ? c.input() : nullptr;
        CliRun run;
        if (input) run.stdinFile = input->Path();
        run.seconds = 60;
        const CliResult r = RunCli(folder.Path(), c.args, run);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, Diagnostic(c.message));
        EXPECT_LT(r.maxRssKb, kLimitKb);
        EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
        EXPECT_EQ(ReadFile(folder / "saved.txt"), kEarlierSaved);
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"good.txt", "out.txt", "saved.txt"}));
    }
}

// ---------------------------------------------------------------- pairs

// n common points: Beijing 1954 Gauss-Kruger on 117 before, WGS84 geodetic
// through kParams after, with all the digits of each double.
void CommonField(int n, std::string& before, std::string& after) {
    const CLocaleScope cLocale;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> x(4390000, 4420000), y(430000, 470000), h(20, 400);
    char line[200];
    for (int i = 0; i < n; ++i) {
        double a = x(random), b = y(random), c = h(random);
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", a, b, c);
        before += line;
        named::Convert(kSource, kSourceMeridian, kTarget, 0.0, kParams, a, b, c);
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", a, b, c);
        after += line;
    }
}



TEST(CatalogueCliTest, ManyPairsAndFilesOfDifferentLengths) {
    struct Run {
        int beforePoints, afterPoints;
    };
    for (const Run run : {Run{600, 600}, Run{100000, 100000}, Run{10, 8}, Run{8, 10}}) {
        SCOPED_TRACE(std::to_string(run.beforePoints) + " and " + std::to_string(run.afterPoints));
        TempFolder folder;
        std::string before, after, unusedAfter, unusedBefore;
        CommonField(run.beforePoints, before, unusedAfter);
        CommonField(run.afterPoints, unusedBefore, after);
        WriteFile(folder / "before.txt", before);
        WriteFile(folder / "after.txt", after);
        const CliResult r =
            RunCli(folder.Path(), EstimateArgs("before.txt", "after.txt", "wgs84-geodetic"));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, ExpectedEstimate(folder / "before.txt", folder / "after.txt",
                                          MakeCrs(*FindSystem("wgs84-geodetic"))));
        EXPECT_EQ(folder.Entries(),
                  (std::vector<std::string>{"after.txt", "before.txt", "saved.txt"}));
    }
}

}  // namespace
