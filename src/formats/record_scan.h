// How the detectors and readers of the record formats walk the lines of a
// text. Each format is a class with a detector step Check (its verdict on
// one non-empty line, its result so far in Result()) and a reader step Load
// (stores one non-empty line's data; false when reading ends there). The
// walks below skip empty lines, as every detector and reader does.
//
// A record that names its own length in its first characters (HeadLength of
// them: LengthFromHead gives the line length, 0 when they name none) is
// taken from the text without looking for its end, when every character
// after its mark (MarkLength of them) is a hexadecimal digit: then none is a
// line end, so it is the whole line, and Check is told that its digits were
// looked at already.
#pragma once

#include "buffer/hex_list.h"
#include "errors/errors.h"
#include "formats/text_lines.h"

enum TLineVerdict {
    lv_next,   // the line is fine; look at the next one
    lv_end,    // the line ends the walk with the result so far
    lv_reject, // the text is not in this format
};

// The next line, and in Plain whether it was taken as a record of digits.
template <class TRecords> bool NextRecordLine(TLineReader& Lines, std::string_view& Line, bool& Plain) {
    if constexpr (requires { TRecords::LengthFromHead(std::string_view()); }) {
        if (const std::size_t n = TRecords::LengthFromHead(Lines.Peek(TRecords::HeadLength))) {
            const std::string_view line = Lines.Ahead(n);
            if (!line.empty() && AllHexDigits(line.substr(TRecords::MarkLength))) {
                Lines.SkipLine(n);
                Line = line;
                Plain = true;
                return true;
            }
        }
    }
    Plain = false;
    return Lines.Next(Line);
}

// The detector's result over every line.
template <class TRecords> int DetectRecords(TLineReader Lines, TRecords& Records) {
    std::string_view line;
    bool plain = false;
    while (NextRecordLine<TRecords>(Lines, line, plain)) {
        if (line.empty()) continue;
        const TLineVerdict v = Records.Check(line, plain);
        if (v == lv_reject) return 0;
        if (v == lv_end) break;
    }
    return Records.Result();
}

// The reader over every line; an address past the end of Data raises the
// buffer's range error.
template <class TRecords> void LoadRecords(TLineReader Lines, TRecords& Records, THexList& Data) {
    std::string_view line;
    while (Lines.Next(line))
        if (!line.empty() && !Records.Load(line, Data)) return;
}

// Detection and reading in one pass: every line is checked and, while the
// reader has not ended, read. The result is the detector's; when it is 0 the
// caller must clear what was stored. A range error ends the reading, not the
// detection, and sets RangeError; the bytes stored before it stay.
template <class TRecords>
int DetectAndLoadRecords(TLineReader Lines, TRecords& Records, THexList& Data, bool& RangeError) {
    RangeError = false;
    bool reading = true;
    std::string_view line;
    bool plain = false;
    while (NextRecordLine<TRecords>(Lines, line, plain)) {
        if (line.empty()) continue;
        const TLineVerdict v = Records.Check(line, plain);
        if (v == lv_reject) return 0;
        if (reading) {
            try {
                reading = Records.Load(line, Data);
            } catch (const EISPException&) {
                reading = false;
                RangeError = true;
            }
        }
        if (v == lv_end) break;
    }
    return Records.Result();
}
