// Rows of the import list and how they compare; no widgets here.
#pragma once

#include <cstdint>
#include <string>

namespace zarnex {

struct ImportRow {
    std::string caption;  // the file name
    std::string sizeText;
    std::string typeText;    // the extension without its dot, in capitals
    std::string folderText;  // up to and including the last "/": folderText + caption is the path
    int32_t imageIndex = 0;  // the low 32 bits of the size; the size text and sorting use byteCount
    int64_t byteCount = 0;   // the true size, for showing and sorting files of 2 GiB and more
};

// Is the extension one of the ten the games use (in any letter case)?
bool IsGameFileType(const std::string& path);
ImportRow MakeImportRow(const std::string& path, int64_t byteCount);
std::string SizeText(int64_t byteCount);

// Column indexes of the list.
enum ListColumn : int32_t { NameColumn = 0, SizeColumn = 1, TypeColumn = 2, PathColumn = 3 };

// -1, 0 or 1: by `sortColumn`, then by `previousSortColumn` unless they are the same column.
int CompareImportRows(const ImportRow& a, const ImportRow& b, int32_t sortColumn,
                      int32_t previousSortColumn);

}  // namespace zarnex
