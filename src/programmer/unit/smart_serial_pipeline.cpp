// Pipelined commands for a unit that buffers them (it answered the probe
// with "?B"). A unit without the capability, and everything outside a
// memory operation, runs in lock-step as before: the bytes on the line are
// the same, only the waits for acknowledgements move.
#include "errors/errors.h"
#include "programmer/unit/smart_serial.h"

#include <exception>

bool TSmartSerial::Pipelining() const {
    return FUnitBuffers && AllowPipelining && FInOperation && !FCollecting;
}

void TSmartSerial::WriteString(char TriggerChar, const std::string& Data) {
    if (TriggerChar == '$') {
        // The end of the memory operation: every acknowledgement is in.
        CollectAcknowledgements();
        FInOperation = false;
        TSmartParallel::WriteString(TriggerChar, Data);
        return;
    }
    if (!Pipelining()) {
        TSmartParallel::WriteString(TriggerChar, Data);
        if (TriggerChar == '%') FInOperation = true;
        return;
    }
    WriteStringNOACK(TriggerChar, Data);
    Deferred(1 + Data.size());
}

void TSmartSerial::Deferred(std::size_t Bytes) {
    ++FPendingAcks;
    FPendingBytes += Bytes;
    if (FPendingBytes > kPipelineWindow) {
        CollectAcknowledgements();
        return;
    }
    // The port holds what is written until it is asked for input: asking
    // now hands the command to the line at once, so that it goes out while
    // the driver goes on (or pauses, as after a Microwire write).
    if (FCommDriver) FCommDriver->InputCount();
}

void TSmartSerial::EnableProgramming() {
    // Every memory operation starts here, in lock-step, whatever ended the
    // one before.
    EndPipeline();
    TSmartParallel::EnableProgramming();
}

void TSmartSerial::SyncCommands() {
    CollectAcknowledgements();
}

void TSmartSerial::DoUpdateProgress(int I, int Size) {
    // The end of a block: its acknowledgements before the front end sees
    // the progress (and before an abort it may raise).
    if (I >= 0 && FPendingAcks) CollectAcknowledgements();
    TSmartParallel::DoUpdateProgress(I, Size);
}

void TSmartSerial::CollectAcknowledgements() {
    if (!FPendingAcks || FCollecting) return;
    FCollecting = true;
    std::exception_ptr first;
    try {
        while (FPendingAcks) {
            try {
                GetAcknowledge();
            } catch (const EVerifyError&) {
                if (!first) first = std::current_exception();
            } catch (const EISPException& e) {
                // An error code: the unit carried on with the commands after
                // it, whose answers follow. No answer at all (the time-out of
                // WaitReady): it is gone, and nothing more will come.
                if (!first) first = std::current_exception();
                if (e.Message() == "ISP timed out during operation") FPendingAcks = 1;
            }
            --FPendingAcks;
        }
    } catch (...) {
        EndPipeline();
        throw;
    }
    FPendingBytes = 0;
    FCollecting = false;
    if (first) {
        FInOperation = false; // the operation ends with its first error
        std::rethrow_exception(first);
    }
}

void TSmartSerial::EndPipeline() {
    FPendingAcks = 0;
    FPendingBytes = 0;
    FCollecting = false;
    FInOperation = false;
}
