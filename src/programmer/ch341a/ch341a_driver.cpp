// The life of the CH341A driver: finding and opening the board, the three
// ways opening fails (none plugged in, no permission, held by another
// program) each with its fix, settings, the options dialog and the status
// report. The memory operations are the family algorithms.
#include "programmer/ch341a/ch341a_driver.h"

#include "errors/errors.h"
#include "programmer/algorithms/family_algorithms.h"
#include "programmer/ch341a/ch341a_options.h"
#include "programmer/ch341a/ch341a_protocol.h"
#include "programmer/ch341a/usb_trace.h"
#include "programmer/driver_host.h"
#include "programmer/kind_settings.h"
#include "settings/settings_store.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

const char kRule[] = "60-norvoisp.rules";

std::string Places(const std::vector<TUsbDeviceInfo>& Boards) {
    std::string text;
    for (const auto& b : Boards)
        text += (text.empty() ? "" : "; ") + UsbPlaceName(b.Path);
    return text;
}

} // namespace

const std::vector<std::string>& UdevRuleFolders() {
    static const std::vector<std::string> folders{"/etc/udev/rules.d", "/run/udev/rules.d",
                                                  "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                                  "/lib/udev/rules.d"};
    return folders;
}

std::string Ch341PermissionFix(const std::vector<std::string>& RuleFolders) {
    for (const std::string& folder : RuleFolders) {
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::path(folder) / kRule, ec)) continue;
        // Installed (the package puts it in /usr/lib/udev/rules.d): it acts
        // when the board is plugged in, for the user at the seat or the group.
        return std::string("the udev rule ") + kRule + " is installed (in " + folder +
               "): unplug and replug the programmer; it gives the board to the user logged in at the "
               "machine's seat (uaccess, not over ssh) and to the group plugdev (sudo usermod -aG plugdev "
               "$USER, then log in again)";
    }
    return std::string("no udev rule gives you the board: install ") + kRule +
           " from dist/udev of the source tree (sudo cp dist/udev/" + kRule +
           " /etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger), then unplug and "
           "replug the programmer";
}

TCh341A::TCh341A() : TCh341A(NewLibUsbBus()) {}

TCh341A::TCh341A(std::unique_ptr<TUsbBulkBus> Bus) : FBus(std::move(Bus)) {
    SetHadOptions(true);
    SetHasStatus(true);
}

TCh341A::~TCh341A() {
    // The master refers to this object; the board goes first.
    FTransfer.reset();
}

void TCh341A::SetUsbBus(std::unique_ptr<TUsbBulkBus> Bus) {
    FMaster.Reset();
    FTransfer.reset();
    FBus = std::move(Bus);
}

TFamilyAlgorithms TCh341A::Algorithms() {
    TOperationParameters p = CurrentOperationParameters(*this);
    // The board's own write-time choice and I2C clock.
    if (EEPROMTime != 0) p.WriteCycleTime = EEPROMTime;
    p.Clock = I2CSpeedKHz;
    return TFamilyAlgorithms(*this, FMaster, p);
}

TDevice& TCh341A::Dev() const {
    if (!FDevice) throw EISPException("No device selected", false, HardwareName());
    return *FDevice;
}

TUsbTransfer& TCh341A::Transfer() {
    if (!FTransfer) throw EISPException("The CH341A is not open", false, HardwareName());
    return *FTransfer;
}

std::uint8_t TCh341A::SpeedCode() const {
    // The fastest setting that does not exceed the chosen speed.
    std::uint8_t code = 0;
    for (std::uint8_t i = 0; i < std::size(Ch341::I2CSpeedsKHz); ++i)
        if (Ch341::I2CSpeedsKHz[i] <= I2CSpeedKHz) code = i;
    return code;
}

TLinkDuration TCh341A::WriteCycleLimit() const {
    const int ms = EEPROMTime ? EEPROMTime : (FDevice ? FDevice->EEPROMTime() : 10);
    return std::chrono::milliseconds(2 * ms + 10);
}

std::vector<TUsbDeviceInfo> TCh341A::FindBoards() {
    if (!FBus) throw EUsbError(TUsbErrorKind::Io, "no USB bus");
    return FBus->Find(Ch341::VendorId, Ch341::ProductId);
}

