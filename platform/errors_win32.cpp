// Win32 error codes, as GetLastError gives them.
#include <windows.h>

#include "platform/errors.h"
#include "platform/wide.h"

namespace zarnex {

std::string SystemErrorText(int code) {
    if (code == 0) {
        return {};
    }
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text ? text : L"", n);
    ::LocalFree(text);
    // The system ends its words with a line break.
    while (!words.empty() &&
           (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ')) {
        words.pop_back();
    }
    return WideToUtf8(words);
}

bool IsLockConflict(int code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

bool IsAlreadyThere(int code) {
    return code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
}

// What the system itself answers: a folder opened as a file is access denied, an operation that
// does not apply to the handle an incorrect function, a read past the end the end of the file.
const int ErrorFolderInTheWay = ERROR_ACCESS_DENIED;
const int ErrorNotAFile = ERROR_INVALID_FUNCTION;
const int ErrorInputOutput = ERROR_HANDLE_EOF;
const int ErrorClosedFile = ERROR_INVALID_HANDLE;
const int ErrorBadPosition = ERROR_NEGATIVE_SEEK;
const int ErrorTooLong = ERROR_FILE_TOO_LARGE;

}  // namespace zarnex
