"""The terminal UI toolkit: layout splitter, widgets and the diffing terminal back end."""

import errno
import itertools

import pyte
import pytest

import _zimbrel_testkit as kit

# ---------------------------------------------------------------- layout

CONSTRAINT_SETS = [
    [("length", 5), ("length", 3), ("min", 8), ("length", 3)],
    [("length", 5), ("length", 3), ("min", 10), ("length", 3)],
    [("percentage", 33), ("percentage", 33), ("percentage", 34)],
    [("percentage", 40), ("percentage", 30), ("percentage", 30)],
    [("percentage", 60), ("percentage", 40)],
    [("percentage", 25)] * 4,
    [("min", 2), ("min", 3), ("length", 4)],
    [("percentage", 30)],
    [("length", 70000 % 65536)],
]


def fills_exactly(constraints, total):
    """Whether the constraints allow the area to be filled exactly."""
    requested = sum(v for k, v in constraints if k != "percentage")
    percents = sum(v for k, v in constraints if k == "percentage")
    has_min = any(k == "min" for k, _ in constraints)
    if percents == 100 and requested == 0:
        return True
    return has_min and requested + (total * percents * 2 + 100) // 200 <= total


@pytest.mark.parametrize("constraints", CONSTRAINT_SETS)
@pytest.mark.parametrize("direction", ["horizontal", "vertical"])
def test_split_parts_are_contiguous_inside_the_area_and_fill_it_when_allowed(constraints, direction):
    for total, origin in itertools.product([0, 1, 2, 7, 13, 19, 24, 100, 101, 1999], [0, 3]):
        area = (origin, 2 * origin, total, 5) if direction == "horizontal" else (origin, 2 * origin, 5, total)
        parts = kit.split(area, direction, constraints)
        axis = 0 if direction == "horizontal" else 1
        start = area[axis]
        for part in parts:
            assert part[axis] == start  # packed from the start, no overlap, no gap
            assert part[1 - axis] == area[1 - axis] and part[3 - axis] == area[3 - axis]
            start += part[2 + axis]
        assert start <= area[axis] + total
        if fills_exactly(constraints, total):
            assert start == area[axis] + total, (total, parts)


@pytest.mark.parametrize(
    "total, constraints, sizes",
    [
        # percentages by cumulative rounding, half up
        (100, [("percentage", 33), ("percentage", 33), ("percentage", 34)], [33, 33, 34]),
        (101, [("percentage", 33), ("percentage", 33), ("percentage", 34)], [33, 34, 34]),
        (13, [("percentage", 60), ("percentage", 40)], [8, 5]),
        (80, [("percentage", 40), ("percentage", 30), ("percentage", 30)], [32, 24, 24]),
        (30, [("length", 5), ("length", 3), ("min", 8), ("length", 3)], [5, 3, 19, 3]),
        (10, [("min", 2), ("min", 3), ("length", 4)], [3, 3, 4]),  # surplus shared, earlier Min first
        (20, [("min", 2), ("min", 3), ("length", 4)], [8, 8, 4]),
        # too small: later parts shrink, down to zero
        (15, [("length", 5), ("length", 3), ("min", 8), ("length", 3)], [5, 3, 7, 0]),
        (6, [("length", 5), ("length", 3), ("min", 8), ("length", 3)], [5, 1, 0, 0]),
        (10, [("percentage", 30)], [3]),  # nothing may grow: the rest stays unused
    ],
)
def test_split_sizes(total, constraints, sizes):
    parts = kit.split((0, 0, total, 1), "horizontal", constraints)
    assert [p[2] for p in parts] == sizes


# ---------------------------------------------------------------- widgets

WIDGET_SPECS = {
    "sparkline": {"data": [0, 50, 100, 200, 2**64 - 1], "max": 100},
    "gauge": {"percent": 70, "label": "0.6931"},
    "paragraph": {"lines": ["a line much longer than any area here", "second"], "title": " A long title "},
    "chart": {"datasets": [("Reward", [0, 0, 1, 1e300, 2, -1e300, 3, float("nan"), 4, float("inf")])],
              "x_bounds": [0, 4], "y_bounds": [-1, 1], "x_labels": ["0", "2.0K", "4"],
              "y_labels": ["-1.00", "0.00", "1.00"], "y_title": "Reward"},
}


