#!/usr/bin/env python3
"""The rows of a statement as a user would script them: read the file, splitlines(), loop, join,
print. Written for the generated statements of tallemo-make-statement, to time tallemo-convert
against (see compare-with-script.py); it knows none of the window's edge cases.

    plain-rows.py KIND FILE [DATE RATE]
"""
import os
import re
import sys
import tomllib

kind, path = sys.argv[1], sys.argv[2]
date = sys.argv[3] if len(sys.argv) > 3 else "2025/01/15"
rate = float(sys.argv[4]) if len(sys.argv) > 4 else 155.576923076923

rows = []
if kind in ("card-csv", "vpass-csv"):
    # The card companies' CSV files, with the csv module: card-csv by its header's column names,
    # vpass-csv by column number; lines whose date holds no digit give no row.
    import csv
    encoding = "utf-8-sig" if kind == "card-csv" else "cp932"
    with open(path, encoding=encoding, newline="") as f:
        records = csv.reader(f)
        if kind == "card-csv":
            header = next(records)
            day, shop, amount = (header.index(name) for name in ("利用日", "利用店名・商品名", "利用金額"))
        else:
            day, shop, amount = 0, 1, 2
        for record in records:
            if len(record) > amount and any(c.isdigit() for c in record[day]):
                year, month, date_of_month = record[day].split("/")
                rows.append(f"{year}/{int(month):02d}/{int(date_of_month):02d}\t{record[shop]}"
                            f"\t\t\t{int(record[amount].replace(',', ''))}")
    sys.stdout.buffer.write("".join(row + "\r\n" for row in rows).encode("utf-8"))
    sys.exit(0)

with open(path, encoding="utf-8") as f:
    lines = f.read().splitlines()

if kind == "card":
    for i, line in enumerate(lines):
        if line.startswith("支払方法") and i > 0:
            day, shop, amount = lines[i - 1].split("\t", 2)
            rows.append(f"{day}\t{shop}\t\t\t{amount}".replace(" 円", ""))
elif kind == "domestic":
    row = ""
    for line in lines:
        if line.startswith("銘柄名"):
            row = f"{date}\t配当国内\t{line[10:]}\t\t"
        elif line.startswith("入金額"):
            rows.append(f"{row}-{line[10:-1]}")
            row = ""
elif kind == "foreign":
    for i, line in enumerate(lines):
        if line.startswith("入金額"):
            yen = round(float(line[4:-4]) * rate)
            rate = round(rate * 10) / 10
            rows.append(f"{date}\t配当米国\t{lines[i - 3]}\t\t-{yen}\t{rate:.15g}")
elif kind == "view":
    i = 0
    while i <= len(lines) - 4:
        if len(lines[i]) == 4 and lines[i].isdigit():
            month_day, shop, _ = lines[i + 1].split("\t", 2)
            rows.append(f"{lines[i]}/{month_day[:5]}\t{shop}\t\t\t{lines[i + 2]}")
            i += 2
        i += 1
elif kind == "coop":
    for line in lines:
        if line.startswith("20"):
            day, item, amount = line.split("\t", 2)
            rows.append(f"{day}\t{item}\t\t\t{amount.replace(' 円', '', 1)}")
elif kind == "card-mail-line":
    # The very pattern of the shipped rules file, so that both sides match the same language
    # (the file's pattern grows with the shared date and amount syntax), with RE2's \x{…} written
    # as re's \u… and re's classes ASCII as RE2's are.
    rules = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "kinds",
                         "card-mail-line.toml")
    with open(rules, "rb") as f:
        pattern = tomllib.load(f)["entry"][0]
    pattern = re.sub(r"\\x\{([0-9A-Fa-f]{1,4})\}", lambda m: f"\\u{int(m[1], 16):04x}", pattern)
    usage = re.compile(pattern, re.ASCII)
    for line in lines:
        match = usage.fullmatch(line)
        if match:
            year, month, day = match["date"].split("/")
            amount = match["amount"].replace(",", "")
            rows.append(f"{year}/{int(month):02d}/{int(day):02d}\t{match['shop'].strip()}"
                        f"\t\t\t{amount}")
else:
    sys.exit(f"unknown kind {kind}")

sys.stdout.buffer.write("".join(row + "\r\n" for row in rows).encode("utf-8"))
