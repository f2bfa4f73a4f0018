"""The studio server attacked as any local program could (run by studio_attacks.sh).

--table runs ATTACKS, one row each: the attack, bounded in count and time,
and what must hold while it lasts. Under every attack and after it the
player's resident memory stays within RSS_GROWTH of its start; under the
held connections an authenticated request answers within ANSWER_MS (median
of five) and the frames keep FRAME_SHARE of their rate. The last row ends
the player with SIGTERM under attack: it must end within EXIT_SECONDS.
--descriptors runs the player's hard limit of 1024 descriptors against
1,000 connections: the excess is refused, a saved file still reloads, and
Escape ends the player within EXIT_SECONDS.
"""
import argparse
import json
import os
import resource
import select
import signal
import socket
import statistics
import subprocess
import sys
import time
import urllib.parse

MIB = 1024 * 1024
RSS_GROWTH = 50 * MIB
ANSWER_MS = 100
FRAME_SHARE = 0.2
EXIT_SECONDS = 1.0                  # twice that for a sanitized player
HELD = 1000                         # idle or trickling connections
PER_CLIENT, IN_ALL = 1024, 1280     # the server's default caps
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


class Player:
    def __init__(self, url, pid, window):
        parts = urllib.parse.urlsplit(url)
        self.port, self.pid, self.window = parts.port, pid, window
        self.token = urllib.parse.parse_qs(parts.query)["token"][0]

    def request(self, method, path, headers=(), body=b"", token=True, host=None):
        lines = ["%s %s HTTP/1.1" % (method, path), "Host: " + (host or "127.0.0.1:%d" % self.port)]
        lines += (["X-Vortane-Token: " + self.token] if token else []) + list(headers)
        if body:
            lines.append("Content-Length: %d" % len(body))
        return ("\r\n".join(lines) + "\r\n\r\n").encode() + body

    def rss(self):
        with open("/proc/%d/status" % self.pid) as status:
            return next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmRSS:"))

    def ended(self):
        try:
            with open("/proc/%d/stat" % self.pid) as stat:
                return stat.read().rsplit(")", 1)[1].split()[0] in "ZX"
        except FileNotFoundError:
            return True

    def fps(self):
        title = subprocess.run(["xprop", "-id", self.window, "_NET_WM_NAME"], capture_output=True, text=True).stdout
        try:
            return int(title.split("FPS:")[1].split()[0])
        except (IndexError, ValueError):
            return 0

    def answer_ms(self):
        times = []
        for _ in range(5):
            start = time.monotonic()
            reply = talk(self.port, self.request("GET", "/api/state", ["Connection: close"]))
            times.append((time.monotonic() - start) * 1000 if reply.startswith(b"HTTP/1.1 200") else 1e9)
        return statistics.median(times)

    def state(self):
        reply = talk(self.port, self.request("GET", "/api/state", ["Connection: close"]))
        return json.loads(reply.split(b"\r\n\r\n", 1)[1])


def connect(port, source="127.0.0.1"):
    s = socket.socket()
    s.bind((source, 0))
    s.settimeout(5)
    s.connect(("127.0.0.1", port))
    return s


def talk(port, data, timeout=5):
    """Sends data on a new connection; everything the server sends until it closes."""
    s, reply = connect(port), b""
    s.settimeout(timeout)
    try:
        s.sendall(data)
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            reply += chunk
    except (ConnectionResetError, BrokenPipeError, socket.timeout):
        pass
    s.close()
    return reply


def closed(sockets, seconds=1.0):
    """How many of the sockets the server ends within seconds (whatever it sent first)."""
    end, ended = time.monotonic() + seconds, set()
    poller = select.poll()
    for s in sockets:
        poller.register(s, select.POLLIN)
    while len(ended) < len(sockets):
        ready = poller.poll(max(0, int((end - time.monotonic()) * 1000)))
        if not ready:
            break
        for fd, _ in ready:
            try:
                if os.read(fd, 65536):
                    continue
            except ConnectionResetError:
                pass
            ended.add(fd)
            poller.unregister(fd)
    return len(ended)


