// The modal message box, as a replaceable service.
//
// The core reports to the user only through this service: a text, a caption
// and an icon kind, shown with a single OK button, blocking until closed.
// The desktop program binds it to a real modal box, the command-line tool to
// its own output, tests to a recorder. The default writes to standard error.
#pragma once

#include <string>

namespace zelk {

// What a message tells of: a result (information), something the user should
// look at (warning), or a failure (error).
enum class MessageIcon { Warning, Error, Information };

class IMessageService {
public:
    virtual ~IMessageService() = default;
    // Shows the message and returns when the user has closed it.
    virtual void Show(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
};

// Shows a message through the current service.
void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon);

// Replaces the current service; nullptr restores the default. Returns the
// previous one (nullptr when it was the default).
IMessageService* SetMessageService(IMessageService* service);

// The application's name: the caption of the plain message boxes (the
// estimation report, the end of a file conversion). Defaults to "zelk", as
// zelk-cli writes it; the desktop program sets its display name "ZELK".
const std::string& ApplicationName();
void SetApplicationName(std::string name);

}  // namespace zelk
