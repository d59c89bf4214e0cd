#pragma once

#include <cstdint>

namespace chart {

// The C runtime's classic rand(): state * 214013 + 2531011 modulo 2^32,
// yielding bits 16-30. The program owns one, seeded 1 at start and never
// reseeded, so the same actions give the same random steps in every run.
class StepRandom {
public:
    static constexpr int kMax = 32767;

    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7fffu);
    }

private:
    std::uint32_t m_state = 1;
};

} // namespace chart
