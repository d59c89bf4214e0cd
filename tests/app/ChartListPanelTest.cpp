#include "app/ChartListPanel.h"

#include "app/NewChartDialog.h"
#include "dwi/DwiSong.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr const char* kThreeCharts = "#TITLE:Charts;\r\n#BPM:120;\r\n"
                                     "#SINGLE:BASIC:5:2468;\r\n"
                                     "#SINGLE:MANIAC:7:8(24)80;\r\n"
                                     "#DOUBLE:SMANIAC:12:2468:8000;\r\n";

struct Asked {
    std::string text;
    std::string caption;
};

// A panel on its own editor with scripted answers, shown so that rows
// have places to click.
struct PanelFixture {
    explicit PanelFixture(chart::Song song) : editor(std::move(song)) {
        questions.askYesNo = [this](std::string_view text, std::string_view caption) {
            asked.push_back({std::string(text), std::string(caption)});
            return answerYes;
        };
        questions.chooseNewChart = [this] { return newChart; };
        panel = std::make_unique<app::ChartListPanel>(editor, questions);
        // As the window does: every notice of the editor redraws the panel.
        editor.SetListener([this](const edit::ChangeNotice&) { panel->Refresh(); });
        panel->show();
    }

    QListWidget& List() { return *panel->findChild<QListWidget*>(); }

    QPushButton& Button(const char* text) {
        for (QPushButton* button : panel->findChildren<QPushButton*>()) {
            if (button->text() == text) {
                return *button;
            }
        }
        throw std::runtime_error(std::string("no button ") + text);
    }

    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 0; i < List().count(); ++i) {
            rows.push_back(List().item(i)->text().toStdString());
        }
        return rows;
    }

    // The row the user sees highlighted, -1 for none.
    int Highlighted() {
        const QList<QListWidgetItem*> items = List().selectedItems();
        return items.size() == 1 ? List().row(items.front()) : -1;
    }

    void ClickRow(int row) {
        QListWidget& list = List();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualItemRect(list.item(row)).center());
    }

    edit::SongEditor editor;
    app::ChartListQuestions questions;
    std::unique_ptr<app::ChartListPanel> panel;
    std::vector<Asked> asked;
    bool answerYes = false;
    std::optional<app::NewChartChoice> newChart;
};

TEST(ChartListPanel, ListsEveryChartWithTheSelectedOneHighlighted) {
    PanelFixture f(dwi::ReadSong(kThreeCharts));
    EXPECT_EQ(f.Rows(), (std::vector<std::string>{"SINGLE  BASIC  5", "SINGLE  MANIAC  7",
                                                  "DOUBLE  SMANIAC  12"}));
    EXPECT_EQ(f.Highlighted(), 0);
    EXPECT_TRUE(f.Button("Duplicate Chart").isEnabled());
    EXPECT_TRUE(f.Button("Delete Chart").isEnabled());

    // Older files wrote their code page; the row reads it as Latin-1.
    chart::SongChart latin1;
    latin1.difficulty = "\xC9LITE";
    EXPECT_EQ(app::ChartListPanel::RowText(latin1), QString::fromUtf8("SINGLE  \u00C9LITE  1"));
}

TEST(ChartListPanel, SelectionFollowsClicksAndTheEditor) {
    PanelFixture f(dwi::ReadSong(kThreeCharts));
    f.ClickRow(2);
    EXPECT_EQ(f.editor.SelectedChart(), 2u);
    EXPECT_EQ(f.Highlighted(), 2);
    EXPECT_EQ(f.editor.History().Count(), 0u) << "choosing a chart is not an edit";

    f.editor.SelectChart(1);
    EXPECT_EQ(f.Highlighted(), 1);
    // An edit of the chart elsewhere (the window's Difficulty list) shows in its row.
    ASSERT_TRUE(f.editor.SetDifficulty("heavy"));
    EXPECT_EQ(f.Rows()[1], "SINGLE  HEAVY  7");
    f.editor.SelectChart(0);
    f.editor.Undo(); // undoing a change of another chart selects that chart
    EXPECT_EQ(f.Rows()[1], "SINGLE  MANIAC  7");
    EXPECT_EQ(f.Highlighted(), 1);
}

