// "The entry of this name", one rule for every batch and window: the first record in directory
// order whose name equals it ignoring case. That is the one the game reads; a later record of
// the same name is a twin that nothing reads.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "platform/codepage.h"

namespace zarnex {

struct DirectoryTable;

// Lowered names to the first record holding each: built once per batch, O(1) a lookup.
class EntryLookup {
  public:
    EntryLookup() = default;
    // Of the table's `count` records.
    explicit EntryLookup(const DirectoryTable& table);

    // The record index of the entry of `name` (Windows-1251 bytes), or -1.
    int32_t Find(std::string_view name) const;
    // Record `index`, after every record taken so far, holds `name`. The entry of that name:
    // an earlier record's index where one holds it, `index` otherwise.
    int32_t Add(std::string_view name, int32_t index);

  private:
    std::unordered_map<AnsiString, int32_t> first_;
};

// The same rule for a single lookup, without building anything: a walk in directory order.
int32_t FindEntry(const DirectoryTable& table, std::string_view name);

}  // namespace zarnex
