/*
** Instance preparation, results record and sequence evaluation.
**
** Preparation (Quelto_majInstancePb) runs once after the four instance files
** were read.  It derives from the raw instance everything that does not
** depend on the order of the day-D vehicles: the counts (published
** process-wide for the flag comparators), the greatest denominator M, the
** objective weights, the families of day-D vehicles equal under the family
** key, the frozen history (the last M - 1 vehicles of day D-1 in reference
** order, with their option flags), the colour of the last frozen vehicle and
** the colour flags of the families.  It ends by initialising the results
** record of the reference sequence.
**
** Evaluation takes the sequence installed on l_vehAOrdonnancer (the order
** of the comparison function installed last on it: list_element_trie from
** index 0) into an evaluated sequence, a value that its caller owns: the
** picture of the sequence (order, colours, a row of option bits per
** constraint) and every figure, computed from the picture alone.  It never
** sorts.  The frozen vehicles take part only through the frozen history
** matrices and i_teintePos_1.
**
** Invariants relied upon once preparation succeeded (assertions check them
** where they are used):
**   - i_longFilm >= 1 and l_vehFiges holds at least one vehicle;
**   - 1 <= i_denominateurMax <= number of frozen vehicles + 1, so the frozen
**     history has i_denominateurMax - 1 >= 0 entries, every one a real frozen
**     vehicle;
**   - every vehicle's flag arrays are non-null and have i_nbEcartsPrio /
**     i_nbEcartsNonPrio places (the readers give every vehicle both);
**   - every constraint of both lists can be had by rank;
**   - every allocation of zero entries yields a usable non-null block, except
**     d_vectPourcentVehEcNonPrio and i_matBoolEcNonPrioVehFiges, which stay
**     null when there is no low priority constraint.
**
** Every sort goes through list_trier on the list's primary index, which keeps
** the order the previous sort left (the sort is not stable): each sort is
** done at the step that calls for it, even when the list looks sorted
** already, because equal elements may move.  The one exception is the
** preparation of a day whose reference ranks all differ: there the order of
** equal elements cannot reach any output (see "Preparation without sorting
** day D").
**
** Failures: an internal error that an input can cause (memory running out,
** a day D or D-1 without vehicle, a day D too short for the windows that
** reach back into day D-1) is passed to OSupTrace_Report with this file's
** name, the line and an empty message, and the function returns -1; an
** evaluation whose step fails reports a second internal error of its own.
** Counts that could exceed 32 bits are accumulated in 64 bits and saturated
** when stored.  Nothing allocated for the instance is ever freed: it lives
** with the instance until the process ends.
*/
#include "QueltoGesDonnees.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "applierrno.h"
#include "commande_unix.h"
#include "list.h"
#include "osuptraces.h"
#include "traces.h"

/* Constraint counts read by the flag comparators; set by preparation. */
int32_t g_QueltoNbEcartsPrio = 0;
int32_t g_QueltoNbEcartsNonPrio = 0;

/* Report an internal error at the line of the reporting code. */
#define QUELTO_ERREUR_INTERNE() OSupTrace_Report(APPLI_SOURCE, __LINE__, nullptr, 0, "%s", "")

/* Room for every message of this module (identifiers are at most 30 bytes). */
static constexpr size_t QUELTO_LONG_MSG = 512;

/* Weight of an objective by its position in the objectives file. */
static constexpr double QUELTO_POIDS_PAR_POSITION[QUELTO_NB_MAX_OBJECTIFS] = {1000000.0, 1000.0, 1.0};

/* ------------------------------------------------------------------------ */
/* Small helpers                                                            */
/* ------------------------------------------------------------------------ */

/*
** A zero-filled array of nb entries of taille bytes.  An array of zero
** entries is a block of one entry, so that it is non-null and never read.
** Null when nb is negative, when the size overflows or when memory runs out.
*/
static void *mQuelto_allouer(int64_t nb, size_t taille)
{
    if (nb < 0 || taille == 0) return nullptr;
    if (nb == 0) nb = 1;
    if (static_cast<uint64_t>(nb) > SIZE_MAX / taille) return nullptr;
    return calloc(static_cast<size_t>(nb), taille);
}

/* v clamped to the range of int32. */
static int32_t mQuelto_saturer(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

/*
** The difference a - b as a comparator result: exact whenever it fits in an
** int32 (every valid rank and colour), held at +/-INT32_MAX otherwise, so the
** sign is always right.
*/
static int mQuelto_difference(int32_t a, int32_t b)
{
    int64_t d = static_cast<int64_t>(a) - static_cast<int64_t>(b);
    if (d > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (d < -std::numeric_limits<int32_t>::max()) return -std::numeric_limits<int32_t>::max();
    return static_cast<int>(d);
}

/* Write an already formatted message to the trace log, without location. */
static void mQuelto_tracer(const char *msg)
{
    f_dbg_trace(nullptr, 0, nullptr, 0, "%s", msg);
}

/* The flag array of one priority of a vehicle. */
static const int32_t *mQuelto_drapeaux(const Vehicule *v, bool prio)
{
    return prio ? v->i_vectBoolEcPrio : v->i_vectBoolEcNonPrio;
}

/* ------------------------------------------------------------------------ */
/* Vehicle comparators                                                      */
/* ------------------------------------------------------------------------ */

/*
** Lexicographic order of two flag vectors of nb places: at the first place
** where exactly one of them carries the option (flag 1), that one comes
** first.  A missing array counts as carrying no option.
*/
static int mQuelto_comparerDrapeaux(const int32_t *a, const int32_t *b, int32_t nb)
{
    if (a == b) return 0; /* vehicles with equal flags often share their arrays */
    for (int32_t k = 0; k < nb; k++) {
        bool optA = a != nullptr && a[k] == 1;
        bool optB = b != nullptr && b[k] == 1;
        if (optA != optB) return optA ? -1 : 1;
    }
    return 0;
}

/* Ascending value of the field Champ of two vehicles (Champ of a minus that of b). */
template <int32_t Vehicule::*Champ>
static int mQuelto_comparerChamp(const void *a, const void *b)
{
    return mQuelto_difference(static_cast<const Vehicule *>(a)->*Champ, static_cast<const Vehicule *>(b)->*Champ);
}

/* Ascending paint colour. */
int mQuelto_comparerVehTeinte(const void *a, const void *b)
{
    return mQuelto_comparerChamp<&Vehicule::i_teinte>(a, b);
}

/*
** High priority flag vectors, then (when there are low priority constraints)
** the low priority ones; a vehicle with the option comes before one without
** at the first differing constraint.  Reads the published counts.
*/
int mQuelto_comparerVehEcarts(const void *a, const void *b)
{
    const Vehicule *va = static_cast<const Vehicule *>(a);
    const Vehicule *vb = static_cast<const Vehicule *>(b);
    int c = mQuelto_comparerDrapeaux(va->i_vectBoolEcPrio, vb->i_vectBoolEcPrio, g_QueltoNbEcartsPrio);
    if (c != 0 || g_QueltoNbEcartsNonPrio < 1) return c;
    return mQuelto_comparerDrapeaux(va->i_vectBoolEcNonPrio, vb->i_vectBoolEcNonPrio, g_QueltoNbEcartsNonPrio);
}

/* Colour first, then the flag vectors as mQuelto_comparerVehEcarts. */
int mQuelto_comparerVehTeinteEcarts(const void *a, const void *b)
{
    int c = mQuelto_comparerVehTeinte(a, b);
    return c != 0 ? c : mQuelto_comparerVehEcarts(a, b);
}

/* Ascending reference rank. */
int mQuelto_comparerVehRangSeq(const void *a, const void *b)
{
    return mQuelto_comparerChamp<&Vehicule::i_rangSeq>(a, b);
}

/* Byte-wise order of the identifiers. */
int mQuelto_comparerVehIdent(const void *a, const void *b)
{
    const Vehicule *va = static_cast<const Vehicule *>(a);
    const Vehicule *vb = static_cast<const Vehicule *>(b);
    return strncmp(va->s_ident, vb->s_ident, sizeof va->s_ident);
}

/* Ascending candidate rank; unplaced vehicles (-1) come first. */
int mQuelto_comparerVehRangSeqCandidat(const void *a, const void *b)
{
    return mQuelto_comparerChamp<&Vehicule::i_rangSeqCandidat>(a, b);
}

/*
** Sort keys of the comparators (list_associer_cle): 64-bit numbers whose
** order is the comparator's, so that a long sort compares numbers read once
** per vehicle.  An int32 field is biased to an unsigned order in the high
** half; flags give one bit each, 0 for the option (which comes first), from
** the highest bit down; an identifier gives its first 8 bytes.
*/
static uint64_t mQuelto_cleEntier(int32_t x)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(x) ^ 0x80000000u) << 32;
}

