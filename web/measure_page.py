#!/usr/bin/env python3
"""How fast the page is ready and how much memory it takes, in headless
Chromium, beside a minimal page with one input: the median of RUNS fresh
browsers each, the two pages in turns, and the median ratio of the turns.
Ready is the moment the first calculation is possible (the page's
"calculator-ready" mark), counted from the start of the navigation. The
one input's mark comes before the browser first lays it out, the
calculator's after, so each page's first paint is given too, by which both
have been laid out (the empty field makes no contentful paint, so it is the
first paint). Memory is the page's renderer process (its proportional set
size, from /proc) and its JavaScript heap.

Usage: measure_page.py KOVRateCalc.html [RUNS]
"""
import pathlib
import statistics
import sys
import tempfile
import time

from selenium import webdriver

MINIMAL = ('<!DOCTYPE html><html><head><meta charset="utf-8"><title>one input</title></head>'
           '<body><input autofocus><script>performance.mark("calculator-ready")</script></body></html>')


def measure(url):
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new --no-sandbox --disable-gpu --disable-quic --no-first-run "
                "--disable-background-networking --disable-component-update --disable-sync").split():
        options.add_argument(arg)
    profile = tempfile.mkdtemp()
    options.add_argument("--user-data-dir=" + profile)
    driver = webdriver.Chrome(options=options)
    try:
        driver.get(url)
        ready = None
        for _ in range(500):
            ready = driver.execute_script(
                "const m = performance.getEntriesByName('calculator-ready'); return m.length ? m[0].startTime : null")
            if ready is not None:
                break
            time.sleep(0.01)
        time.sleep(0.5)  # let the page settle before its memory is read
        painted = driver.execute_script(
            "const p = performance.getEntriesByName('first-paint'); return p.length ? p[0].startTime : null")
        driver.execute_cdp_cmd("Performance.enable", {})
        metrics = {m["name"]: m["value"] for m in driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]}
        pss = sum(proportional_set_kib(pid) for pid in renderers_of(profile))
        return ready, painted, pss, metrics["JSHeapUsedSize"] / 1024
    finally:
        driver.quit()


def renderers_of(profile):
    """The renderer processes under the browser started with this profile
    (Chromium's children rewrite their command lines, so they are found
    through their parents)."""
    parents, commands = {}, {}
    for proc in pathlib.Path("/proc").glob("[0-9]*"):
        try:
            commands[int(proc.name)] = (proc / "cmdline").read_bytes()
            parents[int(proc.name)] = int((proc / "stat").read_text().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
    browsers = {pid for pid, command in commands.items() if ("--user-data-dir=" + profile).encode() in command}
    for pid, command in commands.items():
        ancestor = parents.get(pid)
        while ancestor and ancestor not in browsers:
            ancestor = parents.get(ancestor)
        if ancestor and b"--type=renderer" in command:
            yield pid


def proportional_set_kib(pid):
    for line in pathlib.Path("/proc/%d/smaps_rollup" % pid).read_text().splitlines():
        if line.startswith("Pss:"):
            return int(line.split()[1])
    return 0


def main():
    page = pathlib.Path(sys.argv[1]).resolve()
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    minimal = pathlib.Path(tempfile.mkdtemp()) / "one-input.html"
    minimal.write_text(MINIMAL)
    # In turns, so that both pages share whatever else the machine is doing.
    pages = (("one input", minimal), (page.name, page))
    results = {name: [] for name, _ in pages}
    for _ in range(runs):
        for name, path in pages:
            results[name].append(measure(path.as_uri()))
    print("%-22s %10s %16s %14s %12s" % ("page", "ready, ms", "first paint, ms", "renderer, KiB", "JS heap, KiB"))
    for name, _ in pages:
        print("%-22s %10.1f %16.1f %14.0f %12.0f" % ((name,) + tuple(statistics.median(r[i] for r in results[name])
                                                                   for i in range(4))))
    for what, i in (("ready", 0), ("first paint", 1)):
        ratios = [r[i] / one[i] for r, one in zip(results[page.name], results["one input"])]
        print("%s, against one input: %.2f (median of %d turns)" % (what, statistics.median(ratios), runs))
    print("%s: %d bytes" % (page.name, page.stat().st_size))


main()
