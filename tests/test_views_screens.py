"""The monitor's views, rendered off-screen and compared as text and colours."""

import math

import pytest

import _zimbrel_testkit as kit

# Three pushes with every metric moving; totals arrive with the first one.
HISTORY = [
    {"steps": 0, "mean_reward": 10, "policy_loss": 0.5, "value_loss": 1.0, "cpu_usage": 20, "memory_mb": 4096,
     "total_memory_mb": 16384, "gpu_usage": 30, "gpu_memory_mb": 1024, "total_gpu_memory_mb": 8192},
    {"steps": 10240, "mean_reward": 12, "policy_loss": 0.25, "value_loss": 0.75, "cpu_usage": 50, "memory_mb": 8192,
     "gpu_usage": 60, "gpu_memory_mb": 2048},
    {"steps": 20480, "mean_reward": 11, "policy_loss": 0.125, "value_loss": 0.5, "cpu_usage": 100,
     "memory_mb": 12288, "gpu_usage": 90, "gpu_memory_mb": 4096},
]
CELLS = {"steps": 20480, "episodes": 321, "mean_reward": 11.0, "sps": 45678.9, "policy_loss": 0.125,
         "value_loss": 0.5, "entropy": 0.6931, "cpu_usage": 45.27, "memory_mb": 12288, "total_memory_mb": 16384,
         "gpu_usage": 0.0, "gpu_memory_mb": 3000}


def render(view, width, height, cells=None, history=None, **options):
    return kit.render_view(view, width, height, cells or {}, history or [], **options)


def find(lines, text, start_row=0):
    """(row, col) of the first occurrence of `text` at or below `start_row`."""
    for row in range(start_row, len(lines)):
        col = lines[row].find(text)
        if col >= 0:
            return row, col
    raise AssertionError(f"{text!r} not on screen")


def styles_of(screen, text, start_row=0):
    lines, styles = screen
    row, col = find(lines, text, start_row)
    return styles[row][col:col + len(text)]


def box_styles(screen, title, start_row=0):
    """Every style in the first box at or below `start_row` whose top border carries `title`."""
    lines, styles = screen
    top, left = find(lines, "┌" + title, start_row)
    left += 1
    left -= 1
    right = lines[top].index("┐", left)
    bottom = next(r for r in range(top, len(lines)) if lines[r][left] == "└")
    return {styles[r][c] for r in range(top, bottom + 1) for c in range(left, right + 1)}


# ---------------------------------------------------------------- minimal view

MINIMAL_EXAMPLE = (" Steps:    1,234,567 │ Episodes:      890 │ Reward:     195.46 │ SPS:        45679 │"
                   " [q]uit [p]ause [m]ode ")
MINIMAL_ZERO = (" Steps:            0 │ Episodes:        0 │ Reward:       0.00 │ SPS:            0 │"
                " [q]uit [p]ause [m]ode ")


@pytest.mark.parametrize(
    "cells, line",
    [
        ({"steps": 1234567, "episodes": 890, "mean_reward": 195.4567, "sps": 45678.9}, MINIMAL_EXAMPLE),
        ({}, MINIMAL_ZERO),
    ],
)
def test_minimal_view_whole_screen(cells, line):
    width = len(line) + 2
    screen = render("minimal", width, 4, cells)
    assert screen[0] == [
        "┌ Zimbrel " + "─" * (width - 11) + "┐",
        "│" + line + "│",
        "│" + " " * len(line) + "│",
        "└" + "─" * (width - 2) + "┘",
    ]
    assert {style for row in screen[1] for style in row} == {"Cyan"}


@pytest.mark.parametrize(
    "cells, piece",
    [
        ({"steps": 10**12}, " Steps: 1,000,000,000,000 │ Episodes:        0 │"),  # overflowing field pushes right
        ({"mean_reward": -3.5}, " │ Reward:      -3.50 │ "),
        ({"mean_reward": float("nan")}, " │ Reward:        NaN │ "),
        ({"mean_reward": -float("inf")}, " │ Reward:       -inf │ "),
        ({"sps": 0.4}, " │ SPS:            0 │ "),
        ({"sps": 1234.6}, " │ SPS:         1235 │ "),  # no thousands separators for sps
        ({"sps": 2.5}, " │ SPS:            2 │ "),
        ({"episodes": 2**64 - 1}, " │ Episodes: 18,446,744,073,709,551,615 │ "),
    ],
)
def test_minimal_view_fields(cells, piece):
    lines, _ = render("minimal", 200, 3, cells)
    assert piece in lines[1]


