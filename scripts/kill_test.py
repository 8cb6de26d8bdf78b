#!/usr/bin/env python3
"""Kills qvx at random moments during each write operation and checks what is left.

    python3 scripts/kill_test.py QVX [--kills N] [--seed S] [--work DIR] [--only OP,...]

QVX is a built qvx (build/native/cli/qvx). For every operation below, N times (default 100): a fresh copy
of a generated pair of directories (data: an intraday instrument of 64,885 records and three daily ones of
5,000; dest: one daily instrument), qvx started on it and killed (SIGKILL) after a random delay within the
time the operation takes whole. Then, for what the kill left:
  - lost: an instrument listed before whose records are now listed nowhere, or listed in its place with
    bytes that are neither its old ones nor those a whole run leaves (records typed in place, by set and
    append, are compared record by record);
  - inconsistent: a listed data file missing or whose header does not count its whole records, a data file
    no master lists, one listed twice, a master whose header does not count its records, a temporary file;
  - reported: qvx check exits 1 on an inconsistent directory;
  - mended: after qvx test-master --repair --create, and the operation run again where it was an edit in
    place, qvx check finds no more than temporary files.
Not part of the test command: it takes minutes. Prints one line per operation; exits 1 when a record was
lost or an inconsistency was neither reported nor mended.
"""
import argparse
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import time

RECORD = 28  # seven fields


def mbf(value):
    """The 4-byte Microsoft Binary Format single of a float."""
    if value == 0:
        return b"\0\0\0\0"
    bits = struct.unpack("<I", struct.pack("<f", value))[0]
    sign, exponent, mantissa = bits >> 31, (bits >> 23) & 0xFF, bits & 0x7FFFFF
    return struct.pack("<I", ((exponent + 2) << 24) | (sign << 23) | mantissa)


