#include "serial_character.h"

namespace {

// The sent line at time T (in units of the sender's bit): start bit low,
// data bits, then high.
bool Level(std::uint8_t Byte, double T) {
    if (T < 0) return true;
    const auto bit = static_cast<int>(T);
    if (bit == 0) return false;
    if (bit <= 8) return ((Byte >> (bit - 1)) & 1) != 0;
    return true;
}

// Every byte as sent: the long runs of zeros and ones and the alternating
// patterns are the extremes of the sampling drift.
bool Agree(std::uint32_t SentBaud, std::uint32_t ReceiverBaud) {
    for (const std::uint8_t b :
         {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x55}, std::uint8_t{0xAA}}) {
        const auto got = ReceiveCharacter(b, SentBaud, ReceiverBaud);
        if (got.size() != 1 || got[0].Framing || got[0].Byte != b) return false;
    }
    return true;
}

} // namespace

std::vector<TReceivedCharacter> ReceiveCharacter(std::uint8_t Byte, std::uint32_t SentBaud,
                                                 std::uint32_t ReceiverBaud) {
    std::vector<TReceivedCharacter> out;
    if (SentBaud == 0 || ReceiverBaud == 0) return out;
    // The receiver's bit in units of the sender's.
    const double ratio = static_cast<double>(SentBaud) / ReceiverBaud;
    const double senderBitNs = 1e9 / SentBaud;
    // Falling edges of the sent waveform, in sender bits: the start bit,
    // and every 1-to-0 step between data bits.
    double from = 0;
    while (from < 10) {
        // The next falling edge at or after `from`.
        double edge = -1;
        for (int b = static_cast<int>(from); b <= 9 && edge < 0; ++b) {
            const bool before = Level(Byte, b - 0.5);
            const bool at = Level(Byte, b + 0.01);
            if (before && !at && b >= from) edge = b;
        }
        if (edge < 0) break;
        if (Level(Byte, edge + 0.5 * ratio)) {
            from = edge + 0.5 * ratio; // not a start bit after all
            continue;
        }
        TReceivedCharacter c;
        for (int i = 0; i < 8; ++i)
            if (Level(Byte, edge + (1.5 + i) * ratio)) c.Byte = static_cast<std::uint8_t>(c.Byte | (1u << i));
        c.Framing = !Level(Byte, edge + 9.5 * ratio);
        c.End = TSimDuration(static_cast<std::int64_t>((edge + 10 * ratio) * senderBitNs));
        out.push_back(c);
        from = edge + 9.5 * ratio; // the receiver looks for the next start after its stop sample
        if (c.Framing) {
            // It waits for the line to go high again before the next start.
            while (from < 10 && !Level(Byte, from))
                from = static_cast<int>(from) + 1;
        }
    }
    return out;
}

bool RatesAgree(std::uint32_t SentBaud, std::uint32_t ReceiverBaud) {
    if (SentBaud == ReceiverBaud) return SentBaud != 0;
    // Links ask for every byte: the last answer is kept.
    thread_local std::uint32_t lastSent = 0, lastReceiver = 0;
    thread_local bool last = false;
    if (SentBaud == lastSent && ReceiverBaud == lastReceiver) return last;
    lastSent = SentBaud;
    lastReceiver = ReceiverBaud;
    last = Agree(SentBaud, ReceiverBaud);
    return last;
}
