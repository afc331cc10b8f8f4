// Auto Program: the chosen steps (reload, erase, program, verify, next
// serial number) in one run, counted per session, with the run's total time
// on its completion line.
#include "gui/auto_program_dialog.h"
#include "gui/main_window.h"
#include "gui/serial_number_dialog.h"
#include "programmer/isp_programmer.h"

#include <chrono>
#include <memory>
#include <thread>

namespace {

// The pause between steps; it blocks without handling events.
void Wait10ms() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

void Tmain::AutoProgramoptionsExecute() {
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    TAutoProgramDialog dialog(this, FPrompts.ExecDialog);
    dialog.Execute(device && device->EEPROMSize() != 0, device && device->PageSize() == 0, ISPSettings());
}

void Tmain::AutoProgramExecute() {
    if (InAutoProgram || !FHardwr) return;
    InAutoProgram = true;
    auto dialog = std::make_unique<TAutoProgramDialog>(this, FPrompts.ExecDialog);
    try {
        dialog->LoadOptions(ISPSettings());
        // Counted before any step runs: a failed run counts too.
        ++AutoCount;
        if (!dialog->AnyChecked()) {
            const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
            dialog->Execute(device && device->EEPROMSize() != 0, device && device->PageSize() == 0,
                            ISPSettings());
        }
        const auto chosen = [&dialog](int step) { return dialog->Checked(step); };
        AutoOn = true;
        FHardwr->HardwareClose();
        FHardwr->HardwareOpen();
        Wait10ms();
        StartOp(QStringLiteral("Auto Programming Device"));
        SetInOperation(false);
        if (chosen(TAutoProgramDialog::ap_Reload)) {
            ReloadFlashExecute();
            // The reload replaced the buffer, serial number included: the
            // part about to be programmed gets the current number again.
            if (chosen(TAutoProgramDialog::ap_Serial) && FPrjct)
                FSerialNum->RewriteSerialNumber(FPrjct->FlashMemory);
        }
        Wait10ms();
        if (chosen(TAutoProgramDialog::ap_Erase)) DeviceEraseExecute();
        Wait10ms();
        if (chosen(TAutoProgramDialog::ap_Program)) ProgramFlashExecute();
        FHardwr->HardwareClose();
        FHardwr->HardwareOpen();
        Wait10ms();
        if (chosen(TAutoProgramDialog::ap_Verify)) VerifyFlashExecute();
        Wait10ms();
        if (chosen(TAutoProgramDialog::ap_Serial)) {
            // The part just programmed carries the number the buffer held;
            // the next one gets the number after it.
            FSerialNum->IncrementSerial();
            FSerialNum->Button2Click();
            ShowFlashViewer();
        }
    } catch (...) {
        dialog.reset();
        InAutoProgram = false;
        AutoOn = false;
        throw;
    }
    dialog.reset();
    InAutoProgram = false;
    AutoOn = false;
    EndOp(QStringLiteral("Auto Program: Complete (") + QString::number(AutoCount) +
          QStringLiteral(" devices programmed this session)"));
}
