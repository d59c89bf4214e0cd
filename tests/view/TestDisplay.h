#pragma once

#include "view/CCustomDisplay.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <string>
#include <vector>

namespace view_test {

// A view whose context menu the test answers instead of a user, counting
// its paints and menus.
class TestDisplay : public view::CCustomDisplay {
public:
    using CCustomDisplay::CCustomDisplay;

    QAction* RunContextMenu(QMenu& menu, const QPoint& globalPos) override {
        menuTitle = menu.title().toStdString();
        menuPos = globalPos;
        menuItems.clear();
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            menuItems.push_back(action->text().toStdString());
            chosen = !action->isSeparator() && action->text() == choice ? action : chosen;
        }
        ++menusShown;
        return chosen;
    }

    // One mouse event at client (x, y).
    void Mouse(QEvent::Type type, Qt::MouseButton button, int x, int y,
               Qt::MouseButtons buttons = Qt::NoButton) {
        const QPointF local(x, y);
        QMouseEvent event(type, local, mapToGlobal(local), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(this, &event);
    }
    void Press(Qt::MouseButton button, int x, int y) {
        Mouse(QEvent::MouseButtonPress, button, x, y, button);
    }
    void Click(int x, int y) {
        Press(Qt::LeftButton, x, y);
        Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, x, y);
    }

    int paints = 0;
    int menusShown = 0;
    QString choice;
    std::string menuTitle;
    std::vector<std::string> menuItems;
    QPoint menuPos;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        CCustomDisplay::paintEvent(event);
    }
};

} // namespace view_test
