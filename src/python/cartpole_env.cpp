// PyCartPoleVecEnv: the Python class over the CartPole engine.
#include "env_classes.hpp"
#include "envs/cartpole.hpp"
#include "spaces.hpp"
#include "vec_env_class.hpp"

namespace zimbrel::py {
namespace {

struct CartPoleTraits {
  using Engine = CartPole;
  static constexpr int kObservationSize = CartPole::kObservationSize;
  static constexpr int kActionType = NPY_INT32;
  static constexpr const char kName[] = "PyCartPoleVecEnv";
  static constexpr const char kSpecName[] = "builtins.PyCartPoleVecEnv";
  static constexpr const char kDoc[] =
      "PyCartPoleVecEnv(num_envs, workers=None)\n--\n\n"
      "High-performance vectorized CartPole environment.\n\n"
      "Uses a SIMD-optimized implementation and works with zero-copy NumPy arrays.";
  static constexpr const char kStepDoc[] =
      "step($self, actions)\n--\n\n"
      "Step all environments with the given actions.\n\n"
      "# Arguments\n\n"
      "* `actions` - numpy array of shape (num_envs,) with dtype int32, values 0 or 1\n\n"
      "# Returns\n\n"
      "Tuple of (observations, rewards, terminals, truncations) where:\n"
      "- observations: shape (num_envs, 4), dtype float32\n"
      "- rewards: shape (num_envs,), dtype float32\n"
      "- terminals: shape (num_envs,), dtype uint8\n"
      "- truncations: shape (num_envs,), dtype uint8\n\n"
      "# Errors\n\n"
      "Returns `ValueError` if actions array is not contiguous or has wrong size.";
  static constexpr const char kResetDoc[] =
      "reset($self, seed)\n--\n\n"
      "Reset all environments.\n\n"
      "Returns observations as a numpy array of shape (num_envs, 4).\n\n"
      "# Errors\n\n"
      "Returns `ValueError` if observation array reshape fails.";
  static constexpr const char kActionSpaceDoc[] =
      ZIMBREL_ACTION_SPACE_DOC_HEAD
      ZIMBREL_DISCRETE_DOC_FORMAT
      "- n: 2 (push left or push right)\n"
      "- dtype: \"int32\"";
  static constexpr const char kObservationSpaceDoc[] =
      ZIMBREL_OBSERVATION_SPACE_DOC_HEAD
      ZIMBREL_BOX_DOC_FORMAT
      "- shape: (4,) for [cart_pos, cart_vel, pole_angle, pole_vel]\n"
      "- low: lower bounds (unbounded for velocities)\n"
      "- high: upper bounds (unbounded for velocities)\n"
      "- dtype: \"float32\"";

  static void step(CartPole& env, const float* actions) {
    if (env.workers() <= 1) {
      env.step_auto_reset_simd(actions);
    } else {
      env.step_auto_reset_parallel(actions);
    }
  }

  static PyObject* action_space() { return discrete_space(2); }

  static PyObject* observation_space() {
    constexpr float kInf = __builtin_inff();
    static constexpr float low[] = {-4.8f, -kInf, -0.418f, -kInf};
    static constexpr float high[] = {4.8f, kInf, 0.418f, kInf};
    return box_space(4, low, high);
  }
};

}  // namespace

PyObject* cartpole_class() { return VecEnvClass<CartPoleTraits>::type(); }

}  // namespace zimbrel::py
