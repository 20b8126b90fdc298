#!/usr/bin/python3
"""Browser check of brisk compare's HTML page (--export-html).

Opens every page in headless Chromium and checks it against the comparison
JSON it embeds: the document follows schema/brisk-comparison.schema.json, no
console error, no request leaving the page, the score chart drew one dot per
valid run and one average per point for every file, the change chart one bar
per computed change and one whisker per interval, the table's rows are the
document's rows and sort by a clicked column, the differing machine fields are
highlighted, noisy sides, unlike rows, unmatched points and unfinished files
show, every matched point draws both files' runs second by second side by
side, and nothing scrolls sideways at 390 px. A screenshot of each page goes
into the output folder.

  /usr/bin/python3 tests/report/check_compare_page.py --out DIR PAGE.html [PAGE.html ...]
      [--shot-width 1000] [--shot FILE.png]

--shot writes the first page's screenshot there too, in 256 colours (for
docs/compare.png).
"""

import argparse
import json
import os
import sys

import jsonschema
from PIL import Image

from page_browser import Checks, browser, embedded_document, open_page, page_width_fits, \
    whole_page_shot

SCHEMA_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "schema",
                           "brisk-comparison.schema.json")


def schema_errors(doc):
    with open(SCHEMA_PATH, encoding="utf-8") as f:
        validator = jsonschema.Draft202012Validator(json.load(f))
    return "; ".join(f"{list(e.absolute_path)}: {e.message}" for e in validator.iter_errors(doc))


PAGE_STATE = r"""
const out = {ready: document.documentElement.getAttribute('data-brisk-ready') === 'true'};
const table = document.getElementById('comparison-table');
const text = (c) => c.textContent;
out.head = table ? [...table.tHead.rows[0].cells].map(text) : null;
out.rows = table ? [...table.tBodies[0].rows].map((r) => [...r.cells].map(text)) : [];
out.unlikeRows = table ? table.querySelectorAll('tbody tr.unlike').length : 0;
out.noisyCells = table ? table.querySelectorAll('tbody td.noisy').length : 0;
out.notices = [...document.querySelectorAll('li.warn')].map(text).join('\n');
out.differs = [...document.querySelectorAll('#machines-table tr.differs')]
                  .map((r) => r.getAttribute('data-field'));
out.machineFields = [...document.querySelectorAll('#machines-table tbody tr')]
                        .map((r) => r.getAttribute('data-field'));
out.machineColumns = document.querySelector('#machines-table thead tr') ?
    document.querySelector('#machines-table thead tr').cells.length : 0;
out.unmatched = [...document.querySelectorAll('#unmatched li')].map(text);
out.incompleteBadges = [...document.querySelectorAll('.file-list li')]
                           .map((li) => li.querySelector('.badge') !== null);
out.requests = performance.getEntriesByType('resource').map((e) => e.name);
// A missing value appended as it is shows on the page as the word itself.
const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
out.strayWords = [];
for (let n = walker.nextNode(); n; n = walker.nextNode()) {
  if (['null', 'undefined', 'NaN'].includes(n.nodeValue.trim())) out.strayWords.push(n.nodeValue);
}
out.bars = {};
out.whiskers = {};
out.missing = document.querySelectorAll('#delta-chart .missing').length;
for (const g of document.querySelectorAll('#delta-chart g[data-file]')) {
  const f = g.getAttribute('data-file');
  out.bars[f] = (out.bars[f] || 0) + g.querySelectorAll('rect.delta-bar').length;
  out.whiskers[f] = (out.whiskers[f] || 0) + g.querySelectorAll('path.whisker').length;
}
const g = window.briskCharts && window.briskCharts.score;
out.chart = null;
if (g) {
  const area = g.getArea();
  const drawn = (name) => {
    const series = g.layout_.points[g.getLabels().indexOf(name) - 1] || [];
    return series.filter((p) => isFinite(p.canvasx) && isFinite(p.canvasy) &&
                                p.canvasx >= area.x - 0.5 && p.canvasx <= area.x + area.w + 0.5 &&
                                p.canvasy >= area.y - 0.5 && p.canvasy <= area.y + area.h + 0.5)
                 .map((p) => p.yval);
  };
  out.chart = {runs: {}, averages: {}, size: [area.w, area.h]};
  for (const label of g.getLabels().slice(1)) {
    (label[0] === 'r' ? out.chart.runs : out.chart.averages)[label.slice(1)] = drawn(label);
  }
}
return out;
"""

SORT_BY = r"""
const th = [...document.querySelectorAll('#comparison-table thead th')]
               .find((c) => c.textContent === arguments[0]);
th.click();
return [...document.querySelectorAll('#comparison-table tbody tr')]
           .map((r) => r.cells[arguments[1]].textContent);
"""


