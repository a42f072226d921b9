#include "mainwindow/importlist.h"

#include <QString>
#include <array>

#include "platform/codepage.h"
#include "platform/paths.h"

namespace zarnex {

namespace {

constexpr std::array<const char*, 10> kGameExtensions = {".dff", ".txd", ".col", ".ipl", ".ifp",
                                                         ".scm", ".cut", ".dat", ".rrr", ".anm"};

std::string LowerAsciiOnly(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 0x20);
        }
    }
    return text;
}

// Texts compare as the bytes the code page gives them: one order on every machine.
std::string ByteKey(const std::string& utf8) {
    AnsiString ansi;
    return Utf8ToAnsi(utf8, ansi) ? ansi : utf8;
}

int CompareBytes(const std::string& a, const std::string& b) {
    int c = ByteKey(a).compare(ByteKey(b));  // std::string compares as unsigned char
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CompareKey(const ImportRow& a, const ImportRow& b, int32_t column) {
    switch (column) {
        case SizeColumn:
            return a.byteCount < b.byteCount ? -1 : (a.byteCount > b.byteCount ? 1 : 0);
        case TypeColumn:
            return CompareBytes(a.typeText, b.typeText);
        case PathColumn:
            return CompareBytes(a.folderText, b.folderText);
        default:
            return CompareBytes(LowerAsciiOnly(a.caption), LowerAsciiOnly(b.caption));
    }
}

}  // namespace

bool IsGameFileType(const std::string& path) {
    const std::string extension = LowerAsciiOnly(ExtensionPart(path));
    for (const char* game : kGameExtensions) {
        if (extension == game) {
            return true;
        }
    }
    return false;
}

std::string SizeText(int64_t byteCount) {
    if (byteCount < 1024) {
        return std::to_string(byteCount);
    }
    return std::to_string(byteCount / 1024 + (byteCount % 1024 != 0 ? 1 : 0)) + " kb";
}

ImportRow MakeImportRow(const std::string& path, int64_t byteCount) {
    ImportRow row;
    row.caption = FileNamePart(path);
    row.byteCount = byteCount;
    row.imageIndex = static_cast<int32_t>(static_cast<uint32_t>(byteCount));
    row.sizeText = SizeText(byteCount);
    const std::string extension = ExtensionPart(path);
    if (extension.size() > 1) {
        row.typeText = QString::fromStdString(extension.substr(1)).toUpper().toStdString();
    }
    row.folderText = FolderPart(path);
    return row;
}

int CompareImportRows(const ImportRow& a, const ImportRow& b, int32_t sortColumn,
                      int32_t previousSortColumn) {
    if (int first = CompareKey(a, b, sortColumn); first != 0) {
        return first;
    }
    if (previousSortColumn == sortColumn) {
        return 0;
    }
    return CompareKey(a, b, previousSortColumn);
}

}  // namespace zarnex
