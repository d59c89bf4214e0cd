#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace app {

// What the program remembers between runs, in
// $XDG_CONFIG_HOME/beatwright/beatwright.conf (~/.config when unset), an INI
// file. Each value has a typed accessor with its default; a new setting is
// one more pair of them over Value/SetValue. Window thread only. Writes
// reach the file at the latest when the object is destroyed.
class Settings {
public:
    static constexpr int kMaxRecentSongs = 8;

    Settings();
    // A file of one's own (tests, tools).
    explicit Settings(const QString& filePath);

    QString FilePath() const { return m_store.fileName(); }

    // How late the author's presses land behind what they hear, in ms of
    // real time; subtracted from every press (see chart/InputCalibration.h).
    double InputOffsetMs() const;
    void SetInputOffsetMs(double ms);

    std::int32_t SongSpeedPercent() const; // 100 when never set
    void SetSongSpeedPercent(std::int32_t percent);

    bool MetronomeOn() const; // on when never set
    void SetMetronomeOn(bool on);

    bool NoteTickOn() const; // off when never set
    void SetNoteTickOn(bool on);

    // The snap's index in edit::kAllSnaps; the start snap when never set or
    // out of range.
    int SnapIndex() const;
    void SetSnapIndex(int index);

    // QWidget::saveGeometry of the main window; empty when never stored.
    QByteArray WindowGeometry() const;
    void SetWindowGeometry(const QByteArray& geometry);

    // The folder a file dialog last chose from, by the dialog's name
    // ("open-any", "open-dwi", "save-dwi"); empty when never set.
    QString LastFolder(const QString& dialog) const;
    void SetLastFolder(const QString& dialog, const QString& folder);

    // Songs opened, latest first, at most kMaxRecentSongs, no repeats.
    QStringList RecentSongs() const;
    void AddRecentSong(const QString& path);
    void RemoveRecentSong(const QString& path);

    QVariant Value(const QString& key, const QVariant& defaultValue) const;
    void SetValue(const QString& key, const QVariant& value);
    void Sync() { m_store.sync(); }

private:
    QSettings m_store;
};

} // namespace app
