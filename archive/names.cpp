#include "archive/names.h"

#include <array>

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

namespace {

// What each stored byte shows as, made once: a listing of a million names converts 15 million.
// A backslash is doubled and a control character written \xNN, so that what is shown names the
// bytes; below 0x80 a byte is the same character in UTF-8.
const std::array<std::string, 256>& ShownBytes() {
    static const std::array<std::string, 256> shown = [] {
        static const char* const hex = "0123456789abcdef";
        std::array<std::string, 256> text;
        for (int byte = 0; byte < 256; ++byte) {
            std::string& t = text[static_cast<size_t>(byte)];
            if (byte == '\\') {
                t = "\\\\";
            } else if (byte < 0x20 || byte == 0x7F) {
                t = {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
            } else {
                t = AnsiToUtf8Lossy(std::string(1, static_cast<char>(byte)));
            }
        }
        return text;
    }();
    return shown;
}

}  // namespace

void AppendDisplayName(std::string& out, std::string_view ansi) {
    for (const char c : ansi) {
        out += ShownBytes()[static_cast<unsigned char>(c)];
    }
}

std::string DisplayName(std::string_view ansi) {
    std::string text;
    AppendDisplayName(text, ansi);
    return text;
}

std::string DisplayText(std::string_view utf8) {
    std::string text;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += ShownBytes()[byte];
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace zarnex
