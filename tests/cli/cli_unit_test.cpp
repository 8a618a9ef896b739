// The parts of zelk-cli that need no process of their own: argument and
// parameter parsing, the parameters file, the system names, the progress line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "workflow/parameter_file.h"

using namespace zelk;

namespace {

std::vector<std::string> Args(std::initializer_list<const char*> list) {
    return std::vector<std::string>(list.begin(), list.end());
}

constexpr OptionSpec kSpecs[] = {{"--from", true}, {"--to-meridian", true}, {"--names", false}};

TEST(CliArguments, OptionsFlagsAndPositionals) {
    const auto args = Args({"--from", "wgs84-utm", "--to-meridian=117", "--names", "-",
                            "-12.5", "3e2", "-.5"});
    const ParsedArguments parsed = ParseArguments(args, kSpecs);
    EXPECT_EQ(*parsed.Value("--from"), "wgs84-utm");
    EXPECT_EQ(*parsed.Value("--to-meridian"), "117");
    EXPECT_TRUE(parsed.Has("--names"));
    EXPECT_FALSE(parsed.help);
    EXPECT_EQ(parsed.positionals, Args({"-", "-12.5", "3e2", "-.5"}));
}

TEST(CliArguments, DoubleDashEndsOptionsAndValuesMayStartWithDash) {
    const auto args = Args({"--to-meridian", "-117", "--", "--names", "-x"});
    const ParsedArguments parsed = ParseArguments(args, kSpecs);
    EXPECT_EQ(*parsed.Value("--to-meridian"), "-117");
    EXPECT_FALSE(parsed.Has("--names"));
    EXPECT_EQ(parsed.positionals, Args({"--names", "-x"}));
}

TEST(CliArguments, HelpWinsOverMistakesButNotAfterDoubleDash) {
    const auto args = Args({"--from", "x", "--bogus", "-h"});
    EXPECT_TRUE(ParseArguments(args, kSpecs).help);
    const auto late = Args({"--", "--help"});
    const ParsedArguments parsed = ParseArguments(late, kSpecs);
    EXPECT_FALSE(parsed.help);
    EXPECT_EQ(parsed.positionals, Args({"--help"}));
}

TEST(CliArguments, MistakesAreUsageErrorsNamingTheOption) {
    const auto expectError = [](std::initializer_list<const char*> list, const std::string& part) {
        const auto args = Args(list);
        try {
            ParseArguments(args, kSpecs);
            ADD_FAILURE() << "no error for " << part;
        } catch (const UsageError& error) {
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what();
        }
    };
    expectError({"--frm", "x"}, "unknown option '--frm'");
    expectError({"-x"}, "unknown option '-x'");
    expectError({"--from"}, "option --from needs a value");
    expectError({"--names=1"}, "option --names takes no value");
    expectError({"--from", "a", "--from=b"}, "option --from is given more than once");
}

TEST(CliArguments, NumbersAreStrict) {
    EXPECT_EQ(NumberArgument("114.3015", "x"), 114.3015);
    EXPECT_EQ(NumberArgument("-1e-3", "x"), -1e-3);
    for (const char* bad : {"12x", "", " 1", "1 ", "1,5", "inf", "nan", "0x10", "--1", "1e999"}) {
        try {
            NumberArgument(bad, "option --to-meridian");
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const UsageError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("option --to-meridian: ", 0), 0u) << error.what();
        }
    }
}

TEST(CliArguments, ParamsList) {
    const SevenParams p = ParseParamsList("1,-2.5,3e1,0.25,-1,2,.5", "option --params");
    EXPECT_EQ(p.dX0, 1.0);
    EXPECT_EQ(p.dY0, -2.5);
    EXPECT_EQ(p.dZ0, 30.0);
    EXPECT_EQ(p.K, 0.25);
    EXPECT_EQ(p.betaX, -1.0);
    EXPECT_EQ(p.betaY, 2.0);
    EXPECT_EQ(p.betaZ, 0.5);
    for (const char* bad : {"1,2,3,4,5,6", "1,2,3,4,5,6,7,8", "1,2,3,4,5,6,", "1,2,x,4,5,6,7",
                            "", "1, 2,3,4,5,6,7"}) {
        EXPECT_THROW(ParseParamsList(bad, "option --params"), UsageError) << bad;
    }
    try {
        ParseParamsList("1,2,3,4x,5,6,7", "option --params");
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(), "option --params (K): '4x' is not a number");
    }
}

// ------------------------------------------------------------ parameters file

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(CliParamsFile, ReadsBackTheIdenticalDoubles) {
    std::mt19937_64 random(20240601);
    std::vector<double> values = {0.1,
                                  -0.0,
                                  1.0 / 3.0,
                                  -15.415000000000001,
                                  4.9406564584124654e-324,
                                  std::numeric_limits<double>::max(),
                                  -std::numeric_limits<double>::min(),
                                  123456789.123456789};
    while (values.size() < 7 * 200) {
        const double v = std::bit_cast<double>(random());
        if (std::isfinite(v)) values.push_back(v);
    }
    for (std::size_t i = 0; i + 7 <= values.size(); i += 7) {
        const SevenParams in{values[i],     values[i + 1], values[i + 2], values[i + 3],
                             values[i + 4], values[i + 5], values[i + 6]};
        const std::string text = FormatParamsFile(in, "a comment\nover two lines");
        std::string error;
        const auto out = ParseParamsFile(text, "p.txt", error);
        ASSERT_TRUE(out) << error << "\n" << text;
        EXPECT_TRUE(SameBits(out->dX0, in.dX0));
        EXPECT_TRUE(SameBits(out->dY0, in.dY0));
        EXPECT_TRUE(SameBits(out->dZ0, in.dZ0));
        EXPECT_TRUE(SameBits(out->K, in.K));
        EXPECT_TRUE(SameBits(out->betaX, in.betaX));
        EXPECT_TRUE(SameBits(out->betaY, in.betaY));
        EXPECT_TRUE(SameBits(out->betaZ, in.betaZ));
    }
}

