/* A stand-in for libusb-1.0, built by the tests as libusb-1.0.so.0 against
 * the public libusb.h, so the program's own libusb path (it loads the
 * library with dlopen) runs without hardware: the tests point the dynamic
 * loader at it with LD_LIBRARY_PATH. Behind it sits the CH341A board
 * emulator (standin_board.h) at bus 1, port 1, next to a root hub.
 *
 * libusb's semantics, as its documentation gives them:
 * - transfers complete, and their callbacks run, only inside
 *   libusb_handle_events_timeout_completed, in the order they completed;
 *   a transfer is in flight from its submission until its callback has run;
 * - a bulk IN transfer takes reply packets until one is short (under the
 *   32 bytes of the endpoint) or its length is reached; a packet longer
 *   than the room left ends it LIBUSB_TRANSFER_OVERFLOW; actual_length is
 *   what arrived; a transfer whose time-out passes ends
 *   LIBUSB_TRANSFER_TIMED_OUT;
 * - libusb_cancel_transfer only asks: the transfer ends
 *   LIBUSB_TRANSFER_CANCELLED in a later event handling;
 * - freeing a transfer in flight, closing a handle with transfers in flight
 *   or ending a context with open handles is refused with a message on
 *   standard error and abort(); what is still allocated when the process
 *   ends is reported and the exit status becomes 70.
 *
 * The socket and the faults come from the environment. The socket is read
 * when the board is opened; a change puts a fresh chip in:
 *   NORVOISP_LIBUSB_CHIP        catalogue device in the socket ("": empty)
 *   NORVOISP_LIBUSB_ORG         its 93C organisation, 8 or 16 (default 16)
 *   NORVOISP_LIBUSB_BUS         its 24C address pins, 0-7 (default 0)
 *   NORVOISP_LIBUSB_WRITE_TIME  its write time in ms (default the catalogue's)
 * The faults are read whenever a transfer is submitted, a device opened or
 * claimed or the devices listed; a fault is armed when its variable gets a
 * value, counting from then, and ends when the variable is removed (a board
 * that was pulled out or hung is plugged in again then, with a new address):
 *   NORVOISP_LIBUSB_UNPLUG=N    unplugged after N transfers: the next ends
 *                               LIBUSB_TRANSFER_NO_DEVICE, as does every one
 *                               in flight; then LIBUSB_ERROR_NO_DEVICE
 *   NORVOISP_LIBUSB_PULL=N      pulled out after N transfers with transfers in
 *                               flight: they end LIBUSB_TRANSFER_ERROR (what
 *                               Linux usbfs reports for the bus error), and
 *                               the device leaves the bus 30 ms later
 *   NORVOISP_LIBUSB_SILENT=N    the board stops answering after N transfers:
 *                               nothing completes but by its time-out
 *   NORVOISP_LIBUSB_STALL=MS    after the next reply (K:MS: the K-th reply
 *                               from now) the host is stalled for MS ms: the
 *                               bus goes on, but no completion is delivered
 *                               until the stall is over
 *   NORVOISP_LIBUSB_OPEN=access libusb_open fails LIBUSB_ERROR_ACCESS
 *   NORVOISP_LIBUSB_CLAIM=busy  libusb_claim_interface fails LIBUSB_ERROR_BUSY
 * (A second handle claiming the interface gets LIBUSB_ERROR_BUSY as well.) */
#include <libusb.h>

#include "standin_board.h"
#include "standin_stats.h"

#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum {
    BOARD_VID = 0x1a86,
    BOARD_PID = 0x5512,
    HUB_VID = 0x1d6b,
    HUB_PID = 0x0002,
    BUS = 1,
    BOARD_PORT = 1,
    PACKET = 32,
    OUT_EP = 0x02,
    IN_EP = 0x82,
};

static const unsigned long long PULL_NOTICE_NS = 30ull * 1000000ull;

/* ------------------------------------------------------------------ state */

struct libusb_device {
    struct libusb_context* ctx;
    int refs; /* the context holds one while it is the device on the bus */
    int hub;
    uint8_t address;
};

