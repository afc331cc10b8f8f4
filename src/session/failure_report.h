// How a failure that ends an operation is reported: one mapping from the
// exception to the warning line, for every front end.
//   EComError          "<hardware>:Communications Error (<message>)"
//   EISPException      "<hardware>: <message>", or the message alone when
//                      it names no hardware
//   EAbortOp           "Operation Cancelled by user"
//   EVerifyError       the message
//   EFirmwareMisMatch  "Firmware Update Required", with the detail of what
//                      the programmer reported
//   anything else      "Error: <message>"
#pragma once

#include <cstdint>
#include <exception>
#include <string>

struct TFailureReport {
    enum TKind : std::uint8_t {
        fr_Communication,
        fr_Programmer,
        fr_Cancelled,
        fr_Verify,
        fr_Firmware,
        fr_Other
    };
    TKind Kind = fr_Other;
    // The warning line.
    std::string Text;
    // A firmware mismatch: "Your ISP requires a firmware update to continue
    // (identification 'VORIZORUV' expected, 'VORIZORUX' read)"; empty for
    // the other kinds.
    std::string Detail;
    // The exception's own message.
    std::string Message;

    // The line with its detail, as a log keeps one failure in one text.
    std::string FullText() const { return Detail.empty() ? Text : Text + " - " + Detail; }
    // A programmer that did not answer, or answered wrongly, where one was
    // opened: the failure may come with the way to go on without hardware.
    bool FromProgrammer() const { return Kind == fr_Communication || Kind == fr_Programmer; }
};

// Hardware: the name of the driver in use, for a communication error
// (which names none itself).
TFailureReport ReportFailure(const std::exception& E, const std::string& Hardware);
