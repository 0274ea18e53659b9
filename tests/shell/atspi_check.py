#!/usr/bin/python3
"""The window over the real accessibility bus, as a screen reader reads it: on a virtual display with
a session bus of its own, the program plays a track; the position bar is found by its name and its
value read while the track plays, and the volume bar is set through the bus.

Usage: atspi_check.py <kavetto binary>. Exits 77 (skipped) when Xvfb or the accessibility bus is
not installed."""
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import wave

SKIP = 77
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def skip(why):
    print("skipped: " + why)
    sys.exit(SKIP)


def write_tone(path, seconds, rate=8000):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(8000 * math.sin(i * 0.2))) for i in range(seconds * rate)))


def wait_for(what, probe, seconds=20):
    from gi.repository import GLib
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        # The registry's news of applications arrives through the main loop.
        while GLib.MainContext.default().iteration(False):
            pass
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    raise AssertionError("timed out waiting for " + what)


def find(node, name, role, depth=0):
    if node is None or depth > 30:
        return None
    try:
        if node.name == name and node.getRoleName() == role:
            return node
        for i in range(node.childCount):
            hit = find(node.getChildAtIndex(i), name, role, depth + 1)
            if hit:
                return hit
    except Exception:  # objects vanish while the window builds itself
        return None
    return None


def dump(node, depth=0):
    try:
        lines = ["  " * depth + "%s [%s]" % (node.name, node.getRoleName())]
        for i in range(node.childCount if depth < 12 else 0):
            lines += dump(node.getChildAtIndex(i), depth + 1)
        return lines
    except Exception as e:
        return ["  " * depth + "? " + str(e)]


def main():
    binary = sys.argv[1]
    if not shutil.which("Xvfb") or not os.path.exists(LAUNCHER) or not shutil.which("dbus-daemon"):
        skip("Xvfb, dbus-daemon or at-spi2-core is not installed")
    import importlib.util
    if not importlib.util.find_spec("pyatspi"):  # imported only once the buses are up
        skip("python3-pyatspi is not installed")

    started = []
    work = tempfile.mkdtemp(prefix="kv-atspi-")
    try:
        read_fd, write_fd = os.pipe()
        started.append(subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                                         "-nolisten", "tcp"], pass_fds=[write_fd], stderr=subprocess.DEVNULL))
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            display = ":" + f.readline().strip()
        daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                  stdout=subprocess.PIPE, text=True)
        started.append(daemon)
        address = daemon.stdout.readline().strip()
        env = dict(os.environ, DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=address, XDG_RUNTIME_DIR=work,
                   HOME=work)
        env.pop("AT_SPI_BUS_ADDRESS", None)
        started.append(subprocess.Popen([LAUNCHER, "--launch-immediately"], env=env))

        def bus_address():
            r = subprocess.run(["dbus-send", "--session", "--print-reply=literal", "--dest=org.a11y.Bus",
                                "/org/a11y/bus", "org.a11y.Bus.GetAddress"], env=env, capture_output=True, text=True)
            return r.stdout.strip() if r.returncode == 0 else None

        # Qt finds the bus through the session bus as on a desktop (given the address outright, it
        # connects but never registers); the checking side is told the address.
        os.environ.update(env, AT_SPI_BUS_ADDRESS=wait_for("the accessibility bus", bus_address))

        # A copy of its own keeps the settings in the temporary folder.
        program = os.path.join(work, "kavetto")
        shutil.copy(binary, program)
        tone = os.path.join(work, "tone.wav")
        write_tone(tone, 60)
        started.append(subprocess.Popen([program, tone], env=dict(
            env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", SDL_AUDIODRIVER="dummy")))

        import pyatspi
        desktop = pyatspi.Registry.getDesktop(0)
        try:
            position = wait_for("the position bar", lambda: find(desktop, "再生位置", "slider"), 30)
        except AssertionError:
            print("\n".join(dump(desktop)))
            raise
        value = position.queryValue()
        assert value.maximumValue == 60, value.maximumValue
        seconds = wait_for("the track to play on", lambda: value.currentValue >= 2 and value.currentValue)
        print("再生位置:", seconds, "/", value.maximumValue)

        volume = find(desktop, "音量", "slider").queryValue()
        volume.currentValue = 40
        wait_for("the volume to follow", lambda: volume.currentValue == 40, 5)
        volume.currentValue = 101  # beyond the bar: refused
        time.sleep(0.3)
        assert volume.currentValue == 40, volume.currentValue
        panel = wait_for("the panel", lambda: find(desktop, "液晶", "status bar"), 5)
        assert panel.description.startswith("tone.wav"), panel.description
        print("OK")
    finally:
        for p in reversed(started):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
