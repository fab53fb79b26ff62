#!/usr/bin/env python3
"""Plans the translation units that scripts/lint.sh gives clang-tidy.

clang-tidy 14 parses Qt's and GoogleTest's headers anew for every file and runs every check's
matchers over them: about 5 s of CPU for even the smallest test file, of which the test's own
code is a fraction. The test files of one test program share their compile command, so they are
read in batches here: one generated file that includes a few of them, with their program's
command, and HeaderFilterRegex shows the findings in the included files as it shows those in the
project's headers. The static analyzer skips functions outside the main file, which is why only
tests/ is batched: the analyzer is off there (tests/.clang-tidy), while src/, bench/ and fuzz/
keep one unit per file. A batch whose files clash (two anonymous namespaces defining one name)
does not compile; lint.sh then reads its files one by one, so a clash costs time, never a finding.

clang-tidy reads no precompiled header of GCC's, so every unit's command is taken without the one
CMake gives the build (lint-db/ beside the batches' database holds the single files' commands).
Without it, a file that uses a header it does not include fails here, as it would in a build
with CMAKE_DISABLE_PRECOMPILE_HEADERS.

    scripts/lint-units.py BUILD_DIR FILE...

Prints one unit per line, "COMPILE_DB_DIR FILE [MEMBER...]": a file of the project with the
directory of its build's commands (BUILD_DIR/lint-db), or a batch with the directory of the
generated database and its members.
"""
import json
import os
import shlex
import sys

# Sources per batch, in bytes: small enough that the two cores stay busy to the end, large enough
# that the headers are read a few times instead of sixty.
BATCH_BYTES = 48_000


def without_precompiled_header(args):
    """The arguments less CMake's precompiled header (-include .../cmake_pch.hxx, -Winvalid-pch)."""
    kept = []
    for arg in args:
        if kept and kept[-1] == "-include" and os.path.basename(arg).startswith("cmake_pch."):
            kept.pop()
            continue
        if arg != "-Winvalid-pch":
            kept.append(arg)
    return kept


def arguments(entry):
    return shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])


def command_without_file(entry):
    """The entry's compile command minus its input and output, as the batch's command."""
    kept = []
    skip_next = False
    for arg in without_precompiled_header(arguments(entry)):
        if skip_next:
            skip_next = False
            continue
        if arg in ("-o", "-MF", "-MT", "-MQ"):
            skip_next = True
            continue
        if arg == "-c" or arg == entry["file"]:
            continue
        kept.append(arg)
    return kept


def main():
    build = sys.argv[1]
    files = sys.argv[2:]
    root = os.getcwd()
    database = json.load(open(os.path.join(build, "compile_commands.json"), encoding="utf-8"))
    entries = {os.path.relpath(entry["file"], root): entry for entry in database}
    single_root = os.path.join(build, "lint-db")
    os.makedirs(single_root, exist_ok=True)
    with open(os.path.join(single_root, "compile_commands.json"), "w", encoding="utf-8") as out:
        json.dump([{"directory": entry["directory"], "file": entry["file"],
                    "command": shlex.join(without_precompiled_header(arguments(entry)))}
                   for entry in database], out, indent=1)

    units = []
    programs = {}
    for path in files:
        entry = entries.get(path)
        if not path.startswith("tests/") or entry is None:
            units.append(f"{single_root} {path}")
            continue
        command = command_without_file(entry)
        programs.setdefault(shlex.join(command), (entry["directory"], command, []))[2].append(path)

    # The generated files sit below a tests/ folder of their own, so that clang-tidy finds the
    # tests' configuration there (a copy, which inherits the project's from the folders above).
    batch_root = os.path.join(build, "lint-units")
    batch_tests = os.path.join(batch_root, "tests")
    os.makedirs(batch_tests, exist_ok=True)
    with open("tests/.clang-tidy", encoding="utf-8") as source:
        tests_config = source.read()
    with open(os.path.join(batch_tests, ".clang-tidy"), "w", encoding="utf-8") as target:
        target.write(tests_config)

    batch_database = []
    for number, (directory, command, members) in enumerate(programs.values()):
        members.sort(key=lambda path: -os.path.getsize(path))
        batches = []
        for path in members:
            size = os.path.getsize(path)
            if batches and batches[-1][0] + size <= BATCH_BYTES:
                batches[-1][0] += size
                batches[-1][1].append(path)
            else:
                batches.append([size, [path]])
        for index, (_, batch) in enumerate(batches):
            if len(batch) == 1:
                units.append(f"{single_root} {batch[0]}")
                continue
            generated = os.path.abspath(os.path.join(batch_tests, f"batch-{number}-{index}.cpp"))
            with open(generated, "w", encoding="utf-8") as unit:
                for path in batch:
                    include = os.path.join(root, path)
                    unit.write(f'#include "{include}" // NOLINT(bugprone-suspicious-include)\n')
            batch_database.append({"directory": directory, "file": generated,
                                   "command": shlex.join(command + ["-c", generated])})
            units.append(f"{batch_root} {os.path.relpath(generated, root)} {' '.join(batch)}")

    with open(os.path.join(batch_root, "compile_commands.json"), "w", encoding="utf-8") as out:
        json.dump(batch_database, out, indent=1)
    print("\n".join(units))


if __name__ == "__main__":
    main()
