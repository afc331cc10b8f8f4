#include "avr/avr_mcu.h"

#include "errors/errors.h"
#include "serial_character.h"

#include <avr_ioport.h>
#include <avr_spi.h>
#include <avr_uart.h>
#include <sim_avr.h>
#include <sim_cycle_timers.h>
#include <sim_elf.h>
#include <sim_io.h>
#include <sim_irq.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// Data-space addresses of the ATmega328P's port registers (datasheet,
// register summary): PINx, DDRx, PORTx for B, C and D.
constexpr avr_io_addr_t kPin[3] = {0x23, 0x26, 0x29};
constexpr char kPortNames[3] = {'B', 'C', 'D'};
// The stack pointer.
constexpr avr_io_addr_t kSpl = 0x5D, kSph = 0x5E;
// USART0 registers.
constexpr avr_io_addr_t kUcsr0A = 0xC0, kUcsr0B = 0xC1, kUcsr0C = 0xC2, kUbrr0L = 0xC4, kUbrr0H = 0xC5;
// SPI registers, and the bits of SPCR and SPSR the divider comes from.
constexpr avr_io_addr_t kSpcr = 0x4C, kSpsr = 0x4D, kSpdr = 0x4E;
constexpr std::uint8_t kSpe = 0x40, kMstr = 0x10, kSpi2x = 0x01;

int PortIndex(char Port) {
    switch (Port) {
    case 'B':
        return 0;
    case 'C':
        return 1;
    case 'D':
        return 2;
    default:
        throw Exception(std::string("No port ") + Port + " on the ATmega328P");
    }
}

// simavr's own messages (register traces, "sleeping with interrupts off")
// are not the harness's business; only errors are shown.
void QuietLogger(avr_t*, const int Level, const char* Format, va_list Args) {
    if (Level > LOG_ERROR) return;
    std::vfprintf(stderr, Format, Args);
}

// The MCU never waits for real time to catch up with its own.
void NoSleep(avr_t*, avr_cycle_count_t) {}

avr_cycle_count_t Nothing(avr_t*, avr_cycle_count_t, void*) {
    return 0;
}

// What elf_read_firmware allocated; avr_load_firmware has copied the code
// and keeps no pointer into it (the simulator is built without its trace).
void ReleaseFirmware(elf_firmware_t& Firmware) {
    std::free(Firmware.flash);
    std::free(Firmware.eeprom);
    std::free(Firmware.fuse);
    std::free(Firmware.lockbits);
    for (std::uint32_t i = 0; i < Firmware.symbolcount; ++i)
        std::free(Firmware.symbol[i]);
    std::free(Firmware.symbol);
    Firmware = {};
}

} // namespace

std::uint64_t TAvrMcu::CyclesOf(TSimTime Time) {
    // 62.5 ns per cycle at 16 MHz; rounded up, so that the MCU has reached
    // a time once it has run to its cycle.
    return Time.count() <= 0 ? 0 : (static_cast<std::uint64_t>(Time.count()) * 2 + 124) / 125;
}

TSimTime TAvrMcu::TimeOf(std::uint64_t Cycles) {
    return TSimTime(static_cast<std::int64_t>(Cycles * 125 / 2));
}

