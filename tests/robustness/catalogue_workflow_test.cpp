// The bad-input catalogue (catalogue.h) through the runs of the two buttons,
// with the messages recorded instead of shown.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "catalogue.h"
#include "failing_allocations.h"
#include "platform/message_box.h"
#include "recording_messages.h"
#include "run_request.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"
#include "workflow/record_source.h"
#include "c_locale.h"

using namespace zelk;

namespace {

using namespace catalogue;
namespace fs = std::filesystem;

const std::vector<std::string> kInAndOut = {"in.txt", "out.txt"};

ConversionRequest ConvertValues(const TempFolder& folder, bool withNames,
                                const std::string& input = "in.txt",
                                const fs::path& output = "out.txt") {
    ConversionRequest v;
    v.from = SourceCrs();
    v.to = TargetCrs();
    v.steps = {Transformation::Seven(kParams)};
    v.formats.withNames = withNames;
    v.input = PointInput{folder / input};
    v.output = PointOutput{output.is_absolute() ? output : folder.Path() / output};
    return v;
}

void ExpectOneMessage(const RecordingMessages& messages, const std::string& text,
                      const std::string& caption, MessageIcon icon, const std::string& where) {
    ASSERT_EQ(messages.messages.size(), 1u) << where;
    EXPECT_EQ(messages.messages[0].text, text) << where;
    EXPECT_EQ(messages.messages[0].caption, caption) << where;
    EXPECT_EQ(messages.messages[0].icon, icon) << where;
}

TEST(CatalogueConvertTest, EveryCaseThroughTheConvertButton) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string input = c.input();
        WriteFile(folder / "in.txt", input);
        WriteFile(folder / "out.txt", kEarlierOutput);
        RecordingMessages messages;
        ConversionRequest v = ConvertValues(folder, c.withNames);
        for (int threads : {1, 2}) {
            messages.messages.clear();
            FileConversionOptions options;
            options.threads = threads;
            const ConvertOutcome outcome = RunRequest(v, nullptr, options);
            if (c.refusal.empty()) {
                EXPECT_EQ(outcome, ConvertOutcome::Done);
                ExpectOneMessage(messages, kConversionDoneText, ApplicationName(),
                                 MessageIcon::Information, c.what);
                EXPECT_TRUE(SameBytes(ReadFile(folder / "out.txt"), ConvertedFile(c.points)));
                WriteFile(folder / "out.txt", kEarlierOutput);
            } else {
                EXPECT_EQ(outcome, RefusedAsUnreadable(c.refusal) ? ConvertOutcome::Unreadable
                                                                  : ConvertOutcome::PointRefused);
                ExpectOneMessage(messages, c.refusal, kReadFileCaption, MessageIcon::Error, c.what);
                EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
            }
            EXPECT_TRUE(SameBytes(ReadFile(folder / "in.txt"), input));
            EXPECT_EQ(folder.Entries(), kInAndOut);
        }
    }
}

// ---------------------------------------------------------------- estimation

EstimationRequest EstimationValues(const TempFolder& folder, const std::string& before,
                                   const std::string& after) {
    EstimationRequest v;
    v.settings.before = SourceCrs();
    v.settings.after = SourceCrs();
    v.beforeFile = folder / before;
    v.afterFile = folder / after;
    return v;
}

// The compute button's run: the estimation, its message shown.
EstimationRun Estimate(const EstimationRequest& request) {
    EstimationRun run = RunEstimation(request);
    ShowMessage(run.message.text, run.message.caption, run.message.icon);
    return run;
}

