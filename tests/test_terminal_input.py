"""Decoding what a terminal sends in raw mode into key events: control bytes,
escape-prefixed (alt) keys, CSI and SS3 sequences and UTF-8 characters."""

import pytest

import _zimbrel_testkit as testkit

SHIFT, ALT, CONTROL = 1, 2, 4


@pytest.mark.parametrize(
    "data, events",
    [
        (b"q", [("Char", "q", 0)]),
        (b"Q", [("Char", "Q", 0)]),
        (b"pm", [("Char", "p", 0), ("Char", "m", 0)]),
        # control bytes are the letter with the control modifier
        (b"\x11", [("Char", "q", CONTROL)]),
        (b"\x03", [("Char", "c", CONTROL)]),
        (b"\x00", [("Char", " ", CONTROL)]),
        (b"\x1c", [("Char", "4", CONTROL)]),
        (b"\r\n\t\x7f\x08", [("Enter", 0, 0), ("Enter", 0, 0), ("Tab", 0, 0), ("Backspace", 0, 0), ("Backspace", 0, 0)]),
        # a byte after a lone escape carries the alt modifier
        (b"\x1bq", [("Char", "q", ALT)]),
        (b"\x1b\x11", [("Char", "q", ALT | CONTROL)]),
        (b"\x1b\xc3\xa9", [("Char", "é", ALT)]),
        (b"\x1b", [("Esc", 0, 0)]),
        (b"\x1b\x1bq", [("Esc", 0, 0), ("Char", "q", ALT)]),
        # CSI and SS3 keys, with xterm's modifier parameter
        (b"\x1b[A\x1b[B\x1b[C\x1b[D", [("Up", 0, 0), ("Down", 0, 0), ("Right", 0, 0), ("Left", 0, 0)]),
        (b"\x1b[1;5A", [("Up", 0, CONTROL)]),
        (b"\x1b[1;3D", [("Left", 0, ALT)]),
        (b"\x1b[3~\x1b[5;2~", [("Delete", 0, 0), ("PageUp", 0, SHIFT)]),
        (b"\x1b[15~\x1b[24~\x1bOP", [("Function", 5, 0), ("Function", 12, 0), ("Function", 1, 0)]),
        (b"\x1b[Z", [("BackTab", 0, SHIFT)]),
        (b"\x1bOH\x1b[F", [("Home", 0, 0), ("End", 0, 0)]),
        # reports that are not keys
        (b"\x1b[I\x1b[O", [None, None]),
        (b"\x1b[<0;10;5M", [None]),
        (b"\x1b[M !!q", [None, ("Char", "q", 0)]),
        (b"\x1b[99~", [None]),
        # UTF-8, and bytes that are not UTF-8
        (b"\xc3\xa9\xe2\x94\x82\xf0\x9f\x98\x80", [("Char", "é", 0), ("Char", "│", 0), ("Char", "😀", 0)]),
        (b"\xff", [None]),
        (b"\xc3q", [None, ("Char", "q", 0)]),
        (b"\xe2\x94", [None]),
    ],
)
def test_decode(data, events):
    assert testkit.decode_events(data) == events


@pytest.mark.parametrize(
    "data, complete",
    [
        (b"", False),
        (b"q", True),
        (b"\x1b", False),  # an escape alone may start a sequence: wait for more
        (b"\x1b[", False),
        (b"\x1b[1;5", False),
        (b"\x1b[1;5A", True),
        (b"\x1bO", False),
        (b"\x1bq", True),
        (b"\xe2\x94", False),
        (b"\x1b[M !", False),
    ],
)
def test_incomplete_sequences_wait_for_the_rest(data, complete):
    assert testkit.first_event_complete(data) is complete
