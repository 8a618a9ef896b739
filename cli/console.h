// What zelk-cli shows on the terminal besides its results: the dialogs'
// messages on standard error, and a progress line for long conversions.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

inline constexpr const char* kProgramName = "zelk-cli";

// Writes "zelk-cli: " and the text, then a line end, to standard error.
void WriteDiagnostic(std::string_view text);

// True when standard output is a pipe (or socket) whose reader has gone.
bool StandardOutputReaderGone();

// How zelk-cli meets signals and its standard streams: SIGPIPE is ignored
// (a write to a pipe without a reader fails with EPIPE instead of ending the
// program), and SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C, Ctrl-Break
// and the closing of the console) remove temporary files before the program
// ends. Standard input and output carry bytes unchanged on every system.
void InstallSignalHandling();

class ProgressLine;

// The messages of zelk-cli: each goes to standard error as "zelk-cli:
// <text>", without its caption (the caption is the window title of the
// desktop program's box; on a terminal the program name tells where the
// line comes from). It is also the message service, for anything that
// shows a message through it.
class ConsoleMessages final : public zelk::IMessageService {
public:
    ConsoleMessages();  // becomes the current service
    ~ConsoleMessages() override;
    ConsoleMessages(const ConsoleMessages&) = delete;
    ConsoleMessages& operator=(const ConsoleMessages&) = delete;

    void Show(const std::string& text, const std::string& caption, zelk::MessageIcon icon) override;

    // A progress line on the terminal is erased before a message is written.
    void SetProgressLine(ProgressLine* progress) { m_progress = progress; }

private:
    zelk::IMessageService* m_previous;
    ProgressLine* m_progress = nullptr;
};

// A one-line progress display, rewritten in place with carriage returns. It
// stays silent for the first `delay` of a run, so quick conversions print
// nothing, and then redraws at most once per `interval`.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    // totalBytes of 0 means the size is unknown (a pipe). write receives the
    // raw text to put on the terminal.
    ProgressLine(std::uint64_t totalBytes, std::function<void(std::string_view)> write,
                 Clock::time_point start = Clock::now(),
                 Clock::duration delay = std::chrono::seconds(1),
                 Clock::duration interval = std::chrono::milliseconds(200));

    // Safe to call from any thread.
    void Update(std::uint64_t bytesRead, Clock::time_point now = Clock::now());
    // Erases the line if one is shown; a later Update may draw it again.
    void Clear();

    // The text shown for a number of bytes read, without the carriage return.
    std::string Text(std::uint64_t bytesRead) const;

private:
    std::mutex m_mutex;
    std::uint64_t m_total;
    std::function<void(std::string_view)> m_write;
    Clock::time_point m_start;
    Clock::duration m_delay;
    Clock::duration m_interval;
    Clock::time_point m_lastDraw{};
    std::size_t m_shownWidth = 0;
};
