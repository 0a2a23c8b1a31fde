#!/usr/bin/env python3
"""Damages library files at random and sees what the command-line tool makes of them.

Run by hand (it is not part of `make test`):

    scripts/corruption-campaign.py [--cli build/asan/app/tambrel-cli] [--runs 200] [--seed 1]

A library folder is built from the bundled data once. Then, for each library file and each run,
a copy of the folder has that one file damaged in one random way (bits flipped in the header or
anywhere, the file cut short, junk appended, a stretch zeroed or overwritten, the record count
changed) and the commands `library info`, `library list`, `library find`, `library reindex` and
`library info` again run on it. Each command's outcome is counted as one of:

    clean refusal    exit status 2 with a message
    reported repair  done, with a warning on standard error
    clean            done, nothing to say
    crash            killed by a signal, or a sanitizer report
    hang             still running after the time limit
    silent write     a reading command (info, list, find) changed a file without a warning
    reading wrote    a reading command changed a file, and said so (it should not write at all)
    silent loss      after the reindex the folder holds fewer records than before the damage
                     and no command said why

Exit status 1 when any crash, hang, silent write or silent loss was seen.
"""

import argparse
import collections
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

FILES = ["Methods.dbf", "Methods.mdx", "My_Lib.dbf", "My_Lib.mdx", "Calls.dbf", "Calls.mdx",
         "Options.dbf"]
READING = ["info", "list", "find"]
BAD = ["crash", "hang", "silent write", "reading wrote", "silent loss"]


def run(cli, folder, args, timeout):
    try:
        done = subprocess.run([cli, "library", *args, "--library", folder], capture_output=True,
                              timeout=timeout, text=True, errors="replace")
    except subprocess.TimeoutExpired:
        return "hang", "", ""
    if done.returncode < 0 or "Sanitizer" in done.stderr or "runtime error:" in done.stderr:
        return "crash", done.stdout, done.stderr
    if done.returncode == 2:
        return "clean refusal", done.stdout, done.stderr
    if "Warning:" in done.stderr:
        return "reported repair", done.stdout, done.stderr
    return "clean", done.stdout, done.stderr


def snapshot(folder):
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def records(info_output):
    """Records per table from `library info`."""
    counts = {}
    for line in info_output.splitlines():
        match = re.match(r"\s+(\w+)\s+\S+\s+(\d+)\s+records", line)
        if match:
            counts[match.group(1)] = int(match.group(2))
    return counts


def damage(data, rng):
    data = bytearray(data)
    kind = rng.choice(["flip header bit", "flip bits", "cut short", "append junk", "zero stretch",
                       "overwrite stretch", "record count", "header length"])
    if not data:
        return bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 64))), "junk into empty"
    if kind == "flip header bit":
        at = rng.randrange(min(len(data), 32 + 32 * 5 + 1))
        data[at] ^= 1 << rng.randrange(8)
    elif kind == "flip bits":
        for _ in range(rng.randint(1, 8)):
            at = rng.randrange(len(data))
            data[at] ^= 1 << rng.randrange(8)
    elif kind == "cut short":
        del data[rng.randrange(len(data)):]
    elif kind == "append junk":
        data += bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 4096)))
    elif kind == "zero stretch":
        at = rng.randrange(len(data))
        length = rng.randint(1, 2048)
        data[at:at + length] = bytes(len(data[at:at + length]))
    elif kind == "overwrite stretch":
        at = rng.randrange(len(data))
        length = rng.randint(1, 512)
        data[at:at + length] = bytes(rng.getrandbits(8) for _ in range(len(data[at:at + length])))
    elif kind == "record count" and len(data) >= 8:
        data[4:8] = rng.choice([0, 1, rng.getrandbits(32), rng.getrandbits(16)]).to_bytes(4, "little")
    elif kind == "header length" and len(data) >= 10:
        data[8:10] = rng.getrandbits(16).to_bytes(2, "little")
    return bytes(data), kind


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--cli", default=os.path.join(here, "..", "build", "asan", "app",
                                                     "tambrel-cli"))
    parser.add_argument("--runs", type=int, default=200, help="damaged copies of each file")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--timeout", type=float, default=30.0, help="seconds per command")
    parser.add_argument("--files", default=",".join(FILES))
    options = parser.parse_args()
    rng = random.Random(options.seed)

    work = tempfile.mkdtemp(prefix="tambrel-corruption-")
    try:
        base = os.path.join(work, "base")
        outcome, out, err = run(options.cli, base, ["info"], 120)
        if outcome != "clean" and outcome != "reported repair":
            sys.exit("Cannot build the library to damage: " + err)
        # A personal library with something in it: the first 200 methods of the main one.
        with open(os.path.join(base, "Methods.dbf"), "rb") as f:
            main_table = f.read()
        header = int.from_bytes(main_table[8:10], "little")
        length = int.from_bytes(main_table[10:12], "little")
        personal = bytearray(main_table[:header + 200 * length]) + b"\x1a"
        personal[4:8] = (200).to_bytes(4, "little")
        with open(os.path.join(base, "My_Lib.dbf"), "wb") as f:
            f.write(personal)
        os.remove(os.path.join(base, "My_Lib.mdx"))
        run(options.cli, base, ["reindex"], 120)
        outcome, out, err = run(options.cli, base, ["info"], 120)
        before = records(out)
        pristine = snapshot(base)

        totals = collections.Counter()
        by_file = collections.defaultdict(collections.Counter)
        examples = {}
        for name in options.files.split(","):
            for i in range(options.runs):
                folder = os.path.join(work, "run")
                shutil.rmtree(folder, ignore_errors=True)
                shutil.copytree(base, folder)
                path = os.path.join(folder, name)
                damaged, kind = damage(pristine[name], rng)
                with open(path, "wb") as f:
                    f.write(damaged)
                said = False
                counts = None
                for command in [["info"], ["list", "--bells", "8", "--limit", "5"],
                                ["find", "--bells", "8", "--name", "Cambridge Surprise Major"],
                                ["reindex"], ["info"]]:
                    files_before = snapshot(folder)
                    outcome, out, err = run(options.cli, folder, command, options.timeout)
                    said = said or outcome in ("clean refusal", "reported repair")
                    if command[0] in READING and snapshot(folder) != files_before:
                        outcome = "silent write" if outcome == "clean" else "reading wrote"
                    if command[0] == "info" and outcome != "clean refusal":
                        counts = records(out)
                    totals[outcome] += 1
                    by_file[name][outcome] += 1
                    if outcome in BAD:
                        examples.setdefault(outcome, (name, kind, i, command, err[-800:]))
                if counts is not None and not said:
                    lost = [t for t, n in before.items() if counts.get(t, n) < n]
                    if lost:
                        totals["silent loss"] += 1
                        by_file[name]["silent loss"] += 1
                        examples.setdefault("silent loss", (name, kind, i, ["info"], str(lost)))
            print(f"{name}: " + ", ".join(f"{k} {v}" for k, v in sorted(by_file[name].items())),
                  flush=True)

        print("\nAll commands: " + ", ".join(f"{k} {v}" for k, v in sorted(totals.items())))
        for outcome, (name, kind, i, command, err) in examples.items():
            print(f"\nFirst {outcome}: {name}, {kind} (run {i}), library {' '.join(command)}:\n"
                  f"{err}")
        return 1 if any(totals[b] for b in BAD) else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
