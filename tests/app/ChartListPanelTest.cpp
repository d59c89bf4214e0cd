// The chart list: its rows, buttons and questions on an editor of its own,
// the New Chart dialog, and the list beside the window.
#include "app/ChartListPanel.h"

#include "WindowFixture.h"
#include "app/NewChartDialog.h"
#include "dwi/DwiSong.h"
#include "view/CCustomDisplay.h"

#include <QDialogButtonBox>
#include <QDockWidget>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr const char* kThreeCharts = "#TITLE:Charts;\r\n#BPM:120;\r\n"
                                     "#SINGLE:BASIC:5:2468;\r\n"
                                     "#SOLO:MANIAC:7:8(24)80;\r\n"
                                     "#DOUBLE:SMANIAC:12:2468:8000;\r\n";

QPushButton* ButtonOf(QWidget& parent, const QString& text) {
    for (QPushButton* button : parent.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

void ClickRow(QListWidget& list, int row) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(row)).center());
    QApplication::processEvents();
}

// A panel on its own editor with scripted answers, shown so that rows
// have places to click.
struct PanelFixture {
    explicit PanelFixture(chart::Song song) : editor(std::move(song)) {
        questions.askYesNo = [this](std::string_view text, std::string_view caption) {
            asked.push_back(std::string(caption) + ": " + std::string(text));
            return answerYes;
        };
        questions.chooseNewChart = [this] { return newChart; };
        panel = std::make_unique<app::ChartListPanel>(editor, questions);
        // As the window does: every notice of the editor redraws the panel.
        editor.SetListener([this](const edit::ChangeNotice&) { panel->Refresh(); });
        panel->show();
    }

    QListWidget& List() { return *panel->findChild<QListWidget*>(); }
    void Press(const char* button) { ButtonOf(*panel, button)->click(); }
    bool Enabled(const char* button) { return ButtonOf(*panel, button)->isEnabled(); }
    // The rows as the list shows them, joined by |.
    std::string Rows() {
        QStringList rows;
        for (int i = 0; i < List().count(); ++i) {
            rows << List().item(i)->text();
        }
        return rows.join('|').toStdString();
    }
    // The row the user sees highlighted, -1 for none.
    int Highlighted() {
        const QList<QListWidgetItem*> items = List().selectedItems();
        return items.size() == 1 ? List().row(items.front()) : -1;
    }

    edit::SongEditor editor;
    app::ChartListQuestions questions;
    std::unique_ptr<app::ChartListPanel> panel;
    std::vector<std::string> asked;
    bool answerYes = false;
    std::optional<app::NewChartChoice> newChart;
};

