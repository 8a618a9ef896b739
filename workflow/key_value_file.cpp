#include "workflow/key_value_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/number_text.h"
#include "workflow/point_scan.h"

namespace zelk {

namespace {
std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// The value without a comment behind it: from a '#' after a blank or tab.
std::string_view WithoutComment(std::string_view value) {
    for (std::size_t i = 1; i < value.size(); ++i) {
        if (value[i] == '#' && (value[i - 1] == ' ' || value[i - 1] == '\t')) return value.substr(0, i);
    }
    return value;
}
}  // namespace

std::string QuotedValue(std::string_view text) { return "'" + pointscan::QuoteToken(text) + "'"; }

bool KeyValueFile::Read(std::string_view text, std::string& error, int firstLine) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int line = firstLine - 1;
    while (!text.empty()) {
        ++line;
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::string_view content = Trim(raw);
        if (content.empty() || content.front() == '#') continue;
        const std::size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            error = Where(line) + "expected 'name = value', found " + QuotedValue(content);
            return false;
        }
        const std::string name(Trim(content.substr(0, equals)));
        if (m_entries.count(name) != 0) {
            error = Where(line) + pointscan::QuoteToken(name) + " is given a second time";
            return false;
        }
        std::string_view value = Trim(content.substr(equals + 1));
        if (m_trailingComments) value = Trim(WithoutComment(value));
        m_entries[name] = Entry{std::string(value), line, false};
    }
    return true;
}

const KeyValueFile::Entry* KeyValueFile::Peek(const std::string& name) const {
    auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : &it->second;
}

const KeyValueFile::Entry* KeyValueFile::Find(const std::string& name) {
    auto it = m_entries.find(name);
    if (it == m_entries.end()) return nullptr;
    it->second.used = true;
    return &it->second;
}

bool KeyValueFile::CheckLines(const std::map<std::string, Kind>& known, const std::string& names,
                              std::string& error, const char* noun) const {
    std::vector<std::pair<int, const std::string*>> order;
    for (const auto& [name, entry] : m_entries) order.emplace_back(entry.line, &name);
    std::sort(order.begin(), order.end());
    for (const auto& [line, name] : order) {
        const auto kind = known.find(*name);
        if (kind == known.end()) {
            error = Where(line) + "unknown " + noun + " " + QuotedValue(*name) + " (" + names + ")";
            return false;
        }
        const std::string& value = m_entries.at(*name).value;
        if (kind->second == Kind::Number && !ParseDecimal(value)) {
            error = Where(line) + "the value of " + *name + ", " + QuotedValue(value) +
                    ", is not a number";
            return false;
        }
    }
    return true;
}

bool KeyValueFile::Number(const std::string& name, const std::string& needed, double& value,
                          std::string& error) {
    const Entry* entry = Find(name);
    if (entry == nullptr) {
        error = m_source + ": " + name + " is missing (" + needed + ")";
        return false;
    }
    const auto number = ParseDecimal(entry->value);
    if (!number) {
        error = Where(entry->line) + "the value of " + name + ", " + QuotedValue(entry->value) +
                ", is not a number";
        return false;
    }
    value = *number;
    return true;
}

const std::string* KeyValueFile::FirstUnused(std::initializer_list<std::string_view> except) const {
    const std::string* first = nullptr;
    int firstLine = 0;
    for (const auto& [name, entry] : m_entries) {
        if (entry.used || std::find(except.begin(), except.end(), name) != except.end()) continue;
        if (first == nullptr || entry.line < firstLine) {
            first = &name;
            firstLine = entry.line;
        }
    }
    return first;
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t maxBytes,
                                         const std::string& what, std::string& error) {
    const std::string source = platform::PathText(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(platform::OpenFile(path, "rb"), &std::fclose);
    if (!file) {
        error = source + ": cannot open the " + what + " (" +
                std::error_code(errno, std::generic_category()).message() + ")";
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, got);
        if (text.size() > maxBytes) {
            error = source + ": too large for a " + what;
            return std::nullopt;
        }
    }
    if (std::ferror(file.get())) {
        error = source + ": cannot read the " + what + " (" +
                std::error_code(errno, std::generic_category()).message() + ")";
        return std::nullopt;
    }
    return text;
}

}  // namespace zelk
