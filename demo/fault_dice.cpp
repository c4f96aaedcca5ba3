#include "demo/fault_dice.h"

namespace quillet {

FaultDice::FaultDice(std::optional<std::uint64_t> seed)
    : engine_(seed ? *seed
                   : (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^
                         std::random_device{}()) {}

bool FaultDice::roll(double rate) {
  if (!(rate > 0.0)) return false;
  if (rate >= 1.0) return true;
  std::lock_guard lock(mutex_);
  return std::uniform_real_distribution<double>(0.0, 1.0)(engine_) < rate;
}

int FaultDice::between(int low, int high) {
  if (high <= low) return low;
  std::lock_guard lock(mutex_);
  return std::uniform_int_distribution<int>(low, high)(engine_);
}

std::uint64_t FaultDice::next() {
  std::lock_guard lock(mutex_);
  return engine_();
}

}  // namespace quillet
