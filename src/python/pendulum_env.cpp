// PyPendulumVecEnv: the Python class over the Pendulum engine.
#include "env_classes.hpp"
#include "envs/pendulum.hpp"
#include "spaces.hpp"
#include "vec_env_class.hpp"

namespace zimbrel::py {
namespace {

struct PendulumTraits {
  using Engine = Pendulum;
  static constexpr int kObservationSize = Pendulum::kObservationSize;
  // Torques reach the engine straight from the caller's array, without a copy.
  static constexpr int kActionType = NPY_FLOAT32;
  static constexpr const char kName[] = "PyPendulumVecEnv";
  static constexpr const char kSpecName[] = "builtins.PyPendulumVecEnv";
  static constexpr const char kDoc[] =
      "PyPendulumVecEnv(num_envs, workers=None)\n--\n\n"
      "High-performance vectorized Pendulum environment.\n\n"
      "Uses a SIMD-optimized implementation and works with zero-copy NumPy arrays.";
  static constexpr const char kStepDoc[] =
      "step($self, actions)\n--\n\n"
      "Step all environments with the given actions.\n\n"
      "# Arguments\n\n"
      "* `actions` - numpy array of shape (num_envs,) with dtype float32, continuous torque values [-2.0, 2.0]\n\n"
      "# Returns\n\n"
      "Tuple of (observations, rewards, terminals, truncations) where:\n"
      "- observations: shape (num_envs, 3), dtype float32 (cos(theta), sin(theta), theta_dot)\n"
      "- rewards: shape (num_envs,), dtype float32\n"
      "- terminals: shape (num_envs,), dtype uint8 (always 0, Pendulum has no terminal state)\n"
      "- truncations: shape (num_envs,), dtype uint8\n\n"
      "# Errors\n\n"
      "Returns `ValueError` if actions array is not contiguous or has wrong size.";
  static constexpr const char kResetDoc[] =
      "reset($self, seed)\n--\n\n"
      "Reset all environments.\n\n"
      "Returns observations as a numpy array of shape (num_envs, 3).\n\n"
      "# Errors\n\n"
      "Returns `ValueError` if observation array reshape fails.";
  static constexpr const char kActionSpaceDoc[] =
      ZIMBREL_ACTION_SPACE_DOC_HEAD
      ZIMBREL_BOX_DOC_FORMAT
      "- shape: (1,) for torque\n"
      "- low: -2.0\n"
      "- high: 2.0\n"
      "- dtype: \"float32\"";
  static constexpr const char kObservationSpaceDoc[] =
      ZIMBREL_OBSERVATION_SPACE_DOC_HEAD
      ZIMBREL_BOX_DOC_FORMAT
      "- shape: (3,) for [cos(theta), sin(theta), theta_dot]\n"
      "- low: lower bounds\n"
      "- high: upper bounds\n"
      "- dtype: \"float32\"";

  // The class has already checked the count; the engine's own check cannot fail here.
  static void step(Pendulum& env, const float* actions) { env.step_auto_reset(actions, env.num_envs()); }

  static PyObject* action_space() {
    static constexpr float low[] = {-2.0f};
    static constexpr float high[] = {2.0f};
    return box_space(1, low, high);
  }

  static PyObject* observation_space() {
    static constexpr float low[] = {-1.0f, -1.0f, -8.0f};
    static constexpr float high[] = {1.0f, 1.0f, 8.0f};
    return box_space(3, low, high);
  }
};

}  // namespace

PyObject* pendulum_class() { return VecEnvClass<PendulumTraits>::type(); }

}  // namespace zimbrel::py
