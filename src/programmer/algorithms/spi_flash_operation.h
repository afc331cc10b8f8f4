// The frame of an SPI flash operation (spi_flash_algorithms.h, private to
// its implementation files).
#pragma once

#include "errors/errors.h"
#include "programmer/algorithms/spi_flash_algorithms.h"

// The frame of an operation on the programmer. The outermost one selects
// the bus, begins the operation and enters the part's 4-byte mode; its
// End() leaves the mode and ends the operation. Unwinding leaves the mode
// too, as far as the bus still works.
class TSpiFlashAlgorithms::TOperation {
  public:
    TOperation(TSpiFlashAlgorithms& Algorithms, bool Writes)
        : FA(Algorithms), FOuter(FA.FOperationDepth++ == 0) {
        if (!FOuter) return;
        try {
            FA.FBus.SelectBus(FA.FParams.Operation, true);
            FA.FBus.BeginOperation(FA.FParams.Operation, Writes);
            if (FA.Part().Addressing == TSpiAddressing::EnterExit) FA.EnterFourByteMode();
        } catch (...) {
            --FA.FOperationDepth;
            throw;
        }
    }
    ~TOperation() {
        --FA.FOperationDepth;
        if (!FOuter || !FA.FInFourByteMode) return;
        try {
            FA.LeaveFourByteMode();
        } catch (const Exception&) {
            // The bus is gone (the cause is on its way out already).
        }
    }
    TOperation(const TOperation&) = delete;
    TOperation& operator=(const TOperation&) = delete;

    void End() {
        if (!FOuter) return;
        if (FA.FInFourByteMode) FA.LeaveFourByteMode();
        FA.FBus.EndOperation();
    }

  private:
    TSpiFlashAlgorithms& FA;
    bool FOuter;
};
