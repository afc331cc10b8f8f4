#include "formats/file_loader.h"

#include "errors/errors.h"
#include "formats/atmel_generic.h"
#include "formats/data_file_io.h"
#include "formats/intel_hex.h"
#include "formats/srecord.h"
#include "formats/tektronix.h"
#include "formats/tektronix_ext.h"

int TFileLoader::GetFileType(const std::string& FileName, const TTextLines* SourceText) {
    TTextLines fromFile;
    if (!SourceText) {
        if (!DataFileExists(FileName)) return ft_NotFound;
        const auto text = ReadDataText(FileName);
        // Text too long for any image: not a text format; the binary loader
        // then refuses it as larger than the device.
        if (!text) return ft_EmptyOrBinary;
        fromFile = SplitLines(*text);
        SourceText = &fromFile;
    }
    const TTextLines& lines = *SourceText;
    if (lines.empty()) return ft_EmptyOrBinary;
    if (int r = CheckIntelHex(lines)) return r;
    if (int r = CheckMotorola(lines)) return r;
    if (int r = CheckExtTek(lines)) return r;
    if (int r = CheckTek(lines)) return r;
    return CheckAtmelGeneric(lines);
}

int TFileLoader::LoadFile(const std::string& FileName, THexList& Data, int AFileType) {
    Data.SetFileName(FileName);
    Data.Clear();
    const auto text = ReadDataText(FileName);
    if (!text)
        throw EDataFileError("Cannot read file \"" + FileName + "\": larger than " +
                                 std::to_string(MaxDataTextSize / (1024 * 1024)) + " MiB of text",
                             FileName);
    return LoadFromString(Data, SplitLines(*text), AFileType);
}

int TFileLoader::LoadFromString(THexList& Data, const TTextLines& SourceText, int AFileType) {
    Data.Clear();
    const int type = AFileType >= 0 ? GetFileType(SourceText) : AFileType;
    try {
        switch (type) {
        case ft_IntelIntellec:
        case ft_IntelMCS86:
        case ft_IntelHex32:
            LoadIntelFile(SourceText, Data);
            break;
        case ft_MotorolaExorciser:
        case ft_MotorolaExormacs:
        case ft_Motorola32:
            LoadMotFile(SourceText, Data);
            break;
        case ft_ExtTektronix:
            LoadTekExtFile(SourceText, Data);
            break;
        case ft_Tektronix:
            LoadTekFile(SourceText, Data);
            break;
        case ft_AtmelGeneric16:
        case ft_AtmelGeneric8:
            LoadAtmelGeneric(SourceText, Data, type);
            break;
        default:
            break;
        }
    } catch (const EISPException&) {
        return -1;
    }
    return 0;
}

int TFileLoader::SaveToString(TTextLines& Lines, const THexList& Data, int AFileType) {
    try {
        const std::int64_t highest = Data.LastActualLocation() - 1;
        if (highest >= 0 && static_cast<std::uint64_t>(highest) > MaxFileAddress(AFileType)) return 1;
        switch (AFileType) {
        case ft_IntelIntellec:
        case ft_IntelMCS86:
        case ft_IntelHex32:
            SaveIntelFile(Lines, Data);
            break;
        case ft_MotorolaExorciser:
        case ft_MotorolaExormacs:
        case ft_Motorola32:
            SaveMotFile(Lines, Data);
            break;
        case ft_ExtTektronix:
            SaveTekExtFile(Lines, Data);
            break;
        case ft_Tektronix:
            SaveTekFile(Lines, Data);
            break;
        case ft_AtmelGeneric16:
        case ft_AtmelGeneric8:
            SaveAtmelGeneric(Lines, Data, AFileType);
            break;
        default:
            break;
        }
    } catch (...) {
        return 1;
    }
    return 0;
}

int TFileLoader::SaveFile(const std::string& FileName, THexList& Data, int AFileType) {
    try {
        TTextLines lines;
        if (SaveToString(lines, Data, AFileType) != 0) return 1;
        WriteDataFileAtomic(FileName, JoinLines(lines));
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
    case ft_MotorolaExorciser:
    case ft_MotorolaExormacs:
    case ft_Motorola32:
        return 0xFFFFFF; // S1 and S2 records
    default:
        return 0xFFFFFFFF;
    }
}
