#pragma once
// Tables indexed from a lower bound (1 for members, stats and spells; the
// direction table has bounds of its own). Every access goes through get and
// set: a read outside the bounds gives the zero value, a write is ignored.
// This is what lets a definition with fewer members, stats or spells than
// the rules use be played without ever touching memory it does not own.
#include <cstdint>
#include <vector>

namespace delve {

template <class T>
class Table {
public:
    void resize(int lo, int hi) {
        lo_ = lo;
        hi_ = hi;
        values_.assign(hi >= lo ? static_cast<size_t>(int64_t{hi} - lo + 1) : 0, T{});
    }
    T get(int64_t i) const { return inside(i) ? values_[static_cast<size_t>(i - lo_)] : T{}; }
    void set(int64_t i, const T& v) {
        if (inside(i)) values_[static_cast<size_t>(i - lo_)] = v;
    }
    int lo() const { return lo_; }
    int hi() const { return hi_; }

private:
    bool inside(int64_t i) const { return i >= lo_ && i <= hi_; }
    int lo_ = 1, hi_ = 0;
    std::vector<T> values_;
};

template <class T>
class Table2 {
public:
    void resize(int lo1, int hi1, int lo2, int hi2) {
        lo1_ = lo1, hi1_ = hi1, lo2_ = lo2, hi2_ = hi2;
        const size_t n1 = hi1 >= lo1 ? static_cast<size_t>(int64_t{hi1} - lo1 + 1) : 0;
        const size_t n2 = hi2 >= lo2 ? static_cast<size_t>(int64_t{hi2} - lo2 + 1) : 0;
        values_.assign(n1 * n2, T{});
    }
    T get(int64_t i, int64_t j) const { return inside(i, j) ? values_[offset(i, j)] : T{}; }
    void set(int64_t i, int64_t j, const T& v) {
        if (inside(i, j)) values_[offset(i, j)] = v;
    }
    int lo1() const { return lo1_; }
    int hi1() const { return hi1_; }
    int lo2() const { return lo2_; }
    int hi2() const { return hi2_; }

private:
    bool inside(int64_t i, int64_t j) const { return i >= lo1_ && i <= hi1_ && j >= lo2_ && j <= hi2_; }
    size_t offset(int64_t i, int64_t j) const {
        return static_cast<size_t>((i - lo1_) * (int64_t{hi2_} - lo2_ + 1) + (j - lo2_));
    }
    int lo1_ = 1, hi1_ = 0, lo2_ = 1, hi2_ = 0;
    std::vector<T> values_;
};

}  // namespace delve
