#pragma once

#include "app/NewChartDialog.h"
#include "edit/SongEditor.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string_view>

class QListWidget;
class QPushButton;

namespace app {

// What the panel asks the user; the window passes its own dialogs, tests
// script the answers.
struct ChartListQuestions {
    // A Yes/No question with a caption; true for Yes.
    std::function<bool(std::string_view text, std::string_view caption)> askYesNo;
    // The style, difficulty and rating of a new chart; nothing on Cancel.
    std::function<std::optional<NewChartChoice>()> chooseNewChart;
};

// The song's charts, one row each ("SINGLE  BASIC  5"), the selected one
// highlighted, then the charts of other games' layouts greyed, with "New Chart", "Duplicate Chart"
// and "Delete Chart". Every change goes through the editor, so it is undoable; the rows are only a
// picture of the editor's song, redrawn by Refresh(). The window calls Refresh() from the editor's
// listener; the panel also refreshes after its own edits. Window thread only; the editor outlives
// the panel.
class ChartListPanel : public QWidget {
    Q_OBJECT
public:
    ChartListPanel(edit::SongEditor& editor, ChartListQuestions questions,
                   QWidget* parent = nullptr);

    // Rows, selection and buttons from the editor as it is now.
    void Refresh();

    static QString RowText(const chart::SongChart& chart);
    // A chart of another game's steps type: "pump-single  Hard  9".
    static QString OtherRowText(const chart::SongChart& chart);

    QSize sizeHint() const override;

private:
    void OnRowChosen(int row);
    void OnNew();
    void OnDuplicate();
    void OnDelete();

    edit::SongEditor& m_editor;
    ChartListQuestions m_questions;
    QListWidget* m_list;
    QPushButton* m_newButton;
    QPushButton* m_duplicateButton;
    QPushButton* m_deleteButton;
};

} // namespace app
