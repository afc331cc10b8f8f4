#include "cli/data_file_write.h"

#include "cli/data_file_load.h"
#include "formats/data_file_save.h"
#include "formats/file_loader.h"

#include <ostream>

bool WriteDataFile(const std::string& FileName, THexList& Buffer, int Code, std::ostream& Data,
                   std::ostream* Status, std::ostream& Err) {
    const bool binary = Code == ft_Binary;
    const std::string shown = IsStandardStream(FileName) ? "standard output" : FileName;
    std::string why;
    if (IsStandardStream(FileName)) {
        why = SaveLimitReason(Buffer, Code);
        TTextLines lines;
        if (why.empty() && !binary && TFileLoader::SaveToString(lines, Buffer, Code) != 0)
            why = TFileLoader::WhatIs(Code) + " refused the data";
        if (why.empty()) {
            if (binary)
                Data.write(reinterpret_cast<const char*>(Buffer.HexData.data()),
                           static_cast<std::streamsize>(Buffer.HexData.size()));
            else
                Data << JoinLines(lines);
            Data.flush();
            if (!Data) why = "cannot write to standard output";
        }
    } else {
        why = SaveDataFile(FileName, Buffer, Code);
    }
    if (!why.empty()) {
        Err << (binary ? "EEPROM: Binary file save failed (" : "EEPROM: File save failed (") << shown
            << "): " << why << "\n";
        return false;
    }
    if (Status) {
        if (binary)
            *Status << "EEPROM: Binary File Saved (" << shown << ")\n";
        else
            *Status << "EEPROM: File Saved (" << shown << ", " << TFileLoader::WhatIs(Code) << ")\n";
    }
    return true;
}
