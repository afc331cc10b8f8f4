#include "formats/data_file_save.h"

#include "buffer/hex_text.h"
#include "formats/data_file_io.h"
#include "formats/file_loader.h"

#include <exception>

std::string SaveLimitReason(const THexList& Data, int Code) {
    if (Code < ft_IntelIntellec || Code > ft_AtmelGeneric8) return {};
    const std::int64_t highest = Data.LastActualLocation() - 1;
    const std::uint64_t limit = TFileLoader::MaxFileAddress(Code);
    if (highest < 0 || static_cast<std::uint64_t>(highest) <= limit) return {};
    return TFileLoader::WhatIs(Code) + " cannot hold addresses above 0x" + IntToHex(limit, 4) +
           ", the data reach 0x" + IntToHex(static_cast<std::uint64_t>(highest), 4);
}

std::string SaveDataFile(const std::string& FileName, THexList& Data, int Code) {
    if (std::string limit = SaveLimitReason(Data, Code); !limit.empty()) return limit;
    try {
        if (Code == ft_Binary) {
            Data.SetFileName(FileName);
            WriteDataFileAtomic(FileName, std::string_view(reinterpret_cast<const char*>(Data.HexData.data()),
                                                           Data.HexData.size()));
            return {};
        }
        TTextLines lines;
        if (TFileLoader::SaveToString(lines, Data, Code) != 0)
            return TFileLoader::WhatIs(Code) + " refused the data";
        WriteDataFileAtomic(FileName, JoinLines(lines));
    } catch (const EDataFileError& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}
