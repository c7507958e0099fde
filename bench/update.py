#!/usr/bin/env python3
"""Update sizes: our update beside the whole zstd package and the binary
differs a publisher would otherwise use (Debian's bsdiff, xdelta3 and zstd's
--patch-from), on pairs this script makes itself.

    update.py --setuppack PATH --stub STUB --data DIR [--stub-at REV | --stub-pair OLD,NEW] [--runs N]

Pairs:
- tree: a bench tree (gen.py) and a copy edited as a release edits a product:
  a tenth of the files changed at a few places (bytes replaced, inserted,
  removed), a few files added and a few removed;
- lib: libcrypto and libssl of Debian's stable libssl3 and of its security
  update (apt-get download, the versions apt knows);
- stub: Setup-stub.exe (x86_64) built from the sources at an earlier commit
  (--stub-at, kept in DIR by its commit) beside the one of this tree; or two
  given files (--stub-pair).

For the tree the update is a whole package and is compared with the next
version's whole zstd package (target: at most 0.15 of it). For a single
binary our figure is the patch's bytes as `setuppack list` shows them
(target: at most 0.95 of bsdiff's).

Run through scripts/with-wine (WINE set), the tree's update is also
installed: in every round the base is installed afresh, then the update
runs silently over it, and again the base, then the whole next setup.
Targets: the update's median time at most the whole setup's, and its peak
memory (VmHWM) within the full install's limit, 64 MiB + 2 x the largest
file. Prints a Markdown table; exits 1 when a target is missed.
"""
import argparse
import glob
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bench"))
from run import Runner, drive_c, median, win_path  # noqa: E402
MiB = 1 << 20
TREE_ARGS = ["--files", "300", "--total", str(24 << 20), "--seed", "31"]


def run(*args, **kw):
    return subprocess.run(list(args), check=True, stdout=subprocess.PIPE, **kw).stdout


def edit_tree(root, seed=5):
    """The next release of the tree at `root`, in place."""
    rng = random.Random(seed)
    files = sorted(glob.glob(os.path.join(root, "**", "*.*"), recursive=True))
    for path in rng.sample(files, len(files) // 10):
        data = bytearray(open(path, "rb").read())
        for _ in range(rng.randint(2, 6)):
            at = rng.randrange(len(data))
            kind = rng.choice(("replace", "insert", "remove"))
            if kind == "replace":
                data[at:at + 4] = bytes(rng.randrange(256) for _ in range(4))
            elif kind == "insert":
                data[at:at] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 64)))
            else:
                del data[at:at + rng.randint(1, 64)]
        open(path, "wb").write(bytes(data))
    removed = rng.sample(files, 3)
    for path in removed:
        os.remove(path)
    added = [os.path.join(os.path.dirname(files[i]), "added%d.bin" % i) for i in rng.sample(range(len(files)), 3)]
    for path in added:
        open(path, "wb").write(bytes(rng.randrange(256) for _ in range(rng.randint(2000, 40000))))
    return removed, added


def script_for(root, version):
    lines = ["action=path,Registry=QBench\\QBench,Version=%s,PgmPath=*Programs*\\QBench" % version]
    for path in sorted(glob.glob(os.path.join(root, "**", "*.*"), recursive=True)):
        rel = os.path.relpath(path, root).replace("/", "\\")
        lines.append("action=save,Source=%s,Filename=*PgmPath*\\%s" % (rel, rel))
    lines.append("action=uninst,name=QBench")
    return "\r\n".join(lines) + "\r\n"


def package(setuppack, stub, root, version, out):
    src = out + ".src"
    open(src, "w").write(script_for(root, version))
    run(setuppack, "build", "--stub", stub, "--script", src, "--root", root, "--codec", "zstd", "-o", out)
    return os.path.getsize(out)


def our_patch(setuppack, stub, work, old, new):
    """Bytes of our patch of one file: two one-file packages and their update."""
    sizes = {}
    for version, path in (("1", old), ("2", new)):
        root = os.path.join(work, "root" + version)
        os.makedirs(root)
        shutil.copy(path, os.path.join(root, "file.bin"))
        sizes[version] = package(setuppack, stub, root, version, os.path.join(work, "p%s.exe" % version))
    update = os.path.join(work, "u.exe")
    run(setuppack, "patch", "--from", os.path.join(work, "p1.exe"), "--to", os.path.join(work, "p2.exe"), "-o", update)
    listing = run(setuppack, "list", update, text=True)
    found = re.search(r"patched \((\d+) bytes\)", listing) or re.search(r"whole \((\d+) bytes\)", listing)
    return int(found.group(1))


