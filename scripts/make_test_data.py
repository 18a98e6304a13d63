#!/usr/bin/env python3
"""Writes every piece of committed test data that is not typed by hand.

    tests/fixtures/zip/*.zip            archives from real archivers (Info-ZIP
                                        zip, 7-Zip, Python's zipfile), and the
                                        archives of the process cases
    tests/fixtures/zip/malformed/*.zip  damaged and unusual archives
    tests/scenarios/zip_archives.txt    the cases that run Tessary on them
    fuzz/corpus/<target>/               the seeds of the eight fuzz targets
    tests/fixtures/rom/genesis*         one Genesis image, linear and in the
                                        interleaved copier layout
    tests/fixtures/jpeg/example-640x480.jpg
                                        a frame header in pseudo-random bytes
                                        whose CRC-32 is 0a1b2c3d

The expected values that the scenario file holds are worked out here from
the bytes written here, with zlib, never taken from a run of our tools.
Every byte comes from fixed rules, fixed seeds and fixed timestamps, so a
second run writes the same files. The generator removes and rewrites only
its own outputs.

Needs: python3, zip (Info-ZIP), 7z (p7zip-full), cjpeg (libjpeg-turbo-progs).
Usage: python3 scripts/make_test_data.py   (from anywhere)
"""
import calendar
import collections
import dataclasses
import io
import os
import random
import shutil
import struct
import subprocess
import tempfile
import time
import zipfile
import zlib
from typing import List, Optional

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
FIXTURES = os.path.join(ROOT, "tests", "fixtures")
ZIP_FIXTURES = os.path.join(FIXTURES, "zip")
MALFORMED = os.path.join(ZIP_FIXTURES, "malformed")
SCENARIO = os.path.join(ROOT, "tests", "scenarios", "zip_archives.txt")
CORPUS = os.path.join(ROOT, "fuzz", "corpus")
FUZZ_TARGETS = ["zip_reader", "dat_reader", "crc_reader", "jpeg_probe",
                "normalizers", "placement", "xml_catalog", "cmp_catalog"]

# Every member and every staged file carries this time, read as UTC.
STAMP = (2025, 1, 1, 12, 0, 0)


# --- small helpers ----------------------------------------------------------

def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def random_bytes(length, seed):
    return random.Random(seed).randbytes(length)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


def read(path):
    with open(path, "rb") as source:
        return source.read()


def run(command, cwd):
    subprocess.run(command, cwd=cwd, check=True)


def stage(folder, files):
    """Writes `files` (name -> bytes) under `folder`, every file and folder
    dated STAMP, so that an archiver run on them records the same times."""
    stamp = calendar.timegm(STAMP)
    folders = set()
    for name, data in files.items():
        write(os.path.join(folder, name), data)
        os.utime(os.path.join(folder, name), (stamp, stamp))
        folders.add(os.path.dirname(name))
    # Last, since writing a file into a folder changes the folder's time.
    for name in folders - {""}:
        os.utime(os.path.join(folder, name), (stamp, stamp))


# --- a zip builder for what no archiver writes -----------------------------
#
# Damaged archives need fields that disagree with each other or with the
# data; the builder writes each field as told and fills in only what is
# left unset, with the true value.

LOCAL_SIGNATURE = 0x04034B50
ENTRY_SIGNATURE = 0x02014B50
END_SIGNATURE = 0x06054B50
DOS_TIME = 0x6000  # 12:00:00
DOS_DATE = 0x5A21  # 2025-01-01

# Offsets of fields that cases overwrite in a built archive.
LOCAL_NAME_LENGTH = 26    # then the extra field's length
ENTRY_EXTRA_LENGTH = 30
ENTRY_COMMENT_LENGTH = 32
ENTRY_LOCAL_OFFSET = 42


@dataclasses.dataclass
class Member:
    """One member: its local header, its data and its directory entry."""
    name: bytes
    data: bytes  # the bytes stored after the local header
    version_needed: int = 20
    system_needed: int = 0
    flags: int = 0
    method: int = 0
    crc32: int = 0
    compressed_size: int = 0
    uncompressed_size: int = 0
    disk_start: int = 0
    extra: bytes = b""          # in both headers
    entry_comment: bytes = b""  # in the directory entry only
    local_extra: bytes = b""    # added to the local header only
    local_header_offset: Optional[int] = None  # default: where it lies
    name_length_in_entry: Optional[int] = None  # default: the name's length


def stored_member(name, content):
    """A member holding `content` as is, every field true."""
    return Member(name=name, data=content, version_needed=10, crc32=crc(content),
                  compressed_size=len(content), uncompressed_size=len(content))


def raw_deflate(content, dictionary=None):
    """zlib's raw deflate stream (no header, no check value) of `content`;
    with a dictionary, matches may reach back into it."""
    options = {"zdict": dictionary} if dictionary is not None else {}
    deflater = zlib.compressobj(9, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY,
                                **options)
    return deflater.compress(content) + deflater.flush()


def deflated_member(name, content):
    """A member holding `content` deflated by zlib, every field true."""
    member = stored_member(name, content)
    member.data = raw_deflate(content)
    member.version_needed = 20
    member.method = 8
    member.compressed_size = len(member.data)
    return member


@dataclasses.dataclass
class Archive:
    """A whole archive; end record fields left unset take their true value."""
    members: List[Member] = dataclasses.field(default_factory=list)
    comment: bytes = b""
    comment_length: Optional[int] = None
    disk_number: int = 0
    directory_disk: int = 0
    disk_entries: Optional[int] = None
    total_entries: Optional[int] = None
    directory_size: Optional[int] = None
    directory_offset: Optional[int] = None

    def build(self):
        out, directory = b"", b""
        for member in self.members:
            directory += self._entry(member, len(out))
            out += self._local_header(member) + member.data
        count = len(self.members)
        end = struct.pack(
            "<IHHHHIIH", END_SIGNATURE, self.disk_number, self.directory_disk,
            _given(self.disk_entries, count), _given(self.total_entries, count),
            _given(self.directory_size, len(directory)),
            _given(self.directory_offset, len(out)),
            _given(self.comment_length, len(self.comment)))
        return out + directory + end + self.comment

    @staticmethod
    def _local_header(member):
        extra = member.local_extra + member.extra
        return struct.pack(
            "<IBBHHHHIIIHH", LOCAL_SIGNATURE, member.version_needed,
            member.system_needed, member.flags, member.method, DOS_TIME,
            DOS_DATE, member.crc32, member.compressed_size,
            member.uncompressed_size, len(member.name), len(extra)
        ) + member.name + extra

    @staticmethod
    def _entry(member, offset):
        return struct.pack(
            "<IBBBBHHHHIIIHHHHHII", ENTRY_SIGNATURE,
            20, 0,  # made by version 2.0 on MS-DOS
            member.version_needed, member.system_needed, member.flags,
            member.method, DOS_TIME, DOS_DATE, member.crc32,
            member.compressed_size, member.uncompressed_size,
            _given(member.name_length_in_entry, len(member.name)),
            len(member.extra), len(member.entry_comment), member.disk_start,
            0, 0,  # internal and external attributes
            _given(member.local_header_offset, offset)
        ) + member.name + member.extra + member.entry_comment


