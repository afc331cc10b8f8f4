// The driver's life around the bus sequences: creation, opening the unit on
// the printer port and identifying it, family selection with recovery,
// reset polarity, settings, the options dialog and the status report.
#include "buffer/hex_text.h"
#include "errors/errors.h"
#include "programmer/driver_host.h"
#include "programmer/kind_settings.h"
#include "programmer/unit/parallel_port.h"
#include "programmer/unit/smart_parallel.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <chrono>

using SmartDongle::ClockSpeed;
using SmartDongle::Port;
using SmartDongle::Softver;

namespace {

const char kFirmwareUpdate[] = "Your ISP needs a firmware update";

// When the port could not be opened for want of permission, the way to get
// it goes to the status log as a line of its own, before the open's failure
// travels with its usual message.
void ReportOpenAdvice(const TParallelPort& Opened) {
    const std::string advice = Opened.OpenAdvice();
    TDriverHost* host = DriverHost();
    if (advice.empty() || !host) return;
    try {
        host->AddStatusLine(advice);
    } catch (...) {
        // The failure below is what matters; a log that cannot take the
        // line does not replace it.
    }
}

} // namespace

TSmartParallel::TSmartParallel() {
    DriverOpen = false;
    SetHasStatus(true);
    FMOSI = 16;
    FSCK = 14;
    FSYNC = 10;
    FMISO = 11;
    FPARR = 17;
    FRESET = 1;
    FlashTime = 0;
    EEPROMTime = 0;
    SetHadOptions(true);
}

TSmartParallel::~TSmartParallel() = default;

TLinkClock& TSmartParallel::Clock() {
    return FClock ? *FClock : SystemLinkClock();
}

TDevice& TSmartParallel::Dev() const {
    if (!FDevice) Fail("No device selected");
    return *FDevice;
}

std::string TSmartParallel::HardwareID() {
    return "VORIZORUV";
}

std::string TSmartParallel::GetFirmwareVers() {
    return readstring('v', 4);
}

std::uint8_t TSmartParallel::ReadCal() {
    return Dev().ProgrammerId();
}

void TSmartParallel::WriteTiming(std::uint8_t Timing) {
    SetProgmode(Timing);
}

std::uint8_t TSmartParallel::ReadTiming() {
    return 0;
}

void TSmartParallel::CheckValidDeviceSelected(THexList&) {}
void TSmartParallel::DetectTargetSpeed(THexList&) {}
void TSmartParallel::DisableProgramming() {}
void TSmartParallel::CheckHardware() {}
void TSmartParallel::DefaultTimeOut() {}

std::string TSmartParallel::SVERSION() {
    return Softver;
}

std::string TSmartParallel::GetFirmwareFileName() {
    return "VORIZORUV";
}

std::string TSmartParallel::HardwareStatus() {
    return Port && Port->Active() ? "Printer Port Driver: OK" : "Printer Port Driver: Unavailable";
}

bool TSmartParallel::HardwareOpen() {
    ISPStartUp();
    if (Port) Port->SetActive(1);
    if (!Port || Port->Active() == 0) {
        if (Port) ReportOpenAdvice(*Port);
        Fail("LPT port not found or in use by another program");
    }
    LoadSettings();
    if (ABasePort > 2) ABasePort = 0; // only LPT1 to LPT3 can be chosen
    Port->SetCurrentLPT(ABasePort + 1);
    Port->SetCurrentLptMode(LPT_EPP_MODE);
    for (int pin = 1; pin <= 17; ++pin)
        Port->SetPin(pin, false);
    for (int pin = 2; pin <= 9; ++pin)
        Port->SetPin(pin, true);
    Clock().Sleep(kPowerSettle);
    // Reset the unit; it restarts and sends its identification unasked.
    Port->SetPin(FSCK, false);
    Port->SetPin(FPARR, false);
    Port->SetPin(FRESET, false);
    Clock().Sleep(kResetPulse);
    Port->SetPin(FRESET, true);
    Clock().Sleep(kResetPulse);

    std::string id;
    try {
        for (int i = 0; i < 9; ++i)
            id.push_back(static_cast<char>(ReadData(false)));
    } catch (const EISPException&) {
        throw EISPException("Programmer was not detected", false, "");
    }
    ConfirmReply('S', HardwareID(), id, "identification");
    CheckSoftwareVersion();
    try {
        EnableProgramming();
    } catch (const EISPException&) {
        Fail("ISP is not responding, check your communications settings");
    }
    if (EEPROMTime == 0) EEPROMTime = static_cast<std::uint8_t>(Dev().EEPROMTime());
    WriteString('E', Hex2(ClockSpeed));
    return true;
}

void TSmartParallel::HardwareClose() {
    if (Port) {
        Port->SetPin(FRESET, false);
        Port->SetPin(FPARR, false);
    }
    SaveSettings();
    if (Port) Port->SetActive(0);
}

void TSmartParallel::CheckSoftwareVersion() {
    ConfirmReply('v', Softver, readstring('v', 4), "firmware");
}

namespace {

// A reply as the operator can read it: printable characters as they are,
// any other byte as \xNN.
std::string Shown(const std::string& Reply) {
    static const char digits[] = "0123456789ABCDEF";
    std::string shown;
    for (const char c : Reply) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            shown += c;
        } else {
            shown += "\\x";
            shown += digits[u >> 4];
            shown += digits[u & 15];
        }
    }
    return shown;
}

} // namespace

