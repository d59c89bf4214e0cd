#pragma once

#include "FakeServices.h"
#include "app/ChartEditorDlg.h"
#include "app/ColorLabel.h"
#include "app/CommandIds.h"
#include "app/KeyRouting.h"
#include "app/Settings.h"
#include "app/SpinButton.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

// A whole file's bytes; empty when it cannot be read.
inline std::string FileText(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// An empty folder of its own under the test build's scratch folder.
inline std::string TempFolder(const std::string& name) {
    const std::filesystem::path folder = std::filesystem::path(BEATWRIGHT_TEST_TMP) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string();
}

// Writes text to folder/name, returning the path.
inline std::string WriteFile(const std::string& folder, const std::string& name,
                             const std::string& text) {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// The button of a window or dialog that shows `text`.
inline QPushButton* ButtonOf(QWidget& parent, const QString& text) {
    for (QPushButton* button : parent.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// The main window against scripted services, shown on the offscreen
// platform with the keyboard. Step view and player control are blank
// stand-ins unless a test makes them; settings only after UseSettings().
class Window : public ::testing::Test {
protected:
    void SetUp() override { Start(); }
    void TearDown() override {
        window.reset();
        qunsetenv("XDG_CONFIG_HOME");
    }

    // A fresh run of the program on the same services.
    void Start() {
        window.reset();
        if (configDir) {
            settings.reset(); // written out before the next run reads them
            settings = std::make_unique<app::Settings>();
        }
        app::CChartEditorDlg::Services services{player, player,         dialogs,
                                                clock,  estimator,      {},
                                                {},     settings.get(), makeCalibrationPlayer};
        services.makeStepView = makeStepView;
        window = std::make_unique<app::CChartEditorDlg>(services);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // From now on runs keep their settings in a config folder of their own.
    void UseSettings() {
        configDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", configDir->path().toUtf8());
        Start();
    }

    template <typename T = QWidget> T* Control(int id) {
        T* control = window->findChild<T*>(QString::number(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    // What a box, read-out, text box or list shows.
    QString Text(int id) {
        QWidget* control = Control(id);
        if (auto* label = dynamic_cast<app::CColorLabel*>(control)) {
            return label->Text();
        }
        for (const char* property : {"text", "plainText", "currentText"}) {
            if (const QVariant text = control ? control->property(property) : QVariant();
                text.isValid()) {
                return text.toString();
            }
        }
        return "(no text)";
    }
    // Several controls' texts joined by |: one comparison for a part of the window.
    QString Texts(std::initializer_list<int> ids) {
        QStringList texts;
        for (int id : ids) {
            texts << Text(id);
        }
        return texts.join('|');
    }
    QAction* Action(int id) { return window->findChild<QAction*>(QString::number(id)); }
    void Click(int id) { Control<QPushButton>(id)->click(); }

    // Steps for tables: a button pressed, at a song time, or a spin stepped.
    std::function<void()> Pressing(int id, int times = 1, std::optional<double> atSeconds = {}) {
        return [=, this] {
            if (atSeconds) {
                player.position = *atSeconds;
            }
            for (int i = 0; i < times; ++i) {
                Click(id);
            }
        };
    }
    std::function<void()> Spinning(int id, int delta, int times = 1) {
        return [=, this] {
            for (int i = 0; i < times; ++i) {
                Control<app::CSpinButton>(id)->Step(delta);
            }
        };
    }

    // A key as the user types it: to the widget with the focus.
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : window.get(), static_cast<Qt::Key>(key), modifiers);
    }
    // A held key: pressed with the song at one time, released at another.
    void HoldKey(int key, double pressSeconds, double releaseSeconds,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        player.position = pressSeconds;
        QTest::keyPress(target, static_cast<Qt::Key>(key), modifiers);
        player.position = releaseSeconds;
        QTest::keyRelease(target, static_cast<Qt::Key>(key), modifiers);
        // Releases wait to be told from the desktop's auto-repeat.
        QTest::qWait(app::ReleaseHoldBack::kWaitMs + 50); // and the timer, late on a busy machine
    }

    void LoadSong(float bpm = 150.0f, const std::string& path = "/songs/song.mp3") {
        estimator.result = {bpm, {}};
        dialogs.openPaths.push_back(path);
        window->OnCommand(app::kCmdOpenMusicFile);
        player.duration = 60.0;
        // The progress window took the activation; give it back as the
        // window manager would.
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void StepMode(float bpm = 120.0f) {
        LoadSong(bpm);
        window->OnCommand(app::kCmdStepInputMode);
    }
    // Imports a .dwi through the menu, answering the chart questions.
    void Import(const std::string& path, std::deque<bool> answers = {}) {
        dialogs.answers = std::move(answers);
        dialogs.openPaths.push_back(path);
        window->OnCommand(app::kCmdImportDwiFile);
    }
    const chart::SongChart& Shown() { return *window->Editor().Selected(); }

    fakes::Player player;
    fakes::Dialogs dialogs;
    fakes::Clock clock;
    fakes::Estimator estimator;
    std::unique_ptr<QTemporaryDir> configDir;
    std::unique_ptr<app::Settings> settings;
    std::function<QWidget*(QWidget*, view::StepViewOwner&)> makeStepView;
    std::function<std::unique_ptr<player::MediaPlayer>()> makeCalibrationPlayer;
    std::unique_ptr<app::CChartEditorDlg> window;
};
