#include "archive/names.h"

#include "platform/codepage.h"

namespace zarnex {

NameFault EntryNameFault(std::string_view ansi, size_t limit) {
    if (ansi.empty()) {
        return NameFault::Empty;
    }
    if (ansi == "." || ansi == "..") {
        return NameFault::Dots;
    }
    if (ansi.find_first_of("/\\:") != std::string_view::npos) {
        return NameFault::Path;
    }
    for (const char c : ansi) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return NameFault::Control;
        }
    }
    if (ansi.front() == ' ' || ansi.back() == ' ' || ansi.back() == '.') {
        return NameFault::Ends;
    }
    if (ansi.find('\x98') != std::string_view::npos) {
        return NameFault::Undefined;
    }
    return ansi.size() > limit ? NameFault::TooLong : NameFault::None;
}

std::string DisplayName(std::string_view ansi) {
    static const char* const hex = "0123456789abcdef";
    std::string text;
    for (const char c : AnsiToUtf8Lossy(ansi)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F) {
            text += "\\x";
            text += hex[byte >> 4];
            text += hex[byte & 15];
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace zarnex