def peers(work, old, new):
    out = os.path.join(work, "peer")
    sizes = {}
    run("bsdiff", old, new, out)
    sizes["bsdiff"] = os.path.getsize(out)
    run("xdelta3", "-9", "-e", "-f", "-s", old, new, out)
    sizes["xdelta3"] = os.path.getsize(out)
    window = max(10, (max(os.path.getsize(old), os.path.getsize(new)) * 2).bit_length())
    run("zstd", "-q", "-f", "-19", "--long=%d" % window, "--patch-from=" + old, new, "-o", out)
    sizes["patch-from"] = os.path.getsize(out)
    run("zstd", "-q", "-f", "-19", new, "-o", out)
    sizes["zstd"] = os.path.getsize(out)
    return sizes


def install_times(update, whole, base, largest, runs):
    """Median seconds and the largest peak memory of the update and of the
    whole next setup, each run silently over a fresh install of the base."""
    runner = Runner(0)
    installed = os.path.join(drive_c(), "Program Files", "QBench")
    figures = {"update": [], "whole": []}
    for _ in range(runs):
        for kind, setup in (("update", update), ("whole", whole)):
            if os.path.isfile(os.path.join(installed, "uninstall.exe")):
                runner.run(["C:\\Program Files\\QBench\\uninstall.exe", "/S"])
            shutil.rmtree(installed, ignore_errors=True)
            if runner.run([win_path(base), "/S"])["code"] != 0:
                sys.exit("update bench: the base did not install")
            result = runner.run([win_path(setup), "/S"])
            if result["code"] != 0:
                sys.exit("update bench: the %s ended with %d" % (kind, result["code"]))
            figures[kind].append(result)
    rows = ["| over the base | median s | peak MiB (VmHWM) |", "|---|---:|---:|"]
    for kind in ("update", "whole"):
        rows.append("| %s | %.2f | %.1f |" % (kind, median([r["wall"] for r in figures[kind]]),
                                              max(r["hwm"] for r in figures[kind]) / MiB))
    missed = []
    if median([r["wall"] for r in figures["update"]]) > median([r["wall"] for r in figures["whole"]]):
        missed.append("update time")
    if max(r["hwm"] for r in figures["update"]) > 64 * MiB + 2 * largest:
        missed.append("update memory")
    return rows, missed


