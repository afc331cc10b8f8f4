// The two information dialogs the programmer drivers fill with their status
// report: "ISP Information" (program and firmware revisions and a list of
// further lines) and "Information" (a plain text box).
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class TFISPStat : public QDialog {
    Q_OBJECT

  public:
    explicit TFISPStat(QWidget* owner = nullptr);

    // Sets the two revisions and appends the lines to AddInfo; the caller
    // then shows the dialog modally.
    void Fill(const QString& ISPRev, const QString& FirmwareRev, const QStringList& AddInfoTxt);
    // The text "Copy to Clipboard" puts on the clipboard (CR LF lines).
    QString ClipboardText() const;
    void CopyToClipboard();

    QLabel* SoftRev;
    QLabel* FirmRev;
    QListWidget* AddInfo;
    QPushButton* CopyButton;
    QPushButton* CloseButton;
};

class TPrintStatusD : public QDialog {
    Q_OBJECT

  public:
    explicit TPrintStatusD(QWidget* owner = nullptr);

    void Fill(const QString& Caption, const QStringList& Lines);
    // Selects the whole text and copies it to the clipboard.
    void CopyToClipboard();

    QPlainTextEdit* Memo1;
    QPushButton* CopyButton;
    QPushButton* CloseButton;
};
