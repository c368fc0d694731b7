#!/usr/bin/python3
"""The monitor's page in a real browser, against the program on the demo's
emulated boards: it loads without console errors, its detected trigger rate
follows the statistics and agrees with /api/status, it draws a spectrum and
redraws it for another channel, and with the printed token its Start button
starts the acquisition.

Usage: /usr/bin/python3 monitor_page_test.py [PATH_TO_Tessary_DAQ]
Exit status 0 on success, 1 on failure, 77 when the browser or its driver
is missing.
"""
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

TREE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SKIP = 77

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.support.ui import Select
except ImportError:
    print("SKIP: python3-selenium is not installed")
    sys.exit(SKIP)


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(what, probe, timeout):
    """Calls probe until it returns something true, which it returns."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(0.2)


class Program:
    """The program on the demo configuration in a temporary HOME, keys from a pipe."""

    def __init__(self, binary, home, port):
        config = os.path.join(home, "config.txt")
        with open(os.path.join(TREE, "examples", "Tessary_Config.txt")) as demo, open(config, "w") as out:
            # A plotter that draws nothing; no raw and list files, which
            # would fill the disk at the demo's 15 MB/s.
            out.write(demo.read() + f"\n[COMMON]\nGNUPLOT_PATH {home}/\nOUTFILE_RAW NO\nOUTFILE_LIST NO\n")
        plotter = os.path.join(home, "pgnuplot")
        with open(plotter, "w") as f:
            f.write("#!/bin/sh\ncat > /dev/null\n")
        os.chmod(plotter, 0o755)
        env = dict(os.environ, HOME=home,
                   DRELM_EMULATOR_SETTINGS=os.path.join(TREE, "examples", "emulator", "demo_boards.txt"))
        env.pop("USERPROFILE", None)
        env.pop("DISPLAY", None)
        self.lines = []
        self.process = subprocess.Popen([binary, "--monitor", f"127.0.0.1:{port}", config], cwd=home, env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.decode(errors="replace"))

    def output(self):
        return "".join(self.lines)

    def wait_for(self, what, pattern, timeout):
        """The first match of pattern in the output; fails if the program ends first."""
        def probe():
            if self.process.poll() is not None:
                raise Failure(f"the program ended with status {self.process.returncode} before {what}")
            return re.search(pattern, self.output())
        return wait_until(what, probe, timeout)

    def key(self, k):
        self.process.stdin.write(k.encode())
        self.process.stdin.flush()

    def stop(self):
        if self.process.poll() is None:
            try:
                self.key("q")
                self.process.wait(timeout=30)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        return self.process.returncode


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1280,1000"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def no_console_errors(driver, when):
    severe = [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]
    if severe:
        raise Failure(f"console errors {when}: " + "; ".join(severe))


# Pixels of the spectrum's canvases: how many are strongly coloured (the
# series; grid and axes are grey) and a hash of all of them.
PIXELS_JS = """
let coloured = 0, hash = 2166136261;
for (const c of document.querySelectorAll('#spectrum canvas')) {
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  for (let i = 0; i < d.length; i += 4) {
    if (d[i + 3] > 128 && Math.max(d[i], d[i + 1], d[i + 2]) - Math.min(d[i], d[i + 1], d[i + 2]) > 80) coloured++;
    hash = Math.imul(hash ^ (d[i] | d[i + 1] << 8 | d[i + 2] << 16 | d[i + 3] << 24), 16777619);
  }
}
return [coloured, hash >>> 0];
"""


def run(program, base):
    driver = None
    try:
        token = program.wait_for("the token line", r"Monitor token: ([0-9a-f]{32})\b", 120)[1]
        program.wait_for("the key prompt", r"\[s\] start/stop the acquisition", 120)

        def api_status():
            with urllib.request.urlopen(base + "/api/status", timeout=5) as r:
                return json.load(r)

        driver = browser()
        driver.get(base + "/")
        text = lambda id: driver.find_element("id", id).text
        wait_until("the page to show the waiting state", lambda: text("state") == "waiting", 20)
        no_console_errors(driver, "on loading")
        if driver.find_element("id", "start-button").is_displayed():
            raise Failure("the Start button shows without a token")

        program.key("s")
        wait_until("the acquiring state", lambda: text("state") == "acquiring", 20)
        read_rate = lambda: re.fullmatch(r"\d+\.\d{3}", text("detected-khz-0")) and text("detected-khz-0")
        first = wait_until("a detected rate of board 0", read_rate, 30)
        wait_until("the detected rate to change", lambda: read_rate() not in (None, first), 30)
        for _ in range(100):
            sequence, shown = driver.execute_script(
                "return [document.getElementById('sequence').textContent,"
                " document.getElementById('detected-khz-0').textContent];")
            status = api_status()
            if str(status["sequence"]) == sequence:
                value = status["boards"][0]["statistics"]["detected_khz"]
                if value is None or abs(float(shown) - value) > 0.0005 + 1e-9:
                    raise Failure(f"page shows {shown} kHz, /api/status {value} at sequence {sequence}")
                break
            time.sleep(0.1)
        else:
            raise Failure("the page and /api/status never showed the same sequence")

        wait_until("a drawn spectrum", lambda: driver.execute_script(PIXELS_JS)[0] > 50, 20)
        # Stopped, the spectra hold still: the drawing settles, then another
        # channel must draw differently.
        program.key("s")
        wait_until("the stopped state", lambda: text("state") == "stopped", 20)
        previous = [None]

        def settled():
            now = driver.execute_script(PIXELS_JS)
            same, previous[0] = now == previous[0], now
            time.sleep(1.5)
            return same and now

        before = wait_until("the spectrum to settle", settled, 30)
        channels = Select(driver.find_element("id", "channel-select"))
        channels.deselect_all()
        channels.select_by_value("5")
        wait_until("the spectrum of channel 5", lambda: (lambda p: p[0] > 50 and p != before)(
            driver.execute_script(PIXELS_JS)), 20)

        started = program.output().count("Acquisition started")
        driver.find_element("id", "token-input").send_keys(token)
        driver.find_element("id", "token-save").click()
        start = driver.find_element("id", "start-button")
        wait_until("an enabled Start button", lambda: start.is_displayed() and start.is_enabled(), 10)
        start.click()
        wait_until("the program to start the acquisition",
                   lambda: program.output().count("Acquisition started") > started, 20)
        wait_until("the page to show the acquiring state", lambda: text("state") == "acquiring", 20)
        if "error" in driver.find_element("id", "control-result").get_attribute("class"):
            raise Failure("the start was answered with an error: " + text("control-result"))
        no_console_errors(driver, "while running")
    finally:
        if driver is not None:
            driver.quit()
    code = program.stop()
    if code != 0:
        raise Failure(f"the program ended with status {code}")


def main():
    binary = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(TREE, "build", "release", "bin", "Tessary_DAQ")
    if not shutil.which("chromium") or not shutil.which("chromedriver"):
        print("SKIP: chromium and chromium-driver are needed")
        return SKIP
    if not os.access(binary, os.X_OK):
        print(f"FAIL: no program to run at {binary} (build it first)")
        return 1
    # A browser started for the first time on a machine builds its caches
    # and may miss a wait: a second attempt, with the first one's failure
    # shown, tells that apart from a page that fails every time.
    for attempt in (1, 2):
        with tempfile.TemporaryDirectory() as home:
            port = free_port()
            program = Program(binary, home, port)
            try:
                run(program, f"http://127.0.0.1:{port}")
                print("PASS: monitor page" + (" (second attempt)" if attempt == 2 else ""))
                return 0
            except Exception as failure:  # a failed check, or the browser's own error
                program.stop()
                print(f"FAIL (attempt {attempt}): {type(failure).__name__}: {failure}")
                print("--- the program's last output ---\n" + "".join(program.lines[-40:]))
    return 1


if __name__ == "__main__":
    sys.exit(main())
