"""Fixtures of the Python package's tests: celerra-sim from the build tree,
started on a free port with its certificate written to a temporary file, and
clients bound to it. The build's ctest entry sets CELERRA_BIN_DIR (where
celerra-sim is) and CELERRA_LIBRARY (the libcelerra.so under test), and puts
the package's source on PYTHONPATH."""

import os
import subprocess
import sys

import pytest

USER = "admin"
PASSWORD = "S3cr&t=pa55"

# Default to the tree's own build when run by hand from the source tree.
_SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
os.environ.setdefault("CELERRA_BIN_DIR", os.path.join(_SOURCE, "build", "bin"))
os.environ.setdefault("CELERRA_LIBRARY", os.path.join(_SOURCE, "build", "lib", "libcelerra.so"))
sys.path.insert(0, os.path.join(_SOURCE, "python"))

import celerra  # noqa: E402


class Sim:
    """One celerra-sim process: `address` is its HOST:PORT, `cert` the file
    holding its certificate."""

    def __init__(self, directory, *args):
        self.cert = os.path.join(directory, "sim-%d.pem" % id(self))
        env = dict(os.environ, CELTEST_SIM_PASSWORD=PASSWORD)
        command = [os.path.join(os.environ["CELERRA_BIN_DIR"], "celerra-sim"), "--user", USER, "--password-env",
                   "CELTEST_SIM_PASSWORD", "--cert-out", self.cert, *args]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, env=env, text=True)
        line = self.process.stdout.readline()
        prefix = "listening on https://"
        if not line.startswith(prefix):
            self.stop()
            raise RuntimeError("celerra-sim did not start: %r" % line)
        self.address = line[len(prefix):].strip()

    def client(self, password=PASSWORD, **settings):
        """A client verified by the simulator's certificate."""
        settings.setdefault("ca_bundle", self.cert)
        return celerra.Client(self.address, USER, password, job_id=7, **settings)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=30)
        self.process.stdout.close()


@pytest.fixture(autouse=True)
def private_temp_dir(tmp_path, monkeypatch):
    """The library's private files (traces, lock) under the test's own
    directory."""
    monkeypatch.setenv("CELERRA_TEMP_DIR", str(tmp_path))


@pytest.fixture
def start_sim(tmp_path):
    """Starts simulators (arguments: celerra-sim's, e.g. faults); each is
    stopped when the test ends."""
    started = []

    def start(*args):
        sim = Sim(str(tmp_path), *args)
        started.append(sim)
        return sim

    yield start
    for sim in started:
        sim.stop()


@pytest.fixture
def sim(start_sim):
    """A simulator with the default dataset, fresh for each test."""
    return start_sim()


@pytest.fixture
def client(sim):
    with sim.client() as c:
        yield c
