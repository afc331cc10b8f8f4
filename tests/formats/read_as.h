// The reader of one format code alone, as loading worked before detection
// and reading became one pass: the reference the one-pass loads are held to
// by the tests and the text fuzzer.
#pragma once

#include "errors/errors.h"
#include "formats/atmel_generic.h"
#include "formats/intel_hex.h"
#include "formats/srecord.h"
#include "formats/tektronix.h"
#include "formats/tektronix_ext.h"

// The reader of Code alone on a cleared buffer: 0, or -1 when it stopped at
// an address past the end.
inline int ReadAs(int Code, const TTextLines& Lines, THexList& Data) {
    Data.Clear();
    try {
        if (Code >= 1 && Code <= 3) LoadIntelFile(Lines, Data);
        if (Code >= 4 && Code <= 6) LoadMotFile(Lines, Data);
        if (Code == 7) LoadTekExtFile(Lines, Data);
        if (Code == 8) LoadTekFile(Lines, Data);
        if (Code == 9 || Code == 10) LoadAtmelGeneric(Lines, Data, Code);
    } catch (const EISPException&) {
        return -1;
    }
    return 0;
}
