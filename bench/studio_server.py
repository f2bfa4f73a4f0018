"""The studio server under held connections: an authenticated request's time
and the player's resident memory, with 1000 idle or 1000 trickling
connections open (ours) against none (the reference), in one run.

Starts Xvfb and `vortane --studio --port 0` on a copy of the sample demo.
Prints ROW lines for bench/run (figure, ours, reference, ratio, target, met).

    python3 bench/studio_server.py --player build/bench/vortane
"""
import argparse
import os
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

HELD = 1000
REQUESTS = 50


def start_xvfb():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                             "-noreset"], pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    display = b""
    while not display.endswith(b"\n"):  # the whole line: closing early would kill Xvfb by SIGPIPE
        chunk = os.read(read, 16)
        if not chunk:
            sys.exit("Xvfb did not start")
        display += chunk
    os.close(read)
    return xvfb, ":" + display.decode().strip()


def request_times(port, token, poke=None):
    """Milliseconds of REQUESTS authenticated GET /api/state, each on a new connection."""
    request = ("GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Vortane-Token: %s\r\nConnection: close\r\n\r\n"
               % (port, token)).encode()
    times = []
    for i in range(REQUESTS):
        if poke and i % 5 == 0:
            poke()
        start = time.monotonic()
        with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
            s.sendall(request)
            reply = b""
            while chunk := s.recv(65536):
                reply += chunk
        if not reply.startswith(b"HTTP/1.1 200"):
            sys.exit("the server answered %r" % reply[:40])
        times.append((time.monotonic() - start) * 1000)
    return times


def rss(pid):
    with open("/proc/%d/status" % pid) as status:
        return next(int(line.split()[1]) / 1024 for line in status if line.startswith("VmRSS:"))


def measure(port, token, pid, trickle):
    held = [socket.create_connection(("127.0.0.1", port), timeout=30) for _ in range(HELD)]
    text, sent = b"GET /api/state HTTP/1.1\r\n", [0]

    def poke():  # one more byte on every held connection
        for s in held:
            s.send(text[sent[0] % len(text):][:1])
        sent[0] += 1

    try:
        times = request_times(port, token, poke if trickle else None)
        return times, rss(pid)
    finally:
        for s in held:
            s.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--player", required=True)
    args = parser.parse_args()
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 4096), hard))
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    work = tempfile.mkdtemp(prefix="studio-server-bench-")
    xvfb = player = None
    try:
        shutil.copytree(os.path.join(root, "data"), os.path.join(work, "data"))
        xvfb, display = start_xvfb()
        env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy", VORTANE_MESSAGES="stderr")
        env.pop("SDL_VIDEODRIVER", None)
        env.pop("WAYLAND_DISPLAY", None)
        player = subprocess.Popen([os.path.abspath(args.player), "--studio", "--port", "0", "--window"], cwd=work,
                                  env=env, stdout=subprocess.PIPE, text=True)
        url = urllib.parse.urlsplit(player.stdout.readline().split(" ", 1)[-1].strip())
        if not url.port:
            sys.exit("no studio line from the player")
        token = urllib.parse.parse_qs(url.query)["token"][0]
        time.sleep(1)
        quiet, quiet_rss = request_times(url.port, token), rss(player.pid)
        figures = {"idle": measure(url.port, token, player.pid, False),
                   "trickling": measure(url.port, token, player.pid, True)}
    finally:
        if player:
            player.terminate()
            player.wait(30)
        if xvfb:
            xvfb.terminate()
        shutil.rmtree(work, ignore_errors=True)

    def spread(values):
        return "%.2f ms (%.2f–%.2f)" % (statistics.median(values), min(values), max(values))

    for kind, (times, resident) in figures.items():
        ours, reference = statistics.median(times), statistics.median(quiet)
        print("ROW\tStudio server, %d %s connections: GET /api/state (median of %d)\t%s\t%s\t%.1f\t≤ 100 ms\t%s" % (
            HELD, kind, REQUESTS, spread(times), spread(quiet), ours / reference, "YES" if ours <= 100 else "NO"))
        print("ROW\tStudio server, %d %s connections: resident memory\t%.1f MiB\t%.1f MiB\t%.2f\t≤ +50 MiB\t%s" % (
            HELD, kind, resident, quiet_rss, resident / quiet_rss, "YES" if resident - quiet_rss <= 50 else "NO"))


if __name__ == "__main__":
    main()