TEST(ChartListPanel, DeleteAsksFirstAndNoKeepsTheSong) {
    PanelFixture f(dwi::ReadSong(kThreeCharts));
    const chart::Song before = f.editor.Song();
    f.ClickRow(1);
    QTest::mouseClick(&f.Button("Delete Chart"), Qt::LeftButton);
    ASSERT_EQ(f.asked.size(), 1u);
    EXPECT_EQ(f.asked[0].text, "Delete the chart SINGLE MANIAC 7?");
    EXPECT_EQ(f.asked[0].caption, "Delete Chart");
    EXPECT_TRUE(chart::SameContent(f.editor.Song(), before));
    EXPECT_FALSE(f.editor.History().CanUndo());
    EXPECT_EQ(f.Rows().size(), 3u);

    f.answerYes = true;
    QTest::mouseClick(&f.Button("Delete Chart"), Qt::LeftButton);
    EXPECT_EQ(f.Rows(), (std::vector<std::string>{"SINGLE  BASIC  5", "DOUBLE  SMANIAC  12"}));
    EXPECT_EQ(f.Highlighted(), 1) << "the chart that took its place";
    EXPECT_EQ(f.editor.History().UndoText(), "Delete Chart");

    f.editor.Undo();
    EXPECT_EQ(f.Rows()[1], "SINGLE  MANIAC  7");
    EXPECT_EQ(f.Highlighted(), 1);
    EXPECT_TRUE(chart::SameContent(f.editor.Song(), before));
}

TEST(ChartListPanel, NewAndDuplicateAreUndoableEditsThatSelectTheNewChart) {
    PanelFixture f(dwi::ReadSong(kThreeCharts));
    QTest::mouseClick(&f.Button("New Chart"), Qt::LeftButton);
    EXPECT_EQ(f.Rows().size(), 3u) << "a cancelled chooser adds nothing";
    EXPECT_FALSE(f.editor.History().CanUndo());

    f.newChart = app::NewChartChoice{chart::ChartStyle::Couple, " light ", 42};
    QTest::mouseClick(&f.Button("New Chart"), Qt::LeftButton);
    ASSERT_EQ(f.Rows().size(), 4u);
    EXPECT_EQ(f.Rows()[3], "COUPLE  LIGHT  42");
    EXPECT_EQ(f.Highlighted(), 3);
    EXPECT_EQ(int{f.editor.Selected()->notes.Columns()}, 8);
    EXPECT_EQ(f.editor.History().UndoText(), "New Chart");

    f.ClickRow(1);
    QTest::mouseClick(&f.Button("Duplicate Chart"), Qt::LeftButton);
    ASSERT_EQ(f.Rows().size(), 5u);
    EXPECT_EQ(f.Rows()[4], "SINGLE  MANIAC  7");
    EXPECT_EQ(f.Highlighted(), 4);
    EXPECT_TRUE(f.editor.Song().charts[4].SameContent(f.editor.Song().charts[1]));
    EXPECT_EQ(f.editor.History().UndoText(), "Duplicate Chart");

    f.editor.Undo();
    f.editor.Undo();
    EXPECT_EQ(f.Rows().size(), 3u);
    EXPECT_FALSE(f.editor.History().CanUndo());
}

TEST(ChartListPanel, OnlyNewChartWorksWithoutCharts) {
    PanelFixture f(chart::Song{});
    EXPECT_TRUE(f.Rows().empty());
    EXPECT_EQ(f.Highlighted(), -1);
    EXPECT_TRUE(f.Button("New Chart").isEnabled());
    EXPECT_FALSE(f.Button("Duplicate Chart").isEnabled());
    EXPECT_FALSE(f.Button("Delete Chart").isEnabled());

    f.newChart = app::NewChartChoice{chart::ChartStyle::Solo, "BASIC", 3};
    QTest::mouseClick(&f.Button("New Chart"), Qt::LeftButton);
    EXPECT_EQ(f.Rows(), std::vector<std::string>{"SOLO  BASIC  3"});
    EXPECT_TRUE(f.Button("Delete Chart").isEnabled());

    // Deleting the last chart leaves nothing selected.
    f.answerYes = true;
    QTest::mouseClick(&f.Button("Delete Chart"), Qt::LeftButton);
    EXPECT_TRUE(f.Rows().empty());
    EXPECT_FALSE(f.Button("Duplicate Chart").isEnabled());
    EXPECT_FALSE(f.Button("Delete Chart").isEnabled());
}

TEST(ChartListPanel, ClicksLeaveTheKeyboardToStepInput) {
    chart::Song song = dwi::ReadSong(kThreeCharts);
    edit::SongEditor editor(std::move(song));
    QWidget window;
    auto* typing = new QLineEdit(&window); // stands for the window's key input
    auto* panel =
        new app::ChartListPanel(editor, {[](std::string_view, std::string_view) { return false; },
                                         [] { return std::optional<app::NewChartChoice>{}; }});
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(typing);
    layout->addWidget(panel);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    typing->setFocus();
    ASSERT_TRUE(typing->hasFocus());

    auto* list = panel->findChild<QListWidget*>();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(editor.SelectedChart(), 2u);
    for (QPushButton* button : panel->findChildren<QPushButton*>()) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_TRUE(typing->hasFocus());
}

