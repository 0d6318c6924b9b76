#!/usr/bin/env python3
"""Splits one 1 GiB file into 10,000,000-byte pieces with parvex and with
`split -b 10000000 && sync -f`, joins the pieces with parvex and with
`cat > out && sync out` (parvex puts what it writes on the disk before it
reports success, so the standard tools are timed until theirs is there too),
and checks them with `parvex verify` and with `xxhsum -H2`, alternating runs
on the same data; prints the throughputs, their ratios and parvex's peak
memory. With
--wine-cli it also times the Windows build under wine64 against cmd's
`copy /b` on 300 MB in 10 MB pieces, in the same run."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

SIZE = 1 << 30
PIECE = 10_000_000


def run(cmd, cwd, env=None, output=None):
    """Wall time and peak resident memory (KiB) of one run. The memory comes
    from /usr/bin/time: a child forked from Python inherits Python's peak."""
    report = os.path.join(cwd, ".time")
    start = time.perf_counter()
    # Output goes to a file, as a user's redirection would: the null device
    # looks like a terminal to some programs, which then draw progress.
    sink = open(output or os.path.join(cwd, ".output"), "wb")
    proc = subprocess.run(["/usr/bin/time", "-o", report, "-f", "%M"] + cmd, cwd=cwd,
                          stdout=sink, stderr=sink, env=env)
    sink.close()
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


def report(ours, theirs, label, their_label, peak):
    """Medians of both, as speed, and how many times faster ours is."""
    mib = SIZE / (1 << 20)
    o, t = statistics.median(ours), statistics.median(theirs)
    width = max(len(label), len(their_label)) + 1
    print(f"{label + ':':<{width}} {mib / o:8.1f} MiB/s  ({o:.2f} s)")
    print(f"{their_label + ':':<{width}} {mib / t:8.1f} MiB/s  ({t:.2f} s)")
    print(f"ratio {label}/{their_label}: {t / o:.2f}")
    print(f"{label} peak memory: {peak / 1024:.1f} MiB")


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
        t, _ = run(["sh", "-c", f"split -b {PIECE} '{source}' '{out}/big.bin.' && sync -f '{out}'"], out)
        results["split"].append(t)

    # Join: the pieces of the last parvex split back into one file, next to
    # cat of the same pieces.
    pieces = os.path.join(work, "pieces")
    fresh(pieces)
    run([args.parvex, "split", source, "--to", pieces, "--bytes", str(PIECE)], pieces)
    names = [os.path.join(pieces, f"big.bin.{i}.spl") for i in range(108)]
    results["join"], results["cat"], results["verify"], results["xxhsum"] = [], [], [], []
    join_peak = verify_peak = 0
    for _ in range(args.rounds):
        t, rss = run([args.parvex, "verify", os.path.join(pieces, "big.bin.sio")], pieces)
        results["verify"].append(t)
        verify_peak = max(verify_peak, rss)
        t, _ = run(["xxhsum", "-H2"] + names, pieces)
        results["xxhsum"].append(t)
        fresh(out)
        t, rss = run([args.parvex, "join", os.path.join(pieces, "big.bin.sio"), "--to", out], out)
        results["join"].append(t)
        join_peak = max(join_peak, rss)
        assert os.path.getsize(os.path.join(out, "big.bin")) == SIZE
        fresh(out)
        target = os.path.join(out, "big.bin")
        start = time.perf_counter()
        subprocess.run(["sh", "-c", 'cat "$@" > "$0" && sync "$0"', target] + names, check=True)
        results["cat"].append(time.perf_counter() - start)
    shutil.rmtree(pieces, ignore_errors=True)

    print(f"source: 1 GiB, pieces of {PIECE:,} bytes, median of {args.rounds} runs each")
    print("runs (s):", {k: [round(t, 2) for t in v] for k, v in results.items()})
    for ours, theirs, label, their_label, our_peak in (
        ("parvex", "split", "parvex split", "split -b && sync -f", peak),
        ("join", "cat", "parvex join", "cat > out && sync out", join_peak),
        ("verify", "xxhsum", "parvex verify", "xxhsum -H2", verify_peak),
    ):
        report(results[ours], results[theirs], label, their_label, our_peak)

    if args.wine_cli:
        wine_bench(args, work, source)
    shutil.rmtree(out, ignore_errors=True)


def windows(path):
    return "Z:" + path.replace("/", "\\")


def wine_bench(args, work, big):
    """The Windows build against cmd's own copy, on 300 MB in 10 MB pieces:
    split against copying the whole file, join against copy /b of the pieces."""
    wine = os.environ.get("WINE64", "/usr/lib/wine/wine64")
    size = 300_000_000
    folder = os.path.join(work, "wine")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    source = os.path.join(folder, "w.bin")
    with open(big, "rb") as f, open(source, "wb") as g:
        g.write(f.read(size))
    pieces = os.path.join(folder, "pieces")
    out = os.path.join(folder, "out")
    times = {"split": [], "copy": [], "join": [], "copy /b": []}
    count = (size + PIECE - 1) // PIECE
    joined = "+".join(f"w.bin.{i}.spl" for i in range(count))
    for _ in range(args.rounds):
        fresh(pieces)
        t, _ = run([wine, args.wine_cli, "split", windows(source), "--to", windows(pieces), "--bytes", str(PIECE)],
                   pieces, output=os.path.join(folder, ".output"))
        times["split"].append(t)
        fresh(out)
        t, _ = run([wine, "cmd", "/c", "copy", "/b", windows(source), windows(os.path.join(out, "w.bin"))], out)
        times["copy"].append(t)
        fresh(out)
        t, _ = run([wine, args.wine_cli, "join", "w.bin.sio", "--to", windows(out)], pieces,
                   output=os.path.join(folder, ".output"))
        times["join"].append(t)
        assert os.path.getsize(os.path.join(out, "w.bin")) == size
        fresh(out)
        t, _ = run([wine, "cmd", "/c", "copy", "/b", joined, windows(os.path.join(out, "w.bin"))], pieces,
                   output=os.path.join(folder, ".output"))
        times["copy /b"].append(t)
    m = {k: statistics.median(v) for k, v in times.items()}
    print(f"under wine64, 300 MB in {count} pieces of 10 MB, median of {args.rounds} runs, Wine start included:")
    print(f"  parvex-cli.exe split {m['split']:.2f} s, cmd copy of the file {m['copy']:.2f} s, "
          f"ratio {m['split'] / m['copy']:.2f} of copy's time")
    print(f"  parvex-cli.exe join  {m['join']:.2f} s, cmd copy /b of the pieces {m['copy /b']:.2f} s, "
          f"ratio {m['join'] / m['copy /b']:.2f} of copy's time")
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