struct libusb_context {
    struct libusb_context* next;
    struct libusb_device* hub;
    struct libusb_device* board; /* the board as it is plugged in now, once listed */
    int open_handles;
};

struct libusb_device_handle {
    struct libusb_device_handle* next;
    struct libusb_device* dev;
    int claimed;
    int in_flight;
};

enum { T_IDLE, T_FLIGHT, T_DONE };

struct itransfer {
    struct itransfer* next; /* in the flight list, then in the done list */
    int state;
    int cancel;
    unsigned long long submitted;
    /* the public struct libusb_transfer follows, at HEADER */
};
#define HEADER ((sizeof(struct itransfer) + 15u) & ~(size_t)15u)

static struct libusb_transfer* public_of(struct itransfer* it) {
    return (struct libusb_transfer*)(void*)((char*)it + HEADER);
}
static struct itransfer* private_of(struct libusb_transfer* t) {
    return (struct itransfer*)(void*)((char*)t - HEADER);
}

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static struct libusb_context* contexts;
static struct libusb_device_handle* handles;
static struct itransfer *flight_head, *flight_tail, *done_head, *done_tail;
static struct standin_stats stats = {.plugged_in = 1};

/* The board on the bus. */
static struct {
    struct standin_board* model;
    char socket[128]; /* what the socket was set up from */
    int plugged;
    int pulled; /* pulled out, not yet noticed */
    unsigned long long pulled_at;
    int silent;
    uint8_t address;
} board = {NULL, "", 1, 0, 0, 0, 2};

/* Faults: a counter of the transfers still to go before the fault strikes
 * (-1: none armed). */
static struct {
    long unplug, pull, silent;
    unsigned long stall_ms;
    long stall_after; /* replies still to come before the stall, counting the one that starts it */
    unsigned long long stall_until;
    int open_access, claim_busy;
    char seen[6][64];
} faults = {-1, -1, -1, 0, 0, 0, 0, 0, {{0}}};

static void fatal(const char* Format, ...) {
    va_list args;
    va_start(args, Format);
    fputs("libusb stand-in: ", stderr);
    vfprintf(stderr, Format, args);
    fputc('\n', stderr);
    va_end(args);
    abort();
}

static unsigned long long now_ns(void) {
    static unsigned long long origin;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const unsigned long long t =
        (unsigned long long)ts.tv_sec * 1000000000ull + (unsigned long long)ts.tv_nsec;
    if (!origin) origin = t - 1;
    return t - origin;
}

/* ------------------------------------------------------------ the board */

static long env_number(const char* Name, long Default) {
    const char* v = getenv(Name);
    if (!v || !*v) return Default;
    char* end = NULL;
    const long n = strtol(v, &end, 10);
    if (*end || n < 0) fatal("%s must be a number (it is \"%s\")", Name, v);
    return n;
}

/* The socket as the environment sets it up, when the board is opened. */
static void set_up_socket(void) {
    const char* chip = getenv("NORVOISP_LIBUSB_CHIP");
    char socket[sizeof board.socket];
    const long org = env_number("NORVOISP_LIBUSB_ORG", 16);
    const long pins = env_number("NORVOISP_LIBUSB_BUS", 0);
    const long write_ms = env_number("NORVOISP_LIBUSB_WRITE_TIME", 0);
    snprintf(socket, sizeof socket, "%s/%ld/%ld/%ld", chip ? chip : "", org, pins, write_ms);
    if (board.model && strcmp(socket, board.socket) == 0) return;
    char error[256] = "";
    struct standin_board* model =
        standin_board_new(chip ? chip : "", (int)org, (int)pins, (int)write_ms, error, sizeof error);
    if (!model) fatal("NORVOISP_LIBUSB_CHIP: %s", error);
    if (board.model) {
        stats.malformed += standin_board_malformed(board.model);
        standin_board_delete(board.model);
    }
    board.model = model;
    snprintf(board.socket, sizeof board.socket, "%s", socket);
}

static void plug_in(void) {
    board.plugged = 1;
    board.pulled = 0;
    board.silent = 0;
    board.address = (uint8_t)(board.address + 1);
    ++stats.plugged_in;
    if (board.model) standin_board_replug(board.model);
}

