#include "app/QtServices.h"

#include "app/PleaseWaitDlg.h"
#include "app/Settings.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace app {

namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Message texts use CR LF line breaks; a label wants plain LF.
QString MessageText(std::string_view text) {
    return FromView(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The settings' name of a file dialog: "open-" or "save-", then the first
// word of its filter ("DWI Files (*.dwi)": "dwi"), "any" without one.
QString DialogName(const QFileDialog& dialog, std::string_view filter) {
    const QString kind = dialog.acceptMode() == QFileDialog::AcceptSave ? QStringLiteral("save-")
                                                                        : QStringLiteral("open-");
    const QString word = FromView(filter).section(QLatin1Char(' '), 0, 0).toLower();
    return kind + (word.isEmpty() ? QStringLiteral("any") : word);
}

} // namespace

std::optional<std::string> QtUserDialogs::Run(QFileDialog& dialog, std::string_view filter,
                                              const std::string& folder) {
    const QString name = DialogName(dialog, filter);
    if (!folder.empty()) {
        dialog.setDirectory(QString::fromStdString(folder));
    } else if (m_settings != nullptr && !m_settings->LastFolder(name).isEmpty()) {
        dialog.setDirectory(m_settings->LastFolder(name));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    if (m_settings != nullptr) {
        m_settings->SetLastFolder(name, dialog.directory().absolutePath());
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

void QtUserDialogs::ShowMessage(std::string_view text) {
    // Every message says what could not be done: a warning, not news.
    QMessageBox::warning(m_parent, QApplication::applicationDisplayName(), MessageText(text));
}

std::optional<double> QtUserDialogs::AskNumber(std::string_view caption, std::string_view label,
                                               double value, double min, double max, int decimals) {
    bool ok = false;
    const double number = QInputDialog::getDouble(m_parent, FromView(caption), FromView(label),
                                                  value, min, max, decimals, &ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

std::optional<std::string> QtUserDialogs::AskText(std::string_view caption, std::string_view label,
                                                  const std::string& value) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, FromView(caption), FromView(label), QLineEdit::Normal,
                              QString::fromStdString(value), &ok);
    return ok ? std::optional<std::string>(text.toStdString()) : std::nullopt;
}

UserDialogs::SaveChoice QtUserDialogs::AskSaveDiscardCancel(std::string_view text,
                                                            std::string_view caption) {
    QMessageBox box(QMessageBox::Question, FromView(caption), MessageText(text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_parent);
    box.setDefaultButton(QMessageBox::Save);
    // Alt+S and Alt+D whatever the desktop names the buttons; Escape cancels.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    const int answer = box.exec();
    if (answer == QMessageBox::Save) {
        return SaveChoice::kSave;
    }
    return answer == QMessageBox::Discard ? SaveChoice::kDiscard : SaveChoice::kCancel;
}

bool QtUserDialogs::AskYesNo(std::string_view text, std::string_view caption) {
    return QMessageBox::question(m_parent, FromView(caption), MessageText(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void SetUpFileDialog(QFileDialog& dialog, std::string_view filter, std::string_view defaultSuffix) {
    if (!filter.empty()) {
        dialog.setNameFilter(FromView(filter));
    }
    // "*.dwi" must also list the "CHART.DWI" that older tools wrote. Qt's own
    // dialog matches name filters in any case unless its filter holds
    // QDir::CaseSensitive; a desktop's native dialog (GTK's) matches them
    // case-sensitively, so Qt's own is used.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (!defaultSuffix.empty()) {
        dialog.setDefaultSuffix(FromView(defaultSuffix));
    }
}

std::optional<std::string> QtUserDialogs::GetOpenFileName(std::string_view filter) {
    return GetOpenFileNameIn(filter, {});
}

std::optional<std::string> QtUserDialogs::GetOpenFileNameIn(std::string_view filter,
                                                            const std::string& folder) {
    QFileDialog dialog(m_parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    SetUpFileDialog(dialog, filter, {});
    return Run(dialog, filter, folder);
}

std::optional<std::string> QtUserDialogs::GetSaveFileName(std::string_view filter,
                                                          std::string_view defaultSuffix) {
    return GetSaveFileNameProposing(filter, defaultSuffix, {});
}

std::optional<std::string> QtUserDialogs::GetSaveFileNameProposing(std::string_view filter,
                                                                   std::string_view defaultSuffix,
                                                                   const std::string& proposed) {
    QFileDialog dialog(m_parent);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    SetUpFileDialog(dialog, filter, defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    // A name typed without extension takes the chosen type's: the type picks
    // the format the file is written in.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& selected) {
                         const qsizetype star = selected.indexOf(QStringLiteral("*."));
                         if (star >= 0) {
                             const qsizetype end =
                                 selected.indexOf(QRegularExpression(QStringLiteral("[ )]")), star);
                             dialog.setDefaultSuffix(selected.mid(star + 2, end - star - 2));
                         }
                     });
    if (proposed.empty()) {
        return Run(dialog, filter);
    }
    const QFileInfo file(QString::fromStdString(proposed));
    dialog.selectFile(file.fileName());
    return Run(dialog, filter, file.absolutePath().toStdString());
}

void QtUserDialogs::ShowAbout() {
    CAboutDlg about(m_parent);
    about.exec();
}

} // namespace app
