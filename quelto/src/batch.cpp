/*
** Evaluating an instance and its candidates, validity and ranking (see
** batch.h).
*/
#include "batch.h"

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "QueltoGesDonnees.h"
#include "list.h"
#include "read_ahead.h"
#include "util_string.h"

namespace quelto {

namespace {

/* The results record's header of a candidate: its names, and a short report when the batch limit fails. */
IndicateursSolution header(const std::string &instance, const std::string &candidate)
{
    IndicateursSolution h{};
    og_strncpyz(h.s_nomInstance, instance.c_str(), QUELTO_LONG_NOM_INSTANCE);
    og_strncpyz(h.s_nomCandidat, candidate.c_str(), QUELTO_LONG_NOM_CANDIDAT);
    h.i_flagRapportComplet = 0;
    return h;
}

/*
** Sort the day by candidate rank, as exeQuelto does.  When the file placed
** every vehicle once at distinct positions the ranks are 1..N, each once, and
** the sort can leave only one order: it is installed at once (listed, when
** the quick reader gave it, is that order already).
*/
void order_by_candidate_rank(InstancePb &pb, bool permutation, const std::vector<int32_t> *listed)
{
    LIST *l = &pb.l_vehAOrdonnancer;
    if (!permutation) {
        list_trier(l, mQuelto_comparerVehRangSeqCandidat);
        return;
    }
    std::vector<int32_t> order;
    if (listed == nullptr) {
        order.resize(static_cast<size_t>(pb.i_longFilm));
        for (int32_t rank = 0; rank < pb.i_longFilm; rank++)
            order[static_cast<size_t>(static_cast<const Vehicule *>(list_element(l, rank))->i_rangSeqCandidat - 1)] = rank;
    }
    const int32_t *ranks = listed != nullptr ? listed->data() : order.data();
    if (list_installer_ordre(l, mQuelto_comparerVehRangSeqCandidat, ranks) != 1) throw std::bad_alloc();
}

/*
** Read and evaluate one candidate: the file read (see read_solution; listed
** its quick reading, or null), the day sorted by candidate rank, as in
** exeQuelto's run.
*/
SequenceResult evaluate_candidate(LoadedInstance &loaded, const Candidate &c, const std::vector<int32_t> *listed)
{
    SequenceResult r;
    r.candidate = c.name;
    r.file = c.path;
    InstancePb &pb = loaded.record();
    r.reading = read_solution(loaded, c.path, listed);
    if (r.reading.state != SolutionState::read) return r;
    order_by_candidate_rank(pb, r.reading.problems.places_every_vehicle_once(), listed);
    const IndicateursSolution h = header(loaded.name(), c.name);
    EvaluatedSequence s;
    if (Quelto_evaluerSequence(&pb, &h, loaded.detail(), &s) != 0) {
        r.reading.state = SolutionState::unreadable;
        r.reading.message = "the sequence cannot be evaluated";
        return r;
    }
    r.sequence = std::move(s);
    return r;
}

/* The position, from 1, of the first batch of s longer than the limit; 0 when the record finds none. */
int32_t first_long_batch(const InstancePb &pb, const EvaluatedSequence &s)
{
    if (s.results.i_flagLongMaxRafTeintesOk == 1) return 0;
    int32_t start = 0;
    mQuelto_pourChaqueRafale(s.colours.data(), s.size(), pb.i_teintePos_1, [&](int32_t first, int32_t length, int32_t, bool) {
        if (start == 0 && length > pb.i_longMaxRafTeintes) start = first + 1;
    });
    return start;
}

/*
** Validity, objective vector and first batch over the limit of an evaluated
** or unusable sequence; its positions then given up unless shown.
*/
void judge(const InstancePb &pb, SequenceResult &r, Shown shown)
{
    if (!r.sequence) return;
    r.valid = r.reading.problems.places_every_vehicle_once() && r.sequence->results.i_flagLongMaxRafTeintesOk == 1;
    for (int32_t i = 0; i < pb.i_nbObjectifs && i < QUELTO_NB_MAX_OBJECTIFS; i++)
        r.objectives.push_back(objective_value(r.sequence->results, pb.i_codesObjectifs[i]));
    r.first_long_batch = first_long_batch(pb, *r.sequence);
    if (!shown.positions) r.sequence->forget_positions();
}

/* Ranks: valid first, then invalid evaluated, then unusable; by objective vector within each group. */
void rank(std::vector<SequenceResult> &sequences)
{
    auto group = [](const SequenceResult &r) { return r.valid ? 0 : r.sequence ? 1 : 2; };
    auto before = [&](const SequenceResult *a, const SequenceResult *b) {
        const int ga = group(*a), gb = group(*b);
        return ga != gb ? ga < gb : a->objectives < b->objectives;
    };
    std::vector<SequenceResult *> order;
    for (SequenceResult &r : sequences) order.push_back(&r);
    std::stable_sort(order.begin(), order.end(), [&](auto *a, auto *b) { return before(a, b); });
    for (size_t i = 0; i < order.size(); i++)
        order[i]->rank = i > 0 && !before(order[i - 1], order[i]) ? order[i - 1]->rank : static_cast<int>(i) + 1;
}

/*
** The weights 1000000, 1000 and 1 follow the objectives' order only while
** every lower-ranked count stays below 1000: warn about each objective after
** the first whose value reaches 1000 in some sequence.
*/
void warn_about_weights(const InstancePb &pb, InstanceResult &result)
{
    for (int32_t i = 1; i < pb.i_nbObjectifs && i < QUELTO_NB_MAX_OBJECTIFS; i++) {
        const auto over = std::find_if(result.sequences.begin(), result.sequences.end(), [i](const SequenceResult &r) {
            return static_cast<size_t>(i) < r.objectives.size() && r.objectives[static_cast<size_t>(i)] >= 1000;
        });
        if (over == result.sequences.end()) continue;
        result.warnings.push_back("objective " + std::to_string(i + 1) + " (" + pb.s_nomsObjectifs[i] + ") reaches " +
                                  std::to_string(over->objectives[static_cast<size_t>(i)]) + " in " + over->candidate +
                                  ": the weighted mark may order the sequences otherwise than the objectives do");
    }
}

}  // namespace

int64_t objective_value(const IndicateursSolution &results, int32_t code)
{
    switch (code) {
    case QUELTO_OBJ_ECARTS_PRIO: return results.i_nbViolEcPrio;
    case QUELTO_OBJ_ECARTS_NON_PRIO: return results.i_nbViolEcNonPrio;
    case QUELTO_OBJ_TEINTES: return results.i_nbPurges;
    default: return 0;
    }
}

InstanceResult evaluate_instance(const InstancePaths &files, const std::vector<Candidate> &candidates, Shown shown)
{
    InstanceResult result;
    result.name = files.name;
    result.instance = LoadedInstance::read(files, shown.detail);
    if (result.instance == nullptr) return result;
    LoadedInstance &loaded = *result.instance;
    /* The quick reader is built, and the first files read, while the reference is evaluated. */
    std::vector<std::string> paths;
    for (const Candidate &c : candidates) paths.push_back(c.path);
    std::optional<ReadAhead> files_ahead;
    files_ahead.emplace([&loaded]() -> PermutationReader & { return loaded.permutations(); }, std::move(paths));
    if (!loaded.evaluate_reference()) {
        files_ahead.reset(); /* before the instance it reads for */
        result.instance = nullptr;
        return result;
    }
    const InstancePb &pb = loaded.record();
    SequenceResult reference;
    reference.candidate = "reference";
    reference.reference = true;
    reference.sequence = loaded.take_reference();
    judge(pb, reference, shown);
    result.sequences.push_back(std::move(reference));
    std::vector<int32_t> order;
    for (const Candidate &c : candidates) {
        const bool listed = files_ahead->next(order);
        result.sequences.push_back(evaluate_candidate(*result.instance, c, listed ? &order : nullptr));
        judge(pb, result.sequences.back(), shown);
    }
    rank(result.sequences);
    warn_about_weights(pb, result);
    return result;
}

}  // namespace quelto
