#include "programmer/driver_module.h"

int SmartDongle::PageSize = 0;
int SmartDongle::ClockSpeed = 1;
const std::string SmartDongle::Softver = "000A";
