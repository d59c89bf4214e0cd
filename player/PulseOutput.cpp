#include "player/PulseOutput.h"

#include "player/PulseTeardown.h"
#include "player/RealtimePriority.h"

#include <algorithm>
#include <chrono>
#include <pulse/pulseaudio.h>

namespace player {

namespace {

// What we ask the server to keep queued (ADJUST_LATENCY: the stream's
// buffer and the sink's together; it grants about 40 ms heard latency).
// Short enough for prompt pauses and seeks; with 40 the null-sink timing
// test heard gaps while two builds ran on a 2-core machine, with 80 none.
// Requests come 10 ms at a time.
constexpr int kTargetLatencyMs = 80;
constexpr int kRequestMs = 10;
// Below the sound server's own threads (PulseAudio's sink thread runs at 5
// or more), above the feeder that fills the ring ahead of us.
constexpr int kOutputPriority = 5;

std::uint32_t BytesForMs(int ms, int sampleRate, int frameBytes) {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(sampleRate) * ms / 1000 *
                                      frameBytes);
}

} // namespace

std::unique_ptr<PulseOutput> PulseOutput::Open(int sampleRate, int channels, RenderFunction render,
                                               void* context) {
    std::unique_ptr<PulseOutput> output(new PulseOutput());
    output->m_render = render;
    output->m_renderContext = context;
    output->m_sampleRate = sampleRate;
    output->m_frameBytes = channels * static_cast<int>(sizeof(std::int16_t));

    output->m_mainloop = pa_threaded_mainloop_new();
    if (output->m_mainloop == nullptr) {
        return nullptr;
    }
    output->m_context =
        pa_context_new(pa_threaded_mainloop_get_api(output->m_mainloop), "Beatwright");
    if (output->m_context == nullptr) {
        return nullptr;
    }
    pa_context_set_state_callback(output->m_context, &PulseOutput::OnContextState, output.get());
    // No autospawn: a machine without a running server plays through SDL.
    if (pa_context_connect(output->m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(output->m_mainloop) < 0) {
        return nullptr;
    }
    pa_threaded_mainloop_lock(output->m_mainloop);
    const bool ready = output->WaitForContext() && output->WaitForStream();
    pa_threaded_mainloop_unlock(output->m_mainloop);
    if (!ready) {
        return nullptr;
    }
    return output;
}

// Mainloop locked.
bool PulseOutput::WaitForContext() {
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY) {
            return true;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            return false;
        }
        pa_threaded_mainloop_wait(m_mainloop);
    }
}

// Mainloop locked.
bool PulseOutput::WaitForStream() {
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16NE;
    sampleFormat.rate = static_cast<std::uint32_t>(m_sampleRate);
    sampleFormat.channels =
        static_cast<std::uint8_t>(m_frameBytes / static_cast<int>(sizeof(std::int16_t)));
    m_stream = pa_stream_new(m_context, "Song", &sampleFormat, nullptr);
    if (m_stream == nullptr) {
        return false;
    }
    pa_stream_set_state_callback(m_stream, &PulseOutput::OnStreamState, this);
    pa_stream_set_write_callback(m_stream, &PulseOutput::OnWrite, this);
    pa_stream_set_underflow_callback(m_stream, &PulseOutput::OnUnderflow, this);
    constexpr std::uint32_t kServerDefault = static_cast<std::uint32_t>(-1);
    pa_buffer_attr attr{};
    attr.maxlength = kServerDefault;
    attr.tlength = BytesForMs(kTargetLatencyMs, m_sampleRate, m_frameBytes);
    attr.prebuf = kServerDefault;
    attr.minreq = BytesForMs(kRequestMs, m_sampleRate, m_frameBytes);
    attr.fragsize = kServerDefault;
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                       PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0) {
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(m_stream);
        if (state == PA_STREAM_READY) {
            break;
        }
        if (!PA_STREAM_IS_GOOD(state)) {
            return false;
        }
        pa_threaded_mainloop_wait(m_mainloop);
    }
    const pa_buffer_attr* granted = pa_stream_get_buffer_attr(m_stream);
    m_requestFrames = static_cast<int>(granted->minreq) / m_frameBytes;
    m_nominalLatencyNs =
        static_cast<std::int64_t>(granted->tlength) / m_frameBytes * 1'000'000'000 / m_sampleRate;
    return true;
}

