/*
** The engine: one sequence and the counts of its evaluation, kept exact
** move after move (see engine.h for what is kept).
**
** Ratio constraints.  A move changes the options at some positions; only
** the windows holding one of them can change.  For each kind of move the
** count of such a window after the move follows from its count before and
** a few option flags (derivations below), and the windows lying wholly
** inside a shifted or reversed stretch need no work at all: a shift moves
** their counts by one start (their excesses telescope to two terms) and a
** reversal permutes them.  So every delta costs O(q) per constraint it
** looks at, whatever the distance between the positions.
**
** Colours.  A move removes a few pairs of neighbours and makes a few new
** ones; the colour changes differ only there.  A batch that does not hold
** an end of such a pair is the same batch, of the same length, before and
** after the move; so the batches over the limit are counted, before and
** after, only among the batches holding those ends.  For a shift or a
** reversal, the batch holding a position of the sequence after the move is
** found through RunIndex on the old batch starts, piece by piece of the new
** sequence (at most four stretches of the old one, each read forwards or
** backwards).  A swap is two recolourings, each needing only the lengths
** of the stretches of equal colours beside the recoloured position.
*/
#include "engine.h"

#include <algorithm>
#include <utility>

/* Where the compiler can, the deltas are built twice, with and without the population count instruction. */
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define QUELTO_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define QUELTO_POPCOUNT_CLONES
#endif

namespace quelto::detail {

Engine::Engine(std::shared_ptr<const Model> model, std::vector<int32_t> order)
    : model_(std::move(model)), order_(std::move(order))
{
    const Model &m = *model_;
    n_ = m.n;
    words_ = static_cast<size_t>(m.words);
    colour_.resize(static_cast<size_t>(n_));
    mask_.resize(static_cast<size_t>(n_) * words_);
    for (int32_t p = 0; p < n_; p++) {
        const size_t v = static_cast<size_t>(order_[static_cast<size_t>(p)]);
        colour_[static_cast<size_t>(p)] = m.colours[v];
        std::copy_n(m.masks.begin() + static_cast<ptrdiff_t>(v * words_), words_,
                    mask_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(p) * words_));
    }
    const int32_t nc = static_cast<int32_t>(m.constraints.size());
    active_bits_.assign(words_, 0);
    active_of_.assign(static_cast<size_t>(nc), -1);
    viol_.assign(static_cast<size_t>(nc), 0);
    for (int32_t k = 0; k < nc; k++) {
        const RatioConstraint &c = m.constraints[static_cast<size_t>(k)];
        if (c.p >= c.q) continue;
        active_of_[static_cast<size_t>(k)] = static_cast<int32_t>(act_.size());
        act_.push_back(Active{k, c.p, c.q, n_ - c.p - 1, k < m.n_high ? 0 : 1, 0});
        active_bits_[static_cast<size_t>(k >> 6)] |= uint64_t{1} << (k & 63);
        qm1_ = std::max(qm1_, c.q - 1);
    }
    ka_ = static_cast<int32_t>(act_.size());
    row_ = n_ + qm1_;
    const size_t slots = static_cast<size_t>(row_) * static_cast<size_t>(ka_);
    counts_.assign(slots, 0);
    where_.assign(slots, -1);
    bit_words_ = static_cast<size_t>(row_) / 64 + 2;
    bits_.assign(bit_words_ * 4 * static_cast<size_t>(ka_), 0);
    for (int32_t ak = 0; ak < ka_; ak++) act_[static_cast<size_t>(ak)].excess = static_cast<size_t>(ak) * 4 * bit_words_;
    narrow_ = qm1_ < 64;
    by_k_.assign(static_cast<size_t>(nc), Active{});
    for (const Active &a : act_) by_k_[static_cast<size_t>(a.k)] = a;
    /* Every count starts at 0, which is >= p when p is 0. */
    for (int32_t ak = 0; ak < ka_; ak++) {
        const Active &a = act_[static_cast<size_t>(ak)];
        if (a.p != 0) continue;
        uint64_t *ge = bit_row(ak, 0);
        for (int32_t s = 1 - a.q; s <= a.last; s++) ge[(s + qm1_) >> 6] |= uint64_t{1} << ((s + qm1_) & 63);
    }
    recount(0, n_ - 1);

