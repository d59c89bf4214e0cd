#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// The period of an onset envelope: its local mean taken off, its strongest
// periodicity, the beat period that stays on the onsets over the whole song,
// and the envelope folded at a period. Frames are the envelope's.
namespace audio {

// Envelope values minus their local mean, floored at 0.
std::vector<float> DetrendEnvelope(const std::vector<float>& values, double frameRate);

double EnvelopeMean(const std::vector<float>& values);

// For an attack, the fine energy is summed over this many blocks ending at
// each block: 12 ms spans the energy ripple of a 42 Hz kick or bass (with 4
// the ripple of a fast song's kick tail outweighed the next attack), and
// the log of a growing sum still rises most in the attack's first block.
inline constexpr std::size_t kFineSmoothBlocks = 12;
// Rise in decibels from block to block of the fine energy summed over
// kFineSmoothBlocks: largest in an attack's first block.
std::vector<float> FineEnergyRise(const std::vector<float>& energy);

// The envelope folded at a period (frames): the mean value at each phase.
class EnvelopeFold {
public:
    EnvelopeFold(const std::vector<float>& envelope, double period);

    // Mean around a phase (frames), over about one frame of phase: a beat's
    // onset spreads over a frame or two of the envelope.
    double At(double phase) const;

    // The phase (frames) where the mean is largest, and that mean.
    std::pair<double, double> Peak() const;

    double Wrap(double phase) const;

private:
    double m_period;
    std::vector<double> m_sums;
    std::vector<std::size_t> m_counts;
};

// The period (frames) of the envelope's strongest periodicity between
// kMinSearchBpm and kMaxSearchBpm; 0 when there is none.
double PeriodicityPeak(const std::vector<float>& envelope, double frameRate);

// The period near `estimate` whose fold of the envelope peaks highest.
double FitPeriod(const std::vector<float>& envelope, double estimate);

} // namespace audio
