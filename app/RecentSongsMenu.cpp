#include "app/RecentSongsMenu.h"

#include "app/Settings.h"

#include <QDir>
#include <QFileInfo>

namespace app {

RecentSongsMenu::RecentSongsMenu(Settings& settings, QWidget* parent)
    : QMenu(QStringLiteral("Recent &Files"), parent), m_settings(settings) {
    Refresh();
}

QStringList RecentSongsMenu::MenuNames(const QStringList& paths) {
    // Files of one name (every pack has its HOLIDAY.dwi) are told apart by
    // their folder, then by the whole folder path.
    const auto clashes = [](const QStringList& names, const QString& name) {
        return names.count(name) > 1;
    };
    QStringList names;
    for (const QString& path : paths) {
        names << QFileInfo(path).fileName();
    }
    QStringList withFolder = names;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (clashes(names, names[i])) {
            const QFileInfo file(paths[i]);
            withFolder[i] = QStringLiteral("%1 (%2)").arg(names[i], file.dir().dirName());
        }
    }
    const QStringList firstPass = withFolder;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (clashes(firstPass, firstPass[i])) {
            const QFileInfo file(paths[i]);
            withFolder[i] = QStringLiteral("%1 (%2)").arg(names[i], file.absolutePath());
        }
    }
    return withFolder;
}

void RecentSongsMenu::Refresh() {
    // Later, not now: Refresh may run inside one of these actions' signal.
    for (QAction* old : actions()) {
        removeAction(old);
        old->deleteLater();
    }
    const QStringList songs = m_settings.RecentSongs();
    const QStringList names = MenuNames(songs);
    for (qsizetype i = 0; i < songs.size(); ++i) {
        const QString path = songs[i];
        // "&" in a file name would otherwise underline the next letter.
        QString name = names[i];
        name.replace(QStringLiteral("&"), QStringLiteral("&&"));
        QAction* action = addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        action->setToolTip(path);
        action->setData(path);
        connect(action, &QAction::triggered, this, [this, path] { emit SongChosen(path); });
    }
    setToolTipsVisible(true);
    setEnabled(!songs.isEmpty());
}

} // namespace app
