#pragma once
// The k greatest items offered so far under a strict weak order, the least of
// them on top: the samples a penetrable engine compares each candidate with.
// A candidate is joined exactly when it beats the least of the k, so one
// comparison settles it and the heap changes only when it wins.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kaltrope {

template <class Item>
class LargestItems {
public:
    // Empties the set and makes it keep the k greatest from now on (k >= 1).
    void reset(std::size_t k) {
        items_.clear();
        k_ = k;
        if (items_.capacity() < k) items_.reserve(k);
    }

    bool full() const { return items_.size() == k_; }
    const Item& least() const { return items_.front(); }

    // For a set that is not full yet.
    template <class Greater>
    void add(Item item, Greater greater) {
        items_.push_back(item);
        std::ranges::push_heap(items_, greater);
    }

    // Replaces the least item by one greater than it.
    template <class Greater>
    void replace_least(Item item, Greater greater) {
        std::ranges::pop_heap(items_, greater);
        items_.back() = item;
        std::ranges::push_heap(items_, greater);
    }

private:
    std::vector<Item> items_;
    std::size_t k_ = 1;
};

}  // namespace kaltrope
