#include "app/QtServices.h"

#include "app/PleaseWaitDlg.h"
#include "app/Settings.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

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

std::optional<std::string> QtUserDialogs::Run(QFileDialog& dialog, std::string_view filter) {
    const QString name = DialogName(dialog, filter);
    if (m_settings != nullptr && !m_settings->LastFolder(name).isEmpty()) {
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
    QMessageBox::information(m_parent, QApplication::applicationDisplayName(), MessageText(text));
}

bool QtUserDialogs::AskYesNo(std::string_view text, std::string_view caption) {
    return QMessageBox::question(m_parent, FromView(caption), MessageText(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<std::string> QtUserDialogs::GetOpenFileName(std::string_view filter) {
    QFileDialog dialog(m_parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!filter.empty()) {
        dialog.setNameFilter(FromView(filter));
    }
    return Run(dialog, filter);
}

std::optional<std::string> QtUserDialogs::GetSaveFileName(std::string_view filter,
                                                          std::string_view defaultSuffix) {
    QFileDialog dialog(m_parent);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(FromView(filter));
    dialog.setDefaultSuffix(FromView(defaultSuffix));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    return Run(dialog, filter);
}

void QtUserDialogs::ShowAbout() {
    CAboutDlg about(m_parent);
    about.exec();
}

} // namespace app
