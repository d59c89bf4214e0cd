#include "chart/TimingMap.h"

#include "chart/SongTiming.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace chart {

namespace {

// Seconds per beat the way the constant-tempo code computes it (60 / BPM in
// double from the float), or 0 for a tempo that gives no grid.
double SecondsPerBeat(double bpm) {
    if (!std::isfinite(bpm) || bpm <= 0.0) {
        return 0.0;
    }
    const double seconds = 60.0 / bpm;
    return std::isfinite(seconds) ? seconds : 0.0;
}

enum class EventKind { Change, Stop, Delay, WarpStart, WarpEnd };

struct Event {
    double beat = 0.0;
    EventKind kind = EventKind::Change;
    double value = 0.0; // BPM, milliseconds, or the beat a warp ends
};

double PositiveSeconds(double ms) {
    return std::isfinite(ms) && ms > 0.0 ? ms / 1000.0 : 0.0;
}

} // namespace

TimingMap::TimingMap(float bpm, float gapSeconds, std::span<const BpmChange> changes,
                     std::span<const Stop> stops, std::span<const Delay> delays,
                     std::span<const Warp> warps) {
    const double gap = std::isfinite(gapSeconds) ? static_cast<double>(gapSeconds) : 0.0;
    const double initialSpb = chart::HasUsableTempo(bpm) ? BeatSeconds(bpm) : 0.0;
    m_secondsPerBeatBeforeZero = initialSpb;
    m_usable = initialSpb > 0.0;

    std::vector<Event> events;
    events.reserve(changes.size() + stops.size() + delays.size() + 2 * warps.size());
    for (const BpmChange& change : changes) {
        if (std::isfinite(change.beat)) {
            events.push_back({std::max(change.beat, 0.0), EventKind::Change, change.bpm});
        }
    }
    for (const Stop& stop : stops) {
        if (std::isfinite(stop.beat)) {
            events.push_back({std::max(stop.beat, 0.0), EventKind::Stop, stop.durationMs});
        }
    }
    for (const Delay& delay : delays) {
        if (std::isfinite(delay.beat)) {
            events.push_back({std::max(delay.beat, 0.0), EventKind::Delay, delay.durationMs});
        }
    }
    for (const Warp& warp : warps) {
        const double begin = std::max(warp.beat, 0.0);
        const double end = warp.beat + warp.lengthBeats;
        if (std::isfinite(warp.beat) && std::isfinite(end) && end > begin) {
            events.push_back({begin, EventKind::WarpStart, end});
            events.push_back({end, EventKind::WarpEnd, end});
        }
    }
    // Stable: of two changes at one beat the later one in the file wins.
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.beat < b.beat; });

    double tempoSpb = initialSpb;
    double warpEnd = 0.0; // warps overlapping end at the last of their ends
    const auto effectiveSpb = [&](double beat) { return beat < warpEnd ? 0.0 : tempoSpb; };
    m_segments.push_back({0.0, gap, gap, gap, initialSpb, static_cast<double>(bpm)});
    for (const Event& event : events) {
        Segment* last = &m_segments.back();
        if (event.beat > last->beat) {
            const double reach =
                last->departSeconds + (event.beat - last->beat) * last->secondsPerBeat;
            m_segments.push_back(
                {event.beat, reach, reach, reach, last->secondsPerBeat, last->bpm});
            last = &m_segments.back();
        }
        switch (event.kind) {
        case EventKind::Stop:
            last->departSeconds += PositiveSeconds(event.value);
            break;
        case EventKind::Delay: {
            const double delay = PositiveSeconds(event.value);
            last->arriveSeconds += delay;
            last->departSeconds += delay;
            break;
        }
        case EventKind::Change:
            last->bpm = event.value;
            tempoSpb = SecondsPerBeat(event.value);
            m_usable = m_usable && tempoSpb > 0.0;
            break;
        case EventKind::WarpStart:
            warpEnd = std::max(warpEnd, event.value);
            break;
        case EventKind::WarpEnd:
            break;
        }
        last->secondsPerBeat = effectiveSpb(last->beat);
    }
}

const TimingMap::Segment& TimingMap::SegmentAtBeat(double beat) const {
    const auto it = std::upper_bound(m_segments.begin(), m_segments.end(), beat,
                                     [](double b, const Segment& s) { return b < s.beat; });
    return it == m_segments.begin() ? m_segments.front() : *(it - 1);
}

double TimingMap::SecondsAt(double beat) const {
    if (std::isnan(beat)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const Segment& first = m_segments.front();
    if (beat < first.beat) {
        return first.reachSeconds + beat * m_secondsPerBeatBeforeZero;
    }
    const Segment& segment = SegmentAtBeat(beat);
    if (beat == segment.beat) {
        return segment.arriveSeconds;
    }
    return segment.departSeconds + (beat - segment.beat) * segment.secondsPerBeat;
}

double TimingMap::BeatAt(double seconds) const {
    if (std::isnan(seconds)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const Segment& first = m_segments.front();
    if (seconds < first.reachSeconds) {
        if (m_secondsPerBeatBeforeZero <= 0.0) {
            return -std::numeric_limits<double>::infinity();
        }
        return (seconds - first.reachSeconds) / m_secondsPerBeatBeforeZero;
    }
    // The last segment reached by this time; of several reached at once
    // (stretches that take no time) the latest.
    const auto it =
        std::upper_bound(m_segments.begin(), m_segments.end(), seconds,
                         [](double s, const Segment& seg) { return s < seg.reachSeconds; });
    const Segment& segment = *(it - 1);
    if (seconds <= segment.departSeconds) {
        return segment.beat;
    }
    if (segment.secondsPerBeat <= 0.0) {
        return std::numeric_limits<double>::infinity();
    }
    return segment.beat + (seconds - segment.departSeconds) / segment.secondsPerBeat;
}

double TimingMap::BpmAt(double beat) const {
    if (beat < m_segments.front().beat) {
        return m_segments.front().bpm;
    }
    return SegmentAtBeat(beat).bpm;
}

} // namespace chart
