// Message boxes answered from a script, for tests.
#pragma once

#include <deque>
#include <vector>

#include "platform/messagebox.h"

namespace zarnex {

// Answers from a script and remembers every box. When the script runs out, a box gets its
// first button's answer.
class ScriptedMessageBoxes : public MessageBoxes {
  public:
    MessageAnswer Show(const MessageBoxRequest& request) override {
        shown.push_back(request);
        if (!script.empty()) {
            MessageAnswer answer = script.front();
            script.pop_front();
            return answer;
        }
        return request.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
    }

    void Answer(MessageAnswer answer) { script.push_back(answer); }

    std::deque<MessageAnswer> script;
    std::vector<MessageBoxRequest> shown;
};

}  // namespace zarnex
