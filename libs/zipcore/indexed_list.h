// A list whose elements are made on demand, by index, from what holds them:
// the members of a directory handed out as values that view its records.
#pragma once

#include <compare>
#include <cstddef>
#include <iterator>

namespace kelp::zip {

template <typename Owner, typename Value, Value (*Make)(const Owner&, size_t)>
class IndexedList {
  public:
    class iterator {
      public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Value;
        using difference_type = std::ptrdiff_t;
        using reference = Value;
        using pointer = void;

        iterator() = default;
        iterator(const Owner* owner, size_t i) : owner_(owner), index_(i) {}
        Value operator*() const { return Make(*owner_, index_); }
        Value operator[](difference_type n) const { return *(*this + n); }
        iterator& operator++() { return ++index_, *this; }
        iterator operator++(int) { return iterator(owner_, index_++); }
        iterator& operator--() { return --index_, *this; }
        iterator operator--(int) { return iterator(owner_, index_--); }
        iterator& operator+=(difference_type n) { return index_ += n, *this; }
        iterator& operator-=(difference_type n) { return index_ -= n, *this; }
        iterator operator+(difference_type n) const { return iterator(owner_, index_ + n); }
        friend iterator operator+(difference_type n, iterator it) { return it + n; }
        iterator operator-(difference_type n) const { return iterator(owner_, index_ - n); }
        difference_type operator-(const iterator& o) const {
            return static_cast<difference_type>(index_) - static_cast<difference_type>(o.index_);
        }
        bool operator==(const iterator& o) const { return index_ == o.index_; }
        auto operator<=>(const iterator& o) const { return index_ <=> o.index_; }
        // The element's place in the list.
        size_t index() const { return index_; }

      private:
        const Owner* owner_ = nullptr;
        size_t index_ = 0;
    };

    explicit IndexedList(const Owner& owner) : owner_(&owner) {}
    size_t size() const { return owner_->size(); }
    bool empty() const { return size() == 0; }
    Value operator[](size_t i) const { return Make(*owner_, i); }
    iterator begin() const { return iterator(owner_, 0); }
    iterator end() const { return iterator(owner_, size()); }

  private:
    const Owner* owner_;
};

}  // namespace kelp::zip
