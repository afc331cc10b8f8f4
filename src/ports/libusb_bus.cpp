// TUsbBulkBus over libusb-1.0. Exchanges follow what works for the CH341
// family in practice: the OUT transfer and a ring of IN transfers are in
// flight together, so a device that must hand over its replies before it
// takes more data never stalls the write.
#include "ports/usb_bulk_device.h"

#include "ports/libusb_api.h"

#include <array>
#include <memory>
#include <optional>

namespace {

std::string UsbName(int Code) {
    return LibUsb().error_name(Code);
}

TUsbErrorKind KindOf(int Code) {
    switch (Code) {
    case LIBUSB_ERROR_ACCESS:
        return TUsbErrorKind::Access;
    case LIBUSB_ERROR_BUSY:
        return TUsbErrorKind::Busy;
    case LIBUSB_ERROR_NO_DEVICE:
        return TUsbErrorKind::NoDevice;
    case LIBUSB_ERROR_NOT_FOUND:
        return TUsbErrorKind::NotFound;
    case LIBUSB_ERROR_TIMEOUT:
        return TUsbErrorKind::Timeout;
    default:
        return TUsbErrorKind::Io;
    }
}

[[noreturn]] void Raise(int Code, const std::string& What) {
    throw EUsbError(KindOf(Code), What + ": " + UsbName(Code));
}

// One libusb context for a bus object and the devices it opened.
struct TUsbContext {
    libusb_context* Ctx = nullptr;
    TUsbContext() {
        const int rc = LibUsb().init(&Ctx);
        if (rc < 0) {
            Ctx = nullptr;
            Raise(rc, "USB cannot be used (libusb_init)");
        }
    }
    ~TUsbContext() {
        if (Ctx) LibUsb().exit(Ctx);
    }
    TUsbContext(const TUsbContext&) = delete;
    TUsbContext& operator=(const TUsbContext&) = delete;
};

std::string PathOf(libusb_device* Dev) {
    std::array<std::uint8_t, 8> ports{};
    const int n = LibUsb().get_port_numbers(Dev, ports.data(), static_cast<int>(ports.size()));
    std::string path = std::to_string(LibUsb().get_bus_number(Dev)) + "-";
    for (int i = 0; i < n; ++i)
        path += (i ? "." : "") + std::to_string(ports[static_cast<std::size_t>(i)]);
    if (n <= 0) path += "0";
    return path;
}

// The device list, released on every path out.
class TDeviceList {
  public:
    explicit TDeviceList(libusb_context* Ctx) {
        const ssize_t n = LibUsb().get_device_list(Ctx, &FList);
        if (n < 0) Raise(static_cast<int>(n), "USB devices cannot be listed");
        FCount = static_cast<std::size_t>(n);
    }
    ~TDeviceList() { LibUsb().free_device_list(FList, 1); }
    TDeviceList(const TDeviceList&) = delete;
    TDeviceList& operator=(const TDeviceList&) = delete;
    std::span<libusb_device*> Devices() { return {FList, FCount}; }

  private:
    libusb_device** FList = nullptr;
    std::size_t FCount = 0;
};

bool Matches(libusb_device* Dev, std::uint16_t Vid, std::uint16_t Pid) {
    libusb_device_descriptor d{};
    return LibUsb().get_device_descriptor(Dev, &d) == 0 && d.idVendor == Vid && d.idProduct == Pid;
}

// The state of one asynchronous transfer, written by its callback.
struct TSlot {
    libusb_transfer* T = nullptr;
    std::array<std::uint8_t, 64> Buffer{};
    bool Active = false;
    bool Done = false;
    libusb_transfer_status Status = LIBUSB_TRANSFER_COMPLETED;
    int Actual = 0;
    int Requested = 0;
};

extern "C" void LIBUSB_CALL SlotDone(libusb_transfer* T) {
    auto* slot = static_cast<TSlot*>(T->user_data);
    slot->Active = false;
    slot->Done = true;
    slot->Status = T->status;
    slot->Actual = T->actual_length;
}

TUsbErrorKind KindOfStatus(libusb_transfer_status Status) {
    switch (Status) {
    case LIBUSB_TRANSFER_NO_DEVICE:
        return TUsbErrorKind::NoDevice;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return TUsbErrorKind::Timeout;
    default:
        return TUsbErrorKind::Io;
    }
}

const char* StatusName(libusb_transfer_status Status) {
    switch (Status) {
    case LIBUSB_TRANSFER_COMPLETED:
        return "completed";
    case LIBUSB_TRANSFER_ERROR:
        return "transfer error";
    case LIBUSB_TRANSFER_TIMED_OUT:
        return "timed out";
    case LIBUSB_TRANSFER_CANCELLED:
        return "cancelled";
    case LIBUSB_TRANSFER_STALL:
        return "endpoint stalled";
    case LIBUSB_TRANSFER_NO_DEVICE:
        return "device gone";
    case LIBUSB_TRANSFER_OVERFLOW:
        return "overflow";
    }
    return "unknown status";
}

class TLibUsbTransfer : public TUsbTransfer {
  public:
    static constexpr std::size_t kInSlots = 16;
    static constexpr int kPacket = 32; // the bulk endpoints' packet size

