#!/usr/bin/env python3
"""Measures Lanternquill against its peers in one run and prints one table (bench/run.sh builds first).

    bench/run.py BUILD_DIR

Hot paths: the install history listing and the scan summary (Google Benchmark, best repetition)
against Python's plistlib.load and json.loads plus the same classification (best of N), the summary
also against a bare simdjson parse of the same log, their scaling (in time and in instructions), and
their extra peak memory. Whole process, on every bundled simulated Mac: instructions of the
headless report against --version (callgrind), its peak memory against a minimal Qt Widgets program,
and the window's first paint against that program's (under Xvfb).

Slowed simulated Macs: copies of every bundled Mac whose tools take real-Mac time (bench/slow-macs.json).
On them, the longest time the main thread leaves events unanswered during launch and during the first
check run (the application's event-loop probe, LQ_EVENT_LOOP_PROBE=1) against the figures recorded for
the code before the tools left the main thread (bench/baseline-event-loop.json), the first check run's
wall time against the longest chain of tools that wait for one another, and the first paint again.
"""

import hashlib
import json
import os
import plistlib
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEER_RUNS = 5
PAINT_RUNS = 7

# --- The peers ---------------------------------------------------------------------------------------


def best_of(runs, work):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def plistlib_load(path):
    with open(path, "rb") as stream:
        return plistlib.load(stream)


def classify_in_python(log_bytes):
    """The scan summary's classification, written in Python: the same rules, the same skips."""
    text = log_bytes
    if not text.startswith(b"["):
        start = text.find(b"\n[")
        text = text if start < 0 else text[start + 1:]
    try:
        events = json.loads(text)
    except ValueError:
        return (0, 0, 0)
    if not isinstance(events, list):
        return (0, 0, 0)
    scans = alerts = warnings = 0
    for event in events:
        if not isinstance(event, dict):
            continue
        message = event.get("eventMessage")
        if not isinstance(message, str) or not message.startswith('{"'):
            continue
        try:
            report = json.loads(message)
        except ValueError:
            continue
        if not isinstance(report, dict):
            continue
        status = report.get("status_message")
        code = report.get("status_code")
        action = report.get("action")
        duration = report.get("execution_duration")
        if status is not None and not isinstance(status, str):
            continue
        if action is not None and not isinstance(action, str):
            continue
        if duration is not None and (isinstance(duration, bool) or not isinstance(duration, (int, float))):
            continue
        if code is not None:
            if isinstance(code, bool) or not isinstance(code, (int, float)) or code != int(code):
                continue
            code = int(code)
        status = "no status_message" if status is None else status
        code = -1 if code is None else code
        action = "no action" if action is None else action
        if code == 20 or status == "NoThreatDetected":
            scans += 1
            continue
        if status == "Success":
            if code == 31:
                continue
            if code == 23:
                scans, alerts = scans + 1, alerts + 1
                continue
            if code == 0:
                scans += 1
                continue
        else:
            if code == 23:
                scans, alerts = scans + 1, alerts + 1
                continue
            if code == 31:
                continue
        if action == "report":
            continue
        scans, warnings = scans + 1, warnings + 1
    return (scans, alerts, warnings)


# --- Running things ----------------------------------------------------------------------------------


# A headless report exits 1 when a check failed (apple-silicon-listed's old firmware does): that is a
# whole run. 3 (a list not fetched, a tool failed) is not: it would count too little work.
WHOLE_REPORT = (0, 1)


