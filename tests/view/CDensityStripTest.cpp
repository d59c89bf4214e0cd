// The density strip: a press or a drag asks for the row under the pointer.
#include "view/CDensityStrip.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

TEST(CDensityStrip, PressAndDragAskForTheRowUnderThePointer) {
    struct Case {
        std::int32_t totalRows;
        QEvent::Type type;
        Qt::MouseButtons buttons;
        int y;
        std::int32_t expectedRow; // -1: none asked for
    };
    // Ten measures (1920 rows) on 200 pixels: 9.6 rows a pixel; a longer
    // chart spreads over the strip instead.
    const Case cases[] = {
        {1920, QEvent::MouseButtonPress, Qt::LeftButton, 50, 480},
        {960, QEvent::MouseButtonPress, Qt::LeftButton, 199, 1910}, // measures reach further
        {3840, QEvent::MouseButtonPress, Qt::LeftButton, 50, 960},
        {1920, QEvent::MouseMove, Qt::LeftButton, 250, 1919}, // dragged past the end
        {1920, QEvent::MouseMove, Qt::LeftButton, -5, 0},
        {1920, QEvent::MouseMove, Qt::NoButton, 100, -1},
        {1920, QEvent::MouseButtonPress, Qt::RightButton, 100, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.totalRows << " rows, y " << c.y);
        view::CDensityStrip strip;
        strip.resize(24, 200);
        strip.SetDensity({1, 4, 0, 2, 9, 3, 3, 0, 1, 5}, c.totalRows);
        std::int32_t asked = -1;
        strip.onSeekRow = [&asked](std::int32_t row) { asked = row; };
        const Qt::MouseButton button =
            c.type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButton(c.buttons.toInt());
        QMouseEvent event(c.type, QPointF(10, c.y), QPointF(10, c.y), button, c.buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&strip, &event);
        EXPECT_EQ(asked, c.expectedRow);
    }
}

} // namespace
