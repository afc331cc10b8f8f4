// The programmer unit's firmware for an Arduino Uno or Nano (ATmega328P at
// 16 MHz): the command interpreter of sim/core fed from the serial line.
// The main loop sleeps whenever no byte waits; every wait on the bus is
// bounded, so the unit always comes back to the line.
#include "core/command_interpreter.h"
#include "firmware_host.h"
#include "ticks.h"
#include "uart.h"
#include "version.h"

#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>

// Needed by the virtual functions of the host interface; never called.
extern "C" void __cxa_pure_virtual() {
    for (;;) {
    }
}

namespace {

// The write delay until the PC sends "D".
constexpr uint8_t kDefaultWriteDelayMs = 10;

// The receive ring holds 255 bytes: more than a page's commands.
constexpr TUnitIdentity kIdentity = {
    {Version::kIdentification, sizeof Version::kIdentification - 1},
    {Version::kHardware, sizeof Version::kHardware - 1},
    {Version::kFirmware, sizeof Version::kFirmware - 1},
    true,
};

void WaitForInput() {
    set_sleep_mode(SLEEP_MODE_IDLE);
    cli();
    if (!Uart::Pending()) {
        sleep_enable();
        sei();
        sleep_cpu(); // the receive interrupt wakes it
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
    interpreter.Reset(); // pins of the I2C bus, target reset released
    sei();
    for (;;) {
        uint8_t byte;
        bool gap;
        if (!Uart::Take(byte, gap)) {
            WaitForInput();
            continue;
        }
        // The arguments of a command stopped coming: start afresh.
        if (gap) interpreter.Abandon();
        interpreter.Receive(byte);
    }
}
