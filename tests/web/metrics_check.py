#!/usr/bin/python3
"""/metrics and /healthz against real clients: promtool must accept the
metrics, and curl must see /healthz answer 200 while both sides are up and
503 with the reason while one is down.

Either serves the page itself (PROGRAM as tests/web/WebFakeServer.cpp, which
can also take a side down):
  metrics_check.py --serve PROGRAM
or checks a running bot's metrics only:
  metrics_check.py --url http://127.0.0.1:8080/

Exit status: 0 passed, 1 failed, 77 skipped (no promtool or curl here, and
FR_REQUIRE_PEERS is not 1).
"""
import argparse
import os
import select
import shutil
import subprocess
import sys


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def curl(url):
    """The status and body of one GET, through curl (no proxy: 127.0.0.1)."""
    result = subprocess.run(["curl", "-sS", "--noproxy", "*", "--max-time", "10",
                             "-w", "\n%{http_code}", url], capture_output=True, text=True)
    if result.returncode != 0:
        fail("curl %s: %s" % (url, result.stderr.strip()))
    body, _, status = result.stdout.rpartition("\n")
    return int(status), body.rstrip("\n")


def tell(server, command):
    server.stdin.write(command + "\n")
    server.stdin.flush()
    ready, _, _ = select.select([server.stdout], [], [], 10)
    if not ready or server.stdout.readline().strip() != "OK":
        fail("the server did not take %r" % command)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--serve", help="a program that serves the page (prints its URL)")
    where.add_argument("--url", help="the page of a running bot")
    args = parser.parse_args()
    for tool in ("promtool", "curl"):
        if not shutil.which(tool):
            if os.environ.get("FR_REQUIRE_PEERS") == "1":
                fail(tool + " is missing (FR_REQUIRE_PEERS=1)")
            print("SKIP: %s is missing" % tool, file=sys.stderr)
            return 77

    server = None
    url = args.url
    if args.serve:
        server = subprocess.Popen([args.serve], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True)
        ready, _, _ = select.select([server.stdout], [], [], 20)
        line = server.stdout.readline() if ready else ""
        if not line.startswith("URL "):
            server.kill()
            fail("the server did not say its address: %r" % line)
        url = line.split()[1]
    base = url.rstrip("/")
    try:
        status, metrics = curl(base + "/metrics")
        if status != 200:
            fail("/metrics answered %d" % status)
        check = subprocess.run(["promtool", "check", "metrics"], input=metrics + "\n",
                               capture_output=True, text=True)
        if check.returncode != 0 or check.stdout.strip() or check.stderr.strip():
            fail("promtool check metrics: %s %s" % (check.stdout, check.stderr))
        print("promtool accepts /metrics (%d lines)" % len(metrics.splitlines()))
        for family in ("fragrelay_game_up", "fragrelay_game_players", "fragrelay_game_polls_total",
                       "fragrelay_irc_connected", "fragrelay_irc_lines_sent_total",
                       "fragrelay_irc_lines_skipped_total", "fragrelay_irc_queue_lines",
                       "fragrelay_reconnects_total", "fragrelay_rounds_total",
                       "process_start_time_seconds"):
            if "# TYPE %s " % family not in metrics:
                fail("/metrics lacks " + family)
        if server:
            status, body = curl(base + "/healthz")
            if (status, body) != (200, "ok"):
                fail("/healthz with both sides up: %d %r" % (status, body))
            tell(server, "irc down no answer to PING")
            status, body = curl(base + "/healthz")
            if (status, body) != (503, "irc: no answer to PING"):
                fail("/healthz with IRC down: %d %r" % (status, body))
            tell(server, "irc up")
            status, body = curl(base + "/healthz")
            if status != 200:
                fail("/healthz with IRC up again: %d" % status)
            print("curl sees /healthz: 200, 503 while IRC is down, 200 again")
        print("PASS")
        return 0
    finally:
        if server:
            try:
                server.stdin.close()
                server.wait(timeout=10)
            except Exception:
                server.kill()


if __name__ == "__main__":
    sys.exit(main())
