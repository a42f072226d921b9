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

// False when the bytes are not text in that code page.
bool CodePageToWide(std::string_view bytes, unsigned codePage, std::wstring& out) {
    out.clear();
    const int size = static_cast<int>(bytes.size());
    const int n =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (bytes.empty() || n <= 0) {
        return bytes.empty();
    }
    out.resize(static_cast<size_t>(n));
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, out.data(), n);
    return true;
}

// How many characters past ASCII read as letters in that code page; -1 where the text is none.
int LettersIn(std::string_view text, unsigned codePage) {
    std::wstring wide;
    if (!CodePageToWide(text, codePage, wide)) {
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
    // Without a console GetConsoleOutputCP answers 0: the OEM code page is a new console's.
    const UINT console = ::GetConsoleOutputCP() != 0 ? ::GetConsoleOutputCP() : ::GetOEMCP();
    const UINT first = standardInput ? console : ::GetACP();
    const UINT second = standardInput ? ::GetACP() : console;
    return LettersIn(text, second) > LettersIn(text, first) ? second : first;
}

bool CodePageToUtf8(std::string_view bytes, unsigned codePage, std::string& out) {
    std::wstring wide;
    const bool text = CodePageToWide(bytes, codePage, wide);
    out = WideToUtf8(wide);
    return text;
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
