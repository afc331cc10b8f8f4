// The CH341A kind in-process: the driver with the fake front end of
// sim_rig.h, on the emulated board (the board and the chip in its socket at
// hand) or on the computer's USB, which the tests put on the stand-in libusb
// (tests/libusb) with a chip of the device in its socket.
#pragma once

#include "common/temp_dir.h"
#include "programmer/ch341a/ch341a_driver.h"
#include "sim_kinds/sim_ch341_bus.h"
#include "sim_rig.h"

#include <memory>
#include <vector>

class TCh341Rig {
  public:
    explicit TCh341Rig(const std::string& DeviceName, int Organisation = 16, TSimOptions Options = {});
    struct TLibUsb {};
    TCh341Rig(TLibUsb, const std::string& DeviceName, int Organisation = 16);
    ~TCh341Rig();

    // HardwareOpen (on the emulated board the chip goes into the socket with
    // the first exchange).
    void Open();
    // The emulated board and its chip (not on the computer's USB).
    TCh341Emulator& Board() { return Bus->Emulator(); }
    TSimChip& Chip();
    double Seconds() { return Board().Clock().Seconds(); }
    // The buffer sized to the device with bytes i -> Pattern(i).
    void FillBuffer(const std::function<std::uint8_t(int)>& Pattern);

    TDevice* Device = nullptr;
    TISPSettings Settings;
    TFakeHost Host;
    std::unique_ptr<TCh341A> Driver;
    TSimCh341Bus* Bus = nullptr; // nullptr on the computer's USB
    THexList Buffer;

  private:
    void SetUp(const std::string& DeviceName, int Organisation);
    std::vector<std::unique_ptr<TScopedEnv>> FSocket;
};
