#!/usr/bin/env python3
"""Install benchmarks under Wine: the engine against the baseline.

Run through scripts/with-wine (private prefix and display):
    scripts/with-wine python3 bench/run.py [--runs N] [--data DIR]

Makes the packages (cached under DIR by their generator arguments), then runs,
interleaved, the engine harness as a setup (path-only and full run in one
process), the uninstaller it wrote, the baseline on the same sections, and the
real Setup.exe up to its install question. Then the peer comparison: the
256 MiB and 1 GiB trees built as our Setup.exe with either codec and as NSIS
installers (makensis, zlib not solid and LZMA solid), each installed and
uninstalled silently. Prints the tables and the target ratios, and writes
them to DIR/results.md.
"""
import argparse
import hashlib
import json
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import nsis  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MiB = 1 << 20

DATASETS = {
    # name: generator arguments
    "empty": ["--files", "0"],
    "m1": ["--files", "100", "--total", str(1 * MiB)],
    "s2k": ["--files", "2000", "--min", "1024", "--max", "4096"],
    "s20k": ["--files", "20000", "--min", "1024", "--max", "4096"],
    "big": ["--files", "2000", "--total", str(256 * MiB), "--big", "%d,%d" % (8 * MiB, 4 * MiB)],
    # "giant": 1 GiB unless --giant-mib says otherwise (set in main)
}


def giant_args(mib):
    return ["--files", "2048", "--total", str(mib * MiB), "--big", "%d,%d" % (16 * MiB, 8 * MiB)]


def log(text):
    print(text, file=sys.stderr, flush=True)


def sha1_of(path):
    digest = hashlib.sha1()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


class Tools:
    def __init__(self, args):
        self.setuppack = args.setuppack
        self.harness = args.harness
        self.stub = args.stub
        self.baseline = args.baseline
        self.qtimer = args.qtimer
        for path in (self.setuppack, self.harness, self.stub, self.baseline, self.qtimer):
            if not os.path.isfile(path):
                sys.exit("bench: missing %s (run make bench)" % path)


def make_sections(tools, data_dir, name):
    """The sections of dataset `name` (everything behind the stub), cached."""
    folder = os.path.join(data_dir, name)
    stamp_path = os.path.join(folder, "stamp.json")
    sections = os.path.join(folder, "sections.bin")
    wanted = {"args": DATASETS[name], "gen": sha1_of(os.path.join(ROOT, "bench", "gen.py")),
              "setuppack": sha1_of(tools.setuppack), "lng": sha1_of(os.path.join(ROOT, "sample", "Setup.lng"))}
    if os.path.isfile(stamp_path) and os.path.isfile(sections):
        with open(stamp_path) as f:
            stamp = json.load(f)
        if stamp.get("wanted") == wanted:
            return stamp
    log("bench: generating %s" % name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.join(folder, "root"))
    out = subprocess.run([sys.executable, os.path.join(ROOT, "bench", "gen.py"), folder] + DATASETS[name],
                         check=True, capture_output=True, text=True).stdout
    info = dict(item.split("=") for item in out.split())
    package = os.path.join(folder, "package.exe")
    subprocess.run([tools.setuppack, "build", "--stub", tools.harness, "--script",
                    os.path.join(folder, "setup.src"), "--root", os.path.join(folder, "root"),
                    "--lng", os.path.join(ROOT, "sample", "Setup.lng"), "-o", package],
                   check=True, stdout=subprocess.DEVNULL)
    stub_size = os.path.getsize(tools.harness)
    with open(package, "rb") as f, open(tools.harness, "rb") as s:
        if f.read(stub_size) != s.read():
            sys.exit("bench: package does not start with its stub")
        with open(sections, "wb") as out_file:
            shutil.copyfileobj(f, out_file, 16 * MiB)
    os.remove(package)
    shutil.rmtree(os.path.join(folder, "root"))
    stamp = {"wanted": wanted, "files": int(info["files"]), "bytes": int(info["bytes"]),
             "largest": int(info["largest"])}
    with open(stamp_path, "w") as f:
        json.dump(stamp, f)
    return stamp


