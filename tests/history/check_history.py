#!/usr/bin/python3
"""End-to-end checks of the results history, run against the built program
(or brisk.exe under Wine): every run saved, the standing lines after the
table, --no-save, the default folders, folders that cannot be written, a
killed sweep, concurrent invocations, files that are not brisk results,
results named last/last~N/best, brisk history with its exports, and the trend
page in headless Chromium.

usage: check_history.py --brisk "COMMAND" --work DIR [--wine]
Prints one line per check and closes with "history: N passed, M failed".
"""
import argparse
import csv
import glob
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "results"))
from check_exports import Checks, expect  # noqa: E402

SHORT = ["-d", "1", "-s", "64"]
PREVIOUS = re.compile(r"history: previous (\d{4}-\d\d-\d\d \d\d:\d\d) UTC \(id (\w+)\): "
                      r"([\d.]+) MGups, now ([\d.]+): ([+-][\d.]+)%, "
                      r"(faster|slower|no change|unclear|no valid run)")
NOTHING = "history: nothing comparable saved yet for this machine and these settings"


class Brisk:
    def __init__(self, command, work, wine):
        self.command = [os.path.abspath(part) if os.path.exists(part) else part
                        for part in shlex.split(command)]
        self.work = os.path.abspath(work)
        self.wine = wine
        env = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8")
        env.setdefault("LANG", "C.UTF-8")
        for name in ("BRISK_RESULTS_DIR", "BRISK_CACHE_DIR", "XDG_DATA_HOME", "XDG_CACHE_HOME"):
            env.pop(name, None)
        env["BRISK_RESULTS_DIR"] = self.path("results")
        env["BRISK_CACHE_DIR"] = self.path("cache")
        self.env = env

    def path(self, *names):
        return os.path.join(self.work, *names)

    def run(self, args, env=None, timeout=300):
        for _ in range(3):
            r = subprocess.run(self.command + args, cwd=self.work, env=env or self.env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=timeout)
            out = r.stdout.decode("utf-8", "replace").replace("\r\n", "\n")
            err = r.stderr.decode("utf-8", "replace").replace("\r\n", "\n")
            err = "".join(line for line in err.splitlines(True)
                          if not line.startswith(("wine:", "wine client error", "Inconsistency")))
            if not (self.wine and r.returncode != 0 and out == "" and err == ""):
                break
        return r.returncode, out, err

    def saved(self, folder=None):
        folder = folder or self.path("results")
        return sorted(glob.glob(os.path.join(folder, "*.json")))


def average_of(out):
    match = re.search(r"^ none\s+\|[^|]*\|\s+([\d.]+) \|", out, re.M)
    expect(match, "no average in the results table")
    return match.group(1)


def check_same_settings_twice(brisk):
    status, out1, err = brisk.run(SHORT + ["-n", "2"])
    expect(status == 0, f"first run exit {status}: {err}")
    expect(NOTHING in out1, "a first run should have nothing comparable")
    first = brisk.saved()[-1]
    status, out2, err = brisk.run(SHORT + ["-n", "2"])
    expect(status == 0, f"second run exit {status}: {err}")
    match = PREVIOUS.search(out2)
    expect(match, f"no previous line in:\n{out2[-600:]}")
    document = json.load(open(first, encoding="utf-8"))
    expect(match.group(1) == document["brisk"]["start_time"][:16].replace("T", " "), "date differs")
    expect(os.path.basename(first).split("-")[-1].startswith(match.group(2)), "id differs")
    expect(match.group(3) == average_of(out1), f"{match.group(3)} != first average")
    expect(match.group(4) == average_of(out2), f"{match.group(4)} != second average")


def check_different_setting(brisk):
    status, out, err = brisk.run(SHORT + ["-n", "1", "--workload", "soft_gaussian"])
    expect(status == 0, f"exit {status}: {err}")
    expect(NOTHING in out, f"expected nothing comparable:\n{out[-400:]}")


def check_no_save(brisk):
    before = brisk.saved()
    status, out, err = brisk.run(SHORT + ["--no-save"])
    expect(status == 0, f"exit {status}: {err}")
    expect(brisk.saved() == before, "--no-save wrote a file")


def check_default_folder(brisk):
    home = brisk.path("home")
    os.makedirs(home, exist_ok=True)
    env = dict(brisk.env, HOME=home)
    for name in ("BRISK_RESULTS_DIR", "BRISK_CACHE_DIR"):
        env.pop(name)
    status, out, err = brisk.run(SHORT, env=env)
    expect(status == 0, f"exit {status}: {err}")
    if brisk.wine:
        prefix = env.get("WINEPREFIX", os.path.expanduser("~/.wine"))
        found = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local",
                                       "brisk", "results", "*.json"))
        expect(found, "nothing in AppData/Local/brisk/results of the prefix")
    else:
        expect(brisk.saved(os.path.join(home, ".local", "share", "brisk", "results")),
               "nothing in ~/.local/share/brisk/results")
        expect(glob.glob(os.path.join(home, ".cache", "brisk", "history-*.idx")),
               "no index in ~/.cache/brisk")