def test_minimal_view_clips_at_the_right_border():
    lines, _ = render("minimal", 30, 3)
    assert lines[1] == "│" + MINIMAL_ZERO[:28] + "│"


# ---------------------------------------------------------------- dashboard and chart view

DASHBOARD_NO_GPU = """\
┌ Progress ─────────────┐┌ Performance ──────────┐┌ Losses ───────────────┐┌ Entropy ──────────────┐
│Steps: 20,480          ││Reward: 11.00          ││Policy: 0.125000       ││████████████████       │
│Episodes: 321          ││SPS: 45679             ││Value: 0.500000        ││████████0.6931██       │
│                       ││                       ││                       ││████████████████       │
└───────────────────────┘└───────────────────────┘└───────────────────────┘└───────────────────────┘
┌ CPU ───────────────────────────────────────────┐┌ Memory ────────────────────────────────────────┐
│CPU: 45.3%                                      ││RAM: 12.0/16.0 GB                               │
└────────────────────────────────────────────────┘└────────────────────────────────────────────────┘
┌ Reward History ────────────────────────────────┐┌ CPU % ─────────────────────────────────────────┐
│ █                                              ││  █                                             │
│ █                                              ││  █                                             │
│ █                                              ││ ▄█                                             │
│ █                                              ││ ██                                             │
│ █                                              ││███                                             │
│ █▄                                             │└────────────────────────────────────────────────┘
│ ██                                             │┌ RAM % ─────────────────────────────────────────┐
│ ██                                             ││                                                │
│ ██                                             ││  █                                             │
│ ██                                             ││ ██                                             │
│ ██                                             ││███                                             │
└────────────────────────────────────────────────┘└────────────────────────────────────────────────┘
┌──────────────────────────────────────────────────────────────────────────────────────────────────┐
│ [q] Quit  [p] Pause  [m] Toggle Mode  [s] Save Checkpoint                                        │
└──────────────────────────────────────────────────────────────────────────────────────────────────┘
"""

DASHBOARD_GPU = """\
┌ Progress ─────────────┐┌ Performance ──────────┐┌ Losses ───────────────┐┌ Entropy ──────────────┐
│Steps: 20,480          ││Reward: 11.00          ││Policy: 0.125000       ││████████████████       │
│Episodes: 321          ││SPS: 45679             ││Value: 0.500000        ││████████0.6931██       │
│                       ││                       ││                       ││████████████████       │
└───────────────────────┘└───────────────────────┘└───────────────────────┘└───────────────────────┘
┌ CPU ──────────────────┐┌ GPU ──────────────────┐┌ Memory ───────────────┐┌ GPU Memory ───────────┐
│CPU: 45.3%             ││GPU: N/A               ││RAM: 12.0/16.0 GB      ││VRAM: 2.9/8.0 GB       │
└───────────────────────┘└───────────────────────┘└───────────────────────┘└───────────────────────┘
┌ Reward History ───────────────┐┌ CPU % ────────────────────────┐┌ GPU % ─────────────────────────┐
│ █                             ││  █                            ││  ▄                             │
│ █                             ││  █                            ││  █                             │
│ █                             ││ ▄█                            ││ ██                             │
│ █                             ││ ██                            ││▄██                             │
│ █                             ││███                            ││███                             │
│ █▄                            │└───────────────────────────────┘└────────────────────────────────┘
│ ██                            │┌ RAM % ────────────────────────┐┌ VRAM % ────────────────────────┐
│ ██                            ││                               ││                                │
│ ██                            ││  █                            ││                                │
│ ██                            ││ ██                            ││  █                             │
│ ██                            ││███                            ││▃██                             │
└───────────────────────────────┘└───────────────────────────────┘└────────────────────────────────┘
┌──────────────────────────────────────────────────────────────────────────────────────────────────┐
│ [q] Quit  [p] Pause  [m] Toggle Mode  [s] Save Checkpoint                                        │
└──────────────────────────────────────────────────────────────────────────────────────────────────┘
"""