def next_day(day):
    """The next CYYMMDD date, months taken as 28 days long."""
    day = day + 1 if day % 100 < 28 else (day // 100 + 1) * 100 + 1
    return (day // 10000 + 1) * 10000 + 101 if day % 10000 > 1231 else day


def write_records(path, rows):
    with open(path, "r+b") as f:
        header = bytearray(f.read(RECORD))
        struct.pack_into("<H", header, 2, len(rows) + 1)
        f.seek(0)
        f.write(bytes(header) + b"".join(b"".join(mbf(v) for v in row) for row in rows))


def generate(qvx, root):
    data, dest = os.path.join(root, "data"), os.path.join(root, "dest")
    run = lambda *args: subprocess.run([qvx, *args], check=True, stdout=subprocess.DEVNULL)
    os.makedirs(data), os.makedirs(dest)
    run("create", data, "--name", "INTRA", "--symbol", "ITR", "--period", "intraday", "--fields", "7",
        "--timebase", "1")
    for name in ("ALPHA", "BETA", "GAMMA"):
        run("create", data, "--name", name, "--symbol", name[:3], "--fields", "7")
    run("create", dest, "--name", "KEPT", "--symbol", "KPT", "--fields", "7")
    rng = random.Random(7)
    bars, day = [], 1100104
    while len(bars) < 64885:
        for minute in range(390):  # 09:30 to 15:59
            price = 100 + rng.random()
            time_of_day = (9 + (30 + minute) // 60) * 10000 + (30 + minute) % 60 * 100
            bars.append((day, time_of_day, price, price + 1, price - 1, price, float(rng.randrange(1000))))
        day = next_day(day)
    bars = bars[:64885]
    write_records(os.path.join(data, "F1.DAT"), bars)
    for n in (2, 3, 4):
        daily, day = [], 1000104
        for i in range(5000):
            price = 50 + n + rng.random()
            daily.append((day, price, price + 1, price - 1, price, float(rng.randrange(10000)), 0.0))
            day = next_day(day)
        write_records(os.path.join(data, "F%d.DAT" % n), daily)
    write_records(os.path.join(dest, "F1.DAT"), [(1100104, 1.0, 2.0, 0.5, 1.5, 10.0, 0.0)])
    # The master dates written from the records, so that the directories start clean.
    for directory in (data, dest):
        subprocess.run([qvx, "test-master", directory, "--repair"], stdout=subprocess.DEVNULL)
    clean = subprocess.run([qvx, "check", root], capture_output=True, text=True)
    if clean.returncode != 0:
        sys.exit("the generated directories are not clean:\n" + clean.stdout)
    return bars[-1][0]


def listed(root):
    """(directory, number) -> bytes of each data file a master lists, and the masters' consistency."""
    files, problems = {}, []
    for sub in ("data", "dest"):
        directory = os.path.join(root, sub)
        names = {n.lower(): n for n in os.listdir(directory)} if os.path.isdir(directory) else {}
        if "master" not in names:
            continue
        master = open(os.path.join(directory, names["master"]), "rb").read()
        if len(master) % 53 or len(master) < 53:
            problems.append("%s/master is not whole" % sub)
            continue
        numbers = [master[at] for at in range(53, len(master), 53)]
        if struct.unpack_from("<H", master, 0)[0] != len(numbers):
            problems.append("%s/master counts %d records" % (sub, struct.unpack_from("<H", master, 0)[0]))
        for n in set(numbers):
            if numbers.count(n) > 1:
                problems.append("%s/F%d listed twice" % (sub, n))
        for n in numbers:
            name = names.get("f%d.dat" % n)
            if name is None:
                problems.append("%s/F%d.DAT missing" % (sub, n))
                continue
            data = open(os.path.join(directory, name), "rb").read()
            files[(sub, n)] = data
            if len(data) < RECORD or struct.unpack_from("<H", data, 2)[0] != len(data) // RECORD:
                problems.append("%s/F%d.DAT's header does not count its records" % (sub, n))
        for lower, name in names.items():
            m = re.fullmatch(r"f(\d+)\.dat", lower)
            if m and int(m.group(1)) not in numbers:
                problems.append("%s/%s listed nowhere" % (sub, name))
            if re.fullmatch(r"e?msttmp|qvx.*\.tmp", lower):
                problems.append("%s/%s left" % (sub, name))
    return files, problems


def records(data):
    return [data[at:at + RECORD] for at in range(RECORD, len(data) - len(data) % RECORD, RECORD)]


def lost(before, after, now, in_place):
    for key, was in before.items():
        if key in after:
            if key not in now:
                return "%s/F%d is no longer listed" % key
            if now[key] in (was, after[key]):
                continue
            if not in_place:
                return "%s/F%d holds neither its old bytes nor its new ones" % key
            old, new, kept = records(was), records(after[key]), records(now[key])
            for i, record in enumerate(old):
                if i >= len(kept) or kept[i] not in (record, new[i] if i < len(new) else record):
                    return "%s/F%d record %d changed" % (key[0], key[1], i)
        elif was in after.values() and was not in now.values():
            return "%s/F%d's records are listed nowhere" % key
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("qvx")
    parser.add_argument("--kills", type=int, default=100)
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--work", default="/tmp/quorvex-kill-test")
    parser.add_argument("--only", default="")
    args = parser.parse_args()
    qvx = os.path.abspath(args.qvx)
    shutil.rmtree(args.work, ignore_errors=True)
    base = os.path.join(args.work, "base")
    last_day = generate(qvx, base)
    operations = {
        "insert": ["insert", "{data}", "1", "32000"],
        "delete-records": ["delete-records", "{data}", "1", "100", "200", "30000"],
        "truncate": ["truncate", "{data}", "1", "40000"],
        "split": ["split", "{data}", "1", "30000", "{dest}"],
        "set": ["set", "{data}", "1", "100", "5", "123.5"],
        "append": ["append", "{data}", "1", "%04d-%02d-%02d" % (1900 + last_day // 10000, last_day // 100 % 100,
                                                                last_day % 100),
                   "23:59:00", "1", "2", "0.5", "1.5", "10"],
        "create": ["create", "{data}", "--name", "NEW", "--fields", "7"],
        "copy": ["copy", "{data}", "{dest}", "1", "2"],
        "move": ["move", "{data}", "{dest}", "1", "2"],
        "delete": ["delete", "{data}", "1", "2"],
        "symbol": ["symbol", "{data}", "2", "NEWSYM"],
    }
    only = set(filter(None, args.only.split(",")))
    rng = random.Random(args.seed)
    failed = False
    before, start_problems = listed(base)
    assert not start_problems, start_problems
    for name, template in operations.items():
        if only and name not in only:
            continue
        in_place = name in ("set", "append")
        work = os.path.join(args.work, name)

        def fresh():
            shutil.rmtree(work, ignore_errors=True)
            shutil.copytree(base, work)
            return [a.format(data=os.path.join(work, "data"), dest=os.path.join(work, "dest")) for a in template]

        command = fresh()
        began = time.monotonic()
        subprocess.run([qvx, *command], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        whole_time = time.monotonic() - began
        after, _ = listed(work)
        tally = {"lost": 0, "inconsistent": 0, "reported": 0, "mended": 0}
        for _ in range(args.kills):
            command = fresh()
            process = subprocess.Popen([qvx, *command], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0, whole_time))
            process.send_signal(signal.SIGKILL)
            process.wait()
            now, problems = listed(work)
            breach = lost(before, after, now, in_place)
            if breach:
                tally["lost"] += 1
                print("  %s: lost: %s" % (name, breach))
            if not problems:
                continue
            tally["inconsistent"] += 1
            check = subprocess.run([qvx, "check", work], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            tally["reported"] += check.returncode == 1
            for directory in ("data", "dest"):
                subprocess.run([qvx, "test-master", os.path.join(work, directory), "--repair", "--create"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if in_place:
                subprocess.run([qvx, *command], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            _, left = listed(work)
            left = [p for p in left if not p.endswith(" left")]
            tally["mended"] += not left
            if left:
                print("  %s: not mended: %s (after %s)" % (name, "; ".join(left), "; ".join(problems)))
        print("%-15s %3d kills in %5.0f ms: %d lost, %d inconsistent, %d reported by check, %d mended" %
              (name, args.kills, whole_time * 1000, tally["lost"], tally["inconsistent"], tally["reported"],
               tally["mended"]))
        failed |= tally["lost"] > 0 or tally["reported"] < tally["inconsistent"] or \
            tally["mended"] < tally["inconsistent"]
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
