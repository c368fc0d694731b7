#!/usr/bin/python3
"""Viewers of the live monitor, for the throughput bench: CLIENTS clients each
polling /api/status ten times a second and one spectrum a second, and a
Prometheus-style scrape of /metrics every second, until SECONDS have passed.
Prints how many requests were answered and how many failed.

Usage: monitor_load.py BASE_URL CLIENTS SECONDS
"""
import http.client
import sys
import threading
import time
import urllib.parse

base, clients, seconds = sys.argv[1].rstrip("/"), int(sys.argv[2]), float(sys.argv[3])
address = urllib.parse.urlsplit(base)
end = time.monotonic() + seconds
answered = failed = 0
lock = threading.Lock()


def get(connection, path):
    """One request on the viewer's connection, kept open as a browser keeps it."""
    global answered, failed
    try:
        connection.request("GET", path)
        response = connection.getresponse()
        response.read()
        ok = response.status == 200
    except Exception:
        connection.close()  # the next request connects again
        ok = False
    with lock:
        if ok:
            answered += 1
        else:
            failed += 1


def every(period, paths):
    connection = http.client.HTTPConnection(address.hostname, address.port, timeout=10)
    n = 0
    next_time = time.monotonic()
    while time.monotonic() < end:
        get(connection, paths(n))
        n += 1
        next_time += period
        time.sleep(max(0.0, next_time - time.monotonic()))


def viewer(index):
    spectrum = threading.Thread(
        target=every, args=(1.0, lambda n: "/api/spectrum?board=%d&channel=%d" % (index % 2, n % 32)))
    spectrum.start()
    every(0.1, lambda n: "/api/status")
    spectrum.join()


threads = [threading.Thread(target=viewer, args=(i,)) for i in range(clients)]
threads.append(threading.Thread(target=every, args=(1.0, lambda n: "/metrics")))
for t in threads:
    t.start()
for t in threads:
    t.join()
print("monitor load: %d requests answered, %d failed" % (answered, failed))