def flood(player, head, filler, probe):
    """head, then filler without end: the server must close within 3 s and 4 MiB."""
    s = connect(player.port)
    s.settimeout(3)
    sent, start = 0, time.monotonic()
    try:
        s.sendall(head)
        while sent < 4 * MIB and time.monotonic() - start < 3:
            sent += s.send(filler)
            if sent % (256 * 1024) < len(filler):
                probe()
    except (BrokenPipeError, ConnectionResetError):
        return
    except socket.timeout:
        pass
    expect(closed([s], 0.5) == 1, "a flood of %d bytes after %r was not cut off" % (sent, head[:40]))
    s.close()


def poke(sockets, data):
    """Sends data on each socket the server has not closed yet."""
    for s in sockets:
        try:
            s.send(data)
        except OSError:
            pass


def status_of(reply):
    return reply[9:12].decode() if reply.startswith(b"HTTP/1.1 ") else "none"


# ------------------------------------------------------------ the attacks


def ranges(player, probe):
    script = talk(player.port, player.request("GET", "/studio.js", ["Connection: close"], token=False))
    many_ranges = "Range: bytes=" + ",".join(["0-"] * 2700)
    for path in ("/studio.js", "/api/state"):  # an answer, and a refusal (no token)
        reply = talk(player.port, player.request("GET", path, [many_ranges, "Connection: close"], token=False))
        expect(len(reply) <= len(script) + 1024, "%d bytes for %s with 2,700 ranges" % (len(reply), path))
    # 16 slow readers of the same: asked, never read.
    readers = [connect(player.port) for _ in range(16)]
    for s in readers:
        s.sendall(player.request("GET", "/studio.js", [many_ranges], token=False))
    probe()
    return readers


def long_line(player, probe):
    reply = talk(player.port, player.request("GET", "/studio.js?" + "a" * 8200, token=False))
    expect(status_of(reply) == "414", "an 8 KiB request line: %r" % reply[:40])
    flood(player, b"GET /", b"a" * 4096, probe)


def long_headers(player, probe):
    many = ["X-Many-%d: 1" % i for i in range(65)]
    reply = talk(player.port, player.request("GET", "/studio.js", many, token=False))
    expect(status_of(reply) == "431", "65 headers: %r" % reply[:40])
    big = ["X-Big-%d: %s" % (i, "b" * 8000) for i in range(5)]
    reply = talk(player.port, player.request("GET", "/studio.js", big, token=False))
    expect(status_of(reply) in ("431", "none"), "40 KB of headers: %r" % reply[:40])
    flood(player, b"GET / HTTP/1.1\r\nX-Long: ", b"c" * 4096, probe)
    flood(player, b"GET / HTTP/1.1\r\n", b"X-Line: endless\r\n" * 256, probe)


def idle(player, probe):
    held = [connect(player.port) for _ in range(HELD)]
    probe(answer=True)
    return held


def trickling(player, probe):
    held = [connect(player.port) for _ in range(HELD)]
    text = player.request("GET", "/api/state")
    for i in range(6):  # one byte every half second
        poke(held, text[i:i + 1])
        probe(answer=i == 3)
        time.sleep(0.5)
    return held


def caps(player, probe):
    """The caps per client and in all refuse the excess at once (127.0.0.2 is a second client)."""
    held = [connect(player.port) for _ in range(PER_CLIENT)]
    held += [connect(player.port, "127.0.0.2") for _ in range(IN_ALL - PER_CLIENT)]
    time.sleep(0.5)
    expect(closed(held, 0) == 0, "connections within the caps were closed")
    for source, cap in (("127.0.0.1", "per client"), ("127.0.0.2", "in all")):
        s = connect(player.port, source)
        expect(closed([s]) == 1, "a connection beyond the cap %s was not refused at once" % cap)
        s.close()
    probe()
    return held


def smuggled(player, probe):
    """A refused request's body holds a second, token-carrying request: never run."""
    inner = player.request("POST", "/api/pause?token=" + player.token)
    outer = player.request("POST", "/api/pause", ["Origin: http://evil.example", "Content-Type: text/plain"],
                           body=inner, token=False)
    reply = talk(player.port, outer)
    expect(reply.count(b"HTTP/1.1 ") == 1 and status_of(reply) == "403", "smuggled: %r" % reply[:200])
    expect(not player.state()["paused"], "the smuggled request paused the player")
    probe()


