#pragma once
// The one way a kernel family chooses its processor tier. Each tier's source
// (*_tier_a.cpp, *_tier_b.cpp, *_tier_c.cpp, compiled with that tier's
// flags) defines the family's table for its tier: kernel entry points and the
// constants that go with them. The family's dispatcher lists the three tables
// in a PerTier and looks the active one up once per call, so callers never
// name a tier and only tier sources contain instruction-set code.

#include <cstddef>

#include "platform/processor_tier.h"

namespace platform {

template <class Table>
class PerTier {
 public:
  constexpr PerTier(const Table& a, const Table& b, const Table& c) noexcept : tables_{&a, &b, &c} {}

  constexpr const Table& operator[](Tier tier) const noexcept {
    switch (tier) {
      case Tier::A: return *tables_[0];
      case Tier::B: return *tables_[1];
      case Tier::C: break;
    }
    return *tables_[2];
  }

  // The table of active_tier(), read afresh on every call.
  const Table& active() const noexcept { return (*this)[active_tier()]; }

 private:
  const Table* tables_[3];
};

}  // namespace platform
