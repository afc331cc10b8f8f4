// One hardware kind as a constant entry: what the registry, the device
// session and the front ends know of a kind, so that none of them names
// one. Each kind's folder defines its entry (unit/unit_kinds.h,
// ch341a/ch341a_kind.h, the simulated kinds in sim_kinds/) and includes
// nothing of the registry; the kind table (kinds/kind_table.cpp) lists them
// and fills the registry from them.
#pragma once

#include "catalogue/programmer_support.h"
#include "errors/errors.h"
#include "programmer/kind_settings.h"

#include <memory>
#include <string>

class TISPProgrammer;

// The bus clock as the operator chooses it in one word; each kind maps it
// to its own setting.
enum class TClockChoice { Fast, Medium, Slow };

// An option value a kind does not take ("LPT4", a USB path for a serial
// kind); the message says what it needs.
class EKindOptionError : public Exception {
  public:
    using Exception::Exception;
};

struct THardwareKind {
    // The kind's name; the registry keeps it upper-cased, and it names the
    // kind's settings section.
    const char* Name;
    // Offered in the hardware list.
    bool Visible;
    // What a list shows where the name alone does not say what the kind
    // is; "" shows the name.
    const char* Caption;
    TProgrammerSupport Support;
    // A new driver of the kind.
    std::unique_ptr<TISPProgrammer> (*NewInstance)();
    // The kind's module start-up, run once when the registry is filled,
    // after every kind is registered; nullptr when it has none.
    void (*StartUp)();
    // True for a kind that stands in for hardware: it needs none.
    bool Simulated;

    // --- what the operator gives and is told ---
    // How a port of the kind is named ("COMn or a device path such as
    // /dev/ttyUSB0"); "" when the kind has no port.
    const char* PortSyntax;
    // What the kind needs to work, in one line.
    const char* Needs;
    // Writes a port named as PortSyntax says into the kind's settings;
    // raises EKindOptionError for a port the kind does not take. nullptr:
    // the kind has no port, a port given is ignored.
    void (*ApplyPort)(TKindSettings& Settings, const std::string& Port);
    // Writes the chosen bus clock into the kind's settings.
    void (*ApplyClock)(TKindSettings& Settings, TClockChoice Clock);
    // Writes the fastest line rate the kind may ask its programmer for
    // ("--baud"); nullptr: the kind has no line rate, the value is ignored.
    void (*ApplyBaud)(TKindSettings& Settings, int Baud);
    // Writes the operator's write delay in milliseconds (0 gives it back to
    // the device) into the kind's settings.
    void (*ApplyWriteTime)(TKindSettings& Settings, int Milliseconds);
    // The port in use as the operator knows it ("COM3 (/dev/ttyUSB0)",
    // "LPT1"), from the kind's settings; nullptr when there is none to name.
    std::string (*PortName)(const TKindSettings& Settings);
};
