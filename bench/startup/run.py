#!/usr/bin/env python3
"""Start-up benchmark: process start to main window shown and back to exit, for Kavetto and
for a bare Qt window program built in the same run. Prints the medians and their ratio."""
import os, shutil, signal, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../../build")
runs = int(os.environ.get("RUNS", "10"))
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")


def measure(cmd, ready):
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not ready():
        if proc.poll() is not None:
            raise RuntimeError("exited early: %s" % cmd)
        time.sleep(0.002)
    proc.send_signal(signal.SIGTERM)
    proc.wait()
    return time.perf_counter() - start


def write_lists(folder, lists, rows):
    for n in range(lists):
        with open(os.path.join(folder, "list %03d.kvt" % n), "w", encoding="utf-8", newline="") as f:
            for r in range(rows):
                name = "track %d.mp3" % r
                f.write("0:%s\r\n1:Artist\r\n2:Title %d\r\n3:4.21MB\r\n4:mp3\r\n5:4：05\r\n"
                        "6:/music/album %d/%s\r\n7:0004213456\r\n8:\r\n9:\r\n@\r\n" % (name, r, n, name))


def kavetto_once(lists=0, rows=0):
    with tempfile.TemporaryDirectory() as d:
        shutil.copy(os.path.join(build, "bin/kavetto"), d)
        write_lists(d, lists, rows)
        ini = os.path.join(d, "kvp.ini")
        def ready():
            try:
                with open(ini, encoding="utf-8", errors="replace") as f:
                    return "hWnd=" in f.read()
            except OSError:
                return False
        return measure([os.path.join(d, "kavetto")], ready)


def bare_once():
    with tempfile.TemporaryDirectory() as d:
        marker = os.path.join(d, "shown")
        return measure([os.path.join(build, "bench/startup/bench_bare_window"), marker], lambda: os.path.exists(marker))


# The two alternate, so a change in the load of a shared machine weighs on both alike.
ks, bs = [], []
for _ in range(runs):
    ks.append(kavetto_once())
    bs.append(bare_once())
k, b = statistics.median(ks), statistics.median(bs)
# The ratio is the median of the ratios of neighbouring runs: a shared machine's load drifts,
# and each pair of runs sees nearly the same load.
r = statistics.median(x / y for x, y in zip(ks, bs))
print(f"start-up to shown to exit: kavetto {k*1000:.0f} ms, bare Qt window {b*1000:.0f} ms, ratio {r:.2f}x (goal 2x)")
l = statistics.median(kavetto_once(200, 1000) for _ in range(runs))
print(f"start-up with 200 lists of 1,000 rows: {l*1000:.0f} ms against {k*1000:.0f} ms with none, ratio {l/k:.2f}x (goal under 2x)")
