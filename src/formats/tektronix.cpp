#include "formats/tektronix.h"

#include "formats/buffer_access.h"
#include "formats/row_walk.h"

int CheckTek(const TTextLines& Lines, bool IgnoreChecksum) {
    int result = 0;
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : Lines) {
        if (line.empty()) continue;
        if (line.size() < 9 || line[0] != '/') return 0;
        const std::string_view rec = UpperCaseView(scratch, std::string_view(line).substr(1));
        if (rec.size() % 2 != 0 || !AllHexDigits(rec)) return 0;
        const std::uint8_t count = ByteAt(rec, 2);
        // The header checksum is compared whatever the switch says.
        if ((DigitSum(rec.substr(0, 6)) & 0xFF) != ByteAt(rec, 3)) return 0;
        if (count == 0 && rec.size() == 8) return 8;
        if (static_cast<long>(rec.size() / 2) - 5 != count) return 0;
        if (!IgnoreChecksum &&
            (DigitSum(rec.substr(8, rec.size() - 10)) & 0xFF) != ByteAt(rec, rec.size() / 2 - 1))
            return 0;
        result = 8;
    }
    return result;
}

void LoadTekFile(const TTextLines& StrData, THexList& Data) {
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : StrData) {
        if (line.empty()) continue;
        const std::string_view rec = UpperCaseView(scratch, std::string_view(line).substr(1));
        const std::uint64_t address = BytesValue(rec, 0, 2);
        std::size_t count = ByteAt(rec, 2);
        if (count == 0) return;
        const std::string_view data = rec.size() > 8 ? rec.substr(8) : std::string_view();
        if (count > data.size() / 2) count = data.size() / 2; // never with a detected file
        for (std::size_t i = 0; i < count; ++i)
            StoreByte(Data, address + i, ByteAt(data, i));
    }
}

void SaveTekFile(TTextLines& SaveData, const THexList& Data) {
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        std::string line = "/";
        line.reserve(13 + 2 * static_cast<std::size_t>(Count));
        AppendHex(line, Base, 4);
        AppendHex(line, static_cast<unsigned>(Count), 2);
        AppendHex(line, DigitSum(std::string_view(line).substr(1)) & 0xFF, 2);
        unsigned dataSum = 0;
        for (int i = 0; i < Count; ++i) {
            AppendHexByte(line, Bytes[i]);
            dataSum += (Bytes[i] >> 4) + (Bytes[i] & 15u);
        }
        AppendHex(line, dataSum & 0xFF, 2);
        SaveData.push_back(std::move(line));
    });
    SaveData.push_back("/00000000");
}
