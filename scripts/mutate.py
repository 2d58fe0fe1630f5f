#!/usr/bin/env python3
"""Mutation testing for the portable C++ code: how many small faults do the unit tests catch?

Each mutant changes one line of one source file: a relational, arithmetic or
logical operator swapped, a `!` removed, an integer constant moved by one, a
simple statement deleted, or a boolean result inverted. Every mutant is
applied on its own, the test executables of the native preset are rebuilt
incrementally and run; a failing (or hanging) test run kills the mutant, a
mutant that does not compile is counted apart. The file is always restored.

    scripts/mutate.py engine/rate_model.cpp              # test every mutant of a file
    scripts/mutate.py engine/*.cpp --sample 40 --seed 1  # at most 40 per file, chosen at random
    scripts/mutate.py settings/ini_text.cpp --list       # only list the mutants

Options: --tests engine_tests,settings_tests overrides the suites (by default
engine/ files run engine_tests, settings/ files settings_tests); --timeout
SECONDS bounds each test run; --survivors PATH also writes the survivors there,
and --only PATH tests just the mutants listed in such a file, for instance
again under the sanitizers with --preset native-asan.

Mutants known to be equivalent (no test could tell them apart) go in
tests/mutation-equivalent.txt (or --exclude-file PATH), as --survivors and
--list print them, with the reason after the id:
    engine/big_uint.h:17:rel@23:<= why it cannot change behaviour
        - size_ = limbs_[1] != 0 ? 2 : (limbs_[0] != 0 ? 1 : 0);
They are left out of the score. The `-` line, the original code, lets an
entry follow its line when the code above it changes; an entry whose line
itself has changed is reported, to be judged again.

The operator rules lean on the repository's clang-format style: binary
operators have a space on each side, template brackets touch their name.
Code in `#ifdef _WIN32` branches is not built natively and is skipped.

The mutants are built in a git worktree of the commit under test (HEAD, or
--commit REV) in build/mutate-worktree/, kept between runs so that its
builds are incremental: the checkout stays free to edit, and the files
named on the command line are taken from that commit. --in-place mutates
the checkout itself instead, to test changes not yet committed. --list
reads the checkout. The preset's build directory is configured if missing;
one run at a time per checkout. While a mutant is in place the original
waits in build/mutate-backup/ of the tree mutated, from where the next run
restores it should this one be killed outright; Ctrl-C restores at once.
The sources are rewritten on restore, so the last build leaves everything
up to date.
"""
import argparse
import fcntl
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORKTREE = ROOT / "build" / "mutate-worktree"
LOCK_FILE = ROOT / "build" / "mutate.lock"
TREE = ROOT  # where the mutants go: the worktree, or with --in-place the checkout
BACKUP_DIR = TREE / "build" / "mutate-backup"  # one for every preset, as the sources are
DEFAULT_EXCLUDES = ROOT / "tests" / "mutation-equivalent.txt"
SUITE_BY_DIR = {"engine": "engine_tests", "settings": "settings_tests"}

TOKEN = re.compile(
    r"(?P<id>[A-Za-z_]\w*)|(?P<num>\.?\d(?:[eEpP][+-]|[\w.'])*)|(?P<lit>@+)"
    r"|(?P<op><<=|>>=|<=>|->|<<|>>|<=|>=|==|!=|&&|\|\||\+\+|--|[-+*/%]=|::|\S)")
RELATIONAL = {"<": ["<=", ">="], "<=": ["<", ">"], ">": [">=", "<="], ">=": [">", "<"],
              "==": ["!="], "!=": ["=="]}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "%": ["*"], "+=": ["-="],
              "-=": ["+="], "*=": ["/="], "/=": ["*="], "++": ["--"], "--": ["++"]}
LOGICAL = {"&&": ["||"], "||": ["&&"]}
NOT_STATEMENTS = re.compile(r"(return|break|continue|case|default|goto|else|using|typedef|"
                            r"static_assert|friend|template|namespace|struct|class|enum)\b|[})]")
DECLARATION = re.compile(r"(?!(?:return|delete|throw|goto|else|do)\b)[A-Za-z_][\w:]*(?:<.*?>)?"
                         r"[\s*&]+[A-Za-z_\[]")
FUNCTION_HEADER = re.compile(r"^\s*(?:(?:static|inline|constexpr|friend|virtual|explicit)\s+)*"
                             r"(?!return\b|else\b|case\b)([\w:]+)\s+[\w:~]+\s*\(")
