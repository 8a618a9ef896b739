#include "cli/console.h"

#include <cstdio>

#include "platform/interrupt_cleanup.h"
#include "platform/number_text.h"
#include "platform/standard_streams.h"

using namespace zelk;

void WriteDiagnostic(std::string_view text) {
    std::string line = kProgramName;
    line += ": ";
    line += text;
    line += '\n';
    zelk::platform::WriteText(stderr, line);
    std::fflush(stderr);
}

bool StandardOutputReaderGone() { return zelk::platform::PipeReaderGone(stdout); }

void InstallSignalHandling() {
    zelk::platform::PrepareStandardStreams();
    interruptcleanup::InstallHandlers();
}

ConsoleMessages::ConsoleMessages() : m_previous(SetMessageService(this)) {
    SetApplicationName(kProgramName);
}

ConsoleMessages::~ConsoleMessages() { SetMessageService(m_previous); }

void ConsoleMessages::Show(const std::string& text, const std::string& /*caption*/,
                           MessageIcon /*icon*/) {
    if (m_progress != nullptr) m_progress->Clear();
    WriteDiagnostic(text);
}

ProgressLine::ProgressLine(std::uint64_t totalBytes, std::function<void(std::string_view)> write,
                           Clock::time_point start, Clock::duration delay,
                           Clock::duration interval)
    : m_total(totalBytes),
      m_write(std::move(write)),
      m_start(start),
      m_delay(delay),
      m_interval(interval) {}

std::string ProgressLine::Text(std::uint64_t bytesRead) const {
    const double megabytes = static_cast<double>(bytesRead) / 1e6;
    std::string text = kProgramName;
    text += ": converting, ";
    if (m_total > 0) {
        const std::uint64_t shown = bytesRead < m_total ? bytesRead : m_total;
        text += FormatFixed(100.0 * static_cast<double>(shown) / static_cast<double>(m_total), 0);
        text += "% of ";
        text += FormatFixed(static_cast<double>(m_total) / 1e6, 1);
        text += " MB";
    } else {
        text += FormatFixed(megabytes, 1);
        text += " MB read";
    }
    return text;
}

void ProgressLine::Update(std::uint64_t bytesRead, Clock::time_point now) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (now - m_start < m_delay) return;
    if (m_shownWidth > 0 && now - m_lastDraw < m_interval) return;
    m_lastDraw = now;
    std::string text = Text(bytesRead);
    std::string line = "\r" + text;
    // Blank out what is left of a longer previous text.
    if (text.size() < m_shownWidth) line.append(m_shownWidth - text.size(), ' ');
    m_shownWidth = text.size();
    m_write(line);
}

void ProgressLine::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_shownWidth == 0) return;
    std::string line = "\r";
    line.append(m_shownWidth, ' ');
    line += '\r';
    m_shownWidth = 0;
    m_write(line);
}
