#!/usr/bin/env python3
"""Mutation check: how many planted faults do the tests of a source file catch?

Makes small faults ("mutants") in C++ source files, one at a time: a flipped comparison,
&& for ||, a negated condition, true for false, a number off by one, + for -, a deleted
call or assignment, a changed return value, break for continue. For each it rebuilds only
the test programs that cover the file, runs them, and puts the file back (always, also on
Ctrl-C or an error). A mutant is killed (a test failed, and failed again when rerun),
survived (all passed), timeout (no end within 3 and then 9 times the program's time on the
real code; counted as killed) or did not compile (not counted).

    nice -n 10 scripts/mutants.py --load-sample scripts/mutants-sample.json --out build/mutants

reruns the sample measured (drawn with --sample 110 --seed 32 by an earlier version of the
operators, which still made "return {}" of values {} already is);

    nice -n 10 scripts/mutants.py --sample 110 --seed 32 --out build/mutants

samples mutants over the files of FILES below (weighted by size, at least --min-per-file
each), writes the sample to OUT/sample.json (rerun the same sample with --load-sample) and
the results to OUT/results.csv and OUT/report.txt, each survivor with its file:line and
diff. Mutants judged equivalent (they cannot change behaviour) are listed with a reason in
scripts/mutants-equivalent.txt ("id<TAB>reason"); they are left out of the caught share.
Give file names to check only those files, --list to print the sample without running it.
The build folder must be configured and built (HACKING.md). Leaves no mutant behind: after
the run the files are as before and the targets are rebuilt from them.
"""

import argparse
import csv
import json
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Test programs: target, command (relative to the build folder), and whether it is a
# Qt Test program (which needs the environment CTest gives it; GoogleTest programs set
# their own in the test main).
PROGRAMS = {
    "engine_tests": ("tests/engine_tests", False),
    "filetags_tests": ("tests/filetags_tests", False),
    "filelist_tests": ("tests/filelist_tests", False),
    "rename_run_tests": ("tests/rename_run_tests", False),
    "journal_tests": ("tests/journal_tests", False),
    "cli_tests": ("tests/cli_tests", False),
    "tagloading_test": ("tests/tagloading_test", True),
    "handnames_test": ("bin/handnames_test", True),
    "filelistview_test": ("tests/filelistview_test", True),
}

# Source file -> (extra targets to build, test programs that cover it). The programs are
# built too; quillmark-cli is built where a program runs it.
FILES = {
    "engine/tagtext.cpp": ([], ["engine_tests"]),
    "engine/newname.cpp": ([], ["engine_tests"]),
    "filetags/filetagreader.cpp": ([], ["filetags_tests"]),
    "filetags/musictags.cpp": ([], ["filetags_tests"]),
    "filetags/phototags.cpp": ([], ["filetags_tests"]),
    "filetags/tagpool.cpp": ([], ["filetags_tests"]),
    "filelist/entrycomparer.cpp": ([], ["filelist_tests"]),
    "rename/journal.cpp": (["quillmark-cli"], ["rename_run_tests", "journal_tests", "cli_tests"]),
    "rename/journalformat.cpp": (["quillmark-cli"],
                                 ["rename_run_tests", "journal_tests", "cli_tests"]),
    "rename/journalundo.cpp": (["quillmark-cli"], ["journal_tests", "rename_run_tests", "cli_tests"]),
    "app/list/tagloader.cpp": ([], ["tagloading_test"]),
    "filelist/fileitems.cpp": ([], ["filelist_tests"]),
    "rename/foldermodel.cpp": ([], ["rename_run_tests"]),
    "engine/organize.cpp": ([], ["rename_run_tests"]),
    "rename/organizeloop.h": ([], ["rename_run_tests"]),
    "rename/runrules.h": ([], ["rename_run_tests"]),
    "cli/handnames.cpp": (["quillmark-cli"], ["cli_tests"]),
    "cli/editcommand.cpp": (["quillmark-cli"], ["cli_tests"]),
    "cli/mapcommand.cpp": (["quillmark-cli"], ["cli_tests"]),
    "cli/maporder.cpp": (["quillmark-cli"], ["cli_tests"]),
    "app/list/handnames.cpp": ([], ["handnames_test"]),
    "app/list/nametextdialog.cpp": ([], ["handnames_test"]),
    "app/list/nameeditdelegate.cpp": ([], ["handnames_test"]),
    "app/list/namecommands.cpp": ([], ["handnames_test"]),
    "app/list/rowmover.cpp": ([], ["filelistview_test"]),
    "app/list/rowdrag.cpp": ([], ["filelistview_test"]),
}

