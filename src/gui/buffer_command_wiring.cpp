// Wires the buffer file commands, the recent-files list, the pattern
// commands, serial numbers and Auto Program into the window's menus, creates
// the fill and serial number dialogs that live for the whole run, and sets
// each action's enabling rule.
#include "gui/fill_dialog.h"
#include "gui/hex_view.h"
#include "gui/main_window.h"
#include "gui/serial_number_dialog.h"

#include <QAction>
#include <QMenu>

void Tmain::ConnectBufferCommands() {
    auto command = [this](QAction* a, void (Tmain::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    auto idle = [this] { return !InOperation() && FPrjct != nullptr; };
    auto device = [this]() -> const TDevice* { return FPrjct ? FPrjct->Device() : nullptr; };
    const auto report = [this](const std::exception& e) { AppException(e); };
    const auto mainBuffer = [this]() -> THexList* { return FPrjct ? &FPrjct->FlashMemory : nullptr; };

    // The dialogs of the whole run.
    FFillDialog = new TFillDialog(this, {mainBuffer, report});
    FSerialNum = new TSerialNum(
        this, {mainBuffer, [this](const QString& text) { FPrompts.ShowMessage(this, text); }, report});

    // File dialogs (their filters are set when first shown, from the
    // format names).
    LoadDialog.Title = QStringLiteral("Load EEPROM");
    SaveDialog.Title = QStringLiteral("Select file for Intel Hex file Save");
    SaveDialog.DefaultSuffix = QStringLiteral("hex");
    SaveDialog.Save = true;
    SaveDialog.ConfirmOverwrite = true;
    LoadTestDialog.Title = QStringLiteral("File Loader Test");
    SaveTestDialog.Title = QStringLiteral("Save Test");
    SaveTestDialog.Save = true;
    SaveTestDialog.ConfirmCreate = true;

    // File menu and the hex view's menu.
    for (QAction* a : {LoadFlash, LoadFlashPopup}) {
        command(a, &Tmain::LoadFlashExecute);
        SetEnableRule(a, idle);
    }
    for (QAction* a : {ReloadFlash, ReloadFlashPopup}) {
        command(a, &Tmain::ReloadFlashExecute);
        SetEnableRule(a, [idle, this] { return idle() && !FPrjct->FlashMemory.FileName().empty(); });
    }
    command(SaveFlash, &Tmain::SaveFlashExecute);
    SetEnableRule(SaveFlash, {});
    command(EEPROM5, &Tmain::EEPROM5Click);
    SetEnableRule(EEPROM5, {});
    command(ClearFlashBuffer, &Tmain::ClearFlashBufferExecute);
    SetEnableRule(ClearFlashBuffer,
                  [this, device] { return device() && device()->FlashSize() != 0 && StdEnable(); });

    // The recent-files list under File > Load.
    LoadMenu->addSeparator();
    for (QAction*& a : FRecentFileActions) {
        a = new QAction(this);
        a->setVisible(false);
        LoadMenu->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] {
            const QString file = a->data().toString();
            RunCommand([this, file] { LMDMRUList1Click(file); });
        });
        SetEnableRule(a, idle);
    }
    for (QMenu* m : {FileMenu, LoadMenu})
        connect(m, &QMenu::aboutToShow, this, &Tmain::UpdateRecentFileActions);

    // Patterns.
    command(LoadPattern1, &Tmain::LoadPattern1Click);
    SetEnableRule(LoadPattern1, idle);
    command(Fill1, &Tmain::Fill1Click);
    SetEnableRule(Fill1, idle);
    command(RandomData1, &Tmain::RandomData1Click);
    SetEnableRule(RandomData1, idle);

    // Support.
    command(PagedTestFile1, &Tmain::PagedTestFile1Click);
    SetEnableRule(PagedTestFile1, [idle, device] { return idle() && device() && device()->PageSize() != 0; });
    command(FileChecker1, &Tmain::FileChecker1Click);
    SetEnableRule(FileChecker1, idle);
    command(FileCheckerSave1, &Tmain::FileCheckerSave1Click);
    SetEnableRule(FileCheckerSave1, [this] { return FPrjct != nullptr; });

    // Serial numbers and Auto Program.
    command(SerialNumbers1, &Tmain::SerialNumbers1Click);
    SetEnableRule(SerialNumbers1, {});
    command(AutoProgram, &Tmain::AutoProgramExecute);
    SetEnableRule(AutoProgram, [this] { return StdEnable(); });
    command(AutoProgramoptions, &Tmain::AutoProgramoptionsExecute);
    SetEnableRule(AutoProgramoptions, {});
}
