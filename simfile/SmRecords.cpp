#include "simfile/SmRecords.h"

namespace sm {

namespace {

bool CommentAt(std::string_view bytes, std::size_t i) {
    return bytes[i] == '/' && i + 1 < bytes.size() && bytes[i + 1] == '/';
}

std::size_t EndOfLine(std::string_view bytes, std::size_t i) {
    const std::size_t newline = bytes.find('\n', i);
    return newline == std::string_view::npos ? bytes.size() : newline;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Whether a "#" here would end the value: nothing but spaces and tabs in
// the value's current field since its start or the last line break.
void Track(bool& lineClean, char c) {
    if (c == '\r' || c == '\n') {
        lineClean = true;
    } else if (c != ' ' && c != '\t') {
        lineClean = false;
    }
}

// Calls value(index, byte, separator) for each value byte of the record.
template <typename Value>
void ForEachValueByte(std::string_view bytes, const RecordSpan& span, Value value) {
    const std::size_t valueEnd = span.terminated ? span.end - 1 : span.end;
    std::size_t index = 0;
    std::size_t i = span.begin + 1;
    while (i < valueEnd) {
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
            continue;
        }
        char c = bytes[i];
        if (c == ':') {
            ++index;
            if (!value(index, '\0', true)) {
                return;
            }
            ++i;
            continue;
        }
        if (c == '\\') {
            if (++i >= valueEnd) {
                return;
            }
            c = bytes[i];
        }
        if (!value(index, c, false)) {
            return;
        }
        ++i;
    }
}

} // namespace

RecordSpan ScanSmRecord(std::string_view bytes, std::size_t begin, std::size_t& resume) {
    RecordSpan span;
    span.begin = begin;
    std::size_t lastValueEnd = begin + 1;
    bool lineClean = true;
    std::size_t i = begin + 1;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
            continue;
        }
        if (c == ';') {
            span.end = i + 1;
            resume = i + 1;
            return span;
        }
        if (c == '#' && lineClean) {
            break;
        }
        if (c == ':') {
            lineClean = true;
            lastValueEnd = i + 1;
        } else if (c == '\\') {
            i += 1;
            if (i < bytes.size()) {
                Track(lineClean, bytes[i]);
            }
            // An escaped blank ends no value: the text stops after the "\",
            // so what is written after it cannot change the record.
            lastValueEnd = i < bytes.size() && !IsBlank(bytes[i]) ? i + 1 : i;
        } else {
            Track(lineClean, c);
            if (!IsBlank(c)) {
                lastValueEnd = i + 1;
            }
        }
        ++i;
    }
    span.terminated = false;
    span.end = lastValueEnd;
    resume = std::min(i, bytes.size());
    return span;
}

std::size_t NextSmRecordStart(std::string_view bytes, std::size_t i) {
    while (i < bytes.size()) {
        if (bytes[i] == '#') {
            return i;
        }
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
        } else {
            i += bytes[i] == '\\' ? std::size_t{2} : std::size_t{1};
        }
    }
    return bytes.size();
}

std::string SmRecordKey(std::string_view bytes, const RecordSpan& span) {
    return dwi::KeyOfWalk([&](auto visit) { ForEachValueByte(bytes, span, visit); });
}

std::vector<std::string> SmRecordFields(std::string_view bytes, const RecordSpan& span) {
    return dwi::FieldsOfWalk([&](auto visit) { ForEachValueByte(bytes, span, visit); });
}

std::string EscapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' || c == ':' || c == ';' || c == '#' ||
            (c == '/' && i + 1 < value.size() && value[i + 1] == '/')) {
            out += '\\';
        }
        out += c;
    }
    return out;
}

} // namespace sm
