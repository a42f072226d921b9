#include "platform/random.h"

namespace zarnex {

Lcg FreshProcessGenerator() {
    Lcg generator(1);
    generator.Draw();
    return generator;
}

Lcg& ProcessGenerator() {
    static Lcg generator = FreshProcessGenerator();
    return generator;
}

}  // namespace zarnex
