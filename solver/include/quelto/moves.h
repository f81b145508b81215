/*
** quelto/moves.h: incremental evaluation of the moves of a vehicle sequence,
** and a baseline solver built on it.
**
** A day D of vehicles is put in order behind the frozen vehicles of day D-1.
** This library loads such an instance once (from its four instance files,
** through the project's own readers and preparation, or from records built
** in memory), then keeps a sequence of the day-D vehicles together with
** everything its evaluation counts, so that the change that a move makes to
** the objectives is known without evaluating the sequence again:
**
**   - swap two positions (cost: O(sum of q over the constraints on which the
**     two vehicles differ) plus a few word operations for the colours);
**   - shift one vehicle to another position, the vehicles between moving up
**     or down by one (O(sum of q over all constraints));
**   - reverse a segment (O(sum of q over all constraints)).
**
** The figures are exactly those of the project's evaluation: the violations
** of each ratio constraint (the excess of every window, the shorter windows
** at the end of day D and the windows reaching back into day D-1 included),
** the paint colour changes, the batch limit (checked only when colour
** changes are an objective) and the mark, a double computed as
** (high * weight_high + low * weight_low) + changes * weight_changes.
**
** Vehicles are numbered 0 .. size() - 1: for an instance read from files, in
** the order of their lines in the vehicles file (day-D lines only); for an
** instance built from records, in the order of InstanceRecords::day.  An
** order is a permutation of those numbers, position 0 first.
**
** Constraints are numbered the same way in every figure: the high priority
** constraints first, in the order of the ratio constraints file (or of the
** records), then the low priority ones.
**
** Messages: the library never writes to standard output or standard error.
** While it loads an instance it points the core's trace log at /dev/null and
** captures the core's error reports; a load that fails throws LoadError,
** whose text holds the core's message and whose core_messages() hold every
** report captured.  The trace log and the report stream are put back to
** what they were afterwards (a trace log file is reopened in append mode;
** the report stream returns to the standard error stream).  Loading is
** serialised inside the library (the core keeps process-wide state); once
** loaded, an Instance may be shared by any number of threads, and each
** Sequence used by one thread at a time.
**
** The core never frees the records of an instance it read or prepared; each
** load therefore keeps its core records until the process ends.
**
** Errors: std::invalid_argument for an order that is not a permutation or a
** record that breaks the rules, std::out_of_range (a clear message naming
** the position and the size) for a move with a position outside the
** sequence, LoadError for an instance that cannot be read or evaluated.
*/
#ifndef QUELTO_MOVES_H
#define QUELTO_MOVES_H

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quelto {

/* ------------------------------------------------------------------------ */
/* Instances                                                                */
/* ------------------------------------------------------------------------ */

/* What an objective weighs, by the codes of the objectives file. */
enum class Objective : int32_t {
    high_priority_violations = 1,
    low_priority_violations = 2,
    colour_changes = 3,
};

/* A ratio constraint: at most p vehicles with the option in any q consecutive (names keep 20 characters). */
struct RatioConstraint {
    std::string name;
    int32_t p = 0;
    int32_t q = 1;
    bool high_priority = true;
};

/* A vehicle of day D-1: its colour and one option flag per constraint of InstanceRecords::constraints. */
struct FrozenVehicle {
    int32_t colour = 1;
    std::vector<bool> options;
};

/* A vehicle of day D: identifier (what a solution file names), colour and option flags. */
struct DayVehicle {
    std::string ident;
    int32_t colour = 1;
    std::vector<bool> options;
};

/*
** An instance described in memory.  The rules are those of the instance
** files: p >= 0, q >= 1; colours >= 1; batch_limit >= 1; one to three
** objectives, most important first; at least one frozen and one day-D
** vehicle; every options vector has one flag per constraint, in the order
** of constraints (both priorities mixed as they come); identifiers are 1 to
** 30 characters without ';', carriage return or newline, all different.
** frozen is in building order (the last one is the vehicle just before
** position 0); day is the reference sequence.
*/
struct InstanceRecords {
    std::string name = "memory";
    std::vector<RatioConstraint> constraints;
    std::vector<FrozenVehicle> frozen;
    std::vector<DayVehicle> day;
    int32_t batch_limit = 1;
    std::vector<Objective> objectives;
};

/* The four instance files, and the instance's name. */
struct InstanceFiles {
    std::string name;
    std::string ratios;
    std::string batch_limit;
    std::string objectives;
    std::string vehicles;

    /*
    ** The files of an instance folder with the names that quelto-gen writes
    ** (ratios.txt, paint_batch_limit.txt, optimization_objectives.txt,
    ** vehicles.txt); the name defaults to the folder's last component.
    */
    static InstanceFiles in_directory(const std::string &directory, const std::string &name = "");
};

/* A load that failed: the reason, with the core's messages when it gave any. */
class LoadError : public std::runtime_error {
public:
    LoadError(const std::string &what, std::vector<std::string> core_messages);
    const std::vector<std::string> &core_messages() const noexcept { return core_messages_; }

private:
    std::vector<std::string> core_messages_;
};

/* The weights that the mark gives to each figure (0 for an objective not listed). */
struct Weights {
    double high = 0;
    double low = 0;
    double changes = 0;
};

namespace detail {
struct Model;
class Engine;
}  // namespace detail

/*
** A loaded instance: a cheap handle to immutable data (copies share it).
*/
class Instance {
public:
    /*
    ** Read the four files with the core's readers and prepare the instance.
    ** Throws LoadError with the core's message when a file is missing or
    ** refused, or when the instance cannot be evaluated: a day D shorter
    ** than q - 1 for some p/q, or counts that could pass 2^31 - 1.
    */
    static Instance load(const InstanceFiles &files);

    /*
    ** Build the instance from records through the core's preparation.
    ** Throws std::invalid_argument (naming the faulty record) when a record
    ** breaks the rules of InstanceRecords, LoadError as load otherwise.
    */
    static Instance build(const InstanceRecords &records);

    const std::string &name() const;
    int32_t size() const;                      /* day-D vehicles */
    int32_t frozen_count() const;
    /* The constraints, high priority first (see the numbering above). */
    const std::vector<RatioConstraint> &constraints() const;
    int32_t high_constraint_count() const;
    const std::vector<Objective> &objectives() const;
    Weights weights() const;
    int32_t batch_limit() const;
    /* Whether the batch limit is checked: only when colour changes are an objective. */
    bool batch_limit_checked() const;
    /* The identifier and colour of vehicle v; std::out_of_range outside 0 .. size() - 1. */
    const std::string &ident(int32_t v) const;
    int32_t colour(int32_t v) const;
    /* The reference sequence: by reference rank, ties as the project's evaluation orders them. */
    const std::vector<int32_t> &reference_order() const;
    /* Notes on the load (for instance when day D-1 is shorter than the history needs). */
    const std::vector<std::string> &notes() const;

private:
    explicit Instance(std::shared_ptr<const detail::Model> model);
    std::shared_ptr<const detail::Model> model_;
    friend class Sequence;
    friend struct SolverAccess;
};

/* ------------------------------------------------------------------------ */
/* Sequences and moves                                                      */
/* ------------------------------------------------------------------------ */

/*
** A move, given by positions of the sequence:
**   swap(a, b):            the vehicles at a and b trade places;
**   shift(from, to):       the vehicle at from is taken out and put back so
**                          that it ends at position to;
**   reverse(first, last):  the vehicles of first .. last come in reverse
**                          order (first <= last).
** A move with equal positions changes nothing.
*/
struct Move {
    enum class Kind : uint8_t { swap, shift, reverse };
    Kind kind = Kind::swap;
    int32_t first = 0;
    int32_t second = 0;

    static Move swap(int32_t a, int32_t b) { return {Kind::swap, a, b}; }
    static Move shift(int32_t from, int32_t to) { return {Kind::shift, from, to}; }
    static Move reverse(int32_t first, int32_t last) { return {Kind::reverse, first, last}; }
    bool operator==(const Move &) const = default;
};

/*
** What a move would change: each figure after the move minus before, the
** objectives in rank order (entries past the number of objectives are 0),
** the mark after minus the mark before (exact: both are integers times the
** weights), and whether the batch limit holds after the move.
*/
struct Delta {
    int64_t high_violations = 0;
    int64_t low_violations = 0;
    int64_t colour_changes = 0;
    int64_t long_batches = 0;      /* batches over the limit; always 0 when it is not checked */
    std::array<int64_t, 3> objectives{};
    double mark = 0;
    bool batches_ok = true;
    bool operator==(const Delta &) const = default;
};

/* Every figure of a sequence. */
struct SequenceState {
    std::vector<int64_t> high_violations;  /* per high priority constraint */
    std::vector<int64_t> low_violations;   /* per low priority constraint */
    int64_t high_total = 0;
    int64_t low_total = 0;
    int64_t colour_changes = 0;
    int64_t long_batches = 0;              /* batches longer than the limit (0 when not checked) */
    bool batches_ok = true;                /* long_batches == 0 */
    std::vector<int64_t> objectives;       /* in rank order */
    double mark = 0;
    bool operator==(const SequenceState &) const = default;
};

/*
** A sequence of the day-D vehicles of an instance, with its evaluation kept
** up to date.  Copies are deep and independent; a sequence moved from may
** only be assigned to or destroyed.  Memory: about 8 bytes and 4 bits per
** vehicle and constraint.
*/
class Sequence {
public:
    /* The reference sequence. */
    explicit Sequence(const Instance &instance);
    /* The given order; std::invalid_argument unless it is a permutation of 0 .. size() - 1. */
    Sequence(const Instance &instance, std::span<const int32_t> order);
    Sequence(const Sequence &other);
    Sequence &operator=(const Sequence &other);
    Sequence(Sequence &&other) noexcept;
    Sequence &operator=(Sequence &&other) noexcept;
    ~Sequence();

    int32_t size() const;

    /*
    ** The change a move would make, the sequence left as it is.  Throws
    ** std::out_of_range when a position is outside 0 .. size() - 1, and
    ** std::invalid_argument for a reverse whose first position is after its
    ** last.
    */
    Delta swap_delta(int32_t a, int32_t b) const;
    Delta shift_delta(int32_t from, int32_t to) const;
    Delta reverse_delta(int32_t first, int32_t last) const;
    Delta delta(const Move &move) const;

    /* Make the move (same refusals as delta, the sequence then unchanged). */
    void apply(const Move &move);

    SequenceState state() const;
    std::vector<int64_t> objectives() const;
    double mark() const;
    bool batches_ok() const;
    /* The vehicle at each position. */
    std::span<const int32_t> order() const;

private:
    std::shared_ptr<const detail::Model> model_;
    std::unique_ptr<detail::Engine> engine_;
};

/* ------------------------------------------------------------------------ */
/* Baseline solver                                                          */
/* ------------------------------------------------------------------------ */

/* What the solver reports while it runs. */
struct SolveProgress {
    uint64_t moves = 0;                 /* moves evaluated so far */
    double seconds = 0;                 /* since the start */
    std::vector<int64_t> objectives;    /* of the best sequence, rank order */
    int64_t long_batches = 0;           /* of the best sequence */
    double mark = 0;
    bool finished = false;              /* the last call */
};

struct SolveOptions {
    double seconds = 0;                 /* wall-clock limit; <= 0: none */
    uint64_t moves = 0;                 /* budget of evaluated moves; 0: none */
    uint64_t seed = 1;
    /* Called about every progress_interval seconds with the best sequence so far, and once at the end. */
    std::function<void(const SolveProgress &)> progress;
    double progress_interval = 1.0;
};

struct SolveResult {
    std::vector<int32_t> order;         /* the best sequence found */
    SequenceState state;                /* its figures */
    uint64_t moves = 0;                 /* moves evaluated */
    double seconds = 0;
    bool reference_kept = false;        /* nothing better than the reference was found */
};

/*
** Search for a good sequence of the instance: a greedy construction, then
** a local search (late acceptance) over swaps, shifts and reversals.
** Sequences are compared by the number of batches over the limit, then by
** the objectives in rank order, lexicographically; the result is never
** worse than the reference sequence (which is returned when nothing better
** was found).  Stops when the move budget or the time runs out, whichever
** comes first, or when every objective is 0 and the batch limit holds.
** Deterministic for a seed and a move budget: with seconds <= 0 the result
** depends on nothing else, and with both limits it does whenever the
** budget runs out first.  Throws std::invalid_argument when neither limit
** is given.
*/
SolveResult solve(const Instance &instance, const SolveOptions &options);

/*
** Write a solution file that exeQuelto reads: one line "position;ident" per
** vehicle, positions from 1, in the order given.  Throws
** std::invalid_argument when order is not a permutation of the instance's
** vehicles or when identifiers are empty or repeated (the file could not
** be read back), std::runtime_error when the file cannot be written.
*/
void write_solution(const Instance &instance, std::span<const int32_t> order, const std::string &path);

}  // namespace quelto

#endif
