// The bytes on disk: sectors, the 32-byte directory record, the version-2 header.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace zarnex {

constexpr int32_t SectorSize = 2048;
constexpr uint32_t Version2Tag = 0x32524556;  // "VER2" read little-endian
constexpr int32_t RecordSize = 32;
constexpr int32_t NameFieldSize = 24;
constexpr int32_t Version2HeaderSize = 8;  // tag and count
// Byte positions must stay below 2^31 for the games.
constexpr int64_t ArchiveByteLimit = int64_t{1} << 31;
constexpr int64_t ArchiveSectorLimit = ArchiveByteLimit / SectorSize;

struct DirectoryRecord {
    int32_t offset = 0;
    int32_t size = 0;
    AnsiString name;
};

using RecordBytes = std::array<unsigned char, RecordSize>;

// The name field gets the first 24 bytes of the name, zero-padded; exactly 24 have no zero.
RecordBytes EncodeRecord(const DirectoryRecord& record);
// The name is the field up to its first zero byte, at most 24 bytes.
DirectoryRecord DecodeRecord(const unsigned char* bytes);

void PutLE32(unsigned char* out, uint32_t value);
uint32_t GetLE32(const unsigned char* in);

constexpr int64_t SectorToByte(int64_t sector) {
    return sector * SectorSize;
}

// Sectors that n bytes take: ceil(n / 2048).
constexpr int64_t SectorsFor(int64_t byteCount) {
    return byteCount / SectorSize + (byteCount % SectorSize != 0 ? 1 : 0);
}

// Version 2: where record i lies in the data file.
constexpr int64_t Version2RecordPosition(int64_t index) {
    return Version2HeaderSize + RecordSize * index;
}

// Version 1: the data file's path with its extension replaced by ".dir".
std::string DirectoryFilePath(std::string_view dataPath);

}  // namespace zarnex
