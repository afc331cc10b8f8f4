// The window's actions, menus, tool bar, pages and status bar, and the rules
// that enable each action. Commands that are not part of this window yet are
// present in the menus and stay disabled until their files connect them and
// set their rules.
#include "catalogue/device_list.h"
#include "gui/hex_view.h"
#include "gui/main_window.h"
#include "gui/status_log.h"
#include "gui/status_panel.h"
#include "programmer/isp_programmer.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QAction* NewAction(QObject* owner, const QString& text, const QKeySequence& shortcut = {}) {
    auto* a = new QAction(text, owner);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    return a;
}

// Ctrl+Alt+F1..F12 switch to a text console on Linux desktops before the
// program sees them: such a command gets Ctrl+Shift with the same key too,
// shown in the menu, and keeps its Ctrl+Alt shortcut beside it.
void ReachableShortcut(QAction* Action, Qt::Key Key) {
    Action->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Key), QKeySequence(Qt::CTRL | Qt::ALT | Key)});
}

bool Never() {
    return false;
}

} // namespace

void Tmain::CreateActions() {
    // File
    LoadFlash = NewAction(this, QStringLiteral("&EEPROMfile..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    SaveFlash = NewAction(this, QStringLiteral("&EEPROMfile"));
    EEPROM5 = NewAction(this, QStringLiteral("&Binary File"));
    ReloadFlash = NewAction(this, QStringLiteral("&EEPROMFile"), QKeySequence(Qt::CTRL | Qt::Key_R));
    ExportOldNorvoProjects1 = NewAction(this, QStringLiteral("Import old Norvo Projects"));
    LoadWorkSpace = NewAction(this, QStringLiteral("Load Project Settings"));
    SaveWorkspace = NewAction(this, QStringLiteral("Save Project Settings"));
    FileExit = NewAction(this, QStringLiteral("E&xit"));
    // Device
    DeviceErase = NewAction(this, QStringLiteral("&Erase"));
    DeviceErase->setStatusTip(QStringLiteral("Perform bulk erase on device"));
    DeviceErase->setToolTip(DeviceErase->statusTip());
    ProgramFlash = NewAction(this, QStringLiteral("&EEPROM"));
    ReachableShortcut(ProgramFlash, Qt::Key_F6);
    ProgramFuses = NewAction(this, QStringLiteral("Status Register"));
    WriteAll1 = NewAction(this, QStringLiteral("Write ALL Value"));
    ReachableShortcut(WriteAll1, Qt::Key_F7);
    WriteAll1->setStatusTip(QStringLiteral("Not available: the programmer has no write-all command"));
    ReadFlash = NewAction(this, QStringLiteral("&EEPROM"), QKeySequence(Qt::CTRL | Qt::Key_F6));
    ReadFuses = NewAction(this, QStringLiteral("Status Register"), QKeySequence(Qt::SHIFT | Qt::Key_F12));
    VerifyFlash = NewAction(this, QStringLiteral("&EEPROM"), QKeySequence(Qt::Key_F6));
    AutoProgram = NewAction(this, QStringLiteral("&Auto Program"), QKeySequence(Qt::Key_F5));
    AutoProgramoptions = NewAction(this, QStringLiteral("Auto Program &Options..."));
    // View
    ProgrammerStatus = NewAction(this, QStringLiteral("&Information"));
    ViewFlash = NewAction(this, QStringLiteral("&EEPROM"), QKeySequence(Qt::Key_F10));
    ViewFlash->setCheckable(true);
    ViewStatus = NewAction(this, QStringLiteral("&Status"));
    ViewStatus->setCheckable(true);
    ViewFuses = NewAction(this, QStringLiteral("Status &Register"), QKeySequence(Qt::Key_F12));
    ViewFuses->setCheckable(true);
    PopUpWarnings1 = NewAction(this, QStringLiteral("Pop Up Warnings"));
    PopUpWarnings1->setCheckable(true);
    PopUpWarnings1->setChecked(false);
    ShowCodePage1 = NewAction(this, QStringLiteral("Show &Code Page Characters"));
    ShowCodePage1->setCheckable(true);
    ShowCodePage1->setChecked(false);
    ShowCodePage1->setStatusTip(
        QStringLiteral("The text column shows every byte as its character (control codes as symbols); "
                       "otherwise \".\" stands for what is not printable"));
    // Serial numbers, patterns
    SerialNumbers1 = NewAction(this, QStringLiteral("Serial Numbers"));
    Fill1 = NewAction(this, QStringLiteral("Fill"));
    RandomData1 = NewAction(this, QStringLiteral("Random Data"));
    LoadPattern1 = NewAction(this, QStringLiteral("Load Pattern"));
    // Support
    PagedTestFile1 = NewAction(this, QStringLiteral("Generate Paged Test File"));
    FileChecker1 = NewAction(this, QStringLiteral("File Checker"));
    FileCheckerSave1 = NewAction(this, QStringLiteral("File Checker Save"));
    Copydevicelisttoclipboard1 = NewAction(this, QStringLiteral("Copy device list to clipboard."));
    // Help
    HelpTopics1 = NewAction(this, QStringLiteral("Help Topics"), QKeySequence(Qt::Key_F1));
    UpdatesWebsite1 = NewAction(this, QStringLiteral("Updates Website"));
    Tessel1 = NewAction(this, QStringLiteral("Tessel Website"));
    ViewReadMe = NewAction(this, QStringLiteral("&Readme"));
    FirmwareUpdate1 = NewAction(this, QStringLiteral("Firmware Update"));
    About1 = NewAction(this, QStringLiteral("&About"));
    // Tool bar
    ProgrammerOptions = NewAction(this, QStringLiteral("&Options"));
    // Hex view context menu
    ReloadFlashPopup = NewAction(this, QStringLiteral("Reload EEPROM File"));
    LoadFlashPopup = NewAction(this, QStringLiteral("Load New EEPROM File"));
    ClearFlashBuffer = NewAction(this, QStringLiteral("Clear EEPROM Buffer"));
    ProgramFlashPopup = NewAction(this, QStringLiteral("Program EEPROM"));
    VerifyFlashPopup = NewAction(this, QStringLiteral("Verify EEPROM"));
    ReadFlashPopup = NewAction(this, QStringLiteral("Read EEPROM"));
    // Status list context menu
    ClearStatus1 = NewAction(this, QStringLiteral("&Clear Status"));
    SaveStatusLog1 = NewAction(this, QStringLiteral("Save Status Log"));
}

void Tmain::CreateMenus() {
    QMenuBar* bar = menuBar();

    FileMenu = bar->addMenu(QStringLiteral("&File"));
    LoadMenu = FileMenu->addMenu(QStringLiteral("&Load"));
    LoadMenu->addAction(LoadFlash);
    SaveMenu = FileMenu->addMenu(QStringLiteral("&Save"));
    SaveMenu->addAction(SaveFlash);
    SaveMenu->addAction(EEPROM5);
    ReloadMenu = FileMenu->addMenu(QStringLiteral("&Reload"));
    ReloadMenu->addAction(ReloadFlash);
    FileMenu->addSeparator();
    FileMenu->addAction(ExportOldNorvoProjects1);
    FileMenu->addAction(LoadWorkSpace);
    FileMenu->addAction(SaveWorkspace);
    FileMenu->addSeparator();
    FileMenu->addAction(FileExit);

    DeviceMenu = bar->addMenu(QStringLiteral("&Device"));
    DeviceMenu->addAction(DeviceErase);
    ProgramMenu = DeviceMenu->addMenu(QStringLiteral("&Program"));
    ProgramMenu->addAction(ProgramFlash);
    ProgramMenu->addAction(ProgramFuses);
    ProgramMenu->addAction(WriteAll1);
    ReadMenu = DeviceMenu->addMenu(QStringLiteral("&Read"));
    ReadMenu->addAction(ReadFlash);
    ReadMenu->addAction(ReadFuses);
    VerifyMenu = DeviceMenu->addMenu(QStringLiteral("&Verify"));
    VerifyMenu->addAction(VerifyFlash);
    DeviceMenu->addSeparator();
    DeviceMenu->addAction(AutoProgram);
    DeviceMenu->addAction(AutoProgramoptions);

    ViewMenu = bar->addMenu(QStringLiteral("&View"));
    ViewMenu->addAction(ProgrammerStatus);
    ViewMenu->addSeparator();
    ViewMenu->addAction(ViewFlash);
    ViewMenu->addAction(ViewStatus);
    ViewMenu->addSeparator();
    ViewMenu->addAction(PopUpWarnings1);
    ViewMenu->addAction(ShowCodePage1);
    // F12 works from anywhere in the window; its menu entry is hidden.
    addAction(ViewFuses);

    bar->addAction(SerialNumbers1);

    PatternsMenu = bar->addMenu(QStringLiteral("&Patterns"));
    PatternsMenu->addAction(Fill1);
    PatternsMenu->addAction(RandomData1);
    PatternsMenu->addAction(LoadPattern1);

    SupportMenu = bar->addMenu(QStringLiteral("S&upport"));
    GenerateTestFilesMenu = SupportMenu->addMenu(QStringLiteral("Generate Test Files"));
    GenerateTestFilesMenu->addAction(PagedTestFile1);
    SupportMenu->addAction(FileChecker1);
    SupportMenu->addAction(FileCheckerSave1);
    BuildToolsMenu = SupportMenu->addMenu(QStringLiteral("Build Tools"));
    BuildToolsMenu->addAction(Copydevicelisttoclipboard1);
    SupportMenu->menuAction()->setVisible(false);

    HelpMenu = bar->addMenu(QStringLiteral("&Help"));
    HelpMenu->addAction(HelpTopics1);
    OnlineSupportMenu = HelpMenu->addMenu(QStringLiteral("Online Support"));
    OnlineSupportMenu->addAction(UpdatesWebsite1);
    OnlineSupportMenu->addAction(Tessel1);
    HelpMenu->addAction(ViewReadMe);
    HelpMenu->addAction(FirmwareUpdate1);
    HelpMenu->addAction(About1);

    FlashViewerMenu = new QMenu(this);
    FlashViewerMenu->addAction(ReloadFlashPopup);
    FlashViewerMenu->addAction(LoadFlashPopup);
    FlashViewerMenu->addAction(ClearFlashBuffer);
    FlashViewerMenu->addSeparator();
    FlashViewerMenu->addAction(ProgramFlashPopup);
    FlashViewerMenu->addAction(VerifyFlashPopup);
    FlashViewerMenu->addAction(ReadFlashPopup);

    StatusListMenu = new QMenu(this);
    StatusListMenu->addAction(ClearStatus1);
    StatusListMenu->addAction(SaveStatusLog1);
}

void Tmain::CreateToolBar() {
    QToolBar* tools = addToolBar(QStringLiteral("Device"));
    tools->setMovable(false);
    tools->setFloatable(false);
    auto* strip = new QWidget(tools);
    auto* l = new QHBoxLayout(strip);
    l->setContentsMargins(4, 2, 4, 2);

    DeviceLabel = new QLabel(QStringLiteral("Device:"), strip);
    DeviceType = new QComboBox(strip);
    DeviceType->addItems({QStringLiteral("24C"), QStringLiteral("25C"), QStringLiteral("93C")});
    DeviceSelector = new QComboBox(strip);
    DeviceSelector->setToolTip(QStringLiteral("For A, AA or LC parts, slow down programmer in Options"));
    // As wide as the longest name of the catalogue, whatever the family.
    int longest = 0;
    for (int i = 0; i < DeviceList().NumDevices(); ++i)
        longest = std::max(longest, static_cast<int>(DeviceList().Device(i)->DeviceName().size()));
    DeviceSelector->setMinimumContentsLength(longest);
    DeviceSelector->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    DeviceLabel->setBuddy(DeviceSelector);
    HardwareLabel = new QLabel(QStringLiteral("Programmer: "), strip);
    HardwareSelector = new QComboBox(strip);
    HardwareSelector->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    HardwareSelector->hide();
    HardwareSelector->setEnabled(false);
    OptionsButton = new QPushButton(QStringLiteral("&Options"), strip);
    ResetButton = new QPushButton(QStringLiteral("Reset"), strip);
    for (QPushButton* b : {OptionsButton, ResetButton})
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    l->addWidget(DeviceLabel);
    l->addWidget(DeviceType);
    l->addWidget(DeviceSelector);
    l->addSpacing(4);
    l->addWidget(HardwareLabel);
    l->addWidget(HardwareSelector);
    l->addSpacing(4);
    l->addWidget(OptionsButton);
    l->addWidget(ResetButton);
    l->addStretch(1);
    tools->addWidget(strip);
}

void Tmain::CreatePages() {
    PageControl = new QTabWidget(this);

    FlashTab = new QWidget(PageControl);
    FlashViewer = new THexWindow(FlashTab);
    FlashViewer->SetBackColor(FlashViewer->palette().color(QPalette::Button));
    FlashViewer->SetLabelColor(QColor(0, 0, 0x80));
    FlashViewer->SetPopUpMenu(FlashViewerMenu);
    connect(FlashViewer, &THexWindow::DataEdited, this, [this] { UpdateChecksumPanel(); });
    auto* fl = new QVBoxLayout(FlashTab);
    fl->setContentsMargins(0, 0, 0, 0);
    fl->addWidget(FlashViewer);

    FusesTab = new QWidget(PageControl);
    FFusesLayout = new QStackedLayout(FusesTab);
    NoOptionsLabel = new QLabel(QStringLiteral("No options"), FusesTab);
    NoOptionsLabel->setAlignment(Qt::AlignCenter);
    FFusesLayout->addWidget(NoOptionsLabel);

    StatusTab = new QWidget(PageControl);
    StatusList = new TStatusLog(StatusTab);
    StatusList->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* sl = new QVBoxLayout(StatusTab);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->addWidget(StatusList);

    PageControl->addTab(FlashTab, QStringLiteral("EEPROM"));
    PageControl->addTab(FusesTab, QStringLiteral("Status Register"));
    PageControl->addTab(StatusTab, QStringLiteral("Status"));
    setCentralWidget(PageControl);
}

void Tmain::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    StatusPanel = new TStatusPanel(bar);
    // The narrow text panel holds the status message with its type prefix;
    // that is an internal code, so the panel is kept but not shown.
    StatusTextPanel = new QLabel(bar);
    StatusTextPanel->hide();
    ProgressBar = new QProgressBar(bar);
    ProgressBar->setFixedWidth(100);
    ProgressBar->setRange(0, 1);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(true);
    ProgressBar->setFormat(QStringLiteral("Ready..."));
    // The message panel takes the room the permanent panels leave.
    bar->addWidget(StatusPanel, 1);
    ChecksumPanel = new QLabel(bar);
    bar->addPermanentWidget(ChecksumPanel);
    bar->addPermanentWidget(ProgressBar);

    Timer1 = new QTimer(this);
    Timer1->setInterval(500);
}

void Tmain::ConnectCommands() {
    auto command = [this](QAction* a, void (Tmain::*handler)()) {
        connect(a, &QAction::triggered, this,
                [this, handler] { RunCommand([this, handler] { (this->*handler)(); }); });
    };
    auto stdEnable = [this] { return StdEnable(); };

    connect(FileExit, &QAction::triggered, this, &Tmain::FileExitExecute);
    SetEnableRule(FileExit, {});

    // Device commands.
    for (QAction* a : {ProgramFlash, ProgramFlashPopup}) {
        command(a, &Tmain::ProgramFlashExecute);
        SetEnableRule(a, stdEnable);
    }
    for (QAction* a : {ReadFlash, ReadFlashPopup}) {
        command(a, &Tmain::ReadFlashExecute);
        SetEnableRule(a, stdEnable);
    }
    for (QAction* a : {VerifyFlash, VerifyFlashPopup}) {
        command(a, &Tmain::VerifyFlashExecute);
        SetEnableRule(a, stdEnable);
    }
    command(DeviceErase, &Tmain::DeviceEraseExecute);
    SetEnableRule(DeviceErase, stdEnable);
    command(ProgramFuses, &Tmain::ProgramFusesExecute);
    SetEnableRule(ProgramFuses, stdEnable);
    command(ReadFuses, &Tmain::ReadFusesExecute);
    SetEnableRule(ReadFuses, stdEnable);
    command(ProgrammerOptions, &Tmain::ProgrammerOptionsExecute);
    SetEnableRule(ProgrammerOptions, [this] { return StdEnable() && Hardwr()->HasOptions(); });
    command(ProgrammerStatus, &Tmain::ProgrammerStatusExecute);
    SetEnableRule(ProgrammerStatus, [this] { return StdEnable() && Hardwr()->HasStatus(); });
    // The driver offers no write-all command, so the entry stays disabled.
    SetEnableRule(WriteAll1, Never);

    connect(OptionsButton, &QPushButton::clicked, ProgrammerOptions, &QAction::trigger);
    connect(ProgrammerOptions, &QAction::changed, OptionsButton,
            [this] { OptionsButton->setEnabled(ProgrammerOptions->isEnabled()); });
    connect(ResetButton, &QPushButton::clicked, this, &Tmain::ResetButtonClick);

    // Selectors.
    for (QComboBox* box : {DeviceType, DeviceSelector, HardwareSelector})
        connect(box, &QComboBox::activated, this,
                [this] { RunCommand([this] { HardwareSelectorChange(); }); });

    // Pages.
    connect(ViewFlash, &QAction::triggered, this, &Tmain::ShowFlashPage);
    SetEnableRule(ViewFlash, [this] { return FlashTab->isEnabled(); });
    connect(ViewStatus, &QAction::triggered, this, &Tmain::ShowStatusPage);
    SetEnableRule(ViewStatus, {});
    connect(ViewFuses, &QAction::triggered, this, &Tmain::ShowFusesPage);
    SetEnableRule(ViewFuses, {});
    connect(PageControl, &QTabWidget::currentChanged, this, [this] {
        UpdatePageChecks();
        if (PageControl->currentWidget() == FlashTab) FlashTabShow();
        if (PageControl->currentWidget() == StatusTab) StatusList->SelectLast();
        if (PageControl->currentWidget() == FusesTab && FFuseForm && FFuseForm->isHidden()) FFuseForm->show();
    });

    // Status list.
    // "Pop Up Warnings" toggles its own check mark; unchecked at every start.
    SetEnableRule(PopUpWarnings1, {});
    // Unchecked at every start, not stored.
    connect(ShowCodePage1, &QAction::toggled, FlashViewer, &THexWindow::SetShowCodePage);
    SetEnableRule(ShowCodePage1, {});
    connect(ClearStatus1, &QAction::triggered, this, &Tmain::ClearStatus1Click);
    SetEnableRule(ClearStatus1, {});
    command(SaveStatusLog1, &Tmain::SaveStatusLog1Click);
    SetEnableRule(SaveStatusLog1, [this] { return !InOperation(); });
    connect(StatusList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { StatusListMenu->popup(StatusList->viewport()->mapToGlobal(pos)); });
    connect(Timer1, &QTimer::timeout, this, &Tmain::Timer1Timer);
    // Menus show the enabled state of the moment they open.
    for (QMenu* m : {FileMenu, DeviceMenu, ViewMenu, PatternsMenu, SupportMenu, HelpMenu, FlashViewerMenu,
                     StatusListMenu})
        connect(m, &QMenu::aboutToShow, this, &Tmain::UpdateActions);

    // Support.
    command(ViewReadMe, &Tmain::ViewReadMeExecute);
    SetEnableRule(ViewReadMe, [this] { return QFileInfo::exists(ReadMeFile()); });
    connect(About1, &QAction::triggered, this, [this] {
        const bool shift = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
        RunCommand([this, shift] { About1Click(shift); });
    });
    SetEnableRule(About1, {});

    // Commands of the buffer files, serial numbers, fill, Auto Program,
    // projects and support tools: their files connect them and replace
    // these rules.
    for (QAction* a : {LoadFlash,
                       SaveFlash,
                       EEPROM5,
                       ReloadFlash,
                       ExportOldNorvoProjects1,
                       LoadWorkSpace,
                       SaveWorkspace,
                       AutoProgram,
                       AutoProgramoptions,
                       SerialNumbers1,
                       Fill1,
                       RandomData1,
                       LoadPattern1,
                       PagedTestFile1,
                       FileChecker1,
                       FileCheckerSave1,
                       Copydevicelisttoclipboard1,
                       HelpTopics1,
                       UpdatesWebsite1,
                       Tessel1,
                       FirmwareUpdate1,
                       ReloadFlashPopup,
                       LoadFlashPopup,
                       ClearFlashBuffer})
        SetEnableRule(a, Never);
    ConnectBufferCommands();
}

void Tmain::SetEnableRule(QAction* Action, std::function<bool()> Rule) {
    for (TEnableRule& r : FEnableRules)
        if (r.Action == Action) {
            r.Rule = std::move(Rule);
            Action->setEnabled(!r.Rule || r.Rule());
            return;
        }
    FEnableRules.push_back({Action, std::move(Rule)});
    Action->setEnabled(!FEnableRules.back().Rule || FEnableRules.back().Rule());
}

void Tmain::UpdateActions() {
    for (const TEnableRule& r : FEnableRules)
        r.Action->setEnabled(!r.Rule || r.Rule());
    OptionsButton->setEnabled(ProgrammerOptions->isEnabled());
}
