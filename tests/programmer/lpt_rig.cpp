#include "lpt_rig.h"

#include "chips/chip_factory.h"
#include "programmer/unit/smart_dongle.h"

#include <stdexcept>

TWireView WireView(const std::vector<TSimLptIo::TAccess>& Log, std::uint16_t Base) {
    TWireView view;
    bool sck = false;
    bool miso = false;
    for (const auto& a : Log) {
        if (!a.Write && a.Address == Base + 1) miso = (a.Value & 0x80) == 0; // pin 11, inverted
        if (!a.Write || a.Address != Base + 2) continue;
        const bool high = (a.Value & 0x02) == 0; // pin 14, inverted
        if (high && !sck) view.MosiAtRise.push_back((a.Value & 0x04) ? 1 : 0);
        if (!high && sck) view.MisoAtFall.push_back(miso ? 1 : 0);
        sck = high;
    }
    return view;
}

TLptRig::TLptRig(const std::string& DeviceName, TSimLptSetup Setup, int Organisation) {
    auto port = std::make_unique<TSimParallelPort>(std::move(Setup));
    FPort = port.get();
    SmartDongle::Port = std::move(port);
    FPort->Unit().Transcript().SetKeep(true);
    Device = DeviceList().GetNewDeviceInstance(DeviceName, TProgrammerSupport{pk_eisp});
    if (!Device) throw std::runtime_error("no device " + DeviceName);
    TChipOptions chip;
    chip.Organisation = Organisation;
    FPort->Unit().InsertChip(MakeChip(DeviceName, chip));
    Driver.SetHardwareName("NORVO ISP (LPT)");
    Driver.SetSaveLocation(&Settings);
    Driver.SetDevice(Device);
    Driver.SetClock(&FPort->Clock());
    Driver.WriteTiming(static_cast<std::uint8_t>(Organisation));
    SmartDongle::PageSize = Device->PageSize();
    SmartDongle::ClockSpeed = 1;
    SetDriverHost(&Host);
    Buffer.SetSizeof(static_cast<std::uint32_t>(Device->FlashSize()));
}

TLptRig::~TLptRig() {
    SetDriverHost(nullptr);
    SmartDongle::Port.reset();
}

void TLptRig::Open() {
    Driver.HardwareOpen();
    Clear();
}

void TLptRig::Clear() {
    FPort->Unit().Transcript().Clear();
    FPort->Io().ClearLog();
}

void TLptRig::FillBuffer(std::uint8_t (*Pattern)(std::uint32_t)) {
    for (std::uint32_t i = 0; i < Buffer.Size(); ++i)
        Buffer.HexData[i] = Pattern(i);
}
