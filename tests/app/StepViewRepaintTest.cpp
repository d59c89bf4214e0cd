// The window's repaints of the real step view.
#include "WindowFixture.h"
#include "view/CCustomDisplay.h"

namespace {

// The real step view, counting its paints.
class CountingView : public view::CCustomDisplay {
public:
    using CCustomDisplay::CCustomDisplay;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CCustomDisplay::paintEvent(event);
    }
};

// Fixed fault: while paused, changes that did not bump a repaint counter
// showed only at the next tick. Now every change of what the lane shows,
// whatever its source, has its repaint queued by the time the change
// returns: one pass of the event loop paints it, with no timer involved.
// The paused refresh worker paints nothing by itself, so a source that
// forgot would fail here.
TEST_F(Window, EveryChangeWhilePausedIsPaintedAtTheNextPass) {
    CountingView* view = nullptr;
    makeStepView = [&view](QWidget* parent, view::StepViewOwner& owner) -> QWidget* {
        return view = new CountingView(&owner, parent);
    };
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&view] { return view->paints > 0; }, 5000));
    StepMode(120.0f);
    player.Pause();
    const auto clickView = [&](QPoint at) {
        return [=, &view] { QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, at); };
    };
    const auto pressAt = [this](int key, double seconds) {
        return [=, this] {
            player.position = seconds;
            Press(key);
        };
    };
    const struct {
        const char* what;
        std::function<void()> change;
    } changes[] = {
        {"arrow clicked into the lane", clickView({30, 150})},
        {"arrow clicked away", clickView({30, 150})},
        {"seek button", clickView({170, 280})},
        {"arrow key", pressAt(Qt::Key_Up, 2.0)},
        {"Space", pressAt(Qt::Key_Space, 2.0)},
        {"range action",
         [&] {
             window->SetRangeStart(0);
             window->SetRangeEnd(3);
             Control<QComboBox>(1029)->setCurrentIndex(0);
             Click(1030);
         }},
        {"BPM spin", Spinning(1011, 1)},
        {"Gap spin", Spinning(1013, 1)},
        {"Gap Plus HalfBeat", Pressing(1014)},
        {"X2", Pressing(1035)},
        {"X.5", Pressing(1036)},
        {"seek by the player", [&] { player.SetPositionSeconds(4.0); }},
        {"Enter", pressAt(Qt::Key_Return, 4.0)},
        {"tap mode resets the tempo", [&] { window->OnCommand(32779); }},
        {"playing starts", [&] { player.Play(); }},
        {"paused again", [&] { player.Pause(); }},
    };
    for (const auto& change : changes) {
        QApplication::processEvents();
        const int before = view->paints;
        change.change();
        QApplication::processEvents();
        EXPECT_GT(view->paints, before) << change.what;
    }
}

} // namespace
