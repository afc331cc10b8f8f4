#include "formats/intel_hex.h"

#include "formats/buffer_access.h"
#include "formats/row_walk.h"

namespace {

std::uint8_t TwosComplementChecksum(std::string_view Record, std::size_t Bytes) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < Bytes; ++i)
        sum += ByteAt(Record, i);
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

// A complete record from its hexadecimal body (without ":" and checksum).
std::string Record(std::string Body) {
    const std::uint8_t cs = TwosComplementChecksum(Body, Body.size() / 2);
    std::string line = ":" + Body;
    AppendHex(line, cs, 2);
    return line;
}

std::string ExtendedLinearAddress(std::uint32_t UpperWord) {
    std::string body = "02000004";
    AppendHex(body, UpperWord, 4);
    return Record(body);
}

} // namespace

int CheckIntelHex(const TTextLines& Lines, bool IgnoreChecksum) {
    int result = 0;
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : Lines) {
        if (line.empty()) continue;
        if (line.size() < 11 || line[0] != ':') return 0;
        const std::string_view rec = UpperCaseView(scratch, std::string_view(line).substr(1));
        if (rec.size() % 2 != 0 || !AllHexDigits(rec)) return 0;
        const std::size_t bytes = rec.size() / 2;
        if (ByteAt(rec, 0) != static_cast<long>(bytes) - 5) return 0;
        if (!IgnoreChecksum && TwosComplementChecksum(rec, bytes - 1) != ByteAt(rec, bytes - 1)) return 0;
        switch (ByteAt(rec, 3)) {
        case 0x00:
            if (result == 0) result = 1;
            break;
        case 0x01:
            if (result == 0) result = 1;
            return result;
        case 0x02:
            if (result < 2) result = 2;
            break;
        case 0x03:
        case 0x04:
        case 0x05:
            result = 3;
            break;
        default:
            return 0;
        }
    }
    return result;
}

void LoadIntelFile(const TTextLines& StrData, THexList& Data) {
    std::uint16_t Linear = 0, Segment = 0;
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : StrData) {
        if (line.empty()) continue;
        const std::string_view rec = UpperCaseView(scratch, std::string_view(line).substr(1));
        const std::size_t length = ByteAt(rec, 0);
        const auto offset = static_cast<std::uint32_t>(BytesValue(rec, 1, 2));
        const std::uint8_t type = ByteAt(rec, 3);
        const std::string_view data = rec.size() > 8 ? rec.substr(8) : std::string_view();
        switch (type) {
        case 0x00: {
            const std::uint32_t address = static_cast<std::uint32_t>(Linear) * 65536u +
                                          static_cast<std::uint32_t>(Segment) * 16u + offset;
            // The detector guarantees the data; never read into the checksum.
            const std::size_t present = data.size() / 2 > 0 ? data.size() / 2 - 1 : 0;
            const std::size_t n = length < present ? length : present;
            for (std::size_t i = 0; i < n; ++i)
                StoreByte(Data, static_cast<std::uint64_t>(address) + i, ByteAt(data, i));
            break;
        }
        case 0x01:
            return;
        case 0x02:
            Segment = static_cast<std::uint16_t>(BytesValue(data, 0, 2));
            break;
        case 0x04:
            Linear = static_cast<std::uint16_t>(BytesValue(data, 0, 2));
            break;
        default:
            break;
        }
    }
}

void SaveIntelFile(TTextLines& SaveData, const THexList& Data) {
    std::uint32_t upper = 0;
    if (Data.LastUsedLocation() > 0xFFFF) SaveData.push_back(ExtendedLinearAddress(0));
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        if ((Base >> 16) > upper) {
            upper = Base >> 16;
            SaveData.push_back(ExtendedLinearAddress(upper));
        }
        std::string body;
        body.reserve(8 + 2 * static_cast<std::size_t>(Count));
        AppendHex(body, static_cast<unsigned>(Count), 2);
        AppendHex(body, Base & 0xFFFF, 4);
        body += "00";
        for (int i = 0; i < Count; ++i)
            AppendHexByte(body, Bytes[i]);
        SaveData.push_back(Record(std::move(body)));
    });
    SaveData.push_back(":00000001FF");
}
