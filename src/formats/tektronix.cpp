#include "formats/tektronix.h"

#include "formats/buffer_access.h"
#include "formats/row_walk.h"

TLineVerdict TTekRecords::Check(std::string_view Line, bool Plain) {
    if (Line.size() < 9 || Line[0] != '/') return lv_reject;
    const std::string_view rec = Line.substr(1);
    if (rec.size() % 2 != 0 || !(Plain || AllHexDigits(rec))) return lv_reject;
    const std::uint8_t count = ByteAt(rec, 2);
    // The header checksum is compared whatever the switch says.
    if ((DigitSum(rec.substr(0, 6)) & 0xFF) != ByteAt(rec, 3)) return lv_reject;
    if (count == 0 && rec.size() == 8) {
        FResult = 8;
        return lv_end;
    }
    if (static_cast<long>(rec.size() / 2) - 5 != count) return lv_reject;
    if (!FIgnoreChecksum &&
        (DigitSum(rec.substr(8, rec.size() - 10)) & 0xFF) != ByteAt(rec, rec.size() / 2 - 1))
        return lv_reject;
    FResult = 8;
    return lv_next;
}

bool TTekRecords::Load(std::string_view Line, THexList& Data) {
    const std::string_view rec = Line.substr(1);
    const std::uint64_t address = BytesValue(rec, 0, 2);
    std::size_t count = ByteAt(rec, 2);
    if (count == 0) return false;
    const std::string_view data = rec.size() > 8 ? rec.substr(8) : std::string_view();
    if (count > data.size() / 2) count = data.size() / 2; // never with a detected file
    const char* digits = data.data();
    StoreBytes(Data, address, count,
               [digits](std::size_t i) { return PairValue(digits[2 * i], digits[2 * i + 1]); });
    return true;
}

int CheckTek(const TTextLines& Lines, bool IgnoreChecksum) {
    TTekRecords records(IgnoreChecksum);
    return DetectRecords(TLineReader(Lines), records);
}

void LoadTekFile(const TTextLines& StrData, THexList& Data) {
    TTekRecords records;
    LoadRecords(TLineReader(StrData), records, Data);
}

void WriteTekText(TTextBuffer& Out, const THexList& Data) {
    // "/", up to eight address digits, count, header checksum, 16 data
    // bytes, data checksum, CR LF: at most 49 characters.
    char* p = Out.Room(RowCount(Data) * 49 + 11);
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        *p++ = '/';
        p = PutHex(p, Base, 4);
        p = PutHexByte(p, static_cast<std::uint8_t>(Count));
        // The digit values of the address and count just written.
        p = PutHexByte(
            p, static_cast<std::uint8_t>((NibbleSum(Base) + NibbleSum(static_cast<unsigned>(Count))) & 0xFF));
        unsigned dataSum = 0;
        for (int i = 0; i < Count; ++i) {
            p = PutHexByte(p, Bytes[i]);
            dataSum += (Bytes[i] >> 4) + (Bytes[i] & 15u);
        }
        p = PutHexByte(p, static_cast<std::uint8_t>(dataSum & 0xFF));
        p = PutLineEnd(p);
    });
    std::memcpy(p, "/00000000\r\n", 11);
    Out.Commit(p + 11);
}

void SaveTekFile(TTextLines& SaveData, const THexList& Data) {
    TTextBuffer text;
    WriteTekText(text, Data);
    AppendLines(SaveData, text.View());
}

template int DetectRecords(TLineReader, TTekRecords&);
template int DetectAndLoadRecords(TLineReader, TTekRecords&, THexList&, bool&);
