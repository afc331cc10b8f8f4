#include "ports/vic_lpt.h"

#include "errors/errors.h"

#include <algorithm>
#include <cstring>

namespace {

// Register offset of each shadow index.
constexpr std::uint32_t kOffset[11] = {0, 1, 2, 3, 4, 5, 6, 7, 0x400, 0x401, 0x402};
constexpr int kData = 0, kStatus = 1, kControl = 2, kEppAddress = 3, kEcr = 10;

// ECR mode field (bits 7..5) of each mode constant.
std::uint8_t EcrCode(std::uint8_t Mode) {
    switch (Mode) {
    case LPT_PS2_MODE:
        return 0b001;
    case LPT_EPP_MODE:
        return 0b100;
    case LPT_FAST_CENTRONIX:
        return 0b010;
    case LPT_ECP_MODE:
        return 0b011;
    default:
        return 0b000;
    }
}

std::uint16_t Clamp16(std::uint32_t Address) {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(Address, 0xFFFF));
}

} // namespace

TVicLPT::TVicLPT(std::unique_ptr<TLptIo> Io, std::string DiscoveryRoot)
    : FIo(std::move(Io)), FFindLpt(std::move(DiscoveryRoot)) {}

TVicLPT::~TVicLPT() {
    CloseTVicLPT();
}

void TVicLPT::SetActive(std::uint8_t n) {
    if (n > 0)
        OpenTVicLPT(n);
    else
        CloseTVicLPT();
}

bool TVicLPT::OpenTVicLPT(std::uint8_t n) {
    if (FOpenDrive) return true;
    std::fill(std::begin(FSaveArea), std::end(FSaveArea), TSaveLptState{});
    FLptAcquired = 0;
    FLpts = 0;
    if (!FIo->Open(n)) return false;
    FOpenDrive = true;
    FDriverInstance = n;
    FMappedLPTArea = FIo->BiosLptTable();

    int found = 0;
    for (int i = 1; i <= 7; ++i) {
        FLptIrq[i] = 0;
        FLptDma[i] = 0;
        FPresent[i] = false;
        FLptAddresses[i] = 0;
        if (!FFindLpt.SearchLpt(static_cast<std::uint8_t>(i))) continue;
        FPresent[i] = true;
        FLptAddresses[i] = FFindLpt.PortBase(1);
        if (FFindLpt.IRQCounter() > 0) FLptIrq[i] = FFindLpt.IRQNumber();
        if (FFindLpt.DMACounter() > 0) FLptDma[i] = FFindLpt.DMAChannel();
        ++found;
    }
    if (found == 0 && FMappedLPTArea) {
        for (int i = 1; i <= 3; ++i) {
            FLptAddresses[i] = (*FMappedLPTArea)[static_cast<std::size_t>(i - 1)];
            FPresent[i] = true;
        }
    }
    for (int i = 7; i >= 1 && FLpts == 0; --i)
        if (FLptAddresses[i] != 0) FLpts = static_cast<std::uint8_t>(i);
    if (FLpts == 0) {
        FLpts = 1;
        FLptAddresses[1] = 0x378;
    }
    // Gaps take the address of the slot before them (slot 1 that of slot 2).
    for (int i = 1; i <= FLpts; ++i)
        if (FLptAddresses[i] == 0) FLptAddresses[i] = FLptAddresses[i == 1 ? 2 : i - 1];

    FLptBasePort = FLptAddresses[1];
    FLptNumber = 1;
    FLptReadMode = false;
    if (UsableBase(FLptBasePort)) {
        SetCurrentLPT(1);
    } else {
        // Slot 1 has no address (only a later slot was found): nothing is
        // tested; pins and registers stay out of reach until a slot with an
        // address is selected.
        FMaxLptMode = FCurrLptMode = LPT_NOT_PRESENT;
        FEPPEnabled = false;
    }
    return true;
}

void TVicLPT::CloseTVicLPT() {
    if (!FOpenDrive) return;
    std::fill(std::begin(FSaveArea), std::end(FSaveArea), TSaveLptState{});
    SetAcquired(false);
    FOpenDrive = false;
    FMappedLPTArea.reset();
    FIo->Close();
    FPresentNow = false;
    FIrq = 0;
    FDma = 0;
}

