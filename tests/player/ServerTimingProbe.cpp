#include "ServerTimingProbe.h"

#include "player/ClickTrack.h"
#include "player/KeyPressTime.h"
#include "player/PlaybackEngine.h"
#include "player/PulseTeardown.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <pulse/pulseaudio.h>
#include <ranges>
#include <thread>

namespace player::test {

namespace {

constexpr int kChannels = 2;
constexpr double kFirstClickSeconds = 1.0;
// The click track's bursts start at 24000 on silence: half way finds the
// first sample of each whatever the path's level. A burst rings for 5 ms
// (220 frames), so 2000 quiet frames part one click from the next.
constexpr int kOnsetThreshold = 12000;
constexpr int kQuietFrames = 2000;
constexpr auto kSignal = [](auto*, void* mainloop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(mainloop), 0);
};

// What the engine rendered, from its audio callback. Reserved up front: the
// callback must not allocate.
struct OutputLog {
    std::atomic<PlaybackEngine*> engine{nullptr}; // its first buffers come before it is set
    std::vector<std::int16_t> output;
    struct Buffer {
        double frame; // of the output, at the buffer's start
        double callbackNs;
        double latencyNs; // what the server reported for it
    };
    std::vector<Buffer> buffers;

    static void Observe(void* context, const std::int16_t* samples, int frames, int,
                        std::int64_t callbackNs) {
        auto* log = static_cast<OutputLog*>(context);
        if (log->buffers.size() == log->buffers.capacity() ||
            log->output.size() + 2 * std::size_t(frames) > log->output.capacity())
            return;
        const PlaybackEngine* engine = log->engine.load();
        log->buffers.push_back({double(log->output.size() / 2), double(callbackNs),
                                engine != nullptr ? double(engine->OutputLatencyNs()) : 0.0});
        log->output.insert(log->output.end(), samples, samples + 2 * frames);
    }
};

using Point = std::pair<double, double>;
struct Line {
    double a = 0.0, b = 0.0; // y = a + b x
    double operator()(double x) const { return a + b * x; }
};

// Least squares, then once more without the points more than three
// standard deviations off (a callback a busy scheduler ran late).
Line Fit(std::vector<Point> points) {
    Line line;
    for (int pass = 0; pass < 2; ++pass) {
        const auto n = double(points.size());
        double mx = 0, my = 0, sxy = 0, sxx = 0, squares = 0;
        for (const auto& [x, y] : points) {
            mx += x / n;
            my += y / n;
        }
        for (const auto& [x, y] : points) {
            sxy += (x - mx) * (y - my);
            sxx += (x - mx) * (x - mx);
        }
        line.b = sxx > 0.0 ? sxy / sxx : 0.0;
        line.a = my - line.b * mx;
        for (const auto& [x, y] : points)
            squares += (y - line(x)) * (y - line(x));
        std::erase_if(points, [&](Point p) {
            return std::abs(p.second - line(p.first)) > 3.0 * std::sqrt(squares / n);
        });
    }
    return line;
}

// The monitor's recording stream; its callbacks run on the mainloop thread.
struct Recorder {
    explicit Recorder(MonitorRecording& recording) : out(recording) {}
    ~Recorder() {
        if (update != nullptr) {
            pa_threaded_mainloop_lock(mainloop);
            pa_operation_cancel(update);
            pa_operation_unref(update);
            pa_threaded_mainloop_unlock(mainloop);
        }
        player::TearDownPulse(mainloop, context, stream);
    }

