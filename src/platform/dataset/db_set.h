// TSet<E>: a set of enumeration members stored as a bit set in which member i is bit i,
// so a stored or compared set has the same bits as the system's own option sets.
#pragma once

#include <cstdint>
#include <initializer_list>

template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  static constexpr TSet FromBits(std::uint64_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }

  constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
  constexpr TSet& Include(E m) {
    bits_ |= Bit(m);
    return *this;
  }
  constexpr TSet& Exclude(E m) {
    bits_ &= ~Bit(m);
    return *this;
  }
  constexpr TSet& Set(E m, bool on) { return on ? Include(m) : Exclude(m); }
  constexpr std::uint64_t Bits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }

  friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }
  friend constexpr TSet operator+(TSet a, E m) { return a.Include(m); }
  friend constexpr TSet operator-(TSet a, E m) { return a.Exclude(m); }

 private:
  static constexpr std::uint64_t Bit(E m) { return std::uint64_t{1} << static_cast<unsigned>(m); }
  std::uint64_t bits_ = 0;
};
