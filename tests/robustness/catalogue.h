// The catalogue of bad (and merely odd) point files, and what becomes of each.
//
// Every row is converted by the convert button's run (RunConvert) and by
// zelk-cli convert, Beijing 1954 Gauss-Kruger on 117 to WGS84 geodetic with
// non-zero parameters, into an output file that already exists. Rows without
// names are also read as common-point files by the compute button's run
// (RunEstimation) and by zelk-cli estimate, first as the before file beside a
// good after file, then the other way round.
//
// In every case nothing is lost: the input is unchanged, an output that is
// not replaced by a whole result keeps its bytes, and the folder holds no
// other file afterwards (no temporary file left behind). A token longer than
// a name or a number may be (64 KB, 4 KB) ends the reading there, so memory
// stays small whatever the input; a quoted token shows control bytes as \xHH.
//
//  case                          | names | convert: message (exit status)          | output file
//  ------------------------------+-------+-----------------------------------------+-------------
//  empty file                    |  off  | "文件转换完成!" (0)                      | empty
//  white space only              |  off  | "文件转换完成!" (0)                      | empty
//  byte-order mark only          |  off  | "文件转换完成!" (0)                      | empty
//  binary garbage (PNG header)   |  off  | 第1行 “\x89PNG” (1)                      | unchanged
//  NUL byte inside a number      |  off  | 第1行 “4433921.0\x0004” (1)             | unchanged
//  1 MB of NUL bytes             |  off  | 第1行 “\x00” ten times (1)              | unchanged
//  ESC and DEL in a number       |  off  | 第2行 “\x1b[2J\x7f” (1)                 | unchanged
//  10 MB single token            |  off  | 第1行 “7777…” 40 bytes (1)               | unchanged
//  10 MB single token            |  on   | 第1行 “7777…”: a name too long (1)       | unchanged
//  name of 64 KB (the longest)   |  on   | "文件转换完成!" (0)                      | name whole
//  name of 100,000 bytes         |  on   | 第1行 “NNNN…” 40 bytes (1)               | unchanged
//  name of 100,000 bytes (UTF-8) |  off  | 第1行, the name's first 13 characters (1)| unchanged
//  number of 4 KB (the longest)  |  off  | "文件转换完成!" (0)                      | converted
//  number of 4 KB and one byte   |  off  | 第1行 “0000…” 40 bytes (1)               | unchanged
//  600,000 line ends in a point  |  off  | 第600002行 “x” (1)                        | unchanged
//  nan / inf / 1e400 as H        |  off  | 第2行 “nan” / “inf” / “1e400” (1)        | unchanged
//  0x1p3 / 1,5 / 1.5.2 as H      |  off  | 第2行 “0x1p3” / “1,5” / “1.5.2” (1)      | unchanged
//  -0 / +5 as H                  |  off  | "文件转换完成!" (0)                      | converted
//  missing last number           |  off  | 第2行 “” (1)                             | unchanged
//  CR-only line ends             |  off  | "文件转换完成!" (0)                      | 3 lines
//  CR-only, bad token on line 3  |  off  | 第3行 “x” (1)                            | unchanged
//  names file read w/o names     |  off  | 第1行 “P1” (1)                           | unchanged
//  3-point plain file with names |  on   | 第3行 “” (1)                             | unchanged
//  4-point plain file with names |  on   | "文件转换完成!" (0): 12 tokens are three | 3 lines
//                                |       | named points; the format cannot tell     |
//
// 第N行 “T” stands for "转换前文件第N行有无法读取的数据“T”，文件未转换！", caption
// "读文件出错", error icon. The estimation run shows the same text ending in
// "！" instead of "，文件未转换！", with "转换后文件" when the after file is at
// fault; rows that read fewer than three points give "公共点不足3个，无法解算
// 七参数！" (caption the application's name, error icon); rows that read three
// or more estimate (the report, exit status 0). zelk-cli writes each message
// as "zelk-cli: <text>" on standard error.
//
// Cases about files rather than contents are tests of their own
// (catalogue_workflow_test.cpp, catalogue_cli_test.cpp):
//
//  case                            | convert                          | estimate
//  --------------------------------+----------------------------------+---------------------------------
//  a directory as input            | "读转换前文件错误！" (1)          | "读转换前文件错误！" /
//                                  |                                  | "读转换后文件错误！" (1)
//  unreadable input (not as root)  | "读转换前文件错误！" (1)          | "打开转换前文件错误！" /
//                                  |                                  | "打开转换后文件错误！" (1)
//  output folder missing           | "写转换后文件错误！" (1)          |
//  output folder read-only         | "写转换后文件错误！" (1)          |
//  output is a directory           | "写转换后文件错误！" (1)          |
//  input also chosen as output     | replaced on success; unchanged   |
//                                  | after a bad token (1)            |
//  600 and 100,000 pairs           |                                  | all pairs, estimated (0)
//  files of 10 and 8 points        |                                  | 8 pairs, silently (0)
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <thread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bursa/helmert.h"
#include "bursa/seven_params.h"
#include "c_locale.h"
#include "named_chain.h"
#include "packed_reference.h"

