#include "archive/name_pattern.h"

#include "platform/wildcards.h"

namespace zarnex {

NamePattern::NamePattern(std::string_view ansi, PatternScope scope) : lowered_(LowerAnsi(ansi)) {
    if (scope == PatternScope::Filter && !HasWildcards(ansi)) {
        lowered_ = "*" + lowered_ + "*";
    }
}

NamePattern NamePattern::FromUtf8(std::string_view utf8, PatternScope scope) {
    AnsiString ansi;
    if (Utf8ToAnsi(utf8, ansi)) {
        return NamePattern(ansi, scope);
    }
    NamePattern none;
    none.matchesNothing_ = true;
    return none;
}

// After a mismatch only the last `*` is tried further along: each `*` before it has matched as
// little as it could, and no later choice for it can help. Linear for the patterns people type.
bool NamePattern::Matches(std::string_view ansiName) const {
    if (matchesNothing_) {
        return false;
    }
    const std::string_view pattern = lowered_;
    size_t p = 0;
    size_t s = 0;
    size_t star = std::string_view::npos;  // the pattern's place after the last `*`
    size_t resume = 0;                     // where that `*`'s run ends in the name
    while (s < ansiName.size()) {
        const char c = static_cast<char>(LowerAnsiChar(static_cast<unsigned char>(ansiName[s])));
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && pattern[p] == c))) {
            ++p;
            ++s;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = ++p;
            resume = s;
        } else if (star != std::string_view::npos) {
            p = star;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace zarnex
