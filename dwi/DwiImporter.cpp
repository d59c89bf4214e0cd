#include "dwi/DwiImporter.h"

#include "dwi/DwiNumbers.h"
#include "dwi/DwiText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace dwi {

namespace {

constexpr std::size_t kNone = std::string::npos;
constexpr double kSecondsPerMillisecond = 0.001;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsFreezeOrSmallStepMark(char c) {
    return std::string_view("!'()<>[]`{}").find(c) != std::string_view::npos;
}

// The scan works on the file image the way the format has always been read:
// keys and values end where a ':' or ';' is found, and each such separator
// is consumed by the cut, so later searches never see it again.
class RecordScanner {
public:
    RecordScanner(std::string_view bytes, const chart::AskYesNo& ask,
                  const chart::ShowMessage& show)
        : m_buffer(bytes.substr(0, bytes.find('\0'))), m_ask(ask), m_show(show) {}

    DwiImport Run() {
        std::size_t record = FirstRecord();
        while (record != kNone && record < m_buffer.size()) {
            const std::size_t resume = ScanRecord(record);
            record = resume < m_buffer.size() ? NextRecord(resume) : kNone;
        }
        return std::move(m_result);
    }

private:
    // The last search for one separator: where it started and what it found.
    struct Memo {
        std::size_t from = kNone;
        std::size_t at = kNone;
    };

    // Scanning resumes past every separator it uses, so a search often asks
    // again for the same one. Cuts only ever remove separators, so an
    // earlier answer stays true for any later start up to it (and for every
    // later start when it found none): a file of records without ':' or ';'
    // is searched once, not once per record.
    std::size_t Find(std::size_t from, char c) {
        Memo& memo = c == ':' ? m_colon : m_semicolon;
        if (memo.from != kNone && from >= memo.from &&
            (memo.at == kNone || (memo.at >= from && m_buffer[memo.at] == c))) {
            return memo.at;
        }
        memo.from = from;
        memo.at = m_buffer.find(c, from);
        return memo.at;
    }

    std::size_t FirstRecord() const {
        if (!m_buffer.empty() && m_buffer.front() == '#') {
            return 0;
        }
        return NextRecord(0);
    }

    // A record starts at a line feed that is followed by "#".
    std::size_t NextRecord(std::size_t from) const { return m_buffer.find("\n#", from); }

    // Text from start up to a cut position, which is consumed.
    std::string_view Cut(std::size_t start, std::size_t end) {
        m_buffer[end] = '\0';
        return std::string_view(m_buffer).substr(start, end - start);
    }

    // Scans the record at p; returns where the search for the next one starts.
    std::size_t ScanRecord(std::size_t p) {
        const std::size_t colon = Find(p, ':');
        if (colon == kNone) {
            return p + 2;
        }
        std::size_t keyStart = p;
        if (m_buffer[keyStart] == '\n') {
            ++keyStart;
        }
        ++keyStart; // the '#'
        const std::string_view key = Cut(keyStart, colon);
        const std::size_t value = colon + 1;
        for (const ValueKey kind :
             {ValueKey::kTitle, ValueKey::kArtist, ValueKey::kBpm, ValueKey::kGap}) {
            if (EqualsIgnoringCase(key, KeyName(kind))) {
                return ScanValue(kind, value);
            }
        }
        if (EqualsIgnoringCase(key, "SINGLE")) {
            return m_accepted ? value : ScanSingle(value);
        }
        return value;
    }

    enum class ValueKey { kTitle, kArtist, kBpm, kGap };

    static std::string_view KeyName(ValueKey kind) {
        switch (kind) {
        case ValueKey::kTitle:
            return "TITLE";
        case ValueKey::kArtist:
            return "ARTIST";
        case ValueKey::kBpm:
            return "BPM";
        case ValueKey::kGap:
            break;
        }
        return "GAP";
    }

