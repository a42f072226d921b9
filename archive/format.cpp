#include "archive/format.h"

#include <algorithm>

#include "platform/paths.h"

namespace zarnex {

void PutLE32(unsigned char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

uint32_t GetLE32(const unsigned char* in) {
    return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

RecordBytes EncodeRecord(const DirectoryRecord& record) {
    RecordBytes bytes{};
    PutLE32(bytes.data(), static_cast<uint32_t>(record.offset));
    PutLE32(bytes.data() + 4, static_cast<uint32_t>(record.size));
    size_t n = std::min<size_t>(record.name.size(), NameFieldSize);
    std::copy_n(record.name.begin(), n, bytes.begin() + 8);
    return bytes;
}

DirectoryRecord DecodeRecord(const unsigned char* bytes) {
    DirectoryRecord record;
    record.offset = static_cast<int32_t>(GetLE32(bytes));
    record.size = static_cast<int32_t>(GetLE32(bytes + 4));
    const unsigned char* name = bytes + 8;
    const unsigned char* end = std::find(name, name + NameFieldSize, 0);
    record.name.assign(name, end);
    return record;
}

std::string DirectoryFilePath(std::string_view dataPath) {
    size_t slash = LastSeparator(dataPath);
    size_t dot = dataPath.rfind('.');
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
        return std::string(dataPath.substr(0, dot)) + ".dir";
    }
    return std::string(dataPath) + ".dir";
}

}  // namespace zarnex