/* The flag bits of v from bit haut down (at most haut + 1 flags), high then low priority. */
static uint64_t mQuelto_cleDrapeaux(const Vehicule *v, int haut)
{
    uint64_t cle = 0;
    int bit = haut;
    for (int prio = 1; prio >= 0 && bit >= 0; prio--) {
        const int32_t *d = prio ? v->i_vectBoolEcPrio : v->i_vectBoolEcNonPrio;
        const int32_t nb = prio ? g_QueltoNbEcartsPrio : g_QueltoNbEcartsNonPrio;
        const int32_t m = nb < bit + 1 ? nb : bit + 1; /* the flags that have a bit */
        if (d == nullptr) {
            for (int32_t k = 0; k < m; k++) cle |= uint64_t{1} << (bit - k);
        } else {
            for (int32_t k = 0; k < m; k++) cle |= static_cast<uint64_t>(d[k] != 1) << (bit - k);
        }
        bit -= m;
    }
    return cle;
}

/* The key of an int32 field of a vehicle. */
template <int32_t Vehicule::*Champ>
static uint64_t mQuelto_cleChamp(const void *v)
{
    return mQuelto_cleEntier(static_cast<const Vehicule *>(v)->*Champ);
}

static constexpr LIST_FCLE mQuelto_cleTeinte = mQuelto_cleChamp<&Vehicule::i_teinte>;
static constexpr LIST_FCLE mQuelto_cleRangSeq = mQuelto_cleChamp<&Vehicule::i_rangSeq>;
static constexpr LIST_FCLE mQuelto_cleRangSeqCandidat = mQuelto_cleChamp<&Vehicule::i_rangSeqCandidat>;

static uint64_t mQuelto_cleEcarts(const void *v)
{
    return mQuelto_cleDrapeaux(static_cast<const Vehicule *>(v), 63);
}

static uint64_t mQuelto_cleTeinteEcarts(const void *v)
{
    const Vehicule *veh = static_cast<const Vehicule *>(v);
    return mQuelto_cleEntier(veh->i_teinte) | mQuelto_cleDrapeaux(veh, 31);
}

static uint64_t mQuelto_cleIdent(const void *v)
{
    const char *s = static_cast<const Vehicule *>(v)->s_ident;
    uint64_t cle = 0;
    bool fini = false;
    for (int i = 0; i < 8; i++) {
        fini = fini || s[i] == '\0';
        cle = cle << 8 | (fini ? 0u : static_cast<unsigned char>(s[i]));
    }
    return cle;
}

/* Give the comparators their keys; the flag keys are exact while every flag fits. */
static void mQuelto_associerCles()
{
    const int64_t nbDrapeaux = static_cast<int64_t>(g_QueltoNbEcartsPrio) + g_QueltoNbEcartsNonPrio;
    list_associer_cle(mQuelto_comparerVehTeinte, mQuelto_cleTeinte, 1);
    list_associer_cle(mQuelto_comparerVehRangSeq, mQuelto_cleRangSeq, 1);
    list_associer_cle(mQuelto_comparerVehRangSeqCandidat, mQuelto_cleRangSeqCandidat, 1);
    list_associer_cle(mQuelto_comparerVehIdent, mQuelto_cleIdent, 0);
    list_associer_cle(mQuelto_comparerVehEcarts, mQuelto_cleEcarts, nbDrapeaux <= 64);
    list_associer_cle(mQuelto_comparerVehTeinteEcarts, mQuelto_cleTeinteEcarts, nbDrapeaux <= 32);
}

/* ------------------------------------------------------------------------ */
/* Preparation without sorting day D                                        */
/* ------------------------------------------------------------------------ */

/*
** Preparation sorts day D three times (twice by colour, once by the family
** key), and the sort is not stable: the order in which it leaves vehicles
** with equal keys depends on the order it starts from, and each sort starts
** from the previous one's.  That chain reaches the outputs only through the
** next sort, by reference rank, and only when two vehicles share a reference
** rank.  The figures themselves do not depend on any order: the greatest
** colour, the lower bound of colour changes and the option figures are taken
** from a compact copy of the day (JourCompact), and so are the families
** whenever their key is exact.  The sorts of day D are therefore done only
** when two day-D vehicles share a reference rank (or their ranks are too
** spread to be checked cheaply); otherwise the list is left in family-key
** order with equal keys in rank order, which no output can tell from the
** order the sorts would leave.
*/

/* Ranks spread over more values than this many per vehicle are not checked. */
static constexpr int64_t QUELTO_ETENDUE_RANGS_PAR_VEH = 8;

/*
** Whether the ranks all differ; false also when they are spread over more
** than QUELTO_ETENDUE_RANGS_PAR_VEH * n + 64 values.
*/
static bool mQuelto_rangsDistincts(const std::vector<int32_t> &rangs)
{
    const int64_t n = static_cast<int64_t>(rangs.size());
    if (n <= 1) return true;
    const auto [min, max] = std::minmax_element(rangs.begin(), rangs.end());
    const int64_t etendue = static_cast<int64_t>(*max) - *min + 1;
    if (etendue < n || etendue > QUELTO_ETENDUE_RANGS_PAR_VEH * n + 64) return false;
    std::vector<bool> vus(static_cast<size_t>(etendue));
    for (int32_t r : rangs) {
        const size_t b = static_cast<size_t>(static_cast<int64_t>(r) - *min);
        if (vus[b]) return false;
        vus[b] = true;
    }
    return true;
}

/* A family key and the rank of its vehicle in l_vehAOrdonnancer. */
struct CleRang {
    uint64_t cle;
    int32_t rang;
};

/*
** Sort e by cle(element), an unsigned key, ties in their present order: one
** stable counting pass per key byte that is not the same in every key.
** Throws std::bad_alloc when memory runs out.
*/
template <typename T, typename Cle>
static void mQuelto_trierParOctets(std::vector<T> &e, Cle cle)
{
    if (e.empty()) return;
    uint64_t varie = 0;
    for (const T &x : e) varie |= static_cast<uint64_t>(cle(x)) ^ static_cast<uint64_t>(cle(e[0]));
    if (varie == 0) return;
    std::vector<T> tampon(e.size());
    for (int decalage = 0; decalage < 64; decalage += 8) {
        if ((varie >> decalage & 0xffu) == 0) continue;
        size_t debut[256] = {};
        for (const T &x : e) debut[static_cast<uint64_t>(cle(x)) >> decalage & 0xffu]++;
        size_t cumul = 0;
        for (size_t &d : debut) cumul += std::exchange(d, cumul);
        for (const T &x : e) tampon[debut[static_cast<uint64_t>(cle(x)) >> decalage & 0xffu]++] = x;
        e.swap(tampon);
    }
}

/*
** What preparation takes from day D, in rank order: the colours and the
** reference ranks, and whether the list must be sorted for the order of
** its ties (see above).
*/
struct JourCompact {
    std::vector<int32_t> teintes;
    std::vector<int32_t> rangsSeq;
    bool trier = true;
};

/* The compact copy of day D (n >= 1 vehicles).  Throws std::bad_alloc when memory runs out. */
static JourCompact mQuelto_copierJour(const InstancePb *instance)
{
    const LIST *l = &instance->l_vehAOrdonnancer;
    JourCompact jour;
    jour.teintes.resize(static_cast<size_t>(instance->i_longFilm));
    jour.rangsSeq.resize(static_cast<size_t>(instance->i_longFilm));
    for (int32_t r = 0; r < instance->i_longFilm; r++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, r));
        assert(v != nullptr);
        jour.teintes[static_cast<size_t>(r)] = v->i_teinte;
        jour.rangsSeq[static_cast<size_t>(r)] = v->i_rangSeq;
    }
    jour.trier = !mQuelto_rangsDistincts(jour.rangsSeq);
    return jour;
}

/*
** The number of colour changes that a sequence needs at least when no batch
** may pass limite, from the colours of day D in any order: each colour of m
** vehicles makes ceil(m / limite) batches and every batch but the first
** starts with a change (a limit below 1 counts as 1, each vehicle a batch).
** The colours are sorted in place.
*/
static int32_t mQuelto_purgesMinimales(std::vector<int32_t> &teintes, int32_t limite)
{
    if (teintes.empty()) return 0;
    const int64_t l = std::max(limite, 1);
    mQuelto_trierParOctets(teintes, [](int32_t t) { return static_cast<uint32_t>(t) ^ 0x80000000u; });
    int64_t lots = 0;
    mQuelto_pourChaqueRafale(teintes.data(), static_cast<int32_t>(teintes.size()), teintes[0],
                             [&](int32_t, int32_t longueur, int32_t, bool) { lots += (longueur + l - 1) / l; });
    return mQuelto_saturer(lots - 1);
}

/* ------------------------------------------------------------------------ */
/* Preparation, step 1: counts and indices                                  */
/* ------------------------------------------------------------------------ */

/* Greatest denominator over the high then the low priority constraints, starting from 1. */
static void mQuelto_calculerDenominateurMax(InstancePb *instance)
{
    instance->i_denominateurMax = 1;
    for (const LIST *l : {&instance->l_ecartsPrio, &instance->l_ecartsNonPrio}) {
        for (int32_t k = 0; k < list_length(l); k++) {
            const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, k));
            assert(e != nullptr);
            instance->i_denominateurMax = std::max(instance->i_denominateurMax, e->i_denominateur);
        }
    }
}