def two_hosts(player, probe):
    for first, second in (("127.0.0.1:%d" % player.port, "evil.example"), ("evil.example", "127.0.0.1:%d" % player.port)):
        reply = talk(player.port, player.request("GET", "/api/state", ["Host: " + second, "Connection: close"],
                                                 host=first))
        expect(status_of(reply) == "403", "two Host headers (%s first): %r" % (first, reply[:40]))
    probe()


def near_numbers(player, probe):
    for path, body in (("/api/speed", {"speed": 0.2500000001}), ("/api/loop", {"from": 1000, "to": 1000.00001})):
        reply = talk(player.port, player.request("POST", path, ["Connection: close"], json.dumps(body).encode()))
        expect(status_of(reply) == "400", "%s %s: %r" % (path, body, reply[:40]))
    state = player.state()
    expect(state["speed"] == 1 and state["loop"] is None, "a refused number changed the state: %r" % state)
    probe()


EDITS = ["/api/edit/line", "/api/edit/line/add", "/api/edit/line/delete", "/api/edit/item/add",
         "/api/edit/item/delete", "/api/edit/item/move", "/api/edit/key", "/api/edit/key/add",
         "/api/edit/key/delete", "/api/undo", "/api/redo", "/api/settings"]


def demo_files(player):
    """Every file of the demo's folder (links not followed) with its bytes."""
    files = {}
    for folder, _, names in os.walk("/proc/%d/cwd/data" % player.pid):
        for name in names:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    files[path] = f.read()
    return files


def edits_refused(player, probe):
    """Every edit without the token or from another page, and new items' files outside the demo: refused."""
    link = "/proc/%d/cwd/data/outside" % player.pid
    if not os.path.lexists(link):
        os.symlink("/tmp", link)
    before = demo_files(player)
    reply = talk(player.port, player.request("GET", "/api/timeline", ["Connection: close"]))
    version = json.loads(reply.split(b"\r\n\r\n", 1)[1])["script"]["version"]
    body = json.dumps({"item": 0, "line": 0, "begin": 0, "end": 10, "version": version, "tempo": 90}).encode()
    for path in EDITS:
        for headers, token in (([], False), (["Origin: http://evil.example"], True)):
            reply = talk(player.port, player.request("POST", path, headers + ["Connection: close"], body, token=token))
            expect(status_of(reply) == "403", "%s %s: %r" % (path, headers or "without the token", reply[:40]))
    for name in ("../../outside.vtt", "/tmp/outside.vtt", "data\\..\\..\\outside.vtt", "data/outside/x.vtt"):
        body = json.dumps({"type": "vt_TRANS", "file": name, "at": 0, "version": version}).encode()
        reply = talk(player.port, player.request("POST", "/api/edit/item/add", ["Connection: close"], body))
        expect(status_of(reply) == "400", "a new item's file %s: %r" % (name, reply[:40]))
    expect(demo_files(player) == before, "a refused edit changed the demo's files")
    probe()


def sigterm(player, probe):
    """SIGTERM with 1,000 trickling connections and 16 event streams open."""
    held = [connect(player.port) for _ in range(HELD)]
    streams = [connect(player.port) for _ in range(16)]
    for s in streams:
        s.sendall(player.request("GET", "/api/events"))
    poke(held, b"G")
    probe()
    start = time.monotonic()
    os.kill(player.pid, signal.SIGTERM)
    while not player.ended() and time.monotonic() - start < 10:
        poke(held, b"E")
        time.sleep(0.05)
    took = time.monotonic() - start
    expect(took <= EXIT_SECONDS, "the player ended %.2f s after SIGTERM" % took)
    print("studio_attacks: SIGTERM: the player ended after %.2f s" % took)
    return held + streams


ATTACKS = [
    ("2,700 ranges; 16 slow readers", ranges),
    ("request line of 8 KiB; without end", long_line),
    ("65 headers; 40 KB of headers; a header without end; header lines without end", long_headers),
    ("%d idle connections" % HELD, idle),
    ("%d connections sending a byte every 0.5 s" % HELD, trickling),
    ("caps: %d per client, %d in all" % (PER_CLIENT, IN_ALL), caps),
    ("a refused request's body holding a request", smuggled),
    ("two Host headers", two_hosts),
    ("numbers a float would round into range", near_numbers),
    ("edits without the token, from another page, or naming files outside the demo", edits_refused),
    ("SIGTERM under %d trickling connections" % HELD, sigterm),
]


