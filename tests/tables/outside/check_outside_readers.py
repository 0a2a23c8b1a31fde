#!/usr/bin/python3
"""Reads the engine's tables with programs that share none of its code: dbfread (Python) for
the .dbf and Perl's XBase module for the .mdx. Exit 77 (skipped) when they are not installed."""
import os
import random
import subprocess
import sys
import tempfile

try:
    import dbfread
except ImportError:
    print("python3-dbfread is not installed: skipped")
    sys.exit(77)
if subprocess.run(["perl", "-MXBase", "-e", "1"], capture_output=True).returncode != 0:
    print("libdbd-xbase-perl is not installed: skipped")
    sys.exit(77)

FIXTURE = sys.argv[1]
TAGS = {
    "NAME": lambda r: r["BELLS"] + r["NAME"].upper(),
    "PLACES": lambda r: r["BELLS"] + r["PLACES"].upper(),
    "GRPNAME": lambda r: r["BELLS"] + (r["GROUP"] + r["NAME"]).upper(),
    "GRPPLACES": lambda r: r["BELLS"] + (r["GROUP"] + r["PLACES"]).upper()[:98],
}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def make_records():
    rng = random.Random(7)
    records = [("0", "TB_Method_Library", "Outside check", "")]
    for i in range(220):
        bells = str(rng.randint(4, 16))
        # Lower-case names so that Upper() matters, repeated names, and one letter whose byte
        # differs between code pages 437 and 850 (Ø is 0x9D in 850).
        name = rng.choice(["plain", "Little", "ØRSTED", "cambridge", "Bob"]) + " %03d" % (i % 150)
        places = "".join(rng.choice("1234567890-.") for _ in range(rng.randint(1, 98)))
        group = rng.choice(["A", "B", "C1", "M", "Z", ""])
        records.append((bells, name, places, group))
    return records


def write_import(records, path):
    with open(path, "w", encoding="utf-8") as f:
        for r in records:
            f.write(",".join('"%s"' % v for v in r) + "\n")


def padded(record):
    widths = {"BELLS": 2, "NAME": 60, "PLACES": 98, "GROUP": 2}
    keys = ["BELLS", "NAME", "PLACES", "GROUP"]
    return {k: v.ljust(widths[k]) for k, v in zip(keys, record)}


def perl(code, *args):
    out = subprocess.run(["perl", "-MXBase", "-e", code, *args], capture_output=True, check=True)
    return out.stdout.decode("cp850")


def check_table(folder, live, deleted, step):
    dbf = os.path.join(folder, "Methods.dbf")
    table = dbfread.DBF(dbf, raw=True)
    check(table.encoding == "cp850", "%s: code page %s" % (step, table.encoding))
    check(table.header.mdx_flag == 1, "%s: production index flag not set" % step)
    rows = [{k: v.decode("cp850") for k, v in r.items()} for r in table]
    check(all(len(r["NAME"]) == 60 and len(r["PLACES"]) == 98 for r in rows),
          "%s: fields are not full width" % step)
    check(rows == [padded(r) for r in live], "%s: live records differ" % step)
    gone = [{k: v.decode("cp850") for k, v in r.items()} for r in table.deleted]
    check(gone == [padded(r) for r in deleted], "%s: deleted records differ" % step)

    # Perl trusts the header count where dbfread reads to the end marker: they must agree.
    count = perl('$t=XBase->new($ARGV[0]); $n=0; for $i (0..$t->last_record){($d)=$t->get_record($i); $n++ unless $d} print $n', dbf)
    check(int(count) == len(live), "%s: Perl counts %s live records" % (step, count))

    mdx = os.path.join(folder, "Methods.mdx")
    tags = subprocess.run(["index_dump", mdx], capture_output=True, check=True).stdout.decode().split()
    check(sorted(tags) == sorted(TAGS), "%s: index tags %s" % (step, tags))
    for tag, key in TAGS.items():
        walked = perl('$t=XBase->new($ARGV[0]); $c=$t->prepare_select_with_index([$ARGV[1],$ARGV[2]],"BELLS","NAME","PLACES","GROUP"); '
                      'while(@r=$c->fetch){print join("\\t",@r),"\\n"}', dbf, mdx, tag).splitlines()
        # Stable sort by key keeps equal keys in record order, as the index must.
        expected = sorted((padded(r) for r in live), key=key)
        expected = ["\t".join(v.rstrip() for v in (r["BELLS"], r["NAME"], r["PLACES"], r["GROUP"])) for r in expected]
        check(walked == expected, "%s: tag %s walks in another order" % (step, tag))

    # A soft seek through Perl's own tree walk lands where the sorted keys say.
    if live:
        keys = sorted(TAGS["NAME"](padded(r)) for r in live)
        probe = "8 L"
        first = next((k for k in keys if k >= probe), None)
        out = subprocess.run(["index_dump", "--start", probe, mdx, "NAME"], capture_output=True,
                             check=True).stdout.decode("cp850").splitlines()
        got = out[0][: len(first)] if out and first else None
        check(got == first, "%s: soft seek gave %r, expected %r" % (step, got, first))


with tempfile.TemporaryDirectory() as work:
    records = make_records()
    csv = os.path.join(work, "import.csv")
    write_import(records, csv)
    folder = os.path.join(work, "lib")
    doomed = [records[5], records[17]]
    names = ["%s:%s" % (r[0], r[1].upper()) for r in doomed]
    # Names repeat, so delete the first record of each name in NAME order.
    by_key = sorted(range(1, len(records)), key=lambda i: (TAGS["NAME"](padded(records[i])), i))
    deleted = []
    for r in doomed:
        i = next(i for i in by_key if records[i][0] == r[0] and records[i][1].upper() == r[1].upper()
                 and records[i] not in deleted)
        deleted.append(records[i])
    live = [r for r in records if r not in deleted]
    subprocess.run([FIXTURE, "make", folder, csv, *names], check=True)
    check_table(folder, live, deleted, "after making")
    subprocess.run([FIXTURE, "reopen", folder], check=True)
    check_table(folder, live, deleted, "after rebuilding the index")
    subprocess.run([FIXTURE, "pack", folder], check=True)
    check_table(folder, live, [], "after pack")
    subprocess.run([FIXTURE, "zap", folder], check=True)
    check_table(folder, [], [], "after zap")

print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
