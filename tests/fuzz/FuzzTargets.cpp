#include "FuzzTargets.h"

#include "audio/AudioSource.h"
#include "audio/DecodeWholeFile.h"
#include "audio/EstimateBpm.h"
#include "audio/FormatLimits.h"
#include "audio/MpegDecoder.h"
#include "audio/MpegHeader.h"
#include "audio/WavReader.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiNumbers.h"
#include "dwi/DwiSong.h"
#include "simfile/SmSong.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fuzz {

namespace {

// Every result a reader hands out is checked against the promises the
// callers rely on; a broken promise aborts, which the fuzzer reports.
void Require(bool promise) {
    if (!promise)
        std::abort();
}

void DrainSource(const std::string& path) {
    audio::CAudioSource source;
    if (!source.Open(path))
        return;
    const int frameBytes = source.BitsPerSample() / 8 * source.Channels();
    Require(frameBytes > 0);
    for (int last = 0; source.DecodeNextChunk() > 0; last = source.ProgressPercent())
        Require(source.GetChunkBytes() % frameBytes == 0 && source.ProgressPercent() >= last &&
                source.ProgressPercent() <= 100);
}

// The scratch files go when the process ends normally (libFuzzer's -runs
// and -max_total_time end that way); scripts/fuzz-long.sh removes those of
// processes that are gone by their name.
struct ScratchFiles {
    std::string base;
    ~ScratchFiles() {
        for (const char* extension : {".wav", ".mp3", ".ogg", ".flac"})
            std::remove((base + extension).c_str());
    }
};

} // namespace

std::string ScratchFile(const std::uint8_t* data, std::size_t size, const char* extension) {
    static const ScratchFiles scratch{[] {
        std::error_code ec;
        const std::filesystem::path shm("/dev/shm");
        const auto folder =
            std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
        return (folder / ("beatwright-fuzz-" + std::to_string(::getpid()))).string();
    }()};
    const std::string path = scratch.base + extension;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    Require(file.write(reinterpret_cast<const char*>(data), std::streamsize(size)).good());
    return path;
}

// A memory stream holds what it holds: the data length is never more, and
// the reader hands out exactly that many bytes.
void FuzzWav(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> copy(data, data + size);
    copy.push_back(0); // fmemopen wants a buffer of at least one byte
    audio::UniqueFile stream(fmemopen(copy.data(), size > 0 ? size : 1, "rb"));
    Require(stream != nullptr);
    auto reader = audio::CWavReader::FromStream(std::move(stream), "fuzz.wav");
    if (reader) {
        Require(reader.value().GetDataSizeInBytes() <= size);
        std::array<std::uint8_t, 4096> buffer{};
        std::size_t total = 0;
        while (const std::size_t got = reader.value().ReadBytes(buffer.data(), buffer.size()))
            total += got;
        Require(total == reader.value().GetDataSizeInBytes());
    }
    const std::string path = ScratchFile(data, size, ".wav");
    DrainSource(path);
    const auto estimate = audio::EstimateBpm(path, {}, audio::DecodeOverlap::kSequential);
    Require(estimate || !estimate.error().message.empty());
}

// The decoder takes exactly the frame its header describes.
void FuzzMpeg(const std::uint8_t* data, std::size_t size) {
    (void)audio::Id3v2TagBytes(data, size);
    (void)audio::FindMp3InfoTag(data, size);
    audio::MpegDecoder decoder;
    std::vector<std::uint8_t> pcm(audio::CAudioSource::kChunkBufferBytes);
    std::size_t position = 0;
    int frames = 0;
    while (position < size && frames < 64) {
        const audio::HeaderSearch search = audio::FindFrameHeader(data + position, size - position);
        if (!search.headerStartFound)
            break;
        Require(search.skippedBytes < size - position);
        position += search.skippedBytes;
        if (search.frameBytes > 0 && decoder.Prepare(search.info)) {
            // Decode on from here until a frame fails, as the source does.
            for (;;) {
                const audio::FrameDecode decoded =
                    decoder.DecodeFrame(data + position, size - position, pcm.data(), pcm.size());
                if (decoded.consumedBytes == 0)
                    break;
                const auto frame = audio::DescribeFrame(audio::SplitFrameHeader(data + position));
                Require(frame &&
                        decoded.consumedBytes == static_cast<std::size_t>(frame->frameBytes));
                Require(decoded.consumedBytes <= size - position && decoded.pcmBytes <= pcm.size());
                position += decoded.consumedBytes;
                ++frames;
            }
        }
        ++position;
    }
    DrainSource(ScratchFile(data, size, ".mp3"));
}