/* A pulled-out board leaves the bus once the hub has noticed. */
static void notice_removal(unsigned long long Now) {
    if (board.pulled && Now >= board.pulled_at + PULL_NOTICE_NS) {
        board.pulled = 0;
        board.plugged = 0;
    }
}

static int gone(const struct libusb_device* Dev) {
    return Dev->hub ? 0 : !board.plugged || Dev->address != board.address;
}

/* --------------------------------------------------------------- faults */

/* True when the variable has a new value since the last look, kept in Seen. */
static int changed(const char* Name, char* Seen, size_t Size) {
    const char* v = getenv(Name);
    if (!v) v = "";
    if (strcmp(v, Seen) == 0) return 0;
    snprintf(Seen, Size, "%s", v);
    return 1;
}

static void refresh_faults(void) {
    char* seen = faults.seen[0];
    const size_t size = sizeof faults.seen[0];
    if (changed("NORVOISP_LIBUSB_UNPLUG", seen, size)) {
        faults.unplug = *seen ? env_number("NORVOISP_LIBUSB_UNPLUG", 0) : -1;
        if (!*seen && !board.plugged) plug_in();
    }
    seen = faults.seen[1];
    if (changed("NORVOISP_LIBUSB_PULL", seen, size)) {
        faults.pull = *seen ? env_number("NORVOISP_LIBUSB_PULL", 0) : -1;
        if (!*seen && (!board.plugged || board.pulled)) plug_in();
    }
    seen = faults.seen[2];
    if (changed("NORVOISP_LIBUSB_SILENT", seen, size)) {
        faults.silent = *seen ? env_number("NORVOISP_LIBUSB_SILENT", 0) : -1;
        if (!*seen && board.silent) plug_in();
    }
    seen = faults.seen[3];
    if (changed("NORVOISP_LIBUSB_STALL", seen, size)) {
        long k = 1, ms = 0;
        char end = 0;
        faults.stall_after = 0;
        if (*seen) {
            if (sscanf(seen, "%ld:%ld%c", &k, &ms, &end) != 2 &&
                (k = 1, sscanf(seen, "%ld%c", &ms, &end) != 1))
                fatal("NORVOISP_LIBUSB_STALL must be MS or K:MS (it is \"%s\")", seen);
            if (k < 1 || ms < 0) fatal("NORVOISP_LIBUSB_STALL must be MS or K:MS (it is \"%s\")", seen);
            faults.stall_after = k;
            faults.stall_ms = (unsigned long)ms;
        }
    }
    seen = faults.seen[4];
    if (changed("NORVOISP_LIBUSB_OPEN", seen, size)) {
        if (*seen && strcmp(seen, "access") != 0) fatal("NORVOISP_LIBUSB_OPEN must be access");
        faults.open_access = *seen != 0;
    }
    seen = faults.seen[5];
    if (changed("NORVOISP_LIBUSB_CLAIM", seen, size)) {
        if (*seen && strcmp(seen, "busy") != 0) fatal("NORVOISP_LIBUSB_CLAIM must be busy");
        faults.claim_busy = *seen != 0;
    }
}

/* Before a transfer moves data: strikes the fault whose count has run out
 * (true: the transfer does not move its data). */
static int fault_strikes(unsigned long long Now) {
    if (faults.unplug == 0) {
        faults.unplug = -1;
        board.plugged = 0;
        return 1;
    }
    if (faults.pull == 0) {
        faults.pull = -1;
        board.pulled = 1;
        board.pulled_at = Now;
        return 1;
    }
    if (faults.silent == 0) {
        faults.silent = -1;
        board.silent = 1;
        return 1;
    }
    return 0;
}

static void count_transfer(void) {
    if (faults.unplug > 0) --faults.unplug;
    if (faults.pull > 0) --faults.pull;
    if (faults.silent > 0) --faults.silent;
}

/* ------------------------------------------------------------ transfers */

