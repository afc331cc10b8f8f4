// Firmwareupdater: writes the programmer unit's firmware (firmware/
// norvoisp.hex beside it) into an Arduino Uno or Nano through the board's
// bootloader with avrdude, on the serial port the program uses.
//
// The board's bootloader speaks the STK500 protocol ("-c arduino") at the
// speed it was built for: 115 200 baud for the Uno and for Nanos with the
// current bootloader, 57 600 for Nanos with the old one. Unless a speed is
// given, 115 200 is tried first and, when avrdude finds nothing answering
// there, 57 600.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class TISPSettings;

struct TUpdateRequest {
    std::string FirmwareBase; // "firmware/norvoisp" (the hex file without ".hex")
    std::string Version;      // the firmware version the program needs, "000A"
    std::string Port;         // the device path of the board's serial port
    int Baud = 0;             // 0: 115 200, then 57 600
    std::string Avrdude = "avrdude";
};

struct TAvrdudeResult {
    bool Started = false;
    int ExitStatus = -1;
    std::string Output; // what avrdude printed (it reports on standard error)
};

// Runs avrdude with Args (Args[0] is the program, looked up in PATH).
using TAvrdudeRunner = std::function<TAvrdudeResult(const std::vector<std::string>& Args)>;

// The avrdude command line for one attempt.
std::vector<std::string> AvrdudeArgs(const TUpdateRequest& Request, int Baud);
// True when avrdude's output says that no bootloader answered (so another
// speed may be worth a try), not that the transfer itself failed.
bool NothingAnswered(const std::string& Output);

struct TUpdateOutcome {
    bool Done = false;
    std::string Message; // the line for the operator
};

// Checks the request, then runs avrdude at one or both speeds.
TUpdateOutcome UpdateFirmware(const TUpdateRequest& Request, const TAvrdudeRunner& Run);

// The serial device the program's "Norvo ISP (COM)" kind is set to use in
// the settings ("BASEPORT" and the "COMPORTS" table); empty when none.
std::string PortOfSettings(const TISPSettings& Settings);

// The real runner: avrdude as a child process (looked up in the absolute
// folders of PATH only), its output collected, killed with everything it
// started when it has not finished within Limit, even after it closed its
// output.
TAvrdudeResult RunAvrdude(const std::vector<std::string>& Args,
                          std::chrono::milliseconds Limit = std::chrono::minutes(2));
