// The program's standard streams and command line, the same on every
// system: arguments as UTF-8, text to a terminal (a console on Windows) in
// characters it shows, bytes to a pipe or a file unchanged.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::platform {

// True in the Windows build, for what a program tells its user differently
// there.
bool RunsOnWindows();

// The descriptor of standard output, for AtomicOutputFile::OpenDescriptor.
inline constexpr int kStandardOutputDescriptor = 1;

// What a stream is connected to.
enum class StreamKind {
    File,      // a regular file (after > or >>)
    Pipe,      // a pipe or a socket
    Terminal,  // a terminal; on Windows a console
    Other,     // a device (NUL, /dev/null) or unknown
};
StreamKind KindOf(std::FILE* stream);
inline bool IsTerminal(std::FILE* stream) { return KindOf(stream) == StreamKind::Terminal; }

// The arguments after the program name, as UTF-8. On POSIX systems argv as
// it is; on Windows the UTF-16 command line (argv is in the code page there
// and loses what it cannot hold).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Call first thing in main: standard input and output carry bytes unchanged
// (on Windows no CR LF for LF, and Ctrl-Z is no end of file), and a write to
// a pipe whose reader has gone fails instead of ending the program (POSIX
// SIGPIPE is ignored).
void PrepareStandardStreams();

// Writes UTF-8 text to stream: on a terminal as characters (on Windows
// through the console's UTF-16 output, whatever its code page), elsewhere
// the bytes unchanged. Whatever stream holds is written first. False when
// the text could not be written.
bool WriteText(std::FILE* stream, std::string_view text);

// True when stream is a pipe (or socket) whose reader has gone, as after
// `| head`: a failed write was then no fault of the disk. Ask right after
// the write that failed. (On Windows a pipe whose stream has failed a write
// is taken for one: a write to a pipe fails for no other reason there.)
bool PipeReaderGone(std::FILE* stream);

}  // namespace zelk::platform