/*
** Lower i_denominateurMax to the number F of frozen vehicles when the history
** (M - 1 vehicles) would need more than F, with S_MSG_ERR_0001 in the trace
** log.
*/
static void mQuelto_verifierSuffisanceFiges(InstancePb *instance)
{
    const int32_t nbFiges = list_length(&instance->l_vehFiges);
    if (static_cast<int64_t>(instance->i_denominateurMax) - 1 <= nbFiges) return;
    char msg[QUELTO_LONG_MSG];
    snprintf(msg, sizeof msg,
             "\nS_MSG_ERR_0001 : mQuelto_majIndicesInInstancePb : there are not enough vehicles from day D-1 !! "
             "number of cars from day D-1 = %d and greatest denominator of ratio constraints = %d\n",
             nbFiges, instance->i_denominateurMax);
    mQuelto_tracer(msg);
    instance->i_denominateurMax = nbFiges;
}

/*
** The last frozen vehicle: day D-1 sorted by reference rank, its last
** vehicle; null (internal error reported) when day D-1 is empty.
*/
static const Vehicule *mQuelto_dernierFige(InstancePb *instance)
{
    list_trier(&instance->l_vehFiges, mQuelto_comparerVehRangSeq);
    const Vehicule *v = static_cast<const Vehicule *>(
        list_element_trie(&instance->l_vehFiges, list_length(&instance->l_vehFiges) - 1));
    if (v == nullptr) QUELTO_ERREUR_INTERNE();
    return v;
}

/*
** i_nbTeintes: the greater of the greatest day-D colour and the colour of the
** last frozen vehicle; and i_nbMinimalPurges.  Day D is sorted by colour
** before each, as the sorting steps do, when its ties need it.  -1 when day D
** or day D-1 is empty (internal error reported).
*/
static int mQuelto_calculerTeintes(InstancePb *instance, JourCompact &jour)
{
    if (instance->i_longFilm < 1) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (jour.trier) list_trier(&instance->l_vehAOrdonnancer, mQuelto_comparerVehTeinte);
    const Vehicule *dernierFige = mQuelto_dernierFige(instance);
    if (dernierFige == nullptr) return -1;
    instance->i_nbTeintes = std::max(*std::max_element(jour.teintes.begin(), jour.teintes.end()), dernierFige->i_teinte);
    if (jour.trier) list_trier(&instance->l_vehAOrdonnancer, mQuelto_comparerVehTeinte);
    instance->i_nbMinimalPurges = mQuelto_purgesMinimales(jour.teintes, instance->i_longMaxRafTeintes);
    return 0;
}

/*
** The option figures of day D, from one walk of its vehicles in rank order:
** per constraint of each priority, the truncated whole percentage of day-D
** vehicles carrying its option (d_vectPourcentVehEcNonPrio stays null
** without low priority constraint), and i_vectNbVehParNbEcarts[c], the
** number of day-D vehicles carrying exactly c options, both priorities
** together.  -1 on allocation failure (reported).
*/
static int mQuelto_calculerChiffresOptions(InstancePb *instance)
{
    const int32_t nbP = instance->i_nbEcartsPrio, nbNP = instance->i_nbEcartsNonPrio, n = instance->i_longFilm;
    double *pourcentsP = static_cast<double *>(mQuelto_allouer(nbP, sizeof(double)));
    double *pourcentsNP = nbNP > 0 ? static_cast<double *>(mQuelto_allouer(nbNP, sizeof(double))) : nullptr;
    int32_t *compte = static_cast<int32_t *>(mQuelto_allouer(static_cast<int64_t>(nbP) + nbNP + 1, sizeof(int32_t)));
    instance->d_vectPourcentVehEcPrio = pourcentsP;
    instance->d_vectPourcentVehEcNonPrio = pourcentsNP;
    instance->i_vectNbVehParNbEcarts = compte;
    if (pourcentsP == nullptr || (nbNP > 0 && pourcentsNP == nullptr) || compte == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    /* The counts wait in the percentage arrays. */
    for (int32_t r = 0; r < n; r++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(&instance->l_vehAOrdonnancer, r));
        assert(v != nullptr && (nbP == 0 || v->i_vectBoolEcPrio != nullptr) &&
               (nbNP == 0 || v->i_vectBoolEcNonPrio != nullptr));
        int64_t c = 0;
        for (int32_t k = 0; k < nbP; k++) {
            const bool option = v->i_vectBoolEcPrio[k] == 1;
            pourcentsP[k] += option;
            c += option;
        }
        for (int32_t k = 0; k < nbNP; k++) {
            const bool option = v->i_vectBoolEcNonPrio[k] == 1;
            pourcentsNP[k] += option;
            c += option;
        }
        compte[c]++;
    }
    for (int32_t k = 0; k < nbP; k++) pourcentsP[k] = static_cast<double>(static_cast<int64_t>(pourcentsP[k]) * 100 / n);
    for (int32_t k = 0; k < nbNP; k++)
        pourcentsNP[k] = static_cast<double>(static_cast<int64_t>(pourcentsNP[k]) * 100 / n);
    return 0;
}

/*
** Step 1 of preparation: sizes (the two constraint counts are published for
** the comparators), greatest denominator, frozen sufficiency, number of
** colours, lower bound of colour changes, percentages and option counts.
** *jour receives the compact copy of day D for step 3.  0, or -1 on an
** internal error (an empty day D or day D-1 included).
*/
static int mQuelto_majIndices(InstancePb *instance, JourCompact *jour)
{
    instance->i_longFilm = list_length(&instance->l_vehAOrdonnancer);
    instance->i_nbEcartsPrio = list_length(&instance->l_ecartsPrio);
    instance->i_nbEcartsNonPrio = list_length(&instance->l_ecartsNonPrio);
    assert(instance->i_longFilm >= 0 && instance->i_nbEcartsPrio >= 0 && instance->i_nbEcartsNonPrio >= 0);
    g_QueltoNbEcartsPrio = instance->i_nbEcartsPrio;
    g_QueltoNbEcartsNonPrio = instance->i_nbEcartsNonPrio;
    mQuelto_associerCles();

    mQuelto_calculerDenominateurMax(instance);
    mQuelto_verifierSuffisanceFiges(instance);
    try {
        *jour = mQuelto_copierJour(instance);
    } catch (const std::bad_alloc &) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (mQuelto_calculerTeintes(instance, *jour) != 0) return -1;
    return mQuelto_calculerChiffresOptions(instance);
}

int mQuelto_majIndicesInInstancePb(InstancePb *instance)
{
    JourCompact jour;
    return mQuelto_majIndices(instance, &jour);
}

/* ------------------------------------------------------------------------ */
/* Preparation, step 2: weights                                             */
/* ------------------------------------------------------------------------ */

