// Message boxes answered from a script, remembering every message and its Russian words.
#pragma once

#include <deque>
#include <vector>

#include "archive/messages.h"

namespace zarnex {

// When the script runs out, a box gets its first button's answer.
class ScriptedMessageBoxes : public MessageBoxes {
  public:
    MessageAnswer Show(const Message& message) override {
        messages.push_back(message);
        shown.push_back(Render(message, Language::Russian));
        if (!script.empty()) {
            const MessageAnswer answer = script.front();
            script.pop_front();
            return answer;
        }
        return shown.back().buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
    }

    void Answer(MessageAnswer answer) { script.push_back(answer); }

    std::deque<MessageAnswer> script;
    std::vector<Message> messages;
    std::vector<MessageBoxRequest> shown;
};

}  // namespace zarnex
