#!/usr/bin/env python3
"""Generates the benchmark corpus into a folder: random bytes throughout.

    make_corpus.py FOLDER [--tiny]

big/       2,000 files of 16 KiB to 4 MiB (.bin), about 2 GiB in all
small/     20,000 files of 4 KiB (.a26)
zips/      500 zip archives with one 64 KiB member each (.bin inside)
sevens/    500 7z archives, each of one cartridge-like image (.bin inside):
           64 KiB to 1 MiB, three quarters random, the rest 0xFF padding
sevens-zipped/  the same images in zip archives
rename/    100,000 files of 1 KiB (.a26) and big.dat: 200,000 catalog
           entries, one for each file and as many that match nothing
pictures/  JPEG pictures made by cjpeg from random PPM images (.jpg)
catalogs/  .plain.dat and .xml.dat: the same 1,000,000 entries in the plain
           layout and as Logiqx XML (one game per rom, with md5 and sha1),
           and no other file (a walk passes over names that begin with ".")
"""
import os
import random
import subprocess
import sys
from xml.sax.saxutils import escape
import zipfile
import zlib

FULL = {"big": 2000, "small": 20000, "zips": 500, "rename": 100000,
        "pictures": 300, "catalogs": 1000000, "sevens": 500}
TINY = {"big": 20, "small": 200, "zips": 5, "rename": 1000, "pictures": 5,
        "catalogs": 1000, "sevens": 5}
WORDS = ["Super", "Knight", "Dragon", "Quest", "Racing", "Star", "Tennis", "Castle",
         "Shadow", "Ninja", "Soccer", "Space", "Hunter", "Legend", "World", "Cup",
         "Puzzle", "Battle", "Island", "Rescue", "Mega", "Turbo", "Dungeon", "&"]
REGIONS = ["(USA)", "(Europe)", "(Japan)", "(USA, Europe)", "(World)",
           "(Japan) (Rev 1)", "(Europe) (En,Fr,De)", "(USA) (Beta)"]


def ensure_folder(path):
    os.makedirs(path, exist_ok=True)
    return path


def write_big(folder, count, rng):
    for i in range(count):
        # u^3 weights the sizes toward the small end: about 1 MiB on average.
        size = 16384 + int((4 * 1048576 - 16384) * rng.random() ** 3)
        with open(os.path.join(folder, "file%05d.bin" % i), "wb") as out:
            out.write(os.urandom(size))


def write_small(folder, count):
    for i in range(count):
        with open(os.path.join(folder, "rom%05d.a26" % i), "wb") as out:
            out.write(os.urandom(4096))


def write_zips(folder, count):
    for i in range(count):
        path = os.path.join(folder, "pack%04d.zip" % i)
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
            archive.writestr("game%04d.bin" % i, os.urandom(65536))


def write_sevens(folder, zipped, count, rng):
    scratch = ensure_folder(os.path.join(folder, ".member"))
    for i in range(count):
        size = 65536 << rng.randrange(5)
        name = "game%04d.bin" % i
        image = os.urandom(size * 3 // 4) + b"\xff" * (size // 4)
        with open(os.path.join(scratch, name), "wb") as out:
            out.write(image)
        subprocess.run(["7z", "a", "-bd", "-mx5", os.path.abspath(
            os.path.join(folder, "pack%04d.7z" % i)), name], cwd=scratch,
            check=True, stdout=subprocess.DEVNULL)
        os.remove(os.path.join(scratch, name))
        with zipfile.ZipFile(os.path.join(zipped, "pack%04d.zip" % i), "w",
                             zipfile.ZIP_DEFLATED) as archive:
            archive.writestr(name, image)
    os.rmdir(scratch)


def write_rename(folder, count, rng):
    records = []
    for i in range(count):
        data = os.urandom(1024)
        name = "rom%06d.a26" % i
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
        records.append("%08x Game %06d" % (zlib.crc32(data), i))
    for i in range(count):
        records.append("%08x Missing %06d" % (rng.getrandbits(32), i))
    rng.shuffle(records)
    with open(os.path.join(folder, "big.dat"), "w") as out:
        out.write("*.a26  \n" + "\n".join(records) + "\n")


def write_pictures(folder, count, rng):
    width, height = 640, 480
    for i in range(count):
        ppm = b"P6 %d %d 255\n" % (width, height) + os.urandom(width * height * 3)
        path = os.path.join(folder, "pic%04d.jpg" % i)
        with open(path, "wb") as out:
            subprocess.run(["cjpeg", "-quality", "85"], input=ppm, stdout=out,
                           check=True)


def write_catalogs(folder, count, rng):
    """The same entries twice: in the plain layout and as Logiqx XML."""
    plain = ["*.*  "]
    xml = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<!DOCTYPE datafile SYSTEM "datafile.dtd">', "<datafile>",
           "\t<header>", "\t\t<name>Benchmark</name>",
           "\t\t<description>Generated catalog</description>", "\t</header>"]
    for i in range(count):
        title = "%s %s %s %d %s" % (rng.choice(WORDS), rng.choice(WORDS), rng.choice(WORDS),
                                    i, rng.choice(REGIONS))
        crc = rng.getrandbits(32)
        plain.append("%08x %s.nes" % (crc, title))
        name = escape(title, {'"': "&quot;"})
        xml += ['\t<game name="%s">' % name,
                "\t\t<description>%s</description>" % name,
                '\t\t<rom name="%s.nes" size="%d" crc="%08x" md5="%032x" sha1="%040x"/>'
                % (name, 16384 << rng.randrange(6), crc, rng.getrandbits(128),
                   rng.getrandbits(160)),
                "\t</game>"]
    xml.append("</datafile>")
    for name, lines in ((".plain.dat", plain), (".xml.dat", xml)):
        with open(os.path.join(folder, name), "w") as out:
            out.write("\n".join(lines) + "\n")


def main():
    root = sys.argv[1]
    counts = TINY if "--tiny" in sys.argv[2:] else FULL
    rng = random.Random(2024)
    write_big(ensure_folder(os.path.join(root, "big")), counts["big"], rng)
    write_small(ensure_folder(os.path.join(root, "small")), counts["small"])
    write_zips(ensure_folder(os.path.join(root, "zips")), counts["zips"])
    write_sevens(ensure_folder(os.path.join(root, "sevens")),
                 ensure_folder(os.path.join(root, "sevens-zipped")), counts["sevens"], rng)
    write_rename(ensure_folder(os.path.join(root, "rename")), counts["rename"],
                 rng)
    write_pictures(ensure_folder(os.path.join(root, "pictures")),
                   counts["pictures"], rng)
    write_catalogs(ensure_folder(os.path.join(root, "catalogs")), counts["catalogs"],
                   rng)


if __name__ == "__main__":
    main()
