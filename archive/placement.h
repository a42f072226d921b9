// Where new data may go while a batch has changes that are not yet on the disk.
#pragma once

#include <cstdint>
#include <map>

#include "archive/directory.h"

namespace zarnex {

// Runs of sectors that a record on disk still names although the table has moved on: the old
// places of entries replaced since the last commit. Nothing may be written there until the
// records that name them are rewritten and flushed.
class ReservedRoom {
  public:
    void Add(int64_t offset, int64_t size);
    void Clear() {
        runs_.clear();
        greatestEnd_ = 0;
    }
    bool Empty() const { return runs_.empty(); }
    // INT64_MAX when empty.
    int64_t LowestOffset() const;
    // 0 when empty.
    int64_t GreatestEnd() const { return greatestEnd_; }
    // The first sector s in [from, to) with `need` sectors from s that no run covers, or -1.
    int64_t FirstFit(int64_t from, int64_t to, int64_t need) const;

  private:
    std::map<int64_t, int64_t> runs_;  // offset -> end; apart from each other
    int64_t greatestEnd_ = 0;
};

// FindFreeGap's first fit from `floor` on, with the reserved sectors counted as taken: a free run
// of the table is used only where no reserved run covers it, and the end sector is past the
// reserved runs too. A need of 0 writes nothing and gets FindFreeGap's own answer.
int64_t FindFreeRoom(const DirectoryTable& table, const ReservedRoom& reserved, int64_t need,
                     int64_t floor);

}  // namespace zarnex