    for (int32_t p = 0; p < n_; p++) changes_ += colour_at(p - 1) != colour_[static_cast<size_t>(p)];
    limit_ = m.batch_limit;
    batch_active_ = m.batch_checked && limit_ < n_;
    starts_ = RunIndex(static_cast<int64_t>(n_) + 1);
    starts_.assign(n_, true);
    restart_runs(0, n_ - 1);
    if (batch_active_) {
        for (int64_t s = 0; s < n_;) {
            const int64_t t = starts_.succ(s + 1);
            long_ += t - s > limit_;
            s = t;
        }
    }
}

/* ------------------------------------------------------------------------ */
/* Counts                                                                   */
/* ------------------------------------------------------------------------ */

int32_t Engine::option(int32_t k, int32_t pos) const
{
    if (pos >= n_) return 0;
    if (pos >= 0) return bit(k, pos);
    const int32_t j = model_->history_length + pos;
    return j >= 0 ? model_->history[static_cast<size_t>(k)][static_cast<size_t>(j)] : 0;
}

void Engine::set_count(int32_t ak, int32_t s, int32_t value)
{
    const size_t id = slot(ak, s);
    const int32_t old = counts_[id];
    if (old == value) return;
    counts_[id] = value;
    const Active &a = act_[static_cast<size_t>(ak)];
    if (s > a.last) return;
    const size_t word = static_cast<size_t>(s + qm1_) >> 6;
    const uint64_t bit = uint64_t{1} << ((s + qm1_) & 63);
    uint64_t *ge = bit_row(ak, 0), *gt = bit_row(ak, 1);
    ge[word] = value >= a.p ? ge[word] | bit : ge[word] & ~bit;
    gt[word] = value > a.p ? gt[word] | bit : gt[word] & ~bit;
    const int32_t before = old > a.p ? old - a.p : 0, after = value > a.p ? value - a.p : 0;
    if (before == after) return;
    viol_[static_cast<size_t>(a.k)] += after - before;
    totals_[a.tier] += after - before;
    if ((before > 0) == (after > 0)) return;
    std::vector<int32_t> &set = violated_[a.tier];
    if (after > 0) {
        where_[id] = static_cast<int32_t>(set.size());
        set.push_back(static_cast<int32_t>(id));
    } else {
        const int32_t at = where_[id], moved = set.back();
        set[static_cast<size_t>(at)] = moved;
        where_[static_cast<size_t>(moved)] = at;
        set.pop_back();
        where_[id] = -1;
    }
}

void Engine::recount(int32_t lo, int32_t hi)
{
    for (int32_t ak = 0; ak < ka_; ak++) {
        const Active &a = act_[static_cast<size_t>(ak)];
        uint64_t *x = bit_row(ak, 2), *reversed = bit_row(ak, 3);
        for (int32_t p = lo; p <= hi; p++) {
            const bool on = bit(a.k, p) != 0;
            const uint64_t b = uint64_t{1} << ((p + qm1_) & 63), r = uint64_t{1} << ((n_ - 1 - p + qm1_) & 63);
            uint64_t &word = x[(p + qm1_) >> 6], &rword = reversed[(n_ - 1 - p + qm1_) >> 6];
            word = on ? word | b : word & ~b;
            rword = on ? rword | r : rword & ~r;
        }
        const int32_t first = lo - a.q + 1;
        int32_t c = 0;
        for (int32_t t = first; t <= lo; t++) c += option(a.k, t);
        for (int32_t s = first; s <= hi; s++) {
            set_count(ak, s, c);
            c += option(a.k, s + a.q) - option(a.k, s);
        }
    }
}

void Engine::restart_runs(int32_t lo, int32_t hi)
{
    for (int32_t p = lo; p <= hi; p++)
        starts_.assign(p, p == 0 || colour_[static_cast<size_t>(p)] != colour_[static_cast<size_t>(p) - 1]);
}

void Engine::violated_window(int tier, size_t i, int32_t *first, int32_t *last) const
{
    const int32_t id = violated_[tier][i];
    const int32_t ak = id / row_, s = id % row_ - qm1_;
    *first = std::max(s, 0);
    *last = std::min(s + act_[static_cast<size_t>(ak)].q - 1, n_ - 1);
}

