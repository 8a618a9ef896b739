// Files by name, the same on every system: names are UTF-8 text in the
// program (arguments, messages, parameter files), paths are whatever the
// system takes. On POSIX systems the bytes of a name are the path, whatever
// they are; on Windows a name is UTF-8 and a path is UTF-16, and every file
// opens through the wide functions, so Chinese names work whatever the
// system's code page.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zelk::platform {

// The path a name stands for. Never build a path from a std::string
// directly: on Windows that reads the string in the system's code page.
std::filesystem::path PathFromUtf8(std::string_view name);

// The name of a path, for messages and for files that record names: the
// bytes as they are on POSIX systems, UTF-8 on Windows (a character that
// UTF-16 holds badly becomes U+FFFD). Never path.string(): on Windows it
// throws for a name the code page cannot hold.
std::string PathText(const std::filesystem::path& path);

// std::fopen by path; mode as for fopen ("rb", "wb", ...). Files always open
// in binary mode: "b" is added where it is missing. Null on failure, with
// errno set.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// The size of what stream reads when it is a regular file, in bytes
// (64 bits on every system); nothing for a pipe, a terminal or a device.
std::optional<std::uint64_t> RegularFileSize(std::FILE* stream);

// The number of this process, for names that must differ between programs.
std::uint64_t ProcessId();

// Names of descriptors this program has open (/dev/stdin, /dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N): whether the system has them (not
// Windows), and whether a name reads as one, on any system.
bool HasDescriptorNames();
bool IsDescriptorName(std::string_view name);

}  // namespace zelk::platform
