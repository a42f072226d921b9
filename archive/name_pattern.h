// Entry names against a pattern, as zarnex-cli's NAME arguments and the contents window's filter
// take them: `*` stands for any run of characters, `?` for one, and case is ignored with
// Windows-1251's own tables, Cyrillic letters included. On the archive's bytes, so that `?` is
// one character whatever its UTF-8 length.
#pragma once

#include <string_view>

#include "platform/codepage.h"

namespace zarnex {

enum class PatternScope {
    WholeName,  // the whole name matches the pattern
    Filter,     // the same, but text without a wildcard may stand anywhere in the name
};

class NamePattern {
  public:
    // `ansi`: Windows-1251 bytes.
    explicit NamePattern(std::string_view ansi, PatternScope scope = PatternScope::WholeName);
    // From text in UTF-8; text with a character that Windows-1251 lacks matches no name.
    static NamePattern FromUtf8(std::string_view utf8,
                                PatternScope scope = PatternScope::WholeName);

    // `ansiName`: an entry's stored name.
    bool Matches(std::string_view ansiName) const;

  private:
    NamePattern() = default;

    AnsiString lowered_;
    bool matchesNothing_ = false;
};

}  // namespace zarnex
