// The bus timing each clock-speed class of the firmware must keep: the
// strictest figures of the families' datasheets that class is for
// (firmware/bus_clocks.h lists what each class is for). Nanoseconds.
#pragma once

#include "pins/i2c_pins.h"
#include "pins/microwire_pins.h"
#include "pins/spi_pins.h"

// I2C fast mode, 400 kHz parts at 2.7 V.
inline TI2CTiming I2CFastLimits() {
    TI2CTiming t;
    t.Low = 1300;
    t.High = 1000;
    t.SetupStart = 600;
    t.HoldStart = 600;
    t.SetupStop = 600;
    t.BusFree = 1300;
    t.SetupData = 100;
    t.DataValid = 900;
    return t;
}

// I2C standard mode, 100 kHz parts.
inline TI2CTiming I2CStandardLimits() {
    TI2CTiming t;
    t.Low = 4700;
    t.High = 4000;
    t.SetupStart = 4700;
    t.HoldStart = 4000;
    t.SetupStop = 4000;
    t.BusFree = 4700;
    t.SetupData = 250;
    t.DataValid = 3500;
    return t;
}

// SPI, 1 MHz parts (the medium and slow clocks).
inline TSpiTiming SpiLimits() {
    TSpiTiming t;
    t.High = t.Low = 500;
    t.CsSetup = t.CsHold = t.CsDisable = 500;
    t.DataSetup = t.DataHold = 100;
    t.OutputValid = 400;
    return t;
}

// SPI, 2 MHz parts (the fast clock): the 2.5 V column of the 25xx040
// datasheet.
inline TSpiTiming SpiFastLimits() {
    TSpiTiming t;
    t.High = t.Low = 230;
    t.CsSetup = t.CsHold = 250;
    t.CsDisable = 500;
    t.DataSetup = 50;
    t.DataHold = 100;
    t.OutputValid = 230;
    return t;
}

// Microwire, 250 kHz parts.
inline TMicrowireTiming MicrowireLimits() {
    TMicrowireTiming t;
    t.High = t.Low = 1000;
    t.CsLow = 1000;
    t.CsSetup = 200;
    t.DataSetup = t.DataHold = 400;
    t.OutputDelay = 1000;
    t.StatusValid = 1000;
    return t;
}
