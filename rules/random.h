// The game's only source of chance: the classic linear congruential generator, so that a
// given seed always lays out the same field on every platform.
#pragma once

#include <cstdint>

void seed_random(std::uint32_t seed);

// 0..32767.
int next_random();