def point_name(doc, row):
    variable = doc["files"][0]["sweep"]["variable"]
    name = row["label"] if row["occurrence"] == 0 else f"{row['label']} #{row['occurrence'] + 1}"
    return name if row["variable"] == variable else f"{row['variable']} {name}"


def load(checks, driver, page):
    return open_page(checks, driver, os.path.abspath(page), PAGE_STATE)


def check_chart(checks, name, doc, state):
    chart = state["chart"]
    files = doc["files"]
    if not any(p["scores"] for f in files for p in f["points"]):
        checks.check(chart is None, f"{name}: no score chart without a valid run")
        return
    if not checks.check(chart is not None and min(chart["size"]) > 0,
                        f"{name}: score chart has a size", str(chart and chart["size"])):
        return
    for i, f in enumerate(files):
        scores = sorted(s for p in f["points"] for s in p["scores"])
        averages = sorted(p["average"] for p in f["points"] if p["average"] is not None)
        drawn = sorted(chart["runs"].get(str(i), []))
        checks.check(drawn == scores, f"{name}: file {i}: one dot per valid run ({len(scores)})",
                     f"{drawn} != {scores}")
        checks.check(sorted(chart["averages"].get(str(i), [])) == averages,
                     f"{name}: file {i}: one average per point ({len(averages)})")


def check_deltas(checks, name, doc, state):
    for i in range(1, len(doc["files"])):
        rows = [r for r in doc["rows"] if r["file"] == i]
        bars = sum(r["delta_percent"] is not None for r in rows)
        whiskers = sum(r["ci_low_percent"] is not None and r["ci_high_percent"] is not None
                       for r in rows)
        checks.check(state["bars"].get(str(i), 0) == bars,
                     f"{name}: file {i}: one change bar per computed change ({bars})",
                     str(state["bars"]))
        checks.check(state["whiskers"].get(str(i), 0) == whiskers,
                     f"{name}: file {i}: one whisker per interval ({whiskers})",
                     str(state["whiskers"]))
    missing = sum(r["delta_percent"] is None for r in doc["rows"])
    checks.check(state["missing"] == missing, f"{name}: a mark where no change was computed")


def check_table(checks, driver, name, doc, state):
    rows = doc["rows"]
    shown = [[r[0], r[1], r[-1]] for r in state["rows"]]
    expected = [[r["name"], point_name(doc, r), r["verdict"]] for r in rows]
    checks.check(len(shown) == len(expected) and
                 all(s[0] == e[0] and s[1] == e[1] and s[2].startswith(e[2])
                     for s, e in zip(shown, expected)),
                 f"{name}: table rows are the document's rows ({len(rows)})",
                 f"{shown} != {expected}")
    checks.check(state["unlikeRows"] == sum(not r["like_for_like"] for r in rows),
                 f"{name}: not-like-for-like rows marked")
    checks.check(state["noisyCells"] == sum(r["base"]["noisy"] + r["other"]["noisy"] for r in rows),
                 f"{name}: noisy sides marked")
    causes = [side["noise_cause"] for r in rows for side in (r["base"], r["other"])
              if side["noisy"] and side.get("noise_cause")]
    checks.check(all(cause in state["notices"] for cause in causes),
                 f"{name}: the noisy sides' causes are named ({len(causes)})",
                 f"{causes} not in {state['notices']!r}")
    if len(rows) < 2:
        return
    column = state["head"].index("change")
    expected = sorted((r["delta_percent"] for r in rows if r["delta_percent"] is not None))
    for direction in ("ascending", "descending"):
        texts = driver.execute_script(SORT_BY, "change", column)
        numbers = [float(t.rstrip("%")) for t in texts if t != "---"]
        want = [round(v, 2) for v in (expected if direction == "ascending" else expected[::-1])]
        checks.check(numbers == want and texts[len(numbers):] == ["---"] * (len(texts) - len(numbers)),
                     f"{name}: a click on 'change' sorts {direction}, missing last", str(texts))


def check_context(checks, name, doc, state):
    fields = {d["field"] for d in doc["differences"]}
    checks.check(fields <= set(state["differs"]), f"{name}: differing machine fields highlighted",
                 f"{sorted(fields)} not all in {state['differs']}")
    # A highlighted row is a difference or a value that really differs.
    if doc["same_machine"] and doc["same_build"] and not doc["differences"]:
        checks.check(not state["differs"], f"{name}: nothing highlighted", str(state["differs"]))
    checks.check(state["machineColumns"] == len(doc["files"]) + 1,
                 f"{name}: one machine column per file")
    checks.check(len(state["unmatched"]) == len(doc["unmatched"]),
                 f"{name}: every unmatched point listed", str(state["unmatched"]))
    checks.check(state["incompleteBadges"] == [f["incomplete"] for f in doc["files"]],
                 f"{name}: unfinished files marked", str(state["incompleteBadges"]))