CHART_NO_GPU = """\
┌ Progress ─────────────┐┌ Performance ──────────┐┌ Losses ───────────────┐┌ Entropy ──────────────┐
│Steps: 20,480          ││Reward: 11.00          ││Policy: 0.125000       ││████████████████       │
│Episodes: 321          ││SPS: 45679             ││Value: 0.500000        ││████████0.6931██       │
│                       ││                       ││                       ││████████████████       │
└───────────────────────┘└───────────────────────┘└───────────────────────┘└───────────────────────┘
┌ CPU ───────────────────────────────────────────┐┌ Memory ────────────────────────────────────────┐
│CPU: 45.3%                                      ││RAM: 12.0/16.0 GB                               │
└────────────────────────────────────────────────┘└────────────────────────────────────────────────┘
┌ Reward History ────────────────────────────────┐┌ CPU % ─────────────────────────────────────────┐
│Reward                                          ││%                                               │
│12.10│                    ⢀⠤⣀           ┌──────┐││100│                                       ┌───┐│
│     │                  ⡠⠊⠁  ⠉⠒⠤⢄⡀      │Reward│││   │                                 ⢀⣀⠤⠔⠊⠉│CPU││
│     │               ⢀⠔⠊         ⠈⠑⠒⠤⣀  └──────┘││   │                            ⢀⡠⠤⠒⠊⠁     └───┘│
│     │             ⡠⠔⠁                ⠉⠒⠢⢄⡀     ││   │                       ⣀⡠⠔⠒⠉⠁               │
│     │          ⢀⡠⠊                       ⠈⠉⠒⠤⣀ ││ 50│             ⢀⣀⣀⠤⠤⠔⠒⠒⠉⠉                     │
│11.00│        ⢀⠔⠁                              ⠉││   │    ⣀⣀⡠⠤⠤⠒⠒⠉⠉⠁                              │
│     │      ⡠⠊⠁                                 ││   │⠒⠊⠉⠉                                        │
│     │   ⢀⠔⠊                                    ││  0│                                            │
│     │ ⡠⠔⠁                                      ││   └────────────────────────────────────────────│
│ 9.90│⠊                                         ││   0                   10.2K               20.5K│
│     └──────────────────────────────────────────│└────────────────────────────────────────────────┘
│     0                  10.2K              20.5K│┌ RAM % ─────────────────────────────────────────┐
└────────────────────────────────────────────────┘│%                                               │
┌ Losses (Policy/Value) ─────────────────────────┐│100│                                       ┌───┐│
│Loss                                            ││   │                                       │RAM││
│1.04│⠒⠒⠢⠤⠤⠤⢄⣀⣀⣀⣀                                ││   │                              ⣀⣀⣀⠤⠤⠤⠒⠒⠒└───┘│
│    │           ⠉⠉⠉⠉⠑⠒⠒⠒⠢⠤⠤⠤⠤⣀⣀⣀⣀               ││ 50│                ⢀⣀⣀⣀⡠⠤⠤⠤⠒⠒⠒⠉⠉⠉              │
│0.56│⣀⣀⡀                         ⠉⠉⠉⠉⠒⠒⠒⠒⠢⠤⠤⠤⢄⣀⣀││   │  ⣀⣀⣀⡠⠤⠤⠤⠔⠒⠒⠒⠉⠉⠉⠁                           │
│    │  ⠈⠉⠉⠉⠑⠒⠒⠒⠒⠤⠤⠤⠤⢄⣀⣀⣀⡀                       ││   │⠉⠉                                          │
│0.08│                   ⠈⠉⠉⠉⠉⠉⠉⠉⠒⠒⠒⠒⠒⠒⠒⠒⠒⠒⠢⠤⠤⠤⠤⠤││  0│                                            │
│    └───────────────────────────────────────────││   └────────────────────────────────────────────│
│    0                  10.2K               20.5K││   0                   10.2K               20.5K│
└────────────────────────────────────────────────┘└────────────────────────────────────────────────┘
┌──────────────────────────────────────────────────────────────────────────────────────────────────┐
│ [q] Quit  [p] Pause  [m] Switch Mode  [s] Save Checkpoint                                        │
└──────────────────────────────────────────────────────────────────────────────────────────────────┘
"""

