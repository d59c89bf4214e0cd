#pragma once

#include "audio/AudioError.h"
#include "audio/PcmDecoder.h"
#include "audio/UniqueFile.h"

#include <memory>
#include <string>

namespace audio {

// Ogg Opus through opusfile: always 48 kHz, the pre-skip dropped and the
// header's output gain applied, as Opus players do. Takes the file whatever
// the outcome. Fails unless the first page holds an Opus head
// (kNotThisFormat) and opusfile accepts the headers (kDamaged); more than
// eight channels is kUnsupported. `name` is the path shown in messages.
Result<std::unique_ptr<PcmDecoder>> OpenOpus(UniqueFile file, const std::string& name);

} // namespace audio
