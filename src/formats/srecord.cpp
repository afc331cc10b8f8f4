#include "formats/srecord.h"

#include "formats/buffer_access.h"
#include "formats/row_walk.h"

namespace {

std::uint8_t OnesComplementChecksum(std::string_view Record, std::size_t Bytes) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < Bytes; ++i)
        sum += ByteAt(Record, i);
    return static_cast<std::uint8_t>(~sum & 0xFF);
}

} // namespace

int CheckMotorola(const TTextLines& Lines, bool IgnoreChecksum) {
    int result = 0;
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : Lines) {
        if (line.empty()) continue;
        if (line.size() < 10 || line[0] != 'S' || line[1] < '0' || line[1] > '9') return 0;
        const int type = line[1] - '0';
        const std::string_view rec = UpperCaseView(scratch, std::string_view(line).substr(2));
        if (rec.size() % 2 != 0 || !AllHexDigits(rec)) return 0;
        const std::size_t bytes = rec.size() / 2;
        if (ByteAt(rec, 0) != static_cast<long>(bytes) - 1) return 0;
        if (!IgnoreChecksum && OnesComplementChecksum(rec, bytes - 1) != ByteAt(rec, bytes - 1)) return 0;
        switch (type) {
        case 0:
        case 1:
            if (result == 0) result = 4;
            break;
        case 2:
        case 8: // end record of a file of S2 records
            if (result < 5) result = 5;
            break;
        case 3:
        case 7:
            result = 6;
            break;
        case 9:
            if (result == 0) result = 4;
            return result;
        case 5:
        case 6: // record counts written by many tools
            break;
        default:
            return 0;
        }
    }
    return result;
}

void LoadMotFile(const TTextLines& StrData, THexList& Data) {
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : StrData) {
        if (line.empty()) continue;
        if (line.size() < 4) continue; // never produced by detection
        const char type = line[1];
        if (type == '9') return;
        if (type != '1' && type != '2' && type != '3') continue;
        const std::string_view rec = UpperCaseView(scratch, std::string_view(line).substr(2));
        const std::size_t addressBytes = static_cast<std::size_t>(type - '1') + 2;
        const long count = ByteAt(rec, 0);
        const std::string_view body = rec.substr(2);
        const std::uint64_t address = BytesValue(body, 0, addressBytes);
        long n = count - static_cast<long>(addressBytes) - 1;
        const long present = static_cast<long>(body.size() / 2) - static_cast<long>(addressBytes) - 1;
        if (n > present) n = present;
        for (long i = 0; i < n; ++i)
            StoreByte(Data, address + static_cast<std::uint64_t>(i),
                      ByteAt(body, addressBytes + static_cast<std::size_t>(i)));
    }
}

void SaveMotFile(TTextLines& SaveData, const THexList& Data) {
    bool wide = false;
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        if (Base > 0xFFFF) wide = true;
        const int addressDigits = wide ? 6 : 4;
        std::string rec;
        rec.reserve(4 + addressDigits + 2 * static_cast<std::size_t>(Count) + 2);
        AppendHex(rec, static_cast<unsigned>(Count + addressDigits / 2 + 1), 2);
        AppendHex(rec, Base, addressDigits);
        for (int i = 0; i < Count; ++i)
            AppendHexByte(rec, Bytes[i]);
        AppendHex(rec, OnesComplementChecksum(rec, rec.size() / 2), 2);
        SaveData.push_back((wide ? "S2" : "S1") + rec);
    });
    SaveData.push_back("S9030000FC");
}
