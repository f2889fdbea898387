"""Numbers as the views and the CSV log write them."""

import math

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
