#include "formats/binary_image.h"

#include "formats/data_file_io.h"
#include "formats/file_loader.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <cstring>

bool IsHexText(std::string_view Bytes) {
    return AllHexDigits(Bytes);
}

void StoreBinaryImage(std::string_view Bytes, THexList& Data) {
    const std::size_t room = Data.HexData.size();
    if (IsHexText(Bytes)) {
        const std::size_t n = std::min(Bytes.size() / 2, room);
        for (std::size_t i = 0; i < n; ++i)
            Data.HexData[i] = PairValue(Bytes[2 * i], Bytes[2 * i + 1]);
    } else {
        const std::size_t n = std::min(Bytes.size(), room);
        if (n > 0) std::memcpy(Data.HexData.data(), Bytes.data(), n);
    }
}

int TFileLoader::LoadBinary(const std::string& FileName, THexList& Data) {
    std::optional<std::string> bytes;
    try {
        bytes = ReadDataBytes(FileName, Data.Size());
    } catch (const EDataFileError&) {
        return -1;
    }
    if (!bytes) return -1;
    return LoadBinaryImage(*bytes, FileName, Data);
}

int LoadBinaryImage(std::string_view Bytes, const std::string& Name, THexList& Data) {
    if (Bytes.size() > Data.Size()) return -1;
    Data.SetFileName(Name);
    Data.Clear();
    StoreBinaryImage(Bytes, Data);
    return 0;
}

int TFileLoader::SaveBinary(const std::string& FileName, THexList& Data) {
    Data.SetFileName(FileName);
    try {
        WriteDataFileAtomic(FileName, std::string_view(reinterpret_cast<const char*>(Data.HexData.data()),
                                                       Data.HexData.size()));
    } catch (const std::exception&) {
        return 1;
    }
    return 0;
}
