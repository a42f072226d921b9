// "The entry of this name", one rule for every batch and window: the first record in directory
// order whose name equals it ignoring case. That is the one the game reads; a later record of
// the same name is a twin that nothing reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace zarnex {

struct DirectoryTable;

// An entry by its name, ignoring case: to delete, every entry of that name; to extract, the entry
// of it. A window that picked one record gives its index too: then only that record, and only
// while it still has that name.
struct EntryChoice {
    std::string name;  // UTF-8, as given or shown
    int32_t index = -1;
    // The name's bytes when the choice came from the directory (a pattern, every entry): UTF-8
    // carries no byte Windows-1251 leaves undefined (0x98), so `name` may not find it again.
    std::optional<AnsiString> stored = {};

    // The Windows-1251 name; false when `name` is no such name.
    bool Ansi(AnsiString& out) const {
        return stored ? (out = *stored, true) : Utf8ToAnsi(name, out);
    }
};

// The first record of each lowered name, for batches that look up many names: one flat table of
// record indexes (open addressing), names read from the records themselves. O(1) a lookup.
class EntryLookup {
  public:
    EntryLookup() = default;
    // Of the table's `count` records.
    explicit EntryLookup(const DirectoryTable& table);

    // Room for `names` names without growing.
    void Reserve(const DirectoryTable& table, size_t names);

    // The record index of the entry of `name` (Windows-1251 bytes), or -1.
    int32_t Find(const DirectoryTable& table, std::string_view name) const;
    // Record `index`, after every record taken so far, has its name. The entry of that name:
    // an earlier record's index where one holds it, `index` otherwise.
    int32_t Add(const DirectoryTable& table, int32_t index);

  private:
    // The slot holding the entry of the lowered name `lowered`, or the empty slot where it goes.
    size_t SlotOf(const DirectoryTable& table, std::string_view lowered, uint32_t hash) const;

    std::vector<int32_t> slots_;  // record indexes, -1 for none; a power of two long
    size_t used_ = 0;
};

// `a` and `b` are the same name ignoring case.
bool SameName(std::string_view a, std::string_view b);

// The same rule without building anything: one walk in directory order.
int32_t FindEntry(const DirectoryTable& table, std::string_view name);

// Below this many names a batch walks the records for each; from it on it builds an EntryLookup.
constexpr size_t FewNames = 8;

}  // namespace zarnex