TEST(CliParamsFile, LayoutIsReadable) {
    const SevenParams p{-15.415, 149.4718, 83.3, 0.5, -1.25, 0, 3};
    EXPECT_EQ(FormatParamsFile(p, "first\nsecond"),
              "# ZELK transformation parameters\n# first\n# second\n"
              "dX0 = -15.415\ndY0 = 149.4718\ndZ0 = 83.3\nK = 0.5\n"
              "betaX = -1.25\nbetaY = 0\nbetaZ = 3\n"
              "# end of ZELK transformation parameters\n");
}

TEST(CliParamsFile, AcceptsHandEditedFiles) {
    const std::string text =
        "\xEF\xBB\xBF# edited by hand\r\n"
        "\r\n"
        "  betaZ\t=  3  \r\n"
        "K=0.5\r\n"
        "   # indented comment\r\n"
        "dX0 = 1\ndY0 = 2\ndZ0 = 3\nbetaX = 4\nbetaY = 5";
    std::string error;
    const auto p = ParseParamsFile(text, "p.txt", error);
    ASSERT_TRUE(p) << error;
    EXPECT_EQ(p->dX0, 1.0);
    EXPECT_EQ(p->dY0, 2.0);
    EXPECT_EQ(p->dZ0, 3.0);
    EXPECT_EQ(p->K, 0.5);
    EXPECT_EQ(p->betaX, 4.0);
    EXPECT_EQ(p->betaY, 5.0);
    EXPECT_EQ(p->betaZ, 3.0);
}

TEST(CliParamsFile, ErrorsTellFileAndLine) {
    const std::string full = "dX0 = 1\ndY0 = 2\ndZ0 = 3\nK = 4\nbetaX = 5\nbetaY = 6\nbetaZ = 7\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"# c\ndX0 1\n", "p.txt:2: expected 'name = value', found 'dX0 1'"},
        {"dx0 = 1\n", "p.txt:1: unknown parameter 'dx0' (the names are dX0 dY0 dZ0 K betaX betaY betaZ)"},
        {full + "K = 4\n", "p.txt:8: K is given a second time"},
        {"\n\ndZ0 = 3m\n", "p.txt:3: the value of dZ0, '3m', is not a number"},
        {"dZ0 =\n", "p.txt:1: the value of dZ0, '', is not a number"},
        {"dX0 = 1 # metres\n", "p.txt:1: the value of dX0, '1 # metres', is not a number"},
        {"dX0 = 1\ndY0 = 2\ndZ0 = 3\nK = 4\nbetaX = 5\nbetaY = 6\n",
         "p.txt: betaZ is missing (all seven parameters are needed)"},
        {"", "p.txt: dX0 is missing (all seven parameters are needed)"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseParamsFile(c.text, "p.txt", error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(CliParamsFile, ReadingFiles) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("zelk-cli-unit-params-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const SevenParams p{1, 2, 3, 4, 5, 6, 7.000000000000001};
    std::ofstream(dir / "good.txt", std::ios::binary) << FormatParamsFile(p, "");
    std::ofstream(dir / "huge.txt", std::ios::binary) << std::string(70000, '#');

    std::string error;
    const auto read = ReadParamsFile(dir / "good.txt", error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->betaZ, p.betaZ);

    EXPECT_FALSE(ReadParamsFile(dir / "huge.txt", error));
    EXPECT_NE(error.find("huge.txt: too large for a parameters file"), std::string::npos) << error;
    EXPECT_FALSE(ReadParamsFile(dir / "missing.txt", error));
    EXPECT_NE(error.find("missing.txt: cannot open the parameters file"), std::string::npos) << error;
    EXPECT_FALSE(ReadParamsFile(dir, error));
    EXPECT_NE(error.find("cannot read the parameters file"), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

// ------------------------------------------------------------ progress line

TEST(CliProgress, SilentForQuickRunsThenThrottled) {
    using namespace std::chrono_literals;
    std::string screen;
    const auto start = ProgressLine::Clock::time_point{} + 1h;
    ProgressLine line(2000000, [&](std::string_view text) { screen += text; }, start, 1s, 200ms);

    line.Update(100000, start + 500ms);
    line.Clear();
    EXPECT_EQ(screen, "");  // under a second: nothing at all

    line.Update(500000, start + 1100ms);
    EXPECT_EQ(screen, "\rzelk-cli: converting, 25% of 2.0 MB");
    line.Update(600000, start + 1200ms);  // too soon to redraw
    EXPECT_EQ(screen, "\rzelk-cli: converting, 25% of 2.0 MB");
    screen.clear();
    line.Update(2000000, start + 1400ms);
    EXPECT_EQ(screen, "\rzelk-cli: converting, 100% of 2.0 MB");
    screen.clear();
    line.Clear();
    EXPECT_EQ(screen, "\r" + std::string(36, ' ') + "\r");
    screen.clear();
    line.Clear();  // nothing shown any more
    EXPECT_EQ(screen, "");
}

TEST(CliProgress, UnknownSizeCountsBytes) {
    ProgressLine line(0, [](std::string_view) {});
    EXPECT_EQ(line.Text(12345678), "zelk-cli: converting, 12.3 MB read");
    ProgressLine sized(1000, [](std::string_view) {});
    EXPECT_EQ(sized.Text(5000), "zelk-cli: converting, 100% of 0.0 MB");
}

}  // namespace