void TVicLPT::SetCurrentLPT(std::uint8_t n) {
    if (n < 1 || n > 7)
        throw EISPException("Printer port LPT" + std::to_string(n) + " does not exist (LPT1 to LPT7)");
    if (!UsableBase(FLptAddresses[n]))
        throw EISPException("LPT" + std::to_string(n) + " not found: no printer port is known at that slot");

    FIrq = FLptIrq[n];
    FDma = FLptDma[n];
    FPresentNow = FPresent[n];
    if (FOpenDrive) {
        for (int i = 1; i <= FLpts; ++i) {
            const std::uint32_t base = FLptAddresses[i];
            if (!UsableBase(static_cast<std::uint16_t>(base))) continue;
            FIo->RequestRange(static_cast<std::uint16_t>(base), Clamp16(base + (base == 0x3BC ? 2 : 7)));
            if (base != 0x3BC && base + 0x400 <= 0xFFFF)
                FIo->RequestRange(static_cast<std::uint16_t>(base + 0x400), Clamp16(base + 0x402));
        }
    }

    if (n != FLptNumber) {
        SaveLptState(FLptNumber);
        FLptNumber = n;
        FLptBasePort = FLptAddresses[n];
        const TSaveLptState& s = FSaveArea[n];
        if (s.Saved == 1) {
            FMaxLptMode = s.MaxMode;
            FCurrLptMode = s.CurrMode;
            FLptReadMode = s.ReadMode != 0;
            FEPPEnabled = s.EPPEnabled != 0;
            std::memcpy(FDataReadPorts, s.ReadPorts, sizeof FDataReadPorts);
            std::memcpy(FDataWritePorts, s.WritePorts, sizeof FDataWritePorts);
            return;
        }
    }

    DetectMode();
    const int registers = Is3BC() ? 3 : 11;
    for (int i = 0; i < registers; ++i) {
        const std::uint8_t v = GetPort(kOffset[i]);
        FDataReadPorts[i] = v;
        FDataWritePorts[i] = v;
    }
    SaveLptState(FLptNumber);
}

void TVicLPT::SaveLptState(std::uint8_t n) {
    if (n < 1 || n > 7) return;
    TSaveLptState& s = FSaveArea[n];
    s.Saved = 1;
    s.MaxMode = FMaxLptMode;
    s.CurrMode = FCurrLptMode;
    s.ReadMode = FLptReadMode ? 1 : 0;
    s.EPPEnabled = FEPPEnabled ? 1 : 0;
    s.Acquired = FLptAcquired;
    std::memcpy(s.ReadPorts, FDataReadPorts, sizeof s.ReadPorts);
    std::memcpy(s.WritePorts, FDataWritePorts, sizeof s.WritePorts);
}

void TVicLPT::DetectMode() {
    FMaxLptMode = LPT_NOT_PRESENT;
    FCurrLptMode = LPT_NOT_PRESENT;
    FEPPEnabled = false;
    if (!Is3BC() && TestForECP()) {
        FMaxLptMode = LPT_ECP_MODE;
        switch (EcrPort() >> 5) {
        case 0b000:
            FCurrLptMode = LPT_SPP_MODE;
            break;
        case 0b001:
            FCurrLptMode = LPT_PS2_MODE;
            break;
        case 0b010:
            FCurrLptMode = LPT_FAST_CENTRONIX;
            break;
        case 0b100:
            if (FEPPEnabled) FCurrLptMode = LPT_EPP_MODE;
            break;
        default: // 011, 101, 110, 111
            FCurrLptMode = LPT_ECP_MODE;
            break;
        }
    } else if (!Is3BC() && TestForEPP()) {
        FMaxLptMode = FCurrLptMode = LPT_EPP_MODE;
        FEPPEnabled = true;
    } else if (TestForSPP()) {
        FMaxLptMode = FCurrLptMode = TestForPS2() ? LPT_PS2_MODE : LPT_SPP_MODE;
    }
}

bool TVicLPT::TestForECP() {
    const std::uint8_t e = EcrPort();
    if ((e & 0x01) == 0 || (e & 0x02) != 0) return false;
    // On a port without an ECR, base+0x402 is the control register again.
    bool c = (ControlPort() & 0x02) != 0;
    if (!c) {
        SetControlPort(0x0F);
        c = (ControlPort() & 0x02) != 0;
    }
    if (((e & 0x02) != 0) == c) return false;
    SetEcrPort(0x34);
    const bool passed = EcrPort() == 0x35;
    if (passed) FEPPEnabled = true;
    SetEcrPort(e);
    return passed;
}

bool TVicLPT::ReadEppTimeoutBit() {
    StatusPort();
    SetStatusPort(0x01);
    SetStatusPort(0x00);
    return (StatusPort() & 0x01) != 0;
}

bool TVicLPT::TestForEPP() {
    for (const std::uint8_t pattern : {std::uint8_t{0x55}, std::uint8_t{0xAA}}) {
        SetEPPAddressPort(pattern);
        ReadEppTimeoutBit();
        const std::uint8_t v = EPPAddressPort();
        ReadEppTimeoutBit();
        if (v != pattern) return false;
    }
    return true;
}

