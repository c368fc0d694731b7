#!/usr/bin/python3
"""The live monitor of a real run on the demo boards: /api/status carries the
figures of the statistics block the console printed, /metrics the same
snapshot in the Prometheus text format (parsed strictly), spectra come from
the run, and the page's controls act as the keys do.

Usage: monitor_api_test.py PROGRAM SOURCE_DIR    (exit 77: skipped)
"""
import json
import math
import os
import re
import socket
import stat
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    print("skipped: python3-prometheus-client is not installed")
    sys.exit(77)

program, source = sys.argv[1], sys.argv[2]


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def request(path, method="GET", token=None):
    req = urllib.request.Request(base + path, method=method, data=b"" if method == "POST" else None)
    if token:
        req.add_header("Authorization", "Bearer " + token)
    try:
        with urllib.request.urlopen(req, timeout=10) as response:
            return response.status, response.read().decode()
    except urllib.error.HTTPError as e:
        return e.code, e.read().decode()


def console():
    with open(log_path, errors="replace") as f:
        return f.read()


def wait_for(what, test, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = test()
        if value:
            return value
        if run.poll() is not None:
            fail("the program ended while waiting for %s:\n%s" % (what, console()[-3000:]))
        time.sleep(0.1)
    fail("no %s after %d s:\n%s" % (what, seconds, console()[-3000:]))


def printed(value, precision):
    """A figure as the console prints it in its 7-wide field."""
    if value is None:
        return r"\s*-?(nan|inf)"
    return re.escape("%7.*f" % (precision, value))


def block_matches(block, board, figures, group):
    lines = [("Real time              : ", 2, figures["real_time_s"], " s"),
             ("Live Time              : ", 2, figures["live_time_s"], " s"),
             ("Dead Time              : ", 2, figures["dead_time_percent"], " %"),
             ("Throughput             : ", 3, figures["throughput_mb_s"], " MB/s"),
             ("Detected trigger rate  : ", 3, figures["detected_khz"], " kHz"),
             ("Processed trigger rate : ", 3, figures["processed_khz"], " kHz"),
             ("Pile-up Rate           : ", 3, figures["pile_up_khz"], " kHz")]
    for label, precision, value, unit in lines:
        if not re.search("^" + re.escape(label) + printed(value, precision) + re.escape(unit) + "$", block, re.M):
            return False
    channels = figures["channels"][8 * group:8 * group + 8]
    ocr = "".join((printed(c["ocr_kcps"], 3) if c["enabled"] else r"\s*N/A") + " " for c in channels)
    return re.search("^OCR                    : " + ocr + " kcps$", block, re.M) is not None


work = tempfile.mkdtemp(prefix="tessary_monitor_")
log_path = os.path.join(work, "console.txt")
port = free_port()
base = "http://127.0.0.1:%d" % port
env = dict(os.environ, HOME=work, DRELM_EMULATOR_SETTINGS=os.path.join(source, "examples/emulator/demo_boards.txt"))
env.pop("USERPROFILE", None)
with open(log_path, "w") as log:
    run = subprocess.Popen([program, "--monitor", "127.0.0.1:%d" % port, "--start", "--preset-real", "12",
                            "examples/Tessary_Config.txt"], cwd=source, env=env, stdin=subprocess.DEVNULL,
                           stdout=log, stderr=subprocess.STDOUT)
try:
    token = wait_for("token line", lambda: re.search(r"^Monitor token: ([0-9a-f]{32}) ", console(), re.M)).group(1)
    if "Monitor: %s/\n" % base not in console():
        fail("the page's address is not printed")
    token_file = os.path.join(work, "Tessary_DAQ", "monitor_token")
    if open(token_file).read().strip() != token or stat.S_IMODE(os.stat(token_file).st_mode) != 0o600:
        fail("monitor_token does not hold the printed token with permissions 0600")

    # Both boards have printed a block: then a status with a metrics scrape
    # taken while nothing new was published.
    wait_for("statistics of both boards", lambda: all(
        b["statistics"] for b in json.loads(request("/api/status")[1])["boards"]))
    for _ in range(50):
        before = json.loads(request("/api/status")[1])
        code, metrics = request("/metrics")
        after = json.loads(request("/api/status")[1])
        if before["sequence"] == after["sequence"]:
            break
    else:
        fail("the status never held still for a scrape")
    if code != 200 or before["state"] != "acquiring":
        fail("metrics answered %d, state %s" % (code, before["state"]))

    text = console()
    blocks = re.split(r"^==========================================\n", text, flags=re.M)
    for b in before["boards"]:
        own = [blk for blk in blocks if re.match(r"Board %d(\(plotted\))?\n" % b["board"], blk)]
        if not any(block_matches(blk, b["board"], b["statistics"], before["plot"]["group"]) for blk in own):
            fail("board %d: no printed block shows the status's figures %s\n%s" % (
                b["board"], {k: v for k, v in b["statistics"].items() if k != "channels"}, "".join(own[-3:])))

    samples = {}
    for family in text_string_to_metric_families(metrics):
        for s in family.samples:
            samples[(s.name, s.labels.get("board"), s.labels.get("kind"))] = s.value
    for b in before["boards"]:
        n, st = str(b["board"]), b["statistics"]
        expected = {("tessary_events_total", n, None): b["events"],
                    ("tessary_triggers_lost_total", n, None): b["triggers_lost"],
                    ("tessary_readout_bytes_total", n, None): b["bytes"],
                    ("tessary_written_bytes_total", n, "raw"): b["written_bytes"]["raw"],
                    ("tessary_acquiring", n, None): 1,
                    ("tessary_detected_trigger_rate_hertz", n, None): st["detected_khz"] * 1000}
        for key, value in expected.items():
            if key not in samples or not math.isclose(samples[key], value, rel_tol=1e-9):
                fail("metric %s is %s, the status says %s" % (key, samples.get(key), value))

    # 200 idle connections held open: the page still answers, and the run
    # goes on publishing new statistics.
    idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(200)]
    seen = json.loads(request("/api/status")[1])["sequence"]
    code, page = request("/")
    if code != 200 or "<html" not in page.lower():
        fail("the page does not answer beside 200 idle connections: %d" % code)
    wait_for("a new status beside 200 idle connections",
             lambda: json.loads(request("/api/status")[1])["sequence"] > seen + 1)
    for s in idle:
        s.close()

    code, body = request("/api/spectrum?board=1&channel=3")
    spectrum = json.loads(body)
    if code != 200 or spectrum["bins"] != 16384 or len(spectrum["counts"]) != 16384 or sum(spectrum["counts"]) == 0:
        fail("spectrum of board 1 channel 3: %d, %d bins, %d counts" % (
            code, spectrum.get("bins", 0), sum(spectrum.get("counts", []))))

    # The controls, as the keys: stop, a second stop refused, start again.
    for path, want_code, want_state, want_line in [("/api/stop", 200, "stopped", "Acquisition stopped"),
                                                   ("/api/stop", 409, None, None),
                                                   ("/api/start", 200, "acquiring", "Acquisition started")]:
        seen = console().count(want_line) if want_line else 0
        code, body = request(path, "POST", token)
        if code != want_code or (want_state and json.loads(body)["state"] != want_state):
            fail("%s answered %d %s" % (path, code, body[:200]))
        if want_line and console().count(want_line) <= seen:
            fail("%s: the console does not show %s" % (path, want_line))

    if run.wait(timeout=60) != 0:
        fail("exit status %d" % run.returncode)
    summary = json.load(open(os.path.join(work, "Tessary_DAQ", "demo_output", "demo_summary.json")))
    if not summary["ended_by"].startswith("preset real time"):
        fail("ended by " + summary["ended_by"])
    print("monitor API: statistics, metrics, spectrum and controls agree with the run")
finally:
    if run.poll() is None:
        run.kill()
    subprocess.run(["rm", "-rf", work])
