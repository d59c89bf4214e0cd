#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace audio {

struct EstimateFilesOptions {
    unsigned workers = 1;      // files estimated at once
    bool showProgress = false; // redraw a percentage on `err` (meant for a terminal)
};

// Estimates the tempo of each file and writes one line per file to `out`,
// "BPM<TAB>PATH" with the BPM as %.2f, in argument order. A file that fails
// puts its error message on `err` in its place and the others still run.
// A single file decodes on a second thread while its detector runs; several
// files are spread over the workers instead. True when every file succeeded.
bool EstimateFiles(const std::vector<std::string>& paths, std::FILE* out, std::FILE* err,
                   const EstimateFilesOptions& options);

} // namespace audio