TEST(CatalogueEstimationTest, EveryCaseWithoutNamesThroughTheComputeButton) {
    for (const Case& c : Cases()) {
        if (c.withNames) continue;
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string input = c.input();
        WriteFile(folder / "case.txt", input);
        WriteFile(folder / "good.txt", kGoodCommonPoints);
        const std::vector<std::string> files = {"case.txt", "good.txt"};

        if (c.refusal.empty()) {
            // The file against itself: its points pair with themselves.
            RecordingMessages messages;
            const EstimationRun run = Estimate(EstimationValues(folder, "case.txt", "case.txt"));
            if (c.points.size() < 3) {
                EXPECT_EQ(run.outcome, EstimationOutcome::TooFewPoints);
                ExpectOneMessage(messages, kTooFewCommonPoints, ApplicationName(),
                                 MessageIcon::Error, c.what);
            } else {
                EXPECT_EQ(run.outcome, EstimationOutcome::Estimated);
                EXPECT_EQ(run.estimate.residuals.size(), c.points.size());
                ASSERT_EQ(messages.messages.size(), 1u);
                EXPECT_EQ(messages.messages[0].text.rfind("叠带进行了", 0), 0u);
                const SevenParams& v = run.estimate.calibration.seven;
                for (double p : {v.dX0, v.dY0, v.dZ0, v.K, v.betaX, v.betaY, v.betaZ}) {
                    EXPECT_LT(std::fabs(p), 1e-6);
                }
            }
        } else {
            for (bool inAfter : {false, true}) {
                RecordingMessages messages;
                const EstimationRun run = Estimate(inAfter ? EstimationValues(folder, "good.txt", "case.txt")
                                                           : EstimationValues(folder, "case.txt", "good.txt"));
                EXPECT_EQ(run.outcome, EstimationOutcome::Unreadable);
                ExpectOneMessage(messages, EstimationText(c.refusal, inAfter), kReadFileCaption,
                                 MessageIcon::Error, c.what);
            }
        }
        EXPECT_TRUE(SameBytes(ReadFile(folder / "case.txt"), input));
        EXPECT_EQ(folder.Entries(), files);
    }
}

// ---------------------------------------------------------------- files

TEST(CatalogueFilesTest, DirectoryAsInput) {
    TempFolder folder;
    fs::create_directory(folder / "in.txt");
    WriteFile(folder / "out.txt", kEarlierOutput);
    {
        RecordingMessages messages;
        ConversionRequest v = ConvertValues(folder, false);
        EXPECT_EQ(RunRequest(v), ConvertOutcome::InputOpenFailed);
        ExpectOneMessage(messages, kInputOpenText, kReadFileCaption, MessageIcon::Error, "convert");
        EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
    }
    WriteFile(folder / "good.txt", kGoodCommonPoints);
    for (bool inAfter : {false, true}) {
        RecordingMessages messages;
        const EstimationRequest v = inAfter ? EstimationValues(folder, "good.txt", "in.txt")
                                      : EstimationValues(folder, "in.txt", "good.txt");
        EXPECT_EQ(Estimate(v).outcome, EstimationOutcome::Unreadable);
        ExpectOneMessage(messages, inAfter ? "读转换后文件错误！" : "读转换前文件错误！",
                         kReadFileCaption, MessageIcon::Error, "estimate");
    }
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"good.txt", "in.txt", "out.txt"}));
    EXPECT_TRUE(fs::is_empty(folder / "in.txt"));
}

TEST(CatalogueFilesTest, UnreadableInput) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    WriteFile(folder / "good.txt", kGoodCommonPoints);
    WriteFile(folder / "out.txt", kEarlierOutput);
    fs::permissions(folder / "in.txt", fs::perms::none);
    {
        RecordingMessages messages;
        ConversionRequest v = ConvertValues(folder, false);
        EXPECT_EQ(RunRequest(v), ConvertOutcome::InputOpenFailed);
        ExpectOneMessage(messages, kInputOpenText, kReadFileCaption, MessageIcon::Error, "convert");
    }
    for (bool inAfter : {false, true}) {
        RecordingMessages messages;
        const EstimationRequest v = inAfter ? EstimationValues(folder, "good.txt", "in.txt")
                                      : EstimationValues(folder, "in.txt", "good.txt");
        EXPECT_EQ(Estimate(v).outcome, inAfter ? EstimationOutcome::AfterOpenFailed
                                                    : EstimationOutcome::BeforeOpenFailed);
        ExpectOneMessage(messages, inAfter ? kAfterOpenText : kBeforeOpenText, kReadFileCaption,
                         MessageIcon::Error, "estimate");
    }
    fs::permissions(folder / "in.txt", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(folder / "in.txt"), kGoodCommonPoints);
    EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"good.txt", "in.txt", "out.txt"}));
}

// Converts the good points into output and expects the output-open message.
void ExpectOutputRefused(const TempFolder& folder, const fs::path& output, const char* where) {
    RecordingMessages messages;
    ConversionRequest v = ConvertValues(folder, false, "in.txt", output);
    EXPECT_EQ(RunRequest(v), ConvertOutcome::OutputOpenFailed) << where;
    ExpectOneMessage(messages, kOutputOpenText, kWriteFileCaption, MessageIcon::Error, where);
}

