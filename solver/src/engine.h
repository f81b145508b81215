/*
** The internals of the moves library: the instance data the engine reads
** (Model, taken from the core's prepared instance) and the engine itself,
** which keeps one sequence with every count its evaluation needs.
**
** What the engine keeps, for a sequence of n positions (position -1 is the
** last frozen vehicle; the frozen history holds M - 1 vehicles, oldest
** first, at positions -(M - 1) .. -1, places before it carrying no option):
**   - for every active constraint p/q (p < q; a constraint with p >= q can
**     never be exceeded and counts 0) the count of option carriers of every
**     window start s from -(q - 1) to n - 1, the window holding positions
**     s .. min(s + q, n) - 1.  Only starts s <= n - p - 1 are counted (a
**     later one holds at most p vehicles); the counts of the others are kept
**     all the same, so that every count is always the true one;
**   - the violations of every constraint and their totals per priority;
**   - the colour changes (position 0 compared with the last frozen
**     vehicle), the first position of every batch (RunIndex) and, when the
**     batch limit is checked and can be passed (limit < n), the number of
**     batches longer than the limit;
**   - the violated windows of each priority as an unordered set (for the
**     solver, which picks moves near them).
** Besides its counts, every active constraint has four rows of bits: over
** the window starts, count >= p and count > p (counted starts only); over
** the positions, its option, forwards and backwards.  A swap delta reads
** nothing else of the constraint: the windows whose excess changes are the
** set bits of two short stretches of the first two rows, a few word
** operations whatever q (up to 64; more take one word operation per 64
** starts).  A shift delta pairs them with the option row, and a reversal
** compares the option stretches at both ends of the segment, read towards
** each other.  The rows of 20 constraints over 100 000 vehicles take 1 MB.
**
** Invariant between calls: every figure equals what a full evaluation of
** order() finds (the tests check it against the core after every move).
** The engine trusts its callers for positions (the public wrapper checks
** them).
*/
#ifndef QUELTO_ENGINE_H
#define QUELTO_ENGINE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quelto/moves.h"
#include "run_index.h"

namespace quelto::detail {

/* The instance as the engine reads it. */
struct Model {
    std::string name;
    int32_t n = 0;                              /* day-D vehicles */
    int32_t frozen = 0;
    std::vector<RatioConstraint> constraints;   /* high priority first */
    int32_t n_high = 0;
    std::vector<Objective> objectives;
    Weights weights;
    int32_t batch_limit = 1;
    bool batch_checked = false;
    int32_t words = 1;                          /* 64-bit words per option mask */
    std::vector<uint64_t> masks;                /* by vehicle: bit k = carries the option of constraint k */
    std::vector<int32_t> colours;               /* by vehicle */
    std::vector<std::string> idents;            /* by vehicle */
    std::vector<int32_t> reference;             /* the reference order */
    int32_t history_length = 0;                 /* M - 1 */
    std::vector<std::vector<uint8_t>> history;  /* by constraint: M - 1 flags, oldest first */
    int32_t colour_before = 0;                  /* colour of the last frozen vehicle */
    std::vector<std::string> notes;
};

class Engine {
public:
    /* Evaluate order (a permutation of the vehicles, unchecked) in full; std::bad_alloc when memory runs out. */
    Engine(std::shared_ptr<const Model> model, std::vector<int32_t> order);

    int32_t size() const { return n_; }
    const Model &model() const { return *model_; }
    const std::vector<int32_t> &order() const { return order_; }

    /*
    ** Deltas of moves with positions inside the sequence (first <= last for reverse).
    ** Each comes in two builds, one using the processor's population count
    ** instruction, chosen when the program starts (engine.cpp).
    */
    Delta delta_swap(int32_t a, int32_t b) const;
    Delta delta_shift(int32_t from, int32_t to) const;
    Delta delta_reverse(int32_t first, int32_t last) const;

    /*
    ** Make a move (positions as for the deltas): O(q) per constraint on which the two
    ** vehicles differ for a swap, O(distance + q) per constraint for a shift or a reversal.
    */
    void apply_swap(int32_t a, int32_t b);
    void apply_shift(int32_t from, int32_t to);
    void apply_reverse(int32_t first, int32_t last);

    /* The figures of the sequence (objective: by rank in the objectives). */
    int64_t high_total() const { return totals_[0]; }
    int64_t low_total() const { return totals_[1]; }
    int64_t colour_changes() const { return changes_; }
    int64_t long_batches() const { return long_; }
    int64_t objective(size_t rank) const;
    double mark() const { return mark_of(totals_[0], totals_[1], changes_); }
    SequenceState state() const;

