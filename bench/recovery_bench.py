#!/usr/bin/env python3
"""Recovery files against par2cmdline 0.8.1 on the same data in the same run:
making 10 % recovery data for a 256 MiB set of 16 pieces (`parvex protect`
against `par2 create -q -r10`, which uses both cores, and `-b16` as well, the
same slices ours have), and the repair of one deleted piece (`parvex repair`
against `par2 repair -q`, each with its own recovery files, and par2 with
ours). Then a split of 1 GiB with `--recovery 10` against `split -b && sync`, and
`verify --quick` of the set it made.
With --turbo (a par2cmdline-turbo built from its public source, which
scripts/bench.sh --turbo-source builds), the same against it, on the slices
ours have (`-s`). Prints medians, ratios and parvex's peak memory."""
import argparse
import glob
import os
import struct
import shutil
import statistics
import subprocess
import sys
import time

from split_bench import fresh, run

SET_SIZE = 256 << 20
SET_PIECE = 16 << 20


def remove(pattern):
    for path in glob.glob(pattern):
        os.remove(path)


def slice_size(index):
    """The slice size our recovery files chose, from the main packet."""
    with open(index, "rb") as f:
        data = f.read()
    at = data.find(b"PAR 2.0\0Main\0\0\0\0")
    return struct.unpack("<Q", data[at + 16:at + 24])[0]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--parvex", required=True)
    ap.add_argument("--work", default="build/bench-data")
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--turbo", help="a par2cmdline-turbo program to compare with")
    args = ap.parse_args()
    if shutil.which("par2") is None:
        sys.exit("par2cmdline is not installed (scripts/install-prerequisites.sh installs it)")
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    big = os.path.join(work, "big.bin")  # split_bench.py's 1 GiB of random bytes
    if not os.path.exists(big):
        sys.exit(f"{big} is missing: run bench/split_bench.py first")

    ours = os.path.join(work, "recovery-ours")
    theirs = os.path.join(work, "recovery-par2")
    for folder in (ours, theirs):
        fresh(folder)
    source = os.path.join(work, "set.bin")
    with open(big, "rb") as f, open(source, "wb") as g:
        g.write(f.read(SET_SIZE))
    run([args.parvex, "split", source, "--to", ours, "--bytes", str(SET_PIECE)], ours)
    for name in os.listdir(ours):
        if name.endswith(".spl"):
            shutil.copy(os.path.join(ours, name), theirs)
    pieces = sorted(glob.glob(os.path.join(theirs, "set.bin.*.spl")))
    info = os.path.join(ours, "set.bin.sio")

    t = {"protect": [], "create": [], "create -b16": [], "repair": [], "par2 repair": [], "par2 repair ours": [],
         "turbo create": [], "turbo repair": [], "turbo split create": [], "turbo split repair": []}
    peak = {"protect": 0, "repair": 0}
    lost = "set.bin.5.spl"
    for _ in range(args.rounds):
        remove(os.path.join(ours, "*.par2"))
        s, rss = run([args.parvex, "protect", info, "--recovery", "10"], ours)
        t["protect"].append(s)
        peak["protect"] = max(peak["protect"], rss)
        remove(os.path.join(theirs, "*.par2"))
        s, _ = run(["par2", "create", "-q", "-b16", "-r10", "set.bin.par2"] + [os.path.basename(p) for p in pieces],
                   theirs)
        t["create -b16"].append(s)
        remove(os.path.join(theirs, "*.par2"))
        s, _ = run(["par2", "create", "-q", "-r10", "set.bin.par2"] + [os.path.basename(p) for p in pieces], theirs)
        t["create"].append(s)
        if args.turbo:
            remove(os.path.join(theirs, "*.par2"))
            s, _ = run([args.turbo, "create", "-q", f"-s{slice_size(os.path.join(ours, 'set.bin.par2'))}", "-r10",
                        "set.bin.par2"] + [os.path.basename(p) for p in pieces], theirs)
            t["turbo create"].append(s)
            os.remove(os.path.join(theirs, lost))
            s, _ = run([args.turbo, "repair", "-q", "set.bin.par2"], theirs)
            t["turbo repair"].append(s)
            remove(os.path.join(theirs, "*.1"))
            remove(os.path.join(theirs, "*.par2"))
            s, _ = run(["par2", "create", "-q", "-r10", "set.bin.par2"] + [os.path.basename(p) for p in pieces],
                       theirs)

        os.remove(os.path.join(ours, lost))
        s, rss = run([args.parvex, "repair", info], ours)
        t["repair"].append(s)
        peak["repair"] = max(peak["repair"], rss)
        os.remove(os.path.join(theirs, lost))
        s, _ = run(["par2", "repair", "-q", "set.bin.par2"], theirs)
        t["par2 repair"].append(s)
        remove(os.path.join(theirs, "*.1"))  # par2 keeps what it replaces
        os.remove(os.path.join(ours, lost))
        s, _ = run(["par2", "repair", "-q", "set.bin.par2"], ours)
        t["par2 repair ours"].append(s)
        remove(os.path.join(ours, "*.1"))
        assert subprocess.run(["cmp", os.path.join(ours, lost), os.path.join(theirs, lost)]).returncode == 0

    # A split with recovery data against the plain split(1).
    out = os.path.join(work, "out")
    t["split --recovery 10"], t["split -b && sync"], t["split (no recovery)"] = [], [], []
    for _ in range(args.rounds):
        fresh(out)
        s, rss = run([args.parvex, "split", big, "--to", out, "--bytes", "10000000", "--recovery", "10"], out)
        t["split --recovery 10"].append(s)
        peak["split"] = max(peak.get("split", 0), rss)
        # Names, lengths, the info file and the recovery packets: no data.
        s, _ = run([args.parvex, "verify", "--quick", os.path.join(out, "big.bin.sio")], out)
        t.setdefault("verify --quick", []).append(s)
        fresh(out)
        s, _ = run([args.parvex, "split", big, "--to", out, "--bytes", "10000000"], out)
        t["split (no recovery)"].append(s)
        fresh(out)
        s, _ = run(["sh", "-c", f"split -b 10000000 '{big}' '{out}/big.bin.' && sync -f '{out}'"], out)
        t["split -b && sync"].append(s)
        if args.turbo:
            # The same recovery data made by turbo over the finished pieces,
            # and the repair of one lost piece by each.
            fresh(out)
            run([args.parvex, "split", big, "--to", out, "--bytes", "10000000", "--recovery", "10"], out)
            size = slice_size(os.path.join(out, "big.bin.par2"))
            os.remove(os.path.join(out, "big.bin.40.spl"))
            s, _ = run([args.parvex, "repair", os.path.join(out, "big.bin.sio")], out)
            t.setdefault("split repair", []).append(s)
            names = sorted(n for n in os.listdir(out) if n.endswith(".spl"))
            remove(os.path.join(out, "*.par2"))
            s, _ = run([args.turbo, "create", "-q", f"-s{size}", "-r10", "big.bin.par2"] + names, out)
            t["turbo split create"].append(s)
            os.remove(os.path.join(out, "big.bin.40.spl"))
            s, _ = run([args.turbo, "repair", "-q", "big.bin.par2"], out)
            t["turbo split repair"].append(s)

    m = {k: statistics.median(v) for k, v in t.items() if v}
    print(f"recovery: 256 MiB in 16 pieces, 10 %, median of {args.rounds} runs each")
    print("runs (s):", {k: [round(x, 2) for x in v] for k, v in t.items()})
    print(f"parvex protect {m['protect']:.2f} s, par2 create -r10 {m['create']:.2f} s "
          f"(ratio {m['create'] / m['protect']:.1f}), par2 create -b16 -r10 {m['create -b16']:.2f} s "
          f"(ratio {m['create -b16'] / m['protect']:.1f}); peak {peak['protect'] / 1024:.1f} MiB")
    print(f"parvex repair {m['repair']:.2f} s, par2 repair {m['par2 repair']:.2f} s "
          f"(ratio {m['par2 repair'] / m['repair']:.1f}), par2 repair with our files {m['par2 repair ours']:.2f} s; "
          f"peak {peak['repair'] / 1024:.1f} MiB")
    print(f"1 GiB, 10 MB pieces: parvex split --recovery 10 {m['split --recovery 10']:.2f} s, "
          f"without {m['split (no recovery)']:.2f} s, split -b && sync -f {m['split -b && sync']:.2f} s "
          f"(ratio {m['split --recovery 10'] / m['split -b && sync']:.1f} of split's time); "
          f"peak {peak['split'] / 1024:.1f} MiB")
    print(f"verify --quick of that set with its recovery files: {m['verify --quick'] * 1000:.0f} ms")
    if args.turbo:
        print(f"turbo on the same slices: protect {m['protect']:.2f} s against turbo create {m['turbo create']:.2f} s "
              f"(ratio {m['turbo create'] / m['protect']:.2f}); repair {m['repair']:.2f} s against "
              f"{m['turbo repair']:.2f} s (ratio {m['turbo repair'] / m['repair']:.2f})")
        print(f"1 GiB: split --recovery 10 {m['split --recovery 10']:.2f} s against turbo create over the pieces "
              f"{m['turbo split create']:.2f} s (ratio {m['turbo split create'] / m['split --recovery 10']:.2f}); "
              f"repair of one lost piece {m['split repair']:.2f} s against {m['turbo split repair']:.2f} s "
              f"(ratio {m['turbo split repair'] / m['split repair']:.2f})")
    for folder in (ours, theirs, out):
        shutil.rmtree(folder, ignore_errors=True)
    os.remove(source)


if __name__ == "__main__":
    main()
