// Runs the built zelk-cli as a separate process and compares what it writes
// with what the core's own runs produce in this process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bursa/helmert.h"
#include "platform/number_text.h"
#include "recording_messages.h"
#include "run_request.h"
#include "named_chain.h"
#include "workflow/angle_text.h"
#include "workflow/conversion_run.h"
#include "workflow/estimation_run.h"

using namespace zelk;

namespace fs = std::filesystem;

namespace {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// The systems by the names zelk-cli takes.
constexpr const char* kWgs84Utm = "wgs84-utm";
constexpr const char* kWgs84Geodetic = "wgs84-geodetic";
constexpr const char* kBeijing54Gauss = "beijing54-gauss";
constexpr const char* kBeijing54Geodetic = "beijing54-geodetic";
constexpr const char* kXian80Gauss = "xian80-gauss";
constexpr const char* kXian80Geodetic = "xian80-geodetic";
// Seven-parameter-list indices.
// The estimation of the worked example's direction: Beijing 1954
// Gauss-Kruger on 117 to WGS84 geodetic.
EstimationRequest BeijingToWgs84(const std::string& before, const std::string& after) {
    EstimationRequest request;
    request.settings.before = MakeCrs(*FindSystem("beijing54-gauss"), Zoning::Meridian, 117);
    request.settings.after = MakeCrs(*FindSystem("wgs84-geodetic"));
    request.beforeFile = before;
    request.afterFile = after;
    return request;
}

std::string Triple(double a, double b, double c) {
    return FormatGeneral(a, 15) + " " + FormatGeneral(b, 15) + " " + FormatGeneral(c, 15) + "\n";
}

// What zelk-cli point prints for a point of the named target system: B and
// L of a geodetic one packed with nine decimals.
std::string PointLine(const std::string& target, double a, double b, double c) {
    if (target.find("geodetic") == std::string::npos) return Triple(a, b, c);
    return PackedAngleText(a) + " " + PackedAngleText(b) + " " + FormatGeneral(c, 15) + "\n";
}

std::string ParamsText(const SevenParams& p) {
    std::string text;
    for (double v : {p.dX0, p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ}) {
        if (!text.empty()) text += ',';
        text += FormatGeneral(v, 17);
    }
    return text;
}

// Beijing 1954 Gauss-Kruger points on meridian 117, with names: a GBK name,
// a 31-byte name, CR LF and LF line ends, tabs, blank lines and no line end
// after the last point.
const std::string kNamedGaussPoints =
    "P1 4433921.004 756206.416 35.2\r\n"
    "\xB5\xE3\xBA\xC5" "2\t4431000.5  498765.25\t-3.75\r\n"
    "\r\n"
    "N234567890123456789012345678901 4440000 510000 0\n"
    "\n"
    "Q4 4429876.125 502345.875 1200.5";

const std::string kGaussPoints =
    "4433921.004 756206.416 35.2\n"
    "4431000.5 498765.25 -3.75\n"
    "4440000 510000 0\n"
    "4429876.125 502345.875 1200.5\n";

const std::string kGeodeticPoints =
    "40.1523 116.2745 52.3\r\n"
    "39.5959 117.0001 0\r\n"
    "-12.30 -45.1530 -10\r\n";

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("zelk-cli-e2e-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path Path(const std::string& name) const { return m_dir / name; }
    std::string File(const std::string& name, const std::string& bytes) const {
        WriteBytes(Path(name), bytes);
        return Path(name).string();
    }

    // Runs zelk-cli with the arguments; standard input from stdinFile (or
    // empty), ZELK_THREADS as given (unset by default).
    CliResult Run(const std::vector<std::string>& args,
                  const std::optional<fs::path>& stdinFile = std::nullopt,
                  const char* threads = nullptr) const {
        const fs::path outPath = m_dir / ".stdout";
        const fs::path errPath = m_dir / ".stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            const std::string in = stdinFile ? stdinFile->string() : "/dev/null";
            if (!std::freopen(in.c_str(), "r", stdin) ||
                !std::freopen(outPath.c_str(), "w", stdout) ||
                !std::freopen(errPath.c_str(), "w", stderr)) {
                _exit(127);
            }
            if (threads) {
                setenv("ZELK_THREADS", threads, 1);
            } else {
                unsetenv("ZELK_THREADS");
            }
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(ZELK_CLI_PATH));
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(ZELK_CLI_PATH, argv.data());
            _exit(127);
        }
        CliResult result;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            result.status = WEXITSTATUS(status);
        }
        result.out = ReadBytes(outPath);
        result.err = ReadBytes(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return result;
    }

    // The convert button's output for the same file, made in this process.
    std::string ReferenceConversion(const std::string& input, const char* src, const char* tgt,
                                    double srcMeridian, double tgtMeridian, bool names,
                                    const SevenParams& params = {}) const {
        RecordingMessages messages;
        ConversionRequest request;
        request.from = named::System(src, srcMeridian);
        request.to = named::System(tgt, tgtMeridian);
        request.steps = {Transformation::Seven(params)};
        request.formats.withNames = names;
        request.input = PointInput{input};
        request.output = PointOutput{Path("reference.out")};
        EXPECT_EQ(RunRequest(request), ConvertOutcome::Done);
        const std::string bytes = ReadBytes(Path("reference.out"));
        fs::remove(Path("reference.out"));
        return bytes;
    }

    // Files left in the directory besides the given ones (temporaries).
    std::vector<std::string> Leftovers(const std::vector<std::string>& known) const {
        std::vector<std::string> extra;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            const std::string name = entry.path().filename().string();
            bool listed = false;
            for (const std::string& k : known) listed = listed || k == name;
            if (!listed) extra.push_back(name);
        }
        return extra;
    }

    fs::path m_dir;
};

