/*
** The baseline solver and the solution file writer.
**
** The search compares sequences by a key: the number of batches over the
** limit, then the objectives in rank order (lexicographically).  It
** starts from the better of the reference and a greedy construction, then
** runs a late acceptance local search: a move is taken when its key is no
** worse than the current one or than the current key HISTORY iterations
** ago.  Moves are swaps (3 in 10; the partner drawn anywhere, preferring a
** vehicle of another class), shifts (1 in 10) and reversals (6 in 10) over
** short distances; while the first objective that is not 0 counts
** violations, a quarter of the moves start in a violated window of that
** priority.  When the key has not improved for a while, a kick makes a few
** random moves whatever they cost, more when the previous kicks led
** nowhere.  The parameters come from runs over the car sequencing
** benchmark (quelto-bench-csplib), where reversals proved the most useful
** move.
**
** Determinism: every choice comes from one generator seeded by the seed,
** and the only outside input is the clock, read to stop; so a run that
** stops on its move budget (or at key 0) depends on the seed and the budget
** alone.  The best sequence is kept without copying the order at every
** improvement: it is copied only when the search leaves a best state for a
** worse one.
*/
#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine.h"
#include "quelto/moves.h"

namespace quelto {

struct SolverAccess {
    static const std::shared_ptr<const detail::Model> &model(const Instance &i) { return i.model_; }
};

namespace {

using detail::Engine;
using detail::Model;

/* Search parameters, tuned on the car sequencing benchmark (see bench/bench_csplib.cpp). */
constexpr size_t HISTORY = 25;             /* late acceptance: the key HISTORY iterations ago */
constexpr uint64_t PATIENCE = 200000;      /* moves without a better key (plus 2000 per vehicle) before a kick */
constexpr uint32_t KICK = 8;               /* a kick makes 1 .. KICK << level random moves */
constexpr uint32_t LEVELS = 3;             /* kicks grow while they bring nothing, up to this level */
constexpr uint32_t FOCUS_EIGHTHS = 2;      /* share of moves that start in a violated window */
constexpr uint32_t SWAP_TENTHS = 3, SHIFT_TENTHS = 1;  /* the rest are reversals */

/* xoshiro256** seeded through splitmix64: the same numbers on every platform. */
class Random {
public:
    explicit Random(uint64_t seed)
    {
        for (uint64_t &s : s_) {
            seed += 0x9e3779b97f4a7c15u;
            uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
            s = z ^ (z >> 31);
        }
    }
    uint64_t next()
    {
        const uint64_t result = rotl(s_[1] * 5, 7) * 9, t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    /* A number in 0 .. n - 1 (n >= 1). */
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(((next() >> 32) * n) >> 32); }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t s_[4];
};

/* Batches over the limit, then the objectives in rank order (unused places 0). */
using Key = std::array<int64_t, 4>;

/* The key of the engine's sequence. */
Key key_of(const Engine &e)
{
    Key k{e.long_batches(), 0, 0, 0};
    for (size_t r = 0; r < e.model().objectives.size(); r++) k[r + 1] = e.objective(r);
    return k;
}

/* The key after a move of that delta. */
Key plus(const Key &k, const Delta &d)
{
    return Key{k[0] + d.long_batches, k[1] + d.objectives[0], k[2] + d.objectives[1], k[3] + d.objectives[2]};
}

/*
** Greedy construction, position after position: among the classes of
** vehicles left (same colour and options), the one whose vehicle adds the
** least to the key (the windows it would push over p, the colour change,
** a batch over the limit first), ties going to the class whose options are
** most in demand for the slots left, then to the lowest class.  With more
** than CANDIDATES classes left, that many are drawn at random each time.
** When late() says the time is up, the vehicles left follow in class order.
*/
std::vector<int32_t> greedy(const Model &m, Random &rng, const std::function<bool()> &late)
{
    constexpr size_t CANDIDATES = 64;
    const int32_t n = m.n, nc = static_cast<int32_t>(m.constraints.size());
    const size_t words = static_cast<size_t>(m.words);
    auto has = [&](int32_t v, int32_t k) {
        return (m.masks[static_cast<size_t>(v) * words + static_cast<size_t>(k >> 6)] >> (k & 63) & 1u) != 0;
    };

    /* Classes, in order of (colour, options, first vehicle). */
    std::vector<int32_t> byClass(static_cast<size_t>(n));
    for (int32_t v = 0; v < n; v++) byClass[static_cast<size_t>(v)] = v;
    auto less = [&](int32_t a, int32_t b) {
        if (m.colours[static_cast<size_t>(a)] != m.colours[static_cast<size_t>(b)])
            return m.colours[static_cast<size_t>(a)] < m.colours[static_cast<size_t>(b)];
        for (size_t w = 0; w < words; w++) {
            const uint64_t x = m.masks[static_cast<size_t>(a) * words + w], y = m.masks[static_cast<size_t>(b) * words + w];
            if (x != y) return x < y;
        }
        return a < b;
    };
    std::sort(byClass.begin(), byClass.end(), less);
    struct Class {
        int32_t first, end, next;  /* its vehicles are byClass[next .. end - 1]; first is one of them */
    };
    std::vector<Class> classes;
    auto sameClass = [&](int32_t a, int32_t b) {
        return m.colours[static_cast<size_t>(a)] == m.colours[static_cast<size_t>(b)] &&
               std::equal(m.masks.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(a) * words),
                          m.masks.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(a + 1) * words),
                          m.masks.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(b) * words));
    };
    for (int32_t i = 0; i < n; i++) {
        if (i == 0 || !sameClass(byClass[static_cast<size_t>(i) - 1], byClass[static_cast<size_t>(i)]))
            classes.push_back(Class{byClass[static_cast<size_t>(i)], i + 1, i});
        else
            classes.back().end = i + 1;
    }
    std::vector<int32_t> live(classes.size()), place(classes.size());  /* the classes left, and where each is in live */
    for (size_t c = 0; c < live.size(); c++) live[c] = place[c] = static_cast<int32_t>(c);

    std::vector<int64_t> demand(static_cast<size_t>(nc), 0);
    for (int32_t v = 0; v < n; v++)
        for (int32_t k = 0; k < nc; k++) demand[static_cast<size_t>(k)] += has(v, k);

    std::vector<int32_t> seq;
    seq.reserve(static_cast<size_t>(n));
    /* flags[k][pos + before]: the option of k at pos, the frozen history before 0 (places before it 0). */
    int32_t qmax = 1;
    for (const RatioConstraint &c : m.constraints) qmax = std::max(qmax, c.q);
    const int32_t before = qmax - 1;
    std::vector<std::vector<uint8_t>> flags(static_cast<size_t>(nc), std::vector<uint8_t>(static_cast<size_t>(before + n), 0));
    for (int32_t k = 0; k < nc; k++)
        for (int32_t pos = -before; pos < 0; pos++) {
            const int32_t j = m.history_length + pos;
            if (j >= 0) flags[static_cast<size_t>(k)][static_cast<size_t>(pos + before)] = m.history[static_cast<size_t>(k)][static_cast<size_t>(j)];
        }
    std::vector<int64_t> push(static_cast<size_t>(nc), 0);
    std::vector<double> tightness(static_cast<size_t>(nc));
    for (int32_t k = 0; k < nc; k++) {
        const RatioConstraint &c = m.constraints[static_cast<size_t>(k)];
        tightness[static_cast<size_t>(k)] = c.q / (c.p + 0.5);
    }
    int32_t run = 0;
    for (int32_t t = 0; t < n; t++) {
        if ((t & 255) == 255 && late()) {
            /* Out of time: the vehicles left follow in class order. */
            for (const Class &c : classes)
                for (int32_t i = c.next; i < c.end; i++) seq.push_back(byClass[static_cast<size_t>(i)]);
            break;
        }
        /* push[k]: the windows that a vehicle with option k at t would take over p. */
        for (int32_t k = 0; k < nc; k++) {
            const RatioConstraint &c = m.constraints[static_cast<size_t>(k)];
            int64_t over = 0;
            int32_t count = 0;
            const uint8_t *f = flags[static_cast<size_t>(k)].data() + before;
            if (c.p < c.q)
                for (int32_t s = t; s >= t - c.q + 1; s--) {
                    if (s < t) count += f[s];
                    if (s <= n - c.p - 1 && count >= c.p) over++;
                }
            push[static_cast<size_t>(k)] = over;
        }
        const int32_t previous = t == 0 ? m.colour_before : m.colours[static_cast<size_t>(seq.back())];
        const int32_t slots = n - t;
        int32_t best = -1;
        Key bestKey{};
        double bestNeed = 0;
        auto consider = [&](int32_t c) {
            const int32_t v = classes[static_cast<size_t>(c)].first;  /* any vehicle of the class */
            const int32_t colour = m.colours[static_cast<size_t>(v)];
            int64_t high = 0, low = 0;
            double need = 0;
            for (size_t w = 0; w < words; w++) {
                for (uint64_t bits = m.masks[static_cast<size_t>(v) * words + w]; bits != 0; bits &= bits - 1) {
                    const size_t k = w * 64 + static_cast<size_t>(__builtin_ctzll(bits));
                    (static_cast<int32_t>(k) < m.n_high ? high : low) += push[k];
                    need += static_cast<double>(demand[k]) * tightness[k];
                }
            }
            need /= slots;
            const int64_t change = colour != previous;
            Key key{m.batch_checked && t > 0 && !change && run >= m.batch_limit ? 1 : 0, 0, 0, 0};
            for (size_t r = 0; r < m.objectives.size(); r++) {
                const Objective o = m.objectives[r];
                key[r + 1] = o == Objective::high_priority_violations ? high
                             : o == Objective::low_priority_violations ? low
                                                                       : change;
            }
            if (best < 0 || key < bestKey || (key == bestKey && (need > bestNeed || (need == bestNeed && c < best)))) {
                best = c;
                bestKey = key;
                bestNeed = need;
            }
        };
        if (live.size() <= CANDIDATES)
            for (int32_t c : live) consider(c);
        else
            for (size_t i = 0; i < CANDIDATES; i++) consider(live[rng.below(static_cast<uint32_t>(live.size()))]);
        Class &chosen = classes[static_cast<size_t>(best)];
        const int32_t v = byClass[static_cast<size_t>(chosen.next++)];
        if (chosen.next == chosen.end) {
            const int32_t at = place[static_cast<size_t>(best)], last = live.back();
            live[static_cast<size_t>(at)] = last;
            place[static_cast<size_t>(last)] = at;
            live.pop_back();
        }
        run = t > 0 && m.colours[static_cast<size_t>(v)] == previous ? run + 1 : 1;
        for (int32_t k = 0; k < nc; k++) {
            demand[static_cast<size_t>(k)] -= has(v, k);
            flags[static_cast<size_t>(k)][static_cast<size_t>(t + before)] = has(v, k);
        }
        seq.push_back(v);
    }
    return seq;
}

