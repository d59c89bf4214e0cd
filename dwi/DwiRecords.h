#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Splitting a .dwi file into its records in one pass. A record is
// "#KEY:field:field...;". Tolerated as the widely used game readers do:
// keys in any case, "//" comments to the end of the line (kept in the
// record's text, left out of its fields), and a record whose ";" is missing
// ends where a line's first non-blank byte is "#" (or at the end of the
// file). A "#" outside a record starts one wherever it stands.
namespace dwi {

struct RecordSpan {
    std::size_t begin = 0; // the "#"
    std::size_t end = 0;   // past the ";", or past the last value byte
    bool terminated = true;
    std::string key;                 // trimmed, upper case
    std::vector<std::string> fields; // after the key, split at ":"
};

struct SplitFile {
    std::vector<RecordSpan> records;
};

// Linear in the size of the file, whatever its content.
SplitFile SplitRecords(std::string_view bytes);

} // namespace dwi
