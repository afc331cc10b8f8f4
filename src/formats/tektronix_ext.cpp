#include "formats/tektronix_ext.h"

#include "formats/buffer_access.h"
#include "formats/row_walk.h"

namespace {

// The value of an upper-cased character as the reader takes address digits:
// 0-9 and A-F as digits, the low four bits of the same arithmetic otherwise.
unsigned AddressDigit(char c) {
    const char u = text_rules::Upper(c);
    const int v = u <= '9' ? u - '0' : u - 'A' + 10;
    return static_cast<unsigned>(v & 15);
}

} // namespace

TLineVerdict TTekExtRecords::Check(std::string_view Line, bool Plain) {
    if (Line.size() < 6 || Line[0] != '%') return lv_reject;
    const char type = text_rules::Upper(Line[3]);
    if (type == '3') return lv_next;
    if (type != '6' && type != '8') return lv_reject;
    const std::string_view rec = Line.substr(1);
    if (!(Plain || AllHexDigits(rec))) return lv_reject;
    if (ByteAt(rec, 0) != rec.size()) return lv_reject;
    if (!FIgnoreChecksum) {
        const unsigned sum = DigitSum(rec) - (DigitValue(rec[3]) + DigitValue(rec[4]));
        if (PairValue(rec[3], rec[4]) != (sum & 0xFF)) return lv_reject;
    }
    FResult = 7;
    return type == '8' ? lv_end : lv_next;
}

bool TTekExtRecords::Load(std::string_view Line, THexList& Data) {
    if (Line.size() < 7) return true; // never a data record of a detected file
    const char type = text_rules::Upper(Line[3]);
    if (type == '8') return false;
    if (type != '6') return true;
    const std::string_view body = Line.substr(6);
    const std::size_t n = AddressDigit(body[0]);
    std::uint64_t address = 0;
    for (std::size_t k = 1; k <= n && k < body.size(); ++k)
        address = (address << 4) | AddressDigit(body[k]);
    const std::string_view data = n + 1 < body.size() ? body.substr(n + 1) : std::string_view();
    const char* digits = data.data();
    StoreBytes(Data, address, data.size() / 2,
               [digits](std::size_t i) { return PairValue(digits[2 * i], digits[2 * i + 1]); });
    return true;
}

int CheckExtTek(const TTextLines& Lines, bool IgnoreChecksum) {
    TTekExtRecords records(IgnoreChecksum);
    return DetectRecords(TLineReader(Lines), records);
}

void LoadTekExtFile(const TTextLines& StrData, THexList& Data) {
    TTekExtRecords records;
    LoadRecords(TLineReader(StrData), records, Data);
}

void WriteTekExtText(TTextBuffer& Out, const THexList& Data) {
    // "%", length, type, checksum, length digit, up to eight address digits,
    // 16 data bytes, CR LF: at most 49 characters.
    char* p = Out.Room(RowCount(Data) * 49 + 17);
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        // Five address digits cover every buffer; a larger address gets as
        // many digits as it needs, named by the address length digit.
        const int addressDigits = HexDigitsOf(Base) < 5 ? 5 : HexDigitsOf(Base);
        const unsigned blockLength =
            2 * static_cast<unsigned>(Count) + 6 + static_cast<unsigned>(addressDigits);
        *p++ = '%';
        p = PutHexByte(p, static_cast<std::uint8_t>(blockLength));
        *p++ = '6';
        char* const checksum = p; // written once the body is
        p = PutHex(p + 2, static_cast<unsigned>(addressDigits), 1);
        p = PutHex(p, Base, addressDigits);
        // The digit values of the block length, the type and the body.
        unsigned sum = NibbleSum(blockLength) + 6 + static_cast<unsigned>(addressDigits) + NibbleSum(Base);
        for (int i = 0; i < Count; ++i) {
            p = PutHexByte(p, Bytes[i]);
            sum += (Bytes[i] >> 4) + (Bytes[i] & 15u);
        }
        PutHexByte(checksum, static_cast<std::uint8_t>(sum & 0xFF));
        p = PutLineEnd(p);
    });
    std::memcpy(p, "%0E81E800000000\r\n", 17);
    Out.Commit(p + 17);
}

void SaveTekExtFile(TTextLines& SaveData, const THexList& Data) {
    TTextBuffer text;
    WriteTekExtText(text, Data);
    AppendLines(SaveData, text.View());
}

template int DetectRecords(TLineReader, TTekExtRecords&);
template int DetectAndLoadRecords(TLineReader, TTekExtRecords&, THexList&, bool&);
