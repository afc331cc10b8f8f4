// TUsbBulkBus over libusb-1.0. Exchanges follow what works for the CH341
// family in practice: the OUT transfer and a ring of IN transfers are in
// flight together, so a device that must hand over its replies before it
// takes more data never stalls the write. One IN transfer is in flight for
// each reply packet still expected, and no more.
//
// A transfer's state lives as long as the transfer may still complete: a
// device whose transfers do not come back after a cancel (within the time
// libusb itself ends them by their time-out) is handed to the context,
// which closes it once they have, so a late callback never finds its state
// freed.
#include "ports/usb_bulk_device.h"

#include "ports/libusb_api.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// How long a transfer error may take to show as the device's removal: the
// kernel reports a pulled cable to the transfers in flight at once, and
// removes the device only when its hub has noticed (a hub is polled every
// 256 ms at most, and the port is debounced for 100 ms after).
constexpr std::chrono::milliseconds kRemovalNotice{1500};
// One wait for libusb events.
constexpr std::chrono::milliseconds kEventWait{100};

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

// The state of one asynchronous transfer, written by its callback (which
// may run on whichever thread handles the context's events).
struct TSlot {
    libusb_transfer* T = nullptr;
    std::array<std::uint8_t, 64> Buffer{};
    std::atomic<bool> Active{false}; // submitted, its callback not yet run
    bool Done = false;               // its callback ran, the result not yet taken
    libusb_transfer_status Status = LIBUSB_TRANSFER_COMPLETED;
    int Actual = 0;

    // The result, once: true when the callback has run since the last call.
    bool Take() {
        if (Active.load(std::memory_order_acquire) || !Done) return false;
        Done = false;
        return true;
    }
};

extern "C" void LIBUSB_CALL SlotDone(libusb_transfer* T) {
    auto* slot = static_cast<TSlot*>(T->user_data);
    slot->Status = T->status;
    slot->Actual = T->actual_length;
    slot->Done = true;
    slot->Active.store(false, std::memory_order_release);
}

// An opened device with its interface claimed and the transfers that run on
// it. Destroyed only when none of them is in flight; it then frees them,
// releases the interface and closes the device.
struct TEndpoints {
    static constexpr std::size_t kInSlots = 16;

    TEndpoints(libusb_device_handle* AHandle, int AInterface) : Handle(AHandle), Interface(AInterface) {}
    TEndpoints(const TEndpoints&) = delete;
    TEndpoints& operator=(const TEndpoints&) = delete;
    ~TEndpoints() {
        for (TSlot* slot : Slots())
            if (slot->T) LibUsb().free_transfer(slot->T);
        LibUsb().release_interface(Handle, Interface);
        LibUsb().close(Handle);
    }

    std::array<TSlot*, kInSlots + 1> Slots() {
        std::array<TSlot*, kInSlots + 1> all{};
        all[0] = &Out;
        for (std::size_t i = 0; i < kInSlots; ++i)
            all[i + 1] = &In[i];
        return all;
    }
    bool InFlight() {
        for (TSlot* slot : Slots())
            if (slot->Active.load(std::memory_order_acquire)) return true;
        return false;
    }

    libusb_device_handle* Handle;
    int Interface;
    TSlot Out;
    std::array<TSlot, kInSlots> In;
};

// The process's libusb context, shared by every bus and device while one
// of them lives; created under a lock, so threads that open devices at the
// same time share it too. It keeps the devices whose transfers did not come
// back after a cancel, and closes each once they have.
class TUsbContext {
  public:
    static std::shared_ptr<TUsbContext> Shared() {
        static std::mutex lock;
        // Never destroyed: a bus may be let go during the program's exit.
        static auto* shared = new std::weak_ptr<TUsbContext>;
        const std::lock_guard<std::mutex> guard(lock);
        if (auto context = shared->lock()) return context;
        auto context = std::make_shared<TUsbContext>();
        *shared = context;
        return context;
    }

