/*
** Loading an instance into the engine's Model, always through the core:
** files go through the core's readers, records are turned into the
** records the readers would have made; both then go through the core's
** preparation, and the Model is read from the prepared instance.  So the
** greatest denominator, the frozen history (and its shortening when day D-1
** is short), the colour before position 0, the weights and the reference
** order are the core's own.
**
** While the core runs, its trace log points at /dev/null and its error
** reports go to a memory stream, so that nothing reaches standard output
** or standard error; the captured reports become the text of LoadError.
** Both are put back afterwards.  The core keeps process-wide state
** (published constraint counts, the log), so loads are serialised.
**
** The core's records are never freed (the core frees nothing it prepared);
** the Model holds copies of everything the engine reads.
*/
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "engine.h"
#include "list.h"
#include "osuptraces.h"
#include "traces.h"
#include "util_string.h"

namespace quelto {

LoadError::LoadError(const std::string &what, std::vector<std::string> core_messages)
    : std::runtime_error(what), core_messages_(std::move(core_messages))
{
}

namespace detail {
namespace {

std::mutex &core_mutex()
{
    static std::mutex m;
    return m;
}

/*
** While alive: the core's trace log goes to /dev/null and its reports to a
** memory stream.  Destruction puts the log back (a log file is reopened in
** append mode) and the reports back on the standard error stream.
*/
class CoreCapture {
public:
    CoreCapture() : saved_log_(f_get_dbg_logfile_name())
    {
        stream_ = open_memstream(&buffer_, &length_);
        if (stream_ != nullptr) OSupTrace_SetStream(stream_);
        f_set_dbg_logfile_name("/dev/null", "w");
    }
    ~CoreCapture()
    {
        OSupTrace_SetStream(nullptr);
        f_set_dbg_logfile_name(saved_log_.c_str(), "a");
        if (stream_ != nullptr) fclose(stream_);
        free(buffer_);
    }
    CoreCapture(const CoreCapture &) = delete;
    CoreCapture &operator=(const CoreCapture &) = delete;

    /* The reports captured so far, without their location frames. */
    std::vector<std::string> messages()
    {
        std::vector<std::string> out;
        if (stream_ == nullptr) return out;
        fflush(stream_);
        const std::string text(buffer_ != nullptr ? buffer_ : "", length_);
        static const std::string open = "==TRACEDEBUG(", body = ")==>[";
        size_t at = text.find(open);
        while (at != std::string::npos) {
            const size_t start = text.find(body, at);
            if (start == std::string::npos) break;
            const size_t next = text.find("\n" + open, start);
            std::string m = text.substr(start + body.size(), (next == std::string::npos ? text.size() : next) -
                                                                 start - body.size());
            const size_t close = m.rfind(']');
            if (close != std::string::npos) m.erase(close);
            const size_t first = m.find_first_not_of(" \n\r\t"), last = m.find_last_not_of(" \n\r\t");
            m = first == std::string::npos ? "" : m.substr(first, last - first + 1);
            if (m.empty()) m = "internal error at " + text.substr(at + open.size(), start - at - open.size());
            out.push_back(m);
            at = next == std::string::npos ? next : next + 1;
        }
        return out;
    }

private:
    std::string saved_log_;
    char *buffer_ = nullptr;
    size_t length_ = 0;
    FILE *stream_ = nullptr;
};

[[noreturn]] void fail(const std::string &what, CoreCapture &capture)
{
    std::vector<std::string> messages = capture.messages();
    std::string text = what;
    for (size_t i = 0; i < messages.size(); i++) text += (i == 0 ? ": " : " | ") + messages[i];
    throw LoadError(text, std::move(messages));
}

/* A blank instance record with its four lists ready, as the readers start. */
InstancePb *blank_instance()
{
    InstancePb *inst = static_cast<InstancePb *>(calloc(1, sizeof(InstancePb)));
    if (inst == nullptr) throw std::bad_alloc();
    return inst;
}

void copy_text(char *to, const std::string &from, int capacity)
{
    og_strncpyz(to, from.c_str(), capacity);
}

/* The Model of a prepared instance; LoadError when the engine cannot count it exactly. */
std::shared_ptr<Model> model_of(InstancePb *inst, CoreCapture &capture)
{
    auto m = std::make_shared<Model>();
    m->name = inst->s_nomInstance;
    m->n = inst->i_longFilm;
    m->frozen = list_length(&inst->l_vehFiges);
    m->n_high = inst->i_nbEcartsPrio;
    const int32_t n_low = inst->i_nbEcartsNonPrio;
    for (const LIST *l : {&inst->l_ecartsPrio, &inst->l_ecartsNonPrio}) {
        for (int32_t k = 0; k < list_length(l); k++) {
            const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, k));
            m->constraints.push_back(RatioConstraint{e->s_nomEcart, e->i_numerateur, e->i_denominateur, l == &inst->l_ecartsPrio});
        }
    }
    const int32_t nc = m->n_high + n_low;
    m->words = std::max(1, (nc + 63) / 64);
    const size_t words = static_cast<size_t>(m->words);

