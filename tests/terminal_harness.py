"""Runs a Python script on a pseudo-terminal of a fixed size and feeds what it
writes into a terminal emulator, so that tests read the screen as a user sees
it. The child gets the terminal as its controlling terminal, as a shell would
give it, so raw mode and signal keys behave as they do for a user."""

import fcntl
import os
import select
import struct
import subprocess
import sys
import termios
import textwrap
import time

import pyte

# Run by the child before the test's script: take the pseudo-terminal as the
# controlling terminal of the new session the child was started in.
PROLOGUE = """\
import fcntl, os, sys, termios, time
fcntl.ioctl(0, termios.TIOCSCTTY, 0)

def wait_for_file(path, timeout=15.0):
    deadline = time.monotonic() + timeout
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise TimeoutError(path)
        time.sleep(0.01)
"""

ALTERNATE_SCREEN = 1049 << 5  # pyte shifts private modes by 5


class AlternateScreen(pyte.Screen):
    """pyte's screen plus xterm's alternate screen (private mode 1049): entering
    saves the normal screen and clears, leaving brings the normal screen back."""

    def __init__(self, columns, lines):
        super().__init__(columns, lines)
        self.saved = None

    def set_mode(self, *mode_list, **kwargs):
        if kwargs.get("private") and 1049 in mode_list and self.saved is None:
            self.saved = ({y: dict(line) for y, line in self.buffer.items()}, self.cursor.x, self.cursor.y)
            self.buffer.clear()
            self.dirty.update(range(self.lines))
        super().set_mode(*mode_list, **kwargs)

    def reset_mode(self, *mode_list, **kwargs):
        if kwargs.get("private") and 1049 in mode_list and self.saved is not None:
            lines, x, y = self.saved
            self.saved = None
            self.buffer.clear()
            for row, line in lines.items():
                self.buffer[row].update(line)
            self.cursor.x, self.cursor.y = x, y
            self.dirty.update(range(self.lines))
        super().reset_mode(*mode_list, **kwargs)

    @property
    def in_alternate_screen(self):
        return ALTERNATE_SCREEN in self.mode


class PtyProcess:
    """A child Python process whose standard streams are one pseudo-terminal
    (standard input or output can be redirected elsewhere)."""

    def __init__(self, script, rows=24, columns=120, env=None, stdin=None, stdout=None):
        self.rows, self.columns = rows, columns
        self.master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", rows, columns, 0, 0))
        self.settings_before = termios.tcgetattr(self.slave)
        self.screen = AlternateScreen(columns, rows)
        self.stream = pyte.ByteStream(self.screen)
        self.output = bytearray()
        self.process = subprocess.Popen(
            [sys.executable, "-c", PROLOGUE + textwrap.dedent(script)],
            stdin=self.slave if stdin is None else stdin,
            stdout=self.slave if stdout is None else stdout,
            stderr=self.slave,
            start_new_session=True, env={**os.environ, **(env or {})},
        )

    # --- reading the screen -------------------------------------------------

    def pump(self, timeout):
        """Feeds what the child writes within `timeout` seconds to the screen;
        returns the number of bytes."""
        ready, _, _ = select.select([self.master], [], [], timeout)
        if not ready:
            return 0
        try:
            data = os.read(self.master, 65536)
        except OSError:
            return 0
        self.output += data
        self.stream.feed(data)
        return len(data)

    def wait_for(self, condition, timeout=15.0, what="the expected screen"):
        deadline = time.monotonic() + timeout
        while not condition():
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out waiting for {what}; screen:\n" + "\n".join(self.display))
            self.pump(0.02)

    def wait_for_text(self, text, timeout=15.0):
        self.wait_for(lambda: self.contains(text), timeout, repr(text))

    @property
    def display(self):
        return self.screen.display

    def contains(self, text):
        return any(text in line for line in self.display)

    # --- driving the child --------------------------------------------------

    def send(self, data):
        os.write(self.master, data)

    def finish(self, timeout=15.0):
        """Waits for the child to exit, reading its output; returns the exit code."""
        deadline = time.monotonic() + timeout
        while self.process.poll() is None:
            if time.monotonic() > deadline:
                self.process.kill()
                raise AssertionError("the child did not exit; screen:\n" + "\n".join(self.display))
            self.pump(0.02)
        while self.pump(0.05):
            pass
        return self.process.returncode

    def settings_now(self):
        return termios.tcgetattr(self.slave)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        os.close(self.master)
        os.close(self.slave)


def run_without_terminal(script, env=None, timeout=60):
    """Runs a Python script in a new session with no controlling terminal and
    standard input from /dev/null; returns the CompletedProcess (text output)."""
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(script)],
        stdin=subprocess.DEVNULL, capture_output=True, text=True, start_new_session=True,
        env={**os.environ, **(env or {})}, timeout=timeout,
    )
