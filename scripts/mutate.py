#!/usr/bin/env python3
"""Mutation check: how many small, plausible faults in the portable code do the
native tests catch?

Each mutant changes one place of one portable source file of src/ or cli/ (a
comparison flipped, an integer constant moved by one, && and || swapped, a
statement dropped, a return value replaced by the type's empty value). The
mutants are drawn from every such place with a fixed seed, so the same seed and
count give the same mutants as long as the sources stay as they are. For each
mutant the script builds the native tree, runs every native test program the
build rewrote (each stops at its first failure; a program left alone is the one
that passed without the mutant) within a time limit, puts the file back and
records the outcome:

  killed         a test failed (or a program crashed)
  survived       every test passed
  timed out      the tests did not finish in time (counted as caught)
  did not build  the mutant is not valid C++ (left out of the score)

score = (killed + timed out) / (killed + timed out + survived)

The outcome of every mutant is written to <build>/mutants.txt; --ids reruns
chosen mutants (for example the survivors of an earlier run); --list prints
the drawn mutants with each mutated line; --matrix records which test cases
kill each mutant, to find tests that are the only ones to catch something.
"""

import argparse
import contextlib
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

RELATIONAL = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
LOGICAL = {"&&": "||", "||": "&&"}
KEYWORDS_NOT_STATEMENTS = {
    "return", "if", "else", "for", "while", "do", "switch", "case", "default", "break", "continue",
    "goto", "using", "typedef", "namespace", "template", "class", "struct", "enum", "union", "public",
    "private", "protected", "static_assert", "throw", "try", "catch", "delete", "new", "co_return",
}
TRIVIAL_RETURNS = {"0", "{}", "nullptr", "false", "true", "1", "-1", "0.0", "0.0f", "-1.0f", "-1.0"}


def mask_source(text):
    """The text with comments, string and character literals and preprocessor
    lines blanked out (newlines kept), so that offsets stay those of the text."""
    out = list(text)
    i, n = 0, len(text)
    line_start = True
    while i < n:
        c = text[i]
        if line_start and c in " \t":
            i += 1
            continue
        if line_start and c == "#":
            j = i
            while j < n and text[j] != "\n":
                if text[j] == "\\" and j + 1 < n and text[j + 1] == "\n":
                    j += 2
                    continue
                j += 1
            for k in range(i, j):
                if out[k] != "\n":
                    out[k] = " "
            i = j
            continue
        line_start = c == "\n"
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            for k in range(i, j):
                out[k] = " "
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            for k in range(i, j):
                if out[k] != "\n":
                    out[k] = " "
            i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            delim_end = text.find("(", i + 2)
            delim = text[i + 2:delim_end]
            j = text.find(")" + delim + '"', delim_end)
            j = n if j < 0 else j + len(delim) + 2
            for k in range(i, j):
                if out[k] != "\n":
                    out[k] = " "
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            for k in range(i, j):
                out[k] = " "
            i = j
        else:
            i += 1
    return "".join(out)


def balanced(s):
    depth = 0
    for ch in s:
        if ch in "([{":
            depth += 1
        elif ch in ")]}":
            depth -= 1
            if depth < 0:
                return False
    return depth == 0


STATEMENT = re.compile(
    r"^(\s*)((?:\*|\+\+|--)?[A-Za-z_]\w*(?:(?:::|\.|->)[A-Za-z_~]\w*)*(?:\[[^\]]*\])*"
    r"\s*(?:\(|=(?!=)|\+=|-=|\*=|/=|%=|\|=|&=|\^=|<<=|>>=|\+\+|--).*;)\s*$")
RETURN = re.compile(r"^(\s*)return\s+(.+);\s*$")


