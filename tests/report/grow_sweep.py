#!/usr/bin/python3
"""Grows a real brisk results document into the threads sweep of a big machine.

A default threads sweep on a T-core server runs the points 1 to T - 1, three
sub-runs each, and records every thread second by second. This script takes
a results file that brisk wrote (any sweep with at least one valid run that
has a timeline) and writes that sweep for T cores: the machine, timers,
settings and record fields of the real file, with the thread records and
timelines of its fullest run repeated and scaled to each thread count. The
rates follow a plausible server: per-thread speed falling as the threads
share memory bandwidth, a little noise per sub-run, thread and second, a
slower first second and now and then a thread that loses its pace.

  /usr/bin/python3 tests/report/grow_sweep.py REAL.json --cores 384 \
      --duration 30 --json OUT.json [--layout pretty|compact] \
      [--page PAGE.html --page-from BRISK_PAGE.html]

--page writes the report page of the grown document: the page brisk wrote
(BRISK_PAGE.html, any report page) with its data block replaced, escaped as
brisk's page writer escapes it. --layout pretty lays the JSON out one number
per line, as brisk's files were written; compact puts every run on one line.
"""

import argparse
import copy
import json
import random

DATA_OPEN = '<script type="application/json" id="brisk-data">'


def fixed2(value):
    return f"{value:.2f}"


def fullest_run(doc):
    runs = [r for r in doc["runs"]
            if r.get("valid") and r.get("timeline") and r["timeline"].get("threads")]
    if not runs:
        raise SystemExit("the document has no valid run with a timeline to grow from")
    return max(runs, key=lambda r: len(r["threads"]))


def thread_rates(run):
    """The template's per-thread rate and its seconds relative to that rate."""
    rates = [t["mgups"] for t in run["threads"] if t["mgups"] > 0] or [1.0]
    per_thread = sum(rates) / len(rates)
    shapes = []
    for seconds in run["timeline"]["threads"]:
        if seconds:
            mean = sum(seconds) / len(seconds)
            shapes.append([s / mean if mean > 0 else 1.0 for s in seconds])
    return per_thread, shapes or [[1.0]]


def grown_run(template, point, sub_run, threads, duration, per_thread, shapes, rng):
    run = copy.deepcopy(template)
    run["point"] = str(point)
    run["sub_run"] = sub_run
    run["settings"]["threads"] = threads
    run["settings"]["duration"] = duration
    # Memory bandwidth shared by more threads: each goes slower.
    speed = per_thread / (1.0 + threads / 160.0) * rng.gauss(1.0, 0.004)
    step_updates = run["settings"]["size"] ** 3
    records, timelines = [], []
    for index in range(threads):
        rate = speed * rng.gauss(1.0, 0.015)
        shape = shapes[index % len(shapes)]
        seconds = []
        lagging = rng.random() < 0.002
        for k in range(duration):
            factor = shape[k % len(shape)] if k < len(shape) else 1.0
            if k == 0:
                factor *= 0.93  # fields still being touched for the first time
            if lagging and k >= duration // 2:
                factor *= 0.6
            # Whole steps per second, as brisk's timelines count them.
            steps = round(rate * factor * rng.gauss(1.0, 0.01) * 1e6 / step_updates)
            seconds.append(steps * step_updates / 1e6)
        mgups = sum(seconds) / len(seconds)
        record = copy.deepcopy(template["threads"][index % len(template["threads"])])
        record["index"] = index
        record["fast_us"] = duration * 1000000 + rng.randint(0, 3000)
        record["coarse_ms"] = duration * 1000 + rng.randint(0, 4)
        record["updates"] = int(mgups * record["fast_us"])
        record["mgups"] = record["updates"] / record["fast_us"]
        if "iterations" in record and template["threads"][0].get("updates"):
            ratio = template["threads"][0]["iterations"] / template["threads"][0]["updates"]
            record["iterations"] = max(1, int(record["updates"] * ratio))
        records.append(record)
        timelines.append(seconds)
    run["threads"] = records
    run["score"] = sum(r["mgups"] for r in records)
    run["valid"] = True
    run["reasons"] = []
    run["warnings"] = []
    run["timeline"] = {"mgups": [sum(t[k] for t in timelines) for k in range(duration)],
                       "threads": timelines}
    return run


