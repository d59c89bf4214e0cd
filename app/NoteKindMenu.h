#pragma once

#include "chart/NoteData.h"

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;

namespace edit {
class SongEditor;
}

namespace app {

// "Edit > Note Kind": which kind of note the step keys and clicks enter
// (Tap, Roll, Mine, Lift, Fake; Ctrl+1 to Ctrl+5), kept as the editor's
// entry kind, and Alt or Ctrl with a click on the step view for a mine
// whatever the choice. Only Tap is offered while the song is a .dwi file,
// which cannot hold the others; a choice or a mine refused for that says
// why on the status line. Window thread only.
class NoteKindMenu : public QObject {
    Q_OBJECT
public:
    // Adds the submenu to the window's Edit menu and listens to its step
    // view (object name "1016") when that is a view::CCustomDisplay.
    NoteKindMenu(edit::SongEditor& editor, QMainWindow& window);

    // As the menu item of the kind (Normal for Tap); false, with the reason
    // on the status line, where the song's format cannot hold the kind.
    bool Choose(chart::NoteKind kind);

    static QString RefusalText(chart::NoteKind kind);

private:
    void ShowEnabled();
    void Tell(const QString& text);

    edit::SongEditor& m_editor;
    QMainWindow& m_window;
    QMenu* m_menu = nullptr;
    std::vector<std::pair<chart::NoteKind, QAction*>> m_items;
};

} // namespace app
