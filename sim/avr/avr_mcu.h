// The ATmega328P of an Arduino board, simulated by libsimavr at 16 MHz and
// running a firmware image. Its UART is reached through byte queues with
// real byte times; its I/O ports are observed (what the MCU drives) and fed
// (what its input pins read) by the board around it.
//
// Time is the MCU's cycle clock, as TSimTime since the MCU was made. The
// simulation runs only when asked to run up to a time; a sleeping MCU skips
// ahead to its next timer or scheduled input without executing, so idle
// stretches cost nothing. No call ever waits in real time.
#pragma once

#include "virtual_clock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

struct avr_t;
struct avr_uart_t;
struct avr_spi_t;
struct avr_irq_t;

// A byte the MCU's UART has sent, stamped with the end of its stop bit and
// the rate it went out at.
struct TMcuOutput {
    std::uint8_t Byte = 0;
    TSimTime Time{0};
    std::uint32_t Baud = 0;
};

class TAvrMcu {
  public:
    // Loads the firmware (an ELF file). Raises Exception when it cannot be
    // read.
    explicit TAvrMcu(const std::string& ElfPath);
    ~TAvrMcu();
    TAvrMcu(const TAvrMcu&) = delete;
    TAvrMcu& operator=(const TAvrMcu&) = delete;

    static constexpr std::uint32_t kFrequency = 16'000'000;

    TSimTime Now() const;
    std::uint64_t Cycles() const;
    // Runs until Now() >= Until, or, with StopOnOutput, until the UART has
    // started sending a byte. Raises Exception when the firmware crashes.
    void RunUntil(TSimTime Until, bool StopOnOutput = false);

    // --- UART 0
    // A byte whose stop bit has been sent at Arrival (not before now), at
    // SentBaud: the UART receives it as its own rate reads it then
    // (serial_character.h; other bytes, framing errors). SentBaud 0: as
    // sent, whatever the rate.
    void ScheduleInput(std::uint8_t Byte, TSimTime Arrival, std::uint32_t SentBaud = 0);
    // Scheduled bytes that have not reached the UART yet.
    std::size_t InputsPending() const { return FInputs.size(); }
    // Bytes the UART has sent, each stamped with the time its stop bit
    // ended.
    bool HasOutput() const { return !FOutput.empty(); }
    TMcuOutput TakeOutput();
    // One byte on the wire at the baud rate the firmware has set (8N1).
    TSimDuration ByteTime() const;
    // That rate: 16 MHz / the cycles of a bit.
    std::uint32_t Baud() const;

    // --- SPI: the SPI unit's transfers, made with the chip by the board
    // (byte out on MOSI, Start of its first bit, bit time) -> byte in on
    // MISO. Without it MISO reads 0xFF.
    std::function<std::uint8_t(std::uint8_t Mosi, TSimTime Start, TSimDuration Bit)> OnSpiTransfer;
    bool SpiEnabled() const;

    // --- I/O ports 'B', 'C', 'D'
    std::uint8_t Ddr(char Port) const;
    std::uint8_t PortLatch(char Port) const;
    // What the port's pins read while they are inputs.
    void SetPinLevels(char Port, std::uint8_t Levels);
    // After every change of a DDR or PORT register.
    std::function<void(char Port)> OnPortChange;
    // Whenever the firmware reads a PIN register.
    std::function<void(char Port)> OnPinRead;
    // Calls OnWake once at At (replaces an earlier request).
    void WakeAt(TSimTime At);
    std::function<void()> OnWake;

    // --- reset
    // The reset line is pulled low now: the MCU stops with every pin
    // released; it runs the firmware from the start again at Release
    // (Release <= now: at once). Bytes arriving meanwhile are lost.
    void Reset(TSimTime Release);
    bool InReset() const { return FInReset; }
    std::uint64_t Resets() const { return FResets; }
    // Restarts by the MCU's watchdog.
    std::uint64_t WatchdogResets() const { return FWatchdogResets; }
    // After every reset (the reset line or the watchdog).
    std::function<void()> OnReset;
    // A fault: the firmware stops in an endless loop with interrupts off
    // (avr-libc's _exit), as a hang would; only a reset ends it.
    void Hang();

    // Bytes that arrived while the MCU was held in reset.
    std::uint64_t Lost() const { return FLost; }

    // The deepest the stack has been since the MCU was made: bytes from the
    // top of RAM down to the lowest stack pointer seen.
    std::uint32_t StackDepth() const;

  private:
    static std::uint64_t CyclesOf(TSimTime Time);
    static TSimTime TimeOf(std::uint64_t Cycles);
    void PatchByteTime();
    void ArmInput();
    void Restart();
    static void OnUartOutput(avr_irq_t* Irq, std::uint32_t Value, void* Param);
    static void OnPortIrq(avr_irq_t* Irq, std::uint32_t Value, void* Param);
    static void OnDdrIrq(avr_irq_t* Irq, std::uint32_t Value, void* Param);
    static std::uint8_t ReadPin(avr_t* Avr, std::uint16_t Addr, void* Param);
    static std::uint64_t OnInputTimer(avr_t* Avr, std::uint64_t When, void* Param);
    static std::uint64_t OnWakeTimer(avr_t* Avr, std::uint64_t When, void* Param);
    static std::uint64_t OnReleaseTimer(avr_t* Avr, std::uint64_t When, void* Param);
    static void SpiWrite(avr_t* Avr, std::uint16_t Addr, std::uint8_t Value, void* Param);
    static std::uint8_t SpiRead(avr_t* Avr, std::uint16_t Addr, void* Param);
    static std::uint64_t OnSpiDone(avr_t* Avr, std::uint64_t When, void* Param);
    void AfterWatchdogReset();
    void Restarted();

    struct TInput {
        std::uint8_t Byte;
        TSimTime Arrival;
        std::uint32_t SentBaud;
    };
    struct TPortIrqParam {
        TAvrMcu* Mcu;
        int Index;
    };
    struct TPinRead {
        TAvrMcu* Mcu;
        int Index;
        std::uint8_t Levels;
    };

    avr_t* FAvr = nullptr;
    avr_uart_t* FUart = nullptr;
    avr_irq_t* FUartInput = nullptr;
    avr_spi_t* FSpi = nullptr;
    std::uint8_t FSpiOut = 0xFF; // the byte shifting out
    std::uint8_t FSpiIn = 0xFF;  // the byte the last transfer brought in
    TSimTime FSpiStart{0};
    TSimDuration FSpiBit{0};
    std::uint32_t FExitAddress = 0; // _exit
    std::uint64_t FWatchdogResets = 0;
    bool FResetting = false; // inside a reset the harness makes
    std::deque<TInput> FInputs;
    bool FInputArmed = false;
    std::deque<TMcuOutput> FOutput;
    TSimTime FTxFree{0}; // the end of the byte on the transmit line
    bool FOutputSeen = false;
    std::uint8_t FDdr[3] = {0, 0, 0};
    std::uint8_t FPort[3] = {0, 0, 0};
    TPortIrqParam FParams[3];
    TPinRead FReads[3];
    TSimTime FWakeAt{-1};
    bool FInReset = false;
    TSimTime FReleaseAt{0};
    std::uint64_t FResets = 0;
    std::uint64_t FLost = 0;
    std::uint16_t FLowestSp = 0xFFFF;
};
