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
** Evaluation walks l_vehAOrdonnancer in the order of the comparison function
** installed last on it (list_element_trie from index 0): that order is the
** sequence.  It never sorts.  The frozen vehicles take part only through the
** frozen history matrices and i_teintePos_1.
**
** Invariants relied upon once preparation succeeded:
**   - i_longFilm >= 1 and l_vehFiges holds at least one vehicle;
**   - 1 <= i_denominateurMax <= number of frozen vehicles + 1, so the frozen
**     history has i_denominateurMax - 1 >= 0 entries, every one a real frozen
**     vehicle;
**   - every vehicle's flag arrays have i_nbEcartsPrio / i_nbEcartsNonPrio
**     places (a null array with places is refused as an internal error,
**     never read);
**   - every allocation of zero entries yields a usable non-null block, except
**     d_vectPourcentVehEcNonPrio and i_matBoolEcNonPrioVehFiges, which stay
**     null when there is no low priority constraint.
**
** Every sort goes through list_trier on the list's primary index, which keeps
** the order the previous sort left (the sort is not stable): each sort is
** done at the step that calls for it, even when the list looks sorted
** already, because equal elements may move.  The one exception is the
** preparation of a day whose reference ranks all differ: there the order of
** equal elements cannot reach any output, and the figures come from compact
** copies of the day (see "Preparation without sorting day D").
**
** Failures: an internal error (failed allocation, list access finding no
** element, failed index/handle/rank conversion, inconsistent data) is passed
** to OSupTrace_Report with this file's name, the line and an empty message,
** and the function returns -1.  An evaluation whose step fails reports a
** second internal error of its own.  Counts that could exceed 32 bits are
** accumulated in 64 bits and saturated when stored.  Nothing allocated here
** is ever freed: it lives with the instance until the process ends.
*/
#include "QueltoGesDonnees.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
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

/* a + b, held at the int64 bounds instead of overflowing (b >= 0). */
static int64_t mQuelto_ajouterSature(int64_t a, int64_t b)
{
    if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) return std::numeric_limits<int64_t>::max();
    return a + b;
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

/*
** Ask for the vehicle 2 * AVANCE positions after i and for the flags of the
** one AVANCE positions after i before they are needed: a sequence visits
** the vehicles in no order of memory.  A position that cannot be had is left
** to the walk.
*/
static void mQuelto_anticiperVehicule(const LIST *l, int32_t i, int32_t n, bool drapeaux)
{
    constexpr int32_t AVANCE = 8;
    if (i + 2 * AVANCE < n) __builtin_prefetch(list_element_trie(l, i + 2 * AVANCE));
    if (!drapeaux || i + AVANCE >= n) return;
    const Vehicule *w = static_cast<const Vehicule *>(list_element_trie(l, i + AVANCE));
    if (w == nullptr) return;
    if (w->i_vectBoolEcPrio != nullptr) __builtin_prefetch(w->i_vectBoolEcPrio);
    if (w->i_vectBoolEcNonPrio != nullptr) __builtin_prefetch(w->i_vectBoolEcNonPrio);
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

/* Ascending paint colour (i_teinte of a minus that of b). */
int mQuelto_comparerVehTeinte(const void *a, const void *b)
{
    const Vehicule *va = static_cast<const Vehicule *>(a);
    const Vehicule *vb = static_cast<const Vehicule *>(b);
    return mQuelto_difference(va->i_teinte, vb->i_teinte);
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

/* Ascending reference rank (i_rangSeq of a minus that of b). */
int mQuelto_comparerVehRangSeq(const void *a, const void *b)
{
    const Vehicule *va = static_cast<const Vehicule *>(a);
    const Vehicule *vb = static_cast<const Vehicule *>(b);
    return mQuelto_difference(va->i_rangSeq, vb->i_rangSeq);
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
    const Vehicule *va = static_cast<const Vehicule *>(a);
    const Vehicule *vb = static_cast<const Vehicule *>(b);
    return mQuelto_difference(va->i_rangSeqCandidat, vb->i_rangSeqCandidat);
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

static uint64_t mQuelto_cleTeinte(const void *v)
{
    return mQuelto_cleEntier(static_cast<const Vehicule *>(v)->i_teinte);
}

static uint64_t mQuelto_cleRangSeq(const void *v)
{
    return mQuelto_cleEntier(static_cast<const Vehicule *>(v)->i_rangSeq);
}

static uint64_t mQuelto_cleRangSeqCandidat(const void *v)
{
    return mQuelto_cleEntier(static_cast<const Vehicule *>(v)->i_rangSeqCandidat);
}

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
** rank.  When every day-D reference rank differs, no output can tell the
** chain's tie orders apart, and preparation takes its figures from compact
** copies of the day instead: the greatest colour, the colour counts, the
** families as runs of family keys sorted by bytes (ties in rank order).  The
** lists are left as the sorting steps leave them, except for the order among
** equal keys.  Whenever a scratch array cannot be had, or the ranks are too
** spread to be checked cheaply, the steps sort as usual.
*/

/* Ranks spread over more values than this many per vehicle are not checked. */
static constexpr int64_t QUELTO_ETENDUE_RANGS_PAR_VEH = 8;

/*
** Whether the n ranks rang(0) .. rang(n - 1) all differ; false also when
** they are spread over more than QUELTO_ETENDUE_RANGS_PAR_VEH * n + 64
** values or when the bitmap cannot be allocated.
*/
template <typename Rang>
static bool mQuelto_rangsDistincts(int32_t n, Rang rang)
{
    if (n <= 1) return true;
    int32_t min = rang(0), max = rang(0);
    for (int32_t i = 1; i < n; i++) {
        min = std::min(min, rang(i));
        max = std::max(max, rang(i));
    }
    const int64_t etendue = static_cast<int64_t>(max) - min + 1;
    if (etendue < n || etendue > QUELTO_ETENDUE_RANGS_PAR_VEH * n + 64) return false;
    uint64_t *vus = static_cast<uint64_t *>(calloc(static_cast<size_t>(etendue / 64 + 1), sizeof(uint64_t)));
    if (vus == nullptr) return false;
    bool distincts = true;
    for (int32_t i = 0; i < n && distincts; i++) {
        const uint64_t b = static_cast<uint64_t>(static_cast<int64_t>(rang(i)) - min);
        distincts = (vus[b / 64] >> (b % 64) & 1u) == 0;
        vus[b / 64] |= uint64_t{1} << (b % 64);
    }
    free(vus);
    return distincts;
}

/* A family key and the rank of its vehicle in l_vehAOrdonnancer. */
struct CleRang {
    uint64_t cle;
    int32_t rang;
};

/*
** Sort e (n entries) by key, ties in their present order: one stable
** counting pass per key byte that is not the same in every key.  False when
** the scratch array cannot be had (e is then unchanged).
*/
static bool mQuelto_trierClesRangs(CleRang *e, int32_t n)
{
    uint64_t varie = 0;
    for (int32_t i = 1; i < n; i++) varie |= e[i].cle ^ e[0].cle;
    if (varie == 0) return true;
    std::unique_ptr<CleRang[]> tampon(new (std::nothrow) CleRang[static_cast<size_t>(n)]);
    if (tampon == nullptr) return false;
    conseillerGrandesPages(tampon.get(), static_cast<size_t>(n) * sizeof(CleRang));
    CleRang *de = e, *vers = tampon.get();
    for (int octet = 0; octet < 8; octet++) {
        const int decalage = 8 * octet;
        if ((varie >> decalage & 0xffu) == 0) continue;
        size_t debut[256] = {};
        for (int32_t i = 0; i < n; i++) debut[de[i].cle >> decalage & 0xffu]++;
        size_t cumul = 0;
        for (size_t &d : debut) cumul += std::exchange(d, cumul);
        for (int32_t i = 0; i < n; i++) vers[debut[de[i].cle >> decalage & 0xffu]++] = de[i];
        std::swap(de, vers);
    }
    if (de != e) std::copy(de, de + n, e);
    return true;
}

/*
** What preparation takes from day D when it need not sort it: per vehicle
** in rank order either its colour (teintes) or its exact family key with
** its rank (cles), never both.
*/
struct JourCompact {
    std::unique_ptr<int32_t[]> teintes;
    std::unique_ptr<CleRang[]> cles;
};

/*
** The compact copy of day D when the order of equal keys cannot reach the
** outputs (every reference rank differs), else null: the caller then sorts.
** With cle the copy holds the keys (cle must be exact), else the colours.
** Null also when a vehicle cannot be fetched or memory runs out.
*/
static std::unique_ptr<JourCompact> mQuelto_jourSansTri(const InstancePb *instance, LIST_FCLE cle)
{
    const LIST *l = &instance->l_vehAOrdonnancer;
    const int32_t n = instance->i_longFilm;
    if (n < 1) return nullptr;
    const size_t taille = static_cast<size_t>(n);
    std::unique_ptr<JourCompact> jour(new (std::nothrow) JourCompact);
    if (jour == nullptr) return nullptr;
    /* The reference ranks wait in the rank field of the keys, or beside the colours. */
    std::unique_ptr<int32_t[]> rangsSeq;
    if (cle != nullptr) {
        jour->cles.reset(new (std::nothrow) CleRang[taille]);
    } else {
        jour->teintes.reset(new (std::nothrow) int32_t[taille]);
        rangsSeq.reset(new (std::nothrow) int32_t[taille]);
    }
    if (cle != nullptr ? jour->cles == nullptr : jour->teintes == nullptr || rangsSeq == nullptr) return nullptr;
    conseillerGrandesPages(jour->cles.get(), cle != nullptr ? taille * sizeof(CleRang) : 0);
    conseillerGrandesPages(jour->teintes.get(), cle == nullptr ? taille * sizeof(int32_t) : 0);
    conseillerGrandesPages(rangsSeq.get(), cle == nullptr ? taille * sizeof(int32_t) : 0);
    for (int32_t r = 0; r < n; r++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, r));
        if (v == nullptr) return nullptr;
        if (cle != nullptr) {
            jour->cles[r] = CleRang{cle(v), v->i_rangSeq};
        } else {
            jour->teintes[r] = v->i_teinte;
            rangsSeq[r] = v->i_rangSeq;
        }
    }
    CleRang *cles = jour->cles.get();
    const int32_t *rangs = rangsSeq.get();
    if (cle != nullptr ? !mQuelto_rangsDistincts(n, [cles](int32_t i) { return cles[i].rang; })
                       : !mQuelto_rangsDistincts(n, [rangs](int32_t i) { return rangs[i]; }))
        return nullptr;
    for (int32_t r = 0; cles != nullptr && r < n; r++) cles[r].rang = r;
    return jour;
}

/*
** The number of colour changes that a sequence sorted by colour needs at
** least when no batch may pass limite: each colour of c vehicles makes
** ceil(c / limite) batches (c batches when limite < 1), and every batch but
** the first starts with a change.  teintes (colours >= 1) may be reordered.
*/
static int64_t mQuelto_purgesDesTeintes(int32_t *teintes, int32_t n, int32_t limite)
{
    if (n <= 1) return 0;
    if (limite <= 1) return n - 1;
    int64_t lots = 0;
    const auto [min, max] = std::minmax_element(teintes, teintes + n);
    std::vector<int32_t> comptes;
    try {
        if (*min >= 0 && *max <= static_cast<int64_t>(n) + 1024) comptes.assign(static_cast<size_t>(*max) + 1, 0);
    } catch (const std::bad_alloc &) {
        comptes.clear();
    }
    if (!comptes.empty()) {
        for (int32_t i = 0; i < n; i++) comptes[teintes[i]]++;
        for (int32_t c : comptes) lots += (c + static_cast<int64_t>(limite) - 1) / limite;
        return lots - 1;
    }
    std::sort(teintes, teintes + n);
    for (int32_t i = 0, j = 0; i < n; i = j) {
        while (j < n && teintes[j] == teintes[i]) j++;
        lots += (static_cast<int64_t>(j) - i + limite - 1) / limite;
    }
    return lots - 1;
}

/* ------------------------------------------------------------------------ */
/* Preparation, step 1: counts and indices                                  */
/* ------------------------------------------------------------------------ */

/*
** Greatest denominator over the high then the low priority constraints,
** starting from 1.  -1 when a constraint cannot be fetched.
*/
static int mQuelto_calculerDenominateurMax(InstancePb *instance)
{
    instance->i_denominateurMax = 1;
    for (int prio = 1; prio >= 0; prio--) {
        LIST *l = prio ? &instance->l_ecartsPrio : &instance->l_ecartsNonPrio;
        int32_t nb = prio ? instance->i_nbEcartsPrio : instance->i_nbEcartsNonPrio;
        for (int32_t k = 0; k < nb; k++) {
            const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, k));
            if (e == nullptr) {
                QUELTO_ERREUR_INTERNE();
                return -1;
            }
            if (e->i_denominateur > instance->i_denominateurMax) instance->i_denominateurMax = e->i_denominateur;
        }
    }
    return 0;
}

