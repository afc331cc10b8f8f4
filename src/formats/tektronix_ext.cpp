#include "formats/tektronix_ext.h"

#include "buffer/hex_text.h"

#include "formats/buffer_access.h"
#include "formats/row_walk.h"

int CheckExtTek(const TTextLines& Lines, bool IgnoreChecksum) {
    int result = 0;
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : Lines) {
        if (line.empty()) continue;
        if (line.size() < 6 || line[0] != '%') return 0;
        const std::string_view u = UpperCaseView(scratch, line);
        const char type = u[3];
        if (type == '3') continue;
        if (type != '6' && type != '8') return 0;
        const std::string_view rec = u.substr(1);
        if (!AllHexDigits(rec)) return 0;
        const unsigned sum = DigitSum(rec) - static_cast<unsigned>(DigitValue(rec[3]) + DigitValue(rec[4]));
        if (ByteAt(rec, 0) != rec.size()) return 0;
        if (!IgnoreChecksum && convertHex(rec[3], rec[4]) != (sum & 0xFF)) return 0;
        result = 7;
        if (type == '8') return result;
    }
    return result;
}

void LoadTekExtFile(const TTextLines& StrData, THexList& Data) {
    std::string scratch; // reused: no allocation per line
    for (const std::string& line : StrData) {
        if (line.empty()) continue;
        if (line.size() < 7) continue; // never a data record of a detected file
        const std::string_view u = UpperCaseView(scratch, line);
        if (u[3] == '8') return;
        if (u[3] != '6') continue;
        const std::string_view body = u.substr(6);
        const std::size_t n = static_cast<std::size_t>(DigitValue(body[0]) & 15);
        std::uint64_t address = 0;
        for (std::size_t k = 1; k <= n && k < body.size(); ++k)
            address = (address << 4) | static_cast<unsigned>(DigitValue(body[k]) & 15);
        const std::string_view data = n + 1 < body.size() ? body.substr(n + 1) : std::string_view();
        for (std::size_t i = 0; i < data.size() / 2; ++i)
            StoreByte(Data, address + i, ByteAt(data, i));
    }
}

void SaveTekExtFile(TTextLines& SaveData, const THexList& Data) {
    WalkRows(Data, [&](std::uint32_t Base, const std::uint8_t* Bytes, int Count) {
        // Five address digits cover every buffer; a larger address gets as
        // many digits as it needs, named by the address length digit.
        std::string address;
        AppendHex(address, Base, 5);
        std::string head;
        AppendHex(head, 2 * static_cast<unsigned>(Count) + 6 + address.size(), 2);
        head += '6';
        std::string body;
        body.reserve(1 + address.size() + 2 * static_cast<std::size_t>(Count));
        AppendHex(body, address.size(), 1);
        body += address;
        for (int i = 0; i < Count; ++i)
            AppendHexByte(body, Bytes[i]);
        std::string line = "%" + head;
        AppendHex(line, (DigitSum(head) + DigitSum(body)) & 0xFF, 2);
        line += body;
        SaveData.push_back(std::move(line));
    });
    SaveData.push_back("%0E81E800000000");
}
