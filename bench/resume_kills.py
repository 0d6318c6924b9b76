#!/usr/bin/env python3
"""Kills a split of a 2 GiB file into 10,000,000-byte pieces, and a rejoin
of those pieces, with SIGKILL at random points, continues each with
`--yes`, and checks that the set (the file) is byte-identical to an
uninterrupted run's and that the continued run wrote again at most one
piece's bytes into pieces (into the part of the file a rejoin keeps):
what its write calls put there under strace, less what the killed run
had not written yet. Prints one line per kill and
the worst case. Needs strace; about two minutes on a local disk."""
import argparse
import filecmp
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

PIECE = 10_000_000
WRITE = re.compile(r'^\d+\s+(?:write|pwrite64)\((\d+)<([^>]*)>, .*\) = (\d+)$')


def written(cmd, cwd, into):
    """Runs `cmd` to its end under strace; the bytes its write calls put
    into files whose names end with one of `into`."""
    log = os.path.join(cwd, ".strace")
    proc = subprocess.run(["strace", "-f", "-qq", "-y", "-e", "trace=write,pwrite64", "-e", "signal=none",
                           "-s", "0", "-o", log] + cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}\n{proc.stderr.decode(errors='replace')}")
    total = 0
    with open(log) as f:
        for line in f:
            m = WRITE.match(line.strip())
            if m and m.group(2).endswith(into):
                total += int(m.group(3))
    os.remove(log)
    return total


def killed_after(cmd, cwd, seconds):
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(seconds)
    proc.send_signal(signal.SIGKILL)
    proc.wait()
    return proc.returncode


def timed(cmd, cwd):
    start = time.perf_counter()
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def same_folders(a, b):
    names = sorted(os.listdir(a))
    if names != sorted(os.listdir(b)):
        return False
    return all(filecmp.cmp(os.path.join(a, n), os.path.join(b, n), shallow=False) for n in names)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--parvex", required=True)
    ap.add_argument("--dir", default="/var/tmp/parvex-resume")
    ap.add_argument("--size", type=int, default=2 << 30)
    ap.add_argument("--kills", type=int, default=10)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    if not shutil.which("strace"):
        sys.exit("strace is needed to count the bytes written")
    rng = random.Random(args.seed)
    root = args.dir
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    source = os.path.join(root, "source.bin")
    with open(source, "wb") as f:
        left = args.size
        while left:
            n = min(left, 64 << 20)
            f.write(rng.randbytes(n))
            left -= n
    parvex = os.path.abspath(args.parvex)
    split = lambda to: [parvex, "split", source, "--to", to, "--bytes", str(PIECE), "--yes"]
    reference = os.path.join(root, "reference")
    os.makedirs(reference)
    split_time = timed(split(reference), root)
    info = os.path.join(reference, "source.bin.sio")
    join = lambda to: [parvex, "join", info, "--to", to, "--yes"]
    plain = os.path.join(root, "plain")
    os.makedirs(plain)
    join_time = timed(join(plain), root)
    shutil.rmtree(plain)
    print(f"uninterrupted: split {split_time:.2f} s, join {join_time:.2f} s, {args.size} bytes, {PIECE}-byte pieces")

    worst = {"split": 0, "join": 0}
    for kind, run_time in (("split", split_time), ("join", join_time)):
        for k in range(args.kills):
            at = rng.uniform(0.05, 0.7) * run_time  # the end of a run is mostly its last flush
            out = os.path.join(root, f"{kind}-{k}")
            os.makedirs(out)
            cmd = split(out) if kind == "split" else join(out)
            killed_after(cmd, root, at)
            into = (".spl",) if kind == "split" else (".partial",)
            names = os.listdir(out)
            # What the killed run had written: the files' lengths (room set
            # aside ahead does not count in them).
            before = sum(os.path.getsize(os.path.join(out, n)) for n in names if n.endswith(into))
            finished = (kind == "split" and "source.bin.sio" in names and not any(n.endswith(".state") for n in names)) \
                or (kind == "join" and "source.bin" in names)
            if finished:
                print(f"{kind} killed at {at:5.2f} s: it had finished")
                shutil.rmtree(out)
                continue
            again = max(0, written(cmd, root, into) - (args.size - before))
            if kind == "split":
                exact = same_folders(out, reference)
            else:
                exact = sorted(os.listdir(out)) == ["source.bin"] and filecmp.cmp(
                    os.path.join(out, "source.bin"), source, shallow=False)
            worst[kind] = max(worst[kind], again)
            print(f"{kind} killed at {at:5.2f} s: continued writing {again:>10} bytes again "
                  f"({again / PIECE:.2f} pieces), {'identical' if exact else 'DIFFERENT'}")
            if not exact or again > PIECE:
                sys.exit(f"{kind}: {'not identical' if not exact else 'more than one piece written again'}")
            shutil.rmtree(out)
    print(f"worst: split {worst['split'] / PIECE:.2f} pieces, join {worst['join'] / PIECE:.2f} pieces written again")
    shutil.rmtree(root)


if __name__ == "__main__":
    main()
