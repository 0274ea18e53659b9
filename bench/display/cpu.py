#!/usr/bin/env python3
"""Whole-program CPU of kavetto, offscreen with SDL's dummy output, as CPU seconds of the process
divided by wall seconds over a fixed window:
  - playing an MP3 with the visualizer animating (bar type 2);
  - playing the same MP3 with the display collapsed (the panel idle): the same run's reference;
  - stopped with no track loaded, the panel at rest;
  - on a virtual X display (Xvfb), playing with the visualizer: what a real display adds (the
    X server's own CPU is shown beside it, not counted), against a bare Qt window repainting a
    panel of the same size at the same frame rate on the same display (bench_bare_panel, found
    beside the binary's build), which is what Qt and the display cost for the frames alone.
Usage: cpu.py KAVETTO_BINARY [SECONDS]"""
import os, shutil, subprocess, sys, tempfile, time

binary = sys.argv[1]
seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime (fields 14, 15)


def measure(folder, args, ini, display=None, server=None, program=None):
    """Per cent of one core for kavetto, or another program (and, given its pid, for the X server)
    over the window."""
    if ini is not None:
        with open(os.path.join(folder, "kvp.ini"), "w") as f:
            f.write(ini)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")
    if display:
        env.update(QT_QPA_PLATFORM="xcb", DISPLAY=display)
    p = subprocess.Popen([program or os.path.join(folder, "kavetto")] + args, env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(5)  # start-up and the first frames are not the steady state
        c0, s0, t0 = cpu_seconds(p.pid), server and cpu_seconds(server), time.monotonic()
        time.sleep(seconds)
        c1, s1, t1 = cpu_seconds(p.pid), server and cpu_seconds(server), time.monotonic()
    finally:
        p.terminate()
        try:
            p.wait(10)
        except subprocess.TimeoutExpired:
            p.kill()
    own = 100.0 * (c1 - c0) / (t1 - t0)
    return (own, 100.0 * (s1 - s0) / (t1 - t0)) if server else own


def measure_on_xvfb(folder, args, ini, program=None):
    """The same on a fresh Xvfb display; None when Xvfb is not installed."""
    if not shutil.which("Xvfb"):
        return None
    number = next(n for n in range(90, 200) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
    xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(2)
        return measure(folder, args, ini, display=f":{number}", server=xvfb.pid, program=program)
    finally:
        xvfb.terminate()
        xvfb.wait(10)


with tempfile.TemporaryDirectory() as folder:
    shutil.copy(binary, os.path.join(folder, "kavetto"))
    wav, mp3 = os.path.join(folder, "m.wav"), os.path.join(folder, "m.mp3")
    length = str(int(seconds) + 30)
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", wav, "synth", length, "sine", "60-2000",
                    "sine", "200-900", "tremolo", "3", "80", "vol", "0.8"], check=True)
    subprocess.run(["lame", "--quiet", wav, mp3], check=True)
    os.remove(wav)
    playing = measure(folder, [mp3], "[other]\nBarType=2\n")
    collapsed = measure(folder, [mp3], "[other]\nBarType=2\nShutter=True\n")
    stopped = measure(folder, [], "[other]\nBarType=2\n")
    on_x = measure_on_xvfb(folder, [mp3], "[other]\nBarType=2\n")
    bare = os.path.join(os.path.dirname(os.path.abspath(binary)), "../bench/display/bench_bare_panel")
    bare_x = measure_on_xvfb(folder, [], None, program=bare) if on_x and os.path.exists(bare) else None
    print(f"playing with the visualizer (bar type 2): {playing:.2f} % of one core (goal: at most 1 %)")
    print(f"playing, display collapsed (panel idle):  {collapsed:.2f} % (the panel costs {playing - collapsed:.2f} %)")
    print(f"stopped, nothing loaded, panel at rest:   {stopped:.2f} % of one core (goal: at most 0.1 %)")
    if on_x:
        print(f"on Xvfb, playing with the visualizer:     {on_x[0]:.2f} % of one core (goal: at most 0.5 %;"
              f" the X server {on_x[1]:.2f} %)")
    if bare_x:
        print(f"on Xvfb, a bare Qt window repainting a panel of that size at that rate: {bare_x[0]:.2f} %"
              f" (the X server {bare_x[1]:.2f} %); ratio {on_x[0] / max(bare_x[0], 0.01):.2f}x")