bool Engine::same_class(int32_t a, int32_t b) const
{
    if (colour_[static_cast<size_t>(a)] != colour_[static_cast<size_t>(b)]) return false;
    return std::equal(mask_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(a) * words_),
                      mask_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(a + 1) * words_),
                      mask_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(b) * words_));
}

/* ------------------------------------------------------------------------ */
/* Figures                                                                  */
/* ------------------------------------------------------------------------ */

double Engine::mark_of(int64_t high, int64_t low, int64_t changes) const
{
    const Weights &w = model_->weights;
    return (static_cast<double>(high) * w.high + static_cast<double>(low) * w.low) +
           static_cast<double>(changes) * w.changes;
}

int64_t Engine::value_of(Objective o, int64_t high, int64_t low, int64_t changes) const
{
    switch (o) {
    case Objective::high_priority_violations: return high;
    case Objective::low_priority_violations: return low;
    case Objective::colour_changes: return changes;
    }
    return 0;
}

int64_t Engine::objective(size_t rank) const
{
    return value_of(model_->objectives[rank], totals_[0], totals_[1], changes_);
}

Delta Engine::finish(int64_t dh, int64_t dl, int64_t dc, int64_t dlong) const
{
    Delta d;
    d.high_violations = dh;
    d.low_violations = dl;
    d.colour_changes = dc;
    d.long_batches = dlong;
    for (size_t r = 0; r < model_->objectives.size(); r++) d.objectives[r] = value_of(model_->objectives[r], dh, dl, dc);
    d.mark = mark_of(totals_[0] + dh, totals_[1] + dl, changes_ + dc) - mark();
    d.batches_ok = long_ + dlong == 0;
    return d;
}

SequenceState Engine::state() const
{
    SequenceState s;
    const auto split = viol_.begin() + model_->n_high;
    s.high_violations.assign(viol_.begin(), split);
    s.low_violations.assign(split, viol_.end());
    s.high_total = totals_[0];
    s.low_total = totals_[1];
    s.colour_changes = changes_;
    s.long_batches = long_;
    s.batches_ok = long_ == 0;
    for (size_t r = 0; r < model_->objectives.size(); r++) s.objectives.push_back(objective(r));
    s.mark = mark();
    return s;
}

/* ------------------------------------------------------------------------ */
/* Colours                                                                  */
/* ------------------------------------------------------------------------ */

int64_t Engine::changes_delta(const Pairs &removed, const Pairs &added) const
{
    int64_t d = 0;
    for (int i = 0; i < added.count; i++)
        if (added.v[i] < n_) d += colour_at(added.u[i]) != colour_at(added.v[i]);
    for (int i = 0; i < removed.count; i++)
        if (removed.v[i] < n_) d -= colour_at(removed.u[i]) != colour_at(removed.v[i]);
    return d;
}

/*
** The batch holding position pos of the sequence after the move: within a
** piece it ends where the old batch of the same vehicles ends (or at the
** piece's end); across the end of a piece it goes on when the two
** neighbours have the same colour.
*/
void Engine::new_run(const View &view, int32_t pos, int32_t *first, int32_t *last) const
{
    int32_t s = pos;
    for (;;) {
        const Piece &p = view.at(s);
        const int32_t o = p.from + p.dir * (s - p.lo);
        if (p.dir > 0)
            s = p.lo + static_cast<int32_t>(std::max<int64_t>(starts_.pred(o), p.from) - p.from);
        else
            s = p.lo + static_cast<int32_t>(p.from - std::min<int64_t>(starts_.succ(o + 1) - 1, p.from));
        if (s == p.lo && s > 0 && new_colour(view, s - 1) == new_colour(view, s)) {
            s--;
            continue;
        }
        break;
    }
    int32_t t = pos;
    for (;;) {
        const Piece &p = view.at(t);
        const int32_t o = p.from + p.dir * (t - p.lo);
        const int32_t end = p.from + p.dir * (p.hi - p.lo);
        if (p.dir > 0)
            t = p.lo + static_cast<int32_t>(std::min<int64_t>(starts_.succ(o + 1) - 1, end) - p.from);
        else
            t = p.lo + static_cast<int32_t>(p.from - std::max<int64_t>(starts_.pred(o), end));
        if (t == p.hi && t < n_ - 1 && new_colour(view, t + 1) == new_colour(view, t)) {
            t++;
            continue;
        }
        break;
    }
    *first = s;
    *last = t;
}

