#pragma once

#include <cstddef>

namespace audio {

// One single-precision real-to-complex FFTW plan with its own aligned
// buffers. FFTW's planner is not thread-safe: plans are made and destroyed
// under one process-wide lock, while Execute may run on any thread.
class FftwRealPlan {
public:
    explicit FftwRealPlan(std::size_t size);
    ~FftwRealPlan();
    FftwRealPlan(const FftwRealPlan&) = delete;
    FftwRealPlan& operator=(const FftwRealPlan&) = delete;

    float* Input() { return m_in; } // size() values
    // size() / 2 + 1 complex values, {real, imaginary}.
    const float (*Output() const)[2] { return m_out; }
    void Execute();

private:
    std::size_t m_size;
    float* m_in = nullptr;
    float (*m_out)[2] = nullptr;
    void* m_plan = nullptr;
};

} // namespace audio
