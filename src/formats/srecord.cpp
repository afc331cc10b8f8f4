#include "formats/srecord.h"

#include "formats/buffer_access.h"
#include "formats/row_walk.h"

#include <algorithm>

namespace {

std::uint8_t OnesComplementChecksum(std::string_view Record, std::size_t Bytes) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < Bytes; ++i)
        sum += ByteAt(Record, i);
    return static_cast<std::uint8_t>(~sum & 0xFF);
}

} // namespace

TLineVerdict TMotorolaRecords::Check(std::string_view Line, bool Plain) {
    if (Line.size() < 10 || Line[0] != 'S' || Line[1] < '0' || Line[1] > '9') return lv_reject;
    const int type = Line[1] - '0';
    const std::string_view rec = Line.substr(2);
    if (rec.size() % 2 != 0 || !(Plain || AllHexDigits(rec))) return lv_reject;
    const std::size_t bytes = rec.size() / 2;
    if (ByteAt(rec, 0) != static_cast<long>(bytes) - 1) return lv_reject;
    if (!FIgnoreChecksum && OnesComplementChecksum(rec, bytes - 1) != ByteAt(rec, bytes - 1))
        return lv_reject;
    switch (type) {
    case 0:
    case 1:
        if (FResult == 0) FResult = 4;
        return lv_next;
    case 2:
    case 8: // end record of a file of S2 records
        if (FResult < 5) FResult = 5;
        return lv_next;
    case 3:
    case 7:
        FResult = 6;
        return lv_next;
    case 9:
        if (FResult == 0) FResult = 4;
        return lv_end;
    case 5:
    case 6: // record counts written by many tools
        return lv_next;
    default:
        return lv_reject;
    }
}

bool TMotorolaRecords::Load(std::string_view Line, THexList& Data) {
    if (Line.size() < 4) return true; // never produced by detection
    const char type = Line[1];
    if (type == '9') return false;
    if (type != '1' && type != '2' && type != '3') return true;
    const std::string_view rec = Line.substr(2);
    const std::size_t addressBytes = static_cast<std::size_t>(type - '1') + 2;
    const long count = ByteAt(rec, 0);
    const std::string_view body = rec.substr(2);
    const std::uint64_t address = BytesValue(body, 0, addressBytes);
    long n = count - static_cast<long>(addressBytes) - 1;
    const long present = static_cast<long>(body.size() / 2) - static_cast<long>(addressBytes) - 1;
    if (n > present) n = present;
    if (n <= 0) return true;
    const char* digits = body.data() + 2 * addressBytes;
    StoreBytes(Data, address, static_cast<std::size_t>(n),
               [digits](std::size_t i) { return PairValue(digits[2 * i], digits[2 * i + 1]); });
    return true;
}

int CheckMotorola(const TTextLines& Lines, bool IgnoreChecksum) {
    TMotorolaRecords records(IgnoreChecksum);
    return DetectRecords(TLineReader(Lines), records);
}

void LoadMotFile(const TTextLines& StrData, THexList& Data) {
    TMotorolaRecords records;
    LoadRecords(TLineReader(StrData), records, Data);
}

void WriteMotText(TTextBuffer& Out, const THexList& Data) {
    // "S2", count, six address digits, 16 data bytes, checksum, CR LF: 46;
    // an S3 record has eight address digits: 48.
    char* p = Out.Room(RowCount(Data) * 48 + 12);
    // Records widen for good: S1 up to FFFFh, S2 above it, S3 above FFFFFFh.
    int addressBytes = 2;
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        if (Base > 0xFFFF) addressBytes = std::max(addressBytes, 3);
        if (Base > 0xFFFFFF) addressBytes = 4;
        *p++ = 'S';
        *p++ = static_cast<char>('1' + addressBytes - 2);
        const auto count = static_cast<std::uint8_t>(Count + addressBytes + 1);
        p = PutHexByte(p, count);
        p = PutHex(p, Base, 2 * addressBytes);
        unsigned sum = count;
        for (int i = 0; i < addressBytes; ++i)
            sum += (Base >> (8 * i)) & 0xFF;
        for (int i = 0; i < Count; ++i) {
            p = PutHexByte(p, Bytes[i]);
            sum += Bytes[i];
        }
        p = PutHexByte(p, static_cast<std::uint8_t>(~sum & 0xFF));
        p = PutLineEnd(p);
    });
    std::memcpy(p, "S9030000FC\r\n", 12);
    Out.Commit(p + 12);
}

void SaveMotFile(TTextLines& SaveData, const THexList& Data) {
    TTextBuffer text;
    WriteMotText(text, Data);
    AppendLines(SaveData, text.View());
}

template int DetectRecords(TLineReader, TMotorolaRecords&);
template int DetectAndLoadRecords(TLineReader, TMotorolaRecords&, THexList&, bool&);
