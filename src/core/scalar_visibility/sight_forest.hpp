#pragma once
// The forest behind the natural degree sweep (degree_sweep.cpp). Samples join
// one at a time from left to right, and every earlier sample a keeps a link to
// t(a), the last sample it sees so far. Three facts, each following from
// strict orientation tests alone, make these links a tree worth walking:
//   1. a sees the joining sample c exactly when c lies strictly above the line
//      from a through t(a): no sample after t(a) rose above that line;
//   2. then t(a) sees c as well, so the samples that see c form a subtree
//      hanging from c - 1, which always sees c;
//   3. the children of a sample b (the samples whose last seen sample is b),
//      in index order, have increasing slopes towards b, so those that see c
//      lead the list.
// join() walks that subtree depth first and stops at each list's first child
// that does not see c, so every edge costs two tests and a few writes. Each
// sample it reaches sees c and becomes a child of c, in index order (the
// walk's post-order), which keeps fact 3.
//
// Samples are numbered by the sweep (Points gives their coordinates, Place
// their records), so the same walk runs over a mirrored series or over a part
// of one followed by chosen samples of another.

#include <cstdint>

#include "core/predicates/orientation.hpp"

namespace kaltrope {

// A sample's record: its degree so far in bits [0, w), its first child in
// [w, 2w) and its next sibling in [2w, 3w), with "none" all ones. A 64-bit
// record has fields of 21 bits, for series of fewer than 2^21 - 1 samples; a
// 128-bit one has 32, for any series. The widths are constants, since a
// shift by a variable count costs three times as much without BMI2.
template <class Record>
class RecordLayout {
public:
    static constexpr unsigned kBits = sizeof(Record) == 8 ? 21 : 32;
    static constexpr std::uint64_t kNone = (std::uint64_t{1} << kBits) - 1;

    // Whether the indices and degrees of n samples fit, none kept apart.
    static constexpr bool fits(std::uint64_t n) { return n < kNone; }

    static constexpr std::uint64_t none() { return kNone; }
    // No degree, no child, no sibling.
    static constexpr Record empty() { return (Record{kNone} << kBits) | (Record{kNone} << 2 * kBits); }

    static std::uint64_t degree(Record r) { return static_cast<std::uint64_t>(r) & kNone; }
    static std::uint64_t first_child(Record r) { return static_cast<std::uint64_t>(r >> kBits) & kNone; }
    static std::uint64_t next_sibling(Record r) { return static_cast<std::uint64_t>(r >> 2 * kBits) & kNone; }

    static void set_first_child(Record& r, std::uint64_t child) { set(r, kBits, child); }
    static void set_next_sibling(Record& r, std::uint64_t sibling) { set(r, 2 * kBits, sibling); }

private:
    static void set(Record& r, unsigned shift, std::uint64_t value) {
        r = (r & ~(Record{kNone} << shift)) | (Record{value} << shift);
    }
};

// The exact sign test of orientation.hpp: whether O(a, b, c) > 0, that is c
// lies strictly above the line from a through b when x_a < x_b. On small
// whole numbers the products are exact and decide alone.
class PositiveTurn {
public:
    explicit PositiveTurn(bool small_whole) : small_whole_(small_whole) {}

    bool operator()(double xa, double ya, double xb, double yb, double xc, double yc) const {
        const double l = (xb - xa) * (yc - ya);
        const double r = (yb - ya) * (xc - xa);
        if (small_whole_ || settled(l, r)) [[likely]]
            return l > r;
        return exact_orientation(xa, ya, xb, yb, xc, yc) > 0;
    }

private:
    bool small_whole_;
};

// Sample c joins the forest whose newest sample is c - 1. Every sample that
// sees c becomes a child of c and, where counted(sample) holds, gains one
// degree; returns how many gained one (c's own degree is the caller's).
// Everything but c is a small value taken by copy, so that the compiler
// knows the records written cannot change it and keeps it in registers.
// Record is the record type of Place.
template <class Record, class Points, class Place, class Counted>
std::uint64_t join(std::uint64_t c, const Points points, const Place record, const PositiveTurn above,
                   Counted counted) {
    using Layout = RecordLayout<Record>;
    const double xc = points.x(c);
    const double yc = points.y(c);
    const std::uint64_t none = Layout::none();
    // The walk's stack is threaded through the next-sibling links: a sample
    // leaves its parent's list as it is stacked and joins c's list as it is
    // unstacked, so the walk needs no memory of its own.
    std::uint64_t top = c - 1;
    Layout::set_next_sibling(record(top), none);
    std::uint64_t head = none;
    std::uint64_t tail = none;
    std::uint64_t found = 0;
    auto append = [&](std::uint64_t s, Record& rs) {
        if (tail == none) {
            head = s;
        } else {
            Layout::set_next_sibling(record(tail), s);
        }
        tail = s;
        if (counted(s)) {
            rs += 1;
            ++found;
        }
    };
    while (top != none) {
        const std::uint64_t b = top;
        Record& rb = record(b);
        const std::uint64_t a = Layout::first_child(rb);
        if (a != none && above(points.x(a), points.y(a), points.x(b), points.y(b), xc, yc)) {
            Record& ra = record(a);
            Layout::set_first_child(rb, Layout::next_sibling(ra));
            if (Layout::first_child(ra) == none) {
                append(a, ra);  // a leaf has nothing to walk
            } else {
                Layout::set_next_sibling(ra, b);
                top = a;
            }
            continue;
        }
        top = Layout::next_sibling(rb);
        append(b, rb);
    }
    Layout::set_next_sibling(record(tail), none);
    Layout::set_first_child(record(c), head);
    return found;
}

}  // namespace kaltrope
