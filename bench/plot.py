#!/usr/bin/env python3
"""Draws the benchmark result: install time and peak memory against package
size, engine and baseline. Needs Debian's python3-matplotlib.

    plot.py POINTS.json OUT.png
"""
import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main(argv):
    with open(argv[1]) as f:
        points = json.load(f)
    labels = {"eng": "engine (path-only + full run)", "base": "baseline (single thread)"}
    fig, (times, memory) = plt.subplots(1, 2, figsize=(11, 4.2))
    for kind, rows in sorted(points.items()):
        rows.sort()
        sizes = [r[0] for r in rows]
        times.plot(sizes, [r[1] for r in rows], marker="o", label=labels.get(kind, kind))
        memory.plot(sizes, [r[2] for r in rows], marker="o", label=labels.get(kind, kind))
    times.set_title("Full install: wall time")
    times.set_xlabel("unpacked package size, MiB")
    times.set_ylabel("seconds (median)")
    memory.set_title("Peak memory (VmHWM)")
    memory.set_xlabel("unpacked package size, MiB")
    memory.set_ylabel("MiB")
    for axis in (times, memory):
        axis.grid(True, alpha=0.3)
        axis.legend()
    fig.suptitle("About 2,000 files each; x86_64 build under wine64, 2 cores")
    fig.tight_layout()
    fig.savefig(argv[2], dpi=100)


if __name__ == "__main__":
    main(sys.argv)
