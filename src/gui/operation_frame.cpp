// The operation frame every command runs in, the status message writer and
// its list, the driver's progress callback, cancellation, and the handler
// that turns an exception escaping a command into a warning line.
#include "errors/errors.h"
#include "gui/main_window.h"
#include "gui/status_log.h"
#include "gui/status_panel.h"
#include "kinds/hardware.h"
#include "kinds/kind_table.h"
#include "programmer/isp_programmer.h"
#include "session/failure_report.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <chrono>

void Tmain::SetInOperation(bool Value) {
    FInOperation = Value;
    // The panel's clicks talk to the driver; they wait for the operation.
    if (FFuseForm) FFuseForm->setEnabled(!Value);
    UpdateActions();
}

void Tmain::EnableSelectors(bool Value) {
    DeviceType->setEnabled(Value);
    DeviceSelector->setEnabled(Value);
    HardwareSelector->setEnabled(Value);
}

void Tmain::PumpMessages() {
    QApplication::processEvents();
}

void Tmain::RepaintStatusBar() {
    FStatusColor = TStatusPanel::IndicatorColor(FStatusMessage, FStatusOn);
    StatusPanel->SetState(FStatusMessage, FStatusOn);
    StatusPanel->update();
}

qint64 Tmain::TickCount() const {
    if (FTickCount) return FTickCount();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Tmain::SetStatusMessage(const QString& s2, int StatusType) {
    QString s = s2;
    const qsizetype cr = s.indexOf(QChar(13));
    if (cr >= 0) s.truncate(cr);
    QString ExtInfo;
    const qsizetype bang = s.indexOf(QLatin1Char('!'));
    if (bang >= 0) {
        ExtInfo = s.mid(bang + 1);
        s.truncate(bang);
    }

    int type = 0;
    QString prefix;
    if (StatusType & st_ok) {
        type = st_ok;
        prefix = QStringLiteral("0|");
    } else if (StatusType & st_busy) {
        type = st_busy;
        prefix = QStringLiteral("1|");
    } else if (StatusType & st_warning) {
        type = st_warning;
        prefix = QStringLiteral("2|");
        if (FPrompts.Beep) FPrompts.Beep();
        FStatusOn = true;
        Timer1->start();
    }

    if (type == st_busy && !FBusyCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        FBusyCursor = true;
    } else if (type != st_busy && FBusyCursor) {
        QApplication::restoreOverrideCursor();
        FBusyCursor = false;
    }

    FStatusMessage = prefix + s;
    StatusTextPanel->setText(FStatusMessage);
    RepaintStatusBar();

    if (!s.isEmpty()) StatusList->Append(ExtInfo.isEmpty() ? s : s + QStringLiteral(" - ") + ExtInfo);
    if (type != st_warning) PumpMessages();
}

void Tmain::StartOp(const QString& s) {
    SetInOperation(true);
    SetStatusMessage(s, st_busy);
    EnableSelectors(false);
    OptionsButton->setEnabled(false);
    PumpMessages();
    ResetButton->setText(QStringLiteral("Abort"));
    Timer1->stop();
    FOpstart = TickCount();
    PumpMessages();
    RepaintStatusBar();
}

void Tmain::StartProgressOp(const QString& s) {
    StartOp(s);
    ProgressBar->setFormat(QStringLiteral("%p%"));
    ProgressBar->setRange(0, 1);
    ProgressBar->setValue(0);
    PumpMessages();
}

void Tmain::UpdateStatus(int i, int Max) {
    if (i != -1 && Max != -1) {
        // The maximum comes from the first report of the operation.
        if (ProgressBar->maximum() == 1) ProgressBar->setMaximum(Max);
        ProgressBar->setValue(i);
    }
    PumpMessages();
    if (AbortOp) throw EAbortOp("Operation Aborted");
}

void Tmain::EndOp(const QString& s) {
    ResetButton->setText(QStringLiteral("Reset"));
    AbortOp = false;
    ProgressBar->setRange(0, 1);
    ProgressBar->setValue(0);
    ProgressBar->setFormat(QStringLiteral("Ready..."));
    if (FHardwr) FHardwr->ResetAbort();
    // The operation is over, whether or not a line follows.
    if (FBusyCursor) {
        QApplication::restoreOverrideCursor();
        FBusyCursor = false;
    }
    EnableSelectors(true);
    SetInOperation(false);
    if (FOpstart != 0) {
        FOptime += static_cast<int>(static_cast<quint64>(TickCount() - FOpstart) / 1000);
        FOpstart = 0;
    }
    if (!s.isEmpty()) {
        const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
        SetStatusMessage(s + QStringLiteral(" - ") + two(FOptime / 60) + QLatin1Char(':') + two(FOptime % 60),
                         st_ok);
    }
    Timer1->start();
    RepaintStatusBar();
    if (!AutoOn) FOptime = 0;
}

void Tmain::FailOp(const QString& s) {
    EndOp(QString());
    SetStatusMessage(s, st_warning);
    if (PopUpWarnings1->isChecked()) FPrompts.ShowMessage(this, s);
}

void Tmain::ResetButtonClick() {
    if (FInOperation) {
        // Runs inside the driver's progress report; the driver stops at
        // its next report.
        if (FPrompts.AskYesNo(this, QString(),
                              QStringLiteral("Are you sure you want to cancel the operation?")))
            AbortOp = true;
        return;
    }
    RunCommand([this] {
        if (!FHardwr) return;
        StartOp(QStringLiteral("Reset: Resetting ISP"));
        FHardwr->HardwareClose();
        FHardwr->HardwareOpen();
        FHardwr->Run(PanelResetPolarity());
        EndOp(QStringLiteral("Reset: Complete - Programmer Detected "));
    });
}

bool Tmain::RunCommand(const std::function<void()>& Command) {
    if (FCommandDepth > 0 || FClosing) return false;
    ++FCommandDepth;
    try {
        Command();
    } catch (const EAbort&) {
        // A silent abort: nothing is reported, but no frame stays open.
        if (FInOperation) EndOp(QString());
    } catch (const std::exception& e) {
        AppException(e);
    } catch (...) {
        AppException(Exception("Unknown error"));
    }
    --FCommandDepth;
    UpdateActions();
    UpdateChecksumPanel();
    return true;
}

QString Tmain::FailureText(const std::exception& E) const {
    QString text = ReportText(E);
    // No programmer found where one was opened: the same line says how to
    // go on without hardware.
    const bool notFound = dynamic_cast<const EComError*>(&E) || dynamic_cast<const EISPException*>(&E);
    const THardwareKind* kind = FHardwr ? HardwareKind(FHardwr->HardwareName()) : nullptr;
    if (FOpeningProgrammer && notFound && FHardwr && !(kind && kind->Simulated))
        text += QStringLiteral(" - to try the program without hardware, choose \"") +
                QString::fromUtf8(StandInKind().Caption) + QStringLiteral("\" under Programmer");
    return text;
}

QString Tmain::ReportText(const std::exception& E) const {
    return QString::fromStdString(ReportFailure(E, FHardwr ? FHardwr->HardwareName() : std::string()).Text);
}

void Tmain::AppException(const std::exception& E) {
    EnableSelectors(true);
    SetInOperation(false);
    const QString text = FailureText(E);
    FOpeningProgrammer = false;
    // On a first start the way to go on without a programmer is also said
    // in a box: the status bar has room for the start of the line only.
    const bool advise = FFirstStart && text != ReportText(E);
    FFirstStart = false;
    const QString msg = QString::fromUtf8(E.what());

    if (dynamic_cast<const EFirmwareMisMatch*>(&E)) {
        FailOp(text);
        if (!FPrompts.AskOkCancel(
                this, QStringLiteral("Firmware Update Required"),
                QStringLiteral("Your ISP requires a firmware update to continue, please click OK "
                               "to start the update wizard")))
            return;
        try {
            FirmwareUpdate1Click();
        } catch (const EFirmwareMisMatch&) {
            if (FInOperation) EndOp(QString());
            FPrompts.ErrorBox(
                this, QStringLiteral("Firmware Update Required"),
                QStringLiteral("Firmware update failed.  Due to a software version mismatch.  Please "
                               "re-install the ISP software or contact Tessel Support for advice."));
        } catch (const EAbort&) {
            if (FInOperation) EndOp(QString());
        } catch (const std::exception& again) {
            // Reported like any failure of a command.
            AppException(again);
        }
    } else if (dynamic_cast<const EComError*>(&E) || dynamic_cast<const EISPException*>(&E) ||
               dynamic_cast<const EAbortOp*>(&E) || dynamic_cast<const EVerifyError*>(&E)) {
        FailOp(text);
        if (advise)
            FPrompts.ShowMessage(this,
                                 QStringLiteral("No programmer was found:\n") + ReportText(E) +
                                     QStringLiteral("\n\nTo try the program without hardware, choose \"") +
                                     QString::fromUtf8(StandInKind().Caption) +
                                     QStringLiteral("\" under Programmer in the tool bar."));
    } else {
        FPrompts.ErrorBox(this, QString(), msg);
        FailOp(text);
    }
}

void Tmain::ClearStatus1Click() {
    StatusList->Clear();
    Timer1->stop();
    SetStatusMessage(QString(), 0);
}

void Tmain::SaveStatusLog1Click() {
    const QString file = FPrompts.GetSaveFileName(this, QStringLiteral("Save Status Log"), QString(),
                                                  QStringLiteral("Status Log (*.log)"));
    if (file.isEmpty()) return;
    StatusList->SaveToFile(file);
}

void Tmain::Timer1Timer() {
    if (!FStatusMessage.startsWith(QLatin1Char('2'))) return;
    FStatusOn = !FStatusOn;
    RepaintStatusBar();
}
