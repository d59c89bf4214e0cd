#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace player {

// Playback straight to the desktop's sound server through the PulseAudio
// client library (PipeWire serves the same protocol through pipewire-pulse),
// because only the server knows how long a written sample waits before it is
// heard: its own buffer plus the sink's. Each render call is told that
// latency, as the server reports it at that moment.
//
// The render function runs on the client library's mainloop thread, with
// the mainloop lock held; the same rules as any audio callback apply (no
// locks of ours, no allocation, no I/O). Buffers come from the library's
// preallocated pool (pa_stream_begin_write), so rendering copies nothing.
class PulseOutput {
public:
    // out: interleaved frames to fill; latencyNs: how long after now the
    // first of them will be heard.
    using RenderFunction = void (*)(void* context, std::int16_t* out, int frames,
                                    std::int64_t latencyNs);

    // Connects to the running server (never starts one) and opens a corked
    // stream; null when there is no server or it refuses the stream.
    static std::unique_ptr<PulseOutput> Open(int sampleRate, int channels, RenderFunction render,
                                             void* context);
    ~PulseOutput();
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // Fills the stream and lets it play.
    void Start();
    // Frames the server asks for at a time (its minimum request).
    int RequestFrames() const { return m_requestFrames; }
    // The latency the stream was set up for, before the server reports any.
    std::int64_t NominalLatencyNs() const { return m_nominalLatencyNs; }
    // Times the server ran out of our audio (each is a gap the listener
    // hears). Any thread.
    int Underflows() const { return m_underflows.load(std::memory_order_relaxed); }

private:
    PulseOutput() = default;
    bool WaitForContext();
    bool WaitForStream();
    void Fill(std::size_t bytes);
    std::int64_t CurrentLatencyNs();
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void OnUnderflow(pa_stream* stream, void* self);

    pa_threaded_mainloop* m_mainloop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    RenderFunction m_render = nullptr;
    void* m_renderContext = nullptr;
    int m_sampleRate = 0;
    int m_frameBytes = 0;
    int m_requestFrames = 0;
    std::int64_t m_nominalLatencyNs = 0;
    // Mainloop thread; set under the mainloop lock by Start.
    bool m_started = false;
    bool m_priorityTried = false; // mainloop thread
    std::atomic<int> m_underflows{0};
};

} // namespace player
