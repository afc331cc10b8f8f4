// Construction, start-up, device and hardware switching, shut-down and the
// page commands of the main window.
#include "gui/main_window.h"

#include "catalogue/device_list.h"
#include "errors/errors.h"
#include "formats/file_loader.h"
#include "gui/app_identity.h"
#include "gui/hex_edit.h"
#include "gui/hex_view.h"
#include "gui/program_folder.h"
#include "gui/status_log.h"
#include "gui/status_panel.h"
#include "gui/version_info.h"
#include "kinds/hardware.h"
#include "ports/serial_port_list.h"
#include "programmer/isp_programmer.h"
#include "settings/isp_reg_key.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include <algorithm>

const QString Tmain::AppTitle = ApplicationTitle();

namespace {

const std::string kGlobalKey = std::string(ISPRegKey) + "\\GLOBAL";

int ValidFamily(int family) {
    return family >= FAMILY_24C && family <= FAMILY_93C ? family : FAMILY_24C;
}

} // namespace

Tmain::Tmain(QStringList Arguments, TUserPrompts Prompts, QWidget* parent)
    : QMainWindow(parent), FPrompts(std::move(Prompts)), FArguments(std::move(Arguments)),
      FProgramFolder(ResolveProgramFolder(QCoreApplication::applicationDirPath())) {
    setWindowTitle(AppTitle);
    resize(622, 515);
    setMinimumSize(509, 156);
    setMaximumWidth(780);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreatePages();
    CreateStatusBar();
    ConnectCommands();
    ConnectProjectCommands();
    ConnectSupportTools();
    FormCreate();
    SetDriverHost(this);
    UpdateActions();
}

Tmain::~Tmain() {
    if (DriverHost() == this) SetDriverHost(nullptr);
    if (!FClosing) EISPException::Notifier() = nullptr;
    FlashViewer->SetData(nullptr);
    ReleaseFuseForm();
    if (FBusyCursor) QApplication::restoreOverrideCursor();
    FHardwr.reset();
    FPrjct.reset();
}

void Tmain::FormCreate() {
    InAutoProgram = false;
    FISPSettings = std::make_unique<TISPSettings>();
    ProjectName.clear();
    FFI = new TFileVersionInfo(this);
    SupportMenu->menuAction()->setVisible(false);
    FInOperation = false;
    // Exceptions built as important show their box the moment they are made.
    EISPException::Notifier() = [this](const std::string& msg) {
        FPrompts.ErrorBox(this, QString(), QString::fromStdString(msg));
    };
    if (!TDevice::BasePanelFactory()) TDevice::BasePanelFactory() = &TBaseFuseForm::GetNewForm;
    DeviceSelector->setCurrentIndex(DeviceSelector->count() > 0 ? 0 : -1);
    AutoCount = 0;
    BuildFileFilters();
    PageControl->setCurrentWidget(FlashTab);
    PageControl->setTabText(PageControl->indexOf(FlashTab), QStringLiteral("EEPROM Memory"));
    UpdatePageChecks();
}

void Tmain::BuildFileFilters() {
    SaveFilters.clear();
    for (int code = ft_IntelIntellec; code <= ft_AtmelGeneric8; ++code)
        SaveFilters.append(QString::fromStdString(TFileLoader::WhatIs(code)) + QStringLiteral(" (*)"));
    LoadFilters.clear();
    LoadFilters.append(QString::fromStdString(TFileLoader::WhatIs(ft_AutoDetect)) + QStringLiteral(" (*)"));
    LoadFilters.append(SaveFilters);
    LoadFilters.append(QStringLiteral("Binary Files  (*.bin)"));
}

void Tmain::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (FShownOnce) return;
    FShownOnce = true;
    // Wide enough for the whole hex view image when the font asks for more
    // than the usual width.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const int around = width() - FlashViewer->viewport()->width();
    if (FlashViewer->viewport()->width() < FlashViewer->ImageWidth())
        resize(std::min(FlashViewer->ImageWidth() + around, maximumWidth()), height());
    // Start-up work begins once the window is on screen and painted.
    QMetaObject::invokeMethod(this, &Tmain::StartComms, Qt::QueuedConnection);
}

void Tmain::StartComms() {
    RunCommand([this] { Initialize(); });
}

