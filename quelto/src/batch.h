/*
** The evaluation of one instance and its candidates, as the writers show
** it: for each sequence (the reference first, then the candidates in the
** order given), its solution file's reading, its evaluated sequence, whether
** it is valid, its objective vector and its rank among the sequences of the
** instance.
**
** A candidate is valid when its file places every day-D vehicle exactly
** once, at distinct positions, names no unknown vehicle, and the batch limit
** holds where it is checked.  Sequences are ranked by their objective
** vector in the order of the objectives file, lexicographically: valid ones
** first, then the invalid ones that could be evaluated, then those whose
** file is missing or unusable; equal keys share a rank (1, 2, 2, 4).
*/
#ifndef QUELTO_BATCH_H
#define QUELTO_BATCH_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "evaluated_sequence.h"
#include "instance.h"
#include "solution.h"

namespace quelto {

/* A candidate: its name and its solution file. */
struct Candidate {
    std::string name;
    std::string path;
};

struct SequenceResult {
    std::string candidate;
    std::string file;          /* the solution file; empty for the reference */
    bool reference = false;
    SolutionReading reading;
    std::optional<EvaluatedSequence> sequence; /* when the file could be used */
    bool valid = false;
    std::vector<int64_t> objectives;           /* values in the order of the objectives file */
    int rank = 0;                              /* from 1 */
    int32_t first_long_batch = 0;              /* position of the first batch over the limit, from 1; 0: none */
};

/* What the writers will show beyond the figures of each sequence. */
struct Shown {
    bool detail = false;    /* where each sequence breaks */
    bool positions = false; /* its order, colours and options; else they are given up once it is judged */
};

struct InstanceResult {
    std::string name;
    std::unique_ptr<LoadedInstance> instance;  /* null when the instance cannot be read */
    std::vector<SequenceResult> sequences;
    std::vector<std::string> warnings;
};

/*
** Evaluate the instance at files and each candidate against it, keeping what
** shown asks for.  An instance that cannot be read gives a result without
** instance nor sequence.
*/
InstanceResult evaluate_instance(const InstancePaths &files, const std::vector<Candidate> &candidates, Shown shown);

/* The value of objective code 1, 2 or 3 (high, low priority violations, colour changes) in results. */
int64_t objective_value(const IndicateursSolution &results, int32_t code);

}  // namespace quelto

#endif
