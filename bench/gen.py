#!/usr/bin/env python3
"""Makes the product tree and script source of one benchmark package.

    gen.py OUTDIR --files N (--total BYTES | --min BYTES --max BYTES)
           [--big BYTES,BYTES...] [--seed S]

Writes OUTDIR/root/... and OUTDIR/setup.src. Everything follows from the
seed: the same arguments give the same bytes. Even-numbered files hold
text-like data (words drawn from a fixed vocabulary, compressible), odd ones
random bytes, so about half the data compresses and half does not. Files lie
in a tree of 8 top folders with about 10 files per leaf folder, so the work
per file stays the same at every package size.
"""
import argparse
import os
import random
import string

LEAF_FILES = 10
TOP_FOLDERS = 8


def vocabulary(rng, count=4000):
    words = []
    for _ in range(count):
        length = min(12, max(2, int(rng.expovariate(1 / 5.0)) + 2))
        words.append("".join(rng.choice(string.ascii_lowercase) for _ in range(length)))
    return words


def text_pool(rng, size):
    """About `size` bytes of text: sentences of Zipf-weighted words."""
    words = vocabulary(rng)
    weights = [1.0 / (rank + 1) for rank in range(len(words))]
    out = []
    produced = 0
    while produced < size:
        chosen = rng.choices(words, weights, k=20000)
        lines = []
        for start in range(0, len(chosen), 12):
            sentence = " ".join(chosen[start:start + 12])
            lines.append(sentence.capitalize() + ".")
        chunk = "\r\n".join(lines).encode("ascii") + b"\r\n"
        out.append(chunk)
        produced += len(chunk)
    return b"".join(out)[:size]


def sizes_for(rng, args):
    if args.total:
        big = [int(b) for b in args.big.split(",")] if args.big else []
        rest = args.files - len(big)
        weights = [rng.uniform(0.25, 1.75) for _ in range(rest)]
        budget = args.total - sum(big)
        sizes = [max(1, int(w * budget / sum(weights))) for w in weights]
        sizes[-1] += budget - sum(sizes)  # the total is exact
        return big + sizes
    return [rng.randint(args.min, args.max) for _ in range(args.files)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("--files", type=int, required=True)
    parser.add_argument("--total", type=int, default=0)
    parser.add_argument("--min", type=int, default=1024)
    parser.add_argument("--max", type=int, default=4096)
    parser.add_argument("--big", default="")
    parser.add_argument("--seed", type=int, default=20091201)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    sizes = sizes_for(rng, args)
    largest = max(sizes, default=0)
    pool = text_pool(rng, max(4 << 20, min(32 << 20, 2 * largest)))

    root = os.path.join(args.outdir, "root")
    second_level = max(1, args.files // (TOP_FOLDERS * LEAF_FILES))
    lines = ["action=path,Registry=QBench\\Bench,Version=1.0,PgmPath=*Programs*\\QBench,"
             "DataPath=*PgmPath*\\Daten"]
    for index, size in enumerate(sizes):
        folder = "mod%d\\g%03d" % (index % TOP_FOLDERS, (index // TOP_FOLDERS) % second_level)
        if index % 2 == 0:
            name = "f%05d.txt" % index
            start = rng.randrange(0, len(pool) - size + 1) if size < len(pool) else 0
            data = pool[start:start + size]
            while len(data) < size:
                data += pool[:size - len(data)]
        else:
            name = "f%05d.dat" % index
            data = rng.randbytes(size)
        relative = folder + "\\" + name
        path = os.path.join(root, *relative.split("\\"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        lines.append("action=save,Source=%s,Filename=*PgmPath*\\%s" % (relative, relative))
    lines.append("action=uninst,name=QBench")
    with open(os.path.join(args.outdir, "setup.src"), "wb") as out:
        out.write(("\r\n".join(lines) + "\r\n").encode("ascii"))
    print("files=%d bytes=%d largest=%d" % (len(sizes), sum(sizes), largest))


if __name__ == "__main__":
    main()
