// A small set of enumeration values, kept as bits.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace kelp::engine {

template <typename Enum>
class OptionSet {
  public:
    constexpr OptionSet() = default;
    constexpr OptionSet(std::initializer_list<Enum> values) {
        for (Enum v : values) bits_ |= Bit(v);
    }

    constexpr bool Has(Enum v) const { return (bits_ & Bit(v)) != 0; }
    constexpr OptionSet& Include(Enum v) {
        bits_ |= Bit(v);
        return *this;
    }
    constexpr OptionSet& Exclude(Enum v) {
        bits_ &= ~Bit(v);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const OptionSet&) const = default;

  private:
    static constexpr uint32_t Bit(Enum v) { return uint32_t{1} << static_cast<unsigned>(v); }
    uint32_t bits_ = 0;
};

}  // namespace kelp::engine
