#include "ch341a_rig.h"

#include "buffer/hex_text.h"
#include "programmer/ch341a/ch341a_module.h"
#include "programmer/driver_module.h"

TCh341Rig::TCh341Rig(const std::string& DeviceName, int Organisation, TSimOptions Options) {
    Driver = std::make_unique<TCh341A>(nullptr);
    auto bus = std::make_unique<TSimCh341Bus>(*Driver, std::move(Options));
    Bus = bus.get();
    Driver->SetUsbBus(std::move(bus));
    SetUp(DeviceName, Organisation);
}

TCh341Rig::TCh341Rig(TLibUsb, const std::string& DeviceName, int Organisation) {
    FSocket.push_back(std::make_unique<TScopedEnv>("NORVOISP_LIBUSB_CHIP", DeviceName.c_str()));
    FSocket.push_back(std::make_unique<TScopedEnv>("NORVOISP_LIBUSB_ORG",
                                                   std::to_string(Organisation == 8 ? 8 : 16).c_str()));
    Driver = std::make_unique<TCh341A>();
    SetUp(DeviceName, Organisation);
}

void TCh341Rig::SetUp(const std::string& DeviceName, int Organisation) {
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
    // The board goes while the socket's environment is still in place.
    Driver.reset();
    SetDriverHost(nullptr);
}

void TCh341Rig::Open() {
    Driver->HardwareOpen();
    if (Bus) Bus->EnsureChip();
}

TSimChip& TCh341Rig::Chip() {
    Bus->EnsureChip();
    return *Board().Chip();
}

void TCh341Rig::FillBuffer(const std::function<std::uint8_t(int)>& Pattern) {
    for (std::uint32_t i = 0; i < Buffer.Size(); ++i)
        Buffer.HexData[i] = Pattern(static_cast<int>(i));
}
