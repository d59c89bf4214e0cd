#include "audio/EstimateBpm.h"

#include "audio/AudioSource.h"
#include "audio/TempoDetector.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace audio {

namespace {

class ProgressReporter {
public:
    explicit ProgressReporter(const ProgressCallback& callback) : m_callback(callback) {}

    void Report(int percent) {
        if (m_callback && percent != m_lastPercent) {
            m_lastPercent = percent;
            m_callback(percent);
        }
    }

private:
    const ProgressCallback& m_callback;
    int m_lastPercent = -1;
};

std::size_t FrameBytes(const CAudioSource& source) {
    return static_cast<std::size_t>(source.BitsPerSample() / 8 * source.Channels());
}

std::optional<float> DetectSequentially(CAudioSource& source, TempoDetector& detector,
                                        ProgressReporter& progress) {
    const std::size_t frameBytes = FrameBytes(source);
    while (source.DecodeNextChunk() > 0) {
        const auto chunkBytes = static_cast<std::size_t>(source.GetChunkBytes());
        detector.InputS16(source.GetChunkBuffer(), chunkBytes / frameBytes);
        progress.Report(source.ProgressPercent());
    }
    return detector.GetBpm();
}

// Decodes and converts chunks on its own thread into a ring of blocks that
// the detecting thread drains in order. The ring is bounded: the decoder
// waits while every block is full, so memory stays at a few blocks.
class ChunkPipeline {
public:
    struct Chunk {
        std::size_t frames;
        int percent;
    };
    struct Block {
        std::vector<float> samples;
        std::vector<Chunk> chunks;
        bool last = false;
    };

    ChunkPipeline(CAudioSource& source, int channels) : m_source(source), m_channels(channels) {
        for (Block& block : m_blocks) {
            block.samples.resize(kTargetSamples + kMaxChunkSamples);
            block.chunks.reserve(256);
        }
        m_decoder = std::thread([this] { Decode(); });
    }

    ~ChunkPipeline() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_freed.notify_one();
        m_decoder.join();
    }

    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // The next block in decoding order; valid until Release().
    const Block& Next() {
        std::unique_lock lock(m_mutex);
        m_filled.wait(lock, [this] { return m_filledCount > 0; });
        return m_blocks[m_readIndex];
    }

    void Release() {
        {
            std::lock_guard lock(m_mutex);
            m_readIndex = (m_readIndex + 1) % kBlocks;
            --m_filledCount;
        }
        m_freed.notify_one();
    }

    static constexpr std::size_t kBlocks = 4;
    // A block is handed on once it holds this many floats (0.37 s of
    // 44.1 kHz stereo); it has room for one more largest chunk. Four blocks
    // are 1.3 MB, and a block per 14 MP3 frames keeps the locking rare.
    static constexpr std::size_t kTargetSamples = 1U << 15;
    static constexpr std::size_t kMaxChunkSamples = CAudioSource::kChunkBufferBytes / 2;

    // True when decoding stopped on an error (out of memory) rather than at
    // the end of the song. Valid once the last block has been seen.
    bool Failed() {
        std::lock_guard lock(m_mutex);
        return m_failed;
    }

private:
    // No exception may leave the thread: a failure ends the song early and
    // is reported through Failed().
    void Decode() {
        std::size_t writeIndex = 0;
        try {
            DecodeBlocks(writeIndex);
        } catch (const std::exception&) {
            Block& block = m_blocks[writeIndex];
            block.chunks.clear();
            block.last = true;
            {
                std::lock_guard lock(m_mutex);
                m_failed = true;
                ++m_filledCount;
            }
            m_filled.notify_one();
        }
    }

    // The block at writeIndex is the decoder's while it runs.
    void DecodeBlocks(std::size_t& writeIndex) {
        const std::size_t frameBytes = FrameBytes(m_source);
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_freed.wait(lock, [this] { return m_stop || m_filledCount < kBlocks; });
                if (m_stop) {
                    return;
                }
            }
            Block& block = m_blocks[writeIndex];
            block.chunks.clear();
            block.last = false;
            std::size_t used = 0;
            while (used < kTargetSamples) {
                if (m_source.DecodeNextChunk() <= 0) {
                    block.last = true;
                    break;
                }
                const std::size_t frames =
                    static_cast<std::size_t>(m_source.GetChunkBytes()) / frameBytes;
                used += ConvertForDetector(m_source.GetChunkBuffer(), frames, m_channels,
                                           block.samples.data() + used);
                block.chunks.push_back(Chunk{frames, m_source.ProgressPercent()});
            }
            {
                std::lock_guard lock(m_mutex);
                ++m_filledCount;
            }
            m_filled.notify_one();
            if (block.last) {
                return;
            }
            writeIndex = (writeIndex + 1) % kBlocks;
        }
    }

    CAudioSource& m_source;
    const int m_channels;
    std::array<Block, kBlocks> m_blocks;
    std::mutex m_mutex;
    std::condition_variable m_filled;
    std::condition_variable m_freed;
    std::size_t m_filledCount = 0;
    std::size_t m_readIndex = 0;
    bool m_stop = false;
    bool m_failed = false;
    std::thread m_decoder;
};

// Nullopt when decoding failed part-way.
std::optional<float> DetectOverlapped(CAudioSource& source, TempoDetector& detector,
                                      ProgressReporter& progress) {
    // Converted samples: mixed down to at most two channels.
    const auto convertedChannels = static_cast<std::size_t>(DetectorChannels(source.Channels()));
    ChunkPipeline pipeline(source, source.Channels());
    for (;;) {
        const ChunkPipeline::Block& block = pipeline.Next();
        const float* samples = block.samples.data();
        for (const ChunkPipeline::Chunk& chunk : block.chunks) {
            detector.InputConverted(samples, chunk.frames);
            samples += chunk.frames * convertedChannels;
            progress.Report(chunk.percent);
        }
        const bool last = block.last;
        pipeline.Release();
        if (last) {
            break;
        }
    }
    if (pipeline.Failed()) {
        return std::nullopt;
    }
    return detector.GetBpm();
}

} // namespace

Result<float> EstimateBpm(const std::string& path, const ProgressCallback& progress,
                          DecodeOverlap overlap) {
    // Allocation failures and library errors become the error value: this
    // runs on worker threads that nothing above would catch them on.
    const AudioError tooLarge{AudioErrorKind::kUnsupported, TooLargeMessage(path)};
    try {
        ProgressReporter reporter(progress);
        reporter.Report(0);
        CAudioSource source;
        Result<void> opened = source.Open(path);
        if (!opened) {
            return opened.error();
        }
        const std::unique_ptr<TempoDetector> detector =
            TempoDetector::Create(source.Channels(), source.SampleRate());
        if (!detector) {
            return AudioError{AudioErrorKind::kUnsupported,
                              UnsupportedSampleFormatMessage(path, source.BitsPerSample(),
                                                             source.Channels(),
                                                             long{source.SampleRate()})};
        }
        const std::optional<float> detected = overlap == DecodeOverlap::kOverlapped
                                                  ? DetectOverlapped(source, *detector, reporter)
                                                  : DetectSequentially(source, *detector, reporter);
        if (!detected) {
            return tooLarge;
        }
        return DoubleSlowTempo(*detected);
    } catch (const std::exception&) {
        return tooLarge;
    }
}

} // namespace audio
