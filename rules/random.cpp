#include "random.h"

namespace {
std::uint32_t random_state = 1;
}

void seed_random(std::uint32_t seed) { random_state = seed; }

int next_random()
{
    // Unsigned arithmetic wraps modulo 2^32, which is exactly what the generator needs.
    random_state = random_state * 214013u + 2531011u;
    return static_cast<int>((random_state >> 16) & 0x7FFFu);
}
