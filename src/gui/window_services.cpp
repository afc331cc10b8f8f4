// What the drivers (TDriverHost) and the status register panel
// (TFuseFormOwner) ask of the main window.
#include "gui/isp_information.h"
#include "gui/main_window.h"
#include "gui/options_form_dialog.h"
#include "gui/port_options_dialog.h"
#include "gui/status_log.h"
#include "ports/serial_port_list.h"
#include "programmer/unit/smart_parallel.h"
#include "programmer/unit/smart_serial.h"

#include <QDialog>
#include <QTabWidget>

const TFusePanel* Tmain::FusePanel() const {
    return FFuseForm;
}

void Tmain::AddStatusLine(const std::string& Line) {
    StatusList->Append(QString::fromStdString(Line));
}

void Tmain::ClearStatusLog() {
    StatusList->Clear();
}

std::function<int(QDialog&)> Tmain::OptionsDialogExec() {
    // A driver may take a cancelled dialog without a word (the serial kind
    // does); the window notes the answer so that its line says what happened.
    return [this](QDialog& d) {
        const int result = FPrompts.ExecDialog(d);
        FOptionsCancelled = result != QDialog::Accepted;
        return result;
    };
}

std::unique_ptr<TPortOptionsDialog> Tmain::CreateOptionsDialog() {
    auto dialog = std::make_unique<Tfispgold>(this, CurrentDevice(), OptionsDialogExec());
    // The serial kind's port names stand for device paths through its table.
    dialog->SetComPortPaths([this](int Number) -> std::string {
        const auto* serial = dynamic_cast<const TSmartSerial*>(Hardwr());
        if (!serial) return {};
        return serial->CommDriver() ? serial->CommDriver()->PortTable().PathOf(Number)
                                    : serial->PortTable().PathOf(Number);
    });
    // The system's description of each device, listed once for the dialog.
    if (dynamic_cast<const TSmartSerial*>(Hardwr())) {
        dialog->SetComPortDescriptions([ports = ListSerialPorts()](const std::string& Path) -> std::string {
            const TSerialPortInfo* p = FindSerialPort(ports, Path);
            return p ? DescribeSerialPort(*p) : std::string();
        });
    }
    return dialog;
}

bool Tmain::ShowOptionsForm(TOptionsForm& Form) {
    TOptionsFormDialog dialog(this, Form, OptionsDialogExec());
    return dialog.Execute(Form);
}

void Tmain::ShowInformation(const std::string& Caption, const std::vector<std::string>& Lines,
                            const std::string& Version, const std::string& Firmware) {
    QStringList lines;
    for (const std::string& l : Lines)
        lines.append(QString::fromStdString(l));
    if (Caption == "ISP Information") {
        TFISPStat dialog(this);
        dialog.Fill(QString::fromStdString(Version), QString::fromStdString(Firmware), lines);
        FPrompts.ExecDialog(dialog);
    } else {
        TPrintStatusD dialog(this);
        dialog.Fill(QString::fromStdString(Caption), lines);
        FPrompts.ExecDialog(dialog);
    }
}

QWidget* Tmain::PanelParent() {
    return FusesTab;
}

TDevice* Tmain::CurrentDevice() {
    return FPrjct ? FPrjct->Device() : nullptr;
}

void Tmain::SetDriverPageSize(int Value) {
    SmartDongle::PageSize = Value;
}

void Tmain::SetDriverClockSpeed(int Value) {
    SmartDongle::ClockSpeed = Value;
}

void Tmain::RunPanelCommand(const std::function<void()>& Handler) {
    RunCommand(Handler);
}
