#include "ServerTimingProbe.h"

#include "player/ClickTrack.h"
#include "player/KeyPressTime.h"
#include "player/PlaybackEngine.h"
#include "player/PulseTeardown.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <pulse/pulseaudio.h>
#include <thread>
#include <vector>

namespace player::test {

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kFirstClickSeconds = 1.0;
// The click track's bursts start at 24000; silence is 0. Half way finds the
// first sample of each burst whatever the path's level.
constexpr int kOnsetThreshold = 12000;
// Frames of quiet that must come before an onset (the burst itself rings
// for 5 ms, 220 frames).
constexpr int kQuietFrames = 2000;

// Finds burst onsets in interleaved stereo, left channel, continuing
// across calls.
class OnsetFinder {
public:
    // Calls found(frameIndex) for each onset in the next `frames` frames.
    template <typename Found> void Scan(const std::int16_t* samples, int frames, Found&& found) {
        for (int i = 0; i < frames; ++i) {
            const int value = std::abs(static_cast<int>(samples[i * kChannels]));
            if (value > kOnsetThreshold) {
                if (m_quiet >= kQuietFrames) {
                    found(m_frame + i);
                }
                m_quiet = 0;
            } else {
                ++m_quiet;
            }
        }
        m_frame += frames;
    }

private:
    std::int64_t m_frame = 0;
    std::int64_t m_quiet = kQuietFrames;
};

// A recording of the default sink's monitor with, for the fit of sample
// index against the steady clock, the capture time the server reports at
// each read.
class MonitorRecorder {
public:
    struct CaptureMark {
        double frame;      // a recorded frame
        double capturedNs; // when it was heard
        double delayNs;    // from heard to the server's report of it
    };

    ~MonitorRecorder() {
        if (m_update != nullptr) {
            pa_threaded_mainloop_lock(m_mainloop);
            pa_operation_cancel(m_update);
            pa_operation_unref(m_update);
            pa_threaded_mainloop_unlock(m_mainloop);
        }
        player::TearDownPulse(m_mainloop, m_context, m_stream);
    }

    std::string Start(double seconds) {
        m_samples.reserve(static_cast<std::size_t>((seconds + 5.0) * kRate * kChannels));
        m_marks.reserve(static_cast<std::size_t>((seconds + 5.0) * 200));
        m_mainloop = pa_threaded_mainloop_new();
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_mainloop), "Timing probe");
        pa_context_set_state_callback(
            m_context,
            [](pa_context*, void* self) {
                pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->m_mainloop, 0);
            },
            this);
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
            pa_threaded_mainloop_start(m_mainloop) < 0) {
            return "no sound server to record from";
        }
        pa_threaded_mainloop_lock(m_mainloop);
        std::string error;
        while (pa_context_get_state(m_context) != PA_CONTEXT_READY) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
                error = "no sound server to record from";
                break;
            }
            pa_threaded_mainloop_wait(m_mainloop);
        }
        if (error.empty()) {
            error = ConnectStream();
        }
        pa_threaded_mainloop_unlock(m_mainloop);
        return error;
    }

    // Stops reading; the data is then stable.
    void Stop() {
        pa_threaded_mainloop_lock(m_mainloop);
        m_stopped = true;
        pa_threaded_mainloop_unlock(m_mainloop);
    }

    const std::vector<std::int16_t>& Samples() const { return m_samples; }
    const std::vector<CaptureMark>& Marks() const { return m_marks; }

