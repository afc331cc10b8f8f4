// The programmer unit's firmware for an Arduino Uno or Nano (ATmega328P at
// 16 MHz): the command interpreter of sim/core fed from the serial line
// through the link control (lost bytes, rate changes). The main loop sleeps
// whenever no byte waits; every wait on the bus is bounded, and the
// watchdog resets the unit if the loop ever stops coming round.
#include "core/command_interpreter.h"
#include "core/link_control.h"
#include "firmware_host.h"
#include "ticks.h"
#include "uart.h"
#include "version.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>
#include <avr/wdt.h>

// Needed by the virtual functions of the host interface; never called.
extern "C" void __cxa_pure_virtual() {
    for (;;) {
    }
}

// After a watchdog reset the watchdog stays on at its shortest time (16 ms):
// it is turned off before the C runtime clears the RAM, as avr-libc's
// documentation describes.
extern "C" void StopWatchdogAtReset() __attribute__((naked, used, section(".init3")));
extern "C" void StopWatchdogAtReset() {
    MCUSR = 0;
    wdt_disable();
}

namespace {

// The write delay until the PC sends "D".
constexpr uint8_t kDefaultWriteDelayMs = 10;

// The longest command takes about half a second ("R" of 256 bytes or a
// page with a 255 ms write delay at the slow clock); the loop comes round
// between any two commands and between the bytes of a page.
constexpr uint8_t kWatchdog = WDTO_1S;

constexpr TUnitIdentity kIdentity = {
    {Version::kIdentification, sizeof Version::kIdentification - 1},
    {Version::kHardware, sizeof Version::kHardware - 1},
    {Version::kFirmware, sizeof Version::kFirmware - 1},
    true,
    2, // 2 Mbaud
    Uart::kRxSize,
};

void WaitForInput() {
    set_sleep_mode(SLEEP_MODE_IDLE);
    cli();
    if (!Uart::Pending()) {
        sleep_enable();
        sei();
        sleep_cpu(); // the receive interrupt or the next tick wakes it
        sleep_disable();
    }
    sei();
}

} // namespace

int main() {
    Ticks::Init();
    Uart::Init();
    TFirmwareHost host;
    TCommandInterpreter interpreter(host, kIdentity, kDefaultWriteDelayMs);
    TLinkControl link(interpreter, host);
    interpreter.Reset(); // pins of the I2C bus, target reset released
    wdt_enable(kWatchdog);
    sei();
    for (;;) {
        wdt_reset();
        const auto now = static_cast<uint16_t>(Ticks::Now());
        if (Uart::EventsPending()) {
            const uint8_t events = Uart::TakeEvents();
            if (events & Uart::kLost) link.Lost(now);
            if (events & Uart::kFraming) link.Received(0, false, true, now);
        }
        uint8_t byte;
        bool gap;
        if (Uart::Take(byte, gap)) {
            link.Received(byte, gap, false, now);
            continue;
        }
        link.Poll(now, Uart::IdleMs());
        WaitForInput();
    }
}
