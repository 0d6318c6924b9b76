#!/usr/bin/env python3
"""Disks for drive A: of a Wine prefix, and a user who changes them.

The drive is a small tmpfs mounted at WORK/a that Wine knows as a floppy
drive. Changing the disk unmounts it and mounts another (an empty one, or
one saved earlier), each with a serial number of its own, and tells Wine's
mount manager (parvex_drivetool.exe) so that running programs see the new
disk.

  floppy.py cli WORK CLI_EXE DRIVETOOL SOURCE
      splits SOURCE onto disks with parvex-cli.exe on a terminal, answering
      each request for another disk by putting an empty one in, then
      rejoins the set from the disks in the same way, and checks the file.
  floppy.py serve WORK DRIVETOOL
      changes disks when a window test asks: it writes WORK/request
      ("empty", "first" or "next") and waits for WORK/done.
"""
import os
import pty
import select
import shutil
import subprocess
import sys
import time

DISK_SIZE = "1440k"
WINE64 = os.environ.get("WINE_PROGRAM", os.environ.get("WINE64", "/usr/lib/wine/wine64"))


class Drive:
    def __init__(self, work, drivetool, tag):
        self.work = work
        self.tag = tag
        self.mount = os.path.join(work, "a")
        self.drivetool = drivetool
        self.saved = []      # folders holding the disks filled so far
        self.inserted = -1   # which saved disk is in the drive (-1: a new one)
        self.serial = 0x5A000000

    def _run(self, *command):
        subprocess.run(command, check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _mount(self, serial, contents=None):
        if os.path.ismount(self.mount):
            # Taken out: what still refers to the old disk keeps it, as a
            # program's handles on a disk pulled from the drive do.
            self._run("umount", "-l", self.mount)
        os.makedirs(self.mount, exist_ok=True)
        self._run("mount", "-t", "tmpfs", "-o", "size=" + DISK_SIZE, "parvex-floppy", self.mount)
        if contents:
            for name in os.listdir(contents):
                shutil.copy2(os.path.join(contents, name), os.path.join(self.mount, name))
        with open(os.path.join(self.mount, ".windows-serial"), "w") as f:
            f.write("%X\n" % serial)
        # Wine keeps the old disk's serial until the drive is defined anew.
        self._run(WINE64, self.drivetool, "a", self.mount)

    def first(self):
        """An empty first disk, at the start."""
        self.serial += 1
        self._mount(self.serial)

    def save(self):
        """Keeps what the disk in the drive holds."""
        folder = os.path.join(self.work, "%s-disk%d" % (self.tag, len(self.saved)))
        shutil.copytree(self.mount, folder)
        self.saved.append(folder)

    def empty(self):
        """The user takes the full disk out and puts an empty one in."""
        self.save()
        self.serial += 1
        self._mount(self.serial)

    def insert(self, index):
        """Puts a disk filled earlier back in."""
        self.inserted = index
        with open(os.path.join(self.saved[index], ".windows-serial")) as f:
            serial = int(f.read().strip(), 16)
        self._mount(serial, self.saved[index])

    def next(self):
        self.insert(self.inserted + 1)

    def unmount(self):
        if os.path.ismount(self.mount):
            subprocess.run(["umount", "-l", self.mount])


def on_terminal(command, answer_disk, limit=40, timeout=300):
    """Runs a console program on a terminal; each time it asks for a disk,
    `answer_disk` changes it and the program is answered OK. Returns the
    exit code and what the terminal showed."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(command[0], command)
    seen = b""
    pending = b""
    asked = 0
    end = time.time() + timeout
    while time.time() < end:
        ready, _, _ = select.select([fd], [], [], 1.0)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            break
        if not chunk:
            break
        seen += chunk
        pending += chunk
        if b"[o/c]" in pending:
            asked += 1
            if asked > limit:
                os.write(fd, b"c\r")
            else:
                if b"disk" in pending.lower():
                    answer_disk()
                os.write(fd, b"o\r")
            pending = b""
    else:
        os.kill(pid, 9)
    _, status = os.waitpid(pid, 0)
    code = os.waitstatus_to_exitcode(status)
    return code, seen.decode("utf-8", "replace"), asked


def windows(path):
    return "Z:" + path.replace("/", "\\")


def cli(work, exe, drivetool, source):
    drive = Drive(work, drivetool, "terminal")
    try:
        drive.first()
        out = os.path.join(work, "out")
        os.makedirs(out, exist_ok=True)
        code, shown, asked = on_terminal([WINE64, exe, "split", windows(source), "--to", "A:\\", "--floppy"],
                                         drive.empty)
        if code != 0 or asked < 2:
            print(shown)
            print("FAIL split: exit %d after %d disk requests" % (code, asked))
            return 1
        drive.save()
        disks = len(drive.saved)
        drive.insert(0)
        name = os.path.basename(source)
        code, shown, asked = on_terminal([WINE64, exe, "join", "A:\\" + name + ".sio", "--to", windows(out)],
                                         drive.next)
        if code != 0 or asked != disks - 1:
            print(shown)
            print("FAIL join: exit %d after %d disk requests for %d disks" % (code, asked, disks))
            return 1
        with open(source, "rb") as a, open(os.path.join(out, name), "rb") as b:
            if a.read() != b.read():
                print("FAIL: the file rejoined from %d disks differs" % disks)
                return 1
        print("split onto %d disks and rejoined from them: exact" % disks)
        return 0
    finally:
        drive.unmount()


def serve(work, drivetool, lifetime=600):
    drive = Drive(work, drivetool, "window")
    request = os.path.join(work, "request")
    done = os.path.join(work, "done")
    end = time.time() + lifetime
    try:
        drive.first()
        open(done, "w").close()
        while time.time() < end:
            if not os.path.exists(request):
                time.sleep(0.05)
                continue
            with open(request) as f:
                what = f.read().strip()
            os.remove(request)
            if what == "empty":
                drive.empty()
            elif what == "first":
                drive.save()
                drive.insert(0)
            elif what == "next":
                drive.next()
            elif what == "stop":
                break
            open(done, "w").close()
    finally:
        drive.unmount()
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 6 and sys.argv[1] == "cli":
        sys.exit(cli(*sys.argv[2:]))
    if len(sys.argv) == 4 and sys.argv[1] == "serve":
        sys.exit(serve(*sys.argv[2:]))
    print(__doc__)
    sys.exit(2)