@pytest.mark.parametrize("kind", WIDGET_SPECS)
@pytest.mark.parametrize("size", [(0, 0), (1, 1), (2, 2), (3, 3), (5, 2), (9, 4), (30, 12)])
def test_widgets_draw_only_inside_their_area_at_any_size(kind, size):
    screen = (40, 16)
    area = (4, 2, *size)
    lines, styles = kit.render_widget(kind, screen, area, WIDGET_SPECS[kind])
    for row, (line, row_styles) in enumerate(zip(lines, styles)):
        for col, (char, style) in enumerate(zip(line, row_styles)):
            inside = 4 <= col < 4 + size[0] and 2 <= row < 2 + size[1]
            if not inside:
                assert (char, style) == (" ", ""), (row, col)


@pytest.mark.parametrize("kind", WIDGET_SPECS)
def test_widgets_clip_an_area_reaching_past_the_screen(kind):
    lines, _ = kit.render_widget(kind, (10, 4), (6, 2, 30, 30), WIDGET_SPECS[kind])
    assert [line[:6] for line in lines] == [" " * 6] * 4
    assert lines[2][6] == "┌"


def test_block_and_paragraph_clip_text_without_wrapping():
    lines, _ = kit.render_widget("paragraph", (12, 4), (0, 0, 12, 4),
                                 {"lines": ["abcdefghijklmnop", "x\x1b[2Jy"], "title": " Title that is long "})
    assert lines == [
        "┌ Title tha┐",
        "│abcdefghij│",
        "│x\ufffd[2Jy    │",  # control characters cannot reach the terminal
        "└──────────┘",
    ]


def test_sparkline_uses_the_nine_levels_oldest_first():
    lines, styles = kit.render_widget("sparkline", (11, 3), (0, 0, 11, 3), {"data": list(range(9)), "max": 8})
    assert lines[1] == "│ ▁▂▃▄▅▆▇█│"
    assert styles[1][1:10] == ["Yellow"] * 9 and styles[0][0] == ""


@pytest.mark.parametrize(
    "data, max_value, rows",
    [
        ([50], 100, ["  ", "█ "]),  # eighths spread over the rows, bottom first
        ([100, 250], 100, ["██", "██"]),  # at or above max: full height
        ([60, 0], 100, ["▁ ", "█ "]),
        ([0, 1], 0, ["  ", "  "]),  # a zero maximum draws empty bars
        (list(range(20)), 19, ["▇█", "██"]),  # more samples than columns: the newest, newest at the right
    ],
)
def test_sparkline_bar_heights(data, max_value, rows):
    lines, _ = kit.render_widget("sparkline", (4, 4), (0, 0, 4, 4), {"data": data, "max": max_value})
    assert [line[1:3] for line in lines[1:3]] == rows


@pytest.mark.parametrize(
    "percent, row",
    [
        (0, "    0%    "),
        (50, "███50%    "),
        (69, "███69%█   "),
        (100, "███100%███"),
        (250, "███250%███"),  # capped at a full bar
    ],
)
def test_gauge_fills_whole_cells_and_centres_a_readable_label(percent, row):
    lines, styles = kit.render_widget("gauge", (12, 3), (0, 0, 12, 3), {"percent": percent, "label": f"{percent}%"})
    assert lines[1][1:11] == row
    for char, style in zip(lines[1][1:11], styles[1][1:11]):
        if char == "█":
            assert style == "Green"
        elif char != " ":
            filled_under = style == "Black/Green"
            assert filled_under or style == ""


def test_chart_draws_a_braille_line_inside_its_axes():
    lines, styles = kit.render_widget("chart", (24, 10), (0, 0, 24, 10), {
        "datasets": [("up", [0, 0, 10, 10])], "x_bounds": [0, 10], "y_bounds": [0, 10],
        "x_labels": ["0", "5", "10"], "y_labels": ["0", "10"], "y_title": "Y"})
    assert lines == [
        "┌ C ───────────────────┐",
        "│Y                     │",
        "│10│               ⢀⡠⠔⠊│",
        "│  │           ⢀⡠⠔⠊⠁   │",
        "│  │       ⢀⡠⠔⠊⠁       │",
        "│  │   ⢀⡠⠔⠊⠁           │",
        "│ 0│⡠⠔⠊⠁               │",
        "│  └───────────────────│",
        "│  0        5        10│",
        "└──────────────────────┘",
    ]
    assert styles[2][3] == "DarkGray" and styles[7][3] == "DarkGray" and styles[2][22] == "Yellow"


def test_chart_clips_segments_at_the_bounds():
    lines, _ = kit.render_widget("chart", (24, 8), (0, 0, 24, 8), {
        "datasets": [("up", [0, -10, 10, 20, 20, 5])], "x_bounds": [0, 10], "y_bounds": [0, 10]})
    # the first segment crosses the graph from bottom to top, the second lies outside
    graph = [line[2:23] for line in lines[1:6]]
    assert graph[0].strip() and graph[-1].strip()
    assert all(line[17:].strip() == "" for line in graph)


