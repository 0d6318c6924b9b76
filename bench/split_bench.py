#!/usr/bin/env python3
"""Splits one 1 GiB file into 10,000,000-byte pieces with parvex and with
`split -b 10000000`, and joins the pieces with parvex and with cat,
alternating runs on the same data; prints the throughputs, their ratios and
parvex's peak memory. With --wine-cli it also
times the Windows build under wine64 on the same file."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

SIZE = 1 << 30
PIECE = 10_000_000


def run(cmd, cwd, env=None):
    """Wall time and peak resident memory (KiB) of one run. The memory comes
    from /usr/bin/time: a child forked from Python inherits Python's peak."""
    report = os.path.join(cwd, ".time")
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-o", report, "-f", "%M"] + cmd, cwd=cwd,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit(f"failed: {' '.join(cmd)}")
    with open(report) as f:
        peak = int(f.read().split()[-1])
    os.remove(report)
    return elapsed, peak


def fresh(folder):
    """An empty output folder, with the previous run's dirty pages written
    back, so that no run pays for another's writeback."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    os.sync()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--parvex", required=True)
    ap.add_argument("--work", default="build/bench-data")
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--wine-cli", help="parvex-cli.exe to time under wine64")
    args = ap.parse_args()

    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    source = os.path.join(work, "big.bin")
    if not os.path.exists(source) or os.path.getsize(source) != SIZE:
        with open(source, "wb") as f:
            block = os.urandom(1 << 20)
            for _ in range(SIZE >> 20):
                f.write(block)
    out = os.path.join(work, "out")

    results = {"parvex": [], "split": []}
    peak = 0
    for _ in range(args.rounds):
        fresh(out)
        t, rss = run([args.parvex, "split", source, "--to", out, "--bytes", str(PIECE)], out)
        results["parvex"].append(t)
        peak = max(peak, rss)
        assert os.path.getsize(os.path.join(out, "big.bin.107.spl")) == SIZE - 107 * PIECE
        fresh(out)
        t, _ = run(["split", "-b", str(PIECE), source, os.path.join(out, "big.bin.")], out)
        results["split"].append(t)

    # Join: the pieces of the last parvex split back into one file, next to
    # cat of the same pieces.
    pieces = os.path.join(work, "pieces")
    fresh(pieces)
    run([args.parvex, "split", source, "--to", pieces, "--bytes", str(PIECE)], pieces)
    names = [os.path.join(pieces, f"big.bin.{i}.spl") for i in range(108)]
    results["join"], results["cat"] = [], []
    join_peak = 0
    for _ in range(args.rounds):
        fresh(out)
        t, rss = run([args.parvex, "join", os.path.join(pieces, "big.bin.sio"), "--to", out], out)
        results["join"].append(t)
        join_peak = max(join_peak, rss)
        assert os.path.getsize(os.path.join(out, "big.bin")) == SIZE
        fresh(out)
        with open(os.path.join(out, "big.bin"), "wb") as target:
            start = time.perf_counter()
            subprocess.run(["cat"] + names, stdout=target, check=True)
            results["cat"].append(time.perf_counter() - start)
    shutil.rmtree(pieces, ignore_errors=True)

    mib = SIZE / (1 << 20)
    p = statistics.median(results["parvex"])
    s = statistics.median(results["split"])
    print(f"source: 1 GiB, pieces of {PIECE:,} bytes, median of {args.rounds} runs each")
    print(f"parvex:    {mib / p:8.1f} MiB/s  ({p:.2f} s)")
    print(f"split -b:  {mib / s:8.1f} MiB/s  ({s:.2f} s)")
    print(f"ratio parvex/split: {s / p:.2f}")
    print("runs (s):", {k: [round(t, 2) for t in v] for k, v in results.items()})
    print(f"parvex peak memory: {peak / 1024:.1f} MiB")
    j = statistics.median(results["join"])
    c = statistics.median(results["cat"])
    print(f"parvex join: {mib / j:8.1f} MiB/s  ({j:.2f} s)")
    print(f"cat:         {mib / c:8.1f} MiB/s  ({c:.2f} s)")
    print(f"ratio join/cat: {c / j:.2f}")
    print(f"parvex join peak memory: {join_peak / 1024:.1f} MiB")

    if args.wine_cli:
        env = dict(os.environ)
        times = []
        for _ in range(args.rounds):
            fresh(out)
            t, _ = run(["/usr/lib/wine/wine64", args.wine_cli, "split", "Z:" + source.replace("/", "\\"),
                        "--to", "Z:" + out.replace("/", "\\"), "--bytes", str(PIECE)], out, env)
            times.append(t)
        w = statistics.median(times)
        print(f"parvex-cli.exe under wine64: {mib / w:8.1f} MiB/s  ({w:.2f} s, Wine start included)")
    shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    main()
