// The firmware update: the external updater beside the program is run while
// the programmer's port is free, then the driver is rebuilt.
//
// The updater is the program folder's "Firmwareupdater"; where only the
// Windows "Firmwareupdater.exe" is present, it runs through the program
// named by NORVOISP_EXE_RUNNER (for instance "wine"). It is started from an
// argument vector, never through a shell, in the program folder, so that its
// data "firmware/norvoisp" is found there. Its command line (program folder,
// updater, "firmware/norvoisp", the firmware version this program needs) is
// at most 255 characters, as the updater reads it; a longer one is refused.
#include "gui/main_window.h"
#include "ports/process_runner.h"
#include "programmer/unit/parallel_port.h"
#include "programmer/unit/smart_parallel.h"
#include "programmer/unit/smart_serial.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

constexpr qsizetype kCommandLineLimit = 255;

} // namespace

void Tmain::FirmwareUpdate1Click() {
    StartOp(QStringLiteral("Firmware Update: Running Wizard"));
    // The updater talks to the unit itself: the driver lets go of the port
    // (it is rebuilt below in any case) and the shared printer port object
    // is released. A serial driver's port is handed to the updater.
    if (auto* serial = dynamic_cast<TSmartSerial*>(FHardwr.get())) {
        const std::string port = serial->PortTable().Resolve(serial->PortName());
        if (!port.empty() && port[0] == '/') qputenv("NORVOISP_UPDATE_PORT", QByteArray::fromStdString(port));
    }
    if (FHardwr) {
        try {
            FHardwr->HardwareClose();
        } catch (const std::exception&) {
            // A driver that fails to close is replaced all the same.
        }
    }
    ISPClose();
    const QString failure = RunFirmwareUpdater();
    ISPStartUp();
    Switch(DeviceSelector->currentText().toStdString(), SelectedHardware());
    if (failure.isEmpty())
        EndOp(QStringLiteral("Firmware Update: Complete"));
    else
        FailOp(failure);
}

QString Tmain::RunFirmwareUpdater() {
    const QDir folder(FProgramFolder);
    QString updater = folder.filePath(QStringLiteral("Firmwareupdater"));
    QStringList runner;
    if (!QFileInfo::exists(updater)) {
        const QString windowsUpdater = folder.filePath(QStringLiteral("Firmwareupdater.exe"));
        const QStringList configured = QProcess::splitCommand(qEnvironmentVariable("NORVOISP_EXE_RUNNER"));
        if (QFileInfo::exists(windowsUpdater) && !configured.isEmpty()) {
            updater = windowsUpdater;
            runner = configured;
        }
    }
    const QString firmware = QStringLiteral("firmware/norvoisp");
    const QString version = QString::fromStdString(SmartDongle::Softver);
    const QString commandLine = updater + QLatin1Char(' ') + firmware + QLatin1Char(' ') + version;
    if (commandLine.size() > kCommandLineLimit)
        return QStringLiteral("Firmware Update: Command line longer than %1 characters, updater not started")
            .arg(kCommandLineLimit);

    TRunRequest request;
    for (const QString& a : runner)
        request.Args.push_back(a.toStdString());
    for (const QString& a : {updater, firmware, version})
        request.Args.push_back(a.toStdString());
    request.WorkingFolder = FProgramFolder.toStdString();
    request.Limit = FirmwareUpdaterLimit;
    const TRunResult result = RunAndWait(request);
    switch (result.Outcome) {
    case ro_Ended:
        // The updater reports its own outcome to the operator.
        return QString();
    case ro_Killed:
        return QStringLiteral("Firmware Update: Updater did not finish in time and was stopped");
    case ro_NotStarted:
        break;
    }
    return QStringLiteral("Firmware Update: Could not start ") +
           QString::fromStdString(request.Args.front()) + QStringLiteral(" (") +
           QString::fromStdString(result.Error) + QLatin1Char(')');
}
