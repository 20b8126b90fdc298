#!/usr/bin/python3
"""Browser check of brisk's HTML report (--export-html).

Runs brisk a few times with --export-html/--export-json, opens every page in
headless Chromium and checks it against the results it embeds: no console
error, a chart that drew one dot per valid run and nothing for invalid ones,
one line per valid run second by second (and one per thread in the thread
view; maps of runs and of one run's threads for a big sweep, picked from a
list), a threads sweep's scaling against the ideal and its efficiency, the
console's table cells, the invalid runs listed with their reasons, no
request leaving the page, no sideways scrolling on a phone. A screenshot of
each page goes into the output folder.

  /usr/bin/python3 tests/report/check_report.py --out DIR \
      [--brisk "build/linux/src/app/brisk"] [--sample PAGE.html ...] \
      [--big PAGE.html ... [--open-limit SECONDS]]

--brisk is the command that starts brisk, split like a shell would
("/usr/lib/wine/wine64 build/windows/src/app/brisk.exe"); brisk runs in DIR
with relative file names, so Wine needs no path translation. --sample is a
page rendered without running brisk (the unit test writes one from
tests/results/sample_threads_sweep.json, with an invalid run); the first is
also grown into a 24-core threads sweep (grow_sweep.py), whose page shows
each run's threads as a map. --big opens a big machine's page (made with
grow_sweep.py) and reports how long it took to draw itself; --open-limit
makes that time a check (off by default: the time depends on the machine's
load).
"""

import argparse
import json
import os
import queue
import shlex
import shutil
import subprocess
import sys
import threading
import time

import jsonschema

from page_browser import DATA_OPEN, Checks, browser, embedded_document, open_page, \
    page_width_fits, whole_page_shot
import grow_sweep

RUN_ARGS = ["-d", "1", "-s", "64", "--harness-sub-runs", "2"]
SCHEMA_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "schema",
                           "brisk-results.schema.json")


def schema_errors(doc):
    """What keeps `doc` from following the results schema; empty when it does."""
    with open(SCHEMA_PATH, encoding="utf-8") as f:
        validator = jsonschema.Draft202012Validator(json.load(f))
    return "; ".join(error.message for error in validator.iter_errors(doc))


PAGE_STATE = r"""
const out = {ready: document.documentElement.getAttribute('data-brisk-ready') === 'true'};
const table = document.getElementById('results-table');
out.head = table ? [...table.tHead.rows[0].cells].map((c) => c.textContent) : null;
const cells = (r) => [...r.cells].map((c) => c.textContent);
out.rows = table ? [...table.tBodies[0].rows].map(cells) : [];
out.titles = table ? [...table.tBodies[0].rows].map((r) => [...r.cells].map((c) => c.title)) : [];
out.invalidItems = [...document.querySelectorAll('#invalid-runs li')].map((li) => li.textContent);
out.header = document.querySelector('header') ? document.querySelector('header').textContent : '';
const status = document.querySelector('header h1 .badge');
out.status = status ? status.textContent : null;
out.runCards = document.querySelectorAll('#threads article.run').length;
out.conditions = [...document.querySelectorAll('#conditions-table tbody tr')].map(cells);
out.barCount = document.querySelectorAll('#threads .bar').length;
out.requests = performance.getEntriesByType('resource').map((e) => e.name);
const box = document.getElementById('brisk-chart');
out.chartSize = box ? [box.offsetWidth, box.offsetHeight] : null;
const g = window.briskChart;
out.chart = null;
if (g) {
  const area = g.getArea();
  const drawn = (name) => {
    const series = g.layout_.points[g.getLabels().indexOf(name) - 1] || [];
    // What the library placed inside the plot area, in canvas pixels.
    return series.filter((p) => isFinite(p.canvasx) && isFinite(p.canvasy) &&
                                p.canvasx >= area.x - 0.5 && p.canvasx <= area.x + area.w + 0.5 &&
                                p.canvasy >= area.y - 0.5 && p.canvasy <= area.y + area.h + 0.5)
                 .map((p) => p.yval);
  };
  out.chart = {runs: drawn('runs'), averages: drawn('average'), area: [area.w, area.h],
               yRange: g.yAxisRange()};
}
// Second by second: each chart's lines and the values they drew.
const lines = (chart) => chart ? chart.getLabels().slice(1).map((label, i) => ({
  name: label,
  values: (chart.layout_.points[i] || []).filter((p) => p.yval !== null && isFinite(p.canvasy))
                                         .map((p) => p.yval)
})) : null;
out.timeline = lines(window.briskTimeline);
out.timelineTicks = window.briskTimeline ?
    window.briskTimeline.layout_.xticks.map((t) => t.label) : null;
out.threadTimeline = lines(window.briskThreadTimeline);
out.clockTimeline = lines(window.briskClockTimeline);
out.threadClockTimeline = lines(window.briskThreadClockTimeline);
out.threadTimelineRuns = [...document.querySelectorAll('#thread-timeline-run option')]
                             .map((o) => o.textContent);
// Scaling of a threads sweep: what each chart drew, as (threads, value).
const drawnSeries = (chart) => chart ? chart.getLabels().slice(1).map((label, i) => ({
  name: label,
  points: (chart.layout_.points[i] || []).filter((p) => p.yval !== null && isFinite(p.canvasy))
                                         .map((p) => [p.xval, p.yval])
})) : null;
out.scaling = drawnSeries(window.briskScaling);
out.efficiency = drawnSeries(window.briskEfficiency);
out.scalingTable = [...document.querySelectorAll('#scaling-table tbody tr')].map(cells);
out.threadMap = window.briskThreadMap || null;
out.mapRuns = [...document.querySelectorAll('#thread-map-run option')].map((o) => o.textContent);
out.runsMap = window.briskRunsMap || null;
return out;
"""


