#pragma once

#include "dwi/DwiRecords.h"

#include <string>
#include <string_view>
#include <vector>

// Splitting .sm and .ssc text into records the way the games' reader does:
// "#KEY:value:value;", "//" comments to the end of the line (kept in the
// record's text, left out of its values), "\" making the next byte plain
// (".sm" and ".ssc" titles escape ":" and ";" so), and a record whose ";"
// is missing ending at a "#" with nothing but blanks before it in its value
// since the last line break or ":". Outside records only "#" counts.
namespace sm {

using dwi::RecordSpan;

RecordSpan ScanSmRecord(std::string_view bytes, std::size_t begin, std::size_t& resume);
std::size_t NextSmRecordStart(std::string_view bytes, std::size_t i);

// Calls visit(span) for every record in file order; linear in the bytes.
template <typename Visit> void ForEachSmRecord(std::string_view bytes, Visit&& visit) {
    std::size_t i = NextSmRecordStart(bytes, 0);
    while (i < bytes.size()) {
        std::size_t resume = i;
        const RecordSpan span = ScanSmRecord(bytes, i, resume);
        visit(span);
        i = NextSmRecordStart(bytes, resume);
    }
}

// The key: the first value, trimmed, upper case.
std::string SmRecordKey(std::string_view bytes, const RecordSpan& span);
// The values after the key, comments left out and escapes undone.
std::vector<std::string> SmRecordFields(std::string_view bytes, const RecordSpan& span);

// A value as the writer puts it: "\" before "\", ":", ";", "#" and the
// first "/" of "//".
std::string EscapeValue(std::string_view value);

} // namespace sm