int64_t Engine::long_delta(const View &view, const int32_t *old_touched, int n_old, const int32_t *new_touched,
                           int n_new) const
{
    int32_t lo[6], hi[6];
    int found = 0;
    int64_t before = 0, after = 0;
    auto known = [&](int32_t e) {
        for (int i = 0; i < found; i++)
            if (lo[i] <= e && e <= hi[i]) return true;
        return false;
    };
    for (int i = 0; i < n_old; i++) {
        const int32_t e = old_touched[i];
        if (e < 0 || e >= n_ || known(e)) continue;
        lo[found] = static_cast<int32_t>(starts_.pred(e));
        hi[found] = static_cast<int32_t>(starts_.succ(e + 1) - 1);
        before += hi[found] - lo[found] + 1 > limit_;
        found++;
    }
    found = 0;
    for (int i = 0; i < n_new; i++) {
        const int32_t e = new_touched[i];
        if (e < 0 || e >= n_ || known(e)) continue;
        new_run(view, e, &lo[found], &hi[found]);
        after += hi[found] - lo[found] + 1 > limit_;
        found++;
    }
    return after - before;
}

void Engine::colour_delta(const View &view, const Pairs &removed, const Pairs &added, const int32_t *old_touched,
                          int n_old, const int32_t *new_touched, int n_new, int64_t *dc, int64_t *dlong) const
{
    *dc = changes_delta(removed, added);
    *dlong = batch_active_ ? long_delta(view, old_touched, n_old, new_touched, n_new) : 0;
}

int64_t Engine::recolour_long(int32_t c, int32_t c2, int32_t lcol, int64_t lrun, int32_t rcol, int64_t rrun) const
{
    const int64_t lc = lcol == c ? lrun : 0, lc2 = lcol == c2 ? lrun : 0;
    const int64_t rc = rcol == c ? rrun : 0, rc2 = rcol == c2 ? rrun : 0;
    const auto over = [this](int64_t length) { return static_cast<int64_t>(length > limit_); };
    return over(lc) + over(rc) + over(lc2 + 1 + rc2) - over(lc + 1 + rc) - over(lc2) - over(rc2);
}

/*
** Swap a < b of two colours ca != cb: the colour changes from the pairs of
** neighbours; the batches over the limit as two recolourings one after the
** other, a to cb, then b to ca in the sequence where a already has cb.
** Recolouring a position p from c to c2 splits the batch of c around p and
** joins p to the stretches of c2 on either side; it needs only the lengths
** of the stretches that end at p - 1 and start at p + 1.  In the second
** step only the stretch ending at b - 1 can meet the recoloured a.
*/
void Engine::swap_colours(int32_t a, int32_t b, int64_t *dc, int64_t *dlong) const
{
    const int32_t ca = colour_[static_cast<size_t>(a)], cb = colour_[static_cast<size_t>(b)];
    const int32_t before = colour_at(a - 1);
    int64_t c = (before != cb) - (before != ca);
    if (b + 1 < n_) {
        const int32_t after = colour_[static_cast<size_t>(b) + 1];
        c += (after != ca) - (after != cb);
    }
    if (b > a + 1) {
        const int32_t right_of_a = colour_[static_cast<size_t>(a) + 1], left_of_b = colour_[static_cast<size_t>(b) - 1];
        c += (right_of_a != cb) - (right_of_a != ca) + (left_of_b != ca) - (left_of_b != cb);
    }
    *dc = c;
    *dlong = 0;
    if (!batch_active_) return;
    const auto col = [this](int32_t p) { return p >= 0 && p < n_ ? colour_[static_cast<size_t>(p)] : 0; };
    const auto either = [&](int32_t c) { return c == ca || c == cb; };

    /* a becomes cb. */
    const int32_t la = col(a - 1), ra = col(a + 1);
    const int64_t before_a = either(la) ? left_length(a - 1) : 0;  /* also the stretch of cb left of a, below */
    *dlong += recolour_long(ca, cb, la, before_a, ra, either(ra) ? right_length(a + 1) : 0);

    /* b becomes ca, a being cb: the stretch ending at b - 1 may run into a. */
    const int32_t lb = b - 1 == a ? cb : col(b - 1), rb = col(b + 1);
    int64_t left = 0;
    if (either(lb)) {
        const int64_t around_a = 1 + (la == cb ? before_a : 0);  /* the stretch of cb ending at a, a recoloured */
        if (b - 1 == a) {
            left = around_a;
        } else {
            const int64_t r = left_length(b - 1), start = b - r;
            if (start >= a + 2)
                left = r;
            else if (start <= a)
                left = b - 1 - a;
            else
                left = lb == cb ? r + around_a : r;
        }
    }
    *dlong += recolour_long(cb, ca, lb, left, rb, either(rb) ? right_length(b + 1) : 0);
}

