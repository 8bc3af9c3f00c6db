#!/usr/bin/env python3
"""The work-unit merge written with pandas, as a yardstick for the merge tool:
   merge_pandas.py WUINFO SETILOG OUT

Reads a WUInfo.csv table and a SETILog export, keeps one row per work-unit name (the
export's reading wins over the table's), sorts by arrival time and writes OUT as CSV.
A SETILog row's arrival time is the date of the row before it; dates become Julian Dates.
"""
import sys

import pandas as pd

UNIX_EPOCH_JD = 2440587.5


def julian(dates):
    parsed = pd.to_datetime(dates, format="%Y/%m/%d %H:%M:%S", errors="coerce")
    return parsed.astype("int64") / 86400e9 + UNIX_EPOCH_JD


def main(wuinfo_path, setilog_path, out_path):
    table = pd.read_csv(wuinfo_path)
    log = pd.read_csv(setilog_path)
    log = log.rename(columns={"date": "Update", "g_fft_ind": "bg_fft_ind"})
    log = log.drop(columns=["version"])
    log["Update"] = julian(log["Update"])
    log["TimeStamp"] = log["Update"].shift(1)
    merged = pd.concat([table, log], ignore_index=True)
    merged = merged.drop_duplicates(subset="name", keep="last")
    merged = merged.sort_values("TimeStamp", kind="stable")
    merged.to_csv(out_path, index=False, columns=table.columns)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
