#!/usr/bin/env python3
"""Checks the docs against the tree: README.md, docs/*.md and docs/README.txt. Prints one line a
finding, "file:line: name: what is wrong", and exits 1 on any.

    check_docs.py [ROOT]     (ROOT: the checkout, by default the folder above this file's)

What it checks:
- every relative link resolves, to a file and, where it names one, to a heading there;
- every repository path written in backticks (or in a fenced code block) exists;
- every test written in backticks as Suite.Name (or a pattern of them, or a -R filter) is a
  test in tests/;
- every name written in backticks beside its file ("`kControls` and `kClientSize` in
  `res/form.h`") is defined in that file;
- every environment variable that the docs write (the first column of a table headed
  "Variable", and any QUORVANE_ or BENCH_ name that is no macro or CMake setting) is read
  somewhere in the code;
- every variable that a shell script reads with a default (${NAME:-...}) and never sets itself
  is written in the docs.

What it leaves out, because it cannot decide it: prose (an order of calls, a version, what a
command does); names written without a file beside them; paths under build/ (made by a build),
absolute paths, paths on a user's machine, and file names of other programs or of the release
zip; names in plain text rather than backticks.
"""
import fnmatch
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)

CODE_SUFFIXES = {".cpp", ".h", ".sh", ".py", ".cmake", ".rc", ".def"}
SPAN = re.compile(r"`([^`\n]+)`")
LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
TEST_NAME = re.compile(r"^(?:Clang\.)?[A-Z][A-Za-z0-9]*\.[A-Z][A-Za-z0-9_]*$")
TEST_PATTERN = re.compile(r"^[A-Za-z0-9.*]*\*[A-Za-z0-9.*]*$")
FILTER = re.compile(r"-R '([^']+)'")
IDENTIFIER = re.compile(r"^[A-Za-z_]\w*(?:::[A-Za-z_]\w*)*(?:\(\))?$")
BETWEEN_NAMES = re.compile(r"^(?:\s*,\s*|\s+and\s+|\s+or\s+|\s*,\s*and\s+)$")
SETTABLE = re.compile(r"^(?:QUORVANE|BENCH)_[A-Z0-9_]+$")
DEFAULTED = re.compile(r"\$\{([A-Z][A-Z0-9_]*):?[-=]")


def tracked_files():
    try:
        out = subprocess.run(["git", "-C", str(ROOT), "ls-files"], check=True, capture_output=True, text=True)
        names = out.stdout.splitlines()
    except (OSError, subprocess.CalledProcessError):  # no git checkout: every file
        names = [str(p.relative_to(ROOT)) for p in ROOT.rglob("*") if p.is_file()]
    return [n for n in names if not n.startswith(("build/", ".git/")) and (ROOT / n).is_file()]


FILES = tracked_files()
TEXTS = {}


def text_of(name):
    if name not in TEXTS:
        try:
            TEXTS[name] = (ROOT / name).read_text(encoding="utf-8", errors="replace")
        except OSError:
            TEXTS[name] = ""
    return TEXTS[name]


def is_shell(name):
    return name.endswith(".sh") or re.match(r"#!.*\b(ba)?sh\b", text_of(name)[:100]) is not None


def code_files():
    return [n for n in FILES if Path(n).suffix in CODE_SUFFIXES | {".txt", ".py"} or is_shell(n)]


def known_tests():
    """Every test name CTest runs, and the suite names, from the test sources and CMake."""
    names, e2e = set(), set()
    for name in FILES:
        if name.startswith("tests/") and name.endswith(".cpp"):
            for suite, test in re.findall(r"^\s*TEST(?:_F|_P)?\(\s*(\w+)\s*,\s*(\w+)\s*\)", text_of(name), re.M):
                names.add(f"{suite}.{test}")
                if name.startswith("tests/e2e/"):
                    e2e.add(f"{suite}.{test}")
    names |= {"Clang." + n for n in e2e}  # the same end-to-end tests against the clang build
    for name in FILES:
        if name.endswith("CMakeLists.txt"):
            names |= set(re.findall(r"add_test\(NAME\s+([\w.]+)", text_of(name)))
    suites = {n.rsplit(".", 1)[0] for n in names}
    return names, suites