    std::size_t ScanValue(ValueKey kind, std::size_t start) {
        const std::size_t semicolon = Find(start, ';');
        if (semicolon == kNone) {
            return start;
        }
        const std::string_view text = Cut(start, semicolon);
        if (kind == ValueKey::kTitle) {
            m_result.title = TextFromFileBytes(text);
        } else if (kind == ValueKey::kArtist) {
            m_result.artist = TextFromFileBytes(text);
        } else if (kind == ValueKey::kBpm) {
            const auto bpm = static_cast<float>(ParseDouble(text));
            if (std::isfinite(bpm)) {
                m_result.bpm = bpm;
            } else {
                m_result.unusableBpm = true;
            }
        } else {
            const auto gap = static_cast<float>(ParseDouble(text) * kSecondsPerMillisecond);
            if (std::isfinite(gap)) {
                m_result.gapSeconds = gap;
            } else {
                m_result.unusableGap = true;
            }
        }
        return semicolon + 1;
    }

    std::size_t ScanSingle(std::size_t difficultyStart) {
        const std::size_t difficultyEnd = Find(difficultyStart, ':');
        if (difficultyEnd == kNone) {
            return difficultyStart;
        }
        const std::string difficulty = TextFromFileBytes(Cut(difficultyStart, difficultyEnd));
        m_result.difficulty = difficulty;

        const std::size_t ratingStart = difficultyEnd + 1;
        const std::size_t ratingEnd = Find(ratingStart, ':');
        if (ratingEnd == kNone) {
            return ratingStart;
        }
        const std::uint32_t rating = ParseUnsigned(Cut(ratingStart, ratingEnd));
        m_result.footRating = rating;

        const std::size_t stepsStart = ratingEnd + 1;
        const std::size_t stepsEnd = Find(stepsStart, ';');
        if (stepsEnd == kNone) {
            return stepsStart;
        }
        if (!m_ask(SelectStepsQuestion(difficulty, rating), kSelectStepsCaption)) {
            return stepsEnd + 1;
        }
        m_accepted = true;
        m_result.steps = FilterSteps(Cut(stepsStart, stepsEnd));
        return stepsEnd + 1;
    }

    chart::StepChart FilterSteps(std::string_view field) {
        chart::StepChart steps;
        steps.reserve(field.size());
        bool warned = false;
        for (char c : field) {
            if (chart::IsStepCode(c)) {
                steps.push_back(c);
            } else if (IsFreezeOrSmallStepMark(c) && !warned) {
                warned = true;
                m_show(kFreezeArrowMessage);
            }
        }
        return steps;
    }

    std::string m_buffer;
    Memo m_colon;
    Memo m_semicolon;
    const chart::AskYesNo& m_ask;
    const chart::ShowMessage& m_show;
    bool m_accepted = false;
    DwiImport m_result;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string FileError(const std::string& path, const std::string& reason) {
    return "Could not read \"" + path + "\":\r\n" + reason;
}

} // namespace

std::string SelectStepsQuestion(std::string_view difficulty, std::uint32_t footRating) {
    // Every chart is loaded whatever the answer; it picks the one shown.
    return "Found: SINGLE steps, Difficulty - " + std::string(difficulty) + " ; FootRating - " +
           std::to_string(footRating) +
           ".\r\nShow these steps first?  (Every chart of the file is loaded; the others are "
           "in the chart list.)";
}

DwiImport ScanDwi(std::string_view fileBytes, const chart::AskYesNo& ask,
                  const chart::ShowMessage& show) {
    return RecordScanner(fileBytes, ask, show).Run();
}

bool HasDwiExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == kNone ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot != kNone && EqualsIgnoringCase(name.substr(dot + 1), "dwi");
}

DwiFileBytes ReadDwiFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) {
        return {{}, FileError(path, ec.message())};
    }
    if (!std::filesystem::is_regular_file(status)) {
        return {{}, FileError(path, "It is not a regular file.")};
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        return {{}, FileError(path, ec.message())};
    }
    if (size > kMaxDwiFileBytes) {
        return {{}, FileError(path, "The file is larger than 64 MiB; a DWI file is far smaller.")};
    }
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return {{}, FileError(path, std::strerror(errno))};
    }
    DwiFileBytes result;
    result.bytes.resize(static_cast<std::size_t>(size));
    const std::size_t got = std::fread(result.bytes.data(), 1, result.bytes.size(), file.get());
    if (std::ferror(file.get())) {
        return {{}, FileError(path, std::strerror(errno != 0 ? errno : EIO))};
    }
    // The file may have changed size since it was measured; keep what was read.
    result.bytes.resize(got);
    return result;
}

} // namespace dwi
