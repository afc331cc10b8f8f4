// The device session both front ends run: the driver of a kind from the
// kind table, the operator's options applied through the kind's entry, the
// device, the 93C organisation handed over, and the operation frame (busy
// line, completion line with the elapsed time, one mapping of a failure to
// its warning line). The front end presents the session's events
// (session_events.h); it is the drivers' host while the session lives.
#pragma once

#include "catalogue/device.h"
#include "programmer/hardware_kind.h"
#include "programmer/isp_programmer.h"
#include "session/failure_report.h"
#include "session/operation_frame.h"
#include "session/session_events.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

class TISPSettings;

class TDeviceSession {
  public:
    // Events: the front end (not owned), the drivers' host until the
    // session ends. Settings: where the drivers keep their values (not owned).
    TDeviceSession(TSessionEvents& Events, TISPSettings& Settings);
    // Frees the driver (the front end closes it first) and gives the
    // drivers' host back.
    ~TDeviceSession();
    TDeviceSession(const TDeviceSession&) = delete;
    TDeviceSession& operator=(const TDeviceSession&) = delete;

    // --- the kind and its driver ---
    // Chooses the kind registered as Name (letter case ignored) without
    // making its driver; false when none is.
    bool SelectKind(const std::string& Name);
    // Makes the chosen kind's driver (closing and freeing the one in use
    // first): named after the kind, keeping its values in the settings,
    // reporting its progress to the events, with the session's device.
    TISPProgrammer& CreateDriver();
    // Both: the kind named, or registered kind 0 when none is; the driver
    // carries the name as given (or kind 0's).
    TISPProgrammer& SelectHardware(const std::string& Name);
    // Frees the driver without closing it.
    void ReleaseDriver() { FDriver.reset(); }
    TISPProgrammer* Driver() const { return FDriver.get(); }
    // The chosen kind's registry name (upper-cased); "" before a choice.
    const std::string& KindName() const { return FKindName; }
    // Its table entry; nullptr for a kind registered without one.
    const THardwareKind* Kind() const { return FKind; }
    // The kind to try the program with when no programmer answers, and
    // whether the kind in use is such a stand-in already.
    static const THardwareKind& StandIn();
    bool UsingStandIn() const { return FKind && FKind->Simulated; }

    // --- the operator's options, through the kind's entry ---
    // Each writes the kind's settings and raises EKindOptionError for a
    // value the kind does not take. A kind without a port ignores a port.
    void ApplyPort(const std::string& Port);
    void ApplyClock(TClockChoice Clock);
    void ApplyBaud(int Baud);
    void ApplyWriteTime(int Milliseconds);
    // The port as the operator named it (ApplyPort), else the one the
    // kind's settings name ("COM3 (/dev/ttyUSB0)", "LPT1"); "" when there
    // is none to name.
    std::string PortName() const;

    // --- the device ---
    // The driver's device; the block size of the read and program loops
    // becomes the device's page size, the bus clock the fast one.
    void SelectDevice(TDevice* Device);
    TDevice* Device() const { return FDevice; }
    // The device panel's "Programming Mode" to the driver: x16 (also
    // without a panel) or x8. The driver uses it for 93C devices only.
    void HandOverOrganisation();

    // --- the operation frame ---
    TOperationFrame& Frame() { return FFrame; }
    // An operation starts: its busy line goes to the events.
    void StartOp(const std::string& Busy);
    // It ends: the driver's cancel request is cleared and the completion
    // line (Complete with the time; none for "") goes to the events.
    // Accumulate keeps the time for the next operation's line.
    void EndOp(const std::string& Complete, bool Accumulate = false);
    // The warning line of a failure, naming the driver in use.
    TFailureReport Report(const std::exception& E) const;
    // A failure ends the operation (or what the front end did): the frame
    // closes and the report goes to the events.
    void FailOp(const std::exception& E);
    // One operation: StartOp, Work, EndOp; a failure of Work goes to FailOp
    // and gives false.
    bool Operation(const std::string& Busy, const std::string& Complete, const std::function<void()>& Work);

  private:
    // The kind's option writer Entry (a member of its entry) with Value, on
    // the kind's settings; nothing for a kind without one.
    template <class TWriter, class TValue> void Apply(TWriter THardwareKind::*Entry, const TValue& Value) {
        if (!FKind || !(FKind->*Entry)) return;
        TKindSettings settings(FSettings, FKindName);
        (FKind->*Entry)(settings, Value);
    }

    TSessionEvents& FEvents;
    TISPSettings& FSettings;
    TDriverHost* FPreviousHost;
    const THardwareKind* FKind = nullptr;
    std::string FKindName;
    std::string FNamedPort;
    TDevice* FDevice = nullptr;
    std::unique_ptr<TISPProgrammer> FDriver;
    TOperationFrame FFrame;
};
