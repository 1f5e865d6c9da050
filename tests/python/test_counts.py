"""pellimor.counts against `pellimor --count` and `pellimor --count --edges`."""

import decimal
import math
import sys

import pytest

import pellimor

# The exact counts pass Python's default limit of 4300 digits for int(str).
sys.set_int_max_str_digits(0)


# n = 258 takes the rows beyond the exact range (n > 256) too.
@pytest.mark.parametrize("n, by_edges", [(258, False), (9, True)])
def test_rows_are_the_command_lines(cli, n, by_edges):
    done = cli("--count", *(["--edges"] if by_edges else []), n)
    assert done.returncode == 0, done.stderr
    header, *lines = done.stdout.splitlines()
    columns = header.split("\t")
    rows = pellimor.counts(n, by_edges=by_edges)
    assert len(rows) == len(lines)
    for row, line in zip(rows, lines):
        assert list(row) == columns
        for name, text in zip(columns, line.split("\t")):
            value = row[name]
            if isinstance(value, float):
                # The program prints 12 significant digits.
                assert math.isclose(value, float(text), rel_tol=1e-11, abs_tol=1e-300), name
            elif isinstance(value, decimal.Decimal):
                assert row["n"] > 256 and value == decimal.Decimal(text), name
            else:
                assert type(value) is int and value == int(text), name


# True must not pass for 1.
@pytest.mark.parametrize("n, by_edges", [(0, False), (129, True), (True, False)])
def test_bad_n_raises_the_command_lines_message(cli_error, n, by_edges):
    expected = cli_error("--count", *(["--edges"] if by_edges else []), repr(n))
    with pytest.raises(ValueError) as raised:
        pellimor.counts(n, by_edges=by_edges)
    assert str(raised.value) == expected
