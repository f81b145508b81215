/*
** RunIndex: a set of positions 0 .. size - 1 answering "the greatest member
** at or before p" and "the least member at or after p" in a few word
** operations, whatever the distance to the answer.
**
** The engine keeps in it the first position of every batch of one colour,
** so that the batch around any position (and so its length) is found in
** constant time even when batches are long; a linear scan would cost the
** length of the batch.
**
** Layout: level 0 holds one bit per position; each bit of level l + 1 tells
** whether the word of level l with its index is non-zero; the last level is
** one word.  Invariant: for every level l > 0, bit i of level l is set if
** and only if word i of level l - 1 is non-zero.
*/
#ifndef QUELTO_RUN_INDEX_H
#define QUELTO_RUN_INDEX_H

#include <cstdint>
#include <vector>

namespace quelto::detail {

class RunIndex {
public:
    RunIndex() = default;

    /* An empty set of the given size (>= 1). */
    explicit RunIndex(int64_t size) : size_(size)
    {
        int64_t bits = size;
        do {
            const int64_t words = (bits + 63) / 64;
            levels_.emplace_back(static_cast<size_t>(words), uint64_t{0});
            bits = words;
        } while (bits > 1);
    }

    int64_t size() const { return size_; }

    bool contains(int64_t p) const { return (levels_[0][static_cast<size_t>(p >> 6)] >> (p & 63) & 1u) != 0; }

    /* Add (on) or remove p, 0 <= p < size. */
    void assign(int64_t p, bool on)
    {
        for (auto &level : levels_) {
            uint64_t &word = level[static_cast<size_t>(p >> 6)];
            const uint64_t bit = uint64_t{1} << (p & 63);
            const bool was_empty = word == 0;
            if (on) {
                word |= bit;
                if (!was_empty) return;
            } else {
                word &= ~bit;
                if (word != 0) return;
            }
            p >>= 6;
        }
    }

    /* The greatest member <= p (0 <= p < size), or -1 when there is none. */
    int64_t pred(int64_t p) const
    {
        for (size_t l = 0; l < levels_.size(); l++) {
            const int64_t w = p >> 6;
            const uint64_t m = levels_[l][static_cast<size_t>(w)] & (~uint64_t{0} >> (63 - (p & 63)));
            if (m != 0) {
                p = (w << 6) | (63 - __builtin_clzll(m));
                for (size_t k = l; k-- > 0;) p = (p << 6) | (63 - __builtin_clzll(levels_[k][static_cast<size_t>(p)]));
                return p;
            }
            if (w == 0) return -1;
            p = w - 1;
        }
        return -1;
    }

    /* The least member >= p (0 <= p), or size when there is none. */
    int64_t succ(int64_t p) const
    {
        if (p >= size_) return size_;
        for (size_t l = 0; l < levels_.size(); l++) {
            const int64_t w = p >> 6;
            if (w >= static_cast<int64_t>(levels_[l].size())) return size_;
            const uint64_t m = levels_[l][static_cast<size_t>(w)] & (~uint64_t{0} << (p & 63));
            if (m != 0) {
                p = (w << 6) | __builtin_ctzll(m);
                for (size_t k = l; k-- > 0;) p = (p << 6) | __builtin_ctzll(levels_[k][static_cast<size_t>(p)]);
                return p;
            }
            p = w + 1;
        }
        return size_;
    }

private:
    int64_t size_ = 0;
    std::vector<std::vector<uint64_t>> levels_;
};

}  // namespace quelto::detail

#endif
