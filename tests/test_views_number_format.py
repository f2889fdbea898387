"""Numbers as the views and the CSV log write them."""

import math
import random
import struct

import pytest

import _zimbrel_testkit as kit


@pytest.mark.parametrize(
    "value, decimals, text",
    [
        (2.5, 0, "2"),  # exact tie goes to the even digit
        (3.5, 0, "4"),
        (0.125, 2, "0.12"),
        (0.375, 2, "0.38"),
        (2.675, 2, "2.67"),  # 2.675 is really 2.67499999... as a double
        (195.4567, 2, "195.46"),
        (45678.9, 0, "45679"),
        (-3.5, 2, "-3.50"),
        (0.0123456789, 6, "0.012346"),
        (1e22, 0, "10000000000000000000000"),  # never an exponent
        (1e-7, 4, "0.0000"),
        (-0.0, 2, "-0.00"),  # negative zero keeps its sign
        (-0.00005, 2, "-0.00"),
        (float("nan"), 2, "NaN"),
        (-float("nan"), 0, "NaN"),
        (float("inf"), 1, "inf"),
        (-float("inf"), 4, "-inf"),
    ],
)
def test_fixed_point_text(value, decimals, text):
    assert kit.write_fixed(value, decimals) == text


def test_fixed_point_fits_its_buffer_for_the_widest_double():
    text = kit.write_fixed(-1.7976931348623157e308, 17)
    assert text.startswith("-179769313486231570814527423731704356798")
    assert len(text) == 1 + 309 + 1 + 17


@pytest.mark.parametrize("decimals, text", [(-3, "3"), (40, "3.14159265358979312")])
def test_fixed_point_clamps_out_of_range_decimals(decimals, text):
    assert kit.write_fixed(math.pi, decimals) == text


@pytest.mark.parametrize(
    "n, text",
    [
        (0, "0"),
        (999, "999"),
        (1000, "1,000"),
        (100000, "100,000"),
        (1234567, "1,234,567"),
        (2**64 - 1, "18,446,744,073,709,551,615"),
    ],
)
def test_format_number(n, text):
    assert kit.format_number(n) == text


def test_fixed_point_agrees_with_python_on_many_doubles():
    """Python's own fixed-point formatting is exact with ties to even too; the
    values cover the short path (up to 8 decimals, below 2^53) and the rest."""
    rng = random.Random(20240611)
    values = [0.0, -0.0, 5e-324, -5e-324, 2.0**53 - 1, 2.0**53, 2.0**64, 0.5, 1.5, -2.5, 9.999999995, 1e-9, -1e-9]
    values += [rng.randint(-10**7, 10**7) / 2 ** rng.randint(0, 14) for _ in range(3000)]  # exact ties
    values += [rng.uniform(-1, 1) * 10.0 ** rng.randint(-12, 25) for _ in range(3000)]
    values += [struct.unpack("<d", rng.getrandbits(64).to_bytes(8, "little"))[0] for _ in range(1000)]
    for value in values:
        if math.isfinite(value):
            for decimals in (0, 1, 2, 3, 4, 6, 8, 9, 17):
                assert kit.write_fixed(value, decimals) == format(value, f".{decimals}f"), (value, decimals)