void ExpectUsageError(const CliResult& r, const std::string& message) {
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("zelk-cli: " + message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: zelk-cli"), std::string::npos) << r.err;
}

void ExpectFailure(const CliResult& r, const std::string& message) {
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
}

// ------------------------------------------------------------------ point

TEST_F(CliTest, PointMatchesTheConversionChain) {
    // Beijing 1954 geodetic 40 N 120 E on meridian 117: about 4433921.0037
    // 756206.4162.
    const CliResult r = Run({"point", "--from", "beijing54-geodetic", "--to", "beijing54-gauss",
                             "--to-meridian", "117", "40", "120", "0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    double a = 40, b = 120, c = 0;
    named::Convert(kBeijing54Geodetic, 0, kBeijing54Gauss, 117, SevenParams{}, a, b, c);
    EXPECT_EQ(r.out, Triple(a, b, c));
    EXPECT_NEAR(a, 4433921.0037, 1e-3);
    EXPECT_NEAR(b, 756206.4162, 1e-3);

    // Every pair of systems, so that each name reaches its own system.
    const char* names[6] = {"wgs84-utm",          "wgs84-geodetic", "beijing54-gauss",
                            "beijing54-geodetic", "xian80-gauss",   "xian80-geodetic"};
    const double projected[3] = {4433921.004, 456206.416, 35.2};
    const double geodetic[3] = {40.0512, 116.5933, 35.2};
    const SevenParams params{-15.415, 149.4718, 83.3, 0.5, -1.25, 0.75, 3};
    for (int src = 0; src < 6; ++src) {
        for (int tgt = 0; tgt < 6; ++tgt) {
            const double* in = src % 2 == 0 ? projected : geodetic;
            const CliResult got = Run({"point", "--from", names[src], "--to", names[tgt],
                                       "--from-meridian", "117", "--to-meridian", "114.3",
                                       "--params", ParamsText(params), FormatGeneral(in[0], 17),
                                       FormatGeneral(in[1], 17), FormatGeneral(in[2], 17)});
            double x = in[0], y = in[1], z = in[2];
            named::Convert(names[src], 117, names[tgt], 114.3, params, x, y, z);
            EXPECT_EQ(got.status, 0) << got.err;
            EXPECT_EQ(got.out, PointLine(names[tgt], x, y, z)) << names[src] << " -> " << names[tgt];
        }
    }
}

TEST_F(CliTest, PointEdgeCases) {
    struct Case {
        std::vector<std::string> args;
        const char *src, *tgt;
        double srcMeridian, tgtMeridian;
        double a, b, c;
    };
    const Case cases[] = {
        // A geodetic source ignores its meridian.
        {{"--from", "xian80-geodetic", "--to", "xian80-gauss", "--from-meridian", "99",
          "--to-meridian", "111", "34.1530", "108.5445", "400"},
         kXian80Geodetic, kXian80Gauss, 99, 111, 34.1530, 108.5445, 400},
        // A change of zone: the same point on another meridian.
        {{"--from", "xian80-gauss", "--to", "xian80-gauss", "--from-meridian", "111",
          "--to-meridian", "114", "3780000", "720000", "12"},
         kXian80Gauss, kXian80Gauss, 111, 114, 3780000, 720000, 12},
        // Southern and western hemispheres, negative height, no "--" needed.
        {{"--from", "wgs84-geodetic", "--to", "wgs84-utm", "--to-meridian", "-45", "-12.30",
          "-45.1530", "-10"},
         kWgs84Geodetic, kWgs84Utm, 0, -45, -12.30, -45.1530, -10},
        // A zero point is converted too (only the dialog skips it).
        {{"--from", "beijing54-geodetic", "--to", "wgs84-geodetic", "0", "0", "0"},
         kBeijing54Geodetic, kWgs84Geodetic, 0, 0, 0, 0, 0},
        // A projected source with the meridian left out uses 0.
        {{"--from", "wgs84-utm", "--to", "wgs84-geodetic", "--", "-1000", "500000", "1e2"},
         kWgs84Utm, kWgs84Geodetic, 0, 0, -1000, 500000, 100},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"point"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = Run(args);
        double a = c.a, b = c.b, z = c.c;
        named::Convert(c.src, c.srcMeridian, c.tgt, c.tgtMeridian, SevenParams{}, a, b, z);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, PointLine(c.tgt, a, b, z)) << args[2] << " -> " << args[4];
    }
}

// UTM zones by number: the southern false northing, the same numbers as the
// zone's EPSG code, and PROJ's (echo B L 10 | cs2cs -d 4 EPSG:4326
// EPSG:32750, 32718, 32650); mistakes refused naming the option.
TEST_F(CliTest, PointInUtmZones) {
    const struct {
        const char *zone, *code, *b, *l;
        double latitude, x, y;
    } cases[] = {
        {"50S", "EPSG:32750", "-33.9", "116.3", -33.9, 6248711.2225, 435280.2527},
        {"18s", "EPSG:32718", "-12.05", "-77.04", -12.05, 8667091.8511, 277925.3458},
        {"50N", "EPSG:32650", "39.9", "116.3", 39.9, 4416892.7725, 440160.8727},
    };
    for (const auto& c : cases) {
        const CliResult byZone = Run({"point", "--from", "wgs84-geodetic", "--from-angles", "degrees", "--to",
                                      "wgs84-utm", "--to-utm-zone", c.zone, "--", c.b, c.l, "10"});
        const CliResult byCode = Run({"point", "--from", "wgs84-geodetic", "--from-angles", "degrees", "--to",
                                      c.code, "--", c.b, c.l, "10"});
        ASSERT_EQ(byZone.status, 0) << byZone.err;
        EXPECT_EQ(byZone.out, byCode.out) << c.zone;
        std::istringstream in(byZone.out);
        in.imbue(std::locale::classic());
        double x = 0, y = 0;
        in >> x >> y;
        EXPECT_NEAR(x, c.x, 2e-4) << c.zone;
        EXPECT_NEAR(y, c.y, 2e-4) << c.zone;
        // And back from the zone.
        const CliResult back = Run({"point", "--from", "wgs84-utm", "--from-utm-zone", c.zone, "--to",
                                    "wgs84-geodetic", "--to-angles", "degrees", "--", FormatGeneral(x, 17),
                                    FormatGeneral(y, 17), "10"});
        std::istringstream latitude(back.out);
        latitude.imbue(std::locale::classic());
        double b = 0;
        latitude >> b;
        EXPECT_NEAR(b, c.latitude, 2e-9) << back.out << back.err;  // 0.2 mm
    }
    const std::vector<std::string> geodetic = {"point", "--from", "wgs84-geodetic", "--to"};
    const auto with = [&](std::vector<std::string> tail) {
        std::vector<std::string> args = geodetic;
        args.insert(args.end(), tail.begin(), tail.end());
        args.insert(args.end(), {"30", "117", "0"});
        return args;
    };
    ExpectUsageError(Run(with({"wgs84-utm", "--to-utm-zone", "61S"})),
                     "option --to-utm-zone: '61S' is not a UTM zone (1 to 60 and N or S, as 50S)");
    ExpectUsageError(Run(with({"cgcs2000-gauss", "--to-utm-zone", "50N"})),
                     "option --to-utm-zone: cgcs2000-gauss is not UTM");
    ExpectUsageError(Run(with({"wgs84-utm", "--to-utm-zone", "50N", "--to-meridian", "117"})),
                     "options --to-meridian and --to-utm-zone exclude each other");
    ExpectUsageError(Run(with({"EPSG:32750", "--to-utm-zone", "50S"})),
                     "option --to-utm-zone: EPSG:32750 has its own meridian or zone");
}

// ------------------------------------------------------------------ convert

TEST_F(CliTest, ConvertIsByteIdenticalToTheConvertButton) {
    const std::string named = File("named.txt", kNamedGaussPoints);
    const std::string plain = File("plain.txt", kGaussPoints);
    const std::string geodetic = File("geodetic.txt", kGeodeticPoints);
    // UTM on 117 takes points within 6 degrees of it only.
    const std::string nearby = File("nearby.txt", kGeodeticPoints.substr(0, kGeodeticPoints.find("-12")));
    const SevenParams params{-15.415, 149.4718, 83.3, 0.5, -1.25, 0.75, 3};
    struct Case {
        std::string input;
        std::vector<std::string> options;
        const char *src, *tgt;
        double srcMeridian, tgtMeridian;
        bool names;
        SevenParams params;
    };
    const Case cases[] = {
        {named, {"--from", "beijing54-gauss", "--from-meridian", "117", "--to", "wgs84-geodetic",
                 "--names", "--params", ParamsText(params)},
         kBeijing54Gauss, kWgs84Geodetic, 117, 0, true, params},
        {plain, {"--from", "beijing54-gauss", "--from-meridian", "117", "--to", "xian80-gauss",
                 "--to-meridian", "115"},
         kBeijing54Gauss, kXian80Gauss, 117, 115, false, SevenParams{}},
        {nearby, {"--from", "wgs84-geodetic", "--to", "wgs84-utm", "--to-meridian", "117",
                    "--params", ParamsText(params)},
         kWgs84Geodetic, kWgs84Utm, 0, 117, false, params},
        {geodetic, {"--from", "wgs84-geodetic", "--to", "beijing54-geodetic"},
         kWgs84Geodetic, kBeijing54Geodetic, 0, 0, false, SevenParams{}},
    };
    for (const Case& c : cases) {
        const std::string expected =
            ReferenceConversion(c.input, c.src, c.tgt, c.srcMeridian, c.tgtMeridian, c.names, c.params);
        ASSERT_FALSE(expected.empty());
        std::vector<std::string> args = {"convert"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.input);
        args.push_back(Path("out.txt").string());
        const CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string("zelk-cli: ") + kConversionDoneText + "\n");
        EXPECT_EQ(ReadBytes(Path("out.txt")), expected) << c.input;
    }
    // The names come back byte for byte.
    const CliResult r = Run({"convert", "--from", "beijing54-gauss", "--to", "beijing54-gauss",
                             "--names", named, "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("P1 ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\n\xB5\xE3\xBA\xC5" "2 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nN234567890123456789012345678901 "), std::string::npos) << r.out;
}

TEST_F(CliTest, ConvertThroughStandardInputAndOutput) {
    const std::string input = File("in.txt", kNamedGaussPoints);
    const std::vector<std::string> options = {"--from", "beijing54-gauss", "--from-meridian", "117",
                                              "--to", "beijing54-geodetic", "--names"};
    const std::string expected =
        ReferenceConversion(input, kBeijing54Gauss, kBeijing54Geodetic, 117, 0, true);
    const std::string done = std::string("zelk-cli: ") + kConversionDoneText + "\n";

    auto with = [&](std::vector<std::string> tail) {
        std::vector<std::string> args = {"convert"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    CliResult r = Run(with({"-", "-"}), Path("in.txt"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, done);

    r = Run(with({input, "-"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);

    r = Run(with({"-", Path("out.txt").string()}), Path("in.txt"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadBytes(Path("out.txt")), expected);

    // An empty input gives an empty output and the completion message.
    WriteBytes(Path("empty.txt"), " \r\n\n");
    r = Run(with({"-", "-"}), Path("empty.txt"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, done);
}

TEST_F(CliTest, ConvertGivesTheSameBytesWithAnyNumberOfThreads) {
    std::string big;
    for (int i = 0; i < 20000; ++i) {
        big += "p" + std::to_string(i) + " " + FormatFixed(4400000.0 + i * 3.217, 3) + " " +
               FormatFixed(480000.0 + (i % 997) * 41.5, 3) + " " + FormatFixed(i % 300 - 20.25, 2) +
               "\n";
    }
    const std::string input = File("big.txt", big);
    const std::string expected =
        ReferenceConversion(input, kBeijing54Gauss, kWgs84Geodetic, 117, 0, true);
    const std::vector<std::string> args = {"convert", "--from", "beijing54-gauss", "--from-meridian",
                                           "117", "--to", "wgs84-geodetic", "--names", input, "-"};
    for (const char* threads : {"0", "1", "2", "3"}) {
        const CliResult r = Run(args, std::nullopt, threads);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out == expected) << "ZELK_THREADS=" << threads;
        // Standard error is not a terminal here: no progress line.
        EXPECT_EQ(r.err.find('\r'), std::string::npos);
    }
    // --jobs wins over the environment, which is then not even read.
    std::vector<std::string> jobs = args;
    jobs.insert(jobs.begin() + 1, {"--jobs", "2"});
    for (const char* threads : {"1", "rubbish"}) {
        const CliResult r = Run(jobs, std::nullopt, threads);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(r.out == expected) << "ZELK_THREADS=" << threads;
    }
}

TEST_F(CliTest, FailedConvertLeavesTheOutputUntouched) {
    const std::string output = File("out.txt", "precious earlier result\n");
    const std::string bad = File("bad.txt", "1 2 3\n4 5 6\n7 8x 9\n");
    const std::vector<std::string> options = {"convert", "--from", "xian80-gauss", "--to",
                                              "xian80-geodetic"};
    auto with = [&](const std::string& in, const std::string& out) {
        std::vector<std::string> args = options;
        args.push_back(in);
        args.push_back(out);
        return args;
    };

    // An unreadable token part-way: the message says where, nothing is written.
    CliResult r = Run(with(bad, output));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("8x"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find('3'), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(output), "precious earlier result\n");

    // The same through standard input into the file, or into standard
    // output: the same message.
    const std::string message = r.err;
    r = Run(with("-", output), Path("bad.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(ReadBytes(output), "precious earlier result\n");
    r = Run(with("-", "-"), Path("bad.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, message);

    // A point cut short at the end.
    File("short.txt", "1 2 3\n4 5\n");
    r = Run(with(Path("short.txt").string(), output));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadBytes(output), "precious earlier result\n");

    // An input that cannot be opened.
    r = Run(with(Path("missing.txt").string(), output));
    ExpectFailure(r, std::string("zelk-cli: ") + kInputOpenText + "\n");
    EXPECT_EQ(ReadBytes(output), "precious earlier result\n");

    EXPECT_EQ(Leftovers({"out.txt", "bad.txt", "short.txt"}), std::vector<std::string>{});
}

TEST_F(CliTest, ConvertOpenFailures) {
    const std::string input = File("in.txt", kGaussPoints);
    const std::vector<std::string> options = {"convert", "--from", "xian80-gauss", "--to",
                                              "xian80-geodetic"};
    auto with = [&](const std::string& in, const std::string& out) {
        std::vector<std::string> args = options;
        args.push_back(in);
        args.push_back(out);
        return args;
    };
    const std::string inputError = std::string("zelk-cli: ") + kInputOpenText + "\n";
    const std::string outputError = std::string("zelk-cli: ") + kOutputOpenText + "\n";
    ExpectFailure(Run(with(Path("missing.txt").string(), Path("out.txt").string())), inputError);
    ExpectFailure(Run(with(Path("missing.txt").string(), "-")), inputError);
    ExpectFailure(Run(with(input, Path("no/such/dir/out.txt").string())), outputError);
    ExpectFailure(Run(with("-", Path("no/such/dir/out.txt").string()), Path("in.txt")), outputError);
    EXPECT_FALSE(fs::exists(Path("out.txt")));
}

#if ZELK_HAVE_GIS
// The GIS, CAD and spreadsheet formats through zelk-cli: written whole and
// read back as written; a damaged input refused with its file's name, exit
// status 1 and nothing written; what the formats cannot do refused as a
// mistake on the command line.
TEST_F(CliTest, GisFormats) {
    std::string text = "点名,纬度,经度,高程\n";
    for (int i = 0; i < 3000; ++i) {
        text += "测点" + std::to_string(i + 1) + "," + FormatFixed(39.9 + i * 1e-5, 9) + "," +
                FormatFixed(116.4 + i * 2e-5, 9) + "," + FormatFixed(40 + i * 0.01, 3) + "\n";
    }
    const std::string csv = File("rtk.csv", text);
    auto convert = [&](std::vector<std::string> tail) {
        std::vector<std::string> args = {"convert", "--from", "cgcs2000-geodetic", "--to",
                                         "cgcs2000-gauss", "--to-meridian", "117"};
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    // Plane points back from each format give the csv's bytes.
    CliResult r = Run(convert({"--from-format", "csv", "--from-angles", "degrees", "--to-format", "csv",
                               csv, Path("direct.csv").string()}));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string format : {"shp", "gpkg", "dxf", "xlsx"}) {
        SCOPED_TRACE(format);
        const std::string file = Path("rtk." + format).string();
        r = Run(convert({"--from-format", "csv", "--from-angles", "degrees", "--to-format", format, csv, file}));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, std::string("zelk-cli: ") + kConversionDoneText + "\n");
        r = Run({"convert", "--from", "cgcs2000-gauss", "--from-meridian", "117", "--to", "cgcs2000-gauss",
                 "--to-meridian", "117", "--from-format", format, "--to-format", "csv", file,
                 Path("back.csv").string()});
        EXPECT_EQ(r.status, 0) << r.err;
        // Names as they were, values within 1 mm (a layer keeps every digit,
        // and the plane-to-plane conversion back moves them by 0.1 mm).
        std::istringstream back(ReadBytes(Path("back.csv"))), direct(ReadBytes(Path("direct.csv")));
        std::string got, want;
        int lines = 0;
        while (std::getline(direct, want)) {
            ASSERT_TRUE(std::getline(back, got)) << "line " << lines + 1;
            const std::size_t comma = want.find(',');
            ASSERT_EQ(got.substr(0, comma + 1), want.substr(0, comma + 1));
            if (lines++ == 0) continue;  // the header
            std::istringstream a(got.substr(comma + 1)), b(want.substr(comma + 1));
            for (std::string u, v; std::getline(a, u, ',') && std::getline(b, v, ',');) {
                EXPECT_NEAR(*ParseDecimal(u), *ParseDecimal(v), 0.0011) << got;
            }
        }
        EXPECT_EQ(lines, 3001);
        EXPECT_FALSE(std::getline(back, got)) << got;
    }

    struct Bad {
        const char* what;
        const char* format;
        const char* file;
        void (*make)(const fs::path& dir);
        const char* says;
    };
    const Bad bad[] = {
        {"Shapefile without its .shx", "shp", "rtk.shp",
         [](const fs::path& d) { fs::remove(d / "rtk.shx"); }, "缺少形状索引文件"},
        {"truncated GeoPackage", "gpkg", "rtk.gpkg",
         [](const fs::path& d) { fs::resize_file(d / "rtk.gpkg", fs::file_size(d / "rtk.gpkg") / 2); },
         "GeoPackage"},
        {"XLSX that is not a zip", "xlsx", "text.xlsx",
         [](const fs::path& d) { WriteBytes(d / "text.xlsx", "点名,x,y,H\nP1,1,2,3\n"); },
         "不是可以读取的XLSX文件"},
        {"DXF without points", "dxf", "line.dxf",
         [](const fs::path& d) {
             WriteBytes(d / "line.dxf", "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n"
                                            "11\n1\n21\n1\n0\nENDSEC\n0\nEOF\n");
         },
         "里没有点"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        b.make(m_dir);
        const std::string file = Path(b.file).string();
        r = Run({"convert", "--from", "cgcs2000-gauss", "--from-meridian", "117", "--to", "cgcs2000-geodetic",
                 "--from-format", b.format, "--to-format", "geojson", file, Path("out.geojson").string()});
        EXPECT_EQ(r.status, 1) << r.err;
        // Ours first, naming the file; GDAL's text may follow.
        const std::size_t named = r.err.find("“" + file + "”");
        EXPECT_NE(named, std::string::npos) << r.err;
        EXPECT_LT(named, r.err.find("GDAL")) << r.err;
        EXPECT_NE(r.err.find(b.says), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(Path("out.geojson")));
    }
    EXPECT_EQ(Leftovers({"rtk.csv", "direct.csv", "back.csv", "rtk.shp", "rtk.dbf", "rtk.prj", "rtk.cpg",
                         "rtk.gpkg", "rtk.dxf", "rtk.xlsx", "text.xlsx", "line.dxf"}),
              std::vector<std::string>{});

    const std::string shp = Path("rtk.shp").string();
    const std::pair<std::vector<std::string>, std::string> usage[] = {
        {convert({"--to-format", "geojson", csv, Path("x.geojson").string()}),
         "option --to-format: GeoJSON (RFC 7946) holds WGS84 longitude and latitude only"},
        {convert({"--to-format", "shapefile", csv, shp}), "option --to-format: 'shapefile' is not a file format"},
        {convert({"--from-format", "gpkg", "--from-angles", "dms", shp, shp}),
         "option --from-angles: gpkg files hold B and L in decimal degrees"},
        {convert({"--to-format", "xlsx", "--to-angles", "packed", csv, shp}),
         "option --to-angles: xlsx files hold B and L in decimal degrees"},
        {convert({"--layer", "points", csv, shp}), "option --layer: only for an INPUT in xlsx"},
        {convert({"--to-format", "dxf", csv, "-"}), "OUTPUT: dxf files cannot be written to standard output"},
        {convert({"--from-format", "xlsx", "-", shp}), "INPUT: xlsx files cannot be read from standard input"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", "--format", "shp", csv, csv},
         "option --format: 'shp' is not a file format (plain, dat, csv)"},
    };
    for (const auto& [args, message] : usage) {
        SCOPED_TRACE(message);
        ExpectUsageError(Run(args), message);
    }
}
#endif

// ------------------------------------------------------------------ estimate

class CliEstimateTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        // Common points over a field a few kilometres across: Beijing 1954
        // Gauss-Kruger on meridian 117 before, WGS84 geodetic after.
        const SevenParams truth{-15.415, 149.4718, 83.3, 0.5, -1.25, 0.75, 3};
        std::string before, after;
        for (int i = 0; i < 9; ++i) {
            double x = 4433000.0 + (i % 3) * 1500.25 + i * 7.5;
            double y = 456000.0 + (i / 3) * 1800.5 - i * 3.25;
            double h = 30.0 + i * 4.125;
            before += FormatFixed(x, 3) + " " + FormatFixed(y, 3) + " " + FormatFixed(h, 3) + "\n";
            x = *ParseDecimal(FormatFixed(x, 3));
            y = *ParseDecimal(FormatFixed(y, 3));
            h = *ParseDecimal(FormatFixed(h, 3));
            named::Convert(kBeijing54Gauss, 117, kWgs84Geodetic, 0, truth, x, y, h);
            after += FormatGeneral(x, 17) + " " + FormatGeneral(y, 17) + " " + FormatGeneral(h, 17) +
                     "\n";
        }
        m_before = File("before.txt", before);
        m_after = File("after.txt", after);
    }

    std::string m_before, m_after;
};

TEST_F(CliEstimateTest, PrintsTheReportAndTheParameters) {
    const EstimationRun run = RunEstimation(BeijingToWgs84(m_before, m_after));
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
    const SevenParams& values = run.estimate.calibration.seven;
    std::string expected = run.message.text + "\n";
    expected += "dX0 = " + FormatGeneral(values.dX0, 15) + "\n";
    expected += "dY0 = " + FormatGeneral(values.dY0, 15) + "\n";
    expected += "dZ0 = " + FormatGeneral(values.dZ0, 15) + "\n";
    expected += "K = " + FormatGeneral(values.K, 15) + "\n";
    expected += "betaX = " + FormatGeneral(values.betaX, 15) + "\n";
    expected += "betaY = " + FormatGeneral(values.betaY, 15) + "\n";
    expected += "betaZ = " + FormatGeneral(values.betaZ, 15) + "\n";

    const CliResult r = Run({"estimate", "--before", "beijing54-gauss", "--before-meridian", "117",
                             "--after", "wgs84-geodetic", m_before, m_after});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.out.rfind("叠带进行了", 0), 0u);
}

TEST_F(CliTest, ResidualsMarkABlunder) {
    // Twenty common points over a field about 8 km across; pair 7 of the
    // after file is 0.8 m off in height, the rest agree to the millimetre.
    const SevenParams truth{-48.3, 61.9, 27.4, 3.7, 2.1, -1.6, 4.4};
    std::string before, after;
    for (int i = 0; i < 20; ++i) {
        double x = 4430000.0 + (i % 5) * 2000.0 + (i * 37) % 500;
        double y = 500000.0 + (i / 5) * 2500.0 - (i * 53) % 700;
        double h = 40.0 + (i * 13) % 90;
        before += FormatFixed(x, 3) + " " + FormatFixed(y, 3) + " " + FormatFixed(h, 3) + "\n";
        named::Convert(kBeijing54Gauss, 117, kXian80Gauss, 117, truth, x, y, h);
        const double noise = ((i * 7) % 5 - 2) * 0.001;
        if (i == 6) h += 0.8;
        after += FormatFixed(x + noise, 4) + " " + FormatFixed(y - noise, 4) + " " +
                 FormatFixed(h + noise, 4) + "\n";
    }
    const std::string beforeFile = File("before.txt", before), afterFile = File("after.txt", after);
    const std::vector<std::string> args = {"estimate", "--before", "beijing54-gauss", "--before-meridian",
                                           "117", "--after", "xian80-gauss", "--after-meridian", "117",
                                           beforeFile, afterFile};
    const CliResult plain = Run(args);
    std::vector<std::string> withResiduals = args;
    withResiduals.insert(withResiduals.begin() + 1, "--residuals");
    const CliResult r = Run(withResiduals);
    ASSERT_EQ(r.status, 0) << r.err;

    // The table comes right after the two report lines; the rest is unchanged.
    const std::size_t tableStart = r.out.find("pair ");
    ASSERT_NE(tableStart, std::string::npos) << r.out;
    const std::size_t tableEnd = r.out.find("dX0 = ");
    ASSERT_NE(tableEnd, std::string::npos);
    EXPECT_EQ(r.out.substr(0, tableStart) + r.out.substr(tableEnd), plain.out);
    std::vector<std::string> lines;
    std::string table = r.out.substr(tableStart, tableEnd - tableStart);
    for (std::size_t at = 0; at < table.size();) {
        const std::size_t end = table.find('\n', at);
        lines.push_back(table.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 22u);  // heading, 20 pairs, footnote
    for (int i = 1; i <= 20; ++i) {
        const std::string& line = lines[i];
        EXPECT_EQ(std::stoi(line.substr(0, 4)), i);
        EXPECT_EQ(line.size() >= 2 && line.substr(line.size() - 2) == " *", i == 7) << line;
    }
    EXPECT_NE(lines[21].find(": 1 pair"), std::string::npos) << lines[21];
}

TEST_F(CliTest, ResidualsOfThreePairsAreNotTested) {
    // Three pairs leave no redundancy once one is left out: no column, no mark.
    const std::string points = "4430000 500000 40\n4432000 501000 50\n4431000 503000 60\n";
    const std::string file = File("three.txt", points);
    const CliResult r = Run({"estimate", "--residuals", "--before", "beijing54-gauss",
                             "--before-meridian", "117", "--after", "xian80-gauss",
                             "--after-meridian", "117", file, file});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("粗差检验（逐对剔除，显著水平1%）：公共点少于4对，不做粗差检验。\n"),
              std::string::npos)
        << r.out;
    for (const char* pair : {"\n   1 ", "\n   2 ", "\n   3 "}) {
        const std::size_t at = r.out.find(pair);
        ASSERT_NE(at, std::string::npos) << r.out;
        const std::string line = r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
        EXPECT_EQ(line.back(), '-') << line;
    }
    EXPECT_NE(r.out.find("\nleft out: not computed, the leave-one-out test needs at least 4 pairs; "
                         "no pair marked\n"),
              std::string::npos)
        << r.out;
}

TEST_F(CliTest, ResidualsOfNamedFilesNameTheirPairs) {
    // dat files carry names: a column after the pair number, as wide as the
    // longest name on a terminal (a Chinese character takes two columns);
    // the line still starts with the number.
    const std::string before = File("b.dat",
                                    "K1,,500000,4430000,40\n控制点二,,501000,4432000,50\n"
                                    "K3,,503000,4431000,60\nK4,,502000,4433000,55\n");
    const CliResult r = Run({"estimate", "--residuals", "--format", "dat", "--before", "beijing54-gauss",
                             "--before-meridian", "117", "--after", "xian80-gauss", "--after-meridian", "117",
                             before, before});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\npair  name          rX (m)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n   1  K1          "), std::string::npos) << r.out;  // width 8, then a column
    EXPECT_NE(r.out.find("\n   2  控制点二    "), std::string::npos) << r.out;
}

TEST_F(CliEstimateTest, SavedParametersReproduceTypedOnes) {
    const CliResult estimated =
        Run({"estimate", "--before", "beijing54-gauss", "--before-meridian", "117", "--after",
             "wgs84-geodetic", "--save", Path("params.txt").string(), m_before, m_after});
    ASSERT_EQ(estimated.status, 0) << estimated.err;

    // The in-process estimate, to the last bit, is what the file holds.
    const EstimationRun run = RunEstimation(BeijingToWgs84(m_before, m_after));
    ASSERT_EQ(run.outcome, EstimationOutcome::Estimated);
    const SevenParams params = run.estimate.calibration.seven;
    const std::string saved = ReadBytes(Path("params.txt"));
    EXPECT_NE(saved.find("\ndX0 = "), std::string::npos) << saved;
    EXPECT_NE(saved.find("# "), std::string::npos) << saved;

    // Convert with the saved file and with the same values typed in.
    const std::string input = File("points.txt", kGaussPoints);
    const std::vector<std::string> common = {"convert", "--from", "beijing54-gauss",
                                             "--from-meridian", "117", "--to", "wgs84-geodetic"};
    std::vector<std::string> fromFile = common;
    fromFile.insert(fromFile.end(), {"--params", "@" + Path("params.txt").string(), input, "-"});
    std::vector<std::string> typed = common;
    typed.insert(typed.end(), {"--params", ParamsText(params), input, "-"});
    const CliResult a = Run(fromFile);
    const CliResult b = Run(typed);
    EXPECT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.out, ReferenceConversion(input, kBeijing54Gauss, kWgs84Geodetic, 117, 0,
                                         false, params));

    // The single point shows 15 digits of metres, so a bit lost would show
    // there (B and L of a geodetic target show 0.00001", too few).
    const std::vector<std::string> point = {"point", "--from", "beijing54-gauss", "--from-meridian",
                                            "117", "--to", "wgs84-xyz", "--params"};
    std::vector<std::string> p1 = point, p2 = point;
    p1.insert(p1.end(), {"@" + Path("params.txt").string(), "4433921.004", "456206.416", "35.2"});
    p2.insert(p2.end(), {ParamsText(params), "4433921.004", "456206.416", "35.2"});
    double x = 4433921.004, y = 456206.416, h = 35.2;
    named::Convert(kBeijing54Gauss, 117, "wgs84-xyz", 0, params, x, y, h);
    EXPECT_EQ(Run(p1).out, Triple(x, y, h));
    EXPECT_EQ(Run(p2).out, Triple(x, y, h));
}

TEST_F(CliEstimateTest, DataErrors) {
    const std::vector<std::string> head = {"estimate", "--before", "beijing54-gauss", "--after",
                                           "wgs84-geodetic"};
    auto with = [&](std::vector<std::string> tail) {
        std::vector<std::string> args = head;
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    CliResult r = Run(with({Path("missing.txt").string(), m_after}));
    ExpectFailure(r, std::string("zelk-cli: ") + kBeforeOpenText + "\n");
    EXPECT_EQ(r.out, "");
    r = Run(with({m_before, Path("missing.txt").string()}));
    ExpectFailure(r, std::string("zelk-cli: ") + kAfterOpenText + "\n");
    EXPECT_EQ(r.out, "");

    // Two pairs are not enough.
    File("two-before.txt", "4433000 456000 30\n4434000 457000 31\n");
    File("two-after.txt", "40 116 30\n40.01 116.01 31\n");
    r = Run(with({Path("two-before.txt").string(), Path("two-after.txt").string()}));
    ExpectFailure(r, std::string("zelk-cli: ") + kTooFewCommonPoints + "\n");
    EXPECT_EQ(r.out, "");

    // An unreadable token names its place; nothing is saved.
    File("bad-after.txt", "40 116 30\n40.01 116.01 31x\n");
    r = Run(with({"--save", Path("p.txt").string(), m_before, Path("bad-after.txt").string()}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("31x"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(Path("p.txt")));

    // A --save that cannot be written: the estimate is still printed.
    r = Run(with({"--save", Path("no/dir/p.txt").string(), m_before, m_after}));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("dX0 = "), std::string::npos);
    EXPECT_NE(r.err.find("cannot write the parameters file"), std::string::npos) << r.err;
}

// ------------------------------------------------------------------ mistakes

TEST_F(CliTest, UsageErrors) {
    const std::string in = File("in.txt", kGaussPoints);
    const std::vector<std::string> point = {"point", "--from", "wgs84-utm", "--to", "wgs84-geodetic"};
    auto pointWith = [&](std::vector<std::string> tail) {
        std::vector<std::string> args = point;
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    struct Case {
        std::vector<std::string> args;
        std::string message;
        const char* threads = nullptr;
    };
    const Case cases[] = {
        {{}, "a command is needed"},
        {{"pont"}, "unknown command 'pont'"},
        {{"--verbose"}, "unknown option '--verbose'"},
        {{"help", "pont"}, "unknown command 'pont'"},
        {{"systems", "extra"}, "systems takes no arguments"},
        {{"point", "--to", "wgs84-utm", "1", "2", "3"}, "option --from is required"},
        {{"point", "--from", "wgs84-utm", "1", "2", "3"}, "option --to is required"},
        {{"point", "--from", "wgs84", "--to", "wgs84-utm", "1", "2", "3"},
         "option --from: unknown coordinate system 'wgs84'"},
        {pointWith({"--to-meridian", "12x", "1", "2", "3"}), "option --to-meridian: '12x' is not a number"},
        {pointWith({"--from-meridian=", "1", "2", "3"}), "option --from-meridian: empty value"},
        {pointWith({"1", "2", "3", "--from-meridian"}), "option --from-meridian needs a value"},
        {pointWith({"--to", "wgs84-utm", "1", "2", "3"}), "option --to is given more than once"},
        {pointWith({"--names", "1", "2", "3"}), "unknown option '--names'"},
        {pointWith({"1", "2"}), "missing arguments: three coordinates A B C expected"},
        {pointWith({"1", "2", "3", "4"}), "too many arguments: three coordinates A B C expected"},
        {pointWith({"1", "2,5", "3"}), "coordinate B: '2,5' is not a number"},
        {pointWith({"1", "2", ""}), "coordinate C: empty value"},
        {pointWith({"--params", "1,2,3,4,5,6", "1", "2", "3"}),
         "option --params: seven comma-separated numbers (dX0,dY0,dZ0,K,betaX,betaY,betaZ) or three "
         "(dX0,dY0,dZ0) are needed, not 6"},
        {pointWith({"--params", "1,2,3", "--params", "1,2", "1", "2", "3"}),
         "option --params (step 2): seven comma-separated numbers"},
        {pointWith({"--params", "1,2,3", "--convention", "position-vector", "1", "2", "3"}),
         "option --convention: it applies to typed seven parameters, and --params gives none"},
        {pointWith({"--save-chain", "", "1", "2", "3"}), "option --save-chain: a file name is needed"},
        {pointWith({"--params", "1,2,3,4,5,6,7e", "1", "2", "3"}),
         "option --params (betaZ): '7e' is not a number"},
        {pointWith({"--params", "@", "1", "2", "3"}), "option --params: a file name is needed after @"},
        {{"convert", "--from", "wgs84-utm", "--to", "wgs84-utm", in},
         "missing arguments: INPUT and OUTPUT expected"},
        {{"convert", "--from", "wgs84-utm", "--to", "wgs84-utm", "--names=yes", in, "-"},
         "option --names takes no value"},
        {{"convert", "--from", "wgs84-utm", "--to", "wgs84-utm", "--jobs", "-1", in, "-"},
         "option --jobs: '-1' is not a number of threads"},
        {{"convert", "--from", "wgs84-utm", "--to", "wgs84-utm", in, ""}, "OUTPUT is an empty file name"},
        {{"convert", "--from", "wgs84-utm", "--to", "wgs84-utm", in, "-"},
         "environment variable ZELK_THREADS: 'two' is not a number of threads", "two"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", in},
         "missing arguments: BEFORE and AFTER (or --pairs FILE) expected"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", "--pairs", in, in},
         "too many arguments: with --pairs FILE, which holds both sides, BEFORE and AFTER are not given"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", "--pairs", in, "--format", "dat"},
         "option --format: a pair file is plain or csv, not dat"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", "--model", "six", in, in},
         "option --model: 'six' is not a model (seven, three, four)"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", "--model", "three",
          "--convention", "position-vector", in, in},
         "option --convention: three parameters have no rotation convention"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", "--after-meridian",
          "1..2", in, in},
         "option --after-meridian: '1..2' is not a number"},
        {{"estimate", "--before", "wgs84-utm", "--after", "xian80-gauss", "--save", "", in, in},
         "option --save: a file name is needed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ExpectUsageError(Run(c.args, std::nullopt, c.threads), c.message);
    }
    // A usage error in convert touches no file.
    EXPECT_EQ(Leftovers({"in.txt"}), std::vector<std::string>{});
}

TEST_F(CliTest, ParamsFileErrorsAreDataErrors) {
    const std::vector<std::string> head = {"point", "--from", "wgs84-utm", "--to", "wgs84-geodetic",
                                           "--params"};
    auto with = [&](const std::string& params) {
        std::vector<std::string> args = head;
        args.insert(args.end(), {params, "4433921", "456206", "0"});
        return args;
    };
    CliResult r = Run(with("@" + Path("missing.txt").string()));
    ExpectFailure(r, "missing.txt: cannot open the parameters file");
    EXPECT_EQ(r.out, "");
    File("bad.txt", "# parameters\ndX0 = 1\ndY0 = 2\ndZ0 = 3\nK = 4\nbetaX = 5\nbetaY = six\n");
    r = Run(with("@" + Path("bad.txt").string()));
    ExpectFailure(r, "bad.txt:7: the value of betaY, 'six', is not a number");
    EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, HelpVersionAndSystems) {
    CliResult r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: zelk-cli systems"), std::string::npos);
    EXPECT_NE(r.out.find("ZELK_THREADS"), std::string::npos);
    EXPECT_EQ(r.err, "");
    for (const char* command : {"systems", "point", "convert", "estimate"}) {
        r = Run({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("usage: zelk-cli ") + command, 0), 0u) << r.out;
        EXPECT_EQ(Run({"help", command}).out, r.out);
    }
    // --help wins over anything else on the line.
    EXPECT_EQ(Run({"convert", "--from", "nonsense", "--help"}).status, 0);

    r = Run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("zelk-cli ") + ZELK_EXPECTED_VERSION + "\n");

    r = Run({"systems"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("beijing54-gauss     projected  北京54-高斯-xyH   北京54高斯投影xyH       "
                         "2401-2442, 21413-21423, 21453-21463\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("xian80-geodetic     geodetic   西安80-大地坐标   西安80大地坐标BLH       4610\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("xian80-xyz          geocentric 西安80-地心-XYZ   西安80地心坐标XYZ\n"), std::string::npos)
        << r.out;
    r = Run({"systems", "--epsg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nEPSG:32750  wgs84-utm, central meridian 117, false northing 10000000  "
                         "WGS 84 / UTM zone 50S\n"),
              std::string::npos)
        << r.out;
}

// A system of one's own from its file, and by EPSG code: a calibration
// made in it still converts when the system file has gone.
TEST_F(CliTest, SystemFilesAndEpsgCodes) {
    const std::string city = File("city.crs",
                                  "name = 某市2000独立坐标系\ndatum = cgcs2000\nform = gauss\nmeridian = 114.20\n"
                                  "plane-height = 350   # H0\nplane-latitude = 30.30\nplane-origin = 3380000,500000\n");
    const auto point = [&](const std::string& from, const std::string& to, const std::string& a,
                           const std::string& b, const std::string& c) {
        const CliResult r = Run({"point", "--from", from, "--to", to, a, b, c});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    // Two common points on the city grid, one on the local grid 1000 m
    // north and 2000 m east of each (a pure shift).
    const std::string a = point("cgcs2000-geodetic", "@" + city, "30.3012", "114.1855", "10");
    const std::string b = point("cgcs2000-geodetic", "@" + city, "30.2850", "114.2210", "12");
    std::istringstream inA(a), inB(b);
    double ax, ay, ah, bx, by, bh;
    inA >> ax >> ay >> ah;
    inB >> bx >> by >> bh;
    const std::string before = File("before.txt", Triple(ax, ay, ah) + Triple(bx, by, bh));
    const std::string after = File("after.txt", Triple(ax + 1000, ay + 2000, ah) + Triple(bx + 1000, by + 2000, bh));
    CliResult r = Run({"estimate", "--model", "four", "--before", "@" + city, "--after", "local", "--save",
                       Path("site.params").string(), before, after});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string saved = ReadBytes(Path("site.params"));
    EXPECT_NE(saved.find("\nbefore-name = 某市2000独立坐标系\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\nbefore-plane-height = 350\n"), std::string::npos) << saved;
    fs::remove(city);

    // From geodetic straight onto the local grid, through the city plane the
    // file defines: the common point lands 1000 m north, 2000 m east.
    r = Run({"point", "--from", "cgcs2000-geodetic", "--to", "local", "--params", "@" + Path("site.params").string(),
             "30.3012", "114.1855", "10"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream local(r.out);
    double lx, ly, lh;
    local >> lx >> ly >> lh;
    EXPECT_NEAR(lx, ax + 1000, 1e-6);
    EXPECT_NEAR(ly, ay + 2000, 1e-6);

    // By code: EPSG:32750 is UTM south (the issue's reference value).
    r = Run({"point", "--from", "wgs84-geodetic", "--from-angles", "degrees", "--to", "EPSG:32750", "--", "-33.9",
             "116.3", "10"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 12), "6248711.2225") << r.out;

    // What is wrong with a system file is the data's fault (1); a code ZELK
    // does not convert, or a meridian beside a file or code, a mistake on
    // the command line (2).
    File("flat.crs", "datum = xian80\nform = gauss\nmeridian = 108.45\nk0 = 0\n");
    ExpectFailure(Run({"point", "--from", "@" + Path("flat.crs").string(), "--to", "xian80-geodetic", "1", "2", "3"}),
                  "flat.crs:4: k0 = 0: the scale on the central meridian must be greater than 0");
    ExpectFailure(Run({"point", "--from", "@" + city, "--to", "xian80-geodetic", "1", "2", "3"}),
                  "city.crs: cannot open the system file");
    ExpectUsageError(Run({"point", "--from", "cgcs2000-geodetic", "--to", "EPSG:3857", "30", "114", "0"}),
                     "option --to: EPSG:3857 is not a system ZELK converts: ZELK converts only the systems "
                     "'zelk-cli systems --epsg' lists");
    ExpectUsageError(Run({"point", "--from", "EPSG:4547", "--from-meridian", "114", "--to", "EPSG:4490", "1", "2",
                          "3"}),
                     "option --from-meridian: EPSG:4547 has its own meridian or zone");
    ExpectUsageError(Run({"estimate", "--before", "@", "--after", "local", before, after}),
                     "option --before: a file name is needed after @");

    // zelk-cli systems --system shows what ZELK read.
    r = Run({"systems", "--system", "EPSG:4526"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("EPSG        4526  CGCS2000 / 3-degree Gauss-Kruger zone 38\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("WKT         PROJCRS["), std::string::npos) << r.out;
}

TEST_F(CliTest, UnwritableStandardOutputIsAnError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/full", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) {
            _exit(127);
        }
        execl(ZELK_CLI_PATH, ZELK_CLI_PATH, "point", "--from", "wgs84-geodetic", "--to",
              "wgs84-geodetic", "1", "2", "3", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace

TEST_F(CliTest, ChainsOfParamsAndTheirSavedFileGiveTheSameBytes) {
    // A typed step and a calibration file, in that order; saved as one file.
    const std::string site = File("site.params",
                                  "model = four\nbefore = beijing54-gauss\nbefore-meridian = 117\n"
                                  "after = local\ndX = -4338378.7\ndY = -469157.4\nalpha = 0.0073\n"
                                  "scale = 1.0000182\nheight = fixed\nheight-x0 = 4372237\n"
                                  "height-y0 = 487233\na0 = 6.834\n");
    const std::string in = File("in.txt", "R1 39.2832116946 116.5142636228 26.7403\nR2 39.28 116.51 30\n");
    const std::vector<std::string> head = {"convert", "--from", "wgs84-geodetic", "--to", "local", "--names"};
    auto args = head;
    args.insert(args.end(), {"--params", "-12.6,101.7,58.4,1.2,-0.35,-0.48,0.82", "--params", "@" + site,
                             "--save-chain", Path("chain.params").string(), in, Path("two.txt").string()});
    ASSERT_EQ(Run(args).status, 0);
    args = head;
    args.insert(args.end(), {"--params", "@" + Path("chain.params").string(), in, Path("one.txt").string()});
    const CliResult again = Run(args);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(ReadBytes(Path("one.txt")), ReadBytes(Path("two.txt")));
    const std::string chain = ReadBytes(Path("chain.params"));
    EXPECT_NE(chain.find("# A chain of 2 steps, applied in order:\n#   step 1: seven parameters (typed)\n"
                         "#   step 2: four parameters and a fixed height difference, beijing54-gauss, central "
                         "meridian 117 to local ("),
              std::string::npos)
        << chain;
    EXPECT_NE(chain.find("[step 2]\n"), std::string::npos);

    // --inverse: the chain file backwards takes the grid back to WGS84, to
    // the millimetre the grid file was rounded to.
    const CliResult back = Run({"convert", "--from", "local", "--to", "wgs84-geodetic", "--names", "--inverse",
                                "--params", "@" + Path("chain.params").string(), Path("one.txt").string(),
                                Path("back.txt").string()});
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(ReadBytes(Path("back.txt")),
              "R1 39.283211695 116.514263622 26.741\nR2 39.280000001 116.510000002 30.000\n");

    // Reversed, the steps do not meet: the message names both systems.
    args = head;
    args.insert(args.end(), {"--params", "@" + site, "--params", "1,2,3", in, Path("x.txt").string()});
    ExpectFailure(Run(args), "转换前坐标系统WGS84-大地坐标与第1步（" + site +
                                 "）的起点北京54-高斯-xyH（中央子午线117）不在同一基准上，中间换基准需要七参数或三参数");
    EXPECT_FALSE(fs::exists(Path("x.txt")));
}

TEST_F(CliTest, PairFileResidualsShowADashWhereAPairTookNoPart) {
    const std::string pairs = File("pairs.txt",
                                   "S1 4373877.420 487065.998 44.310 31876.918 50079.808 37.476\n"
                                   "S2 4372526.969 485162.710 48.325 30540.480 48166.602 *\n"
                                   "S3 4370281.306 485846.042 52.327 28289.810 48833.409 45.493\n"
                                   "S4 * * 56.315 28235.551 51159.620 49.481\n"
                                   "S5 4372466.881 488925.989 60.304 30452.709 51929.407 53.470\n");
    const CliResult r = Run({"estimate", "--model", "four", "--height", "fixed", "--before", "beijing54-gauss",
                             "--before-meridian", "117", "--after", "local", "--residuals", "--pairs", pairs});
    ASSERT_EQ(r.status, 0) << r.err;
    // Plan-only S2: no height; height-only S4: no plane. Columns stay
    // aligned: the dash is one column wide.
    EXPECT_NE(r.out.find("pair  name      vx (m)      vy (m)   plane (m)  height (m)  left out (m)\n"),
              std::string::npos)
        << r.out;
    const std::size_t s2 = r.out.find("   2  S2  ");
    const std::size_t s4 = r.out.find("   4  S4  ");
    ASSERT_NE(s2, std::string::npos);
    ASSERT_NE(s4, std::string::npos);
    // As a terminal shows them: the dash in one column.
    const auto shown = [&](std::size_t at) {
        std::string row = r.out.substr(at, r.out.find('\n', at) - at);
        for (std::size_t dash; (dash = row.find("—")) != std::string::npos;) row.replace(dash, 3, "|");
        return row;
    };
    EXPECT_EQ(shown(s2).substr(46, 12), "           |");
    EXPECT_EQ(shown(s4).substr(10, 36), "           |           |           |");
    EXPECT_NE(r.out.find("平面拟合用了4对公共点，高程拟合用了4对（共5对，有的只有平面或只有高程）。"), std::string::npos);
}
