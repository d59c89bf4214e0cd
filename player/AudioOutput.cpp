#include "player/AudioOutput.h"

#include "player/PulseOutput.h"

#include <SDL2/SDL.h>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace player {

namespace {

// A buffer of about 20 ms: short enough for prompt seeks, long enough that
// a desktop under load does not underrun. A power of two, as drivers like.
int BufferFramesFor(int sampleRate) {
    const auto target = static_cast<unsigned>(sampleRate / 40);
    return static_cast<int>(std::bit_floor(target < 64 ? 64U : target));
}

bool IsSilentDriver(const char* driver) {
    return driver != nullptr &&
           (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
}

// The sound server is tried unless SDL was told to use a driver of its
// own that is not the server's.
bool ServerWanted() {
    const char* wanted = std::getenv("SDL_AUDIODRIVER");
    return wanted == nullptr || *wanted == '\0' || std::strcmp(wanted, "pulseaudio") == 0 ||
           std::strcmp(wanted, "pipewire") == 0;
}

} // namespace

AudioOutput::AudioOutput() = default;

// SDL hands the callback a buffer in bytes; the renderer counts frames.
void AudioOutput::Callback(void* userdata, std::uint8_t* stream, int length) {
    const auto* target = static_cast<const CallbackTarget*>(userdata);
    const int frames = length / (target->channels * static_cast<int>(sizeof(std::int16_t)));
    // The device was opened for AUDIO_S16SYS, so the buffer holds int16 samples.
    target->render(target->context, reinterpret_cast<std::int16_t*>(stream), frames,
                   target->latencyNs);
}

std::unique_ptr<AudioOutput> AudioOutput::Open(const Format& format, RenderFunction render,
                                               void* context) {
    if (ServerWanted()) {
        if (auto pulse = PulseOutput::Open(format.sampleRate, format.channels, render, context)) {
            std::unique_ptr<AudioOutput> output(new AudioOutput());
            output->m_format = format;
            output->m_bufferFrames = pulse->RequestFrames();
            output->m_audible = true;
            output->m_driver = "pulseaudio";
            output->m_latencyNs = pulse->NominalLatencyNs();
            output->m_pulse = std::move(pulse);
            return output;
        }
    }
    return OpenSdl(format, render, context);
}

std::unique_ptr<AudioOutput> AudioOutput::OpenSdl(const Format& format, RenderFunction render,
                                                  void* context) {
    std::unique_ptr<AudioOutput> output(new AudioOutput());
    auto target =
        std::make_unique<CallbackTarget>(CallbackTarget{render, context, format.channels});

    SDL_AudioSpec wanted{};
    wanted.freq = format.sampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(format.channels);
    wanted.samples = static_cast<Uint16>(BufferFramesFor(format.sampleRate));
    wanted.callback = Callback;
    wanted.userdata = target.get();

    SDL_AudioSpec obtained{};
    // No format changes allowed: SDL converts to whatever the hardware takes.
    constexpr int kAllowNoChanges = 0;
    // SDL's own SIGINT/SIGTERM handlers only queue an event nobody reads here,
    // which would leave the program deaf to Ctrl+C and a shutdown.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return nullptr;
    }
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, kAllowNoChanges);
    if (device == 0 && !IsSilentDriver(SDL_GetCurrentAudioDriver())) {
        // No usable device: play on SDL's dummy driver so the clock still runs.
        SDL_AudioQuit();
        if (SDL_AudioInit("dummy") == 0) {
            device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, kAllowNoChanges);
        }
    }
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    output->m_device = device;
    output->m_format = format;
    output->m_bufferFrames = obtained.samples;
    const char* driver = SDL_GetCurrentAudioDriver();
    output->m_driver = driver != nullptr ? driver : "";
    output->m_audible = !IsSilentDriver(driver);
    output->m_latencyNs = output->m_audible ? static_cast<std::int64_t>(obtained.samples) *
                                                  1'000'000'000 / format.sampleRate
                                            : 0;
    target->latencyNs = output->m_latencyNs;
    output->m_target = std::move(target);
    return output;
}

AudioOutput::~AudioOutput() {
    if (m_pulse) {
        m_pulse.reset();
        return;
    }
    SDL_CloseAudioDevice(m_device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int AudioOutput::Underflows() const {
    return m_pulse ? m_pulse->Underflows() : 0;
}

void AudioOutput::Start() {
    if (m_pulse) {
        m_pulse->Start();
        return;
    }
    SDL_PauseAudioDevice(m_device, 0);
}

} // namespace player
