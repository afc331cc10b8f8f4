// The commands that act on the target device through the current driver:
// program, read and verify the EEPROM, erase, the 25C status register, and
// the programmer's options and information.
#include "errors/errors.h"
#include "gui/hex_view.h"
#include "gui/main_window.h"
#include "gui/version_info.h"
#include "programmer/isp_programmer.h"

void Tmain::ProgramFlashExecute() {
    HandOverOrganisation();
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (!FHardwr || !device || device->FlashSize() <= 0) return;
    StartProgressOp(QStringLiteral("EEPROM: Programming"));
    try {
        FHardwr->ProgramFlash(FPrjct->FlashMemory);
    } catch (...) {
        // The bytes already marked show their status.
        ShowFlashViewer();
        throw;
    }
    ShowFlashViewer();
    EndOp(QStringLiteral("EEPROM: Programming Complete"));
}

void Tmain::ReadFlashExecute() {
    HandOverOrganisation();
    if (!FHardwr || !FPrjct) return;
    StartProgressOp(QStringLiteral("EEPROM: Reading"));
    try {
        FPrjct->FlashMemory.Clear();
        FHardwr->ReadFlash(FPrjct->FlashMemory);
    } catch (...) {
        ShowFlashViewer();
        throw;
    }
    ShowFlashViewer();
    EndOp(QStringLiteral("EEPROM: Read Complete"));
}

void Tmain::VerifyFlashExecute() {
    HandOverOrganisation();
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (!FHardwr || !device || device->FlashSize() <= 0) return;
    StartProgressOp(QStringLiteral("EEPROM: Verifying"));
    try {
        FHardwr->VerifyFlash(FPrjct->FlashMemory);
    } catch (...) {
        ShowFlashViewer();
        throw;
    }
    ShowFlashViewer();
    EndOp(QStringLiteral("EEPROM: Verify Complete"));
}

void Tmain::DeviceEraseExecute() {
    if (!FHardwr) return;
    StartOp(QStringLiteral("Erase: Erasing Device"));
    FHardwr->EraseDevice();
    EndOp(QStringLiteral("Erase: Complete"));
}

void Tmain::ProgramFusesExecute() {
    if (!FHardwr || !FFuseForm) return;
    StartOp(QStringLiteral("Programming: STATUS REGISTER"));
    const std::uint8_t b = FFuseForm->GetStatusReg();
    FHardwr->WriteOptionByte(b);
    EndOp(QStringLiteral("STATUS REGISTER: Programmed "));
}

void Tmain::ReadFusesExecute() {
    if (!FHardwr || !FFuseForm) return;
    StartOp(QStringLiteral("STATUS REGISTER: Reading"));
    ShowFusesPage();
    const std::uint8_t b = FHardwr->ReadOptionByte();
    FFuseForm->SetStatusReg(b);
    EndOp(QStringLiteral("STATUS REGISTER: Read Complete"));
}

void Tmain::ProgrammerOptionsExecute() {
    if (!FHardwr || !FHardwr->HasOptions()) return;
    StartOp(QStringLiteral("Changing ISP Options"));
    try {
        FHardwr->AskOptions();
    } catch (const EAbort&) {
        // The operator cancelled the dialog: an ordinary end.
        EndOp(QStringLiteral("Options Cancelled"));
        return;
    }
    EndOp(QStringLiteral("Options Set; Programmer Detected "));
}

void Tmain::ProgrammerStatusExecute() {
    if (!FHardwr || !FHardwr->HasStatus()) return;
    StartOp(QStringLiteral("Status: Retrieving Status"));
    FHardwr->ShowStatus(FI().FileVersion().toStdString());
    EndOp(QStringLiteral("Status: Operation Complete"));
}
