/*
** One instance of a batch of evaluations: its four files read by the
** program's own readers, prepared, and its reference sequence evaluated
** once, so that any number of candidates are evaluated against that one
** reading, each exactly as exeQuelto would evaluate it.
**
** exeQuelto evaluates one candidate per run, and the order in which its
** sorts leave vehicles with equal keys is part of its results (two vehicles
** given one position, vehicles the candidate left out).  So that every
** candidate meets the list in the state in which exeQuelto's run meets it,
** the order of the reference sequence is kept and installed again before
** each candidate: the candidate's reading then sorts by identifier and by
** candidate rank from the very order exeQuelto's would.
**
** The order that the sort by identifier leaves is the same for every
** candidate: it is taken once, and a candidate's reading only installs it.
**
** Invariant: once loaded, the instance's day-D list holds the reference
** order, or the order of the last candidate read (prepare_candidate puts the
** identifier order back before the program's reader reads a file; the quick
** reader of plain permutations needs no order).
*/
#ifndef QUELTO_INSTANCE_H
#define QUELTO_INSTANCE_H

#include <memory>
#include <string>
#include <vector>

#include "Quelto.h"
#include "QueltoDecodageLignesFichiers.h"
#include "evaluated_sequence.h"
#include "permutation.h"

namespace quelto {

/* Where an instance's files are: its name and the four paths. */
struct InstancePaths {
    std::string name;
    std::string ratios;
    std::string paint;
    std::string objectives;
    std::string vehicles;
};

class LoadedInstance {
public:
    /*
    ** Read and prepare the instance at files, whose sequences are to be
    ** evaluated with the detail of where they break when detail.  Null when
    ** the instance cannot be read or prepared: the readers have written
    ** their message on standard error.  Its reference is not evaluated yet
    ** (see evaluate_reference), but its quick reader can be built.
    */
    static std::unique_ptr<LoadedInstance> read(const InstancePaths &files, bool detail);

    /*
    ** Evaluate the reference sequence, once, before any candidate is read:
    ** false when it cannot be evaluated (reported by the evaluation).
    */
    bool evaluate_reference();

    /* read, then evaluate_reference: null when either fails. */
    static std::unique_ptr<LoadedInstance> load(const InstancePaths &files, bool detail);

    LoadedInstance(const LoadedInstance &) = delete;
    LoadedInstance &operator=(const LoadedInstance &) = delete;

    const std::string &name() const { return name_; }
    InstancePb &record() { return *record_; }
    /* What the readings of this instance's solution files keep from one to the next. */
    ContexteEvaluation &context() { return context_; }
    const InstancePb &record() const { return *record_; }
    /* The evaluated reference sequence, moved out of the instance, which then holds none. */
    EvaluatedSequence take_reference() { return std::move(reference_); }
    bool detail() const { return detail_; }
    /*
    ** The quick reader of the solution files that simply list the day's
    ** vehicles, built at the first call.  The building reads nothing of the
    ** instance but its vehicles' identifiers: a thread can do it while the
    ** reference is evaluated.  Throws std::bad_alloc when memory runs out.
    */
    PermutationReader &permutations();

    /*
    ** Put the day-D list in the state in which exeQuelto's run reads a
    ** solution file: sorted by identifier from the reference order.
    */
    void prepare_candidate();

private:
    LoadedInstance() = default;
    void keep_identifier_order();

    std::string name_;
    /* The records live as long as the process, as everything the readers build. */
    InstancePb *record_ = nullptr;
    EvaluatedSequence reference_;
    std::vector<int32_t> identifier_order_;
    std::vector<const char *> identifiers_;           /* the day's, by rank (see PermutationReader) */
    std::unique_ptr<PermutationReader> permutations_; /* null until asked for */
    ContexteEvaluation context_;
    bool detail_ = false;
};

}  // namespace quelto

#endif
