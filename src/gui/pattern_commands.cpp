// Test data in the EEPROM buffer: fill, random data, the paged test pattern,
// clearing; and the serial number dialog.
#include "buffer/test_patterns.h"
#include "gui/fill_dialog.h"
#include "gui/hex_view.h"
#include "gui/main_window.h"
#include "gui/serial_number_dialog.h"

void Tmain::Fill1Click() {
    FFillDialog->FormShow();
    FPrompts.ExecDialog(*FFillDialog);
    ShowFlashViewer();
}

void Tmain::RandomData1Click() {
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (!device) return;
    FillRandomData(FPrjct->FlashMemory, FRandomData,
                   static_cast<std::uint32_t>(std::max(device->FlashSize(), 0)));
    ShowFlashViewer();
}

void Tmain::PagedTestFile1Click() {
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (!device) return;
    WritePagedTestPattern(FPrjct->FlashMemory, device->PageSize(), device->FlashSize());
    FlashViewer->RecreateCanvas();
}

void Tmain::ClearFlashBufferExecute() {
    if (THexList* buffer = FlashViewer->Data()) buffer->Clear();
    SetBufferOrigin(TBufferOrigin::Cleared);
    FlashTabShow();
    FlashViewer->RecreateCanvas();
}

void Tmain::SerialNumbers1Click() {
    FSerialNum->FormShow();
    FPrompts.ExecDialog(*FSerialNum);
    FlashViewer->RecreateCanvas();
}
