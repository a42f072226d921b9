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

unsigned LegacyCodePage(bool standardInput) {
    const bool pipe =
        standardInput && ::GetFileType(::GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_PIPE;
    // Without a console, cmd writes in the ANSI code page: GetConsoleOutputCP answers 0 then.
    const UINT page = pipe ? ::GetConsoleOutputCP() : 0;
    return page != 0 ? page : ::GetACP();
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

unsigned LegacyCodePage(bool) {
    return 0;
}

bool CodePageToUtf8(std::string_view, unsigned, std::string& out) {
    out.clear();
    return false;
}
#endif

}  // namespace zarnex
