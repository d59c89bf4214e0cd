#include "dwi/DwiRecords.h"

namespace dwi {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool IsSpace(char c) {
    return IsBlank(c) || c == '\n';
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool CommentAt(std::string_view bytes, std::size_t i) {
    return bytes[i] == '/' && i + 1 < bytes.size() && bytes[i + 1] == '/';
}

std::size_t EndOfLine(std::string_view bytes, std::size_t i) {
    const std::size_t newline = bytes.find('\n', i);
    return newline == std::string_view::npos ? bytes.size() : newline;
}

} // namespace

RecordSpan ScanRecord(std::string_view bytes, std::size_t begin, std::size_t& resume) {
    RecordSpan span;
    span.begin = begin;
    std::size_t lastValueEnd = begin + 1;
    bool atLineStart = false;
    std::size_t i = begin + 1;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == ';') {
            span.end = i + 1;
            resume = i + 1;
            return span;
        }
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
            continue;
        }
        if (c == '\n') {
            atLineStart = true;
        } else if (!IsBlank(c)) {
            if (c == '#' && atLineStart) {
                break;
            }
            atLineStart = false;
            lastValueEnd = i + 1;
        }
        ++i;
    }
    span.terminated = false;
    span.end = lastValueEnd;
    resume = i;
    return span;
}

std::size_t NextRecordStart(std::string_view bytes, std::size_t i) {
    while (i < bytes.size()) {
        if (bytes[i] == '#') {
            return i;
        }
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
        } else {
            ++i;
        }
    }
    return bytes.size();
}

namespace {

// Calls field(i, byte) for each value byte with its field's index, comments
// left out; stops early when field returns false.
template <typename Field>
void ForEachValueByte(std::string_view bytes, const RecordSpan& span, Field field) {
    const std::size_t valueEnd = span.terminated ? span.end - 1 : span.end;
    std::size_t index = 0;
    std::size_t i = span.begin + 1;
    while (i < valueEnd) {
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
            continue;
        }
        if (bytes[i] == ':') {
            ++index;
            if (!field(index, '\0', true)) {
                return;
            }
        } else if (!field(index, bytes[i], false)) {
            return;
        }
        ++i;
    }
}

} // namespace

std::string NormalizedKey(std::string raw) {
    for (char& c : raw) {
        c = Upper(c);
    }
    std::size_t first = 0;
    while (first < raw.size() && IsSpace(raw[first])) {
        ++first;
    }
    std::size_t last = raw.size();
    while (last > first && IsSpace(raw[last - 1])) {
        --last;
    }
    return raw.substr(first, last - first);
}

std::string RecordKey(std::string_view bytes, const RecordSpan& span) {
    return KeyOfWalk([&](auto visit) { ForEachValueByte(bytes, span, visit); });
}

std::vector<std::string> RecordFields(std::string_view bytes, const RecordSpan& span) {
    return FieldsOfWalk([&](auto visit) { ForEachValueByte(bytes, span, visit); });
}

std::vector<Record> SplitRecords(std::string_view bytes) {
    std::vector<Record> records;
    ForEachRecord(bytes, [&](const RecordSpan& span) {
        records.push_back({span, RecordKey(bytes, span), RecordFields(bytes, span)});
    });
    return records;
}

} // namespace dwi