# ---------------------------------------------------------------------------------------
# Finding mutants


def code_masks(lines):
    """For each line, the line with comments, string and character literals blanked out
    (same length), or None for a preprocessor line."""
    masks = []
    in_block = False
    in_raw = None  # closing delimiter of a raw string literal spanning lines
    for line in lines:
        out = list(line)
        i = 0
        n = len(line)
        if not in_block and in_raw is None and line.lstrip().startswith("#"):
            masks.append(None)
            continue
        while i < n:
            if in_raw is not None:
                end = line.find(in_raw, i)
                stop = n if end < 0 else end + len(in_raw)
                for k in range(i, stop):
                    out[k] = " "
                if end >= 0:
                    in_raw = None
                i = stop
                continue
            if in_block:
                end = line.find("*/", i)
                stop = n if end < 0 else end + 2
                for k in range(i, stop):
                    out[k] = " "
                if end >= 0:
                    in_block = False
                i = stop
                continue
            c = line[i]
            if line.startswith("//", i):
                for k in range(i, n):
                    out[k] = " "
                break
            if line.startswith("/*", i):
                in_block = True
                continue
            m = re.match(r'(?:u8|u|U|L)?R"([^(\s]*)\(', line[i:])
            if m and (i == 0 or not (line[i - 1].isalnum() or line[i - 1] == "_")):
                in_raw = ")" + m.group(1) + '"'
                for k in range(i, i + m.end()):
                    out[k] = " "
                i += m.end()
                continue
            if c == '"' or (c == "'" and not (i > 0 and line[i - 1].isdigit() and
                                               i + 1 < n and line[i + 1].isalnum())):
                # A digit separator (1'000) is not a character literal.
                j = i + 1
                while j < n and line[j] != c:
                    j += 2 if line[j] == "\\" else 1
                for k in range(i, min(j + 1, n)):
                    out[k] = " "
                i = j + 1
                continue
            i += 1
        masks.append("".join(out))
    return masks