void Engine::shift_colours(int32_t i, int32_t j, int64_t *dc, int64_t *dlong) const
{
    Pairs removed, added;
    View view;
    if (i < j) {
        removed.add(i - 1, i), removed.add(i, i + 1), removed.add(j, j + 1);
        added.add(i - 1, i + 1), added.add(j, i), added.add(i, j + 1);
        view.add(0, i - 1, 0, 1);
        view.add(i, j - 1, i + 1, 1);
        view.add(j, j, i, 1);
        view.add(j + 1, n_ - 1, j + 1, 1);
        const int32_t old_touched[5] = {i - 1, i, i + 1, j, j + 1}, new_touched[5] = {i - 1, i, j - 1, j, j + 1};
        colour_delta(view, removed, added, old_touched, 5, new_touched, 5, dc, dlong);
    } else {
        removed.add(j - 1, j), removed.add(i - 1, i), removed.add(i, i + 1);
        added.add(j - 1, i), added.add(i, j), added.add(i - 1, i + 1);
        view.add(0, j - 1, 0, 1);
        view.add(j, j, i, 1);
        view.add(j + 1, i, j, 1);
        view.add(i + 1, n_ - 1, i + 1, 1);
        const int32_t old_touched[5] = {j - 1, j, i - 1, i, i + 1}, new_touched[5] = {j - 1, j, j + 1, i, i + 1};
        colour_delta(view, removed, added, old_touched, 5, new_touched, 5, dc, dlong);
    }
}

void Engine::reverse_colours(int32_t i, int32_t j, int64_t *dc, int64_t *dlong) const
{
    Pairs removed, added;
    removed.add(i - 1, i), removed.add(j, j + 1);
    added.add(i - 1, j), added.add(i, j + 1);
    View view;
    view.add(0, i - 1, 0, 1);
    view.add(i, j, j, -1);
    view.add(j + 1, n_ - 1, j + 1, 1);
    const int32_t touched[4] = {i - 1, i, j, j + 1};
    colour_delta(view, removed, added, touched, 4, touched, 4, dc, dlong);
}

/* ------------------------------------------------------------------------ */
/* Deltas                                                                   */
/* ------------------------------------------------------------------------ */