    TUsbContext() {
        const int rc = LibUsb().init(&FCtx);
        if (rc < 0) Raise(rc, "USB cannot be used (libusb_init)");
    }
    ~TUsbContext() {
        // The orphans' transfers were cancelled long ago: libusb has ended
        // them by now unless something is badly wrong.
        const auto limit = TClock::now() + std::chrono::seconds(2);
        while (!Reap() && TClock::now() < limit) {
            timeval tv{0, static_cast<long>(std::chrono::microseconds(kEventWait).count())};
            LibUsb().handle_events_timeout_completed(FCtx, &tv, nullptr);
        }
        if (!FOrphans.empty()) {
            // Their callbacks could still come: keep their state, and the
            // context that would run them, for the rest of the process.
            for (auto& orphan : FOrphans)
                static_cast<void>(orphan.release());
            return;
        }
        LibUsb().exit(FCtx);
    }
    TUsbContext(const TUsbContext&) = delete;
    TUsbContext& operator=(const TUsbContext&) = delete;

    libusb_context* Ctx() const { return FCtx; }

    // libusb's event handling for up to Wait: the callbacks of completed
    // transfers run here. Then the orphans that have nothing in flight any
    // more are closed.
    int HandleEvents(std::chrono::microseconds Wait) {
        timeval tv{static_cast<long>(Wait.count() / 1'000'000), static_cast<long>(Wait.count() % 1'000'000)};
        const int rc = LibUsb().handle_events_timeout_completed(FCtx, &tv, nullptr);
        Reap();
        return rc;
    }

    void Adopt(std::unique_ptr<TEndpoints> Orphan) {
        const std::lock_guard<std::mutex> guard(FOrphansLock);
        FOrphans.push_back(std::move(Orphan));
    }

    // Waits (bounded) for the orphans to come back and be closed: an orphan
    // still holds its device's interface.
    void Settle() {
        const auto limit = TClock::now() + std::chrono::seconds(2);
        while (!Reap() && TClock::now() < limit)
            HandleEvents(kEventWait);
    }

  private:
    // Closes the orphans with nothing in flight; true when none is left.
    bool Reap() {
        const std::lock_guard<std::mutex> guard(FOrphansLock);
        std::erase_if(FOrphans, [](const std::unique_ptr<TEndpoints>& e) { return !e->InFlight(); });
        return FOrphans.empty();
    }

    libusb_context* FCtx = nullptr;
    std::mutex FOrphansLock;
    std::vector<std::unique_ptr<TEndpoints>> FOrphans;
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

// Where an opened device was found: a device plugged in again gets a new
// address, so the pair names this one plugging-in.
struct TPlace {
    std::string Path;
    int Bus = 0;
    int Address = 0;
};

class TLibUsbTransfer : public TUsbTransfer {
  public:
    static constexpr std::size_t kInSlots = TEndpoints::kInSlots;

    // Takes over Handle (its interface claimed).
    TLibUsbTransfer(std::shared_ptr<TUsbContext> Context, libusb_device_handle* Handle,
                    TUsbOpenRequest Request, TPlace Place)
        : FContext(std::move(Context)), FEnd(std::make_unique<TEndpoints>(Handle, Request.Interface)),
          FRequest(std::move(Request)), FPlace(std::move(Place)) {
        if (FRequest.PacketSize < 1 || FRequest.PacketSize > FEnd->Out.Buffer.size())
            throw std::invalid_argument("USB packet size out of range");
        for (TSlot* slot : FEnd->Slots()) {
            slot->T = LibUsb().alloc_transfer(0);
            if (!slot->T) throw EUsbError(TUsbErrorKind::Io, "USB transfers cannot be allocated");
        }
    }

    ~TLibUsbTransfer() override {
        if (FEnd->InFlight()) CancelAll();
        if (FEnd->InFlight()) FContext->Adopt(std::move(FEnd));
    }