void TCh341A::UsbFailed(const EUsbError& e) {
    const std::string where = UsbPath.empty() ? std::string() : " at " + UsbPlaceName(UsbPath);
    std::string message;
    switch (e.Kind()) {
    case TUsbErrorKind::NotFound: {
        std::vector<TUsbDeviceInfo> boards;
        try {
            boards = FindBoards();
        } catch (const EUsbError&) {
        }
        if (!UsbPath.empty() && !boards.empty())
            message = "No CH341A found" + where + " (there is one at " + Places(boards) +
                      "): plug it in there, or choose it in the options (--port " + boards.front().Path + ")";
        else
            message =
                "No CH341A found (USB id 1a86:5512): plug the programmer in; 'lsusb' must list 1a86:5512";
        break;
    }
    case TUsbErrorKind::Access:
        message = "CH341A" + where + ": permission denied: " + Ch341PermissionFix(UdevRuleFolders());
        break;
    case TUsbErrorKind::Busy:
        message = "CH341A" + where +
                  " in use by another program: close the program that holds it (flashrom, "
                  "ch341eeprom, another norvoisp) and try again";
        break;
    case TUsbErrorKind::NoDevice:
        FTransfer.reset();
        message = "CH341A disconnected during the operation: plug it in again and repeat the operation";
        break;
    case TUsbErrorKind::Timeout:
        FTransfer.reset();
        message = "CH341A does not answer (" + e.Message() + "): unplug and replug it";
        break;
    case TUsbErrorKind::Io:
        FTransfer.reset();
        message = "CH341A USB error (" + e.Message() + ")";
        break;
    }
    throw EISPException(message, false, HardwareName());
}

template <class TWork> auto TCh341A::Guarded(TWork&& Work) -> decltype(Work()) {
    try {
        return Work();
    } catch (const EUsbError& e) {
        FMaster.Reset();
        UsbFailed(e);
    } catch (...) {
        // The batch that failed is gone; what is queued after it must not go out.
        FMaster.Reset();
        throw;
    }
}

void TCh341A::Open() {
    FTransfer.reset();
    TUsbOpenRequest request;
    request.VendorId = Ch341::VendorId;
    request.ProductId = Ch341::ProductId;
    request.Path = UsbPath;
    request.Interface = Ch341::Interface;
    request.OutEndpoint = Ch341::OutEndpoint;
    request.InEndpoint = Ch341::InEndpoint;
    request.PacketSize = Ch341::PacketSize;
    // A full queue of I2C bytes at 20 kHz keeps the board busy for about a
    // second before its last reply: the transfers may wait longer than that.
    request.Timeout = std::chrono::seconds(5);
    if (!FBus) throw EUsbError(TUsbErrorKind::Io, "no USB bus");
    std::unique_ptr<TUsbTransfer> device = FBus->Open(request);
    if (const char* trace = std::getenv("NORVOISP_CH341_TRACE"); trace && *trace) {
        try {
            device = std::make_unique<TUsbTrace>(std::move(device), trace);
        } catch (const EISPException& e) {
            throw EISPException(e.Message(), false, HardwareName());
        }
    }
    FTransfer = std::move(device);
    FMaster.Reset();
    // The board answers a read of its port: it is there and listening.
    FMaster.ReadPort();
}

bool TCh341A::HardwareOpen() {
    LoadSettings();
    Guarded([&] { Open(); });
    return true;
}

void TCh341A::HardwareClose() {
    if (FTransfer) {
        try {
            FMaster.ReleasePins();
        } catch (const Exception&) {
            // A board that went away has nothing to release.
        }
    }
    FMaster.Reset();
    FTransfer.reset();
    SaveSettings();
}

void TCh341A::CheckISPMode() {
    Dev();
    Guarded([&] {
        if (!FTransfer) Open();
        try {
            FMaster.ConfigureBus();
        } catch (const EUsbError&) {
            // Unplugged and plugged in again since the last operation: a
            // new handle, once.
            Open();
            FMaster.ConfigureBus();
        }
    });
}

void TCh341A::ProgramFlash(THexList& Afile) {
    Guarded([&] { Algorithms().ProgramFlash(Afile); });
}

void TCh341A::VerifyFlash(THexList& Afile) {
    Guarded([&] { Algorithms().VerifyFlash(Afile); });
}

void TCh341A::ReadFlash(THexList& Afile) {
    Guarded([&] { Algorithms().ReadFlash(Afile); });
}

void TCh341A::EraseDevice() {
    Guarded([&] { Algorithms().EraseDevice(); });
}