def check_unwritable_folder(brisk):
    blocker = brisk.path("blocker")
    open(blocker, "w").close()  # a file where a folder should be: root ignores permissions
    env = dict(brisk.env, BRISK_RESULTS_DIR=os.path.join(blocker, "results"))
    status, out, err = brisk.run(SHORT, env=env)
    expect(status == 0, f"exit {status}")
    lines = [line for line in err.splitlines() if line.startswith("warning: results not saved")]
    expect(len(lines) == 1, f"expected one warning, got:\n{err}")
    expect("blocker" in lines[0], lines[0])
    expect("final score" in out, "the run did not complete")


def check_missing_home(brisk):
    env = dict(brisk.env)
    for name in ("BRISK_RESULTS_DIR", "BRISK_CACHE_DIR", "HOME", "XDG_DATA_HOME"):
        env.pop(name, None)
    status, out, err = brisk.run(SHORT, env=env)
    expect(status == 0, f"exit {status}: {err}")
    expect(err.count("warning: results not saved") == 1, f"expected one warning:\n{err}")


def check_killed_sweep(brisk):
    folder = brisk.path("killed")
    env = dict(brisk.env, BRISK_RESULTS_DIR=folder)
    process = subprocess.Popen(brisk.command + SHORT + ["--harness-sub-runs", "5"],
                               cwd=brisk.work, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    seen = b""
    deadline = time.time() + 120
    try:
        while time.time() < deadline and seen.count(b"final score") < 2:
            chunk = process.stdout.read1(4096)
            if not chunk:
                break
            seen += chunk
    finally:
        process.kill()
        process.wait()
    expect(seen.count(b"final score") >= 2, "the sweep did not get two runs done")
    files = brisk.saved(folder)
    expect(len(files) == 1, f"{len(files)} files")
    document = json.load(open(files[0], encoding="utf-8"))
    # The second score was printed: the first run was saved before it began.
    expect(len(document["runs"]) >= 1 and not document["brisk"]["finished"],
           "finished runs not kept")
    # A kill during a rewrite may leave a hidden temporary file: never listed.
    expect(not [n for n in os.listdir(folder) if not n.startswith(".") and not n.endswith(".json")],
           "a stray file was left")
    status, out, _ = brisk.run(["history"], env=env)
    expect(status == 0 and "(unfinished)" in out and "1 shown" in out and "skipped" not in out,
           f"history does not show it once, unfinished:\n{out}")


def check_concurrent(brisk):
    folder = brisk.path("concurrent")
    env = dict(brisk.env, BRISK_RESULTS_DIR=folder)
    processes = [subprocess.Popen(brisk.command + SHORT + ["-n", "1"], cwd=brisk.work, env=env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL) for _ in range(2)]
    for process in processes:
        expect(process.wait(timeout=300) == 0, "a run failed")
    expect(len(brisk.saved(folder)) == 2, f"{brisk.saved(folder)}")


def check_bad_files(brisk):
    folder = brisk.path("bad")
    os.makedirs(folder, exist_ok=True)
    env = dict(brisk.env, BRISK_RESULTS_DIR=folder)
    status, _, _ = brisk.run(SHORT, env=env)
    good = brisk.saved(folder)[0]
    text = open(good, encoding="utf-8").read()
    newer = re.sub(r'("name": "brisk-results",\s*"version": )1', r"\g<1>2", text, count=1)
    expect(newer != text, "no schema version to change")
    contents = {"corrupt.json": "{ not json", "newer.json": newer}
    for name, body in contents.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as file:
            file.write(body)
    status, out, err = brisk.run(SHORT, env=env)
    expect(status == 0, f"exit {status}")
    expect(f'warning: skipped 2 files in "{folder}" that are not readable brisk results' in err,
           f"no skip warning:\n{err}")
    expect(PREVIOUS.search(out), "the good file was not used")
    status, out, err = brisk.run(["history"], env=env)
    expect(status == 0 and "skipped corrupt.json:" in out and "skipped newer.json:" in out,
           f"history does not list the skipped files:\n{out}")
    for name, body in contents.items():
        expect(open(os.path.join(folder, name), encoding="utf-8").read() == body, f"{name} changed")


def check_compare_references(brisk):
    status, out, err = brisk.run(["compare", "last~1", "last"])
    expect(status == 0, f"compare last~1 last: exit {status}: {err}")
    expect(re.search(r"faster|slower|no change|unclear", out), f"no verdict:\n{out}")
    status, out, err = brisk.run(SHORT + ["-n", "2", "--compare-to", "best"])
    expect(status == 0, f"--compare-to best: exit {status}: {err}")
    expect(re.search(r"faster|slower|no change|unclear", out), "no verdict after the run")
    status, out, err = brisk.run(["compare", "last~999", "last"])
    expect(status == 1 and len(err.strip().splitlines()) == 1, f"exit {status}: {err}")


def check_history_command(brisk):
    status, out, err = brisk.run(["history"])
    expect(status == 0, f"exit {status}: {err}")
    rows = [line for line in out.splitlines()[1:] if re.match(r"^\w{8}  \d{4}-", line)]
    expect(len(rows) >= 3, f"too few rows:\n{out}")
    expect(rows == sorted(rows, key=lambda r: r[10:30], reverse=True), "not newest first")
    status, out, _ = brisk.run(["history", "--limit", "1"])
    expect(status == 0 and len([l for l in out.splitlines() if re.match(r"^\w{8}  ", l)]) == 1,
           f"--limit 1:\n{out}")
    status, out, _ = brisk.run(["history", "--all"])
    expect(status == 0 and "every machine" in out, out)
    for bad in (["--bogus"], ["--export-csv", ""], ["--export-html", ""]):
        status, out, err = brisk.run(["history"] + bad)
        expect(status == 1 and len(err.strip().splitlines()) == 1, f"{bad}: {status} {err}")
    status, out, _ = brisk.run(["history", "--help"])
    expect(status == 0 and "--export-html" in out, "help")
    status, _, err = brisk.run(["history", "--export-csv", brisk.path("nowhere", "h.csv")])
    expect(status == 2 and 'cannot write history file "' in err, f"{status}: {err}")
    status, _, err = brisk.run(["history", "--export-csv", "h.csv", "--export-html", "h.html"])
    expect(status == 0, f"exports: {status} {err}")
    with open(brisk.path("h.csv"), newline="", encoding="utf-8") as file:
        table = list(csv.DictReader(file))
    expect(len(table) >= 3 and all(row["average_mgups"] for row in table), "CSV rows")


def check_nothing_run_saves_nothing(brisk):
    folder = brisk.path("nothing-run")
    env = dict(brisk.env, BRISK_RESULTS_DIR=folder)
    # Points that cannot be generated: the sweep runs nothing, yet the
    # results file asked for is still written.
    status, out, err = brisk.run(SHORT + ["--harness-var", "isa", "--harness-opt", "xyz",
                                          "--export-json", "nothing.json"], env=env)
    expect(status == 0 and "couldn't generate runs" in err, f"exit {status}: {err}")
    expect(os.path.exists(brisk.path("nothing.json")), "no --export-json document")
    expect(brisk.saved(folder) == [], f"saved: {brisk.saved(folder)}")
    if not brisk.wine:
        # Allowed one processor, a threads sweep has no point either.
        r = subprocess.run(brisk.command + SHORT + ["--harness-var", "threads"], cwd=brisk.work,
                           env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120,
                           preexec_fn=lambda: os.sched_setaffinity(0, {0}))
        expect(r.returncode == 0, r.stderr)
        expect(brisk.saved(folder) == [], f"saved: {brisk.saved(folder)}")
    # Such an entry saved by an older brisk stays in the folder, unlisted.
    os.makedirs(folder, exist_ok=True)
    old = os.path.join(folder, "2026-12-01T000000Z-nothingaaaaa.json")
    shutil.copy(brisk.path("nothing.json"), old)
    status, out, err = brisk.run(["history"], env=env)
    expect(status == 0 and "0 shown" in out and "skipped" not in out + err, f"{out}{err}")
    expect(os.path.exists(old), "the old entry was removed")


def check_disturbed_runs_marked(brisk):
    folder = brisk.path("marked")
    env = dict(brisk.env, BRISK_RESULTS_DIR=folder)
    status, _, err = brisk.run(SHORT + ["--harness-sub-runs", "2"], env=env)
    expect(status == 0, f"exit {status}: {err}")
    [saved] = brisk.saved(folder)
    document = json.load(open(saved, encoding="utf-8"))
    # The same runs, once with a busy neighbour during run 2 and once with a
    # spread the hypervisor explains.
    for run in document["runs"]:
        run["conditions"].update(other_load_percent=1.0, steal_percent=0.0,
                                 on_processor_percent=99.0)
    document["runs"][0]["score"] = document["runs"][1]["score"]
    document["runs"][1]["conditions"]["other_load_percent"] = 42.0
    with open(os.path.join(folder, "2026-12-01T000000Z-busyaaaaaaaa.json"), "w") as file:
        json.dump(document, file)
    document["runs"][1]["conditions"].update(other_load_percent=1.0, steal_percent=7.5)
    document["runs"][1]["score"] = document["runs"][0]["score"] * 0.8
    with open(os.path.join(folder, "2026-12-01T000001Z-noisyaaaaaaa.json"), "w") as file:
        json.dump(document, file)
    status, out, err = brisk.run(["history"], env=env)
    expect(status == 0, f"exit {status}: {err}")
    expect("(busy: other programs used 42.0% of the processors during run 2)" in out, out)
    expect("(noisy: the hypervisor took 7.5% during run 2)" in out, out)


def check_trend_page(brisk):
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "report"))
    from page_browser import browser
    page = brisk.path("h.html")
    html = open(page, encoding="utf-8").read()
    expect("<script src" not in html and "<link" not in html, "an external resource")
    with browser("history") as driver:
        driver.get("file://" + page)
        time.sleep(1)
        state = driver.execute_script(
            "return {charts: document.querySelectorAll('.chart canvas').length,"
            " series: document.querySelectorAll('section.series').length,"
            " best: document.querySelectorAll('.best').length,"
            " requests: performance.getEntriesByType('resource').length}")
        errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
        driver.save_screenshot(brisk.path("history.png"))
    expect(not errors, f"console errors: {errors}")
    expect(state["series"] >= 2 and state["charts"] >= state["series"], f"{state}")
    expect(state["best"] == state["series"] and state["requests"] == 0, f"{state}")