    TLibUsbTransfer(std::shared_ptr<TUsbContext> Context, libusb_device_handle* Handle,
                    TUsbOpenRequest Request, std::string Path)
        : FContext(std::move(Context)), FHandle(Handle), FRequest(std::move(Request)),
          FPath(std::move(Path)) {
        for (auto* slot : AllSlots()) {
            slot->T = LibUsb().alloc_transfer(0);
            if (!slot->T) {
                FreeTransfers();
                Close();
                throw EUsbError(TUsbErrorKind::Io, "USB transfers cannot be allocated");
            }
        }
    }

    ~TLibUsbTransfer() override {
        FreeTransfers();
        Close();
    }

    std::vector<std::uint8_t> Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                       std::span<const std::size_t> InPackets) override {
        std::size_t InCount = 0;
        for (std::size_t n : InPackets)
            InCount += n;
        std::vector<std::uint8_t> in;
        in.reserve(InCount);
        // libusb writes from non-const buffers; they live until the exchange ends.
        std::vector<std::vector<std::uint8_t>> outs(Out);
        const auto timeout = static_cast<unsigned>(FRequest.Timeout.count());
        try {
            std::size_t sent = 0; // OUT transfers completed
            bool writing = false;
            // Each IN transfer asks for a whole packet (a short one ends it),
            // so a reply packet of any length fits; as many are in flight as
            // the bytes still missing could fill.
            std::size_t outstanding = 0, next = 0, oldest = 0;
            // Bounded as a whole, beyond the time-outs of the transfers.
            const auto limit = std::chrono::steady_clock::now() +
                               FRequest.Timeout * static_cast<long>(2 + outs.size() + InCount / 512);
            for (;;) {
                // The writes one after the other, in order.
                if (!writing && sent < outs.size()) {
                    libusb_fill_bulk_transfer(FOut.T, FHandle, FRequest.OutEndpoint, outs[sent].data(),
                                              static_cast<int>(outs[sent].size()), SlotDone, &FOut, timeout);
                    Submit(FOut);
                    writing = true;
                }
                while (in.size() + outstanding < InCount && !FIn[next].Active && !FIn[next].Done) {
                    TSlot& slot = FIn[next];
                    slot.Requested = kPacket;
                    libusb_fill_bulk_transfer(slot.T, FHandle, FRequest.InEndpoint, slot.Buffer.data(),
                                              slot.Requested, SlotDone, &slot, timeout);
                    Submit(slot);
                    ++outstanding;
                    next = (next + 1) % kInSlots;
                }
                if (sent == outs.size() && in.size() >= InCount) break;
                if (std::chrono::steady_clock::now() > limit)
                    throw EUsbError(TUsbErrorKind::Timeout, "USB transfer timed out");
                timeval tv{0, 100'000};
                const int rc = LibUsb().handle_events_timeout_completed(FContext->Ctx, &tv, nullptr);
                if (rc < 0 && rc != LIBUSB_ERROR_INTERRUPTED) Raise(rc, "USB events");
                if (writing && FOut.Done) {
                    if (FOut.Status != LIBUSB_TRANSFER_COMPLETED)
                        throw EUsbError(KindOfStatus(FOut.Status),
                                        std::string("USB write: ") + StatusName(FOut.Status));
                    FOut.Done = false;
                    writing = false;
                    ++sent;
                }
                // Replies in the order they were asked for.
                while (FIn[oldest].Done) {
                    TSlot& slot = FIn[oldest];
                    if (slot.Status != LIBUSB_TRANSFER_COMPLETED)
                        throw EUsbError(KindOfStatus(slot.Status),
                                        std::string("USB read: ") + StatusName(slot.Status));
                    in.insert(in.end(), slot.Buffer.begin(), slot.Buffer.begin() + slot.Actual);
                    --outstanding;
                    slot.Done = false;
                    oldest = (oldest + 1) % kInSlots;
                }
            }
        } catch (...) {
            CancelAll();
            throw;
        }
        // Reads asked for while the last bytes were on their way.
        CancelAll();
        in.resize(std::min(in.size(), InCount));
        return in;
    }

    TLinkClock& Clock() override { return SystemLinkClock(); }
    std::string Description() const override { return UsbPlaceName(FPath); }

  private:
    std::array<TSlot*, kInSlots + 1> AllSlots() {
        std::array<TSlot*, kInSlots + 1> all{};
        all[0] = &FOut;
        for (std::size_t i = 0; i < kInSlots; ++i)
            all[i + 1] = &FIn[i];
        return all;
    }

    void Submit(TSlot& Slot) {
        Slot.Active = true;
        Slot.Done = false;
        const int rc = LibUsb().submit_transfer(Slot.T);
        if (rc < 0) {
            Slot.Active = false;
            Raise(rc, "USB transfer");
        }
    }

    // Cancels what is in flight and waits (bounded) until it has come back.
    void CancelAll() {
        for (auto* slot : AllSlots())
            if (slot->Active) LibUsb().cancel_transfer(slot->T);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            bool active = false;
            for (auto* slot : AllSlots())
                active = active || slot->Active;
            if (!active || std::chrono::steady_clock::now() > limit) break;
            timeval tv{0, 100'000};
            LibUsb().handle_events_timeout_completed(FContext->Ctx, &tv, nullptr);
        }
        for (auto* slot : AllSlots())
            slot->Done = false;
    }

    void FreeTransfers() {
        for (auto* slot : AllSlots())
            if (slot->T && !slot->Active) {
                LibUsb().free_transfer(slot->T);
                slot->T = nullptr;
            }
    }

    void Close() {
        if (!FHandle) return;
        LibUsb().release_interface(FHandle, FRequest.Interface);
        LibUsb().close(FHandle);
        FHandle = nullptr;
    }

    std::shared_ptr<TUsbContext> FContext;
    libusb_device_handle* FHandle;
    TUsbOpenRequest FRequest;
    std::string FPath;
    TSlot FOut;
    std::array<TSlot, kInSlots> FIn;
};

class TLibUsbBus : public TUsbBulkBus {
  public:
    std::vector<TUsbDeviceInfo> Find(std::uint16_t Vid, std::uint16_t Pid) override {
        TDeviceList list(Context().Ctx);
        std::vector<TUsbDeviceInfo> found;
        for (libusb_device* dev : list.Devices())
            if (Matches(dev, Vid, Pid))
                found.push_back(
                    {PathOf(dev), LibUsb().get_bus_number(dev), LibUsb().get_device_address(dev)});
        return found;
    }

