"""Helpers for the Python module's tests: the program they compare with."""

import os
import subprocess

import pytest


@pytest.fixture(scope="session")
def cli():
    """Runs the program (PELLIMOR_BINARY, set by ctest) with the given
    arguments in a scratch folder; returns the finished process."""
    binary = os.environ["PELLIMOR_BINARY"]

    def run(*args, cwd=None):
        return subprocess.run([binary, *map(str, args)], capture_output=True, text=True,
                              cwd=cwd)

    return run


@pytest.fixture(scope="session")
def cli_error(cli):
    """The message of a usage error of the program: its first line on
    standard error without "pellimor: "; the status must be 2."""

    def message(*args):
        done = cli(*args)
        assert done.returncode == 2, done.stderr
        first = done.stderr.splitlines()[0]
        assert first.startswith("pellimor: ")
        return first[len("pellimor: "):]

    return message