// About 200 px wide and 120-200 px tall; 20 px of slack for the style's
// button margins.
TEST(ChartListPanel, FitsANarrowColumn) {
    PanelFixture f(dwi::ReadSong(kThreeCharts));
    const QSize least = f.panel->minimumSizeHint();
    EXPECT_LE(least.width(), 220);
    EXPECT_LE(least.height(), 200);
    // The list's own hint (256 x 192) would not fit beside the step view.
    const QSize hint = f.panel->sizeHint();
    EXPECT_LE(hint.width(), 220);
    EXPECT_LE(hint.height(), 200);
}

struct DialogControls {
    explicit DialogControls(QDialog& dialog) {
        const QList<QComboBox*> combos = dialog.findChildren<QComboBox*>();
        for (QComboBox* combo : combos) {
            (combo->isEditable() ? difficulty : style) = combo;
        }
        rating = dialog.findChild<QSpinBox*>();
        ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    }
    QComboBox* style = nullptr;
    QComboBox* difficulty = nullptr;
    QSpinBox* rating = nullptr;
    QPushButton* ok = nullptr;
};

TEST(NewChartDialog, OffersTheUsualNamesAndReturnsWhatWasSet) {
    app::NewChartDialog dialog;
    DialogControls c(dialog);
    ASSERT_TRUE(c.style && c.difficulty && c.rating && c.ok);
    QStringList names;
    for (int i = 0; i < c.difficulty->count(); ++i) {
        names << c.difficulty->itemText(i);
    }
    for (const char* name : {"BEGINNER", "BASIC", "ANOTHER", "MANIAC", "SMANIAC", "LIGHT", "TRICK",
                             "STANDARD", "SSR", "HEAVY"}) {
        EXPECT_TRUE(names.contains(QString::fromLatin1(name))) << name;
    }
    EXPECT_EQ(c.style->count(), 4);
    EXPECT_EQ(c.rating->minimum(), 1);
    EXPECT_EQ(c.rating->maximum(), 99);

    c.style->setCurrentIndex(c.style->findText("DOUBLE"));
    c.difficulty->lineEdit()->clear();
    QTest::keyClicks(c.difficulty->lineEdit(), "Expert:;");
    c.rating->setValue(15);
    const app::NewChartChoice choice = dialog.Choice();
    EXPECT_EQ(choice.style, chart::ChartStyle::Double);
    EXPECT_EQ(choice.difficulty, "Expert") << "a chart record cannot hold : or ;";
    EXPECT_EQ(choice.rating, 15u);
}

TEST(NewChartDialog, NeedsADifficulty) {
    app::NewChartDialog dialog({chart::ChartStyle::Solo, "MANIAC", 8});
    DialogControls c(dialog);
    EXPECT_EQ(c.style->currentText(), "SOLO");
    EXPECT_EQ(c.difficulty->currentText(), "MANIAC");
    EXPECT_EQ(c.rating->value(), 8);
    EXPECT_TRUE(c.ok->isEnabled());
    c.difficulty->lineEdit()->clear();
    QTest::keyClicks(c.difficulty->lineEdit(), "  ");
    EXPECT_FALSE(c.ok->isEnabled());
}

// Presses a button of the modal dialog once it is up.
void PressInModal(QDialogButtonBox::StandardButton which) {
    QTimer::singleShot(0, [which] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QDialogButtonBox*>()->button(which)->click();
    });
}

TEST(NewChartDialog, AskGivesTheChoiceOnOkAndNothingOnCancel) {
    const app::NewChartChoice start{chart::ChartStyle::Couple, "TRICK", 4};
    PressInModal(QDialogButtonBox::Ok);
    const std::optional<app::NewChartChoice> accepted = app::NewChartDialog::Ask(nullptr, start);
    ASSERT_TRUE(accepted.has_value());
    EXPECT_EQ(accepted->style, chart::ChartStyle::Couple);
    EXPECT_EQ(accepted->difficulty, "TRICK");
    EXPECT_EQ(accepted->rating, 4u);

    PressInModal(QDialogButtonBox::Cancel);
    EXPECT_FALSE(app::NewChartDialog::Ask(nullptr, start).has_value());
}

} // namespace
