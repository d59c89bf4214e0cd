// The chart list beside the window and the step view's width per style,
// through the real window and the real step view.
#include "FakeServices.h"
#include "WindowFixture.h"
#include "view/CCustomDisplay.h"

#include <QComboBox>
#include <QDockWidget>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

const std::string kThreeCharts = "#TITLE:Three;\r\n#BPM:150.000;\r\n#GAP:100;\r\n"
                                 "#SINGLE:BASIC:3:08080808;\r\n#DOUBLE:HEAVY:9:8:2;\r\n"
                                 "#SOLO:MANIAC:7:0707;\r\n";

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
    QPushButton* Button(const QString& text) {
        for (QPushButton* button : Dock()->findChildren<QPushButton*>()) {
            if (button->text() == text) {
                return button;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    void ImportThreeCharts() {
        const fs::path folder = fs::path(BEATWRIGHT_TEST_TMP) / "chart_list_window";
        fs::remove_all(folder);
        fs::create_directories(folder);
        const std::string path = (folder / "three.dwi").string();
        std::ofstream(path, std::ios::binary) << kThreeCharts;
        LoadSong(150.0f);
        dialogs.answers = {true}; // the single chart
        dialogs.openPaths.push_back(path);
        window->OnCommand(32776);
        QApplication::processEvents();
    }
    void Choose(int row) {
        QListWidget* list = List();
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::processEvents();
    }

    view::CCustomDisplay* view = nullptr;
};

// One chart: no list, and the window keeps its size. Several: the list
// comes up beside the window; choosing a chart there edits it, and the lane
// takes the width of that chart's columns, the window growing with it.
TEST_F(ChartListWindow, ImportShowsEveryChartAndTheViewFitsTheChosenOnesColumns) {
    LoadSong();
    EXPECT_FALSE(Dock()->isVisible());
    const int singleWidth = view->width();
    const int windowMinimum = window->minimumWidth();
    EXPECT_EQ(singleWidth, 200);

    ImportThreeCharts();
    ASSERT_TRUE(Dock()->isVisible());
    ASSERT_EQ(List()->count(), 3);
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(0));
    EXPECT_EQ(view->width(), singleWidth);

    Choose(1); // DOUBLE: eight columns
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(1));
    EXPECT_EQ(view->width(), view->sizeHint().width());
    EXPECT_GT(view->width(), singleWidth);
    EXPECT_GE(window->minimumWidth(), windowMinimum + view->width() - singleWidth);
    EXPECT_GE(window->width(), window->minimumWidth());
    const int doubleWidth = view->width();

    Choose(2); // SOLO: six columns, between the two
    EXPECT_GT(view->width(), singleWidth);
    EXPECT_LT(view->width(), doubleWidth);

    Choose(0);
    EXPECT_EQ(view->width(), singleWidth);
    EXPECT_FALSE(window->HasUnsavedChanges()) << "choosing a chart is not an edit";
}

// Delete asks through the window's own question; undo brings the chart back.
TEST_F(ChartListWindow, DeleteAsksAndUndoBringsTheChartBack) {
    ImportThreeCharts();
    Choose(2);
    dialogs.answers = {false};
    Button(QStringLiteral("Delete Chart"))->click();
    EXPECT_EQ(window->Song().charts.size(), 3u);
    ASSERT_FALSE(dialogs.questions.empty());
    EXPECT_NE(dialogs.questions.back().find("Delete Chart"), std::string::npos);

    dialogs.answers = {true};
    Button(QStringLiteral("Delete Chart"))->click();
    EXPECT_EQ(window->Song().charts.size(), 2u);
    EXPECT_EQ(List()->count(), 2);
    EXPECT_TRUE(window->HasUnsavedChanges());
    EXPECT_EQ(view->width(), view->sizeHint().width());

    window->Undo();
    EXPECT_EQ(window->Song().charts.size(), 3u);
    EXPECT_EQ(List()->count(), 3);
    EXPECT_EQ(window->Editor().SelectedChart(), std::optional<std::size_t>(2));
}

// Every difficulty name and rating a file holds can be chosen for a chart,
// not only the ones the lists began with; each is one undo step.
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
    window->Undo();
    EXPECT_EQ(window->Editor().Selected()->rating, 1u);
    EXPECT_EQ(rating->currentText(), "1");
}

// The View menu item shows and hides the list.
TEST_F(ChartListWindow, TheViewMenuTogglesTheList) {
    LoadSong();
    window->OnCommand(32806);
    EXPECT_TRUE(Dock()->isVisible());
    EXPECT_EQ(List()->count(), 1);
    window->OnCommand(32806);
    EXPECT_FALSE(Dock()->isVisible());
}

} // namespace