def run_name(doc, run):
    if doc["sweep"]["variable"] == "none":
        return f"run {run['sub_run']}"
    return f"{doc['sweep']['variable']} {run['point']}, run {run['sub_run']}"


def check_timeline(checks, name, doc, state):
    """One line per valid run that holds its seconds, each second drawn (a map
    of them for a long sweep); a thread view of the first run with more than
    one thread where the runs are shown as cards."""
    drawn = [r for r in doc["runs"] if r["valid"] and r.get("timeline") and r["timeline"]["mgups"]]
    if not drawn:
        checks.check(state["timeline"] is None, f"{name}: no timeline chart without a timeline")
        return
    seconds = max(len(r["timeline"]["mgups"]) for r in drawn)
    if len(drawn) > CARD_RUNS:
        m = state["runsMap"]
        checks.check(state["timeline"] is None and m is not None and m["rows"] == len(drawn) and
                     m["seconds"] == seconds,
                     f"{name}: second by second as a map, a row per run ({len(drawn)})", str(m))
    else:
        lines = state["timeline"] or []
        expected = [{"name": run_name(doc, r), "values": r["timeline"]["mgups"]} for r in drawn]
        checks.check(lines == expected, f"{name}: timeline draws one line per run ({len(drawn)})",
                     f"{lines} != {expected}")
        # A short run's every second lies between two labelled ticks, its last
        # one (the only one of a 1-second run) too.
        if seconds <= 10:
            ticks = [str(s) for s in range(seconds + 1)]
            checks.check(state["timelineTicks"] == ticks,
                         f"{name}: time axis labels every second of the run ({seconds})",
                         f"{state['timelineTicks']} != {ticks}")
    threaded = [r for r in drawn if len(r["timeline"]["threads"]) > 1]
    if map_mode(doc):
        checks.check(not state["threadTimelineRuns"] and state["threadTimeline"] is None,
                     f"{name}: no thread lines where the threads are shown as a map")
        return
    checks.check(state["threadTimelineRuns"] == [run_name(doc, r) for r in threaded],
                 f"{name}: thread view offered for the runs with more than one thread",
                 str(state["threadTimelineRuns"]))
    if threaded:
        threads = threaded[0]["timeline"]["threads"]
        want = [{"name": f"T{i}", "values": t} for i, t in enumerate(threads)]
        checks.check(state["threadTimeline"] == want,
                     f"{name}: thread view draws one line per thread ({len(threads)})",
                     f"{state['threadTimeline']} != {want}")
    else:
        checks.check(state["threadTimeline"] is None, f"{name}: no thread view for one thread")
    check_clock_timeline(checks, name, drawn, threaded, doc, state)


def measured(clocks):
    """The seconds of a clock series that hold a measurement; None when none does."""
    values = [c for c in clocks or [] if c is not None]
    return values or None


