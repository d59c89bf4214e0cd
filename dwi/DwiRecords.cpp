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

// Finds where the record starting at begin ends. Every byte is looked at
// once.
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

void CutFields(std::string_view bytes, RecordSpan& span) {
    const std::size_t valueEnd = span.terminated ? span.end - 1 : span.end;
    std::vector<std::string> parts(1);
    std::size_t i = span.begin + 1;
    while (i < valueEnd) {
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
            continue;
        }
        if (bytes[i] == ':') {
            parts.emplace_back();
        } else {
            parts.back().push_back(bytes[i]);
        }
        ++i;
    }
    std::string_view key = parts.front();
    while (!key.empty() && IsSpace(key.front())) {
        key.remove_prefix(1);
    }
    while (!key.empty() && IsSpace(key.back())) {
        key.remove_suffix(1);
    }
    span.key.reserve(key.size());
    for (char c : key) {
        span.key.push_back(Upper(c));
    }
    span.fields.assign(std::make_move_iterator(parts.begin() + 1),
                       std::make_move_iterator(parts.end()));
}

} // namespace

SplitFile SplitRecords(std::string_view bytes) {
    SplitFile file;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (CommentAt(bytes, i)) {
            i = EndOfLine(bytes, i);
            continue;
        }
        if (bytes[i] != '#') {
            ++i;
            continue;
        }
        std::size_t resume = i;
        RecordSpan span = ScanRecord(bytes, i, resume);
        CutFields(bytes, span);
        file.records.push_back(std::move(span));
        i = resume;
    }
    return file;
}

} // namespace dwi