TAvrMcu::TAvrMcu(const std::string& ElfPath) {
    struct stat st {};
    if (::stat(ElfPath.c_str(), &st) != 0) throw Exception("The firmware \"" + ElfPath + "\" does not exist");
    avr_global_logger_set(QuietLogger);
    elf_firmware_t firmware;
    std::memset(&firmware, 0, sizeof firmware);
    std::string path = ElfPath;
    if (elf_read_firmware(path.data(), &firmware) != 0) {
        ReleaseFirmware(firmware);
        throw Exception("Cannot read the firmware \"" + ElfPath + "\"");
    }
    for (std::uint32_t i = 0; i < firmware.symbolcount; ++i)
        if (std::strcmp(firmware.symbol[i]->symbol, "_exit") == 0) FExitAddress = firmware.symbol[i]->addr;
    FAvr = avr_make_mcu_by_name("atmega328p");
    if (!FAvr) {
        ReleaseFirmware(firmware);
        throw Exception("libsimavr has no ATmega328P");
    }
    avr_init(FAvr);
    FAvr->frequency = kFrequency;
    avr_load_firmware(FAvr, &firmware);
    ReleaseFirmware(firmware);
    FAvr->frequency = kFrequency;
    FAvr->sleep = NoSleep;
    FAvr->log = LOG_ERROR;

    for (avr_io_t* io = FAvr->io_port; io; io = io->next) {
        if (std::strcmp(io->kind, "uart") == 0 && reinterpret_cast<avr_uart_t*>(io)->name == '0')
            FUart = reinterpret_cast<avr_uart_t*>(io);
        if (std::strcmp(io->kind, "spi") == 0) FSpi = reinterpret_cast<avr_spi_t*>(io);
    }
    if (!FUart) throw Exception("libsimavr's ATmega328P has no UART 0");
    if (!FSpi) throw Exception("libsimavr's ATmega328P has no SPI");
    // libsimavr 1.6 takes 100 us for every SPI byte whatever the divider;
    // the harness runs the transfers itself, in the datasheet's time.
    FAvr->io[AVR_DATA_TO_IO(kSpdr)].w.c = SpiWrite;
    FAvr->io[AVR_DATA_TO_IO(kSpdr)].w.param = this;
    FAvr->io[AVR_DATA_TO_IO(kSpdr)].r.c = SpiRead;
    FAvr->io[AVR_DATA_TO_IO(kSpdr)].r.param = this;
    std::uint32_t flags = 0;
    avr_ioctl(FAvr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
    flags &= ~(AVR_UART_FLAG_STDIO | AVR_UART_FLAG_POLL_SLEEP);
    avr_ioctl(FAvr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
    FUartInput = avr_io_getirq(FAvr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    avr_irq_register_notify(avr_io_getirq(FAvr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT), OnUartOutput,
                            this);

    for (int i = 0; i < 3; ++i) {
        FParams[i] = {this, i};
        avr_irq_t* port = avr_io_getirq(FAvr, AVR_IOCTL_IOPORT_GETIRQ(kPortNames[i]), IOPORT_IRQ_REG_PORT);
        avr_irq_t* ddr =
            avr_io_getirq(FAvr, AVR_IOCTL_IOPORT_GETIRQ(kPortNames[i]), IOPORT_IRQ_DIRECTION_ALL);
        // Every write counts (the harness compares values itself).
        port->flags &= static_cast<std::uint8_t>(~IRQ_FLAG_FILTERED);
        ddr->flags &= static_cast<std::uint8_t>(~IRQ_FLAG_FILTERED);
        avr_irq_register_notify(port, OnPortIrq, &FParams[i]);
        avr_irq_register_notify(ddr, OnDdrIrq, &FParams[i]);
        // The pins read what the board drives: the port's own read handler
        // is replaced, since it would mix in levels of its pin IRQs.
        FReads[i] = {this, i, 0xFF};
        FAvr->io[AVR_DATA_TO_IO(kPin[i])].r.c = ReadPin;
        FAvr->io[AVR_DATA_TO_IO(kPin[i])].r.param = &FReads[i];
    }
}

TAvrMcu::~TAvrMcu() {
    if (!FAvr) return;
    avr_terminate(FAvr);
    std::free(FAvr); // avr_make_mcu_by_name allocated it; avr_terminate leaves it
}

TSimTime TAvrMcu::Now() const {
    return TimeOf(FAvr->cycle);
}

std::uint64_t TAvrMcu::Cycles() const {
    return FAvr->cycle;
}

TSimDuration TAvrMcu::ByteTime() const {
    const_cast<TAvrMcu*>(this)->PatchByteTime();
    return TimeOf(FUart->cycles_per_byte);
}

std::uint32_t TAvrMcu::Baud() const {
    const std::uint8_t* data = FAvr->data;
    const unsigned ubrr = data[kUbrr0L] | ((data[kUbrr0H] & 0x0F) << 8);
    return kFrequency / ((ubrr + 1) * ((data[kUcsr0A] & 0x02) ? 8 : 16));
}

void TAvrMcu::PatchByteTime() {
    // libsimavr 1.6 works the character time out only when UBRR is written
    // (a later change of U2X0 is missed) and counts a parity bit in every
    // character. It is worked out here from the registers as the datasheet
    // does: (UBRR + 1) * 16 cycles a bit (8 with U2X0), start bit, data
    // bits, parity bit when enabled, stop bits.
    const std::uint8_t* data = FAvr->data;
    const unsigned ubrr = data[kUbrr0L] | ((data[kUbrr0H] & 0x0F) << 8);
    const unsigned cyclesPerBit = (ubrr + 1) * ((data[kUcsr0A] & 0x02) ? 8 : 16);
    const std::uint8_t c = data[kUcsr0C];
    const unsigned size = ((c >> 1) & 3) | ((data[kUcsr0B] & 0x04) ? 4 : 0);
    const unsigned dataBits = size <= 3 ? 5 + size : 9;
    const unsigned bits = 1 + dataBits + (((c >> 4) & 3) ? 1 : 0) + ((c & 0x08) ? 2 : 1);
    FUart->cycles_per_byte = static_cast<avr_cycle_count_t>(cyclesPerBit) * bits;
}

void TAvrMcu::RunUntil(TSimTime Until, bool StopOnOutput) {
    const std::uint64_t target = CyclesOf(Until);
    FOutputSeen = false;
    while (FAvr->cycle < target) {
        if (FInReset) {
            const std::uint64_t release = CyclesOf(FReleaseAt);
            if (release > target) {
                FAvr->cycle = target;
                return;
            }
            FAvr->cycle = std::max<std::uint64_t>(FAvr->cycle, release);
            Restart();
            continue;
        }
        ArmInput();
        // A sleeping MCU skips to its next timer: this one keeps it from
        // skipping past the target.
        avr_cycle_timer_register(FAvr, target - FAvr->cycle, Nothing, this);
        bool restarted = false;
        while (FAvr->cycle < target && !FInReset && !restarted) {
            const int state = avr_run(FAvr);
            const std::uint16_t sp = static_cast<std::uint16_t>(FAvr->data[kSpl] | (FAvr->data[kSph] << 8));
            if (sp < FLowestSp) FLowestSp = sp;
            if (state == cpu_Crashed || state == cpu_Done)
                throw Exception("The firmware stopped on the simulated MCU (state " + std::to_string(state) +
                                ") at PC 0x" + std::to_string(FAvr->pc));
            // Only a reset brings the program counter back to 0: the
            // watchdog's (libsimavr resets between two instructions).
            if (FAvr->pc == FAvr->reset_pc) {
                AfterWatchdogReset();
                restarted = true;
                continue;
            }
            if (StopOnOutput && FOutputSeen) {
                avr_cycle_timer_cancel(FAvr, Nothing, this);
                return;
            }
        }
        avr_cycle_timer_cancel(FAvr, Nothing, this);
    }
}

std::uint32_t TAvrMcu::StackDepth() const {
    return FLowestSp > FAvr->ramend ? 0 : FAvr->ramend - FLowestSp;
}

// ---------------------------------------------------------------- UART

void TAvrMcu::OnUartOutput(avr_irq_t*, std::uint32_t Value, void* Param) {
    auto* self = static_cast<TAvrMcu*>(Param);
    self->PatchByteTime();
    // One shift register: a byte goes out once the one before it has.
    self->FTxFree = std::max(self->FTxFree, self->Now()) + self->ByteTime();
    self->FOutput.push_back({static_cast<std::uint8_t>(Value), self->FTxFree, self->Baud()});
    self->FOutputSeen = true;
}

TMcuOutput TAvrMcu::TakeOutput() {
    const TMcuOutput out = FOutput.front();
    FOutput.pop_front();
    return out;
}

void TAvrMcu::ScheduleInput(std::uint8_t Byte, TSimTime Arrival, std::uint32_t SentBaud) {
    if (FInReset && Arrival < FReleaseAt) {
        ++FLost;
        return;
    }
    FInputs.push_back({Byte, std::max(Arrival, Now()), SentBaud});
    ArmInput();
}

void TAvrMcu::ArmInput() {
    if (FInputArmed || FInputs.empty() || FInReset) return;
    // The UART reports a byte one byte time after it was handed over (its
    // start bit), so it is handed over that much before its arrival.
    const TSimTime start = FInputs.front().Arrival - ByteTime();
    const std::uint64_t at = std::max(CyclesOf(start), FAvr->cycle + 1);
    avr_cycle_timer_register(FAvr, at - FAvr->cycle, OnInputTimer, this);
    FInputArmed = true;
}

avr_cycle_count_t TAvrMcu::OnInputTimer(avr_t*, avr_cycle_count_t, void* Param) {
    auto* self = static_cast<TAvrMcu*>(Param);
    self->FInputArmed = false;
    if (self->FInputs.empty()) return 0;
    self->PatchByteTime();
    const TInput in = self->FInputs.front();
    self->FInputs.pop_front();
    const std::uint32_t baud = self->Baud();
    if (in.SentBaud == 0 || RatesAgree(in.SentBaud, baud)) {
        avr_raise_irq(self->FUartInput, in.Byte);
    } else {
        // What the UART makes of it at its own rate.
        for (const TReceivedCharacter& c : ReceiveCharacter(in.Byte, in.SentBaud, baud))
            avr_raise_irq(self->FUartInput, c.Byte | (c.Framing ? UART_INPUT_FE : 0));
    }
    self->ArmInput();
    return 0;
}

// ---------------------------------------------------------------- SPI

bool TAvrMcu::SpiEnabled() const {
    return (FAvr->data[kSpcr] & kSpe) != 0;
}

void TAvrMcu::SpiWrite(avr_t* Avr, avr_io_addr_t, std::uint8_t Value, void* Param) {
    auto* self = static_cast<TAvrMcu*>(Param);
    const std::uint8_t spcr = Avr->data[kSpcr];
    avr_regbit_clear(Avr, self->FSpi->spi.raised);
    if (!(spcr & kSpe) || !(spcr & kMstr)) return;
    // SCK = F_CPU / 4, 16, 64, 128 by SPR1:0, halved by SPI2X: eight bits.
    static const unsigned kDivider[4] = {4, 16, 64, 128};
    unsigned divider = kDivider[spcr & 3];
    if (Avr->data[kSpsr] & kSpi2x) divider /= 2;
    self->FSpiOut = Value;
    self->FSpiStart = self->Now();
    self->FSpiBit = TimeOf(divider);
    avr_cycle_timer_cancel(Avr, OnSpiDone, self);
    avr_cycle_timer_register(Avr, 8 * divider, OnSpiDone, self);
}

avr_cycle_count_t TAvrMcu::OnSpiDone(avr_t* Avr, avr_cycle_count_t, void* Param) {
    auto* self = static_cast<TAvrMcu*>(Param);
    self->FSpiIn =
        self->OnSpiTransfer ? self->OnSpiTransfer(self->FSpiOut, self->FSpiStart, self->FSpiBit) : 0xFF;
    avr_raise_interrupt(Avr, &self->FSpi->spi); // SPIF, and the interrupt when it is enabled
    return 0;
}

std::uint8_t TAvrMcu::SpiRead(avr_t* Avr, avr_io_addr_t Addr, void* Param) {
    auto* self = static_cast<TAvrMcu*>(Param);
    // Reading SPDR after SPSR (the usual polling loop) clears SPIF.
    avr_regbit_clear(Avr, self->FSpi->spi.raised);
    Avr->data[Addr] = self->FSpiIn;
    return self->FSpiIn;
}

// ---------------------------------------------------------------- ports

std::uint8_t TAvrMcu::Ddr(char Port) const {
    return FDdr[PortIndex(Port)];
}

std::uint8_t TAvrMcu::PortLatch(char Port) const {
    return FPort[PortIndex(Port)];
}

void TAvrMcu::SetPinLevels(char Port, std::uint8_t Levels) {
    FReads[PortIndex(Port)].Levels = Levels;
}

void TAvrMcu::OnPortIrq(avr_irq_t*, std::uint32_t Value, void* Param) {
    auto* p = static_cast<TPortIrqParam*>(Param);
    TAvrMcu* self = p->Mcu;
    const auto value = static_cast<std::uint8_t>(Value);
    if (self->FPort[p->Index] == value) return;
    self->FPort[p->Index] = value;
    if (self->OnPortChange) self->OnPortChange(kPortNames[p->Index]);
}

void TAvrMcu::OnDdrIrq(avr_irq_t*, std::uint32_t Value, void* Param) {
    auto* p = static_cast<TPortIrqParam*>(Param);
    TAvrMcu* self = p->Mcu;
    const auto value = static_cast<std::uint8_t>(Value);
    if (self->FDdr[p->Index] == value) return;
    self->FDdr[p->Index] = value;
    if (self->OnPortChange) self->OnPortChange(kPortNames[p->Index]);
}

std::uint8_t TAvrMcu::ReadPin(avr_t* Avr, avr_io_addr_t Addr, void* Param) {
    auto* r = static_cast<TPinRead*>(Param);
    TAvrMcu* self = r->Mcu;
    const std::uint8_t ddr = self->FDdr[r->Index];
    const auto value = static_cast<std::uint8_t>((r->Levels & ~ddr) | (self->FPort[r->Index] & ddr));
    Avr->data[Addr] = value;
    if (self->OnPinRead) self->OnPinRead(kPortNames[r->Index]);
    return value;
}

void TAvrMcu::WakeAt(TSimTime At) {
    FWakeAt = At;
    const std::uint64_t at = std::max(CyclesOf(At), FAvr->cycle + 1);
    avr_cycle_timer_register(FAvr, at - FAvr->cycle, OnWakeTimer, this);
}

avr_cycle_count_t TAvrMcu::OnWakeTimer(avr_t*, avr_cycle_count_t, void* Param) {
    auto* self = static_cast<TAvrMcu*>(Param);
    self->FWakeAt = TSimTime(-1);
    if (self->OnWake) self->OnWake();
    return 0;
}

// ---------------------------------------------------------------- reset

void TAvrMcu::Hang() {
    if (FExitAddress == 0) throw Exception("The firmware has no _exit to hang in");
    FAvr->sreg[S_I] = 0;
    FAvr->pc = FExitAddress;
}

void TAvrMcu::AfterWatchdogReset() {
    // libsimavr's reset cleared every register and cancelled every timer.
    ++FWatchdogResets;
    if (OnReset) OnReset();
    Restarted();
}

void TAvrMcu::Reset(TSimTime Release) {
    ++FResets;
    if (OnReset) OnReset();
    avr_reset(FAvr); // every register cleared: all pins released
    FInReset = true;
    FReleaseAt = std::max(Release, Now());
    FInputArmed = false;
    while (!FInputs.empty() && FInputs.front().Arrival < FReleaseAt) {
        FInputs.pop_front();
        ++FLost;
    }
    for (int i = 0; i < 3; ++i) {
        FDdr[i] = FPort[i] = 0;
        if (OnPortChange) OnPortChange(kPortNames[i]);
    }
    if (FReleaseAt <= Now()) Restart();
}

void TAvrMcu::Restart() {
    avr_reset(FAvr);
    FInReset = false;
    Restarted();
}

void TAvrMcu::Restarted() {
    // Every pin released, the harness's timers (cancelled by the reset)
    // registered again.
    FInputArmed = false;
    for (int i = 0; i < 3; ++i) {
        const bool changed = FDdr[i] || FPort[i];
        FDdr[i] = FPort[i] = 0;
        if (changed && OnPortChange) OnPortChange(kPortNames[i]);
    }
    if (FWakeAt.count() >= 0) WakeAt(FWakeAt);
    ArmInput();
}
