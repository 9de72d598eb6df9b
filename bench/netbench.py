# SPDX-License-Identifier: MIT
"""What the bench needs for receivers on another machine: ser2net started in front of the
simulators' pseudo-terminals on 127.0.0.1 (free ports, a generated configuration, never the
system's service), and a TCP relay that holds every chunk back a fixed time in each direction,
as a slow network would."""
import os
import queue
import shutil
import socket
import subprocess
import tempfile
import threading
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    """True while something listens on 127.0.0.1:port (read from /proc: nothing connects, so
    ser2net does not open a device for the check)."""
    wanted = "0100007F:%04X" % port
    with open("/proc/net/tcp") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            if fields[1] == wanted and fields[3] == "0A":
                return True
    return False


class Ser2net:
    """ser2net serving each (device, mode) on its own free port; mode "rfc2217" or "tcp"."""

    def __init__(self, served):
        program = shutil.which("ser2net") or "/usr/sbin/ser2net"
        if not os.access(program, os.X_OK):
            raise SystemExit("bench: ser2net is not installed (scripts/install-deps installs it)")
        self.dir = tempfile.mkdtemp(prefix="zendrak-bench-ser2net.")
        self.ports = [free_port() for _ in served]
        lines = []
        for i, ((device, mode), port) in enumerate(zip(served, self.ports)):
            accepter = "telnet(rfc2217),tcp" if mode == "rfc2217" else "tcp"
            lines += [f"connection: &port{i}",
                      f"  accepter: {accepter},127.0.0.1,{port}",
                      f"  connector: serialdev,{device},115200n81,local"]
        config = os.path.join(self.dir, "ser2net.yaml")
        with open(config, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.modes = [mode for _, mode in served]
        self.proc = subprocess.Popen(
            [program, "-n", "-d", "-u", "-P", os.path.join(self.dir, "pid"), "-c", config],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not all(listening(p) for p in self.ports):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                self.stop()
                raise SystemExit("bench: ser2net does not listen on its ports")
            time.sleep(0.02)

    def address(self, i, port=None):
        return f"{self.modes[i]}://127.0.0.1:{port or self.ports[i]}"

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


class DelayRelay:
    """Listens on a free port of 127.0.0.1 and passes each connection on to `upstream`, every
    chunk held back `delay` seconds in each direction; the order is kept and the throughput is
    not limited, as on a long but fast line."""

    def __init__(self, upstream, delay):
        self.upstream, self.delay = upstream, delay
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            server = socket.create_connection(("127.0.0.1", self.upstream))
            for s in (client, server):
                s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            self._pipe(client, server)
            self._pipe(server, client)

    def _pipe(self, source, sink):
        held = queue.Queue()

        def take():
            while True:
                try:
                    data = source.recv(65536)
                except OSError:
                    data = b""
                held.put((time.monotonic() + self.delay, data))
                if not data:
                    return

        def give():
            while True:
                due, data = held.get()
                time.sleep(max(0.0, due - time.monotonic()))
                try:
                    if not data:
                        sink.shutdown(socket.SHUT_WR)
                        return
                    sink.sendall(data)
                except OSError:
                    return

        threading.Thread(target=take, daemon=True).start()
        threading.Thread(target=give, daemon=True).start()

    def close(self):
        self.listener.close()
