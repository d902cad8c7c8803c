#!/usr/bin/env python3
"""Print-Job to the last byte on the device, dotweave-app against LPrint.

Both servers run on this machine in the same run, each with one printer on
an AppSocket listener of this script; the same 4 x 6 in label PNG goes to a
TSPL printer of dotweave-app and to LPrint's ZPL 4 inch 203 dpi driver,
alternately, with ipptool as the client. A job's time runs from starting
ipptool's Print-Job to the last byte the listener receives.

    bench/app-bench.py BUILD_FOLDER [ROUNDS]

Needs lprint (Debian: lprint), ipptool (cups-ipp-utils) and pdftoppm
(poppler-utils). A benchmark, run by hand: never part of the tests.
"""
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Listener:
    """An AppSocket printer: notes when each connection's last byte arrived."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.done = []  # (time of last byte, bytes) per connection
        self.lock = threading.Condition()
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            conn, _ = self.sock.accept()
            last, size = None, 0
            with conn:
                while True:
                    data = conn.recv(65536)
                    if not data:
                        break
                    last, size = time.monotonic(), size + len(data)
            if size:
                with self.lock:
                    self.done.append((last, size))
                    self.lock.notify_all()

    def wait_for(self, count, timeout=120):
        with self.lock:
            self.lock.wait_for(lambda: len(self.done) >= count, timeout)
            return self.done[count - 1] if len(self.done) >= count else None


def wait_port(port):
    for _ in range(200):
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"nothing answers on port {port}")


def start_server(program, work, name, port, env):
    home = os.path.join(work, name)
    os.makedirs(home)
    log = open(os.path.join(home, "server.out"), "w")
    proc = subprocess.Popen([program, "server", "-o", f"server-port={port}",
                             "-o", f"log-file={home}/server.log", "-o", "log-level=warn",
                             "-o", f"spool-directory={home}"],
                            env=dict(env, HOME=home, TMPDIR=home), stdout=log, stderr=log)
    wait_port(port)
    return proc, dict(env, HOME=home, TMPDIR=home)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    for tool in ("lprint", "ipptool", "pdftoppm"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (apt-get install lprint cups-ipp-utils poppler-utils)")
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    work = tempfile.mkdtemp()
    procs = []
    try:
        # The label: the sample shipping label's first page as a 4 x 6 in, 203 dpi grey PNG.
        subprocess.run(["pdftoppm", "-f", "1", "-l", "1", "-singlefile", "-gray", "-png", "-r", "203",
                        "-scale-to-x", "812", "-scale-to-y", "1218",
                        os.path.join(root, "samples", "shipping-label.pdf"), os.path.join(work, "label")],
                       check=True)
        label = os.path.join(work, "label.png")
        # Each server's control socket is named after its program: own names keep them apart.
        app = os.path.join(work, "dotweave-app-bench")
        os.symlink(os.path.join(build, "app", "dotweave-app"), app)
        lprint = os.path.join(work, "lprint-bench")
        os.symlink(shutil.which("lprint"), lprint)

        printers = {}
        for name, program, driver, media in (
                ("dotweave", app, "tspl_203dpi", "na_index-4x6_4x6in"),
                ("lprint", lprint, "zpl_4inch-203dpi-dt", "na_index-4x6_4x6in")):
            listener, port = Listener(), free_port()
            proc, env = start_server(program, work, name, port, os.environ)
            procs.append(proc)
            subprocess.run([program, "add", "-d", "bench", "-m", driver, "-v",
                            f"socket://127.0.0.1:{listener.port}"], env=env, check=True)
            time.sleep(1.5)  # printer-up-time is 0 in its first second
            printers[name] = (listener, f"ipp://localhost:{port}/ipp/print/bench", media)

        test = os.path.join(work, "print.test")
        with open(test, "w") as f:
            f.write("{\n OPERATION Print-Job\n GROUP operation-attributes-tag\n"
                    " ATTR charset attributes-charset utf-8\n"
                    " ATTR naturalLanguage attributes-natural-language en\n"
                    " ATTR uri printer-uri $uri\n ATTR name requesting-user-name bench\n"
                    " ATTR mimeMediaType document-format image/png\n"
                    " GROUP job-attributes-tag\n ATTR keyword media $media\n"
                    " FILE $filename\n STATUS successful-ok\n}\n")
        times = {name: [] for name in printers}
        sizes = {}
        for n in range(1, rounds + 2):
            for name, (listener, uri, media) in printers.items():
                start = time.monotonic()
                result = subprocess.run(["ipptool", "-tv", "-f", label, "-d", f"media={media}", uri, test],
                                        capture_output=True, text=True)
                if result.returncode != 0:
                    sys.exit(f"{name}: Print-Job failed:\n{result.stdout}")
                last = listener.wait_for(n)
                if last is None:
                    sys.exit(f"{name}: job {n} never reached the printer")
                sizes[name] = last[1]
                if n > 1:  # the first job of each warms up
                    times[name].append(last[0] - start)
        print(f"Print-Job to the last byte on the device, 4 x 6 in label PNG, {rounds} jobs each:")
        for name, values in times.items():
            print(f"  {name:9s} median {statistics.median(values) * 1000:7.1f} ms, "
                  f"min {min(values) * 1000:7.1f} ms, max {max(values) * 1000:7.1f} ms, "
                  f"{sizes[name]} bytes per job")
        ratio = statistics.median(times["dotweave"]) / statistics.median(times["lprint"])
        print(f"  dotweave-app / LPrint median time: {ratio:.2f}")
    finally:
        for proc in procs:
            proc.terminate()
            proc.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
