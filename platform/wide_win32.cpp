#include "platform/wide.h"

#include <windows.h>

#include <algorithm>

namespace zarnex {

bool Utf8ToWide(std::string_view utf8, std::wstring& out) {
    out.clear();
    if (utf8.empty()) {
        return true;
    }
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                        static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) {
        return false;
    }
    out.resize(static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                          out.data(), n);
    return true;
}

std::string WideToUtf8(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                          nullptr, nullptr);
    return out;
}

bool Win32Path(const std::string& path, std::wstring& out) {
    std::wstring wide;
    if (path.empty() || !Utf8ToWide(path, wide)) {
        return false;
    }
    for (wchar_t& c : wide) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) {
        out = wide;
        return true;
    }
    // The full path, "." and ".." resolved: the "\\?\" form takes every name as it stands.
    const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) {
        return false;
    }
    std::wstring full(n, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (length == 0 || length >= n) {
        return false;
    }
    full.resize(length);
    if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\")) {
        out = full;  // a device such as CON: left to be refused as no file
    } else if (full.starts_with(L"\\\\")) {
        out = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        out = L"\\\\?\\" + full;
    }
    return true;
}

}  // namespace zarnex
