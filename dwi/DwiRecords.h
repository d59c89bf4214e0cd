#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
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
};

// Finds where the record whose "#" is at begin ends; resume is where the
// search for the next record goes on. Every byte is looked at once.
RecordSpan ScanRecord(std::string_view bytes, std::size_t begin, std::size_t& resume);

// Where the next record starts at or after i, or bytes.size().
std::size_t NextRecordStart(std::string_view bytes, std::size_t i);

// Calls visit(span) for every record in file order. Linear in the size of
// the file whatever its content, and keeps nothing itself, so a file of
// millions of empty records costs no memory here.
template <typename Visit> void ForEachRecord(std::string_view bytes, Visit&& visit) {
    std::size_t i = NextRecordStart(bytes, 0);
    while (i < bytes.size()) {
        std::size_t resume = i;
        const RecordSpan span = ScanRecord(bytes, i, resume);
        visit(span);
        i = NextRecordStart(bytes, resume);
    }
}

// The key's raw bytes trimmed and in upper case.
std::string NormalizedKey(std::string raw);

// The key and the fields from a walk over a record's value bytes:
// walk(visit) calls visit(fieldIndex, byte, isSeparator) for each byte,
// stopping when visit returns false. The .dwi and .sm splitters share these
// and differ only in how they walk (comments, escapes).
template <typename Walk> std::string KeyOfWalk(Walk&& walk) {
    std::string key;
    walk([&key](std::size_t index, char c, bool separator) {
        if (index > 0 || separator) {
            return false;
        }
        key.push_back(c);
        return true;
    });
    return NormalizedKey(std::move(key));
}
template <typename Walk> std::vector<std::string> FieldsOfWalk(Walk&& walk) {
    std::vector<std::string> fields;
    walk([&fields](std::size_t index, char c, bool separator) {
        if (separator) {
            fields.emplace_back();
        } else if (index > 0) {
            fields.back().push_back(c);
        }
        return true;
    });
    return fields;
}

// The key: the text before the first ":", trimmed, upper case.
std::string RecordKey(std::string_view bytes, const RecordSpan& span);
// The fields after the key, split at ":", comments left out.
std::vector<std::string> RecordFields(std::string_view bytes, const RecordSpan& span);

struct Record {
    RecordSpan span;
    std::string key;
    std::vector<std::string> fields;
};
// Every record with its key and fields at once; for small texts.
std::vector<Record> SplitRecords(std::string_view bytes);

} // namespace dwi
