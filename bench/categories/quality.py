#!/usr/bin/python3
"""How much hand work the categories matcher leaves, against a text classifier.

Two data sets of rows (date, description, cell 3, cell 4, amount):
  household: 24 months made up here: chains with many branches and store numbers, width and
             dash variants, shops whose category the user varies, a shop whose category the user
             changed, shops first seen late, the user's own slips. 18 months learned, 6 filled.
  beancount: the ledger of Debian's bean-example: payee, the expense account's part after
             "Expenses:" and the rest, amount; payslips (one payee over several expense
             accounts) left out. The last year filled, the years before learned.

The work left to the user is: empty pairs + 3 x wrong pairs. The yardstick is scikit-learn's
TfidfVectorizer(analyzer='char_wb', ngram_range=(1, 3)) on the NFKC-folded description with
LinearSVC, which always answers.

The matcher's threshold, half-life and word-evidence weight, and the threshold of a guess made
by the amount alone (a shop none of whose words was seen), are chosen on the learning months
alone (each of their last three sixths filled after learning the months before it); the
held-out months are only reported.

  bench/categories/quality.py BUILD_DIR [THRESHOLD HALF_LIFE WORD_WEIGHT AMOUNT_THRESHOLD]
                              [--seeds=1,2,3]

With the four settings (the program's defaults, say) they are used instead of the chosen ones.
--seeds also fills the ledgers the example generator makes with other seeds, with those settings
(or the program's), and the held-out year of each with and without the guesses by amount: a
check that the method is no fit to one ledger.
"""

import os
import random
import subprocess
import sys
import tempfile
import unicodedata
from datetime import date, timedelta


def ensure_packages():
    # Debian's packages are there for Debian's Python only, not for another one first in PATH.
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and \
            os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    missing = []
    try:
        import sklearn  # noqa: F401
    except ImportError:
        missing.append("python3-sklearn")
    try:
        import beancount  # noqa: F401
    except ImportError:
        missing.append("python3-beancount")
    if missing:
        print("installing", " ".join(missing), file=sys.stderr)
        prefix = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run(prefix + ["apt-get", "install", "-y", "--no-install-recommends"] + missing,
                       check=True)


# ---- household data of our own making ----

HALF_KANA = dict(zip(
    "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲンァィゥェォッャュョー",
    "ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝｧｨｩｪｫｯｬｭｮｰ"))
VOICED = {"ガ": "ｶﾞ", "ギ": "ｷﾞ", "グ": "ｸﾞ", "ゲ": "ｹﾞ", "ゴ": "ｺﾞ", "ザ": "ｻﾞ", "ジ": "ｼﾞ",
          "ズ": "ｽﾞ", "ゼ": "ｾﾞ", "ゾ": "ｿﾞ", "ダ": "ﾀﾞ", "デ": "ﾃﾞ", "ド": "ﾄﾞ", "バ": "ﾊﾞ",
          "ビ": "ﾋﾞ", "ブ": "ﾌﾞ", "ベ": "ﾍﾞ", "ボ": "ﾎﾞ", "パ": "ﾊﾟ", "ピ": "ﾋﾟ", "プ": "ﾌﾟ",
          "ペ": "ﾍﾟ", "ポ": "ﾎﾟ", "ヴ": "ｳﾞ"}


def half_width(text, rng):
    """A card statement's spelling: half-width kana and ASCII, a hyphen now and then for ー."""
    out = []
    for c in text:
        if c in VOICED:
            out.append(VOICED[c])
        elif c == "ー" and rng.random() < 0.5:
            out.append("-")
        elif c in HALF_KANA:
            out.append(HALF_KANA[c])
        else:
            out.append(c)
    return "".join(out)


def full_width(text):
    return "".join(chr(ord(c) + 0xFEE0) if "!" <= c <= "~" else ("　" if c == " " else c)
                   for c in text)


BRANCHES = ["町田", "渋谷", "新宿", "相模大野", "横浜", "立川", "八王子", "町田駅前", "南町田",
            "鶴川", "中央林間", "玉川学園", "淵野辺", "橋本", "溝の口", "二子玉川", "池袋",
            "吉祥寺", "武蔵小杉", "登戸"]

