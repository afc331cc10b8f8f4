#include "session/device_session.h"

#include "kinds/hardware.h"
#include "kinds/kind_table.h"
#include "programmer/driver_module.h"
#include "settings/settings_store.h"

TDeviceSession::TDeviceSession(TSessionEvents& Events, TISPSettings& Settings)
    : FEvents(Events), FSettings(Settings), FPreviousHost(DriverHost()) {
    SetDriverHost(&FEvents);
}

TDeviceSession::~TDeviceSession() {
    FDriver.reset();
    if (DriverHost() == &FEvents) SetDriverHost(FPreviousHost);
}

const THardwareKind& TDeviceSession::StandIn() {
    return StandInKind();
}

bool TDeviceSession::SelectKind(const std::string& Name) {
    const int index = GetHardwareIndex(Name);
    if (index < 0) return false;
    const THardware entry = GetHardware(index);
    FKind = entry.Kind;
    FKindName = entry.HardwareName;
    return true;
}

TISPProgrammer& TDeviceSession::CreateDriver() {
    if (FDriver) {
        FDriver->HardwareClose();
        FDriver.reset();
    }
    std::unique_ptr<TISPProgrammer> driver = GetNewHardwareInstance(GetHardwareIndex(FKindName));
    driver->SetSaveLocation(&FSettings);
    driver->SetOnProgressUpdate([this](int Current, int Maximum) { FEvents.Progress(Current, Maximum); });
    if (FDevice) driver->SetDevice(FDevice);
    FDriver = std::move(driver);
    return *FDriver;
}

TISPProgrammer& TDeviceSession::SelectHardware(const std::string& Name) {
    std::string name = Name;
    if (!SelectKind(Name)) {
        SelectKind(GetHardware(0).HardwareName);
        name = FKindName;
    }
    TISPProgrammer& driver = CreateDriver();
    driver.SetHardwareName(name);
    return driver;
}

void TDeviceSession::ApplyPort(const std::string& Port) {
    FNamedPort = Port;
    Apply(&THardwareKind::ApplyPort, Port);
}

void TDeviceSession::ApplyClock(TClockChoice Clock) {
    Apply(&THardwareKind::ApplyClock, Clock);
}

void TDeviceSession::ApplyBaud(int Baud) {
    Apply(&THardwareKind::ApplyBaud, Baud);
}

void TDeviceSession::ApplyWriteTime(int Milliseconds) {
    Apply(&THardwareKind::ApplyWriteTime, Milliseconds);
}

std::string TDeviceSession::PortName() const {
    if (!FNamedPort.empty()) return FNamedPort;
    if (!FKind || !FKind->PortName) return {};
    const std::string section = FDriver ? FDriver->HardwareName() : FKindName;
    return FKind->PortName(TKindSettings(FSettings, section));
}

void TDeviceSession::SelectDevice(TDevice* Device) {
    FDevice = Device;
    if (FDriver) FDriver->SetDevice(Device);
    if (Device) SmartDongle::PageSize = Device->PageSize();
    SmartDongle::ClockSpeed = 1;
}

void TDeviceSession::HandOverOrganisation() {
    if (!FDriver) return;
    const TFusePanel* panel = FEvents.FusePanel();
    const int mode = panel ? panel->ModeIndex() : 1;
    FDriver->WriteTiming(mode == 1 ? 16 : 8);
}

void TDeviceSession::StartOp(const std::string& Busy) {
    FFrame.Start();
    FEvents.OperationStarted(Busy);
}

void TDeviceSession::EndOp(const std::string& Complete, bool Accumulate) {
    if (FDriver) FDriver->ResetAbort();
    FEvents.OperationEnded(FFrame.End(Complete, Accumulate));
}

TFailureReport TDeviceSession::Report(const std::exception& E) const {
    return ReportFailure(E, FDriver ? FDriver->HardwareName() : FKindName);
}

void TDeviceSession::FailOp(const std::exception& E) {
    FFrame.End({});
    FEvents.OperationFailed(Report(E));
}

bool TDeviceSession::Operation(const std::string& Busy, const std::string& Complete,
                               const std::function<void()>& Work) {
    StartOp(Busy);
    try {
        Work();
    } catch (const std::exception& e) {
        FailOp(e);
        return false;
    }
    EndOp(Complete);
    return true;
}