private:
    // Mainloop locked.
    std::string ConnectStream() {
        const pa_sample_spec sampleFormat{PA_SAMPLE_S16NE, kRate, kChannels};
        m_stream = pa_stream_new(m_context, "Monitor", &sampleFormat, nullptr);
        pa_stream_set_state_callback(
            m_stream,
            [](pa_stream*, void* self) {
                pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->m_mainloop, 0);
            },
            this);
        pa_stream_set_read_callback(
            m_stream,
            [](pa_stream*, std::size_t, void* self) {
                static_cast<MonitorRecorder*>(self)->Read();
            },
            this);
        constexpr std::uint32_t kServerDefault = static_cast<std::uint32_t>(-1);
        // Fragments of 5 ms.
        const pa_buffer_attr attr{kServerDefault, kServerDefault, kServerDefault, kServerDefault,
                                  static_cast<std::uint32_t>(kRate / 200 * kChannels * 2)};
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(m_stream, "@DEFAULT_MONITOR@", &attr, flags) < 0) {
            return "the server refused a recording";
        }
        while (pa_stream_get_state(m_stream) != PA_STREAM_READY) {
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) {
                return "the server refused a recording";
            }
            pa_threaded_mainloop_wait(m_mainloop);
        }
        return {};
    }

    // Mainloop thread.
    void Read() {
        MarkTimingReport();
        // A report every 50 ms: twenty marks a second for the fit, without
        // keeping the server (which must also feed the engine's stream) busy
        // answering.
        const std::int64_t nowNs = KeyPressTime::NowNs();
        constexpr std::int64_t kReportIntervalNs = 50'000'000;
        if (nowNs - m_updateAskedNs >= kReportIntervalNs &&
            (m_update == nullptr || pa_operation_get_state(m_update) != PA_OPERATION_RUNNING)) {
            if (m_update != nullptr) {
                pa_operation_unref(m_update);
            }
            m_update = pa_stream_update_timing_info(m_stream, nullptr, nullptr);
            m_updateAskedNs = nowNs;
        }
        for (;;) {
            const void* data = nullptr;
            std::size_t bytes = 0;
            if (pa_stream_peek(m_stream, &data, &bytes) < 0 || bytes == 0) {
                return;
            }
            if (!m_stopped) {
                const std::size_t count = bytes / sizeof(std::int16_t);
                if (data == nullptr) {
                    m_samples.insert(m_samples.end(), count, 0); // a hole: silence
                } else {
                    const auto* samples = static_cast<const std::int16_t*>(data);
                    m_samples.insert(m_samples.end(), samples, samples + count);
                }
            }
            pa_stream_drop(m_stream);
        }
    }

    // Mainloop thread. A mark from each new timing report of the server,
    // dated by the server's clock: the frame at its write index was heard
    // (played by the sink) the source's latency before the report, less
    // the sink's (a monitor sees what the sink renders before it is
    // heard). Not the client library's interpolated latency, which wanders
    // by milliseconds for seconds on a busy machine.
    void MarkTimingReport() {
        const pa_timing_info* info = pa_stream_get_timing_info(m_stream);
        if (m_stopped || info == nullptr || info->synchronized_clocks == 0 ||
            info->write_index_corrupt != 0) {
            return;
        }
        const std::int64_t reportUs =
            static_cast<std::int64_t>(info->timestamp.tv_sec) * 1'000'000 + info->timestamp.tv_usec;
        if (reportUs == m_lastReportUs) {
            return;
        }
        m_lastReportUs = reportUs;
        const auto wallNowNs =
            static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count());
        const auto steadyNowNs = static_cast<double>(KeyPressTime::NowNs());
        const double reportNs = static_cast<double>(reportUs) * 1000.0 - wallNowNs + steadyNowNs;
        const double delayNs =
            (static_cast<double>(info->source_usec) - static_cast<double>(info->sink_usec)) *
            1000.0;
        m_marks.push_back({static_cast<double>(info->write_index / (kChannels * 2)),
                           reportNs - delayNs, delayNs});
    }

    pa_threaded_mainloop* m_mainloop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    bool m_stopped = false;
    std::int64_t m_lastReportUs = -1;
    pa_operation* m_update = nullptr;
    std::int64_t m_updateAskedNs = 0;
    std::vector<std::int16_t> m_samples;
    std::vector<CaptureMark> m_marks;
};

