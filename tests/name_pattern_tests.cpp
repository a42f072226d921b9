// Entry names against patterns: the rules of zarnex-cli's NAMEs and the contents window's filter.
#include <gtest/gtest.h>

#include "archive/name_pattern.h"

namespace zarnex {
namespace {

struct PatternRow {
    const char* pattern;  // UTF-8
    PatternScope scope;
    const char* name;  // Windows-1251, as stored
    bool matches;
};

void PrintTo(const PatternRow& row, std::ostream* os) {
    *os << row.pattern << (row.scope == PatternScope::Filter ? " (filter) " : " ")
        << (row.matches ? "matches " : "misses ") << AnsiToUtf8Lossy(row.name);
}

constexpr PatternScope Whole = PatternScope::WholeName;
constexpr PatternScope Filter = PatternScope::Filter;

const PatternRow kRows[] = {
    {"*.txd", Whole, "car.txd", true},
    {"*.txd", Whole, "CAR.TXD", true},
    {"*.txd", Whole, "car.txd.bak", false},
    {"*.TXD", Whole, "txd", false},
    {"car*.dff", Whole, "car.dff", true},  // a star takes no character as well
    {"car*.dff", Whole, "cargo.dff", true},
    {"car*.dff", Whole, "mycar.dff", false},
    {"?.dff", Whole, "a.dff", true},
    {"?.dff", Whole, ".dff", false},
    {"?.dff", Whole, "ab.dff", false},
    {"a*b*c", Whole, "aXbYbZc", true},  // the last star tries further along
    {"a*b*c", Whole, "aXbYcZ", false},
    {"*a*a*a*b", Whole, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    {"**", Whole, "", true},
    {"", Whole, "", true},
    {"", Whole, "a", false},
    {"car.dff", Whole, "CAR.DFF", true},  // no wildcard: the whole name, ignoring case
    {"car.dff", Whole, "car.dff2", false},
    // Cyrillic letters of both cases, Ё/ё among them, and ? for one of them (one byte stored)
    {"дом.*", Whole, "\xC4\xCE\xCC.TXD", true},
    {"ёлка?.dff", Whole, "\xA8\xCB\xCA\xC0\xDF.dff", true},
    {"ё*", Whole, "\xE5\xEB\xEA\xE0", false},  // ё is no е
    {"?", Whole, "\xDF", true},
    {"日本*", Whole, "\x3F\x3F.dff", false},  // no Windows-1251 form: nothing matches
    // The contents window's filter: text without a wildcard anywhere in the name
    {"car", Filter, "MYCAR.dff", true},
    {"car", Filter, "bus.dff", false},
    {"", Filter, "anything", true},
    {"c?r", Filter, "car", true},
    {"c?r", Filter, "cars", false},  // with a wildcard, the whole name
    {"дОм", Filter, "\xEC\xEE\xE9\xC4\xEE\xEC.txd", true},
};

class NamePatternTest : public ::testing::TestWithParam<PatternRow> {};

TEST_P(NamePatternTest, MatchesAsTheRowSays) {
    const PatternRow& row = GetParam();
    EXPECT_EQ(NamePattern::FromUtf8(row.pattern, row.scope).Matches(row.name), row.matches);
}

INSTANTIATE_TEST_SUITE_P(Rows, NamePatternTest, ::testing::ValuesIn(kRows));

}  // namespace
}  // namespace zarnex
