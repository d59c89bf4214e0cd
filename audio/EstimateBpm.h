#pragma once

#include "audio/AudioError.h"

#include <functional>
#include <string>

namespace audio {

// Called on the thread that runs EstimateBpm with the share of the file
// decoded so far, 0..100, whenever it changes; 0 comes first.
using ProgressCallback = std::function<void(int percent)>;

enum class DecodeOverlap {
    kOverlapped, // decode on a second thread while the detector runs
    kSequential, // decode and detect in turn on the calling thread
};

// Decodes the song at `path` chunk by chunk into SoundTouch's beat detector
// and returns the tempo to store as the song's BPM: a detected tempo below
// 100 is doubled, and 0 means no beat was found. On failure the caller keeps
// its BPM and shows error().message. The run needs no window; memory stays
// flat (an MP3 file image and a few chunk buffers, never the decoded song).
// Both overlap modes feed the detector the same chunks in the same order and
// give the same result.
Result<float> EstimateBpm(const std::string& path, const ProgressCallback& progress = {},
                          DecodeOverlap overlap = DecodeOverlap::kOverlapped);

} // namespace audio