/*
** Lower i_denominateurMax to the number F of frozen vehicles when the history
** (M - 1 vehicles) would need more than F, with S_MSG_ERR_0001 in the trace
** log.  -1 when the frozen list cannot be measured.
*/
static int mQuelto_verifierSuffisanceFiges(InstancePb *instance)
{
    int32_t nbFiges = list_length(&instance->l_vehFiges);
    if (nbFiges < 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (static_cast<int64_t>(instance->i_denominateurMax) - 1 > nbFiges) {
        char msg[QUELTO_LONG_MSG];
        snprintf(msg, sizeof msg,
                 "\nS_MSG_ERR_0001 : mQuelto_majIndicesInInstancePb : there are not enough vehicles from day D-1 !! "
                 "number of cars from day D-1 = %d and greatest denominator of ratio constraints = %d\n",
                 nbFiges, instance->i_denominateurMax);
        mQuelto_tracer(msg);
        instance->i_denominateurMax = nbFiges;
    }
    return 0;
}

/*
** i_nbTeintes: the greater of the greatest day-D colour (day D sorted by
** colour, last vehicle; or the compact copy's greatest) and the colour of
** the last frozen vehicle (frozen list sorted by reference rank, last
** vehicle).  -1 when either list is empty.
*/
static int mQuelto_calculerNbTeintes(InstancePb *instance, const JourCompact *jour)
{
    int32_t teinteMaxJ = 0;
    if (jour != nullptr) {
        teinteMaxJ = *std::max_element(jour->teintes.get(), jour->teintes.get() + instance->i_longFilm);
    } else {
        list_trier(&instance->l_vehAOrdonnancer, mQuelto_comparerVehTeinte);
        const Vehicule *dernierJ =
            static_cast<const Vehicule *>(list_element_trie(&instance->l_vehAOrdonnancer, instance->i_longFilm - 1));
        if (dernierJ == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        teinteMaxJ = dernierJ->i_teinte;
    }
    list_trier(&instance->l_vehFiges, mQuelto_comparerVehRangSeq);
    int32_t nbFiges = list_length(&instance->l_vehFiges);
    const Vehicule *dernierFige = static_cast<const Vehicule *>(list_element_trie(&instance->l_vehFiges, nbFiges - 1));
    if (dernierFige == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    instance->i_nbTeintes = teinteMaxJ > dernierFige->i_teinte ? teinteMaxJ : dernierFige->i_teinte;
    return 0;
}

/*
** i_nbMinimalPurges: day D sorted by colour again; counts the places where a
** new batch must start, either for a new colour or because the batch of the
** same colour would pass i_longMaxRafTeintes (from the colour counts of the
** compact copy when there is one).  -1 on a failed list access.
*/
static int mQuelto_calculerNbMinimalPurges(InstancePb *instance, JourCompact *jour)
{
    if (jour != nullptr) {
        instance->i_nbMinimalPurges =
            mQuelto_saturer(mQuelto_purgesDesTeintes(jour->teintes.get(), instance->i_longFilm, instance->i_longMaxRafTeintes));
        return 0;
    }
    const LIST *l = &instance->l_vehAOrdonnancer;
    list_trier(&instance->l_vehAOrdonnancer, mQuelto_comparerVehTeinte);
    int32_t nb = 0;
    int64_t rafale = 1;
    const Vehicule *prec = instance->i_longFilm > 1 ? static_cast<const Vehicule *>(list_element_trie(l, 0)) : nullptr;
    for (int32_t i = 1; i < instance->i_longFilm; i++) {
        mQuelto_anticiperVehicule(l, i, instance->i_longFilm, false);
        const Vehicule *cour = static_cast<const Vehicule *>(list_element_trie(l, i));
        if (prec == nullptr || cour == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        const bool memeTeinte = cour->i_teinte == prec->i_teinte;
        prec = cour;
        if (memeTeinte) {
            rafale++;
            if (rafale <= instance->i_longMaxRafTeintes) continue;
        }
        rafale = 1;
        nb++;
    }
    instance->i_nbMinimalPurges = nb;
    return 0;
}

/*
** The array of one priority's percentages (null for the low priority when it
** has no constraint), zero-filled: the counts wait in it.  -1 on allocation
** failure (reported).
*/
static int mQuelto_allouerPourcentages(InstancePb *instance, bool prio)
{
    int32_t nbEcarts = prio ? instance->i_nbEcartsPrio : instance->i_nbEcartsNonPrio;
    double **cible = prio ? &instance->d_vectPourcentVehEcPrio : &instance->d_vectPourcentVehEcNonPrio;
    *cible = nullptr;
    if (!prio && nbEcarts == 0) return 0;
    *cible = static_cast<double *>(mQuelto_allouer(nbEcarts, sizeof(double)));
    if (*cible == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    return 0;
}

/*
** The option figures of day D, from one walk of its vehicles in rank order:
** per constraint of each priority, the truncated whole percentage of day-D
** vehicles carrying its option (d_vectPourcentVehEcPrio, and
** d_vectPourcentVehEcNonPrio, which stays null without low priority
** constraint), and i_vectNbVehParNbEcarts[c], the number of day-D vehicles
** carrying exactly c options, both priorities together.  -1 on allocation or
** list failure, or a vehicle without the flags the counts need.
*/
static int mQuelto_calculerChiffresOptions(InstancePb *instance)
{
    const int32_t nbP = instance->i_nbEcartsPrio, nbNP = instance->i_nbEcartsNonPrio, n = instance->i_longFilm;
    if (mQuelto_allouerPourcentages(instance, true) != 0 || mQuelto_allouerPourcentages(instance, false) != 0)
        return -1;
    if ((nbP > 0 || nbNP > 0) && n <= 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    int64_t nbEntrees = static_cast<int64_t>(nbP) + nbNP + 1;
    int32_t *compte = static_cast<int32_t *>(mQuelto_allouer(nbEntrees, sizeof(int32_t)));
    if (compte == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    instance->i_vectNbVehParNbEcarts = compte;
    double *pourcentsP = instance->d_vectPourcentVehEcPrio, *pourcentsNP = instance->d_vectPourcentVehEcNonPrio;
    const LIST *l = &instance->l_vehAOrdonnancer;
    constexpr int32_t AVANCE = 8;
    for (int32_t r = 0; r < n; r++) {
        if (r + AVANCE < n) {
            const Vehicule *w = static_cast<const Vehicule *>(list_element(l, r + AVANCE));
            if (w != nullptr && w->i_vectBoolEcPrio != nullptr) __builtin_prefetch(w->i_vectBoolEcPrio);
            if (w != nullptr && w->i_vectBoolEcNonPrio != nullptr) __builtin_prefetch(w->i_vectBoolEcNonPrio);
        }
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, r));
        if (v == nullptr || (nbP > 0 && v->i_vectBoolEcPrio == nullptr) ||
            (nbNP > 0 && v->i_vectBoolEcNonPrio == nullptr)) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
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
    for (int prio = 1; prio >= 0; prio--) {
        double *pourcents = prio ? pourcentsP : pourcentsNP;
        for (int32_t k = 0; k < (prio ? nbP : nbNP); k++) {
            const int64_t nb = static_cast<int64_t>(pourcents[k]);
            pourcents[k] = static_cast<double>((nb * 100) / n);
        }
    }
    return 0;
}

/*
** Step 1 of preparation: sizes (the two constraint counts are published for
** the comparators), greatest denominator, frozen sufficiency, number of
** colours, lower bound of colour changes, percentages and option counts.
** 0, or -1 on an internal error (an empty day D or day D-1 included).
*/
int mQuelto_majIndicesInInstancePb(InstancePb *instance)
{
    if (instance == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    int32_t longFilm = list_length(&instance->l_vehAOrdonnancer);
    int32_t nbPrio = list_length(&instance->l_ecartsPrio);
    int32_t nbNonPrio = list_length(&instance->l_ecartsNonPrio);
    if (longFilm < 0 || nbPrio < 0 || nbNonPrio < 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    instance->i_longFilm = longFilm;
    instance->i_nbEcartsPrio = nbPrio;
    instance->i_nbEcartsNonPrio = nbNonPrio;
    g_QueltoNbEcartsPrio = nbPrio;
    g_QueltoNbEcartsNonPrio = nbNonPrio;
    mQuelto_associerCles();

    if (mQuelto_calculerDenominateurMax(instance) != 0) return -1;
    if (mQuelto_verifierSuffisanceFiges(instance) != 0) return -1;
    const auto jour = mQuelto_jourSansTri(instance, nullptr);
    if (mQuelto_calculerNbTeintes(instance, jour.get()) != 0) return -1;
    if (mQuelto_calculerNbMinimalPurges(instance, jour.get()) != 0) return -1;
    return mQuelto_calculerChiffresOptions(instance);
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

/* Stands for a flag array of zero places that a vehicle left null. */
static int32_t s_aucunDrapeau[1] = {0};

/*
** Fill a blank family from its first vehicle premier, of rank rang in
** l_vehAOrdonnancer: colour, first rank, size 1.  The ranks go to the room
** that the caller gave in i_vectRangVeh (enough for the family's vehicles),
** or, when it is null, to a new array of i_longFilm entries.  The family's
** flag vectors are those of its first vehicle: it shares the vehicle's arrays
** (which nothing writes after reading) instead of copying them, since a day
** may hold nearly as many families as vehicles.  0, or -1 on allocation
** failure or bad arguments (a vehicle without the flags the counts need).
*/
int mQuelto_initFamille(int32_t rang, const Vehicule *premier, Famille *famille, InstancePb *instance)
{
    if (premier == nullptr || famille == nullptr || instance == nullptr ||
        (instance->i_nbEcartsPrio > 0 && premier->i_vectBoolEcPrio == nullptr) ||
        (instance->i_nbEcartsNonPrio > 0 && premier->i_vectBoolEcNonPrio == nullptr)) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (famille->i_vectRangVeh == nullptr) {
        famille->i_vectRangVeh = static_cast<int32_t *>(mQuelto_allouer(instance->i_longFilm, sizeof(int32_t)));
        if (famille->i_vectRangVeh == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
    }
    famille->i_vectBoolEcPrio = premier->i_vectBoolEcPrio != nullptr ? premier->i_vectBoolEcPrio : s_aucunDrapeau;
    famille->i_vectBoolEcNonPrio =
        premier->i_vectBoolEcNonPrio != nullptr ? premier->i_vectBoolEcNonPrio : s_aucunDrapeau;
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
** Append a blank family and fill it from vehicle v of rank rang; its ranks
** go to rangs (room up to the end of the day).  The new family, or null on
** failure (reported).
*/
static Famille *mQuelto_ajouterFamille(InstancePb *instance, int32_t rang, const Vehicule *v, int32_t *rangs)
{
    Famille vierge{nullptr, -1, -1, nullptr, nullptr};
    if (list_append(&instance->l_familles, &vierge, 0) != 1) {
        QUELTO_ERREUR_INTERNE();
        return nullptr;
    }
    Famille *f = static_cast<Famille *>(list_element(&instance->l_familles, list_length(&instance->l_familles) - 1));
    if (f == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return nullptr;
    }
    f->i_vectRangVeh = rangs;
    if (mQuelto_initFamille(rang, v, f, instance) != 0) return nullptr;
    return f;
}

/*
** The rank (order of appending) of the element at position indice of the
** primary index of l.  0, or -1 on a failed conversion (reported).
*/
static int mQuelto_rangFromIndice(const LIST *l, int32_t indice, int32_t *rang)
{
    int handle = -1;
    int r = -1;
    if (list_handle_from_indice(l, indice, &handle) != 1 || list_rang_from_handle(l, handle, &r) != 1 || r < 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    *rang = r;
    return 0;
}

/*
** Sizes of the families into i_vectVFam and i_nbFamilles; S_MSG_ERR_0025 and
** -1 when they do not add up to i_longFilm.
*/
static int mQuelto_recenserFamilles(InstancePb *instance)
{
    int32_t nbFamilles = list_length(&instance->l_familles);
    if (nbFamilles < 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    instance->i_nbFamilles = nbFamilles;
    instance->i_vectVFam = static_cast<int32_t *>(mQuelto_allouer(nbFamilles, sizeof(int32_t)));
    if (instance->i_vectVFam == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    int64_t total = 0;
    for (int32_t f = 0; f < nbFamilles; f++) {
        const Famille *fam = static_cast<const Famille *>(list_element(&instance->l_familles, f));
        if (fam == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
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

/* Ask for the fields of v that start a family (its flag arrays and colour), which are read in no order. */
static void mQuelto_anticiperChampsFamille(const Vehicule *v)
{
    if (v == nullptr) return;
    __builtin_prefetch(&v->i_vectBoolEcPrio);
    __builtin_prefetch(&v->i_teinte);
}

/*
** The families from the day's exact family keys sorted by bytes (cles, in
** rank order among equal keys): each run of equal keys is a family, the
** walk's ranks are the family rank array, and day D is left in that order
** with the family comparator installed.  0, or -1 as the sorting walk.
*/
static int mQuelto_formerFamillesDesCles(InstancePb *instance, LIST_FCMP cle, const CleRang *cles)
{
    const int32_t n = instance->i_longFilm;
    const LIST *l = &instance->l_vehAOrdonnancer;
    int32_t *rangs = static_cast<int32_t *>(mQuelto_allouer(n, sizeof(int32_t)));
    if (rangs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    conseillerGrandesPages(rangs, static_cast<size_t>(n) * sizeof(int32_t));
    constexpr int32_t AVANCE = 16;
    Famille *courante = nullptr;
    for (int32_t i = 0; i < n; i++) {
        const int32_t rang = cles[i].rang;
        rangs[i] = rang;
        if (i + AVANCE < n) mQuelto_anticiperChampsFamille(static_cast<const Vehicule *>(list_element(l, cles[i + AVANCE].rang)));
        if (i > 0 && cles[i].cle == cles[i - 1].cle) {
            courante->i_vectRangVeh[courante->i_nbVeh++] = rang;
            continue;
        }
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, rang));
        if (v == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        courante = mQuelto_ajouterFamille(instance, rang, v, rangs + i);
        if (courante == nullptr) return -1;
    }
    if (list_installer_ordre(&instance->l_vehAOrdonnancer, cle, rangs) != 1) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    return mQuelto_recenserFamilles(instance);
}

/*
** Step 3 of preparation: sort day D by the family key that the weights
** choose and cut the sorted walk into families of vehicles equal under it.
** The families are runs of the sorted walk, so their ranks are kept in one
** array of i_longFilm entries, in walk order, each family holding the slice
** of its run.  0, or -1 (S_MSG_ERR_0030 when no weight, S_MSG_ERR_0025,
** internal errors).
*/
int mQuelto_majFamillesInInstancePb(InstancePb *instance)
{
    if (instance == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    list_init(&instance->l_familles, 0, 0, static_cast<int>(sizeof(Famille)), nullptr);
    LIST_FCMP cle = mQuelto_choisirCleFamille(instance);
    if (cle == nullptr) return -1;
    const LIST_FCLE cleExacte = mQuelto_cleExacteFamille(cle);
    auto jour = cleExacte != nullptr ? mQuelto_jourSansTri(instance, cleExacte) : nullptr;
    if (jour != nullptr && mQuelto_trierClesRangs(jour->cles.get(), instance->i_longFilm))
        return mQuelto_formerFamillesDesCles(instance, cle, jour->cles.get());
    LIST *l = &instance->l_vehAOrdonnancer;
    list_trier(l, cle);
    int32_t *rangs = static_cast<int32_t *>(mQuelto_allouer(instance->i_longFilm, sizeof(int32_t)));
    if (rangs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }

    const Vehicule *prec = nullptr;
    Famille *courante = nullptr;
    for (int32_t i = 0; i < instance->i_longFilm; i++) {
        mQuelto_anticiperVehicule(l, i, instance->i_longFilm, cle != mQuelto_comparerVehTeinte);
        const Vehicule *v = static_cast<const Vehicule *>(list_element_trie(l, i));
        int32_t rang = -1;
        if (v == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        if (mQuelto_rangFromIndice(l, i, &rang) != 0) return -1;
        if (i == 0 || cle(prec, v) != 0) {
            courante = mQuelto_ajouterFamille(instance, rang, v, rangs + i);
            if (courante == nullptr) return -1;
        } else {
            if (courante->i_nbVeh < 0 || courante->i_nbVeh >= instance->i_longFilm) {
                QUELTO_ERREUR_INTERNE();
                return -1;
            }
            courante->i_vectRangVeh[courante->i_nbVeh] = rang;
            courante->i_nbVeh++;
        }
        prec = v;
    }
    return mQuelto_recenserFamilles(instance);
}

/* ------------------------------------------------------------------------ */
/* Preparation, step 4: frozen history                                      */
/* ------------------------------------------------------------------------ */

/*
** The option flag matrix of one priority over the frozen history: one row of
** H entries per constraint.  Stays null for the low priority when there is no
** low priority constraint.  -1 on allocation or list failure.
*/
static int mQuelto_remplirHistorique(InstancePb *instance, bool prio, int32_t h)
{
    int32_t nbEcarts = prio ? instance->i_nbEcartsPrio : instance->i_nbEcartsNonPrio;
    int32_t ***cible = prio ? &instance->i_matBoolEcPrioVehFiges : &instance->i_matBoolEcNonPrioVehFiges;
    if (!prio && nbEcarts == 0) {
        *cible = nullptr;
        return 0;
    }
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
        if (v == nullptr || (nbEcarts > 0 && mQuelto_drapeaux(v, prio) == nullptr)) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
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
    if (instance == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    LIST *l = &instance->l_vehFiges;
    list_trier(l, mQuelto_comparerVehRangSeq);
    int32_t nbFiges = list_length(l);
    int32_t h = instance->i_denominateurMax - 1;
    if (nbFiges < 0 || h < 0 || h > nbFiges) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    instance->i_vectRangVehFiges = static_cast<int32_t *>(mQuelto_allouer(h, sizeof(int32_t)));
    if (instance->i_vectRangVehFiges == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    for (int32_t j = 0; j < h; j++) {
        if (mQuelto_rangFromIndice(l, nbFiges - h + j, &instance->i_vectRangVehFiges[j]) != 0) return -1;
    }
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
** and is the family's colour, else 0 (also for a family or an instance that
** cannot be read).  Answers whether or not i_matBoolTeinte was built.
*/
int mQuelto_drapeauTeinteFamille(const InstancePb *instance, int32_t f, int32_t t)
{
    if (instance == nullptr) return 0;
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
    if (instance == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    list_trier(&instance->l_vehFiges, mQuelto_comparerVehRangSeq);
    const Vehicule *dernier = static_cast<const Vehicule *>(
        list_element_trie(&instance->l_vehFiges, list_length(&instance->l_vehFiges) - 1));
    if (dernier == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    instance->i_teintePos_1 = dernier->i_teinte;

    int32_t nbFamilles = list_length(&instance->l_familles);
    if (nbFamilles < 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
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
        if (fam == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
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

/* Every constraint of both lists can be fetched by rank.  0 or -1. */
static int mQuelto_verifierEcarts(const InstancePb *instance)
{
    for (int32_t k = 0; k < instance->i_nbEcartsPrio; k++) {
        if (list_element(&instance->l_ecartsPrio, k) == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
    }
    for (int32_t k = 0; k < instance->i_nbEcartsNonPrio; k++) {
        if (list_element(&instance->l_ecartsNonPrio, k) == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
    }
    return 0;
}

/*
** Prepare a read instance: counts, weights, families, frozen history, colour
** figures, the reference's results record, then a check of the constraint
** lists.  Stops at the first step that fails.  0 or -1.
*/
int Quelto_majInstancePb(InstancePb *instance)
{
    if (instance == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (mQuelto_majIndicesInInstancePb(instance) != 0) return -1;
    if (mQuelto_majPoidsObjectifsInInstancePb(instance) != 0) return -1;
    if (mQuelto_majFamillesInInstancePb(instance) != 0) return -1;
    if (mQuelto_majVehFigesInInstancePb(instance) != 0) return -1;
    if (mQuelto_majRafalesTeintesInInstancePb(instance) != 0) return -1;
    if (Quelto_initIndicateursSolution(instance, &instance->indicateursSeqInitiale) != 0) return -1;
    return mQuelto_verifierEcarts(instance);
}

/* ------------------------------------------------------------------------ */
/* Results record                                                           */
/* ------------------------------------------------------------------------ */

/*
** Initialise a results record for the instance: zero-filled violation arrays
** (one entry per constraint; no constraint still gives a usable array) and
** the "not evaluated" values.  The names and d_note are not touched.
** 0, or -1 on allocation failure or missing arguments.
*/
int Quelto_initIndicateursSolution(InstancePb *instance, IndicateursSolution *indicateurs)
{
    if (instance == nullptr || indicateurs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
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

/* ------------------------------------------------------------------------ */
/* Evaluation: ratio constraints                                            */
/* ------------------------------------------------------------------------ */

/* The vehicle at position pos of the installed sequence, or null (reported). */
static const Vehicule *mQuelto_vehiculeEnPosition(const InstancePb *instance, int64_t pos)
{
    const Vehicule *v = nullptr;
    if (pos >= 0 && pos <= std::numeric_limits<int32_t>::max())
        v = static_cast<const Vehicule *>(list_element_trie(&instance->l_vehAOrdonnancer, static_cast<int>(pos)));
    if (v == nullptr) QUELTO_ERREUR_INTERNE();
    return v;
}

/* Constraints whose option flags one walk of the sequence gathers: one bit each. */
static constexpr int32_t QUELTO_ECARTS_PAR_PASSE = 32;

/* The option bits of the flags drapeaux[premier .. premier + nb - 1] (nb <= 32). */
static uint32_t mQuelto_bitsOptions(const int32_t *drapeaux, int32_t premier, int32_t nb)
{
    uint32_t bits = 0;
    for (int32_t b = 0; b < nb; b++) bits |= static_cast<uint32_t>(drapeaux[premier + b] == 1) << b;
    return bits;
}

/*
** Walk the installed sequence once and gather, for the constraints
** premier..premier+nb-1 of one priority (nb <= 32), the options of every
** position: bit b of options[i] is 1 when the vehicle at position i carries
** the option of constraint premier+b.  0, or -1 (reported) when a position
** cannot be had or a vehicle has no flags.
*/
static int mQuelto_rassemblerOptions(const InstancePb *instance, bool prio, int32_t premier, int32_t nb,
                                     uint32_t *options)
{
    const LIST *l = &instance->l_vehAOrdonnancer;
    for (int32_t i = 0; i < instance->i_longFilm; i++) {
        mQuelto_anticiperVehicule(l, i, instance->i_longFilm, true);
        const Vehicule *v = mQuelto_vehiculeEnPosition(instance, i);
        if (v == nullptr) return -1;
        const int32_t *drapeaux = mQuelto_drapeaux(v, prio);
        if (drapeaux == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        options[i] = mQuelto_bitsOptions(drapeaux, premier, nb);
    }
    return 0;
}

/*
** The installed sequence seen once, for one evaluation and for the report
** on it.  Each of the steps of an evaluation would walk the sequence on its
** own, the ratio constraints once per 32 of them, and the report once more;
** mQuelto_evaluerSequence takes one photo of it instead: per position, the
** colour and the option bits of the first 32 constraints of each priority,
** both priorities in one word when they have 32 constraints or fewer
** together (the low priority bits then follow the high priority ones).  The
** steps walk the sequence themselves only for the constraints past the 32nd
** of a priority, or when they are called on their own.
**
** A sequence visits the vehicles in no order of memory, one far fetch per
** vehicle; the photo reads them in rank order instead (the order of their
** storage, which the processor fetches ahead) and writes each one's colour
** and bits at its position, found in the inverse of the installed order.
**
** There is one photo, kept from one evaluation to the next with its arrays
** (they grow, never shrink, and live until the process ends: memory touched
** once is not paid for again).  It records what it was taken of: the
** instance, the results record evaluated, the state of the list (storage,
** primary index and installed order, length), the constraint counts and a
** digest of the order itself.  The report on that record takes the photo only when all of them
** still hold (mQuelto_photoSequenceEvaluee); an evaluation that fails or
** takes no photo leaves none to take.
*/
struct PhotoSequence {
    /* The arrays, each with its capacity in positions. */
    int32_t *teintes = nullptr;                 /* by position: the colour */
    int32_t *positions = nullptr;               /* by rank: the position, while the photo is taken */
    uint32_t *mots[2] = {nullptr, nullptr};     /* by position: option bits ([1] used first) */
    int64_t capTeintes = 0, capPositions = 0, capMots[2] = {0, 0};
    /* Per priority ([1] high, [0] low): its bits, their first bit, how many constraints. */
    const uint32_t *options[2] = {nullptr, nullptr};
    int decalage[2] = {0, 0};
    int32_t nbOptions[2] = {0, 0};

    /* What the photo shows; valide is false while there is none. */
    bool valide = false;
    const InstancePb *instance = nullptr;
    const IndicateursSolution *indicateurs = nullptr;
    const LIST *liste = nullptr;
    LIST etatListe{};                           /* the list record when the photo was taken */
    int32_t longFilm = 0, teintePos_1 = 0, nbEcarts[2] = {0, 0};
    uint64_t empreinteOrdre = 0;                /* digest of the primary index */
    IndicateursSolution resultats{};            /* the record as the evaluation left it */
};
static PhotoSequence s_photo;

/* Make *tableau hold n entries of taille bytes; false when memory runs out (array kept). */
static bool mQuelto_assurerPlaces(void **tableau, int64_t *capacite, int64_t n, size_t taille)
{
    if (n <= *capacite) return true;
    if (static_cast<uint64_t>(n) > SIZE_MAX / taille) return false;
    void *p = realloc(*tableau, static_cast<size_t>(n) * taille);
    if (p == nullptr) return false;
    *tableau = p;
    *capacite = n;
    return true;
}

/* The digest of the step i -> rank r of an order. */
static uint64_t mQuelto_empreinte(uint64_t h, int32_t r)
{
    return (h ^ static_cast<uint32_t>(r)) * 0x100000001b3u;
}

/*
** Read the installed order of l (n positions): its digest into *empreinte
** and, when positions is given, the position of each rank into it.  false
** (nothing reported) when l has no active primary index of n positions,
** when one does not give a rank below n, or, positions given, when a rank
** comes twice (some position would be left without a vehicle).  The
** primary index is read in
** place, as list_element_trie reads it: while it is active and its array
** exists, primaryIndex[0..count-1] are the ranks in the installed order
** (list.h).
*/
static bool mQuelto_lireOrdre(const LIST *l, int32_t n, int32_t *positions, uint64_t *empreinte)
{
    if (l->initMarker != LIST_MARQUEUR_INIT || !l->primaryActive || l->primaryIndex == nullptr || l->count != n)
        return false;
    const int32_t *ordre = l->primaryIndex;
    if (positions != nullptr) memset(positions, 0xff, static_cast<size_t>(n) * sizeof(int32_t));
    uint64_t h = 0xcbf29ce484222325u;
    for (int32_t i = 0; i < n; i++) {
        const int32_t r = ordre[i];
        if (r < 0 || r >= n) return false;
        if (positions != nullptr) {
            if (positions[r] != -1) return false;
            positions[r] = i;
        }
        h = mQuelto_empreinte(h, r);
    }
    *empreinte = h;
    return true;
}

/*
** The option bits of flag arrays met while a photo is taken, by the array's
** address: vehicles with the same options share their arrays (the reader
** keeps one array per combination met), so most vehicles find theirs here
** instead of testing each flag.  Valid for one pass over the vehicles with
** one number of flags: nothing writes a flag meanwhile.
*/
struct MemoOptions {
    static constexpr size_t TAILLE = 2048;
    const int32_t *adresses[TAILLE];
    uint32_t bits[TAILLE];
};
static MemoOptions s_memoOptions[2];

/* The bits of the nb flags of drapeaux (see mQuelto_bitsOptions), through memo. */
static inline uint32_t mQuelto_bitsMemo(MemoOptions &memo, const int32_t *drapeaux, int32_t nb)
{
    const size_t i = (reinterpret_cast<uintptr_t>(drapeaux) / sizeof(int32_t)) % MemoOptions::TAILLE;
    if (memo.adresses[i] != drapeaux) {
        memo.adresses[i] = drapeaux;
        memo.bits[i] = mQuelto_bitsOptions(drapeaux, 0, nb);
    }
    return memo.bits[i];
}

/* Lay out the option bits of ph for nbP and nbNP constraints (at most 32 each) over n positions. */
static bool mQuelto_preparerMots(PhotoSequence &ph, int32_t nbP, int32_t nbNP, int64_t n)
{
    ph.nbOptions[1] = nbP;
    ph.nbOptions[0] = nbNP;
    const bool unMot = nbP + nbNP <= QUELTO_ECARTS_PAR_PASSE;
    if (nbP + nbNP > 0 && !mQuelto_assurerPlaces(reinterpret_cast<void **>(&ph.mots[1]), &ph.capMots[1], n,
                                                 sizeof(uint32_t)))
        return false;
    if (!unMot && !mQuelto_assurerPlaces(reinterpret_cast<void **>(&ph.mots[0]), &ph.capMots[0], n, sizeof(uint32_t)))
        return false;
    ph.options[1] = nbP > 0 ? ph.mots[1] : nullptr;
    ph.decalage[1] = 0;
    ph.options[0] = nbNP > 0 ? (unMot ? ph.mots[1] : ph.mots[0]) : nullptr;
    ph.decalage[0] = unMot ? nbP : 0;
    return true;
}

/*
** Take the photo of the installed sequence for an evaluation (its key is
** completed by mQuelto_validerPhoto when the evaluation succeeds).  With
** noterAbsents, ph.positions[r] is left at -1 for the vehicles of rank r
** that the candidate did not place (i_rangSeqCandidat -1), since the
** vehicles are read in rank order anyway.  false, with nothing reported,
** when memory is short or a position, a vehicle or a vehicle's flags cannot
** be had: the steps then walk the sequence themselves and report what they
** meet.
*/
static bool mQuelto_photographier(const InstancePb *instance, PhotoSequence &ph, bool noterAbsents)
{
    ph.valide = false;
    const int32_t n = instance->i_longFilm;
    const int32_t nbP = instance->i_nbEcartsPrio < QUELTO_ECARTS_PAR_PASSE ? instance->i_nbEcartsPrio
                                                                          : QUELTO_ECARTS_PAR_PASSE;
    const int32_t nbNP = instance->i_nbEcartsNonPrio < QUELTO_ECARTS_PAR_PASSE ? instance->i_nbEcartsNonPrio
                                                                              : QUELTO_ECARTS_PAR_PASSE;
    const LIST *l = &instance->l_vehAOrdonnancer;
    const int64_t places = static_cast<int64_t>(n) + 1;
    if (n < 0 || l->initMarker != LIST_MARQUEUR_INIT || l->count != n || nbP < 0 || nbNP < 0 ||
        !mQuelto_assurerPlaces(reinterpret_cast<void **>(&ph.teintes), &ph.capTeintes, places, sizeof(int32_t)) ||
        !mQuelto_assurerPlaces(reinterpret_cast<void **>(&ph.positions), &ph.capPositions, places, sizeof(int32_t)) ||
        !mQuelto_preparerMots(ph, nbP, nbNP, places))
        return false;
    if (!mQuelto_lireOrdre(l, n, ph.positions, &ph.empreinteOrdre)) return false;
    for (MemoOptions &memo : s_memoOptions)
        for (const int32_t *&adresse : memo.adresses) adresse = nullptr;
    uint32_t *motsP = ph.mots[1];
    uint32_t *motsNP = ph.options[0] == ph.mots[0] ? ph.mots[0] : nullptr;
    const int decalageNP = ph.decalage[0];
    for (int32_t r = 0; r < n; r++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, r));
        if (v == nullptr || (nbP > 0 && v->i_vectBoolEcPrio == nullptr) ||
            (nbNP > 0 && v->i_vectBoolEcNonPrio == nullptr))
            return false;
        const int32_t i = ph.positions[r];
        if (noterAbsents && v->i_rangSeqCandidat == -1) ph.positions[r] = -1;
        ph.teintes[i] = v->i_teinte;
        const uint32_t bitsP = nbP > 0 ? mQuelto_bitsMemo(s_memoOptions[1], v->i_vectBoolEcPrio, nbP) : 0;
        const uint32_t bitsNP = nbNP > 0 ? mQuelto_bitsMemo(s_memoOptions[0], v->i_vectBoolEcNonPrio, nbNP) : 0;
        if (motsNP != nullptr) {
            motsP[i] = bitsP;
            motsNP[i] = bitsNP;
        } else if (motsP != nullptr) {
            motsP[i] = nbNP > 0 ? bitsP | (bitsNP << decalageNP) : bitsP;
        }
    }
    ph.instance = instance;
    ph.liste = l;
    ph.etatListe = *l;
    ph.longFilm = n;
    ph.teintePos_1 = instance->i_teintePos_1;
    ph.nbEcarts[1] = instance->i_nbEcartsPrio;
    ph.nbEcarts[0] = instance->i_nbEcartsNonPrio;
    return true;
}

/* The fields of a list record that decide its sequence: equal for the same storage, order and length. */
static bool mQuelto_memeEtatListe(const LIST &a, const LIST &b)
{
    return a.initMarker == b.initMarker && a.elementSize == b.elementSize && a.count == b.count &&
           a.capacity == b.capacity && a.blocks == b.blocks && a.nbBlocks == b.nbBlocks &&
           a.blockOf == b.blockOf && a.primaryIndex == b.primaryIndex && a.primaryActive == b.primaryActive &&
           a.primarySorted == b.primarySorted && a.fcmp == b.fcmp;
}

/* The figures of two results records are the same (names aside). */
static bool mQuelto_memesResultats(const IndicateursSolution &a, const IndicateursSolution &b)
{
    return a.i_flagRapportComplet == b.i_flagRapportComplet && a.i_nbPurges == b.i_nbPurges &&
           memcmp(&a.d_longMoyRafales, &b.d_longMoyRafales, sizeof(double)) == 0 &&
           a.i_flagLongMaxRafTeintesOk == b.i_flagLongMaxRafTeintesOk &&
           a.i_teinteRafaleTropLongue == b.i_teinteRafaleTropLongue &&
           a.i_longRafaleTropLongue == b.i_longRafaleTropLongue && a.i_vectNbViolEcPrio == b.i_vectNbViolEcPrio &&
           a.i_vectNbViolEcNonPrio == b.i_vectNbViolEcNonPrio && a.i_nbViolEcPrio == b.i_nbViolEcPrio &&
           a.i_nbViolEcNonPrio == b.i_nbViolEcNonPrio && memcmp(&a.d_note, &b.d_note, sizeof(double)) == 0;
}

/* Make the photo taken for indicateurs available to the report on it. */
static void mQuelto_validerPhoto(PhotoSequence &ph, const IndicateursSolution *indicateurs)
{
    ph.indicateurs = indicateurs;
    ph.resultats = *indicateurs;
    ph.valide = true;
}

/*
** The photo of the sequence evaluated last into indicateurs, when the
** instance's list still holds that sequence: same instance, same record
** with the figures the evaluation gave it, same list storage, primary index
** and installed order, and the same ranks position by position (read again
** from the primary index).  The vehicles themselves are not read again: a
** report prints the sequence that was evaluated, and nothing changes a
** vehicle between the two.  false (nothing reported) otherwise.
*/
bool mQuelto_photoSequenceEvaluee(const InstancePb *instance, const IndicateursSolution *indicateurs,
                                  PhotoSequenceEvaluee *photo)
{
    const PhotoSequence &ph = s_photo;
    if (!ph.valide || instance == nullptr || indicateurs == nullptr || photo == nullptr || ph.instance != instance ||
        ph.indicateurs != indicateurs || ph.liste != &instance->l_vehAOrdonnancer ||
        !mQuelto_memeEtatListe(ph.etatListe, instance->l_vehAOrdonnancer) || ph.longFilm != instance->i_longFilm ||
        ph.teintePos_1 != instance->i_teintePos_1 || ph.nbEcarts[1] != instance->i_nbEcartsPrio ||
        ph.nbEcarts[0] != instance->i_nbEcartsNonPrio || !mQuelto_memesResultats(ph.resultats, *indicateurs))
        return false;
    uint64_t empreinte = 0;
    if (!mQuelto_lireOrdre(ph.liste, ph.longFilm, nullptr, &empreinte) || empreinte != ph.empreinteOrdre) return false;
    photo->i_longFilm = ph.longFilm;
    photo->i_vectTeintes = ph.teintes;
    photo->i_vectOptionsPrio = ph.options[1];
    photo->i_decalagePrio = ph.decalage[1];
    photo->i_nbOptionsPrio = ph.nbOptions[1];
    photo->i_vectOptionsNonPrio = ph.options[0];
    photo->i_decalageNonPrio = ph.decalage[0];
    photo->i_nbOptionsNonPrio = ph.nbOptions[0];
    return true;
}

/* Excess of a window holding nb vehicles with the option, for numerator p. */
static int64_t mQuelto_exces(int64_t nb, int64_t p)
{
    return nb > p ? nb - p : 0;
}

/*
** Violations of the day-D windows of one constraint (numerator p, denominator
** q) whose options are bit b of options[0..N-1]: starts 0..N-p-1, each window
** holding positions i..min(i+q, N)-1, shorter near the end of day D.  The
** count of a window is carried to the next one (drop position i, take
** position i+q when it is in day D).  Starts past the end of day D (possible
** only with p < 0) hold no vehicle and each exceed by -p.  Added to *viol.
*/
static void mQuelto_violFenetresJourJ(const InstancePb *instance, const uint32_t *options, int b, int64_t p,
                                      int64_t q, int64_t *viol)
{
    const int64_t n = instance->i_longFilm;
    const int64_t dernierDebut = n - p - 1;
    auto option = [&](int64_t pos) -> int64_t { return (options[pos] >> b) & 1; };
    int64_t fin = q < n ? q : n; /* window [i, fin) */
    int64_t nb = 0;
    for (int64_t pos = 0; pos < fin; pos++) nb += option(pos);
    for (int64_t i = 0; i <= dernierDebut && i < n; i++) {
        *viol = mQuelto_ajouterSature(*viol, mQuelto_exces(nb, p));
        nb -= option(i);
        if (i + q < n) nb += option(i + q);
    }
    if (dernierDebut >= n) *viol = mQuelto_ajouterSature(*viol, (dernierDebut - n + 1) * mQuelto_exces(0, p));
}

/*
** Violations of the windows of constraint k that straddle day D-1 and day D:
** for j' = M-q..M-2, history entries j'..M-2 and day-D positions
** 0..q-(M-j'), q vehicles in all.  History places before entry 0 (a day D-1
** shorter than the history needed) count as vehicles without the option.
** From one j' to the next the window drops history entry j' and takes the
** next day-D position.  A day D too short for a window is an internal error,
** reported when the first such window is reached, the earlier windows being
** added already.  Added to *viol.  0 or -1.
*/
static int mQuelto_violFenetresChevauchantes(const InstancePb *instance, bool prio, int32_t k,
                                             const uint32_t *options, int b, int64_t p, int64_t q, int64_t *viol)
{
    const int64_t m = instance->i_denominateurMax;
    const int64_t n = instance->i_longFilm;
    if (q < 2) return 0; /* no window */
    int32_t **hist = prio ? instance->i_matBoolEcPrioVehFiges : instance->i_matBoolEcNonPrioVehFiges;
    const int64_t premierJ = m - q;
    int64_t nbHist = 0;
    for (int64_t j = premierJ < 0 ? 0 : premierJ; j <= m - 2; j++) {
        if (hist == nullptr || hist[k] == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        nbHist += hist[k][j] == 1;
    }
    int64_t nbJour = 0;
    for (int64_t jp = premierJ; jp <= m - 2; jp++) {
        if (jp > premierJ && jp - 1 >= 0) nbHist -= hist[k][jp - 1] == 1;
        const int64_t dernierePos = q - (m - jp);
        if (dernierePos >= n) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        nbJour += (options[dernierePos] >> b) & 1;
        *viol = mQuelto_ajouterSature(*viol, mQuelto_exces(nbHist + nbJour, p));
    }
    return 0;
}

/*
** Day-D windows of up to 32 constraints at once.  Constraint j of a group
** has its option at bit j of the words W[0..N-1] (after the shift given)
** and is a lane of 8-bit counters: at start i its counter holds the count
** of the window i..i+q-1 (cut at the end of day D), its excess is the
** counter minus min(counter, p), and from one start to the next the counter
** takes the bit of position i+q and drops that of position i.  The bits
** entering each lane are gathered first, for a stretch of positions at a
** time, one pass per distinct q.  Every start 0..N-1 is counted: a window
** starting at N-p or later holds at most p vehicles and exceeds by 0, so this
** is the sum of mQuelto_violFenetresJourJ.  Only for 0 <= p and 1 <= q <=
** QUELTO_Q_MAX_VOIES (counters stay below 256); other constraints are no
** lane.
*/
static constexpr int64_t QUELTO_Q_MAX_VOIES = 254;
static constexpr int QUELTO_NB_VOIES = 32;

typedef uint8_t VoiesOctets __attribute__((vector_size(16)));
typedef uint16_t VoiesCompteurs __attribute__((vector_size(32)));
typedef uint64_t VoiesMots __attribute__((vector_size(16)));

/* The 8 bits of o as 8 bytes of 0 or 1 (bit b into byte b). */
struct TableOctets {
    uint64_t v[256];
    constexpr TableOctets() : v()
    {
        for (int o = 0; o < 256; o++)
            for (int b = 0; b < 8; b++)
                if ((o >> b) & 1) v[o] |= uint64_t{1} << (8 * b);
    }
};
static constexpr TableOctets QUELTO_OCTETS{};

/* Bits 16h..16h+15 of m as 16 lanes of 0 or 1. */
static inline VoiesOctets mQuelto_voies(uint32_t m, int h)
{
    const uint32_t s = m >> (16 * h);
    VoiesMots x = {QUELTO_OCTETS.v[s & 0xff], QUELTO_OCTETS.v[(s >> 8) & 0xff]};
    return reinterpret_cast<VoiesOctets &>(x);
}

struct VoiesFenetres {
    int nb = 0;                                /* lanes 0..nb-1 */
    uint32_t actives = 0;                      /* bit j: lane j counts */
    int64_t p[QUELTO_NB_VOIES] = {}, q[QUELTO_NB_VOIES] = {};
    int64_t viol[QUELTO_NB_VOIES] = {};        /* the result per lane */
};

/* The day-D violations of the lanes of v over W[0..n-1] (see above) into v.viol. */
static void mQuelto_violJourJParVoies(const uint32_t *W, int64_t n, int decalage, VoiesFenetres &v)
{
    constexpr int64_t TRONCON = 2048;
    const int nbMoities = v.nb > 16 ? 2 : 1;
    VoiesOctets cnt[2] = {}, plafond[2] = {};
    uint8_t c0[QUELTO_NB_VOIES] = {}, pl[QUELTO_NB_VOIES];
    for (int j = 0; j < QUELTO_NB_VOIES; j++) {
        pl[j] = 255;
        v.viol[j] = 0;
        if (!((v.actives >> j) & 1)) continue;
        pl[j] = static_cast<uint8_t>(v.p[j] < 255 ? v.p[j] : 255);
        for (int64_t t = 0; t < v.q[j] && t < n; t++)
            c0[j] = static_cast<uint8_t>(c0[j] + ((W[t] >> (decalage + j)) & 1));
    }
    memcpy(cnt, c0, sizeof cnt);
    memcpy(plafond, pl, sizeof plafond);
    uint32_t entrants[TRONCON];
    int64_t sommes[QUELTO_NB_VOIES] = {};
    for (int64_t i0 = 0; i0 < n; i0 += TRONCON) {
        const int64_t lon = n - i0 < TRONCON ? n - i0 : TRONCON;
        /* entrants[t], lane j: the bit of position i0 + t + q_j. */
        for (int64_t t = 0; t < lon; t++) entrants[t] = 0;
        uint32_t restantes = v.actives;
        while (restantes != 0) {
            const int64_t q = v.q[__builtin_ctz(restantes)];
            uint32_t masque = 0;
            for (int j = 0; j < v.nb; j++)
                if (((restantes >> j) & 1) && v.q[j] == q) masque |= 1u << j;
            restantes &= ~masque;
            /* Positions past the end of day D bring nothing. */
            const int64_t dansJour = n - i0 - q < lon ? (n - i0 - q > 0 ? n - i0 - q : 0) : lon;
            for (int64_t t = 0; t < dansJour; t++)
                entrants[t] |= static_cast<uint32_t>(W[i0 + t + q] >> decalage) & masque;
        }
        for (int64_t t0 = 0; t0 < lon; t0 += 256) {
            const int64_t fin = lon - t0 < 256 ? lon : t0 + 256;
            VoiesCompteurs acc[2] = {};
            for (int64_t t = t0; t < fin; t++) {
                const uint32_t sortants = static_cast<uint32_t>(W[i0 + t] >> decalage) & v.actives;
                for (int h = 0; h < nbMoities; h++) {
                    const VoiesOctets c = cnt[h];
                    const VoiesOctets m = c < plafond[h] ? c : plafond[h];
                    acc[h] += __builtin_convertvector(c - m, VoiesCompteurs);
                    cnt[h] = c + mQuelto_voies(entrants[t], h) - mQuelto_voies(sortants, h);
                }
            }
            for (int h = 0; h < nbMoities; h++)
                for (int j = 0; j < 16; j++) sommes[16 * h + j] += acc[h][j];
        }
    }
    for (int j = 0; j < QUELTO_NB_VOIES; j++) v.viol[j] = sommes[j];
}

/*
** The lanes of the first constraints of list l (at most 32) whose bits are
** in a photo: fetched once, without reporting a constraint that cannot be
** had (the count of the constraints reports it in its turn).
*/
static void mQuelto_preparerVoies(const LIST *l, int32_t nbEcarts, VoiesFenetres &v)
{
    v.nb = nbEcarts < QUELTO_NB_VOIES ? nbEcarts : QUELTO_NB_VOIES;
    v.actives = 0;
    for (int j = 0; j < v.nb; j++) {
        const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, j));
        if (e == nullptr) break;
        v.p[j] = e->i_numerateur;
        v.q[j] = e->i_denominateur;
        if (v.p[j] >= 0 && v.q[j] >= 1 && v.q[j] <= QUELTO_Q_MAX_VOIES) v.actives |= 1u << j;
    }
}

/*
** Violations of every constraint of one priority into the record's array
** and total, constraint after constraint.  The options of the first 32
** constraints are those of photo when given (constraint k at bit
** decalage + k of its words); otherwise, and for the next groups of 32,
** they are gathered from the sequence into a temporary array of N words.
** The day-D windows of the photo's constraints are counted beforehand, all
** in one pass (mQuelto_violJourJParVoies); the other windows with running
** sums, O(N) per constraint.  0, or -1 on an internal error (entries already
** written stay; the failing constraint's entry holds the windows counted
** before the failure).
*/
static int mQuelto_calculerNbViolEcarts(InstancePb *instance, IndicateursSolution *indicateurs, bool prio,
                                        const uint32_t *photo, int decalage)
{
    if (instance == nullptr || indicateurs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    LIST *l = prio ? &instance->l_ecartsPrio : &instance->l_ecartsNonPrio;
    int32_t nbEcarts = prio ? instance->i_nbEcartsPrio : instance->i_nbEcartsNonPrio;
    int32_t *vectViol = prio ? indicateurs->i_vectNbViolEcPrio : indicateurs->i_vectNbViolEcNonPrio;
    if (nbEcarts > 0 && vectViol == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    uint32_t *rassemblees = nullptr;
    if (nbEcarts > (photo != nullptr ? QUELTO_ECARTS_PAR_PASSE : 0)) {
        rassemblees = static_cast<uint32_t *>(mQuelto_allouer(instance->i_longFilm, sizeof(uint32_t)));
        if (rassemblees == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
    }
    const uint32_t *options = photo;
    VoiesFenetres voies;
    if (photo != nullptr) {
        mQuelto_preparerVoies(l, nbEcarts, voies);
        mQuelto_violJourJParVoies(photo, instance->i_longFilm, decalage, voies);
    }
    int rc = 0;
    int64_t total = 0;
    for (int32_t k = 0; k < nbEcarts && rc == 0; k++) {
        const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, k));
        if (e == nullptr) {
            QUELTO_ERREUR_INTERNE();
            rc = -1;
            break;
        }
        if (k % QUELTO_ECARTS_PAR_PASSE == 0 && (k > 0 || photo == nullptr)) {
            const int32_t nb = nbEcarts - k < QUELTO_ECARTS_PAR_PASSE ? nbEcarts - k : QUELTO_ECARTS_PAR_PASSE;
            rc = mQuelto_rassemblerOptions(instance, prio, k, nb, rassemblees);
            if (rc != 0) break;
            options = rassemblees;
        }
        /* Bit k of the photo (after its first bit), or of the group gathered. */
        const int b = options == rassemblees ? k % QUELTO_ECARTS_PAR_PASSE : decalage + k;
        int64_t viol = 0;
        vectViol[k] = 0;
        if (options == photo && k < voies.nb && ((voies.actives >> k) & 1))
            viol = voies.viol[k];
        else
            mQuelto_violFenetresJourJ(instance, options, b, e->i_numerateur, e->i_denominateur, &viol);
        rc = mQuelto_violFenetresChevauchantes(instance, prio, k, options, b, e->i_numerateur, e->i_denominateur,
                                               &viol);
        vectViol[k] = mQuelto_saturer(viol);
        total = mQuelto_ajouterSature(total, vectViol[k]);
    }
    free(rassemblees); /* a temporary: it lives for one evaluation */
    if (rc != 0) return -1;
    if (prio)
        indicateurs->i_nbViolEcPrio = mQuelto_saturer(total);
    else
        indicateurs->i_nbViolEcNonPrio = mQuelto_saturer(total);
    return 0;
}

/* Violations of the high priority constraints.  0 or -1. */
int mQuelto_calculerNbViolEcartsPrio(InstancePb *instance, IndicateursSolution *indicateurs)
{
    return mQuelto_calculerNbViolEcarts(instance, indicateurs, true, nullptr, 0);
}

/* Violations of the low priority constraints.  0 or -1. */
int mQuelto_calculerNbViolEcartsNonPrio(InstancePb *instance, IndicateursSolution *indicateurs)
{
    return mQuelto_calculerNbViolEcarts(instance, indicateurs, false, nullptr, 0);
}

/* ------------------------------------------------------------------------ */
/* Evaluation: paint colours                                                */
/* ------------------------------------------------------------------------ */

/* Record the first batch found longer than the limit. */
static void mQuelto_noterRafaleTropLongue(IndicateursSolution *indicateurs, int32_t teinte, int64_t longueur)
{
    indicateurs->i_flagLongMaxRafTeintesOk = 0;
    indicateurs->i_teinteRafaleTropLongue = teinte;
    indicateurs->i_longRafaleTropLongue = mQuelto_saturer(longueur);
}

/*
** The colour at position i of the installed sequence into *teinte: from
** teintes when given, else from the vehicle.  false when the position cannot
** be had (reported).
*/
static bool mQuelto_teinteEnPosition(const InstancePb *instance, const int32_t *teintes, int32_t i, int32_t *teinte)
{
    if (teintes != nullptr) {
        *teinte = teintes[i];
        return true;
    }
    mQuelto_anticiperVehicule(&instance->l_vehAOrdonnancer, i, instance->i_longFilm, false);
    const Vehicule *v = mQuelto_vehiculeEnPosition(instance, i);
    if (v == nullptr) return false;
    *teinte = v->i_teinte;
    return true;
}

/*
** Batch limit check, only when paint colour changes carry a weight: records
** the first batch of day-D vehicles of one colour longer than
** i_longMaxRafTeintes (a batch continuing the last frozen colour counts from
** position 0).  The colours are those of teintes when given.  0, or -1 on an
** internal error.
*/
static int mQuelto_verifierRafales(InstancePb *instance, IndicateursSolution *indicateurs, const int32_t *teintes)
{
    if (instance == nullptr || indicateurs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (!(instance->d_poidsPurges > 0.0)) return 0;
    int32_t teintePrec = instance->i_teintePos_1;
    int64_t longueur = 0;
    for (int32_t i = 0; i < instance->i_longFilm; i++) {
        int32_t teinte = 0;
        if (!mQuelto_teinteEnPosition(instance, teintes, i, &teinte)) return -1;
        if (teinte != teintePrec) {
            if (longueur > instance->i_longMaxRafTeintes) {
                mQuelto_noterRafaleTropLongue(indicateurs, teintePrec, longueur);
                return 0;
            }
            longueur = 0;
        }
        longueur++;
        teintePrec = teinte;
    }
    if (longueur > instance->i_longMaxRafTeintes) mQuelto_noterRafaleTropLongue(indicateurs, teintePrec, longueur);
    return 0;
}

/* The batch limit check on the sequence itself (see mQuelto_verifierRafales).  0 or -1. */
int mQuelto_verifierLongMaxRafTeintes(InstancePb *instance, IndicateursSolution *indicateurs)
{
    return mQuelto_verifierRafales(instance, indicateurs, nullptr);
}

/*
** Number of colour changes (position 0 compared with the last frozen colour)
** and N / changes in double precision (+infinity without change).  The
** colours are those of teintes when given.  0, or -1 on an internal error.
*/
static int mQuelto_compterPurges(InstancePb *instance, IndicateursSolution *indicateurs, const int32_t *teintes)
{
    if (instance == nullptr || indicateurs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    int32_t teintePrec = instance->i_teintePos_1;
    int32_t nbPurges = 0;
    for (int32_t i = 0; i < instance->i_longFilm; i++) {
        int32_t teinte = 0;
        if (!mQuelto_teinteEnPosition(instance, teintes, i, &teinte)) return -1;
        if (teinte != teintePrec) nbPurges++;
        teintePrec = teinte;
    }
    indicateurs->i_nbPurges = nbPurges;
    if (nbPurges != 0)
        indicateurs->d_longMoyRafales = static_cast<double>(instance->i_longFilm) / static_cast<double>(nbPurges);
    else if (instance->i_longFilm > 0)
        indicateurs->d_longMoyRafales = std::numeric_limits<double>::infinity();
    else
        indicateurs->d_longMoyRafales = std::numeric_limits<double>::quiet_NaN();
    return 0;
}

/* The colour changes of the sequence itself (see mQuelto_compterPurges).  0 or -1. */
int mQuelto_calculerNbPurges(InstancePb *instance, IndicateursSolution *indicateurs)
{
    return mQuelto_compterPurges(instance, indicateurs, nullptr);
}

/* ------------------------------------------------------------------------ */
/* Evaluation: entry points                                                 */
/* ------------------------------------------------------------------------ */

/*
** The four steps then the mark, on the sequence installed on day D, from
** the photo s_photo when photo is true (taken just before); once they all
** succeeded, the photo is left for the report on indicateurs.  A failed step
** gets a second internal error here.  0 or -1.
*/
static int mQuelto_evaluerSequence(InstancePb *instance, IndicateursSolution *indicateurs, bool photo)
{
    PhotoSequence &ph = s_photo;
    if (mQuelto_calculerNbViolEcarts(instance, indicateurs, true, photo ? ph.options[1] : nullptr,
                                     ph.decalage[1]) != 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (mQuelto_calculerNbViolEcarts(instance, indicateurs, false, photo ? ph.options[0] : nullptr,
                                     ph.decalage[0]) != 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (mQuelto_verifierRafales(instance, indicateurs, photo ? ph.teintes : nullptr) != 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    if (mQuelto_compterPurges(instance, indicateurs, photo ? ph.teintes : nullptr) != 0) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    indicateurs->d_note = (indicateurs->i_nbViolEcPrio * instance->d_poidsEcPrio +
                           indicateurs->i_nbViolEcNonPrio * instance->d_poidsEcNonPrio) +
                          indicateurs->i_nbPurges * instance->d_poidsPurges;
    if (photo) mQuelto_validerPhoto(ph, indicateurs);
    return 0;
}

/* Evaluate the installed sequence into the instance's own record.  0 or -1. */
int Quelto_calculerIndicateursSurSeqInitiale(InstancePb *instance)
{
    if (instance == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    const bool photo = mQuelto_photographier(instance, s_photo, false);
    return mQuelto_evaluerSequence(instance, &instance->indicateursSeqInitiale, photo);
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

/*
** Warn (trace log, then standard output) about every day-D vehicle, in rank
** order, that the candidate left unplaced, then evaluate the installed
** sequence into indicateurs.  Unplaced vehicles are no failure.  The photo
** of the sequence, taken first (it writes nothing), has noted them; without
** a photo the vehicles are read again.  0 or -1.
*/
int Quelto_calculerIndicateursSurNumSeqCalcule(InstancePb *instance, IndicateursSolution *indicateurs)
{
    if (instance == nullptr || indicateurs == nullptr) {
        QUELTO_ERREUR_INTERNE();
        return -1;
    }
    const bool photo = mQuelto_photographier(instance, s_photo, true);
    for (int32_t r = 0; r < instance->i_longFilm; r++) {
        if (photo && s_photo.positions[r] != -1) continue;
        const Vehicule *v = static_cast<const Vehicule *>(list_element(&instance->l_vehAOrdonnancer, r));
        if (v == nullptr) {
            QUELTO_ERREUR_INTERNE();
            return -1;
        }
        if (v->i_rangSeqCandidat == -1) mQuelto_signalerAbsent(v);
    }
    return mQuelto_evaluerSequence(instance, indicateurs, photo);
}