def run_table(player):
    start_rss = player.rss()
    frames = statistics.median(player.fps() or 0 for _ in range(3) if time.sleep(0.5) is None)
    print("studio_attacks: %.1f MiB resident, %d frames/s before" % (start_rss / MIB, frames))
    for name, attack in ATTACKS:
        before = len(failures)
        peak, answers, rates = [start_rss], [], []

        def probe(answer=False):
            if player.ended():
                return
            peak.append(player.rss())
            rates.append(player.fps())
            if answer:
                answers.append(player.answer_ms())

        for s in attack(player, probe) or []:
            s.close()
        if player.ended():
            print("studio_attacks: %s: ended" % name)
            break
        time.sleep(0.5)
        after = player.rss()
        expect(max(peak) - start_rss <= RSS_GROWTH, "%s: resident memory +%.1f MiB" % (name, (max(peak) - start_rss) / MIB))
        expect(after - start_rss <= RSS_GROWTH, "%s: +%.1f MiB after it" % (name, (after - start_rss) / MIB))
        for ms in answers:
            expect(ms <= ANSWER_MS, "%s: an authenticated request took %.0f ms" % (name, ms))
        if answers:
            expect(statistics.median(rates) >= FRAME_SHARE * frames, "%s: %s frames/s against %d" % (name, rates, frames))
        print("studio_attacks: %s: peak +%.1f MiB, after +%.1f MiB, answers %s ms, frames/s %s%s" % (
            name, (max(peak) - start_rss) / MIB, (after - start_rss) / MIB, ["%.1f" % a for a in answers], rates,
            "" if len(failures) == before else " FAILED"))


def run_descriptors(player, edited):
    """1,000 connections against a hard limit of 1024: the excess is refused,
    the player still reads a saved file, and Escape ends it."""
    held = [connect(player.port) for _ in range(HELD)]
    time.sleep(0.5)
    refused = closed(held, 0.2)
    expect(0 < refused < HELD, "%d of %d connections refused under 1024 descriptors" % (refused, HELD))
    with open(edited, "a") as f:
        f.write("# saved while the server is full\n")
    time.sleep(2)  # the reload happens meanwhile, on the player's own thread
    for s in held:
        s.close()
    time.sleep(0.5)
    reply = talk(player.port, player.request("GET", "/api/timeline", ["Connection: close"]))
    items = json.loads(reply.split(b"\r\n\r\n", 1)[1])["items"]
    name = os.path.basename(edited)
    expect(any(i["status"] == "reloaded" and name in i["file"] for i in items), "%s not reloaded: %r" % (name, items))
    held = [connect(player.port) for _ in range(HELD)]  # under attack while it ends
    poke(held, b"G")
    subprocess.run(["xdotool", "mousemove", "--window", player.window, "5", "5"], check=True)
    subprocess.run(["xdotool", "keydown", "Escape"], check=True)
    start = time.monotonic()
    time.sleep(0.1)
    subprocess.run(["xdotool", "keyup", "Escape"], check=True)
    while not player.ended() and time.monotonic() - start < 10:
        time.sleep(0.02)
    took = time.monotonic() - start
    expect(took <= EXIT_SECONDS, "the player ended %.2f s after Escape" % took)
    print("studio_attacks: %d of %d connections refused under 1024 descriptors; a reload; Escape: %.2f s" % (
        refused, HELD, took))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--url", required=True)
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--window", required=True)
    parser.add_argument("--table", action="store_true")
    parser.add_argument("--descriptors", action="store_true")
    parser.add_argument("--edit")
    parser.add_argument("--sanitized", action="store_true")
    args = parser.parse_args()
    global EXIT_SECONDS
    EXIT_SECONDS *= 2 if args.sanitized else 1
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 8192), hard))
    player = Player(args.url, args.pid, args.window)
    if args.table:
        run_table(player)
    if args.descriptors:
        run_descriptors(player, args.edit)
    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
