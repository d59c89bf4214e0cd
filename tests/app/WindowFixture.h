#pragma once

#include "FakeServices.h"
#include "QtPrinters.h"
#include "app/ChartEditorDlg.h"
#include "app/ColorLabel.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>

// A whole file's bytes; empty when it cannot be read.
inline std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The main window against scripted services, shown on the offscreen
// platform with the keyboard. Step view and player control are blank
// stand-ins unless a test makes them.
class Window : public ::testing::Test {
protected:
    void SetUp() override {
        app::CChartEditorDlg::Services services{player, player, dialogs, clock, estimator,
                                                {},     {},     nullptr, {}};
        services.makeStepView = makeStepView;
        window = std::make_unique<app::CChartEditorDlg>(services);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override { window.reset(); }

    template <typename T = QWidget> T* Control(int id) {
        T* control = window->findChild<T*>(QString::number(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    QString Text(int id) {
        if (auto* edit = window->findChild<QLineEdit*>(QString::number(id))) {
            return edit->text();
        }
        if (auto* label = window->findChild<app::CColorLabel*>(QString::number(id))) {
            return label->Text();
        }
        if (auto* box = window->findChild<QPlainTextEdit*>(QString::number(id))) {
            return box->toPlainText();
        }
        ADD_FAILURE() << "no text control " << id;
        return {};
    }
    QAction* Action(int id) { return window->findChild<QAction*>(QString::number(id)); }
    void Click(int id) { Control<QPushButton>(id)->click(); }

    // A key as the user types it: to the widget with the focus.
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : window.get(), static_cast<Qt::Key>(key), modifiers);
    }

    void LoadSong(float bpm = 150.0f, const std::string& path = "/songs/song.mp3") {
        estimator.result = {bpm, {}};
        dialogs.openPaths.push_back(path);
        window->OnCommand(32771);
        player.duration = 60.0;
        // The progress window took the activation; give it back as the
        // window manager would.
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    fakes::Player player;
    fakes::Dialogs dialogs;
    fakes::Clock clock;
    fakes::Estimator estimator;
    std::function<QWidget*(QWidget*, view::StepViewOwner&)> makeStepView;
    std::unique_ptr<app::CChartEditorDlg> window;
};
