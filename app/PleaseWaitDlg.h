#pragma once

#include <QDialog>

class QLabel;

namespace app {

// The small progress window of the tempo estimate. It has no close box and
// ignores Escape: it goes away when the run ends.
class CPleaseWaitDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPleaseWaitDlg(QWidget* parent = nullptr);

    // Shows "Calculating BPM...N%"; repaints only when the number changes.
    void SetPercent(int percent);
    // Shows another text, for waits that are not the tempo estimate.
    void SetText(const QString& text);
    QString ProgressText() const;

protected:
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_progress;
    int m_percent = 0;
};

// The progress window's texts while a .dwi file is read or written.
inline constexpr char kReadingDwiText[] = "Reading DWI file...";
inline constexpr char kWritingDwiText[] = "Saving DWI file...";

// The About box.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace app