def run(args, env=None, timeout=900, check=True, ok=(0,)):
    done = subprocess.run(args, env=env, timeout=timeout, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if check and done.returncode not in ok:
        sys.exit(f"run.py: {' '.join(args)} failed ({done.returncode}):\n{done.stderr.decode(errors='replace')}")
    return done


def google_benchmark(build, inputs, name):
    """The best repetition of one benchmark of bench/bench_hotpaths.cpp, in seconds."""
    env = dict(os.environ, LQ_BENCH_INPUTS=inputs)
    out = run([f"{build}/bench/lq-bench", "--benchmark_format=json", "--benchmark_repetitions=5",
               "--benchmark_min_time=0.5", f"--benchmark_filter=^{name}$"], env=env).stdout
    best = {}
    for row in json.loads(out)["benchmarks"]:
        if row.get("run_type") != "iteration" or row.get("error_occurred"):
            if row.get("error_occurred"):
                sys.exit(f"run.py: {row['name']}: {row.get('error_message')}")
            continue
        assert row["time_unit"] == "ms"
        seconds = row["real_time"] / 1000.0
        best[row["run_name"]] = min(best.get(row["run_name"], float("inf")), seconds)
    return best[name]


def extra_memory(build, mode, path):
    out = run([f"{build}/bench/lq-bench-memory", mode, path]).stdout.decode()
    fields = dict(part.split("=") for part in out.split())
    return int(fields["extra"]), int(fields["input"]), fields.get("counts")


def peak_rss_kib(args, env, ok=(0,)):
    done = run(["/usr/bin/time", "-v"] + args, env=env, ok=ok)
    match = re.search(rb"Maximum resident set size \(kbytes\): (\d+)", done.stderr)
    return int(match.group(1))


def callgrind_instructions(args, env, ok=(0,)):
    with tempfile.TemporaryDirectory() as scratch:
        done = run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={scratch}/out"] + args, env=env, ok=ok)
    match = re.search(rb"Collected : (\d+)", done.stderr)
    return int(match.group(1))


def first_paint_ms(args, env):
    out = run(args, env=dict(env, LQ_EXIT_AFTER_FIRST_PAINT="1"), timeout=120).stdout.decode()
    match = re.search(r"first paint after ([0-9.]+) ms", out)
    if not match:
        sys.exit(f"run.py: {' '.join(args)} printed no first paint: {out!r}")
    return float(match.group(1))


class RefServer:
    def __init__(self, build):
        self.portfile = tempfile.NamedTemporaryFile(delete=False).name
        self.process = subprocess.Popen([f"{build}/tools/lq-refserver", "--root", f"{TOP}/reference",
                                         "--port", "0", "--port-file", self.portfile],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if os.path.getsize(self.portfile) > 0:
                break
            time.sleep(0.05)
        with open(self.portfile) as stream:
            self.url = f"http://127.0.0.1:{stream.read().strip()}/"

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait()
        os.unlink(self.portfile)


class Xvfb:
    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                         "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as stream:
            self.display = ":" + stream.readline().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait()


def make_inputs(inputs):
    """Writes the inputs unless the same generator already wrote them (it is deterministic)."""
    with open(f"{TOP}/bench/make_inputs.py", "rb") as stream:
        stamp = hashlib.sha256(stream.read()).hexdigest()
    stamp_path = f"{inputs}/.generator"
    if os.path.exists(stamp_path) and open(stamp_path).read() == stamp:
        return
    run([sys.executable, f"{TOP}/bench/make_inputs.py", inputs])
    with open(stamp_path, "w") as stream:
        stream.write(stamp)


# --- Slowed simulated Macs ----------------------------------------------------------------------------

SLOW_MACS = f"{TOP}/bench/slow-macs.json"
EVENT_LOOP_BASELINE = f"{TOP}/bench/baseline-event-loop.json"
PROBE_RUNS = 3
PROBE_LINE = re.compile(rb"probe: launch-stall-ms=([0-9.]+) check-stall-ms=([0-9.]+) check-wall-ms=([0-9.]+)")


def load_json(path):
    with open(path) as stream:
        return json.load(stream)


def make_slowed_mac(build, mac, delays):
    """Copies sim/MAC into the build folder (links resolved, without the tree's own overrides or call log)
    and writes a .delay override for every tool in `delays`. Returns the copy's path."""
    root = f"{build}/slowed-macs/{mac}"
    shutil.rmtree(root, ignore_errors=True)
    leave_out = lambda folder, names: ([n for n in names if n in ("override", "calls.log")]
                                       if os.path.basename(folder) == ".sim" else [])
    shutil.copytree(f"{TOP}/sim/{mac}", root, symlinks=False, ignore=leave_out)
    os.makedirs(f"{root}/.sim/override")
    for key, delay in delays.items():
        with open(f"{root}/.sim/override/{key}.delay", "w") as stream:
            stream.write(f"{delay['seconds']:.3f}\n")
    return root


def mac_facts(root):
    """What decides which tools a check run calls: Apple silicon or not, and the macOS version."""
    with open(f"{root}/IORegistry.plist", "rb") as stream:
        rom = plistlib.load(stream)["IODeviceTree:/rom"]["version"]
    with open(f"{root}/System/Library/CoreServices/SystemVersion.plist", "rb") as stream:
        version = tuple(int(part) for part in plistlib.load(stream)["ProductVersion"].split("."))
    return {"apple_silicon": rom.startswith((b"iBoot-", b"mBoot-")), "version": version}


def first_run_tools(slow, facts):
    """The tools of slow-macs.json's graph that a first check run calls on a Mac with these facts."""
    applies = {
        None: True,
        "intel": not facts["apple_silicon"],
        "intel-macos11": not facts["apple_silicon"] and facts["version"] >= (11,),
        "apple-silicon": facts["apple_silicon"],
        "later-runs": False,
    }
    return {node["key"]: node for node in slow["first_check_run"] if applies[node.get("when")]}


def longest_chain(slow, tools):
    """The sum of delays along the longest path through the tools that wait for one another, in seconds.
    Calls of one step that do not wait for each other overlap, so each tool counts once."""
    done = {}

    def finish(key):
        if key not in done:
            waits = [finish(before) for before in tools[key]["after"] if before in tools]
            done[key] = slow["delays"][key]["seconds"] + max(waits, default=0.0)
        return done[key]

    return max(finish(key) for key in tools)


def probe_once(app, root, server, onscreen):
    """One windowed launch with the event-loop probe: (launch stall, check stall, check wall) in ms, and
    the keys of the tools it called."""
    config = tempfile.mkdtemp(prefix="lq-probe-config-")
    calls = f"{root}/.sim/calls.log"
    open(calls, "w").close()
    # A fresh settings folder each time, so that every run is the same first launch.
    env = dict(onscreen, XDG_CONFIG_HOME=config, LQ_EVENT_LOOP_PROBE="1")
    env.pop("LQ_EXIT_AFTER_FIRST_PAINT", None)
    args = [app, "--system-root", root, "--reference-url", server.url]
    try:
        done = run(args, env=env, timeout=180)
    except subprocess.TimeoutExpired:
        sys.exit(f"run.py: {' '.join(args)} did not finish its first check run within 180 s")
    finally:
        shutil.rmtree(config, ignore_errors=True)
    with open(calls) as stream:
        keys = {line.split("\t")[0] for line in stream.read().splitlines()}
    os.unlink(calls)
    match = PROBE_LINE.search(done.stderr)
    if not match:
        sys.exit(f"run.py: {' '.join(args)} printed no probe line:\n{done.stderr.decode(errors='replace')}")
    return tuple(float(figure) for figure in match.groups()), keys


def probe_slowed_mac(app, root, slow, server, onscreen):
    """Medians of PROBE_RUNS probe runs on a slowed Mac, and its longest chain in ms. Fails when the
    application called other tools than the graph has for this Mac, as the chain would then be wrong."""
    tools = first_run_tools(slow, mac_facts(root))
    runs = []
    for _ in range(PROBE_RUNS):
        figures, keys = probe_once(app, root, server, onscreen)
        outside = keys - set(tools) - set(slow["launch_tasks"]["keys"])
        missing = set(tools) - keys
        if outside or missing:
            sys.exit(f"run.py: on {root} the first check run called {sorted(keys)}; bench/slow-macs.json "
                     f"expects {sorted(tools)} (not in it: {sorted(outside)}, not called: {sorted(missing)})")
        runs.append(figures)
    launch, check, wall = (statistics.median(run[i] for run in runs) for i in range(3))
    return {"launch_stall_ms": launch, "check_stall_ms": check, "check_wall_ms": wall,
            "chain_ms": longest_chain(slow, tools) * 1000}


# --- The table ---------------------------------------------------------------------------------------


def fmt_time(seconds):
    return f"{seconds * 1000:.1f} ms" if seconds < 10 else f"{seconds:.1f} s"


def fmt_bytes(count):
    return f"{count / (1024 * 1024):.1f} MiB"


class Table:
    def __init__(self):
        self.rows = []

    def add(self, measure, ours, peer, ratio, target, met):
        verdict = "—" if met is None else ("yes" if met else "NO")
        self.rows.append((measure, ours, peer, f"{ratio:.2f}×", target, verdict))

    def print(self):
        header = ("Measure", "Lanternquill", "Compared with", "Ratio", "Target", "Met")
        widths = [max(len(str(row[i])) for row in self.rows + [header]) for i in range(len(header))]
        line = lambda row: "| " + " | ".join(str(c).ljust(w) for c, w in zip(row, widths)) + " |"
        print(line(header))
        print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
        for row in self.rows:
            print(line(row))


def add_slowed_mac_rows(table, build, app, minimal, macs, server, onscreen):
    """The rows of the slowed Macs: main-thread stalls against the recorded baseline, the first check
    run's wall time against its longest chain of tools, and the first paint against the minimal program."""
    slow = load_json(SLOW_MACS)
    baseline = load_json(EVENT_LOOP_BASELINE) if os.path.exists(EVENT_LOOP_BASELINE) else {"macs": {}}
    at = f" at {baseline['commit'][:7]}" if "commit" in baseline else ""
    roots = {mac: make_slowed_mac(build, mac, slow["delays"]) for mac in macs}
    probed = {mac: probe_slowed_mac(app, roots[mac], slow, server, onscreen) for mac in macs}
    for figure, phase in (("check_stall_ms", "first check run"), ("launch_stall_ms", "launch")):
        for mac in macs:
            mine = probed[mac][figure]
            measure = (f"Longest main-thread stall, {phase}, slowed {mac} (event-loop probe, Xvfb, "
                       f"median of {PROBE_RUNS}; vs baseline{at})")
            before = baseline["macs"].get(mac, {}).get(figure)
            if before is None:
                table.rows.append((measure, f"{mine:.1f} ms", "no baseline", "—", "≤ 50 ms",
                                   "yes" if mine <= 50 else "NO"))
            else:
                table.add(measure, f"{mine:.1f} ms", f"{before:.1f} ms", mine / max(before, 0.1), "≤ 50 ms",
                          mine <= 50)
    for mac in macs:
        wall, chain = probed[mac]["check_wall_ms"], probed[mac]["chain_ms"]
        table.add(f"First check run's wall time, slowed {mac} (vs longest chain of dependent tools)",
                  fmt_time(wall / 1000), fmt_time(chain / 1000), wall / chain, "≤ 1.2×", wall / chain <= 1.2)
    for mac in macs:
        gui = [app, "--system-root", roots[mac], "--reference-url", server.url]
        paints, minimal_paints = [], []
        for _ in range(PAINT_RUNS):
            paints.append(first_paint_ms(gui, onscreen))
            minimal_paints.append(first_paint_ms([minimal], onscreen))
        paint, minimal_paint = statistics.median(paints), statistics.median(minimal_paints)
        table.add(f"Window first paint, slowed {mac} (vs minimal Qt program, Xvfb)", f"{paint:.1f} ms",
                  f"{minimal_paint:.1f} ms", paint / minimal_paint, "≤ 2×", paint / minimal_paint <= 2)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: run.py BUILD_DIR")
    build = os.path.abspath(sys.argv[1])
    inputs = f"{build}/bench-inputs"
    make_inputs(inputs)
    table = Table()

    # Hot paths, timed: each of ours right before its peer, so that both see the same load.
    ours = {}
    for fmt, name, target in (("xml", "XML", 5.0), ("bin", "binary", 3.0)):
        ours[f"{fmt}/2000"] = google_benchmark(build, inputs, f"InstallHistoryListing/{fmt}/2000")
        mine = ours[f"{fmt}/20000"] = google_benchmark(build, inputs, f"InstallHistoryListing/{fmt}/20000")
        path = f"{inputs}/InstallHistory-20000-{fmt}.plist"
        peer = best_of(PEER_RUNS, lambda: plistlib_load(path))
        table.add(f"Install history listing, 20,000 entries, {name} (vs plistlib.load)", fmt_time(mine),
                  fmt_time(peer), peer / mine, f"≥ {target:g}× faster", peer / mine >= target)
        # Where the listing's time goes: the file read and the decoding of the entries, each alone; and,
        # for comparison, decoding the same file as one tree, which the listing does not do.
        for part, label in (("ReadMacFile", "  of which reading the file"),
                            ("DecodeElements", "  of which decoding the entries"),
                            ("PropertyListParse", "  beside it: plist::parse of the whole file as one tree")):
            spent = google_benchmark(build, inputs, f"{part}/{fmt}/20000")
            table.add(f"{label} ({name}, 20,000 entries; vs the listing)", fmt_time(spent),
                      fmt_time(mine), spent / mine, "—", None)
    ours["7000"] = google_benchmark(build, inputs, "ScanSummary/7000")
    mine = ours["70000"] = google_benchmark(build, inputs, "ScanSummary/70000")
    bare = google_benchmark(build, inputs, "BareSimdjsonParse/70000")
    with open(f"{inputs}/log-xpr-70000.json", "rb") as stream:
        log = stream.read()
    python_counts = classify_in_python(log)
    peer = best_of(3, lambda: classify_in_python(log))
    del log
    table.add("Scan summary, 70,000 events (vs json.loads + same rules in Python)", fmt_time(mine),
              fmt_time(peer), peer / mine, "≥ 10× faster", peer / mine >= 10)
    # The summary parses the same log with simdjson, in runs, and every event's message as well.
    table.add("Scan summary, 70,000 events (vs a bare simdjson parse of the log, no rules)", fmt_time(mine),
              fmt_time(bare), mine / bare, "≤ 2×", mine / bare <= 2)
    for fmt, name in (("xml", "XML"), ("bin", "binary")):
        small, large = ours[f"{fmt}/2000"], ours[f"{fmt}/20000"]
        table.add(f"Install history listing, {name}: 20,000 vs 2,000 entries", fmt_time(large), fmt_time(small),
                  large / small, "≤ 12×", large / small <= 12)
    small, large = ours["7000"], ours["70000"]
    table.add("Scan summary: 70,000 vs 7,000 events", fmt_time(large), fmt_time(small), large / small, "≤ 12×",
              large / small <= 12)

    # The same scaling counted in instructions, which the machine's load does not blur.
    for fmt, name in (("xml", "XML"), ("bin", "binary")):
        small, large = (callgrind_instructions([f"{build}/bench/lq-bench-memory", "listing",
                                                f"{inputs}/InstallHistory-{count}-{fmt}.plist"], os.environ)
                        for count in (2000, 20000))
        table.add(f"Install history listing, {name}: 20,000 vs 2,000 entries, in instructions",
                  f"{large / 1e6:.0f} M", f"{small / 1e6:.0f} M", large / small, "≤ 12×", large / small <= 12)
    small, large = (callgrind_instructions([f"{build}/bench/lq-bench-memory", "summary",
                                            f"{inputs}/log-xpr-{count}.json"], os.environ)
                    for count in (7000, 70000))
    table.add("Scan summary: 70,000 vs 7,000 events, in instructions", f"{large / 1e6:.0f} M",
              f"{small / 1e6:.0f} M", large / small, "≤ 12×", large / small <= 12)

    # Hot paths, extra peak memory against the input's size.
    for fmt, name in (("xml", "XML"), ("bin", "binary")):
        extra, size, _ = extra_memory(build, "listing", f"{inputs}/InstallHistory-20000-{fmt}.plist")
        table.add(f"Install history listing, 20,000 entries, {name}: extra peak memory (vs file size)",
                  fmt_bytes(extra), fmt_bytes(size), extra / size, "< 4×", extra / size < 4)
    extra, size, counts = extra_memory(build, "summary", f"{inputs}/log-xpr-70000.json")
    # Holding the log is most of it: the summary itself takes a few runs' worth.
    table.add("Scan summary, 70,000 events: extra peak memory (vs log size)", fmt_bytes(extra), fmt_bytes(size),
              extra / size, "≤ 1.07×", extra / size <= 1.07)
    if counts != "/".join(map(str, python_counts)):
        sys.exit(f"run.py: the scan counts differ: Lanternquill {counts}, Python {python_counts}")

    # Whole process, on every bundled simulated Mac.
    config = tempfile.mkdtemp(prefix="lq-bench-config-")
    env = dict(os.environ, XDG_CONFIG_HOME=config)
    env.pop("LQ_EXIT_AFTER_FIRST_PAINT", None)
    app, minimal = f"{build}/lanternquill", f"{build}/bench/lq-minimal-qt"
    server, xvfb = RefServer(build), Xvfb()
    try:
        version_instructions = callgrind_instructions([app, "--version"], env)
        offscreen = dict(env, QT_QPA_PLATFORM="offscreen")
        minimal_rss = min(peak_rss_kib([minimal], dict(offscreen, LQ_EXIT_AFTER_FIRST_PAINT="1")) for _ in range(3))
        onscreen = dict(env, QT_QPA_PLATFORM="xcb", DISPLAY=xvfb.display)
        macs = sorted(name for name in os.listdir(f"{TOP}/sim") if not name.startswith("_")
                      and os.path.isdir(f"{TOP}/sim/{name}"))
        for mac in macs:
            report = [app, "--report", "--system-root", f"{TOP}/sim/{mac}", "--reference-url", server.url]
            # A report that never reached the reference lists would count too little work.
            text = run(report, env=env, ok=WHOLE_REPORT).stdout.decode()
            if " should be " not in text or "Checked by Lanternquill" not in text:
                sys.exit(f"run.py: the report on {mac} is incomplete:\n{text}")
            instructions = callgrind_instructions(report, env, ok=WHOLE_REPORT)
            ratio = instructions / version_instructions
            table.add(f"Headless report, {mac}: instructions (vs --version)", f"{instructions / 1e6:.1f} M",
                      f"{version_instructions / 1e6:.1f} M", ratio, "≤ 2.5×", ratio <= 2.5)
        for mac in macs:
            report = [app, "--report", "--system-root", f"{TOP}/sim/{mac}", "--reference-url", server.url]
            rss = min(peak_rss_kib(report, env, ok=WHOLE_REPORT) for _ in range(3))
            table.add(f"Headless report, {mac}: peak memory (vs minimal Qt program)", fmt_bytes(rss * 1024),
                      fmt_bytes(minimal_rss * 1024), rss / minimal_rss, "≤ 1.5×", rss / minimal_rss <= 1.5)
        for mac in macs:
            gui = [app, "--system-root", f"{TOP}/sim/{mac}", "--reference-url", server.url]
            # Taken in turns, so that both see the same load on a shared machine.
            paints, minimal_paints = [], []
            for _ in range(PAINT_RUNS):
                paints.append(first_paint_ms(gui, onscreen))
                minimal_paints.append(first_paint_ms([minimal], onscreen))
            paint, minimal_paint = statistics.median(paints), statistics.median(minimal_paints)
            table.add(f"Window first paint, {mac} (vs minimal Qt program, Xvfb)", f"{paint:.1f} ms",
                      f"{minimal_paint:.1f} ms", paint / minimal_paint, "≤ 2×", paint / minimal_paint <= 2)
        add_slowed_mac_rows(table, build, app, minimal, macs, server, onscreen)
    finally:
        server.stop()
        xvfb.stop()
        shutil.rmtree(config, ignore_errors=True)

    table.print()


if __name__ == "__main__":
    main()
