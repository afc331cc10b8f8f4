/* The device behind the stand-in libusb: the CH341A board emulator of
 * sim/ch341a with a chip model in its socket, reached from C. */
#ifndef NORVOISP_STANDIN_BOARD_H
#define NORVOISP_STANDIN_BOARD_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct standin_board;

/* A board with a chip of the catalogue device Chip in its socket ("" for an
 * empty socket): its 93C organisation (8 or 16), its 24C address pins, its
 * write time in ms (0: the catalogue's). NULL, with the reason in Error,
 * for a device the catalogue does not know. */
struct standin_board* standin_board_new(const char* Chip, int Organisation, int AddressPins, int WriteTimeMs,
                                        char* Error, size_t ErrorSize);
void standin_board_delete(struct standin_board* Board);

/* The board's clock, which moves by the time the emulator models (the bus
 * bits, the USB round trips), also moves by the real time that passed since
 * the last call (Ns: nanoseconds since the stand-in started): a write cycle
 * is over after its time has really passed, however far the modelled time
 * ran ahead. */
void standin_board_catch_up(struct standin_board* Board, uint64_t Ns);

/* One bulk OUT transfer. */
void standin_board_out(struct standin_board* Board, const uint8_t* Data, size_t Size);

/* Whether a reply packet is waiting. */
int standin_board_in_waiting(struct standin_board* Board);
/* The oldest reply packet, taken: its length (0 when none is waiting); at
 * most Max bytes of it are copied to Buffer. */
size_t standin_board_in(struct standin_board* Board, uint8_t* Buffer, size_t Max);

/* Power-up after being plugged in again; the chip keeps its memory. */
void standin_board_replug(struct standin_board* Board);

/* Packets the board could not take apart (each reason is written to
 * standard error when it happens). */
unsigned long standin_board_malformed(struct standin_board* Board);

#ifdef __cplusplus
}
#endif

#endif
