#include "cli/data_file_load.h"

#include "buffer/checksums.h"
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
#include <sys/stat.h>

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

// Nothing to program: no byte at all, or only line ends and blanks (which
// every detector passes over: they would load as an image of FFh).
bool HoldsNoData(std::string_view Bytes) {
    return Bytes.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Loads bytes already read (the whole file, once): detection and reading in
// one pass, as LoadAnyFile does with a file's bytes.
bool LoadBytes(const std::string& Name, const std::string& Shown, std::string_view Bytes, THexList& Buffer,
               std::ostream* Out, std::ostream& Err) {
    if (HoldsNoData(Bytes)) {
        Err << "EEPROM File Load: File load failed (" << Shown
            << " holds no data: " << (Bytes.empty() ? "it is empty" : "only line ends") << ")\n";
        return false;
    }
    int type = 0;
    const int result = TFileLoader::LoadAnyBytes(Bytes, Name, Buffer, type);
    if (result != 0) {
        Err << (type > 0 ? "File Load - Warning: File larger than device\n"
                         : "File Load - Warning: file larger than device\n");
        return false;
    }
    if (type <= 0) WarnPlainText(Shown, Bytes, Err);
    if (Out)
        *Out << "File Load: File loaded ("
             << (type > 0 ? TFileLoader::WhatIs(type) : std::string("as a Binary file")) << ")\n";
    return true;
}

} // namespace

std::istream& CliInput() {
    return gInput ? *gInput : std::cin;
}

void SetCliInput(std::istream* In) {
    gInput = In;
}

bool LoadDataFile(const std::string& FileName, THexList& Buffer, std::ostream* Out, std::ostream& Err,
                  std::string* Sha256) {
    try {
        if (IsStandardStream(FileName)) {
            // Read once into one string (never split into lines first).
            const auto bytes = ReadAll(CliInput(), DataTextLimit(Buffer.Size()));
            if (!bytes) {
                Err << "File Load - Warning: file larger than device\n";
                return false;
            }
            if (!LoadBytes("-", "standard input", *bytes, Buffer, Out, Err)) return false;
            if (Sha256) *Sha256 = Sha256Of(*bytes);
            return true;
        }
        if (!DataFileExists(FileName)) {
            Err << "EEPROM File Load: File load failed (" << FileName << ": no such file)\n";
            return false;
        }
        // Every byte is read once: a pipe (<(...), a FIFO) cannot be read
        // again, and the checksum is of what was loaded.
        if (const auto bytes = ReadDataBytes(FileName, DataTextLimit(Buffer.Size()))) {
            if (!LoadBytes(FileName, FileName, *bytes, Buffer, Out, Err)) return false;
            if (Sha256) *Sha256 = Sha256Of(*bytes);
            return true;
        }
        // Larger than any text format: a regular file may still hold a
        // format before a zero byte, read in two steps; anything else is
        // too long to be an image.
        if (!IsRegularFile(FileName)) {
            Err << "File Load - Warning: file larger than device\n";
            return false;
        }
        int type = 0;
        if (TFileLoader::LoadAnyFile(FileName, Buffer, type) != 0) {
            Err << (type > 0 ? "File Load - Warning: File larger than device\n"
                             : "File Load - Warning: file larger than device\n");
            return false;
        }
        if (Out)
            *Out << "File Load: File loaded ("
                 << (type > 0 ? TFileLoader::WhatIs(type) : std::string("as a Binary file")) << ")\n";
        if (Sha256) *Sha256 = FileSha256(FileName);
        return true;
    } catch (const std::exception& e) {
        Err << "EEPROM File Load: File load failed (" << e.what() << ")\n";
        return false;
    }
}

bool IsRegularFile(const std::string& FileName) {
    struct stat st {};
    return ::stat(FileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