    /* What the engine cannot evaluate, or not exactly. */
    int32_t qmax = 1;
    int64_t bound[2] = {0, 0};
    for (int32_t k = 0; k < nc; k++) {
        const RatioConstraint &c = m->constraints[static_cast<size_t>(k)];
        qmax = std::max(qmax, c.q);
        if (c.q >= 2 && c.q - 2 >= m->n)
            fail("day D of instance " + m->name + " has " + std::to_string(m->n) + " vehicles, fewer than q - 1 for " +
                     c.name + " " + std::to_string(c.p) + "/" + std::to_string(c.q) +
                     ": the windows reaching back into day D-1 cannot be evaluated",
                 capture);
        if (c.p < c.q)
            bound[k < m->n_high ? 0 : 1] += (static_cast<int64_t>(m->n) + c.q - 1) *
                                            (std::min<int64_t>(c.q, m->n) - c.p);
    }
    const int64_t limit = std::numeric_limits<int32_t>::max();
    if (bound[0] > limit || bound[1] > limit ||
        (static_cast<int64_t>(m->n) + qmax) * std::max(nc, 1) > limit)
        fail("instance " + m->name + " is too large: its violation counts could pass 2^31 - 1", capture);

    const LIST *day = &inst->l_vehAOrdonnancer;
    m->masks.assign(static_cast<size_t>(m->n) * words, 0);
    m->colours.resize(static_cast<size_t>(m->n));
    m->idents.resize(static_cast<size_t>(m->n));
    for (int32_t r = 0; r < m->n; r++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(day, r));
        m->colours[static_cast<size_t>(r)] = v->i_teinte;
        m->idents[static_cast<size_t>(r)] = v->s_ident;
        for (int32_t k = 0; k < nc; k++) {
            const int32_t flag = k < m->n_high ? v->i_vectBoolEcPrio[k] : v->i_vectBoolEcNonPrio[k - m->n_high];
            if (flag == 1) m->masks[static_cast<size_t>(r) * words + static_cast<size_t>(k >> 6)] |= uint64_t{1} << (k & 63);
        }
    }

    for (int32_t i = 0; i < std::min(inst->i_nbObjectifs, QUELTO_NB_MAX_OBJECTIFS); i++)
        m->objectives.push_back(static_cast<Objective>(inst->i_codesObjectifs[i]));
    m->weights = Weights{inst->d_poidsEcPrio, inst->d_poidsEcNonPrio, inst->d_poidsPurges};
    m->batch_limit = inst->i_longMaxRafTeintes;
    m->batch_checked = inst->d_poidsPurges > 0.0;
    m->colour_before = inst->i_teintePos_1;

    m->history_length = inst->i_denominateurMax - 1;
    m->history.resize(static_cast<size_t>(nc));
    for (int32_t k = 0; k < nc; k++) {
        const int32_t *row = k < m->n_high ? inst->i_matBoolEcPrioVehFiges[k] : inst->i_matBoolEcNonPrioVehFiges[k - m->n_high];
        for (int32_t j = 0; j < m->history_length; j++) m->history[static_cast<size_t>(k)].push_back(row[j] == 1);
    }
    if (qmax - 1 > m->frozen)
        m->notes.push_back("day D-1 has " + std::to_string(m->frozen) + " vehicles, fewer than the greatest q - 1 (" +
                           std::to_string(qmax - 1) + "): the windows reaching back into day D-1 use the last " +
                           std::to_string(m->history_length) + " of them, places before counting no option");