TEST(CatalogueFilesTest, OutputFolderMissingOrAFolder) {
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    ExpectOutputRefused(folder, folder / "missing" / "out.txt", "missing folder");
    fs::create_directory(folder / "out.txt");
    ExpectOutputRefused(folder, folder / "out.txt", "output is a folder");
    EXPECT_TRUE(fs::is_empty(folder / "out.txt"));
    EXPECT_EQ(ReadFile(folder / "in.txt"), kGoodCommonPoints);
    EXPECT_EQ(folder.Entries(), kInAndOut);
}

TEST(CatalogueFilesTest, ReadOnlyOutputFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    fs::create_directory(folder / "locked");
    WriteFile(folder / "locked" / "out.txt", kEarlierOutput);
    fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    ExpectOutputRefused(folder, folder / "locked" / "out.txt", "read-only folder");
    fs::permissions(folder / "locked", fs::perms::owner_all);
    EXPECT_EQ(ReadFile(folder / "locked" / "out.txt"), kEarlierOutput);
    EXPECT_EQ(Entries(folder / "locked"), std::vector<std::string>{"out.txt"});
}

// The input chosen as the output, by its own name or by another: refused
// before anything is read, the file as it was.
TEST(CatalogueFilesTest, InputChosenAsOutput) {
    TempFolder folder;
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    fs::create_hard_link(folder / "in.txt", folder / "hard.txt");
    fs::create_symlink("in.txt", folder / "soft.txt");
    for (const char* output : {"in.txt", "hard.txt", "soft.txt"}) {
        SCOPED_TRACE(output);
        RecordingMessages messages;
        ConversionRequest v = ConvertValues(folder, false, "in.txt", output);
        EXPECT_EQ(RunRequest(v), ConvertOutcome::OutputIsInput);
        ExpectOneMessage(messages, kOutputIsInputText, kWriteFileCaption, MessageIcon::Error,
                         output);
        EXPECT_EQ(ReadFile(folder / "in.txt"), kGoodCommonPoints);
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"hard.txt", "in.txt", "soft.txt"}));
    }
}

// Outputs that are more than a file with one name: written through to the
// file, in place where the file must keep its identity, refused where it
// may not be written. A failed run leaves each as it was.
TEST(CatalogueFilesTest, LinkedMountedAndProtectedOutputs) {
    struct Output {
        const char* what;
        // Makes the output in the folder (out.txt holding kEarlierOutput
        // beside in.txt) and returns the name to convert into.
        std::function<std::string(const TempFolder&)> make;
        std::vector<std::string> entries;  // of the folder afterwards
        bool refused;                      // "写转换后文件错误！" even for a good input
    };
    const std::vector<Output> outputs = {
        {"dangling symbolic link",
         [](const TempFolder& f) {
             fs::remove(f / "out.txt");
             fs::create_symlink("out.txt", f / "link.txt");
             return std::string("link.txt");
         },
         {"in.txt", "link.txt", "out.txt"}, false},
        {"symbolic link to a hard link",
         [](const TempFolder& f) {
             fs::create_hard_link(f / "out.txt", f / "other.txt");
             fs::create_symlink("other.txt", f / "link.txt");
             return std::string("link.txt");
         },
         {"in.txt", "link.txt", "other.txt", "out.txt"}, false},
        {"read-only file",
         [](const TempFolder& f) {
             fs::permissions(f / "out.txt", fs::perms::owner_read);
             return std::string("out.txt");
         },
         {"in.txt", "out.txt"}, ::geteuid() != 0},
    };
    const std::string converted = ConvertedFile({kP1,
                                                 {"", 4431000.5, 498765.25, -3.75},
                                                 kP3,
                                                 {"", 4429876.125, 502345.875, 1200.5},
                                                 {"", 4436500.25, 731000.75, 88.125}});
    for (const Output& output : outputs) {
        SCOPED_TRACE(output.what);
        TempFolder folder;
        WriteFile(folder / "out.txt", kEarlierOutput);
        WriteFile(folder / "in.txt", WithH("1,5"));
        const std::string name = output.make(folder);
        const std::vector<std::string> before = folder.Entries();
        for (bool good : {false, true}) {
            if (good) WriteFile(folder / "in.txt", kGoodCommonPoints);
            RecordingMessages messages;
            ConversionRequest v = ConvertValues(folder, false, "in.txt", name);
            const ConvertOutcome outcome = RunRequest(v);
            if (output.refused) {
                EXPECT_EQ(outcome, ConvertOutcome::OutputOpenFailed);
            } else {
                EXPECT_EQ(outcome, good ? ConvertOutcome::Done : ConvertOutcome::Unreadable);
            }
            const bool replaced = good && !output.refused;
            EXPECT_EQ(folder.Entries(), replaced ? output.entries : before);
            // Every name of the file shows the same bytes.
            for (const std::string& entry : folder.Entries()) {
                if (entry != "in.txt" && fs::exists(folder / entry)) {
                    EXPECT_EQ(ReadFile(folder / entry), replaced ? converted : kEarlierOutput)
                        << entry;
                }
            }
        }
        for (const std::string& entry : output.entries) {
            if (entry.starts_with("link")) {
                EXPECT_TRUE(fs::is_symlink(folder / entry));
            }
        }
    }
}