/* Seconds since construction, on the steady clock. */
class Clock {
public:
    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

/* What the progress callback receives for the best key (its mark from the key: unlisted objectives weigh 0). */
SolveProgress progress_of(const Key &key, const Model &m, uint64_t moves, double seconds, bool finished)
{
    SolveProgress p;
    p.moves = moves;
    p.seconds = seconds;
    p.long_batches = key[0];
    for (size_t r = 0; r < m.objectives.size(); r++) p.objectives.push_back(key[r + 1]);
    int64_t high = 0, low = 0, changes = 0;
    for (size_t r = 0; r < m.objectives.size(); r++) {
        if (m.objectives[r] == Objective::high_priority_violations) high = key[r + 1];
        if (m.objectives[r] == Objective::low_priority_violations) low = key[r + 1];
        if (m.objectives[r] == Objective::colour_changes) changes = key[r + 1];
    }
    p.mark = (static_cast<double>(high) * m.weights.high + static_cast<double>(low) * m.weights.low) +
             static_cast<double>(changes) * m.weights.changes;
    p.finished = finished;
    return p;
}

}  // namespace

SolveResult solve(const Instance &instance, const SolveOptions &options)
{
    if (options.seconds <= 0 && options.moves == 0)
        throw std::invalid_argument("solve: give a time limit (seconds > 0) or a move budget (moves > 0)");
    const Clock clock;
    const std::shared_ptr<const Model> &model = SolverAccess::model(instance);
    const Model &m = *model;
    Random rng(options.seed);

    const Engine reference(model, m.reference);
    const Key referenceKey = key_of(reference);
    Engine cur(model, greedy(m, rng, [&] { return options.seconds > 0 && clock.seconds() >= options.seconds; }));
    Key curKey = key_of(cur);
    if (referenceKey <= curKey) {
        cur = reference;
        curKey = referenceKey;
    }
    Key bestKey = curKey, savedKey = curKey;
    std::vector<int32_t> saved = cur.order();

    const int32_t n = m.n;
    int32_t qmax = 1;
    for (const RatioConstraint &c : m.constraints) qmax = std::max(qmax, c.q);
    const int32_t reach = std::min(n - 1, std::max(2 * qmax, 16));
    std::vector<Key> history(HISTORY, curKey);
    double lastReport = 0;
    uint64_t moves = 0;
    const Key zero{};

    /* A move drawn as the header says; a, when drawn in a violated window, from the first priority not at 0. */
    const auto propose = [&]() {
        int tier = -1;
        for (size_t r = 0; r < m.objectives.size(); r++) {
            if (curKey[r + 1] == 0) continue;
            if (m.objectives[r] == Objective::high_priority_violations) tier = 0;
            if (m.objectives[r] == Objective::low_priority_violations) tier = 1;
            break;
        }
        int32_t a;
        if (tier >= 0 && cur.violated_count(tier) > 0 && rng.below(8) < FOCUS_EIGHTHS) {
            int32_t first, last;
            cur.violated_window(tier, rng.below(static_cast<uint32_t>(cur.violated_count(tier))), &first, &last);
            a = first + static_cast<int32_t>(rng.below(static_cast<uint32_t>(last - first + 1)));
        } else {
            a = static_cast<int32_t>(rng.below(static_cast<uint32_t>(n)));
        }
        const uint32_t kind = rng.below(10);
        if (kind < SWAP_TENTHS) {
            int32_t b = static_cast<int32_t>(rng.below(static_cast<uint32_t>(n)));
            for (int tries = 0; tries < 4 && (b == a || cur.same_class(a, b)); tries++)
                b = static_cast<int32_t>(rng.below(static_cast<uint32_t>(n)));
            return Move::swap(a, b);
        }
        if (kind < SWAP_TENTHS + SHIFT_TENTHS) {
            const int32_t d = 1 + static_cast<int32_t>(rng.below(static_cast<uint32_t>(reach)));
            return Move::shift(a, (rng.next() & 1u) != 0 ? std::min(a + d, n - 1) : std::max(a - d, 0));
        }
        const int32_t len = 1 + static_cast<int32_t>(rng.below(static_cast<uint32_t>(reach)));
        const int32_t first = (rng.next() & 1u) != 0 ? a : std::max(a - len, 0);
        return Move::reverse(first, std::min(first + len, n - 1));
    };
    const auto delta = [&](const Move &mv) {
        return mv.kind == Move::Kind::swap    ? cur.delta_swap(mv.first, mv.second)
               : mv.kind == Move::Kind::shift ? cur.delta_shift(mv.first, mv.second)
                                              : cur.delta_reverse(mv.first, mv.second);
    };
    /* Make a move of known key; the best state is saved first when the move leaves it for a worse one. */
    const auto make = [&](const Move &mv, const Key &next) {
        if (curKey < next && curKey == bestKey && savedKey != bestKey) {
            saved = cur.order();
            savedKey = bestKey;
        }
        if (mv.kind == Move::Kind::swap)
            cur.apply_swap(mv.first, mv.second);
        else if (mv.kind == Move::Kind::shift)
            cur.apply_shift(mv.first, mv.second);
        else
            cur.apply_reverse(mv.first, mv.second);
        curKey = next;
        if (curKey < bestKey) {
            bestKey = curKey;
            if (options.progress && clock.seconds() - lastReport >= options.progress_interval) {
                options.progress(progress_of(bestKey, m, moves, clock.seconds(), false));
                lastReport = clock.seconds();
            }
        }
    };

    const uint64_t patience = PATIENCE + 2000 * static_cast<uint64_t>(n);
    Key runBest = curKey, levelBest = curKey;
    uint64_t lastGain = 0;
    uint32_t level = 0;
    while (n >= 2 && bestKey != zero) {
        if (options.moves != 0 && moves >= options.moves) break;
        if ((moves & 1023) == 0) {
            const double now = clock.seconds();
            if (options.seconds > 0 && now >= options.seconds) break;
            if (options.progress && now - lastReport >= options.progress_interval) {
                options.progress(progress_of(bestKey, m, moves, now, false));
                lastReport = now;
            }
        }
        if (moves - lastGain > patience) {
            /* Stuck: random moves whatever they cost (more of them while kicks bring nothing), a fresh history. */
            level = runBest < levelBest ? 0 : std::min(level + 1, LEVELS);
            levelBest = std::min(levelBest, runBest);
            for (uint32_t i = 1 + rng.below(KICK << level); i > 0; i--) {
                const Move mv = propose();
                moves++;
                make(mv, plus(curKey, delta(mv)));
            }
            std::fill(history.begin(), history.end(), curKey);
            runBest = curKey;
            lastGain = moves;
        }
        const Move move = propose();
        const Delta d = delta(move);
        moves++;
        const Key next = plus(curKey, d);
        Key &late = history[moves % HISTORY];
        if (next <= curKey || next <= late) {
            make(move, next);
            if (curKey < runBest) {
                runBest = curKey;
                lastGain = moves;
            }
        }
        late = curKey;
    }

    SolveResult result;
    if (bestKey == referenceKey) {
        result.order = m.reference;
        result.reference_kept = true;
    } else {
        result.order = curKey == bestKey ? cur.order() : saved;
    }
    result.state = Engine(model, result.order).state();
    result.moves = moves;
    result.seconds = clock.seconds();
    if (options.progress) options.progress(progress_of(bestKey, m, moves, result.seconds, true));
    return result;
}