def check_clock_timeline(checks, name, drawn, threaded, doc, state):
    """Beside the score: one clock line per run that measured its clock, the
    same in the thread view per thread; none for files without clocks."""
    clocked = [r for r in drawn if measured(r["timeline"].get("clock_mhz"))]
    if not clocked:
        checks.check(state["clockTimeline"] is None, f"{name}: no clock chart without clocks")
    else:
        want = [{"name": run_name(doc, r), "values": measured(r["timeline"]["clock_mhz"])}
                for r in clocked]
        checks.check(state["clockTimeline"] == want,
                     f"{name}: the clock chart draws each run's measured seconds ({len(want)})",
                     f"{state['clockTimeline']} != {want}")
    per_thread = threaded[0]["timeline"].get("threads_clock_mhz") if threaded else None
    if not per_thread or not any(measured(t) for t in per_thread):
        checks.check(state["threadClockTimeline"] is None, f"{name}: no thread clock chart")
        return
    want = [{"name": f"T{i}", "values": measured(t) or []} for i, t in enumerate(per_thread)]
    checks.check(state["threadClockTimeline"] == want,
                 f"{name}: the thread view draws each thread's clock ({len(want)})",
                 f"{state['threadClockTimeline']} != {want}")


MAP_PIXEL = r"""
const [thread, second] = arguments;
const canvas = document.getElementById('thread-map');
const m = window.briskThreadMap;
const x = Math.floor((second + 0.5) * m.width / m.seconds);
const y = Math.floor((thread + 0.5) * m.rowHeight);
return [...canvas.getContext('2d').getImageData(x, y, 1, 1).data];
"""

CARD_THREADS = 16  # the page's limits for a card per run
CARD_RUNS = 48


def map_mode(doc):
    most = max((len(r["threads"]) for r in doc["runs"]), default=0)
    return most > CARD_THREADS or len(doc["runs"]) > CARD_RUNS


def expected_scaling(doc):
    """(threads, average, ideal, efficiency %) of a threads sweep; None for others."""
    points = doc["sweep"]["points"]
    if doc["sweep"]["variable"] != "threads" or not points or \
            not all(p.isdigit() for p in points):
        return None
    rows = sorted((int(r["point"]), r["average"]) for r in doc["summary"]
                  if isinstance(r.get("average"), (int, float)) and r["average"] > 0 and
                  int(r["point"]) >= 1)
    if len(rows) < 2:
        return None
    per_thread = rows[0][1] / rows[0][0]
    return [(t, s, per_thread * t, 100 * s / (per_thread * t)) for t, s in rows]


def close(a, b):
    return all(abs(x - y) <= 1e-9 * max(1.0, abs(y)) for x, y in zip(a, b)) and len(a) == len(b)


def check_scaling(checks, name, doc, state):
    want = expected_scaling(doc)
    if want is None:
        checks.check(state["scaling"] is None and state["efficiency"] is None,
                     f"{name}: no scaling charts outside a threads sweep")
        return
    if not checks.check(state["scaling"] is not None and state["efficiency"] is not None,
                        f"{name}: scaling charts drawn"):
        return
    series = {s["name"]: s["points"] for s in state["scaling"]}
    drawn_avg = series.get("average", [])
    drawn_ideal = series.get("ideal scaling", [])
    checks.check([p[0] for p in drawn_avg] == [w[0] for w in want] and
                 close([p[1] for p in drawn_avg], [w[1] for w in want]),
                 f"{name}: scaling chart draws each thread count's average",
                 f"{drawn_avg} != {want}")
    checks.check(close([p[1] for p in drawn_ideal], [w[2] for w in want]),
                 f"{name}: ideal line is the one-thread score times the threads",
                 f"{drawn_ideal}")
    eff = state["efficiency"][0]["points"] if state["efficiency"] else []
    checks.check(close([p[1] for p in eff], [w[3] for w in want]),
                 f"{name}: efficiency is the score over the ideal, per point", f"{eff}")
    if len(want) <= 16:
        rows = [[str(t), None, f"{ideal:.2f}", f"{e:.1f}%"] for t, _, ideal, e in want]
        shown = [[r[0], None, r[2], r[3]] for r in state["scalingTable"]]
        checks.check(shown == rows, f"{name}: efficiency table of every point",
                     f"{state['scalingTable']} != {rows}")


def luminance(rgba):
    return 0.2126 * rgba[0] + 0.7152 * rgba[1] + 0.0722 * rgba[2]