/*
** The weight of each objective by its position in the objectives file; an
** unlisted objective weighs 0.0, a later position with the same code wins,
** an unknown code gets S_MSG_ERR_0008 in the trace log.  Only the positions
** that the record can hold (0..2) are read.  Always 0 (-1 without instance).
*/
int mQuelto_majPoidsObjectifsInInstancePb(InstancePb *instance)
{
    if (instance == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    instance->d_poidsEcPrio = 0.0;
    instance->d_poidsEcNonPrio = 0.0;
    instance->d_poidsPurges = 0.0;
    int32_t nbObjectifs = instance->i_nbObjectifs;
    if (nbObjectifs > QUELTO_NB_MAX_OBJECTIFS) nbObjectifs = QUELTO_NB_MAX_OBJECTIFS;
    for (int32_t i = 0; i < nbObjectifs; i++) {
        double poids = QUELTO_POIDS_PAR_POSITION[i];
        switch (instance->i_codesObjectifs[i]) {
        case QUELTO_OBJ_ECARTS_PRIO: instance->d_poidsEcPrio = poids; break;
        case QUELTO_OBJ_ECARTS_NON_PRIO: instance->d_poidsEcNonPrio = poids; break;
        case QUELTO_OBJ_TEINTES: instance->d_poidsPurges = poids; break;
        default: {
            char msg[QUELTO_LONG_MSG];
            snprintf(msg, sizeof msg,
                     "\nS_MSG_ERR_0008 : mQuelto_majPoidsObjectifsInInstancePb : %d-th optimization objective (%d) invalid !!\n",
                     i + 1, instance->i_codesObjectifs[i]);
            mQuelto_tracer(msg);
            break;
        }
        }
    }
    return 0;
}

/* ------------------------------------------------------------------------ */
/* Preparation, step 3: families                                            */
/* ------------------------------------------------------------------------ */

/*
** Fill a blank family from its first vehicle premier, of rank rang in
** l_vehAOrdonnancer: colour, first rank, size 1.  The ranks go to the room
** that the caller gave in i_vectRangVeh (enough for the family's vehicles),
** or, when it is null, to a new array of i_longFilm entries.  The family's
** flag vectors are those of its first vehicle: it shares the vehicle's arrays
** (which nothing writes after reading) instead of copying them, since a day
** may hold nearly as many families as vehicles.  0, or -1 on allocation
** failure (reported).
*/
int mQuelto_initFamille(int32_t rang, const Vehicule *premier, Famille *famille, InstancePb *instance)
{
    assert(premier != nullptr && famille != nullptr && instance != nullptr);
    if (famille->i_vectRangVeh == nullptr) {
        famille->i_vectRangVeh = static_cast<int32_t *>(mQuelto_allouer(instance->i_longFilm, sizeof(int32_t)));
        if (famille->i_vectRangVeh == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
    }
    famille->i_vectBoolEcPrio = premier->i_vectBoolEcPrio;
    famille->i_vectBoolEcNonPrio = premier->i_vectBoolEcNonPrio;
    famille->i_teinte = premier->i_teinte;
    famille->i_vectRangVeh[0] = rang;
    famille->i_nbVeh = 1;
    return 0;
}

/*
** The family key chosen by the weights, or null (with S_MSG_ERR_0030
** reported) when no objective carries a weight.
*/
static LIST_FCMP mQuelto_choisirCleFamille(const InstancePb *instance)
{
    bool poidsEcarts = instance->d_poidsEcPrio > 0.0 || instance->d_poidsEcNonPrio > 0.0;
    bool poidsPurges = instance->d_poidsPurges > 0.0;
    if (poidsPurges && poidsEcarts) return mQuelto_comparerVehTeinteEcarts;
    if (poidsEcarts) return mQuelto_comparerVehEcarts;
    if (poidsPurges) return mQuelto_comparerVehTeinte;
    OSupTrace_Report(APPLI_SOURCE, __LINE__, nullptr, 0, "%s",
                     "\nS_MSG_ERR_0030 : mQuelto_majFamillesInInstancePb : there is no weigth on optimization objectives !!\n");
    return nullptr;
}

/*
** The key of a family comparator that decides it alone (equal keys, equal
** vehicles), or null when the flags do not all fit in its key.
*/
static LIST_FCLE mQuelto_cleExacteFamille(LIST_FCMP cle)
{
    const int64_t nbDrapeaux = static_cast<int64_t>(g_QueltoNbEcartsPrio) + g_QueltoNbEcartsNonPrio;
    if (cle == mQuelto_comparerVehTeinte) return mQuelto_cleTeinte;
    if (cle == mQuelto_comparerVehEcarts && nbDrapeaux <= 64) return mQuelto_cleEcarts;
    if (cle == mQuelto_comparerVehTeinteEcarts && nbDrapeaux <= 32) return mQuelto_cleTeinteEcarts;
    return nullptr;
}

/*
** Sizes of the families into i_vectVFam and i_nbFamilles; S_MSG_ERR_0025 and
** -1 when they do not add up to i_longFilm.
*/
static int mQuelto_recenserFamilles(InstancePb *instance)
{
    const int32_t nbFamilles = list_length(&instance->l_familles);
    instance->i_nbFamilles = nbFamilles;
    instance->i_vectVFam = static_cast<int32_t *>(mQuelto_allouer(nbFamilles, sizeof(int32_t)));
    if (instance->i_vectVFam == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    int64_t total = 0;
    for (int32_t f = 0; f < nbFamilles; f++) {
        const Famille *fam = static_cast<const Famille *>(list_element(&instance->l_familles, f));
        assert(fam != nullptr);
        instance->i_vectVFam[f] = fam->i_nbVeh;
        total += fam->i_nbVeh;
    }
    if (total != instance->i_longFilm) {
        char msg[QUELTO_LONG_MSG];
        snprintf(msg, sizeof msg,
                 "\nS_MSG_ERR_0025 : mQuelto_majFamillesInInstancePb : le total (%d) des veh presents dans les familles "
                 "est different du nb de veh \xe0"
                 " ordonnancer (%d) !!\n",
                 mQuelto_saturer(total), instance->i_longFilm);
        OSupTrace_Report(APPLI_SOURCE, __LINE__, nullptr, 0, "%s", msg);
        return -1;
    }
    return 0;
}

/* Ask for the fields of the vehicle v that start a family (its flag arrays and colour, past its first cache line). */
static void mQuelto_anticiperChampsFamille(const void *v)
{
    const Vehicule *vehicule = static_cast<const Vehicule *>(v);
    __builtin_prefetch(&vehicule->i_vectBoolEcPrio);
    __builtin_prefetch(&vehicule->i_teinte);
}

/*
** Cut the day's vehicles, taken in the order of rangs (their ranks in
** l_vehAOrdonnancer, sorted by the family key), into families: a family
** starts at 0 and wherever nouvelle(i) says that the vehicle at i differs
** from the one before under the key.  The ranks of a family are its slice
** of rangs, which the families keep.  0, or -1 on an allocation failure
** (reported).
*/
template <typename Nouvelle>
static int mQuelto_formerFamilles(InstancePb *instance, int32_t *rangs, Nouvelle nouvelle)
{
    const LIST *l = &instance->l_vehAOrdonnancer;
    constexpr int32_t AVANCE = 16; /* a family's first vehicle is asked for this far ahead */
    Famille *courante = nullptr;
    for (int32_t i = 0; i < instance->i_longFilm; i++) {
        if (i + AVANCE < instance->i_longFilm) mQuelto_anticiperChampsFamille(list_element(l, rangs[i + AVANCE]));
        if (i > 0 && !nouvelle(i)) {
            courante->i_vectRangVeh[courante->i_nbVeh++] = rangs[i];
            continue;
        }
        Famille vierge{nullptr, -1, -1, nullptr, nullptr};
        if (list_append(&instance->l_familles, &vierge, 0) != 1) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        courante = static_cast<Famille *>(list_element(&instance->l_familles, list_length(&instance->l_familles) - 1));
        courante->i_vectRangVeh = rangs + i;
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, rangs[i]));
        assert(courante != nullptr && v != nullptr);
        if (mQuelto_initFamille(rangs[i], v, courante, instance) != 0) return -1;
    }
    return mQuelto_recenserFamilles(instance);
}

/*
** The families of a day whose ties need no sort (see "Preparation without
** sorting day D"), from its exact family keys: sorted by bytes, equal keys
** in rank order, each run of equal keys a family; day D is left in that
** order with the family comparator installed.  0 or -1.
*/
static int mQuelto_famillesDesCles(InstancePb *instance, LIST_FCMP cle, LIST_FCLE cleExacte, int32_t *rangs)
{
    const LIST *l = &instance->l_vehAOrdonnancer;
    std::vector<CleRang> cles(static_cast<size_t>(instance->i_longFilm));
    for (int32_t r = 0; r < instance->i_longFilm; r++)
        cles[static_cast<size_t>(r)] = CleRang{cleExacte(list_element(l, r)), r};
    mQuelto_trierParOctets(cles, [](const CleRang &c) { return c.cle; });
    for (size_t i = 0; i < cles.size(); i++) rangs[i] = cles[i].rang;
    if (list_installer_ordre(&instance->l_vehAOrdonnancer, cle, rangs) != 1) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    return mQuelto_formerFamilles(instance, rangs, [&cles](int32_t i) { return cles[i].cle != cles[i - 1].cle; });
}

/* The families of day D sorted by the family key cle, as the sort leaves it.  0 or -1. */
static int mQuelto_famillesDuTri(InstancePb *instance, LIST_FCMP cle, int32_t *rangs)
{
    LIST *l = &instance->l_vehAOrdonnancer;
    list_trier(l, cle);
    if (list_rangs_trie(l, rangs) != 1) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    return mQuelto_formerFamilles(instance, rangs, [l, rangs, cle](int32_t i) {
        return cle(list_element(l, rangs[i - 1]), list_element(l, rangs[i])) != 0;
    });
}

/*
** Step 3 of preparation: order day D by the family key that the weights
** choose and cut that order into families of vehicles equal under it (from
** the exact keys when the day's ties need no sort, else by sorting the
** list).  The families are runs of that order, so their ranks are kept in
** one array of i_longFilm entries, each family holding the slice of its
** run.  0, or -1 (S_MSG_ERR_0030 when no weight, S_MSG_ERR_0025, internal
** errors).
*/
static int mQuelto_majFamilles(InstancePb *instance, const JourCompact &jour)
{
    list_init(&instance->l_familles, 0, 0, static_cast<int>(sizeof(Famille)), nullptr);
    const LIST_FCMP cle = mQuelto_choisirCleFamille(instance);
    if (cle == nullptr) return -1;
    int32_t *rangs = static_cast<int32_t *>(mQuelto_allouer(instance->i_longFilm, sizeof(int32_t)));
    if (rangs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    const LIST_FCLE cleExacte = mQuelto_cleExacteFamille(cle);
    try {
        if (!jour.trier && cleExacte != nullptr) return mQuelto_famillesDesCles(instance, cle, cleExacte, rangs);
    } catch (const std::bad_alloc &) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    return mQuelto_famillesDuTri(instance, cle, rangs);
}

int mQuelto_majFamillesInInstancePb(InstancePb *instance)
{
    assert(instance != nullptr);
    try {
        return mQuelto_majFamilles(instance, mQuelto_copierJour(instance));
    } catch (const std::bad_alloc &) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
}

/* ------------------------------------------------------------------------ */
/* Preparation, step 4: frozen history                                      */
/* ------------------------------------------------------------------------ */

/*
** The option flag matrix of one priority over the frozen history: one row of
** h entries per constraint, entry j the flag of the j-th history vehicle.
** Stays null for the low priority when there is no low priority constraint.
** -1 on allocation failure (reported).
*/
static int mQuelto_remplirHistorique(InstancePb *instance, bool prio, int32_t h)
{
    const int32_t nbEcarts = prio ? instance->i_nbEcartsPrio : instance->i_nbEcartsNonPrio;
    int32_t ***cible = prio ? &instance->i_matBoolEcPrioVehFiges : &instance->i_matBoolEcNonPrioVehFiges;
    *cible = nullptr;
    if (!prio && nbEcarts == 0) return 0;
    int32_t **mat = static_cast<int32_t **>(mQuelto_allouer(nbEcarts, sizeof(int32_t *)));
    if (mat == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    *cible = mat;
    for (int32_t k = 0; k < nbEcarts; k++) {
        mat[k] = static_cast<int32_t *>(mQuelto_allouer(h, sizeof(int32_t)));
        if (mat[k] == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
    }
    for (int32_t j = 0; j < h; j++) {
        const Vehicule *v =
            static_cast<const Vehicule *>(list_element(&instance->l_vehFiges, instance->i_vectRangVehFiges[j]));
        assert(v != nullptr && (nbEcarts == 0 || mQuelto_drapeaux(v, prio) != nullptr));
        for (int32_t k = 0; k < nbEcarts; k++) mat[k][j] = mQuelto_drapeaux(v, prio)[k];
    }
    return 0;
}

/*
** Step 4 of preparation: with the frozen list sorted by reference rank, the
** history is its last H = i_denominateurMax - 1 vehicles, oldest first: their
** ranks in l_vehFiges and their option flags per constraint.
** 0, or -1 on an internal error.
*/
int mQuelto_majVehFigesInInstancePb(InstancePb *instance)
{
    assert(instance != nullptr);
    LIST *l = &instance->l_vehFiges;
    list_trier(l, mQuelto_comparerVehRangSeq);
    const int32_t nbFiges = list_length(l);
    const int32_t h = instance->i_denominateurMax - 1;
    assert(h >= 0 && h <= nbFiges);
    instance->i_vectRangVehFiges = static_cast<int32_t *>(mQuelto_allouer(nbFiges, sizeof(int32_t)));
    if (instance->i_vectRangVehFiges == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    /* The ranks of the whole day in reference order; the history keeps its last h. */
    if (nbFiges > 0 && list_rangs_trie(l, instance->i_vectRangVehFiges) != 1) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    std::copy(instance->i_vectRangVehFiges + (nbFiges - h), instance->i_vectRangVehFiges + nbFiges,
              instance->i_vectRangVehFiges);
    if (mQuelto_remplirHistorique(instance, true, h) != 0) return -1;
    return mQuelto_remplirHistorique(instance, false, h);
}

/* ------------------------------------------------------------------------ */
/* Preparation, step 5: paint colours                                       */
/* ------------------------------------------------------------------------ */

/* Greatest size, in entries, of the colour flag matrix kept as rows. */
static constexpr int64_t QUELTO_MAX_MATRICE_TEINTES = 65536;

/*
** The colour flag of family f for colour t: 1 when t is in 1..i_nbTeintes
** and is the family's colour, else 0 (also for a family that does not
** exist).  Answers whether or not i_matBoolTeinte was built.
*/
int mQuelto_drapeauTeinteFamille(const InstancePb *instance, int32_t f, int32_t t)
{
    const Famille *fam = static_cast<const Famille *>(list_element(&instance->l_familles, f));
    if (fam == nullptr || t < 1 || t > instance->i_nbTeintes) return 0;
    return fam->i_teinte == t ? 1 : 0;
}

/*
** Step 5 of preparation: i_teintePos_1, the colour of the last frozen vehicle
** in reference order, and the colour flags of the families: 1 for a family at
** its own colour, 0 elsewhere, S_MSG_ERR_0002 in the trace log for a family
** whose colour lies outside 1..i_nbTeintes (its flags are all 0).
**
** The flags follow from each family's i_teinte (mQuelto_drapeauTeinteFamille
** answers them).  Colours are codes, not counts, so a row of i_nbTeintes + 1
** entries per family may be huge: i_matBoolTeinte is built as rows (one
** zero-filled block) only when the whole matrix has at most
** QUELTO_MAX_MATRICE_TEINTES entries, and is left null otherwise.
** 0, or -1 on an internal error.
*/
int mQuelto_majRafalesTeintesInInstancePb(InstancePb *instance)
{
    assert(instance != nullptr);
    const Vehicule *dernier = mQuelto_dernierFige(instance);
    if (dernier == nullptr) return -1;
    instance->i_teintePos_1 = dernier->i_teinte;

    const int32_t nbFamilles = list_length(&instance->l_familles);
    const int64_t tailleLigne = instance->i_nbTeintes < 0 ? 1 : static_cast<int64_t>(instance->i_nbTeintes) + 1;
    instance->i_matBoolTeinte = nullptr;
    if (tailleLigne * nbFamilles <= QUELTO_MAX_MATRICE_TEINTES) {
        int32_t **lignes = static_cast<int32_t **>(mQuelto_allouer(nbFamilles, sizeof(int32_t *)));
        int32_t *cases = static_cast<int32_t *>(mQuelto_allouer(tailleLigne * nbFamilles, sizeof(int32_t)));
        if (lignes == nullptr || cases == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        for (int32_t f = 0; f < nbFamilles; f++) lignes[f] = cases + tailleLigne * f;
        instance->i_matBoolTeinte = lignes;
    }
    for (int32_t f = 0; f < nbFamilles; f++) {
        const Famille *fam = static_cast<const Famille *>(list_element(&instance->l_familles, f));
        assert(fam != nullptr);
        if (fam->i_teinte >= 1 && fam->i_teinte <= instance->i_nbTeintes) {
            if (instance->i_matBoolTeinte != nullptr) instance->i_matBoolTeinte[f][fam->i_teinte] = 1;
        } else {
            char msg[QUELTO_LONG_MSG];
            snprintf(msg, sizeof msg,
                     "\nS_MSG_ERR_0002 : mQuelto_majRafalesTeintesInInstancePb : la teinte caisse (%d) de la famille %d est invalide !!\n",
                     fam->i_teinte, f);
            mQuelto_tracer(msg);
        }
    }
    return 0;
}

/* ------------------------------------------------------------------------ */
/* Preparation: entry point                                                 */
/* ------------------------------------------------------------------------ */

/*
** Prepare a read instance: counts, weights, families, frozen history, colour
** figures and the reference's results record, stopping at the first step
** that fails.  The compact copy of day D taken by the counts serves the
** families.  0 or -1.
*/
int Quelto_majInstancePb(InstancePb *instance)
{
    assert(instance != nullptr);
    JourCompact jour;
    if (mQuelto_majIndices(instance, &jour) != 0) return -1;
    if (mQuelto_majPoidsObjectifsInInstancePb(instance) != 0) return -1;
    if (mQuelto_majFamilles(instance, jour) != 0) return -1;
    if (mQuelto_majVehFigesInInstancePb(instance) != 0) return -1;
    if (mQuelto_majRafalesTeintesInInstancePb(instance) != 0) return -1;
    if (Quelto_initIndicateursSolution(instance, &instance->indicateursSeqInitiale) != 0) return -1;
    /* Every constraint of both lists can be had by rank: the steps of the evaluation rely on it. */
    for (const LIST *l : {&instance->l_ecartsPrio, &instance->l_ecartsNonPrio})
        for (int32_t k = 0; k < list_length(l); k++) assert(list_element(l, k) != nullptr);
    return 0;
}

/* ------------------------------------------------------------------------ */
/* Results record                                                           */
/* ------------------------------------------------------------------------ */

/*
** Initialise a results record for the instance: zero-filled violation arrays
** (one entry per constraint; no constraint still gives a usable array) and
** the "not evaluated" values.  The names and d_note are not touched.
** 0, or -1 on allocation failure.
*/
int Quelto_initIndicateursSolution(InstancePb *instance, IndicateursSolution *indicateurs)
{
    assert(instance != nullptr && indicateurs != nullptr);
    indicateurs->i_vectNbViolEcPrio = static_cast<int32_t *>(mQuelto_allouer(instance->i_nbEcartsPrio, sizeof(int32_t)));
    if (indicateurs->i_vectNbViolEcPrio == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    indicateurs->i_vectNbViolEcNonPrio =
        static_cast<int32_t *>(mQuelto_allouer(instance->i_nbEcartsNonPrio, sizeof(int32_t)));
    if (indicateurs->i_vectNbViolEcNonPrio == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    indicateurs->i_nbPurges = -1;
    indicateurs->d_longMoyRafales = -1.0;
    indicateurs->i_flagLongMaxRafTeintesOk = 1;
    indicateurs->i_teinteRafaleTropLongue = -1;
    indicateurs->i_longRafaleTropLongue = -1;
    indicateurs->i_flagRapportComplet = 1;
    indicateurs->i_nbViolEcPrio = -1;
    indicateurs->i_nbViolEcNonPrio = -1;
    return 0;
}

/*
** Copy the figures of an evaluated sequence into a results record that
** Quelto_initIndicateursSolution prepared for the same instance: totals,
** batch check, colour changes, mark and the violation arrays.  The record's
** names and report flag stay its own.
*/
static void mQuelto_copierResultats(const quelto::EvaluatedSequence &sequence, IndicateursSolution *indicateurs)
{
    const IndicateursSolution &r = sequence.results;
    indicateurs->i_nbPurges = r.i_nbPurges;
    indicateurs->d_longMoyRafales = r.d_longMoyRafales;
    indicateurs->i_flagLongMaxRafTeintesOk = r.i_flagLongMaxRafTeintesOk;
    indicateurs->i_teinteRafaleTropLongue = r.i_teinteRafaleTropLongue;
    indicateurs->i_longRafaleTropLongue = r.i_longRafaleTropLongue;
    indicateurs->i_nbViolEcPrio = r.i_nbViolEcPrio;
    indicateurs->i_nbViolEcNonPrio = r.i_nbViolEcNonPrio;
    indicateurs->d_note = r.d_note;
    std::copy_n(r.i_vectNbViolEcPrio, sequence.high.constraints(), indicateurs->i_vectNbViolEcPrio);
    std::copy_n(r.i_vectNbViolEcNonPrio, sequence.low.constraints(), indicateurs->i_vectNbViolEcNonPrio);
}

/* ------------------------------------------------------------------------ */
/* Evaluation: the picture of the sequence                                  */
/* ------------------------------------------------------------------------ */

/*
** Evaluation first takes a picture of the installed sequence into the
** evaluated sequence: the order (the rank of the vehicle at each index of
** the primary index), the colours and one row of option bits per
** constraint.  Every step then reads the picture, never the list.
**
** A sequence visits the vehicles in no order of memory, one far fetch per
** vehicle; the picture reads them in rank order instead (the order of their
** storage, which the processor fetches ahead) and writes what it takes at
** each one's position.  The option flags go through a word per position
** that holds the bits of 64 constraints at a time, both priorities numbered
** together (high priority first: with 64 constraints or fewer in all, one
** walk and one word per vehicle), and each block of 64 words is then
** transposed into one word of each constraint's row.  Vehicles with equal
** flags share their arrays, so the bits of an array met before are found
** again by its address.
*/

/* Constraints, both priorities numbered together, whose option bits one walk of the vehicles gathers. */
static constexpr int32_t QUELTO_ECARTS_PAR_MOT = 64;

/*
** The option bits that the flag arrays of one priority give to the word of
** one walk, by array address: a direct-mapped cache, valid for one walk
** (nothing writes a flag meanwhile).  The walk takes the constraints
** premier .. premier + nb - 1 of the priority, at bits decalage.. of its word.
*/
class MemoMotsOptions {
public:
    MemoMotsOptions(int32_t premier, int32_t nb, int decalage) : premier_(premier), nb_(nb), decalage_(decalage) {}

    uint64_t bits(const int32_t *drapeaux)
    {
        if (nb_ <= 0) return 0;
        const size_t i = (reinterpret_cast<uintptr_t>(drapeaux) / sizeof(int32_t)) % TAILLE;
        if (adresses_[i] != drapeaux) {
            adresses_[i] = drapeaux;
            uint64_t m = 0;
            for (int32_t b = 0; b < nb_; b++) m |= static_cast<uint64_t>(drapeaux[premier_ + b] == 1) << (decalage_ + b);
            bits_[i] = m;
        }
        return bits_[i];
    }

private:
    static constexpr size_t TAILLE = 4096;
    int32_t premier_, nb_;
    int decalage_;
    const int32_t *adresses_[TAILLE] = {};
    uint64_t bits_[TAILLE];
};

/* The memo of walk number passe for a priority whose constraints are numbered debut.. (nb of them) in all. */
static MemoMotsOptions mQuelto_memoDePasse(int32_t passe, int32_t debut, int32_t nb)
{
    const int32_t premierMot = passe * QUELTO_ECARTS_PAR_MOT;
    const int32_t premier = std::max(premierMot, debut), fin = std::min(premierMot + QUELTO_ECARTS_PAR_MOT, debut + nb);
    return MemoMotsOptions(premier - debut, fin - premier, premier - premierMot);
}

/* Transpose the 64 x 64 bits of a: bit j of a[i] becomes bit i of a[j]. */
static void mQuelto_transposer64(uint64_t a[64])
{
    uint64_t m = 0x00000000ffffffffu;
    for (int j = 32; j != 0; j >>= 1, m ^= m << j) {
        for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
            const uint64_t t = ((a[k] >> j) ^ a[k | j]) & m;
            a[k] ^= t << j;
            a[k | j] ^= t;
        }
    }
}

/*
** Deal the words of walk number passe (by position; as many as whole blocks
** of 64 need, those past day D 0) to the rows of their constraints.  The
** words are transposed in place.
*/
static void mQuelto_distribuerOptions(std::vector<uint64_t> &mots, int32_t passe,
                                      quelto::EvaluatedSequence *sequence)
{
    const int32_t nbPrio = sequence->high.constraints(), nbEcarts = nbPrio + sequence->low.constraints();
    const int32_t premier = passe * QUELTO_ECARTS_PAR_MOT, nb = std::min(QUELTO_ECARTS_PAR_MOT, nbEcarts - premier);
    for (size_t debut = 0; debut < mots.size(); debut += 64) {
        uint64_t *bloc = mots.data() + debut; /* mots has room for whole blocks, those past day D 0 */
        mQuelto_transposer64(bloc);
        for (int32_t b = 0; b < nb; b++) {
            const int32_t c = premier + b;
            quelto::OptionRows &lignes = c < nbPrio ? sequence->high : sequence->low;
            lignes.row(c < nbPrio ? c : c - nbPrio)[debut / 64] = bloc[b];
        }
    }
}

/*
** Walk number passe of the vehicles of day D in rank order: writes, at the
** position of each (positions[rank]), its colour (first walk only) and its
** option word for the constraints of that walk.  Every vehicle's flag
** arrays hold a place per constraint (the readers' invariant).  When absents
** is given (first walk), it receives the ranks of the vehicles that the
** candidate did not place.
*/
static void mQuelto_lireVehicules(const InstancePb *instance, const std::vector<int32_t> &positions, int32_t passe,
                                  std::vector<uint64_t> &mots, quelto::EvaluatedSequence *sequence,
                                  std::vector<int32_t> *absents)
{
    const LIST *l = &instance->l_vehAOrdonnancer;
    const int32_t nbPrio = instance->i_nbEcartsPrio, nbNonPrio = instance->i_nbEcartsNonPrio;
    MemoMotsOptions memoP = mQuelto_memoDePasse(passe, 0, nbPrio);
    MemoMotsOptions memoNP = mQuelto_memoDePasse(passe, nbPrio, nbNonPrio);
    const bool avecMots = !mots.empty();
    for (int32_t r = 0; r < instance->i_longFilm; r++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, r));
        assert(v != nullptr && (nbPrio == 0 || v->i_vectBoolEcPrio != nullptr) &&
               (nbNonPrio == 0 || v->i_vectBoolEcNonPrio != nullptr));
        const size_t i = static_cast<size_t>(positions[static_cast<size_t>(r)]);
        if (passe == 0) sequence->colours[i] = v->i_teinte;
        if (avecMots) mots[i] = memoP.bits(v->i_vectBoolEcPrio) | memoNP.bits(v->i_vectBoolEcNonPrio);
        if (absents != nullptr && passe == 0 && v->i_rangSeqCandidat == -1) absents->push_back(r);
    }
}

/*
** Take the picture of the sequence installed on l_vehAOrdonnancer into
** sequence (its figures as not evaluated, names and report flag from
** enTete).  absents, when given, receives the ranks of the vehicles left
** without a candidate rank, in rank order.  0, or -1 (internal error
** reported) when the list has no installed order of i_longFilm vehicles.
** Throws std::bad_alloc when memory runs out.
*/
static int mQuelto_photographierSansRattraper(const InstancePb *instance, const IndicateursSolution *enTete,
                                              quelto::EvaluatedSequence *sequence, std::vector<int32_t> *absents)
{
    const LIST *l = &instance->l_vehAOrdonnancer;
    const int32_t n = instance->i_longFilm;
    sequence->reset(n, instance->i_nbEcartsPrio, instance->i_nbEcartsNonPrio, *enTete);
    if (list_length(l) != n || list_rangs_trie(l, sequence->order.data()) != 1) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    std::vector<int32_t> positions(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; i++) positions[static_cast<size_t>(sequence->order[static_cast<size_t>(i)])] = i;
    const int32_t nbEcarts = instance->i_nbEcartsPrio + instance->i_nbEcartsNonPrio;
    std::vector<uint64_t> mots(nbEcarts > 0 ? static_cast<size_t>(n + 63) / 64 * 64 : 0);
    for (int32_t passe = 0; passe == 0 || passe * QUELTO_ECARTS_PAR_MOT < nbEcarts; passe++) {
        mQuelto_lireVehicules(instance, positions, passe, mots, sequence, absents);
        std::fill(mots.begin() + std::min<ptrdiff_t>(n, static_cast<ptrdiff_t>(mots.size())), mots.end(), uint64_t{0});
        if (nbEcarts > 0) mQuelto_distribuerOptions(mots, passe, sequence);
    }
    return 0;
}

/* The same, memory running out being an internal error (reported, -1). */
static int mQuelto_photographier(const InstancePb *instance, const IndicateursSolution *enTete,
                                 quelto::EvaluatedSequence *sequence, std::vector<int32_t> *absents)
{
    try {
        return mQuelto_photographierSansRattraper(instance, enTete, sequence, absents);
    } catch (const std::bad_alloc &) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
}

/* ------------------------------------------------------------------------ */
/* Evaluation: ratio constraints                                            */
/* ------------------------------------------------------------------------ */

/* Whether position i of a row of option bits carries the option (0 or 1). */
static inline int64_t mQuelto_bit(const uint64_t *ligne, int64_t i)
{
    return static_cast<int64_t>(ligne[i / 64] >> (i % 64) & 1u);
}

/* Where the windows of one constraint go when the evaluation lists them, or nowhere (null). */
struct ListeFenetres {
    std::deque<quelto::Window> *fenetres;
    quelto::Priority priorite;
    int32_t k;

    void noter(int64_t premiere, int64_t derniere, int64_t nb, int64_t exces) const
    {
        fenetres->push_back(quelto::Window{priorite, k, static_cast<int32_t>(premiere), static_cast<int32_t>(derniere),
                                           static_cast<int32_t>(nb), static_cast<int32_t>(exces), premiere < 0});
    }
};

/* The 64 bits of a row of nbMots words from position pos on (bits past the row read 0). */
static inline uint64_t mQuelto_bitsDes64(const uint64_t *ligne, int64_t nbMots, int64_t pos)
{
    const int64_t m = pos / 64;
    const int s = static_cast<int>(pos % 64);
    const uint64_t a = m < nbMots ? ligne[m] : 0;
    if (s == 0) return a;
    const uint64_t b = m + 1 < nbMots ? ligne[m + 1] : 0;
    return a >> s | b << (64 - s);
}

/* The number of bits set in m, counted in place (a processor of the base instruction set has no instruction for it). */
static inline int64_t mQuelto_nbBits(uint64_t m)
{
    m -= (m >> 1) & 0x5555555555555555u;
    m = (m & 0x3333333333333333u) + ((m >> 2) & 0x3333333333333333u);
    m = (m + (m >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return static_cast<int64_t>((m * 0x0101010101010101u) >> 56);
}

/* The sum, over j from 0 to 63, of the number of bits of m below bit j: each bit b counts 63 - b times. */
static int64_t mQuelto_sommeDesPrefixes(uint64_t m)
{
    static constexpr uint64_t BITS_D_INDICE[6] = {0xaaaaaaaaaaaaaaaau, 0xccccccccccccccccu, 0xf0f0f0f0f0f0f0f0u,
                                                  0xff00ff00ff00ff00u, 0xffff0000ffff0000u, 0xffffffff00000000u};
    int64_t indices = 0; /* the sum of the indices of the bits of m */
    for (int k = 0; k < 6; k++) indices += mQuelto_nbBits(m & BITS_D_INDICE[k]) << k;
    return 63 * mQuelto_nbBits(m) - indices;
}

/*
** The sum, over j from 0 to 63, of max(t + E(j) - L(j), 0), where E(j) and
** L(j) are the numbers of bits of entrants and of sortants below bit j: the
** excesses of 64 consecutive windows whose first count exceeds p by t.  For
** -64 <= t <= 64 only (the blocks that no shortcut settles).
**
** Eight starts at a time, one byte per start: byte j holds 128 + t + E(j) -
** L(j), between 1 and 255 in that range of t, so that no byte carries into
** the next; its high bit says whether the window exceeds, its low seven bits
** are then the excess.  Multiplying the bits spread one per byte by
** 0x0101010101010100 gives in byte j the number of bits below j.
*/
static int64_t mQuelto_excesDuBloc(uint64_t entrants, uint64_t sortants, int64_t t)
{
    assert(-64 <= t && t <= 64);
    constexpr uint64_t UNS = 0x0101010101010101u, AVANT = 0x0101010101010100u;
    constexpr uint64_t HAUTS = 0x8080808080808080u, PAIRS = 0x00ff00ff00ff00ffu;
    uint64_t depart = static_cast<uint64_t>(128 + t); /* byte value of the first start of the group */
    uint64_t sommes = 0;                               /* four 16-bit sums */
    for (int g = 0; g < 64; g += 8) {
        const uint64_t e = QUELTO_OCTETS_DES_BITS.v[entrants >> g & 0xffu];
        const uint64_t s = QUELTO_OCTETS_DES_BITS.v[sortants >> g & 0xffu];
        const uint64_t octets = depart * UNS + e * AVANT - s * AVANT;
        const uint64_t hauts = octets & HAUTS;
        const uint64_t exces = octets & (hauts - (hauts >> 7));
        sommes += (exces & PAIRS) + (exces >> 8 & PAIRS);
        depart += (e * UNS >> 56) - (s * UNS >> 56);
    }
    return static_cast<int64_t>((sommes * 0x0001000100010001u) >> 48);
}

/*
** The windows of one constraint (numerator p >= 0, denominator q >= 1) that
** begin in day D, over its row of option bits of n positions: for each start
** i from 0 to n - p - 1, the window of positions i .. min(i + q, n) - 1,
** shorter than q near the end of day D (a window starting later holds at
** most p vehicles).  Returns the sum of the excesses; each window with an
** excess goes to liste when given.
**
** The count of a window is carried to the next one: from start i to i + 1 it
** drops position i and takes position i + q (nothing past day D).  The
** starts go 64 at a time: with L the 64 bits leaving (positions i..i+63) and
** E the 64 entering (i+q..i+q+63), the count at start i + j is the count at
** i plus the bits of E below j minus those of L below j.  A block in which
** even every entering bit cannot lift the count above p has no excess; one
** in which every leaving bit cannot bring it down to p has the excess
** 64 (count - p) plus the sums of those prefixes, which the bits' places
** give; any other full block has its count within 64 of p, and
** mQuelto_excesDuBloc sums its excesses.  The last block, and every block
** when the windows are listed, are counted start by start.
*/
static int64_t mQuelto_violFenetresJourJ(const uint64_t *ligne, int64_t n, int64_t p, int64_t q,
                                         const ListeFenetres *liste)
{
    const int64_t nbMots = (n + 63) / 64;
    int64_t nb = 0;
    for (int64_t i = 0; i < std::min(q, n); i += 64) {
        const int64_t reste = std::min<int64_t>(64, std::min(q, n) - i);
        const uint64_t masque = reste == 64 ? ~uint64_t{0} : (uint64_t{1} << reste) - 1;
        nb += mQuelto_nbBits(mQuelto_bitsDes64(ligne, nbMots, i) & masque);
    }
    const int64_t fin = std::min(n - p, n); /* the starts are 0 .. fin - 1 */
    int64_t viol = 0;
    for (int64_t i0 = 0; i0 < fin; i0 += 64) {
        const uint64_t sortants = mQuelto_bitsDes64(ligne, nbMots, i0);
        const uint64_t entrants = mQuelto_bitsDes64(ligne, nbMots, i0 + q);
        const int64_t nbSortants = mQuelto_nbBits(sortants), nbEntrants = mQuelto_nbBits(entrants);
        if (fin - i0 >= 64 && nb + nbEntrants <= p) {
            nb += nbEntrants - nbSortants;
            continue;
        }
        if (fin - i0 >= 64 && nb - nbSortants >= p && liste == nullptr) {
            viol += 64 * (nb - p) + mQuelto_sommeDesPrefixes(entrants) - mQuelto_sommeDesPrefixes(sortants);
            nb += nbEntrants - nbSortants;
            continue;
        }
        const int64_t m = std::min<int64_t>(64, fin - i0);
        if (m == 64 && liste == nullptr) {
            viol += mQuelto_excesDuBloc(entrants, sortants, nb - p);
            nb += nbEntrants - nbSortants;
            continue;
        }
        for (int64_t j = 0; j < m; j++) {
            if (nb > p) {
                viol += nb - p;
                if (liste != nullptr) liste->noter(i0 + j, std::min(i0 + j + q, n) - 1, nb, nb - p);
            }
            nb += static_cast<int64_t>(entrants >> j & 1) - static_cast<int64_t>(sortants >> j & 1);
        }
    }
    return viol;
}

/*
** The windows of one constraint that straddle day D-1 and day D, with m the
** greatest denominator and hist the constraint's frozen history (m - 1
** entries, oldest first): for j from m - q to m - 2, history entries j ..
** m - 2 and day-D positions 0 .. q - (m - j), q vehicles in all; history
** places before entry 0 (a day D-1 shorter than the history needed) count
** as vehicles without the option.  From one j to the next the window drops
** history entry j and takes the next day-D position.  Adds the excesses to
** *viol (and the windows to liste).  0, or -1 (internal error reported)
** when day D is too short for a window, the earlier windows added already.
*/
static int mQuelto_violFenetresChevauchantes(const int32_t *hist, int64_t m, const uint64_t *ligne, int64_t n,
                                             int64_t p, int64_t q, int64_t *viol, const ListeFenetres *liste)
{
    if (q < 2) return 0; /* no window */
    const int64_t premierJ = m - q;
    int64_t nbHist = 0;
    for (int64_t j = std::max<int64_t>(premierJ, 0); j <= m - 2; j++) nbHist += hist[j] == 1;
    int64_t nbJour = 0;
    for (int64_t j = premierJ; j <= m - 2; j++) {
        if (j > premierJ && j - 1 >= 0) nbHist -= hist[j - 1] == 1;
        const int64_t dernierePos = q - (m - j);
        if (dernierePos >= n) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        nbJour += mQuelto_bit(ligne, dernierePos);
        const int64_t nb = nbHist + nbJour;
        if (nb > p) {
            *viol += nb - p;
            if (liste != nullptr) liste->noter(j - (m - 1), dernierePos, nb, nb - p);
        }
    }
    return 0;
}

/*
** Violations of every constraint of one priority, constraint after
** constraint in list order, into the sequence's array and total, and, when
** the sequence asks for its detail, every window with an excess: the
** straddling windows of a constraint first, then those of day D.  Counts are
** summed in 64 bits and held at the int32 bounds when stored.  0, or -1 on
** an internal error (the entries of the constraints before stay written).
*/
static int mQuelto_calculerNbViolEcarts(const InstancePb *instance, quelto::EvaluatedSequence *sequence,
                                        quelto::Priority priorite)
{
    const bool prio = priorite == quelto::Priority::high;
    const LIST *l = prio ? &instance->l_ecartsPrio : &instance->l_ecartsNonPrio;
    int32_t **hist = prio ? instance->i_matBoolEcPrioVehFiges : instance->i_matBoolEcNonPrioVehFiges;
    const quelto::OptionRows &options = sequence->options(priorite);
    int32_t *viol = sequence->violations(priorite);
    int64_t total = 0;
    for (int32_t k = 0; k < options.constraints(); k++) {
        const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, k));
        assert(e != nullptr && hist != nullptr && hist[k] != nullptr);
        const ListeFenetres liste{sequence->detail ? &sequence->detail->windows : nullptr, priorite, k};
        const ListeFenetres *pListe = sequence->detail ? &liste : nullptr;
        int64_t v = 0;
        if (mQuelto_violFenetresChevauchantes(hist[k], instance->i_denominateurMax, options.row(k), options.positions(),
                                              e->i_numerateur, e->i_denominateur, &v, pListe) != 0)
            return -1;
        v += mQuelto_violFenetresJourJ(options.row(k), options.positions(), e->i_numerateur, e->i_denominateur, pListe);
        viol[k] = mQuelto_saturer(v);
        total += viol[k];
    }
    (prio ? sequence->results.i_nbViolEcPrio : sequence->results.i_nbViolEcNonPrio) = mQuelto_saturer(total);
    return 0;
}

/* Violations of the high priority constraints of the pictured sequence.  0 or -1. */
int mQuelto_calculerNbViolEcartsPrio(const InstancePb *instance, quelto::EvaluatedSequence *sequence)
{
    return mQuelto_calculerNbViolEcarts(instance, sequence, quelto::Priority::high);
}

/* Violations of the low priority constraints of the pictured sequence.  0 or -1. */
int mQuelto_calculerNbViolEcartsNonPrio(const InstancePb *instance, quelto::EvaluatedSequence *sequence)
{
    return mQuelto_calculerNbViolEcarts(instance, sequence, quelto::Priority::low);
}

/* ------------------------------------------------------------------------ */
/* Evaluation: paint colours                                                */
/* ------------------------------------------------------------------------ */

/*
** Batch limit check, only when paint colour changes carry a weight: the
** first batch of the sequence longer than i_longMaxRafTeintes is recorded
** (its colour and length; a batch continuing the colour of the last frozen
** vehicle counts from position 0, and a batch of exactly the limit is
** within it), and, when the sequence asks for its detail, every such batch.
** Always 0.
*/
int mQuelto_verifierLongMaxRafTeintes(const InstancePb *instance, quelto::EvaluatedSequence *sequence)
{
    if (!(instance->d_poidsPurges > 0.0)) return 0;
    IndicateursSolution &r = sequence->results;
    mQuelto_pourChaqueRafale(sequence->colours.data(), sequence->size(), instance->i_teintePos_1,
                             [&](int32_t debut, int32_t longueur, int32_t teinte, bool) {
                                 if (longueur <= instance->i_longMaxRafTeintes) return;
                                 if (r.i_flagLongMaxRafTeintesOk == 1) {
                                     r.i_flagLongMaxRafTeintesOk = 0;
                                     r.i_teinteRafaleTropLongue = teinte;
                                     r.i_longRafaleTropLongue = longueur;
                                 }
                                 if (sequence->detail)
                                     sequence->detail->long_batches.push_back(quelto::Batch{teinte, debut, longueur});
                             });
    return 0;
}

/*
** The number of colour changes (a batch whose colour differs from the
** vehicle before it, position 0 compared with the last frozen vehicle), N
** divided by that number in double precision (+infinity without change),
** and, when the sequence asks for its detail, the positions of the changes.
** Always 0.
*/
int mQuelto_calculerNbPurges(const InstancePb *instance, quelto::EvaluatedSequence *sequence)
{
    int32_t nbPurges = 0;
    mQuelto_pourChaqueRafale(sequence->colours.data(), sequence->size(), instance->i_teintePos_1,
                             [&](int32_t debut, int32_t, int32_t, bool changement) {
                                 if (!changement) return;
                                 nbPurges++;
                                 if (sequence->detail) sequence->detail->colour_changes.push_back(debut);
                             });
    IndicateursSolution &r = sequence->results;
    r.i_nbPurges = nbPurges;
    const int32_t n = sequence->size();
    if (nbPurges != 0)
        r.d_longMoyRafales = static_cast<double>(n) / static_cast<double>(nbPurges);
    else
        r.d_longMoyRafales = n > 0 ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    return 0;
}

/* ------------------------------------------------------------------------ */
/* Evaluation: entry points                                                 */
/* ------------------------------------------------------------------------ */

/*
** The four steps then the mark, on a sequence whose picture is taken.  A
** failed step gets a second internal error here.  0 or -1.
*/
static int mQuelto_evaluerPhoto(const InstancePb *instance, quelto::EvaluatedSequence *sequence)
{
    if (mQuelto_calculerNbViolEcartsPrio(instance, sequence) != 0 ||
        mQuelto_calculerNbViolEcartsNonPrio(instance, sequence) != 0 ||
        mQuelto_verifierLongMaxRafTeintes(instance, sequence) != 0 || mQuelto_calculerNbPurges(instance, sequence) != 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    IndicateursSolution &r = sequence->results;
    r.d_note = (r.i_nbViolEcPrio * instance->d_poidsEcPrio + r.i_nbViolEcNonPrio * instance->d_poidsEcNonPrio) +
               r.i_nbPurges * instance->d_poidsPurges;
    return 0;
}

int Quelto_evaluerSequence(const InstancePb *instance, const IndicateursSolution *enTete, bool detail,
                           quelto::EvaluatedSequence *sequence)
{
    assert(instance != nullptr && enTete != nullptr && sequence != nullptr);
    if (mQuelto_photographier(instance, enTete, sequence, nullptr) != 0) return -1;
    try {
        if (detail) sequence->detail.emplace();
        return mQuelto_evaluerPhoto(instance, sequence);
    } catch (const std::bad_alloc &) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
}

int Quelto_calculerIndicateursSurSeqInitiale(InstancePb *instance, quelto::EvaluatedSequence *sequence)
{
    assert(instance != nullptr && sequence != nullptr);
    if (Quelto_evaluerSequence(instance, &instance->indicateursSeqInitiale, false, sequence) != 0) return -1;
    mQuelto_copierResultats(*sequence, &instance->indicateursSeqInitiale);
    return 0;
}

/* Warn (trace log, then standard output) that the vehicle v is absent from the candidate's solution. */
static void mQuelto_signalerAbsent(const Vehicule *v)
{
    char msg[QUELTO_LONG_MSG];
    snprintf(msg, sizeof msg,
             "\nS_MSG_ERR_0026 : Quelto_calculerIndicateursSurNumSeqCalcule : le vehicule d'identifiant %s est absent de la solution !!\n",
             v->s_ident);
    mQuelto_tracer(msg);
    fputs(msg, stdout);
    fflush(stdout);
}

int Quelto_calculerIndicateursSurNumSeqCalcule(InstancePb *instance, IndicateursSolution *indicateurs,
                                               quelto::EvaluatedSequence *sequence)
{
    assert(instance != nullptr && indicateurs != nullptr && sequence != nullptr);
    std::vector<int32_t> absents;
    if (mQuelto_photographier(instance, indicateurs, sequence, &absents) != 0) return -1;
    for (int32_t r : absents)
        mQuelto_signalerAbsent(static_cast<const Vehicule *>(list_element(&instance->l_vehAOrdonnancer, r)));
    if (mQuelto_evaluerPhoto(instance, sequence) != 0) return -1;
    mQuelto_copierResultats(*sequence, indicateurs);
    return 0;
}
