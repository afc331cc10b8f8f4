// The read-me display and the about box.
#include "buffer/checksums.h"
#include "errors/errors.h"
#include "gui/main_window.h"
#include "gui/status_log.h"
#include "gui/version_info.h"
#include "ports/serial_port_list.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStringDecoder>

#ifndef NORVOISP_LICENSE
#define NORVOISP_LICENSE ""
#endif
#ifndef NORVOISP_UDEV_RULE
#define NORVOISP_UDEV_RULE "/usr/lib/udev/rules.d/60-norvoisp.rules"
#endif

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
    QStringList lines{AppTitle, QStringLiteral("Version: v") + FI().FileVersion(), QString()};
    lines << QStringLiteral("An in-system programmer for serial EEPROMs: 24C (I2C), 25C (SPI) and 93C "
                            "(Microwire) parts, through the programmer unit on a serial or printer port, "
                            "a CH341A USB board, or the simulated unit when there is no hardware.")
          << QString();
    const QString licence = QStringLiteral(NORVOISP_LICENSE);
    lines << QStringLiteral("Licence: ") +
                 (licence.isEmpty() ? QStringLiteral("none is named for this build") : licence);
    lines << QStringLiteral("Qt ") + QString::fromLatin1(qVersion()) + QStringLiteral(" (built with ") +
                 QStringLiteral(QT_VERSION_STR) + QStringLiteral("), available under the LGPL");
    lines << QStringLiteral("Libraries: ") + QString::fromStdString(SerialPortLibrary()) +
                 QStringLiteral(", ") + QString::fromStdString(ChecksumLibraries()) +
                 QStringLiteral("; libusb-1.0 is loaded when a CH341A is first looked for");
    lines << QString();
    // Where the files a first installation needs are: the unit's firmware
    // that Help > Firmware Update writes, and the udev rule that gives the
    // user access to the adapters.
    const QString firmware = QDir(FProgramFolder).filePath(QStringLiteral("firmware/norvoisp.hex"));
    lines << QStringLiteral("Unit firmware: ") + QDir::toNativeSeparators(firmware) +
                 (QFileInfo::exists(firmware) ? QString() : QStringLiteral(" (not in this build)"));
    const QString rule = QStringLiteral(NORVOISP_UDEV_RULE);
    QString installed;
    for (const QString& r : {rule, QStringLiteral("/etc/udev/rules.d/60-norvoisp.rules"),
                             QStringLiteral("/usr/lib/udev/rules.d/60-norvoisp.rules")})
        if (installed.isEmpty() && QFileInfo::exists(r)) installed = r;
    lines << QStringLiteral("udev rule: ") +
                 (installed.isEmpty() ? rule + QStringLiteral(" (not installed here)") : installed);
    return lines.join(QLatin1Char('\n'));
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