def summary_row(point, runs):
    scores = [r["score"] for r in runs]
    average = sum(scores) / len(scores)
    spread = (max(scores) / min(scores) - 1.0) * 100.0
    return {"point": point, "scores": scores, "average": average, "spread_percent": spread,
            "cells": {"scores": [fixed2(s) for s in scores], "average": fixed2(average),
                      "spread": fixed2(spread) + "%"}}


def grow(doc, cores, duration, sub_runs=3, seed=1):
    """The threads sweep 1 .. cores - 1 of `doc`'s machine grown to `cores` cores."""
    rng = random.Random(seed)
    template = fullest_run(doc)
    per_thread, shapes = thread_rates(template)
    out = copy.deepcopy({k: v for k, v in doc.items() if k not in ("runs", "summary")})
    topology = out["machine"]["topology"]
    topology.update({"packages": 2, "numa_nodes": 2, "cores": cores,
                     "logical_processors": 2 * cores})
    out["settings"]["duration"] = duration
    out["settings"]["numthreads"] = 0
    points = [str(t) for t in range(1, cores)]
    out["sweep"] = {"variable": "threads", "option": f"1-{cores - 1}", "sub_runs": sub_runs,
                    "points": points}
    out["brisk"]["command_line"] = ["brisk", "-d", str(duration), "--harness-var", "threads",
                                    "--export-json", "sweep.json", "--export-html", "sweep.html"]
    out["brisk"]["finished"] = True
    out["runs"], out["summary"] = [], []
    for threads in range(1, cores):
        runs = [grown_run(template, threads, s, threads, duration, per_thread, shapes, rng)
                for s in range(1, sub_runs + 1)]
        out["runs"].extend(runs)
        out["summary"].append(summary_row(str(threads), runs))
    return out


def dumps(doc, layout):
    if layout == "pretty":
        return json.dumps(doc, indent=2, ensure_ascii=False)
    head = {k: v for k, v in doc.items() if k != "runs"}
    text = json.dumps(head, ensure_ascii=False)[:-1]
    runs = ",\n".join(json.dumps(r, ensure_ascii=False) for r in doc["runs"])
    return text + ', "runs": [\n' + runs + "\n]}"


def script_safe(text):
    """As brisk's page writer embeds a document: "</" and "<!--" cannot occur."""
    return text.replace("</", "<\\/").replace("<!--", "\\u003c!--")


def page_with(page_text, json_text):
    start = page_text.index(DATA_OPEN) + len(DATA_OPEN)
    end = page_text.index("</script>", start)
    return page_text[:start] + script_safe(json_text) + page_text[end:]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("real", help="a results JSON file brisk wrote")
    parser.add_argument("--cores", type=int, default=384)
    parser.add_argument("--duration", type=int, default=30)
    parser.add_argument("--sub-runs", type=int, default=3)
    parser.add_argument("--layout", choices=("pretty", "compact"), default="compact")
    parser.add_argument("--json", help="where to write the grown document")
    parser.add_argument("--page", help="where to write its report page")
    parser.add_argument("--page-from", help="a report page brisk wrote, for --page")
    opts = parser.parse_args()
    if opts.cores < 2 or opts.duration < 1 or opts.sub_runs < 1:
        parser.error("--cores must be at least 2, --duration and --sub-runs at least 1")
    if opts.page and not opts.page_from:
        parser.error("--page needs --page-from")
    with open(opts.real, encoding="utf-8") as f:
        doc = grow(json.load(f), opts.cores, opts.duration, opts.sub_runs)
    text = dumps(doc, opts.layout)
    if opts.json:
        with open(opts.json, "w", encoding="utf-8") as f:
            f.write(text)
    if opts.page:
        with open(opts.page_from, encoding="utf-8") as f:
            page = page_with(f.read(), text)
        with open(opts.page, "w", encoding="utf-8") as f:
            f.write(page)
    thread_seconds = sum(len(t) for r in doc["runs"] for t in r["timeline"]["threads"])
    print(f"{len(doc['runs'])} runs, {thread_seconds} thread-seconds, "
          f"{len(text.encode('utf-8'))} bytes of JSON "
          f"({len(text.encode('utf-8')) / thread_seconds:.1f} per thread-second)")


if __name__ == "__main__":
    main()