// A file bind-mounted over another (as in a container) cannot be renamed
// over: it is written in place once the whole input has converted. Needs a
// mount namespace of its own, so root; skipped where there is none.
TEST(CatalogueFilesTest, BindMountedOutput) {
    TempFolder folder;
    WriteFile(folder / "source.txt", kEarlierOutput);
    WriteFile(folder / "out.txt", "mount point\n");
    WriteFile(folder / "bad.txt", WithH("1,5"));
    WriteFile(folder / "in.txt", kGoodCommonPoints);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount((folder / "source.txt").c_str(), (folder / "out.txt").c_str(), nullptr,
                    MS_BIND, nullptr) != 0) {
            ::_exit(77);
        }
        RecordingMessages messages;
        ConversionRequest v = ConvertValues(folder, false, "bad.txt", "out.txt");
        if (RunRequest(v) != ConvertOutcome::Unreadable) ::_exit(10);
        if (ReadFile(folder / "out.txt") != kEarlierOutput) ::_exit(11);
        v.input = PointInput{folder / "in.txt"};
        if (RunRequest(v) != ConvertOutcome::Done) ::_exit(12);
        if (ReadFile(folder / "out.txt") == kEarlierOutput) ::_exit(13);
        if (Entries(folder.Path()) !=
            std::vector<std::string>{"bad.txt", "in.txt", "out.txt", "source.txt"}) {
            ::_exit(14);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace to be had";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Written through the mount into the file mounted there.
    EXPECT_NE(ReadFile(folder / "source.txt"), kEarlierOutput);
    EXPECT_EQ(ReadFile(folder / "out.txt"), "mount point\n");
}

// A lack of memory, in a worker thread or in the thread that reads, is told
// as such; the output stays as it was.
TEST(CatalogueFilesTest, OutOfMemory) {
    struct Shortage {
        int threads;
        std::size_t minBytes;   // allocations of this size or more fail...
        bool otherThreadsOnly;  // ...in the workers only, or everywhere
    };
    TempFolder folder;
    WriteFile(folder / "in.txt", Repeat(kGoodCommonPoints, 2000));
    WriteFile(folder / "out.txt", kEarlierOutput);
    for (const Shortage shortage : {Shortage{2, 1024, true}, Shortage{1, 64 * 1024, false}}) {
        SCOPED_TRACE(shortage.threads);
        RecordingMessages messages;
        ConversionRequest v = ConvertValues(folder, false);
        FileConversionOptions options;
        options.threads = shortage.threads;
        ConvertOutcome outcome;
        {
            const FailingAllocations failing(shortage.minBytes, shortage.otherThreadsOnly);
            outcome = RunRequest(v, nullptr, options);
        }
        EXPECT_EQ(outcome, ConvertOutcome::OutOfMemory);
        ExpectOneMessage(messages, "内存不足，文件未转换！", ApplicationName(), MessageIcon::Error,
                         "out of memory");
        EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
        EXPECT_EQ(folder.Entries(), kInAndOut);
    }
}

