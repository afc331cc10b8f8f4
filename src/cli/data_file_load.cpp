#include "cli/data_file_load.h"

#include "formats/data_file_io.h"
#include "formats/file_loader.h"

#include <exception>
#include <ostream>

bool LoadDataFile(const std::string& FileName, THexList& Buffer, std::ostream* Out, std::ostream& Err) {
    try {
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
            if (Out) *Out << "File Load: File loaded (as a Binary file)\n";
        }
        return true;
    } catch (const std::exception& e) {
        Err << "EEPROM File Load: File load failed (" << e.what() << ")\n";
        return false;
    }
}
