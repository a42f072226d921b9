#include "platform/paths.h"

namespace zarnex {

namespace {

#ifdef _WIN32
constexpr std::string_view Separators = "/\\:";
constexpr char NativeSeparator = '\\';
#else
constexpr std::string_view Separators = "/";
constexpr char NativeSeparator = '/';
#endif

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// The names Windows takes for a device in every folder, whatever follows a ".".
bool IsDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (SameIgnoringAsciiCase(stem, device)) {
            return true;
        }
    }
    // COM0-COM9 and LPT0-LPT9, and with a superscript 1, 2 or 3 (UTF-8 C2 B9, C2 B2, C2 B3).
    for (std::string_view port : {"COM", "LPT"}) {
        if (stem.size() < 4 || !SameIgnoringAsciiCase(stem.substr(0, 3), port)) {
            continue;
        }
        const std::string_view number = stem.substr(3);
        if ((number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
            number == "\xC2\xB2" || number == "\xC2\xB3") {
            return true;
        }
    }
    return false;
}

}  // namespace

size_t LastSeparator(std::string_view path) {
    return path.find_last_of(Separators);
}

std::string FileNamePart(std::string_view path) {
    const size_t slash = LastSeparator(path);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string FolderPart(std::string_view path) {
    const size_t slash = LastSeparator(path);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ExtensionPart(std::string_view path) {
    const size_t slash = LastSeparator(path);
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return {};
    }
    return std::string(path.substr(dot));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || Separators.find(path.back()) == std::string_view::npos) {
        // The separator the folder was written with, if it has one.
        const size_t last = LastSeparator(path);
        path += last != std::string::npos && path[last] == '/' ? '/' : NativeSeparator;
    }
    path += name;
    return path;
}

bool IsPlainWindowsFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ' ||
        IsDeviceName(name)) {
        return false;
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("/\\:<>\"|?*").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool IsPlainFileName(std::string_view name) {
#ifdef _WIN32
    return IsPlainWindowsFileName(name);
#else
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
#endif
}

}  // namespace zarnex
