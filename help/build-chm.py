#!/usr/bin/env python3
"""Builds the help file from its pages so that one commit gives one file.

chmcmd writes the clock's time of day twice (the ITSF header and the
#SYSTEM file's entry 10), reading it by a system call faketime cannot see,
and with address randomisation on it also writes leftover heap bytes into
the compressed keyword map. So it runs with randomisation off, and both
times are then set to the commit's.

    build-chm.py PAGES_DIR PROJECT.hhp OUTPUT.chm SOURCE_DATE_EPOCH
"""
import os
import shutil
import struct
import subprocess
import sys


def encint(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def find_entry(data, wanted):
    """(section, offset, length) of an entry in the listing chunks."""
    dir_offset = struct.unpack_from("<Q", data, 0x48)[0]
    if data[dir_offset:dir_offset + 4] != b"ITSP":
        raise ValueError("no directory header")
    header_len, = struct.unpack_from("<I", data, dir_offset + 8)
    chunk_size, = struct.unpack_from("<I", data, dir_offset + 0x10)
    chunks, = struct.unpack_from("<I", data, dir_offset + 0x2C)
    for index in range(chunks):
        start = dir_offset + header_len + index * chunk_size
        if data[start:start + 4] != b"PMGL":
            continue
        free, = struct.unpack_from("<I", data, start + 4)
        pos, end = start + 0x14, start + chunk_size - free
        while pos < end:
            length, pos = encint(data, pos)
            name = bytes(data[pos:pos + length])
            pos += length
            section, pos = encint(data, pos)
            offset, pos = encint(data, pos)
            size, pos = encint(data, pos)
            if name == wanted:
                return section, offset, size
    raise ValueError("no %s in the help file" % wanted.decode())


def pin_dates(data, epoch):
    if data[:4] != b"ITSF" or struct.unpack_from("<I", data, 4)[0] != 3:
        raise ValueError("not a version 3 ITSF file")
    stamp = (epoch % 86400) * 1000  # what chmcmd writes: milliseconds of the day
    struct.pack_into(">I", data, 0x10, stamp)
    section, offset, size = find_entry(data, b"/#SYSTEM")
    if section != 0:
        raise ValueError("#SYSTEM is compressed")
    content, = struct.unpack_from("<Q", data, 0x58)
    pos, end = content + offset + 4, content + offset + size
    while pos + 4 <= end:
        code, length = struct.unpack_from("<HH", data, pos)
        if code == 10 and length >= 4:
            struct.pack_into("<I", data, pos + 4, stamp)
        pos += 4 + length


def main():
    pages, project, output, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4] or 0)
    command = ["chmcmd", project]
    if shutil.which("setarch") and subprocess.run(["setarch", "-R", "true"]).returncode == 0:
        command = ["setarch", "-R"] + command
    else:
        print("build-chm: address randomisation stays on; the help file may differ between builds",
              file=sys.stderr)
    subprocess.run(command, cwd=pages, check=True, stdout=subprocess.DEVNULL)
    built = os.path.join(pages, os.path.splitext(project)[0] + ".chm")
    with open(built, "rb") as f:
        data = bytearray(f.read())
    pin_dates(data, epoch)
    with open(output + ".part", "wb") as f:
        f.write(data)
    os.replace(output + ".part", output)


if __name__ == "__main__":
    main()
