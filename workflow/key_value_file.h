// The small "name = value" text files people read and edit: parameter files
// (workflow/parameter_file.h) and system files (workflow/system_file.h).
//
//   # comment lines start with '#'; blank lines are ignored
//   name = value
//
// Blanks and tabs around names, '=' and values are allowed; CR LF line ends
// and a UTF-8 byte-order mark are accepted. Each name once. Where a file
// kind allows it, a '#' after a blank or tab ends a line's value (a comment
// behind it). Messages name the file and the line ("<source>:<line>: ") and
// quote what they show cut short, control bytes escaped.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

// A value as messages quote it: 'text', cut short, control bytes escaped.
std::string QuotedValue(std::string_view text);

class KeyValueFile {
public:
    struct Entry {
        std::string value;
        int line = 0;
        bool used = false;
    };
    enum class Kind { Text, Number };

    explicit KeyValueFile(std::string source, bool trailingComments = false)
        : m_source(std::move(source)), m_trailingComments(trailingComments) {}

    // Every line; false with the error at the first line that is not
    // "name = value" or gives a name a second time. firstLine: the line of
    // the file the text starts on (a part of a file of several sections).
    bool Read(std::string_view text, std::string& error, int firstLine = 1);

    // The entry of a name, or nullptr; Find marks it used.
    const Entry* Peek(const std::string& name) const;
    const Entry* Find(const std::string& name);

    // In line order: a name that is not known ("unknown <noun> 'x' (" +
    // names + ")"), or a number that is not one.
    bool CheckLines(const std::map<std::string, Kind>& known, const std::string& names,
                    std::string& error, const char* noun = "parameter") const;

    // A number that must be there; needed says why when it is missing.
    bool Number(const std::string& name, const std::string& needed, double& value,
                std::string& error);

    // The first line (in line order) not used, other than the names given;
    // nullptr when every line was.
    const std::string* FirstUnused(std::initializer_list<std::string_view> except = {}) const;

    std::string Where(int line) const { return m_source + ":" + std::to_string(line) + ": "; }
    const std::string& Source() const { return m_source; }

private:
    std::string m_source;
    bool m_trailingComments;
    std::map<std::string, Entry> m_entries;
};

// The whole text of a small file (at most maxBytes); nothing, with the
// error ("<path>: cannot open the <what> (reason)", "... too large for a
// <what>"), when it cannot be read.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t maxBytes,
                                         const std::string& what, std::string& error);

}  // namespace zelk