CHART_GPU = """\
┌ Progress ─────────────┐┌ Performance ──────────┐┌ Losses ───────────────┐┌ Entropy ──────────────┐
│Steps: 20,480          ││Reward: 11.00          ││Policy: 0.125000       ││████████████████       │
│Episodes: 321          ││SPS: 45679             ││Value: 0.500000        ││████████0.6931██       │
│                       ││                       ││                       ││████████████████       │
└───────────────────────┘└───────────────────────┘└───────────────────────┘└───────────────────────┘
┌ CPU ──────────────────┐┌ GPU ──────────────────┐┌ Memory ───────────────┐┌ GPU Memory ───────────┐
│CPU: 45.3%             ││GPU: N/A               ││RAM: 12.0/16.0 GB      ││VRAM: 2.9/8.0 GB       │
└───────────────────────┘└───────────────────────┘└───────────────────────┘└───────────────────────┘
┌ Reward History ──────────────────────┐┌ CPU % ─────────────────────┐┌ GPU % ─────────────────────┐
│Reward                                ││%                           ││%                           │
│12.10│               ⢀⢄⡀      ┌──────┐││100│                   ┌───┐││100│                   ┌───┐│
│     │             ⢀⠔⠁ ⠈⠑⠢⣀   │Reward│││   │                  ⢀│CPU│││   │                  ⣀│GPU││
│     │            ⡠⠊       ⠉⠢⢄└──────┘││   │               ⢀⠤⠊⠁└───┘││   │             ⣀⠤⠔⠊⠉ └───┘│
│     │          ⡠⠊            ⠈⠑⠤⣀    ││   │            ⢀⡠⠒⠁        ││   │        ⣀⠤⠔⠊⠉           │
│     │        ⡠⠊                  ⠑⠢⢄⡀││ 50│       ⢀⣀⠤⠒⠊⠁           ││ 50│   ⣀⡠⠔⠒⠉                │
│11.00│      ⢀⠔⠁                      ⠈││   │  ⣀⡠⠤⠒⠉⠁                ││   │⠤⠒⠉                     │
│     │    ⢀⠔⠁                         ││   │⠒⠉                      ││   │                        │
│     │  ⢀⠔⠁                           ││  0│                        ││  0│                        │
│     │ ⡠⠊                             ││   └────────────────────────││   └────────────────────────│
│ 9.90│⠊                               ││   0         10.2K     20.5K││   0         10.2K     20.5K│
│     └────────────────────────────────│└────────────────────────────┘└────────────────────────────┘
│     0             10.2K         20.5K│┌ RAM % ─────────────────────┐┌ VRAM % ────────────────────┐
└──────────────────────────────────────┘│%                           ││%                           │
┌ Losses (Policy/Value) ───────────────┐│100│                   ┌───┐││100│                  ┌────┐│
│Loss                                  ││   │                   │RAM│││   │                  │VRAM││
│1.04│⠒⠒⠤⠤⠤⣀⣀⣀⡀                        ││   │                ⢀⣀⠤└───┘││   │                  └────┘│
│    │        ⠈⠉⠉⠉⠒⠒⠒⠤⠤⠤⢄⣀⣀⡀           ││ 50│         ⣀⣀⠤⠤⠒⠊⠉⠁       ││ 50│                     ⣀⣀⠤│
│0.56│⣀⣀                   ⠈⠉⠉⠑⠒⠒⠒⠤⠤⠤⣀⣀││   │ ⣀⣀⠤⠤⠒⠒⠉⠉               ││   │             ⣀⣀⠤⠤⠒⠒⠉⠉   │
│    │  ⠉⠉⠉⠒⠒⠒⠢⠤⠤⠤⣀⣀⣀                  ││   │⠉                       ││   │ ⢀⣀⣀⡠⠤⠤⠔⠒⠒⠊⠉⠉           │
│0.08│               ⠉⠉⠉⠉⠉⠑⠒⠒⠒⠒⠒⠒⠒⠢⠤⠤⠤⠤││  0│                        ││  0│⠉⠁                      │
│    └─────────────────────────────────││   └────────────────────────││   └────────────────────────│
│    0             10.2K          20.5K││   0         10.2K     20.5K││   0         10.2K     20.5K│
└──────────────────────────────────────┘└────────────────────────────┘└────────────────────────────┘
┌──────────────────────────────────────────────────────────────────────────────────────────────────┐
│ [q] Quit  [p] Pause  [m] Switch Mode  [s] Save Checkpoint                                        │
└──────────────────────────────────────────────────────────────────────────────────────────────────┘
"""