    // Mainloop locked.
    std::string Connect() {
        while (pa_context_get_state(context) != PA_CONTEXT_READY) {
            if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
                return "no sound server to record from";
            pa_threaded_mainloop_wait(mainloop);
        }
        const pa_sample_spec format{PA_SAMPLE_S16NE, kProbeRate, kChannels};
        stream = pa_stream_new(context, "Monitor", &format, nullptr);
        pa_stream_set_state_callback(stream, kSignal, mainloop);
        pa_stream_set_read_callback(
            stream,
            [](pa_stream*, std::size_t, void* self) { static_cast<Recorder*>(self)->Read(); },
            this);
        constexpr auto kDefault = static_cast<std::uint32_t>(-1);
        constexpr std::uint32_t kFragmentBytes = kProbeRate / 200 * kChannels * 2; // 5 ms
        const pa_buffer_attr attr{kDefault, kDefault, kDefault, kDefault, kFragmentBytes};
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(stream, "@DEFAULT_MONITOR@", &attr, flags) < 0)
            return "the server refused a recording";
        while (pa_stream_get_state(stream) != PA_STREAM_READY) {
            if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
                return "the server refused a recording";
            pa_threaded_mainloop_wait(mainloop);
        }
        return {};
    }

    void Read() {
        // A timing report every 50 ms: twenty marks a second for the fit,
        // without keeping the server (which must also feed the engine) busy.
        const std::int64_t nowNs = KeyPressTime::NowNs();
        if (nowNs - updateAskedNs >= 50'000'000 &&
            (update == nullptr || pa_operation_get_state(update) != PA_OPERATION_RUNNING)) {
            if (update != nullptr)
                pa_operation_unref(update);
            update = pa_stream_update_timing_info(stream, &Recorder::Mark, this);
            updateAskedNs = nowNs;
        }
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_peek(stream, &data, &bytes) >= 0 && bytes > 0) {
            const auto* samples = static_cast<const std::int16_t*>(data);
            if (!stopped && samples == nullptr) // a hole: silence
                out.samples.insert(out.samples.end(), bytes / 2, 0);
            else if (!stopped)
                out.samples.insert(out.samples.end(), samples, samples + bytes / 2);
            pa_stream_drop(stream);
        }
    }

    // A mark from each timing report, dated by the server's clock: the frame
    // at its write index was heard (played by the sink) the source's latency
    // before the report, less the sink's (a monitor sees what the sink
    // renders before it is heard). Not the client library's interpolated
    // latency, which wanders by milliseconds for seconds on a busy machine.
    static void Mark(pa_stream* stream, int success, void* self) {
        auto& r = *static_cast<Recorder*>(self);
        const pa_timing_info* info = pa_stream_get_timing_info(stream);
        if (r.stopped || success == 0 || info == nullptr || info->synchronized_clocks == 0 ||
            info->write_index_corrupt != 0)
            return;
        const double wallNs = std::chrono::duration<double, std::nano>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
        const double reportNs = double(info->timestamp.tv_sec) * 1e9 +
                                double(info->timestamp.tv_usec) * 1e3 - wallNs +
                                double(KeyPressTime::NowNs());
        const double delayNs = (double(info->source_usec) - double(info->sink_usec)) * 1000.0;
        r.out.marks.push_back(
            {double(info->write_index / (kChannels * 2)), reportNs - delayNs, delayNs});
    }

    MonitorRecording& out;
    pa_threaded_mainloop* mainloop = pa_threaded_mainloop_new();
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_operation* update = nullptr;
    std::int64_t updateAskedNs = 0;
    bool stopped = false;
};

} // namespace