// Output onsets as the engine rendered them, from its audio callback.
struct OutputLog {
    // Set once the engine is made; its first buffers come before that.
    std::atomic<PlaybackEngine*> engine{nullptr};
    OnsetFinder finder;
    struct Onset {
        double renderedNs; // callback start plus the frame's offset in it
        double latencyNs;  // what the server reported for that buffer
    };
    std::vector<Onset> onsets; // reserved up front: the callback must not allocate
    // Every buffer: when it was asked for, and its first frame's index.
    struct Buffer {
        double frame;
        double callbackNs;
    };
    std::vector<Buffer> buffers; // reserved up front too

    static void Observe(void* context, const std::int16_t* samples, int frames, int /*channels*/,
                        std::int64_t callbackNs) {
        auto* log = static_cast<OutputLog*>(context);
        const PlaybackEngine* engine = log->engine.load();
        const double latencyNs =
            engine != nullptr ? static_cast<double>(engine->OutputLatencyNs()) : 0.0;
        if (log->buffers.size() < log->buffers.capacity()) {
            log->buffers.push_back(
                {static_cast<double>(log->bufferStart), static_cast<double>(callbackNs)});
        }
        log->finder.Scan(samples, frames, [&](std::int64_t frame) {
            if (log->onsets.size() < log->onsets.capacity()) {
                const double offset = static_cast<double>(frame - log->bufferStart);
                log->onsets.push_back(
                    {static_cast<double>(callbackNs) + offset * 1e9 / kRate, latencyNs});
            }
        });
        log->bufferStart += frames;
    }
    std::int64_t bufferStart = 0;
};

// A line y = a + b x.
struct Line {
    double a = 0.0;
    double b = 0.0;
};

// Least squares, then once more without the points more than three
// standard deviations off (a callback a busy scheduler ran late).
Line LeastSquares(const std::vector<double>& x, const std::vector<double>& y) {
    Line line;
    std::vector<bool> used(x.size(), true);
    for (int pass = 0; pass < 2; ++pass) {
        double n = 0.0;
        double mx = 0.0;
        double my = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (used[i]) {
                n += 1.0;
                mx += x[i];
                my += y[i];
            }
        }
        mx /= n;
        my /= n;
        double sxy = 0.0;
        double sxx = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (used[i]) {
                sxy += (x[i] - mx) * (y[i] - my);
                sxx += (x[i] - mx) * (x[i] - mx);
            }
        }
        line.b = sxx > 0.0 ? sxy / sxx : 0.0;
        line.a = my - line.b * mx;
        double sumSquares = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double residual = y[i] - line.a - line.b * x[i];
            sumSquares += used[i] ? residual * residual : 0.0;
        }
        const double limit = 3.0 * std::sqrt(sumSquares / n);
        for (std::size_t i = 0; i < x.size(); ++i) {
            used[i] = std::abs(y[i] - line.a - line.b * x[i]) <= limit;
        }
    }
    return line;
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

double Mean(const std::vector<double>& values) {
    double sum = 0.0;
    for (const double v : values) {
        sum += v;
    }
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

} // namespace

