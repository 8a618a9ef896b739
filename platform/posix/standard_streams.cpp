#include "platform/standard_streams.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

namespace zelk::platform {

bool RunsOnWindows() { return false; }

StreamKind KindOf(std::FILE* stream) {
    const int fd = ::fileno(stream);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) return StreamKind::Other;
    if (S_ISREG(info.st_mode)) return StreamKind::File;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return StreamKind::Pipe;
    if (::isatty(fd)) return StreamKind::Terminal;
    return StreamKind::Other;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrepareStandardStreams() { std::signal(SIGPIPE, SIG_IGN); }

bool WriteText(std::FILE* stream, std::string_view text) {
    return text.empty() || std::fwrite(text.data(), 1, text.size(), stream) == text.size();
}

bool PipeReaderGone(std::FILE* stream) {
    if (KindOf(stream) != StreamKind::Pipe) return false;
    // The write end of a pipe without a reader reports an error.
    struct pollfd probe {};
    probe.fd = ::fileno(stream);
    probe.events = POLLOUT;
    return ::poll(&probe, 1, 0) == 1 && (probe.revents & POLLERR) != 0;
}

}  // namespace zelk::platform
