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

// ":02000004", the upper word, the checksum, CR LF.
char* PutExtendedLinearAddress(char* p, std::uint32_t UpperWord) {
    std::memcpy(p, ":02000004", 9);
    p = PutHex(p + 9, UpperWord, 4);
    const unsigned sum = 0x02 + 0x04 + (UpperWord >> 8) + (UpperWord & 0xFF);
    p = PutHexByte(p, static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    return PutLineEnd(p);
}

} // namespace

TLineVerdict TIntelRecords::Check(std::string_view Line, bool Plain) {
    if (Line.size() < 11 || Line[0] != ':') return lv_reject;
    const std::string_view rec = Line.substr(1);
    if (rec.size() % 2 != 0 || !(Plain || AllHexDigits(rec))) return lv_reject;
    const std::size_t bytes = rec.size() / 2;
    if (ByteAt(rec, 0) != static_cast<long>(bytes) - 5) return lv_reject;
    if (!FIgnoreChecksum && TwosComplementChecksum(rec, bytes - 1) != ByteAt(rec, bytes - 1))
        return lv_reject;
    switch (ByteAt(rec, 3)) {
    case 0x00:
        if (FResult == 0) FResult = 1;
        return lv_next;
    case 0x01:
        if (FResult == 0) FResult = 1;
        return lv_end;
    case 0x02:
        if (FResult < 2) FResult = 2;
        return lv_next;
    case 0x03:
    case 0x04:
    case 0x05:
        FResult = 3;
        return lv_next;
    default:
        return lv_reject;
    }
}

bool TIntelRecords::Load(std::string_view Line, THexList& Data) {
    const std::string_view rec = Line.substr(1);
    const std::size_t length = ByteAt(rec, 0);
    const auto offset = static_cast<std::uint32_t>(BytesValue(rec, 1, 2));
    const std::uint8_t type = ByteAt(rec, 3);
    const std::string_view data = rec.size() > 8 ? rec.substr(8) : std::string_view();
    switch (type) {
    case 0x00: {
        // Linear and segment addresses together can pass 4 GiB; such an
        // address lies past every buffer rather than wrapping to a low one.
        const std::uint64_t address = std::uint64_t{Linear} * 65536u + std::uint64_t{Segment} * 16u + offset;
        // The detector guarantees the data; never read into the checksum.
        const std::size_t present = data.size() / 2 > 0 ? data.size() / 2 - 1 : 0;
        const std::size_t n = length < present ? length : present;
        const char* digits = data.data();
        StoreBytes(Data, address, n,
                   [digits](std::size_t i) { return PairValue(digits[2 * i], digits[2 * i + 1]); });
        return true;
    }
    case 0x01:
        return false;
    case 0x02:
        Segment = static_cast<std::uint16_t>(BytesValue(data, 0, 2));
        return true;
    case 0x04:
        Linear = static_cast<std::uint16_t>(BytesValue(data, 0, 2));
        return true;
    default:
        return true;
    }
}

int CheckIntelHex(const TTextLines& Lines, bool IgnoreChecksum) {
    TIntelRecords records(IgnoreChecksum);
    return DetectRecords(TLineReader(Lines), records);
}

void LoadIntelFile(const TTextLines& StrData, THexList& Data) {
    TIntelRecords records;
    LoadRecords(TLineReader(StrData), records, Data);
}

void WriteIntelText(TTextBuffer& Out, const THexList& Data) {
    // A data record is at most 45 characters with its line end, an extended
    // address record 17; there is at most one of those per 64 KiB.
    const std::uint64_t rows = RowCount(Data);
    char* p = Out.Room(rows * 45 + (rows / 4096 + 2) * 17 + 13);
    std::uint32_t upper = 0;
    if (Data.LastUsedLocation() > 0xFFFF) p = PutExtendedLinearAddress(p, 0);
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        if ((Base >> 16) > upper) {
            upper = Base >> 16;
            p = PutExtendedLinearAddress(p, upper);
        }
        *p++ = ':';
        p = PutHexByte(p, static_cast<std::uint8_t>(Count));
        p = PutHexByte(p, static_cast<std::uint8_t>(Base >> 8));
        p = PutHexByte(p, static_cast<std::uint8_t>(Base));
        *p++ = '0';
        *p++ = '0';
        unsigned sum = static_cast<unsigned>(Count) + ((Base >> 8) & 0xFF) + (Base & 0xFF);
        for (int i = 0; i < Count; ++i) {
            p = PutHexByte(p, Bytes[i]);
            sum += Bytes[i];
        }
        p = PutHexByte(p, static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
        p = PutLineEnd(p);
    });
    std::memcpy(p, ":00000001FF\r\n", 13);
    Out.Commit(p + 13);
}

void SaveIntelFile(TTextLines& SaveData, const THexList& Data) {
    TTextBuffer text;
    WriteIntelText(text, Data);
    AppendLines(SaveData, text.View());
}

template int DetectRecords(TLineReader, TIntelRecords&);
template int DetectAndLoadRecords(TLineReader, TIntelRecords&, THexList&, bool&);