# Scanned left to right, so whichever starts first wins: "//" in a string stays a string.
NON_CODE = re.compile(r"""(?P<directive>^[ \t]*\#(?:\\\n|.)*)|(?P<comment>//.*|/\*[\s\S]*?\*/)
    |(?P<literal>(?<!\w)(?:u8|[uUL])?R"(?P<delim>[^(\s"]*)\([\s\S]*?\)(?P=delim)"
    |(?<!\w)(?:u8|[uUL])?"(?:\\.|[^"\\\n])*"|(?<!\w)(?:u8|[uUL])?'(?:\\.|[^'\\\n])+')""",
                      re.MULTILINE | re.VERBOSE)
WINDOWS_ONLY = re.compile(r"#\s*(?:ifdef\s+_WIN32|if\s+defined\s*\(?\s*_WIN32)\b")


@dataclass
class Mutant:
    path: str  # relative to the repository root
    line: int  # 1-based
    id: str  # kind@column:replacement, unique within the line
    original: str
    mutated: str

    def key(self):
        return f"{self.path}:{self.line}:{self.id}"


def mask_non_code(text):
    """Comments and preprocessor lines become spaces, literals '@', so columns stay put."""
    def blank(match):
        return re.sub(r"[^\n]", "@" if match.lastgroup == "literal" else " ", match.group())

    return NON_CODE.sub(blank, text)


def windows_only_lines(text):
    """Line numbers inside `#ifdef _WIN32` branches, which the native build never compiles."""
    skipped, stack = set(), []  # stack: (is_windows_condition, currently_skipping)
    for number, line in enumerate(text.splitlines(), 1):
        directive = line.strip()
        if directive.startswith("#if"):
            windows = bool(WINDOWS_ONLY.match(directive))
            stack.append((windows, windows))
        elif directive.startswith("#el") and stack:
            windows, skipping = stack[-1]
            stack[-1] = (windows, windows and not skipping)
        elif directive.startswith("#endif") and stack:
            stack.pop()
        elif any(skipping for _, skipping in stack):
            skipped.add(number)
    return skipped


def template_brackets(tokens):
    """Positions of '<' and '>' that enclose template arguments rather than compare."""
    found = set()
    for k, (kind, text, start) in enumerate(tokens):
        if text != "<" or k == 0:
            continue
        prev_kind, prev_text, prev_start = tokens[k - 1]
        touching = prev_kind == "id" and prev_start + len(prev_text) == start
        if not (touching or prev_text in ("template", "operator")):
            continue
        found.add(start)
        depth = 1
        for _, inner, inner_start in tokens[k + 1:]:
            if inner in (";", "{", "&&", "||"):
                break
            depth += {"<": 1, ">": -1, ">>": -2}.get(inner, 0)
            if inner in (">", ">>"):
                found.add(inner_start)
            if depth <= 0:
                break
    return found


def after_operand(tokens, k):
    """Whether the token follows a value, making it a binary operator."""
    return k > 0 and (tokens[k - 1][0] in ("id", "num", "lit") or tokens[k - 1][1] in ")]}")


def is_statement_start(masked_lines, index):
    for prev in reversed(masked_lines[:index]):
        if prev.strip():
            return prev.rstrip()[-1] in ";{}:"
    return True


def is_bool_function(masked_lines, index, return_column):
    """Whether the function around a return statement is declared to return bool."""
    same_line = FUNCTION_HEADER.match(masked_lines[index][:return_column])
    if same_line:
        return same_line.group(1) == "bool"
    indent = len(masked_lines[index]) - len(masked_lines[index].lstrip())
    for prev in reversed(masked_lines[:index]):
        header = FUNCTION_HEADER.match(prev)
        if header and len(prev) - len(prev.lstrip()) < indent:
            return header.group(1) == "bool"
    return False