// Line numbers past the range of an int (2^31 line ends, read from a pipe).
TEST(CatalogueFilesTest, LinesBeyondTwoToThe31) {
    constexpr std::uint64_t kLineEnds = std::uint64_t{1} << 31;
    const std::string refusal = Unreadable(kLineEnds + 1, "x");
    TempFolder folder;
    WriteFile(folder / "out.txt", kEarlierOutput);
    {
        GeneratedInput input("", '\n', kLineEnds, "x\n");
        RecordingMessages messages;
        ConversionRequest v = ConvertValues(folder, false, "in.txt");
        v.input = PointInput{input.Path()};
        EXPECT_EQ(RunRequest(v), ConvertOutcome::Unreadable);
        ExpectOneMessage(messages, refusal, kReadFileCaption, MessageIcon::Error, "convert");
    }
    EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
    WriteFile(folder / "good.txt", kGoodCommonPoints);
    {
        GeneratedInput input("", '\n', kLineEnds, "x\n");
        RecordingMessages messages;
        EstimationRequest v = EstimationValues(folder, "good.txt", "good.txt");
        v.afterFile = input.Path();
        EXPECT_EQ(Estimate(v).outcome, EstimationOutcome::Unreadable);
        ExpectOneMessage(messages, EstimationText(refusal, true), kReadFileCaption,
                         MessageIcon::Error, "estimate");
    }
}

// ---------------------------------------------------------------- pairs

// n common points of a field: Beijing 1954 Gauss-Kruger on 117 before, the
// same points in WGS84 geodetic through kParams after, at full precision.
void CommonField(int n, std::string& before, std::string& after,
                 std::vector<std::array<double, 3>>* points = nullptr) {
    const CLocaleScope cLocale;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> x(4390000, 4420000), y(430000, 470000), h(20, 400);
    before.clear();
    after.clear();
    char line[200];
    for (int i = 0; i < n; ++i) {
        double a = x(random), b = y(random), c = h(random);
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", a, b, c);
        before += line;
        if (points) points->push_back({a, b, c});
        named::Convert(kSource, kSourceMeridian, kTarget, 0.0, kParams, a, b, c);
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", a, b, c);
        after += line;
    }
}

EstimationRequest FieldValues(const TempFolder& folder) {
    EstimationRequest v = EstimationValues(folder, "before.txt", "after.txt");
    v.settings.after = TargetCrs();
    return v;
}

// The estimate reproduces the transformation of the field's points.
void ExpectTransformationRecovered(const EstimationRun& run,
                                   const std::vector<std::array<double, 3>>& points) {
    const SevenParams& estimate = run.estimate.calibration.seven;
    for (std::size_t i = 0; i < points.size(); i += 1 + points.size() / 20) {
        double a = points[i][0], b = points[i][1], c = points[i][2];
        double ta = a, tb = b, tc = c;
        named::Convert(kSource, kSourceMeridian, "wgs84-utm", kSourceMeridian, estimate, a, b, c);
        named::Convert(kSource, kSourceMeridian, "wgs84-utm", kSourceMeridian, kParams, ta, tb, tc);
        EXPECT_NEAR(a, ta, 0.01);
        EXPECT_NEAR(b, tb, 0.01);
        EXPECT_NEAR(c, tc, 0.01);
    }
}

TEST(CatalogueEstimationTest, ManyPairsAreReadWhole) {
    for (int n : {600, 100000}) {
        SCOPED_TRACE(n);
        TempFolder folder;
        std::string before, after;
        std::vector<std::array<double, 3>> points;
        CommonField(n, before, after, &points);
        WriteFile(folder / "before.txt", before);
        WriteFile(folder / "after.txt", after);
        RecordingMessages messages;
        const EstimationRun run = Estimate(FieldValues(folder));
        ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
        EXPECT_EQ(run.estimate.residuals.size(), static_cast<std::size_t>(n));
        ExpectTransformationRecovered(run, points);
        EXPECT_EQ(ReadFile(folder / "before.txt"), before);
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"after.txt", "before.txt"}));
    }
}

// Memory stays bounded: one pair past the limit refuses the whole estimation
// and names where the pairs not taken begin.
TEST(CatalogueEstimationTest, PairsBeyondTheLimitAreRefused) {
    TempFolder folder;
    std::string before, after;
    CommonField(static_cast<int>(kMaxCommonPoints) + 1, before, after);
    WriteFile(folder / "before.txt", before);
    WriteFile(folder / "after.txt", after);
    RecordingMessages messages;
    const EstimationRun run = Estimate(FieldValues(folder));
    EXPECT_EQ(run.outcome, EstimationOutcome::TooManyPairs);
    ExpectOneMessage(messages, "公共点超过200000对（转换前文件第200001行起），请分区解算参数！",
                     kReadFileCaption, MessageIcon::Error, "");
}