PulseOutput::~PulseOutput() {
    TearDownPulse(m_mainloop, m_context, m_stream);
}

void PulseOutput::Start() {
    pa_threaded_mainloop_lock(m_mainloop);
    m_started = true;
    Fill(pa_stream_writable_size(m_stream));
    pa_operation* uncork = pa_stream_cork(m_stream, 0, nullptr, nullptr);
    if (uncork != nullptr) {
        pa_operation_unref(uncork);
    }
    pa_threaded_mainloop_unlock(m_mainloop);
}

// Mainloop thread or locked. The time until a frame written now is heard;
// the nominal figure until the server has sent its first timing report.
//
// Taken from the server's latest report as it stands, dated by the server's
// clock: the frame at its read index is heard its sink latency after the
// report's time, later frames one frame apart. The client library's own
// figure (pa_stream_get_latency) interpolates between reports with a
// smoother that, on a busy machine, jumps a few milliseconds off and creeps
// back over seconds; the position would follow it.
std::int64_t PulseOutput::CurrentLatencyNs() {
    const pa_timing_info* info = pa_stream_get_timing_info(m_stream);
    if (info != nullptr && info->playing != 0 && info->synchronized_clocks != 0 &&
        info->read_index_corrupt == 0 && info->write_index_corrupt == 0) {
        // The report's time is the server's wall clock; ours read now.
        const std::int64_t wallNowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                           std::chrono::system_clock::now().time_since_epoch())
                                           .count();
        const std::int64_t reportNs =
            static_cast<std::int64_t>(info->timestamp.tv_sec) * 1'000'000'000 +
            static_cast<std::int64_t>(info->timestamp.tv_usec) * 1000;
        // The library moves the write index on as we write.
        const std::int64_t queuedFrames = (info->write_index - info->read_index) / m_frameBytes;
        const std::int64_t heardNs = reportNs + static_cast<std::int64_t>(info->sink_usec) * 1000 +
                                     queuedFrames * 1'000'000'000 / m_sampleRate;
        return std::max<std::int64_t>(heardNs - wallNowNs, 0);
    }
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(m_stream, &usec, &negative) < 0) {
        return m_nominalLatencyNs;
    }
    return negative != 0 ? 0 : static_cast<std::int64_t>(usec) * 1000;
}

// Mainloop thread or locked.
void PulseOutput::Fill(std::size_t bytes) {
    while (bytes >= static_cast<std::size_t>(m_frameBytes)) {
        void* data = nullptr;
        std::size_t granted = bytes;
        if (pa_stream_begin_write(m_stream, &data, &granted) < 0 || data == nullptr) {
            return;
        }
        const int frames = static_cast<int>(granted) / m_frameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(m_stream);
            return;
        }
        const auto used = static_cast<std::size_t>(frames) * static_cast<std::size_t>(m_frameBytes);
        // The write buffer is sample-aligned, as the library guarantees.
        m_render(m_renderContext, static_cast<std::int16_t*>(data), frames, CurrentLatencyNs());
        if (pa_stream_write(m_stream, data, used, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            return;
        }
        bytes -= used;
    }
}

void PulseOutput::OnContextState(pa_context* /*context*/, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->m_mainloop, 0);
}

void PulseOutput::OnStreamState(pa_stream* /*stream*/, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseOutput*>(self)->m_mainloop, 0);
}

void PulseOutput::OnUnderflow(pa_stream* /*stream*/, void* self) {
    static_cast<PulseOutput*>(self)->m_underflows.fetch_add(1, std::memory_order_relaxed);
}

void PulseOutput::OnWrite(pa_stream* /*stream*/, std::size_t bytes, void* self) {
    auto* output = static_cast<PulseOutput*>(self);
    if (!output->m_priorityTried) {
        output->m_priorityTried = true;
        // The mainloop thread keeps the server's queue filled: on a busy
        // machine it must not wait behind ordinary threads.
        RequestRealtimePriority(kOutputPriority);
    }
    if (output->m_started) {
        output->Fill(bytes);
    }
}

} // namespace player