def _given(value, default):
    return default if value is None else value


def build(*members):
    """The archive of `members`, without a comment."""
    return Archive(members=list(members)).build()


def put_le(data, offset, value, width):
    """`data` with the little-endian field at `offset` set to `value`."""
    return data[:offset] + value.to_bytes(width, "little") + data[offset + width:]


def directory_of(archive):
    """Where the directory of an archive without a comment starts."""
    return int.from_bytes(archive[-22 + 16:-22 + 20], "little")


# --- real archivers ---------------------------------------------------------

def infozip(files, options):
    """The archive Info-ZIP zip makes of `files` (name -> bytes, in order).
    -X leaves out owner and permission extras, -D directory entries."""
    with tempfile.TemporaryDirectory() as work:
        stage(work, files)
        run(["zip", "-q", *options, "out.zip", *files], cwd=work)
        return read(os.path.join(work, "out.zip"))


def infozip_adjust(archive):
    """`archive` after `zip -A`, which shifts its offsets past whatever was
    put in front of it, as for a self-extractor."""
    with tempfile.TemporaryDirectory() as work:
        write(os.path.join(work, "sfx.zip"), archive)
        run(["zip", "-q", "-A", "sfx.zip"], cwd=work)
        return read(os.path.join(work, "sfx.zip"))


def sevenzip(files):
    """The archive 7-Zip makes of `files` at its best deflate."""
    with tempfile.TemporaryDirectory() as work:
        stage(work, files)
        run(["7z", "a", "-tzip", "-mx=9", "-bso0", "-bsp0", "out.zip", *files],
            cwd=work)
        return read(os.path.join(work, "out.zip"))


class Unseekable(io.RawIOBase):
    """A stream that cannot seek back: zipfile then sets the data-descriptor
    flag and puts each member's sizes after its data."""

    def __init__(self, sink):
        super().__init__()
        self.sink = sink

    def writable(self):
        return True

    def write(self, chunk):
        return self.sink.write(chunk)


def python_zip(members, comment=b"", streamed=False, zip64=False):
    """The archive Python's zipfile writes of `members`, (name, method,
    data) each; streamed through an Unseekable, or with zip64 extras."""
    sink = io.BytesIO()
    with zipfile.ZipFile(Unseekable(sink) if streamed else sink, "w") as archive:
        archive.comment = comment
        for name, method, data in members:
            info = zipfile.ZipInfo(name, date_time=STAMP)
            info.compress_type = method
            if streamed or zip64:
                with archive.open(info, "w", force_zip64=zip64) as member:
                    member.write(data)
            else:
                archive.writestr(info, data)
    return sink.getvalue()


# --- the archives from real archivers --------------------------------------
#
# Each holds the same three members, so that one expectation fits them all.

def alpha_text():
    return "".join(f"Line {i:03d} of the alpha member\n" for i in range(120)).encode()


def beta_bytes():
    x, beta = 12345, bytearray()
    for _ in range(1500):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        beta.append((x >> 16) & 0xFF)
    return bytes(beta)


def gamma_nes():
    return b"NES\x1a" + bytes([1, 1]) + bytes(10) + bytes(i * 7 % 256 for i in range(1024))


def real_archiver_members():
    return {"alpha.txt": alpha_text(), "beta.bin": beta_bytes(),
            "sub/gamma.nes": gamma_nes()}


def real_archiver_fixtures():
    """name -> bytes of the archives that real archivers made."""
    files = real_archiver_members()
    deflated = zipfile.ZIP_DEFLATED
    return {
        "infozip-stored.zip": infozip(files, ["-X", "-D", "-0"]),
        "infozip-deflated.zip": infozip(files, ["-X", "-D", "-9"]),
        "7zip-deflated.zip": sevenzip(files),
        "python-comment.zip": python_zip(
            [(name, deflated, data) for name, data in files.items()],
            comment=b"Made by Python's zipfile, with an archive comment."),
        # Sizes after the data, and the small binary member stored.
        "python-descriptor.zip": python_zip(
            [(name, method, data) for (name, data), method in
             zip(files.items(), [deflated, zipfile.ZIP_STORED, deflated])],
            streamed=True),
    }


# --- damaged and unusual archives ------------------------------------------
#
# Each case is (file name without ".zip", what is odd about it, the bytes,
# the verdict): what Tessary must print for it in a dump of "*.*", reports
# (CORRUPT, UNSUPPORTED) and archive lines (the CRC-32 listed), in the
# order of standard output. Cases that an archiver can make say which one.

CORRUPT = "corrupt"
UNSUPPORTED = "unsupported"
ALL_ONES = 0xFFFFFFFF

Case = collections.namedtuple("Case", "group name why data verdict")


def rom():
    """A cartridge image behind a 16-byte header that the .nes rule skips.
    Text compresses well, so the deflated image holds real Huffman blocks."""
    lines = "".join(f"Line {i} of the cartridge\n" for i in range(300))
    return b"NES\x1a\x01\x01" + bytes(10) + lines.encode()


ROM_CRC = crc(rom()[16:])


def stored_rom(**fields):
    return dataclasses.replace(stored_member(b"game.nes", rom()), **fields)


def deflated_rom(**fields):
    return dataclasses.replace(deflated_member(b"game.nes", rom()), **fields)


def plain(**fields):
    """A member that no header rule reads: it goes by its recorded CRC-32."""
    return dataclasses.replace(stored_member(b"a.bin", b"plain"), **fields)