TEST(CatalogueEstimationTest, FilesOfDifferentLengthsPairTheShorter) {
    TempFolder folder;
    std::string before10, after10, before8, after8;
    std::vector<std::array<double, 3>> points;
    CommonField(10, before10, after10, &points);
    CommonField(8, before8, after8);
    for (bool beforeLonger : {true, false}) {
        SCOPED_TRACE(beforeLonger ? "before longer" : "after longer");
        WriteFile(folder / "before.txt", beforeLonger ? before10 : before8);
        WriteFile(folder / "after.txt", beforeLonger ? after8 : after10);
        RecordingMessages messages;
        const EstimationRun run = Estimate(FieldValues(folder));
        ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
        EXPECT_EQ(run.estimate.residuals.size(), 8u);
        ASSERT_EQ(messages.messages.size(), 1u);  // the report, nothing about the rest
        points.resize(8);
        ExpectTransformationRecovered(run, points);
    }
}

// ---------------------------------------------------------------- names

// The names a KML file shows, its XML entities read.
std::vector<std::string> KmlNames(const std::string& kml) {
    std::vector<std::string> names;
    for (std::size_t at = 0; (at = kml.find("<Placemark>", at)) != std::string::npos; ++at) {
        const std::size_t open = kml.find("<name>", at);
        const std::size_t close = kml.find("</name>", at);
        const std::size_t next = kml.find("</Placemark>", at);
        if (open == std::string::npos || open > next) {
            names.emplace_back();
            continue;
        }
        std::string name = kml.substr(open + 6, close - open - 6);
        for (const auto& [entity, text] :
             {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}) {
            for (std::size_t k; (k = name.find(entity)) != std::string::npos;) {
                name.replace(k, std::string(entity).size(), text);
            }
        }
        names.push_back(name);
    }
    return names;
}

// The names of a point file in format, read as a conversion reads them.
std::vector<std::string> NamesIn(const fs::path& path, pointformat::FileFormat format) {
    std::vector<std::string> names;
    std::FILE* in = platform::OpenFile(path, "rb");
    if (!in) return names;
    pointformat::InputFormat read;
    read.format = format;
    read.withNames = true;
    read.axes = pointformat::Axes::Geodetic;
    pointformat::RecordReader reader(in, read);
    pointformat::PointRecord record{};
    while (reader.Next(record) == pointformat::RecordReader::Status::Point) {
        names.emplace_back(record.name);
    }
    std::fclose(in);
    return names;
}

constexpr pointformat::FileFormat kWriters[] = {
    pointformat::FileFormat::Plain, pointformat::FileFormat::Dat, pointformat::FileFormat::Csv,
    pointformat::FileFormat::Kml};

// Every writer writes every point it reads, its name read back the same, or
// refuses the whole run naming the line and the name: never a point left
// out. CSV output never starts a cell with what a spreadsheet would run.
TEST(CatalogueNamesTest, EveryWriterWritesEveryPointOrRefusesTheRun) {
    for (const NameCase& c : NameCases()) {
        for (const pointformat::FileFormat format : kWriters) {
            SCOPED_TRACE(std::string(c.what) + " into " +
                         std::string(pointformat::FileFormatName(format)));
            TempFolder folder;
            WriteFile(folder / "in.txt", NameCaseInput(c));
            WriteFile(folder / "out.txt", kEarlierOutput);
            RecordingMessages messages;
            ConversionRequest v = ConvertValues(folder, true);
            v.from = MakeCrs(*FindSystem("cgcs2000-gauss"), Zoning::Meridian, 117);
            v.to = MakeCrs(*FindSystem("cgcs2000-geodetic"));
            v.steps = {Transformation::Seven({})};
            v.formats.input = pointformat::FileFormat::Csv;
            v.formats.output = format;
            const ConvertOutcome outcome = RunRequest(v);
            const std::string out = ReadFile(folder / "out.txt");
            if (!HeldBy(c, format)) {
                EXPECT_EQ(outcome, ConvertOutcome::NameRefused);
                ExpectOneMessage(messages,
                                 NameProblemText(3, format, false, pointscan::QuoteToken(c.name)),
                                 kReadFileCaption, MessageIcon::Error, c.what);
                EXPECT_EQ(out, kEarlierOutput);
            } else if (format == pointformat::FileFormat::Kml) {
                EXPECT_EQ(outcome, ConvertOutcome::Done);
                EXPECT_EQ(KmlNames(out), (std::vector<std::string>{"K1", c.kmlName, "K3"}));
            } else {
                EXPECT_EQ(outcome, ConvertOutcome::Done);
                EXPECT_EQ(NamesIn(folder / "out.txt", format),
                          (std::vector<std::string>{"K1", c.name, "K3"}));
            }
            if (format == pointformat::FileFormat::Csv) {
                for (std::size_t line = 0; line < out.size(); line = out.find('\n', line) + 1) {
                    const std::size_t cell = line + (out[line] == '"' ? 1 : 0);
                    EXPECT_EQ(std::string("=+-@\t\r").find(out[cell]), std::string::npos)
                        << out.substr(line, out.find('\n', line) - line);
                    if (out.find('\n', line) == std::string::npos) break;
                }
            }
            EXPECT_EQ(folder.Entries(), kInAndOut);
        }
    }
}

