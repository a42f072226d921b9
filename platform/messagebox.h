// A modal box as the desktop shows one: title, text, icon and buttons, and the answer it gives.
#pragma once

#include <string>

namespace zarnex {

enum class MessageIcon { None, Error, Warning, Question, Information };
// YesNoToAllCancel: a question asked of many files in turn, whose answer may hold for the rest.
enum class MessageButtons { Ok, YesNo, YesNoCancel, YesNoToAllCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel, YesToAll, NoToAll };

struct MessageBoxRequest {
    std::string text;  // UTF-8
    std::string title = "Zarnex";
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool taskModal = true;
};

}  // namespace zarnex