    std::unique_ptr<TUsbTransfer> Open(const TUsbOpenRequest& Request) override {
        auto context = Shared();
        TDeviceList list(context->Ctx);
        libusb_device* chosen = nullptr;
        for (libusb_device* dev : list.Devices())
            if (Matches(dev, Request.VendorId, Request.ProductId) &&
                (Request.Path.empty() || PathOf(dev) == Request.Path)) {
                chosen = dev;
                break;
            }
        if (!chosen) throw EUsbError(TUsbErrorKind::NotFound, "no matching USB device");
        const std::string path = PathOf(chosen);
        libusb_device_handle* handle = nullptr;
        int rc = LibUsb().open(chosen, &handle);
        // Gone between the listing and the open: as if it had not been there.
        if (rc == LIBUSB_ERROR_NO_DEVICE) throw EUsbError(TUsbErrorKind::NotFound, "the device went away");
        if (rc < 0) Raise(rc, "cannot open the device at " + UsbPlaceName(path));
        // A kernel driver bound to the interface steps aside while we hold it.
        LibUsb().set_auto_detach_kernel_driver(handle, 1);
        rc = LibUsb().claim_interface(handle, Request.Interface);
        if (rc < 0) {
            LibUsb().close(handle);
            Raise(rc, "cannot claim the interface of the device at " + UsbPlaceName(path));
        }
        return std::make_unique<TLibUsbTransfer>(context, handle, Request, path);
    }

  private:
    std::shared_ptr<TUsbContext> Shared() {
        if (!FContext) FContext = std::make_shared<TUsbContext>();
        return FContext;
    }
    TUsbContext& Context() { return *Shared(); }

    std::shared_ptr<TUsbContext> FContext;
};

} // namespace

std::unique_ptr<TUsbBulkBus> NewLibUsbBus() {
    return std::make_unique<TLibUsbBus>();
}

