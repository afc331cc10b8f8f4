#!/usr/bin/env python3
"""The source images behind samples/: each written as a raw binary of the
whole device, 0xFF wherever nothing is stored. scripts/make-samples.sh turns
them into every data file format; run this alone to get the binaries only:

    python3 scripts/sample_images.py OUTDIR

Every value below is fixed, so the output is the same on every run.
"""
import struct
import sys


def crc16_ccitt(data, crc=0xFFFF):
    """CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection."""
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def text(value, size):
    """ASCII text padded with 0x00 to size bytes (at least one 0x00 ends it)."""
    raw = value.encode("ascii")
    assert len(raw) < size, value
    return raw + bytes(size - len(raw))


class Image:
    def __init__(self, size):
        self.data = bytearray(b"\xff" * size)

    def put(self, address, raw):
        assert address + len(raw) <= len(self.data)
        self.data[address:address + len(raw)] = raw


def config_block_24c02():
    """Configuration block of a temperature/humidity sensor board with a 24C02
    (256 bytes). Bytes 0x00-0x7F are the block, checked by a CRC-16 in its last
    two bytes; 0x80-0xFF are unused (0xFF)."""
    img = Image(256)
    img.put(0x00, b"NVCF")                           # magic
    img.put(0x04, bytes([1, 2]))                     # layout version 1.2
    img.put(0x06, struct.pack("<H", 0x80))           # bytes covered by the CRC
    img.put(0x08, struct.pack("<H", 0x2202))         # product code
    img.put(0x0A, bytes([0x44]))                     # sensor's I2C address
    img.put(0x0B, bytes([0b0000_0101]))              # flags: LED on, heater off, alarm on
    img.put(0x0C, struct.pack("<I", 115200))         # service UART baud rate
    img.put(0x10, struct.pack("<H", 60))             # measurement interval, s
    img.put(0x12, struct.pack("<h", -35))            # temperature offset, 0.01 degC
    img.put(0x14, struct.pack("<H", 10125))          # humidity gain, 1/10000
    img.put(0x16, struct.pack("<h", 450))            # alarm above, 0.1 degC
    img.put(0x18, struct.pack("<h", -100))           # alarm below, 0.1 degC
    img.put(0x1A, bytes(6))                          # reserved
    img.put(0x20, text("NV-TH22 temperature/humidity", 32))  # product name
    img.put(0x40, text("rev B2", 8))                 # hardware revision
    img.put(0x48, b"20240611")                       # date of manufacture
    img.put(0x50, text("NVTH22-0001734", 16))        # serial number
    # Calibration points: raw sensor reading and reference, 0.01 degC.
    points = [(1210, -2000), (2735, 0), (4105, 2500), (5490, 5000)]
    img.put(0x60, b"".join(struct.pack("<Hh", raw, ref) for raw, ref in points))
    img.put(0x70, bytes(14))                         # reserved
    img.put(0x7E, struct.pack(">H", crc16_ccitt(img.data[0x00:0x7E])))
    return img.data


def datalog_24c1024():
    """Memory of a four-channel data logger with a 24C1024 (128 KiB): a header
    at 0x00000, the channel table at 0x00100, 48 log records of 16 bytes from
    0x10000 (the chip's upper half) and the wrap marker in the last 16 bytes."""
    img = Image(0x20000)
    records = 48
    header = b"NVDL" + bytes([2, 0])                 # magic, layout version 2.0
    header += struct.pack("<HIIH", 16, 0x10000, records, 0)  # record size, first record, count, wraps
    header += text("NV-DL8 data logger", 24)
    header += text("NVDL8-000213", 16)
    header += bytes(4)                               # reserved
    header += struct.pack(">H", crc16_ccitt(header))
    assert len(header) == 64
    img.put(0x00000, header)

    # Channel table: name, unit, scale (1/1000), offset, enabled.
    channels = [("Supply", "mV", 1000, 0), ("Tank temp", "0.1C", 100, -400),
                ("Pressure", "hPa", 1000, 0), ("Flow", "l/h", 250, 0)]
    for i, (name, unit, scale, offset) in enumerate(channels):
        img.put(0x100 + 32 * i, text(name, 12) + text(unit, 8) +
                struct.pack("<HhB", scale, offset, 1) + bytes(7))

    # Records: seconds since 2024-01-01 00:00 UTC, four channel values, flags,
    # sequence number, CRC-16 of the 14 bytes before it.
    t0 = 14_256_000                                  # 2024-06-14 00:00 UTC
    for n in range(records):
        values = (12040 - 3 * n, 215 + (n * 7) % 23, 1013 - n % 5, 840 + 10 * (n % 6))
        flags = 0x01 if n % 12 == 0 else 0x00        # hourly full sample
        body = struct.pack("<I4HBB", t0 + 300 * n, *values, flags, n & 0xFF)
        rec = body + struct.pack(">H", crc16_ccitt(body))
        img.put(0x10000 + 16 * n, rec)

    img.put(0x1FFF0, b"NVDLEND\x00" + struct.pack("<II", records, 0x10000 + 16 * records))
    return img.data


IMAGES = {
    "config_block_24c02": config_block_24c02,
    "datalog_24c1024": datalog_24c1024,
}


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: sample_images.py OUTDIR")
    for name, build in IMAGES.items():
        with open(f"{sys.argv[1]}/{name}.bin", "wb") as out:
            out.write(build())


if __name__ == "__main__":
    main()
