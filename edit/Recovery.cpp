#include "edit/Recovery.h"

#include "dwi/AtomicFile.h"
#include "dwi/DwiImporter.h"
#include "dwi/DwiWriter.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace edit {

namespace {

namespace fs = std::filesystem;

// Values on one line each: backslash and line breaks escaped.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            out += text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i];
        } else {
            out += text[i];
        }
    }
    return out;
}

constexpr std::string_view kMagic = "beatwright-recovery 1";

} // namespace

std::string FormatRecoveryInfo(const RecoveryInfo& info) {
    std::string text = std::string(kMagic) + "\n";
    text += "song=" + Escaped(info.songPath) + "\n";
    text += "dwi=" + Escaped(info.dwiPath) + "\n";
    text += "imported=" + std::string(info.imported ? "1" : "0") + "\n";
    if (info.shownChart) {
        text += "chart=" + std::to_string(*info.shownChart) + "\n";
    }
    return text;
}

std::optional<RecoveryInfo> ParseRecoveryInfo(const std::string& text) {
    if (text.rfind(kMagic, 0) != 0) {
        return std::nullopt;
    }
    RecoveryInfo info;
    bool haveSong = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = Unescaped(line.substr(equals + 1));
        if (key == "song") {
            info.songPath = value;
            haveSong = true;
        } else if (key == "dwi") {
            info.dwiPath = value;
        } else if (key == "imported") {
            info.imported = value == "1";
        } else if (key == "chart") {
            char* endOfNumber = nullptr;
            const unsigned long long index = std::strtoull(value.c_str(), &endOfNumber, 10);
            if (endOfNumber && *endOfNumber == '\0' && !value.empty()) {
                info.shownChart = static_cast<std::size_t>(index);
            }
        }
    }
    if (!haveSong) {
        return std::nullopt;
    }
    return info;
}

std::string DefaultRecoveryFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') {
        return (fs::path(state) / "beatwright").string();
    }
    const char* home = std::getenv("HOME");
    return (fs::path(home && home[0] ? home : "/tmp") / ".local" / "state" / "beatwright").string();
}

chart::Song SongFromWindow(const WindowValues& values) {
    chart::Song song;
    song.title = values.title;
    song.artist = values.artist;
    song.bpm = values.bpm;
    song.gapSeconds = values.gapSeconds;
    song.sampleStartSeconds = values.sampleStartSeconds;
    song.sampleLengthSeconds =
        dwi::SampleLengthSeconds(values.sampleStartSeconds, values.sampleEndSeconds);
    chart::SongChart single = ChartFromSteps(values.steps);
    single.difficulty = values.difficulty;
    single.rating = values.rating;
    song.charts.push_back(std::move(single));
    return song;
}

RecoveryStore::RecoveryStore(std::string folder, std::int64_t pid)
    : m_folder(std::move(folder)), m_pid(pid) {}

std::string RecoveryStore::PathOf(std::int64_t pid, const char* extension) const {
    return (fs::path(m_folder) / ("recovery-" + std::to_string(pid) + extension)).string();
}

std::optional<std::string> RecoveryStore::Write(const RecoveryInfo& info,
                                                const std::string& document) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error) {
        return error.message();
    }
    if (auto failed = dwi::WriteFileAtomically(PathOf(m_pid, ".dwi"), document)) {
        return failed;
    }
    return dwi::WriteFileAtomically(PathOf(m_pid, ".info"), FormatRecoveryInfo(info));
}

void RecoveryStore::Remove() {
    RemoveLeft(m_pid);
}

bool RecoveryStore::HasCopy() const {
    std::error_code error;
    return fs::exists(PathOf(m_pid, ".info"), error);
}

void RecoveryStore::RemoveLeft(std::int64_t pid) const {
    std::error_code error;
    // The info first: without it the pair no longer counts.
    fs::remove(PathOf(pid, ".info"), error);
    fs::remove(PathOf(pid, ".dwi"), error);
}

std::vector<LeftRecovery>
RecoveryStore::FindLeft(const std::function<bool(std::int64_t)>& isRunning) const {
    std::vector<LeftRecovery> left;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(m_folder, error)) {
        const std::string name = entry.path().filename().string();
        constexpr std::string_view kPrefix = "recovery-";
        constexpr std::string_view kSuffix = ".info";
        if (name.rfind(kPrefix, 0) != 0 || name.size() <= kPrefix.size() + kSuffix.size() ||
            name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
            continue;
        }
        const std::string number =
            name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
        char* end = nullptr;
        const long long pid = std::strtoll(number.c_str(), &end, 10);
        if (!end || *end != '\0' || pid <= 0 || pid == m_pid || isRunning(pid)) {
            continue;
        }
        const dwi::DwiFileBytes info = dwi::ReadDwiFile(entry.path().string());
        const dwi::DwiFileBytes document = dwi::ReadDwiFile(PathOf(pid, ".dwi"));
        const auto parsed = info.error.empty() ? ParseRecoveryInfo(info.bytes) : std::nullopt;
        if (!parsed || !document.error.empty()) {
            continue;
        }
        left.push_back({*parsed, document.bytes, pid});
    }
    return left;
}

} // namespace edit