def check_thread_map(checks, driver, name, doc, state):
    runs = doc["runs"]
    checks.check(len(state["mapRuns"]) == len(runs) and
                 all(o.startswith(run_name(doc, r) + ": ") for o, r in zip(state["mapRuns"], runs)),
                 f"{name}: run list offers every run ({len(runs)})", str(state["mapRuns"][:5]))
    checks.check(state["runCards"] == 1, f"{name}: one run shown at a time",
                 f"{state['runCards']} cards")
    last = runs[-1]
    checks.check(state["barCount"] == len(last["threads"]),
                 f"{name}: the shown run has a bar per thread",
                 f"{state['barCount']} != {len(last['threads'])}")
    timeline = (last.get("timeline") or {}).get("threads") or []
    m = state["threadMap"]
    if not timeline:
        checks.check(m is None, f"{name}: no map for a run without seconds")
        return
    seconds = max(len(t) for t in timeline)
    if not checks.check(m is not None and m["run"] == run_name(doc, last) and
                        m["rows"] == len(timeline) and m["seconds"] == seconds,
                        f"{name}: map of the last run, a row per thread and a column per second",
                        str(m)):
        return
    cells = [(v, i, k) for i, t in enumerate(timeline) for k, v in enumerate(t)]
    slow, fast = min(cells), max(cells)
    dark = driver.execute_script(MAP_PIXEL, slow[1], slow[2])
    bright = driver.execute_script(MAP_PIXEL, fast[1], fast[2])
    checks.check(luminance(dark) < luminance(bright),
                 f"{name}: slowest thread-second drawn darker than the fastest",
                 f"T{slow[1]} s{slow[2]} {dark}, T{fast[1]} s{fast[2]} {bright}")
    # Another run from the list replaces the map.
    driver.execute_script(
        "const s = document.getElementById('thread-map-run'); s.value = '0';"
        "s.dispatchEvent(new Event('change'));")
    first = driver.execute_script("return window.briskThreadMap;")
    want = len(((runs[0].get("timeline") or {}).get("threads")) or [])
    checks.check(first is None and want == 0 or
                 first is not None and first["rows"] == want and
                 first["run"] == run_name(doc, runs[0]),
                 f"{name}: picking the first run draws its map", str(first))


def tree_cpu_seconds(root_pid):
    """CPU seconds used so far by each live process under root_pid (the
    browser's driver): what opening a page cost, whatever else loads the
    machine."""
    parents, used = {}, {}
    tick = os.sysconf("SC_CLK_TCK")
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", encoding="ascii", errors="replace") as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        parents[int(entry)] = int(fields[1])
        used[int(entry)] = (int(fields[11]) + int(fields[12])) / tick
    def under(pid):
        while pid in parents and pid != root_pid:
            pid = parents[pid]
        return pid == root_pid
    return {pid: cpu for pid, cpu in used.items() if pid != root_pid and under(pid)}


def open_timed(driver, page, timeout=600):
    """Opens `page`; (seconds until it drew itself, browser CPU seconds spent)."""
    root = driver.service.process.pid
    before = tree_cpu_seconds(root)
    start = time.time()
    driver.set_page_load_timeout(timeout)
    driver.get("file://" + os.path.abspath(page))
    while driver.execute_script(
            "return document.documentElement.getAttribute('data-brisk-ready')") != "true":
        if time.time() - start > timeout:
            return None, None
        time.sleep(0.02)
    wall = time.time() - start
    after = tree_cpu_seconds(root)
    cpu = sum(max(0.0, t - before.get(pid, 0.0)) for pid, t in after.items())
    return wall, cpu


