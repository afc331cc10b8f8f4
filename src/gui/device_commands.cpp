// The commands that act on the target device through the current driver:
// program, read and verify the EEPROM, erase, the 25C status register, and
// the programmer's options and information.
#include "errors/errors.h"
#include "gui/hex_view.h"
#include "gui/main_window.h"
#include "gui/version_info.h"
#include "programmer/isp_programmer.h"

void Tmain::FlashOperation(const QString& Busy, const QString& Complete, const std::function<void()>& Work) {
    StartProgressOp(Busy);
    try {
        Work();
    } catch (...) {
        // The bytes already marked show their status.
        ShowFlashViewer();
        throw;
    }
    ShowFlashViewer();
    EndOp(Complete);
}

void Tmain::ProgramFlashExecute() {
    HandOverOrganisation();
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (!FHardwr || !device || device->FlashSize() <= 0) return;
    FlashOperation(QStringLiteral("EEPROM: Programming"), QStringLiteral("EEPROM: Programming Complete"),
                   [this] { FHardwr->ProgramFlash(FPrjct->FlashMemory); });
}

void Tmain::ReadFlashExecute() {
    HandOverOrganisation();
    if (!FHardwr || !FPrjct) return;
    FlashOperation(QStringLiteral("EEPROM: Reading"), QStringLiteral("EEPROM: Read Complete"), [this] {
        FPrjct->FlashMemory.Clear();
        // From here on the buffer holds the chip's bytes, also when the read
        // stops part way; the caption says so.
        SetBufferOrigin(TBufferOrigin::Chip);
        FlashTabShow();
        FHardwr->ReadFlash(FPrjct->FlashMemory);
        SetBufferOrigin(TBufferOrigin::Chip);
    });
}

void Tmain::VerifyFlashExecute() {
    HandOverOrganisation();
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (!FHardwr || !device || device->FlashSize() <= 0) return;
    FlashOperation(QStringLiteral("EEPROM: Verifying"), QStringLiteral("EEPROM: Verify Complete"),
                   [this] { FHardwr->VerifyFlash(FPrjct->FlashMemory); });
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
    FOptionsCancelled = false;
    try {
        FHardwr->AskOptions();
    } catch (const EAbort&) {
        // The operator cancelled the dialog: an ordinary end.
        EndOp(QStringLiteral("Options Cancelled"));
        return;
    }
    // Also a driver that takes the cancel silently has set nothing.
    EndOp(FOptionsCancelled ? QStringLiteral("Options Cancelled")
                            : QStringLiteral("Options Set; Programmer Detected "));
}

void Tmain::ProgrammerStatusExecute() {
    if (!FHardwr || !FHardwr->HasStatus()) return;
    StartOp(QStringLiteral("Status: Retrieving Status"));
    FHardwr->ShowStatus(FI().FileVersion().toStdString());
    EndOp(QStringLiteral("Status: Operation Complete"));
}