    /* The reference, sorted as the program sorts it after preparation. */
    list_trier(&inst->l_vehAOrdonnancer, mQuelto_comparerVehRangSeq);
    m->reference.resize(static_cast<size_t>(m->n));
    if (list_rangs_trie(&inst->l_vehAOrdonnancer, m->reference.data()) != 1)
        fail("cannot sort the reference sequence of instance " + m->name, capture);
    return m;
}

/* int32 flag arrays of one priority for a record's options (at least one place). */
int32_t *flags_of(const std::vector<bool> &options, const std::vector<RatioConstraint> &constraints, bool high)
{
    std::vector<int32_t> f;
    for (size_t k = 0; k < constraints.size(); k++)
        if (constraints[k].high_priority == high) f.push_back(options[k] ? 1 : 0);
    int32_t *a = static_cast<int32_t *>(calloc(std::max<size_t>(f.size(), 1), sizeof(int32_t)));
    if (a == nullptr) throw std::bad_alloc();
    std::copy(f.begin(), f.end(), a);
    return a;
}

/* The rules of InstanceRecords; std::invalid_argument naming the first broken one. */
void check_records(const InstanceRecords &r)
{
    auto refuse = [](const std::string &why) { throw std::invalid_argument("instance records: " + why); };
    const size_t nc = r.constraints.size();
    for (size_t k = 0; k < nc; k++) {
        const RatioConstraint &c = r.constraints[k];
        if (c.q < 1 || c.p < 0)
            refuse("constraint " + std::to_string(k) + " (" + c.name + ") " + std::to_string(c.p) + "/" +
                   std::to_string(c.q) + ": p must be >= 0 and q >= 1");
    }
    if (r.batch_limit < 1) refuse("the batch limit must be at least 1");
    if (r.objectives.empty() || r.objectives.size() > 3) refuse("give one to three objectives");
    for (Objective o : r.objectives)
        if (static_cast<int32_t>(o) < 1 || static_cast<int32_t>(o) > 3) refuse("unknown objective code");
    if (r.frozen.empty() || r.day.empty()) refuse("day D-1 and day D need a vehicle each");
    for (size_t i = 0; i < r.frozen.size(); i++) {
        if (r.frozen[i].colour < 1) refuse("frozen vehicle " + std::to_string(i) + ": colour below 1");
        if (r.frozen[i].options.size() != nc)
            refuse("frozen vehicle " + std::to_string(i) + ": " + std::to_string(r.frozen[i].options.size()) +
                   " option flags for " + std::to_string(nc) + " constraints");
    }
    std::unordered_set<std::string> seen;
    for (size_t i = 0; i < r.day.size(); i++) {
        const DayVehicle &v = r.day[i];
        const std::string who = "day vehicle " + std::to_string(i) + " (" + v.ident + ")";
        if (v.colour < 1) refuse(who + ": colour below 1");
        if (v.options.size() != nc)
            refuse(who + ": " + std::to_string(v.options.size()) + " option flags for " + std::to_string(nc) +
                   " constraints");
        if (v.ident.empty() || v.ident.size() > static_cast<size_t>(QUELTO_LONG_IDENT) ||
            v.ident.find_first_of(";\r\n") != std::string::npos)
            refuse(who + ": an identifier has 1 to 30 characters, none of them ';' or a line end");
        if (!seen.insert(v.ident).second) refuse(who + ": identifier given twice");
    }
}

void append_vehicle(LIST *l, const char *ident, int32_t rank, int32_t colour, const std::vector<bool> &options,
                    const InstanceRecords &r, const char *date)
{
    Vehicule v{};
    copy_text(v.s_date, date, QUELTO_LONG_DATE);
    og_strncpyz(v.s_ident, ident, QUELTO_LONG_IDENT);
    v.i_rangSeq = rank;
    v.i_rangSeqCandidat = -1;
    v.i_teinte = colour;
    v.i_vectBoolEcPrio = flags_of(options, r.constraints, true);
    v.i_vectBoolEcNonPrio = flags_of(options, r.constraints, false);
    if (list_append(l, &v, 0) != 1) throw std::bad_alloc();
}

}  // namespace

