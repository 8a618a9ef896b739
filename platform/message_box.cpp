#include "platform/message_box.h"

#include <cstdio>

#include "platform/standard_streams.h"

namespace zelk {

namespace {
class StderrMessageService final : public IMessageService {
public:
    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
        const char* kind = icon == MessageIcon::Error         ? "error"
                           : icon == MessageIcon::Information ? "information"
                                                              : "warning";
        std::string line = caption + " (" + kind + "): " + text + "\n";
        zelk::platform::WriteText(stderr, line);
        std::fflush(stderr);
    }
};

StderrMessageService g_defaultService;
IMessageService* g_service = nullptr;
std::string g_applicationName = "zelk";
}  // namespace

void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    (g_service ? *g_service : static_cast<IMessageService&>(g_defaultService)).Show(text, caption, icon);
}

IMessageService* SetMessageService(IMessageService* service) {
    IMessageService* previous = g_service;
    g_service = service;
    return previous;
}

const std::string& ApplicationName() { return g_applicationName; }
void SetApplicationName(std::string name) { g_applicationName = std::move(name); }

}  // namespace zelk