    std::vector<std::uint8_t> Exchange(const std::vector<std::vector<std::uint8_t>>& Out,
                                       std::span<const std::size_t> InPackets) override {
        if (FEnd->InFlight())
            throw EUsbError(TUsbErrorKind::Io, "USB transfers of an earlier exchange are still in flight");
        for (std::size_t n : InPackets)
            if (n < 1 || n > FRequest.PacketSize)
                throw std::invalid_argument("USB reply packet length out of range");
        std::vector<std::uint8_t> in;
        // libusb writes from non-const buffers; they live until the exchange ends.
        std::vector<std::vector<std::uint8_t>> outs(Out);
        const auto timeout = static_cast<unsigned>(FRequest.Timeout.count());
        try {
            std::size_t sent = 0;      // OUT transfers completed
            std::size_t submitted = 0; // IN transfers submitted, one per reply packet
            std::size_t received = 0;  // reply packets taken
            bool writing = false;
            // Bounded as a whole, beyond the time-outs of the transfers.
            const auto limit =
                TClock::now() +
                FRequest.Timeout * static_cast<long>(2 + outs.size() + InPackets.size() / kInSlots);
            for (;;) {
                // The writes one after the other, in order.
                if (!writing && sent < outs.size()) {
                    libusb_fill_bulk_transfer(FEnd->Out.T, FEnd->Handle, FRequest.OutEndpoint,
                                              outs[sent].data(), static_cast<int>(outs[sent].size()),
                                              SlotDone, &FEnd->Out, timeout);
                    Submit(FEnd->Out);
                    writing = true;
                }
                // Each IN transfer asks for a whole packet (a short one ends it).
                while (submitted < InPackets.size() && submitted - received < kInSlots) {
                    TSlot& slot = FEnd->In[submitted % kInSlots];
                    libusb_fill_bulk_transfer(slot.T, FEnd->Handle, FRequest.InEndpoint, slot.Buffer.data(),
                                              static_cast<int>(FRequest.PacketSize), SlotDone, &slot,
                                              timeout);
                    Submit(slot);
                    ++submitted;
                }
                if (sent == outs.size() && received == InPackets.size()) break;
                if (TClock::now() > limit) throw EUsbError(TUsbErrorKind::Timeout, "USB transfer timed out");
                const int rc = FContext->HandleEvents(kEventWait);
                if (rc < 0 && rc != LIBUSB_ERROR_INTERRUPTED) Raise(rc, "USB events");
                if (writing && FEnd->Out.Take()) {
                    if (FEnd->Out.Status != LIBUSB_TRANSFER_COMPLETED) Failed(FEnd->Out.Status, "USB write");
                    writing = false;
                    ++sent;
                }
                // Replies in the order they were asked for.
                while (received < submitted && FEnd->In[received % kInSlots].Take()) {
                    const TSlot& slot = FEnd->In[received % kInSlots];
                    if (slot.Status != LIBUSB_TRANSFER_COMPLETED) Failed(slot.Status, "USB read");
                    CheckReplyPacket(static_cast<std::size_t>(slot.Actual), InPackets[received]);
                    in.insert(in.end(), slot.Buffer.begin(), slot.Buffer.begin() + slot.Actual);
                    ++received;
                }
            }
        } catch (const EUsbError& e) {
            // What the device still sends is lost with the exchange: said so.
            if (const std::size_t stray = CancelAll())
                throw EUsbError(e.Kind(),
                                e.Message() + " (" + std::to_string(stray) +
                                    " reply bytes more came in while the transfers were cancelled)");
            throw;
        } catch (...) {
            CancelAll();
            throw;
        }
        return in;
    }

    TLinkClock& Clock() override { return SystemLinkClock(); }
    std::string Description() const override { return UsbPlaceName(FPlace.Path); }

  private:
    void Submit(TSlot& Slot) {
        Slot.Done = false;
        Slot.Active.store(true, std::memory_order_release);
        const int rc = LibUsb().submit_transfer(Slot.T);
        if (rc < 0) {
            Slot.Active.store(false, std::memory_order_release);
            if (rc == LIBUSB_ERROR_IO && Gone())
                throw EUsbError(TUsbErrorKind::NoDevice,
                                "USB transfer: " + UsbName(rc) + " (the device went away)");
            Raise(rc, "USB transfer");
        }
    }

    // Raises the failure of a transfer. A transfer error is also what the
    // kernel reports to the transfers in flight when the cable is pulled:
    // then the device disappears from the bus soon after.
    [[noreturn]] void Failed(libusb_transfer_status Status, const char* What) {
        if (Status == LIBUSB_TRANSFER_ERROR && Gone())
            throw EUsbError(TUsbErrorKind::NoDevice,
                            std::string(What) + ": " + StatusName(Status) + " (the device went away)");
        throw EUsbError(KindOfStatus(Status), std::string(What) + ": " + StatusName(Status));
    }

