#!/usr/bin/env python3
"""Times tallemo-convert against the plain Python script bench/plain-rows.py, side by side.

For each kind it generates a statement of ENTRIES entries (tallemo-make-statement; for the kinds
of the shipped rules files, such as card-mail-line, this script writes the mail itself), runs the
script and the companion alternately, checks that their rows are byte-identical, and prints for
each the fastest of the runs in wall time and in CPU time (user and system) with the two ratios
side by side, the medians, and the companion's peak resident memory per byte of input (from
/usr/bin/time). On a machine that others share, the CPU ratio is the steadier one: the fastest run
is the one the others disturbed least. With --linearity it times the companion alone on
10,000, 100,000 and 1,000,000 entries instead. Run by hand; it prints figures and fails only when
the rows differ.

    bench/compare-with-script.py [--build DIR] [--entries N] [--runs R] [--kinds card,coop]
                                 [--linearity]
"""
import argparse
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
KINDS = ["card", "domestic", "foreign", "view", "coop", "card-mail-line", "card-csv", "vpass-csv"]
# Kinds read from the rules files that come with the program: their statements are made here.
RULES_KINDS = {"card-mail-line", "card-csv", "vpass-csv"}
DATE = "2025/01/15"
RATE = "155.576923076923"


def companion_arguments(kind):
    if kind in ("domestic", "foreign"):
        extra = ["--date", DATE] + (["--rate", RATE] if kind == "foreign" else [])
    elif kind in ("view", "coop"):
        extra = ["--no-remark"]
    else:
        extra = []
    return extra


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(command, output_path):
    """Wall seconds, peak resident kilobytes and CPU seconds (user and system, to the
    microsecond) of one run, its output in output_path."""
    with open(output_path, "wb") as out:
        cpu_before = children_cpu()
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=out,
                              stderr=subprocess.PIPE, check=False)
        wall = time.perf_counter() - start
        cpu = children_cpu() - cpu_before
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed: {done.stderr.decode(errors='replace')}")
    peak_kib = done.stderr.decode().strip().splitlines()[-1]
    return wall, int(peak_kib), cpu


def mail_line_statement(entries):
    """A card-usage notification mail of the one-line shape, with shops of several scripts."""
    shops = ["SAMPLE STORE {}", "ｻﾝﾌﾟﾙｺｰﾋｰ 渋谷{}号店", "ファミリーマート {}", "AMAZON.CO.JP"]
    lines = ["カードご利用のお知らせ", "", "ご利用日      ご利用先      ご利用金額"]
    for i in range(entries):
        shop = shops[i % len(shops)].format(i)
        amount = f"{100 + (i * 37) % 900000:,}"
        lines.append(f"2024/{1 + i % 12}/{1 + i % 28:02d}    {shop}    {amount}円｜ "
                     f"支払月：2025/01 ｜ 利用者：{'本人' if i % 3 else '家族'}")
    lines += ["", "合計    9,999円"]
    return ("\r\n".join(lines) + "\r\n").encode("utf-8")


def card_csv_statement(entries):
    """The card company's CSV of the closed month: UTF-8 with a byte-order mark, every field
    quoted, a foreign usage followed by the line with its local amount and rate."""
    shops = ["ｾﾌﾞﾝｲﾚﾌﾞﾝ", "楽天市場, ショップ \"\"{}\"\"", "AMAZON WEB SERVICES", "ﾄﾞｺﾓ ｹｰﾀｲ {}"]
    lines = ['"利用日","利用店名・商品名","利用者","支払方法","利用金額","支払手数料","支払総額",'
             '"7月支払金額","8月繰越残高","新規サイン"']
    for i in range(entries):
        shop = shops[i % len(shops)].format(i)
        amount = 100 + (i * 37) % 90000
        lines.append(f'"2024/{1 + i % 12}/{1 + i % 28:02d}","{shop}","本人","1回払い","{amount}",'
                     f'"0","{amount}","{amount}","0","*"')
        if i % 10 == 9:
            lines.append('"","現地利用額 10.00 USD 換算レート 152.300","","","","","","","",""')
    return b"\xef\xbb\xbf" + ("\r\n".join(lines) + "\r\n").encode("utf-8")


def vpass_csv_statement(entries):
    """The VISA group's CSV: Shift_JIS, a holder line before each card's usages, a total."""
    shops = ["セブン－イレブン", "ＡＭＡＺＯＮ．ＣＯ．ＪＰ", "㈱ニホンコウクウ　①", "ファミリーマート／ｉＤ"]
    lines = []
    for i in range(entries):
        if i % 50 == 0:
            lines.append(f"山田　太郎　様,4980-00**-****-{1000 + i // 50 % 9000},ＶＩＳＡ")
        amount = 100 + (i * 37) % 90000
        lines.append(f"2024/{1 + i % 12}/{1 + i % 28},{shops[i % len(shops)]},{amount},１,１,"
                     f"{amount},")
    lines.append(",,,,,123456")
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


RULES_STATEMENTS = {"card-mail-line": mail_line_statement, "card-csv": card_csv_statement,
                    "vpass-csv": vpass_csv_statement}


def statement_of(make_statement, workdir, kind, entries):
    statement = os.path.join(workdir, f"{kind}-{entries}.txt")
    if not os.path.exists(statement):
        with open(statement, "wb") as out:
            if kind in RULES_KINDS:
                out.write(RULES_STATEMENTS[kind](entries))
            else:
                subprocess.run([make_statement, kind, str(entries)], stdout=out, check=True)
    return statement