@pytest.mark.parametrize(
    "view, size, gpu_total, golden",
    [
        ("dashboard", (100, 24), 0, DASHBOARD_NO_GPU),
        ("dashboard", (100, 24), 8192, DASHBOARD_GPU),
        ("chart", (100, 36), 0, CHART_NO_GPU),
        ("chart", (100, 36), 8192, CHART_GPU),
    ],
)
def test_dashboard_and_chart_view_whole_screen(view, size, gpu_total, golden):
    lines, _ = render(view, *size, {**CELLS, "total_gpu_memory_mb": gpu_total}, HISTORY)
    assert lines == golden.splitlines()


@pytest.mark.parametrize("view, height", [("dashboard", 24), ("chart", 36)])
def test_statistics_row_colours(view, height):
    screen = render(view, 100, height, CELLS, HISTORY)
    expected = {
        "Steps: ": "Gray", "20,480": "Cyan+bold", "Episodes: ": "Gray", "321": "Green+bold",
        "Reward: ": "Gray", "11.00": "Yellow+bold", "SPS: ": "Gray", "45679": "Magenta+bold",
        "Policy: ": "Gray", "0.125000": "Red", "Value: ": "Gray", "0.500000": "Blue",
    }
    for text, style in expected.items():
        assert set(styles_of(screen, text)) == {style}, text
    assert box_styles(screen, " Progress ") == {"", "Gray", "Cyan+bold", "Green+bold"}
    entropy = styles_of(screen, "████████0.6931██", 2)
    assert entropy == ["Green"] * 8 + ["Black/Green"] * 6 + ["Green"] * 2
    help_bar = screen[0][-2]
    assert "[s] Save Checkpoint" in help_bar
    assert {s for row in screen[1][-3:] for s in row} == {"DarkGray"}


@pytest.mark.parametrize(
    "gpu_total, titles",
    [
        (0, {" Reward History ": "Yellow", " CPU % ": "Green", " RAM % ": "Cyan"}),
        (8192, {" Reward History ": "Yellow", " CPU % ": "Green", " RAM % ": "Cyan", " GPU % ": "Green",
                " VRAM % ": "Magenta"}),
    ],
)
def test_sparklines_colour_only_their_bars(gpu_total, titles):
    screen = render("dashboard", 100, 24, {**CELLS, "total_gpu_memory_mb": gpu_total}, HISTORY)
    for title, colour in titles.items():
        assert box_styles(screen, title) == {"", colour}, title
    assert (" GPU % " in "".join(screen[0])) == bool(gpu_total)


def test_chart_view_colours():
    screen = render("chart", 100, 36, {**CELLS, "total_gpu_memory_mb": 8192}, HISTORY)
    for title, colours in {
        " Reward History ": {"Yellow"}, " Losses (Policy/Value) ": {"Red", "Blue"}, " CPU % ": {"Green"},
        " RAM % ": {"Cyan"}, " GPU % ": {"Green"}, " VRAM % ": {"Magenta"},
    }.items():
        assert box_styles(screen, title) == {"", "DarkGray"} | colours, title
    lines, styles = screen
    row, col = find(lines, "Reward", 9)
    assert styles[row][col:col + 6] == ["DarkGray"] * 6  # y axis title
    row, col = find(lines, "12.10│")
    assert styles[row][col:col + 6] == [""] * 5 + ["DarkGray"]  # plain label, DarkGray axis
    assert styles_of(screen, "│Reward│") == ["", "Yellow", "Yellow", "Yellow", "Yellow", "Yellow", "Yellow", ""]


# ---------------------------------------------------------------- waiting charts


