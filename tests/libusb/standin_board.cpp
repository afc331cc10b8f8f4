#include "standin_board.h"

#include "ch341a/ch341_emulator.h"
#include "chips/chip_factory.h"
#include "errors/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

struct standin_board {
    TCh341Emulator Board;
    std::size_t ReasonsShown = 0;
    std::uint64_t LastNs = 0; // the real time of the last catch-up

    // Writes the reasons of the packets counted as malformed since the last call.
    void ShowMalformed() {
        const auto& reasons = Board.MalformedReasons();
        for (; ReasonsShown < reasons.size(); ++ReasonsShown)
            std::fprintf(stderr, "libusb stand-in: CH341A malformed %s\n", reasons[ReasonsShown].c_str());
    }
};

extern "C" {

standin_board* standin_board_new(const char* Chip, int Organisation, int AddressPins, int WriteTimeMs,
                                 char* Error, size_t ErrorSize) {
    auto board = std::make_unique<standin_board>();
    if (Chip && *Chip) {
        TChipOptions options;
        options.Organisation = Organisation;
        options.AddressPins = static_cast<std::uint8_t>(AddressPins);
        if (WriteTimeMs > 0) options.WriteTime = std::chrono::milliseconds(WriteTimeMs);
        try {
            board->Board.InsertChip(MakeChip(Chip, options));
        } catch (const Exception& e) {
            std::snprintf(Error, ErrorSize, "%s", e.Message().c_str());
            return nullptr;
        }
    }
    return board.release();
}

void standin_board_delete(standin_board* Board) {
    delete Board;
}

void standin_board_catch_up(standin_board* Board, uint64_t Ns) {
    if (Board->LastNs && Ns > Board->LastNs)
        Board->Board.Clock().Advance(TSimDuration(static_cast<std::int64_t>(Ns - Board->LastNs)));
    Board->LastNs = Ns;
}

void standin_board_out(standin_board* Board, const uint8_t* Data, size_t Size) {
    Board->Board.BulkOut(std::span<const std::uint8_t>(Data, Size));
    Board->ShowMalformed();
}

int standin_board_in_waiting(standin_board* Board) {
    return Board->Board.PendingPackets() != 0;
}

size_t standin_board_in(standin_board* Board, uint8_t* Buffer, size_t Max) {
    // Asked only when a packet is waiting: the emulator's own bulk IN would
    // wait for its time-out otherwise.
    if (Board->Board.PendingPackets() == 0) return 0;
    std::vector<std::uint8_t> packet;
    if (Board->Board.BulkIn(TCh341Emulator::PacketSize, packet) != TUsbResult::Ok) return 0;
    const std::size_t n = std::min(packet.size(), Max);
    std::memcpy(Buffer, packet.data(), n);
    return packet.size();
}

void standin_board_replug(standin_board* Board) {
    Board->Board.Replug();
}

unsigned long standin_board_malformed(standin_board* Board) {
    return static_cast<unsigned long>(Board->Board.Stats().Malformed);
}

} // extern "C"
