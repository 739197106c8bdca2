#!/usr/bin/env python3
"""The real client against a hostile timing server (tools/hostile-server.sh runs this under Xvfb).

  hostile_server.py --client PATH [--long] [--work DIR] [--screenshot FILE]

A loopback server on port 6002 (of an address of its own in 127/8, so nothing else that
listens on 6002 is disturbed) floods heat lines, sends binary, a 10 MB line without "%",
hangs up mid-line, resets, accepts and stays silent; an address refuses; a second
listener never accepts; then the client connects and disconnects many times. The client is driven through its
window as a person would (xdotool: clicks on Connect and Start, Return on a message box).
After every case a click on Start must reach the server as a Start line, the process
must live, and its memory (VmRSS, VmHWM) must stay bounded. Bounded in time: every wait
has a limit, and the whole run a deadline.

Then a second client, with Form > Reconnect automatically on in its settings file, meets
a server that accepts and closes every connection at once, then one that accepts and
resets it, for 20 s each: at most 15 connections, at most one message box, a journal that
grows by a few lines, and Disconnect, Connect and Start still answer.
"""

import argparse
import os
import random
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

PORT = 6002
TITLE = "Velantra Remote Start 1.1.26"
BOX_TITLE = "^Velantra Remote Start$"  # a message box: the application's name alone
ERROR_TITLE = "^(DKN error|Velantra Remote Client error)$"
START_LINE = re.compile(rb"^\d\d:\d\d:\d\d Velantra Start$")
# Where the controls are, in pixels of the client area (15 twips a pixel, fixed), its
# height, and the height of the status line below it at the foot of the window.
CLIENT_HEIGHT = 590
FOOT_HEIGHT = 19
CONTROLS = {
    "Command_start": (468, 164),
    "Command_connect": (776, 208),
    "Command_disconnect": (776, 248),
    "Text_host": (780, 168),
}
# Peak: several times what the client needs, far below what a leak reaches (a client
# built with AddressSanitizer needs more: VELANTRA_HOSTILE_RSS_LIMIT_MIB).
RSS_LIMIT_MIB = int(os.environ.get("VELANTRA_HOSTILE_RSS_LIMIT_MIB", "256"))
GROWTH_LIMIT_MIB = 16  # over all the connect/disconnect cycles
# A server that ends every connection at once, with reconnecting on: for this long, at
# most so many connections (at once, then after 2, 4, 8 and every 10 s) and journal bytes.
STORM_SECONDS = 20
STORM_CONNECTIONS = 15
STORM_JOURNAL_BYTES = 16 * 1024
LONGEST_WAIT_SECONDS = 10  # between two attempts of the client's


class Failure(Exception):
    pass


def log(text):
    print(text, flush=True)


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.01)
    raise Failure(f"timed out after {seconds} s waiting for {what}")


class Connection:
    """One accepted connection: what the client sends is read and its Start lines counted."""

    def __init__(self, sock):
        self.sock = sock
        self.starts = 0
        self.other = []
        self.closed_by_client = False
        self.stop = threading.Event()
        self.sent = 0
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        pending = b""
        try:
            while True:
                data = self.sock.recv(65536)
                if not data:
                    self.closed_by_client = True
                    return
                pending += data
                *messages, pending = pending.split(b"%")
                for message in messages:
                    if START_LINE.match(message):
                        self.starts += 1
                    else:
                        self.other.append(message[:80])
        except OSError:
            self.closed_by_client = True

    def send_until_stopped(self, make_chunk):
        try:
            while not self.stop.is_set():
                self.sent += self.sock.send(make_chunk())
        except OSError:
            pass

    def close(self, reset=False):
        self.stop.set()
        try:
            if reset:  # an RST instead of a FIN
                self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                # Wakes the reader, which holds the socket open while it waits; sends nothing.
                self.sock.shutdown(socket.SHUT_RD)
            else:
                self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()


