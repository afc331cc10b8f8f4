// TFileLoader turns data files into buffer contents and back: it recognises a
// text file's format from its content, loads it, saves a buffer in a chosen
// format, and loads and saves binary images. It has no state.
#pragma once

#include "buffer/hex_list.h"
#include "formats/file_types.h"
#include "formats/text_lines.h"

#include <cstdint>
#include <string>
#include <string_view>

class TFileLoader {
  public:
    TFileLoader() = delete;

    // The format of SourceText when it is given (FileName is then ignored),
    // otherwise of the file's text: -1 for a missing file, -2 when there are
    // no lines, else the first non-zero result of the detectors in the order
    // Intel, Motorola, extended Tektronix, Tektronix, Atmel generic; 0 when
    // none recognises it. A file that cannot be read raises EDataFileError.
    static int GetFileType(const std::string& FileName, const TTextLines* SourceText = nullptr);
    static int GetFileType(const TTextLines& SourceText) { return GetFileType({}, &SourceText); }
    // GetFileType of the lines of Text (SplitLines), read straight from it.
    static int GetTextType(std::string_view Text);

    // Sets Data's file name, clears it, reads the file's lines and loads them
    // (LoadFromString). Errors opening or reading the file raise
    // EDataFileError, after the buffer was cleared and named.
    static int LoadFile(const std::string& FileName, THexList& Data, int AFileType);
    // Clears Data and loads SourceText with the reader of its type, detected
    // again when AFileType is 0 or more. 0 when the reader finished, -1 when
    // an address past the end of Data stopped it (the bytes before it stay).
    static int LoadFromString(THexList& Data, const TTextLines& SourceText, int AFileType);
    // LoadFromString of the lines of Text, read straight from it.
    static int LoadFromText(THexList& Data, std::string_view Text, int AFileType);

    // What the load commands do with a file: GetFileType, then LoadFile when
    // that is above 0, otherwise LoadBinary; FileType gets GetFileType's
    // code, the result is LoadFile's or LoadBinary's. The file is read once
    // and, where its text is in a record format, detected and loaded in one
    // pass. A file that cannot be read raises EDataFileError with Data
    // untouched.
    static int LoadAnyFile(const std::string& FileName, THexList& Data, int& FileType);
    // The same for the bytes of a file already read; Name is the file name
    // the buffer gets.
    static int LoadAnyBytes(std::string_view Bytes, const std::string& Name, THexList& Data, int& FileType);

    // Writes Data in format AFileType (1-10) to FileName, replacing the file
    // only once the new one is complete; a code outside 1-10 writes an empty
    // file. 0, or 1 on any error, the old file then being untouched; a format
    // that cannot name the buffer's highest data address (MaxFileAddress) is
    // refused with 1. Data's file name is not changed.
    static int SaveFile(const std::string& FileName, THexList& Data, int AFileType);
    // The text SaveFile would write, appended to Text; 0 or 1 as SaveFile.
    static int SaveToText(TTextBuffer& Text, const THexList& Data, int AFileType);
    // The same as lines appended to Lines.
    static int SaveToString(TTextLines& Lines, const THexList& Data, int AFileType);

    // Loads the file's bytes from address 0 (hexadecimal text as one byte per
    // pair of characters). -1, with Data untouched, when the file is longer
    // than the buffer or cannot be read; otherwise 0.
    static int LoadBinary(const std::string& FileName, THexList& Data);
    // Sets Data's file name and writes all its bytes, replacing the file only
    // once the new one is complete. 0, or 1 when the file cannot be written
    // (the old one then untouched).
    static int SaveBinary(const std::string& FileName, THexList& Data);

    // The display name of a file-type code; EUnknownFileType "Unknown File ID"
    // for a code outside -2..11.
    static std::string WhatIs(int AFileId);

    // The highest byte address format AFileType can hold: 0xFFFF for
    // Tektronix and 8-bit Atmel generic, more for the others.
    static std::uint64_t MaxFileAddress(int AFileType);
};