def check_many_threads(brisk):
    """A run of 383 threads, as a big server's: its results file, report page
    and saved copy are read back by brisk compare and brisk history."""
    folder = brisk.path("many")
    env = dict(brisk.env, BRISK_RESULTS_DIR=folder)
    status, out, err = brisk.run(["-n", "383", "-s", "64", "-d", "2", "--harness-sub-runs", "1",
                                  "--export-json", "many.json", "--export-html", "many.html"],
                                 env=env, timeout=1800)
    expect(status == 0, f"exit status {status}: {err}")
    with open(brisk.path("many.json"), encoding="utf-8") as file:
        text = file.read()
    run = json.loads(text)["runs"][0]
    expect(run["settings"]["threads"] == 383 and len(run["threads"]) == 383, run["settings"])
    expect(len(run["timeline"]["threads"]) == 383, len(run["timeline"]["threads"]))
    # One line per thread for its results, its timeline and its clocks, not
    # one per number.
    expect(text.count("\n") < 3 * 383 + 200, f"{text.count(chr(10))} lines")
    expect(os.path.getsize(brisk.path("many.html")) > len(text), "no page")
    expect([n for n in os.listdir(brisk.work) if "brisk-spare" in n] == [], "a spare was left")
    status, out, err = brisk.run(["compare", "many.json", "last"], env=env)
    expect(status == 0 and "1 comparison" in out, f"compare: {status} {out} {err}")
    status, out, err = brisk.run(["history"], env=env)
    expect(status == 0 and "1 shown" in out and "threads 383" in out and "skipped" not in out,
           f"history:\n{out}{err}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--brisk", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    brisk = Brisk(args.brisk, args.work, args.wine)
    checks = Checks()
    checks.run("the same settings twice: the second names the first's date, id and score",
               lambda: check_same_settings_twice(brisk))
    checks.run("different settings: nothing comparable yet", lambda: check_different_setting(brisk))
    checks.run("--no-save writes no file", lambda: check_no_save(brisk))
    checks.run("only HOME set: the default per-user folder", lambda: check_default_folder(brisk))
    checks.run("a folder that cannot be made: one warning, the run completes, exit 0",
               lambda: check_unwritable_folder(brisk))
    if not brisk.wine:
        checks.run("no home at all: one warning, exit 0", lambda: check_missing_home(brisk))
    checks.run("a killed sweep keeps its finished runs", lambda: check_killed_sweep(brisk))
    checks.run("two concurrent invocations save two files", lambda: check_concurrent(brisk))
    checks.run("a corrupt and a newer-schema file: skipped, counted, untouched",
               lambda: check_bad_files(brisk))
    checks.run("brisk compare last~1 last, --compare-to best", lambda: check_compare_references(brisk))
    checks.run("brisk history: listing, --limit, --all, usage, exports",
               lambda: check_history_command(brisk))
    checks.run("the trend page draws in headless Chromium", lambda: check_trend_page(brisk))
    checks.run("an invocation that made no run saves nothing; old ones are not listed",
               lambda: check_nothing_run_saves_nothing(brisk))
    checks.run("brisk history marks runs made beside other load or with a measured noise",
               lambda: check_disturbed_runs_marked(brisk))
    if not brisk.wine:
        checks.run("383 threads: the files are compared and listed",
                   lambda: check_many_threads(brisk))
    print(f"history: {checks.passed} passed, {checks.failed} failed")
    return 0 if checks.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
