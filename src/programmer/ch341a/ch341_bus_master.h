// The CH341A as the family algorithms' bus master. I2C runs through the
// chip's I2C stream (START, STOP, bytes out with their acknowledge bit,
// bytes in), SPI through its SPI stream with /CS on a UIO pin, and Microwire
// is bit-banged on the socket pins through the UIO stream. Primitives are
// queued into packets and go out when a read needs its answer (Sync, a
// write cycle to wait for) or the queue is full, so a page costs one USB
// round trip and not one per byte.
//
// Write cycles end by polling the chip, bounded by the device's write time:
// ACK polling on I2C (the select byte is acknowledged again), the WIP bit of
// the status register on SPI, the ready level of DO on Microwire. Each poll
// is one round trip. Before a 93C part is written, a read proves that it is
// there (an empty adapter would pass every ready poll).
#pragma once

#include "programmer/algorithms/bus_master.h"
#include "programmer/ch341a/ch341_packet_queue.h"

#include <cstdint>
#include <functional>
#include <string>

class TCh341A;

class TCh341BusMaster final : public TBusMaster {
  public:
    explicit TCh341BusMaster(TCh341A& Driver) : FDriver(Driver) {}

    // Forgets whatever was queued (a new device handle, a failed batch).
    void Reset();
    // Puts the board's pins and stream speed in the state the device's
    // family needs and sends that at once (so a board that went away shows
    // up here, before the operation begins).
    void ConfigureBus();
    // One UIO read of the port: proves that the board answers.
    std::uint8_t ReadPort();
    // Releases the socket pins (all inputs).
    void ReleasePins();

    void SelectBus(const TOperationParameters& Parameters, bool ResetPolarity) override;
    void BeginOperation(const TOperationParameters& Parameters, bool PagedWrites) override;
    void EndOperation() override;
    void Start() override;
    void Stop() override;
    void WriteByte(std::uint8_t Byte) override;
    void ReadByte(std::uint8_t& Into) override;
    void WritePage(std::span<const std::uint8_t> Bytes) override;
    void WriteBits(std::uint8_t Count, std::uint16_t Word) override;
    void ReadPage(std::span<std::uint8_t> Into) override;
    void WaitWriteCycle(TWriteCycle Cycle) override;
    void Sync() override;
    // Short pauses (a page program's) go into the batch as UIO delays, so
    // the poll after them needs no round trip of its own; long ones sleep.
    void Pause(TLinkDuration Time) override;
    TLinkClock& Clock() override;

    const TCh341PacketQueue& Queue() const { return FQueue; }

  private:
    std::uint8_t Family() const;
    std::vector<std::uint8_t> Flush();
    // Sends the queue first when it is full.
    void Room();
    void Uio(std::uint8_t Levels);
    // Microwire: Count bits of Word from bit 15 down, clocked into the chip.
    void ShiftOut(std::uint8_t Count, std::uint16_t Word);
    // Polls with Ready (true: the chip is ready) until it is, or raises
    // "Program/erase BUSY timed out" once a poll sent after the write
    // cycle limit still finds it busy.
    void PollUntilReady(const std::function<bool()>& Ready);
    void PollI2C();
    void PollSpi();
    void PollMicrowire();
    // Microwire: a read of address 0 with a Count-bit command must bring the
    // dummy 0, or the part does not answer.
    void ProbeMicrowire(std::uint8_t Count);
    [[noreturn]] void Fail(const std::string& Message) const;
    [[noreturn]] void Failed(const TCh341Reply& Reply) const;
    [[noreturn]] void StillBusy() const;

    TCh341A& FDriver;
    TCh341PacketQueue FQueue;
    std::uint8_t FFamily = 0;
    std::uint8_t FSelect = 0xA0;     // the select byte of the present I2C transfer
    bool FAfterStart = false;        // the next I2C byte is a select byte
    bool FMicrowireAnswered = false; // the 93C part answered a read in this operation
};
