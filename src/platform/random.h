#pragma once
// The game's one random generator. Its algorithm is fixed so that a typed
// seed makes the same levels on every machine: a 32-bit linear congruential
// step, 15 bits of output per draw.
#include <cstdint>

namespace delve {

struct Random {
    uint32_t state = 0;
    uint64_t draws = 0;  // values drawn since start, for tests and traces
};

// Seeds from any real value: truncated toward zero to 64 bits, low 32 bits
// kept, one value drawn and discarded. The caller resolves the clock seed -1.
void seedRandomState(Random& rng, double seed);

// The next 15-bit value r, 0..32767 (one draw).
int nextRandomBits(Random& rng);
// The next value in [0, 1): r / 32768 (one draw).
double nextRandom(Random& rng);

// floor(R x n) for a fresh R, exactly floor(r x n / 32768) (one draw).
// Saturates at the 32-bit limits, so any n is safe.
int32_t randomBelow(Random& rng, int64_t n);
// floor(R x num / den) for a fresh R, computed exactly in integers (one draw);
// den must not be 0 (0 is returned and nothing drawn if it is).
int32_t randomBelowRatio(Random& rng, int64_t num, int64_t den);

}  // namespace delve
