#pragma once
// The part of a stream's history that later samples may still see: rows
// [first(), size()) of a series that grows at its end, each row_length values,
// addressed by their global sample index. Rows before a point are released
// in batches, so a windowed stream holds O(window) rows however long it runs.

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

namespace kaltrope {

template <class T>
class SlidingHistory {
public:
    explicit SlidingHistory(std::size_t row_length = 1) : row_length_(row_length) {}

    // Rows first, first + 1, ... laid end to end in rows.
    SlidingHistory(std::size_t row_length, std::size_t first, std::span<const T> rows)
        : row_length_(row_length), first_(first), data_(rows.begin(), rows.end()) {}

    std::size_t first() const { return first_; }
    std::size_t size() const { return first_ + data_.size() / row_length_; }
    bool empty() const { return data_.empty(); }

    // Row k, for first() <= k < size().
    const T* row(std::size_t k) const { return data_.data() + (k - first_) * row_length_; }
    // Value k of a history of single values (no multiplication on the hot path).
    const T& operator[](std::size_t k) const { return data_[k - first_]; }
    const T& back() const { return data_.back(); }
    // Rows [k, size()) end to end, for first() <= k <= size().
    std::span<const T> rows_from(std::size_t k) const {
        return std::span<const T>(data_).subspan((k - first_) * row_length_);
    }

    // Room for more rows, growing geometrically: repeated single rows stay
    // amortised O(1).
    [[gnu::always_inline]] void reserve(std::size_t more) {
        const std::size_t needed = data_.size() + more * row_length_;
        if (needed > data_.capacity()) [[unlikely]]
            grow(needed);
    }
    void push_back(const T& value) { data_.push_back(value); }
    void append(std::span<const T> row) { data_.insert(data_.end(), row.begin(), row.end()); }
    // Forgets rows k and after (first() <= k <= size()).
    void truncate(std::size_t k) { data_.resize((k - first_) * row_length_); }

    // Releases the rows before k once they outnumber the rows kept (and a
    // batch), so each row is moved at most once on average; the room of a
    // long run is given back once it is four times what is kept.
    void release_before(std::size_t k) {
        if (k <= first_) return;
        const std::size_t dead = std::min(k, size()) - first_;
        if (dead < kBatch || dead < size() - first_ - dead) return;
        data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(dead * row_length_));
        first_ += dead;
        if (data_.capacity() > 4 * data_.size() + kBatch * row_length_) data_.shrink_to_fit();
    }

private:
    static constexpr std::size_t kBatch = 64;

    [[gnu::noinline]] void grow(std::size_t needed) { data_.reserve(std::max(needed, 2 * data_.capacity())); }

    std::size_t row_length_;
    std::size_t first_ = 0;
    std::vector<T> data_;
};

}  // namespace kaltrope