/*
** Swap a < b.  For a constraint on which the two vehicles differ, the
** windows holding both keep their count; those holding a only (starts
** a - q + 1 .. min(a, b - q)) lose or gain the option of a, those holding b
** only (max(a + 1, b - q + 1) .. b) the other way round.  An excess grows by
** one when a window gains the option at a count >= p, and drops by one when
** it loses it at a count > p.
*/
template <bool Narrow>
[[gnu::always_inline]] inline void Engine::swap_counts(int32_t a, int32_t b, int64_t d[2]) const
{
    const uint64_t *ma = mask_.data() + static_cast<size_t>(a) * words_;
    const uint64_t *mb = mask_.data() + static_cast<size_t>(b) * words_;
    const uint64_t *bits = bits_.data();
    const Active *by_k = by_k_.data();
    const uint64_t other = bit_words_;
    const int32_t o = qm1_;
    int64_t high = 0, low = 0;
    for (size_t w = 0; w < words_; w++) {
        const uint64_t xa = ma[w];
        uint64_t diff = (xa ^ mb[w]) & active_bits_[w];
        /* Ask for the words around both positions first: on a large day they come from far caches. */
        for (uint64_t ahead = diff; ahead != 0; ahead &= ahead - 1) {
            const uint64_t *ge = bits + by_k[w * 64 + static_cast<size_t>(__builtin_ctzll(ahead))].excess;
            __builtin_prefetch(ge + ((a + o) >> 6));
            __builtin_prefetch(ge + other + ((a + o) >> 6));
            __builtin_prefetch(ge + ((b + o) >> 6));
            __builtin_prefetch(ge + other + ((b + o) >> 6));
        }
        while (diff != 0) {
            const int bitno = __builtin_ctzll(diff);
            diff &= diff - 1;
            const Active &c = by_k[w * 64 + static_cast<size_t>(bitno)];
            /* from_a (all ones): a's windows lose the option (count > p counts), b's gain it (count >= p). */
            const uint64_t from_a = 0 - (xa >> bitno & 1u);
            const uint64_t *ge = bits + c.excess;
            const uint64_t *row1 = ge + (from_a & other), *row2 = ge + (~from_a & other);
            const int32_t lo1 = a - c.q + 1, len1 = std::min(a, b - c.q) - lo1 + 1;
            const int32_t lo2 = std::max(a + 1, b - c.q + 1), len2 = b - lo2 + 1;
            const int32_t n1 = Narrow ? count_word(row1, lo1 + o, len1) : count_bits(row1, lo1 + o, len1);
            const int32_t n2 = Narrow ? count_word(row2, lo2 + o, len2) : count_bits(row2, lo2 + o, len2);
            const int32_t sign = static_cast<int32_t>(from_a);  /* -1 or 0 */
            const int64_t v = ((n1 - n2) ^ sign) - sign;
            high += c.tier == 0 ? v : 0;
            low += c.tier == 0 ? 0 : v;
        }
    }
    d[0] = high;
    d[1] = low;
}

QUELTO_POPCOUNT_CLONES Delta Engine::delta_swap(int32_t a, int32_t b) const
{
    if (a == b) return finish(0, 0, 0, 0);
    if (a > b) std::swap(a, b);
    int64_t d[2] = {0, 0};
    if (narrow_)
        swap_counts<true>(a, b, d);
    else
        swap_counts<false>(a, b, d);
    int64_t dc = 0, dlong = 0;
    if (colour_[static_cast<size_t>(a)] != colour_[static_cast<size_t>(b)]) swap_colours(a, b, &dc, &dlong);
    return finish(d[0], d[1], dc, dlong);
}

/*
** Shift from i to j.  With x the options before the move, a window s
** meeting i .. j (or j .. i) in a .. b changes its count by:
**   i < j:  (b < j ? x[b + 1] : x[i]) - x[a]
**   i > j:  (a > j ? x[a - 1] : x[i]) - x[b]
** Windows lying inside the stretch take the count of their neighbour start
** (s + 1 when i < j, s - 1 when i > j), so their excesses telescope.
*/
QUELTO_POPCOUNT_CLONES Delta Engine::delta_shift(int32_t i, int32_t j) const
{
    if (i == j) return finish(0, 0, 0, 0);
    int64_t d[2] = {0, 0};
    const int32_t o = qm1_;
    for (int32_t ak = 0; ak < ka_; ak++) {
        const Active &c = act_[static_cast<size_t>(ak)];
        const int32_t p = c.p, q = c.q;
        const auto ex = [p](int32_t v) { return v > p ? v - p : 0; };
        const uint64_t *ge = bit_row(ak, 0), *gt = bit_row(ak, 1), *x = bit_row(ak, 2);
        /* With the option at i, a window whose other flag is 0 gains (dv = +1 needs count >= p) or loses. */
        const bool xi = (x[(i + o) >> 6] >> ((i + o) & 63) & 1u) != 0;
        const uint64_t none = ~uint64_t{0};
        int64_t v = 0;
        if (i < j) {
            /* Starts i - q + 1 .. min(i - 1, j - q): dv = x[s + q] - x[i]. */
            const int32_t lo = i - q + 1, len = std::min(i - 1, j - q) - lo + 1;
            v += xi ? -count_pair(gt, lo + o, x, lo + q + o, len, none) : count_pair(ge, lo + o, x, lo + q + o, len, 0);
            if (i <= j - q) v += ex(count(ak, j - q + 1)) - ex(count(ak, i));
            /* Starts max(i, j - q + 1) .. j: dv = x[i] - x[s]. */
            const int32_t lo2 = std::max(i, j - q + 1), len2 = j - lo2 + 1;
            v += xi ? count_pair(ge, lo2 + o, x, lo2 + o, len2, none) : -count_pair(gt, lo2 + o, x, lo2 + o, len2, 0);
        } else {
            /* Starts j - q + 1 .. min(j, i - q): dv = x[i] - x[s + q - 1]. */
            const int32_t lo = j - q + 1, len = std::min(j, i - q) - lo + 1;
            v += xi ? count_pair(ge, lo + o, x, lo + q - 1 + o, len, none)
                    : -count_pair(gt, lo + o, x, lo + q - 1 + o, len, 0);
            if (j + 1 <= i - q) v += ex(count(ak, j)) - ex(count(ak, i - q));
            /* Starts max(j + 1, i - q + 1) .. i: dv = x[s - 1] - x[i]. */
            const int32_t lo2 = std::max(j + 1, i - q + 1), len2 = i - lo2 + 1;
            v += xi ? -count_pair(gt, lo2 + o, x, lo2 - 1 + o, len2, none)
                    : count_pair(ge, lo2 + o, x, lo2 - 1 + o, len2, 0);
        }
        d[c.tier] += v;
    }
    int64_t dc = 0, dlong = 0;
    shift_colours(i, j, &dc, &dlong);
    return finish(d[0], d[1], dc, dlong);
}