ServerTimingFigures MeasureServerTiming(double seconds, double bpm) {
    ServerTimingFigures figures;
    const double interval = 60.0 / bpm;
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);

    MonitorRecorder recorder;
    figures.error = recorder.Start(seconds);
    if (!figures.error.empty()) {
        return figures;
    }
    OutputLog log;
    log.onsets.reserve(static_cast<std::size_t>(seconds / interval) + 16);
    log.buffers.reserve(static_cast<std::size_t>((seconds + 10.0) * 1000.0));
    PlaybackEngine::Options options;
    options.clickFile.clear();
    options.observer = &OutputLog::Observe;
    options.observerContext = &log;
    PlaybackEngine engine(options);
    log.engine = &engine;
    figures.driver = engine.OutputDriver();
    if (figures.driver != "pulseaudio") {
        figures.error =
            "the engine did not reach the sound server (driver \"" + figures.driver + "\")";
        return figures;
    }
    engine.OpenDecoded(MakeClickTrack(seconds, kFirstClickSeconds, interval, kRate), "clicks");

    // The engine's position, read every millisecond while it plays.
    std::vector<std::pair<double, double>> positions; // steady ns, song seconds
    positions.reserve(static_cast<std::size_t>((seconds + 2.0) * 1000.0));
    const double playNs = static_cast<double>(KeyPressTime::NowNs());
    engine.Play();
    // A read the scheduler interrupted cannot say when it was taken: kept
    // only when it took less than 0.2 ms, dated at its middle.
    constexpr std::int64_t kMaxReadNs = 200'000;
    while (engine.State() == PlayState::kPlaying) {
        const std::int64_t beforeNs = KeyPressTime::NowNs();
        const double position = engine.PositionSeconds();
        const std::int64_t afterNs = KeyPressTime::NowNs();
        if (afterNs - beforeNs < kMaxReadNs) {
            positions.emplace_back(static_cast<double>(beforeNs + afterNs) / 2.0, position);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double stopNs = static_cast<double>(KeyPressTime::NowNs());
    figures.underflows = engine.OutputUnderflows();
    // The last click has left the sink by now; let the recording catch up.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    recorder.Stop();

    // When the engine said each click was heard: where its position crossed
    // the click's song time.
    std::vector<double> engineHeardNs;
    for (double at = kFirstClickSeconds; at < seconds; at += interval) {
        ++figures.clicksPlayed;
        for (std::size_t i = 1; i < positions.size(); ++i) {
            const auto [t0, p0] = positions[i - 1];
            const auto [t1, p1] = positions[i];
            if (p0 < at && p1 >= at) {
                engineHeardNs.push_back(t0 + (t1 - t0) * (at - p0) / (p1 - p0));
                break;
            }
        }
    }

    // The recording: onsets, and its sample clock against the steady clock.
    std::vector<std::int64_t> recorded;
    OnsetFinder finder;
    const std::vector<std::int16_t>& samples = recorder.Samples();
    finder.Scan(samples.data(), static_cast<int>(samples.size() / kChannels),
                [&](std::int64_t frame) { recorded.push_back(frame); });
    figures.clicksRecorded = static_cast<int>(recorded.size());
    const auto& marks = recorder.Marks();
    if (marks.size() < 10 || recorded.size() < 3 ||
        static_cast<int>(recorded.size()) != figures.clicksPlayed ||
        static_cast<int>(engineHeardNs.size()) != figures.clicksPlayed ||
        static_cast<int>(log.onsets.size()) != figures.clicksPlayed) {
        figures.error = "clicks played " + std::to_string(figures.clicksPlayed) + ", recorded " +
                        std::to_string(recorded.size()) + ", rendered " +
                        std::to_string(log.onsets.size()) + ", crossed " +
                        std::to_string(engineHeardNs.size());
        return figures;
    }
    // The server's sample clock on ours, from the recording's timing reports
    // while the song played (the stretch the figures are about). A report can only come late (the
    // server dates it after taking its index), so the line goes through the earliest report of each
    // second, not through all of them.
    std::vector<double> markFrames;
    std::vector<double> markNs;
    std::vector<double> delays;
    for (const auto& mark : marks) {
        if (mark.capturedNs > playNs + kFirstClickSeconds * 1e9 && mark.capturedNs < stopNs) {
            markFrames.push_back(mark.frame);
            markNs.push_back(mark.capturedNs);
            delays.push_back(mark.delayNs * 1e-6);
        }
    }
    if (markFrames.size() < 100) {
        figures.error = "too few timing reports of the recording while the song played";
        return figures;
    }
    figures.captureDelayMs = Median(delays);
    const Line rough = LeastSquares(markFrames, markNs);
    std::vector<double> earliestFrames;
    std::vector<double> earliestNs;
    for (std::size_t i = 0; i < markFrames.size(); ++i) {
        const bool sameSecond =
            !earliestFrames.empty() &&
            std::floor(markFrames[i] / kRate) == std::floor(earliestFrames.back() / kRate);
        const double residual = markNs[i] - rough.a - rough.b * markFrames[i];
        if (!sameSecond) {
            earliestFrames.push_back(markFrames[i]);
            earliestNs.push_back(markNs[i]);
        } else if (residual < earliestNs.back() - rough.a - rough.b * earliestFrames.back()) {
            earliestFrames.back() = markFrames[i];
            earliestNs.back() = markNs[i];
        }
    }
    const Line capture = LeastSquares(earliestFrames, earliestNs);
    const double nsPerFrame = capture.b;
    figures.serverClockPpm = (nsPerFrame * kRate / 1e9 - 1.0) * 1e6;
    // A check on that reference: the engine renders as the server asks for
    // audio, so the times of its requests against the frames they asked for
    // give the same clock with our scheduling's noise.
    std::vector<double> bufferFrames;
    std::vector<double> bufferNs;
    for (const auto& buffer : log.buffers) {
        if (buffer.callbackNs > playNs && buffer.callbackNs < stopNs) {
            bufferFrames.push_back(buffer.frame);
            bufferNs.push_back(buffer.callbackNs);
        }
    }
    figures.requestsAgainstRecordingMsPerMinute =
        (LeastSquares(bufferFrames, bufferNs).b / nsPerFrame - 1.0) * 60e3;

    // Drift: every position the engine gave while the clicks played,
    // against the song frame the server was playing at that moment (its
    // sample clock, placed by the recording: song frame F is recording
    // frame F + the first click's offset, as long as the server never ran
    // out of audio).
    const double recordingLead = static_cast<double>(recorded.front()) - kFirstClickSeconds * kRate;
    std::vector<double> minutes;
    std::vector<double> driftMs;
    for (const auto& [t, p] : positions) {
        if (p <= kFirstClickSeconds || p >= seconds - interval) {
            continue;
        }
        const double serverSongFrame = (t - capture.a) / nsPerFrame - recordingLead;
        minutes.push_back(t / 60e9);
        driftMs.push_back((p * kRate - serverSongFrame) * nsPerFrame * 1e-6);
    }
    figures.driftMsPerMinute = LeastSquares(minutes, driftMs).b;

    const double intervalFrames = interval * kRate;
    double sumSquares = 0.0;
    for (std::size_t i = 1; i < recorded.size(); ++i) {
        const double spacingMs =
            (static_cast<double>(recorded[i] - recorded[i - 1]) - intervalFrames) * 1000.0 / kRate;
        figures.jitterMaxMs = std::max(figures.jitterMaxMs, std::abs(spacingMs));
        sumSquares += spacingMs * spacingMs;
    }
    figures.jitterRmsMs = std::sqrt(sumSquares / static_cast<double>(recorded.size() - 1));

    std::vector<double> errorsMs;
    std::vector<double> clickMinutes;
    std::vector<double> measuredLatencyMs;
    std::vector<double> reportedLatencyMs;
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        const double heardNs = capture.a + capture.b * static_cast<double>(recorded[i]);
        errorsMs.push_back((heardNs - engineHeardNs[i]) * 1e-6);
        clickMinutes.push_back(heardNs / 60e9);
        figures.positionErrorMaxMs =
            std::max(figures.positionErrorMaxMs, std::abs(errorsMs.back()));
        measuredLatencyMs.push_back((heardNs - log.onsets[i].renderedNs) * 1e-6);
        reportedLatencyMs.push_back(log.onsets[i].latencyNs * 1e-6);
    }
    figures.positionErrorMeanMs = Mean(errorsMs);
    figures.clickDriftMsPerMinute = LeastSquares(clickMinutes, errorsMs).b;
    figures.measuredLatencyMs = Mean(measuredLatencyMs);
    figures.reportedLatencyMs = Mean(reportedLatencyMs);
    return figures;
}

} // namespace player::test
