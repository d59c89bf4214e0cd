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
    if (!folder.empty()) {
        dialog.setDirectory(QString::fromStdString(folder));
    }
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    SetUpFileDialog(dialog, filter, {});
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
    SetUpFileDialog(dialog, filter, defaultSuffix);
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