def matching_paren(mask, open_at):
    depth = 0
    for k in range(open_at, len(mask)):
        if mask[k] == "(":
            depth += 1
        elif mask[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


RELATIONAL = {
    "==": ["!="],
    "!=": ["=="],
    "<=": ["<", ">"],
    ">=": [">", "<"],
    "<": ["<=", ">="],
    ">": [">=", "<="],
}


def line_mutants(line, mask, prev_mask):
    """Yield (operator, new line) for one source line."""
    if mask is None or not mask.strip():
        return

    def sub(start, end, text):
        return line[:start] + text + line[end:]

    # Relational operators, spaced as clang-format spaces binary operators (a template's
    # angle brackets are not).
    for m in re.finditer(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)", mask):
        for repl in RELATIONAL[m.group(1)]:
            yield "relational", sub(m.start(), m.end(), repl)
    for m in re.finditer(r"(?<=\s)(&&|\|\|)(?=\s)", mask):
        yield "logical", sub(m.start(), m.end(), "||" if m.group(1) == "&&" else "&&")
    for m in re.finditer(r"\b(if|while)\s*\(", mask):
        open_at = m.end() - 1
        close = matching_paren(mask, open_at)
        if close > 0:
            inner = line[open_at + 1:close]
            if inner.startswith("auto ") or ";" in mask[open_at:close]:
                continue  # an init-statement or a declaration: no plain condition
            yield "negate", line[:open_at + 1] + "!(" + inner + ")" + line[close:]
    for m in re.finditer(r"!(?=[A-Za-z_(])", mask):
        yield "drop-not", sub(m.start(), m.end(), "")
    for m in re.finditer(r"\b(true|false)\b", mask):
        yield "boolean", sub(m.start(), m.end(), "false" if m.group(1) == "true" else "true")
    for m in re.finditer(r"(?<![\w.'])(\d+)(?![\w.'])", mask):
        value = int(m.group(1))
        yield "literal", sub(m.start(), m.end(), str(value + 1))
        if value > 0:
            yield "literal", sub(m.start(), m.end(), str(value - 1))
    for m in re.finditer(r"(?<=[\w)\]])\s([+-])\s(?=[\w(])", mask):
        yield "arith", sub(m.start(1), m.end(1), "-" if m.group(1) == "+" else "+")
    for m in re.finditer(r"(\+\+|--)", mask):
        yield "arith", sub(m.start(), m.end(), "--" if m.group(1) == "++" else "++")
    for m in re.finditer(r"\b(break|continue)\s*;", mask):
        yield "jump", sub(m.start(1), m.end(1), "continue" if m.group(1) == "break" else "break")
    stripped = mask.strip()
    m = re.match(r"^(\s*)return\s+(.+);\s*$", mask)
    # Values that {} already is are no change.
    if m and m.group(2).strip() not in ("{}", "true", "false", "0", "nullptr", "std::nullopt",
                                        "std::string()", '""'):
        yield "return", line[:m.start(2)] + "{}" + line[m.end(2):]
    # A whole statement that is a call or an assignment, begun on this line.
    prev = (prev_mask or "").strip()
    starts_statement = prev == "" or prev.endswith((";", "{", "}", ":"))
    if (starts_statement and stripped.endswith(";") and
            not re.match(r"^(return|break|continue|case|default|using|namespace)\b|^}", stripped) and
            (re.search(r"[^=!<>]=[^=]|\+=|-=|\+\+|--", stripped) or
             re.match(r"^[\w:.>\-\[\]]+\s*\(", stripped))):
        decl = re.match(r"^(?:[\w:<>,*&]+\s+)+[\w]+\s*[={(;]", stripped)
        if not decl:
            yield "delete", re.sub(r"\S.*$", "", line) + "// mutant: statement deleted"


def file_mutants(path):
    lines = (ROOT / path).read_text().split("\n")
    masks = code_masks(lines)
    found = []
    prev_code = None
    for number, (line, mask) in enumerate(zip(lines, masks), start=1):
        for op, new in line_mutants(line, mask, prev_code):
            if new != line:
                found.append({"file": path, "line": number, "op": op,
                              "old": line, "new": new})
        if mask is not None and mask.strip():
            prev_code = mask
    return found


def code_lines(path):
    masks = code_masks((ROOT / path).read_text().split("\n"))
    return sum(1 for m in masks if m is not None and m.strip() not in ("", "{", "}", "};"))


def take_sample(files, total, minimum, seed):
    """Mutants spread over the files by their size, at least `minimum` for each file or
    folder (the files of filetags/ share one minimum)."""
    rng = random.Random(seed)
    groups = {}
    for f in files:
        groups.setdefault(f.split("/")[0] if f.startswith("filetags/") else f, []).append(f)
    sizes = {g: sum(code_lines(f) for f in members) for g, members in groups.items()}
    whole = sum(sizes.values())
    sample = []
    for g, members in groups.items():
        candidates = [m for f in members for m in file_mutants(f)]
        want = max(minimum, round(total * sizes[g] / whole))
        picked = rng.sample(candidates, min(want, len(candidates)))
        picked.sort(key=lambda m: (m["file"], m["line"]))
        sample.extend(picked)
    for k, m in enumerate(sample, start=1):
        m["id"] = "%s:%d:%s:%d" % (m["file"], m["line"], m["op"], k)
    return sample


# ---------------------------------------------------------------------------------------
# Running them


class Restorer:
    """Keeps the original text of each mutated file and writes it back."""

    def __init__(self):
        self.saved = {}

    def mutate(self, mutant):
        path = ROOT / mutant["file"]
        text = self.saved.setdefault(path, path.read_text())
        lines = text.split("\n")
        at = find_line(lines, mutant)
        if at is None:
            return False
        lines[at] = mutant["new"]
        path.write_text("\n".join(lines))
        return True

    def restore(self):
        for path, text in self.saved.items():
            path.write_text(text)
        self.saved.clear()


def find_line(lines, mutant):
    """The line the mutant was made from, also after lines were added above it."""
    want = mutant["line"] - 1
    hits = [k for k, line in enumerate(lines) if line == mutant["old"]]
    if not hits:
        return None
    return min(hits, key=lambda k: abs(k - want))


def build(build_dir, targets, log):
    cmd = ["cmake", "--build", str(build_dir), "-j2", "--target"] + targets
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if proc.returncode != 0:
        log.write(proc.stdout[-3000:] + "\n")
    return proc.returncode == 0


def test_env(build_dir):
    env = dict(os.environ)
    env.update({
        "QT_QPA_PLATFORM": "offscreen",
        "QUILLMARK_NO_SPLASH_WAIT": "1",
        "XDG_RUNTIME_DIR": str(build_dir / "tests/runtime"),
        "XDG_STATE_HOME": str(build_dir / "tests/state"),
        "QUILLMARK_BIN_DIR": str(build_dir / "bin"),
        "QUILLMARK_SOURCE_DIR": str(ROOT),
    })
    return env


def run_program(build_dir, name, timeout):
    """('passed' | 'failed' | 'timeout', the tests that failed)."""
    command, qt = PROGRAMS[name]
    args = [str(build_dir / command)]
    if not qt:
        args += ["--gtest_brief=1", "--gtest_fail_fast"]
    with open(build_dir / "mutant-test.log", "w+") as out:
        proc = subprocess.Popen(args, cwd=build_dir, env=test_env(build_dir), stdout=out,
                                stderr=subprocess.STDOUT, start_new_session=True)
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            return "timeout", ""
        out.seek(0)
        text = out.read()
    # GoogleTest's "[  FAILED  ] Suite.Name", Qt Test's "FAIL!  : Class::function(row)".
    failed = re.findall(r"^\[  FAILED  \] ([\w./]+)(?:[ ,(]|$)", text, re.M)
    failed += re.findall(r"^FAIL!  : [\w:]*::(\w+)", text, re.M)
    return ("passed" if code == 0 else "failed"), " ".join(sorted(set(failed)))


def read_equivalent(path):
    marked = {}
    if path.exists():
        for line in path.read_text().splitlines():
            if line.strip() and not line.startswith("#"):
                key, _, reason = line.partition("\t")
                marked[key.strip()] = reason.strip()
    return marked


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("files", nargs="*", help="source files (default: all of FILES)")
    parser.add_argument("--build-dir", default=str(ROOT / "build"))
    parser.add_argument("--sample", type=int, default=110, help="mutants to sample")
    parser.add_argument("--min-per-file", type=int, default=8)
    parser.add_argument("--seed", type=int, default=32)
    parser.add_argument("--out", default=str(ROOT / "build/mutants"))
    parser.add_argument("--load-sample", help="rerun the mutants of this sample.json")
    parser.add_argument("--only", metavar="RESULTS_CSV",
                        help="with --load-sample: rerun only some mutants of an earlier run")
    parser.add_argument("--statuses", default="survived,equivalent",
                        help="with --only: the statuses to rerun (comma-separated)")
    parser.add_argument("--equivalent", default=str(ROOT / "scripts/mutants-equivalent.txt"))
    parser.add_argument("--timeout-factor", type=float, default=3.0)
    parser.add_argument("--list", action="store_true", help="print the sample, run nothing")
    args = parser.parse_args()

    build_dir = Path(args.build_dir).resolve()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    files = args.files or list(FILES)
    for f in files:
        if f not in FILES:
            sys.exit("%s: no test programs known for it (add it to FILES)" % f)
    if args.load_sample:
        sample = [m for m in json.loads(Path(args.load_sample).read_text())
                  if m["file"] in files]
        if args.only:
            statuses = args.statuses.split(",")
            keep = {row["id"] for row in csv.DictReader(open(args.only))
                    if row["status"] in statuses}
            sample = [m for m in sample if m["id"] in keep]
    else:
        sample = take_sample(files, args.sample, args.min_per_file, args.seed)
        (out / "sample.json").write_text(json.dumps(sample, indent=1))
    if args.list:
        for m in sample:
            print("%s\n  - %s\n  + %s" % (m["id"], m["old"].strip(), m["new"].strip()))
        return

    equivalent = read_equivalent(Path(args.equivalent))
    log = open(out / "build.log", "w")
    restorer = Restorer()
    results = []

    def targets_of(f):
        extra, programs = FILES[f]
        return extra + programs

    # The time each program takes on the unmutated code sets its timeout.
    timeouts = {}
    needed = sorted({p for f in files for p in FILES[f][1]})
    if not build(build_dir, sorted({t for f in files for t in targets_of(f)}), log):
        sys.exit("the unmutated code does not build; see %s" % (out / "build.log"))
    for name in needed:
        start = time.monotonic()
        if all(run_program(build_dir, name, 1200)[0] != "passed" for _ in range(2)):
            sys.exit("%s fails twice on the unmutated code" % name)
        timeouts[name] = max(10.0, args.timeout_factor * (time.monotonic() - start))
        print("%s: %.1f s, timeout %.0f s" % (name, time.monotonic() - start, timeouts[name]),
              flush=True)

    try:
        for k, m in enumerate(sample, start=1):
            start = time.monotonic()
            if not restorer.mutate(m):
                status = "missing"
            elif not build(build_dir, targets_of(m["file"]), log):
                status = "not-compiled"
            else:
                status = "survived"
                for name in FILES[m["file"]][1]:
                    outcome, tests = run_program(build_dir, name, timeouts[name])
                    if outcome == "timeout":
                        # A loaded machine is slow too: only a second, longer wait counts.
                        outcome, tests = run_program(build_dir, name, 3 * timeouts[name])
                    elif outcome == "failed":
                        # A test that depends on timing may fail once on a loaded machine:
                        # a mutant is killed when its test fails twice.
                        again, _ = run_program(build_dir, name, 3 * timeouts[name])
                        if again == "passed":
                            print("  %s failed once only (%s): taken as passed" % (name, tests),
                                  flush=True)
                            outcome = "passed"
                    if outcome != "passed":
                        status = "killed" if outcome == "failed" else "timeout"
                        m["by"] = (name + " " + tests).strip()
                        break
            restorer.restore()
            if status == "survived" and m["id"] in equivalent:
                status = "equivalent"
            m["status"] = status
            results.append(m)
            print("[%d/%d] %-12s %s (%.0f s)" % (k, len(sample), status, m["id"],
                                               time.monotonic() - start), flush=True)
    finally:
        restorer.restore()
        # The targets back on the real code (the compiler cache makes this quick).
        build(build_dir, sorted({t for f in files for t in targets_of(f)}), log)
        write_report(out, results, equivalent)


def write_report(out, results, equivalent):
    with open(out / "results.csv", "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["id", "file", "line", "op", "status", "killed_by", "old", "new"])
        for m in results:
            w.writerow([m["id"], m["file"], m["line"], m["op"], m["status"], m.get("by", ""),
                        m["old"].strip(), m["new"].strip()])
    by_file = {}
    for m in results:
        by_file.setdefault(m["file"], []).append(m["status"])
    lines = ["%-28s %6s %8s %10s %13s %7s" % ("file", "killed", "survived", "equivalent",
                                              "not compiled", "caught")]

    def row(name, statuses):
        killed = sum(s in ("killed", "timeout") for s in statuses)
        survived = statuses.count("survived")
        share = "%.0f%%" % (100.0 * killed / (killed + survived)) if killed + survived else "-"
        return "%-28s %6d %8d %10d %13d %7s" % (name, killed, survived,
                                               statuses.count("equivalent"),
                                               statuses.count("not-compiled"), share)

    for name, statuses in by_file.items():
        lines.append(row(name, statuses))
    lines.append(row("all", [m["status"] for m in results]))
    lines.append("")
    lines.append("Survivors:")
    for m in results:
        if m["status"] == "survived":
            lines.append("%s:%d (%s)\n  - %s\n  + %s" % (m["file"], m["line"], m["id"],
                                                     m["old"].strip(), m["new"].strip()))
    lines.append("")
    lines.append("Equivalent (left out):")
    for m in results:
        if m["status"] == "equivalent":
            lines.append("%s: %s\n  + %s" % (m["id"], equivalent[m["id"]], m["new"].strip()))
    text = "\n".join(lines) + "\n"
    (out / "report.txt").write_text(text)
    print(text)


if __name__ == "__main__":
    main()