@pytest.mark.parametrize("gpu_total, charts", [(0, 4), (8192, 6)])
def test_every_chart_waits_for_the_first_sample(gpu_total, charts):
    screen = render("chart", 100, 30, {"total_gpu_memory_mb": gpu_total})
    lines, _ = screen
    assert sum(line.count("Waiting for data...") for line in lines) == charts
    assert "┌ Losses ─" in "".join(lines) and "Policy/Value" not in "".join(lines)
    titles = [" Reward History ", " Losses ", " CPU % ", " RAM % "] + ([" GPU % ", " VRAM % "] if gpu_total else [])
    for title in titles:
        assert box_styles(screen, title, 8) == {"DarkGray"}, title
    assert ("┌ GPU % " in "".join(lines)) == bool(gpu_total)


def test_minimal_and_dashboard_never_wait():
    for view in ("minimal", "dashboard"):
        assert "Waiting" not in "".join(render(view, 100, 30)[0])


def test_sparklines_before_the_first_sample():
    lines, styles = render("sparklines", 40, 8)
    # reward: one bar at half height (3 of 6 rows); loads: empty boxes
    assert [line[1] for line in lines[1:7]] == [" ", " ", " ", "█", "█", "█"]
    assert styles[6][1] == "Yellow"
    assert all(c in "┌┐└┘│─ CPU%RAM" for line in lines for c in line[20:])


# ---------------------------------------------------------------- device panel


def device_value(cells, label, width=100):
    """(value text, value style, label style) of one device box."""
    lines, styles = render("device_stats", width, 3, cells)
    col = lines[1].index(label)
    start = col + len(label)
    end = lines[1].index("│", start)
    value = lines[1][start:end].rstrip()
    return value, set(styles[1][start:start + len(value)]), set(styles[1][col:start])


@pytest.mark.parametrize(
    "cpu, text, colour",
    [
        (45.27, "45.3%", "Green"),
        (60.0, "60.0%", "Green"),  # thresholds are strict
        (75.0, "75.0%", "Yellow"),
        (80.0, "80.0%", "Yellow"),
        (80.01, "80.0%", "Red"),
        (95.5, "95.5%", "Red"),
        (250.0, "250.0%", "Red"),
        (0.0, "N/A", "Green"),
        (-3.0, "N/A", "Green"),
        (float("nan"), "N/A", "Green"),
    ],
)
def test_cpu_and_gpu_boxes(cpu, text, colour):
    cells = {"cpu_usage": cpu, "gpu_usage": cpu, "total_gpu_memory_mb": 8192}
    for label in ("CPU: ", "GPU: "):
        assert device_value(cells, label) == (text, {colour + "+bold"}, {"Gray"})


@pytest.mark.parametrize(
    "used, total, text, colour",
    [
        (12288, 16384, "12.0/16.0 GB", "Yellow"),
        (15000, 16384, "14.6/16.0 GB", "Red"),
        (9830, 16384, "9.6/16.0 GB", "Cyan"),
        (20000, 16384, "19.5/16.0 GB", "Red"),  # used above total is shown as it is
        (5000, 0, "N/A", "Cyan"),
    ],
)
def test_memory_box(used, total, text, colour):
    assert device_value({"memory_mb": used, "total_memory_mb": total}, "RAM: ") == (text, {colour + "+bold"}, {"Gray"})


@pytest.mark.parametrize(
    "used, text, colour",
    [(3000, "2.9/8.0 GB", "Magenta"), (4900, "4.8/8.0 GB", "Magenta"), (5000, "4.9/8.0 GB", "Yellow"), (6000, "5.9/8.0 GB", "Yellow"),
     (8000, "7.8/8.0 GB", "Red")],
)
def test_gpu_memory_box(used, text, colour):
    cells = {"gpu_memory_mb": used, "total_gpu_memory_mb": 8192}
    assert device_value(cells, "VRAM: ") == (text, {colour + "+bold"}, {"Gray"})


