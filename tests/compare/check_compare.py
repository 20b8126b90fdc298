#!/usr/bin/python3
"""End-to-end checks of brisk compare, run against the built program (or
brisk.exe under Wine): results files made by real runs, and files derived from
them with known changes, compared as a user would; the verdicts, the exit
statuses, the comparison JSON against its schema, and every kind of bad input
refused with one line and status 1.

usage: check_compare.py --brisk "COMMAND" --work DIR [--wine]
Prints one line per check and closes with "compare: N passed, M failed".
"""
import argparse
import copy
import csv
import json
import os
import shutil
import sys

import jsonschema

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "results"))
from check_exports import Brisk, Checks, expect  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCHEMA = json.load(open(os.path.join(ROOT, "schema", "brisk-comparison.schema.json"),
                        encoding="utf-8"))
RUN = ["-d", "1", "-s", "64", "--no-save"]


def write_json(brisk, name, document):
    with open(brisk.path(name), "w", encoding="utf-8") as f:
        json.dump(document, f)
    return name


def read_json(brisk, name):
    with open(brisk.path(name), encoding="utf-8") as f:
        return json.load(f)


def with_scores(document, scores_by_point):
    """A copy whose valid runs at each point get the given scores, in order
    (as many sub-runs as scores, all valid)."""
    doc = copy.deepcopy(document)
    template = {}
    for run in doc["runs"]:
        template.setdefault(run["point"], run)
    runs = []
    for point, scores in scores_by_point.items():
        for i, score in enumerate(scores):
            run = copy.deepcopy(template[point])
            run.update(sub_run=i + 1, valid=True, score=score, reasons=[])
            runs.append(run)
    doc["runs"] = runs
    doc["sweep"]["sub_runs"] = max(len(s) for s in scores_by_point.values())
    doc.pop("summary", None)
    return doc


def scaled(document, factor):
    doc = copy.deepcopy(document)
    for run in doc["runs"]:
        if run["valid"]:
            run["score"] *= factor
    return doc


def compare(brisk, files, extra=(), name="cmp.json"):
    """Runs brisk compare; returns status, stdout, stderr and the comparison
    document (schema-checked) when one was written."""
    path = brisk.path(name)
    if os.path.exists(path):
        os.remove(path)
    status, out, err = brisk.run(["compare"] + list(files) + ["--export-json", name] + list(extra))
    doc = None
    if os.path.exists(path):
        doc = read_json(brisk, name)
        jsonschema.Draft202012Validator(SCHEMA).validate(doc)
    return status, out, err, doc


def only_row(doc):
    expect(len(doc["rows"]) == 1, doc["rows"])
    return doc["rows"][0]


class Files:
    """The real results files every check derives from."""

    def __init__(self, brisk):
        self.brisk = brisk
        status, _, err = brisk.run(RUN + ["--harness-sub-runs", "3", "--export-json", "real.json"])
        expect(status == 0, f"run: status {status} {err!r}")
        self.real = read_json(brisk, "real.json")
        status, _, err = brisk.run(RUN + ["--harness-var", "threads", "--harness-opt", "1-2",
                                          "--harness-sub-runs", "2", "--export-json",
                                          "threads.json"])
        expect(status == 0, f"threads run: status {status} {err!r}")
        self.threads = read_json(brisk, "threads.json")
        self.quiet = with_scores(self.real, {"none": [1000.0, 1001.0, 999.0, 1000.5, 999.5]})
        write_json(brisk, "quiet.json", self.quiet)


def check_same_file(brisk, files):
    status, out, err, doc = compare(brisk, ["real.json", "real.json"])
    expect(status == 0, (status, err))
    row = only_row(doc)
    expect(row["delta_percent"] == 0 and row["verdict"] == "no change", row)
    expect("+0.00%" in out and "no change" in out, out)
    expect(doc["same_machine"] and doc["same_build"], doc["differences"])


