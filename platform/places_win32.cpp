#include <shlobj.h>
#include <windows.h>

#include "platform/paths.h"
#include "platform/places.h"
#include "platform/wide.h"

namespace zarnex {

namespace {

std::wstring KnownFolder(const KNOWNFOLDERID& id) {
    wchar_t* path = nullptr;
    std::wstring folder;
    if (SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path) == S_OK) {
        folder = path;
    }
    CoTaskMemFree(path);
    return folder;
}

// `path` is `folder` or lies inside it, whatever the letter case and the separators.
bool Inside(std::wstring path, std::wstring folder) {
    for (std::wstring* p : {&path, &folder}) {
        for (wchar_t& c : *p) {
            c = c == L'/' ? L'\\' : c;
        }
        while (!p->empty() && p->back() == L'\\') {
            p->pop_back();
        }
    }
    return !folder.empty() && path.size() >= folder.size() &&
           CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL &&
           (path.size() == folder.size() || path[folder.size()] == L'\\');
}

}  // namespace

bool FolderWritable(const std::string& folder) {
    std::wstring path;
    if (!Win32Path(folder, path)) {
        return false;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    std::wstring probe;
    if (!Win32Path(JoinPath(folder, "zarnex-" + std::to_string(GetCurrentProcessId()) + ".tmp"),
                   probe)) {
        return false;
    }
    const HANDLE file = CreateFileW(
        probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

bool InstalledCopy(const std::string& executableDir, std::string_view) {
    std::wstring path;
    if (!Utf8ToWide(executableDir, path)) {
        return false;
    }
    return Inside(path, KnownFolder(FOLDERID_ProgramFiles)) ||
           Inside(path, KnownFolder(FOLDERID_ProgramFilesX86));
}

std::string UserSettingsFolder() {
    // The variable first, as Windows users know the place by it.
    std::wstring appData(GetEnvironmentVariableW(L"APPDATA", nullptr, 0), L'\0');
    appData.resize(
        GetEnvironmentVariableW(L"APPDATA", appData.data(), static_cast<DWORD>(appData.size())));
    if (appData.empty()) {
        appData = KnownFolder(FOLDERID_RoamingAppData);
    }
    if (appData.empty()) {
        return {};
    }
    return JoinPath(WideToUtf8(appData), "Zarnex");
}

}  // namespace zarnex
