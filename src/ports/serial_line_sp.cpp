#include "ports/serial_line_sp.h"

#include "errors/errors.h"
#include "ports/tty_fd.h"

#include <algorithm>
#include <cerrno>
#include <libserialport.h>

namespace {

// libserialport takes whole milliseconds, and 0 means "wait for ever": round
// up and never pass 0.
unsigned int Milliseconds(TLinkDuration Time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Time + std::chrono::microseconds(999));
    return static_cast<unsigned int>(std::clamp<std::int64_t>(ms.count(), 1, 1 << 30));
}

} // namespace

int TSpSerialLine::Check(int Result) {
    if (Result >= 0) return Result;
    std::string text;
    switch (Result) {
    case SP_ERR_FAIL: {
        char* message = sp_last_error_message();
        text = message ? message : "I/O error";
        sp_free_error_message(message);
        break;
    }
    case SP_ERR_SUPP:
        text = "Operation not supported";
        break;
    case SP_ERR_MEM:
        text = "Out of memory";
        break;
    default:
        text = "Invalid argument";
        break;
    }
    throw EComError(FPath + ": " + text);
}

TSpSerialLine::TSpSerialLine(const std::string& Path, sp_port* Port) : FPath(Path), FPort(Port) {
    try {
        ++FStats.Controls;
        const int opened = sp_open(FPort, SP_MODE_READ_WRITE);
        if (opened == SP_ERR_FAIL) {
            const int error = sp_last_error_code();
            if (error == EACCES || error == EPERM) throw EComError(tty_fd::OpenErrorText(FPath, error));
        }
        Check(opened);
        Check(sp_get_port_handle(FPort, &FFd));
        tty_fd::SetExclusive(FFd, true);
        Check(sp_flush(FPort, SP_BUF_BOTH));
        Check(sp_new_event_set(&FEvents));
        Check(sp_add_port_events(FEvents, FPort, SP_EVENT_RX_READY));
        FLowLatency = tty_fd::TryLowLatency(FFd);
        FStats.Controls += 3;
    } catch (...) {
        if (FEvents) sp_free_event_set(FEvents);
        if (FFd >= 0) sp_close(FPort);
        sp_free_port(FPort);
        throw;
    }
}

TSpSerialLine::~TSpSerialLine() {
    if (FFd >= 0) tty_fd::SetExclusive(FFd, false);
    sp_free_event_set(FEvents);
    sp_close(FPort);
    sp_free_port(FPort);
}

void TSpSerialLine::SetBaudRate(int Baud) {
    ++FStats.Controls;
    Check(sp_set_baudrate(FPort, Baud));
}

void TSpSerialLine::SetDataBits(int Bits) {
    ++FStats.Controls;
    Check(sp_set_bits(FPort, Bits));
}

void TSpSerialLine::SetParity(TParity Parity) {
    sp_parity p = SP_PARITY_NONE;
    switch (Parity) {
    case paDefault:
        return;
    case paNone:
        p = SP_PARITY_NONE;
        break;
    case paOdd:
        p = SP_PARITY_ODD;
        break;
    case paEven:
        p = SP_PARITY_EVEN;
        break;
    case paMark:
        p = SP_PARITY_MARK;
        break;
    case paSpace:
        p = SP_PARITY_SPACE;
        break;
    }
    ++FStats.Controls;
    Check(sp_set_parity(FPort, p));
}

bool TSpSerialLine::ModemLine(bool Dtr, bool Active) {
    if (!FModemLines) return false;
    ++FStats.Controls;
    const int r = Dtr ? sp_set_dtr(FPort, Active ? SP_DTR_ON : SP_DTR_OFF)
                      : sp_set_rts(FPort, Active ? SP_RTS_ON : SP_RTS_OFF);
    if (r == SP_OK) return true;
    if (r == SP_ERR_FAIL && tty_fd::NoModemLines(sp_last_error_code())) {
        FModemLines = false;
        return false;
    }
    Check(r);
    return false;
}

bool TSpSerialLine::SetDTR(bool Active) {
    return ModemLine(true, Active);
}

bool TSpSerialLine::SetRTS(bool Active) {
    return ModemLine(false, Active);
}

std::size_t TSpSerialLine::ReadAvailable(std::uint8_t* Buffer, std::size_t Max) {
    if (Max == 0) return 0;
    ++FStats.Reads;
    return static_cast<std::size_t>(Check(sp_nonblocking_read(FPort, Buffer, Max)));
}

bool TSpSerialLine::WaitInput(TLinkDuration Timeout) {
    const TLinkTime deadline = Clock().Now() + Timeout;
    for (;;) {
        const TLinkDuration left = deadline - Clock().Now();
        if (left > TLinkDuration::zero()) {
            ++FStats.Waits;
            Check(sp_wait(FEvents, Milliseconds(left)));
        }
        // sp_wait also returns when its time is up: ask what has arrived.
        ++FStats.Controls;
        if (Check(sp_input_waiting(FPort)) > 0) return true;
        if (Clock().Now() >= deadline) return false;
    }
}

std::size_t TSpSerialLine::Write(const std::uint8_t* Bytes, std::size_t Count, TLinkDuration Timeout) {
    if (Count == 0) return 0;
    ++FStats.Writes;
    return static_cast<std::size_t>(Check(sp_blocking_write(FPort, Bytes, Count, Milliseconds(Timeout))));
}

std::size_t TSpSerialLine::OutputCount() {
    ++FStats.Controls;
    return static_cast<std::size_t>(Check(sp_output_waiting(FPort)));
}

void TSpSerialLine::Discard() {
    ++FStats.Controls;
    Check(sp_flush(FPort, SP_BUF_BOTH));
}