void FuzzOgg(const std::uint8_t* data, std::size_t size) {
    DrainSource(ScratchFile(data, size, ".ogg"));
}

namespace {

void RequireWholeSongOrReason(const std::string& path) {
    const auto decoded = audio::DecodeWholeFile(path);
    if (!decoded) {
        Require(!decoded.error().message.empty());
        return;
    }
    const audio::DecodedSong& song = decoded.value();
    Require(audio::IsSupportedFormat(song.sampleRate, song.channels) && !song.samples.empty() &&
            song.samples.size() % static_cast<std::size_t>(song.channels) == 0);
}

} // namespace

void FuzzFlacOpus(const std::uint8_t* data, std::size_t size) {
    const std::string path = ScratchFile(data, size, ".flac");
    DrainSource(path);
    RequireWholeSongOrReason(path);
}

void FuzzDecode(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    static constexpr const char* kExtensions[] = {".mp3", ".wav", ".ogg"};
    RequireWholeSongOrReason(ScratchFile(data + 1, size - 1, kExtensions[data[0] % 3]));
}

void FuzzDwi(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t questions = 0;
    const dwi::DwiImport found = dwi::ScanDwi(
        bytes,
        [&](std::string_view text, std::string_view) {
            Require(!text.empty());
            // The data decides: a question is answered by one of its bits.
            const std::size_t bit = questions++;
            return size > 0 && ((data[bit / 8 % size] >> (bit % 8)) & 1) != 0;
        },
        [](std::string_view text) { Require(!text.empty()); });
    Require(!found.bpm || std::isfinite(*found.bpm));
    Require(!found.gapSeconds || std::isfinite(*found.gapSeconds));
    Require(found.steps.value_or("").find_first_not_of("012346789AB") == std::string::npos);
    (void)dwi::ParseDouble(bytes.substr(0, 400));
    (void)dwi::ParseUnsigned(bytes.substr(0, 400));
}

void FuzzSong(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    chart::Song song = dwi::ReadSong(bytes);
    Require(dwi::WriteSong(song) == bytes);
    // One edit of each kind the writer treats apart.
    song.title += "x";
    song.changes.push_back({1.5, 150.0});
    if (!song.charts.empty()) {
        chart::SongChart& first = song.charts.front();
        first.notes.Set({48, 0, 24});
        first.lengthRows = std::max(first.lengthRows, first.notes.EndRow());
    }
    Require(chart::SameContent(song, dwi::ReadSong(dwi::WriteSong(song))));
}

void FuzzSimfile(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    for (const chart::SongFormat flavor : {chart::SongFormat::Sm, chart::SongFormat::Ssc}) {
        chart::Song song = sm::ReadSong(bytes, flavor);
        Require(sm::WriteSong(song) == bytes);
        // One edit of each kind the writer treats apart.
        song.title += "x";
        song.changes.push_back({1.5, 150.0});
        for (auto* charts : {&song.charts, &song.otherCharts}) {
            if (!charts->empty() && charts->front().notes.Columns() > 0) {
                chart::SongChart& first = charts->front();
                first.notes.Set({48, 0, 24, chart::NoteKind::Roll, 2});
                // The format holds whole measures only.
                first.lengthRows = std::max(first.lengthRows, chart::kRowsPerMeasure);
            }
        }
        chart::Song back = sm::ReadSong(sm::WriteSong(song), flavor);
        // A .sm holds warps only as negative values of its own records; once
        // its timing is written anew they are gone (a save says so first).
        if (flavor == chart::SongFormat::Sm) {
            back.warps = song.warps;
        }
        Require(chart::SameContent(song, back));
    }
}

} // namespace fuzz
