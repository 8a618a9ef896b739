// An input file opened for reading and closed on every path.
#pragma once

#include <cstdio>
#include <filesystem>
#include <utility>

#include "platform/files.h"

namespace zelk {

class CInputFile {
public:
    explicit CInputFile(const std::filesystem::path& path)
        : m_file(zelk::platform::OpenFile(path, "rb")) {}
    ~CInputFile() { Close(); }
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    std::FILE* Get() const { return m_file; }
    void Close() {
        if (std::FILE* file = std::exchange(m_file, nullptr)) std::fclose(file);
    }

private:
    std::FILE* m_file;
};

}  // namespace zelk
