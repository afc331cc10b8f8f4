// What a front end presents of its device session: the lines of the
// operation frame and the failure reports, besides what the drivers ask of
// it (TDriverHost: the device panel, the status log, the options dialogs,
// the information window). The window presents them with its widgets, the
// command line as lines or JSON objects.
#pragma once

#include "programmer/driver_host.h"
#include "session/failure_report.h"

#include <string>

class TSessionEvents : public TDriverHost {
  public:
    // An operation began: its busy line ("EEPROM: Programming").
    virtual void OperationStarted(const std::string& Busy) = 0;
    // It ended: its completion line with the time ("EEPROM: Programming
    // Complete - 00:01"), "" when it ended without one.
    virtual void OperationEnded(const std::string& Line) = 0;
    // A failure ended it, or whatever the front end was doing.
    virtual void OperationFailed(const TFailureReport& Failure) = 0;
    // The driver's progress report (current, maximum); (-1, -1) only keeps
    // the user interface alive. It may raise EAbortOp to cancel.
    virtual void Progress(int Current, int Maximum) = 0;
};