void Tmain::Initialize() {
    FInitializeRan = true;
    PageControl->setCurrentIndex(0);
    HardwareSelector->show();
    HardwareSelector->setEnabled(true);
    HardwareLabel->setBuddy(HardwareSelector);

    std::vector<std::string> params;
    for (const QString& a : FArguments)
        params.push_back(a.toStdString());
    FCommandLine = ParseCommandLine(params);
    for (int i = 0; i < FCommandLine.InvalidCount; ++i)
        FailOp(QStringLiteral("Invalid Commandline Parameter!!"));

    FPrjct = std::make_unique<TTesselProject>();
    FISPSettings->LoadSettings(kGlobalKey, sl_registry, ss_global);
    FSettingsLoaded = true;

    // No programmer chosen before: a first start, where a programmer that
    // is not found gets a word on how to go on without one.
    FFirstStart = !FCommandLine.ModeSel && FISPSettings->GetString("ENVIRONMENT", "LASTHARDWARE", "").empty();
    std::string lastHardware = FCommandLine.ModeSel ? FCommandLine.Mode
                                                    : FISPSettings->GetString("ENVIRONMENT", "LASTHARDWARE",
                                                                              GetHardware(0).HardwareName);
    lastHardware = CheckValidHardware(lastHardware);
    // A family number outside the three families reads as the first.
    const int lastDeviceType = ValidFamily(FISPSettings->GetInteger("ENVIRONMENT", "LASTDEVICETYPE", 0));
    const TDevice* defaultDevice = DeviceList().GetDefaultDevice(
        GetHardware(GetHardwareIndex(lastHardware)).HardwareSupport, lastDeviceType);
    const std::string lastDevice = FISPSettings->GetString("ENVIRONMENT", "LASTDEVICE",
                                                           defaultDevice ? defaultDevice->DeviceName() : "");

    DeviceType->setCurrentIndex(lastDeviceType);
    Switch(lastDevice, lastHardware);
    // With the programmer list shown and filled, the tool bar needs its
    // whole width.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (const QToolBar* tools = findChild<QToolBar*>(); tools && tools->sizeHint().width() > width())
        resize(std::min(tools->sizeHint().width(), maximumWidth()), height());

    StartProgressOp(QStringLiteral("ISP Initializing"));
    FHardwr->LoadSettings();
    UpdateActions();
    OpenProgrammer([this] {
        FHardwr->HardwareOpen();
        FHardwr->HardwareClose();
        FHardwr->HardwareOpen();
    });
    FFirstStart = false;
    HandOverOrganisation();

    if (FCommandLine.LoadHex) {
        TFileLoader::LoadFile(FCommandLine.HexFile, FPrjct->FlashMemory, 0);
        SetBufferOrigin(TBufferOrigin::File);
        ShowFlashViewer();
    }
    if (FCommandLine.AutoProg)
        AutoProgramExecute();
    else
        EndOp(QStringLiteral("ISP Initialized; Programmer Detected. "));
    if (QFileInfo::exists(ReadMeFile())) ViewReadMeExecute();
    FHardwr->Run(PanelResetPolarity());
}

