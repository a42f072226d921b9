// Makes large allocations fail in tests, as they would on a machine short of memory.
#pragma once

#include <cstddef>

namespace zarnex::test {

// While one lives, every `operator new` of `largest` bytes or more throws std::bad_alloc.
class AllocationLimit {
  public:
    explicit AllocationLimit(size_t largest);
    ~AllocationLimit();
    AllocationLimit(const AllocationLimit&) = delete;
    AllocationLimit& operator=(const AllocationLimit&) = delete;

  private:
    size_t previous_;
};

}  // namespace zarnex::test
