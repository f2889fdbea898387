"""The Python surface of PyCartPoleVecEnv: arguments, errors, result arrays, docstrings."""

import numpy as np
import pytest

import zimbrel

CartPole = zimbrel.PyCartPoleVecEnv


class TestConstructor:
    @pytest.mark.parametrize("args, kwargs", [((4,), {}), ((), {"num_envs": 4}), ((4, 2), {}), ((4,), {"workers": None})])
    def test_accepts_position_and_keyword(self, args, kwargs):
        assert CartPole(*args, **kwargs).num_envs == 4

    @pytest.mark.parametrize(
        "args, error, text",
        [
            ((0,), ValueError, "num_envs must be greater than 0"),
            ((-1,), OverflowError, "num_envs"),
            ((2**64,), OverflowError, "num_envs"),
            ((4.0,), TypeError, "num_envs"),
            (("4",), TypeError, "num_envs"),
            ((4, -1), OverflowError, "workers"),
            ((4, 1.5), TypeError, "workers"),
            ((), TypeError, "num_envs"),
        ],
    )
    def test_errors(self, args, error, text):
        with pytest.raises(error, match=text):
            CartPole(*args)

    def test_conversion_errors_come_before_the_zero_check(self):
        with pytest.raises(TypeError, match="workers"):
            CartPole(0, "x")

    @pytest.mark.parametrize("num_envs", [2**48, 2**62, 2**63 - 1, 2**64 - 1])
    def test_sizes_that_cannot_be_allocated_raise_memory_error(self, num_envs):
        with pytest.raises(MemoryError):
            CartPole(num_envs)
        # The process is still healthy.
        assert CartPole(3).reset(0).shape == (3, 4)


class TestStepInput:
    @pytest.fixture
    def env(self):
        env = CartPole(4)
        env.reset(0)
        return env

    @pytest.mark.parametrize(
        "actions",
        [
            np.zeros(4, np.int64),
            np.zeros(4, np.float32),
            np.zeros(4, np.uint32),
            np.zeros((4, 1), np.int32),
            np.zeros((), np.int32),
            np.zeros(4, ">i4"),
            [0, 1, 0, 1],
            None,
        ],
        ids=["int64", "float32", "uint32", "2d", "0d", "big-endian", "list", "none"],
    )
    def test_wrong_type_raises_type_error_naming_actions(self, env, actions):
        with pytest.raises(TypeError, match="actions"):
            env.step(actions)

    def test_strided_view_is_refused(self, env):
        with pytest.raises(ValueError, match="^Actions must be a contiguous C-order array$"):
            env.step(np.zeros(8, np.int32)[::2])

    @pytest.mark.parametrize("length", [0, 3, 5])
    def test_wrong_length(self, env, length):
        with pytest.raises(ValueError, match=f"^Expected 4 actions, got {length}$"):
            env.step(np.zeros(length, np.int32))

    def test_errors_leave_the_instance_unchanged(self, env):
        twin = CartPole(4)
        twin.reset(0)
        for bad in (np.zeros(3, np.int32), np.zeros(8, np.int32)[::2], np.zeros(4, np.int64)):
            with pytest.raises((TypeError, ValueError)):
                env.step(bad)
        for a, b in zip(env.step(np.ones(4, np.int32)), twin.step(np.ones(4, np.int32))):
            np.testing.assert_array_equal(a, b)

    def test_unaligned_actions(self, env):
        buffer = np.zeros(4 * 4 + 1, np.uint8)
        actions = np.frombuffer(buffer.data, np.int32, count=4, offset=1)
        assert not actions.flags.aligned
        twin = CartPole(4)
        twin.reset(0)
        np.testing.assert_array_equal(env.step(actions)[0], twin.step(np.zeros(4, np.int32))[0])

    def test_subclass_and_keyword(self, env):
        class Actions(np.ndarray):
            pass

        env.step(actions=np.zeros(4, np.int32).view(Actions))
        with pytest.raises(TypeError):
            env.step(np.zeros(4, np.int32), np.zeros(4, np.int32))
        with pytest.raises(TypeError, match="bogus"):
            env.step(bogus=np.zeros(4, np.int32))


class TestResults:
    def test_shapes_dtypes_and_contiguity(self):
        env = CartPole(5)
        for obs in (env.reset(1), env.step(np.zeros(5, np.int32))[0]):
            assert obs.shape == (5, 4) and obs.dtype == np.float32 and obs.flags.c_contiguous
        _, rewards, terminals, truncations = env.step(np.zeros(5, np.int32))
        assert (rewards.shape, rewards.dtype) == ((5,), np.float32)
        assert (terminals.shape, terminals.dtype) == ((5,), np.uint8)
        assert (truncations.shape, truncations.dtype) == ((5,), np.uint8)

    def test_results_share_no_memory(self):
        env = CartPole(3)
        first = env.step(np.ones(3, np.int32))
        second = env.step(np.ones(3, np.int32))
        arrays = list(first) + list(second) + [env.reset(0)]
        assert len({id(a) for a in arrays}) == len(arrays)
        for i, a in enumerate(arrays):
            assert a.flags.owndata and a.flags.writeable
            for b in arrays[i + 1 :]:
                assert not np.shares_memory(a, b)
        snapshot = [a.copy() for a in second]
        for a in first:
            a[...] = 7
        for a, b in zip(second, snapshot):
            np.testing.assert_array_equal(a, b)

    def test_reset_seed_rules(self):
        env = CartPole(3)
        np.testing.assert_array_equal(env.reset(None), env.reset(0))
        np.testing.assert_array_equal(env.reset(seed=5), env.reset(np.uint64(5)))
        with pytest.raises(OverflowError, match="seed"):
            env.reset(-1)
        with pytest.raises(TypeError, match="seed"):
            env.reset()
        with pytest.raises(TypeError, match="seed"):
            env.reset(1.5)

    def test_properties_are_read_only(self):
        env = CartPole(6)
        assert (env.num_envs, env.observation_size) == (6, 4)
        with pytest.raises(AttributeError):
            env.num_envs = 3


class TestDocumentation:
    def test_class_identity(self):
        assert (CartPole.__name__, CartPole.__module__, CartPole.__qualname__) == ("PyCartPoleVecEnv", "builtins", "PyCartPoleVecEnv")
        assert CartPole.__text_signature__ == "(num_envs, workers=None)"
        assert CartPole.__doc__.startswith("High-performance vectorized CartPole environment.\n\n")

    @pytest.mark.parametrize(
        "name, signature, first_line",
        [
            ("step", "($self, actions)", "Step all environments with the given actions."),
            ("reset", "($self, seed)", "Reset all environments."),
            ("get_logs", "($self)", "Get episode statistics since last clear."),
            ("clear_logs", "($self)", "Clear episode statistics."),
        ],
    )
    def test_method_signatures(self, name, signature, first_line):
        method = getattr(CartPole, name)
        assert method.__text_signature__ == signature
        assert method.__doc__.splitlines()[0] == first_line

    def test_step_doc_lists_results(self):
        doc = CartPole.step.__doc__
        assert "* `actions` - numpy array of shape (num_envs,) with dtype int32, values 0 or 1\n" in doc
        assert "- observations: shape (num_envs, 4), dtype float32\n" in doc
        assert doc.endswith("# Errors\n\nReturns `ValueError` if actions array is not contiguous or has wrong size.")

    def test_property_docs(self):
        assert CartPole.num_envs.__doc__ == "Get the number of environments."
        assert CartPole.observation_size.__doc__ == "Get the observation shape per environment."