// ---------------------------------------------------------------- messages

TEST(CatalogueMessagesTest, EveryCaseThroughTheConvertButton) {
    for (const MessageCase& c : MessageCases()) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        WriteFile(folder / "in.txt", c.input);
        WriteFile(folder / "out.txt", kEarlierOutput);
        RecordingMessages messages;
        ConversionRequest v = MessageRequest(c);
        v.input = PointInput{folder / "in.txt"};
        v.output = PointOutput{folder / "out.txt"};
        const ConvertOutcome outcome = RunRequest(v);
        ASSERT_EQ(messages.messages.size(), 1u);
        if (c.refusal.empty()) {
            EXPECT_EQ(outcome, ConvertOutcome::Done) << messages.messages[0].text;
            EXPECT_EQ(ReadFile(folder / "out.txt"), c.output);
        } else {
            EXPECT_EQ(messages.messages[0].text, c.refusal);
            EXPECT_EQ(ReadFile(folder / "out.txt"), kEarlierOutput);
        }
        EXPECT_EQ(folder.Entries(), kInAndOut);
    }
}

// Within one datum without parameters the way through X Y Z changes a
// height by rounding alone (9.31e-10 m for 0): the typed height is shown.
TEST(CatalogueMessagesTest, HeightWithinOneDatumIsTheOneTyped) {
    for (const double h : {0.0, 50.0, -12.345}) {
        SCOPED_TRACE(h);
        RecordingMessages messages;
        ConversionRequest v = NamedRequest("wgs84-geodetic", "wgs84-utm");
        v.to.meridian = 117;
        std::array<double, 3> point{39.54, 116.18, h};
        EXPECT_EQ(RunRequest(v, &point), ConvertOutcome::Done);
        EXPECT_EQ(point[2], h);
    }
    // With parameters the height is what they make of it.
    RecordingMessages messages;
    ConversionRequest v = NamedRequest("wgs84-geodetic", "wgs84-utm",
                                       {Transformation::Seven({0, 0, 0.5, 0, 0, 0, 0})});
    v.to.meridian = 117;
    std::array<double, 3> point{39.54, 116.18, 0.0};
    EXPECT_EQ(RunRequest(v, &point), ConvertOutcome::Done);
    EXPECT_NEAR(point[2], 0.5 * std::sin(39.9 * 3.14159265358979 / 180), 0.01);
}

// ---------------------------------------------------------------- parameter files

TEST(CatalogueParamsTest, CutShortRefusedUnlikelyValuesWarned) {
    for (const ParamsCase& c : ParamsCases()) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const fs::path path = folder / "p.params";
        WriteFile(path, c.text);
        const std::string source = platform::PathText(path);
        std::string error;
        const std::optional<Transformation> read = ReadParametersFile(path, error);
        if (!c.error.empty()) {
            EXPECT_FALSE(read.has_value());
            EXPECT_EQ(error, source + c.error);
            continue;
        }
        ASSERT_TRUE(read.has_value()) << error;
        std::vector<std::string> warnings;
        for (const std::string& w : c.warnings) warnings.push_back("警告：" + source + "：" + w);
        EXPECT_EQ(ParameterWarnings(*read, source), warnings);
    }
}

}  // namespace