C = {
    "conv": ("食費", "コンビニ"), "super": ("食費", "スーパー"), "eat": ("食費", "外食"),
    "cafe": ("食費", "カフェ"), "drug": ("日用品", "ドラッグストア"), "mail": ("日用品", "通販"),
    "book": ("娯楽", "本"), "train": ("交通費", "電車"), "gas": ("車", "ガソリン"),
    "elec": ("水道光熱費", "電気"), "gasu": ("水道光熱費", "ガス"), "water": ("水道光熱費", "水道"),
    "phone": ("通信費", "携帯"), "net": ("通信費", "インターネット"), "doctor": ("医療費", "病院"),
    "medic": ("医療費", "薬"), "clothes": ("衣服", "衣料品"), "furn": ("住居", "家具"),
    "lesson": ("教養", "習い事"), "gift": ("交際費", "プレゼント"), "sport": ("娯楽", "運動"),
    "health": ("健康", "ジム"), "movie": ("娯楽", "映画"), "park": ("車", "駐車場"),
    "insure": ("保険", "自動車保険"), "sub": ("娯楽", "サブスク"), "hair": ("美容", "理容"),
}

# name, {category: weight}, rows a month, branches?, store numbers?, first month, style
SHOPS = [
    ("ローソン", {"conv": 1}, 8, True, True, 1, "kana"),
    ("セブン-イレブン", {"conv": 1}, 7, True, True, 1, "kana"),
    ("ファミリーマート", {"conv": 1}, 5, True, True, 1, "kana"),
    ("イオン", {"super": 1}, 4, True, False, 1, "kana"),
    ("西友", {"super": 1}, 3, True, False, 1, "kanji"),
    ("ライフ", {"super": 1}, 3, True, False, 1, "kana"),
    ("マルエツ", {"super": 1}, 2, True, False, 1, "kana"),
    ("オーケーストア", {"super": 1}, 2, True, False, 1, "kana"),
    ("マツモトキヨシ", {"drug": 1}, 2, True, True, 1, "kana"),
    ("ウエルシア", {"drug": 0.85, "medic": 0.15}, 2, True, True, 1, "kana"),
    ("スギ薬局", {"drug": 1}, 1, True, False, 1, "kanji"),
    ("スターバックス", {"cafe": 1}, 4, True, True, 1, "kana"),
    ("ドトールコーヒー", {"cafe": 1}, 2, True, False, 1, "kana"),
    ("マクドナルド", {"eat": 1}, 2, True, True, 1, "kana"),
    ("すき家", {"eat": 1}, 1, True, True, 1, "kanji"),
    ("松屋", {"eat": 1}, 1, True, False, 1, "kanji"),
    ("サイゼリヤ", {"eat": 1}, 1, True, False, 1, "kana"),
    ("ENEOS", {"gas": 1}, 2, True, True, 1, "ascii"),
    ("出光", {"gas": 1}, 1, True, False, 1, "kanji"),
    ("AMAZON.CO.JP", {"mail": 0.55, "book": 0.45}, 6, False, False, 1, "ascii"),
    ("楽天市場", {"mail": 0.7, "gift": 0.3}, 2, False, False, 1, "kanji"),
    ("東京電力", {"elec": 1}, 1, False, False, 1, "kanji"),
    ("東京ガス", {"gasu": 1}, 1, False, False, 1, "kanji"),
    ("町田市水道", {"water": 0.5}, 1, False, False, 1, "kanji"),
    ("NTTドコモ", {"phone": 1}, 1, False, False, 1, "ascii"),
    ("ソフトバンク光", {"net": 1}, 1, False, False, 1, "kana"),
    ("JR東日本 モバイルSUICA", {"train": 1}, 3, False, False, 1, "ascii"),
    ("小田急電鉄", {"train": 1}, 2, False, False, 1, "kanji"),
    ("紀伊國屋書店", {"book": 1}, 1, True, False, 1, "kanji"),
    ("ユニクロ", {"clothes": 1}, 1, True, False, 1, "kana"),
    ("ニトリ", {"furn": 0.5, "drug": 0.5}, 1, True, False, 1, "kana"),
    ("町田内科クリニック", {"doctor": 1}, 0.5, False, False, 1, "kanji"),
    ("タイムズ", {"park": 1}, 1, True, True, 1, "kana"),
    ("NETFLIX.COM", {"sub": 1}, 1, False, False, 1, "ascii"),
    ("ヤマハ音楽教室", {"lesson": 1}, 1, False, False, 1, "kana"),
    ("QBハウス", {"hair": 1}, 0.7, True, False, 1, "ascii"),
    ("TOHOシネマズ", {"movie": 1}, 0.5, True, False, 1, "ascii"),
    ("東京海上日動", {"insure": 1}, 0.1, False, False, 1, "kanji"),
    # shops first seen late
    ("コメダ珈琲店", {"cafe": 1}, 2, True, False, 17, "kanji"),
    ("業務スーパー", {"super": 1}, 2, True, False, 19, "kanji"),
    ("ミニストップ", {"conv": 1}, 2, True, True, 21, "kana"),
    ("ツルハドラッグ", {"drug": 1}, 1, True, False, 22, "kana"),
    ("UBER EATS", {"eat": 1}, 2, False, False, 20, "ascii"),
]
# The user moved the gym from sport to health in month 10.
GYM = ("エニタイムフィットネス", 1, "kana")
SLIP_RATE = 0.03
ONE_OFFS = ["居酒屋 かまくら", "ホテル ニューオータニ", "ヨドバシカメラ", "ビックカメラ",
            "無印良品", "ダイソー", "セリア", "カインズ", "コーナン", "ロフト", "東急ハンズ",
            "IKEA", "COSTCO", "PAYPAY*ヤキトリ", "SQ*ベーカリー"]


