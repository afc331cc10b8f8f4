#include "formats/file_loader.h"

#include "errors/errors.h"
#include "formats/atmel_generic.h"
#include "formats/binary_image.h"
#include "formats/data_file_io.h"
#include "formats/intel_hex.h"
#include "formats/srecord.h"
#include "formats/tektronix.h"
#include "formats/tektronix_ext.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>

namespace {

// Each record format wants its own mark at the start of every non-empty
// line: Intel ":", Motorola "S", extended Tektronix "%", Tektronix "/". So
// the first non-empty line leaves at most one of their detectors in the
// running, and Atmel generic, which every one of them precedes; an Atmel
// line cannot start with "S", "%" or "/".
enum TCandidate { fc_NoLines, fc_Intel, fc_Motorola, fc_ExtTek, fc_Tek, fc_AtmelOnly };

TCandidate CandidateOf(TLineReader Lines) {
    if (Lines.AtEnd()) return fc_NoLines;
    std::string_view line;
    while (Lines.Next(line)) {
        if (line.empty()) continue;
        switch (line[0]) {
        case ':':
            return fc_Intel;
        case 'S':
            return fc_Motorola;
        case '%':
            return fc_ExtTek;
        case '/':
            return fc_Tek;
        default:
            return fc_AtmelOnly;
        }
    }
    return fc_AtmelOnly; // blank lines only
}

// GetFileType of the lines: the first non-zero result of the detectors in
// their order, of which only the candidate and Atmel generic can accept.
int DetectText(TLineReader Lines) {
    switch (CandidateOf(Lines)) {
    case fc_NoLines:
        return ft_EmptyOrBinary;
    case fc_Intel: {
        TIntelRecords intel;
        if (const int code = DetectRecords(Lines, intel)) return code;
        break; // an Atmel line may start with ":"
    }
    case fc_Motorola: {
        TMotorolaRecords motorola;
        return DetectRecords(Lines, motorola);
    }
    case fc_ExtTek: {
        TTekExtRecords extTek;
        return DetectRecords(Lines, extTek);
    }
    case fc_Tek: {
        TTekRecords tek;
        return DetectRecords(Lines, tek);
    }
    case fc_AtmelOnly:
        break;
    }
    TAtmelRecords atmel;
    return DetectRecords(Lines, atmel);
}

struct TTextLoad {
    int FileType;    // as DetectText gives it
    bool RangeError; // an address past the end of the buffer ended the reading
};

template <class TRecords> TTextLoad DetectAndLoad(TLineReader Lines, TRecords&& Records, THexList& Data) {
    bool rangeError = false;
    const int code = DetectAndLoadRecords(Lines, Records, Data, rangeError);
    if (code != 0) return {code, rangeError};
    Data.Clear(); // not this format: nothing was loaded, nothing stopped
    return {code, false};
}

// Detects the format of the lines and loads them into Data, cleared, with
// the reader of that format, in one pass over them where the detector
// accepts (DetectText, then the reader of LoadFromString).
TTextLoad LoadText(TLineReader Lines, THexList& Data) {
    switch (CandidateOf(Lines)) {
    case fc_NoLines:
        return {ft_EmptyOrBinary, false};
    case fc_Intel: {
        const TTextLoad intel = DetectAndLoad(Lines, TIntelRecords(), Data);
        if (intel.FileType != 0) return intel;
        break;
    }
    case fc_Motorola:
        return DetectAndLoad(Lines, TMotorolaRecords(), Data);
    case fc_ExtTek:
        return DetectAndLoad(Lines, TTekExtRecords(), Data);
    case fc_Tek:
        return DetectAndLoad(Lines, TTekRecords(), Data);
    case fc_AtmelOnly:
        break;
    }
    return DetectAndLoad(Lines, TAtmelRecords(), Data);
}

} // namespace

int TFileLoader::GetFileType(const std::string& FileName, const TTextLines* SourceText) {
    if (SourceText) return DetectText(TLineReader(*SourceText));
    if (!DataFileExists(FileName)) return ft_NotFound;
    const auto text = ReadDataText(FileName);
    // Text too long for any image: not a text format; the binary loader
    // then refuses it as larger than the device.
    if (!text) return ft_EmptyOrBinary;
    return DetectText(TLineReader(*text));
}

int TFileLoader::GetTextType(std::string_view Text) {
    return DetectText(TLineReader(Text));
}

int TFileLoader::LoadFile(const std::string& FileName, THexList& Data, int AFileType) {
    Data.SetFileName(FileName);
    Data.Clear();
    const std::size_t limit = DataTextLimit(Data.Size());
    const auto text = ReadDataText(FileName, limit);
    if (!text)
        throw EDataFileError("Cannot read file \"" + FileName + "\": larger than " +
                                 std::to_string(limit / (1024 * 1024)) + " MiB of text",
                             FileName);
    return LoadFromText(Data, *text, AFileType);
}

int TFileLoader::LoadFromString(THexList& Data, const TTextLines& SourceText, int AFileType) {
    Data.Clear();
    if (AFileType < 0) return 0; // no reader for a negative code
    return LoadText(TLineReader(SourceText), Data).RangeError ? -1 : 0;
}

int TFileLoader::LoadFromText(THexList& Data, std::string_view Text, int AFileType) {
    Data.Clear();
    if (AFileType < 0) return 0;
    return LoadText(TLineReader(Text), Data).RangeError ? -1 : 0;
}

