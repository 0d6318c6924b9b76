#!/usr/bin/env python3
"""A folder of TOTAL files, among them a set of PIECES one-byte pieces
whose last piece is missing: what a window test's start checks walk. Made
here, natively, because under Wine every file made in a folder is compared
with every name already in it.

    make_many_files.py FOLDER TOTAL PIECES
"""
import os
import shutil
import struct
import sys

folder, total, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
shutil.rmtree(folder, ignore_errors=True)
os.makedirs(folder)
name = b"many.bin"
with open(os.path.join(folder, "many.bin.sio"), "wb") as f:
    f.write(struct.pack("<I", count) + name.ljust(260, b"\0") + struct.pack("<I", count))
for i in range(count - 1):
    with open(os.path.join(folder, "many.bin.%d.spl" % i), "wb") as f:
        f.write(b"x")
for i in range(total - count):
    open(os.path.join(folder, "other.%d.dat" % i), "wb").close()