def check_scaled(brisk, files):
    write_json(brisk, "fast.json", scaled(files.quiet, 1.2))
    status, out, _, doc = compare(brisk, ["quiet.json", "fast.json"])
    row = only_row(doc)
    expect(status == 0 and row["verdict"] == "faster" and "+20.00%" in out, (row, out))
    expect(abs(row["delta_percent"] - 20.0) < 1e-9, row)
    status, out, _, doc = compare(brisk, ["fast.json", "quiet.json"])
    row = only_row(doc)
    expect(row["verdict"] == "slower" and "-16.67%" in out, (row, out))


def check_small_change_is_no_change(brisk, files):
    write_json(brisk, "plus-half.json", scaled(files.quiet, 1.005))
    _, out, _, doc = compare(brisk, ["quiet.json", "plus-half.json"])
    row = only_row(doc)
    expect(row["verdict"] == "no change" and "+0.50%" in out, (row, out))


def check_noisy(brisk, files):
    # Measured: the side names what disturbed its runs, in the console and
    # the JSON.
    noisy = with_scores(files.real, {"none": [930.0, 1100.0, 1000.0]})
    for run in noisy["runs"]:
        run["conditions"].update(other_load_percent=0.5, steal_percent=0.0,
                                 on_processor_percent=99.0)
    noisy["runs"][0]["conditions"]["other_load_percent"] = 35.0
    write_json(brisk, "noisy.json", noisy)
    _, out, _, doc = compare(brisk, ["quiet.json", "noisy.json"])
    row = only_row(doc)
    expect(row["other"]["noisy"] and row["verdict"] == "unclear", row)
    cause = "other programs used 35.0% of the processors during run 1"
    expect(row["other"]["noise_cause"] == cause and row["base"]["noise_cause"] is None, row)
    expect(f"noisy: noisy.json at none (no sweep): spread 18.28% (over 5%): {cause}; its scores "
           "are not comparable as they stand" in out, out)
    # A file written before the conditions were measured is read as before,
    # and its noise keeps the old words.
    for run in noisy["runs"]:
        del run["conditions"]
    write_json(brisk, "noisy-old.json", noisy)
    status, out, _, doc = compare(brisk, ["quiet.json", "noisy-old.json"])
    row = only_row(doc)
    expect(status == 0 and row["other"]["noisy"], (status, row))
    expect("the machine was busy or throttling" in out, out)


def with_clock(document, mhz):
    """Every run's measured clock set to `mhz` (None: a file of a brisk
    that did not measure it)."""
    doc = copy.deepcopy(document)
    for run in doc["runs"]:
        timeline = run["timeline"]
        if mhz is None:
            timeline.pop("clock_mhz", None)
            timeline.pop("threads_clock_mhz", None)
        else:
            timeline["clock_mhz"] = [mhz] * len(timeline["mgups"])
    return doc


def check_clock(brisk, files):
    # Real runs measured their clock: the point's mean is on both sides.
    real = files.real["runs"][0]["timeline"]["clock_mhz"]
    expect(real and all(isinstance(c, int) for c in real), real)
    write_json(brisk, "clock-base.json", with_clock(files.quiet, 4192))
    write_json(brisk, "clock-slow.json", with_clock(scaled(files.quiet, 0.9), 3771))
    write_json(brisk, "clock-near.json", with_clock(scaled(files.quiet, 0.9), 4100))
    write_json(brisk, "clock-none.json", with_clock(scaled(files.quiet, 0.9), None))
    for name in ("clock-slow.json", "clock-near.json", "clock-none.json"):
        csv_path = brisk.path("clock.csv")
        status, out, _, doc = compare(brisk, ["clock-base.json", name],
                                      ["--export-csv", "clock.csv"])
        row = only_row(doc)
        expect(status == 0 and row["verdict"] == "slower", (status, row))
        other = {"clock-slow.json": 3771, "clock-near.json": 4100, "clock-none.json": None}[name]
        expect(row["base"]["clock_mhz"] == 4192 and row["other"]["clock_mhz"] == other, row)
        with open(csv_path, newline="", encoding="utf-8") as file:
            line = list(csv.DictReader(file))[0]
        expect(line["base_clock_mhz"] == "4192" and
               line["clock_mhz"] == ("" if other is None else str(other)), line)
        # Only 3% and more is a note, with both figures.
        note = (f"clock: {name} at none (no sweep): 3771 MHz against 4192 MHz in the base "
                "(-10.04%): a change of the score may be the clock's")
        if name == "clock-slow.json":
            expect(abs(row["clock_change_percent"] + 10.0429) < 1e-3, row)
            expect(note in out and "| slower  | clock" in out, out)
        else:
            expect(row["clock_change_percent"] is None and "clock:" not in out, (row, out))


