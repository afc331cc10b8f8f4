// The modal boxes, file dialogs and the beep of the main window, behind
// replaceable functions. The defaults show the real Qt boxes; a test installs
// its own answers so that no modal loop waits for a person.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QWidget;

// A file dialog that keeps its state between uses: what it opens on, and
// what the operator chose.
struct TFileRequest {
    QString Title;
    // The file it opens on (its folder and name); the chosen file on return.
    QString FileName;
    // The folder it opens in when FileName names none.
    QString Folder;
    // Qt filter entries ("Name (*)"); FilterIndex is the 0-based entry
    // chosen, in and out.
    QStringList Filters;
    int FilterIndex = 0;
    // Appended to a typed name without an extension.
    QString DefaultSuffix;
    bool Save = false;
    // Save: ask before replacing an existing file.
    bool ConfirmOverwrite = false;
    // Ask before a file that does not exist is created.
    bool ConfirmCreate = false;
};

struct TUserPrompts {
    // Information box with an OK button (ShowMessage).
    std::function<void(QWidget* parent, const QString& text)> ShowMessage;
    // Error box with an OK button.
    std::function<void(QWidget* parent, const QString& title, const QString& text)> ErrorBox;
    // Question with Yes and No; true for Yes.
    std::function<bool(QWidget* parent, const QString& title, const QString& text)> AskYesNo;
    // Question with OK and Cancel; true for OK.
    std::function<bool(QWidget* parent, const QString& title, const QString& text)> AskOkCancel;
    // Save dialog: the chosen file, empty when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& folder,
                          const QString& filter)>
        GetSaveFileName;
    // Open dialog: the chosen existing file, empty when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& folder,
                          const QString& filter)>
        GetOpenFileName;
    // Open or save dialog driven by a request: false when cancelled,
    // otherwise the request carries the chosen file and filter entry.
    std::function<bool(QWidget* parent, TFileRequest& request)> FileDialog;
    // Runs a dialog modally; its result code (QDialog::Accepted, Rejected).
    std::function<int(QDialog& dialog)> ExecDialog;
    // The audible warning.
    std::function<void()> Beep;

    // The real boxes and dialogs.
    static TUserPrompts Standard();
};