std::uint8_t TCh341A::ReadOptionByte() {
    return Guarded([&] { return Algorithms().ReadOptionByte(); });
}

void TCh341A::WriteOptionByte(std::uint8_t Option) {
    Guarded([&] { Algorithms().WriteOptionByte(Option); });
}

void TCh341A::CheckValidDeviceSelected(THexList&) {}
void TCh341A::DetectTargetSpeed(THexList&) {}
void TCh341A::Run(std::uint8_t) {}
void TCh341A::CheckSoftwareVersion() {}

void TCh341A::WriteTiming(std::uint8_t Timing) {
    SetProgmode(Timing);
}

std::uint8_t TCh341A::ReadTiming() {
    return 0;
}

std::uint8_t TCh341A::ReadCal() {
    return Dev().ProgrammerId();
}

std::string TCh341A::GetFirmwareFileName() {
    return "";
}

std::string TCh341A::GetFirmwareVers() {
    // A fixed-function USB chip: no firmware of ours to report.
    return "";
}

std::string TCh341A::HardwareStatus() {
    return FTransfer ? "CH341A: " + FTransfer->Description() : "CH341A: not connected";
}

void TCh341A::LoadSettings() {
    // A write time is kept only when the operator chose it; a stored value
    // without the mark is the device default an older version saved, and
    // would hold every later device to the first one's time.
    EEPROMTime = ChosenWriteTime(SaveLocation(), HardwareName());
    if (TISPSettings* s = SaveLocation()) {
        UsbPath = s->GetString(HardwareName(), "USBPATH", "");
        I2CSpeedKHz = s->GetInteger(HardwareName(), "I2CSpeed", 400);
    } else {
        UsbPath.clear();
        I2CSpeedKHz = 400;
    }
}

void TCh341A::SaveSettings() {
    TISPSettings* s = SaveLocation();
    if (!s) return;
    s->SetSetting(HardwareName(), "USBPATH", ss_global, UsbPath);
    s->SetSetting(HardwareName(), "I2CSpeed", ss_global, static_cast<std::int32_t>(I2CSpeedKHz));
    StoreWriteTime(*s, HardwareName(), EEPROMTime);
}

void TCh341A::AskOptions() {
    TDriverHost* host = DriverHost();
    if (!host) throw EAbort("Cancelled"); // no one to ask: as cancelled
    std::vector<TUsbDeviceInfo> boards;
    try {
        boards = FindBoards();
    } catch (const EUsbError&) {
        // The list stays empty; "the first found" can still be chosen.
    }
    TOptionsForm form = Ch341OptionsForm(boards, {UsbPath, I2CSpeedKHz, EEPROMTime});
    if (!host->ShowOptionsForm(form)) throw EAbort("Cancelled");
    const TCh341Options chosen = Ch341OptionsChosen(form);
    UsbPath = chosen.UsbPath;
    I2CSpeedKHz = chosen.I2CSpeedKHz;
    EEPROMTime = chosen.EEPROMTime;
    SaveSettings();
    HardwareClose();
    HardwareOpen();
}

void TCh341A::ShowStatus(const std::string&) {
    std::vector<std::string> lines;
    lines.push_back("======== Programmer Connection =======");
    lines.push_back("Hardware Selected: " + HardwareName());
    lines.push_back("Connection Method: USB (CH341A, 1a86:5512)");
    lines.push_back("Board: " + (UsbPath.empty() ? std::string("the first found") : UsbPlaceName(UsbPath)));
    lines.push_back(FTransfer ? "Driver Status: Connected (" + FTransfer->Description() + ")"
                              : "*Driver Status: Not Connected");
    try {
        const auto boards = FindBoards();
        lines.push_back("Boards Found: " + (boards.empty() ? std::string("none") : Places(boards)));
    } catch (const EUsbError& e) {
        lines.push_back("*Boards Found: USB unavailable (" + e.Message() + ")");
    }
    lines.push_back("I2C Speed: " + std::to_string(Ch341::I2CSpeedsKHz[SpeedCode()]) + " kHz");
    lines.push_back(
        "Write Cycle Limit: " +
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(WriteCycleLimit()).count()) +
        " ms");
    lines.push_back("======== General Information =======");
    if (FDevice) lines.push_back("Device Selected: " + FDevice->DeviceName());
    if (TDriverHost* host = DriverHost()) host->ShowInformation("Information", lines, "", "");
}
