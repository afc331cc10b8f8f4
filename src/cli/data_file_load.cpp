#include "cli/data_file_load.h"

#include "formats/binary_image.h"
#include "formats/data_file_io.h"
#include "formats/file_loader.h"
#include "formats/text_lines.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <optional>
#include <ostream>
#include <string_view>

namespace {

std::istream* gInput = nullptr;

// Text a person wrote, not an image: printable characters (ASCII, or UTF-8
// sequences) and line breaks only. Hexadecimal digits alone are not it (the
// binary loader reads them as byte pairs on purpose).
bool PlainText(std::string_view Bytes) {
    if (Bytes.empty() || IsHexText(Bytes)) return false;
    for (std::size_t i = 0; i < Bytes.size(); ++i) {
        const auto u = static_cast<unsigned char>(Bytes[i]);
        if (u == '\t' || u == '\r' || u == '\n' || (u >= 0x20 && u < 0x7F)) continue;
        // A UTF-8 lead byte and its continuation bytes.
        const std::size_t more = u >= 0xC2 && u <= 0xDF   ? 1
                                 : u >= 0xE0 && u <= 0xEF ? 2
                                 : u >= 0xF0 && u <= 0xF4 ? 3
                                                          : 0;
        if (more == 0 || i + more >= Bytes.size()) return false;
        for (std::size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(Bytes[i + k]) & 0xC0) != 0x80) return false;
        i += more;
    }
    return true;
}

void WarnPlainText(const std::string& Name, std::string_view Bytes, std::ostream& Err) {
    if (PlainText(Bytes))
        Err << "File Load - Warning: " << Name
            << " is text in no known data format; its characters are loaded as binary data\n";
}

// Standard input, whole; nothing when it holds more than Limit bytes.
std::optional<std::string> ReadAll(std::istream& In, std::size_t Limit) {
    std::string bytes;
    char chunk[65536];
    while (In.read(chunk, sizeof chunk) || In.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(In.gcount()));
        if (bytes.size() > Limit) return std::nullopt;
    }
    return bytes;
}

bool LoadStandardInput(THexList& Buffer, std::ostream* Out, std::ostream& Err) {
    const std::string name = "standard input";
    const auto bytes = ReadAll(CliInput(), DataTextLimit(Buffer.Size()));
    if (!bytes) {
        Err << "File Load - Warning: file larger than device\n";
        return false;
    }
    const TTextLines lines = SplitLines(*bytes);
    const int type = lines.empty() ? ft_EmptyOrBinary : TFileLoader::GetFileType(lines);
    Buffer.SetFileName("-");
    if (type > 0) {
        if (TFileLoader::LoadFromString(Buffer, lines, 0) != 0) {
            Err << "File Load - Warning: File larger than device\n";
            return false;
        }
        if (Out) *Out << "File Load: File loaded (" << TFileLoader::WhatIs(type) << ")\n";
        return true;
    }
    // As the binary loader: a file longer than the buffer is refused.
    if (bytes->size() > Buffer.Size()) {
        Err << "File Load - Warning: file larger than device\n";
        return false;
    }
    WarnPlainText(name, *bytes, Err);
    Buffer.Clear();
    StoreBinaryImage(*bytes, Buffer);
    if (Out) *Out << "File Load: File loaded (as a Binary file)\n";
    return true;
}

} // namespace

std::istream& CliInput() {
    return gInput ? *gInput : std::cin;
}

void SetCliInput(std::istream* In) {
    gInput = In;
}

bool LoadDataFile(const std::string& FileName, THexList& Buffer, std::ostream* Out, std::ostream& Err) {
    try {
        if (IsStandardStream(FileName)) return LoadStandardInput(Buffer, Out, Err);
        if (!DataFileExists(FileName)) {
            Err << "EEPROM File Load: File load failed (" << FileName << ": no such file)\n";
            return false;
        }
        int type = 0;
        const int result = TFileLoader::LoadAnyFile(FileName, Buffer, type);
        if (type > 0) {
            if (result != 0) {
                Err << "File Load - Warning: File larger than device\n";
                return false;
            }
            if (Out) *Out << "File Load: File loaded (" << TFileLoader::WhatIs(type) << ")\n";
        } else {
            if (result != 0) {
                Err << "File Load - Warning: file larger than device\n";
                return false;
            }
            if (const auto bytes = ReadDataBytes(FileName, Buffer.Size()))
                WarnPlainText(FileName, *bytes, Err);
            if (Out) *Out << "File Load: File loaded (as a Binary file)\n";
        }
        return true;
    } catch (const std::exception& e) {
        Err << "EEPROM File Load: File load failed (" << e.what() << ")\n";
        return false;
    }
}
