// The files the table of adapter calls reads and writes: shared by the
// table's writer and the test that replays it, so both see one behaviour.
#pragma once

#include <cstdio>
#include <string>

namespace zelk::adaptertable {

// A temporary file holding text, at its start.
inline std::FILE* FileOf(const std::string& text) {
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return f;
}

inline std::string Contents(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    return text;
}

template <typename Status>
std::string StatusName(Status s) {
    if (s == Status::Ok) return "Ok";
    if (s == Status::Unreadable) return "Unreadable";
    if (s == Status::CutShort) return "CutShort";
    if (s == Status::ReadError) return "ReadError";
    return "other";
}

}  // namespace zelk::adaptertable
