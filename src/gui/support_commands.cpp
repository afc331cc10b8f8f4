// The read-me display and the about box.
#include "errors/errors.h"
#include "gui/main_window.h"
#include "gui/status_log.h"
#include "gui/version_info.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QStringDecoder>

QString Tmain::ReadMeFile() const {
    return QDir(FProgramFolder).filePath(QStringLiteral("readme.txt"));
}

void Tmain::ViewReadMeExecute() {
    StartOp(QStringLiteral("README: Loading File"));
    QFile file(ReadMeFile());
    if (!file.open(QIODevice::ReadOnly))
        throw Exception("Cannot open file \"" + ReadMeFile().toStdString() + "\". " +
                        file.errorString().toStdString());
    const QByteArray bytes = file.readAll();
    // UTF-8 when the file is valid UTF-8, otherwise the Western code page.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    StatusList->Clear();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        StatusList->Append(line);
    }
    ShowStatusPage();
    EndOp(QStringLiteral("README: File Loaded Successfully"));
}

QString Tmain::AboutText() const {
    return AppTitle + QStringLiteral("\nVersion: v") + FI().FileVersion();
}

void Tmain::About1Click(bool ShiftHeld) {
    if (ShiftHeld) {
        // The Support menu stays visible until the program ends.
        SupportMenu->menuAction()->setVisible(true);
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("About"), AboutText(), QMessageBox::Ok, this);
    FPrompts.ExecDialog(box);
}