def line_mutants(path, number, line, masked_lines, index):
    """Every mutant of one line; the masked line decides what is code."""
    masked = masked_lines[index]
    tokens = [(m.lastgroup, m.group(), m.start()) for m in TOKEN.finditer(masked)]
    templates = template_brackets(tokens)
    found = []

    def add(kind, column, old, new, label=None):
        mutated = line[:column] + new + line[column + len(old):]
        found.append(Mutant(path, number, f"{kind}@{column + 1}:{label or new}", line, mutated))

    for k, (kind, text, start) in enumerate(tokens):
        spaced = masked[start - 1:start] == " " and masked[start + len(text):][:1] == " "
        if text in RELATIONAL and start not in templates and spaced:
            for new in RELATIONAL[text]:
                add("rel", start, text, new)
        elif text in ("++", "--"):
            add("arith", start, text, ARITHMETIC[text][0])
        elif text in ARITHMETIC and spaced and after_operand(tokens, k):
            for new in ARITHMETIC[text]:
                add("arith", start, text, new)
        elif text in LOGICAL:
            add("logic", start, text, LOGICAL[text][0])
        elif text == "!":
            add("logic", start, "!", "", "removed!")
        elif kind == "num" and re.fullmatch(r"(0|[1-9]\d*)[uUlL]*", text):
            value, suffix = re.fullmatch(r"(\d+)(\w*)", text).groups()
            add("const", start, text, f"{int(value) + 1}{suffix}")
            if int(value) > 0:
                add("const", start, text, f"{int(value) - 1}{suffix}")
        elif text in ("true", "false"):
            add("bool", start, text, "false" if text == "true" else "true")
        elif text == "return" and is_bool_function(masked_lines, index, start):
            semicolon = masked.find(";", start)
            body = line[start + 6:semicolon].strip()
            if semicolon != -1 and body not in ("true", "false"):
                found.append(Mutant(path, number, f"bool@{start + 1}:negated", line,
                                    f"{line[:start]}return !({body}){line[semicolon:]}"))

    code = masked.strip()
    balanced = all(code.count(a) == code.count(b) for a, b in ("()", "[]", "{}"))
    if (code.endswith(";") and balanced and not NOT_STATEMENTS.match(code)
            and not DECLARATION.match(code) and is_statement_start(masked_lines, index)):
        indent = line[:len(line) - len(line.lstrip())]
        found.append(Mutant(path, number, "stmt@1:deleted", line, indent + ";" + line[len(line.rstrip("\r")):]))
    return found


def read_source(path):
    """The exact text, line ends and any stray bytes included, so that it is restored exactly."""
    with open(path, encoding="utf-8", errors="surrogateescape", newline="") as file:
        return file.read()


def write_source(path, text):
    with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as file:
        file.write(text)


def original_text(path):
    """The source as committed to the run: a run in progress may have a mutant in place."""
    backup = BACKUP_DIR / path
    return read_source(backup if backup.exists() else TREE / path)


def list_mutants(path):
    text = original_text(path)
    masked_lines = mask_non_code(text).split("\n")
    lines = text.split("\n")
    skipped = windows_only_lines(text)
    mutants = []
    for index, line in enumerate(lines):
        if index + 1 not in skipped and masked_lines[index].strip():
            mutants += line_mutants(path, index + 1, line, masked_lines, index)
    return mutants


@dataclass
class Entry:
    path: str
    line: int
    id: str
    reason: str
    code: str = None  # the line as it was, to find the mutant again once lines have moved


def read_entries(path):
    """Mutants named in a file: `file:line:id reason` lines as --list and --survivors print
    them, each optionally followed by their indented `- original` and `+ mutated` lines."""
    entries = []
    for text in Path(path).read_text().splitlines() if path and Path(path).exists() else []:
        if text.startswith("#") or not text.strip():
            continue
        if text[0].isspace():
            if text.strip().startswith("- ") and entries:
                entries[-1].code = text.strip()[2:]
            continue
        key, _, reason = text.partition(" ")
        file, line, mutant_id = key.split(":", 2)
        entries.append(Entry(file, int(line), mutant_id, reason.strip()))
    return entries


def find_entries(mutants, entries):
    """Keys of the mutants the entries name, and the entries that name none. An entry
    with its line's text is found again by id and text when the line has moved."""
    found, missing = set(), []
    for entry in entries:
        same = [m for m in mutants if m.path == entry.path and m.id == entry.id
                and (entry.code is None or m.original.strip() == entry.code)]
        candidates = [m for m in same if m.line == entry.line] or (same if entry.code else [])
        if candidates:
            found.add(min(candidates, key=lambda m: abs(m.line - entry.line)).key())
        else:
            missing.append(entry)
    return found, missing


