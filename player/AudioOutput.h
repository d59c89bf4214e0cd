#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace player {

class PulseOutput;

// The output device, opened for signed 16-bit interleaved output at the
// song's rate and channel count: the desktop's sound server when one runs
// (PulseAudio or PipeWire, through PulseOutput, which reports the real
// latency), otherwise SDL's audio device (SDL converts for the hardware).
// SDL_AUDIODRIVER naming another driver than pulseaudio or pipewire (the
// tests' "dummy" and "disk") skips the server. One owner; closing joins the
// audio thread, so no callback runs after the destructor.
class AudioOutput {
public:
    // Called on the audio thread with the buffer to fill; latencyNs: how
    // long after now its first frame is heard.
    using RenderFunction = void (*)(void* context, std::int16_t* out, int frames,
                                    std::int64_t latencyNs);

    struct Format {
        int sampleRate = 44100;
        int channels = 2;
    };

    // Opens the default output device, or SDL's dummy driver when there is
    // no usable device (a headless machine): playback then runs silently on
    // a clock of its own. The device starts paused; call Start once the
    // renderer is ready. Null only if even the dummy driver fails.
    static std::unique_ptr<AudioOutput> Open(const Format& format, RenderFunction render,
                                             void* context);

    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    void Start();

    int SampleRate() const { return m_format.sampleRate; }
    int Channels() const { return m_format.channels; }
    int BufferFrames() const { return m_bufferFrames; }
    // "dummy" and "disk" reach no speaker.
    bool Audible() const { return m_audible; }
    const std::string& DriverName() const { return m_driver; }
    // How long after a callback starts its buffer's first frame is heard,
    // as expected when opening; each callback is told the figure of the
    // moment. The sound server reports its own. SDL reports none; a driver
    // that plays to a device queues the buffer behind the one now playing
    // (one buffer), the dummy and disk drivers "play" a buffer as soon as
    // it is filled.
    std::int64_t LatencyNs() const { return m_latencyNs; }
    // Whether each callback's latency comes from the sound server's sample
    // clock (true) or only the callback's own time stands for it.
    bool ReportsServerTiming() const { return m_pulse != nullptr; }
    // Gaps the sound server reported (our audio came too late); 0 for SDL,
    // which does not say.
    int Underflows() const;

private:
    // SDL's userdata: what the callback needs, owned by this object.
    struct CallbackTarget {
        RenderFunction render = nullptr;
        void* context = nullptr;
        int channels = 0;
        std::int64_t latencyNs = 0;
    };

    AudioOutput();
    static void Callback(void* userdata, std::uint8_t* stream, int length);

    static std::unique_ptr<AudioOutput> OpenSdl(const Format& format, RenderFunction render,
                                                void* context);

    std::unique_ptr<CallbackTarget> m_target;
    std::unique_ptr<PulseOutput> m_pulse;
    std::uint32_t m_device = 0;
    Format m_format;
    int m_bufferFrames = 0;
    bool m_audible = false;
    std::string m_driver;
    std::int64_t m_latencyNs = 0;
};

} // namespace player
