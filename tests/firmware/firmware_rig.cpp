#include "firmware_rig.h"

#include "programmer/unit/smart_dongle.h"

TAvrUnitConfig FirmwareBoard(bool AutoReset) {
    TAvrUnitConfig board;
    board.Firmware = FIRMWARE_ELF;
    board.AutoReset = AutoReset;
    return board;
}

TFirmwareRig::TFirmwareRig(const std::string& DeviceName, TChipOptions Chip, TAvrUnitConfig Board)
    : Unit(std::move(Board)), Link(Unit), Clock(Link) {
    Device = DeviceList().GetNewDeviceInstance(DeviceName, TProgrammerSupport{pk_eisp});
    if (!Device) throw std::runtime_error("no device " + DeviceName);
    Unit.InsertChip(MakeChip(DeviceName, Chip));
    Settings.SetSetting("COMPORTS", "COM1", ss_global, std::string("(simulated MCU)"));
    Driver.SetHardwareName("NORVO ISP (COM)");
    Driver.SetSaveLocation(&Settings);
    Driver.SetDevice(Device);
    Driver.SetClock(&Clock);
    Driver.SetLineFactory([this](const std::string&) { return std::make_unique<TSimSerialLine>(Link); });
    SmartDongle::PageSize = Device->PageSize();
    SmartDongle::ClockSpeed = 1;
    SetDriverHost(&Host);
    Buffer.SetSizeof(static_cast<std::uint32_t>(Device->FlashSize()));
}

TFirmwareRig::~TFirmwareRig() {
    Driver.DeInitHardwareDriver();
    SetDriverHost(nullptr);
}

void TFirmwareRig::FillBuffer(const std::function<std::uint8_t(int)>& Pattern) {
    for (std::uint32_t i = 0; i < Buffer.Size(); ++i)
        Buffer.HexData[i] = Pattern(static_cast<int>(i));
}
