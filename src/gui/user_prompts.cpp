#include "gui/user_prompts.h"

#include "gui/app_identity.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

TUserPrompts TUserPrompts::Standard() {
    TUserPrompts p;
    p.ShowMessage = [](QWidget* parent, const QString& text) {
        QMessageBox::information(parent, ApplicationTitle(), text, QMessageBox::Ok);
    };
    p.ErrorBox = [](QWidget* parent, const QString& title, const QString& text) {
        QMessageBox::critical(parent, title.isEmpty() ? ApplicationTitle() : title, text, QMessageBox::Ok);
    };
    p.AskYesNo = [](QWidget* parent, const QString& title, const QString& text) {
        return QMessageBox::question(parent, title.isEmpty() ? ApplicationTitle() : title, text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
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
    p.FileDialog = [](QWidget* parent, TFileRequest& request) {
        QFileDialog d(parent, request.Title);
        d.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        d.setFileMode(request.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        d.setOption(QFileDialog::DontConfirmOverwrite, !request.ConfirmOverwrite);
        if (!request.Filters.isEmpty()) {
            d.setNameFilters(request.Filters);
            if (request.FilterIndex >= 0 && request.FilterIndex < request.Filters.size())
                d.selectNameFilter(request.Filters[request.FilterIndex]);
        }
        if (!request.DefaultSuffix.isEmpty()) d.setDefaultSuffix(request.DefaultSuffix);
        const QFileInfo last(request.FileName);
        if (!request.FileName.isEmpty() && last.absoluteDir().exists()) {
            d.setDirectory(last.absolutePath());
            d.selectFile(last.fileName());
        } else if (!request.Folder.isEmpty()) {
            d.setDirectory(request.Folder);
        }
        if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
        const QString file = d.selectedFiles().constFirst();
        if (request.ConfirmCreate && !QFileInfo::exists(file) &&
            QMessageBox::question(d.parentWidget(), request.Title,
                                  file + QStringLiteral("\nThis file does not exist. Create the file?"),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
            return false;
        request.FileName = file;
        request.FilterIndex = static_cast<int>(request.Filters.indexOf(d.selectedNameFilter()));
        return true;
    };
    p.ExecDialog = [](QDialog& dialog) { return dialog.exec(); };
    p.Beep = [] { QApplication::beep(); };
    return p;
}
