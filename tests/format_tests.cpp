#include <gtest/gtest.h>

#include <cstring>

#include "archive/format.h"

namespace zarnex {
namespace {

TEST(RecordFormat, LayoutIsLittleEndianWithAZeroPaddedName) {
    RecordBytes bytes = EncodeRecord({0x01020304, 7, "car.dff"});
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(bytes[4], 7);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 15), "car.dff");
    for (size_t i = 15; i < 32; ++i) {
        EXPECT_EQ(bytes[i], 0) << i;
    }
}

TEST(RecordFormat, NameFieldRules) {
    unsigned char raw[32] = {};
    std::memcpy(raw + 8, "abc\0xyz", 7);
    EXPECT_EQ(DecodeRecord(raw).name, "abc");

    std::memset(raw + 8, 'n', 24);
    EXPECT_EQ(DecodeRecord(raw).name, std::string(24, 'n'));

    const std::string thirty = "abcdefghijklmnopqrstuvwxyz1234";
    RecordBytes written = EncodeRecord({1, 2, thirty});
    EXPECT_EQ(std::string(written.begin() + 8, written.end()), thirty.substr(0, 24));
    EXPECT_EQ(DecodeRecord(written.data()).name, thirty.substr(0, 24));

    // Case and bytes of 0x80 and above are written unchanged.
    EXPECT_EQ(DecodeRecord(EncodeRecord({0, 0,
                                         "\xC0\xE1"
                                         "Cd"})
                               .data())
                  .name,
              "\xC0\xE1"
              "Cd");
}

TEST(RecordFormat, NegativeAndHighFieldsSurviveTheRoundTrip) {
    DirectoryRecord r = DecodeRecord(EncodeRecord({-5, INT32_MIN, "x"}).data());
    EXPECT_EQ(r.offset, -5);
    EXPECT_EQ(r.size, INT32_MIN);
}

TEST(Sectors, RoundingAndSixtyFourBitPositions) {
    EXPECT_EQ(SectorsFor(0), 0);
    EXPECT_EQ(SectorsFor(1), 1);
    EXPECT_EQ(SectorsFor(2048), 1);
    EXPECT_EQ(SectorsFor(2049), 2);
    EXPECT_EQ(SectorToByte(INT32_MAX), int64_t{INT32_MAX} * 2048);
    EXPECT_EQ(ArchiveSectorLimit, 1048576);
}

TEST(DirectoryPath, ExtensionReplacedOrAppended) {
    EXPECT_EQ(DirectoryFilePath("/g/city.img"), "/g/city.dir");
    EXPECT_EQ(DirectoryFilePath("/g/city.IMG"), "/g/city.dir");
    EXPECT_EQ(DirectoryFilePath("/g/maps.old/city"), "/g/maps.old/city.dir");
    EXPECT_EQ(DirectoryFilePath("city"), "city.dir");
    EXPECT_EQ(DirectoryFilePath("/g/a.b.img"), "/g/a.b.dir");
#ifdef _WIN32
    // "\" and a drive's ":" end a name there too.
    EXPECT_EQ(DirectoryFilePath("C:\\maps.old\\city"), "C:\\maps.old\\city.dir");
    EXPECT_EQ(DirectoryFilePath("D:city"), "D:city.dir");
    EXPECT_EQ(DirectoryFilePath("C:\\g\\city.img"), "C:\\g\\city.dir");
#endif
}

}  // namespace
}  // namespace zarnex