def sites_of(path, text):
    """Every mutation site of one file: (offset, length, replacement, description)."""
    masked = mask_source(text)
    sites = []
    for m in re.finditer(r"(?<= )(==|!=|<=|>=|<|>)(?= )", masked):
        op = m.group(1)
        sites.append((m.start(), len(op), RELATIONAL[op], f"{op} -> {RELATIONAL[op]}"))
    for m in re.finditer(r"(?<= )(&&|\|\|)(?= )", masked):
        op = m.group(1)
        sites.append((m.start(), 2, LOGICAL[op], f"{op} -> {LOGICAL[op]}"))
    for m in re.finditer(r"(?<![\w.'])(\d+)(?![\w.'])", masked):
        value = int(m.group(1))
        # The direction is a property of the place, not of the run.
        up = value == 0 or (hash_text(f"{path}:{m.start()}") & 1) == 0
        new = value + 1 if up else value - 1
        sites.append((m.start(), len(m.group(1)), str(new), f"constant {value} -> {new}"))
    offset = 0
    previous_end = ""
    lines = masked.split("\n")
    for line in lines:
        stripped = line.strip()
        begins_statement = previous_end in ("", ";", "{", "}", ")", ":") or previous_end.endswith("else")
        m = STATEMENT.match(line)
        if m and begins_statement and balanced(m.group(2)):
            first = re.match(r"[\*+\-]*([A-Za-z_]\w*)", m.group(2)).group(1)
            declaration = re.match(r"^\s*(?:const\s+|static\s+|constexpr\s+)*[A-Za-z_][\w:<>,]*[\s*&]+[A-Za-z_]\w*\s*[=({\[;]",
                                   line)
            if first not in KEYWORDS_NOT_STATEMENTS and not declaration:
                start = offset + len(m.group(1))
                sites.append((start, len(m.group(2)), ";", "statement dropped"))
        r = RETURN.match(line)
        if r and begins_statement and balanced(r.group(2)) and r.group(2).strip() not in TRIVIAL_RETURNS:
            after = line.index("return") + len("return")
            sites.append((offset + after, line.rindex(";") - after, " {}", "return value dropped"))
        if stripped:
            previous_end = stripped[-1] if not stripped.endswith("else") else "else"
        offset += len(line) + 1
    return sites


def hash_text(s):
    h = 2166136261
    for ch in s.encode():
        h = ((h ^ ch) * 16777619) & 0xFFFFFFFF
    return h


def portable_sources(build):
    commands = json.loads((build / "compile_commands.json").read_text())
    files = set()
    for entry in commands:
        p = Path(entry["file"]).resolve()
        try:
            rel = p.relative_to(ROOT)
        except ValueError:
            continue
        if rel.parts[0] in ("src", "cli") and rel.suffix == ".cpp":
            files.add(rel.as_posix())
    return sorted(files)


def mutated(m, text):
    """The source text with the mutant applied."""
    return text[:m["offset"]] + m["replacement"] + text[m["offset"] + m["length"]:]


def mutated_line(m):
    """The source line of a mutant as the mutant makes it."""
    return mutated(m, (ROOT / m["file"]).read_text()).splitlines()[m["line"] - 1].strip()


def all_mutants(files):
    mutants = []
    for rel in files:
        text = (ROOT / rel).read_text()
        for offset, length, replacement, what in sites_of(rel, text):
            line = text.count("\n", 0, offset) + 1
            mutants.append({"file": rel, "offset": offset, "length": length, "replacement": replacement,
                            "what": what, "line": line})
    mutants.sort(key=lambda m: (m["file"], m["offset"], m["what"]))
    return mutants


def test_programs(build):
    out = subprocess.run(["ctest", "--test-dir", str(build), "--show-only=json-v1"], check=True,
                         capture_output=True, text=True).stdout
    programs = {}
    for test in json.loads(out)["tests"]:
        command = test.get("command") or []
        if len(command) < 2 or not command[1].startswith("--gtest_filter="):
            continue  # the harness's own checks
        workdir = next((p["value"] for p in test.get("properties", []) if p["name"] == "WORKING_DIRECTORY"),
                       str(build))
        programs[command[0]] = workdir
    return sorted(programs.items())