bool TVicLPT::TestForSPP() {
    SetControlPort(0x0F);
    SetDataPort(0x55);
    if (DataPort() != 0x55) return false;
    SetDataPort(0xAA);
    return DataPort() == 0xAA;
}

bool TVicLPT::TestForPS2() {
    SetControlPort(0x2F); // data lines turned to input
    SetDataPort(0x55);
    bool passed = true;
    if (DataPort() == 0x55) {
        SetDataPort(0xAA);
        passed = DataPort() != 0xAA;
    }
    SetControlPort(0x0F);
    return passed;
}

void TVicLPT::SetCurrentLptMode(std::uint8_t m) {
    if (!FOpenDrive || FMaxLptMode != LPT_ECP_MODE || m == 0 || m > FMaxLptMode) return;
    FCurrLptMode = m;
    SetEcrPort(static_cast<std::uint8_t>((EcrPort() & 0x1F) | (EcrCode(m) << 5)));
}

bool TVicLPT::GetPin(int n) {
    if (!FOpenDrive || n < 1 || n > 17) return false;
    const std::size_t p = static_cast<std::size_t>(n);
    const bool bit = (GetPort(PinsPort[p]) & MaskPins[p]) != 0;
    return bit != (Negative[p] == 1);
}

void TVicLPT::SetPin(int n, bool Level) {
    if (!FOpenDrive || n < 1 || n > 17) return;
    const std::size_t p = static_cast<std::size_t>(n);
    const int index = PinsPort[p];
    std::uint8_t v = FDataWritePorts[index];
    if (Level != (Negative[p] == 1))
        v = static_cast<std::uint8_t>(v | MaskPins[p]);
    else
        v = static_cast<std::uint8_t>(v & ~MaskPins[p]);
    SetPort(kOffset[index], v);
    FDataWritePorts[index] = v;
}

std::uint8_t TVicLPT::GetPort(std::uint32_t Offset) {
    const std::uint32_t address = FLptBasePort + Offset;
    if (!FOpenDrive || address < 8 || address > 0xFFFF || (Is3BC() && Offset > 2)) return 0xFF;
    return FIo->GetPort(static_cast<std::uint16_t>(address));
}

void TVicLPT::SetPort(std::uint32_t Offset, std::uint8_t Value) {
    const std::uint32_t address = FLptBasePort + Offset;
    if (!FOpenDrive || address < 8 || address > 0xFFFF || (Is3BC() && Offset > 2)) return;
    FIo->SetPort(static_cast<std::uint16_t>(address), Value);
}

std::uint8_t TVicLPT::DataPort() {
    return FDataReadPorts[kData] = GetPort(kOffset[kData]);
}

void TVicLPT::SetDataPort(std::uint8_t Value) {
    SetPort(kOffset[kData], Value);
    FDataWritePorts[kData] = Value;
}

std::uint8_t TVicLPT::StatusPort() {
    return FDataReadPorts[kStatus] = GetPort(kOffset[kStatus]);
}

void TVicLPT::SetStatusPort(std::uint8_t Value) {
    SetPort(kOffset[kStatus], Value);
    FDataWritePorts[kStatus] = Value;
}

std::uint8_t TVicLPT::ControlPort() {
    return FDataReadPorts[kControl] = GetPort(kOffset[kControl]);
}

void TVicLPT::SetControlPort(std::uint8_t Value) {
    SetPort(kOffset[kControl], Value);
    FDataWritePorts[kControl] = Value;
}

std::uint8_t TVicLPT::EPPAddressPort() {
    if (Is3BC()) return 0;
    return FDataReadPorts[kEppAddress] = GetPort(kOffset[kEppAddress]);
}

void TVicLPT::SetEPPAddressPort(std::uint8_t Value) {
    if (Is3BC()) return;
    SetPort(kOffset[kEppAddress], Value);
    FDataWritePorts[kEppAddress] = Value;
}

std::uint8_t TVicLPT::EcrPort() {
    if (Is3BC()) return 0;
    return FDataReadPorts[kEcr] = GetPort(kOffset[kEcr]);
}

void TVicLPT::SetEcrPort(std::uint8_t Value) {
    if (Is3BC()) return;
    SetPort(kOffset[kEcr], Value);
    FDataWritePorts[kEcr] = Value;
}

void TVicLPT::SetAcquired(bool Value) {
    if (Value) {
        if (FLptAcquired == 1) return;
        FLptAcquired = FIo->AcquirePrinter(FLptNumber >= 1 && FLptNumber <= 3 ? FLptNumber : 1) ? 1 : 0;
    } else {
        if (FLptAcquired == 1) FIo->ReleasePrinter();
        FLptAcquired = 0;
    }
}