def check_page(checks, driver, page, shot, expect_running=None):
    """Opens one report page and checks it against the document it embeds."""
    name = os.path.basename(page)
    with open(page, encoding="utf-8") as f:
        html_text = f.read()
    doc = embedded_document(html_text)
    state = open_page(checks, driver, os.path.abspath(page), PAGE_STATE)
    log = driver.get_log("browser")
    severe = [e["message"] for e in log if e["level"] == "SEVERE"]
    for entry in log:
        if entry["level"] != "SEVERE":
            print(f"  console {entry['level']}: {entry['message']}")
    checks.check(state["ready"], f"{name}: page drew itself")
    checks.check(not severe, f"{name}: no error in the console", "; ".join(severe))
    checks.check(not state["requests"], f"{name}: nothing fetched", ", ".join(state["requests"]))

    sweep = doc["sweep"]
    finished = doc["brisk"]["finished"]
    if expect_running is not None:
        checks.check(finished is not expect_running,
                     f"{name}: document {'not ' if expect_running else ''}finished")
    checks.check(state["status"] == ("finished" if finished else "running"),
                 f"{name}: marked {'finished' if finished else 'running'}", str(state["status"]))
    checks.check(doc["machine"]["cpu"]["brand"].strip() in state["header"],
                 f"{name}: header names the processor")
    kinds = {"ordinary": "ordinary pages", "transparent": "transparent huge pages",
             "hugetlb": "hugetlb pool", "large": "large pages"}
    for kind in {r["pages"]["kind"] for r in doc["runs"] if r.get("pages")}:
        checks.check(kinds[kind] in state["header"], f"{name}: header names the runs' {kinds[kind]}")

    # The console's table, cell for cell.
    columns = sweep["sub_runs"] if sweep["points"] else 0
    head = [sweep["variable"]] + [f"run {j}" for j in range(1, columns + 1)] + ["avg", "max/min"]
    rows = [[r["point"]] + r["cells"]["scores"] + [""] * (columns - len(r["cells"]["scores"])) +
            [r["cells"]["average"], r["cells"]["spread"]] for r in doc["summary"]]
    checks.check(state["head"] == head, f"{name}: table header", f"{state['head']} != {head}")
    checks.check(state["rows"] == rows, f"{name}: table cells equal the summary cells",
                 f"{state['rows']} != {rows}")

    valid = [r for r in doc["runs"] if r["valid"]]
    invalid = [r for r in doc["runs"] if not r["valid"]]
    if not map_mode(doc):
        checks.check(state["runCards"] == len(doc["runs"]), f"{name}: one thread card per run",
                     f"{state['runCards']} cards, {len(doc['runs'])} runs")
        bars = sum(len(r["threads"]) for r in doc["runs"])
        checks.check(state["barCount"] == bars, f"{name}: one bar per thread",
                     f"{state['barCount']} != {bars}")

    # What else the machine did: one row per run that measured it (none in
    # documents written before), its figures as the document has them.
    measured = [r for r in doc["runs"] if "conditions" in r]
    percent = lambda v: "---" if v is None else f"{v:.1f}%"
    expected = [[percent(r["conditions"]["other_load_percent"]),
                 percent(r["conditions"]["steal_percent"]),
                 percent(r["conditions"]["on_processor_percent"])] for r in measured]
    shown = [row[1:4] for row in state["conditions"]]
    checks.check(shown == expected, f"{name}: conditions table has each run's figures",
                 f"{shown} != {expected}")
    stray = [c for row in state["conditions"] for c in row
             if any(w in c for w in ("null", "undefined", "NaN"))]
    checks.check(not stray, f"{name}: no null, undefined or NaN in the conditions", str(stray))

    chart = state["chart"]
    if not valid:
        checks.check(chart is None, f"{name}: no chart without a valid run")
    elif checks.check(chart is not None and state["chartSize"] and min(state["chartSize"]) > 0,
                      f"{name}: chart has a size", str(state["chartSize"])):
        drawn = sorted(chart["runs"])
        scores = sorted(r["score"] for r in valid)
        checks.check(len(drawn) == len(valid), f"{name}: chart drew one dot per valid run",
                     f"{len(drawn)} drawn, {len(valid)} valid")
        checks.check(drawn == scores, f"{name}: dots are the valid scores (nothing at zero)",
                     f"{drawn} != {scores}")
        averages = [r["average"] for r in doc["summary"] if r["average"] is not None]
        checks.check(sorted(chart["averages"]) == sorted(averages),
                     f"{name}: average line through the summary averages")
        checks.check(chart["yRange"][0] <= 0 < min(scores) and chart["yRange"][1] >= max(scores),
                     f"{name}: score axis spans zero to every score", str(chart["yRange"]))

    check_timeline(checks, name, doc, state)
    check_scaling(checks, name, doc, state)

    # Each invalid run: listed with every reason, and its cell says why.
    for run in invalid:
        label = f"{run['point']}, run {run['sub_run']}" if sweep["variable"] != "none" \
            else f"run {run['sub_run']}"
        items = [i for i in state["invalidItems"] if label in i]
        reasons = run["reasons"] or ["no reason was printed"]
        checks.check(len(items) >= 1 and all(all(r in i for r in reasons) for i in items),
                     f"{name}: invalid run {label} listed with its reasons",
                     str(state["invalidItems"]))
        titles = [t for row in state["titles"] for t in row]
        if run["reasons"]:
            checks.check("\n".join(run["reasons"]) in titles,
                         f"{name}: invalid cell of {label} carries its reasons")

    if map_mode(doc) and doc["runs"]:
        check_thread_map(checks, driver, name, doc, state)
    checks.check(page_width_fits(driver, 390), f"{name}: no sideways scrolling at 390 px")
    whole_page_shot(driver, shot, 1000)
    return doc


