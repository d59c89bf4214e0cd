#include "app/RecentSongsMenu.h"

#include "app/Settings.h"

#include <QFileInfo>

namespace app {

RecentSongsMenu::RecentSongsMenu(Settings& settings, QWidget* parent)
    : QMenu(QStringLiteral("Recent &Files"), parent), m_settings(settings) {
    Refresh();
}

void RecentSongsMenu::Refresh() {
    // Later, not now: Refresh may run inside one of these actions' signal.
    for (QAction* old : actions()) {
        removeAction(old);
        old->deleteLater();
    }
    const QStringList songs = m_settings.RecentSongs();
    int number = 0;
    for (const QString& path : songs) {
        ++number;
        // "&" in a file name would otherwise underline the next letter.
        QString name = QFileInfo(path).fileName();
        name.replace(QStringLiteral("&"), QStringLiteral("&&"));
        QAction* action = addAction(QStringLiteral("&%1 %2").arg(number).arg(name));
        action->setToolTip(path);
        action->setData(path);
        connect(action, &QAction::triggered, this, [this, path] { emit SongChosen(path); });
    }
    setToolTipsVisible(true);
    setEnabled(!songs.isEmpty());
}

} // namespace app
