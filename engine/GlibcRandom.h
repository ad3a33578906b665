#pragma once

#include <cstdint>

namespace attractor {

// The generator behind glibc's rand(): the additive feedback generator of
// random_r with 31 words of state (TYPE_3), seeded the way srand() seeds it.
// Seeded with s it yields exactly what rand() yields after srand(s), so a
// picture drawn from it is the picture rand() would have drawn, but each
// walker owns its state and no call takes a lock.
class GlibcRandom
{
public:
    explicit GlibcRandom(uint32_t seed)
    {
        if (seed == 0)
            seed = 1;
        // r[i] = 16807 r[i-1] mod (2^31 - 1), by Schrage's method in 32-bit
        // signed words, as srandom_r computes it (a seed above 2^31 goes in
        // negative, as it does there).
        int32_t word = static_cast<int32_t>(seed);
        _state[0] = static_cast<uint32_t>(word);
        for (int i = 1; i < kDegree; ++i) {
            const long hi = word / 127773;
            const long lo = word % 127773;
            long next = 16807 * lo - 2836 * hi;
            if (next < 0)
                next += 2147483647;
            word = static_cast<int32_t>(next);
            _state[i] = static_cast<uint32_t>(word);
        }
        _front = kSeparation;
        _rear = 0;
        for (int i = 0; i < 10 * kDegree; ++i)
            next();
    }

    // The next value of 0 .. 2^31 - 1.
    inline int32_t next()
    {
        const uint32_t value = _state[_front] + _state[_rear];
        _state[_front] = value;
        _front = _front + 1 == kDegree ? 0 : _front + 1;
        _rear = _rear + 1 == kDegree ? 0 : _rear + 1;
        // The lowest bit is the least random one: dropped.
        return static_cast<int32_t>(value >> 1);
    }

private:
    static constexpr int kDegree = 31;
    static constexpr int kSeparation = 3;
    uint32_t _state[kDegree];
    int _front;
    int _rear;
};

} // namespace attractor
