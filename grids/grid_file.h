// A file read at any offset, from any thread: the grid readers' access to
// their files. Internal to grids/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace zelk::grids::detail {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens a regular file; false with the reason in error (without the
    // file's name).
    bool Open(const std::filesystem::path& path, std::string& error);
    std::uint64_t Size() const { return m_size; }
    // Reads count bytes at offset; false on an error or when the file ends
    // before (the reason in error).
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count, std::string& error) const;
    // Reads up to count bytes at offset; the number read, or -1 on an error.
    long long ReadSome(std::uint64_t offset, void* buffer, std::size_t count,
                       std::string& error) const;

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

// The reason for errno as text.
std::string SystemError(int code);

}  // namespace zelk::grids::detail