def check_differences_named(brisk, files):
    other = copy.deepcopy(files.quiet)
    other["machine"]["cpu"]["brand"] = "ACME Turbo 9000"
    other["machine"]["memory"]["available_bytes"] += 12345  # not a difference
    other["timers"]["fast"]["frequency_hz"] += 1            # nor this
    other["settings"]["isa"] = "avx2"
    for run in other["runs"]:
        run["settings"]["isa"] = "avx2"
    write_json(brisk, "other-machine.json", other)
    _, out, _, doc = compare(brisk, ["quiet.json", "other-machine.json"])
    fields = [d["field"] for d in doc["differences"]]
    expect("cpu.brand" in fields and "settings.isa" in fields, fields)
    expect(not any("available" in f or "frequency" in f for f in fields), fields)
    expect(not doc["same_machine"], doc)
    row = only_row(doc)
    expect(not row["like_for_like"] and any("isa" in d for d in row["differing_settings"]), row)
    expect("ACME Turbo 9000" in out, out)


def check_fail_slower(brisk, files):
    write_json(brisk, "slow.json", scaled(files.quiet, 0.8))
    write_json(brisk, "noisy-slow.json",
               with_scores(files.real, {"none": [700.0, 1000.0, 900.0]}))
    cases = [("slow.json", 3), ("fast.json", 0), ("noisy-slow.json", 0)]
    for name, expected in cases:
        status, _, err, _ = compare(brisk, ["quiet.json", name], ["--fail-slower", "5"])
        expect(status == expected, f"{name}: status {status}, expected {expected}: {err!r}")
    status, _, _, _ = compare(brisk, ["quiet.json", "slow.json"], ["--fail-slower", "25"])
    expect(status == 0, f"20% slower with --fail-slower 25: status {status}")


def check_partial_sweeps(brisk, files):
    other = copy.deepcopy(files.threads)
    for run in other["runs"]:
        run["point"] = {"1": "2", "2": "3"}[run["point"]]
    other["sweep"]["points"] = ["2", "3"]
    other.pop("summary", None)
    write_json(brisk, "threads-2-3.json", other)
    status, out, _, doc = compare(brisk, ["threads.json", "threads-2-3.json"])
    expect(status == 0, status)
    expect([r["label"] for r in doc["rows"]] == ["2"], doc["rows"])
    unmatched = sorted(u["label"] for u in doc["unmatched"])
    expect(unmatched == ["1", "3"], doc["unmatched"])


def check_killed_sweep(brisk, files):
    killed = copy.deepcopy(files.threads)
    killed["brisk"]["finished"] = False
    killed["brisk"]["end_time"] = None
    killed["runs"] = [r for r in killed["runs"] if r["point"] == "1"][:1]
    killed.pop("summary", None)
    write_json(brisk, "killed.json", killed)
    status, out, _, doc = compare(brisk, ["threads.json", "killed.json"])
    expect(status == 0, status)
    expect(doc["files"][1]["incomplete"], doc["files"][1])
    expect("incomplete" in out, out)


def check_non_ascii_and_dropped(brisk, files):
    shutil.copy(brisk.path("quiet.json"), brisk.path("résultats-日本.json"))
    status, out, _, doc = compare(brisk, ["résultats-日本.json", "fast.json"])
    expect(status == 0 and only_row(doc)["verdict"] == "faster", (status, out))
    expect("résultats-日本.json" in out, out)
    # As Explorer passes dropped files: the paths alone, no command word.
    status, out, err = brisk.run(["quiet.json", "fast.json"])
    expect(status == 0 and "faster" in out, (status, out, err))
    expect(out.rstrip().endswith("press enter to exit"), out[-200:])
    expect("!!HARNESS!!" not in out, "a benchmark ran")