def run(command, timeout, **kwargs):
    """Exit status of a command, or None on timeout; its whole process group is ended."""
    process = subprocess.Popen(command, cwd=kwargs.pop("cwd", TREE), start_new_session=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    finally:
        if process.poll() is None:
            stop_process_group(process)


def stop_process_group(process):
    """SIGTERM first, so that make deletes a half-written target instead of leaving it."""
    for sig, grace in ((signal.SIGTERM, 5), (signal.SIGKILL, None)):
        try:
            os.killpg(process.pid, sig)
            process.wait(timeout=grace)
            return
        except ProcessLookupError:  # already gone
            return
        except subprocess.TimeoutExpired:
            pass


def build(preset, suites):
    targets = [word for suite in suites for word in ("--target", suite)]
    return run(["cmake", "--build", "--preset", preset, *targets, "-j2"], 900) == 0


def tests_pass(preset, suites, timeout, temp_dir):
    """True if every suite passes, False if one fails, None if one hangs."""
    test_dir = TREE / "build" / preset / "tests" / "unit"
    environment = dict(os.environ, TMPDIR=temp_dir)  # apart from other runs' test folders
    for suite in suites:
        status = run([str(test_dir / suite), "--gtest_brief=1"], timeout, cwd=test_dir,
                     env=environment)
        if status != 0:
            return None if status is None else False
    return True


def lock_checkout():
    """One run at a time per checkout; the lock goes with the process, however it ends."""
    LOCK_FILE.parent.mkdir(parents=True, exist_ok=True)
    lock = open(LOCK_FILE, "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        sys.exit(f"another mutation run is using {ROOT}")
    return lock


def use_tree(tree):
    global TREE, BACKUP_DIR
    TREE = tree
    BACKUP_DIR = tree / "build" / "mutate-backup"


def prepare_worktree(commit):
    """The worktree at the commit under test. Checking out only the files that differ keeps
    the worktree's build incremental; --force also undoes a mutant a killed run left."""
    def git(*words, cwd=ROOT):
        return subprocess.run(["git", *words], cwd=cwd, check=True, capture_output=True,
                              text=True).stdout.strip()
    revision = git("rev-parse", "--verify", f"{commit}^{{commit}}")
    if (WORKTREE / ".git").exists():
        git("checkout", "--force", "--detach", revision, cwd=WORKTREE)
    else:
        git("worktree", "add", "--force", "--detach", str(WORKTREE), revision)
    print(f"mutating a worktree of {revision[:12]} in {WORKTREE.relative_to(ROOT)}")
    use_tree(WORKTREE)


def restore_interrupted_runs():
    for backup in BACKUP_DIR.rglob("*") if BACKUP_DIR.exists() else []:
        if backup.is_file() and backup.name != ".lock":  # where earlier runs kept the lock
            source = TREE / backup.relative_to(BACKUP_DIR)
            print(f"restoring {source.relative_to(TREE)} from an interrupted run")
            write_source(source, read_source(backup))
            backup.unlink(missing_ok=True)


def test_mutant(mutant, args, temp_dir):
    """'killed', 'timeout', 'survived' or 'not compiled'; the file is restored in every case."""
    source = TREE / mutant.path
    original = read_source(source)
    backup = BACKUP_DIR / mutant.path
    backup.parent.mkdir(parents=True, exist_ok=True)
    write_source(backup, original)
    lines = original.split("\n")
    lines[mutant.line - 1] = mutant.mutated
    try:
        write_source(source, "\n".join(lines))
        suites = suites_for(mutant.path, args.tests)
        if not build(args.preset, suites):
            return "not compiled"
        result = tests_pass(args.preset, suites, args.timeout, temp_dir)
        return {True: "survived", False: "killed", None: "timeout"}[result]
    finally:
        write_source(source, original)  # a fresh timestamp: the next build recompiles it
        backup.unlink(missing_ok=True)


def describe(mutant):
    return f"{mutant.key()}\n    - {mutant.original.strip()}\n    + {mutant.mutated.strip()}"


def report(results, excluded):
    files = sorted({m.path for m, _ in results} | {m.path for m in excluded})
    print("\nfile                          tested  not-compiled  excluded  killed  survived  score")
    totals = [0, 0, 0, 0, 0]
    for path in files + ["total"]:
        if path == "total":
            counts = totals
        else:
            outcomes = [outcome for m, outcome in results if m.path == path]
            counts = [len(outcomes), outcomes.count("not compiled"),
                      sum(m.path == path for m in excluded),
                      outcomes.count("killed") + outcomes.count("timeout"),
                      outcomes.count("survived")]
            totals = [a + b for a, b in zip(totals, counts)]
        live = counts[3] + counts[4]
        score = f"{100 * counts[3] / live:5.1f} %" if live else "    -"
        print(f"{path:30}{counts[0]:6}{counts[1]:14}{counts[2]:10}{counts[3]:8}{counts[4]:10}  {score}")
    print("(score: killed of the mutants that compiled and are not marked equivalent)")


def suites_for(path, override):
    if override:
        return override.split(",")
    return [SUITE_BY_DIR[path.split("/")[0]]]


def stop_on_terminate(_signal, _frame):
    raise KeyboardInterrupt  # so that the mutated file is restored as on Ctrl-C


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("files", nargs="+", help="C++ sources in engine/ or settings/")
    parser.add_argument("--list", action="store_true", help="only list the mutants")
    parser.add_argument("--sample", type=int, metavar="N", help="test at most N mutants per file")
    parser.add_argument("--seed", type=int, default=0, metavar="S", help="seed for --sample")
    parser.add_argument("--timeout", type=float, default=20, metavar="SECONDS",
                        help="bound on each test run (default 20)")
    parser.add_argument("--tests", metavar="A,B", help="test executables to run instead")
    parser.add_argument("--exclude-file", default=DEFAULT_EXCLUDES, metavar="PATH",
                        help="equivalent mutants (default tests/mutation-equivalent.txt)")
    parser.add_argument("--survivors", metavar="PATH", help="also write the survivors there")
    parser.add_argument("--only", metavar="PATH",
                        help="test only the mutants whose ids start lines of PATH (as --survivors)")
    parser.add_argument("--preset", default="native", help="native (default) or native-asan")
    parser.add_argument("--commit", default="HEAD", metavar="REV",
                        help="the commit whose code is mutated (default HEAD)")
    parser.add_argument("--in-place", action="store_true",
                        help="mutate the checkout itself, uncommitted changes included")
    args = parser.parse_args()
    paths = [Path(name).resolve().relative_to(ROOT).as_posix() for name in args.files]
    if not args.list:
        signal.signal(signal.SIGTERM, stop_on_terminate)
        signal.signal(signal.SIGINT, signal.default_int_handler)
        lock = lock_checkout()  # held until the run ends
        if not args.in_place:
            prepare_worktree(args.commit)

    excludes = read_entries(args.exclude_file)
    chosen, excluded = [], []
    rng = random.Random(args.seed)
    for path in paths:
        mutants = list_mutants(path)
        equivalent, missing = find_entries(mutants, excludes)
        for entry in missing:
            if entry.path == path:
                print(f"warning: {entry.path}:{entry.line}:{entry.id} in {args.exclude_file}"
                      " names no mutant any more: the code has changed")
        excluded += [m for m in mutants if m.key() in equivalent]
        mutants = [m for m in mutants if m.key() not in equivalent]
        if args.only:
            wanted, _ = find_entries(mutants, read_entries(args.only))
            mutants = [m for m in mutants if m.key() in wanted]
        if args.sample is not None and len(mutants) > args.sample:
            mutants = sorted(rng.sample(mutants, args.sample), key=lambda m: m.line)
        chosen += mutants
    if args.list:
        for mutant in chosen:
            print(describe(mutant))
        print(f"{len(chosen)} mutants ({len(excluded)} marked equivalent left out)")
        return 0

    if not (TREE / "build" / args.preset).exists():
        subprocess.run(["cmake", "--preset", args.preset], cwd=TREE, check=True)
    restore_interrupted_runs()
    all_suites = sorted({s for m in chosen for s in suites_for(m.path, args.tests)})
    if not build(args.preset, all_suites) or not tests_pass(
            args.preset, all_suites, args.timeout * 5, tempfile.gettempdir()):
        sys.exit("the unmutated code does not build or pass its tests; nothing to measure")

    results, interrupted = [], False
    try:
        with tempfile.TemporaryDirectory(prefix="mutate-") as temp_dir:
            for number, mutant in enumerate(chosen, 1):
                outcome = test_mutant(mutant, args, temp_dir)
                results.append((mutant, outcome))
                print(f"[{number}/{len(chosen)}] {mutant.key()}: {outcome}", flush=True)
    except KeyboardInterrupt:
        print("\ninterrupted; the results so far:")
        interrupted = True
    finally:
        print("rebuilding the unmutated code ...", flush=True)
        build(args.preset, all_suites)

    report(results, excluded)
    survivors = [describe(m) for m, outcome in results if outcome == "survived"]
    print(f"\nsurvivors ({len(survivors)}):")
    print("\n".join(survivors))
    if args.survivors:
        Path(args.survivors).write_text("\n".join(survivors) + "\n")
    return 130 if interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
