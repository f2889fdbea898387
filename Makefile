# Two entry points for a newcomer: `make demo` and `make test`. Each makes its
# own virtual environment and installs what it needs into it.
PYTHON ?= python3
DEMO_VENV := .venv
TEST_VENV := .venv-test

.PHONY: demo test bench clean

$(DEMO_VENV)/bin/python:
	$(PYTHON) -m venv $(DEMO_VENV)
	$(DEMO_VENV)/bin/python -m pip install --quiet --upgrade pip

$(TEST_VENV)/bin/python:
	$(PYTHON) -m venv $(TEST_VENV)
	$(TEST_VENV)/bin/python -m pip install --quiet --upgrade pip

# The demo: a real training run watched through the monitor.
demo: $(DEMO_VENV)/bin/python
	$(DEMO_VENV)/bin/python -m pip install --quiet -Cbuild-dir=build/demo .
	$(DEMO_VENV)/bin/python examples/train_cartpole.py

# The tests also build the test-only helpers (off-screen views, fake NVML).
test: $(TEST_VENV)/bin/python
	ZIMBREL_TESTKIT=ON $(TEST_VENV)/bin/python -m pip install --quiet -Cbuild-dir=build/test '.[test]'
	$(TEST_VENV)/bin/python -m pytest $(PYTEST_ARGS)

# Benchmarks against peers; results land in benchmarks/results/.
bench: $(TEST_VENV)/bin/python
	ZIMBREL_TESTKIT=ON $(TEST_VENV)/bin/python -m pip install --quiet -Cbuild-dir=build/test '.[test,bench]'
	$(TEST_VENV)/bin/python benchmarks/bench_step.py
	$(TEST_VENV)/bin/python benchmarks/bench_render.py
	$(TEST_VENV)/bin/python benchmarks/bench_update.py

clean:
	rm -rf build $(DEMO_VENV) $(TEST_VENV)
