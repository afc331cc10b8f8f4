// Which SPI NOR part sits in the socket: its JEDEC id (9Fh, read three
// times), the RES (ABh) and REMS (90h) answers of old parts without one,
// the database, and for an id the database does not know the part's SFDP
// table, offered as a part "SFDP <id>" with a warning. When nothing usable
// answers, the cause is named: FF FF FF (nothing drives MISO), 00 00 00
// (MISO held low), ids that change from read to read (a bad contact).
#pragma once

#include "catalogue/spi_flash_database.h"
#include "programmer/algorithms/bus_master.h"
#include "programmer/operation_parameters.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

struct TSpiFlashDetection {
    std::array<std::uint8_t, 3> JedecId{};
    std::optional<std::array<std::uint8_t, 2>> RemsId; // read when 9Fh gave FF FF FF
    std::optional<std::uint8_t> ResId;
    // The part found (the database's, or described by its SFDP table).
    std::shared_ptr<const TSpiFlashPart> Part;
    bool FromSfdp = false;
    std::string Warning; // a part from SFDP: what was assumed
    std::string Cause;   // no part: why

    // One line: "JEDEC id EF 40 18: W25Q128JV (Winbond, 16 MiB)" or the cause.
    std::string Text() const;
};

struct TSpiFlashDetectParameters {
    std::size_t TransferSize = 128;
    std::string HardwareName;
    // The operation's parameters, for the bus master's frame.
    TOperationParameters Operation;
};

// A complete operation on the programmer (the bus selected, begun, ended).
TSpiFlashDetection SpiFlashDetect(TBusMaster& Bus, const TSpiFlashDatabase& Database,
                                  const TSpiFlashDetectParameters& Parameters = {});