def stub_at(revision, data):
    """Setup-stub.exe built from the sources at `revision`, kept in `data`."""
    commit = run("git", "-C", ROOT, "rev-parse", revision + "^{commit}", text=True).strip()
    out = os.path.join(data, "Setup-stub-%s.exe" % commit[:12])
    if os.path.isfile(out):
        return out
    with tempfile.TemporaryDirectory() as work:
        source, build = os.path.join(work, "source"), os.path.join(work, "build")
        os.makedirs(source)
        archive = subprocess.Popen(["git", "-C", ROOT, "archive", commit], stdout=subprocess.PIPE)
        run("tar", "-x", "-C", source, stdin=archive.stdout)
        if archive.wait() != 0:
            sys.exit("update bench: git archive %s failed" % commit)
        # The zstd source the tree's own build uses (scripts/install-deps).
        env = dict(os.environ)
        env.setdefault("Q_ZSTD_SOURCE", os.path.join(ROOT, "build", "third_party", "zstd"))
        run("cmake", "-S", os.path.join(source, "bench"), "-B", build, "-DCMAKE_BUILD_TYPE=Release",
            "-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(source, "cmake", "mingw-x86_64.cmake"), env=env)
        run("cmake", "--build", build, "-j2", "--target", "Setup-stub", env=env)
        shutil.copy(glob.glob(os.path.join(build, "**", "Setup-stub.exe"), recursive=True)[0], out)
    return out


def debian_library_pairs(data):
    """libcrypto and libssl of the two newest libssl3 versions apt knows."""
    folder = os.path.join(data, "libssl3")
    policy = run("apt-cache", "madison", "libssl3", text=True)
    versions = sorted({line.split("|")[1].strip() for line in policy.splitlines() if "|" in line},
                      key=lambda v: [int(x) if x.isdigit() else x for x in re.split(r"[.~+-]", v)])
    if len(versions) < 2:
        return []
    trees = []
    for version in versions[-2:]:
        tree = os.path.join(folder, version)
        if not os.path.isdir(tree):
            os.makedirs(folder, exist_ok=True)
            run("apt-get", "download", "-q", "libssl3=" + version, cwd=folder)
            deb = glob.glob(os.path.join(folder, "libssl3_*%s*.deb" % version.split(":")[-1].replace("~", "*")))[0]
            run("dpkg-deb", "-x", deb, tree)
        trees.append(tree)
    pairs = []
    for name in ("libcrypto.so.3", "libssl.so.3"):
        old, new = (glob.glob(os.path.join(t, "usr", "lib", "*", name))[0] for t in trees)
        pairs.append(("%s %s -> %s" % (name, *[os.path.basename(t) for t in trees]), old, new))
    return pairs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setuppack", required=True)
    parser.add_argument("--stub", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--stub-pair", default="")
    parser.add_argument("--stub-at", default="", help="the earlier commit of the stub pair")
    parser.add_argument("--runs", type=int, default=3, help="rounds of the installs (under Wine only)")
    args = parser.parse_args()
    os.makedirs(args.data, exist_ok=True)
    missed = []
    rows = ["| pair | new | zstd -19 whole | xdelta3 -9 | zstd --patch-from | bsdiff | ours | ours / bsdiff |",
            "|---|---:|---:|---:|---:|---:|---:|---:|"]
    pairs = debian_library_pairs(args.data)
    if args.stub_pair:
        old, new = args.stub_pair.split(",")
        pairs.insert(0, ("Setup-stub.exe, two commits", old, new))
    elif args.stub_at:
        pairs.insert(0, ("Setup-stub.exe %s -> this tree" % args.stub_at, stub_at(args.stub_at, args.data), args.stub))
    for name, old, new in pairs:
        with tempfile.TemporaryDirectory() as work:
            sizes = peers(work, old, new)
            ours = our_patch(args.setuppack, args.stub, work, old, new)
        ratio = ours / sizes["bsdiff"]
        if ratio > 0.95:
            missed.append(name)
        rows.append("| %s | %d | %d | %d | %d | %d | %d | %.2f |" % (
            name, os.path.getsize(new), sizes["zstd"], sizes["xdelta3"], sizes["patch-from"], sizes["bsdiff"],
            ours, ratio))

    with tempfile.TemporaryDirectory() as work:
        run(sys.executable, os.path.join(ROOT, "bench", "gen.py"), work, *TREE_ARGS)
        root = os.path.join(work, "root")
        base = os.path.join(work, "base.exe")
        package(args.setuppack, args.stub, root, "1.0", base)
        edit_tree(root)
        whole = package(args.setuppack, args.stub, root, "1.1", os.path.join(work, "next.exe"))
        update = os.path.join(work, "update.exe")
        run(args.setuppack, "patch", "--from", base, "--to", os.path.join(work, "next.exe"), "-o", update)
        # Both carry the same stub and language data; the figure compares
        # what they carry besides.
        stub = os.path.getsize(args.stub)
        carried, whole_carried = os.path.getsize(update) - stub, whole - stub
        install_rows = []
        if "WINE" in os.environ:
            largest = max(os.path.getsize(p) for p in glob.glob(os.path.join(root, "**", "*.*"), recursive=True))
            install_rows, install_missed = install_times(update, os.path.join(work, "next.exe"), base, largest,
                                                         args.runs)
            missed += install_missed
    ratio = carried / whole_carried
    if ratio > 0.15:
        missed.append("tree")
    print("\n".join(rows))
    print("\nEdited tree (gen.py %s): the update carries %d bytes, the whole zstd package %d: %.3f (target 0.15)"
          % (" ".join(TREE_ARGS), carried, whole_carried, ratio))
    if install_rows:
        print("\nThe edited tree's update and its whole next setup, installed silently over the base "
              "(%d rounds; target: the update at most the whole setup's time):\n" % args.runs)
        print("\n".join(install_rows))
    if missed:
        print("targets missed: " + ", ".join(missed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
