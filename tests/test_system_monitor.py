"""The system monitor thread: the CPU and RAM formulas on chosen /proc input,
RAM figures against psutil, and the GPU path through a fake NVML library that
the loader finds first (built with the testkit), including the ways NVML can
be missing or fail. Also the constructor's clean-up when a thread cannot start."""

import os
import shutil
import time
from pathlib import Path

import psutil
import pytest

import _zimbrel_testkit as testkit
import zimbrel
from terminal_harness import PtyProcess, run_without_terminal

FAKE_LIBS = Path(testkit.__file__).parent / "_zimbrel_testkit_data"
FAKE_NVML = FAKE_LIBS / "libnvidia-ml.so"


class TestCpuFormula:
    @pytest.mark.parametrize(
        "previous, current, percent",
        [
            ("cpu  100 0 100 800 0 0 0 0 0 0", "cpu  200 0 200 1600 0 0 0 0 0 0", 20.0),
            # since boot: the first reading compares against zero counters
            ("cpu  0 0 0 0 0 0 0 0 0 0", "cpu  10 0 10 40 20 5 5 10 0 0", 30.0),
            # guest time is inside user and nice time: counted once, as busy
            ("cpu  0 0 0 0 0 0 0 0 0 0", "cpu  100 50 0 0 0 0 0 0 40 20", 60.0),
            # guest above user stops at zero
            ("cpu  0 0 0 0 0 0 0 0 0 0", "cpu  10 0 0 90 0 0 0 0 50 0", 0.0),
            # busy time going back gives zero
            ("cpu  500 0 500 0 0 0 0 0 0 0", "cpu  400 0 400 100 0 0 0 0 0 0", 0.0),
            # no time passed: the total counts as one tick, and the result is capped
            ("cpu  0 0 0 100 0 0 0 0 0 0", "cpu  10 0 0 90 0 0 0 0 0 0", 100.0),
            # an old kernel's four fields
            ("cpu 0 0 0 0", "cpu 1 0 1 2", 50.0),
            # sums saturate instead of wrapping
            ("cpu  0 0 0 0 0 0 0 0 0 0", f"cpu  {2**64 - 1} {2**64 - 1} 0 {2**64 - 1} 0 0 0 0 0 0", 100.0),
        ],
    )
    def test_usage_between_two_readings(self, previous, current, percent):
        assert testkit.cpu_usage_between(previous, current) == pytest.approx(percent, rel=1e-6)

    def test_only_the_aggregate_line(self):
        with pytest.raises(ValueError):
            testkit.cpu_usage_between("cpu0 1 2 3 4", "cpu 1 2 3 4")


class TestMeminfo:
    KIB = 1024

    @pytest.mark.parametrize(
        "text, total_kib, available_kib",
        [
            ("MemTotal: 16384 kB\nMemFree: 1000 kB\nMemAvailable: 8192 kB\n", 16384, 8192),
            # no MemAvailable: free + buffers + cached + reclaimable - shmem
            ("MemTotal: 16384 kB\nMemFree: 1000 kB\nBuffers: 200 kB\nCached: 3000 kB\nSwapCached: 99999 kB\n"
             "Shmem: 500 kB\nShmemHugePages: 77777 kB\nSReclaimable: 300 kB\n", 16384, 4000),
            ("MemTotal: 100 kB\nMemFree: 10 kB\nShmem: 50 kB\n", 100, 0),
            ("MemFree: 10 kB\n", 0, 10),
            ("", 0, 0),
        ],
    )
    def test_parse(self, text, total_kib, available_kib):
        assert testkit.parse_meminfo(text) == (total_kib * self.KIB, available_kib * self.KIB)

    def test_ram_in_use_matches_psutil(self, tmp_path):
        csv = tmp_path / "run.csv"

        def used_mib():
            memory = psutil.virtual_memory()
            return (memory.total - memory.available) >> 20

        logger = zimbrel.TUILogger(monitor_interval_ms=10, csv_path=str(csv))
        low = used_mib()
        for i in range(100):  # a second of updates: the monitor samples many times meanwhile
            logger.update(i, 0, 0.0, 0.0)
            time.sleep(0.01)
        high = used_mib()
        logger.close()
        memory_mb = int(csv.read_text().splitlines()[-1].split(",")[10])
        assert min(low, high) * 0.97 - 16 <= memory_mb <= max(low, high) * 1.03 + 16