def linearity(options, companion, make_statement, workdir):
    sizes = [10000, 100000, 1000000]
    print(f"companion wall (and CPU) seconds, median of {options.runs} runs, and the growth")
    print(f"{'kind':<9}" + "".join(f"{n:>18}" for n in sizes) + f"{'100k/10k':>10}"
          f"{'1M/100k':>9}{'1M/10k':>8}")
    for kind in options.kinds.split(","):
        walls, cpus = [], []
        for entries in sizes:
            statement = statement_of(make_statement, workdir, kind, entries)
            out = os.path.join(workdir, f"{kind}.tallemo.rows")
            runs = [timed([companion, kind, statement] + companion_arguments(kind), out)
                    for _ in range(options.runs)]
            walls.append(statistics.median(run[0] for run in runs))
            cpus.append(statistics.median(run[2] for run in runs))
        print(f"{kind:<9}" + "".join(f"{w:9.3f} ({c:5.2f})" for w, c in zip(walls, cpus))
              + f"{walls[1] / walls[0]:10.1f}{walls[2] / walls[1]:9.1f}"
              f"{walls[2] / walls[0]:8.0f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build-release"))
    parser.add_argument("--companion", help="tallemo-convert to time (default: the build's)")
    parser.add_argument("--entries", type=int, default=300000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--kinds", default=",".join(KINDS))
    parser.add_argument("--workdir", help="where the statements and outputs go (default: a "
                        "temporary folder)")
    parser.add_argument("--linearity", action="store_true",
                        help="time the companion alone at 10k, 100k and 1M entries")
    options = parser.parse_args()

    companion = options.companion or os.path.join(options.build, "src", "tallemo-convert")
    make_statement = os.path.join(options.build, "bench", "tallemo-make-statement")
    workdir = options.workdir or tempfile.mkdtemp(prefix="tallemo-compare-")
    os.makedirs(workdir, exist_ok=True)

    if options.linearity:
        linearity(options, companion, make_statement, workdir)
        return

    print(f"{options.entries} entries, fastest of {options.runs} alternating runs (seconds)")
    print(f"{'kind':<15} {'MB':>6} {'python wall':>11} {'tallemo wall':>12} {'ratio':>6} "
          f"{'python CPU':>10} {'tallemo CPU':>11} {'ratio':>6} {'peak MB':>8} "
          f"{'bytes/byte':>10}")
    identical = True
    summary = []
    for kind in options.kinds.split(","):
        statement = statement_of(make_statement, workdir, kind, options.entries)
        size = os.path.getsize(statement)
        script_out = os.path.join(workdir, f"{kind}.python.rows")
        tallemo_out = os.path.join(workdir, f"{kind}.tallemo.rows")
        script = [sys.executable, os.path.join(HERE, "plain-rows.py"), kind, statement, DATE,
                  RATE]
        tallemo = [companion, kind, statement] + companion_arguments(kind)

        script_walls, tallemo_walls, script_peaks, tallemo_peaks = [], [], [], []
        script_cpus, tallemo_cpus = [], []
        for _ in range(options.runs):
            wall, peak, cpu = timed(script, script_out)
            script_walls.append(wall)
            script_peaks.append(peak)
            script_cpus.append(cpu)
            wall, peak, cpu = timed(tallemo, tallemo_out)
            tallemo_walls.append(wall)
            tallemo_peaks.append(peak)
            tallemo_cpus.append(cpu)

        with open(script_out, "rb") as a, open(tallemo_out, "rb") as b:
            same = a.read() == b.read()
        identical &= same
        peak = max(tallemo_peaks) * 1024
        wall_ratio = min(script_walls) / min(tallemo_walls)
        cpu_ratio = min(script_cpus) / min(tallemo_cpus)
        summary.append(f"{kind} {wall_ratio:.1f}x wall, {cpu_ratio:.1f}x CPU")
        print(f"{kind:<15} {size / 1e6:6.1f} {min(script_walls):11.3f} {min(tallemo_walls):12.3f} "
              f"{wall_ratio:5.1f}x {min(script_cpus):10.3f} {min(tallemo_cpus):11.3f} "
              f"{cpu_ratio:5.1f}x {peak / 1e6:8.1f} {peak / size:10.2f}"
              + ("" if same else "   ROWS DIFFER"))
        print(f"{'':<15} medians: wall {statistics.median(script_walls):.3f} against "
              f"{statistics.median(tallemo_walls):.3f} "
              f"({statistics.median(script_walls) / statistics.median(tallemo_walls):.1f}x), "
              f"CPU {statistics.median(script_cpus):.3f} against "
              f"{statistics.median(tallemo_cpus):.3f} "
              f"({statistics.median(script_cpus) / statistics.median(tallemo_cpus):.1f}x); "
              f"python peak {max(script_peaks) / 1024:.1f} MB")
        print(f"{'':<15} CPU ratio per run: "
              + " ".join(f"{s / t:.1f}" for s, t in zip(script_cpus, tallemo_cpus)))
    print("fastest runs: " + " | ".join(summary))
    if not identical:
        sys.exit("the rows differ; the outputs are in " + workdir)


if __name__ == "__main__":
    main()