class Brisk:
    """brisk started in the output folder, its standard output read line by line."""

    def __init__(self, command, out_dir, args):
        env = dict(os.environ)
        env.setdefault("WINEDEBUG", "-all")
        # Every run saves its results: into the output folder, not the user's history.
        env.setdefault("BRISK_RESULTS_DIR", os.path.abspath(os.path.join(out_dir, "history")))
        env.setdefault("BRISK_CACHE_DIR", os.path.abspath(os.path.join(out_dir, "cache")))
        self.proc = subprocess.Popen(command + args, cwd=out_dir, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        self.lines = queue.Queue()
        self.stderr = []
        threading.Thread(target=self._read, args=(self.proc.stdout, self.lines.put),
                         daemon=True).start()
        threading.Thread(target=self._read, args=(self.proc.stderr, self.stderr.append),
                         daemon=True).start()

    @staticmethod
    def _read(stream, sink):
        # brisk.exe ends its lines with CR LF; the progress line rewrites itself with CR.
        for raw in stream:
            for line in raw.decode("utf-8", "replace").replace("\r\n", "\n").split("\r"):
                sink(line.rstrip("\n"))
        sink(None)

    def wait_for(self, prefix, done, timeout):
        """Until a line starts with prefix or done() holds; False when brisk ended first."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=0.1)
                if line is None:
                    return done()
                if line.startswith(prefix):
                    return True
            except queue.Empty:
                pass
            if done():
                return True
        return False

    def finish(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.stop()
            return None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def absolute_command(text):
    # brisk runs in the output folder: any word naming a file becomes absolute.
    words = shlex.split(text)
    return [os.path.abspath(w) if os.path.exists(w) and os.sep in w else w for w in words]


def remove_outputs(out_dir, name, *more):
    # Files of an earlier check must not pass for brisk's.
    for path in [os.path.join(out_dir, f"{name}.{ext}") for ext in ("html", "json")] + list(more):
        if os.path.exists(path):
            os.remove(path)


def run_sweep(checks, command, out_dir, name, sweep_args):
    args = RUN_ARGS + sweep_args + ["--export-html", f"{name}.html",
                                    "--export-json", f"{name}.json"]
    remove_outputs(out_dir, name)
    brisk = Brisk(command, out_dir, args)
    status = brisk.finish(600)
    ok = checks.check(status == 0, f"{name}: brisk {' '.join(args)} exited with 0",
                      f"status {status}; stderr: "
                      f"{' | '.join(line for line in brisk.stderr if line)[-2000:]}")
    html = os.path.join(out_dir, f"{name}.html")
    ok = checks.check(ok and os.path.isfile(html), f"{name}: {name}.html written") and ok
    return html if ok else None


def partial_page(checks, command, out_dir):
    """A page copied while the sweep still runs must open and show what is done."""
    name = "running"
    args = RUN_ARGS + ["--harness-var", "threads", "--harness-opt", "1-4",
                       "--export-html", f"{name}.html", "--export-json", f"{name}.json"]
    html = os.path.join(out_dir, f"{name}.html")
    copy = os.path.join(out_dir, f"{name}-copy.html")
    remove_outputs(out_dir, name, copy)
    brisk = Brisk(command, out_dir, args)

    def json_has_run():
        try:
            with open(os.path.join(out_dir, f"{name}.json"), encoding="utf-8") as f:
                return bool(json.load(f)["runs"])
        except (OSError, ValueError, KeyError):
            return False

    try:
        # A valid first run prints its score; an invalid one shows in the JSON.
        if not checks.check(brisk.wait_for("final score:", json_has_run, 300),
                            f"{name}: first run finished"):
            return None
        # The page is rewritten right after the run: wait for the one that holds it.
        deadline = time.time() + 30
        copied = None
        while time.time() < deadline and copied is None:
            try:
                shutil.copyfile(html, copy)
                with open(copy, encoding="utf-8") as f:
                    if embedded_document(f.read())["runs"]:
                        copied = copy
            except (OSError, ValueError):
                pass
            if copied is None:
                time.sleep(0.05)
        checks.check(copied is not None,
                     f"{name}: page with the first run written during the sweep")
        return copied
    finally:
        brisk.stop()


STABILITY_STATE = r"""
const rows = [...document.querySelectorAll('#stability .bar-row')];
return {
  ready: document.documentElement.getAttribute('data-brisk-ready') === 'true',
  labels: rows.map((r) => r.querySelector('.bar-label').textContent),
  values: rows.map((r) => r.querySelector('.bar-value').textContent),
  widths: rows.map((r) => r.querySelector('.bar').style.width),
  failing: rows.map((r) => r.classList.contains('failing')),
  slow: rows.map((r) => r.classList.contains('slow')),
  titles: rows.map((r) => r.title),
  marks: rows.map((r) => r.querySelector('.bar-mark').textContent),
  listed: [...document.querySelectorAll('#stability li')].map((li) => li.textContent),
  sweepSections: document.querySelectorAll('#results, #threads').length,
};
"""


def open_stability_page(checks, driver, page, name, shot):
    state = open_page(checks, driver, os.path.abspath(page), STABILITY_STATE)
    errors = [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]
    checks.check(not errors, f"{name}: no console error", "; ".join(errors))
    checks.check(state["ready"], f"{name}: page drew itself")
    checks.check(state["sweepSections"] == 0, f"{name}: no sweep sections on a stability page")
    driver.save_screenshot(shot)
    return state


def with_document(html_text, doc):
    """The page with another document in its data block, escaped as brisk does."""
    start = html_text.index(DATA_OPEN) + len(DATA_OPEN)
    end = html_text.index("</script>", start)
    data = json.dumps(doc).replace("</", "<\\/").replace("<!--", "\\u003c!--")
    return html_text[:start] + data + html_text[end:]


def stability_page(checks, driver, command, out_dir):
    """brisk stability's page: one bar per logical processor; a failing one marked."""
    name = "stability"
    args = ["stability", "-s", "64", "-d", "1", "--rounds", "1",
            "--export-html", f"{name}.html", "--export-json", f"{name}.json"]
    remove_outputs(out_dir, name)
    brisk = Brisk(command, out_dir, args)
    status = brisk.finish(600)
    if not checks.check(status == 0, f"{name}: brisk {' '.join(args)} exited with 0",
                        f"status {status}"):
        return
    html = os.path.join(out_dir, f"{name}.html")
    with open(html, encoding="utf-8") as f:
        page_text = f.read()
    doc = embedded_document(page_text)
    errors = schema_errors(doc)
    checks.check(not errors, f"{name}: the document follows the schema", errors)
    rows = doc["stability"]["rows"]
    state = open_stability_page(checks, driver, html, name,
                                os.path.join(out_dir, f"{name}.png"))
    checks.check(len(state["labels"]) == len(rows) > 0, f"{name}: one bar per logical processor",
                 f"{len(state['labels'])} bars, {len(rows)} rows")
    checks.check(state["values"] == [f"{r['mgups']:.2f}" for r in rows],
                 f"{name}: each bar shows its MGups", str(state["values"]))
    checks.check(not any(state["failing"]), f"{name}: no bar marked failing")

    # The same page with the second processor's row failing and the first slow.
    failed = json.loads(json.dumps(doc))
    target = failed["stability"]["rows"][-1]
    target["failure"] = {"round": 1, "wrong_value": True, "wrong_values": 261297,
                         "checked_values": 2299968, "first_wrong_value": "E(20, 21, 22).x",
                         "expected": "0.1", "found": "0.10000000000000002", "text": ""}
    failed["stability"]["rows"][0]["slow"] = True
    errors = schema_errors(failed)
    checks.check(not errors, f"{name}: the failing document follows the schema", errors)
    marked = os.path.join(out_dir, f"{name}-failing.html")
    with open(marked, "w", encoding="utf-8") as f:
        f.write(with_document(page_text, failed))
    state = open_stability_page(checks, driver, marked, f"{name}-failing",
                                os.path.join(out_dir, f"{name}-failing.png"))
    last = len(rows) - 1
    checks.check(state["failing"] == [i == last for i in range(len(rows))],
                 f"{name}-failing: only the failing processor's bar is marked", str(state["failing"]))
    checks.check("wrong values" in state["marks"][last] and
                 "261297 wrong values, first E(20, 21, 22).x" in state["titles"][last],
                 f"{name}-failing: the mark says what was wrong", state["titles"][last])
    checks.check(state["slow"][0] and "slow" in state["marks"][0], f"{name}-failing: slow marked")
    checks.check(len(state["listed"]) == 1 and "round 1" in state["listed"][0],
                 f"{name}-failing: the failure listed below the bars", str(state["listed"]))

def grown_sample(checks, driver, sample, out_dir):
    """A threads sweep of a 24-core machine grown from the sample, in the
    sample's page: the view of a machine with more threads and runs than
    cards suit."""
    with open(sample, encoding="utf-8") as f:
        page = f.read()
    doc = grow_sweep.grow(embedded_document(page), 24, 4)
    grown = os.path.join(out_dir, "grown_threads_sweep.html")
    with open(grown, "w", encoding="utf-8") as f:
        f.write(grow_sweep.page_with(page, grow_sweep.dumps(doc, "compact")))
    check_page(checks, driver, grown, os.path.join(out_dir, "grown_threads_sweep.png"))


def big_page(checks, driver, page, limit):
    """Opens a big machine's page: its time to draw itself, and its views."""
    name = os.path.basename(page)
    wall, cpu = open_timed(driver, page)
    if not checks.check(wall is not None, f"{name}: page drew itself"):
        return
    print(f"  {name}: {os.path.getsize(page) / 1e6:.1f} MB, drew itself after {wall:.2f} s, "
          f"{cpu:.2f} s of browser processor time; load average {os.getloadavg()[0]:.1f}")
    if limit:
        checks.check(wall <= limit, f"{name}: opens within {limit} s", f"{wall:.2f} s")
    severe = [e["message"] for e in driver.get_log("browser") if e["level"] == "SEVERE"]
    checks.check(not severe, f"{name}: no error in the console", "; ".join(severe))
    with open(page, encoding="utf-8") as f:
        doc = embedded_document(f.read())
    state = driver.execute_script(PAGE_STATE)
    check_timeline(checks, name, doc, state)
    check_scaling(checks, name, doc, state)
    if map_mode(doc):
        check_thread_map(checks, driver, name, doc, state)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="folder for brisk's files and the screenshots")
    parser.add_argument("--brisk",
                        help='command that starts brisk, e.g. "build/linux/src/app/brisk"')
    parser.add_argument("--sample", action="append",
                        help="a report page rendered without brisk (may be given again)")
    parser.add_argument("--big", action="append",
                        help="a big machine's report page, opened and timed (may be given again)")
    parser.add_argument("--open-limit", type=float,
                        help="seconds a --big page may take to draw itself (default: no limit)")
    opts = parser.parse_args()
    if not opts.brisk and not opts.sample and not opts.big:
        parser.error("give --brisk, --sample, --big or a mix")
    out_dir = os.path.abspath(opts.out)
    os.makedirs(out_dir, exist_ok=True)
    checks = Checks()
    with browser("report") as driver:
        if opts.sample:
            invalid = 0
            for page in opts.sample:
                shot = os.path.splitext(os.path.basename(page))[0] + ".png"
                doc = check_page(checks, driver, page, os.path.join(out_dir, shot))
                invalid += sum(not r["valid"] for r in doc["runs"])
            checks.check(invalid > 0, "samples: hold an invalid run, so the invalid-run checks ran")
            grown_sample(checks, driver, opts.sample[0], out_dir)
        for page in opts.big or []:
            big_page(checks, driver, page, opts.open_limit)
        if opts.brisk:
            command = absolute_command(opts.brisk)
            for name, sweep in (("threads", ["--harness-var", "threads", "--harness-opt", "1-2"]),
                                ("isa", ["--harness-var", "isa"])):
                html = run_sweep(checks, command, out_dir, name, sweep)
                if html:
                    doc = check_page(checks, driver, html, os.path.join(out_dir, f"{name}.png"),
                                     expect_running=False)
                    with open(os.path.join(out_dir, f"{name}.json"), encoding="utf-8") as f:
                        checks.check(json.load(f) == doc,
                                     f"{name}: page embeds the JSON file's document")
                    errors = schema_errors(doc)
                    checks.check(not errors, f"{name}: the document follows the schema", errors)
                    points = len(doc["sweep"]["points"])
                    checks.check(len(doc["runs"]) == points * doc["sweep"]["sub_runs"],
                                 f"{name}: every run of the sweep in the page")
            stability_page(checks, driver, command, out_dir)
            copy = partial_page(checks, command, out_dir)
            if copy:
                doc = check_page(checks, driver, copy, os.path.join(out_dir, "running.png"),
                                 expect_running=True)
                errors = schema_errors(doc)
                checks.check(not errors, "running: the document follows the schema", errors)
                print(f"  the copy holds {len(doc['runs'])} of "
                      f"{len(doc['sweep']['points']) * doc['sweep']['sub_runs']} runs")
    print(f"report: {checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
