"""The package as it is installed and found: pip into a virtual
environment, cmake --install, the library found beside the package, by
CELERRA_LIBRARY or not at all, `python -m celerra`, and the README's
example."""

import glob
import os
import re
import shutil
import subprocess
import sys

import pytest

import celerra
from conftest import PASSWORD

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
LIBRARY = os.path.realpath(os.environ["CELERRA_LIBRARY"])


def run(command, env_update=None, drop=("CELERRA_LIBRARY", "PYTHONPATH"), cwd="/"):
    """`command` with the environment less `drop`, plus `env_update`; its
    standard output, failing the test on a bad exit status."""
    env = {k: v for k, v in os.environ.items() if k not in drop}
    env.update(env_update or {})
    done = subprocess.run(command, env=env, cwd=cwd, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, "%s\n%s%s" % (command, done.stdout, done.stderr)
    return done.stdout


def test_python_m_celerra_names_the_versions_and_the_library():
    out = run([sys.executable, "-m", "celerra"], {"PYTHONPATH": os.path.join(SOURCE, "python"),
                                                 "CELERRA_LIBRARY": LIBRARY})
    assert out == "celerra %s\nlibcelerra %s: %s\n" % (celerra.__version__, celerra.__version__, LIBRARY)
    assert celerra.library_version() == celerra.__version__


def test_the_library_is_found_beside_the_package_or_named_or_reported_missing(tmp_path):
    package = tmp_path / "celerra"
    shutil.copytree(os.path.join(SOURCE, "python", "celerra"), package)
    shutil.copy(LIBRARY, package / "libcelerra.so.1")
    probe = [sys.executable, "-c", "import celerra; print(celerra.library_path())"]
    assert run(probe, {"PYTHONPATH": str(tmp_path)}) == str(package / "libcelerra.so.1") + "\n"
    # The variable comes first, and a file it names that cannot be loaded
    # is an error, not a reason to look elsewhere.
    assert run(probe, {"PYTHONPATH": str(tmp_path), "CELERRA_LIBRARY": LIBRARY}) == LIBRARY + "\n"
    missing = str(tmp_path / "missing.so")
    done = subprocess.run(probe, env=dict(os.environ, PYTHONPATH=str(tmp_path), CELERRA_LIBRARY=missing),
                          capture_output=True, text=True)
    assert done.returncode != 0 and "LibraryNotFoundError: cannot load " + missing in done.stderr


def test_pip_installs_the_package_offline_into_a_virtual_environment(tmp_path):
    source = tmp_path / "src"  # pip and setuptools write beside the sources
    shutil.copytree(os.path.join(SOURCE, "python"), source, ignore=shutil.ignore_patterns("__pycache__"))
    venv = tmp_path / "venv"
    run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)])
    run([str(venv / "bin" / "pip"), "install", "--quiet", "--no-build-isolation", "--no-index", str(source)],
        {"PIP_DISABLE_PIP_VERSION_CHECK": "1"})
    shutil.rmtree(source)
    out = run([str(venv / "bin" / "python"), "-m", "celerra"], {"CELERRA_LIBRARY": LIBRARY})
    assert out.endswith(": %s\n" % LIBRARY)
    assert glob.glob(str(venv / "lib" / "python3*" / "site-packages" / "celerra" / "py.typed"))


def test_cmake_install_puts_the_package_where_it_finds_the_installed_library(tmp_path):
    build = os.environ.get("CELERRA_BUILD_DIR")
    if not build:
        pytest.skip("run by ctest: needs the build tree (CELERRA_BUILD_DIR)")
    prefix = tmp_path / "prefix"
    run(["cmake", "--install", build, "--prefix", str(prefix)])
    site = prefix / "lib" / "python3" / "dist-packages"
    out = run([sys.executable, "-m", "celerra"], {"PYTHONPATH": str(site), "LD_LIBRARY_PATH": ""})
    assert re.search(r": %s/lib/libcelerra\.so\.1\.\S+\n$" % re.escape(str(prefix)), out), out


def readme_example():
    """The Python example of the README (wherever the README's sections
    now live)."""
    for path in [os.path.join(SOURCE, "README.md")] + sorted(glob.glob(os.path.join(SOURCE, "doc", "*.md"))):
        with open(path, encoding="utf-8") as f:
            for block in re.findall(r"```python\n(.*?)```", f.read(), re.S):
                if "celerra.Client(" in block:
                    return block
    raise AssertionError("no Python example with celerra.Client in the README")


def test_the_readme_example_runs(sim):
    out = run([sys.executable, "-c", readme_example()], {
        "PYTHONPATH": os.path.join(SOURCE, "python"), "CELERRA_LIBRARY": LIBRARY, "CELERRA_HOST": sim.address,
        "CELERRA_PASSWORD": PASSWORD}, drop=())
    assert "fs1: 1203 of 10079 MB used\n" in out and "no checkpoint nightly (not-found): Checkpoint nightly not found" in out, out
