#pragma once

#include <QMenu>

namespace app {

class Settings;

// "File > Recent Files": the songs and charts Settings remembers, latest first, with
// keyboard accelerators 1-8. Rebuilt from the settings by Refresh.
class RecentSongsMenu : public QMenu {
    Q_OBJECT
public:
    RecentSongsMenu(Settings& settings, QWidget* parent = nullptr);
    void Refresh();

    // The items' names: file names, with the folder where they clash.
    static QStringList MenuNames(const QStringList& paths);

signals:
    void SongChosen(const QString& path);

private:
    Settings& m_settings;
};

} // namespace app
