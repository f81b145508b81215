/*
** An evaluated sequence: what one evaluation of an order of the day-D
** vehicles found, as a value that its owner keeps, copies and compares.
**
** The evaluation of a sequence used to leave its figures in a results record
** and its picture of the sequence in state of its own, which the report had
** to find again; two evaluations could not live side by side.  This value
** holds all of it instead, and every output (the text reports, a program's
** results, a picture of the sequence) is a function of it and of the
** instance: the reference and any number of candidates of one instance can
** be evaluated, kept and shown in any order.
**
** What it holds, position by position (position 0 is the first vehicle of
** day D; the frozen vehicles of day D-1 come before it, the last of them at
** position -1):
**   - order: the rank in l_vehAOrdonnancer (the order of the vehicles file)
**     of the vehicle at each position;
**   - colours: its paint colour;
**   - the option flags of every constraint of both priorities, a row of bits
**     per constraint (OptionRows; no bound on the number of constraints);
**   - results: the results record of the sequence, whose two violation
**     arrays belong to the value;
**   - detail, when the evaluation was asked for it: every window with an
**     excess, every batch over the limit and the positions of the colour
**     changes.
**
** Invariants: order, colours and both OptionRows have the same number of
** positions; results.i_vectNbViolEcPrio and i_vectNbViolEcNonPrio point at
** the value's own arrays, of one entry per constraint of each priority (at
** least one place each, so that they are never null), and stay so when the
** value is copied or moved.  A value moved from holds nothing (its results
** record has null arrays) until it is reset or assigned.
*/
#ifndef QUELTO_EVALUATED_SEQUENCE_H
#define QUELTO_EVALUATED_SEQUENCE_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "Quelto.h"

namespace quelto {

enum class Priority { high, low };

/*
** A window of a ratio constraint that holds more vehicles with the option
** than the constraint allows.  first and last are positions (negative ones
** are frozen vehicles of day D-1, -1 the last of them); count is the number
** of vehicles of the window that carry the option, excess that number minus
** p.  A window at the end of day D may be shorter than q.
*/
struct Window {
    Priority priority;
    int32_t constraint;        /* its place in its priority's list, from 0 */
    int32_t first;
    int32_t last;
    int32_t count;
    int32_t excess;
    bool reaches_previous_day; /* first < 0 */

    bool operator==(const Window &) const = default;
};

/* A batch of consecutive day-D vehicles of one colour. */
struct Batch {
    int32_t colour;
    int32_t first;             /* position of its first vehicle */
    int32_t length;

    bool operator==(const Batch &) const = default;
};

/*
** Where a sequence breaks: the windows with an excess (high priority first,
** then low; constraint after constraint in list order; by first position
** within a constraint), the batches longer than the batch limit in sequence
** order (only when the evaluation checks the limit, that is when paint
** colour changes carry a weight), and the positions whose colour differs
** from the vehicle before (position 0 compared with the last frozen vehicle).
*/
struct SequenceDetail {
    std::deque<Window> windows; /* a deque: a large day has millions of them, and they are added one by one */
    std::vector<Batch> long_batches;
    std::vector<int32_t> colour_changes;

    bool operator==(const SequenceDetail &) const = default;
};

/*
** The option flags of one priority: for each of its constraints, one bit per
** position, 1 when the vehicle at that position carries the option.  Bits
** past the last position are 0.
*/
class OptionRows {
public:
    OptionRows() = default;
    OptionRows(int32_t constraints, int32_t positions);

    int32_t constraints() const { return constraints_; }
    int32_t positions() const { return positions_; }
    size_t words_per_row() const { return words_per_row_; }

    /* The words of a constraint's row: bit i % 64 of word i / 64 is position i. */
    const uint64_t *row(int32_t constraint) const { return bits_.data() + constraint * words_per_row_; }
    uint64_t *row(int32_t constraint) { return bits_.data() + constraint * words_per_row_; }

    bool carries(int32_t constraint, int32_t position) const
    {
        return (row(constraint)[position / 64] >> (position % 64) & 1u) != 0;
    }

    bool operator==(const OptionRows &) const = default;

private:
    int32_t constraints_ = 0;
    int32_t positions_ = 0;
    size_t words_per_row_ = 0;
    std::vector<uint64_t> bits_;
};

class EvaluatedSequence {
public:
    /* An empty sequence of no constraint, with the record of a sequence not evaluated. */
    EvaluatedSequence();
    EvaluatedSequence(const EvaluatedSequence &other);
    EvaluatedSequence(EvaluatedSequence &&other) noexcept;
    EvaluatedSequence &operator=(const EvaluatedSequence &other);
    EvaluatedSequence &operator=(EvaluatedSequence &&other) noexcept;
    ~EvaluatedSequence() = default;

    /*
    ** Make room for n positions and the given numbers of constraints: order
    ** and colours of n entries, option rows all 0, violation arrays of one
    ** zero entry per constraint, the figures of results as an evaluation
    ** finds them before it counts (as Quelto_initIndicateursSolution sets
    ** them), the names and report flag of header copied, detail cleared.
    ** Throws std::bad_alloc when memory runs out.
    */
    void reset(int32_t n, int32_t high_constraints, int32_t low_constraints, const IndicateursSolution &header);

    /*
    ** Keep the figures only: order, colours and option rows given up (no
    ** position left, the numbers of constraints kept), the results record,
    ** its violation arrays and the detail as they are.  For a holder of many
    ** sequences that shows none of their positions.
    */
    void forget_positions();

    int32_t size() const { return static_cast<int32_t>(order.size()); }
    OptionRows &options(Priority p) { return p == Priority::high ? high : low; }
    const OptionRows &options(Priority p) const { return p == Priority::high ? high : low; }

    /* The violations of each constraint of a priority, in list order. */
    int32_t *violations(Priority p) { return p == Priority::high ? violations_high_.data() : violations_low_.data(); }
    const int32_t *violations(Priority p) const
    {
        return p == Priority::high ? violations_high_.data() : violations_low_.data();
    }

    std::vector<int32_t> order;
    std::vector<int32_t> colours;
    OptionRows high;
    OptionRows low;
    IndicateursSolution results{};
    std::optional<SequenceDetail> detail;

private:
    void point_results_at_arrays();
    void forget_arrays();

    std::vector<int32_t> violations_high_;
    std::vector<int32_t> violations_low_;
};

/*
** Two evaluated sequences are equal when they hold the same order, colours,
** options, detail and results record: the same figures (doubles compared by
** their bits, so that two infinite or not-a-number means are equal), the
** same violation arrays, names and report flag.
*/
bool operator==(const EvaluatedSequence &a, const EvaluatedSequence &b);

}  // namespace quelto

#endif
