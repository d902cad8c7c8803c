#!/usr/bin/env python3
"""Jobs to a printer that never answers status queries, with the queries on
and off.

Two dotweave-app servers run on this machine, one with status queries (the
default) and one with -o status-queries=no, each with a TSPL printer on an
AppSocket listener of this script that takes every byte and never answers.
The same 4 x 6 in label PNG goes to both, alternately, with ipptool as the
client. A job's time runs from starting ipptool's Print-Job to the last byte
the listener receives. Jobs never wait for a printer that has not yet
answered, so every job counts, the first ones (shown apart) too.

    bench/status-bench.py BUILD_FOLDER [ROUNDS]

Needs ipptool (cups-ipp-utils) and pdftoppm (poppler-utils). A benchmark,
run by hand: never part of the tests.
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

# The first jobs, shown apart: before the printer is marked.
SILENT_TRIES = 3


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SilentPrinter:
    """An AppSocket printer that never answers: notes when each job's last
    byte arrived. Connections that carry only status questions are no job."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.done = []
        self.lock = threading.Condition()
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            conn, _ = self.sock.accept()
            threading.Thread(target=self.take, args=(conn,), daemon=True).start()

    def take(self, conn):
        last, size = None, 0
        with conn:
            while True:
                data = conn.recv(65536)
                if not data:
                    break
                last, size = time.monotonic(), size + len(data)
        if size > 64:
            with self.lock:
                self.done.append(last)
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


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    for tool in ("ipptool", "pdftoppm"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (apt-get install cups-ipp-utils poppler-utils)")
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    work = tempfile.mkdtemp()
    procs = []
    try:
        subprocess.run(["pdftoppm", "-f", "1", "-l", "1", "-singlefile", "-gray", "-png", "-r", "203",
                        "-scale-to-x", "812", "-scale-to-y", "1218",
                        os.path.join(root, "samples", "shipping-label.pdf"), os.path.join(work, "label")],
                       check=True)
        label = os.path.join(work, "label.png")
        printers = {}
        for name, queries in (("queries-on", "yes"), ("queries-off", "no")):
            home = os.path.join(work, name)
            os.makedirs(home)
            # Each server's control socket is named after its program.
            program = os.path.join(work, f"dotweave-app-{name}")
            os.symlink(os.path.join(build, "app", "dotweave-app"), program)
            env = dict(os.environ, HOME=home, TMPDIR=home)
            port = free_port()
            log = open(os.path.join(home, "server.out"), "w")
            procs.append(subprocess.Popen(
                [program, "server", "-o", f"server-port={port}", "-o", f"log-file={home}/server.log",
                 "-o", "log-level=warn", "-o", f"spool-directory={home}", "-o", f"status-queries={queries}"],
                env=env, stdout=log, stderr=log))
            wait_port(port)
            printer = SilentPrinter()
            subprocess.run([program, "add", "-d", "bench", "-m", "tspl_203dpi", "-v",
                            f"socket://127.0.0.1:{printer.port}"], env=env, check=True)
            time.sleep(1.5)
            printers[name] = (printer, f"ipp://localhost:{port}/ipp/print/bench")

        test = os.path.join(work, "print.test")
        with open(test, "w") as f:
            f.write("{\n OPERATION Print-Job\n GROUP operation-attributes-tag\n"
                    " ATTR charset attributes-charset utf-8\n"
                    " ATTR naturalLanguage attributes-natural-language en\n"
                    " ATTR uri printer-uri $uri\n ATTR name requesting-user-name bench\n"
                    " ATTR mimeMediaType document-format image/png\n"
                    " GROUP job-attributes-tag\n ATTR keyword media na_index-4x6_4x6in\n"
                    " FILE $filename\n STATUS successful-ok\n}\n")
        times = {name: [] for name in printers}
        for n in range(1, rounds + 1):
            for name, (printer, uri) in printers.items():
                start = time.monotonic()
                result = subprocess.run(["ipptool", "-tv", "-f", label, uri, test], capture_output=True, text=True)
                if result.returncode != 0:
                    sys.exit(f"{name}: Print-Job failed:\n{result.stdout}")
                last = printer.wait_for(n)
                if last is None:
                    sys.exit(f"{name}: job {n} never reached the printer")
                times[name].append(last - start)
        print(f"Print-Job to the last byte, 4 x 6 in label PNG, TSPL printer that never answers:")
        for name, values in times.items():
            print(f"  {name:11s} first {SILENT_TRIES} jobs: " + ", ".join(f"{v * 1000:.0f}" for v in values[:SILENT_TRIES]) +
                  f" ms; all {len(values)} jobs: mean {statistics.mean(values) * 1000:.1f} ms, "
                  f"median {statistics.median(values) * 1000:.1f}, min {min(values) * 1000:.1f}, "
                  f"max {max(values) * 1000:.1f}")
        on, off = times["queries-on"], times["queries-off"]
        print(f"  on / off, every job counted: mean {statistics.mean(on) / statistics.mean(off):.3f}, "
              f"median {statistics.median(on) / statistics.median(off):.3f}")
    finally:
        for proc in procs:
            proc.terminate()
            proc.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
