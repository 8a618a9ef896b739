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

// Which file a name or a descriptor leads to, whatever the way there: the
// names of one file (hard links, symbolic links, /dev/fd/N, a folder named
// two ways) have one identity. POSIX: the device and the inode; Windows:
// the volume's serial number and the file index. Regular files only:
// nothing for a pipe, a device, a folder, or a name that leads nowhere.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);
std::optional<FileIdentity> IdentityOfDescriptor(int fd);

// Whether two names lead to one file: the same FileIdentity when both lead
// to a regular file; when neither exists yet, the same place once links and
// ".." are resolved (two outputs of one run that would land in one file).
// False otherwise (a device such as /dev/null is no file to protect).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Where a symbolic link leads, one hop (relative to the link's folder); the
// path itself when it is no link or the link cannot be read.
std::filesystem::path FollowLink(const std::filesystem::path& path);

}  // namespace zelk::platform