int TFileLoader::LoadAnyFile(const std::string& FileName, THexList& Data, int& FileType) {
    if (!DataFileExists(FileName)) {
        FileType = ft_NotFound;
        return LoadBinary(FileName, Data);
    }
    const auto bytes = ReadDataBytes(FileName, DataTextLimit(Data.Size()));
    if (!bytes) {
        // Too long to hold in memory whole: the text before a zero byte may
        // still be a format; the two steps each read what they need.
        FileType = GetFileType(FileName);
        return FileType > 0 ? LoadFile(FileName, Data, 0) : LoadBinary(FileName, Data);
    }
    return LoadAnyBytes(*bytes, FileName, Data, FileType);
}

namespace {

// What a buffer holds, to be put back as it was. A blank buffer (every byte
// FFh with status normal, as a buffer is before its first load) is put back
// by clearing it: a 64 MiB image needs no second copy of 128 MiB.
class TBufferCopy {
  public:
    explicit TBufferCopy(const THexList& Data)
        : FSize(Data.HexData.size()), FBlank(Blank(Data)), FFileName(Data.FileName()) {
        if (FBlank) return;
        FBytes.reset(new std::uint8_t[2 * FSize]);
        std::memcpy(FBytes.get(), Data.HexData.data(), FSize);
        std::memcpy(FBytes.get() + FSize, Data.StatusArray().data(), FSize);
    }
    void PutBack(THexList& Data) const {
        if (FBlank) {
            Data.Clear();
        } else {
            std::memcpy(Data.HexData.data(), FBytes.get(), FSize);
            std::memcpy(Data.StatusArray().data(), FBytes.get() + FSize, FSize);
        }
        Data.SetFileName(FFileName);
    }

  private:
    static bool Blank(const THexList& Data) {
        const auto& status = Data.StatusArray();
        return Data.LastActualLocation() == 0 && std::all_of(status.begin(), status.end(), [](TProgStatus s) {
                   return s == TProgStatus(ps_normal);
               });
    }
    static_assert(sizeof(TProgStatus) == 1 && std::is_trivially_copyable_v<TProgStatus>);
    std::size_t FSize;
    bool FBlank;
    std::unique_ptr<std::uint8_t[]> FBytes;
    std::string FFileName;
};

} // namespace

int TFileLoader::LoadAnyBytes(std::string_view Bytes, const std::string& Name, THexList& Data,
                              int& FileType) {
    const TLineReader lines(Bytes);
    FileType = ft_EmptyOrBinary;
    if (!lines.AtEnd()) {
        // The text is read into the buffer while it is being detected. When it
        // turns out to be no text format and the binary loader then refuses
        // the file as too long, the buffer must be as it was.
        std::optional<TBufferCopy> before;
        if (Bytes.size() > Data.Size()) before.emplace(Data);
        Data.SetFileName(Name);
        Data.Clear();
        const TTextLoad text = LoadText(lines, Data);
        FileType = text.FileType;
        if (FileType > 0) return text.RangeError ? -1 : 0;
        if (before) before->PutBack(Data);
    }
    return LoadBinaryImage(Bytes, Name, Data);
}

int TFileLoader::SaveToText(TTextBuffer& Text, const THexList& Data, int AFileType) {
    try {
        const std::int64_t highest = Data.LastActualLocation() - 1;
        if (highest >= 0 && static_cast<std::uint64_t>(highest) > MaxFileAddress(AFileType)) return 1;
        switch (AFileType) {
        case ft_IntelIntellec:
        case ft_IntelMCS86:
        case ft_IntelHex32:
            WriteIntelText(Text, Data);
            break;
        case ft_MotorolaExorciser:
        case ft_MotorolaExormacs:
        case ft_Motorola32:
            WriteMotText(Text, Data);
            break;
        case ft_ExtTektronix:
            WriteTekExtText(Text, Data);
            break;
        case ft_Tektronix:
            WriteTekText(Text, Data);
            break;
        case ft_AtmelGeneric16:
        case ft_AtmelGeneric8:
            WriteAtmelText(Text, Data, AFileType);
            break;
        default:
            break;
        }
    } catch (...) {
        return 1;
    }
    return 0;
}

int TFileLoader::SaveToString(TTextLines& Lines, const THexList& Data, int AFileType) {
    TTextBuffer text;
    const int result = SaveToText(text, Data, AFileType);
    if (result == 0) AppendLines(Lines, text.View());
    return result;
}

int TFileLoader::SaveFile(const std::string& FileName, THexList& Data, int AFileType) {
    try {
        TTextBuffer text;
        if (SaveToText(text, Data, AFileType) != 0) return 1;
        WriteDataFileAtomic(FileName, text.View());
    } catch (...) {
        return 1;
    }
    return 0;
}

std::string TFileLoader::WhatIs(int AFileId) {
    static const char* const names[] = {
        "File empty or binary", "File not found",    "Auto Detect (Intel, Motorola, Tektronix)",
        "Intel Intellex 8/MDS", "Intel MCS-86",      "Intel Hex-32",
        "Motorola EXORciser",   "Motorola EXORmacs", "Motorola 32-bit",
        "Extended Tektronix",   "Tektronix",         "Atmel Generic 16-Bit",
        "Atmel Generic 8-Bit",  "Binary File",
    };
    if (AFileId < ft_EmptyOrBinary || AFileId > ft_Binary) throw EUnknownFileType("Unknown File ID");
    return names[AFileId - ft_EmptyOrBinary];
}

std::uint64_t TFileLoader::MaxFileAddress(int AFileType) {
    switch (AFileType) {
    case ft_Tektronix:
        return TekMaxAddress;
    case ft_AtmelGeneric8:
        return Atmel8MaxAddress;
    case ft_AtmelGeneric16:
        return Atmel16MaxAddress;
    default:
        return 0xFFFFFFFF;
    }
}