def rom_by_zipfile(comment=b""):
    return python_zip([("game.nes", zipfile.ZIP_STORED, rom())], comment=comment)


def rom_archive(**fields):
    """The stored image in an archive whose end record has `fields`."""
    return Archive(members=[stored_rom()], **fields).build()


def finding_the_end_record():
    return [
        ("empty-file", "no bytes at all", b"", [CORRUPT]),
        ("one-byte", "one byte", b"P", [CORRUPT]),
        ("under-22-bytes", "an empty archive cut to 21 bytes",
         Archive().build()[:21], [CORRUPT]),
        ("no-end-record", "3000 bytes without a signature", b"x" * 3000, [CORRUPT]),
        ("end-record-cut-by-one-byte", "the last byte missing",
         build(stored_rom())[:-1], [CORRUPT]),
        ("end-record-signature-inside-the-comment",
         "the comment holds an end record of no entries, far enough from the "
         "end to be the one found (zipfile)",
         rom_by_zipfile(comment=python_zip([]) + b"c" * 30), [UNSUPPORTED]),
        ("signature-too-near-the-end-inside-the-comment",
         "an end record signature in the comment, too near the end (zipfile)",
         rom_by_zipfile(comment=b"PK\x05\x06" + b"0123456789"), [ROM_CRC]),
        ("comment-of-5000-bytes", "a long archive comment (zipfile)",
         rom_by_zipfile(comment=b"c" * 5000), [ROM_CRC]),
        ("comment-length-overstated", "a comment length of 1000, no comment",
         rom_archive(comment_length=1000), [ROM_CRC]),
        ("junk-after-the-archive", "500 bytes after the end record (zipfile)",
         rom_by_zipfile() + b"j" * 500, [ROM_CRC]),
        ("junk-over-1-kib-after-the-archive",
         "5000 bytes after the end record (zipfile)",
         rom_by_zipfile() + b"j" * 5000, [ROM_CRC]),
    ]


def end_record_fields():
    return [
        ("directory-offset-past-the-end", "directory offset 0x10000",
         rom_archive(directory_offset=0x10000), [CORRUPT]),
        ("directory-size-past-the-end", "directory size 0xffffff00",
         rom_archive(directory_size=0xFFFFFF00), [CORRUPT]),
        ("directory-wraps-past-32-bits",
         "offset 0xfffffff0 plus size 0x40 is 0x30 in 32 bits: inside the file",
         rom_archive(directory_offset=0xFFFFFFF0, directory_size=0x40), [CORRUPT]),
        ("directory-size-zero", "directory size 0",
         rom_archive(directory_size=0), [CORRUPT]),
        ("zero-entries", "both entry counts 0 over a whole directory",
         rom_archive(disk_entries=0, total_entries=0), [UNSUPPORTED]),
        ("empty-archive", "an archive of no members (zipfile)",
         python_zip([]), [UNSUPPORTED]),
        ("entry-counts-0xffff", "both entry counts 0xffff over one entry",
         rom_archive(disk_entries=0xFFFF, total_entries=0xFFFF), [ROM_CRC]),
        ("entry-counts-differ", "2 entries in all, 1 on this disk",
         rom_archive(total_entries=2), [UNSUPPORTED]),
        ("spanned-disks-differ", "this is disk 1, the directory on disk 0",
         rom_archive(disk_number=1), [UNSUPPORTED]),
        ("spanned-second-disk-deflated-member",
         "disk 1 of a spanned set, a member to read",
         Archive(members=[deflated_rom()], disk_number=1, directory_disk=1).build(),
         [UNSUPPORTED]),
        ("spanned-second-disk-plain-member",
         "disk 1 of a spanned set, a member known by its recorded CRC-32",
         Archive(members=[plain()], disk_number=1, directory_disk=1).build(),
         [crc(b"plain")]),
    ]


def central_directory():
    first = stored_member(b"a.bin", b"first")
    one_rom = build(stored_rom())
    two = build(first, stored_member(b"b.bin", b"x"))
    many = [(f"m{i}.nes", zipfile.ZIP_STORED, b"h" * 16 + str(i).encode())
            for i in range(1000)]
    return [
        ("directory-cut-short", "the directory one byte shorter than its entry",
         rom_archive(directory_size=46 + 8 - 1), [CORRUPT]),
        ("trailing-bytes-in-the-directory",
         "the directory size reaches 10 bytes into the end record",
         Archive(members=[first], directory_size=46 + 5 + 10).build(),
         [CORRUPT, crc(b"first")]),
        ("name-runs-past-the-directory", "name length 300",
         build(stored_rom(name_length_in_entry=300)), [CORRUPT]),
        ("name-length-0xffff", "name length 0xffff",
         build(stored_rom(name_length_in_entry=0xFFFF)), [CORRUPT]),
        ("second-name-runs-past-the-directory",
         "a good first entry, then name length 300",
         build(first, stored_rom(name_length_in_entry=300)), [CORRUPT, crc(b"first")]),
        ("extra-field-runs-past-the-directory", "extra field length 0xffff",
         put_le(one_rom, directory_of(one_rom) + ENTRY_EXTRA_LENGTH, 0xFFFF, 2),
         [ROM_CRC]),
        ("entry-comment-runs-past-the-directory", "entry comment length 0x8000",
         put_le(one_rom, directory_of(one_rom) + ENTRY_COMMENT_LENGTH, 0x8000, 2),
         [ROM_CRC]),
        ("long-extra-field-hides-later-entries",
         "the first entry's extra field swallows the second entry",
         put_le(two, directory_of(two) + ENTRY_EXTRA_LENGTH, 0xFFFF, 2),
         [crc(b"first")]),
        ("empty-name-before-an-accepted-member", "a member without a name",
         build(stored_member(b"", b"nameless"), stored_rom()), [ROM_CRC]),
        ("extension-in-a-folder-name",
         "the only \".\" is in the folder part: dir.d/README (Info-ZIP)",
         infozip({"dir.d/README": b"text"}, ["-X", "-D", "-0"]), [crc(b"text")]),
        ("thousand-entries",
         "1000 members, each behind a header that is read to skip it (zipfile)",
         python_zip(many), [crc(b"999")]),
    ]