TESTS, SUITES = known_tests()


def defines(name, path):
    """Whether the file at path defines name (a function, a constant, a variable, a macro)."""
    text = text_of(path)
    bare = name[:-2] if name.endswith("()") else name
    last = re.escape(bare.split("::")[-1])
    suffix = Path(path).suffix
    if "::" in bare:
        return re.search(re.escape(bare) + r"\s*\(", text) is not None
    if suffix == ".sh" or is_shell(path):
        return re.search(rf"^\s*{last}\s*\(\)|(^|\s){last}\+?=", text, re.M) is not None
    if suffix == ".py":
        return re.search(rf"^\s*(def|class)\s+{last}\b|^\s*{last}\s*=", text, re.M) is not None
    if suffix == ".cmake" or path.endswith("CMakeLists.txt"):
        return re.search(rf"\b(function|macro|set|option)\(\s*{last}\b", text, re.I) is not None
    return re.search(
        rf"^\s*#\s*define\s+{last}\b"
        rf"|\b(constexpr|const|inline|static|extern|using|struct|class|enum|typedef|namespace)\b[^;(\n]*\b{last}\b"
        rf"|^(?!\s*(return|else|case|delete|new|throw)\b)\s*[A-Za-z_][\w:<>,*&\s]*[\s*&](\w+::)*{last}\s*\(",
        text, re.M) is not None


def macro_or_cmake_setting(name):
    pattern = re.compile(rf"^\s*#\s*define\s+{name}\b|\b(option|set)\(\s*{name}\b", re.M)
    return any(pattern.search(text_of(n)) for n in code_files())


def read_somewhere(name):
    pattern = re.compile(rf"\$\{{?{name}\b|L?\"{name}\"|ENV\{{{name}\}}")
    return any(pattern.search(text_of(n)) for n in code_files())


def repository_path(token):
    """The token as a path in the checkout, or None where it is no such path."""
    token = token.rstrip(".,;)").lstrip("(")
    if not token or any(c in token for c in "*<>{}@:\\$~'\"=|") or token.startswith(("/", "-", "build")):
        return None
    if "/" in token:
        return token
    # A bare file name of the project's own code: the name of a file somewhere in the tree.
    if Path(token).suffix in CODE_SUFFIXES - {".h"} or token.endswith(".h"):
        return token
    return None


def path_exists(path):
    if "/" in path:
        return (ROOT / path).exists()
    return any(Path(n).name == path for n in FILES)


def slug(heading):
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def headings(path):
    return {slug(m) for m in re.findall(r"^#+\s+(.*)$", text_of(path), re.M)}


