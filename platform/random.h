// The process-wide pseudo-random generator that shuffles directories before sorting.
#pragma once

#include <cstdint>

namespace zarnex {

class Lcg {
  public:
    explicit Lcg(uint32_t state) : state_(state) {}
    // 0 .. 32767
    int Draw() {
        state_ = state_ * 22695477u + 1u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

  private:
    uint32_t state_;
};

// Seeded with 1 at start-up, with one value thrown away; never seeded again, so every run of
// the program repeats one sequence.
Lcg& ProcessGenerator();
// A generator in the state the process one has at start-up, for tests.
Lcg FreshProcessGenerator();

}  // namespace zarnex
