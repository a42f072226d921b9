#include "platform/messagebox.h"

namespace zarnex {

MessageAnswer ScriptedMessageBoxes::Show(const MessageBoxRequest& request) {
    shown.push_back(request);
    if (!script.empty()) {
        MessageAnswer answer = script.front();
        script.pop_front();
        return answer;
    }
    return request.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Yes;
}

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return "error";
        case MessageIcon::Warning:
            return "warning";
        case MessageIcon::Question:
            return "question";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::None:
            break;
    }
    return "none";
}

}  // namespace zarnex