def local_headers():
    one_rom = build(stored_rom())
    entry_offset = directory_of(one_rom) + ENTRY_LOCAL_OFFSET
    long_lengths = put_le(one_rom, LOCAL_NAME_LENGTH, 0xFFFF, 2)
    by_zipfile = rom_by_zipfile()
    inner = stored_member(b"inner.nes", rom())
    inner_copy = Archive._local_header(inner) + inner.data
    return [
        ("local-header-offset-past-the-end", "local header at 0x100000",
         build(stored_rom(local_header_offset=0x100000)), [CORRUPT]),
        ("local-header-offset-all-ones", "local header at 0xffffffff",
         build(stored_rom(local_header_offset=ALL_ONES)), [CORRUPT]),
        ("local-header-too-near-the-end", "local header 10 bytes before the end",
         put_le(one_rom, entry_offset, len(one_rom) - 10, 4), [CORRUPT]),
        ("local-header-points-into-the-directory",
         "read as a local header, the directory entry puts the data 38 bytes "
         "into itself, too near the end for the whole image",
         put_le(one_rom, entry_offset, directory_of(one_rom), 4), [CORRUPT]),
        ("local-lengths-push-the-data-past-the-end",
         "local name and extra lengths 0xffff each",
         put_le(long_lengths, LOCAL_NAME_LENGTH + 2, 0xFFFF, 2), [CORRUPT]),
        ("two-entries-share-one-local-header",
         "copy.nes points at game.nes: a read member's bytes are never read "
         "for another",
         build(stored_rom(), stored_rom(name=b"copy.nes", local_header_offset=0)),
         [CORRUPT]),
        ("a-local-header-inside-another-members-data",
         "inner.nes lies in the data of game.nes, after its 16-byte header",
         build(stored_member(b"game.nes", bytes(16) + inner_copy),
               dataclasses.replace(inner, local_header_offset=30 + 8 + 16)),
         [CORRUPT]),
        ("member-data-runs-into-the-next-member",
         "the sizes of game.nes reach 40 bytes into the header of copy.nes",
         build(stored_rom(compressed_size=len(rom()) + 40,
                          uncompressed_size=len(rom()) + 40),
               stored_rom(name=b"copy.nes")),
         [CORRUPT]),
        ("data-descriptor-with-zero-local-sizes",
         "sizes only in the directory and after the data (zipfile, streamed)",
         python_zip([("game.nes", zipfile.ZIP_DEFLATED, rom())], streamed=True),
         [ROM_CRC]),
        ("junk-before-the-archive-offsets-not-adjusted",
         "zeros in front, offsets not moved: the directory is read from the "
         "zeros, an entry without a name, then too few bytes for another "
         "(zipfile)",
         bytes(len(by_zipfile)) + by_zipfile, [CORRUPT]),
    ]


def stored_sizes():
    overstated = len(rom()) + 10
    past = build(stored_rom(compressed_size=overstated, uncompressed_size=overstated))
    # The read takes the directory's first 10 bytes after the image.
    read_past = rom() + past[directory_of(past):directory_of(past) + 10]
    zip64_sizes = struct.pack("<HHQQ", 1, 16, 5, 5)
    return [
        ("stored-sizes-all-ones", "both sizes 0xffffffff",
         build(stored_rom(compressed_size=ALL_ONES, uncompressed_size=ALL_ONES)),
         [CORRUPT]),
        ("stored-sizes-differ", "uncompressed one more than compressed",
         build(stored_rom(uncompressed_size=len(rom()) + 1)), [CORRUPT]),
        ("stored-length-zero", "both sizes 0",
         build(stored_rom(compressed_size=0, uncompressed_size=0)), [CORRUPT]),
        ("stored-sizes-overstated-within-the-file",
         "both sizes 10 too many: the read goes into the directory",
         past, [crc(read_past[16:])]),
        ("stored-sizes-understated", "both sizes 100: the image cut",
         build(stored_rom(compressed_size=100, uncompressed_size=100)),
         [crc(rom()[16:100])]),
        ("plain-member-sizes-all-ones-are-never-read",
         "a member known by its recorded CRC-32, sizes 0xffffffff",
         build(plain(compressed_size=ALL_ONES, uncompressed_size=ALL_ONES)),
         [crc(b"plain")]),
        ("zip64-extra-on-a-plain-member",
         "sizes 0xffffffff and a zip64 extra field with the true ones",
         build(plain(compressed_size=ALL_ONES, uncompressed_size=ALL_ONES,
                     extra=zip64_sizes)), [crc(b"plain")]),
    ]


