#include "audio/FftwPlan.h"

#include <fftw3.h>
#include <mutex>
#include <new>

namespace audio {

namespace {

std::mutex& PlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

FftwRealPlan::FftwRealPlan(std::size_t size) : m_size(size) {
    const std::lock_guard lock(PlannerMutex());
    m_in = fftwf_alloc_real(size);
    m_out = fftwf_alloc_complex(size / 2 + 1);
    // FFTW_ESTIMATE: measuring would take longer than the song's analysis.
    if (m_in && m_out) {
        m_plan = fftwf_plan_dft_r2c_1d(static_cast<int>(size), m_in, m_out, FFTW_ESTIMATE);
    }
    if (!m_plan) {
        fftwf_free(m_in);
        fftwf_free(m_out);
        throw std::bad_alloc();
    }
}

FftwRealPlan::~FftwRealPlan() {
    const std::lock_guard lock(PlannerMutex());
    fftwf_destroy_plan(static_cast<fftwf_plan>(m_plan));
    fftwf_free(m_in);
    fftwf_free(m_out);
}

void FftwRealPlan::Execute() {
    fftwf_execute(static_cast<fftwf_plan>(m_plan));
}

} // namespace audio
