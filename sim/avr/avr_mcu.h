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

#include "unit.h"
#include "virtual_clock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

struct avr_t;
struct avr_uart_t;
struct avr_irq_t;

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
    // A byte whose stop bit has been received at Arrival (not before now).
    void ScheduleInput(std::uint8_t Byte, TSimTime Arrival);
    // Scheduled bytes that have not reached the UART yet.
    std::size_t InputsPending() const { return FInputs.size(); }
    // Bytes the UART has sent, each stamped with the time its stop bit
    // ended.
    bool HasOutput() const { return !FOutput.empty(); }
    TUnitOutput TakeOutput();
    // One byte on the wire at the baud rate the firmware has set (8N1).
    TSimDuration ByteTime() const;

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

    struct TInput {
        std::uint8_t Byte;
        TSimTime Arrival;
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
    std::deque<TInput> FInputs;
    bool FInputArmed = false;
    std::deque<TUnitOutput> FOutput;
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