MonitorRecording RecordMonitor(double seconds, const std::function<std::string()>& play) {
    MonitorRecording out;
    out.samples.reserve(static_cast<std::size_t>((seconds + 5.0) * kProbeRate * kChannels));
    out.marks.reserve(static_cast<std::size_t>((seconds + 5.0) * 200));
    Recorder recorder(out);
    recorder.context = pa_context_new(pa_threaded_mainloop_get_api(recorder.mainloop), "Probe");
    pa_context_set_state_callback(recorder.context, kSignal, recorder.mainloop);
    if (pa_context_connect(recorder.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(recorder.mainloop) < 0) {
        out.error = "no sound server to record from";
        return out;
    }
    pa_threaded_mainloop_lock(recorder.mainloop);
    out.error = recorder.Connect();
    pa_threaded_mainloop_unlock(recorder.mainloop);
    if (out.error.empty())
        out.error = play();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    pa_threaded_mainloop_lock(recorder.mainloop);
    recorder.stopped = true;
    pa_threaded_mainloop_unlock(recorder.mainloop);
    return out;
}

ServerTimingFigures MeasureServerTiming(double seconds, double bpm) {
    ServerTimingFigures f;
    const double interval = 60.0 / bpm;
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    OutputLog log;
    log.output.reserve(static_cast<std::size_t>((seconds + 10.0) * kProbeRate * kChannels));
    log.buffers.reserve(static_cast<std::size_t>((seconds + 10.0) * 1000.0));
    // The engine's position (steady ns, song seconds) every millisecond
    // while it plays. A read the scheduler interrupted cannot say when it
    // was taken: kept only when it took less than 0.2 ms, dated at its
    // middle.
    std::vector<Point> positions;
    double playNs = 0.0;
    double stopNs = 0.0;
    const MonitorRecording recording = RecordMonitor(seconds, [&]() -> std::string {
        PlaybackEngine engine({"", &OutputLog::Observe, &log});
        log.engine = &engine;
        if ((f.driver = engine.OutputDriver()) != "pulseaudio")
            return "the engine did not reach the sound server (driver " + f.driver + ")";
        engine.OpenDecoded(MakeClickTrack(seconds, kFirstClickSeconds, interval, kProbeRate),
                           "clicks");
        playNs = double(KeyPressTime::NowNs());
        engine.Play();
        while (engine.State() == PlayState::kPlaying) {
            const std::int64_t beforeNs = KeyPressTime::NowNs();
            const double position = engine.PositionSeconds();
            const std::int64_t afterNs = KeyPressTime::NowNs();
            if (afterNs - beforeNs < 200'000)
                positions.emplace_back(double(beforeNs + afterNs) / 2.0, position);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stopNs = double(KeyPressTime::NowNs());
        f.underflows = engine.OutputUnderflows();
        return {};
    });
    if (f.error = recording.error; !f.error.empty())
        return f;

    // When the engine said each click was heard: where its position crossed
    // the click's song time.
    std::vector<double> engineHeardNs;
    for (double at = kFirstClickSeconds; at < seconds; at += interval, ++f.clicksPlayed) {
        const auto i = std::ranges::adjacent_find(
            positions, [at](Point p0, Point p1) { return p0.second < at && p1.second >= at; });
        if (i != positions.end()) {
            const auto [t0, p0] = *i;
            const auto [t1, p1] = *std::next(i);
            engineHeardNs.push_back(t0 + (t1 - t0) * (at - p0) / (p1 - p0));
        }
    }
    const auto recorded = FindOnsets(recording.samples, kOnsetThreshold, kQuietFrames);
    const auto rendered = FindOnsets(log.output, kOnsetThreshold, kQuietFrames);
    f.clicksRecorded = static_cast<int>(recorded.size());
    const auto clicks = static_cast<std::size_t>(f.clicksPlayed);
    if (clicks < 3 || recorded.size() != clicks || engineHeardNs.size() != clicks ||
        rendered.size() != clicks) {
        f.error = "clicks played, recorded, rendered, crossed: " + std::to_string(clicks) + " " +
                  std::to_string(recorded.size()) + " " + std::to_string(rendered.size()) + " " +
                  std::to_string(engineHeardNs.size());
        return f;
    }

    // The server's sample clock on ours, from the recording's timing
    // reports while the clicks played. A report can only come late (the
    // server dates it after taking its index), so the line goes through
    // the earliest report of each second, not through all of them.
    std::vector<Point> marks;
    std::vector<double> delaysMs;
    for (const MonitorRecording::Mark& m : recording.marks) {
        if (m.capturedNs > playNs + kFirstClickSeconds * 1e9 && m.capturedNs < stopNs) {
            marks.emplace_back(m.frame, m.capturedNs);
            delaysMs.push_back(m.delayNs * 1e-6);
        }
    }
    if (marks.size() < 100) {
        f.error = "too few timing reports of the recording while the song played";
        return f;
    }
    std::ranges::nth_element(delaysMs, delaysMs.begin() + std::ssize(delaysMs) / 2);
    f.captureDelayMs = delaysMs[delaysMs.size() / 2];
    const Line rough = Fit(marks);
    std::map<double, Point> earliest; // by second of the recording
    for (const auto& [frame, ns] : marks) {
        const auto [kept, first] = earliest.try_emplace(std::floor(frame / kProbeRate), frame, ns);
        if (!first && ns - rough(frame) < kept->second.second - rough(kept->second.first))
            kept->second = {frame, ns};
    }
    const auto earliestMarks = std::views::values(earliest);
    const Line capture =
        Fit({earliestMarks.begin(), earliestMarks.end()}); // ns of a recorded frame
    f.serverClockPpm = (capture.b * kProbeRate / 1e9 - 1.0) * 1e6;
    // The engine renders as the server asks for audio, so the times of its
    // requests give the same clock with our scheduling's noise.
    std::vector<Point> requests;
    for (const OutputLog::Buffer& b : log.buffers) {
        if (b.callbackNs > playNs && b.callbackNs < stopNs)
            requests.emplace_back(b.frame, b.callbackNs);
    }
    f.requestsAgainstRecordingMsPerMinute = (Fit(requests).b / capture.b - 1.0) * 60e3;

    // Drift: every position read while the clicks played against the song
    // frame the server was playing then (song frame F is recording frame F
    // plus the first click's offset, as long as the server never ran out).
    const double recordingLead = double(recorded.front()) - kFirstClickSeconds * kProbeRate;
    std::vector<Point> driftMs; // against minutes
    for (const auto& [t, p] : positions) {
        if (p > kFirstClickSeconds && p < seconds - interval)
            driftMs.emplace_back(t / 60e9,
                                 (p * kProbeRate - (t - capture.a) / capture.b + recordingLead) *
                                     capture.b * 1e-6);
    }
    f.driftMsPerMinute = Fit(driftMs).b;

    std::vector<Point> errorsMs; // against minutes
    const double n = double(clicks);
    for (std::size_t i = 0; i < clicks; ++i) {
        const double spacingMs =
            i == 0 ? 0.0 : (double(recorded[i] - recorded[i - 1]) / kProbeRate - interval) * 1000.0;
        f.jitterMaxMs = std::max(f.jitterMaxMs, std::abs(spacingMs));
        f.jitterRmsMs += spacingMs * spacingMs / (n - 1);
        const double heardNs = capture(double(recorded[i]));
        errorsMs.emplace_back(heardNs / 60e9, (heardNs - engineHeardNs[i]) * 1e-6);
        f.positionErrorMaxMs = std::max(f.positionErrorMaxMs, std::abs(errorsMs.back().second));
        f.positionErrorMeanMs += errorsMs.back().second / n;
        const auto buffer = std::prev(std::ranges::upper_bound(log.buffers, double(rendered[i]), {},
                                                               &OutputLog::Buffer::frame));
        const double renderedNs =
            buffer->callbackNs + (double(rendered[i]) - buffer->frame) * 1e9 / kProbeRate;
        f.measuredLatencyMs += (heardNs - renderedNs) * 1e-6 / n;
        f.reportedLatencyMs += buffer->latencyNs * 1e-6 / n;
    }
    f.jitterRmsMs = std::sqrt(f.jitterRmsMs);
    f.clickDriftMsPerMinute = Fit(errorsMs).b;
    return f;
}

} // namespace player::test
