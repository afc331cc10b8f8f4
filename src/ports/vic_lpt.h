// TVicLPT: the PC printer port, byte-wide at its registers and bit-wide at
// the pins of its 25-pin connector, over an I/O access (TLptIo).
//
// Opening builds a table of up to seven ports (slots LPT1..LPT7) from port
// discovery (TFindLpt), else from the firmware's table, else 0x378, and
// selects slot 1. Selecting a slot classifies its hardware (ECP, EPP, PS/2,
// SPP) with register tests and remembers the slot's state, so that switching
// back to it touches no port. An ECP port can be switched to another mode
// through its extended control register.
//
// Registers by offset from the base address, with their shadow index:
//   0 +0 data   1 +1 status   2 +2 control   3 +3 EPP address
//   4..7 +4..+7 EPP data   8 +0x400 ECP config A   9 +0x401 config B
//   10 +0x402 ECP extended control (ECR)
// A port at 0x3BC has only the first three; its other registers read 0 and
// ignore writes, and no address above base+2 is ever reached.
//
// Pins 1..17: true is a high level at the connector; the hardware inversions
// of pins 1, 11, 14 and 17 are undone here. A pin read is one register read;
// a pin write is one register write computed from the write shadow (the
// register is never read back first), so the link protocol's poll budgets
// count port accesses exactly.
//
// Safety: slots outside 1..7 and slots without a usable address are refused
// (EISPException); no access ever reaches I/O addresses 0..7 or wraps past
// 0xFFFF.
#pragma once

#include "ports/find_lpt.h"
#include "ports/lpt_io.h"
#include "ports/lpt_modes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The saved state of one slot.
struct TSaveLptState {
    std::uint8_t Saved = 0; // 1 once saved
    std::uint8_t MaxMode = 0;
    std::uint8_t CurrMode = 0;
    std::uint8_t ReadMode = 0;
    std::uint8_t EPPEnabled = 0;
    std::uint8_t Acquired = 0;
    std::uint8_t ReadPorts[11] = {};
    std::uint8_t WritePorts[11] = {};
};

class TVicLPT {
  public:
    // Io is the platform access; DiscoveryRoot the root folder of port
    // discovery ("/" on a running system, "" for none). Opens nothing.
    explicit TVicLPT(std::unique_ptr<TLptIo> Io, std::string DiscoveryRoot = "/");
    // Closes the access if it is open.
    ~TVicLPT();
    TVicLPT(const TVicLPT&) = delete;
    TVicLPT& operator=(const TVicLPT&) = delete;

    // --- open and close ---
    // The instance number while open, 0 while closed.
    std::uint8_t Active() const { return FOpenDrive ? FDriverInstance : 0; }
    // n > 0 opens with instance n (nothing happens when already open), 0 closes.
    void SetActive(std::uint8_t n);
    // After an open that failed for want of permission, what the operator
    // can do about it (TLptIo::OpenAdvice); empty otherwise.
    std::string OpenAdvice() const { return FIo->OpenAdvice(); }

    // --- slots ---
    std::uint8_t NumLPTs() const { return FLpts; }
    std::uint8_t CurrentLPT() const { return FLptNumber; }
    // Selects slot n (1..7) and classifies its port; refuses a slot outside
    // 1..7 or without a usable address with EISPException.
    void SetCurrentLPT(std::uint8_t n);
    std::uint16_t BasePortAddress() const { return FLptBasePort; }
    // Base address of slot i (1..7; 0 = no port there, and for other i).
    std::uint16_t LptAddress(int i) const { return i >= 1 && i <= 7 ? FLptAddresses[i] : 0; }

    // --- modes of the selected port ---
    std::uint8_t MaxLptMode() const { return FMaxLptMode; }
    std::uint8_t CurrentLptMode() const { return FCurrLptMode; }
    // Switches an ECP port's mode through its ECR; nothing on other ports.
    void SetCurrentLptMode(std::uint8_t m);
    bool EPPEnabled() const { return FEPPEnabled; }
    std::uint8_t IrqNumber() const { return FIrq; }
    std::uint8_t DMAChannel() const { return FDma; }
    bool Present() const { return FPresentNow; }