#include "temp_folder.h"

using namespace zelk;

namespace catalogue {

struct Point {
    std::string name;  // empty without names
    double a, b, c;    // as read from the file
};

struct Case {
    const char* what;
    std::function<std::string()> input;
    bool withNames;
    // The points read before the end or the problem.
    std::vector<Point> points;
    // Empty when the file converts; else the convert button's message.
    std::string refusal;
};

// Beijing 1954 Gauss-Kruger on 117 to WGS84 geodetic, the parameters given
// to zelk-cli as text.
inline constexpr const char* kSource = "beijing54-gauss";
inline constexpr const char* kTarget = "wgs84-geodetic";
inline constexpr double kSourceMeridian = 117.0;
inline const SevenParams kParams{-12.5, 129.3, 48.7, 2.35, -0.42, 0.31, 1.87};
inline constexpr const char* kParamsText = "-12.5,129.3,48.7,2.35,-0.42,0.31,1.87";

// The same systems as values, for requests.
inline Crs SourceCrs() { return named::System(kSource, kSourceMeridian); }
inline Crs TargetCrs() { return named::System(kTarget); }

inline std::string ConvertedLine(const Point& p) {
    double a = p.a, b = p.b, c = p.c;
    named::Convert(kSource, kSourceMeridian, kTarget, 0.0, kParams, a, b, c);
    char line[1100];
    const CLocaleScope cLocale;
    // A geodetic target: B and L packed with nine decimals (0.00001 of a second).
    std::snprintf(line, sizeof line, "%s %s %.3lf\n", PackedReference(a).c_str(),
                  PackedReference(b).c_str(), c);
    return p.name.empty() ? std::string(line) : p.name + " " + line;
}

inline std::string ConvertedFile(const std::vector<Point>& points) {
    std::string text;
    for (const Point& p : points) text += ConvertedLine(p);
    return text;
}

inline std::string Unreadable(std::int64_t line, const std::string& token) {
    return "转换前文件第" + std::to_string(line) + "行有无法读取的数据“" + token + "”，文件未转换！";
}

// A point the conversion refuses: here, one that lands far from the meridian.
inline std::string FarFromMeridian(int line) {
    return "转换前文件第" + std::to_string(line) + "行的点离中央子午线超过6度，请检查中央子午线！";
}

// The convert button's outcome for a case's refusal.
inline bool RefusedAsUnreadable(const std::string& refusal) {
    return refusal.find("无法读取") != std::string::npos;
}

// The estimation run's text for the same problem, in the before or after file.
inline std::string EstimationText(const std::string& refusal, bool inAfterFile) {
    std::string text = refusal;
    const std::string tail = "，文件未转换！";
    text.replace(text.size() - tail.size(), tail.size(), "！");
    if (inAfterFile) text.replace(0, std::string("转换前").size(), "转换后");
    return text;
}

inline std::string Repeat(const std::string& piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// Three good points of the field, then the bad H of the second replaced.
inline std::string WithH(const std::string& h) {
    return "4433921.004 756206.416 35.2\n4431000.5 498765.25 " + h + "\n4440000 510000 0\n";
}

inline const Point kP1{"", 4433921.004, 756206.416, 35.2};
inline const Point kP3{"", 4440000, 510000, 0};

inline std::vector<Case> Cases() {
    using namespace std::string_literals;
    const std::string utf8Name = Repeat("\xE7\x82\xB9", 33333) + "N";  // 点 x 33333
    std::vector<Case> cases = {
        {"empty file", [] { return std::string(); }, false, {}, ""},
        {"white space only", [] { return std::string(" \t\r\n\n  \v\f \r\n"); }, false, {}, ""},
        {"byte-order mark only", [] { return std::string("\xEF\xBB\xBF"); }, false, {}, ""},
        {"binary garbage",
         [] { return "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\xF4\0\0\x01\xF4\x08\x06"s; },
         false, {}, Unreadable(1, "\x89PNG")},
        {"NUL byte inside a number",
         [] { return "4433921.0\0" "04 756206.416 35.2\n"s; }, false, {},
         Unreadable(1, "4433921.0\\x0004")},
        {"1 MB of NUL bytes", [] { return std::string(1u << 20, '\0'); }, false, {},
         Unreadable(1, Repeat("\\x00", 10))},
        {"ESC and DEL in a number", [] { return WithH("\x1b[2J\x7f"); }, false, {kP1},
         Unreadable(2, "\\x1b[2J\\x7f")},
        {"10 MB single token", [] { return std::string(10u << 20, '7'); }, false, {},
         Unreadable(1, std::string(40, '7'))},
        {"10 MB single token read with names", [] { return std::string(10u << 20, '7'); }, true,
         {}, Unreadable(1, std::string(40, '7'))},
        {"name of 64 KB",
         [] { return std::string(65536, 'N') + " 4433921.004 756206.416 35.2\n"; }, true,
         {{std::string(65536, 'N'), 4433921.004, 756206.416, 35.2}}, ""},
        {"name of 100,000 bytes",
         [] { return std::string(100000, 'N') + " 4433921.004 756206.416 35.2\n"; }, true, {},
         Unreadable(1, std::string(40, 'N'))},
        {"name of 100,000 bytes read without names",
         [utf8Name] { return utf8Name + " 4433921.004 756206.416 35.2\n"; }, false, {},
         Unreadable(1, Repeat("\xE7\x82\xB9", 13))},
        {"number of 4 KB",
         [] { return std::string(4096 - 11, '0') + "4433921.004 756206.416 35.2\n"; }, false,
         {kP1}, ""},
        {"number of 4 KB and one byte",
         [] { return std::string(4096 - 10, '0') + "4433921.004 756206.416 35.2\n"; }, false,
         {}, Unreadable(1, std::string(40, '0'))},
        // Squeezed out of memory, the line ends are still counted, a CR LF
        // split at the squeeze as one.
        {"600,000 line ends inside a point",
         [] {
             return "4433921.004" + Repeat("\r\n", 300000) + "756206.416\r" +
                    Repeat("\n", 300000) + "35.2\nx\n";
         },
         false, {kP1}, Unreadable(600002, "x")},
        {"nan as a number", [] { return WithH("nan"); }, false, {kP1}, Unreadable(2, "nan")},
        {"inf as a number", [] { return WithH("inf"); }, false, {kP1}, Unreadable(2, "inf")},
        {"1e400 as a number", [] { return WithH("1e400"); }, false, {kP1}, Unreadable(2, "1e400")},
        {"0x1p3 as a number", [] { return WithH("0x1p3"); }, false, {kP1}, Unreadable(2, "0x1p3")},
        {"1,5 as a number", [] { return WithH("1,5"); }, false, {kP1}, Unreadable(2, "1,5")},
        {"1.5.2 as a number", [] { return WithH("1.5.2"); }, false, {kP1}, Unreadable(2, "1.5.2")},
        {"-0 as a number", [] { return WithH("-0"); }, false,
         {kP1, {"", 4431000.5, 498765.25, -0.0}, kP3}, ""},
        {"+5 as a number", [] { return WithH("+5"); }, false,
         {kP1, {"", 4431000.5, 498765.25, 5.0}, kP3}, ""},
        {"missing last number",
         [] { return std::string("4433921.004 756206.416 35.2\n4431000.5 498765.25\n"); }, false,
         {kP1}, Unreadable(2, "")},
        {"CR-only line ends",
         [] {
             return std::string(
                 "4433921.004 756206.416 35.2\r4431000.5 498765.25 -3.75\r4440000 510000 0\r");
         },
         false, {kP1, {"", 4431000.5, 498765.25, -3.75}, kP3}, ""},
        {"CR-only line ends, bad token on line 3",
         [] {
             return std::string(
                 "4433921.004 756206.416 35.2\r4431000.5 498765.25 -3.75\r4440000 x 0\r");
         },
         false, {kP1, {"", 4431000.5, 498765.25, -3.75}}, Unreadable(3, "x")},
        {"names file read without names",
         [] {
             return std::string(
                 "P1 4433921.004 756206.416 35.2\nP2 4431000.5 498765.25 -3.75\n"
                 "P3 4440000 510000 0\n");
         },
         false, {}, Unreadable(1, "P1")},
        // Read with names, a plain file's numbers shift into the wrong
        // places; the second point then lies far east of the meridian.
        {"three-point plain file read with names", [] { return WithH("-3.75"); }, true,
         {{"4433921.004", 756206.416, 35.2, 4431000.5}}, FarFromMeridian(2)},
        {"four-point plain file read with names",
         [] { return WithH("-3.75") + "4429876.125 502345.875 1200.5\n"; }, true,
         {{"4433921.004", 756206.416, 35.2, 4431000.5}}, FarFromMeridian(2)},
    };
    return cases;
}

// ---------------------------------------------------------------- files

using ::Entries;
using ::ReadFile;
using ::TempFolder;
using ::WriteFile;

// Equal bytes; on a difference, tells where without printing megabytes.
inline testing::AssertionResult SameBytes(const std::string& got, const std::string& want) {
    if (got == want) return testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    return testing::AssertionFailure()
           << got.size() << " bytes instead of " << want.size() << ", first difference at byte "
           << at << ": \"" << got.substr(at, 60) << "\" instead of \"" << want.substr(at, 60)
           << "\"";
}

// An earlier result in the output file, which a failed run must keep.
inline const std::string kEarlierOutput = "earlier result 1.000 2.000 3.000\r\n";

// Five good common points, spread over the field (not on one line).
inline const std::string kGoodCommonPoints =
    "4433921.004 756206.416 35.2\n4431000.5 498765.25 -3.75\n4440000 510000 0\n"
    "4429876.125 502345.875 1200.5\n4436500.25 731000.75 88.125\n";

// An input too big to keep in a file: a pipe that a thread fills with
// head, count bytes fill, then tail, and closes. Read through Path()
// (/dev/fd/N, inherited by a child process); the thread stops early when
// the reader goes away.
class GeneratedInput {
public:
    GeneratedInput(std::string head, char fill, std::uint64_t count, std::string tail) {
        int ends[2];
        if (::pipe(ends) != 0) throw std::runtime_error("pipe");
        m_read = ends[0];
        const int write = ends[1];
        ::fcntl(write, F_SETFD, FD_CLOEXEC);  // a child must not hold it open
        m_writer = std::thread([=, head = std::move(head), tail = std::move(tail)] {
            sigset_t pipeSignal;
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            ::pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);  // EPIPE instead
            const std::string block(1 << 20, fill);
            auto put = [&](const char* data, std::size_t size) {
                while (size > 0) {
                    const ssize_t n = ::write(write, data, size);
                    if (n <= 0) return false;
                    data += n;
                    size -= static_cast<std::size_t>(n);
                }
                return true;
            };
            bool open = put(head.data(), head.size());
            for (std::uint64_t left = count; open && left > 0;) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
                open = put(block.data(), n);
                left -= n;
            }
            if (open) put(tail.data(), tail.size());
            ::close(write);
        });
    }
    ~GeneratedInput() {
        ::close(m_read);
        m_writer.join();
    }
    GeneratedInput(const GeneratedInput&) = delete;
    GeneratedInput& operator=(const GeneratedInput&) = delete;

    std::filesystem::path Path() const { return "/dev/fd/" + std::to_string(m_read); }

private:
    int m_read = -1;
    std::thread m_writer;
};

}  // namespace catalogue