static void complete(struct itransfer* It, enum libusb_transfer_status Status) {
    struct libusb_transfer* t = public_of(It);
    struct itransfer** p = &flight_head;
    while (*p != It)
        p = &(*p)->next;
    *p = It->next;
    if (flight_tail == It) {
        flight_tail = NULL;
        for (struct itransfer* i = flight_head; i; i = i->next)
            flight_tail = i;
    }
    It->next = NULL;
    It->state = T_DONE;
    t->status = Status;
    if (done_tail)
        done_tail->next = It;
    else
        done_head = It;
    done_tail = It;
    if (t->endpoint == IN_EP) {
        if (Status == LIBUSB_TRANSFER_CANCELLED) ++stats.in_cancelled;
        if (Status == LIBUSB_TRANSFER_COMPLETED && t->actual_length > 0) ++stats.in_with_data;
    }
}

static unsigned long long deadline_of(struct itransfer* It) {
    const unsigned int ms = public_of(It)->timeout;
    return ms ? It->submitted + (unsigned long long)ms * 1000000ull : ~0ull;
}

/* Moves what can move on the bus now for one transfer; true when it did. */
static int step_one(struct itransfer* It, unsigned long long Now) {
    struct libusb_transfer* t = public_of(It);
    if (It->cancel) {
        complete(It, LIBUSB_TRANSFER_CANCELLED);
        return 1;
    }
    if (gone(t->dev_handle->dev)) {
        complete(It, LIBUSB_TRANSFER_NO_DEVICE);
        return 1;
    }
    if (board.pulled) {
        complete(It, LIBUSB_TRANSFER_ERROR);
        return 1;
    }
    if (Now >= deadline_of(It)) {
        complete(It, LIBUSB_TRANSFER_TIMED_OUT);
        return 1;
    }
    if (board.silent) return 0;
    if (t->endpoint == OUT_EP) {
        if (fault_strikes(Now)) return 1;
        standin_board_out(board.model, t->buffer, (size_t)t->length);
        t->actual_length = t->length;
        count_transfer();
        complete(It, LIBUSB_TRANSFER_COMPLETED);
        return 1;
    }
    /* IN: packets until a short one, or the length is reached. */
    int took = 0;
    while (standin_board_in_waiting(board.model)) {
        if (!took && fault_strikes(Now)) return 1;
        uint8_t packet[PACKET];
        const size_t n = standin_board_in(board.model, packet, sizeof packet);
        const size_t room = (size_t)(t->length - t->actual_length);
        took = 1;
        if (n > room) {
            memcpy(t->buffer + t->actual_length, packet, room);
            t->actual_length = t->length;
            count_transfer();
            complete(It, LIBUSB_TRANSFER_OVERFLOW);
            return 1;
        }
        memcpy(t->buffer + t->actual_length, packet, n);
        t->actual_length += (int)n;
        if (n < PACKET || t->actual_length == t->length) {
            count_transfer();
            complete(It, LIBUSB_TRANSFER_COMPLETED);
            return 1;
        }
    }
    return took;
}

/* Everything that can move on the bus now, in the order the transfers were
 * submitted (a packet goes to the oldest IN transfer). */
static void bus_step(unsigned long long Now) {
    notice_removal(Now);
    if (board.model) standin_board_catch_up(board.model, Now);
    for (int moved = 1; moved;) {
        moved = 0;
        for (struct itransfer* it = flight_head; it && !moved; it = it->next)
            moved = step_one(it, Now); /* the list may have changed: from its head again */
    }
}

/* When the next thing happens without anybody's doing: a time-out, the end
 * of a stall, a pulled-out board leaving the bus. */
static unsigned long long next_event(unsigned long long Now) {
    unsigned long long at = ~0ull;
    for (struct itransfer* it = flight_head; it; it = it->next)
        if (deadline_of(it) < at) at = deadline_of(it);
    if (faults.stall_until > Now && faults.stall_until < at) at = faults.stall_until;
    if (board.pulled && board.pulled_at + PULL_NOTICE_NS < at) at = board.pulled_at + PULL_NOTICE_NS;
    return at;
}

static void sleep_ns(unsigned long long Ns) {
    struct timespec ts = {(time_t)(Ns / 1000000000ull), (long)(Ns % 1000000000ull)};
    nanosleep(&ts, NULL);
}

/* ---------------------------------------------------------- validation */

