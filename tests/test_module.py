"""Module initialisation: what `import zimbrel` registers, and where."""

import importlib.machinery
import importlib.util
import subprocess
import sys

import pytest

import zimbrel

ENV_CLASSES = ["PyCartPoleVecEnv", "PyMountainCarVecEnv", "PyPendulumVecEnv"]


def test_envs_submodule():
    import zimbrel.envs as envs

    assert envs is zimbrel.envs is sys.modules["zimbrel.envs"]
    assert envs.__name__ == "envs"
    from zimbrel.envs import PyCartPoleVecEnv

    assert PyCartPoleVecEnv is zimbrel.PyCartPoleVecEnv


def test_registered_classes_are_shared():
    for name in zimbrel.envs.__all__:
        assert getattr(zimbrel.envs, name) is getattr(zimbrel, name)
    assert zimbrel.envs.__all__ == ENV_CLASSES


def test_module_docstring():
    assert zimbrel.__doc__ == "Zimbrel Python module."


def test_second_initialisation_raises_import_error():
    loader = importlib.machinery.ExtensionFileLoader("zimbrel", zimbrel.__file__)
    spec = importlib.util.spec_from_file_location("zimbrel", zimbrel.__file__, loader=loader)
    with pytest.raises(ImportError, match="once"):
        importlib.util.module_from_spec(spec)
    import zimbrel as again

    assert again is zimbrel


def test_all_lists_registration_order():
    expected = ["envs", "TUILogger", "Logger"] + ENV_CLASSES
    assert zimbrel.__all__ == expected
    assert zimbrel.Logger is zimbrel.TUILogger


def test_import_starts_nothing():
    """Importing creates no thread (NumPy's own are counted first) and writes nothing."""
    code = (
        "import os, numpy; before = len(os.listdir('/proc/self/task')); import zimbrel; "
        "print(len(os.listdir('/proc/self/task')) - before)"
    )
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, stdin=subprocess.DEVNULL)
    assert out.stdout.strip() == "0" and out.stderr == ""
