#include "programmer/ch347/ch347_spi.h"

#include "buffer/hex_text.h"
#include "programmer/ch347/ch347_protocol.h"

#include <algorithm>
#include <numeric>

namespace {

[[noreturn]] void BadAnswer(const std::string& What) {
    throw EUsbError(TUsbErrorKind::Io, "The CH347 answered out of turn: " + What);
}

} // namespace

void TCh347Spi::Clear() {
    FOut.clear();
    FExpect.clear();
}

void TCh347Spi::Queue(std::uint8_t Command, std::span<const std::uint8_t> Payload) {
    std::vector<std::uint8_t> frame{Command, static_cast<std::uint8_t>(Payload.size() & 0xFF),
                                    static_cast<std::uint8_t>(Payload.size() >> 8)};
    frame.insert(frame.end(), Payload.begin(), Payload.end());
    FOut.push_back(std::move(frame));
}

void TCh347Spi::Configure(int Prescaler, int Mode) {
    Clear();
    std::uint8_t config[Ch347::ConfigSize] = {};
    config[Ch347::ConfigCpol] = (Mode & 2) ? 2 : 0;
    config[Ch347::ConfigCpha] = static_cast<std::uint8_t>(Mode & 1);
    config[Ch347::ConfigPrescaler] =
        static_cast<std::uint8_t>(std::clamp(Prescaler, 0, Ch347::MaxPrescaler) << 3);
    config[Ch347::ConfigFirstBit] = 0; // MSB first, as the chips expect
    Queue(Ch347::SpiSetConfig, config);
    FExpect.push_back({Ch347::SpiSetConfig, TAnswer::Status, {}});
    Flush();
}

void TCh347Spi::Select(bool Active) {
    std::uint8_t cs[Ch347::ChipSelectSize] = {};
    cs[Ch347::ChipSelect1] =
        Active ? Ch347::CsChange : static_cast<std::uint8_t>(Ch347::CsChange | Ch347::CsDeassert);
    Queue(Ch347::SpiChipSelect, cs);
}

void TCh347Spi::Write(std::span<const std::uint8_t> Bytes) {
    for (std::size_t at = 0; at < Bytes.size(); at += Ch347::MaxFrameData) {
        Queue(Ch347::SpiOut, Bytes.subspan(at, std::min(Ch347::MaxFrameData, Bytes.size() - at)));
        FExpect.push_back({Ch347::SpiOut, TAnswer::Status, {}});
    }
}

void TCh347Spi::Read(std::span<std::uint8_t> Into) {
    for (std::size_t at = 0; at < Into.size(); at += Ch347::MaxTransfer) {
        const std::size_t n = std::min(Ch347::MaxTransfer, Into.size() - at);
        const std::uint8_t count[] = {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>(n >> 8),
                                      0, 0};
        Queue(Ch347::SpiIn, count);
        for (std::size_t k = 0; k < n; k += Ch347::MaxFrameData)
            FExpect.push_back(
                {Ch347::SpiIn, TAnswer::Data, Into.subspan(at + k, std::min(Ch347::MaxFrameData, n - k))});
    }
}

void TCh347Spi::Exchange(std::span<const std::uint8_t> Bytes, std::span<std::uint8_t> Into) {
    for (std::size_t at = 0; at < Bytes.size(); at += Ch347::MaxFrameData) {
        const std::size_t n = std::min(Ch347::MaxFrameData, Bytes.size() - at);
        Queue(Ch347::SpiOutIn, Bytes.subspan(at, n));
        FExpect.push_back({Ch347::SpiOutIn, TAnswer::Data, Into.subspan(at, n)});
    }
}

void TCh347Spi::Flush() {
    if (FOut.empty()) return;
    std::vector<std::size_t> sizes;
    for (const TExpect& e : FExpect)
        sizes.push_back(Ch347::HeaderSize + (e.Kind == TAnswer::Status ? 1 : e.Into.size()));
    const auto out = std::move(FOut);
    const auto expect = std::move(FExpect);
    Clear();
    const std::vector<std::uint8_t> in = FLink.Exchange(out, sizes);
    if (in.size() != std::accumulate(sizes.begin(), sizes.end(), std::size_t{0}))
        BadAnswer(std::to_string(in.size()) + " bytes where more were due");
    std::size_t at = 0;
    for (std::size_t i = 0; i < expect.size(); ++i) {
        const TExpect& e = expect[i];
        const std::size_t length = sizes[i] - Ch347::HeaderSize;
        if (in[at] != e.Command || (in[at + 1] | in[at + 2] << 8) != static_cast<int>(length))
            BadAnswer("frame " + IntToHex(in[at], 2) + "h of " +
                      std::to_string(in[at + 1] | in[at + 2] << 8) + " bytes where " +
                      IntToHex(e.Command, 2) + "h of " + std::to_string(length) + " was due");
        if (e.Kind == TAnswer::Status && in[at + 3] != 0)
            BadAnswer("status " + IntToHex(in[at + 3], 2) + "h for command " + IntToHex(e.Command, 2) + "h");
        if (e.Kind == TAnswer::Data)
            std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at + Ch347::HeaderSize), length,
                        e.Into.begin());
        at += sizes[i];
    }
}
