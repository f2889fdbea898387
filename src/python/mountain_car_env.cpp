// PyMountainCarVecEnv: the Python class over the MountainCar engine.
#include "env_classes.hpp"
#include "envs/mountain_car.hpp"
#include "spaces.hpp"
#include "vec_env_class.hpp"

namespace zimbrel::py {
namespace {

struct MountainCarTraits {
  using Engine = MountainCar;
  static constexpr int kObservationSize = MountainCar::kObservationSize;
  static constexpr int kActionType = NPY_INT32;
  static constexpr const char kName[] = "PyMountainCarVecEnv";
  static constexpr const char kSpecName[] = "builtins.PyMountainCarVecEnv";
  static constexpr const char kDoc[] =
      "PyMountainCarVecEnv(num_envs, workers=None)\n--\n\n"
      "High-performance vectorized MountainCar environment.\n\n"
      "Uses a SIMD-optimized implementation and works with zero-copy NumPy arrays.";
  static constexpr const char kStepDoc[] =
      "step($self, actions)\n--\n\n"
      "Step all environments with the given actions.\n\n"
      "# Arguments\n\n"
      "* `actions` - numpy array of shape (num_envs,) with dtype int32, values 0, 1, or 2\n\n"
      "# Returns\n\n"
      "Tuple of (observations, rewards, terminals, truncations) where:\n"
      "- observations: shape (num_envs, 2), dtype float32\n"
      "- rewards: shape (num_envs,), dtype float32\n"
      "- terminals: shape (num_envs,), dtype uint8\n"
      "- truncations: shape (num_envs,), dtype uint8\n\n"
      "# Errors\n\n"
      "Returns `ValueError` if actions array is not contiguous or has wrong size.";
  static constexpr const char kResetDoc[] =
      "reset($self, seed)\n--\n\n"
      "Reset all environments.\n\n"
      "Returns observations as a numpy array of shape (num_envs, 2).\n\n"
      "# Errors\n\n"
      "Returns `ValueError` if observation array reshape fails.";
  static constexpr const char kActionSpaceDoc[] =
      ZIMBREL_ACTION_SPACE_DOC_HEAD
      ZIMBREL_DISCRETE_DOC_FORMAT
      "- n: 3 (push left, no push, push right)\n"
      "- dtype: \"int32\"";
  static constexpr const char kObservationSpaceDoc[] =
      ZIMBREL_OBSERVATION_SPACE_DOC_HEAD
      ZIMBREL_BOX_DOC_FORMAT
      "- shape: (2,) for [position, velocity]\n"
      "- low: lower bounds\n"
      "- high: upper bounds\n"
      "- dtype: \"float32\"";

  // The class has already checked the count; the engine's own check cannot fail here.
  static void step(MountainCar& env, const float* actions) { env.step_auto_reset(actions, env.num_envs()); }

  static PyObject* action_space() { return discrete_space(3); }

  static PyObject* observation_space() {
    static constexpr float low[] = {-1.2f, -0.07f};
    static constexpr float high[] = {0.6f, 0.07f};
    return box_space(2, low, high);
  }
};

}  // namespace

PyObject* mountain_car_class() { return VecEnvClass<MountainCarTraits>::type(); }

}  // namespace zimbrel::py
