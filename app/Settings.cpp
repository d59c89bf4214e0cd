#include "app/Settings.h"

#include "edit/Snap.h"

#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

// Qt's GenericConfigLocation is $XDG_CONFIG_HOME, else ~/.config.
QString DefaultFilePath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("beatwright/beatwright.conf"));
}

constexpr double kMaxOffsetMs = 1000.0; // beyond any real input delay
constexpr std::int32_t kMinSpeed = 1;
constexpr std::int32_t kMaxSpeed = 300;
constexpr std::int32_t kNormalSpeed = 100;

} // namespace

Settings::Settings() : Settings(DefaultFilePath()) {}

Settings::Settings(const QString& filePath) : m_store(filePath, QSettings::IniFormat) {}

QVariant Settings::Value(const QString& key, const QVariant& defaultValue) const {
    return m_store.value(key, defaultValue);
}

void Settings::SetValue(const QString& key, const QVariant& value) {
    m_store.setValue(key, value);
}

// A hand-edited file may hold anything: values out of range fall back.
double Settings::InputOffsetMs() const {
    bool ok = false;
    const double ms = Value(QStringLiteral("timing/inputOffsetMs"), 0.0).toDouble(&ok);
    return ok && std::isfinite(ms) && std::abs(ms) <= kMaxOffsetMs ? ms : 0.0;
}

void Settings::SetInputOffsetMs(double ms) {
    SetValue(QStringLiteral("timing/inputOffsetMs"), std::clamp(ms, -kMaxOffsetMs, kMaxOffsetMs));
}

std::int32_t Settings::SongSpeedPercent() const {
    bool ok = false;
    const int percent = Value(QStringLiteral("player/songSpeedPercent"), kNormalSpeed).toInt(&ok);
    return ok && percent >= kMinSpeed && percent <= kMaxSpeed ? percent : kNormalSpeed;
}

void Settings::SetSongSpeedPercent(std::int32_t percent) {
    SetValue(QStringLiteral("player/songSpeedPercent"), std::clamp(percent, kMinSpeed, kMaxSpeed));
}

bool Settings::MetronomeOn() const {
    return Value(QStringLiteral("player/metronome"), true).toBool();
}

void Settings::SetMetronomeOn(bool on) {
    SetValue(QStringLiteral("player/metronome"), on);
}

bool Settings::NoteTickOn() const {
    return Value(QStringLiteral("player/noteTick"), false).toBool();
}

void Settings::SetNoteTickOn(bool on) {
    SetValue(QStringLiteral("player/noteTick"), on);
}

int Settings::SnapIndex() const {
    const int start = static_cast<int>(edit::kStartSnap);
    bool ok = false;
    const int index = Value(QStringLiteral("editor/snap"), start).toInt(&ok);
    return ok && index >= 0 && index < static_cast<int>(edit::kAllSnaps.size()) ? index : start;
}

void Settings::SetSnapIndex(int index) {
    SetValue(QStringLiteral("editor/snap"), index);
}

QByteArray Settings::WindowGeometry() const {
    return Value(QStringLiteral("window/geometry"), QByteArray()).toByteArray();
}

void Settings::SetWindowGeometry(const QByteArray& geometry) {
    SetValue(QStringLiteral("window/geometry"), geometry);
}

QString Settings::LastFolder(const QString& dialog) const {
    return Value(QStringLiteral("folders/") + dialog, QString()).toString();
}

void Settings::SetLastFolder(const QString& dialog, const QString& folder) {
    SetValue(QStringLiteral("folders/") + dialog, folder);
}

QStringList Settings::RecentSongs() const {
    QStringList songs = Value(QStringLiteral("recent/songs"), QStringList()).toStringList();
    songs.removeAll(QString());
    songs.removeDuplicates();
    while (songs.size() > kMaxRecentSongs) {
        songs.removeLast();
    }
    return songs;
}

void Settings::AddRecentSong(const QString& path) {
    QStringList songs = RecentSongs();
    songs.removeAll(path);
    songs.prepend(path);
    while (songs.size() > kMaxRecentSongs) {
        songs.removeLast();
    }
    SetValue(QStringLiteral("recent/songs"), songs);
}

void Settings::RemoveRecentSong(const QString& path) {
    QStringList songs = RecentSongs();
    songs.removeAll(path);
    SetValue(QStringLiteral("recent/songs"), songs);
}

} // namespace app
