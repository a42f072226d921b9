// The one way the engine talks to the user: a modal box that returns the answer.
#pragma once

#include <string>

namespace zarnex {

enum class MessageIcon { None, Error, Warning, Question, Information };
enum class MessageButtons { Ok, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct MessageBoxRequest {
    std::string text;  // UTF-8
    std::string title = "Zarnex";
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool taskModal = true;
};

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual MessageAnswer Show(const MessageBoxRequest& request) = 0;
};

const char* IconName(MessageIcon icon);

}  // namespace zarnex