def make_tree(data_dir, name):
    """The product tree and script of dataset `name`, kept for the builds of
    the peer comparison (cached by the generator's arguments)."""
    folder = os.path.join(data_dir, name + "-tree")
    stamp_path = os.path.join(folder, "stamp.json")
    wanted = {"args": DATASETS[name], "gen": sha1_of(os.path.join(ROOT, "bench", "gen.py"))}
    if os.path.isfile(stamp_path):
        with open(stamp_path) as f:
            stamp = json.load(f)
        if stamp.get("wanted") == wanted:
            return folder, stamp
    log("bench: generating the tree of %s" % name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    out = subprocess.run([sys.executable, os.path.join(ROOT, "bench", "gen.py"), folder] + DATASETS[name],
                         check=True, capture_output=True, text=True).stdout
    info = dict(item.split("=") for item in out.split())
    stamp = {"wanted": wanted, "files": int(info["files"]), "bytes": int(info["bytes"]),
             "largest": int(info["largest"])}
    with open(stamp_path, "w") as f:
        json.dump(stamp, f)
    return folder, stamp


# The programs of the peer comparison: ours with either codec and NSIS's
# makensis (Debian's nsis) with zlib file by file and with solid LZMA.
PEERS = (("zlib", "ours, zlib"), ("zstd", "ours, zstd"), ("nsis-zlib", "NSIS zlib, not solid"),
         ("nsis-lzma", "NSIS LZMA, solid"))


def build_peer(tools, data_dir, name, kind):
    """Builds one installer of dataset `name`; answers its path and build time.
    Cached with the time it took, by the tree and the tools that made it."""
    tree, _ = make_tree(data_dir, name)
    folder = os.path.abspath(os.path.join(data_dir, "peer"))  # makensis works in the script's folder
    os.makedirs(folder, exist_ok=True)
    out = os.path.join(folder, "%s-%s.exe" % (name, kind))
    stamp_path = out + ".json"
    tool = tools.setuppack if kind in ("zlib", "zstd") else shutil.which("makensis")
    if not tool:
        sys.exit("bench: makensis is missing (scripts/install-deps installs nsis)")
    wanted = {"tree": sha1_of(os.path.join(tree, "stamp.json")), "tool": sha1_of(tool)}
    if kind in ("zlib", "zstd"):
        wanted["stub"] = sha1_of(tools.stub)
    else:
        wanted["nsis"] = sha1_of(os.path.join(ROOT, "bench", "nsis.py"))
    if os.path.isfile(stamp_path) and os.path.isfile(out):
        with open(stamp_path) as f:
            stamp = json.load(f)
        if stamp.get("wanted") == wanted:
            return out, stamp["build"]
    log("bench: building %s of %s" % (kind, name))
    script, root = os.path.join(tree, "setup.src"), os.path.join(tree, "root")
    if kind in ("zlib", "zstd"):
        command = [tools.setuppack, "build", "--codec", kind, "--stub", tools.stub, "--script", script, "--root", root,
                   "--lng", os.path.join(ROOT, "sample", "Setup.lng"), "-o", out]
    else:
        nsi = out[:-4] + ".nsi"
        with open(nsi, "w") as f:
            f.write(nsis.nsis_script(script, root, out, kind.split("-")[1]))
        command = [tool, "-V1", nsi]
    started = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    build = time.perf_counter() - started
    with open(stamp_path, "w") as f:
        json.dump({"wanted": wanted, "build": build}, f)
    return out, build


def make_package(stub, sections, path):
    with open(path, "wb") as out, open(stub, "rb") as s, open(sections, "rb") as sec:
        shutil.copyfileobj(s, out)
        shutil.copyfileobj(sec, out, 16 * MiB)


def win_path(unix_path):
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def proc_cpu_seconds(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    except OSError:
        return 0.0


class Runner:
    def __init__(self, wineserver_pid):
        self.wine = os.environ["WINE"]
        self.wineserver_pid = wineserver_pid

    def run(self, args, stdout_path=None, watch=None):
        """Runs a Windows program; answers wall seconds, exit code, output,
        peak memory (VmHWM, bytes), the program's CPU seconds and the Wine
        server's CPU seconds during the run. With `watch` (a file name), the
        peak memory is that of the process it starts whose command line
        holds that name."""
        out = open(stdout_path, "wb") if stdout_path else subprocess.PIPE
        server_before = proc_cpu_seconds(self.wineserver_pid)
        began = time.time()  # the clock of the files' times
        started = time.perf_counter()
        child = subprocess.Popen([self.wine] + args, stdout=out, stderr=subprocess.DEVNULL)
        peak = [0]
        done = threading.Event()

        def find(name):
            for entry in os.listdir("/proc"):
                if entry.isdigit() and int(entry) != child.pid:
                    try:
                        with open("/proc/%s/cmdline" % entry, "rb") as f:
                            if name.encode() in f.read():
                                return int(entry)
                    except OSError:
                        pass
            return None

        def sample():
            pid = child.pid
            while watch and not done.is_set():
                pid = find(watch)
                if pid:
                    break
                done.wait(0.01)
            path = "/proc/%d/status" % pid
            while not done.is_set():
                try:
                    with open(path) as f:
                        for line in f:
                            if line.startswith("VmHWM:"):
                                peak[0] = max(peak[0], int(line.split()[1]) * 1024)
                                break
                except OSError:
                    break
                done.wait(0.01)

        sampler = threading.Thread(target=sample, daemon=True)
        sampler.start()
        output = child.stdout.read() if stdout_path is None else b""
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - started
        child.returncode = os.waitstatus_to_exitcode(status)
        done.set()
        sampler.join()
        if stdout_path:
            out.close()
        server = proc_cpu_seconds(self.wineserver_pid) - server_before
        peak_bytes = peak[0] if watch else max(peak[0], usage.ru_maxrss * 1024)
        return {"wall": wall, "code": child.returncode, "out": output.decode("latin-1"),
                "hwm": peak_bytes, "cpu": usage.ru_utime + usage.ru_stime, "server": server,
                "began": began, "ended": time.time()}


def file_phases(folder, r):
    """Splits a run by its written product files' times: from the start to
    the first file, the files, and from the last file to the end."""
    times = [os.stat(os.path.join(base, n)).st_mtime_ns / 1e9
             for base, _, names in os.walk(folder) for n in names if n.endswith((".txt", ".dat"))]
    if times:
        r.update(to_first=min(times) - r["began"], writing=max(times) - min(times), after_last=r["ended"] - max(times))


def drive_c():
    return os.path.join(os.environ["WINEPREFIX"], "drive_c")


def count_tree(folder):
    files = size = 0
    for base, _, names in os.walk(folder):
        for name in names:
            files += 1
            size += os.path.getsize(os.path.join(base, name))
    return files, size


def median(values):
    return statistics.median(values) if values else float("nan")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5, help="rounds of the 256 MiB package and the questions")
    parser.add_argument("--small-runs", type=int, default=5, help="rounds of the small-file packages")
    parser.add_argument("--data", default=os.path.join(ROOT, "build", "bench-data"))
    parser.add_argument("--setuppack", default=os.path.join(ROOT, "build/bench-host/tools/setuppack/setuppack"))
    parser.add_argument("--harness", default=os.path.join(ROOT, "build/bench-win64/bench_harness.exe"))
    parser.add_argument("--stub", default=os.path.join(ROOT, "build/bench-win64/quillon/app/Setup-stub.exe"))
    parser.add_argument("--baseline", default=os.path.join(ROOT, "build/bench-win64/baseline.exe"))
    parser.add_argument("--qtimer", default=os.path.join(ROOT, "build/bench-win64/qtimer.exe"))
    parser.add_argument("--probe", default=os.path.join(ROOT, "build/bench-win64/probe.exe"))
    parser.add_argument("--only", default="", help="comma-separated: big,giant,small,question,peer")
    parser.add_argument("--giant-mib", type=int, default=1024, help="size of the giant package (0: none)")
    parser.add_argument("--giant-runs", type=int, default=2, help="rounds of the giant package")
    parser.add_argument("--peer-runs", type=int, default=3, help="rounds of the peer comparison")
    parser.add_argument("--peer-sets", default="big,giant,s2k,s20k", help="the packages compared with the peer")
    args = parser.parse_args()
    if "WINEPREFIX" not in os.environ or "WINE" not in os.environ:
        sys.exit("bench: run through scripts/with-wine")
    only = set(args.only.split(",")) if args.only else {"big", "giant", "small", "question", "peer"}
    peer_sets = [n for n in args.peer_sets.split(",") if n] if "peer" in only else []
    if args.giant_mib > 0 and ("giant" in only or "giant" in peer_sets):
        DATASETS["giant"] = giant_args(args.giant_mib)
    else:
        only.discard("giant")
        peer_sets = [n for n in peer_sets if n != "giant"]
    tools = Tools(args)
    began = time.time()

    # The peer's builds first, one at a time: their times are measured.
    peers = {}
    for name in peer_sets:
        for kind, _ in PEERS:
            peers[name, kind] = build_peer(tools, args.data, name, kind)
    needed = {"m1"} | ({"big"} & only) | ({"giant"} & only)
    if "small" in only:
        needed |= {"empty", "s2k", "s20k"}
    if "question" in only:
        needed |= {"big"} | ({"giant"} & set(DATASETS))
    stamps = {name: make_sections(tools, args.data, name) for name in DATASETS if name in needed}
    peer_stamps = {name: make_tree(args.data, name)[1] for name in peer_sets}
    run_dir = os.path.join(args.data, "run")
    shutil.rmtree(run_dir, ignore_errors=True)
    os.makedirs(os.path.join(run_dir, "u"))
    pkg = {}
    for name in stamps:
        sections = os.path.join(args.data, name, "sections.bin")
        for kind, stub in (("eng", tools.harness), ("base", tools.baseline), ("setup", tools.stub)):
            if kind == "setup" and name not in ("m1", "big", "giant"):
                continue
            pkg[name, kind] = os.path.join(run_dir, "%s-%s.exe" % (name, kind))
            make_package(stub, sections, pkg[name, kind])
    shutil.copy(tools.qtimer, os.path.join(run_dir, "qtimer.exe"))
    shutil.copy(args.probe, os.path.join(run_dir, "probe.exe"))
    log("bench: packages ready after %.0f s" % (time.time() - began))

    server = subprocess.Popen(["wineserver", "-f", "-p"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    runner = Runner(server.pid)
    c = drive_c()
    eng_dir, base_dir = os.path.join(c, "QBench", "eng"), os.path.join(c, "QBench", "base")
    results = {}

    def record(key, value):
        results.setdefault(key, []).append(value)

    def clean():
        shutil.rmtree(os.path.join(c, "QBench"), ignore_errors=True)
        subprocess.run(["sync"])

    def engine(name, check=False):
        r = runner.run([pkg[name, "eng"], "--pgmpath=C:\\QBench\\eng\\", "--nodesktop"],
                       os.path.join(run_dir, "eng.out"))
        if r["code"] != 0:
            sys.exit("bench: engine run of %s failed (%d), see %s" % (name, r["code"], run_dir))
        if check:
            files, size = count_tree(eng_dir)
            if files != stamps[name]["files"] + 1 or size < stamps[name]["bytes"]:
                sys.exit("bench: engine installed %d files, %d bytes of %s" % (files, size, name))
        file_phases(eng_dir, r)
        record((name, "eng"), r)
        subprocess.run(["sync"])
        # The uninstaller it wrote, started from outside the installation.
        shutil.copy(os.path.join(eng_dir, "uninstall.exe"), os.path.join(run_dir, "u", "uninstall.exe"))
        u = runner.run([os.path.join(run_dir, "u", "uninstall.exe")])
        left, _ = count_tree(eng_dir)
        if u["code"] != 0 or left:
            sys.exit("bench: uninstall of %s left %d files" % (name, left))
        record((name, "uninst"), u)
        clean()

    def baseline(name, check=False):
        r = runner.run([pkg[name, "base"], "C:\\QBench\\base\\"])
        if r["code"] != 0:
            sys.exit("bench: baseline run of %s failed" % name)
        r.update({k: float(v) for k, v in (item.split("=") for item in r["out"].split())})
        file_phases(base_dir, r)
        if check:
            files, size = count_tree(base_dir)
            if files != stamps[name]["files"] or size != stamps[name]["bytes"]:
                sys.exit("bench: baseline wrote %d files, %d bytes of %s" % (files, size, name))
        record((name, "base"), r)
        clean()

    def path_only(name):
        r = runner.run([pkg[name, "eng"], "--pathonly"], os.path.join(run_dir, "pathonly.out"))
        if r["code"] != 0:
            sys.exit("bench: path-only run of %s failed" % name)
        record((name, "pathonly"), r)

    def question(name):
        r = runner.run([os.path.join(run_dir, "qtimer.exe"), win_path(pkg[name, "setup"]), "120"],
                       watch=os.path.basename(pkg[name, "setup"]))
        if r["code"] != 0:
            sys.exit("bench: no install question from %s" % name)
        r.update({k: float(v) for k, v in (item.split("=") for item in r["out"].split())})
        record((name, "question"), r)

    def probe(name):
        """The real Setup.exe installs while probe.exe asks its window every 50 ms."""
        r = runner.run([os.path.join(run_dir, "probe.exe"), win_path(pkg[name, "setup"]), "C:\\QBench\\probe\\", "600"])
        if r["code"] != 0:
            sys.exit("bench: the probe of %s failed" % name)
        r.update({k: float(v) for k, v in (item.split("=") for item in r["out"].split())})
        record((name, "probe"), r)
        clean()
        subprocess.run(["sync"])

    clean()
    # Warm-up: Wine's own files and the packages into the page cache.
    baseline("m1", check=True)
    engine("m1", check=True)
    if "question" in only:
        question("m1")
    results.clear()

    peer_dir = os.path.join(c, "QBench", "peer")

    def peer(name, kind):
        """A silent install of one installer, then its silent uninstall."""
        package = peers[name, kind][0]
        target = "C:\\QBench\\peer"
        r = runner.run([package, "/S", "/D=" + target])
        files, size = count_tree(peer_dir)
        if r["code"] != 0 or files != peer_stamps[name]["files"] + 1 or size < peer_stamps[name]["bytes"]:
            sys.exit("bench: %s of %s: exit code %d, %d files, %d bytes" % (kind, name, r["code"], files, size))
        record((name, "peer-" + kind), r)
        subprocess.run(["sync"])
        # NSIS's uninstaller copies itself away and returns at once unless
        # told with _?= to run in place (it then leaves itself behind).
        uninstaller = os.path.join(peer_dir, "uninstall.exe")
        args_ = ["/S", "_?=" + target] if kind.startswith("nsis") else ["/S"]
        u = runner.run([uninstaller] + args_)
        left = [f for f in (os.listdir(peer_dir) if os.path.isdir(peer_dir) else []) if f != "uninstall.exe"]
        if u["code"] != 0 or left:
            sys.exit("bench: uninstall of %s (%s) left %s" % (name, kind, left))
        record((name, "peer-uninst-" + kind), u)
        clean()
        entries = subprocess.run([os.environ["WINE"], "reg", "query", UNINSTALL_ROOT], capture_output=True,
                                 text=True, errors="replace").stdout
        if "\\QBench" in entries:
            sys.exit("bench: the uninstall entry of %s (%s) is left" % (name, kind))

    for i in range(args.peer_runs if peer_sets else 0):
        for name in peer_sets:
            for kind, _ in PEERS:
                peer(name, kind)
        log("bench: peer round %d of %d done after %.0f s" % (i + 1, args.peer_runs, time.time() - began))
    log("bench: warm after %.0f s" % (time.time() - began))

    # Each kind its own number of rounds: more rounds of the small packages
    # are not more of the 256 MiB package.
    rounds = max([args.runs] + [n for kind, n in (("small", args.small_runs), ("giant", args.giant_runs)) if kind in only])
    for i in range(rounds):
        if "big" in only and i < args.runs:
            engine("big", check=(i == 0))
            baseline("big", check=(i == 0))
            path_only("big")
            if "question" in only:
                question("big")
        if "giant" in only and i < args.giant_runs:
            engine("giant", check=(i == 0))
            baseline("giant", check=(i == 0))
            path_only("giant")
            if "question" in only:
                question("giant")
            if i == 0:
                probe("giant")
        if "small" in only and i < args.small_runs:
            engine("empty")
            baseline("empty")
            engine("s2k", check=(i == 0))
            baseline("s2k", check=(i == 0))
            engine("s20k", check=(i == 0))
            baseline("s20k", check=(i == 0))
        if "question" in only and i < args.runs:
            question("m1")
        log("bench: round %d done after %.0f s" % (i + 1, time.time() - began))

    # "wineserver -k" ends the prefix's own processes (services, winedevice,
    # explorer) with the server; killing only the server would orphan them.
    subprocess.run(["wineserver", "-k"])
    server.wait()
    parts = []
    if only - {"peer"}:
        parts.append(make_report(results, stamps, pkg, args.runs, args.small_runs, args.giant_runs))
    if peer_sets:
        parts.append(peer_report(results, peer_stamps, peers, peer_sets, args.peer_runs))
    report = "\n\n".join(parts)
    print(report)
    with open(os.path.join(args.data, "results.md"), "w") as f:
        f.write(report + "\n")
    plot(results, dict(stamps, **peer_stamps), args.data, peers)
    log("bench: finished after %.0f s" % (time.time() - began))


UNINSTALL_ROOT = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"


def peer_report(results, stamps, peers, names, runs):
    def med(key, field="wall"):
        return median([r[field] for r in results.get(key, [])])

    lines = ["Ours against the peer (makensis %s): the same trees, each installer run silently (/S /D=) under"
             " the same Wine prefix, then its uninstaller (/S; NSIS's with _?= so that it runs in place). Build"
             " time of one build; install and uninstall medians of %d interleaved rounds. Ratios: to NSIS LZMA,"
             " solid." % (nsis_version(), runs), "",
             "| package | program | package MB | build s | silent install s | uninstall s | install peak MiB |"
             " size / NSIS LZMA | install / NSIS LZMA |", "|---|---|---:|---:|---:|---:|---:|---:|---:|"]
    for name in names:
        lzma_size = os.path.getsize(peers[name, "nsis-lzma"][0])
        lzma_install = med((name, "peer-nsis-lzma"))
        for kind, label in PEERS:
            size = os.path.getsize(peers[name, kind][0])
            install = med((name, "peer-" + kind))
            lines.append("| %s (%.0f MiB) | %s | %.1f | %.1f | %.2f | %.2f | %.1f | %.3f | %.3f |" % (
                name, stamps[name]["bytes"] / MiB, label, size / 1e6, peers[name, kind][1], install,
                med((name, "peer-uninst-" + kind)), med((name, "peer-" + kind), "hwm") / MiB, size / lzma_size,
                install / lzma_install))
    lines += ["", "| target (peer) | measured | limit | ratio | met |", "|---|---:|---:|---:|---|"]

    def target(text, measured, limit, unit=""):
        ratio = measured / limit if limit > 0 else float("nan")
        lines.append("| %s | %.3f%s | %.3f%s | %.2f | %s |" % (text, measured, unit, limit, unit, ratio,
                                                           "yes" if ratio <= 1.0 else "NO"))

    for name in names:
        label = "%.0f MiB" % (stamps[name]["bytes"] / MiB)
        small = stamps[name]["files"] >= 2000 and stamps[name]["bytes"] / stamps[name]["files"] < 8192
        if small:
            # The small-file trees have a target of their own; the others are the big packages'.
            target("%s, %d small files: our zlib install / NSIS zlib install (limit 0.80)" % (label, stamps[name]["files"]),
                   med((name, "peer-zlib")) / med((name, "peer-nsis-zlib")), 0.8)
            continue
        target("%s: zstd package size / NSIS solid LZMA size (limit 1.00)" % label,
               os.path.getsize(peers[name, "zstd"][0]) / os.path.getsize(peers[name, "nsis-lzma"][0]), 1.0)
        zstd = med((name, "peer-zstd"))
        target("%s: zstd install / NSIS solid LZMA install (limit 0.25)" % label, zstd / med((name, "peer-nsis-lzma")),
               0.25)
        target("%s: zstd install / our zlib install (limit 1.00)" % label, zstd / med((name, "peer-zlib")), 1.0)
        target("%s: setuppack build, zlib / makensis zlib build (limit 1.0)" % label,
               peers[name, "zlib"][1] / peers[name, "nsis-zlib"][1], 1.0)
        target("%s: peak memory of the zstd install (64 MiB + 2 x largest file)" % label,
               med((name, "peer-zstd"), "hwm") / MiB, (64 * MiB + 2 * stamps[name]["largest"]) / MiB, " MiB")
    return "\n".join(lines)


def nsis_version():
    try:
        return subprocess.run(["makensis", "-VERSION"], capture_output=True, text=True).stdout.strip()
    except OSError:
        return "?"


def plot(results, stamps, data_dir, peers=None):
    """bench/results.png: install time and peak memory against package size,
    for the packages of about 2,000 files (5 MiB, 256 MiB, 1 GiB)."""
    points = {}
    for name in ("s2k", "big", "giant"):
        for kind in ("eng", "base"):
            if (name, kind) in results:
                rs = results[name, kind]
                points.setdefault(kind, []).append((stamps[name]["bytes"] / MiB, median([r["wall"] for r in rs]),
                                                   median([r["hwm"] for r in rs]) / MiB))
    # The peer comparison: package size and install time of each program.
    compared = {}
    for (name, kind), (path, build) in (peers or {}).items():
        rs = results.get((name, "peer-" + kind), [])
        compared.setdefault("%.0f MiB" % (stamps[name]["bytes"] / MiB), {})[kind] = [
            os.path.getsize(path) / 1e6, median([r["wall"] for r in rs]), build]
    data = os.path.join(data_dir, "plot.json")
    with open(data, "w") as f:
        json.dump({"points": points, "peer": compared}, f)
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
    subprocess.run([python, os.path.join(ROOT, "bench", "plot.py"), data, os.path.join(ROOT, "bench", "results.png")])


def make_report(results, stamps, pkg, runs, small_runs, giant_runs=0):
    def med(name, kind, field="wall"):
        return median([r[field] for r in results.get((name, kind), [])])

    def mib(n):
        return n / MiB

    lines = []
    host = os.uname()
    lines.append("Machine: %s, %s, %d cores, %s; x86_64 build under wine64 (%s); Wine prefix on %s. Medians of %d"
                 " interleaved runs (small-file packages: %d)." % (host.nodename, cpu_model(), os.cpu_count(),
                                                                    host.release, wine_version(), prefix_storage(),
                                                                    runs, small_runs))
    lines.append("")
    lines.append("| package | files | unpacked MiB | package MiB | program | median s | MiB/s | files/s | peak MiB (VmHWM) | CPU s | wineserver CPU s |")
    lines.append("|---|---:|---:|---:|---|---:|---:|---:|---:|---:|---:|")
    for name in ("big", "giant", "s2k", "s20k", "empty"):
        if (name, "eng") not in results:
            continue
        st = stamps[name]
        size = os.path.getsize(pkg[name, "eng"])
        for kind, label in (("eng", "engine (harness: path-only + full run)"), ("base", "baseline"),
                            ("uninst", "uninstall"), ("pathonly", "engine, path-only run alone")):
            if (name, kind) not in results:
                continue
            t = med(name, kind)
            rate = mib(st["bytes"]) / t if kind in ("eng", "base") and t > 0 else float("nan")
            fps = st["files"] / t if kind != "pathonly" and t > 0 else float("nan")
            lines.append("| %s | %d | %.1f | %.1f | %s | %.3f | %s | %s | %.1f | %.2f | %.2f |" % (
                name, st["files"], mib(st["bytes"]), mib(size), label, t,
                "%.1f" % rate if rate == rate else "-", "%.0f" % fps if st["files"] and fps == fps else "-",
                mib(med(name, kind, "hwm")), med(name, kind, "cpu"), med(name, kind, "server")))
    for name in ("big", "giant", "m1"):
        if (name, "question") in results:
            st = stamps[name]
            lines.append("| %s | %d | %.1f | %.1f | Setup.exe to install question | %.3f | - | - | %.1f | - | - |" % (
                name, st["files"], mib(st["bytes"]), mib(os.path.getsize(pkg[name, "setup"])),
                med(name, "question", "question"), mib(med(name, "question", "hwm"))))
    lines.append("")
    lines.append("| target | measured | limit | ratio | met |")
    lines.append("|---|---:|---:|---:|---|")

    def target(text, measured, limit, unit="s"):
        ratio = measured / limit if limit > 0 else float("nan")
        lines.append("| %s | %.3f %s | %.3f %s | %.2f | %s |" % (text, measured, unit, limit, unit, ratio,
                                                             "yes" if ratio <= 1.0 else "NO"))

    if ("big", "eng") in results:
        st = stamps["big"]
        e, b = med("big", "eng"), med("big", "base")
        lines.append("| full install 256 MiB / 2,000 files: engine / baseline = %.2f (limit 1.2) | %.3f s | %.3f s | %.2f | %s |"
                     % (e / b, e, 1.2 * b, e / (1.2 * b), "yes" if e <= 1.2 * b else "NO"))
        if ("big", "pathonly") in results:
            alone = e - med("big", "pathonly")
            lines.append("| (for reference) the full run alone, engine minus its path-only run: %.3f s, %.2f x the whole baseline | - | - | - | - |"
                         % (alone, alone / b))
        size = os.path.getsize(pkg["big", "eng"])
        limit = size + st["bytes"] + 2 * st["largest"] + 64 * MiB
        target("peak memory of the full run (own file + unpacked + 2 x largest + 64 MiB)",
               mib(med("big", "eng", "hwm")), mib(limit), "MiB")
        if ("big", "question") in results:
            q = med("big", "question", "question")
            limit = med("big", "base", "inflate_bin") + 1.0
            target("256 MiB: start to install question (baseline's Setup.bin inflate + 1 s)", q, limit)
            lines.append("| (for reference) baseline phases: read own file %.3f s, inflate Setup.bin %.3f s, files %.3f s |"
                         " - | - | - | - |" % (med("big", "base", "read"), med("big", "base", "inflate_bin"),
                                             med("big", "base", "files")))
        u = med("big", "uninst")
        lines.append("| uninstall of the 2,000-file installation | %.0f files/s | install: %.0f files/s | - | - |"
                     % (st["files"] / u, st["files"] / e))
    if ("s2k", "eng") in results and ("s20k", "eng") in results:
        fixed = med("empty", "eng")
        per2 = (med("s2k", "eng") - fixed) / stamps["s2k"]["files"]
        per20 = (med("s20k", "eng") - fixed) / stamps["s20k"]["files"]
        lines.append("| scaling: engine time per file at 20,000 / at 2,000 (limit 1.3; empty package's %.3f s subtracted) | %.3f ms | %.3f ms | %.2f | %s |"
                     % (fixed, per20 * 1e3, 1.3 * per2 * 1e3, per20 / (1.3 * per2), "yes" if per20 <= 1.3 * per2 else "NO"))
        raw = (med("s20k", "eng") / 20000) / (med("s2k", "eng") / 2000)
        bfixed = med("empty", "base")
        bper = ((med("s20k", "base") - bfixed) / 20000) / ((med("s2k", "base") - bfixed) / 2000)
        ufixed = med("empty", "uninst")
        uper = ((med("s20k", "uninst") - ufixed) / 20000) / ((med("s2k", "uninst") - ufixed) / 2000)
        lines.append("| (for reference) per-file ratio 20,000 / 2,000: engine raw %.2f, baseline %.2f, uninstall %.2f | - | - | - | - |"
                     % (raw, bper, uper))
        # Where the difference lies, by the written files' times.
        for name in ("s2k", "s20k"):
            lines.append("| (for reference) %s by its files' times, engine / baseline: start to first file %.3f / %.3f s,"
                         " the files %.3f / %.3f s, last file to end %.3f / %.3f s | - | - | - | - |"
                         % (name, med(name, "eng", "to_first"), med(name, "base", "to_first"),
                            med(name, "eng", "writing"), med(name, "base", "writing"),
                            med(name, "eng", "after_last"), med(name, "base", "after_last")))
        for name, count in (("s2k", "2,000"), ("s20k", "20,000")):
            ratio = med(name, "eng") / med(name, "base")
            lines.append("| small files, %s: engine / baseline (limit 1.15) | %.2f | 1.15 | %.2f | %s |"
                         % (count, ratio, ratio / 1.15, "yes" if ratio <= 1.15 else "NO"))

    # The targets of streaming, the second core and the live window.
    lines.append("")
    lines.append("| target (big packages, both cores, live window) | measured | limit | ratio | met |")
    lines.append("|---|---:|---:|---:|---|")
    for name, label in (("big", "256 MiB"), ("giant", "%.0f MiB" % (stamps.get("giant", {}).get("bytes", 0) / MiB))):
        if (name, "eng") not in results:
            continue
        st = stamps[name]
        target("%s: peak memory of the full run (64 MiB + 2 x largest file)" % label,
               mib(med(name, "eng", "hwm")), mib(64 * MiB + 2 * st["largest"]), "MiB")
        target("%s: full install, engine (limit 0.75 x baseline)" % label,
               med(name, "eng"), 0.75 * med(name, "base"))
        lines.append("| (for reference) %s baseline phases: read own file %.3f s, inflate Setup.bin %.3f s, files %.3f s"
                     " (of which creating and writing them %.3f s); path-only run %.3f s |"
                     " - | - | - | - |" % (label, med(name, "base", "read"), med(name, "base", "inflate_bin"),
                                         med(name, "base", "files"), med(name, "base", "write"), med(name, "pathonly")))
        # The files are written one after the other, in script order, as the
        # baseline writes them: the engine cannot finish before its writes.
        floor = med("empty", "eng") + med(name, "base", "write")  # nan without the small packages
        lines.append("| (for reference) %s floor of a writer in script order: the empty package's run %.3f s + the"
                     " baseline's creating and writing %.3f s = %.3f s, %.2f x the baseline |"
                     " - | - | - | - |" % (label, med("empty", "eng"), med(name, "base", "write"), floor,
                                         floor / med(name, "base")))
    if ("giant", "question") in results and ("m1", "question") in results:
        target("start to install question: %.0f MiB package (limit 1 MiB package + 0.3 s)"
               % (stamps["giant"]["bytes"] / MiB), med("giant", "question", "question"),
               med("m1", "question", "question") + 0.3)
    if ("giant", "probe") in results:
        p = results["giant", "probe"][0]
        target("responsiveness during the %.0f MiB install (Setup.exe, %d polls of WM_NULL every 50 ms): longest wait"
               % (stamps["giant"]["bytes"] / MiB, p["polls"]), p["longest_wait"], 0.25)
        met = p["rises"] >= 10 and p["final"] == p["max"] and p["max"] > 0
        lines.append("| progress bar: position rose %d times (limit >= 10), ended at %d of %d | %d | 10 | - | %s |"
                     % (p["rises"], p["final"], p["max"], p["rises"], "yes" if met else "NO"))
    return "\n".join(lines)


def prefix_storage():
    """Where the programs write: the file system type of the Wine prefix."""
    try:
        out = subprocess.run(["stat", "-f", "-c", "%T", os.environ["WINEPREFIX"]], capture_output=True, text=True)
        kind = out.stdout.strip()
    except OSError:
        kind = ""
    return "%s (%s)" % (kind or "unknown", "in memory" if kind == "tmpfs" else "the disk")


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown CPU"


def wine_version():
    try:
        return subprocess.run([os.environ["WINE"], "--version"], capture_output=True, text=True).stdout.strip()
    except OSError:
        return "wine"


if __name__ == "__main__":
    main()
