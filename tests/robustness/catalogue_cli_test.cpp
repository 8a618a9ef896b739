// The bad-input catalogue (catalogue.h) through the built zelk-cli, run as a
// separate process: the same messages on standard error as the buttons show,
// exit status 1 for every refused file, and nothing lost.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "catalogue.h"
#include "platform/number_text.h"
#include "recording_messages.h"
#include "workflow/conversion.h"
#include "workflow/convert_run.h"
#include "workflow/estimation_run.h"
#include "c_locale.h"

namespace {

using namespace catalogue;
namespace fs = std::filesystem;

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs zelk-cli in folder with the arguments, standard input from stdinFile
// (else /dev/null). Standard output and error are caught in a folder of
// their own, so the case's folder holds only what zelk-cli leaves there.
CliResult RunCli(const fs::path& folder, const std::vector<std::string>& args,
                 const std::optional<fs::path>& stdinFile = std::nullopt) {
    TempFolder capture;
    const fs::path outPath = capture / "stdout";
    const fs::path errPath = capture / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string in = stdinFile ? stdinFile->string() : "/dev/null";
        if (::chdir(folder.c_str()) != 0 || !std::freopen(in.c_str(), "r", stdin) ||
            !std::freopen(outPath.c_str(), "w", stdout) ||
            !std::freopen(errPath.c_str(), "w", stderr)) {
            ::_exit(127);
        }
        ::unsetenv("ZELK_THREADS");
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ZELK_CLI_PATH));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ZELK_CLI_PATH, argv.data());
        ::_exit(127);
    }
    CliResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

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
std::string ExpectedEstimate(const fs::path& before, const fs::path& after, int afterSystem) {
    RecordingMessages messages;
    BursaDialogValues v;
    v.beforeSystem = kParamListSource;
    v.afterSystem = afterSystem;
    v.beforeMeridian = kSourceMeridian;
    v.afterMeridian = kSourceMeridian;
    v.beforeFile = before;
    v.afterFile = after;
    const EstimationRunResult run = RunEstimation(v);
    EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
    if (messages.messages.empty()) return "(no report)";
    std::string text = messages.messages.back().text + "\n";
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
                EXPECT_EQ(r.out, ExpectedEstimate(folder / "case.txt", folder / "case.txt",
                                                  kParamListSource));
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
        ConvertPoint(kSource, kTarget, kSourceMeridian, 0.0, kParams, a, b, c);
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", a, b, c);
        after += line;
    }
}

constexpr int kParamListWgs84Geodetic = 4;

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
                                          kParamListWgs84Geodetic));
        EXPECT_EQ(folder.Entries(),
                  (std::vector<std::string>{"after.txt", "before.txt", "saved.txt"}));
    }
}

}  // namespace
