#include "programmer/operation_parameters.h"

#include "programmer/driver_host.h"
#include "programmer/driver_module.h"
#include "programmer/isp_programmer.h"

TOperationParameters CurrentOperationParameters(const TISPProgrammer& Driver) {
    TOperationParameters p;
    p.Device = Driver.Device();
    p.BlockSize = SmartDongle::PageSize;
    p.Organisation = Driver.ProgMode();
    p.BusNumber = HostBusNumber();
    p.ResetPolarity = static_cast<std::uint8_t>(HostResetPolarity());
    p.WriteCycleTime = static_cast<std::uint8_t>(p.Device ? p.Device->EEPROMTime() : 0);
    p.Clock = SmartDongle::ClockSpeed;
    p.Log = DriverHost();
    return p;
}
