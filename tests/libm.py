"""The C library's single-precision functions, which the engines' scalar paths call."""

import ctypes
import ctypes.util

import numpy as np

_libm = ctypes.CDLL(ctypes.util.find_library("m"))
for _name in ("sinf", "cosf", "fmodf", "floorf"):
    getattr(_libm, _name).restype = ctypes.c_float
_libm.sinf.argtypes = _libm.cosf.argtypes = _libm.floorf.argtypes = [ctypes.c_float]
_libm.fmodf.argtypes = [ctypes.c_float, ctypes.c_float]


def sinf(x):
    return np.float32(_libm.sinf(float(x)))


def cosf(x):
    return np.float32(_libm.cosf(float(x)))


def fmodf(x, y):
    return np.float32(_libm.fmodf(float(x), float(y)))


def floorf(x):
    return np.float32(_libm.floorf(float(x)))
