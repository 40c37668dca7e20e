// Memory for a set of panels: zero-filled, page-aligned, handed out in 128-byte-aligned pieces.
//
// An arena is sized by the same calls that carve it: Arena::carve(plan) runs plan(arena) once
// on an arena that only counts, then once on memory of exactly the size counted. A plan
// therefore only takes pieces and keeps their addresses; it fills nothing (the addresses of
// the counting run are not memory).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace kelvor::fast {

class Arena {
 public:
  template <typename Plan>
  static std::unique_ptr<Arena> carve(Plan&& plan) {
    Arena count;
    plan(count);
    std::unique_ptr<Arena> arena(new Arena(count.used_));
    plan(*arena);
    arena->checkCarved(count.used_);
    return arena;
  }

  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // A piece of `doubles` values, starting on a 128-byte boundary.
  double* take(std::size_t doubles);
  // A piece whose start lies half a page (mod 4096 bytes) from `from`'s: a pass that loads and
  // stores both at the same offsets then never sees a load of one alias a pending store to the
  // other (such pairs, 4K apart, wait for the store).
  double* takeApart(std::size_t doubles, const double* from);

  // Doubles of memory the arena holds (a whole number of pages).
  std::size_t capacity() const { return capacity_; }
  // Doubles handed out so far, with the gaps that keep pieces aligned and apart.
  std::size_t used() const { return used_; }

  static constexpr std::size_t kPage = 4096;
  static constexpr std::size_t kPieceAlign = 128;

 private:
  Arena() = default;  // counts only
  explicit Arena(std::size_t doubles);
  void checkCarved(std::size_t counted) const;
  std::uintptr_t address(std::size_t offset) const { return origin_ + offset * sizeof(double); }

  double* base_ = nullptr;     // null while counting
  std::uintptr_t origin_ = 0;  // base_'s address; 0 while counting (a page boundary as well)
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
};

}  // namespace kelvor::fast