void TSmartParallel::ConfirmReply(char TriggerChar, const std::string& Expected, const std::string& Reply,
                                  const std::string& What) {
    if (Reply == Expected) return;
    // One garbled byte on the line is no other firmware: ask once more.
    DrainStaleInput();
    const std::string again = readstring(TriggerChar, static_cast<int>(Expected.size()));
    if (again == Expected) return;
    if (again == Reply)
        throw EFirmwareMisMatch(std::string(kFirmwareUpdate) + " (" + What + " '" + Expected +
                                "' expected, '" + Shown(Reply) + "' read)");
    throw EISPException("The programmer's " + What + " reads differently each time ('" + Expected +
                            "' expected, '" + Shown(Reply) + "', then '" + Shown(again) +
                            "' read): the link garbles its replies; check the cable and the port",
                        false, "");
}

void TSmartParallel::EnableProgramming() {
    const std::uint8_t family = FamilyBus(Dev().ProgrammerId());
    WriteString('M', Hex2(family));
    if (family == FAMILY_24C)
        i2c_reset();
    else
        Stop();
    // A page that a run broken off in the middle left in the chip is
    // written now that the stop condition (I2C) or the deselection (SPI)
    // ends it; until its write cycle is over the chip ignores a read (a 25C
    // part's output floats: the read would give FFh), so it is waited out.
    if (family == FAMILY_24C || family == FAMILY_25C)
        Clock().Sleep(std::chrono::milliseconds(std::max<int>(EEPROMTime, Dev().EEPROMTime())));
    GetBitSize();
    GetShiftLeft();
}

void TSmartParallel::CheckISPMode() {
    try {
        EnableProgramming();
    } catch (const EISPException&) {
        // The unit lost track: reset and identify it again, then retry once.
        HardwareClose();
        HardwareOpen();
        EnableProgramming();
    }
}

void TSmartParallel::Run(std::uint8_t pol) {
    WriteString('P', Hex2(pol));
}

void TSmartParallel::LoadSettings() {
    TISPSettings* s = SaveLocation();
    const int defaultTime = FDevice ? FDevice->EEPROMTime() : 0;
    ABasePort = 0;
    EEPROMTime = static_cast<std::uint8_t>(defaultTime);
    FEEPROMTimeChosen = false;
    ClockSpeed = 1;
    if (s) {
        ABasePort = static_cast<std::uint16_t>(s->GetInteger(HardwareName(), "BASEPORT", 0));
        if (const std::uint8_t chosen = ChosenWriteTime(s, HardwareName())) {
            EEPROMTime = chosen;
            FEEPROMTimeChosen = true;
        }
        ClockSpeed = s->GetInteger(HardwareName(), "Clockspeed", 1);
    }
    FMaxReadTimeOut = 50000;
    FMaxWriteTimeOut = 50000;
}

void TSmartParallel::SaveSettings() {
    TISPSettings* s = SaveLocation();
    if (!s) return;
    s->SetSetting(HardwareName(), "BASEPORT", ss_global, static_cast<std::int32_t>(ABasePort));
    StoreWriteTime(*s, HardwareName(), FEEPROMTimeChosen ? EEPROMTime : 0);
    s->SetSetting(HardwareName(), "Clockspeed", ss_global, static_cast<std::int32_t>(ClockSpeed));
}

void TSmartParallel::ChooseEEPROMTime(std::uint8_t Value) {
    FEEPROMTimeChosen = Value != 0;
    EEPROMTime = Value != 0 ? Value : static_cast<std::uint8_t>(FDevice ? FDevice->EEPROMTime() : 0);
}

void TSmartParallel::AskOptions() {
    TDriverHost* host = DriverHost();
    std::unique_ptr<TPortOptionsDialog> dialog = host ? host->CreateOptionsDialog() : nullptr;
    if (!dialog) throw EAbort("Cancelled"); // no dialog to ask: as cancelled
    ISPStartUp();
    const int ports = Port ? Port->NumLPTs() : 0;
    for (int i = 1; i <= ports; ++i)
        dialog->SetupPortsLpt("LPT" + std::to_string(i));
    if (!dialog->Execute(ABasePort, 0, FlashTime, OptionsEEPROMTime())) throw EAbort("Cancelled");
    ABasePort = static_cast<std::uint16_t>(dialog->GetPortLpt());
    ChooseEEPROMTime(dialog->GetEEPROMTime());
    FlashTime = dialog->GetFlashTime();
    SaveSettings();
    HardwareClose();
    HardwareOpen();
}

void TSmartParallel::ShowStatus(const std::string& ISPGoldVersion) {
    std::vector<std::string> lines;
    const std::uint16_t address = Port ? Port->BasePortAddress() : 0;
    lines.push_back("Printer Port: LPT" + std::to_string(ABasePort + 1) +
                    " Port Address:" + IntToHex(address, 3));
    lines.push_back(Port && Port->Active() == 1 ? "Printer Port Driver: OK"
                                                : "Printer Port Driver: Unavailable");
    bool connected = true;
    try {
        CheckISPMode();
    } catch (const EISPException&) {
        lines.push_back("*Communications to Programmer Failed");
        connected = false;
    }
    lines.push_back("======== General Information =======");
    std::string firmware = "Unknown Hardware not available";
    if (connected) {
        lines.push_back("Programmer ID: " + readstring('S', 9));
        lines.push_back("Hardware Version: " + readstring('V', 4));
        firmware = readstring('v', 4);
        lines.push_back("Device Selected: " + Dev().DeviceName());
    }
    if (TDriverHost* host = DriverHost())
        host->ShowInformation("ISP Information", lines, ISPGoldVersion, firmware);
}