static struct libusb_context* live_context(struct libusb_context* Ctx, const char* Where) {
    for (struct libusb_context* c = contexts; c; c = c->next)
        if (c == Ctx) return c;
    fatal("%s on a context that is not initialised", Where);
    return NULL;
}

static struct libusb_device_handle* open_handle(struct libusb_device_handle* Handle, const char* Where) {
    for (struct libusb_device_handle* h = handles; h; h = h->next)
        if (h == Handle) return h;
    fatal("%s on a handle that is not open", Where);
    return NULL;
}

static void referenced(const struct libusb_device* Dev, const char* Where) {
    if (!Dev || Dev->refs <= 0) fatal("%s on a device without a reference", Where);
}

static struct libusb_device* new_device(struct libusb_context* Ctx, int Hub, uint8_t Address) {
    struct libusb_device* d = calloc(1, sizeof *d);
    if (!d) fatal("out of memory");
    d->ctx = Ctx;
    d->hub = Hub;
    d->address = Address;
    d->refs = 1;
    return d;
}

static void unref(struct libusb_device* Dev) {
    if (--Dev->refs < 0) fatal("libusb device unreferenced once too often");
    if (Dev->refs == 0) free(Dev);
}

/* The context lets go of a board device that is not on the bus any more. */
static void drop_stale_board(struct libusb_context* Ctx) {
    if (Ctx->board && gone(Ctx->board)) {
        unref(Ctx->board);
        Ctx->board = NULL;
    }
}

/* ------------------------------------------------------------ the API */

int LIBUSB_CALL libusb_init(libusb_context** Ctx) {
    if (!Ctx) return LIBUSB_ERROR_NOT_SUPPORTED; /* the program never uses the default context */
    pthread_mutex_lock(&lock);
    struct libusb_context* c = calloc(1, sizeof *c);
    if (!c) fatal("out of memory");
    c->hub = new_device(c, 1, 1);
    c->next = contexts;
    contexts = c;
    ++stats.contexts_live;
    *Ctx = c;
    pthread_mutex_unlock(&lock);
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context* Ctx) {
    pthread_mutex_lock(&lock);
    struct libusb_context* c = live_context(Ctx, "libusb_exit");
    if (c->open_handles) fatal("libusb_exit with %d device handles open", c->open_handles);
    drop_stale_board(c);
    struct libusb_device* own[] = {c->hub, c->board};
    for (size_t i = 0; i < 2; ++i)
        if (own[i]) {
            if (own[i]->refs != 1) fatal("libusb_exit with a device still referenced");
            unref(own[i]);
        }
    struct libusb_context** p = &contexts;
    while (*p != c)
        p = &(*p)->next;
    *p = c->next;
    free(c);
    --stats.contexts_live;
    pthread_mutex_unlock(&lock);
}