void Tmain::Switch(const std::string& Anewdevice, const std::string& ANewHardware) {
    StartOp(QStringLiteral("Attempting to switch to Device:") + QString::fromStdString(Anewdevice) +
            QStringLiteral(" Hardware:") + QString::fromStdString(ANewHardware));

    if (!ANewHardware.empty() || !FHardwr) {
        if (FHardwr) {
            FHardwr->HardwareClose();
            FHardwr.reset();
        }
        int index = GetHardwareIndex(ANewHardware);
        std::string name = ANewHardware;
        if (index == -1) {
            index = 0;
            name = GetHardware(0).HardwareName;
        }
        std::unique_ptr<TISPProgrammer> driver = GetNewHardwareInstance(index);
        driver->SetHardwareName(name);
        driver->SetSaveLocation(FISPSettings.get());
        FHardwr = std::move(driver);
        FillDeviceSelector();
        FillHardwareSelector();
    }

    const TProgrammerSupport support = FHardwr->GetHardwareType();
    TDevice* device = DeviceList().GetNewDeviceInstance(Anewdevice, support);
    if (!device) device = DeviceList().GetDefaultDevice(support, ValidFamily(DeviceType->currentIndex()));
    if (!device)
        throw EISPException("No device of this family is offered for this programmer", false,
                            FHardwr->HardwareName());

    FlashViewer->SetData(nullptr);
    FPrjct->SetDevice(device);
    SetBufferOrigin(TBufferOrigin::Cleared);
    FHardwr->SetDevice(device);

    ReleaseFuseForm();
    if (const TFusesFormFactory& factory = device->FusesForm()) {
        TFusePanel* panel = factory(static_cast<TFuseFormOwner*>(this));
        FFuseForm = dynamic_cast<TBaseFuseForm*>(panel);
        if (FFuseForm) {
            FFusesLayout->addWidget(FFuseForm);
            FFusesLayout->setCurrentWidget(FFuseForm);
        } else {
            delete panel;
        }
    }

    FHardwr->SetOnProgressUpdate([this](int i, int Max) { UpdateStatus(i, Max); });

    const bool hasMemory = device->FlashSize() >= 1;
    const int flashIndex = PageControl->indexOf(FlashTab);
    PageControl->setTabEnabled(flashIndex, hasMemory);
    PageControl->setTabVisible(flashIndex, hasMemory);
    FlashViewer->SetData(hasMemory ? &FPrjct->FlashMemory : nullptr);
    if (hasMemory) PageControl->setCurrentWidget(FlashTab);

    // The hardware entry of the driver, and the device entry by its exact
    // name (the first entry when none matches).
    HardwareSelector->setCurrentIndex(HardwareEntry(FHardwr->HardwareName()));
    const int devEntry = DeviceSelector->findText(QString::fromStdString(device->DeviceName()),
                                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
    DeviceSelector->setCurrentIndex(devEntry >= 0 ? devEntry : (DeviceSelector->count() > 0 ? 0 : -1));
    PageControl->setCurrentIndex(0);
    // The emptied buffer no longer holds the file the caption named.
    if (PageControl->currentWidget() == FlashTab) FlashTabShow();

    AdaptToFamily(*device);

    SetDriverPageSize(device->PageSize());
    if (FFuseForm) FFuseForm->DevicePageSize->SetValue(device->PageSize());
    SetDriverClockSpeed(1);
    UpdateActions();
}

void Tmain::OpenProgrammer(const std::function<void()>& Open) {
    // A programmer that is not found gets the warning line with the way to
    // try the program without one (FailureText).
    FOpeningProgrammer = true;
    Open();
    FOpeningProgrammer = false;
}

void Tmain::FillDeviceSelector() {
    DeviceSelector->clear();
    if (!FHardwr) return;
    const TProgrammerSupport support = FHardwr->GetHardwareType();
    std::vector<std::string> names =
        DeviceList().GetDeviceList(support, ValidFamily(DeviceType->currentIndex()));
    // Sorted alphabetically, regardless of letter case, with the numbers in
    // a name compared by value: 24C16 before 24C128 before 24C1024.
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return NaturalLess(AsciiUpper(a), AsciiUpper(b));
    });
    for (const std::string& name : names) {
        const QString n = QString::fromStdString(name);
        DeviceSelector->addItem(n);
        // The size, which the names of some families do not tell.
        if (const TDevice* d = DeviceList().GetNewDeviceInstance(name, support))
            DeviceSelector->setItemData(
                DeviceSelector->count() - 1,
                QStringLiteral("%1: %2 bytes, pages of %3").arg(n).arg(d->FlashSize()).arg(d->PageSize()),
                Qt::ToolTipRole);
    }
}

void Tmain::FillHardwareSelector() {
    HardwareSelector->clear();
    // Each entry carries the kind's name; it shows the kind's caption where
    // the name alone does not say what the kind is.
    const auto add = [this](const std::string& name) {
        const std::string caption = GetHardware(name).Caption;
        const QString shown = QString::fromStdString(caption.empty() ? name : caption);
        HardwareSelector->addItem(shown, QString::fromStdString(name));
        if (!caption.empty())
            HardwareSelector->setItemData(HardwareSelector->count() - 1, QString::fromStdString(name),
                                          Qt::ToolTipRole);
    };
    for (const std::string& n : GetAllHardwareAsList())
        add(n);
    // A kind that is not offered in the list (chosen on the command line)
    // is shown while it is in use, so that the drop-down names it.
    if (FHardwr && HardwareEntry(FHardwr->HardwareName()) < 0) add(AsciiUpper(FHardwr->HardwareName()));
}