def spelled(name, style, rng, branches, numbers):
    text = name
    if style == "kana" and rng.random() < 0.4:
        text = half_width(text, rng)
    elif style == "ascii" and rng.random() < 0.2:
        text = full_width(text)
    elif style == "kanji" and rng.random() < 0.2:
        text = half_width(text, rng)
    if branches and rng.random() < 0.85:
        branch = rng.choice(BRANCHES)
        text += (" " if rng.random() < 0.5 else "　") + branch + ("店" if rng.random() < 0.5 else "")
    if numbers and rng.random() < 0.7:
        text += " " + str(rng.randrange(100, 99999))
    return text


def household(seed=7):
    rng = random.Random(seed)
    start = date(2023, 1, 1)
    rows = []  # (month, date, description, cell3, cell4, amount)
    cats = list(C.values())
    for month in range(1, 25):
        first = date(start.year + (month - 1) // 12, (month - 1) % 12 + 1, 1)
        def day():
            return first + timedelta(days=rng.randrange(28))
        for name, choice_weights, per_month, branches, numbers, since, style in SHOPS:
            if month < since:
                continue
            count = int(per_month) + (1 if rng.random() < per_month - int(per_month) else 0)
            for _ in range(count):
                keys = list(choice_weights)
                category = C[rng.choices(keys, [choice_weights[k] for k in keys])[0]]
                rows.append((month, day(), spelled(name, style, rng, branches, numbers),
                             category, rng.randrange(100, 20000)))
        gym = C["sport"] if month < 10 else C["health"]
        rows.append((month, day(), spelled(GYM[0], GYM[2], rng, False, False), gym, 7800))
        for _ in range(3):
            rows.append((month, day(), rng.choice(ONE_OFFS) + " " + rng.choice(BRANCHES),
                         rng.choice(cats), rng.randrange(300, 30000)))
    out = []
    for month, when, description, (cell3, cell4), amount in rows:
        # The user's own slips, in the months they typed by hand.
        if month <= 18 and rng.random() < SLIP_RATE:
            cell3, cell4 = rng.choice(cats)
        out.append((month, when, description, cell3, cell4, amount))
    out.sort(key=lambda r: r[1])
    return out


# ---- the beancount example ledger ----

PROGRAM_SETTINGS = (0.55, 90, 4, 0.9)


def beancount_rows(folder, seed=7):
    ledger = os.path.join(folder, "example.beancount")
    # bean-example's own code: the command itself is in Debian's beancount package, the module in
    # python3-beancount.
    script = ("import sys; from beancount.scripts import example; sys.argv[0] = 'bean-example'; "
              "example.main()")
    subprocess.run(["/usr/bin/python3", "-c", script, "--date-begin", "2022-01-01",
                    "--date-end", "2025-01-01", "--seed", str(seed), "-o", ledger],
                   stderr=subprocess.DEVNULL, check=True)
    from beancount import loader
    from beancount.core import data
    entries, _, _ = loader.load_file(ledger)
    rows = []
    for entry in entries:
        if not isinstance(entry, data.Transaction):
            continue
        expenses = [p for p in entry.postings if p.account.startswith("Expenses:")]
        if len(expenses) != 1:
            continue  # payslips and other splits
        parts = expenses[0].account.split(":")[1:]
        description = entry.payee or entry.narration
        if not description:
            continue
        amount = int(round(float(expenses[0].units.number)))
        month = (entry.date.year - 2022) * 12 + entry.date.month
        rows.append((month, entry.date, description, parts[0], ":".join(parts[1:]), amount))
    return rows


# ---- measuring ----

def sheet(rows, with_cells=True):
    lines = []
    for _, when, description, cell3, cell4, amount in rows:
        cells = (cell3, cell4) if with_cells else ("", "")
        lines.append("%s\t%s\t%s\t%s\t%d" % (when.strftime("%Y/%m/%d"), description,
                                             cells[0], cells[1], amount))
    return "\n".join(lines) + "\n"


def tallemo_guesses(tool, learn, query, half_life, prior, folder):
    learn_file = os.path.join(folder, "learn.tsv")
    query_file = os.path.join(folder, "query.tsv")
    with open(learn_file, "w") as file:
        file.write(sheet(learn))
    with open(query_file, "w") as file:
        file.write(sheet(query, with_cells=False))
    out = subprocess.run([tool, learn_file, query_file, str(half_life), str(prior)],
                         capture_output=True,
                         text=True, check=True).stdout
    guesses = []
    for line in out.splitlines():
        cell3, cell4, sureness, basis = line.split("\t")
        guesses.append(((cell3, cell4), float(sureness), basis))
    return guesses


def fold(text):
    return unicodedata.normalize("NFKC", text).casefold()


def classifier_answers(learn, query):
    from sklearn.feature_extraction.text import TfidfVectorizer
    from sklearn.svm import LinearSVC
    vectorizer = TfidfVectorizer(analyzer="char_wb", ngram_range=(1, 3))
    x = vectorizer.fit_transform([fold(r[2]) for r in learn])
    labels = [r[3] + "\t" + r[4] for r in learn]
    model = LinearSVC()
    model.fit(x, labels)
    return [tuple(label.split("\t")) for label in model.predict(
        vectorizer.transform([fold(r[2]) for r in query]))]


def score(query, answers, guesses=None, threshold=None, amount_threshold=None):
    right = wrong = filled = 0
    for k, row in enumerate(query):
        truth = (row[3], row[4])
        if guesses is not None:
            cells, sureness, basis = guesses[k]
            if not cells[0] and not cells[1] or \
                    sureness < (amount_threshold if basis == "amount" else threshold):
                continue
        else:
            cells = answers[k]
        filled += 1
        if cells == truth:
            right += 1
        else:
            wrong += 1
    empty = len(query) - filled
    return {"rows": len(query), "filled": filled, "right": right, "wrong": wrong,
            "work": empty + 3 * wrong}


THRESHOLDS = [0.3, 0.4, 0.5, 0.55, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.9, 0.95]
HALF_LIVES = [0, 90, 180, 365]
PRIORS = [0.5, 1, 2, 4, 8]
# Above 1: never by the amount alone.
AMOUNT_THRESHOLDS = [0.5, 0.6, 0.7, 0.8, 0.9, 0.95, 0.99, 1.01]


def choose_settings(tool, rows, learn_months, folder):
    """Threshold, half-life and word-evidence weight chosen on the learning months only: each of the last three
    sixths of them filled after learning the months before it, the work summed."""
    sixth = max(learn_months // 6, 1)
    folds = []
    for end in (learn_months - 2 * sixth, learn_months - sixth, learn_months):
        folds.append(([r for r in rows if r[0] <= end - sixth],
                      [r for r in rows if end - sixth < r[0] <= end]))
    work = {}
    for half_life in HALF_LIVES:
        for prior in PRIORS:
            for fold_learn, fold_query in folds:
                guesses = tallemo_guesses(tool, fold_learn, fold_query, half_life, prior, folder)
                for threshold in THRESHOLDS:
                    for amount_threshold in AMOUNT_THRESHOLDS:
                        key = (threshold, half_life, prior, amount_threshold)
                        work[key] = work.get(key, 0) + score(fold_query, None, guesses, threshold,
                                                             amount_threshold)["work"]
    # The least work; among equals the most cautious amount threshold, then the lowest others.
    return min(work, key=lambda key: (work[key], -key[3], key))


def report(name, tool, rows, learn_months, folder, settings=None):
    learn = [r for r in rows if r[0] <= learn_months]
    query = [r for r in rows if r[0] > learn_months]
    chosen = choose_settings(tool, rows, learn_months, folder)
    threshold, half_life, prior, amount_threshold = settings or chosen
    guesses = tallemo_guesses(tool, learn, query, half_life, prior, folder)
    ours = score(query, None, guesses, threshold, amount_threshold)
    theirs = score(query, classifier_answers(learn, query))
    print(f"\n## {name}: {len(learn)} rows learned, {len(query)} held out "
          f"(chosen on the learning months: threshold {chosen[0]}, half-life {chosen[1]} days, "
          f"word-evidence weight {chosen[2]}, amount threshold {chosen[3]}"
          + (f"; run with threshold {threshold}, half-life {half_life}, word-evidence weight {prior}"
             f", amount threshold {amount_threshold}" if settings else "")
          + ")")
    print("| rows | filled | right | wrong | work | classifier right | classifier wrong "
          "| classifier work | work / classifier's |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    print(f"| {ours['rows']} | {ours['filled']} | {ours['right']} | {ours['wrong']} | "
          f"{ours['work']} | {theirs['right']} | {theirs['wrong']} | {theirs['work']} | "
          f"{ours['work'] / max(theirs['work'], 1):.2f} |")
    print("\nthreshold curve (held-out months):")
    print("| threshold | filled | right | wrong | work | work / classifier's |")
    print("|---:|---:|---:|---:|---:|---:|")
    for t in THRESHOLDS:
        s = score(query, None, guesses, t, amount_threshold)
        print(f"| {t} | {s['filled']} | {s['right']} | {s['wrong']} | {s['work']} | "
              f"{s['work'] / max(theirs['work'], 1):.2f} |")
    print("\namount threshold curve (held-out months; filled by the amount alone):")
    print("| amount threshold | by amount | right | wrong | work | work / classifier's |")
    print("|---:|---:|---:|---:|---:|---:|")
    by_amount = [k for k, g in enumerate(guesses) if g[2] == "amount"]
    for t in AMOUNT_THRESHOLDS:
        s = score(query, None, guesses, threshold, t)
        part = score([query[k] for k in by_amount], None, [guesses[k] for k in by_amount], 0, t)
        print(f"| {t} | {part['filled']} | {part['right']} | {part['wrong']} | {s['work']} | "
              f"{s['work'] / max(theirs['work'], 1):.2f} |")
    return ours["work"] / max(theirs["work"], 1)


def other_seeds(tool, seeds, folder, settings):
    threshold, half_life, prior, amount_threshold = settings
    print(f"\n## beancount example, other seeds (threshold {threshold}, half-life {half_life} days, "
          f"word-evidence weight {prior}, amount threshold {amount_threshold})")
    print("| seed | rows | filled by amount | right | wrong | work | work without | "
          "classifier work | work / classifier's | without / classifier's |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    sums = [0, 0, 0]
    for seed in seeds:
        rows = beancount_rows(folder, seed)
        learn = [r for r in rows if r[0] <= 24]
        query = [r for r in rows if r[0] > 24]
        guesses = tallemo_guesses(tool, learn, query, half_life, prior, folder)
        ours = score(query, None, guesses, threshold, amount_threshold)
        without = score(query, None, guesses, threshold, 2)
        by_amount = [k for k, g in enumerate(guesses) if g[2] == "amount"]
        part = score([query[k] for k in by_amount], None, [guesses[k] for k in by_amount], 0,
                     amount_threshold)
        theirs = score(query, classifier_answers(learn, query))
        for k, value in enumerate((ours["work"], without["work"], theirs["work"])):
            sums[k] += value
        print(f"| {seed} | {len(query)} | {part['filled']} | {part['right']} | {part['wrong']} | "
              f"{ours['work']} | {without['work']} | {theirs['work']} | "
              f"{ours['work'] / max(theirs['work'], 1):.2f} | "
              f"{without['work'] / max(theirs['work'], 1):.2f} |")
    print(f"| all | | | | | {sums[0]} | {sums[1]} | {sums[2]} | "
          f"{sums[0] / max(sums[2], 1):.2f} | {sums[1] / max(sums[2], 1):.2f} |")


def main():
    arguments = [a for a in sys.argv[1:] if not a.startswith("--seeds=")]
    seeds = [int(s) for a in sys.argv[1:] if a.startswith("--seeds=")
             for s in a.split("=", 1)[1].split(",")]
    if not arguments:
        sys.exit(__doc__)
    build = arguments[0]
    settings = None
    if len(arguments) == 5:
        settings = tuple(float(value) for value in arguments[1:5])
    ensure_packages()
    tool = os.path.join(build, "bench", "tallemo-category-guess")
    with tempfile.TemporaryDirectory() as folder:
        report("household", tool, household(), 18, folder, settings)
        report("beancount example", tool, beancount_rows(folder), 24, folder, settings)
        if seeds:
            other_seeds(tool, seeds, folder, settings or PROGRAM_SETTINGS)


if __name__ == "__main__":
    main()