class Checker:
    def __init__(self):
        self.findings = []
        self.documented = set()  # every name in backticks, anywhere in the docs

    def report(self, doc, line, name, what):
        self.findings.append(f"{doc}:{line}: {name}: {what}")

    def check_link(self, doc, number, target):
        if re.match(r"^[a-z]+:", target):
            return  # an address on the web, or mail
        file, _, anchor = target.partition("#")
        resolved = (ROOT / doc).parent / file if file else ROOT / doc
        if not resolved.exists():
            self.report(doc, number, target, "the link leads nowhere")
        elif anchor and resolved.suffix == ".md":
            if anchor not in headings(str(resolved.relative_to(ROOT))):
                self.report(doc, number, target, "no such heading there")

    def check_path(self, doc, number, token):
        path = repository_path(token)
        if path and not path_exists(path):
            self.report(doc, number, path, "no such file or folder in the tree")
        return path

    def check_tests(self, doc, number, span):
        for regex in FILTER.findall(span):
            if not any(re.search(regex, t) for t in TESTS):
                self.report(doc, number, regex, "the filter chooses no test")
        if TEST_NAME.match(span):
            if span not in TESTS:
                self.report(doc, number, span, "no such test in tests/")
            return True
        if TEST_PATTERN.match(span) and re.search(r"[A-Z]", span):
            if not any(fnmatch.fnmatchcase(t, span) for t in TESTS | SUITES):
                self.report(doc, number, span, "no test matches this pattern")
            return True
        return False

    def check_line(self, doc, number, line, variables_column):
        for target in LINK.findall(line):
            self.check_link(doc, number, target)
        cells = line.split("|") if line.lstrip().startswith("|") else [line]
        for index, cell in enumerate(cells):
            pending, end = [], 0
            for match in SPAN.finditer(cell):
                span, between = match.group(1), cell[end:match.start()]
                end = match.end()
                self.documented.add(span.split("=")[0])
                if pending and not BETWEEN_NAMES.match(between) and not re.fullmatch(r",?\s+in\s+", between):
                    pending = []
                if index == variables_column and re.fullmatch(r"[A-Z][A-Z0-9_]*", span):
                    if not read_somewhere(span):
                        self.report(doc, number, span, "written as a variable that nothing reads")
                elif SETTABLE.match(span.split("=")[0]):
                    name = span.split("=")[0]
                    if not macro_or_cmake_setting(name) and not read_somewhere(name):
                        self.report(doc, number, name, "written as a variable that nothing reads")
                if self.check_tests(doc, number, span):
                    pending = []
                    continue
                paths = [self.check_path(doc, number, token) for token in span.split()]
                path = paths[0] if len(paths) == 1 else None
                if path:
                    if pending and re.fullmatch(r",?\s+in\s+", between) and Path(path).suffix in CODE_SUFFIXES \
                            and path_exists(path):
                        for name in pending:
                            if not defines(name, path):
                                self.report(doc, number, name, f"not defined in {path}")
                    pending = []
                elif IDENTIFIER.match(span):
                    pending = pending + [span] if not pending or BETWEEN_NAMES.match(between) else [span]
                else:
                    pending = []

    def check_doc(self, doc):
        fenced, variables_column = False, None
        for number, line in enumerate(text_of(doc).splitlines(), 1):
            if line.startswith("```"):
                fenced = not fenced
                continue
            if fenced:
                for token in line.split("#")[0].split():
                    self.check_path(doc, number, token)
                continue
            if line.startswith("|"):
                header = [c.strip() for c in line.strip("|").split("|")]
                if header and header[0] == "Variable":
                    variables_column = 1
            else:
                variables_column = None
            self.check_line(doc, number, line, variables_column)

    def check_defaults(self):
        """Variables that scripts read with a default, and never set: a person may set them."""
        shell = [n for n in FILES if is_shell(n)]
        for name in shell:
            for number, line in enumerate(text_of(name).splitlines(), 1):
                for variable in DEFAULTED.findall(line):
                    set_by_scripts = any(re.search(rf"^\s*(export\s+)?{variable}=(?!\$\{{{variable}\b)", text_of(n), re.M)
                                         for n in shell)
                    if not set_by_scripts and variable not in self.documented:
                        self.report(name, number, variable, "a script reads it with a default, and no doc writes it")


def main():
    docs = ["README.md"] + sorted(n for n in FILES if re.fullmatch(r"docs/[^/]+\.md", n)) + ["docs/README.txt"]
    checker = Checker()
    for doc in docs:
        checker.check_doc(doc)
    checker.check_defaults()
    for finding in checker.findings:
        print(finding)
    if checker.findings:
        print(f"The docs say {len(checker.findings)} things that the tree does not (tools/check_docs.py).", file=sys.stderr)
        return 1
    print(f"Docs checked: {len(docs)} files against the tree, no finding.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
