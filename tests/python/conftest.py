import os
import shutil
import subprocess

import numpy as np
import pytest


@pytest.fixture(scope="session")
def mikado_bin():
    """The command-line program built beside the module (MIKADO_BIN from CTest)."""
    path = os.environ.get("MIKADO_BIN") or shutil.which("mikado")
    if not path:
        pytest.skip("the mikado program is not built")
    return path


@pytest.fixture(scope="session")
def run_mikado(mikado_bin, tmp_path_factory):
    """Runs the program without a window; returns its printed lines and its CSV tables."""

    def run(*args):
        d = tmp_path_factory.mktemp("run")
        fibers, contacts = d / "fibers.csv", d / "contacts.csv"
        out = subprocess.run([mikado_bin, "--no-view", "--fibers-out", str(fibers),
                              "--contacts-out", str(contacts), *args],
                             check=True, capture_output=True, text=True).stdout
        return out.splitlines(), read_csv(fibers), read_csv(contacts)

    return run


def read_csv(path):
    """A table of the program's: %.9g numbers read back as the float32 they were."""
    with open(path) as f:
        header = f.readline().strip().split(",")
    data = np.loadtxt(path, delimiter=",", skiprows=1, ndmin=2, dtype=np.float64)
    return {name: data[:, k] for k, name in enumerate(header)}