def test_device_panel_shows_gpu_boxes_only_once_a_gpu_is_known():
    lines, _ = render("device_stats", 100, 3, {"gpu_usage": 55.0})
    assert lines[0] == "┌ CPU " + "─" * 43 + "┐┌ Memory " + "─" * 40 + "┐"
    lines, _ = render("device_stats", 100, 3, {"gpu_usage": 55.0, "total_gpu_memory_mb": 1})
    assert [title in lines[0] for title in ("┌ CPU ", "┌ GPU ", "┌ Memory ", "┌ GPU Memory ")] == [True] * 4
    assert "GPU: 55.0%" in lines[1]


# ---------------------------------------------------------------- data, axes and gauge


@pytest.mark.parametrize(
    "samples, data",
    [
        ([10, 10.5, 11, 12], [0, 25, 50, 100]),
        ([5, 5.2, 5.4], [0, 20, 40]),  # range raised to 1.0
        ([], [50]),
        ([7.0], [50]),
        ([3.0, float("nan"), 5.0], [0, 0, 100]),
        ([float("nan"), float("nan")], [0, 0]),
        ([1.0, float("inf")], [0, 0]),
    ],
)
def test_reward_sparkline_data(samples, data):
    assert kit.sparkline_data("reward", samples) == data


def test_load_sparkline_data_clamps_to_percent():
    samples = [100.7, -2.0, float("nan"), 55.9, float("inf"), -float("inf"), 0.0]
    assert kit.sparkline_data("percent", samples) == [100, 0, 0, 55, 100, 0, 0]


@pytest.mark.parametrize(
    "lo, hi, labels",
    [
        (2048, 2049, ["2.0K", "2.0K", "2.0K"]),
        (0, 20480, ["0", "10.2K", "20.5K"]),
        (0, 2_500_000, ["0", "1.2M", "2.5M"]),  # 1.25 rounds to even
        (999_999, 1e9, ["1000.0K", "500.5M", "1000.0M"]),
        (-5, 5, ["-5", "0", "5"]),
        (float("nan"), 1, ["NaN", "NaN", "1"]),
    ],
)
def test_x_axis(lo, hi, labels):
    axis = kit.create_axis("x", lo, hi)
    assert axis.pop("labels") == labels
    assert axis.pop("lower") == lo or math.isnan(lo)
    assert axis == {"title": None, "title_style": "", "style": "DarkGray", "upper": hi}


@pytest.mark.parametrize(
    "lo, hi, labels",
    [
        (9.9, 12.1, ["9.90", "11.00", "12.10"]),
        (-0.00005, 0.00005, ["-0.00", "0.00", "0.00"]),
        (9.99995, 10.00005, ["10.00", "10.00", "10.00"]),
        (-1e6, 3e6, ["-1000000.00", "1000000.00", "3000000.00"]),
    ],
)
def test_y_axis(lo, hi, labels):
    assert kit.create_axis("y", lo, hi, "Loss") == {
        "title": "Loss", "title_style": "DarkGray", "style": "DarkGray", "lower": lo, "upper": hi, "labels": labels}


def test_percentage_axis():
    assert kit.create_axis("percent") == {
        "title": "%", "title_style": "DarkGray", "style": "DarkGray", "lower": 0.0, "upper": 100.0,
        "labels": ["0", "50", "100"]}


def chart_labels(lines, title):
    """(y labels top to bottom, x label row) of the chart whose box carries `title`."""
    top, left = find(lines, title)
    rows = []
    row = top + 1
    while lines[row][left - 1] == "│" and "└" not in lines[row][left:left + 12]:
        rows.append(lines[row][left:].split("│")[0].strip())
        row += 1
    x_row = lines[row + 1][left:].split("│")[0].split()
    return [label for label in rows if label and not label.isalpha() and label != "%"], x_row


