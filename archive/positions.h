// The two kinds of index into a directory table, kept apart by type so they are never mixed.
#pragma once

#include <compare>
#include <cstdint>

namespace zarnex {

// The index of a record on disk, and of its entry in `entries`.
struct EntryIndex {
    int32_t value = 0;
    constexpr explicit EntryIndex(int32_t v) : value(v) {}
    auto operator<=>(const EntryIndex&) const = default;
};

// A place in `order`, the view of the entries sorted by offset.
struct OrderPosition {
    int32_t value = 0;
    constexpr explicit OrderPosition(int32_t v) : value(v) {}
    auto operator<=>(const OrderPosition&) const = default;
};
constexpr OrderPosition NoPosition{-1};

}  // namespace zarnex