int Tmain::HardwareEntry(const std::string& Name) const {
    const QString wanted = QString::fromStdString(AsciiUpper(Name));
    for (int i = 0; i < HardwareSelector->count(); ++i)
        if (HardwareSelector->itemData(i).toString().compare(wanted, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

std::string Tmain::SelectedHardware() const {
    return HardwareSelector->currentData().toString().toStdString();
}

void Tmain::AdaptToFamily(const TDevice& Device) {
    const int family = Device.ProgrammerId();
    ProgramFuses->setVisible(family == FAMILY_25C);
    ReadFuses->setVisible(family == FAMILY_25C);
    WriteAll1->setVisible(family == FAMILY_93C);
    if (FFuseForm) FFuseForm->SetFamily(family, Device.FlashSize());
    // Every family has something there: the 24C parts their bus number and
    // the reset polarity (the family's other fields stay disabled).
    PageControl->setTabVisible(PageControl->indexOf(FusesTab), true);
    if (family == FAMILY_93C) HandOverOrganisation();
}

void Tmain::ReleaseFuseForm() {
    if (!FFuseForm) return;
    TBaseFuseForm* old = FFuseForm;
    FFuseForm = nullptr;
    old->hide();
    FFusesLayout->removeWidget(old);
    FFusesLayout->setCurrentWidget(NoOptionsLabel);
    old->deleteLater();
}

void Tmain::HandOverOrganisation() {
    if (!FHardwr) return;
    const int mode = FFuseForm ? FFuseForm->ModeIndex() : 1;
    FHardwr->WriteTiming(mode == 1 ? 16 : 8);
}

std::uint8_t Tmain::PanelResetPolarity() const {
    return static_cast<std::uint8_t>(FFuseForm ? FFuseForm->ResetPolarityIndex() : 2);
}

void Tmain::HardwareSelectorChange() {
    const std::string hardware = SelectedHardware();
    const std::string device = DeviceSelector->currentText().toStdString();
    const int family = DeviceType->currentIndex();
    const TDevice* current = FHardwr ? FHardwr->Device() : nullptr;
    if (current && hardware == FHardwr->HardwareName() && device == current->DeviceName() &&
        family == current->ProgrammerId())
        return;
    // Every change rebuilds the buffer for the device: changes not in a
    // file are let go only when the operator says so.
    if (!MayClearBuffer()) {
        ShowCurrentChoices();
        return;
    }
    if (current && family != current->ProgrammerId()) {
        FillDeviceSelector();
        DeviceSelector->setCurrentIndex(-1);
    }
    Switch(DeviceSelector->currentText().toStdString(), SelectedHardware());
    StartProgressOp(QStringLiteral("ISP Initializing:"));
    UpdateActions();
    OpenProgrammer([this] { FHardwr->HardwareOpen(); });
    EndOp(QStringLiteral("ISP Initialized: Programmer Detected.  "));
}

void Tmain::DeInitialize() {
    if (FPrjct && FPrjct->Device())
        FISPSettings->SetSetting("ENVIRONMENT", "LASTDEVICE", ss_global, FPrjct->Device()->DeviceName());
    if (FHardwr) FISPSettings->SetSetting("ENVIRONMENT", "LASTHARDWARE", ss_global, FHardwr->HardwareName());
    FISPSettings->SetSetting("ENVIRONMENT", "LASTDEVICETYPE", ss_global,
                             static_cast<std::int32_t>(DeviceType->currentIndex()));
    QString failures;
    if (FHardwr) {
        // A programmer that fails to close must not cost the settings.
        try {
            FHardwr->HardwareClose();
        } catch (const std::exception& e) {
            failures = QString::fromStdString(e.what());
        }
    }
    KeepGlobalAutoProgram();
    // Settings that were never read from the registry (start-up failed
    // before) are not written over it.
    if (FSettingsLoaded) FISPSettings->SaveSettings(kGlobalKey, sl_registry, ss_global);
    FlashViewer->SetData(nullptr);
    FHardwr.reset();
    FPrjct.reset();
    if (!failures.isEmpty()) FPrompts.ErrorBox(this, QString(), failures);
}

bool Tmain::StdEnable() const {
    return !FInOperation && FHardwr != nullptr;
}

void Tmain::SetCurrentFileName(const QString& Value) {
    FCurrentFileName = Value;
    setWindowTitle(Value.isEmpty() ? AppTitle : AppTitle + QStringLiteral(" - ") + Value);
}

void Tmain::FlashTabShow() {
    if (FBufferOrigin == TBufferOrigin::Chip)
        SetCurrentFileName(QStringLiteral("EEPROM: read from ") + FReadFrom);
    else if (FBufferOrigin == TBufferOrigin::File && FPrjct && !FPrjct->FlashMemory.FileName().empty())
        SetCurrentFileName(QStringLiteral("EEPROM: ") +
                           QString::fromStdString(FPrjct->FlashMemory.FileName()));
    else
        SetCurrentFileName(QString());
}

void Tmain::SetBufferOrigin(TBufferOrigin Origin) {
    FBufferOrigin = Origin;
    const TDevice* device = FPrjct ? FPrjct->Device() : nullptr;
    if (Origin == TBufferOrigin::Chip)
        FReadFrom = device ? QString::fromStdString(device->DeviceName()) : QString();
    if (FPrjct)
        FBufferBaseline = FPrjct->FlashMemory.HexData;
    else
        FBufferBaseline.clear();
}

bool Tmain::BufferHasChanges() const {
    return FPrjct && FPrjct->FlashMemory.HexData != FBufferBaseline;
}

bool Tmain::MayClearBuffer() {
    if (!BufferHasChanges()) return true;
    return FPrompts.AskYesNo(
        this, QStringLiteral("EEPROM Buffer"),
        QStringLiteral("The EEPROM buffer holds changes that are in no file. Another "
                       "device or programmer clears the buffer.\n\nClear it and go on?"));
}

void Tmain::ShowCurrentChoices() {
    const TDevice* device = FHardwr ? FHardwr->Device() : nullptr;
    if (!device) return;
    DeviceType->setCurrentIndex(device->ProgrammerId());
    FillDeviceSelector();
    DeviceSelector->setCurrentIndex(DeviceSelector->findText(QString::fromStdString(device->DeviceName()),
                                                             Qt::MatchExactly | Qt::MatchCaseSensitive));
    HardwareSelector->setCurrentIndex(HardwareEntry(FHardwr->HardwareName()));
}

void Tmain::FileExitExecute() {
    close();
}

void Tmain::closeEvent(QCloseEvent* e) {
    if (FInOperation || CommandRunning()) {
        FPrompts.ShowMessage(this, QStringLiteral("Can't exit while programming operation in progress"));
        e->ignore();
        return;
    }
    if (!FClosing) {
        FClosing = true;
        EISPException::Notifier() = nullptr;
        try {
            DeInitialize();
        } catch (const std::exception& ex) {
            FPrompts.ErrorBox(this, QString(), QString::fromStdString(ex.what()));
        }
    }
    e->accept();
}

void Tmain::wheelEvent(QWheelEvent* e) {
    const int d = -e->angleDelta().y();
    if (FlashViewer->Data()) {
        if (FlashViewer->Cursor() + d / 16 >= 0) FlashViewer->SetCursor(FlashViewer->Cursor() + d);
        FlashViewer->DoScroll(sb_thumbposition, FlashViewer->Cursor() / 16, false);
        FlashViewer->RecreateCanvas();
    }
    e->accept();
}

void Tmain::ShowFlashPage() {
    if (PageControl->isTabEnabled(PageControl->indexOf(FlashTab))) PageControl->setCurrentWidget(FlashTab);
    UpdatePageChecks();
}

void Tmain::ShowStatusPage() {
    PageControl->setCurrentWidget(StatusTab);
    StatusList->SelectLast();
    UpdatePageChecks();
}

void Tmain::ShowFusesPage() {
    PageControl->setCurrentWidget(FusesTab);
    if (FFuseForm && FFuseForm->isHidden()) FFuseForm->show();
    UpdatePageChecks();
}

void Tmain::UpdatePageChecks() {
    QWidget* page = PageControl->currentWidget();
    ViewFlash->setChecked(page == FlashTab);
    ViewStatus->setChecked(page == StatusTab);
    ViewFuses->setChecked(page == FusesTab);
}

void Tmain::ShowFlashViewer() {
    ShowFlashPage();
    FlashViewer->show();
    FlashViewer->RecreateCanvas();
}
