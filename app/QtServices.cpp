#include "app/QtServices.h"

#include "app/PleaseWaitDlg.h"

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

} // namespace

void QtUserDialogs::ShowMessage(std::string_view text) {
    QMessageBox::information(m_parent, QApplication::applicationDisplayName(), MessageText(text));
}

bool QtUserDialogs::AskYesNo(std::string_view text, std::string_view caption) {
    return QMessageBox::question(m_parent, FromView(caption), MessageText(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<std::string> QtUserDialogs::GetOpenFileName(std::string_view filter) {
    return GetOpenFileNameIn(filter, {});
}

std::optional<std::string> QtUserDialogs::GetOpenFileNameIn(std::string_view filter,
                                                            const std::string& folder) {
    QFileDialog dialog(m_parent);
    if (!folder.empty()) {
        dialog.setDirectory(QString::fromStdString(folder));
    }
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!filter.empty()) {
        dialog.setNameFilter(FromView(filter));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

std::optional<std::string> QtUserDialogs::GetSaveFileName(std::string_view filter,
                                                          std::string_view defaultSuffix) {
    QFileDialog dialog(m_parent);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(FromView(filter));
    dialog.setDefaultSuffix(FromView(defaultSuffix));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

void QtUserDialogs::ShowAbout() {
    CAboutDlg about(m_parent);
    about.exec();
}

} // namespace app
