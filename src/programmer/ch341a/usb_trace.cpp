#include "programmer/ch341a/usb_trace.h"

TUsbTrace::TUsbTrace(std::unique_ptr<TUsbTransfer> Device, const std::string& FileName)
    : FDevice(std::move(Device)) {
    FFile.open(FileName, std::ios::app);
    if (!FFile) throw EISPException("Cannot write the USB trace \"" + FileName + "\"");
}

std::string TUsbTrace::Line(const char* Direction, std::span<const std::uint8_t> Bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string line = Direction;
    for (std::uint8_t b : Bytes) {
        line += ' ';
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    return line;
}

std::vector<std::uint8_t> TUsbTrace::Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                              std::span<const std::size_t> InPackets) {
    for (const auto& transfer : Out)
        FFile << Line("OUT", transfer) << '\n';
    try {
        std::vector<std::uint8_t> in = FDevice->Exchange(Out, InPackets);
        std::span<const std::uint8_t> rest(in);
        for (std::size_t n : InPackets) {
            FFile << Line("IN", rest.first(n)) << '\n';
            rest = rest.subspan(n);
        }
        FFile.flush();
        return in;
    } catch (const EUsbError& e) {
        FFile << "ERROR " << e.Message() << '\n';
        FFile.flush();
        throw;
    }
}
