// A message service for tests: records every message instead of showing it,
// and restores the previous service when it goes out of scope.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"

using namespace zelk;

struct RecordedMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class RecordingMessages final : public IMessageService {
public:
    RecordingMessages() : m_previous(SetMessageService(this)) {}
    ~RecordingMessages() override { SetMessageService(m_previous); }
    RecordingMessages(const RecordingMessages&) = delete;
    RecordingMessages& operator=(const RecordingMessages&) = delete;

    void Show(const std::string& text, const std::string& caption, MessageIcon icon) override {
        messages.push_back({text, caption, icon});
        if (onShow) onShow(messages.back());
    }

    std::vector<RecordedMessage> messages;
    // Runs inside Show, while the "box" is open.
    std::function<void(const RecordedMessage&)> onShow;

private:
    IMessageService* m_previous;
};
