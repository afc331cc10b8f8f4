#include "programmer/unit/smart_serial.h"

#include "errors/errors.h"
#include "ports/serial_device.h"
#include "programmer/driver_host.h"
#include "programmer/unit/com_port_settings.h"

#include <algorithm>

namespace {

TComPort& Opened(TComPort* Port) {
    if (!Port) throw EComError("Can't perform this operation on a closed port");
    return *Port;
}

} // namespace

TSmartSerial::TSmartSerial() {
    DriverOpen = false;
}

TSmartSerial::~TSmartSerial() = default;

std::unique_ptr<TComPort> TSmartSerial::NewPort() {
    auto port = std::make_unique<TComPort>();
    if (FLineFactory) port->SetLineFactory(FLineFactory);
    return port;
}

void TSmartSerial::InitHardwareDriver() {
    if (DriverOpen) return;
    SetHasStatus(true);
    FCommDriver = NewPort();
    SetHadOptions(true);
    DriverOpen = true;
}

void TSmartSerial::DeInitHardwareDriver() {
    if (FCommDriver) {
        FCommDriver->Close();
        FCommDriver.reset();
    }
    DriverOpen = false;
}

TLinkClock& TSmartSerial::Clock() {
    if (HasInjectedClock()) return TSmartParallel::Clock();
    if (FCommDriver && FCommDriver->Active()) return FCommDriver->Clock();
    return TSmartParallel::Clock();
}

std::string TSmartSerial::PortName() const {
    const int number = ABasePort + 1;
    return (number > 2 ? "\\\\.\\COM" : "COM") + std::to_string(number);
}

TComPortTable TSmartSerial::PortTable() const {
    TComPortTable table = LoadComPortTable(SaveLocation());
    table.Merge(EnumerateSerialDevices());
    return table;
}

bool TSmartSerial::HardwareOpen() {
    InitHardwareDriver();
    LoadSettings();
    TComPort& port = *FCommDriver;
    FTable = PortTable();
    port.SetPortTable(FTable);
    port.SetDeviceName(PortName());
    port.Open();
    port.SetBaudRate(br115200);
    port.SetDataBits(db8);

    // The line sequence; a pseudo-terminal has no modem lines and ignores it.
    TLinkClock& clock = Clock();
    port.SetDTR();
    port.SetRTS();
    clock.Sleep(kLineSettle);
    port.ClearDTR();
    port.ClearRTS();
    clock.Sleep(kLineSettle);
    port.SetDTR();
    port.SetRTS();
    clock.Sleep(kLineSettle);
    port.Flush();
    port.SetParity(paNone);
    clock.Sleep(kLineSettle);
    // What arrived during the settle (a reply the unit held up past the end
    // of the last run) must not be taken for the probe's answer.
    DrainStaleInput();

    std::string id;
    EndPipeline();
    FUnitBuffers = false;
    FProbeCode = 0;
    FUnitFastLink = false;
    FUnitRing = 0;
    try {
        Probe();
        id = readstring('S', 9);
    } catch (const EISPException&) {
        throw EISPException("Programmer was not detected", false, "");
    }
    ConfirmReply('S', HardwareID(), id, "identification");
    CheckSoftwareVersion();
    if (EEPROMTime == 0) EEPROMTime = static_cast<std::uint8_t>(Dev().EEPROMTime());
    WriteString('E', Hex2(SmartDongle::ClockSpeed));
    NegotiateLink();
    return true;
}

void TSmartSerial::DrainStaleInput() {
    TComPort& port = Opened(FCommDriver.get());
    TLinkClock& clock = Clock();
    const TLinkTime limit = clock.Now() + kDrainLimit;
    for (;;) {
        while (port.InputCount() > 0)
            port.ReadByte();
        const TLinkDuration left = limit - clock.Now();
        // A line that stays busy past the limit is left to the probe.
        if (left <= TLinkDuration::zero()) return;
        if (!port.WaitForInput(std::min<TLinkDuration>(kQuietLine, left))) return; // quiet
    }
}

void TSmartSerial::Probe() {
    // The probe; its reply is not examined further.
    TLinkClock& clock = Clock();
    const TLinkTime sent = clock.Now();
    Writedata('*');
    std::uint8_t reply = 0;
    try {
        reply = ReadData(true);
    } catch (const EISPException&) {
        // No reply at all: on a board that resets when DTR is asserted the
        // bootloader has eaten the probe. Once it has given up, the firmware
        // listens; whatever the bootloader sent is dropped.
        const TLinkTime ready = sent + kBootloaderTime;
        if (clock.Now() < ready) clock.Sleep(ready - clock.Now());
        DrainStaleInput();
        Writedata('*');
        reply = ReadData(true);
    }
    FProbeCode = reply == '?' ? ReadData(true) : 0;
    FUnitBuffers = FProbeCode == kBuffersCode || FProbeCode == kFastLinkCode;
}

void TSmartSerial::HardwareClose() {
    EndPipeline();
    ReturnToBaseRate();
    DeInitHardwareDriver();
    SaveSettings();
}

