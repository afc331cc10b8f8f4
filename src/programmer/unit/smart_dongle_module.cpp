#include "programmer/unit/smart_dongle.h"

#include "catalogue/device_list.h"
#include "programmer/unit/com_port_settings.h"
#include "programmer/unit/parallel_port.h"
#include "programmer/unit/smart_serial.h"
#include "programmer/unit/vic_lpt_port.h"

std::unique_ptr<TParallelPort> SmartDongle::Port;

using SmartDongle::Port;

namespace {

TParallelPortFactory& PortFactory() {
    static TParallelPortFactory factory = NewSystemParallelPort;
    return factory;
}

// "LPT1" to "LPT3" (any letter case) as BASEPORT 0 to 2.
void ApplyLptPort(TKindSettings& Settings, const std::string& Port) {
    const std::string upper = AsciiUpper(Port);
    if (upper.size() != 4 || upper.rfind("LPT", 0) != 0 || upper[3] < '1' || upper[3] > '3')
        throw EKindOptionError("LPT1, LPT2 or LPT3 for \"" + Settings.Section() + "\"");
    Settings.Set("BASEPORT", upper[3] - '1');
}

// "COMn" as BASEPORT n - 1; a device path gets its number in the port
// table first (the lowest free one unless it has one).
void ApplyComPort(TKindSettings& Settings, const std::string& Port) {
    int number = TComPortTable::ComNumber(Port);
    if (!number && !Port.empty() && Port[0] == '/') {
        TComPortTable table = LoadComPortTable(&Settings.Store());
        number = table.Add(Port);
        SaveComPortTable(&Settings.Store(), table);
    }
    if (!number) throw EKindOptionError("COMn or a device path such as /dev/ttyUSB0");
    Settings.Set("BASEPORT", number - 1);
}

std::string LptPortName(const TKindSettings& Settings) {
    return "LPT" + std::to_string(Settings.GetInteger("BASEPORT", 0) + 1);
}

std::string ComPortName(const TKindSettings& Settings) {
    const int number = Settings.GetInteger("BASEPORT", 0) + 1;
    const std::string path = LoadComPortTable(&Settings.Store()).PathOf(number);
    return "COM" + std::to_string(number) + (path.empty() ? std::string() : " (" + path + ")");
}

// The module's start-up: the printer port object is made anew.
void StartUpSmartDongle() {
    Port.reset();
    ISPStartUp();
}

} // namespace

void ApplyUnitClock(TKindSettings& Settings, TClockChoice Clock) {
    Settings.Set("Clockspeed", Clock == TClockChoice::Fast ? 1 : Clock == TClockChoice::Medium ? 16 : 32);
}

void ApplyUnitBaud(TKindSettings& Settings, int Baud) {
    Settings.Set(TSmartSerial::kMaxBaudKey, static_cast<std::int32_t>(Baud));
}

void SetParallelPortFactory(TParallelPortFactory Factory) {
    PortFactory() = std::move(Factory);
}

void ISPStartUp() {
    if (!Port && PortFactory()) Port = PortFactory()();
}

void ISPClose() {
    if (!Port) return;
    Port->SetActive(0);
    Port.reset();
}

std::unique_ptr<TISPProgrammer> GetNewSmartPsi() {
    return std::make_unique<TSmartParallel>();
}

std::unique_ptr<TISPProgrammer> GetNewSmartSerialPsi() {
    return std::make_unique<TSmartSerial>();
}

const THardwareKind LptKind = {
    .Name = LptHardwareName,
    .Visible = true,
    .Caption = "",
    .Support = TProgrammerSupport{pk_eisp},
    .NewInstance = GetNewSmartPsi,
    .StartUp = StartUpSmartDongle,
    .Simulated = false,
    .PortSyntax = "LPT1, LPT2 or LPT3",
    .Needs = "the programmer unit on a printer port (ppdev: group lp; or /dev/port as root)",
    .ApplyPort = ApplyLptPort,
    .ApplyClock = ApplyUnitClock,
    .ApplyBaud = nullptr,
    .ApplyWriteTime = ChooseWriteTime,
    .PortName = LptPortName,
};

const THardwareKind ComKind = {
    .Name = ComHardwareName,
    .Visible = true,
    .Caption = "",
    .Support = TProgrammerSupport{pk_eisp},
    .NewInstance = GetNewSmartSerialPsi,
    .StartUp = nullptr,
    .Simulated = false,
    .PortSyntax = "COMn or a device path such as /dev/ttyUSB0",
    .Needs = "the programmer unit on a serial port or USB serial adapter, 115200 baud or the fast link up "
             "to --baud (group dialout)",
    .ApplyPort = ApplyComPort,
    .ApplyClock = ApplyUnitClock,
    .ApplyBaud = ApplyUnitBaud,
    .ApplyWriteTime = ChooseWriteTime,
    .PortName = ComPortName,
};
