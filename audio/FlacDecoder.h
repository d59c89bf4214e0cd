#pragma once

#include "audio/AudioError.h"
#include "audio/PcmDecoder.h"
#include "audio/UniqueFile.h"

#include <memory>
#include <string>

namespace audio {

// Native FLAC or Ogg FLAC (told apart by the first bytes) through libFLAC,
// 4 to 32 bits per sample, narrowed or widened to 16. Takes the file
// whatever the outcome. Fails unless the first bytes are FLAC's
// (kNotThisFormat) and the STREAMINFO block reads whole (kDamaged); a
// format outside FormatLimits.h is kUnsupported. `name` is the path shown
// in messages.
Result<std::unique_ptr<PcmDecoder>> OpenFlac(UniqueFile file, const std::string& name);

} // namespace audio