/*
** Reverse i .. j.  Windows inside the segment are permuted among
** themselves.  A window crossing the left end meets the segment in i .. b
** and then holds x[i + j - b .. j] instead of x[i .. b]; one crossing the
** right end meets it in a .. j and holds x[i .. i + j - a] instead of
** x[a .. j]; both sums are carried from one start to the next.
*/
QUELTO_POPCOUNT_CLONES Delta Engine::delta_reverse(int32_t i, int32_t j) const
{
    if (i == j) return finish(0, 0, 0, 0);
    int64_t d[2] = {0, 0};
    const int32_t o = qm1_, len = j - i + 1;
    for (int32_t ak = 0; ak < ka_; ak++) {
        const Active &c = act_[static_cast<size_t>(ak)];
        const int32_t k = c.k, p = c.p, q = c.q;
        const auto ex = [p](int32_t v) { return v > p ? v - p : 0; };
        const auto change = [&](int32_t s, int32_t dv) {
            if (dv == 0 || s > c.last) return 0;
            const int32_t v = count(ak, s);
            return ex(v + dv) - ex(v);
        };
        int64_t v = 0;
        if (narrow_) {
            /* up: x[i], x[i + 1], ...; down: x[j], x[j - 1], ... (the reversed row), from bit 0 on. */
            const uint64_t up = word_at(bit_row(ak, 2), i + o), down = word_at(bit_row(ak, 3), n_ - 1 - j + o);
            const int32_t reach = std::min(q - 1, len);
            if (reach <= 0 || ((up ^ down) & (~uint64_t{0} >> (64 - reach))) == 0) continue;  /* no window changes */
            int32_t dv = 0;
            for (int32_t t = 0; t < q - 1; t++) {  /* start i - q + 1 + t meets the segment in t + 1 places */
                if (t < len) dv += static_cast<int32_t>((down >> t & 1u)) - static_cast<int32_t>((up >> t & 1u));
                v += change(i - q + 1 + t, dv);
            }
            dv = 0;
            for (int32_t t = 0; t <= j - std::max(i, j - q + 2); t++) {  /* start j - t */
                dv += static_cast<int32_t>((up >> t & 1u)) - static_cast<int32_t>((down >> t & 1u));
                v += change(j - t, dv);
            }
        } else {
            int32_t b = i - 1, dv = 0;
            for (int32_t s = i - q + 1; s < i; s++) {
                const int32_t end = std::min({s + q - 1, n_ - 1, j});
                while (b < end) {
                    b++;
                    dv += bit(k, i + j - b) - bit(k, b);
                }
                v += change(s, dv);
            }
            dv = 0;
            for (int32_t s = j; s >= std::max(i, j - q + 2); s--) {
                dv += bit(k, i + j - s) - bit(k, s);
                v += change(s, dv);
            }
        }
        d[c.tier] += v;
    }
    int64_t dc = 0, dlong = 0;
    reverse_colours(i, j, &dc, &dlong);
    return finish(d[0], d[1], dc, dlong);
}

