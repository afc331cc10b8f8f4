// Pipelined commands for a unit that buffers them (it answered the probe
// with "?B", or "?F" with the fast link). A unit without the capability,
// and everything outside a memory operation, runs in lock-step as before:
// the bytes on the line are the same, only the waits for acknowledgements
// move. A "?B" unit's acknowledgements are collected at every block; a
// fast-link unit's only when its ring would overflow, so that the line,
// not the round trip, bounds the operation.
#include "errors/errors.h"
#include "programmer/unit/smart_serial.h"

#include <algorithm>
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
    MakeRoom(1 + Data.size());
    WriteStringNOACK(TriggerChar, Data);
    Deferred(1 + Data.size());
}

void TSmartSerial::MakeRoom(std::size_t Bytes) {
    // A fast-link unit's ring must hold every byte not yet acknowledged,
    // this command's too.
    if (!DeepPipeline() || FPendingBytes + Bytes <= Window()) return;
    CollectAcknowledgements(Bytes < Window() ? Window() - Bytes : 0);
}

std::size_t TSmartSerial::Window() const {
    // The ring holds one byte less than its size.
    return FUnitFastLink ? FUnitRing - 1 : kPipelineWindow;
}

void TSmartSerial::Deferred(std::size_t Bytes) {
    ++FPendingAcks;
    FPendingBytes += Bytes;
    FPendingSizes.push_back(Bytes);
    if (!DeepPipeline() && FPendingBytes > Window()) {
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
    // The reads of a block are stored once readpage returns; a fast-link
    // unit's acknowledgements may come later.
    if (!DeepPipeline()) CollectAcknowledgements();
}

void TSmartSerial::DoUpdateProgress(int I, int Size) {
    // The end of a block: its acknowledgements before the front end sees
    // the progress (and before an abort it may raise). A fast-link unit
    // goes on with what it holds; when the front end aborts, what it has
    // been sent is answered first.
    if (I >= 0 && FPendingAcks && !DeepPipeline()) CollectAcknowledgements();
    try {
        TSmartParallel::DoUpdateProgress(I, Size);
    } catch (...) {
        if (FPendingAcks) {
            try {
                CollectAcknowledgements();
            } catch (const EISPException&) {
                // The abort is what the operator asked for.
            }
        }
        throw;
    }
}

void TSmartSerial::CollectAcknowledgements(std::size_t UntilBytes) {
    if (!FPendingAcks || FCollecting) return;
    FCollecting = true;
    FResynced = false;
    std::exception_ptr first;
    try {
        while (FPendingAcks && (first || FPendingBytes > UntilBytes)) {
            try {
                GetAcknowledge();
            } catch (const EVerifyError&) {
                if (!first) first = std::current_exception();
            } catch (const EISPException& e) {
                // An error code: the unit carried on with the commands after
                // it, whose answers follow. No answer at all (the time-out of
                // WaitReady): it is gone, and nothing more will come; nor
                // after the unit dropped received bytes (it resynchronised).
                if (!first) first = std::current_exception();
                if (e.Message() == "ISP timed out during operation" || FResynced) FPendingAcks = 1;
            }
            --FPendingAcks;
            if (!FPendingSizes.empty()) {
                FPendingBytes -= std::min(FPendingBytes, FPendingSizes.front());
                FPendingSizes.pop_front();
            }
        }
    } catch (...) {
        EndPipeline();
        throw;
    }
    if (!FPendingAcks) {
        FPendingBytes = 0;
        FPendingSizes.clear();
    }
    FCollecting = false;
    if (first) {
        FInOperation = false; // the operation ends with its first error
        std::rethrow_exception(first);
    }
}

void TSmartSerial::EndPipeline() {
    FPendingAcks = 0;
    FPendingBytes = 0;
    FPendingSizes.clear();
    FCollecting = false;
    FInOperation = false;
}
