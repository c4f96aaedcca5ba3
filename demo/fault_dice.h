#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <random>

namespace quillet {

// The random draws behind injected faults. Seeded for repeatable runs, or from
// the operating system when no seed is given. Safe to use from several threads.
class FaultDice {
 public:
  explicit FaultDice(std::optional<std::uint64_t> seed = std::nullopt);

  // True with probability `rate`: never for 0 (or less), always for 1 (or more).
  bool roll(double rate);
  // A uniform whole number from `low` to `high` inclusive (`low` when high < low).
  int between(int low, int high);
  std::uint64_t next();

 private:
  std::mutex mutex_;
  std::mt19937_64 engine_;
};

}  // namespace quillet
