#!/usr/bin/python3
"""The documents against the code they describe, so that neither rots.

Man pages: each renders without a warning, and each tool's page names
exactly the long options its --help shows (celerractl: of every
subcommand), and every subcommand.

Code in README.md and doc/*.md, by the fenced block's info string:
  cpp          compiled against the tree's headers (wrapped in a function
               taking `jobId` and `password` unless it has a main)
  cpp listing  each declaration is in one of the installed headers
  sh           run with bash in a scratch directory, the tools on PATH
  cmake        each line is in tests/consumer/CMakeLists.txt, which the
               install test builds against an installed tree
Other blocks (ini, json, none) are samples of text, not code.
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

SRC = os.environ["CELERRA_SOURCE_DIR"]
BIN = os.environ["CELERRA_BIN_DIR"]
BUILD = os.environ["CELERRA_BUILD_DIR"]
CXX = os.environ["CELERRA_CXX"]
CXX_FLAGS = os.environ.get("CELERRA_CXX_FLAGS", "").split()
INSTALLED_HEADERS = ["manage/ManageCelerra.h", "manage/SnapDeviceName.h", "messages/CelerraTypes.h",
                     "messages/catalogue/CelerraRecords.h", "transport/CelerraTransportSettings.h"]

results = {"passed": 0, "failed": 0}


def check(name, ok, detail=""):
    results["passed" if ok else "failed"] += 1
    if not ok:
        print(f"FAILED: {name}\n{detail}".rstrip())


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, **kw)


def long_options(text):
    return set(re.findall(r"(?<![\w-])--[a-z][a-z-]*[a-z]", text))


def man_text(page):
    """The page's source without font changes, quotes and escapes."""
    with open(os.path.join(SRC, "doc/man", page)) as f:
        text = f.read().replace("\\-", "-")
    return re.sub(r"\\f[BIRP]|\\e|[\"\\]", "", text)


def celerractl_help(path=()):
    """Long options and subcommand paths from --help, walked down the tree."""
    out = run([BIN + "/celerractl", *path, "--help"]).stdout
    options, paths = long_options(out), []
    section = ""
    for line in out.splitlines():
        if not line.startswith(" "):
            section = line.strip()
            continue
        m = re.match(r"^  ([a-z][a-z-]*)\s", line + " ")
        if section.startswith("Subcommands") and m:
            sub = path + (m.group(1),)
            paths.append(" ".join(sub))
            more_options, more_paths = celerractl_help(sub)
            options |= more_options
            paths += more_paths
    return options, paths


def check_man_pages():
    for page in sorted(os.listdir(os.path.join(SRC, "doc/man"))):
        r = run(["groff", "-man", "-ww", "-z", os.path.join(SRC, "doc/man", page)])
        check(f"{page} renders without a warning", r.returncode == 0 and r.stderr == "", r.stderr)
    help_options, paths = celerractl_help()
    check("celerractl --help walk found the subcommands", len(paths) > 30, "\n".join(paths))
    sim_help = run([BIN + "/celerra-sim", "--help"]).stdout
    for page, options in (("celerractl.1", help_options), ("celerra-sim.1", long_options(sim_help))):
        in_page = long_options(man_text(page))
        check(f"{page}: options of --help missing from the page", not options - in_page, sorted(options - in_page))
        check(f"{page}: options of the page that --help lacks", not in_page - options, sorted(in_page - options))
    page = man_text("celerractl.1")
    missing = [p for p in paths if not re.search(r"(^|\n|\s)" + re.escape(p) + r"\b", page)]
    check("celerractl.1: subcommands missing from the page", not missing, missing)


def fenced_blocks(path):
    """(line number, info string, text) of every fenced block."""
    blocks, info, start, body = [], None, 0, []
    with open(path) as f:
        for number, line in enumerate(f, 1):
            if line.startswith("```"):
                if info is None:
                    info, start, body = line[3:].strip(), number, []
                else:
                    blocks.append((start, info, "".join(body)))
                    info = None
            elif info is not None:
                body.append(line)
    return blocks


def compile_cpp(name, text, scratch):
    if "int main" not in text:
        includes = "".join(l for l in text.splitlines(True) if l.startswith("#include"))
        rest = "".join(l for l in text.splitlines(True) if not l.startswith("#include"))
        text = (includes + "#include <string>\n#include <vector>\n"
                "void DocumentExample(unsigned long long jobId, const std::string& password) {\n" + rest + "}\n")
    source = os.path.join(scratch, "example.cpp")
    with open(source, "w") as f:
        f.write(text)
    r = run([CXX, "-std=c++17", *CXX_FLAGS, "-I" + SRC, "-I" + BUILD + "/generated", "-c", source,
             "-o", os.path.join(scratch, "example.o")])
    check(f"{name} compiles", r.returncode == 0, r.stderr)


def squeeze(text):
    return re.sub(r"\s+", " ", text).strip()


def check_listing(name, text):
    headers = squeeze("".join(open(os.path.join(SRC, h)).read() for h in INSTALLED_HEADERS))
    for line in text.splitlines():
        code = squeeze(line.split("//")[0])
        if code:
            check(f"{name}: '{code}' is declared in an installed header", code in headers)


def check_cmake(name, text):
    # The target's own name is the reader's choice.
    def any_target(code):
        return re.sub(r"\b(target_\w+)\(\s*[\w-]+", r"\1(TARGET", code)
    consumer = any_target(squeeze(open(os.path.join(SRC, "tests/consumer/CMakeLists.txt")).read()))
    for line in text.splitlines():
        code = any_target(squeeze(line.split("#")[0]))
        if code:
            check(f"{name}: '{code}' is built by the install test's consumer", code in consumer)


def run_sh(name, text, scratch):
    env = dict(os.environ, PATH=BIN + ":" + os.environ.get("PATH", ""))
    r = run(["bash", "-euo", "pipefail", "-c", text], cwd=scratch, env=env)
    check(f"{name} runs", r.returncode == 0, r.stdout[-2000:] + r.stderr[-2000:])


def check_examples():
    documents = [os.path.join(SRC, "README.md")] + sorted(glob.glob(os.path.join(SRC, "doc/*.md")))
    counted = 0
    for document in documents:
        for line, info, text in fenced_blocks(document):
            name = f"{os.path.relpath(document, SRC)}:{line} ({info})"
            words = info.split()
            language = words[0] if words else ""
            with tempfile.TemporaryDirectory() as scratch:
                if language == "cpp" and "listing" in words:
                    check_listing(name, text)
                elif language == "cpp":
                    compile_cpp(name, text, scratch)
                elif language == "sh":
                    run_sh(name, text, scratch)
                elif language == "cmake":
                    check_cmake(name, text)
                else:
                    continue
            counted += 1
    check("code blocks were found in the documents", counted >= 4, str(counted))


if __name__ == "__main__":
    check_man_pages()
    check_examples()
    print(f"{results['passed']} passed, {results['failed']} failed")
    sys.exit(1 if results["failed"] else 0)