const char* LIBUSB_CALL libusb_error_name(int Code) {
    switch (Code) {
    case LIBUSB_SUCCESS:
        return "LIBUSB_SUCCESS / LIBUSB_TRANSFER_COMPLETED";
    case LIBUSB_ERROR_IO:
        return "LIBUSB_ERROR_IO";
    case LIBUSB_ERROR_INVALID_PARAM:
        return "LIBUSB_ERROR_INVALID_PARAM";
    case LIBUSB_ERROR_ACCESS:
        return "LIBUSB_ERROR_ACCESS";
    case LIBUSB_ERROR_NO_DEVICE:
        return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_NOT_FOUND:
        return "LIBUSB_ERROR_NOT_FOUND";
    case LIBUSB_ERROR_BUSY:
        return "LIBUSB_ERROR_BUSY";
    case LIBUSB_ERROR_TIMEOUT:
        return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_OVERFLOW:
        return "LIBUSB_ERROR_OVERFLOW";
    case LIBUSB_ERROR_PIPE:
        return "LIBUSB_ERROR_PIPE";
    case LIBUSB_ERROR_INTERRUPTED:
        return "LIBUSB_ERROR_INTERRUPTED";
    case LIBUSB_ERROR_NO_MEM:
        return "LIBUSB_ERROR_NO_MEM";
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return "LIBUSB_ERROR_NOT_SUPPORTED";
    case LIBUSB_ERROR_OTHER:
        return "LIBUSB_ERROR_OTHER";
    }
    return "**UNKNOWN**";
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context* Ctx, libusb_device*** List) {
    pthread_mutex_lock(&lock);
    struct libusb_context* c = live_context(Ctx, "libusb_get_device_list");
    refresh_faults();
    notice_removal(now_ns());
    drop_stale_board(c);
    if (board.plugged && !c->board) c->board = new_device(c, 0, board.address);
    libusb_device** list = calloc(3, sizeof *list);
    if (!list) fatal("out of memory");
    ssize_t n = 0;
    list[n++] = c->hub;
    if (c->board) list[n++] = c->board;
    for (ssize_t i = 0; i < n; ++i)
        ++list[i]->refs;
    *List = list;
    pthread_mutex_unlock(&lock);
    return n;
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** List, int Unref) {
    if (!List) return;
    pthread_mutex_lock(&lock);
    if (Unref)
        for (libusb_device** d = List; *d; ++d)
            unref(*d);
    free(List);
    pthread_mutex_unlock(&lock);
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* Dev, struct libusb_device_descriptor* Desc) {
    pthread_mutex_lock(&lock);
    referenced(Dev, "libusb_get_device_descriptor");
    memset(Desc, 0, sizeof *Desc);
    Desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    Desc->bDescriptorType = LIBUSB_DT_DEVICE;
    Desc->bcdUSB = Dev->hub ? 0x0200 : 0x0110;
    Desc->bDeviceClass = Dev->hub ? LIBUSB_CLASS_HUB : LIBUSB_CLASS_VENDOR_SPEC;
    Desc->bMaxPacketSize0 = Dev->hub ? 64 : 8;
    Desc->idVendor = Dev->hub ? HUB_VID : BOARD_VID;
    Desc->idProduct = Dev->hub ? HUB_PID : BOARD_PID;
    Desc->bcdDevice = Dev->hub ? 0x0601 : 0x0304;
    Desc->bNumConfigurations = 1;
    pthread_mutex_unlock(&lock);
    return LIBUSB_SUCCESS;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* Dev) {
    referenced(Dev, "libusb_get_bus_number");
    return BUS;
}

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* Dev) {
    referenced(Dev, "libusb_get_device_address");
    return Dev->address;
}

int LIBUSB_CALL libusb_get_port_numbers(libusb_device* Dev, uint8_t* Ports, int Length) {
    referenced(Dev, "libusb_get_port_numbers");
    if (Dev->hub) return 0;
    if (Length < 1) return LIBUSB_ERROR_OVERFLOW;
    Ports[0] = BOARD_PORT;
    return 1;
}