    /* Whether the vehicles at two positions have the same colour and options. */
    bool same_class(int32_t a, int32_t b) const;

    /* The number of violated windows of a priority (0 high, 1 low). */
    size_t violated_count(int tier) const { return violated_[tier].size(); }
    /*
    ** The day-D positions first .. last of violated window number i (< violated_count)
    ** of a priority.
    */
    void violated_window(int tier, size_t i, int32_t *first, int32_t *last) const;

private:
    /* An active constraint: k its number, last the last start that counts (n - p - 1). */
    struct Active {
        int32_t k = 0, p = 0, q = 1, last = 0;
        int tier = 0;
        size_t excess = 0;  /* offset of its bit rows in bits_ */
    };
    /* The new sequence of a move as pieces of the old one: new lo..hi hold old from, from + dir, ... */
    struct Piece {
        int32_t lo, hi, from, dir;
    };
    struct View {
        Piece piece[5];
        int count = 0;
        void add(int32_t lo, int32_t hi, int32_t from, int32_t dir)
        {
            if (lo <= hi) piece[count++] = Piece{lo, hi, from, dir};
        }
        const Piece &at(int32_t pos) const
        {
            int i = 0;
            while (piece[i].hi < pos) i++;
            return piece[i];
        }
        int32_t old_of(int32_t pos) const
        {
            const Piece &p = at(pos);
            return p.from + p.dir * (pos - p.lo);
        }
    };
    /* Colour pairs that a move removes or adds, in old positions (-1: the last frozen vehicle; n: none). */
    struct Pairs {
        int32_t u[4], v[4];
        int count = 0;
        void add(int32_t a, int32_t b)
        {
            u[count] = a;
            v[count++] = b;
        }
    };

    size_t slot(int32_t ak, int32_t s) const
    {
        return static_cast<size_t>(ak) * static_cast<size_t>(row_) + static_cast<size_t>(s + qm1_);
    }
    int32_t count(int32_t ak, int32_t s) const { return counts_[slot(ak, s)]; }
    /*
    ** The bit rows of an active constraint: bit s + qm1 of row 0 is count >= p and of row 1
    ** count > p for window start s; bit p + qm1 of row 2, and bit n - 1 - p + qm1 of row 3
    ** (the same read backwards), is the option at position p.
    */
    const uint64_t *bit_row(int32_t ak, int which) const
    {
        return bits_.data() + (static_cast<size_t>(ak) * 4 + static_cast<size_t>(which)) * bit_words_;
    }
    uint64_t *bit_row(int32_t ak, int which)
    {
        return bits_.data() + (static_cast<size_t>(ak) * 4 + static_cast<size_t>(which)) * bit_words_;
    }
    /* The 64 bits of a row from bit from on. */
    [[gnu::always_inline]] static uint64_t word_at(const uint64_t *row, int32_t from)
    {
        const int32_t w = from >> 6, shift = from & 63;
        return row[w] >> shift | (row[w + 1] << 1) << (63 - shift);
    }
    /* The set bits of (a AND (b XOR flip)) over len bits (<= 0: none), a from bit fa on, b from bit fb on. */
    [[gnu::always_inline]] static int32_t count_pair(const uint64_t *a, int32_t fa, const uint64_t *b, int32_t fb,
                                                     int32_t len, uint64_t flip)
    {
        int32_t total = 0;
        for (; len > 0; fa += 64, fb += 64, len -= 64) {
            uint64_t x = word_at(a, fa) & (word_at(b, fb) ^ flip);
            if (len < 64) x &= (uint64_t{1} << len) - 1;
            total += __builtin_popcountll(x);
        }
        return total;
    }
    /* The number of set bits of len (<= 0: none) bits of a row from bit from on. */
    [[gnu::always_inline]] static int32_t count_bits(const uint64_t *row, int32_t from, int32_t len)
    {
        int32_t total = 0;
        for (; len > 0; from += 64, len -= 64) {
            uint64_t x = word_at(row, from);
            if (len < 64) x &= (uint64_t{1} << len) - 1;
            total += __builtin_popcountll(x);
        }
        return total;
    }
    /* The same for 0 <= len <= 64 (and len < 0 counting nothing), without a branch. */
    [[gnu::always_inline]] static int32_t count_word(const uint64_t *row, int32_t from, int32_t len)
    {
        const uint64_t mask = len > 0 ? ~uint64_t{0} >> ((64 - len) & 63) : 0;
        return __builtin_popcountll(word_at(row, from) & mask);
    }
    /* Set a count, keeping violations, totals and the violated sets in step. */
    void set_count(int32_t ak, int32_t s, int32_t value);
    /* Option of constraint k at a position (0 past the end, the history before 0). */
    int32_t option(int32_t k, int32_t pos) const;
    int32_t bit(int32_t k, int32_t pos) const
    {
        return static_cast<int32_t>(mask_[static_cast<size_t>(pos) * words_ + static_cast<size_t>(k >> 6)] >> (k & 63) &
                                    1u);
    }
    int32_t colour_at(int32_t pos) const { return pos < 0 ? model_->colour_before : colour_[static_cast<size_t>(pos)]; }