void write_solution(const Instance &instance, std::span<const int32_t> order, const std::string &path)
{
    const int32_t n = instance.size();
    if (order.size() != static_cast<size_t>(n))
        throw std::invalid_argument("write_solution: the order has " + std::to_string(order.size()) +
                                    " vehicles, the instance " + std::to_string(n));
    std::vector<bool> placed(static_cast<size_t>(n), false);
    std::unordered_set<std::string> idents;
    for (int32_t v : order) {
        if (v < 0 || v >= n || placed[static_cast<size_t>(v)])
            throw std::invalid_argument("write_solution: vehicle " + std::to_string(v) +
                                        " is outside the instance or placed twice");
        placed[static_cast<size_t>(v)] = true;
        const std::string &id = instance.ident(v);
        if (id.empty() || !idents.insert(id).second)
            throw std::invalid_argument("write_solution: identifier '" + id + "' of vehicle " + std::to_string(v) +
                                        " is empty or shared: the solution could not be read back");
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("write_solution: cannot create " + path);
    std::string text;
    for (size_t i = 0; i < order.size(); i++)
        text += std::to_string(i + 1) + ";" + instance.ident(order[i]) + "\n";
    out << text;
    out.close();
    if (!out) throw std::runtime_error("write_solution: cannot write " + path);
}

}  // namespace quelto