int LIBUSB_CALL libusb_open(libusb_device* Dev, libusb_device_handle** Handle) {
    pthread_mutex_lock(&lock);
    referenced(Dev, "libusb_open");
    refresh_faults();
    int rc = LIBUSB_SUCCESS;
    if (Dev->hub || faults.open_access)
        rc = LIBUSB_ERROR_ACCESS;
    else if (gone(Dev))
        rc = LIBUSB_ERROR_NO_DEVICE;
    if (rc == LIBUSB_SUCCESS) {
        set_up_socket();
        struct libusb_device_handle* h = calloc(1, sizeof *h);
        if (!h) fatal("out of memory");
        h->dev = Dev;
        ++Dev->refs;
        ++Dev->ctx->open_handles;
        h->next = handles;
        handles = h;
        ++stats.handles_open;
        *Handle = h;
    }
    pthread_mutex_unlock(&lock);
    return rc;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* Handle) {
    if (!Handle) return;
    pthread_mutex_lock(&lock);
    struct libusb_device_handle* h = open_handle(Handle, "libusb_close");
    if (h->in_flight) fatal("libusb_close with %d transfers in flight", h->in_flight);
    struct libusb_device_handle** p = &handles;
    while (*p != h)
        p = &(*p)->next;
    *p = h->next;
    --h->dev->ctx->open_handles;
    unref(h->dev);
    free(h);
    --stats.handles_open;
    pthread_mutex_unlock(&lock);
}

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle* Handle, int Enable) {
    (void)Enable;
    pthread_mutex_lock(&lock);
    open_handle(Handle, "libusb_set_auto_detach_kernel_driver");
    pthread_mutex_unlock(&lock);
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* Handle, int Interface) {
    pthread_mutex_lock(&lock);
    struct libusb_device_handle* h = open_handle(Handle, "libusb_claim_interface");
    refresh_faults();
    int rc = LIBUSB_SUCCESS;
    if (Interface != 0)
        rc = LIBUSB_ERROR_NOT_FOUND;
    else if (gone(h->dev))
        rc = LIBUSB_ERROR_NO_DEVICE;
    else if (faults.claim_busy)
        rc = LIBUSB_ERROR_BUSY;
    else
        for (struct libusb_device_handle* other = handles; other; other = other->next)
            if (other != h && other->claimed && !gone(other->dev)) rc = LIBUSB_ERROR_BUSY;
    if (rc == LIBUSB_SUCCESS) h->claimed = 1;
    pthread_mutex_unlock(&lock);
    return rc;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* Handle, int Interface) {
    pthread_mutex_lock(&lock);
    struct libusb_device_handle* h = open_handle(Handle, "libusb_release_interface");
    int rc = LIBUSB_SUCCESS;
    if (Interface != 0 || !h->claimed)
        rc = LIBUSB_ERROR_NOT_FOUND;
    else if (h->in_flight)
        fatal("libusb_release_interface with %d transfers in flight", h->in_flight);
    else {
        h->claimed = 0;
        if (gone(h->dev)) rc = LIBUSB_ERROR_NO_DEVICE;
    }
    pthread_mutex_unlock(&lock);
    return rc;
}

struct libusb_transfer* LIBUSB_CALL libusb_alloc_transfer(int IsoPackets) {
    if (IsoPackets < 0) return NULL;
    struct itransfer* it = calloc(1, HEADER + sizeof(struct libusb_transfer) +
                                         (size_t)IsoPackets * sizeof(struct libusb_iso_packet_descriptor));
    if (!it) return NULL;
    pthread_mutex_lock(&lock);
    ++stats.transfers_live;
    pthread_mutex_unlock(&lock);
    public_of(it)->num_iso_packets = IsoPackets;
    return public_of(it);
}

void LIBUSB_CALL libusb_free_transfer(struct libusb_transfer* Transfer) {
    if (!Transfer) return;
    pthread_mutex_lock(&lock);
    struct itransfer* it = private_of(Transfer);
    if (it->state != T_IDLE) fatal("libusb_free_transfer of a transfer in flight");
    if (Transfer->flags & LIBUSB_TRANSFER_FREE_BUFFER) free(Transfer->buffer);
    --stats.transfers_live;
    free(it);
    pthread_mutex_unlock(&lock);
}

int LIBUSB_CALL libusb_submit_transfer(struct libusb_transfer* Transfer) {
    pthread_mutex_lock(&lock);
    struct itransfer* it = private_of(Transfer);
    struct libusb_device_handle* h = open_handle(Transfer->dev_handle, "libusb_submit_transfer");
    refresh_faults();
    const unsigned long long now = now_ns();
    notice_removal(now);
    int rc = LIBUSB_SUCCESS;
    if (it->state != T_IDLE)
        rc = LIBUSB_ERROR_BUSY;
    else if (Transfer->type != LIBUSB_TRANSFER_TYPE_BULK)
        rc = LIBUSB_ERROR_NOT_SUPPORTED;
    else if (Transfer->endpoint != OUT_EP && Transfer->endpoint != IN_EP)
        rc = LIBUSB_ERROR_NOT_FOUND;
    else if (Transfer->length < 0 || (Transfer->length > 0 && !Transfer->buffer))
        rc = LIBUSB_ERROR_INVALID_PARAM;
    else if (gone(h->dev))
        rc = LIBUSB_ERROR_NO_DEVICE;
    else if (board.pulled)
        rc = LIBUSB_ERROR_IO;
    else if (!h->claimed)
        fatal("a transfer submitted on an interface that is not claimed");
    if (rc == LIBUSB_SUCCESS) {
        it->state = T_FLIGHT;
        it->cancel = 0;
        it->submitted = now;
        it->next = NULL;
        Transfer->actual_length = 0;
        if (flight_tail)
            flight_tail->next = it;
        else
            flight_head = it;
        flight_tail = it;
        ++h->in_flight;
        unsigned long in_flight = 0;
        for (struct itransfer* i = flight_head; i; i = i->next)
            if (public_of(i)->endpoint == IN_EP) ++in_flight;
        if (in_flight > stats.max_in_flight) stats.max_in_flight = in_flight;
        if (Transfer->endpoint == IN_EP)
            ++stats.in_submitted;
        else
            ++stats.out_submitted;
    }
    pthread_mutex_unlock(&lock);
    return rc;
}

