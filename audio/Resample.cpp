#include "audio/Resample.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <samplerate.h>

namespace audio {

namespace {

struct SrcDeleter {
    void operator()(SRC_STATE* state) const { src_delete(state); }
};

// Input frames converted per call: 64 KiB-ish of floats per channel.
constexpr long kBlockFrames = 16384;

} // namespace

int PlaybackRateFor(int sampleRate) {
    return sampleRate <= kMaxStretchRate ? sampleRate : (sampleRate + 1) / 2;
}

bool ResampleSong(DecodedSong& song, int targetRate) {
    if (song.channels < 1 || song.sampleRate < 1 || targetRate < 1) {
        return false;
    }
    if (targetRate == song.sampleRate) {
        return true;
    }
    int error = 0;
    // The fastest sinc converter: band-limited, and quick enough for a whole
    // song at 384 kHz in a couple of seconds.
    const std::unique_ptr<SRC_STATE, SrcDeleter> state(
        src_new(SRC_SINC_FASTEST, song.channels, &error));
    if (!state) {
        return false;
    }
    const double ratio = static_cast<double>(targetRate) / song.sampleRate;
    const auto channels = static_cast<std::size_t>(song.channels);
    const std::size_t frames = song.samples.size() / channels;
    const auto outBlockFrames = static_cast<long>(std::ceil(kBlockFrames * ratio)) + 64;
    std::vector<float> in(static_cast<std::size_t>(kBlockFrames) * channels);
    std::vector<float> out(static_cast<std::size_t>(outBlockFrames) * channels);
    std::vector<std::int16_t> result;
    result.reserve(static_cast<std::size_t>(std::ceil(static_cast<double>(frames) * ratio) + 64) *
                   channels);

    std::size_t done = 0;
    bool ended = false;
    while (!ended) {
        const std::size_t take = std::min<std::size_t>(kBlockFrames, frames - done);
        src_short_to_float_array(song.samples.data() + done * channels, in.data(),
                                 static_cast<int>(take * channels));
        SRC_DATA data{};
        data.data_in = in.data();
        data.input_frames = static_cast<long>(take);
        data.data_out = out.data();
        data.output_frames = outBlockFrames;
        data.src_ratio = ratio;
        data.end_of_input = done + take == frames ? 1 : 0;
        // The converter may leave input for the next call; the end is
        // flushed with calls that give it none.
        do {
            if (src_process(state.get(), &data) != 0) {
                return false;
            }
            const std::size_t old = result.size();
            result.resize(old + static_cast<std::size_t>(data.output_frames_gen) * channels);
            src_float_to_short_array(out.data(), result.data() + old,
                                     static_cast<int>(data.output_frames_gen * song.channels));
            data.data_in += data.input_frames_used * song.channels;
            data.input_frames -= data.input_frames_used;
        } while (data.input_frames > 0 || (data.end_of_input && data.output_frames_gen > 0));
        done += take;
        ended = data.end_of_input != 0;
    }
    song.samples = std::move(result);
    song.sampleRate = targetRate;
    return true;
}

} // namespace audio
