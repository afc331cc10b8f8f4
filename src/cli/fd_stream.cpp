#include "cli/fd_stream.h"

#include <cerrno>
#include <unistd.h>

bool TFdStreamBuf::Flush() {
    std::size_t done = 0;
    while (done < FPending.size()) {
        const ssize_t n = ::write(FFd, FPending.data() + done, FPending.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            FPending.clear();
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    FPending.clear();
    return true;
}

TFdStreamBuf::int_type TFdStreamBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    FPending += traits_type::to_char_type(c);
    // Whole lines reach the parent as soon as they are complete.
    if (c == '\n' && !Flush()) return traits_type::eof();
    return c;
}

std::streamsize TFdStreamBuf::xsputn(const char* s, std::streamsize n) {
    FPending.append(s, static_cast<std::size_t>(n));
    if (FPending.find('\n') != std::string::npos && !Flush()) return 0;
    return n;
}

int TFdStreamBuf::sync() {
    return Flush() ? 0 : -1;
}
