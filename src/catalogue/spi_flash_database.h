// The SPI NOR flash database: the parts file shipped with the program
// (share/norvoisp/parts/spi_flash.json) and the user's own files
// ($XDG_CONFIG_HOME/norvoisp/parts/*.json, ~/.config/... without it), which
// add parts or replace shipped ones without a rebuild. Every entry is
// checked when it is read; a file with a bad entry is refused whole, with
// an error that names the file, the entry and the field.
//
// The file is a JSON object {"parts": [ ... ]}, one object per part:
//   "name"        "W25Q128JV" (as the datasheet writes it)
//   "aliases"     ["W25Q128FV", ...] parts with the same id and instructions
//   "maker"       "Winbond"
//   "jedec_id"    "EF4018" (9Fh: manufacturer, type, capacity); may be left
//                 out for an old part that has "res_id" or "rems_id"
//   "res_id"      "17" (ABh), "rems_id" "EF17" (90h)
//   "size"        bytes, a power of two
//   "page_size"   bytes, a power of two
//   "erase"       [{"opcode": "20", "opcode4": "21", "size": 4096,
//                   "typical_ms": 45, "max_ms": 400}, ...] ascending sizes,
//                 each dividing the size ("opcode4" for 4-byte opcodes)
//   "chip_erase"  {"opcodes": ["C7", "60"], "typical_ms": ..., "max_ms": ...}
//   "page_program" {"typical_us": 400, "max_us": 3000}
//   "read"        {"read": "03", "fast_read": "0B", "read_max_mhz": 50}
//   "addressing"  {"bytes": 3}, or for parts above 16 MiB
//                 {"bytes": 4, "method": "opcodes", "read": "13",
//                  "fast_read": "0C", "program": "12"} or
//                 {"bytes": 4, "method": "mode", "enter": "B7", "exit": "E9",
//                  "write_enable_first": false}
//   "status"      {"registers": [{"read": "05", "write": "01"},
//                                {"read": "35", "write": "31"}],
//                  "bits": {"bp": [2, 3, 4], "tb": 5, "sec": 6, "srp": 7,
//                           "srp1": 8, "qe": 9, "cmp": 14}}
//                 (bit b of register r is 8 * r + b)
//   "protection"  {"scheme": "bp", "bp_unit": 262144} or {"scheme": "sst26"}
//   "voltage"     {"min": 2.7, "max": 3.6}
//   "tested_on_hardware" false
//   "notes"       free text (optional)
// Opcodes and ids are hexadecimal digits. Unknown fields are errors, so a
// misspelt one is not silently ignored.
#pragma once

#include "catalogue/spi_flash_part.h"
#include "errors/errors.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A parts file that cannot be used. Message: "<file>: entry <n> (<name>):
// <field>: <problem>" (or "<file>: <problem>" for the file as a whole).
class ESpiFlashDatabaseError : public Exception {
  public:
    ESpiFlashDatabaseError(std::string AFile, int AEntry, std::string AName, std::string AField,
                           const std::string& Problem);
    std::string File;
    int Entry = 0; // 1-based; 0 for the file as a whole
    std::string Name;
    std::string Field;
};

class TSpiFlashDatabase {
  public:
    using TPartPtr = std::shared_ptr<const TSpiFlashPart>;

    // The parts of a file's text, checked; FileName names it in errors.
    static std::vector<TSpiFlashPart> Parse(std::string_view Text, const std::string& FileName);
    // The parts of a file; raises ESpiFlashDatabaseError when it cannot be
    // read or is not valid.
    static std::vector<TSpiFlashPart> ReadFile(const std::string& FileName);

    // Adds parts. A part whose name, an alias or JEDEC id matches a part
    // already held replaces it (a user's file overrides the shipped one).
    void Add(std::vector<TSpiFlashPart> Parts);
    // Reads a file and adds its parts; a file that cannot be used is left
    // out and its error kept (Errors()).
    void AddFile(const std::string& FileName);
    // AddFile for each *.json of Folder in name order; nothing when the
    // folder does not exist.
    void AddFolder(const std::string& Folder);

    const std::vector<TPartPtr>& Parts() const { return FParts; }
    // By name or alias, ASCII case-insensitive; nullptr when none.
    TPartPtr Find(const std::string& Name) const;
    TPartPtr FindByJedecId(const std::array<std::uint8_t, 3>& Id) const;
    // Old parts without a JEDEC id, by their RES or REMS answer.
    TPartPtr FindByResId(std::uint8_t Id) const;
    TPartPtr FindByRemsId(const std::array<std::uint8_t, 2>& Id) const;
    // Why files were left out, one message each.
    const std::vector<std::string>& Errors() const { return FErrors; }

  private:
    template <class TTest> TPartPtr FindIf(TTest&& Test) const;

    std::vector<TPartPtr> FParts;
    std::vector<std::string> FErrors;
};

// Where the program's own parts file is: beside the installed program
// (../share/norvoisp/parts/spi_flash.json from its executable), else in the
// source tree it was built from.
std::string ShippedSpiFlashFile();
// The user's parts folder: NORVOISP_USER_PARTS when set, else
// $XDG_CONFIG_HOME/norvoisp/parts, else ~/.config/norvoisp/parts.
std::string UserSpiFlashFolder();

// The database of the process: the shipped file, then the user's folder,
// read on first use and never changed afterwards.
const TSpiFlashDatabase& SpiFlashDatabase();
