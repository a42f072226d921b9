#include "archive/lookup.h"

#include <array>

#include "archive/directory.h"

namespace zarnex {
namespace {

const std::array<unsigned char, 256>& LowerBytes() {
    static const std::array<unsigned char, 256> lower = [] {
        std::array<unsigned char, 256> table{};
        for (int c = 0; c < 256; ++c) {
            table[static_cast<size_t>(c)] = LowerAnsiChar(static_cast<unsigned char>(c));
        }
        return table;
    }();
    return lower;
}

// `name` lowered into `out`, which holds a name field; its hash.
uint32_t Lowered(std::string_view name, char* out) {
    const auto& lower = LowerBytes();
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = lower[static_cast<unsigned char>(name[i])];
        out[i] = static_cast<char>(c);
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

// `stored` lowered equals `lowered`.
bool LowersTo(std::string_view stored, std::string_view lowered) {
    if (stored.size() != lowered.size()) {
        return false;
    }
    const auto& lower = LowerBytes();
    for (size_t i = 0; i < stored.size(); ++i) {
        if (lower[static_cast<unsigned char>(stored[i])] !=
            static_cast<unsigned char>(lowered[i])) {
            return false;
        }
    }
    return true;
}

std::string_view NameOf(const DirectoryTable& table, int32_t i) {
    return table.entries[static_cast<size_t>(i)].Name();
}

}  // namespace

EntryLookup::EntryLookup(const DirectoryTable& table) {
    Reserve(table, static_cast<size_t>(table.count));
    for (int32_t i = 0; i < table.count; ++i) {
        Add(table, i);
    }
}

void EntryLookup::Reserve(const DirectoryTable& table, size_t names) {
    // At most half full, so that a search meets few other names.
    size_t slots = 16;
    while (slots < 2 * names) {
        slots *= 2;
    }
    std::vector<int32_t> old = std::move(slots_);
    slots_.assign(slots, -1);
    char lowered[NameFieldSize];
    for (const int32_t i : old) {
        if (i >= 0) {
            const std::string_view name = NameOf(table, i);
            const uint32_t hash = Lowered(name, lowered);
            slots_[SlotOf(table, {lowered, name.size()}, hash)] = i;
        }
    }
}

size_t EntryLookup::SlotOf(const DirectoryTable& table, std::string_view lowered,
                           uint32_t hash) const {
    const size_t mask = slots_.size() - 1;
    size_t s = hash & mask;
    while (slots_[s] >= 0 && !LowersTo(NameOf(table, slots_[s]), lowered)) {
        s = (s + 1) & mask;
    }
    return s;
}

int32_t EntryLookup::Find(const DirectoryTable& table, std::string_view name) const {
    // No record holds a longer name.
    if (slots_.empty() || name.size() > static_cast<size_t>(NameFieldSize)) {
        return -1;
    }
    char lowered[NameFieldSize];
    const uint32_t hash = Lowered(name, lowered);
    return slots_[SlotOf(table, {lowered, name.size()}, hash)];
}

int32_t EntryLookup::Add(const DirectoryTable& table, int32_t index) {
    if (2 * (used_ + 1) > slots_.size()) {
        Reserve(table, 2 * (used_ + 1));
    }
    const std::string_view name = NameOf(table, index);
    char lowered[NameFieldSize];
    const uint32_t hash = Lowered(name, lowered);
    int32_t& slot = slots_[SlotOf(table, {lowered, name.size()}, hash)];
    if (slot < 0) {
        slot = index;
        ++used_;
    }
    return slot;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto& lower = LowerBytes();
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

int32_t FindEntry(const DirectoryTable& table, std::string_view name) {
    if (name.size() > static_cast<size_t>(NameFieldSize)) {
        return -1;
    }
    char lowered[NameFieldSize];
    Lowered(name, lowered);
    for (int32_t i = 0; i < table.count; ++i) {
        if (LowersTo(NameOf(table, i), {lowered, name.size()})) {
            return i;
        }
    }
    return -1;
}

}  // namespace zarnex
