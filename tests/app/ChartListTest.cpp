// The chart list: its rows, buttons and questions on an editor of its own,
// the New Chart dialog, and the list beside the window.
#include "WindowFixture.h"
#include "app/ChartListPanel.h"
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

// The buttons edit through the editor, asking first before a delete, and
// select the chart they added or the one that took the deleted one's place.
TEST(ChartListPanel, ButtonsAddAndDeleteChartsAndSelectTheResult) {
    edit::SongEditor editor{chart::Song{}};
    std::vector<std::string> asked;
    bool yes = false;
    std::optional<app::NewChartChoice> choice;
    app::ChartListPanel panel(editor,
                              {[&](std::string_view text, std::string_view caption) {
                                   asked.push_back(std::string(caption) + ": " + std::string(text));
                                   return yes;
                               },
                               [&] { return choice; }});
    // As the window does: every notice of the editor redraws the panel.
    editor.SetListener([&](const edit::ChangeNotice&) { panel.Refresh(); });
    panel.show();
    auto& list = *panel.findChild<QListWidget*>();
    const auto press = [&](const char* button, bool answer = false,
                           std::optional<app::NewChartChoice> chosen = std::nullopt) {
        return [=, &yes, &choice, &panel] {
            yes = answer;
            choice = chosen;
            ButtonOf(panel, button)->click();
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
        {"row clicked", [&] { ClickRow(list, 0); }, three, 0, "Duplicate Chart"},
        {"delete answered No", press("Delete Chart"), three, 0, "Duplicate Chart"},
        {"delete", press("Delete Chart", true), "SOLO  BASIC  3|SOLO  BASIC  3", 0, "Delete Chart"},
        {"undone", [&] { editor.Undo(); }, three, 0, "Duplicate Chart"},
        {"last row clicked", [&] { ClickRow(list, 2); }, three, 2, "Duplicate Chart"},
        {"last row deleted: the one before it", press("Delete Chart", true),
         "COUPLE  LIGHT  42|SOLO  BASIC  3", 1, "Delete Chart"},
        {"the rest deleted", press("Delete Chart", true), "COUPLE  LIGHT  42", 0, "Delete Chart"},
        {"", press("Delete Chart", true), "", -1, "Delete Chart"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        QStringList rows;
        for (int i = 0; i < list.count(); ++i) {
            rows << list.item(i)->text();
        }
        EXPECT_EQ(rows.join('|').toStdString(), step.rows);
        const QList<QListWidgetItem*> highlighted = list.selectedItems();
        EXPECT_EQ(highlighted.size() == 1 ? list.row(highlighted.front()) : -1, step.highlighted);
        EXPECT_EQ(editor.History().CanUndo() ? editor.History().UndoText() : "", step.undoText);
        EXPECT_TRUE(ButtonOf(panel, "New Chart")->isEnabled());
        EXPECT_EQ(ButtonOf(panel, "Duplicate Chart")->isEnabled(), !step.rows.empty());
        EXPECT_EQ(ButtonOf(panel, "Delete Chart")->isEnabled(), !step.rows.empty());
    }
    const std::string couple = "Delete Chart: Delete the chart COUPLE LIGHT 42?";
    const std::string solo = "Delete Chart: Delete the chart SOLO BASIC 3?";
    EXPECT_EQ(asked, (std::vector<std::string>{couple, couple, solo, solo, couple}));
    // Fixed fault: older files wrote their code page; the row reads it as Latin-1.
    chart::SongChart latin1;
    latin1.difficulty = "\xC9LITE";
    EXPECT_EQ(app::ChartListPanel::RowText(latin1), QString::fromUtf8("SINGLE  \u00C9LITE  1"));
}

// Fixed fault: a click on the list or its buttons took the keyboard from
// step input. The panel leaves the focus where it was. It fits beside the
// step view: about 200 px wide and at most 200 px tall (the list's own hint,
// 256 x 192, would not; 20 px of slack for the style's button margins).
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
    for (const QSize size : {panel->minimumSizeHint(), panel->sizeHint()}) {
        EXPECT_LE(size.width(), 220);
        EXPECT_LE(size.height(), 200);
    }
}

// The dialog starts from the given choice, needs a difficulty, drops what a
// chart record cannot hold (: and ;), and gives its choice on OK alone.
TEST(NewChartDialog, StartsFromTheGivenChoiceAndGivesItOnOk) {
    const auto controls = [](QDialog& dialog) {
        QComboBox* combos[2] = {};
        for (QComboBox* combo : dialog.findChildren<QComboBox*>()) {
            combos[combo->isEditable()] = combo;
        }
        return std::tuple{combos[0], combos[1], dialog.findChild<QSpinBox*>(),
                          dialog.findChild<QDialogButtonBox*>()};
    };
    const auto choiceText = [](const std::optional<app::NewChartChoice>& c) {
        return c ? std::string(chart::StyleName(c->style)) + " " + c->difficulty + " " +
                       std::to_string(c->rating)
                 : std::string("none");
    };
    app::NewChartDialog dialog({chart::ChartStyle::Solo, "MANIAC", 8});
    const auto [style, difficulty, rating, buttons] = controls(dialog);
    ASSERT_TRUE(style && difficulty && rating && buttons);
    EXPECT_EQ(style->currentText() + " " + difficulty->currentText() + " " + rating->text(),
              "SOLO MANIAC 8");
    style->setCurrentIndex(style->findText("DOUBLE"));
    difficulty->lineEdit()->clear();
    QTest::keyClicks(difficulty->lineEdit(), "  ");
    EXPECT_FALSE(buttons->button(QDialogButtonBox::Ok)->isEnabled());
    difficulty->lineEdit()->clear();
    QTest::keyClicks(difficulty->lineEdit(), "Expert:;");
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Ok)->isEnabled());
    rating->setValue(15);
    EXPECT_EQ(choiceText(dialog.Choice()), "DOUBLE Expert 15");

    // Ask, with the modal dialog's button pressed once it is up.
    for (const auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
        QTimer::singleShot(0, [which] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(modal, nullptr);
            modal->findChild<QDialogButtonBox*>()->button(which)->click();
        });
        EXPECT_EQ(
            choiceText(app::NewChartDialog::Ask(nullptr, {chart::ChartStyle::Couple, "TRICK", 4})),
            which == QDialogButtonBox::Ok ? "COUPLE TRICK 4" : "none");
    }
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

    Import(WriteFile(TempFolder("chart_list_window"), "three.dwi", kThreeCharts), {true});
    QApplication::processEvents();
    ASSERT_TRUE(Dock()->isVisible());
    ASSERT_EQ(List()->count(), 3);
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(0));
    EXPECT_EQ(view->width(), singleWidth);
    ClickRow(*List(), 2); // DOUBLE: eight columns
    const int doubleWidth = view->width();
    EXPECT_EQ(doubleWidth, view->sizeHint().width());
    EXPECT_GT(doubleWidth, singleWidth);
    EXPECT_GE(window->minimumWidth(), windowMinimum + doubleWidth - singleWidth);
    EXPECT_GE(window->width(), window->minimumWidth());
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
    EXPECT_EQ(difficulty->itemText(0) + "|" + rating->itemText(9), "BASIC|10");
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
    EXPECT_EQ(Texts({1025, 1026}), "HEAVY|1");
}

} // namespace
