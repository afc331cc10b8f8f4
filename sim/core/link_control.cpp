#include "core/link_control.h"

void TLinkControl::Received(uint8_t Byte, bool Gap, bool Framing, uint16_t NowMs) {
    if (FConfirming) {
        // Only the PC's probe, heard whole, confirms the new rate.
        if (Framing || Byte != '*') {
            Revert();
            return;
        }
        FConfirming = false;
        FCore.Receive(Byte);
        return;
    }
    if (Framing) {
        // At a fast rate: a PC at another rate. At 115 200 baud: a glitch
        // (a modem line moving, a cable plugged in); the byte is dropped.
        if (FRate != 0) Revert();
        return;
    }
    if (FDiscarding) {
        if (Byte == '*' && static_cast<uint16_t>(NowMs - FQuietFromMs) >= kQuietMs) {
            FDiscarding = false;
            FCore.Receive(Byte);
        }
        FQuietFromMs = NowMs;
        return;
    }
    if (Gap && FCore.CommandPending()) {
        // The rest of a command that stopped arriving.
        Resync(kIncompleteCode, NowMs);
        return;
    }
    FCore.Receive(Byte);
    uint8_t code = 0;
    if (FCore.TakeRateRequest(code)) {
        FHost.ApplyRate(code);
        FRate = code;
        FConfirming = code != 0;
        FSwitchedMs = NowMs;
    }
}

void TLinkControl::Lost(uint16_t NowMs) {
    if (FConfirming) {
        Revert();
        return;
    }
    if (FDiscarding) {
        // Still in the burst that overran: answered once.
        FHost.DiscardInput();
        FQuietFromMs = NowMs;
        return;
    }
    Resync(kOverrunCode, NowMs);
}

void TLinkControl::Poll(uint16_t NowMs, uint16_t IdleMs) {
    if (FConfirming && static_cast<uint16_t>(NowMs - FSwitchedMs) > kConfirmMs) Revert();
    if (!FDiscarding && IdleMs > kGapMs && FCore.CommandPending()) Resync(kIncompleteCode, NowMs);
}

void TLinkControl::Reset() {
    FRate = 0;
    FConfirming = false;
    FDiscarding = false;
}

void TLinkControl::Resync(uint8_t Code, uint16_t NowMs) {
    FCore.LinkError(Code);
    FHost.DiscardInput();
    FDiscarding = true;
    FQuietFromMs = NowMs;
}

void TLinkControl::Revert() {
    FCore.Abandon();
    FHost.ApplyRate(0);
    FHost.DiscardInput();
    FRate = 0;
    FConfirming = false;
}