def failing_cases(exe, report):
    """The test cases a finished program's JSON report names as failed; the
    program alone when it left no report (it crashed)."""
    try:
        data = json.loads(Path(report).read_text())
    except (OSError, ValueError):
        return [Path(exe).name + ":crashed"]
    return [f"{Path(exe).name}:{suite['name']}.{case['name']}" for suite in data.get("testsuites", [])
            for case in suite.get("testsuite", []) if case.get("failures")]


def run_tests(programs, deadline, jobs, durations=None, killers=None):
    """'passed', 'failed' or 'timeout'; durations, when given, receives each
    program's time. With killers (a list), every program runs to its end and
    the failing test cases are appended to it."""
    results = []

    def one(item):
        exe, workdir = item
        begun = time.monotonic()
        remaining = deadline - begun
        if remaining <= 0:
            return "timeout"
        report = Path(workdir) / f".mutate-{Path(exe).name}.json"
        report.unlink(missing_ok=True)
        flags = [f"--gtest_output=json:{report}"] if killers is not None else ["--gtest_fail_fast"]
        proc = subprocess.Popen([exe, "--gtest_brief=1"] + flags, cwd=workdir,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            code = proc.wait(timeout=remaining)
            if durations is not None:
                durations[exe] = time.monotonic() - begun
            if killers is not None and code != 0:
                killers.extend(failing_cases(exe, report))
            return "passed" if code == 0 else "failed"
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            if killers is not None:
                killers.append(Path(exe).name + ":timed out")
            return "timeout"

    with ThreadPoolExecutor(max_workers=jobs) as pool:
        for r in pool.map(one, programs):
            results.append(r)
    if "failed" in results:
        return "failed"
    if "timeout" in results:
        return "timeout"
    return "passed"


def executables(build):
    """Every program the build made, by path, with the time it was written."""
    found = {}
    for path in build.rglob("*"):
        if path.is_file() and os.access(path, os.X_OK) and path.suffix in ("", ".exe") \
                and "CMakeFiles" not in path.parts and "third_party" not in path.parts:
            found[str(path)] = path.stat().st_mtime_ns
    return found


def affected(programs, before, after):
    """The test programs a mutant can change: those the build rewrote, or all of
    them when it rewrote another program (one a test runs, such as qvx). A
    program the build left alone behaves as it did without the mutant."""
    changed = {path for path, stamp in after.items() if before.get(path) != stamp}
    tests = {exe for exe, _ in programs}
    if changed - tests:
        return programs
    return [item for item in programs if item[0] in changed]


def build_tree(build, jobs, limit):
    try:
        proc = subprocess.run(["cmake", "--build", str(build), "-j", str(jobs)], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=limit)
        return proc.returncode == 0
    except subprocess.TimeoutExpired:
        return False


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--count", type=int, default=300, help="mutants to draw (default 300)")
    ap.add_argument("--seed", type=int, default=2026, help="seed of the draw (default 2026)")
    ap.add_argument("--build", default="build/mutate", help="build tree (default build/mutate)")
    ap.add_argument("--jobs", type=int, default=2, help="parallel build and test jobs (default 2)")
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds allowed for the tests of one mutant (default: 4 x the unmutated run, >= 60)")
    ap.add_argument("--ids", default="", help="run only these mutants of the draw (comma-separated numbers)")
    ap.add_argument("--only", default="", help="run only the mutants of files matching this regular expression")
    ap.add_argument("--list", action="store_true", help="print the drawn mutants and stop")
    ap.add_argument("--matrix", action="store_true",
                    help="run every test to its end and write which test cases kill each mutant "
                         "to <build>/kill-matrix.txt (slower)")
    ap.add_argument("--sanitize", default="ON", help="build with ASan and UBSan (default ON, as the native tests)")
    ap.add_argument("-D", dest="defines", action="append", default=[],
                    help="a CMake cache entry for the build tree (for example QUORVEX_TEST_DIRS=store)")
    args = ap.parse_args()
    # A stopped run still puts the mutated file back (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(130))

    build = (ROOT / args.build).resolve()
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Debug",
                    f"-DQUORVEX_SANITIZE={args.sanitize}", "-DQUORVEX_WERROR=OFF"] + [f"-D{d}" for d in args.defines],
                   check=True, stdout=subprocess.DEVNULL)
    files = portable_sources(build)
    everything = all_mutants(files)
    rng = random.Random(args.seed)
    drawn = rng.sample(range(len(everything)), min(args.count, len(everything)))
    chosen = [(i + 1, everything[k]) for i, k in enumerate(drawn)]
    if args.ids:
        wanted = {int(x) for x in args.ids.split(",") if x.strip()}
        chosen = [c for c in chosen if c[0] in wanted]
    if args.only:
        chosen = [c for c in chosen if re.search(args.only, c[1]["file"])]
    print(f"{len(everything)} mutation sites in {len(files)} files; {len(chosen)} mutants to run "
          f"(seed {args.seed}, count {args.count})", flush=True)
    if args.list:
        for number, m in chosen:
            print(f"#{number:<4} {m['file']}:{m['line']}  {m['what']}")
            print(f"      {mutated_line(m)}")
        return 0

    if not build_tree(build, args.jobs, 3600):
        print("the unmutated tree does not build", file=sys.stderr)
        return 2
    programs = test_programs(build)
    started = time.monotonic()
    durations = {}
    baseline = run_tests(programs, started + 3600, args.jobs, durations)
    took = time.monotonic() - started
    # The slowest programs first, so that the two jobs finish together.
    programs.sort(key=lambda item: -durations.get(item[0], 0))
    if baseline != "passed":
        print("the native tests fail without any mutant: fix them first", file=sys.stderr)
        return 2
    limit = args.timeout or max(60.0, 4 * took)
    print(f"{len(programs)} test programs pass in {took:.1f} s; {limit:.0f} s allowed per mutant", flush=True)

    counts = {"killed": 0, "survived": 0, "timed out": 0, "did not build": 0}
    survivors = []
    results_path = build / "mutants.txt"
    matrix_path = build / "kill-matrix.txt"  # written only with --matrix: an earlier matrix stays
    with results_path.open("w") as results, \
            (matrix_path.open("w") if args.matrix else contextlib.nullcontext()) as matrix:
        for done, (number, m) in enumerate(chosen, 1):
            path = ROOT / m["file"]
            original = path.read_bytes()
            try:
                path.write_text(mutated(m, original.decode()))
                built = executables(build)
                if not build_tree(build, args.jobs, 900):
                    outcome = "did not build"
                else:
                    killers = [] if args.matrix else None
                    run = affected(programs, built, executables(build))
                    r = run_tests(run, time.monotonic() + limit, args.jobs, killers=killers) if run else "passed"
                    outcome = {"failed": "killed", "passed": "survived", "timeout": "timed out"}[r]
                    if killers:
                        matrix.write(f"#{number} " + " ".join(sorted(killers)) + "\n")
                        matrix.flush()
            finally:
                path.write_bytes(original)
            counts[outcome] += 1
            where = f"{m['file']}:{m['line']}"
            line = f"#{number:<4} {outcome:<13} {where}  {m['what']}"
            results.write(line + "\n")
            results.flush()
            if outcome == "survived":
                survivors.append(line)
            print(f"[{done}/{len(chosen)}] {line}", flush=True)
    build_tree(build, args.jobs, 3600)  # leave the tree built from the real sources

    caught = counts["killed"] + counts["timed out"]
    scored = caught + counts["survived"]
    print()
    print(f"killed {counts['killed']}, survived {counts['survived']}, timed out {counts['timed out']}, "
          f"did not build {counts['did not build']}")
    if scored:
        print(f"mutation score: {100.0 * caught / scored:.1f} % ({caught} of {scored})")
    if survivors:
        print("survivors:")
        for s in survivors:
            print("  " + s)
    print(f"every outcome: {results_path}")
    if args.matrix:
        print(f"which test cases kill each mutant: {matrix_path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
