#!/usr/bin/env python3
"""Plants small faults one at a time and counts how many the tests catch.

Each mutant changes one operator or one constant on one line of the code
layers (chart/, dwi/, edit/, audio/ by default), rebuilds the test programs
and runs them; a mutant is caught when a test fails, crashes or times out.
Mutants that do not compile are drawn again. The draw depends only on the
seed and the sources, so the same seed gives the same sample before and
after a change of the tests: that is how two suites are compared.

    scripts/mutation-sample.py --build build --count 40 --seed 1 --out m.tsv

The sources are restored after every mutant (also on Ctrl+C).
"""
import argparse
import pathlib
import random
import re
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

# One operator or constant: (pattern, replacement).
# clang-format spaces every binary operator, which tells a comparison from a
# template bracket and a binary minus from a sign.
OPERATORS = [
    (r"(?<= )==(?= )", "!="),
    (r"(?<= )!=(?= )", "=="),
    (r"(?<= )<=(?= )", "<"),
    (r"(?<= )>=(?= )", ">"),
    (r"(?<= )<(?= )", "<="),
    (r"(?<= )>(?= )", ">="),
    (r"(?<= )&&(?= )", "||"),
    (r"(?<= )\|\|(?= )", "&&"),
    (r"(?<= )\+(?= )", "-"),
    (r"(?<= )-(?= )", "+"),
    (r"(?<= )\*(?= )", "/"),
    (r"\btrue\b", "false"),
    (r"\bfalse\b", "true"),
    (r"\+\+", "--"),
]
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
SKIP_LINE = re.compile(r"^\s*(#|//|\*|/\*|using |namespace |template|static_assert|\}|$)")
STRING = re.compile(r'"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'')


def sites(layers):
    """Every (file, line number, start, end, replacement) that could be mutated."""
    found = []
    for layer in layers:
        for path in sorted((ROOT / layer).glob("*.cpp")):
            for number, line in enumerate(path.read_text().splitlines()):
                if SKIP_LINE.match(line) or "#include" in line:
                    continue
                code = line.split("//")[0]
                masked = STRING.sub(lambda m: " " * len(m.group(0)), code)
                for pattern, replacement in OPERATORS:
                    for m in re.finditer(pattern, masked):
                        found.append((path, number, m.start(), m.end(), replacement))
                for m in NUMBER.finditer(masked):
                    value = int(m.group(1))
                    found.append((path, number, m.start(), m.end(), str(value + 1)))
    return found


def run(cmd, timeout):
    try:
        return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--count", type=int, default=40)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--layers", nargs="+", default=["chart", "dwi", "edit", "audio"])
    parser.add_argument("--targets", nargs="+",
                        default=["chart_tests", "dwi_tests", "edit_tests", "audio_tests",
                                 "app_tests", "view_tests", "fuzz_regression_tests"])
    # The sound-server probe and the 60 s playback runs catch nothing in these
    # layers that the faster tests do not, and would dominate the time.
    parser.add_argument("--exclude", default="player")
    parser.add_argument("--out", default="-")
    args = parser.parse_args()

    def build(timeout=1800):
        return run(["cmake", "--build", args.build, "-j2", "--target", *args.targets], timeout)

    def tests():
        command = ["ctest", "--test-dir", args.build, "-j2", "--timeout", "120", "-E", args.exclude]
        if run(command + ["--stop-on-failure"], 1800) == 0:
            return True
        # A fault fails again; a test that only failed under load passes now.
        return run(command + ["--rerun-failed"], 1800) == 0

    if build(timeout=None) != 0 or not tests():
        sys.exit("the unchanged sources must build and pass first")
    candidates = sites(args.layers)
    rng = random.Random(args.seed)
    rng.shuffle(candidates)
    out = sys.stdout if args.out == "-" else open(args.out, "w")
    print("file\tline\toriginal\tmutant\tresult", file=out, flush=True)
    caught = survived = 0
    for path, number, start, end, replacement in candidates:
        if caught + survived >= args.count:
            break
        original = path.read_text()
        lines = original.splitlines(keepends=True)
        line = lines[number]
        lines[number] = line[:start] + replacement + line[end:]
        try:
            path.write_text("".join(lines))
            if build() != 0:
                continue
            began = time.time()
            passed = tests()
            result = "survived" if passed else "caught"
            caught += not passed
            survived += passed
            print(f"{path.relative_to(ROOT)}\t{number + 1}\t{line[start:end]}\t{replacement}\t"
                  f"{result}\t{time.time() - began:.0f}s", file=out, flush=True)
        finally:
            path.write_text(original)
    print(f"# {caught} caught, {survived} survived of {caught + survived}", file=out, flush=True)
    # Leave the build matching the sources again.
    build()


if __name__ == "__main__":
    main()