def bad_inputs(brisk, files):
    """(name, contents or None for as-is, expected words in the one line)."""
    deep = "[" * 100000 + "]" * 100000
    newer = copy.deepcopy(files.quiet)
    newer["schema"]["version"] = 2
    wrong_type = copy.deepcopy(files.quiet)
    wrong_type["runs"][0]["settings"]["threads"] = "two"
    negative = copy.deepcopy(files.quiet)
    negative["runs"][0]["score"] = -5
    absurd = copy.deepcopy(files.quiet)
    absurd["runs"][0]["score"] = 1e300
    text = json.dumps(files.quiet)
    os.makedirs(brisk.path("a-folder.json"), exist_ok=True)
    return [
        ("missing.json", None, "missing.json"),
        ("a-folder.json", None, "folder"),
        ("empty.json", "", "empty"),
        ("latin1.json", b'{"brisk": "\xe9"}', "UTF-8"),
        ("not-json.json", "{\"schema\": ", "JSON"),
        ("foreign.json", json.dumps({"name": "something else"}), "not a brisk results document"),
        ("newer.json", json.dumps(newer), "version 2"),
        ("truncated.json", text[: len(text) // 2], "JSON"),
        ("wrong-type.json", json.dumps(wrong_type), "threads"),
        ("nan.json", text.replace('"score": 1000.0', '"score": NaN', 1), "JSON"),
        ("infinity.json", text.replace('"score": 1000.0', '"score": Infinity', 1), "JSON"),
        ("negative.json", json.dumps(negative), "score"),
        ("absurd.json", json.dumps(absurd), "score"),
        ("deep.json", deep, "deep"),
    ]


def check_bad_inputs(brisk, files):
    for name, contents, words in bad_inputs(brisk, files):
        if contents is not None:
            mode = "wb" if isinstance(contents, bytes) else "w"
            with open(brisk.path(name), mode, **({} if mode == "wb" else {"encoding": "utf-8"})) as f:
                f.write(contents)
        for order in ([name, "quiet.json"], ["quiet.json", name]):
            status, out, err, doc = compare(brisk, order)
            lines = err.strip().split("\n")
            expect(status == 1, f"{name}: status {status}")
            expect(len(lines) == 1 and name in lines[0] and words.lower() in lines[0].lower(),
                   f"{name}: {err!r}")
            expect(out == "" and doc is None, f"{name}: something was compared: {out!r}")


def check_huge_file(brisk, files):
    # A sparse gigabyte: refused by its size, before a byte of it is read.
    with open(brisk.path("huge.json"), "wb") as f:
        f.truncate(1 << 30)
    status, out, err, _ = compare(brisk, ["quiet.json", "huge.json"])
    expect(status == 1 and "huge.json" in err and len(err.strip().split("\n")) == 1, err)
    os.remove(brisk.path("huge.json"))


def check_usage(brisk, files):
    cases = [(["compare", "quiet.json"], 1),
             (["compare", "quiet.json", "fast.json", "--threshold", "x"], 1),
             (["compare", "quiet.json", "fast.json", "--bogus"], 1),
             (["compare", "quiet.json", "fast.json", "--export-csv", ""], 1),
             (["compare", "quiet.json", "fast.json", "--export-csv", "a.csv", "--export-markdown",
               "a.csv"], 1),
             (["compare", "quiet.json", "fast.json", "--export-html", "no-such-folder/c.html"], 2)]
    for args, expected in cases:
        status, out, err = brisk.run(args)
        expect(status == expected and len(err.strip().split("\n")) == 1,
               f"{args}: status {status}, stderr {err!r}")


def check_exports(brisk, files):
    names = {"--export-csv": "c.csv", "--export-markdown": "c.md", "--export-html": "c.html"}
    extra = [part for option, name in names.items() for part in (option, name)]
    # A noisy side with a measured cause, of as many sub-runs as the others so
    # that only the noise differs.
    noisy = with_scores(files.real, {"none": [930.0, 1100.0, 1000.0, 1000.0, 1000.0]})
    for run in noisy["runs"]:
        run["conditions"].update(other_load_percent=0.5, steal_percent=0.0,
                                 on_processor_percent=99.0)
    noisy["runs"][0]["conditions"]["other_load_percent"] = 35.0
    write_json(brisk, "noisy5.json", noisy)
    status, _, err, doc = compare(brisk, ["quiet.json", "fast.json", "slow.json", "noisy5.json"],
                                  extra)
    expect(status == 0, (status, err))
    csv_lines = open(brisk.path("c.csv"), encoding="utf-8").read().strip().split("\n")
    expect(len(csv_lines) == 1 + len(doc["rows"]) == 4, csv_lines)
    markdown = open(brisk.path("c.md"), encoding="utf-8").read()
    expect("faster" in markdown and "slower" in markdown, markdown)
    expect("- noisy5.json at none: spread 18.28%: other programs used 35.0% of the processors "
           "during run 1\n" in markdown, markdown)
    page = open(brisk.path("c.html"), encoding="utf-8").read()
    expect('"brisk-comparison"' in page and "<script src" not in page, "page")


def check_compare_to(brisk, files):
    status, out, err = brisk.run(RUN + ["--harness-sub-runs", "2", "--compare-to", "real.json",
                                        "--threshold", "50"])
    expect(status == 0, (status, err))
    tail = out.split("=====none results=====")[-1]
    expect("real.json" in tail and "this run" in tail, tail)
    expect(any(w in tail for w in ("no change", "unclear", "faster", "slower")), tail)
    status, out, err = brisk.run(RUN + ["--compare-to", "missing.json"])
    expect(status == 1 and "!!HARNESS!!" not in out and "missing.json" in err, (status, err))


# Two names a stranger could leave in a shared results folder: a copy of a
# real result whose name sets a terminal's colours and title, and a broken
# document whose name clears the screen. brisk shows them escaped.
EVIL = "x\x1b[31mRED\x1b]0;owned\x07"
EVIL_SHOWN = "x\\x1b[31mRED\\x1b]0;owned\\x07"
BAD = "bad\x1b[2J.json"
BAD_SHOWN = "bad\\x1b[2J.json"
# Windows refuses C0 controls in file names, not the C1 ones (CSI, OSC as
# UTF-8) nor DEL: names it can hold, and open, for the same checks.
EVIL_WINDOWS = "x\u009b31mRED\u009d0;owned\x7f"
EVIL_WINDOWS_SHOWN = "x\\xc2\\x9b31mRED\\xc2\\x9d0;owned\\x7f"
BAD_WINDOWS = "bad\u009b2J.json"
BAD_WINDOWS_SHOWN = "bad\\xc2\\x9b2J.json"


def expect_no_control(text, what):
    """Nothing a terminal acts on: no C0 but line ends (and the progress
    line's carriage return), no DEL, no C1, and no byte that was not UTF-8
    (decoded as U+FFFD)."""
    bad = [c for c in text if (ord(c) < 0x20 and c not in "\r\n") or 0x7F <= ord(c) <= 0x9F
           or c == "\ufffd"]
    expect(not bad, f"{what}: control characters reach the console: {bad!r} in {text!r}")


def shared_folder(brisk, name, documents):
    """A Brisk whose results folder `name` holds `documents` (file name to a
    document, or to the text of a broken one)."""
    shared = copy.copy(brisk)
    folder = os.path.abspath(brisk.path(name))
    os.makedirs(folder, exist_ok=True)
    shared.env = dict(brisk.env, BRISK_RESULTS_DIR=folder)
    for file_name, document in documents.items():
        with open(os.path.join(folder, file_name), "w", encoding="utf-8") as f:
            f.write(document if isinstance(document, str) else json.dumps(document))
    return shared, folder


def check_foreign_names(brisk, files):
    evil, evil_shown, bad, bad_shown = (
        (EVIL_WINDOWS, EVIL_WINDOWS_SHOWN, BAD_WINDOWS, BAD_WINDOWS_SHOWN) if brisk.wine
        else (EVIL, EVIL_SHOWN, BAD, BAD_SHOWN))
    noisy = with_scores(files.real, {"none": [930.0, 1100.0, 1000.0]})
    shared, folder = shared_folder(brisk, "shared", {evil + ".json": noisy, bad: "{ not json"})
    # The listing and the skipped line.
    status, out, err = shared.run(["history", "--all"])
    expect_no_control(out + err, "brisk history")
    expect(status == 0 and "\n" + evil_shown + "  " in out, f"the copy is not listed: {out!r}")
    expect(f"\nskipped {bad_shown}: not JSON" in out, f"no skipped line: {out!r}")
    # By its id (the name without .json): the file line and the noisy note.
    status, out, err = shared.run(["compare", "quiet.json", evil])
    expect_no_control(out + err, "brisk compare by id")
    expect(status == 0 and f"1:    {evil_shown} (" in out, (status, out, err))
    expect(f"noisy: {evil_shown} at none" in out, out)
    status, out, err = shared.run(["compare", "quiet.json", "x\x1b[32m"])
    expect_no_control(out + err, "brisk compare by an unknown id")
    expect(status == 1 and '"x\\x1b[32m"' in err, (status, err))
    # The standing lines of a run name the copy, this machine's, by its id.
    status, out, err = shared.run(RUN + ["--harness-sub-runs", "2"])
    expect_no_control(out + err, "a run's standing lines")
    expect(status == 0 and f"(id {evil_shown})" in out, out[-600:])
    # By its path, with other settings: the file line and the note naming it.
    other = copy.deepcopy(files.quiet)
    for run in other["runs"]:
        run["settings"]["isa"] = "avx2"
    write_json(brisk, evil + ".json", other)
    status, out, err = shared.run(["compare", "quiet.json", evil + ".json"])
    expect_no_control(out + err, "brisk compare by path")
    expect(status == 0 and f"not like for like: {evil_shown}.json at none" in out, (status, out))
    status, out, err = shared.run(["compare", "quiet.json", os.path.join("shared", bad)])
    expect_no_control(out + err, "brisk compare of the broken file")
    expect(status == 1 and bad_shown in err and len(err.strip().split("\n")) == 1, (status, err))
    # A "*.json" in the folder may expand to a name that reads as an option.
    status, out, err = shared.run(["compare", "quiet.json", "--x\x1b[2J.json"])
    expect_no_control(out + err, "brisk compare of an option-like name")
    expect(status == 1 and "--x\\x1b[2J.json" in err, (status, err))
    for name in (evil + ".json", bad):
        expect(os.path.exists(os.path.join(folder, name)), f"{name!r} was removed")
    if brisk.wine:
        # Wine lists names with C0 controls that Windows then cannot open:
        # they are skipped, and shown escaped all the same.
        shared, _ = shared_folder(brisk, "shared-c0", {EVIL + ".json": noisy, BAD: "{ not json"})
        status, out, err = shared.run(["history", "--all"])
        expect_no_control(out + err, "brisk history of names with C0 controls")
        expect(status == 0 and EVIL_SHOWN in out and BAD_SHOWN in out, out)


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
    files = None

    def make_files():
        nonlocal files
        files = Files(brisk)

    checks.run("real runs make the files to compare", make_files)
    if files is None:
        print(f"compare: {checks.passed} passed, {checks.failed} failed")
        return 1
    for check in [check_same_file, check_scaled, check_small_change_is_no_change, check_noisy,
                  check_clock,
                  check_differences_named, check_fail_slower, check_partial_sweeps,
                  check_killed_sweep, check_non_ascii_and_dropped, check_bad_inputs,
                  check_huge_file, check_usage, check_exports, check_compare_to,
                  check_foreign_names]:
        checks.run(check.__name__[len("check_"):].replace("_", " "),
                   lambda check=check: check(brisk, files))
    print(f"compare: {checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