void TSmartSerial::SaveSettings() {
    TSmartParallel::SaveSettings();
    // The port table becomes visible (and editable) in the settings.
    if (!FTable.Empty()) SaveComPortTable(SaveLocation(), FTable);
}

std::string TSmartSerial::HardwareStatus() {
    return TSmartParallel::HardwareStatus();
}

void TSmartSerial::Writedata(std::uint8_t Adata) {
    Opened(FCommDriver.get()).WriteByte(Adata);
}

void TSmartSerial::Writedata(char Adata) {
    Opened(FCommDriver.get()).WriteChar(Adata);
}

std::uint8_t TSmartSerial::ReadData(bool Nice) {
    // Replies come in order: the acknowledgements still due come first.
    if (FPendingAcks && !FCollecting) CollectAcknowledgements();
    TComPort& port = Opened(FCommDriver.get());
    TLinkClock& clock = Clock();
    const TLinkTime limit = clock.Now() + ByteTimeout;
    // Until a byte has arrived or the limit has passed; with Nice the front
    // end is kept alive in between.
    for (;;) {
        if (Nice) DoUpdateProgress(-1, -1);
        const TLinkDuration left = std::max(limit - clock.Now(), TLinkDuration::zero());
        if (port.WaitForInput(Nice ? std::min<TLinkDuration>(left, kNiceSlice) : left)) break;
        if (clock.Now() >= limit) Fail("Communications with ISP failed during this operation");
    }
    return port.ReadByte();
}

bool TSmartSerial::WaitReady() {
    TComPort& port = Opened(FCommDriver.get());
    TLinkClock& clock = Clock();
    const TLinkTime limit = clock.Now() + AckTimeout;
    while (!port.WaitForInput(std::max(limit - clock.Now(), TLinkDuration::zero())))
        if (clock.Now() >= limit) Fail("ISP timed out during operation");
    return true;
}

void TSmartSerial::writepage(std::uint8_t Size, const std::string& stream) {
    if (Pipelining()) MakeRoom(2 + stream.size());
    WriteStringNOACK('W', std::string(1, static_cast<char>(Size)));
    Opened(FCommDriver.get()).WriteString(stream);
    if (Pipelining()) {
        Deferred(2 + stream.size());
        return;
    }
    GetAcknowledge();
}

std::string TSmartSerial::readpage(std::uint8_t Size) {
    TComPort& port = Opened(FCommDriver.get());
    if (Pipelining()) MakeRoom(2);
    WriteStringNOACK('R', std::string(1, static_cast<char>(Size)));
    if (FPendingAcks) CollectAcknowledgements();
    port.Flush();
    std::string reply(Size, '\0');
    port.SetReadTimeout(PageReadTimeout);
    port.Read(reply.data(), Size, true);
    GetAcknowledge();
    return reply;
}

void TSmartSerial::AskOptions() {
    TDriverHost* host = DriverHost();
    std::unique_ptr<TPortOptionsDialog> dialog = host ? host->CreateOptionsDialog() : nullptr;
    if (!dialog) return; // nothing to ask: as cancelled
    InitHardwareDriver();
    FTable = PortTable();
    FCommDriver->SetPortTable(FTable);
    std::vector<std::string> names;
    FCommDriver->EnumComDevicesFromRegistry(names);
    for (const auto& name : names)
        dialog->SetupPortsLpt(name);
    if (!dialog->Execute(ABasePort, 0, FlashTime, OptionsEEPROMTime())) return;
    const int chosen = dialog->GetPort();
    if (chosen >= 0) ABasePort = static_cast<std::uint16_t>(chosen);
    ChooseEEPROMTime(dialog->GetEEPROMTime());
    FlashTime = dialog->GetFlashTime();
    SaveSettings();
    HardwareClose();
    HardwareOpen();
}

void TSmartSerial::ShowStatus(const std::string&) {
    std::vector<std::string> lines;
    lines.push_back("======== Programmer Connection =======");
    lines.push_back("Hardware Selected: " + HardwareName());
    lines.push_back("Connection Method: Serial Port");
    lines.push_back("Port Number: " + std::to_string(ABasePort + 1));
    lines.push_back(FCommDriver && FCommDriver->Active() ? "Driver Status: Connected"
                                                         : "*Driver Status: Not Connected");
    lines.push_back("Max Read Timeout: " + std::to_string(MaxReadTimeOut()));
    lines.push_back("Max Write Timeout: " + std::to_string(MaxWriteTimeOut()));
    bool connected = true;
    try {
        CheckISPMode();
    } catch (const EISPException&) {
        lines.push_back("*Communications to Programmer Failed");
        connected = false;
    }
    lines.push_back("======== General Information =======");
    if (connected) {
        lines.push_back("Programmer ID: " + readstring('S', 9));
        lines.push_back("Hardware Version: " + readstring('V', 4));
        lines.push_back("Firmware Version: " + readstring('v', 4));
        lines.push_back("======== Device Information =======");
        lines.push_back("Device Selected: " + Dev().DeviceName());
    }
    if (TDriverHost* host = DriverHost()) host->ShowInformation("Information", lines, "", "");
}
