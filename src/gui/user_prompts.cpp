#include "gui/user_prompts.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

TUserPrompts TUserPrompts::Standard() {
    TUserPrompts p;
    p.ShowMessage = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
    };
    p.ErrorBox = [](QWidget* parent, const QString& title, const QString& text) {
        QMessageBox::critical(parent, title.isEmpty() ? QApplication::applicationDisplayName() : title, text,
                              QMessageBox::Ok);
    };
    p.AskYesNo = [](QWidget* parent, const QString& title, const QString& text) {
        return QMessageBox::question(parent, title.isEmpty() ? QApplication::applicationDisplayName() : title,
                                     text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    p.AskOkCancel = [](QWidget* parent, const QString& title, const QString& text) {
        return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    };
    p.GetSaveFileName = [](QWidget* parent, const QString& title, const QString& folder,
                           const QString& filter) {
        return QFileDialog::getSaveFileName(parent, title, folder, filter);
    };
    p.GetOpenFileName = [](QWidget* parent, const QString& title, const QString& folder,
                           const QString& filter) {
        return QFileDialog::getOpenFileName(parent, title, folder, filter);
    };
    p.ExecDialog = [](QDialog& dialog) { return dialog.exec(); };
    p.Beep = [] { QApplication::beep(); };
    return p;
}