class Server:
    """The listener; each new connection is given to the behaviour set for it."""

    def __init__(self, host):
        self.listener = socket.create_server((host, PORT))
        self.connections = []
        self.behaviour = None
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                sock, _ = self.listener.accept()
            except OSError:
                return
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            connection = Connection(sock)
            self.connections.append(connection)
            if self.behaviour:
                threading.Thread(target=self.behaviour, args=(connection,), daemon=True).start()

    def latest(self):
        return self.connections[-1] if self.connections else None


def free_loopback_address(avoid=()):
    """An address in 127/8 where nothing listens on PORT."""
    for _ in range(100):
        host = f"127.{random.randint(1, 254)}.{random.randint(1, 254)}.{random.randint(1, 254)}"
        if host in avoid:
            continue
        try:
            with socket.create_server((host, PORT)):
                return host
        except OSError:
            continue
    raise Failure("no free loopback address")


class Client:
    """The real client, with private user folders, driven through its window."""

    def __init__(self, path, work, host, reconnect=False):
        self.work = work
        env = dict(os.environ)
        for name in ("HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
            folder = os.path.join(work, name.lower())
            os.makedirs(folder, mode=0o700, exist_ok=True)
            env[name] = folder
        env["QT_QPA_PLATFORM"] = "xcb"
        env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(work, "no-bus")  # no desktop to ask
        self.data = env["XDG_DATA_HOME"]
        with open(os.path.join(self.data, "Velantra_remote.ini"), "wb") as ini:
            ini.write(f"[settings]\r\nhost_ip={host}\r\nauto_reconnect={int(reconnect)}\r\n".encode())
        self.output = open(os.path.join(work, "client.log"), "wb")
        self.process = subprocess.Popen([path], env=env, stdout=self.output, stderr=subprocess.STDOUT)
        self.boxes = 0
        self.peak_rss = 0
        self.window = None
        wait_for(self._find_window, 20, "the main window")
        time.sleep(0.5)  # drawn
        self.origin = self._client_origin()

    def _find_window(self):
        self.check_alive()
        found = xdotool("search", "--onlyvisible", "--name", "^" + re.escape(TITLE) + "$", check=False)
        if found.strip():
            self.window = found.split()[0]
        return self.window is not None

    def _client_origin(self):
        shape = dict(line.split("=", 1) for line in xdotool("getwindowgeometry", "--shell", self.window).split())
        # Below the menu bar, above the status line: CLIENT_HEIGHT pixels.
        return int(shape["X"]), int(shape["Y"]) + int(shape["HEIGHT"]) - FOOT_HEIGHT - CLIENT_HEIGHT

    def check_alive(self):
        if self.process.poll() is not None:
            raise Failure(f"the client ended (exit {self.process.returncode}); see {self.output.name}")

    def check_no_failure_report(self):
        # An unexpected failure in a handler opens the error-report window instead of ending the client.
        if xdotool("search", "--onlyvisible", "--name", ERROR_TITLE, check=False).strip():
            raise Failure(f"the error-report window opened; see {self.output.name}")

    def rss(self):
        """VmRSS and VmHWM in MiB."""
        figures = {}
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                key, _, value = line.partition(":")
                if key in ("VmRSS", "VmHWM"):
                    figures[key] = int(value.split()[0]) / 1024
        self.peak_rss = max(self.peak_rss, figures["VmHWM"])
        if figures["VmHWM"] > RSS_LIMIT_MIB:
            raise Failure(f"the client's peak memory reached {figures['VmHWM']:.0f} MiB")
        return figures["VmRSS"], figures["VmHWM"]

    def cpu_seconds(self):
        with open(f"/proc/{self.process.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime, stime

    def journal_bytes(self):
        return sum(os.path.getsize(os.path.join(self.data, name)) for name in os.listdir(self.data)
                   if name.startswith("Velantra_journal_"))

    def dismiss_boxes(self):
        """Presses Return on every message box the client shows; their count."""
        found = 0
        for _ in range(20):
            boxes = xdotool("search", "--onlyvisible", "--name", BOX_TITLE, check=False).split()
            if not boxes:
                break
            for box in boxes:
                xdotool("windowfocus", "--sync", box, check=False)
                xdotool("key", "--clearmodifiers", "Return", check=False)
                found += 1
            time.sleep(0.1)
        self.boxes += found
        return found

    def click(self, control):
        self.check_alive()
        x, y = CONTROLS[control]
        # No --sync: it waits for a move, and the pointer may be there already.
        xdotool("mousemove", str(self.origin[0] + x), str(self.origin[1] + y), "click", "1")

    def set_host(self, host):
        self.click("Text_host")
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("type", "--delay", "0", host)

    def exit(self):
        """Form > Exit by its shortcut, with the focus on Start; the exit code."""
        self.dismiss_boxes()
        xdotool("windowfocus", "--sync", self.window, check=False)
        xdotool("key", "--clearmodifiers", "ctrl+x")
        try:
            return self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("the client did not end on Form > Exit (Ctrl+X)")


def xdotool(*args, check=True):
    try:
        result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure(f"xdotool {' '.join(args)} did not return")
    if check and result.returncode != 0:
        raise Failure(f"xdotool {' '.join(args)}: {result.stderr.strip()}")
    return result.stdout


class Run:
    def __init__(self, client, server, host, long_run, screenshot=None):
        self.screenshot = screenshot
        self.client = client
        self.server = server
        self.host = host
        self.long = long_run
        self.results = []

    def connect(self, behaviour):
        """Clicks Connect; the new connection once the server has it."""
        self.server.behaviour = behaviour
        before = len(self.server.connections)
        self.client.dismiss_boxes()
        self.client.click("Command_connect")
        wait_for(lambda: len(self.server.connections) > before, 10, "the client to connect")
        return self.server.latest()

    def start_reaches(self, connection, what):
        """A click on Start arrives at the server as one Start line; how long it took."""
        before = connection.starts
        began = time.monotonic()
        self.client.click("Command_start")
        wait_for(lambda: connection.starts > before, 10, f"a Start line {what}")
        took = time.monotonic() - began
        if connection.starts != before + 1:
            raise Failure(f"one click, {connection.starts - before} Start lines {what}")
        return took

    def answers(self, what):
        """After a case: the client still connects, and a click on Start reaches the server."""
        self.client.dismiss_boxes()
        connection = self.connect(lambda c: c.sock.sendall(b"Velantra Active Heat/1/Ready%"))
        self.start_reaches(connection, f"after {what}")
        self.client.check_alive()

    def case(self, name, body):
        began = time.monotonic()
        note = body() or ""
        self.answers(name)
        boxes = self.client.dismiss_boxes()
        self.client.check_no_failure_report()
        rss, peak = self.client.rss()
        self.results.append((name, time.monotonic() - began, rss, peak, note))
        log(f"  {name:<34} {time.monotonic() - began:6.1f} s  RSS {rss:6.1f} MiB  peak {peak:6.1f} MiB  {note}"
            + (f" ({boxes} message box(es) dismissed)" if boxes else ""))

    def streaming(self, make_chunk, seconds, what):
        """The server sends while a Start is clicked in the middle of it."""
        def behaviour(connection):
            connection.send_until_stopped(make_chunk)
        connection = self.connect(behaviour)
        time.sleep(min(1.0, seconds / 2))
        took = self.start_reaches(connection, f"during {what}")
        if self.screenshot:
            subprocess.run(["import", "-window", "root", self.screenshot], check=False)
            self.screenshot = None
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.client.rss()
            self.client.check_alive()
            time.sleep(0.2)
        connection.close()
        return f"{connection.sent / 1e6:.0f} MB sent, a Start during it in {took * 1000:.0f} ms"

    def flood(self):
        lines = b"".join(b"Velantra Active Heat/%d/Ready%%" % i for i in range(1, 2000))
        return self.streaming(lambda: lines, 30 if self.long else 3, "a heat-line flood")

    def binary(self):
        return self.streaming(lambda: os.urandom(65536), 30 if self.long else 3, "binary")

    def ten_megabytes(self):
        line = bytes(b for b in range(256) if b != ord("%")) * 4096  # 1 MB, every byte but "%"
        sent = [0]

        def behaviour(connection):
            try:
                for _ in range(10 * (5 if self.long else 1)):
                    connection.sock.sendall(line)
                    sent[0] += len(line)
            except OSError:
                pass
        connection = self.connect(behaviour)
        wait_for(lambda: sent[0] >= len(line) * 10, 60, "10 MB to be taken")
        took = self.start_reaches(connection, "after a 10 MB line")
        connection.close()
        return f"{sent[0] / 1e6:.0f} MB without \"%\", then a Start in {took * 1000:.0f} ms"

    def hang_up(self):
        def behaviour(connection):
            connection.sock.sendall(b"Velantra Active Heat/9/Rea")
            time.sleep(0.05)
            connection.close()
        self.connect(behaviour)
        time.sleep(0.5)

    def reset(self):
        def behaviour(connection):
            connection.sock.sendall(b"Velantra Active Heat/10/Ready%half a li")
            time.sleep(0.05)
            connection.close(reset=True)
        self.connect(behaviour)
        wait_for(lambda: self.client.dismiss_boxes() > 0, 10, "the reset's message box")

    def storm(self, reset):
        """Every connection ended at once, with reconnecting on: the client backs off."""
        client = self.client
        journal, cpu, before = client.journal_bytes(), client.cpu_seconds(), len(self.server.connections)
        self.server.behaviour = lambda connection: connection.close(reset=reset)
        client.click("Command_connect")
        boxes = 0
        began = time.monotonic()
        while time.monotonic() - began < STORM_SECONDS:
            client.check_alive()
            client.check_no_failure_report()
            boxes += client.dismiss_boxes()
            if self.screenshot and time.monotonic() - began > STORM_SECONDS / 2:
                subprocess.run(["import", "-window", "root", self.screenshot], check=False)
                self.screenshot = None
            time.sleep(0.2)
        made = len(self.server.connections) - before
        cpu = client.cpu_seconds() - cpu
        boxes += client.dismiss_boxes()
        grown = client.journal_bytes() - journal
        if made > STORM_CONNECTIONS:
            raise Failure(f"{made} connections in {STORM_SECONDS} s")
        if boxes > 1:
            raise Failure(f"{boxes} message boxes in {STORM_SECONDS} s")
        if grown > STORM_JOURNAL_BYTES:
            raise Failure(f"the journal grew by {grown} bytes in {STORM_SECONDS} s")
        # Disconnect ends it: no attempt comes after the longest wait.
        client.click("Command_disconnect")
        after = len(self.server.connections)
        time.sleep(LONGEST_WAIT_SECONDS + 2)
        if len(self.server.connections) > after + 1:  # one may have been on its way
            raise Failure("the client connected again after Disconnect")
        return f"{made} connections, {boxes} box(es), journal +{grown} B, CPU {cpu:.1f} s"

    def silent(self):
        connection = self.connect(None)  # accepted, never a byte back
        took = self.start_reaches(connection, "to a silent server")
        time.sleep(1)
        return f"a Start in {took * 1000:.0f} ms"

    def refused(self):
        # Nobody listens: the client says so in a box ("winsock error! ..."), which is answered.
        self.client.set_host(free_loopback_address(avoid=(self.host,)))
        self.client.click("Command_connect")
        wait_for(lambda: self.client.dismiss_boxes() > 0, 10, "the refusal's message box")
        self.client.set_host(self.host)
        return "its message box answered"

    def never_accepts(self):
        # A listener whose queue is full: the client's connection is never even answered.
        host = free_loopback_address(avoid=(self.host,))
        listener = socket.create_server((host, PORT), backlog=0)
        fillers = []
        for _ in range(3):
            filler = socket.socket()
            filler.setblocking(False)
            filler.connect_ex((host, PORT))
            fillers.append(filler)
        time.sleep(0.2)
        self.client.set_host(host)
        self.client.click("Command_connect")
        time.sleep(2)
        self.client.check_alive()
        self.client.click("Command_disconnect")
        self.client.set_host(self.host)
        for filler in fillers:
            filler.close()
        listener.close()

    def cycles(self):
        count = 1000 if self.long else 200
        before, _ = self.client.rss()
        for i in range(count):
            def behaviour(connection, i=i):
                connection.sock.sendall(b"Velantra Active Heat/%d/Ready%%" % i)
                if i % 2 == 0:
                    connection.close()  # the server hangs up ...
            connection = self.connect(behaviour)
            if i % 2 == 1:
                self.client.click("Command_disconnect")  # ... or the client does
                wait_for(lambda: connection.closed_by_client, 10, "the client to close")
            if i % 50 == 0:
                self.client.rss()
        growth = self.client.rss()[0] - before
        if growth > GROWTH_LIMIT_MIB:
            raise Failure(f"the client grew by {growth:.1f} MiB over {count} connections")
        return f"{count} connections, RSS {growth:+.1f} MiB"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", required=True)
    parser.add_argument("--long", action="store_true", help="longer floods, more data and cycles (by hand)")
    parser.add_argument("--work", help="keep the client's folders and log here")
    parser.add_argument("--screenshot", help="a screenshot of the screen during the flood")
    parser.add_argument("--storm-screenshot", help="a screenshot of the screen while a server ends every connection")
    args = parser.parse_args()
    for tool in ("xdotool",):
        if not shutil.which(tool):
            raise SystemExit(f"hostile-server: {tool} is missing (tools/install-deps.sh installs it)")

    work = args.work or tempfile.mkdtemp(prefix="velantra-hostile.")
    os.makedirs(work, exist_ok=True)
    host = free_loopback_address()
    server = Server(host)
    began = time.monotonic()
    log(f"Hostile server on {host}:{PORT}; the client's folders and log in {work}")
    client = Client(args.client, work, host)
    run = Run(client, server, host, args.long, args.screenshot)
    status = 0
    try:
        rss, _ = client.rss()
        log(f"  {'started':<34} {'':8}  RSS {rss:6.1f} MiB")
        run.case("heat-line flood", run.flood)
        run.case("binary", run.binary)
        run.case("10 MB without \"%\"", run.ten_megabytes)
        run.case("hang-up in the middle of a line", run.hang_up)
        run.case("reset", run.reset)
        run.case("accepts and stays silent", run.silent)
        run.case("refused", run.refused)
        run.case("never accepts", run.never_accepts)
        run.case("connect/disconnect cycles", run.cycles)
        code = client.exit()
        if code != 0:
            raise Failure(f"the client ended with exit code {code}")
        if server.latest() and not server.latest().closed_by_client:
            wait_for(lambda: server.latest().closed_by_client, 5, "the server to see the close at exit")
        client.output.close()

        log("  a second client, Reconnect automatically on:")
        first = client
        client = Client(args.client, os.path.join(work, "reconnecting"), host, reconnect=True)
        run = Run(client, server, host, args.long, args.storm_screenshot)
        run.case("accepts and closes at once", lambda: run.storm(reset=False))
        run.case("accepts and resets at once", lambda: run.storm(reset=True))
        code = client.exit()
        if code != 0:
            raise Failure(f"the client ended with exit code {code}")
        log(f"Passed in {time.monotonic() - began:.0f} s: the client lived, answered after every case and ended "
            f"cleanly; peak RSS {max(first.peak_rss, client.peak_rss):.1f} MiB; "
            f"{first.boxes + client.boxes} message box(es) dismissed.")
    except Failure as failure:
        log(f"hostile-server: FAILED: {failure}")
        status = 1
    finally:
        if client.process.poll() is None:
            client.process.kill()
            client.process.wait()
        client.output.close()
        if status == 0 and not args.work:
            shutil.rmtree(work, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
