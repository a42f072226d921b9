#include "platform/wildcards.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>

#include "platform/paths.h"
#include "platform/wide.h"
#endif

namespace zarnex {

bool HasWildcards(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

#ifdef _WIN32
std::vector<std::string> ExpandFileArgument(const std::string& argument) {
    const std::string folder = FolderPart(argument);
    std::wstring pattern;
    if (!HasWildcards(argument.substr(folder.size())) || !Win32Path(argument, pattern)) {
        return {argument};
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                names.emplace_back(found.cFileName);
            }
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    // NTFS lists a folder in this order; other file systems (and Wine) in none.
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                      static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
    });
    std::vector<std::string> paths;
    for (const std::wstring& name : names) {
        paths.push_back(folder + WideToUtf8(name));
    }
    return paths;
}
#else
std::vector<std::string> ExpandFileArgument(const std::string& argument) {
    return {argument};
}
#endif

}  // namespace zarnex
