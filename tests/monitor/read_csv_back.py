#!/usr/bin/env python3
"""Reads a CSV of the Monitor (the one series_csv_test writes) back with Python's csv module and,
where it is installed, with pandas, and checks what a user of either gets. Exit status 1 and a
line per fault when something is wrong."""
import csv
import math
import sys

path = sys.argv[1]
faults = []


def check(ok, what):
    if not ok:
        faults.append(what)


CLOCK0, CLOCK1 = "CPU 0 effective clock (MHz)", "CPU 1 effective clock (MHz)"
CORE, POWER = "Core 0 temperature (\u00b0C)", "package-0 power (W)"
COLUMNS = ["time_s", CLOCK0, CLOCK1, CORE, POWER, "events"]

with open(path, newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f))
check(rows[0] == COLUMNS, "csv: the header is %r" % rows[0])
check(all(len(row) == len(COLUMNS) for row in rows), "csv: rows of other lengths: %r" % [len(r) for r in rows])
body = [dict(zip(rows[0], row)) for row in rows[1:]]
check([row["time_s"] for row in body] == ["1.0", "2.0", "3.0", "4.0"], "csv: times %r" % [r["time_s"] for r in body])
def number(text):
    try:
        return float(text)
    except ValueError:
        return None


for row in body:
    for column in COLUMNS[1:5]:
        check(row[column] == "" or number(row[column]) is not None,
              "csv: %s at %s is not a number: %r" % (column, row["time_s"], row[column]))
check(body[2][CLOCK1] == "", "csv: CPU 1 had no sample at 3 s, the cell is %r" % body[2][CLOCK1])
check(number(body[0][CLOCK0]) == 2401.0, "csv: CPU 0 at 1 s is %r" % body[0][CLOCK0])
check(body[2]["events"].startswith("error: worker 1 on processor 1 (core 1, package 0)")
      and "; throttling on package 0" in body[2]["events"], "csv: events at 3 s: %r" % body[2]["events"])

try:
    import pandas
except ImportError:
    pandas = None
if pandas is not None:
    frame = pandas.read_csv(path)
    check(list(frame.columns) == COLUMNS, "pandas: columns %r" % list(frame.columns))
    check(len(frame) == 4, "pandas: %d rows" % len(frame))
    for column in COLUMNS[:5]:
        check(frame[column].dtype.kind == "f", "pandas: %s is %s, not numbers" % (column, frame[column].dtype))
    check(math.isnan(frame[CLOCK1][2]) and math.isnan(frame[POWER][0]), "pandas: empty cells are not missing values")
    check(abs(frame[POWER].mean() - 37.04) < 0.01, "pandas: the mean power is %r" % frame[POWER].mean())
    check(frame["events"].notna().sum() == 1, "pandas: events %r" % list(frame["events"]))

for fault in faults:
    print("FAIL: " + fault)
print("read back with csv%s: %s" % (" and pandas" if pandas else "", "wrong" if faults else "as written"))
sys.exit(1 if faults else 0)
