// The CH341A kind on its emulated board, in-process: the driver with the
// fake front end of sim_rig.h, the board and the chip in its socket.
#pragma once

#include "programmer/ch341a/ch341a_driver.h"
#include "sim_kinds/sim_ch341_bus.h"
#include "sim_rig.h"

class TCh341Rig {
  public:
    explicit TCh341Rig(const std::string& DeviceName, int Organisation = 16, TSimOptions Options = {});
    ~TCh341Rig();

    // HardwareOpen (the chip goes into the socket with the first exchange).
    void Open();
    TCh341Emulator& Board() { return Bus->Emulator(); }
    TSimChip& Chip();
    double Seconds() { return Board().Clock().Seconds(); }
    // The buffer sized to the device with bytes i -> Pattern(i).
    void FillBuffer(const std::function<std::uint8_t(int)>& Pattern);

    TDevice* Device = nullptr;
    TISPSettings Settings;
    TFakeHost Host;
    std::unique_ptr<TCh341A> Driver;
    TSimCh341Bus* Bus = nullptr;
    THexList Buffer;
};
