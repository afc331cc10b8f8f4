// The memory operations of the programmer unit's drivers: the family
// algorithms (programmer/algorithms) run over the unit as their bus master.
#include "programmer/algorithms/family_algorithms.h"
#include "programmer/driver_host.h"
#include "programmer/operation_parameters.h"
#include "programmer/unit/smart_parallel.h"

TFamilyAlgorithms TSmartParallel::Algorithms() {
    TOperationParameters p = CurrentOperationParameters(*this);
    // The unit's write delay: the operator's choice, else the device's.
    if (EEPROMTime != 0) p.WriteCycleTime = EEPROMTime;
    return TFamilyAlgorithms(*this, FUnitBus, p);
}

void TSmartParallel::ProgramFlash(THexList& Afile) {
    Algorithms().ProgramFlash(Afile);
}

void TSmartParallel::VerifyFlash(THexList& Afile) {
    Algorithms().VerifyFlash(Afile);
}

void TSmartParallel::ReadFlash(THexList& Afile) {
    Algorithms().ReadFlash(Afile);
}

void TSmartParallel::EraseDevice() {
    Algorithms().EraseDevice();
}

std::uint8_t TSmartParallel::ReadOptionByte() {
    return Algorithms().ReadOptionByte();
}

void TSmartParallel::WriteOptionByte(std::uint8_t Option) {
    Algorithms().WriteOptionByte(Option);
}

void TSmartParallel::ReadBuffer(std::vector<std::uint8_t>& Data, char TriggerChar, int From, int length,
                                std::uint8_t Progress) {
    switch (Dev().ProgrammerId()) {
    case FAMILY_24C:
        i2c_ReadBuffer(Data, TriggerChar, From, length, Progress);
        break;
    case FAMILY_25C:
        spi_ReadBuffer(Data, TriggerChar, From, length, Progress);
        break;
    case FAMILY_93C:
        mw_ReadBuffer(Data, TriggerChar, From, length, Progress);
        break;
    default:
        break;
    }
}

void TSmartParallel::i2c_ProgramFlash(THexList& Afile) {
    Algorithms().I2CProgramFlash(Afile);
}

void TSmartParallel::i2c_ReadBuffer(std::vector<std::uint8_t>& Data, char, int From, int length,
                                    std::uint8_t) {
    Algorithms().I2CReadBuffer(Data, From, length);
}

void TSmartParallel::spi_ProgramFlash(THexList& Afile) {
    Algorithms().SpiProgramFlash(Afile);
}

void TSmartParallel::spi_ReadBuffer(std::vector<std::uint8_t>& Data, char, int From, int length,
                                    std::uint8_t) {
    Algorithms().SpiReadBuffer(Data, From, length);
}

void TSmartParallel::mw_ProgramFlash(THexList& Afile) {
    Algorithms().MwProgramFlash(Afile);
}

void TSmartParallel::mw_ReadBuffer(std::vector<std::uint8_t>& Data, char, int From, int, std::uint8_t) {
    Algorithms().MwReadBuffer(Data, From);
}

void TSmartParallel::GetBitSize() {
    if (const auto bits = MicrowireCommandBits(FDevice, ProgMode())) FBitSize = *bits;
}

void TSmartParallel::GetShiftLeft() {
    if (const auto bits = MicrowireCommandBits(FDevice, ProgMode()))
        FSHiftLeft = static_cast<std::uint8_t>(16 - *bits);
}

std::uint8_t TSmartParallel::I2CSelect(int a) const {
    return ::I2CSelect(Dev(), HostBusNumber(), a);
}

std::string TSmartParallel::I2CWordAddress(int a) const {
    return ::I2CWordAddress(Dev(), a);
}
