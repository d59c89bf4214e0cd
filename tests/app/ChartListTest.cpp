// The chart list beside the window, and its New Chart dialog.
#include "WindowFixture.h"
#include "app/ChartListPanel.h"
#include "app/NewChartDialog.h"
#include "view/CCustomDisplay.h"
#include "view/LaneLayout.h"

#include <QDialogButtonBox>
#include <QDockWidget>
#include <QListWidget>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr const char* kThreeCharts = "#TITLE:Charts;\r\n#BPM:120;\r\n"
                                     "#SINGLE:BASIC:5:2468;\r\n"
                                     "#SOLO:MANIAC:7:8(24)80;\r\n"
                                     "#DOUBLE:SMANIAC:12:2468:8000;\r\n";

void ClickRow(QListWidget& list, int row) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(row)).center());
    QApplication::processEvents();
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
// comes up beside the window, and saved unchanged the file keeps its
// bytes; choosing a chart there edits it, and the lane takes the width of
// that chart's columns, the window growing with it and narrowing again.
// Delete asks through the window's own dialogs. Fixed fault: a click on the
// list or its buttons took the keyboard from step input; the list leaves it
// where it was.
TEST_F(ChartListWindow, ImportShowsEveryChartAndTheViewFitsTheChosenOnesColumns) {
    LoadSong();
    EXPECT_FALSE(Dock()->isVisible());
    const int singleWidth = view->width();
    const int windowMinimum = window->minimumWidth();
    EXPECT_EQ(singleWidth, view::ViewWidthFor(4));
    const std::string path = WriteFile(TempFolder("chart_list_window"), "three.dwi", kThreeCharts);
    Import(path, {true});
    Action(app::kCmdSave)->trigger();
    EXPECT_EQ(FileText(path), kThreeCharts);
    ASSERT_TRUE(Dock()->isVisible());
    ASSERT_EQ(List()->count(), 3);
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(0));
    EXPECT_EQ(view->width(), singleWidth);
    ClickRow(*List(), 2); // DOUBLE: eight columns
    const int doubleWidth = view->width();
    EXPECT_EQ(doubleWidth, view->sizeHint().width());
    EXPECT_GT(doubleWidth, singleWidth);
    EXPECT_GE(window->minimumWidth(), windowMinimum + doubleWidth - singleWidth);
    ClickRow(*List(), 1); // SOLO: six columns, between the two
    EXPECT_TRUE(view->width() > singleWidth && view->width() < doubleWidth) << view->width();
    ClickRow(*List(), 0);
    EXPECT_EQ(view->width(), singleWidth);
    EXPECT_FALSE(window->HasUnsavedChanges()) << "choosing a chart is not an edit";

    ClickRow(*List(), 2);
    dialogs.answers = {true};
    QTest::mouseClick(ButtonOf(*Dock(), "Delete Chart"), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), window->centralWidget());
    EXPECT_EQ(dialogs.questions.back(), "Delete Chart: Delete the chart DOUBLE SMANIAC 12?");
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1));
    EXPECT_LT(view->width(), doubleWidth) << "the SOLO chart that took its place";
    // New Chart starts from the shown chart's style; its dialog needs a
    // difficulty, drops what a chart record cannot hold (: and ;) and adds
    // the chart on OK only. Duplicate copies the chart shown.
    for (const auto button : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
        QTimer::singleShot(0, [button] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            QComboBox* lists[2] = {}; // style, and the editable difficulty
            for (QComboBox* list : dialog->findChildren<QComboBox*>()) {
                lists[list->isEditable()] = list;
            }
            auto* rating = dialog->findChild<QSpinBox*>();
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            EXPECT_EQ(lists[0]->currentText() + " " + lists[1]->currentText() + " " +
                          rating->text(),
                      button == QDialogButtonBox::Ok ? "SOLO BASIC 1" : "DOUBLE BASIC 1");
            lists[0]->setCurrentIndex(lists[0]->findText("DOUBLE"));
            lists[1]->lineEdit()->clear();
            QTest::keyClicks(lists[1]->lineEdit(), "  ");
            EXPECT_FALSE(buttons->button(QDialogButtonBox::Ok)->isEnabled());
            lists[1]->lineEdit()->clear();
            QTest::keyClicks(lists[1]->lineEdit(), "Expert:;");
            rating->setValue(15);
            buttons->button(button)->click();
        });
        QTest::mouseClick(ButtonOf(*Dock(), "New Chart"), Qt::LeftButton);
    }
    QTest::mouseClick(ButtonOf(*Dock(), "Duplicate Chart"), Qt::LeftButton);
    QStringList rows;
    for (int i = 0; i < List()->count(); ++i) {
        rows << List()->item(i)->text();
    }
    EXPECT_EQ(rows.join('|'),
              "SINGLE  BASIC  5|SOLO  MANIAC  7|DOUBLE  EXPERT  15|DOUBLE  EXPERT  15");
    // The list and the density strip fit beside the step view: about 230 px
    // wide and at most 240 px tall with the counts line (the list's own hint,
    // 256 x 192, would not; 20 px of slack for the style's button margins).
    for (const QSize size : {Dock()->widget()->minimumSizeHint(), Dock()->widget()->sizeHint()}) {
        EXPECT_LE(size.width(), 250);
        EXPECT_LE(size.height(), 240);
    }
    // Fixed fault: older files wrote their code page; the row reads it as Latin-1.
    chart::SongChart latin1;
    latin1.difficulty = "\xC9LITE";
    EXPECT_EQ(app::ChartListPanel::RowText(latin1), QString::fromUtf8("SINGLE  \u00C9LITE  1"));
}

// Fixed fault: the Difficulty and Foot Rating lists offered only their
// first items, so a file's BEGINNER, SMANIAC or rating above 10 could not
// be chosen back. Each choice is one undo step.
TEST_F(ChartListWindow, DifficultyAndRatingTakeEveryValueAFileHolds) {
    LoadSong();
    auto* difficulty = Control<QComboBox>(1025);
    auto* rating = Control<QComboBox>(1026);
    for (const char* name : {"BEGINNER", "SMANIAC", "ANOTHER", "HEAVY"}) {
        difficulty->setCurrentIndex(difficulty->findText(QString::fromLatin1(name)));
        EXPECT_EQ(window->Editor().Selected()->difficulty, name);
    }
    rating->setCurrentIndex(rating->findText(QStringLiteral("99")));
    EXPECT_EQ(window->Editor().Selected()->rating, 99u);
    EXPECT_EQ(List()->item(0)->text(), "SINGLE  HEAVY  99") << "the chart list follows";
    window->Undo();
    EXPECT_EQ(Texts({1025, 1026}), "HEAVY|1");
}

} // namespace
