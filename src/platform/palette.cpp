#include "platform/palette.h"

namespace delve {

namespace {

std::array<Rgb, 256> buildPalette() {
    std::array<Rgb, 256> p{};
    // 6-bit DAC values of the classic 16 colours.
    static const uint8_t ega[16][3] = {
        {0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},  {42, 0, 0},   {42, 0, 42},
        {42, 21, 0},  {42, 42, 42}, {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
        {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};
    static const uint8_t grey[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};
    int n = 0;
    for (auto& c : ega) p[n++] = {c[0], c[1], c[2]};
    for (uint8_t g : grey) p[n++] = {g, g, g};
    // Three brightness levels times three saturations of a 24-step hue ring.
    static const uint8_t levels[9][2] = {{63, 0},  {63, 31}, {63, 45}, {28, 0}, {28, 14},
                                         {28, 20}, {16, 0},  {16, 8},  {16, 11}};
    for (auto& lv : levels) {
        const uint8_t hi = lv[0], lo = lv[1];
        const uint8_t q1 = static_cast<uint8_t>(lo + (hi - lo) / 4);
        const uint8_t q2 = static_cast<uint8_t>(lo + (hi - lo) / 2);
        const uint8_t q3 = static_cast<uint8_t>(lo + 3 * (hi - lo) / 4);
        const uint8_t ring[24][3] = {
            {lo, lo, hi}, {q1, lo, hi}, {q2, lo, hi}, {q3, lo, hi}, {hi, lo, hi}, {hi, lo, q3},
            {hi, lo, q2}, {hi, lo, q1}, {hi, lo, lo}, {hi, q1, lo}, {hi, q2, lo}, {hi, q3, lo},
            {hi, hi, lo}, {q3, hi, lo}, {q2, hi, lo}, {q1, hi, lo}, {lo, hi, lo}, {lo, hi, q1},
            {lo, hi, q2}, {lo, hi, q3}, {lo, hi, hi}, {lo, q3, hi}, {lo, q2, hi}, {lo, q1, hi}};
        for (auto& c : ring) p[n++] = {c[0], c[1], c[2]};
    }
    // Scale the 6-bit values to 8 bits; the last 8 entries stay black.
    for (auto& c : p) {
        c.r = static_cast<uint8_t>(c.r * 255 / 63);
        c.g = static_cast<uint8_t>(c.g * 255 / 63);
        c.b = static_cast<uint8_t>(c.b * 255 / 63);
    }
    return p;
}

}  // namespace

const std::array<Rgb, 256>& defaultPalette() {
    static const std::array<Rgb, 256> palette = buildPalette();
    return palette;
}

}  // namespace delve
