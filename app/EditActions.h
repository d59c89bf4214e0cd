#pragma once

#include "chart/RangeActions.h"
#include "edit/Transforms.h"
#include "view/StepViewOwner.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace edit {
class SongEditor;
}
namespace player {
class MediaPlayer;
}

namespace app {

class UserDialogs;

// The author's everyday toolkit on the Edit menu: the selection, the
// clipboard, the transforms and the moves through the chart. Each item is a
// row of one table (text, shortcut, what it does); the edits are the edit
// layer's commands, one undo step each.
//
// The selection is the window's edit range, in cells of the snap, while it
// is shown: the range fields show it, typing in them moves it, and the
// range actions work on it.
class EditActions : public QObject, public view::SelectionOwner {
    Q_OBJECT
public:
    struct Host {
        edit::SongEditor& editor;
        player::MediaPlayer& player;
        UserDialogs& dialogs;
        std::function<chart::EditRange()> range;
        std::function<void(const chart::EditRange&)> setRange; // shows it in the fields
        std::function<void()> repaint;
    };

    EditActions(Host host, QObject* parent);

    // Adds the toolkit's items to the Edit menu; the window's own shortcuts
    // come with them.
    void AddTo(QMenu* edit);

    // The selection as rows of the shown chart; none while it is not shown.
    std::optional<edit::RowSpan> SelectedRows() const;
    void SelectAll();
    void SelectNone();
    // The range was typed or set in the view: it is the selection now.
    void ShowSelection();

    void Cut();
    void Copy();
    void Paste();
    void Transform(edit::Transform transform);
    // Moves the target line; none of them edits.
    void GoTo();
    void ToNote(bool next);
    void ToMeasure(bool next);
    void ToChartEnd(bool end);
    // Shift+Up and Shift+Down: the selection one cell longer at that end.
    void ExtendSelection(bool later);

    // view::SelectionOwner
    std::optional<std::pair<std::int32_t, std::int32_t>> SelectedCells() const override;
    void SelectFromCurrentTo(std::int32_t cell) override;
    void SelectCells(std::int32_t from, std::int32_t to) override;

private:
    void Select(std::int32_t firstCell, std::int32_t lastCell);
    void SelectRows(const edit::RowSpan& rows);
    void ShowEnabled();
    // The cell at the target line, and the exact row there.
    std::int32_t CurrentCell() const;
    std::optional<double> CurrentBeat() const;
    void SeekToBeat(double beat);

    Host m_host;
    bool m_shown = false;
    // Enabled only while something is selected.
    std::vector<QAction*> m_onSelection;
};

} // namespace app