@pytest.mark.parametrize(
    "history, reward_y, loss_y, x",
    [
        # a single sample: x [2048, 2049], y 10 +- 0.00005; losses never provided: flat at 0
        ([{"steps": 2048, "mean_reward": 10}], ["10.00", "10.00", "10.00"], ["0.00", "0.00", "-0.00"],
         ["2.0K", "2.0K", "2.0K"]),
        ([{"steps": s, "mean_reward": r} for s, r in [(0, 10), (10240, 12), (20480, 11)]],
         ["12.10", "11.00", "9.90"], ["0.00", "0.00", "-0.00"], ["0", "10.2K", "20.5K"]),
        # an infinite sample does not stretch the axis; all-NaN losses fall back to [0, 1]
        ([{"steps": s, "mean_reward": r, "policy_loss": math.nan, "value_loss": math.nan}
          for s, r in [(0, 10), (1000, math.inf), (2_500_000, 12)]],
         ["12.10", "11.00", "9.90"], ["1.00", "0.50", "0.00"], ["0", "1.2M", "2.5M"]),
    ],
)
def test_chart_bounds_and_labels(history, reward_y, loss_y, x):
    lines, _ = render("chart_grid", 120, 40, {}, history)
    assert chart_labels(lines, " Reward History ") == (reward_y, x)
    assert chart_labels(lines, " Losses (Policy/Value) ") == (loss_y, x)
    assert chart_labels(lines, " CPU % ")[0] == ["100", "50", "0"]


def test_charts_show_the_newest_samples_of_a_full_history():
    history = [{"steps": 1000 * i, "mean_reward": i} for i in range(1, 13)]
    lines, _ = render("chart_grid", 120, 40, {}, history, history_len=5)
    assert chart_labels(lines, " Reward History ") == (["12.20", "10.00", "7.80"], ["8.0K", "10.0K", "12.0K"])


@pytest.mark.parametrize(
    "entropy, percent, label",
    [(0.6931, 69, "0.6931"), (-2.5, 100, "-2.5000"), (0.0, 0, "0.0000"), (-0.5, 50, "-0.5000"),
     (float("nan"), 100, "NaN"), (float("inf"), 100, "inf")],
)
def test_entropy_gauge(entropy, percent, label):
    assert kit.entropy_gauge_percent(entropy) == percent
    # a 408-wide row gives the gauge 100 inner columns: one column per percent
    lines, _ = render("stats", 408, 5, {"entropy": entropy})
    assert lines[1][307:407].count("█") == percent
    assert lines[2][307:407].strip("█ ") == label


# ---------------------------------------------------------------- faults and tiny screens


@pytest.mark.parametrize("view, height", [("dashboard", 24), ("chart", 30)])
def test_a_broken_history_lock_blanks_only_the_history_row(view, height):
    lines, _ = render(view, 100, height, CELLS, HISTORY, broken=True)
    intact, _ = render(view, 100, height, CELLS, HISTORY)
    assert lines[:8] == intact[:8] and lines[-3:] == intact[-3:]
    assert all(line == " " * 100 for line in lines[8:-3])


NASTY_CELLS = {"steps": 2**64 - 1, "episodes": 2**64 - 1, "mean_reward": math.nan, "sps": math.inf,
               "policy_loss": -math.inf, "value_loss": 1e308, "entropy": math.nan, "cpu_usage": math.inf,
               "gpu_usage": -math.inf, "memory_mb": 2**64 - 1, "total_memory_mb": 1, "gpu_memory_mb": 2**64 - 1,
               "total_gpu_memory_mb": 1}
NASTY_HISTORY = [
    {"steps": 2**64 - 1, "mean_reward": v, "sps": v, "policy_loss": v, "value_loss": -v, "cpu_usage": v,
     "gpu_usage": v, "memory_mb": 2**64 - 1, "total_memory_mb": 1, "gpu_memory_mb": 7,
     "total_gpu_memory_mb": 1}
    for v in (math.nan, math.inf, -math.inf, 1e308, -1e308, 5e-324, 1e6)
]


@pytest.mark.parametrize("view", ["minimal", "dashboard", "chart", "stats", "device_stats", "sparklines",
                                  "chart_grid"])
@pytest.mark.parametrize("size", [(0, 0), (1, 1), (2, 2), (3, 2), (10, 5), (40, 10), (59, 17), (250, 3), (7, 80)])
@pytest.mark.parametrize("history_len", [0, 3])
def test_any_screen_size_and_any_value_draw_within_the_screen(view, size, history_len):
    lines, styles = render(view, *size, NASTY_CELLS, NASTY_HISTORY, history_len=history_len)
    assert len(lines) == size[1] and all(len(line) == size[0] for line in lines)
    assert len(styles) == size[1] and all(len(row) == size[0] for row in styles)
