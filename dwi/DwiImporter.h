#pragma once

#include "chart/StepChart.h"
#include "chart/UserPrompt.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Importing one chart and the song data from a .dwi file. The scanner is
// deliberately tolerant rather than a full parser: it reads the records this
// program writes and skips what it does not understand.
namespace dwi {

inline constexpr std::string_view kSelectStepsCaption = "Select Steps";
inline constexpr std::string_view kFreezeArrowMessage =
    "Found freeze arrow or steps smaller than half-beats.\r\nNeither of these features are "
    "supported (yet).\r\nThese imported steps will probably be screwy.";

// Larger files are refused rather than read into memory; real .dwi files are
// a few kilobytes.
inline constexpr std::uintmax_t kMaxDwiFileBytes = 64u * 1024u * 1024u;

// What a scan found. A field is set when the file had a usable record for it
// (the last one wins); the window keeps its own value for the others.
struct DwiImport {
    std::optional<std::string> title;  // UTF-8
    std::optional<std::string> artist; // UTF-8
    std::optional<float> bpm;
    std::optional<float> gapSeconds;
    // Set by every #SINGLE record examined before a chart was accepted, also
    // when the user declines it.
    std::optional<std::string> difficulty;
    std::optional<std::uint32_t> footRating;
    // The accepted chart, filtered to the 11 step codes.
    std::optional<chart::StepChart> steps;
    // A #BPM or #GAP value that overflows a float (or reads as infinity)
    // was met; that record was ignored, so the field keeps its value.
    bool unusableBpm = false;
    bool unusableGap = false;
};

// The question asked for each #SINGLE chart offered.
std::string SelectStepsQuestion(std::string_view difficulty, std::uint32_t footRating);

// Scans a whole file image. Asks about each #SINGLE chart until one is
// accepted, and shows the freeze-arrow message at most once. Time is linear
// in the image's size: every search resumes where the previous one ended.
DwiImport ScanDwi(std::string_view fileBytes, const chart::AskYesNo& ask,
                  const chart::ShowMessage& show);

// True when the text after the file name's last "." is "dwi" in any case.
bool HasDwiExtension(std::string_view path);

struct DwiFileBytes {
    std::string bytes;
    std::string error; // empty on success; otherwise a message naming the file
};

// Reads a whole .dwi file, refusing ones over kMaxDwiFileBytes.
DwiFileBytes ReadDwiFile(const std::string& path);

} // namespace dwi
