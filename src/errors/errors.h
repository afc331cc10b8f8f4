// The program's exception types. Every failure travels as one of these; the
// main window's exception handler decides by type how it is reported.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>

// Base of every exception the program raises: a message text.
class Exception : public std::exception {
  public:
    explicit Exception(std::string msg) : FMessage(std::move(msg)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }

  private:
    std::string FMessage;
};

// Raised by the drivers, the hardware registry and the memory buffer. Carries
// the name of the programmer hardware that raised it (possibly empty).
class EISPException : public Exception {
  public:
    // Called by the constructor of an exception built as important, before it
    // travels; the user interface installs a handler that shows an error box.
    using ImportantNotifier = std::function<void(const std::string& msg)>;

    explicit EISPException(std::string msg, bool Important = false, std::string hardware = {})
        : Exception(std::move(msg)), HardwareName(std::move(hardware)), FImportant(Important) {
        if (Important && Notifier()) Notifier()(Message());
    }

    std::string HardwareName;
    bool Important() const noexcept { return FImportant; }

    static ImportantNotifier& Notifier() {
        static ImportantNotifier notifier;
        return notifier;
    }

  private:
    bool FImportant;
};

// The operator cancelled the running operation.
class EAbortOp : public Exception {
  public:
    explicit EAbortOp(std::string msg = "Operation Aborted") : Exception(std::move(msg)) {}
};

// A verify found a difference between the device and the buffer.
class EVerifyError : public Exception {
  public:
    using Exception::Exception;
};

// The programmer's identification or firmware version does not match this software.
class EFirmwareMisMatch : public Exception {
  public:
    using Exception::Exception;
};

// A serial port operation failed.
class EComError : public Exception {
  public:
    using Exception::Exception;
};

// A file type code outside the known table.
class EUnknownFileType : public Exception {
  public:
    using Exception::Exception;
};

// Silent abort: a cancelled dialog unwinds its command without any report.
class EAbort : public Exception {
  public:
    explicit EAbort(std::string msg = "Operation aborted") : Exception(std::move(msg)) {}
};
