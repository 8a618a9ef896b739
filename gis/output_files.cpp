#include "gis/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/interrupt_cleanup.h"

namespace zelk::gis {

namespace fs = std::filesystem;

std::string QuotedPath(const fs::path& path) { return "“" + platform::PathText(path) + "”"; }

namespace {

std::atomic<unsigned> g_counter{0};

// The file a path names after following symbolic links (as many as the
// system follows in one path).
fs::path FollowLinks(fs::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        const fs::path next = platform::FollowLink(path);
        if (next == path) break;
        path = next;
    }
    return path;
}

bool IsUpper(const std::string& text) {
    bool letters = false;
    for (char c : text) {
        if (c >= 'a' && c <= 'z') return false;
        if (c >= 'A' && c <= 'Z') letters = true;
    }
    return letters;
}

std::string InCase(std::string extension, bool upper) {
    if (upper) {
        for (char& c : extension) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return extension;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool Exists(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Flushes a finished file to disk before it takes the target's place: a
// crash must not leave an empty file where the old one was.
bool SyncFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

}  // namespace

OutputFiles::~OutputFiles() { Abandon(); }

bool OutputFiles::Open(const fs::path& target, const std::vector<std::string>& members,
                       const std::vector<std::string>& optionalMembers,
                       const std::vector<std::string>& staleMembers,
                       const std::vector<std::string>& sideFiles) {
    Abandon();
    m_message.clear();
    const auto refuse = [&](const std::string& why) {
        m_message = "不能写文件" + QuotedPath(target) + "：" + why;
        return false;
    };
    std::error_code ec;
    const std::string absolute = fs::absolute(target, ec).lexically_normal().string();
    if (absolute.rfind("/dev/", 0) == 0 || absolute.rfind("/proc/", 0) == 0) {
        return refuse("这种格式只能写到普通文件，不能写到设备或标准输出。");
    }
    m_target = FollowLinks(target);
    struct stat existing {};
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return refuse("这是一个文件夹。");
    if (exists && !S_ISREG(existing.st_mode)) {
        return refuse("这种格式只能写到普通文件，不能写到设备或管道。");
    }
    if (exists && ::access(m_target.c_str(), W_OK) != 0) return refuse("没有写这个文件的权限。");
    m_keepMode = exists;
    m_mode = existing.st_mode & 07777;

    const fs::path folder = m_target.parent_path();
    const std::string extension = m_target.extension().string();
    const bool upper = IsUpper(extension);
    std::string stem = m_target.stem().string();
    if (stem.size() > 200) stem = "zelk";
    const fs::path targetBase = folder / m_target.stem();

    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string base = "." + stem + "." + std::to_string(::getpid()) + "-" +
                                 std::to_string(g_counter.fetch_add(1)) + ".tmp";
        // GDAL names the members of what it writes in lower case.
        std::vector<Member> all;
        for (const std::string& m : members) {
            all.push_back({folder / (base + m), fs::path(targetBase.string() + InCase(m, upper)),
                           false, -1});
        }
        for (const std::string& m : optionalMembers) {
            all.push_back({folder / (base + m), fs::path(targetBase.string() + InCase(m, upper)),
                           true, -1});
        }
        all.push_back({folder / (base + Lower(extension)), m_target, false, -1});
        std::vector<Member> side;
        for (const std::string& s : sideFiles) {
            side.push_back({fs::path(all.back().temporary.string() + s), {}, true, -1});
        }
        bool taken = false;
        for (const Member& m : all) taken = taken || Exists(m.temporary);
        for (const Member& m : side) taken = taken || Exists(m.temporary);
        if (taken) continue;
        // Known to the interrupt handler before GDAL creates them, by paths
        // that do not depend on the working folder.
        for (Member& m : all) {
            m.slot = interruptcleanup::Register(fs::absolute(m.temporary, ec).c_str());
        }
        for (Member& m : side) {
            m.slot = interruptcleanup::Register(fs::absolute(m.temporary, ec).c_str());
        }
        m_members = std::move(all);
        m_side = std::move(side);
        m_temporary = m_members.back().temporary;
        for (const std::string& s : staleMembers) {
            m_stale.push_back(fs::path(targetBase.string() + InCase(s, upper)));
        }
        return true;
    }
    return refuse("找不到可用的临时文件名。");
}

bool OutputFiles::Commit() {
    m_message.clear();
    if (m_members.empty()) return false;
    // Every required member is there and on disk before any is renamed.
    for (const Member& m : m_members) {
        const bool there = Exists(m.temporary);
        if (!there && m.optional) continue;
        if (!there || !SyncFile(m.temporary)) {
            m_message = "写文件" + QuotedPath(m.target) + "出错！";
            Abandon();
            return false;
        }
        if (m_keepMode) ::chmod(m.temporary.c_str(), m_mode);
    }
    std::size_t renamed = 0;
    for (Member& m : m_members) {
        if (!Exists(m.temporary)) {
            // An optional member not written: an old one would describe
            // the new data wrongly.
            ::unlink(m.target.c_str());
            continue;
        }
        if (::rename(m.temporary.c_str(), m.target.c_str()) != 0) {
            const int error = errno;
            m_message = "写文件" + QuotedPath(m.target) + "出错：" + std::strerror(error);
            if (renamed > 0) m_message += "（前面的组成文件已经换成新的，这一组文件不完整）";
            m_message += "！";
            Abandon();
            return false;
        }
        ++renamed;
        interruptcleanup::Forget(m.slot);
        m.slot = -1;
        m.temporary.clear();
    }
    for (const fs::path& stale : m_stale) ::unlink(stale.c_str());
    m_stale.clear();
    Abandon();
    return true;
}

void OutputFiles::Abandon() {
    for (std::vector<Member>* group : {&m_members, &m_side}) {
        for (Member& m : *group) {
            if (!m.temporary.empty()) ::unlink(m.temporary.c_str());
            interruptcleanup::Forget(m.slot);
        }
        group->clear();
    }
    m_stale.clear();
    m_temporary.clear();
}

}  // namespace zelk::gis