/* ------------------------------------------------------------------------ */
/* Moves                                                                    */
/* ------------------------------------------------------------------------ */

void Engine::apply_swap(int32_t a, int32_t b)
{
    if (a == b) return;
    if (a > b) std::swap(a, b);
    const bool recolour = colour_[static_cast<size_t>(a)] != colour_[static_cast<size_t>(b)];
    int64_t dc = 0, dlong = 0;
    if (recolour) swap_colours(a, b, &dc, &dlong);
    uint64_t *ma = mask_.data() + static_cast<size_t>(a) * words_;
    uint64_t *mb = mask_.data() + static_cast<size_t>(b) * words_;
    for (size_t w = 0; w < words_; w++) {
        uint64_t diff = (ma[w] ^ mb[w]) & active_bits_[w];
        while (diff != 0) {
            const int bitno = __builtin_ctzll(diff);
            diff &= diff - 1;
            const int32_t ak = active_of_[w * 64 + static_cast<size_t>(bitno)];
            const Active &c = act_[static_cast<size_t>(ak)];
            const int32_t step = (ma[w] >> bitno & 1u) != 0 ? -1 : 1;
            uint64_t *x = bit_row(ak, 2), *reversed = bit_row(ak, 3);
            x[(a + qm1_) >> 6] ^= uint64_t{1} << ((a + qm1_) & 63);
            x[(b + qm1_) >> 6] ^= uint64_t{1} << ((b + qm1_) & 63);
            reversed[(n_ - 1 - a + qm1_) >> 6] ^= uint64_t{1} << ((n_ - 1 - a + qm1_) & 63);
            reversed[(n_ - 1 - b + qm1_) >> 6] ^= uint64_t{1} << ((n_ - 1 - b + qm1_) & 63);
            for (int32_t s = a - c.q + 1; s <= std::min(a, b - c.q); s++) set_count(ak, s, count(ak, s) + step);
            for (int32_t s = std::max(a + 1, b - c.q + 1); s <= b; s++) set_count(ak, s, count(ak, s) - step);
        }
    }
    std::swap_ranges(ma, ma + words_, mb);
    std::swap(order_[static_cast<size_t>(a)], order_[static_cast<size_t>(b)]);
    std::swap(colour_[static_cast<size_t>(a)], colour_[static_cast<size_t>(b)]);
    if (recolour) {
        restart_runs(a, std::min(a + 1, n_ - 1));
        restart_runs(b, std::min(b + 1, n_ - 1));
        changes_ += dc;
        long_ += dlong;
    }
}

void Engine::apply_shift(int32_t i, int32_t j)
{
    if (i == j) return;
    int64_t dc = 0, dlong = 0;
    shift_colours(i, j, &dc, &dlong);
    const int32_t lo = std::min(i, j), hi = std::max(i, j);
    const ptrdiff_t w = static_cast<ptrdiff_t>(words_);
    const ptrdiff_t from = i < j ? lo + 1 : hi;  /* the element that comes first after the rotation */
    std::rotate(order_.begin() + lo, order_.begin() + from, order_.begin() + hi + 1);
    std::rotate(colour_.begin() + lo, colour_.begin() + from, colour_.begin() + hi + 1);
    std::rotate(mask_.begin() + lo * w, mask_.begin() + from * w, mask_.begin() + (hi + 1) * w);
    recount(lo, hi);
    restart_runs(lo, std::min(hi + 1, n_ - 1));
    changes_ += dc;
    long_ += dlong;
}

void Engine::apply_reverse(int32_t i, int32_t j)
{
    if (i == j) return;
    int64_t dc = 0, dlong = 0;
    reverse_colours(i, j, &dc, &dlong);
    std::reverse(order_.begin() + i, order_.begin() + j + 1);
    std::reverse(colour_.begin() + i, colour_.begin() + j + 1);
    for (int32_t a = i, b = j; a < b; a++, b--)
        std::swap_ranges(mask_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(a) * words_),
                         mask_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(a + 1) * words_),
                         mask_.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(b) * words_));
    recount(i, j);
    restart_runs(i, std::min(j + 1, n_ - 1));
    changes_ += dc;
    long_ += dlong;
}

}  // namespace quelto::detail
