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


PEER_LABELS = {"zlib": "ours, zlib", "zstd": "ours, zstd", "nsis-zlib": "NSIS zlib", "nsis-lzma": "NSIS LZMA solid"}


def draw_peer(peer, axes):
    """Grouped bars per package: size and silent install time of each program."""
    sets = sorted(peer, key=lambda name: float(name.split()[0]))
    kinds = [k for k in PEER_LABELS if any(k in peer[s] for s in sets)]
    width = 0.8 / max(1, len(kinds))
    for axis, field, title, unit in ((axes[0], 0, "Package size", "MB"), (axes[1], 1, "Silent install", "seconds")):
        for i, kind in enumerate(kinds):
            xs = [j + i * width for j in range(len(sets))]
            values = [peer[s].get(kind, [0, 0, 0])[field] for s in sets]
            bars = axis.bar(xs, values, width, label=PEER_LABELS[kind])
            axis.bar_label(bars, fmt="%.0f" if field == 0 else "%.1f", fontsize=7)
        axis.set_xticks([j + width * (len(kinds) - 1) / 2 for j in range(len(sets))])
        axis.set_xticklabels(["%s tree" % s for s in sets])
        axis.set_title("%s: ours and the peer (NSIS)" % title)
        axis.set_ylabel(unit)
        axis.grid(True, axis="y", alpha=0.3)
        axis.legend(fontsize=8)


def draw_engine(points, labels, axes):
    """Install time and peak memory against package size, engine and baseline."""
    times, memory = axes
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


def main(argv):
    with open(argv[1]) as f:
        data = json.load(f)
    points, peer = data.get("points", {}), data.get("peer", {})
    labels = {"eng": "engine (path-only + full run)", "base": "baseline (single thread)"}
    rows = (1 if points else 0) + (1 if peer else 0)
    fig, axes = plt.subplots(max(rows, 1), 2, figsize=(11, 4.2 * max(rows, 1)), squeeze=False)
    if points:
        draw_engine(points, labels, axes[0])
    if peer:
        draw_peer(peer, axes[rows - 1])
    fig.suptitle("About 2,000 files each; x86_64 build under wine64, 2 cores")
    fig.tight_layout()
    fig.savefig(argv[2], dpi=100)


if __name__ == "__main__":
    main(sys.argv)