TIMELINES = r"""
const select = document.getElementById('timeline-point');
if (!select) return null;
select.value = String(arguments[0]);
select.dispatchEvent(new Event('change'));
return window.briskCharts.timelines.map((g) => ({
  series: g.getLabels().slice(1).map((label, i) =>
      (g.layout_.points[i] || []).filter((p) => p.yval !== null && isFinite(p.canvasy))
                                 .map((p) => p.yval)),
  range: g.yAxisRange(),
  ticks: g.layout_.xticks.map((t) => t.label)
}));
"""


def check_timelines(checks, driver, name, doc):
    """For every matched point: the base's and the other file's runs side by
    side, one line per run that holds its seconds, on one shared scale."""
    files = doc["files"]
    for index, row in enumerate(doc["rows"]):
        charts = driver.execute_script(TIMELINES, index)
        if not checks.check(charts is not None, f"{name}: a point can be chosen for the timelines"):
            return
        expected = []
        seconds = 0
        for file in (0, row["file"]):
            point = next(p for p in files[file]["points"]
                         if p["label"] == row["label"] and p["occurrence"] == row["occurrence"])
            runs = [[v for v in t["mgups"] if v is not None] for t in point["timelines"]
                    if t["mgups"]]
            if runs:
                expected.append(runs)
            seconds = max([seconds] + [len(t["mgups"]) for t in point["timelines"]])
        where = f"{name}: row {index} ({point_name(doc, row)}, file {row['file']})"
        checks.check([c["series"] for c in charts] == expected,
                     f"{where}: one line per run and side, its seconds drawn",
                     f"{[c['series'] for c in charts]} != {expected}")
        checks.check(len({tuple(c["range"]) for c in charts}) <= 1, f"{where}: one shared scale",
                     str([c["range"] for c in charts]))
        # A short run's every second lies between two labelled ticks, on both sides.
        if 0 < seconds <= 10:
            ticks = [str(s) for s in range(seconds + 1)]
            checks.check(all(c["ticks"] == ticks for c in charts),
                         f"{where}: time axes label every second ({seconds})",
                         str([c["ticks"] for c in charts]))


def check_page(checks, driver, page, shot, width):
    name = os.path.basename(page)
    with open(page, encoding="utf-8") as f:
        doc = embedded_document(f.read())
    errors = schema_errors(doc)
    checks.check(not errors, f"{name}: the embedded document follows the schema", errors)
    state = load(checks, driver, page)
    log = driver.get_log("browser")
    severe = [e["message"] for e in log if e["level"] == "SEVERE"]
    checks.check(state["ready"], f"{name}: page drew itself")
    checks.check(not severe, f"{name}: no error in the console", "; ".join(severe))
    checks.check(not state["requests"], f"{name}: nothing fetched", ", ".join(state["requests"]))
    checks.check(not state["strayWords"], f"{name}: no stray null, undefined or NaN shown",
                 repr(state["strayWords"]))
    check_chart(checks, name, doc, state)
    check_deltas(checks, name, doc, state)
    check_context(checks, name, doc, state)
    check_table(checks, driver, name, doc, state)
    check_timelines(checks, driver, name, doc)
    checks.check(page_width_fits(driver, 390), f"{name}: no sideways scrolling at 390 px")
    # The screenshot shows the table in the document's order.
    load(checks, driver, page)
    whole_page_shot(driver, shot, width)
    return doc


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="folder for the screenshots")
    parser.add_argument("--shot-width", type=int, default=1000, help="window width of screenshots")
    parser.add_argument("--shot", help="the first page's screenshot again, in 256 colours")
    parser.add_argument("pages", nargs="+", help="comparison pages written by brisk compare")
    opts = parser.parse_args()
    out_dir = os.path.abspath(opts.out)
    os.makedirs(out_dir, exist_ok=True)
    checks = Checks()
    with browser("compare") as driver:
        for index, page in enumerate(opts.pages):
            shot = os.path.join(out_dir, os.path.splitext(os.path.basename(page))[0] + ".png")
            if os.path.exists(shot):
                os.remove(shot)
            check_page(checks, driver, page, shot, opts.shot_width)
            checks.check(os.path.isfile(shot), f"{os.path.basename(page)}: screenshot written")
            if index == 0 and opts.shot and os.path.isfile(shot):
                image = Image.open(shot).convert("RGB")
                image.quantize(colors=256, method=Image.Quantize.MEDIANCUT).save(opts.shot,
                                                                                 optimize=True)
    print(f"compare page: {checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
