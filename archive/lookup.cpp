#include "archive/lookup.h"

#include "archive/directory.h"

namespace zarnex {

EntryLookup::EntryLookup(const DirectoryTable& table) {
    first_.reserve(static_cast<size_t>(table.count));
    for (int32_t i = 0; i < table.count; ++i) {
        Add(table.entries[static_cast<size_t>(i)].name, i);
    }
}

int32_t EntryLookup::Find(std::string_view name) const {
    const auto found = first_.find(LowerAnsi(name));
    return found == first_.end() ? -1 : found->second;
}

int32_t EntryLookup::Add(std::string_view name, int32_t index) {
    return first_.try_emplace(LowerAnsi(name), index).first->second;
}

int32_t FindEntry(const DirectoryTable& table, std::string_view name) {
    const AnsiString wanted = LowerAnsi(name);
    for (int32_t i = 0; i < table.count; ++i) {
        const AnsiString& stored = table.entries[static_cast<size_t>(i)].name;
        if (stored.size() == wanted.size() && LowerAnsi(stored) == wanted) {
            return i;
        }
    }
    return -1;
}

}  // namespace zarnex