@pytest.mark.parametrize(
    "size, shown",
    [
        ((40, 16), True),
        ((15, 16), False),  # legend 4 wide: more than a quarter of 15
        ((40, 15), False),  # legend 4 high: more than a quarter of 15
    ],
)
def test_chart_legend_sits_top_right_unless_too_large(size, shown):
    lines, styles = kit.render_widget("chart", size, (0, 0, *size), {
        "datasets": [("a", [0, 5, 10, 5]), ("bb", [5, 0, 5, 10])], "x_bounds": [0, 10], "y_bounds": [0, 10]})
    legend = [line[-5:-1] for line in lines[1:5]]
    if shown:
        assert legend == ["┌──┐", "│a │", "│bb│", "└──┘"]
        assert styles[2][-4] == "Yellow" and styles[3][-4] == "Red"
    else:
        assert "┌──┐" not in "".join(lines)


@pytest.mark.parametrize("bounds", [[0, 0], [5, 1], [0, float("inf")], [float("nan"), 1]])
def test_chart_with_unusable_bounds_draws_axes_but_no_data(bounds):
    lines, _ = kit.render_widget("chart", (20, 8), (0, 0, 20, 8), {
        "datasets": [("", [0, 0, 1, 1])], "x_bounds": bounds, "y_bounds": [0, 1]})
    assert not any(0x2800 <= ord(c) <= 0x28FF for line in lines for c in line)
    assert "└" in lines[-2]


# ---------------------------------------------------------------- terminal


def replay(width, height, chunks):
    screen = pyte.Screen(width, height)
    stream = pyte.ByteStream(screen)
    for chunk in chunks:
        stream.feed(chunk)
    return screen


def view_frame(view, **cells):
    return (view, cells, [])


def test_terminal_output_reproduces_each_frame_and_unchanged_frames_cost_nothing():
    history = [{"steps": 1000 * i, "mean_reward": i % 7, "cpu_usage": 10.0 * i} for i in range(8)]
    frames = [
        ("dashboard", {"steps": 1, "cpu_usage": 90.0}, history),
        ("dashboard", {"steps": 1, "cpu_usage": 90.0}, history),
        ("dashboard", {"steps": 2345, "cpu_usage": 61.0}, history),
        ("chart", {"steps": 2345}, history),
    ]
    outputs = kit.terminal_output(90, 30, frames)
    assert outputs[1] == b""  # nothing changed, nothing written
    assert 0 < len(outputs[2]) < 200
    for upto, (view, cells, hist) in [(1, frames[0]), (3, frames[2]), (4, frames[3])]:
        screen = replay(90, 30, outputs[:upto])
        expected_lines, expected_styles = kit.render_view(view, 90, 30, cells, hist)
        assert screen.display == expected_lines
        assert [[style_of(screen.buffer[row][col]) for col in range(90)] for row in range(30)] == expected_styles


PYTE_COLOURS = {"default": "", "black": "Black", "red": "Red", "green": "Green", "brown": "Yellow", "blue": "Blue",
                "magenta": "Magenta", "cyan": "Cyan", "white": "Gray", "brightblack": "DarkGray",
                "brightwhite": "White"}


def style_of(char):
    """A pyte cell's attributes in the testkit's style names."""
    name = PYTE_COLOURS[char.fg]
    if char.bg != "default":
        name += "/" + PYTE_COLOURS[char.bg]
    return name + ("+bold" if char.bold else "")


def test_terminal_hides_the_cursor_once_and_shows_it_when_released():
    outputs = kit.terminal_output(20, 5, [view_frame("minimal"), view_frame("minimal", steps=5)])
    assert outputs[0].startswith(b"\x1b[?25l")
    assert b"\x1b[?25l" not in outputs[1]
    assert outputs[-1] == b"\x1b[?25h"
    assert kit.terminal_output(20, 5, [])[-1] == b""  # never drawn, never hidden


def test_terminal_falls_back_to_80_by_24_when_the_fd_is_no_terminal():
    outputs = kit.terminal_output(0, 0, [view_frame("minimal")])
    screen = replay(80, 24, outputs[:1])
    assert screen.display[0].startswith("┌ Zimbrel ─") and screen.display[0].endswith("┐")
    assert screen.display[23].startswith("└") and screen.display[23].endswith("┘")


def test_terminal_reports_a_failed_write():
    code, message = kit.terminal_write_error()
    assert code == errno.EPIPE and message
