#!/bin/bash
# quarvexctl watch against hostile servers on 127.0.0.1: one that floods RFC 2217 option
# negotiation and never reads, one that sends 1 MB/s of garbage over tcp://. Prints the
# most memory watch held and how it ended. Not a test: prints figures.
#   bench/flood.sh [build-dir] [seconds, default 20]
set -eu
. "$(dirname "$0")/common.sh"
seconds="${2:-20}"

# peer MODE: a server on a free port that floods and never reads; prints its port
peer() {
    python3 - "$1" >"$dir/port-$1" <<'PY' &
import os, socket, sys, time
mode = sys.argv[1]
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(1)
print(s.getsockname()[1], flush=True)
c, _ = s.accept()
c.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
try:
    while True:
        if mode == "negotiation":
            c.sendall(b"\xff\xfd\x63" * 20000)  # DO an unknown option: each asks a WONT
        else:
            c.sendall(os.urandom(50000))
            time.sleep(0.05)
except OSError:
    pass
PY
    pids+=($!)
    for _ in $(seq 50); do [ -s "$dir/port-$1" ] && break; sleep 0.1; done
    head -n 1 "$dir/port-$1"
}

# watch_rss URL: the largest resident set of `watch` while it runs (at most $seconds)
watch_rss() {
    "$ctl" -p "$1" -a 1 -t 200 watch --interval 0 >/dev/null 2>"$dir/err" &
    local pid=$! max=0 rss
    for _ in $(seq $((seconds * 10))); do
        rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null) || break
        [ -n "$rss" ] && [ "$rss" -gt "$max" ] && max=$rss
        sleep 0.1
    done
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    echo "most memory $((max / 1024)) MB (goal <= 50 MB; 0: ended before the first look); $(tail -n 1 "$dir/err")"
}

echo "RFC 2217 negotiation flood, never read: $(watch_rss "rfc2217://127.0.0.1:$(peer negotiation)")"
echo "tcp:// 1 MB/s of garbage:              $(watch_rss "tcp://127.0.0.1:$(peer garbage)")"