    // Whether the device has left the bus, waiting (bounded) for its removal
    // to be noticed.
    bool Gone() {
        const auto limit = TClock::now() + kRemovalNotice;
        for (;;) {
            try {
                if (!Listed()) return true;
            } catch (const EUsbError&) {
                return false; // the bus cannot be listed: nothing to tell
            }
            if (TClock::now() >= limit) return false;
            FContext->HandleEvents(std::chrono::milliseconds(50));
        }
    }

    bool Listed() {
        TDeviceList list(FContext->Ctx());
        for (libusb_device* dev : list.Devices())
            if (LibUsb().get_bus_number(dev) == FPlace.Bus &&
                LibUsb().get_device_address(dev) == FPlace.Address)
                return true;
        return false;
    }

    // Cancels what is in flight and waits until it has come back, bounded by
    // the time libusb ends a transfer by its own time-out. Returns the reply
    // bytes that came in and were not taken.
    std::size_t CancelAll() {
        for (TSlot* slot : FEnd->Slots())
            if (slot->Active.load(std::memory_order_acquire)) LibUsb().cancel_transfer(slot->T);
        const auto limit = TClock::now() + FRequest.Timeout + std::chrono::seconds(1);
        while (FEnd->InFlight() && TClock::now() < limit)
            FContext->HandleEvents(kEventWait);
        std::size_t stray = 0;
        for (TSlot& slot : FEnd->In)
            if (slot.Take() && slot.Status == LIBUSB_TRANSFER_COMPLETED)
                stray += static_cast<std::size_t>(slot.Actual);
        FEnd->Out.Take();
        return stray;
    }

    std::shared_ptr<TUsbContext> FContext;
    std::unique_ptr<TEndpoints> FEnd;
    TUsbOpenRequest FRequest;
    TPlace FPlace;
};

class TLibUsbBus : public TUsbBulkBus {
  public:
    std::vector<TUsbDeviceInfo> Find(std::uint16_t Vid, std::uint16_t Pid) override {
        TDeviceList list(Context()->Ctx());
        std::vector<TUsbDeviceInfo> found;
        for (libusb_device* dev : list.Devices())
            if (Matches(dev, Vid, Pid))
                found.push_back(
                    {PathOf(dev), LibUsb().get_bus_number(dev), LibUsb().get_device_address(dev)});
        return found;
    }

    std::unique_ptr<TUsbTransfer> Open(const TUsbOpenRequest& Request) override {
        auto context = Context();
        context->Settle();
        TDeviceList list(context->Ctx());
        libusb_device* chosen = nullptr;
        for (libusb_device* dev : list.Devices())
            if (Matches(dev, Request.VendorId, Request.ProductId) &&
                (Request.Path.empty() || PathOf(dev) == Request.Path)) {
                chosen = dev;
                break;
            }
        if (!chosen) throw EUsbError(TUsbErrorKind::NotFound, "no matching USB device");
        const TPlace place{PathOf(chosen), LibUsb().get_bus_number(chosen),
                           LibUsb().get_device_address(chosen)};
        libusb_device_handle* handle = nullptr;
        int rc = LibUsb().open(chosen, &handle);
        // Gone between the listing and the open: as if it had not been there.
        if (rc == LIBUSB_ERROR_NO_DEVICE) throw EUsbError(TUsbErrorKind::NotFound, "the device went away");
        if (rc < 0) Raise(rc, "cannot open the device at " + UsbPlaceName(place.Path));
        // A kernel driver bound to the interface steps aside while we hold it.
        LibUsb().set_auto_detach_kernel_driver(handle, 1);
        rc = LibUsb().claim_interface(handle, Request.Interface);
        if (rc < 0) {
            LibUsb().close(handle);
            Raise(rc, "cannot claim the interface of the device at " + UsbPlaceName(place.Path));
        }
        return std::make_unique<TLibUsbTransfer>(context, handle, Request, place);
    }

  private:
    const std::shared_ptr<TUsbContext>& Context() {
        if (!FContext) FContext = TUsbContext::Shared();
        return FContext;
    }

    std::shared_ptr<TUsbContext> FContext;
};

} // namespace

std::unique_ptr<TUsbBulkBus> NewLibUsbBus() {
    return std::make_unique<TLibUsbBus>();
}
