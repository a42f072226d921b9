#include "platform/console.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/wide.h"
#endif

namespace zarnex {

#ifdef _WIN32
bool HasConsoleOfItsOwn() {
    DWORD processes[2];
    return ::GetConsoleProcessList(processes, 2) == 1;
}

void WaitForKey() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    ::FlushConsoleInputBuffer(input);
    INPUT_RECORD record;
    DWORD read = 0;
    while (::ReadConsoleInputW(input, &record, 1, &read) && read == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
            return;
        }
    }
}

namespace {

// How many characters past ASCII read as letters in that code page; -1 where the text is none.
int LettersIn(std::string_view text, unsigned codePage) {
    std::string utf8;
    std::wstring wide;
    if (!CodePageToUtf8(text, codePage, utf8) || !Utf8ToWide(utf8, wide)) {
        return -1;
    }
    int letters = 0;
    for (const wchar_t c : wide) {
        letters += c >= 0x80 && ::IsCharAlphaW(c) ? 1 : 0;
    }
    return letters;
}

}  // namespace

unsigned LegacyCodePage(std::string_view text, bool standardInput) {
    // Without a console cmd writes in the ANSI code page, and GetConsoleOutputCP answers 0.
    const UINT console = ::GetConsoleOutputCP() != 0 ? ::GetConsoleOutputCP() : ::GetOEMCP();
    const UINT first = standardInput ? console : ::GetACP();
    const UINT second = standardInput ? ::GetACP() : console;
    return LettersIn(text, second) > LettersIn(text, first) ? second : first;
}

bool CodePageToUtf8(std::string_view bytes, unsigned codePage, std::string& out) {
    out.clear();
    if (bytes.empty()) {
        return true;
    }
    const int size = static_cast<int>(bytes.size());
    const int n =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0) {
        return false;
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), n);
    out = WideToUtf8(wide);
    return true;
}
#else
bool HasConsoleOfItsOwn() {
    return false;
}

void WaitForKey() {}

unsigned LegacyCodePage(std::string_view, bool) {
    return 0;
}

bool CodePageToUtf8(std::string_view, unsigned, std::string& out) {
    out.clear();
    return false;
}
#endif

}  // namespace zarnex
