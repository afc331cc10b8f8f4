// Command framing over the byte layer: commands with their arguments, the
// acknowledgement, the unit's error codes, the page commands and the bus
// primitives.
#include "buffer/hex_text.h"
#include "errors/errors.h"
#include "programmer/unit/smart_parallel.h"

#include <algorithm>

namespace {

const char kCommsFailed[] = "Communications with ISP failed during this operation";

} // namespace

void TSmartParallel::Fail(const std::string& Message) const {
    throw EISPException(Message, false, HardwareName());
}

std::string TSmartParallel::Hex2(int Value) {
    return IntToHex(static_cast<std::uint8_t>(Value), 2);
}

void TSmartParallel::WriteString(char TriggerChar, const std::string& Data) {
    WriteStringNOACK(TriggerChar, Data);
    GetAcknowledge();
}

void TSmartParallel::WriteStringNOACK(char TriggerChar, const std::string& Data) {
    Writedata(TriggerChar);
    for (char c : Data)
        Writedata(static_cast<std::uint8_t>(c));
}

std::string TSmartParallel::readstring(char TriggerChar, int length) {
    Writedata(TriggerChar);
    std::string reply;
    for (int i = 0; i < length; ++i)
        reply.push_back(static_cast<char>(ReadData(false)));
    GetAcknowledge();
    return reply;
}

void TSmartParallel::GetAcknowledge() {
    WaitReady(); // the result does not matter; it still times out
    const std::uint8_t b = ReadData(false);
    if (b == 13) return;
    if (b == '?') CheckErrors(ReadData(false));
    Fail(kCommsFailed);
}

void TSmartParallel::CheckErrors(std::uint8_t Data) {
    switch (Data) {
    case 0x21:
        Fail("Command not known here");
    case 0x23:
        Fail("Invalid number sent");
    case 0x25:
        Fail("BlankCheck Failed");
    case 0x4D:
        Fail("illegal attempt to use microwire");
    case 0x54:
        Fail("Program/erase BUSY timed out");
    case 0x56:
        throw EVerifyError("Your target device failed verification");
    case 0x6D:
        Fail("Microwire exchange out of sync");
    // The codes of the open firmware's unit; the original unit never sends
    // them.
    case 'H':
        Fail("no pull-up on SDA/SCL or a chip holds the bus - fit 4.7 kΩ pull-ups from SDA and SCL to the "
             "chip's supply (docs/wiring.md); if they are there, power the chip off and on");
    case 'O':
        ResyncLink();
        Fail("Bytes were lost on the link (the unit's receive buffer overflowed); the link was "
             "resynchronised");
    case 'I':
        ResyncLink();
        Fail("A command reached the unit incomplete and was dropped; the link was resynchronised");
    default:
        return;
    }
}

void TSmartParallel::writepage(std::uint8_t Size, const std::string& stream) {
    WriteString('W', std::string(1, static_cast<char>(Size)) + stream);
}

void TSmartParallel::ReadBlock(std::span<std::uint8_t> Into) {
    const std::string reply = readpage(static_cast<std::uint8_t>(Into.size()));
    std::copy_n(reply.begin(), std::min(reply.size(), Into.size()), Into.begin());
}

int TSmartParallel::ReadBlockSize(int PageSize, int) const {
    return PageSize;
}

std::string TSmartParallel::readpage(std::uint8_t Size) {
    WriteStringNOACK('R', std::string(1, static_cast<char>(Size)));
    std::string reply;
    for (int i = 0; i < Size; ++i)
        reply.push_back(static_cast<char>(ReadData(false)));
    GetAcknowledge();
    return reply;
}

void TSmartParallel::Start() {
    WriteString('X', "");
}

void TSmartParallel::Stop() {
    WriteString('x', "");
}

void TSmartParallel::i2c_reset() {
    WriteString('Z', "");
}

void TSmartParallel::writebyte(std::uint8_t bt) {
    WriteString('w', std::string(1, static_cast<char>(bt)));
}

std::uint8_t TSmartParallel::readbyte() {
    WriteStringNOACK('r', "");
    const std::uint8_t result = ReadData(false);
    GetAcknowledge();
    return result;
}
