// How a simulated programmer unit is set up: what it reports, its timing,
// and the faults it is told to show.
#pragma once

#include "virtual_clock.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A wrong answer to selected commands.
struct TCommandFault {
    enum class TKind : std::uint8_t {
        // The command is not carried out; its data reply (if any) is sent as
        // 0xFF filler of the usual length, then "?" and Byte as the error code.
        Error,
        // The command is carried out; Byte is sent where the carriage return
        // would be (0x0A for a line feed, or any garbage byte). Error replies
        // ("?" + code) are left as they are.
        Acknowledge,
        // The command is carried out, but its reply (and everything after
        // it) leaves the unit Delay later: a unit busy elsewhere, a USB
        // adapter holding its buffer.
        Stall,
        // The command is carried out; the first byte of its reply arrives
        // with the bits of Byte flipped (a noisy line).
        Garble
    };
    TKind Kind = TKind::Error;
    char Letter = '\0';      // only commands with this letter; '\0' = any command
    std::uint64_t Nth = 1;   // the Nth matching command (1-based); 0 = every one
    std::uint8_t Byte = '!'; // error code, the byte sent instead of CR, or the bits garbled
    TSimDuration Delay{0};   // Stall: how long the reply is held up
};

// A line that garbles the unit's replies at random (a long cable, a bad
// ground, a USB adapter losing bytes): every byte the unit sends is, with
// probability Rate, hit by one fault chosen at random: a flipped bit,
// dropped, sent twice, preceded by a random byte, held up for a stall of
// StallMin to StallMax (the bytes after it wait too), or replaced by "?" and
// a random error code. The same seed gives the same faults at the same
// bytes, so a failing run can be repeated. The chip itself is never touched.
struct TReplyNoise {
    std::uint64_t Seed = 1;
    double Rate = 0.01;
    TSimDuration StallMin = std::chrono::milliseconds(500);
    TSimDuration StallMax = std::chrono::seconds(3);
};

// The cable is pulled while a page goes across: after AfterBytes data bytes
// of the Page-th "W" command (1-based, counted since the unit was made).
// From then on nothing passes in either direction until Reconnect().
struct TPageCut {
    std::uint64_t Page = 1;
    std::uint32_t AfterBytes = 0;
};

struct TUnitFaults {
    // The unit handles the first N bytes it receives (answers included) and
    // then freezes: later bytes are swallowed and nothing more is sent; on
    // the pin link no handshake line moves again.
    std::optional<std::uint64_t> HangAfterBytes;
    std::vector<TCommandFault> CommandFaults;
    std::optional<TPageCut> CutInPage;
    // A noisy line (a loose clip, a long wire): every Nth data byte the unit
    // sends in reply to "R" (counted since the unit was made) arrives with
    // its lowest bit inverted; the chip's contents are not touched.
    std::optional<std::uint64_t> NoisyReadEvery;
    std::optional<TReplyNoise> ReplyNoise;
};

struct TUnitConfig {
    std::string Identification = "VORIZORUV"; // reply to "S" and sent after a reset
    std::string FirmwareVersion = "000A";     // reply to "v"
    std::string HardwareVersion = "0102";     // reply to "V"

    // Write delay in milliseconds until the PC sets one with "D".
    std::uint8_t DefaultWriteDelayMs = 10;
    // Longest wait for a Microwire chip to report ready ("Z", "X") before
    // the unit answers "?T".
    TSimDuration ReadyTimeout = std::chrono::milliseconds(50);
    // A command whose argument bytes stop arriving for longer than this is
    // abandoned, so a later byte starts a new command. 0 = never.
    TSimDuration CommandTimeout = std::chrono::milliseconds(500);
    // Send the identification unasked after every reset.
    bool IdentifyOnReset = true;
    // Answer the probe "*" with "?B": the unit takes commands back to back
    // (core/command_interpreter.h). Off: the unit answers as the original.
    bool BuffersCommands = false;

    TUnitFaults Faults;
};