int LIBUSB_CALL libusb_cancel_transfer(struct libusb_transfer* Transfer) {
    pthread_mutex_lock(&lock);
    struct itransfer* it = private_of(Transfer);
    int rc = LIBUSB_SUCCESS;
    if (it->state != T_FLIGHT || it->cancel)
        rc = LIBUSB_ERROR_NOT_FOUND;
    else
        it->cancel = 1;
    pthread_mutex_unlock(&lock);
    return rc;
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context* Ctx, struct timeval* Tv,
                                                       int* Completed) {
    pthread_mutex_lock(&lock);
    live_context(Ctx, "libusb_handle_events_timeout_completed");
    const unsigned long long wait =
        Tv ? (unsigned long long)Tv->tv_sec * 1000000000ull + (unsigned long long)Tv->tv_usec * 1000ull : 0;
    const unsigned long long deadline = now_ns() + wait;
    for (;;) {
        if (Completed && *Completed) break;
        unsigned long long now = now_ns();
        bus_step(now);
        if (done_head && now >= faults.stall_until) {
            /* The callbacks, in the order the transfers completed, until a
             * reply starts a stall. */
            while (done_head && now_ns() >= faults.stall_until) {
                struct itransfer* it = done_head;
                done_head = it->next;
                if (!done_head) done_tail = NULL;
                it->next = NULL;
                it->state = T_IDLE;
                struct libusb_transfer* t = public_of(it);
                --t->dev_handle->in_flight;
                if (faults.stall_after > 0 && t->endpoint == IN_EP &&
                    t->status == LIBUSB_TRANSFER_COMPLETED && t->actual_length > 0 &&
                    --faults.stall_after == 0)
                    faults.stall_until = now_ns() + (unsigned long long)faults.stall_ms * 1000000ull;
                pthread_mutex_unlock(&lock);
                t->callback(t);
                pthread_mutex_lock(&lock);
                if (t->flags & LIBUSB_TRANSFER_FREE_TRANSFER) {
                    pthread_mutex_unlock(&lock);
                    libusb_free_transfer(t);
                    pthread_mutex_lock(&lock);
                }
            }
            break;
        }
        now = now_ns();
        if (now >= deadline) break;
        unsigned long long until = next_event(now);
        if (until > deadline) until = deadline;
        if (until > now + 1000000ull) until = now + 1000000ull; /* another thread may submit meanwhile */
        pthread_mutex_unlock(&lock);
        sleep_ns(until > now ? until - now : 0);
        pthread_mutex_lock(&lock);
    }
    pthread_mutex_unlock(&lock);
    return LIBUSB_SUCCESS;
}

/* ------------------------------------------------------- for the tests */

void norvoisp_standin_stats(struct standin_stats* Stats) {
    pthread_mutex_lock(&lock);
    *Stats = stats;
    if (board.model) Stats->malformed += standin_board_malformed(board.model);
    pthread_mutex_unlock(&lock);
}

__attribute__((destructor)) static void report_leaks(void) {
    if (!stats.transfers_live && !stats.handles_open && !stats.contexts_live) return;
    fprintf(stderr,
            "libusb stand-in: at exit %lu transfers not freed, %lu handles open, %lu contexts not ended\n",
            stats.transfers_live, stats.handles_open, stats.contexts_live);
    _exit(70);
}
