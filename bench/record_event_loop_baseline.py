#!/usr/bin/env python3
"""Records the event-loop probe's figures of the current commit on the slowed simulated Macs, as the
baseline that bench/run.py's table shows beside today's figures (bench/baseline-event-loop.json).

    bench/run.sh --record-event-loop-baseline      (builds build-bench/ first, then runs this)

The figures name the commit they were measured at, so uncommitted changes to what is measured (src/,
sim/, CMakeLists.txt) are refused.
"""

import datetime
import json
import os
import subprocess
import sys

import run as bench


def git(*args):
    return subprocess.run(["git", "-C", bench.TOP] + list(args), check=True, capture_output=True,
                          text=True).stdout.strip()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: record_event_loop_baseline.py BUILD_DIR")
    build = os.path.abspath(sys.argv[1])
    changed = git("status", "--porcelain", "--", "src", "sim", "CMakeLists.txt")
    if changed:
        sys.exit(f"record_event_loop_baseline.py: commit these first, the baseline names a commit:\n{changed}")
    commit = git("rev-parse", "HEAD")
    slow = bench.load_json(bench.SLOW_MACS)
    app = f"{build}/lanternquill"
    macs = sorted(name for name in os.listdir(f"{bench.TOP}/sim") if not name.startswith("_")
                  and os.path.isdir(f"{bench.TOP}/sim/{name}"))
    server, xvfb = bench.RefServer(build), bench.Xvfb()
    try:
        onscreen = dict(os.environ, QT_QPA_PLATFORM="xcb", DISPLAY=xvfb.display)
        figures = {}
        for mac in macs:
            root = bench.make_slowed_mac(build, mac, slow["delays"])
            probed = bench.probe_slowed_mac(app, root, slow, server, onscreen)
            figures[mac] = {name: round(probed[name], 1)
                            for name in ("launch_stall_ms", "check_stall_ms", "check_wall_ms")}
            print(mac, figures[mac])
    finally:
        server.stop()
        xvfb.stop()
    baseline = {
        "about": ("Event-loop probe figures (medians of %d, Xvfb) on the slowed simulated Macs, measured at "
                  "'commit', where the hardware identification, the security status tools and the launch "
                  "tasks ran on the main thread. bench/run.py shows them beside today's figures."
                  % bench.PROBE_RUNS),
        "commit": commit,
        "measured_on": datetime.date.today().isoformat(),
        "macs": figures,
    }
    with open(bench.EVENT_LOOP_BASELINE, "w") as stream:
        json.dump(baseline, stream, indent=2)
        stream.write("\n")
    print(f"wrote {bench.EVENT_LOOP_BASELINE}")


if __name__ == "__main__":
    main()