def deflated_members():
    data = raw_deflate(rom())
    size = len(data)

    def with_data(new):
        return build(deflated_rom(data=new, compressed_size=len(new)))

    return [
        ("deflated-uncompressed-all-ones", "uncompressed size 0xffffffff",
         build(deflated_rom(uncompressed_size=ALL_ONES)), [CORRUPT]),
        ("deflated-compressed-all-ones", "compressed size 0xffffffff",
         build(deflated_rom(compressed_size=ALL_ONES)), [CORRUPT]),
        ("deflated-uncompressed-overstated", "uncompressed size one too many",
         build(deflated_rom(uncompressed_size=len(rom()) + 1)), [CORRUPT]),
        ("deflated-uncompressed-understated", "uncompressed size one too few",
         build(deflated_rom(uncompressed_size=len(rom()) - 1)), [CORRUPT]),
        ("deflated-compressed-overstated-within-one-piece",
         "compressed size 5 too many: the stream ends before",
         build(deflated_rom(compressed_size=size + 5)), [ROM_CRC]),
        ("deflated-compressed-understated", "compressed size 10 too few",
         build(deflated_rom(compressed_size=size - 10)), [CORRUPT]),
        ("deflated-compressed-past-the-end", "compressed size 100000 too many",
         build(deflated_rom(compressed_size=size + 100000)), [CORRUPT]),
        ("deflated-compressed-zero", "compressed size 0",
         build(deflated_rom(compressed_size=0)), [CORRUPT]),
        ("deflate-stream-ends-before-the-last-piece",
         "20000 bytes after the end of the stream, counted in its size",
         with_data(data + b"p" * 20000), [CORRUPT]),
        ("invalid-deflate-block-type", "the first byte 0xff: block type 3",
         with_data(b"\xff" + data[1:]), [CORRUPT]),
        ("deflate-distance-too-far-back",
         "compressed with the image as a dictionary: the first match reaches "
         "back before the start",
         with_data(raw_deflate(rom(), dictionary=rom())), [CORRUPT]),
        ("truncated-deflate-stream", "the first half of the stream",
         with_data(data[:size // 2]), [CORRUPT]),
    ]


def unsupported_features():
    return [
        ("method-12", "a stored image marked bzip2",
         build(stored_rom(method=12)), [UNSUPPORTED]),
        ("method-14", "a deflated image marked LZMA",
         build(deflated_rom(method=14)), [UNSUPPORTED]),
        ("method-99", "a deflated image marked method 99",
         build(deflated_rom(method=99)), [UNSUPPORTED]),
        ("method-12-on-a-plain-member", "bzip2 on a member known by its CRC-32",
         build(plain(method=12)), [crc(b"plain")]),
        ("encryption-bit-on-a-stored-member",
         "the flag set, the data plain: the flag is not looked at",
         build(stored_rom(flags=0x01)), [ROM_CRC]),
        ("encryption-bit-on-a-deflated-member",
         "the flag set, the data plain deflate",
         build(deflated_rom(flags=0x01)), [ROM_CRC]),
        ("version-needed-21", "version needed 2.1",
         build(deflated_rom(version_needed=21)), [UNSUPPORTED]),
        ("version-needed-45", "version needed 4.5",
         build(deflated_rom(version_needed=45)), [UNSUPPORTED]),
        ("system-byte-not-zero", "version needed names system 3",
         build(deflated_rom(system_needed=3)), [UNSUPPORTED]),
    ]


GROUPS = [
    ("the end record: finding it", finding_the_end_record),
    ("the end record: its fields", end_record_fields),
    ("the central directory", central_directory),
    ("local headers", local_headers),
    ("stored member sizes", stored_sizes),
    ("deflated members: sizes and data", deflated_members),
    ("features the reader does not support", unsupported_features),
]


def malformed_cases():
    return [Case(title, *fields) for title, make in GROUPS for fields in make()]


# --- the scenario file ------------------------------------------------------

SCENARIO_HEADER = """\
# Written by scripts/make_test_data.py: do not edit by hand; change the
# generator and run it again.
#
# Tessary on zip archives. Damaged and unusual archives (fixtures under
# zip/malformed), grouped by what is odd about them, each group dumped as
# "*.*" in one folder: every archive gives its reports or its line, in walk
# order. Then archives from real archivers, and how archives take part in a
# run: which member decides, which names open as archives, where reports
# land, and a rename that moves a whole archive. Every CRC-32 here is
# zlib's, of the bytes the generator put into the archive.

define corrupt
1| Error in zipfile {dir}{1}
1| The zipfile seems to be corrupt, please check it
end
define unsupported
1| Error in zipfile {dir}{1}
1| The format of this zipfile is not supported, please recompress it
end
"""


def walk_order(names):
    """The order in which one walk of the tools meets the names of a folder:
    ASCII letters folded to upper case, ties broken by the bytes."""
    return sorted(names, key=lambda name: (name.upper(), name))


def dump(patterns, lines):
    """A dump run: the pattern line, `lines`, and the stderr of dump mode."""
    return ([f"$ Tessary -d {patterns}", f"1| {patterns}  $"] + lines
            + ["2| Dump mode", "2|"])


def outcome_lines(name, verdict):
    return [f"use {item} {name}" if isinstance(item, str) else f"1| {item:08x} {name}"
            for item in verdict]


def malformed_scenario(group, cases):
    lines = [f"== malformed archives: {group}"]
    for c in cases:
        lines += [f"# {c.why}", f"file {c.name}.zip fixture:zip/malformed/{c.name}.zip"]
    by_name = {f"{c.name}.zip": c.verdict for c in cases}
    expected = []
    for name in walk_order(by_name):
        expected += outcome_lines(name, by_name[name])
    return lines + dump("*.*", expected)


def real_archiver_scenario(names):
    """The last accepted member of each is sub/gamma.nes, read and its
    header skipped; alpha.txt and beta.bin go by their recorded CRC-32."""
    files = real_archiver_members()
    lines = ["== archives from real archivers are read",
             "# Info-ZIP, 7-Zip and Python's zipfile; with a comment, with data",
             "# descriptors. \"*.*\": sub/gamma.nes decides, read behind its header;",
             "# \"*.txt\" and \"*.bin\": the recorded CRC-32 of alpha.txt, beta.bin"]
    lines += [f"file {name} fixture:zip/{name}" for name in names]
    for patterns, member, skip in (("*.*", "sub/gamma.nes", 16),
                                   ("*.txt", "alpha.txt", 0),
                                   ("*.bin", "beta.bin", 0)):
        value = crc(files[member][skip:])
        lines += dump(patterns, [f"1| {value:08x} {name}" for name in walk_order(names)])
    return lines


# --- the archives of the process cases -------------------------------------
#
# How archives take part in a run. Each function returns the archives it
# needs (fixture name -> bytes) and its scenario lines.

def headered_member_case():
    rom_image = random_bytes(40960, 1)
    archive = python_zip([
        ("game.NES", zipfile.ZIP_DEFLATED, random_bytes(16, 2) + rom_image),
        ("readme.txt", zipfile.ZIP_STORED, b"not a game")])
    lines = ["== a member behind a header is read, and the archive's name kept",
             "file roms.ZIP fixture:zip/headered-nes-and-text.zip"]
    lines += dump("*.nes", [f"1| {crc(rom_image):08x} roms.ZIP"])
    return {"headered-nes-and-text.zip": archive}, lines


def recorded_crc_case():
    first = stored_member(b"a.bin", b"first")
    last = stored_member(b"b.bin", b"damaged data")
    last.crc32 = 0x00C0FFEE  # a CRC-32 that the data does not match
    last.method = 12         # and a method that could not even be read
    lines = ["== plain members go by the recorded CRC-32 without a read",
             "file set.zip fixture:zip/false-crc-on-plain-member.zip"]
    lines += dump("*.bin", ["1| 00c0ffee set.zip"])
    return {"false-crc-on-plain-member.zip": build(first, last)}, lines


def last_member_case():
    # A "." in a folder part of a member name counts as an extension; a
    # name without any "." is passed over.
    archive = python_zip([(name, zipfile.ZIP_STORED, data) for name, data in (
        ("x.a26", b"one"), ("y.txt", b"two"), ("folder.d/README", b"three"),
        ("NOTES", b"four"))])
    lines = ["== the last accepted member in directory order decides",
             "file all.zip fixture:zip/last-member-in-a-folder.zip"]
    lines += dump("*.*", [f"1| {crc(b'three'):08x} all.zip"])
    return {"last-member-in-a-folder.zip": archive}, lines


def unidentified_case():
    unsigned = python_zip([("a.bin", zipfile.ZIP_STORED, b"abc"),
                           ("b.smd", zipfile.ZIP_STORED, b"x" * (512 + 16384))])
    text_only = python_zip([("notes.txt", zipfile.ZIP_STORED, b"abc")])
    lines = ["== an unidentified last member hides the archive",
             "# b.smd lacks the copier signature; notes.txt is not asked for",
             "file a.zip fixture:zip/smd-without-signature-last.zip",
             "file b.zip fixture:zip/text-only.zip"]
    lines += dump("*.bin *.smd", [])
    return {"smd-without-signature-last.zip": unsigned, "text-only.zip": text_only}, lines


def reports_case():
    broken = deflated_member(b"c.nes", random_bytes(5000, 3))
    broken.data = b"\xff" + broken.data[1:]  # an invalid deflate block type
    bad_deflate = build(stored_member(b"ok.nes", b"h" * 16 + b"abc"), broken)
    lzma = dataclasses.replace(stored_member(b"d.nes", b"h" * 16 + b"x"), method=14)
    lines = ["== reports land in the dump between its lines",
             'file a.bin "abc"',
             'file b.zip "this is no archive"',
             "file c.zip fixture:zip/good-nes-then-bad-deflate.zip",
             "file d.zip fixture:zip/nes-in-method-14.zip",
             'file e.bin "def"',
             "# the plain files first, then the archives, each in walk order"]
    lines += dump("*.bin *.nes", [
        "1| {crc a.bin} a.bin", "1| {crc e.bin} e.bin", "use corrupt b.zip",
        "use corrupt c.zip", "use unsupported d.zip"])
    return {"good-nes-then-bad-deflate.zip": bad_deflate,
            "nes-in-method-14.zip": build(lzma)}, lines


def zip_like_extensions_case():
    lines = ["== extensions agreeing with zip are opened as archives",
             "# z.z64 is a plain file, and \"*.z*\" accepts no plain extension",
             'file x.zipx "plain bytes"',
             'file y.z "plain bytes"',
             'file z.z64 "plain bytes"']
    lines += dump("*.z*", ["use corrupt x.zipx", "use corrupt y.z"])
    return {}, lines


def rename_case():
    rom_image = random_bytes(3000, 4)
    archive = python_zip([("game.a26", zipfile.ZIP_DEFLATED, rom_image)])
    lines = ["== rename mode moves the whole archive",
             "file Pack.zip fixture:zip/a26-for-rename.zip",
             "file 2600.dat",
             "+| *.a26  $",
             f"+| {crc(rom_image):08x} Game Pack",
             "$ Tessary 2600",
             "1| *.a26   $",
             "2| 1 files from 2600.dat.", "2|", "2|", "2| Unloading Data",
             "tree 2600.dat",
             'tree "2600/Game Pack.zip" <- Pack.zip']
    return {"a26-for-rename.zip": archive}, lines


PROCESS_CASES = [headered_member_case, recorded_crc_case, last_member_case,
                 unidentified_case, reports_case, zip_like_extensions_case,
                 rename_case]


# --- fuzz seeds -------------------------------------------------------------

def zip_reader_seeds():
    stored, deflated = zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED
    nes = b"NES\x1a\x01\x01" + bytes(10) + bytes(i * 7 % 256 for i in range(96))
    smd = bytes([1, 3, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB]) + bytes(502) + bytes(range(256)) * 4
    files = {"game.nes": nes, "readme.txt": b"A seed archive for the fuzzer.\n" * 4}
    infozip_deflated = infozip(files, ["-X", "-9"])
    stub = b"MZ" + bytes(range(200))
    seeds = {
        "infozip-stored.zip": infozip(files, ["-X", "-0"]),
        "infozip-deflated.zip": infozip_deflated,
        # A self-extractor's layout: a stub in front, offsets adjusted.
        "infozip-with-stub.zip": infozip_adjust(stub + infozip_deflated),
        "python-comment.zip": python_zip(
            [("a.bin", stored, b"first"), ("sub/game.nes", deflated, nes)],
            comment=b"A comment holding PK\x05\x06 part of a signature."),
        "python-empty.zip": python_zip([]),
        # bzip2 (method 12) and LZMA (method 14): listed, never read.
        "python-methods.zip": python_zip(
            [("b.nes", zipfile.ZIP_BZIP2, nes), ("l.nes", zipfile.ZIP_LZMA, nes),
             ("s.smd", deflated, smd)]),
        "python-zip64.zip": python_zip([("big.nes", deflated, nes)], zip64=True),
        "python-many.zip": python_zip(
            [(f"m{i:03d}.nes", stored, nes[:20] + bytes([i])) for i in range(40)]),
        "python-descriptor.zip": python_zip(
            [("d.nes", deflated, nes), ("s.nes", stored, nes)], streamed=True),
    }
    return seeds


# Damaged archives that lead the fuzzer into the reader's error paths.
MALFORMED_SEEDS = ["trailing-bytes-in-the-directory", "second-name-runs-past-the-directory",
                   "stored-sizes-overstated-within-the-file", "deflate-distance-too-far-back",
                   "entry-counts-0xffff", "local-header-points-into-the-directory"]


def dat_reader_seeds():
    return {
        "dump.dat": b"*.a26 *.bin  \n0012abcd Game.a26\n89abcdef Other Game (USA).bin\n",
        "crlf.dat": b"*.nes  \r\n1234ABCD Super Game (USA).nes\r\n0xff Game\r\n",
        # Sectioned: records after [GAMES], fields separated by the byte 0xAC.
        "sectioned.dat": (
            b"[CREDITS]\nauthor=x\n[GAMES]\n"
            b"\xaca\xacGame Name\xacc\xacd\xace\xac1a2b3c4d\xac1024\xac\n"
            b"\xaca\xac\xacGame\xacd\xace\xacf\xac1a2b3c4d\n"
            b"\xacshort\xacrecord\n"
            b"[OTHER]\n\xaca\xacLate\xacc\xacd\xace\xacffffffff\n"),
        "games-first.dat": b"[GAMES]\n\xacx\xacFirst Line Games\xacc\xacd\xace\xac0000beef\n",
        "games-spaces.dat": b"[GAMES]   \n\xacx\xacNever Read\xacc\xacd\xace\xac0000beef\n",
        "reports.dat": (
            b"*.zip  \nError in zipfile /tmp/x.zip\n"
            b"The zipfile seems to be corrupt, please check it\n"
            b"-1 negative\n 1 leading space\nnospace\n\n"),
        "odd-patterns.dat": b"  *.a26\t*.bin\n12345678 tab\tname\n",
        "long-lines.dat": (b"*.a26 " + b"*.x " * 300 + b"\n"
                           + b"0000abcd " + b"N" * 1200 + b" tail\n"
                           + b"0000abce " + b"a" * 150 + b"\n"),
    }


def xml_catalog_seeds():
    head = b'<?xml version="1.0" encoding="UTF-8"?>\n'
    return {
        "logiqx.xml": (
            b"\xef\xbb\xbf" + head
            + b'<!DOCTYPE datafile SYSTEM "datafile.dtd">\r\n<datafile>\r\n'
            b"<header><name>Set</name><version>1</version></header>\r\n"
            b'<game name="Game"><description>A &amp; B <![CDATA[<x>]]></description>\r\n'
            b'<rom name="Game (USA).nes" size="4096" crc="ABCDEF01" md5="00" sha1="00"/>\r\n'
            b"<rom name='Two &#65;.nes' crc='0000beef' status='good'/>\r\n"
            b'<rom name="Bad.nes" size="1" crc="12345678" status="nodump"/><rom name="None.nes"/>\r\n'
            b'<disk name="d" sha1="00"/></game>\r\n</datafile>\r\n'),
        "mame.xml": (head + b'<mame build="1"><machine name="m"><rom name="m.bin" crc="1"/>'
                     b'<sample name="s"/></machine></mame>\n'),
        "entity.xml": (head + b'<!DOCTYPE datafile [\n<!ENTITY e "eeee">\n]>\n'
                       b'<datafile><game><rom name="&e;&e;" crc="1"/></game></datafile>\n'),
        "truncated.xml": head + b'<datafile>\n<game name="g">\n<rom name="a" crc="1',
    }


def cmp_catalog_seeds():
    return {
        "clrmamepro.dat": (
            b'\xef\xbb\xbfclrmamepro (\r\n\tname "Set (x)"\r\n\tversion 1\r\n)\r\n\r\n'
            b'game (\r\n\tname "Game"\r\n\tdescription "A (b) c"\r\n'
            b'\trom ( name "Game (USA).nes" size 4096 crc ABCDEF01 md5 00 sha1 00 )\r\n'
            b"\trom ( crc 0000beef name Two )\r\n\trom ( name Bad crc 1 status nodump )\r\n"
            b"\trom ( name None size 1 )\r\n\tdisk ( name d sha1 00 )\r\n)\r\n"),
        "blocks.dat": (b"clrmamepro ( name x )\nresource ( rom ( name r crc 5 ) )\n"
                       b"machine(rom(name m crc 7))\nemulator ( rom ( name e crc 8 ) )\n"),
        "truncated.dat": b'clrmamepro (\n)\ngame (\n\trom ( name "cut crc 1 )\n',
        "deep.dat": b"clrmamepro ( ) x" + b" ( a" * 17 + b" v" + b")" * 17 + b"\n",
    }


def crc_reader_seeds():
    return {
        "four-lines.crc": (b"Pictures\n--------\na.jpg  12345  640 x  480  a1b2c3d\n"
                           b"--------\nafter.jpg 1 1 x 1 1\n"),
        "dump-only.crc": (b"a.jpg  12345  640 x  480  a1b2c3d\n"
                          b"b.jpg  1  2 x  3  0xDEADBEEF\n"),
        "odd-records.crc": (b"-first line\r\nheader\r\n---\r\n\r\n"
                            b"c.jpg 10 70000 x 480 A1B2C3D4\r\n"
                            b" \t-tab.jpg\t 1 2 x 3 4\r\nshort 1 2\r\n"),
        "long-lines.crc": (b"t\n-\n" + b"n" * 60 + b" 1 2 x 3 4\n"
                           + b"x" * 995 + b" 1 2 x 3 5\n"),
    }


def cjpeg(picture, options):
    """The JPEG that cjpeg makes of `picture` (PPM bytes) at quality 50."""
    with tempfile.TemporaryDirectory() as work:
        write(os.path.join(work, "in.ppm"), picture)
        run(["cjpeg", "-quality", "50", *options, "-outfile", "out.jpg", "in.ppm"],
            cwd=work)
        return read(os.path.join(work, "out.jpg"))


def jpeg_probe_seeds():
    tiny = bytearray(b"P6\n8 6\n255\n")
    for y in range(6):
        for x in range(8):
            tiny += bytes((x * 32, y * 40, 128))
    return {
        "baseline-8x6.jpg": cjpeg(bytes(tiny), []),
        "progressive-8x6.jpg": cjpeg(bytes(tiny), ["-progressive"]),
        "frame-only.bin": b"\xff\xd8\xff\xc0\x00\x11\x08\x01\xe0\x02\x80",
        "frame-cut.bin": b"xx\xff\xc0\x00\x11\x08\x01",
        "last-ff.bin": b"abc\xff",
    }


def normalizers_seeds():
    """Each seed: the type byte, the extension's length, the extension and
    the image."""
    def seed(rom_type, extension, image):
        return bytes([rom_type, len(extension)]) + extension + image

    smd_header = bytes([1, 3, 0, 0, 0, 0, 0, 0, 0xAA, 0xBB]) + bytes(502)
    return {
        "a78": seed(2, b".A78", b"\x01ATARI7800" + bytes(118) + bytes(range(64))),
        "lynx": seed(3, b"lnx", b"LYNX\x00\x00" + bytes(58) + bytes(range(100))),
        "nes": seed(4, b"*.NeS", b"NES\x1a\x01\x01" + bytes(10) + bytes(range(32))),
        "smd-one-block": seed(6, b".SMD",
                              smd_header + bytes(i % 251 for i in range(16384)) + b"tail"),
        "smd-no-blocks": seed(6, b"smd", bytes([0]) + smd_header[1:] + b"short"),
        "snes-header": seed(7, b".swc", bytes(512) + bytes(i % 13 for i in range(8192))),
        "plain": seed(1, b".bin", b"plain image"),
        "none": seed(0, b"", b"nothing"),
    }


def placement_seeds():
    """Each seed: the flag byte, then the catalog name."""
    seeds = {
        "plain": (0x02, b"Pac-Man"),
        "same-extension": (0x02, b"Pac-Man.bin"),
        "upper-extension": (0x12, b"Pac-Man.bin"),
        "three-copies": (0x0A, b"Game"),
        "taken-to-dupes": (0x07, b"Game"),
        "no-extension": (0x22, b""),
        "two-dots": (0x32, b".."),
        "parent": (0x02, b"../escape"),
        "backslash": (0x02, b"..\\escape"),
        "dupes-is-a-file": (0x47, b"Game"),
        "long": (0x0A, b"L" * 250),
        "newline": (0x02, b"line\nbreak"),
    }
    return {name: bytes([flags]) + text for name, (flags, text) in seeds.items()}


# --- a Genesis image and a JPEG stand-in -----------------------------------

def smd_interleave(linear):
    """The interleaved copier layout of a linear Genesis image: a 512-byte
    header, then per 16 KiB block its odd bytes, then its even bytes."""
    header = bytearray(512)
    header[0] = len(linear) // 16384
    header[1] = 0x03
    header[8] = 0xAA
    header[9] = 0xBB
    blocks = [linear[start:start + 16384] for start in range(0, len(linear), 16384)]
    return bytes(header) + b"".join(block[1::2] + block[0::2] for block in blocks)


def crc_table():
    """The table of the reflected CRC-32 that zlib computes."""
    table = []
    for index in range(256):
        value = index
        for _ in range(8):
            value = (value >> 1) ^ (0xEDB88320 if value & 1 else 0)
        table.append(value)
    return table


CRC_TABLE = crc_table()


def force_crc(prefix, target):
    """Four bytes that make the CRC-32 of `prefix` plus them `target`.

    After four bytes the register holds only the four table entries they
    picked, each shifted; the top byte of every entry is unique, so going
    back from the wanted register names the entries one by one, and going
    forward from the prefix's register gives the bytes that pick them."""
    top_to_index = {value >> 24: index for index, value in enumerate(CRC_TABLE)}
    register, indices = target ^ 0xFFFFFFFF, []
    for _ in range(4):
        index = top_to_index[register >> 24]
        indices.append(index)
        register = ((register ^ CRC_TABLE[index]) << 8) & 0xFFFFFFFF
    register, tail = crc(prefix) ^ 0xFFFFFFFF, bytearray()
    for index in reversed(indices):
        tail.append((register ^ index) & 0xFF)
        register = (register >> 8) ^ CRC_TABLE[index]
    assert crc(prefix + tail) == target
    return bytes(tail)


def example_jpeg():
    """12345 bytes: no 0xFF in the first 100, so the first marker is a
    baseline frame header of 640 x 480; CRC-32 0a1b2c3d."""
    rng = random.Random(640480)
    lead = bytes(rng.randrange(255) for _ in range(100))
    frame = bytes([0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80])
    filler = rng.randbytes(12345 - len(lead) - len(frame) - 4)
    picture = lead + frame + filler
    picture += force_crc(picture, 0x0A1B2C3D)
    assert len(picture) == 12345 and crc(picture) == 0x0A1B2C3D
    return picture


# --- writing it all ---------------------------------------------------------

def clear_outputs():
    """Removes what an earlier run wrote, and nothing else."""
    for name in os.listdir(ZIP_FIXTURES):
        if name.endswith(".zip"):
            os.remove(os.path.join(ZIP_FIXTURES, name))
    shutil.rmtree(MALFORMED, ignore_errors=True)
    for target in FUZZ_TARGETS:
        shutil.rmtree(os.path.join(CORPUS, target), ignore_errors=True)


def write_all(folder, files):
    for name, data in files.items():
        write(os.path.join(folder, name), data)


def main():
    os.environ["TZ"] = "UTC"  # archivers record local times
    time.tzset()
    os.makedirs(ZIP_FIXTURES, exist_ok=True)
    clear_outputs()

    real = real_archiver_fixtures()
    write_all(ZIP_FIXTURES, real)

    cases = malformed_cases()
    for c in cases:
        write(os.path.join(MALFORMED, c.name + ".zip"), c.data)

    scenario = [SCENARIO_HEADER.rstrip("\n")]
    for title, _ in GROUPS:
        scenario += [""] + malformed_scenario(title, [c for c in cases if c.group == title])
    scenario += [""] + real_archiver_scenario(list(real))
    for make in PROCESS_CASES:
        archives, lines = make()
        write_all(ZIP_FIXTURES, archives)
        scenario += [""] + lines
    write(SCENARIO, ("\n".join(scenario) + "\n").encode())

    seeds = {
        "zip_reader": zip_reader_seeds(),
        "dat_reader": dat_reader_seeds(),
        "crc_reader": crc_reader_seeds(),
        "jpeg_probe": jpeg_probe_seeds(),
        "normalizers": normalizers_seeds(),
        "placement": placement_seeds(),
        "xml_catalog": xml_catalog_seeds(),
        "cmp_catalog": cmp_catalog_seeds(),
    }
    built = {c.name: c.data for c in cases}
    for name in MALFORMED_SEEDS:
        seeds["zip_reader"][f"malformed-{name}.zip"] = built[name]
    for target, files in seeds.items():
        write_all(os.path.join(CORPUS, target), files)

    linear = random_bytes(32768, 7)
    write(os.path.join(FIXTURES, "rom", "genesis-linear.bin"), linear)
    write(os.path.join(FIXTURES, "rom", "genesis.smd"), smd_interleave(linear))
    write(os.path.join(FIXTURES, "jpeg", "example-640x480.jpg"), example_jpeg())


if __name__ == "__main__":
    main()
