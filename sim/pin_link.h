// The unit's side of the six printer-port pins, reacting at once to every pin
// change the PC makes: no threads, no sleeps. Levels are logical connector
// levels (true = high at the connector); the port's hardware inversions are
// the port layer's business.
//
//   pin 16 MOSI  PC -> unit  data bit towards the unit
//   pin 14 SCK   PC -> unit  bit clock
//   pin 10 SYNC  unit -> PC  high: ready for the next bit; low: bit taken/presented
//   pin 11 MISO  unit -> PC  data bit towards the PC; between bytes, with SYNC
//                            high, the direction: high = unit waits to receive,
//                            low = unit has a byte to send
//   pin 17 PARR  PC -> unit  held low by the PC; the unit ignores it
//   pin  1 RESET PC -> unit  low holds the unit in reset; the rising edge
//                            restarts it and it offers its identification
// Pins 2..9 (the data register, the board's supply) are accepted and ignored.
//
// A byte from the PC: for each bit, most significant first, the PC sets MOSI
// and raises SCK; the unit takes the bit, drives the next bit of the echo
// pattern (0x2A) on MISO and pulls SYNC low; the PC reads MISO and lowers
// SCK; the unit raises SYNC. A byte to the PC: the PC raises SCK; the unit
// drives the next data bit on MISO and pulls SYNC low; the PC reads it and
// lowers SCK; the unit raises SYNC.
//
// Every pin access advances the unit's clock by AccessTime, so a PC polling
// loop bounded by that clock runs out deterministically.
#pragma once

#include "unit.h"
#include "virtual_clock.h"

#include <chrono>
#include <cstdint>
#include <optional>

enum class TUnitPin : std::uint8_t { MOSI, SCK, SYNC, MISO, PARR, RESET };

// Connector pin number of each role, and back (nullopt for other pins).
int ConnectorPin(TUnitPin Pin);
std::optional<TUnitPin> PinAtConnector(int Pin);

struct TPinLinkConfig {
    // Pattern shifted out on MISO while the unit receives a byte.
    std::uint8_t EchoPattern = 0x2A;
    // Slow handshake: after the unit decides to raise (lower) SYNC, the PC
    // reads the old level this many more times before it sees the change.
    std::uint64_t SlowSyncRisePolls = 0;
    std::uint64_t SlowSyncFallPolls = 0;
    // SYNC never rises at all (a dead unit).
    bool SyncNeverRises = false;
    // Unit time one pin read or write takes.
    TSimDuration AccessTime = std::chrono::microseconds(1);
};

class TPinLink {
  public:
    // The unit starts running (RESET high), idle, SCK low.
    explicit TPinLink(TProgrammerUnit& Unit, TPinLinkConfig Config = {});

    // PC drives a pin. Writes to SYNC and MISO (unit outputs) are ignored.
    void SetPin(TUnitPin Pin, bool High);
    // PC reads a pin: SYNC and MISO as the unit drives them, the others as
    // the PC last drove them.
    bool GetPin(TUnitPin Pin);
    // The same by connector pin number (1..17); other pins are accepted and
    // read back as last written.
    void SetConnectorPin(int Pin, bool High);
    bool GetConnectorPin(int Pin);

    TPinLinkConfig& Config() { return FConfig; }
    TProgrammerUnit& Unit() { return FUnit; }
    // The unit's clock, moved by every pin access.
    TVirtualClock& Clock() { return FUnit.Clock(); }
    // How often the PC has read SYNC.
    std::uint64_t SyncReads() const { return FSyncReads; }

  private:
    enum class TPhase : std::uint8_t { Reset, Ready, BitTaken };

    void SckRising();
    void SckFalling();
    void SetSync(bool High);
    bool ReadSync();
    void DirectionFlag();
    bool Frozen() const { return FUnit.Hung() || FUnit.LinkCut(); }

    TProgrammerUnit& FUnit;
    TPinLinkConfig FConfig;
    bool FDriven[18] = {}; // levels the PC drives, by connector pin

    TPhase FPhase = TPhase::Ready;
    bool FSync = true;     // level the unit drives
    bool FSyncSeen = true; // level the PC sees (lags FSync when slowed)
    std::uint64_t FSyncLag = 0;
    bool FMiso = true;
    int FBit = 0;          // bits of the present byte done
    bool FSending = false; // present byte goes to the PC
    std::uint8_t FShiftIn = 0;
    std::uint8_t FShiftOut = 0;
    std::uint64_t FSyncReads = 0;
};
