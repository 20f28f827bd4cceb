#!/usr/bin/env python3
"""The sample project's backend: serves the front end on the port the shell chose ({port} in
app.qvex, also in $QVEX_PORT) and a small API: GET /api/visits counts the page's loads, POST
/api/closed records the time the window closed (the page's unload sends it). Its data lives in
$QVEX_DATADIR when the shell gives one, else in $XDG_STATE_HOME/quenvale-sample (the project
directory may be read-only, as under /opt)."""

import datetime
import functools
import http.server
import json
import os
import signal
import sys

PROJECT = os.environ.get("QVEX_PROJPATH") or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FRONT = os.path.join(PROJECT, "front")
DATA = os.environ.get("QVEX_DATADIR") or os.path.join(
    os.environ.get("XDG_STATE_HOME") or os.path.expanduser("~/.local/state"), "quenvale-sample")
STATE = os.path.join(DATA, "state.json")


def load():
    try:
        with open(STATE) as f:
            return json.load(f)
    except (OSError, ValueError):
        return {"visits": 0, "closed": None}


def save(state):
    try:
        os.makedirs(DATA, exist_ok=True)
        with open(STATE + ".new", "w") as f:
            json.dump(state, f)
        os.replace(STATE + ".new", STATE)
    except OSError as e:
        print("cannot save %s: %s" % (STATE, e), file=sys.stderr, flush=True)


class Handler(http.server.SimpleHTTPRequestHandler):
    def answer(self, value):
        body = json.dumps(value).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path == "/api/visits":
            state = load()
            state["visits"] += 1
            save(state)
            return self.answer(state)
        return super().do_GET()

    def do_POST(self):
        if self.path == "/api/closed":
            self.rfile.read(int(self.headers.get("Content-Length") or 0))
            state = load()
            state["closed"] = datetime.datetime.now().isoformat(timespec="seconds")
            save(state)
            print("the window closed at", state["closed"], flush=True)
            return self.answer(state)
        self.send_error(404)

    def log_message(self, format, *args):
        print(format % args, flush=True)  # Each line reaches the shell's log.


def main():
    port = int(sys.argv[1] if len(sys.argv) > 1 else os.environ.get("QVEX_PORT", "8617"))
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", port), functools.partial(Handler, directory=FRONT))
    # The shell stops its backend with SIGTERM: end cleanly.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("serving", FRONT, "on port", port, flush=True)
    try:
        server.serve_forever()
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