def run_with_libraries(tmp_path, library_dir, **settings):
    """Runs a short logged session with `library_dir` searched first by the
    loader; returns the GPU columns of the last CSV row and the NVML calls."""
    csv, log = tmp_path / "run.csv", tmp_path / "nvml.log"
    env = {"LD_LIBRARY_PATH": str(library_dir), "FAKE_NVML_LOG": str(log)}
    env.update({f"FAKE_NVML_{key.upper()}": str(value) for key, value in settings.items()})
    result = run_without_terminal(f"""
        import time, zimbrel
        log = zimbrel.TUILogger(monitor_interval_ms=10, csv_path={str(csv)!r})
        for i in range(100):
            log.update(i, 0, 0.0, 0.0)
            time.sleep(0.01)
        log.close()
    """, env=env)
    assert result.returncode == 0, result.stderr
    fields = csv.read_text().splitlines()[-1].split(",")
    calls = log.read_text().split() if log.exists() else []
    return (fields[9], fields[11]), calls


def library_dir_with(tmp_path, source, name):
    directory = tmp_path / "libs"
    directory.mkdir()
    shutil.copy(source, directory / name)
    return directory


INIT, HANDLE, SHUTDOWN = "nvmlInit_v2", "nvmlDeviceGetHandleByIndex_v2", "nvmlShutdown"


class TestNvml:
    def test_gpu_cells_from_nvml(self, tmp_path):
        gpu, calls = run_with_libraries(tmp_path, FAKE_LIBS, gpu_percent=42, used_mib=3072)
        assert gpu == ("42.00", "3072")
        assert calls == [INIT, HANDLE, SHUTDOWN]

    def test_versioned_library_name_alone_is_found(self, tmp_path):
        libs = library_dir_with(tmp_path, FAKE_NVML, "libnvidia-ml.so.1")
        gpu, calls = run_with_libraries(tmp_path, libs, gpu_percent=7, used_mib=100)
        assert gpu == ("7.00", "100")
        assert calls == [INIT, HANDLE, SHUTDOWN]

    @pytest.mark.parametrize(
        "settings, calls",
        [
            ({"init_status": 1}, [INIT]),  # initialisation fails: never shut down
            ({"devices": 0}, [INIT, HANDLE, SHUTDOWN]),  # no device 0: NVML stays open until the end
        ],
        ids=["init fails", "no device 0"],
    )
    def test_nvml_failing_reports_nothing(self, tmp_path, settings, calls):
        assert run_with_libraries(tmp_path, FAKE_LIBS, **settings) == (("0.00", "0"), calls)

    def test_library_missing_a_function_is_not_used(self, tmp_path):
        libs = library_dir_with(tmp_path, FAKE_LIBS / "libfake_nvml_incomplete.so", "libnvidia-ml.so")
        assert run_with_libraries(tmp_path, libs) == (("0.00", "0"), [])

    def test_no_library(self, tmp_path):
        (tmp_path / "empty").mkdir()
        assert run_with_libraries(tmp_path, tmp_path / "empty") == (("0.00", "0"), [])

    def test_gpu_panels_and_charts_on_screen(self, tmp_path):
        go = tmp_path / "go"
        child = PtyProcess(f"""
            import zimbrel
            log = zimbrel.TUILogger(mode="dashboard", render_interval_ms=20, monitor_interval_ms=20)
            log.update(1000, 10, 5.0, 100.0)
            wait_for_file({str(go)!r})
            log.close()
        """, rows=30, env={"LD_LIBRARY_PATH": str(FAKE_LIBS), "FAKE_NVML_GPU_PERCENT": "42"})
        try:
            child.wait_for_text("VRAM: 3.0/8.0 GB")
            top_of_boxes = child.display[5]
            for title in (" CPU ", " GPU ", " Memory ", " GPU Memory "):
                assert f"┌{title}─" in top_of_boxes
            assert child.contains("GPU: 42.0%")
            installed = psutil.virtual_memory().total / 2**30
            assert child.contains(f"/{installed:.1f} GB")
            child.send(b"m")
            titles = [f"┌{title}─" for title in (" Reward History ", " Losses ", " CPU % ", " RAM % ", " GPU % ", " VRAM % ")]
            child.wait_for(lambda: all(child.contains(title) for title in titles), what="six charts")
            go.touch()
            assert child.finish() == 0
        finally:
            child.close()


class TestThreadStart:
    @pytest.mark.parametrize("threads_allowed", [0, 1], ids=["monitor thread", "render thread"])
    def test_failed_start_leaves_no_thread_running(self, tmp_path, threads_allowed):
        result = run_without_terminal(f"""
            import ctypes, os, zimbrel
            count = lambda: len(os.listdir("/proc/self/task"))
            failing = ctypes.CDLL({str(FAKE_LIBS / "libfailing_threads.so")!r})
            before = count()
            failing.failing_threads_arm({threads_allowed})
            try:
                zimbrel.TUILogger(monitor_interval_ms=50)
            except RuntimeError as error:
                print(error)
            print(count() - before)
        """, env={"LD_PRELOAD": str(FAKE_LIBS / "libfailing_threads.so")})
        assert result.stdout.splitlines() == [
            "failed to spawn thread: Resource temporarily unavailable (os error 11)",
            "0",
        ]
