#include "cli/params_file.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <memory>
#include <system_error>

#include "platform/number_text.h"

namespace {
constexpr std::size_t kMaxFileBytes = 64 * 1024;

struct Field {
    const char* name;
    double SevenParams::*member;
};
constexpr Field kFields[7] = {
    {"dX0", &SevenParams::dX0},     {"dY0", &SevenParams::dY0},     {"dZ0", &SevenParams::dZ0},
    {"K", &SevenParams::K},         {"betaX", &SevenParams::betaX}, {"betaY", &SevenParams::betaY},
    {"betaZ", &SevenParams::betaZ},
};

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string LineText(int line) {
    char buffer[16];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, line).ptr);
}
}  // namespace

std::string RoundTripText(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string FormatParamsFile(const SevenParams& params, std::string_view comment) {
    std::string out;
    while (!comment.empty()) {
        const std::size_t end = comment.find('\n');
        out += "# ";
        out += comment.substr(0, end);
        out += '\n';
        if (end == std::string_view::npos) break;
        comment.remove_prefix(end + 1);
    }
    for (const Field& field : kFields) {
        out += field.name;
        out += " = ";
        out += RoundTripText(params.*field.member);
        out += '\n';
    }
    return out;
}

std::optional<SevenParams> ParseParamsFile(std::string_view text, const std::string& source,
                                           std::string& error) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    SevenParams params;
    bool seen[7] = {};
    int line = 0;
    while (!text.empty()) {
        ++line;
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::string_view content = Trim(raw);
        if (content.empty() || content.front() == '#') continue;

        const std::string where = source + ":" + LineText(line) + ": ";
        const std::size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            error = where + "expected 'name = value', found '" + std::string(content) + "'";
            return std::nullopt;
        }
        const std::string_view name = Trim(content.substr(0, equals));
        const std::string_view value = Trim(content.substr(equals + 1));
        int index = -1;
        for (int i = 0; i < 7; ++i) {
            if (name == kFields[i].name) index = i;
        }
        if (index < 0) {
            error = where + "unknown parameter '" + std::string(name) +
                    "' (the names are dX0 dY0 dZ0 K betaX betaY betaZ)";
            return std::nullopt;
        }
        if (seen[index]) {
            error = where + std::string(name) + " is given a second time";
            return std::nullopt;
        }
        const auto number = ParseDecimal(value);
        if (!number) {
            error = where + "the value of " + std::string(name) + ", '" + std::string(value) +
                    "', is not a number";
            return std::nullopt;
        }
        params.*kFields[index].member = *number;
        seen[index] = true;
    }
    for (int i = 0; i < 7; ++i) {
        if (!seen[i]) {
            error = source + ": " + kFields[i].name +
                    " is missing (all seven parameters are needed)";
            return std::nullopt;
        }
    }
    return params;
}

std::optional<SevenParams> ReadParamsFile(const std::filesystem::path& path, std::string& error) {
    const std::string source = path.string();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        error = source + ": cannot open the parameters file (" +
                std::error_code(errno, std::generic_category()).message() + ")";
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
        if (text.size() > kMaxFileBytes) {
            error = source + ": too large for a parameters file";
            return std::nullopt;
        }
    }
    if (std::ferror(file.get())) {
        error = source + ": cannot read the parameters file (" +
                std::error_code(errno, std::generic_category()).message() + ")";
        return std::nullopt;
    }
    return ParseParamsFile(text, source, error);
}
