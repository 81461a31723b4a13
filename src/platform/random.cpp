#include "platform/random.h"

#include <cmath>

#include "platform/numbers.h"

namespace delve {

namespace {

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

void seedRandomState(Random& rng, double seed) {
    rng.state = static_cast<uint32_t>(static_cast<uint64_t>(truncToInt64(seed)));
    nextRandomBits(rng);
}

int nextRandomBits(Random& rng) {
    rng.state = rng.state * 214013u + 2531011u;
    ++rng.draws;
    return static_cast<int>((rng.state >> 16) & 0x7FFF);
}

double nextRandom(Random& rng) { return nextRandomBits(rng) / 32768.0; }

int32_t randomBelow(Random& rng, int64_t n) {
    // |n| is kept within 2^47 so that r x n cannot overflow 64 bits.
    const int64_t limit = int64_t{1} << 47;
    if (n > limit) n = limit;
    if (n < -limit) n = -limit;
    const int64_t r = nextRandomBits(rng);
    return saturateInt32(floorDiv(r * n, 32768));
}

int32_t randomBelowRatio(Random& rng, int64_t num, int64_t den) {
    if (den == 0) return 0;
    const int64_t limit = int64_t{1} << 30;
    if (num > limit) num = limit;
    if (num < -limit) num = -limit;
    if (den > limit) den = limit;
    if (den < -limit) den = -limit;
    const int64_t r = nextRandomBits(rng);
    return saturateInt32(floorDiv(r * num, den * 32768));
}

}  // namespace delve
