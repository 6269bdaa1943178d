#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (fuzz/corpus/<target>/) from the worked
examples: reply blocks, settings files and transaction sequences. Run again after
changing it; the files are committed."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Factory defaults of image bytes 0-39 and the F3C mode half (bytes 40-79).
TABLE_A = [0, 0, 18, 48, 10, 80, 14, 64, 100, 200, 19, 16, 16, 0, 15, 50, 12, 3, 0, 200,
           10, 3, 30, 100, 100, 100, 100, 250, 169, 33, 7, 7, 100, 100, 130, 130, 100, 100, 5, 0]
F3C = [40, 30, 7, 7, 7, 7, 100, 98, 96, 94, 92, 90, 88, 86, 100, 96, 92, 88, 84, 80,
       76, 72, 100, 98, 96, 94, 92, 90, 88, 86, 0xD8, 0xF6, 40, 150, 0x01, 0xC2, 0x01, 0x2C,
       0x01, 0x90]
READ_REQUEST = bytes.fromhex("9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 E0 9E")


def record(image, model=0x80, gyro_id=0):
    return bytes([0, model, gyro_id >> 8, gyro_id & 0xFF]) + bytes(image) + bytes([0])


def with_checksum(image):
    image = list(image)
    rest = sum(image[j] * 256 + image[j + 1] for j in range(2, 80, 2))
    check = (-rest) % 65536
    image[0], image[1] = check >> 8, check & 0xFF
    return image


def reply(image, model=0x80, gyro_id=0, head=bytes(17)):
    return head + bytes([0xA1, model, gyro_id >> 8, gyro_id & 0xFF]) + bytes(image)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


defaults = with_checksum(TABLE_A + F3C)
sample = with_checksum([(7 * j + 3) & 0xFF for j in range(80)])

# Replies: the zero record, the factory defaults behind the echoed read request, an ID and
# a varied image, one that stops after its header, and a foreign model code.
write("reply", "zero-record", reply([0] * 80))
write("reply", "defaults-after-echo", reply(defaults, gyro_id=0x0102, head=READ_REQUEST))
write("reply", "sample-id-1234", reply(sample, gyro_id=0x1234))
write("reply", "stops-after-header", bytes(17) + bytes([0xA1]))
write("reply", "model-81", reply(sample, model=0x81, gyro_id=0x1234))

# Settings files: factory defaults, a varied record, one byte short.
write("settings_file", "defaults.tcf", record(defaults))
write("settings_file", "sample.tcf", record(sample, gyro_id=0x1234))
write("settings_file", "short.tcf", record(sample)[:84])

# Transactions: the worked sequence on the zero record (Read, Write, Read, limit mode on
# and off, Read), and every page built alone on a varied record, page 9 refused.
READ_T, WRITE_F, LIMIT_ON, LIMIT_OFF = 0x04, 0x01, 0x06, 0x02
write("frame", "worked-sequence",
      record([0] * 80) + bytes([READ_T, WRITE_F, READ_T, LIMIT_ON, LIMIT_OFF, READ_T]))
write("frame", "pages-alone", record(sample, gyro_id=0x1234) +
      bytes([0x03 | p << 4 for p in range(10)]))
write("frame", "defaults-write-read", record(defaults) + bytes([WRITE_F | 0x04, READ_T]))