std::shared_ptr<const Model> load_model(const InstanceFiles &files)
{
    std::lock_guard<std::mutex> lock(core_mutex());
    CoreCapture capture;
    InstancePb *inst = blank_instance();
    for (const std::string *path : {&files.ratios, &files.batch_limit, &files.objectives, &files.vehicles})
        if (path->size() > static_cast<size_t>(QUELTO_LONG_CHEMIN))
            fail("path too long (at most 1023 characters): " + *path, capture);
    copy_text(inst->s_nomInstance, files.name, QUELTO_LONG_NOM_INSTANCE);
    copy_text(inst->s_fichEcartsCriteres, files.ratios, QUELTO_LONG_CHEMIN);
    copy_text(inst->s_fichLongMaxRafTeintes, files.batch_limit, QUELTO_LONG_CHEMIN);
    copy_text(inst->s_fichObjectifOptim, files.objectives, QUELTO_LONG_CHEMIN);
    copy_text(inst->s_fichVehicules, files.vehicles, QUELTO_LONG_CHEMIN);
    if (Quelto_lireFichiersEtMajInstancePb(inst) != 0) fail("cannot read instance " + files.name, capture);
    if (list_length(&inst->l_vehFiges) < 1 || list_length(&inst->l_vehAOrdonnancer) < 1)
        fail("instance " + files.name + " needs a vehicle of day D-1 and one of day D", capture);
    if (Quelto_majInstancePb(inst) != 0) fail("cannot prepare instance " + files.name, capture);
    return model_of(inst, capture);
}

std::shared_ptr<const Model> build_model(const InstanceRecords &records)
{
    check_records(records);
    std::lock_guard<std::mutex> lock(core_mutex());
    CoreCapture capture;
    InstancePb *inst = blank_instance();
    for (LIST *l : {&inst->l_ecartsPrio, &inst->l_ecartsNonPrio}) list_init(l, 0, 0, sizeof(EcartCritere), nullptr);
    for (LIST *l : {&inst->l_vehFiges, &inst->l_vehAOrdonnancer}) list_init(l, 0, 0, sizeof(Vehicule), nullptr);
    copy_text(inst->s_nomInstance, records.name, QUELTO_LONG_NOM_INSTANCE);
    copy_text(inst->s_jourJMoins1, "D-1", QUELTO_LONG_DATE);
    copy_text(inst->s_jourJ, "D", QUELTO_LONG_DATE);
    inst->i_longMaxRafTeintes = records.batch_limit;
    inst->i_nbObjectifs = static_cast<int32_t>(records.objectives.size());
    for (int i = 0; i < QUELTO_NB_MAX_OBJECTIFS; i++)
        inst->i_codesObjectifs[i] =
            i < inst->i_nbObjectifs ? static_cast<int32_t>(records.objectives[static_cast<size_t>(i)]) : -1;
    for (const RatioConstraint &c : records.constraints) {
        EcartCritere e{};
        e.i_numerateur = c.p;
        e.i_denominateur = c.q;
        e.d_ratio = c.p * 100.0 / c.q;
        copy_text(e.s_nomEcart, c.name, QUELTO_LONG_NOM_ECART);
        if (list_append(c.high_priority ? &inst->l_ecartsPrio : &inst->l_ecartsNonPrio, &e, 0) != 1)
            throw std::bad_alloc();
    }
    for (size_t i = 0; i < records.frozen.size(); i++) {
        char ident[32];
        snprintf(ident, sizeof ident, "F%zu", i + 1);
        append_vehicle(&inst->l_vehFiges, ident, static_cast<int32_t>(i + 1), records.frozen[i].colour,
                       records.frozen[i].options, records, "D-1");
    }
    for (size_t i = 0; i < records.day.size(); i++)
        append_vehicle(&inst->l_vehAOrdonnancer, records.day[i].ident.c_str(), static_cast<int32_t>(i + 1),
                       records.day[i].colour, records.day[i].options, records, "D");
    if (Quelto_majInstancePb(inst) != 0) fail("cannot prepare instance " + records.name, capture);
    return model_of(inst, capture);
}

}  // namespace detail
}  // namespace quelto