    double mark_of(int64_t high, int64_t low, int64_t changes) const;
    Delta finish(int64_t dh, int64_t dl, int64_t dc, int64_t dlong) const;
    int64_t value_of(Objective o, int64_t high, int64_t low, int64_t changes) const;

    /* Colour changes delta of the pairs removed and added by a move. */
    int64_t changes_delta(const Pairs &removed, const Pairs &added) const;
    /* Batches-over-the-limit delta of a move (see engine.cpp). */
    int64_t long_delta(const View &view, const int32_t *old_touched, int n_old, const int32_t *new_touched,
                       int n_new) const;
    void new_run(const View &view, int32_t pos, int32_t *first, int32_t *last) const;
    int32_t new_colour(const View &view, int32_t pos) const { return colour_[static_cast<size_t>(view.old_of(pos))]; }

    /* The colour part of a move: pieces, pairs and touched positions, evaluated. */
    void colour_delta(const View &view, const Pairs &removed, const Pairs &added, const int32_t *old_touched,
                      int n_old, const int32_t *new_touched, int n_new, int64_t *dc, int64_t *dlong) const;
    void shift_colours(int32_t from, int32_t to, int64_t *dc, int64_t *dlong) const;
    void reverse_colours(int32_t first, int32_t last, int64_t *dc, int64_t *dlong) const;
    void swap_colours(int32_t a, int32_t b, int64_t *dc, int64_t *dlong) const;
    /* The violation deltas of swapping a < b into d (by priority). */
    template <bool Narrow>
    void swap_counts(int32_t a, int32_t b, int64_t d[2]) const;
    /*
    ** Batches-over-the-limit delta of giving colour c2 to a position of colour c, whose
    ** left neighbour (colour lcol, 0 for none) ends a stretch of lrun equal colours and
    ** whose right neighbour starts one of rrun.
    */
    int64_t recolour_long(int32_t c, int32_t c2, int32_t lcol, int64_t lrun, int32_t rcol, int64_t rrun) const;
    /* The lengths of the stretches of equal colours that end at p (going left) and start at p (going right). */
    int64_t left_length(int32_t p) const { return p - starts_.pred(p) + 1; }
    int64_t right_length(int32_t p) const { return starts_.succ(p + 1) - p; }

    /*
    ** After the vehicles of positions lo .. hi changed: their option rows, and the counts
    ** of the windows of every active constraint whose starts lie in lo - q + 1 .. hi.
    */
    void recount(int32_t lo, int32_t hi);
    /* Recompute the batch starts of positions lo .. hi. */
    void restart_runs(int32_t lo, int32_t hi);

    std::shared_ptr<const Model> model_;
    int32_t n_ = 0;
    size_t words_ = 1;
    int32_t ka_ = 0;   /* active constraints */
    int32_t qm1_ = 0;  /* greatest active q, minus 1 */
    bool narrow_ = true; /* every active q <= 64 */
    std::vector<int32_t> order_, colour_;
    std::vector<uint64_t> mask_;      /* by position */
    std::vector<uint64_t> active_bits_;
    std::vector<Active> act_;
    std::vector<Active> by_k_;        /* the same, by constraint number (inactive ones unused) */
    std::vector<int32_t> active_of_;  /* by constraint: its active number, or -1 */
    int32_t row_ = 0;                 /* count slots per active constraint: n + qm1 */
    size_t bit_words_ = 0;            /* words per excess row */
    std::vector<int32_t> counts_;     /* by active constraint, then start + qm1 */
    std::vector<uint64_t> bits_;      /* bit rows, four per active constraint */
    std::vector<int64_t> viol_;       /* by constraint */
    int64_t totals_[2] = {0, 0};
    int64_t changes_ = 0;
    int64_t long_ = 0;
    bool batch_active_ = false;       /* limit checked and smaller than n */
    int32_t limit_ = 0;
    RunIndex starts_;                 /* batch starts, and n */
    std::vector<int32_t> where_;      /* by count slot: place in violated_, or -1 */
    std::vector<int32_t> violated_[2];
};

}  // namespace quelto::detail

#endif
