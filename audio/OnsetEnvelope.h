#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace audio {

// What the tempo fit reads of a song: two onset-strength envelopes on one
// frame grid and a fine energy envelope. This is all the analysis keeps of
// the song (a 3-minute song at 44.1 kHz: about 31 000 frames per envelope
// and 180 000 fine blocks), so memory does not grow with the sample rate.
struct OnsetEnvelopes {
    // Envelope values per second; value k compares the spectra of the
    // analysis frames centred on song times (k - 1) / frameRate and
    // k / frameRate.
    double frameRate = 0;
    std::vector<float> flux;    // log-magnitude spectral flux, whole band
    std::vector<float> lowFlux; // the same below kLowBandHz: kick and bass
    // The same from kMidBandLowHz to kMidBandHighHz: a snare's or clap's
    // noise and a chord's attack show there, a hat (mostly above 5 kHz) and
    // a kick hardly.
    std::vector<float> midFlux;
    // midFlux times the spectral flatness of the mid band's power rise
    // (geometric over arithmetic mean across its bins): a snare's or clap's
    // noise rises in every bin, a chord only at its partials. Folded against
    // midFlux, how noisy the mid-band attacks at a phase are.
    std::vector<float> midFluxFlat;
    // Signal energy of consecutive blocks of fineBlockSeconds, from song
    // time 0.
    double fineBlockSeconds = 0;
    std::vector<float> fineEnergy;
    // The same of the signal's first difference: the highs (snare, hats)
    // without the kick's and the bass's long low tails.
    std::vector<float> fineHighEnergy;
    double durationSeconds = 0;
};

inline constexpr double kLowBandHz = 200.0;
inline constexpr double kMidBandLowHz = 300.0;
inline constexpr double kMidBandHighHz = 3000.0;

// Turns mono samples into OnsetEnvelopes as they stream in: a Hann-windowed
// FFT of about 23 ms every quarter frame (FFTW, single precision). One
// thread at a time; any thread.
class OnsetAnalyzer {
public:
    explicit OnsetAnalyzer(int sampleRate);
    ~OnsetAnalyzer();
    OnsetAnalyzer(const OnsetAnalyzer&) = delete;
    OnsetAnalyzer& operator=(const OnsetAnalyzer&) = delete;

    // Mono samples in [-1, 1], in song order from time 0.
    void Add(const float* samples, std::size_t count);

    // The envelopes of everything added; the analyzer is spent afterwards.
    OnsetEnvelopes Finish();

private:
    void AnalyseFrame();

    struct Fft;
    std::unique_ptr<Fft> m_fft;
    int m_sampleRate;
    std::size_t m_frameSize;
    std::size_t m_hop;
    std::size_t m_lowBins;
    std::size_t m_midFirstBin;
    std::size_t m_midEndBin;
    std::size_t m_fineBlock;
    std::vector<float> m_ring; // the last m_frameSize samples, oldest first
    std::vector<float> m_window;
    std::vector<float> m_previousLog;
    std::vector<float> m_currentLog;
    std::vector<float> m_previousPower; // the mid band's bins
    double m_fineSum = 0;
    double m_fineHighSum = 0;
    float m_previousSample = 0;
    std::size_t m_fineCount = 0;
    std::size_t m_totalSamples = 0;
    OnsetEnvelopes m_out;
};

} // namespace audio
