// The modal boxes, file dialogs and the beep of the main window, behind
// replaceable functions. The defaults show the real Qt boxes; a test installs
// its own answers so that no modal loop waits for a person.
#pragma once

#include <QString>

#include <functional>

class QDialog;
class QWidget;

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
    // Runs a dialog modally; its result code (QDialog::Accepted, Rejected).
    std::function<int(QDialog& dialog)> ExecDialog;
    // The audible warning.
    std::function<void()> Beep;

    // The real boxes and dialogs.
    static TUserPrompts Standard();
};