    // --- pins (1..17) ---
    bool Pin(int n) { return GetPin(n); }
    void SetPin(int n, bool Level);

    // --- registers, through the shadows ---
    std::uint8_t DataPort();
    void SetDataPort(std::uint8_t Value);
    std::uint8_t StatusPort();
    void SetStatusPort(std::uint8_t Value);
    std::uint8_t ControlPort();
    void SetControlPort(std::uint8_t Value);
    std::uint8_t EPPAddressPort();
    void SetEPPAddressPort(std::uint8_t Value);
    std::uint8_t EcrPort();
    void SetEcrPort(std::uint8_t Value);
    // Last value written to / read from register index i (0..10).
    std::uint8_t WriteShadow(int i) const { return FDataWritePorts[i]; }
    std::uint8_t ReadShadow(int i) const { return FDataReadPorts[i]; }

    // --- exclusive use of the system printer device ---
    bool Acquired() const { return FLptAcquired == 1; }
    void SetAcquired(bool Value);

    TLptIo& Io() { return *FIo; }
    TFindLpt& FindLpt() { return FFindLpt; }

    // Pin tables by connector pin 1..17 (index 0 unused): the register
    // offset (0 data, 1 status, 2 control), the bit mask, and 1 where the
    // hardware inverts the signal.
    static constexpr std::array<std::uint8_t, 18> PinsPort = {0, 2, 0, 0, 0, 0, 0, 0, 0,
                                                              0, 1, 1, 1, 1, 2, 1, 2, 2};
    static constexpr std::array<std::uint8_t, 18> MaskPins = {0,    0x01, 0x01, 0x02, 0x04, 0x08,
                                                              0x10, 0x20, 0x40, 0x80, 0x40, 0x80,
                                                              0x20, 0x10, 0x02, 0x08, 0x04, 0x08};
    static constexpr std::array<std::uint8_t, 18> Negative = {0, 1, 0, 0, 0, 0, 0, 0, 0,
                                                              0, 0, 1, 0, 0, 1, 0, 0, 1};

  private:
    bool OpenTVicLPT(std::uint8_t n);
    void CloseTVicLPT();
    void SaveLptState(std::uint8_t n);
    void DetectMode();
    bool TestForECP();
    bool ReadEppTimeoutBit();
    bool TestForEPP();
    bool TestForSPP();
    bool TestForPS2();
    bool GetPin(int n);
    bool Is3BC() const { return FLptBasePort == 0x3BC; }
    // Register access at the selected base; 0xFF / dropped while closed and
    // for addresses outside 8..0xFFFF.
    std::uint8_t GetPort(std::uint32_t Offset);
    void SetPort(std::uint32_t Offset, std::uint8_t Value);
    static bool UsableBase(std::uint16_t Base) { return Base >= 8; }

    std::unique_ptr<TLptIo> FIo;
    std::uint8_t FLptNumber = 1;
    std::uint8_t FLpts = 1;
    std::uint16_t FLptBasePort = 0;
    std::uint8_t FMaxLptMode = LPT_NOT_PRESENT;
    std::uint8_t FCurrLptMode = LPT_NOT_PRESENT;
    bool FEPPEnabled = false;
    std::uint16_t FLptAddresses[8] = {}; // index 1..7
    std::uint8_t FLptIrq[8] = {};
    std::uint8_t FLptDma[8] = {};
    bool FPresent[8] = {};
    // mirrors of the selected slot
    std::uint8_t FIrq = 0;
    std::uint8_t FDma = 0;
    bool FPresentNow = false;
    TFindLpt FFindLpt;
    bool FLptReadMode = false;
    std::uint8_t FDataWritePorts[11] = {};
    std::uint8_t FDataReadPorts[11] = {};
    TSaveLptState FSaveArea[8] = {}; // index 1..7
    std::uint8_t FLptAcquired = 0;
    std::optional<std::array<std::uint16_t, 3>> FMappedLPTArea;
    bool FOpenDrive = false;
    std::uint8_t FDriverInstance = 0;
};
