// The system boundary as both builds see it: files by UTF-8 name, sizes
// beyond 4 GiB, and the output file that replaces its target only on
// Commit. The same tests run on Linux and, cross-built, under wine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/standard_streams.h"
#include "temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace zelk;

namespace {

using zelk::platform::PathFromUtf8;
using zelk::platform::PathText;

std::string ReadAll(const std::filesystem::path& path) {
    std::FILE* file = zelk::platform::OpenFile(path, "rb");
    if (!file) return "<cannot open>";
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
    return text;
}

bool WriteAll(const std::filesystem::path& path, const std::string& text) {
    std::FILE* file = zelk::platform::OpenFile(path, "w");
    if (!file) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

// Names as a surveyor gives them: Chinese, with blanks, with a byte that
// text-mode files would take for their end (Ctrl-Z) inside the contents.
TEST(PlatformFiles, Utf8NamesOpenTheFilesTheyName) {
    TempFolder folder;
    for (const std::string name : {"北京54坐标.txt", "点 校正 K01.dat", "plain.txt", "ü-ß-é.csv"}) {
        const std::filesystem::path path = folder.Path() / PathFromUtf8(name);
        EXPECT_EQ(PathText(path.filename()), name);
        const std::string text = "P1\x1a 4433921.004 756206.416 0.000\r\nP2 1 2 3\n";
        ASSERT_TRUE(WriteAll(path, text)) << name;
        EXPECT_EQ(ReadAll(path), text) << name;  // bytes unchanged: binary both ways
        // The system lists it under that name, not a code-page guess.
        bool listed = false;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            listed = listed || PathText(entry.path().filename()) == name;
        }
        EXPECT_TRUE(listed) << name;
    }
    EXPECT_EQ(zelk::platform::OpenFile(folder.Path() / PathFromUtf8("没有.txt"), "rb"), nullptr);
}

TEST(PlatformFiles, SizesBeyondFourGigabytes) {
    TempFolder folder;
    const std::filesystem::path path = folder.Path() / PathFromUtf8("大.txt");
    ASSERT_TRUE(WriteAll(path, "x"));
    const std::uint64_t size = (std::uint64_t{5} << 30) + 7;  // sparse where the disk allows
    std::error_code ec;
    std::filesystem::resize_file(path, size, ec);
    if (ec) GTEST_SKIP() << "the folder takes no file of 5 GiB: " << ec.message();
    std::FILE* file = zelk::platform::OpenFile(path, "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(zelk::platform::RegularFileSize(file), size);
    EXPECT_EQ(zelk::platform::KindOf(file), zelk::platform::StreamKind::File);
    std::fclose(file);
}

TEST(PlatformFiles, DescriptorNames) {
    struct Case {
        const char* name;
        bool descriptor;
    };
    const Case cases[] = {
        {"/dev/stdout", true},    {"/dev/stdin", true},        {"/dev/stderr", true},
        {"/dev/fd/1", true},      {"/proc/self/fd/12", true},  {"/proc/thread-self/fd/0", true},
        {"/dev/fd/", false},      {"/dev/fd/1x", false},       {"/dev/stdout2", false},
        {"-", false},             {"stdout", false},           {"C:\\dev\\stdout", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zelk::platform::IsDescriptorName(c.name), c.descriptor) << c.name;
    }
    EXPECT_EQ(zelk::platform::HasDescriptorNames(), !zelk::platform::RunsOnWindows());
}

TEST(AtomicOutputFileTest, ReplacesOnlyOnCommitAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const std::filesystem::path target = folder.Path() / PathFromUtf8("结果 1.txt");
    ASSERT_TRUE(WriteAll(target, "old\n"));
    {
        AtomicOutputFile file;
        ASSERT_TRUE(file.Open(target));
        std::fputs("abandoned\n", file.Stream());
        std::fflush(file.Stream());
        EXPECT_EQ(ReadAll(target), "old\n");
        EXPECT_EQ(folder.Entries().size(), 2u);  // the target and the temporary file
    }
    EXPECT_EQ(ReadAll(target), "old\n");
    EXPECT_EQ(folder.Entries().size(), 1u);

    AtomicOutputFile file;
    ASSERT_TRUE(file.Open(target));
    std::fputs("new\n", file.Stream());
    EXPECT_TRUE(file.Commit());
    EXPECT_TRUE(file.Problem().empty());
    EXPECT_EQ(ReadAll(target), "new\n");
    EXPECT_EQ(folder.Entries().size(), 1u);

    // A new file, by a relative name, in the working folder.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    AtomicOutputFile fresh;
    const bool opened = fresh.Open(PathFromUtf8("新.txt"));
    if (opened) std::fputs("fresh\n", fresh.Stream());
    const bool committed = opened && fresh.Commit();
    std::filesystem::current_path(before);
    EXPECT_TRUE(committed);
    EXPECT_EQ(ReadAll(folder.Path() / PathFromUtf8("新.txt")), "fresh\n");
    EXPECT_EQ(folder.Entries().size(), 2u);
}

#ifdef _WIN32
// Holds a file open as a spreadsheet does: nobody may write, rename or
// delete it meanwhile.
class Holder {
public:
    explicit Holder(const std::filesystem::path& path)
        : m_handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Holder() { Release(); }
    bool Holds() const { return m_handle != INVALID_HANDLE_VALUE; }
    void Release() {
        if (m_handle != INVALID_HANDLE_VALUE) ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};
#endif

TEST(AtomicOutputFileTest, TargetHeldOpenByAnotherProgram) {
#ifndef _WIN32
    GTEST_SKIP() << "an open file holds its name on Windows only";
#else
    TempFolder folder;
    const std::filesystem::path target = folder.Path() / PathFromUtf8("成果表.csv");
    ASSERT_TRUE(WriteAll(target, "old\n"));

    // Held throughout: refused after the retries, with words that say why.
    {
        Holder holder(target);
        ASSERT_TRUE(holder.Holds());
        AtomicOutputFile file;
        ASSERT_TRUE(file.Open(target));
        std::fputs("new\n", file.Stream());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(file.Commit());
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(1500));
        EXPECT_LT(waited, std::chrono::seconds(10));
        EXPECT_NE(file.Problem().find("成果表.csv"), std::string::npos) << file.Problem();
        EXPECT_NE(file.Problem().find("其他程序"), std::string::npos) << file.Problem();
    }
    EXPECT_EQ(ReadAll(target), "old\n");
    EXPECT_EQ(folder.Entries().size(), 1u);

    // Let go of within the retries (a virus scanner's look): replaced.
    Holder holder(target);
    ASSERT_TRUE(holder.Holds());
    AtomicOutputFile file;
    ASSERT_TRUE(file.Open(target));
    std::fputs("new\n", file.Stream());
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        holder.Release();
    });
    EXPECT_TRUE(file.Commit());
    release.join();
    EXPECT_TRUE(file.Problem().empty());
    EXPECT_EQ(ReadAll(target), "new\n");
    EXPECT_EQ(folder.Entries().size(), 1u);
#endif
}

TEST(AtomicOutputFileTest, ReadOnlyTargetIsRefused) {
    TempFolder folder;
    const std::filesystem::path target = folder.Path() / PathFromUtf8("只读.txt");
    ASSERT_TRUE(WriteAll(target, "old\n"));
    std::filesystem::permissions(target, std::filesystem::perms::owner_write |
                                             std::filesystem::perms::group_write |
                                             std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    AtomicOutputFile file;
    // root may write anything on POSIX systems.
    if (!zelk::platform::RunsOnWindows() && file.Open(target)) {
        GTEST_SKIP() << "running as root";
    }
    EXPECT_FALSE(file.Open(target));
    EXPECT_EQ(ReadAll(target), "old\n");
    EXPECT_EQ(folder.Entries().size(), 1u);
    std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

}  // namespace
