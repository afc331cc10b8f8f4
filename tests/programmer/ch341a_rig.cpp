#include "ch341a_rig.h"

#include "buffer/hex_text.h"
#include "programmer/ch341a/ch341a_module.h"
#include "programmer/driver_module.h"

TCh341Rig::TCh341Rig(const std::string& DeviceName, int Organisation, TSimOptions Options) {
    Driver = std::make_unique<TCh341A>(nullptr);
    auto bus = std::make_unique<TSimCh341Bus>(*Driver, std::move(Options));
    Bus = bus.get();
    Driver->SetUsbBus(std::move(bus));
    Device = DeviceList().GetNewDeviceInstance(DeviceName, TProgrammerSupport{pk_usb});
    if (!Device) throw std::runtime_error("no device " + DeviceName);
    Driver->SetHardwareName(AsciiUpper(Ch341aHardwareName));
    Driver->SetSaveLocation(&Settings);
    Driver->SetDevice(Device);
    Driver->WriteTiming(static_cast<std::uint8_t>(Organisation));
    Host.Panel.Mode = Organisation == 8 ? 0 : 1;
    SmartDongle::PageSize = Device->PageSize();
    SetDriverHost(&Host);
    Buffer.SetSizeof(static_cast<std::uint32_t>(Device->FlashSize()));
}

TCh341Rig::~TCh341Rig() {
    SetDriverHost(nullptr);
}

void TCh341Rig::Open() {
    Driver->HardwareOpen();
    Bus->EnsureChip();
}

TSimChip& TCh341Rig::Chip() {
    Bus->EnsureChip();
    return *Board().Chip();
}

void TCh341Rig::FillBuffer(const std::function<std::uint8_t(int)>& Pattern) {
    for (std::uint32_t i = 0; i < Buffer.Size(); ++i)
        Buffer.HexData[i] = Pattern(static_cast<int>(i));
}
