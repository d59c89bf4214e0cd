#include "app/NoteKindMenu.h"

#include "edit/SongEditor.h"
#include "view/CCustomDisplay.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

namespace app {

namespace {

constexpr int kRefusalShownMs = 5000;

QMenu* EditMenuOf(QMainWindow& window) {
    for (QAction* top : window.menuBar()->actions()) {
        if (top->menu() != nullptr && top->text() == QStringLiteral("&Edit")) {
            return top->menu();
        }
    }
    return window.menuBar()->addMenu(QStringLiteral("&Edit"));
}

QString KindName(chart::NoteKind kind) {
    switch (kind) {
    case chart::NoteKind::Roll:
        return QStringLiteral("rolls");
    case chart::NoteKind::Mine:
        return QStringLiteral("mines");
    case chart::NoteKind::Lift:
        return QStringLiteral("lifts");
    case chart::NoteKind::Fake:
        return QStringLiteral("fakes");
    default:
        return QStringLiteral("such notes");
    }
}

} // namespace

NoteKindMenu::NoteKindMenu(edit::SongEditor& editor, QMainWindow& window)
    : QObject(&window), m_editor(editor), m_window(window) {
    m_menu = EditMenuOf(window)->addMenu(QStringLiteral("Note &Kind"));
    m_menu->setObjectName(QStringLiteral("noteKind"));
    m_menu->setToolTipsVisible(true);
    auto* group = new QActionGroup(this);
    const struct {
        const char* text;
        chart::NoteKind kind;
        Qt::Key key;
    } items[] = {{"&Tap", chart::NoteKind::Normal, Qt::Key_1},
                 {"&Roll", chart::NoteKind::Roll, Qt::Key_2},
                 {"&Mine", chart::NoteKind::Mine, Qt::Key_3},
                 {"&Lift", chart::NoteKind::Lift, Qt::Key_4},
                 {"&Fake", chart::NoteKind::Fake, Qt::Key_5}};
    for (const auto& item : items) {
        QAction* action = m_menu->addAction(QString::fromLatin1(item.text));
        action->setCheckable(true);
        action->setShortcut(QKeySequence(Qt::CTRL | item.key));
        action->setChecked(item.kind == editor.ChosenEntryKind());
        group->addAction(action);
        const chart::NoteKind kind = item.kind;
        connect(action, &QAction::triggered, this, [this, kind] { Choose(kind); });
        m_items.emplace_back(kind, action);
    }
    connect(m_menu, &QMenu::aboutToShow, this, [this] { ShowEnabled(); });
    // Shortcuts of disabled items do nothing; enabled again once the menu
    // closes, a shortcut reaches Choose, which says why when it refuses.
    connect(m_menu, &QMenu::aboutToHide, this, [this] {
        for (const auto& item : m_items) {
            item.second->setEnabled(true);
        }
    });
    if (auto* view = window.findChild<view::CCustomDisplay*>(QStringLiteral("1016"))) {
        connect(view, &view::CCustomDisplay::MineClicked, this,
                [this](std::int32_t row, std::uint8_t column) {
                    if (!edit::FormatHolds(m_editor.Song().format, chart::NoteKind::Mine)) {
                        Tell(RefusalText(chart::NoteKind::Mine));
                        return;
                    }
                    m_editor.PutNote(row, column, chart::NoteKind::Mine);
                });
    }
}

QString NoteKindMenu::RefusalText(chart::NoteKind kind) {
    return QStringLiteral("A .dwi file holds taps and holds only: no %1.").arg(KindName(kind));
}

bool NoteKindMenu::Choose(chart::NoteKind kind) {
    const bool fits = edit::FormatHolds(m_editor.Song().format, kind);
    if (fits) {
        m_editor.SetEntryKind(kind);
    } else {
        Tell(RefusalText(kind));
    }
    for (const auto& [itemKind, action] : m_items) {
        action->setChecked(itemKind == m_editor.EntryKind());
    }
    return fits;
}

// Followed when the menu opens: the song may have changed format since.
void NoteKindMenu::ShowEnabled() {
    const chart::SongFormat format = m_editor.Song().format;
    for (const auto& [kind, action] : m_items) {
        const bool fits = edit::FormatHolds(format, kind);
        action->setEnabled(fits);
        action->setToolTip(fits ? QString() : RefusalText(kind));
        action->setChecked(kind == m_editor.EntryKind());
    }
}

void NoteKindMenu::Tell(const QString& text) {
    m_window.statusBar()->showMessage(text, kRefusalShownMs);
}

} // namespace app
