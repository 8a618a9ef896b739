// A file read at any offset, from any thread at once: the access large data
// files (geoid grids) need, reading only what a lookup touches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace zelk::platform {

class RandomAccessFile {
public:
    RandomAccessFile() = default;
    ~RandomAccessFile();
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;

    // Opens a regular file for reading; false with the reason in error
    // (without the file's name): it does not open, it is a folder, it is not
    // a regular file.
    bool Open(const std::filesystem::path& path, std::string& error);
    std::uint64_t Size() const { return m_size; }
    // Reads count bytes at offset; false on an error or when the file ends
    // before (the reason in error).
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t count, std::string& error) const;
    // Reads up to count bytes at offset: the number read (fewer at the
    // file's end), or -1 on an error.
    long long ReadSome(std::uint64_t offset, void* buffer, std::size_t count,
                       std::string& error) const;

private:
    // One read of the system at offset: bytes read (0 at the file's end), or
    // -1 with the reason in error.
    long long ReadOnce(std::uint64_t offset, char* out, std::size_t count,
                       std::string& error) const;

    // A descriptor on POSIX systems, a HANDLE on Windows.
    std::intptr_t m_file = -1;
    std::uint64_t m_size = 0;
};

}  // namespace zelk::platform
