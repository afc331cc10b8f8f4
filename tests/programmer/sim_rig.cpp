#include "sim_rig.h"

#include "buffer/hex_text.h"
#include "errors/errors.h"
#include "programmer/unit/smart_dongle.h"
#include "sim_kinds/sim_kinds.h"

std::unique_ptr<TPortOptionsDialog> TFakeHost::CreateOptionsDialog() {
    if (!DialogSetup) return nullptr;
    auto d = std::make_unique<TFakeDialog>();
    d->Listed = &DialogPorts;
    DialogSetup(*d);
    return d;
}

std::string HexBytes(const std::vector<std::uint8_t>& Bytes) {
    std::string s;
    for (auto b : Bytes) {
        if (!s.empty()) s += ' ';
        s += IntToHex(b, 2);
    }
    return s;
}

std::string MessageOf(const std::function<void()>& f, std::string* HardwareName) {
    try {
        f();
    } catch (const EISPException& e) {
        if (HardwareName) *HardwareName = e.HardwareName;
        return e.Message();
    } catch (const EVerifyError& e) {
        return "EVerifyError: " + e.Message();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

std::string CommandText(const TExchange& e) {
    const char letter = e.Letter();
    std::string s(1, letter);
    std::vector<std::uint8_t> args(e.Sent.begin() + 1, e.Sent.end());
    if (letter == 'M' || letter == 'P' || letter == 'E' || letter == 'D')
        return s + std::string(args.begin(), args.end());
    if (!args.empty()) s += " " + HexBytes(args);
    return s;
}

std::vector<std::string> CommandTexts(const TTranscript& Transcript) {
    std::vector<std::string> out;
    for (const auto& e : Transcript.Exchanges())
        if (e.Kind == TExchangeKind::Command) out.push_back(CommandText(e));
    return out;
}

TSimRig::TSimRig(const std::string& DeviceName, TUnitConfig Unit, TSimOptions Options) {
    Options.KeepTranscript = true;
    Driver = std::make_unique<TSmartSim>(std::move(Options), std::move(Unit));
    Device = DeviceList().GetNewDeviceInstance(DeviceName, TProgrammerSupport{pk_eisp});
    if (!Device) throw std::runtime_error("no device " + DeviceName);
    Driver->SetHardwareName(AsciiUpper(SimHardwareName));
    Driver->SetSaveLocation(&Settings);
    Driver->SetDevice(Device);
    SmartDongle::PageSize = Device->PageSize();
    SmartDongle::ClockSpeed = 1;
    SetDriverHost(&Host);
    Buffer.SetSizeof(static_cast<std::uint32_t>(Device->FlashSize()));
}

TSimRig::~TSimRig() {
    SetDriverHost(nullptr);
}

void TSimRig::Open() {
    Driver->HardwareOpen();
    Clear();
}

void TSimRig::FillBuffer(const std::function<std::uint8_t(int)>& Pattern) {
    for (std::uint32_t i = 0; i < Buffer.Size(); ++i)
        Buffer.HexData[i] = Pattern(static_cast<int>(i));
}