// The buttons edit through the editor, asking first before a delete, and
// select the chart they added or the one that took the deleted one's place.
TEST(ChartListPanel, ButtonsAddAndDeleteChartsAndSelectTheResult) {
    PanelFixture f(chart::Song{});
    const auto press = [&](const char* button, bool yes = false,
                           std::optional<app::NewChartChoice> choice = std::nullopt) {
        return [=, &f] {
            f.answerYes = yes;
            f.newChart = choice;
            f.Press(button);
        };
    };
    const char* three = "COUPLE  LIGHT  42|SOLO  BASIC  3|SOLO  BASIC  3";
    const struct {
        const char* what;
        std::function<void()> act;
        std::string rows; // as the list shows them, joined by |
        int highlighted;
        const char* undoText;
    } steps[] = {
        {"nothing yet", [] {}, "", -1, ""},
        {"a cancelled chooser adds nothing", press("New Chart"), "", -1, ""},
        {"new", press("New Chart", false, {{chart::ChartStyle::Couple, " light ", 42}}),
         "COUPLE  LIGHT  42", 0, "New Chart"},
        {"new again", press("New Chart", false, {{chart::ChartStyle::Solo, "BASIC", 3}}),
         "COUPLE  LIGHT  42|SOLO  BASIC  3", 1, "New Chart"},
        {"duplicate", press("Duplicate Chart"), three, 2, "Duplicate Chart"},
        {"row clicked", [&] { ClickRow(f.List(), 0); }, three, 0, "Duplicate Chart"},
        {"delete answered No", press("Delete Chart"), three, 0, "Duplicate Chart"},
        {"delete", press("Delete Chart", true), "SOLO  BASIC  3|SOLO  BASIC  3", 0, "Delete Chart"},
        {"undone", [&] { f.editor.Undo(); }, three, 0, "Duplicate Chart"},
        {"last row clicked", [&] { ClickRow(f.List(), 2); }, three, 2, "Duplicate Chart"},
        {"last row deleted: the one before it", press("Delete Chart", true),
         "COUPLE  LIGHT  42|SOLO  BASIC  3", 1, "Delete Chart"},
        {"the rest deleted", press("Delete Chart", true), "COUPLE  LIGHT  42", 0, "Delete Chart"},
        {"", press("Delete Chart", true), "", -1, "Delete Chart"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(f.Rows(), step.rows);
        EXPECT_EQ(f.Highlighted(), step.highlighted);
        EXPECT_EQ(f.editor.History().CanUndo() ? f.editor.History().UndoText() : "", step.undoText);
        EXPECT_TRUE(f.Enabled("New Chart"));
        EXPECT_EQ(f.Enabled("Duplicate Chart"), !step.rows.empty());
        EXPECT_EQ(f.Enabled("Delete Chart"), !step.rows.empty());
    }
    const std::string couple = "Delete Chart: Delete the chart COUPLE LIGHT 42?";
    const std::string solo = "Delete Chart: Delete the chart SOLO BASIC 3?";
    EXPECT_EQ(f.asked, (std::vector<std::string>{couple, couple, solo, solo, couple}));
    // Fixed fault: older files wrote their code page; the row reads it as Latin-1.
    chart::SongChart latin1;
    latin1.difficulty = "\xC9LITE";
    EXPECT_EQ(app::ChartListPanel::RowText(latin1), QString::fromUtf8("SINGLE  \u00C9LITE  1"));
}

// Fixed fault: a click on the list or its buttons took the keyboard from
// step input. The panel leaves the focus where it was.
TEST(ChartListPanel, ClicksLeaveTheKeyboardToStepInput) {
    edit::SongEditor editor(dwi::ReadSong(kThreeCharts));
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
    ClickRow(*panel->findChild<QListWidget*>(), 2);
    EXPECT_EQ(editor.SelectedChart(), 2u);
    for (QPushButton* button : panel->findChildren<QPushButton*>()) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_TRUE(typing->hasFocus());
    // About 200 px wide and at most 200 px tall beside the step view; the
    // list's own hint (256 x 192) would not fit. 20 px of slack for the
    // style's button margins.
    for (const QSize size : {panel->minimumSizeHint(), panel->sizeHint()}) {
        EXPECT_LE(size.width(), 220);
        EXPECT_LE(size.height(), 200);
    }
}

struct DialogControls {
    explicit DialogControls(QDialog& dialog) {
        for (QComboBox* combo : dialog.findChildren<QComboBox*>()) {
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

TEST(NewChartDialog, StartsFromTheGivenChoiceAndNeedsADifficulty) {
    app::NewChartDialog dialog({chart::ChartStyle::Solo, "MANIAC", 8});
    DialogControls c(dialog);
    ASSERT_TRUE(c.style && c.difficulty && c.rating && c.ok);
    EXPECT_EQ(c.style->currentText(), "SOLO");
    EXPECT_EQ(c.difficulty->currentText(), "MANIAC");
    EXPECT_EQ(c.rating->value(), 8);
    c.style->setCurrentIndex(c.style->findText("DOUBLE"));
    c.difficulty->lineEdit()->clear();
    QTest::keyClicks(c.difficulty->lineEdit(), "  ");
    EXPECT_FALSE(c.ok->isEnabled());
    c.difficulty->lineEdit()->clear();
    QTest::keyClicks(c.difficulty->lineEdit(), "Expert:;");
    EXPECT_TRUE(c.ok->isEnabled());
    c.rating->setValue(15);
    const app::NewChartChoice choice = dialog.Choice();
    EXPECT_EQ(choice.style, chart::ChartStyle::Double);
    EXPECT_EQ(choice.difficulty, "Expert") << "a chart record cannot hold : or ;";
    EXPECT_EQ(choice.rating, 15u);
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

// The window with the real step view, whose width follows the columns.
class ChartListWindow : public Window {
protected:
    void SetUp() override {
        makeStepView = [this](QWidget* parent, view::StepViewOwner& owner) -> QWidget* {
            view = new view::CCustomDisplay(&owner, parent);
            return view;
        };
        Window::SetUp();
    }
    QDockWidget* Dock() { return window->findChild<QDockWidget*>(QStringLiteral("charts")); }
    QListWidget* List() { return Dock()->findChild<QListWidget*>(); }

    view::CCustomDisplay* view = nullptr;
};

// One chart: no list, and the window keeps its size. Several: the list
// comes up beside the window; choosing a chart there edits it, and the lane
// takes the width of that chart's columns, the window growing with it.
// Delete asks through the window's own dialogs.
TEST_F(ChartListWindow, ImportShowsEveryChartAndTheViewFitsTheChosenOnesColumns) {
    LoadSong();
    EXPECT_FALSE(Dock()->isVisible());
    const int singleWidth = view->width();
    const int windowMinimum = window->minimumWidth();
    EXPECT_EQ(singleWidth, 200);
    window->OnCommand(app::kCmdToggleChartList);
    EXPECT_TRUE(Dock()->isVisible());
    EXPECT_EQ(List()->count(), 1);
    window->OnCommand(app::kCmdToggleChartList);
    EXPECT_FALSE(Dock()->isVisible());

    Import(WriteFile(TempFolder("chart_list_window"), "three.dwi", kThreeCharts), {true});
    QApplication::processEvents();
    ASSERT_TRUE(Dock()->isVisible());
    ASSERT_EQ(List()->count(), 3);
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(0));
    EXPECT_EQ(view->width(), singleWidth);

    ClickRow(*List(), 2); // DOUBLE: eight columns
    EXPECT_EQ(view->width(), view->sizeHint().width());
    EXPECT_GT(view->width(), singleWidth);
    EXPECT_GE(window->minimumWidth(), windowMinimum + view->width() - singleWidth);
    EXPECT_GE(window->width(), window->minimumWidth());
    const int doubleWidth = view->width();
    ClickRow(*List(), 1); // SOLO: six columns, between the two
    EXPECT_GT(view->width(), singleWidth);
    EXPECT_LT(view->width(), doubleWidth);
    ClickRow(*List(), 0);
    EXPECT_EQ(view->width(), singleWidth);
    EXPECT_FALSE(window->HasUnsavedChanges()) << "choosing a chart is not an edit";

    ClickRow(*List(), 2);
    dialogs.answers = {true};
    ButtonOf(*Dock(), "Delete Chart")->click();
    EXPECT_EQ(dialogs.questions.back(), "Delete Chart: Delete the chart DOUBLE SMANIAC 12?");
    EXPECT_EQ(List()->count(), 2);
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1));
    EXPECT_LT(view->width(), doubleWidth) << "the SOLO chart that took its place";
}

// Fixed fault: the Difficulty and Foot Rating lists offered only their
// first items, so a file's BEGINNER, SMANIAC or rating above 10 could not
// be chosen back. Each choice is one undo step.
TEST_F(ChartListWindow, DifficultyAndRatingTakeEveryValueAFileHolds) {
    LoadSong();
    auto* difficulty = Control<QComboBox>(1025);
    auto* rating = Control<QComboBox>(1026);
    EXPECT_EQ(difficulty->itemText(0), "BASIC") << "the list begins as it always did";
    EXPECT_EQ(rating->itemText(9), "10");
    for (const char* name : {"BEGINNER", "SMANIAC", "ANOTHER", "HEAVY"}) {
        const int index = difficulty->findText(QString::fromLatin1(name));
        ASSERT_GE(index, 0) << name;
        difficulty->setCurrentIndex(index);
        EXPECT_EQ(window->Editor().Selected()->difficulty, name);
    }
    rating->setCurrentIndex(rating->findText(QStringLiteral("99")));
    EXPECT_EQ(window->Editor().Selected()->rating, 99u);
    EXPECT_EQ(List()->item(0)->text(), "SINGLE  HEAVY  99") << "the chart list follows";
    window->Undo();
    EXPECT_EQ(window->Editor().Selected()->rating, 1u);
    EXPECT_EQ(rating->currentText(), "1");
}

} // namespace
