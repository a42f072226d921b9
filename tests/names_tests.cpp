// The one rule for an entry's name, and how a stored name is shown on one line.
#include <gtest/gtest.h>

#include "archive/names.h"

namespace zarnex {
namespace {

TEST(Names, OneRuleForImportRenameAndCheck) {
    struct Case {
        std::string name;  // Windows-1251 bytes
        size_t limit;
        NameFault fault;
    };
    const Case cases[] = {
        {"car.dff", 24, NameFault::None},
        {"a b.dff", 24, NameFault::None},
        {"\xC4\xEE\xEC.txd", 24, NameFault::None},  // Дом.txd
        {".hidden", 24, NameFault::None},
        {"", 24, NameFault::Empty},
        {".", 24, NameFault::Dots},
        {"..", 24, NameFault::Dots},
        {"a/b", 24, NameFault::Path},
        {"a\\b", 24, NameFault::Path},
        {"a:b", 24, NameFault::Path},
        {"x\n99\t0\t9\tfake.dff", 24, NameFault::Control},
        {std::string("a\0b", 3), 24, NameFault::Control},
        {"a\x7F", 24, NameFault::Control},
        {"name.", 24, NameFault::Ends},
        {"name ", 24, NameFault::Ends},
        {" name", 24, NameFault::Ends},
        {"x\x98y", 24, NameFault::Undefined},
        {std::string(24, 'n'), 24, NameFault::None},
        {std::string(24, 'n'), 23, NameFault::TooLong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EntryNameFault(c.name, c.limit), c.fault);
        EXPECT_EQ(IsValidEntryName(c.name, c.limit), c.fault == NameFault::None);
    }
}

TEST(Names, AStoredNameIsShownOnOneLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"car.dff", "car.dff"},     {"\xC4\xEE\xEC.txd", "Дом.txd"}, {"x\n99\t0", "x\\x0a99\\x090"},
        {"a\\x0a", "a\\\\x0a"},  // a backslash of its own is told apart from an escape
        {"\x7F\x1F", "\\x7f\\x1f"},
    };
    for (const auto& [stored, shown] : cases) {
        EXPECT_EQ(DisplayName(stored), shown);
    }
}

}  // namespace
}  // namespace zarnex
