#include "network/fast/arena.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace kelvor::fast {

namespace {
constexpr std::size_t kPieceDoubles = Arena::kPieceAlign / sizeof(double);
constexpr std::size_t kPageDoubles = Arena::kPage / sizeof(double);
}  // namespace

Arena::Arena(std::size_t doubles) {
  // At least one page, so that even an arena of no pieces has memory of its own.
  capacity_ = doubles == 0 ? kPageDoubles : (doubles + kPageDoubles - 1) / kPageDoubles * kPageDoubles;
  base_ = static_cast<double*>(std::aligned_alloc(kPage, capacity_ * sizeof(double)));
  if (base_ == nullptr) throw std::bad_alloc();
  std::memset(base_, 0, capacity_ * sizeof(double));
  origin_ = reinterpret_cast<std::uintptr_t>(base_);
}

Arena::~Arena() { std::free(base_); }

double* Arena::take(std::size_t doubles) {
  const std::size_t at = used_;
  used_ += (doubles + kPieceDoubles - 1) / kPieceDoubles * kPieceDoubles;
  if (base_ != nullptr && used_ > capacity_) throw std::logic_error("fast engine: a plan took more than it counted");
  return reinterpret_cast<double*>(address(at));
}

double* Arena::takeApart(std::size_t doubles, const double* from) {
  // Both the counting run and the memory start on a page boundary, so the gap is the same in both.
  const std::uintptr_t want = (reinterpret_cast<std::uintptr_t>(from) + kPage / 2) % kPage;
  const std::uintptr_t at = address(used_) % kPage;
  used_ += (want + kPage - at) % kPage / sizeof(double);
  return take(doubles);
}

void Arena::checkCarved(std::size_t counted) const {
  if (used_ != counted) throw std::logic_error("fast engine: a plan carved differently from how it counted");
}

}  // namespace kelvor::fast
