#include "session/failure_report.h"

#include "errors/errors.h"
#include "programmer/driver_module.h"

TFailureReport ReportFailure(const std::exception& E, const std::string& Hardware) {
    TFailureReport r;
    r.Message = E.what();
    if (dynamic_cast<const EComError*>(&E)) {
        r.Kind = TFailureReport::fr_Communication;
        r.Text = Hardware + ":Communications Error (" + r.Message + ")";
    } else if (const auto* isp = dynamic_cast<const EISPException*>(&E)) {
        r.Kind = TFailureReport::fr_Programmer;
        r.Text = isp->HardwareName.empty() ? r.Message : isp->HardwareName + ": " + r.Message;
    } else if (dynamic_cast<const EAbortOp*>(&E)) {
        r.Kind = TFailureReport::fr_Cancelled;
        r.Text = "Operation Cancelled by user";
    } else if (dynamic_cast<const EVerifyError*>(&E)) {
        r.Kind = TFailureReport::fr_Verify;
        r.Text = r.Message;
    } else if (dynamic_cast<const EFirmwareMisMatch*>(&E)) {
        r.Kind = TFailureReport::fr_Firmware;
        r.Text = "Firmware Update Required";
        // What was read, when the driver says ("identification 'VORIZORUV'
        // expected, 'VORIZORUX' read").
        const auto open = r.Message.find(" (");
        const std::string read = open != std::string::npos && r.Message.back() == ')'
                                     ? r.Message.substr(open + 2, r.Message.size() - open - 3)
                                     : "the programmer reports another firmware than " + SmartDongle::Softver;
        r.Detail = "Your ISP requires a firmware update to continue (" + read + ")";
    } else {
        r.Text = "Error: " + r.Message;
    }
    return r;
}
