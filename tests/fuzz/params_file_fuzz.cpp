// zelk-cli's parameters file, and the same bytes as a --params list.
//
// The parser must agree with a plain reading of the rules (every line blank,
// a comment, or "name = number" for one of the seven names, each once, all
// seven present), give the very doubles of the text, not care whether lines
// end in LF or CR LF, and whatever it accepts, saved again (with any comment)
// and read back, must give identical doubles. As a list, the bytes must be
// seven numbers separated by commas, no more, no less.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "reference_points.h"
#include "bursa/seven_params.h"
#include "cli/arguments.h"
#include "workflow/parameter_file.h"

using namespace zelk;

namespace {

using reference::Check;
using reference::SameDouble;

constexpr const char* kNames[7] = {"dX0", "dY0", "dZ0", "K", "betaX", "betaY", "betaZ"};

double Get(const SevenParams& p, int i) {
    const double values[7] = {p.dX0, p.dY0, p.dZ0, p.K, p.betaX, p.betaY, p.betaZ};
    return values[i];
}

bool SameParams(const SevenParams& a, const SevenParams& b) {
    for (int i = 0; i < 7; ++i) {
        if (!SameDouble(Get(a, i), Get(b, i))) return false;
    }
    return true;
}

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimFront(std::string_view s) {
    while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
    return s;
}

// Blanks and tabs go at both ends; at the end carriage returns go too.
std::string_view TrimBoth(std::string_view s) {
    s = TrimFront(s);
    while (!s.empty() && (Blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// The plain reading: the seven values, or nothing.
std::optional<double> ReferenceValue(std::string_view value) {
    double v = 0;
    if (!reference::Number(value, v)) return std::nullopt;
    return v;
}

bool ReferenceParse(std::string_view text, double values[7]) {
    // UTF-16: a byte-order mark, or zero bytes.
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") return false;
    if (text.find('\0') != std::string_view::npos) return false;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // A saved file (its first line the header) ends with its end line.
    if (TrimBoth(text.substr(0, text.find('\n'))) == kSavedHeader) {
        std::string_view last;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            const std::string_view line = TrimBoth(text.substr(start, end - start));
            if (!line.empty()) last = line;
            start = end + 1;
        }
        if (last != kSavedEnd) return false;
    }
    bool seen[7] = {};
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = TrimBoth(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return false;
        const std::string_view name = TrimBoth(line.substr(0, equals));
        int index = -1;
        for (int i = 0; i < 7; ++i) {
            if (name == kNames[i]) index = i;
        }
        if (index < 0 || seen[index]) return false;
        const auto value = ReferenceValue(TrimBoth(line.substr(equals + 1)));
        if (!value) return false;
        values[index] = *value;
        seen[index] = true;
    }
    for (bool s : seen) {
        if (!s) return false;
    }
    return true;
}

std::string WithCrLf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool ReferenceList(std::string_view text, double values[7]) {
    int count = 0;
    for (;;) {
        const std::size_t comma = text.find(',');
        if (count == 7) return false;
        if (!reference::Number(text.substr(0, comma), values[count++])) return false;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return count == 7;
}

void CheckList(std::string_view text) {
    std::optional<SevenParams> parsed;
    try {
        parsed = ParseParamsList(std::string(text), "option --params");
    } catch (const UsageError& error) {
        Check(std::string_view(error.what()).rfind("option --params", 0) == 0,
              "a list's error names the option");
    }
    double want[7];
    const bool accepted = ReferenceList(text, want);
    Check(parsed.has_value() == accepted, "accepts exactly seven numbers");
    if (!parsed) return;
    std::string again;
    for (int i = 0; i < 7; ++i) {
        Check(SameDouble(Get(*parsed, i), want[i]), "list value as written");
        if (i > 0) again += ',';
        again += RoundTripText(Get(*parsed, i));
    }
    Check(SameParams(ParseParamsList(again, "again"), *parsed), "a list written again reads back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    CheckList(text);
    const std::optional<SevenParams> parsed = ParseParamsFile(text, "p.txt", error);

    double want[7];
    const bool accepted = ReferenceParse(text, want);
    Check(parsed.has_value() == accepted, "accepts exactly the files the rules allow");
    if (!parsed) {
        Check(error.rfind("p.txt:", 0) == 0, "an error names the file");
    } else {
        for (int i = 0; i < 7; ++i) Check(SameDouble(Get(*parsed, i), want[i]), "value as written");
    }

    // Line ends do not matter.
    std::string crlfError;
    const auto crlf = ParseParamsFile(WithCrLf(text), "p.txt", crlfError);
    Check(crlf.has_value() == parsed.has_value(), "CR LF accepted as LF");
    if (crlf) Check(SameParams(*crlf, *parsed), "CR LF gives the same values");
    if (!crlf) Check(crlfError == error, "CR LF gives the same error");

    if (!parsed) return 0;
    // Saved and read back, with or without a comment (any bytes, even the
    // whole input), the same doubles.
    for (const std::string_view comment : {std::string_view(), text}) {
        const std::string saved = FormatParamsFile(*parsed, comment);
        std::string again_error;
        const auto again = ParseParamsFile(saved, "saved", again_error);
        Check(again.has_value(), "a saved file reads back");
        Check(SameParams(*again, *parsed), "a saved file gives identical doubles");
    }
    return 0;
}
