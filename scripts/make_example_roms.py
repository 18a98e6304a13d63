#!/usr/bin/env python3
"""Writes the example ROM images of examples/roms/.

Every byte is generated here from a fixed seed: these are stand-ins with
the copier headers of real formats, not real games. Run from anywhere:
    python3 scripts/make_example_roms.py
"""
import os
import random
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "examples", "roms")


def data(size, seed):
    rng = random.Random(seed)
    return bytes(rng.getrandbits(8) for _ in range(size))


def nes_header():
    # "NES" 0x1A, one 16 KiB program bank, one 8 KiB character bank.
    return b"NES\x1a\x01\x01" + bytes(10)


def a78_header():
    header = bytearray(128)
    header[0] = 1
    header[1:10] = b"ATARI7800"
    return bytes(header)


def lynx_header(units):
    header = bytearray(64)
    header[0:4] = b"LYNX"
    header[5] = units  # bank-0 page size high byte: 256 pages of units*256
    return bytes(header)


def smd_interleave(linear):
    """The interleaved copier layout of a linear Genesis image."""
    header = bytearray(512)
    header[0] = len(linear) // 16384
    header[1] = 0x03
    header[8] = 0xAA
    header[9] = 0xBB
    blocks = []
    for start in range(0, len(linear), 16384):
        block = linear[start:start + 16384]
        blocks.append(block[1::2] + block[0::2])  # odd bytes, then even
    return bytes(header) + b"".join(blocks)


def write(name, contents):
    with open(os.path.join(OUT, name), "wb") as out:
        out.write(contents)


def write_zip(name, members):
    with zipfile.ZipFile(os.path.join(OUT, name), "w",
                         zipfile.ZIP_DEFLATED) as archive:
        for member, contents in members:
            info = zipfile.ZipInfo(member, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, contents)


def main():
    os.makedirs(OUT, exist_ok=True)
    for old in os.listdir(OUT):
        os.remove(os.path.join(OUT, old))
    rocket = data(4096, 1)
    write("Rocket Run.a26", rocket)
    write("maze.bin", data(2048, 2))
    knight = data(24576, 3)
    write("Knight Quest.nes", nes_header() + knight)
    write("knight_raw.bin", knight)  # the same game without its header
    write("Orbit.a78", a78_header() + data(16384, 4))
    write("Lynx Racer.lnx", lynx_header(1) + data(65536, 5))
    write("Sonic Drift.smd", smd_interleave(data(16384, 6)))
    write("Field Day.swc", bytes(512) + data(8192, 7))
    write_zip("collection.zip", [("readme.txt", b"Two games inside.\n"),
                                 ("Knight Quest.nes", nes_header() + knight),
                                 ("Cave Diver.bin", data(3000, 8))])
    write("notes.txt", b"Not a ROM: no pattern asks for .txt files.\n")


if __name__ == "__main__":
    main()
