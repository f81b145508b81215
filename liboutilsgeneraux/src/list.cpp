/*
** The indexed list: storage, growth, access by rank, handle and index, the
** primary index with its sort, binary search and sorted insertion.
**
** Elements are copied into blocks of slots.  A block, once allocated, is never
** moved or freed, so the address of a stored element stays valid for the life
** of the list and an element may even be appended from the list's own storage.
** Growth adds one block and enlarges the small arrays indexed by block (and
** by rank: the tag bytes once kept, the primary index); the maps by rank and
** by handle of list.h are identities here and are computed, not stored (see
** Storage below).  A growth that fails
** part-way leaves some arrays larger than needed, which is harmless, and never
** touches capacity, count, the blocks already present or the doubling state.
**
** The primary index is an array of ranks.  It exists as soon as it is active
** and the list has a slot (activation on an empty list defers it to the first
** growth, which creates it with the other arrays), and it always has capacity
** entries.  Sorting permutes the CURRENT index order, so the order of equal
** elements after a sort depends on the order the previous sort left.
**
** Counts are 32-bit signed: the list refuses to grow past INT32_MAX slots (as
** if memory were exhausted) and every byte size is computed in size_t after a
** check that the product fits.
**
** Failures are recorded in the last-error record with the operation's name as
** message; list_length, list_append, list_activer_indexe_primaire, list_insert
** and the growth also write that message to the trace log.
*/
#include "list.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <utility>
#include <vector>

#include "applierrno.h"
#include "commande_unix.h"
#include "traces.h"

/* ---------------------------------------------------------------------------
** Failure recording.
*/

/* Record code with the operation's name, at line of this file. */
static void list_signaler(const ApplErrno &code, const char *nom, int ligne)
{
    appli_set_errno(code, nom, APPLI_SOURCE, ligne);
}

/* Record as list_signaler and write the same message to the trace log. */
static void list_signaler_trace(const ApplErrno &code, const char *nom, int ligne)
{
    appli_set_errno(code, nom, APPLI_SOURCE, ligne);
    f_dbg_trace(APPLI_SOURCE, ligne, nullptr, 0, "%s", nom);
}

static bool list_est_initialisee(const LIST *l)
{
    return l->initMarker == LIST_MARQUEUR_INIT;
}

/* The checks that the operations make on their arguments, each with the code it records. */
enum class ListControle { liste, initialisee, indexActif, comparaison, objet };

/*
** Make the checks of controles in their order on l (and on objet, the
** element or key that the operation was given): false after recording the
** first that fails, with the operation's name nom as message at line, and
** tracing it when trace.  The list itself is always checked first.
*/
static bool list_controler(const LIST *l, const void *objet, std::initializer_list<ListControle> controles,
                           const char *nom, int ligne, bool trace = false)
{
    for (ListControle c : controles) {
        const ApplErrno *code = nullptr;
        switch (c) {
        case ListControle::liste: code = l == nullptr ? &EA_LIST_PT_NULL : nullptr; break;
        case ListControle::initialisee: code = !list_est_initialisee(l) ? &EA_LIST_NON_INIT : nullptr; break;
        case ListControle::indexActif: code = !l->primaryActive ? &EA_LIST_INDEX_KO : nullptr; break;
        case ListControle::comparaison: code = l->fcmp == nullptr ? &EA_LIST_FCMP_NULL : nullptr; break;
        case ListControle::objet: code = objet == nullptr ? &EA_LIST_OBJ_NULL : nullptr; break;
        }
        if (code == nullptr) continue;
        (trace ? list_signaler_trace : list_signaler)(*code, nom, ligne);
        return false;
    }
    return true;
}

/* ---------------------------------------------------------------------------
** Allocation.  Every allocation of the container goes through these two
** functions so that a test can make the n-th one fail (list_test_limiter_
** allocations); outside tests they are plain malloc and realloc.
*/

/* Allocations still allowed to succeed, or -1: no limit. */
static int32_t s_allocationsPermises = -1;

void list_test_limiter_allocations(int nbPermises)
{
    s_allocationsPermises = nbPermises < 0 ? -1 : nbPermises;
}

static bool list_allocation_permise()
{
    if (s_allocationsPermises < 0) return true;
    if (s_allocationsPermises == 0) {
        errno = ENOMEM;
        return false;
    }
    --s_allocationsPermises;
    return true;
}

/*
** realloc(p, nb * taille), or null when the product does not fit in size_t.
** A zero-byte request asks for one byte, since realloc may answer it with null.
*/
static void *list_realloc_tableau(void *p, size_t nb, size_t taille)
{
    if (taille != 0 && nb > SIZE_MAX / taille) {
        errno = ENOMEM;
        return nullptr;
    }
    if (!list_allocation_permise()) return nullptr;
    const size_t octets = nb * taille;
    return realloc(p, octets == 0 ? 1 : octets);
}

/*
** Enlarge (or create) array tab to nb entries, keeping its content.  On
** failure tab is left as it was (still valid) and false is returned.
*/
template <typename T>
static bool list_agrandir(T *&tab, size_t nb)
{
    void *p = list_realloc_tableau(tab, nb, sizeof(T));
    if (p == nullptr) return false;
    tab = static_cast<T *>(p);
    conseillerGrandesPages(p, nb * sizeof(T));
    return true;
}

/*
** Element storage.  A block is written once, slot after slot, and never
** freed, so where its first writes fall decides most of its cost: a fault
** per 4 KiB page costs more than the records written there.  A block of at
** least LIST_BLOC_SEUL bytes gets an allocation of its own, advised to large
** pages (one fault per 2 MiB); a smaller one is carved from a shared zone
** allocated the same way, so that the first blocks of every list (1, 2, 4,
** ... slots) share pages too.  Unwritten parts of an allocation cost address
** space only.
*/
static constexpr size_t LIST_BLOC_SEUL = size_t{1} << 20;
static constexpr size_t LIST_ZONE = size_t{4} << 20;
static constexpr size_t LIST_ALIGNEMENT_SLOT = alignof(std::max_align_t);

/* The zone the small blocks are carved from, and what is left at its end. */
static char *s_zone = nullptr;
static size_t s_zoneLibre = 0;

/*
** Where a block starts past a cache line boundary: 16 bytes, as a block of
** the system's allocator straight from the system would.  The records were
** laid out and measured that way: elsewhere the identifier of every other
** vehicle (96-byte records) can straddle two cache lines.
*/
static constexpr size_t LIST_LIGNE_CACHE = 64;
static constexpr size_t LIST_DECALAGE_BLOC = 16;

/*
** octets bytes (octets > 0) starting LIST_DECALAGE_BLOC bytes past a cache
** line boundary, advised to large pages; null when memory runs out.
*/
static char *list_allouer_grand(size_t octets)
{
    if (octets > SIZE_MAX - LIST_LIGNE_CACHE) {
        errno = ENOMEM;
        return nullptr;
    }
    char *brut = static_cast<char *>(list_realloc_tableau(nullptr, octets + LIST_LIGNE_CACHE, 1));
    if (brut == nullptr) return nullptr;
    const uintptr_t ligne = (reinterpret_cast<uintptr_t>(brut) + LIST_LIGNE_CACHE - 1) & ~(LIST_LIGNE_CACHE - 1);
    char *bloc = brut + (ligne - reinterpret_cast<uintptr_t>(brut)) + LIST_DECALAGE_BLOC;
    if (bloc + octets > brut + octets + LIST_LIGNE_CACHE) bloc -= LIST_LIGNE_CACHE;
    conseillerGrandesPages(bloc, octets);
    return bloc;
}

/* Storage for a block of octets bytes (see above); null when memory runs out. */
static char *list_allouer_bloc(size_t octets)
{
    if (octets == 0) octets = 1;
    if (octets >= LIST_BLOC_SEUL) return list_allouer_grand(octets);
    const size_t arrondi = (octets + LIST_ALIGNEMENT_SLOT - 1) & ~(LIST_ALIGNEMENT_SLOT - 1);
    if (arrondi > s_zoneLibre) {
        char *zone = list_allouer_grand(LIST_ZONE);
        if (zone == nullptr) return nullptr;
        s_zone = zone;
        s_zoneLibre = LIST_ZONE;
    }
    char *bloc = s_zone;
    s_zone += arrondi;
    s_zoneLibre -= arrondi;
    return bloc;
}

/* ---------------------------------------------------------------------------
** Storage.
**
** Nothing deletes an element, so the maps of list.h by rank and by handle
** would only ever hold identities: handleAt[r] == r, rankOf[h] == h below
** count and -1 above, and blockOf[h] follows from the block sizes.  They are
** not kept (their pointers stay null) and are computed instead; a list of a
** million records saves the 12 MB they would take.  The tag bytes are kept
** only once a tag other than 0 has been given (tags null: every tag is 0).
*/

/*
** True when the blocks of l are those of doubling from one slot: sizes 1, 2,
** 4, ..., block b starting at handle 2^b - 1 (the last block may be cut at
** the 32-bit bound, which does not move its start).
*/
static bool list_par_doublement(const LIST *l)
{
    return l->expansionStep <= 0 && l->maxExpansion <= 0;
}

/*
** Address of the slot of handle h (0 <= h < capacity) in a list whose blocks
** are not those of plain doubling: the block is found from the step, or by
** bisection of the blocks' first handles.  Out of line: the lists walked
** most double.
*/
[[gnu::noinline]] static char *list_adresse_slot_par_pas(const LIST *l, int32_t h)
{
    int32_t b;
    if (l->expansionStep > 0) {
        /* The first block, then blocks of one step each (the last maybe cut). */
        b = h < l->blockSize[0] ? 0 : 1 + (h - l->blockSize[0]) / l->expansionStep;
    } else {
        /* Doubling bounded by a maximum: the last block starting at or before h. */
        int32_t bas = 0, haut = l->nbBlocks - 1;
        while (bas < haut) {
            const int32_t milieu = bas + (haut - bas + 1) / 2;
            if (l->blockFirst[milieu] <= h) bas = milieu;
            else haut = milieu - 1;
        }
        b = bas;
    }
    return l->blocks[b] + static_cast<size_t>(h - l->blockFirst[b]) * static_cast<size_t>(l->elementSize);
}

/* Address of the slot of handle h (0 <= h < capacity). */
static char *list_adresse_slot(const LIST *l, int32_t h)
{
    if (list_par_doublement(l)) {
        /* The block is the position of the highest bit of h + 1. */
        const uint32_t u = static_cast<uint32_t>(h) + 1;
        const int b = 31 - __builtin_clz(u);
        return l->blocks[b] + static_cast<size_t>(u - (1u << b)) * static_cast<size_t>(l->elementSize);
    }
    return list_adresse_slot_par_pas(l, h);
}

/* Address of the element of rank r (0 <= r < count): its handle is r. */
static char *list_adresse_rang(const LIST *l, int32_t r)
{
    return list_adresse_slot(l, r);
}

static void list_ecrire_tag(const LIST *l, int32_t r, uint32_t *tagOut)
{
    if (tagOut != nullptr) *tagOut = l->tags != nullptr ? l->tags[r] : 0u;
}

/*
** The number of slots the next growth adds, before the 32-bit bound.  With a
** positive step: the initial allocation on the first growth (no block yet),
** the step afterwards, the step again when that number is not positive.
** Otherwise doubling from 1, bounded by the maximum expansion when one is set.
*/
static int64_t list_taille_expansion(const LIST *l)
{
    int64_t n;
    if (l->expansionStep > 0) {
        n = (l->nbBlocks == 0) ? l->initialAlloc : l->expansionStep;
        if (n <= 0) n = l->expansionStep;
    } else {
        n = (l->lastExpansion > 0) ? 2 * static_cast<int64_t>(l->lastExpansion) : 1;
        if (l->maxExpansion > 0 && n > l->maxExpansion) n = l->maxExpansion;
    }
    return n;
}

/* Growth failure: EX_MALLOC "list_realloc", recorded and traced; -2. */
static int list_echec_croissance(int ligne)
{
    list_signaler_trace(EX_MALLOC, "list_realloc", ligne);
    return -2;
}

/*
** Enlarge the tag bytes, when they are kept, from ancien to nb entries (the
** new ones 0).  False when memory runs out (the bytes stay as they were).
*/
static bool list_agrandir_tags(LIST *l, size_t ancien, size_t nb)
{
    if (l->tags == nullptr) return true;
    if (!list_agrandir(l->tags, nb)) return false;
    memset(l->tags + ancien, 0, nb - ancien);
    return true;
}

/*
** Add one block of slots (called when capacity == count).  Returns 1, or -2
** when memory is exhausted or the list would pass INT32_MAX slots; then
** capacity, count, the blocks and the doubling state are unchanged and every
** stored element is in place (some arrays may have been enlarged).
*/
static int list_realloc(LIST *l)
{
    int64_t n = list_taille_expansion(l);
    if (n > INT32_MAX - static_cast<int64_t>(l->count)) n = INT32_MAX - static_cast<int64_t>(l->count);
    if (n <= 0) {
        errno = ENOMEM;
        return list_echec_croissance(__LINE__);
    }
    const int32_t ancien = l->count; /* == capacity: the new block's first handle */
    const int32_t nouvelleCapacite = static_cast<int32_t>(ancien + n);
    const size_t nbSlots = static_cast<size_t>(nouvelleCapacite);
    const size_t nbBlocs = static_cast<size_t>(l->nbBlocks) + 1;

    if (!list_agrandir(l->blocks, nbBlocs) || !list_agrandir(l->blockFirst, nbBlocs)
        || !list_agrandir(l->blockSize, nbBlocs) || !list_agrandir_tags(l, static_cast<size_t>(ancien), nbSlots)
        || (l->primaryActive && !list_agrandir(l->primaryIndex, nbSlots)))
        return list_echec_croissance(__LINE__);

    const size_t taille = static_cast<size_t>(l->elementSize);
    if (taille != 0 && static_cast<size_t>(n) > SIZE_MAX / taille) {
        errno = ENOMEM;
        return list_echec_croissance(__LINE__);
    }
    char *bloc = list_allouer_bloc(static_cast<size_t>(n) * taille);
    if (bloc == nullptr) return list_echec_croissance(__LINE__);

    const int32_t b = l->nbBlocks;
    l->blocks[b] = bloc;
    l->blockSize[b] = static_cast<int32_t>(n);
    l->blockFirst[b] = ancien;
    l->capacity = nouvelleCapacite;
    if (l->expansionStep <= 0) l->lastExpansion = static_cast<int32_t>(n);
    l->nbBlocks = b + 1;
    return 1;
}

/* ---------------------------------------------------------------------------
** Creation, appending, access by rank and handle.
*/

/*
** Initialise record l: empty, nothing allocated.  With a comparison function
** the primary index is active and sorted (its array comes with the first
** growth).  Returns l; null when l is null, and null with EA_INVPRMS when the
** element size is negative (the record is then left not initialised).
*/
LIST *list_init(LIST *l, int initialAlloc, int expansionStep, int elementSize, LIST_FCMP fcmp)
{
    if (l == nullptr) return nullptr;
    l->initMarker = 0;
    if (elementSize < 0) {
        list_signaler(EA_INVPRMS, "list_init", __LINE__);
        return nullptr;
    }
    l->elementSize = elementSize;
    l->count = 0;
    l->capacity = 0;
    l->initialAlloc = initialAlloc;
    l->expansionStep = expansionStep;
    l->maxExpansion = 0;
    l->handleAt = nullptr;
    l->rankOf = nullptr;
    l->blockOf = nullptr;
    l->blockFirst = nullptr;
    l->blockSize = nullptr;
    l->nbBlocks = 0;
    l->lastExpansion = 0;
    l->blocks = nullptr;
    l->primaryIndex = nullptr;
    l->primaryActive = fcmp != nullptr;
    l->primarySorted = fcmp != nullptr;
    l->fcmp = fcmp;
    l->tags = nullptr;
    l->initMarker = LIST_MARQUEUR_INIT;
    return l;
}

/* Count, or -1 (no list: EA_INVPRMS; not initialised).  Traced. */
int list_length(const LIST *l)
{
    static const char nom[] = "list_length";
    if (l == nullptr) {
        list_signaler_trace(EA_INVPRMS, nom, __LINE__);
        return -1;
    }
    if (!list_controler(l, nullptr, {ListControle::initialisee}, nom, __LINE__, true)) return -1;
    return l->count;
}

/*
** The checks shared by list_append and list_insert, in their order: a list,
** an element, an initialised list.  False after recording and tracing the
** first that fails, with the operation's name nom as message.
*/
static bool list_accepte_ajout(const LIST *l, const void *element, const char *nom)
{
    return list_controler(l, element, {ListControle::liste, ListControle::objet, ListControle::initialisee}, nom,
                          __LINE__, true);
}

/*
** Start keeping the tag bytes of l (all 0 so far), for capacity entries.
** False when memory runs out.
*/
static bool list_creer_tags(LIST *l)
{
    unsigned char *tags = nullptr;
    if (!list_agrandir(tags, static_cast<size_t>(l->capacity))) return false;
    memset(tags, 0, static_cast<size_t>(l->capacity));
    l->tags = tags;
    return true;
}

/*
** Copy elementSize bytes of element into a new slot of rank count, with the
** low 8 bits of tag.  An active primary index gets the new rank at its end
** and becomes unsorted.  1; -1 refused (traced); -2 growth failed (also when
** the first tag other than 0 finds no memory for the tag bytes).
*/
int list_append(LIST *l, const void *element, int tag)
{
    static const char nom[] = "list_append";
    if (!list_accepte_ajout(l, element, nom)) return -1;
    if (l->capacity <= l->count) {
        int rc = list_realloc(l);
        if (rc != 1) return rc;
    }
    const unsigned char octetTag = static_cast<unsigned char>(tag & 0xFF);
    if (octetTag != 0 && l->tags == nullptr && !list_creer_tags(l)) return list_echec_croissance(__LINE__);
    const int32_t r = l->count;
    /* The element may be one of this list's own slots: blocks never move. */
    memcpy(list_adresse_slot(l, r), element, static_cast<size_t>(l->elementSize));
    if (l->tags != nullptr) l->tags[r] = octetTag;
    if (l->primaryIndex != nullptr) {
        l->primaryIndex[r] = r;
        l->primarySorted = 0;
    }
    l->count = r + 1;
    return 1;
}

/* Element of rank, or null (EA_LIST_PT_NULL, NON_INIT, RANG_INV). */
void *list_element(const LIST *l, int rank, uint32_t *tagOut)
{
    static const char nom[] = "list_element";
    if (!list_controler(l, nullptr, {ListControle::liste, ListControle::initialisee}, nom, __LINE__)) return nullptr;
    if (rank < 0 || rank >= l->count) {
        list_signaler(EA_LIST_RANG_INV, nom, __LINE__);
        return nullptr;
    }
    list_ecrire_tag(l, rank, tagOut);
    return list_adresse_rang(l, rank);
}

/*
** Write the rank of the slot of handle (-1 for a free slot) into rankOut when
** given.  1, or -1 (PT_NULL, NON_INIT, VIDE without slot, HND_INV).
*/
int list_rang_from_handle(const LIST *l, int handle, int *rankOut)
{
    static const char nom[] = "list_rang_from_handle";
    if (!list_controler(l, nullptr, {ListControle::liste, ListControle::initialisee}, nom, __LINE__)) return -1;
    if (l->capacity <= 0) {
        list_signaler(EA_LIST_VIDE, nom, __LINE__);
        return -1;
    }
    const int32_t dernier = l->blockFirst[l->nbBlocks - 1] + l->blockSize[l->nbBlocks - 1] - 1;
    if (handle < 0 || handle > dernier) {
        list_signaler(EA_LIST_HND_INV, nom, __LINE__);
        return -1;
    }
    /* rankOf[handle]: handles are the ranks, and the slots past count are free. */
    if (rankOut != nullptr) *rankOut = handle < l->count ? handle : -1;
    return 1;
}

/* ---------------------------------------------------------------------------
** Primary index.
*/

/*
** Make the primary index active; when the list has slots, create it in rank
** order.  The sorted flag is left alone.  1, or -1 (PT_NULL, NON_INIT,
** EX_MALLOC "list_activer_indexe_primaire : malloc"), traced.
*/
int list_activer_indexe_primaire(LIST *l)
{
    static const char nom[] = "list_activer_indexe_primaire";
    if (!list_controler(l, nullptr, {ListControle::liste, ListControle::initialisee}, nom, __LINE__, true)) return -1;
    if (l->primaryActive) return 1;
    if (l->capacity > 0) {
        int32_t *index = nullptr;
        if (!list_agrandir(index, static_cast<size_t>(l->capacity))) {
            list_signaler_trace(EX_MALLOC, "list_activer_indexe_primaire : malloc", __LINE__);
            return -1;
        }
        for (int32_t i = 0; i < l->capacity; i++) index[i] = i;
        l->primaryIndex = index;
    }
    l->primaryActive = 1;
    return 1;
}

static void list_trier_index(LIST *l, LIST_FCMP fcmp);

/*
** Sort the primary index, from its current order, by fcmp (the installed
** function when null) and install fcmp.  Does nothing without list, without
** any function, on a list not initialised, or when activating the index fails
** (which records its own failure).
*/
void list_trier(LIST *l, LIST_FCMP fcmp)
{
    if (l == nullptr || !list_est_initialisee(l)) return;
    if (fcmp == nullptr) fcmp = l->fcmp;
    if (fcmp == nullptr) return;
    if (!l->primaryActive && list_activer_indexe_primaire(l) != 1) return;
    list_trier_index(l, fcmp);
    l->fcmp = fcmp;
    l->primarySorted = 1;
}

/* Checks shared by the two index accessors; true when index is usable. */
static bool list_verifier_indice(const LIST *l, int index, const char *nom)
{
    if (!list_controler(l, nullptr, {ListControle::liste, ListControle::indexActif, ListControle::initialisee}, nom,
                        __LINE__))
        return false;
    if (index < 0 || index >= l->count) {
        list_signaler(EA_LIST_INDICE_INV, nom, __LINE__);
        return false;
    }
    return true;
}

static void *list_element_indice(const LIST *l, int32_t i, uint32_t *tagOut);

/* Element at position index of the primary index, or null. */
void *list_element_trie(const LIST *l, int index, uint32_t *tagOut)
{
    if (!list_verifier_indice(l, index, "list_element_trie")) return nullptr;
    return list_element_indice(l, index, tagOut);
}

/*
** Copy the ranks of the elements, in the order of the primary index, into
** rangs (count entries).  1, or -1 with the checks of list_element_trie at
** index 0 (an empty list is refused as an index out of range).
*/
int list_rangs_trie(const LIST *l, int32_t *rangs)
{
    if (!list_verifier_indice(l, 0, "list_rangs_trie")) return -1;
    std::memcpy(rangs, l->primaryIndex, static_cast<size_t>(l->count) * sizeof(int32_t));
    return 1;
}

/* Write the handle at position index of the primary index.  1 or -1. */
int list_handle_from_indice(const LIST *l, int index, int *handleOut)
{
    if (!list_verifier_indice(l, index, "list_handle_from_indice")) return -1;
    /* handleAt[rank] is the rank itself (see list_adresse_rang). */
    if (handleOut != nullptr) *handleOut = l->primaryIndex[index];
    return 1;
}

/*
** Checks shared by the two searches (PT_NULL, INDEX_KO, FCMP_NULL, NON_INIT,
** then OBJ_NULL for a missing key, which the comparison could not read).
*/
static bool list_verifier_recherche(const LIST *l, const void *key, const char *nom)
{
    return list_controler(l, key,
                          {ListControle::liste, ListControle::indexActif, ListControle::comparaison,
                           ListControle::initialisee, ListControle::objet},
                          nom, __LINE__);
}

/*
** Bisect the primary index (count > 0) for key in its current order, stopping
** at the first probe that compares equal.  Returns that index position, or -1
** with *insertion set to the position where key keeps the order.
*/
static int32_t list_bissection(const LIST *l, const void *key, int32_t *insertion)
{
    int32_t lo = 0, hi = l->count;
    do {
        const int32_t mid = lo + (hi - lo) / 2; /* == (lo + hi) / 2 without overflow */
        const int c = l->fcmp(key, list_adresse_rang(l, l->primaryIndex[mid]));
        if (c == 0) return mid;
        if (c < 0)
            hi = mid;
        else
            lo = mid + 1;
    } while (lo < hi);
    *insertion = lo;
    return -1;
}

/*
** The search shared by list_bsearch and list_bsearch_trie: the index position
** found (>= 0), or -1 with *insertion set when key is absent, or -2 on an
** empty list or a refused call (recorded with nom).
*/
static int32_t list_chercher(const LIST *l, const void *key, const char *nom, int32_t *insertion)
{
    *insertion = 0;
    if (!list_verifier_recherche(l, key, nom)) return -2;
    if (l->count == 0) return -2;
    return list_bissection(l, key, insertion);
}

/* The element at index position i of the primary index, its tag written when asked. */
static void *list_element_indice(const LIST *l, int32_t i, uint32_t *tagOut)
{
    const int32_t r = l->primaryIndex[i];
    list_ecrire_tag(l, r, tagOut);
    return list_adresse_rang(l, r);
}

/*
** Binary search for key.  The element found (tag written when asked), with its
** rank in rankOut; null with count in rankOut when absent; null with 0 in
** rankOut on an empty list (nothing recorded) or a refused call.
*/
void *list_bsearch(const LIST *l, const void *key, int *rankOut, uint32_t *tagOut)
{
    int32_t insertion = 0;
    const int32_t i = list_chercher(l, key, "list_bsearch", &insertion);
    if (rankOut != nullptr) *rankOut = i >= 0 ? l->primaryIndex[i] : i == -1 ? l->count : 0;
    return i >= 0 ? list_element_indice(l, i, tagOut) : nullptr;
}

/*
** The same search reporting index positions: indexOut receives the position
** found, or the insertion point when absent (0 on an empty list or a refused
** call).
*/
void *list_bsearch_trie(const LIST *l, const void *key, int *indexOut, uint32_t *tagOut)
{
    int32_t insertion = 0;
    const int32_t i = list_chercher(l, key, "list_bsearch_trie", &insertion);
    if (indexOut != nullptr) *indexOut = i >= 0 ? i : insertion;
    return i >= 0 ? list_element_indice(l, i, tagOut) : nullptr;
}

/*
** Append element and give it its sorted place in the primary index: just
** before the equal element the search finds, else at the insertion point.
** Without active index, a plain append.  1; -1 refused (traced; an index with
** no function or not sorted gives EA_LIST_FCMP_NULL); or list_append's -1/-2.
*/
int list_insert(LIST *l, const void *element, int tag)
{
    static const char nom[] = "list_insert";
    if (!list_accepte_ajout(l, element, nom)) return -1;
    if (!l->primaryActive) return list_append(l, element, tag);
    if (l->fcmp == nullptr || !l->primarySorted) {
        list_signaler_trace(EA_LIST_FCMP_NULL, nom, __LINE__);
        return -1;
    }
    int p = 0;
    list_bsearch_trie(l, element, &p, nullptr);
    const int rc = list_append(l, element, tag);
    if (rc != 1) return rc;
    const int32_t nouveau = l->count - 1; /* list_append put it at index nouveau */
    memmove(&l->primaryIndex[p + 1], &l->primaryIndex[p],
            static_cast<size_t>(nouveau - p) * sizeof(int32_t));
    l->primaryIndex[p] = nouveau;
    l->primarySorted = 1;
    return 1;
}

/* ---------------------------------------------------------------------------
** The sort of index entries.  Quicksort with median of three (ninther above
** 40 entries), three-way partition that gathers the entries equal to the
** pivot at both ends before swapping them to the middle, insertion sort below
** 7 entries, and a stable sort of the part whenever a partition pass swapped
** nothing.  The order in which equal elements end up is part of the
** program's results, so the quicksort's steps and comparisons are kept
** exactly; the only freedom taken is in the part left to the insertion sort
** after a pass without swaps: insertion sort is stable, so any stable sort
** leaves the same permutation (the comparison functions of this system are
** consistent orders), and a merge sort does it in O(n log n) where insertion
** sort may take O(n^2) (a part whose two sides are each in reverse order).
**
** The parts still to sort are kept on an explicit stack instead of the
** recursion on the left part, in the same order (the left part is sorted
** completely before the right one), so that a deep partition cannot
** overflow the call stack.
**
** The sort is written once as a template over the entry type and the
** comparison, so that list_trier can compare with an inlined function while
** list_qsort keeps its function pointer.
*/

/* Insertion sort of e[0..n-1]: moves each entry left past the greater ones. */
template <typename T, typename Cmp>
static void list_tri_insertion(T *e, int n, Cmp &cmp)
{
    for (int m = 1; m < n; m++)
        for (int l = m; l > 0 && cmp(e[l - 1], e[l]) > 0; l--) std::swap(e[l], e[l - 1]);
}

/* Position of the median of the entries at positions a, b and c. */
template <typename T, typename Cmp>
static int list_med3(const T *e, int a, int b, int c, Cmp &cmp)
{
    if (cmp(e[a], e[b]) < 0) return cmp(e[b], e[c]) < 0 ? b : (cmp(e[a], e[c]) < 0 ? c : a);
    return cmp(e[b], e[c]) > 0 ? b : (cmp(e[a], e[c]) < 0 ? a : c);
}

/* Exchange the r entries from position i with the r entries from position j. */
template <typename T>
static void list_echanger_plages(T *e, int i, int j, int r)
{
    for (int k = 0; k < r; k++) std::swap(e[i + k], e[j + k]);
}

/*
** Stable merge sort of e[0..n-1] with buf (at least (n + 1) / 2 entries):
** runs of up to 12 entries by insertion sort, then merges that take from the
** left run on ties; two runs already in order are not merged, so a sorted
** part costs n comparisons.
*/
template <typename T, typename Cmp>
static void list_tri_fusion(T *e, int n, T *buf, Cmp &cmp)
{
    if (n <= 12) {
        list_tri_insertion(e, n, cmp);
        return;
    }
    const int g = n / 2;
    list_tri_fusion(e, g, buf, cmp);
    list_tri_fusion(e + g, n - g, buf, cmp);
    if (cmp(e[g - 1], e[g]) <= 0) return;
    memcpy(buf, e, static_cast<size_t>(g) * sizeof(T));
    int i = 0, j = g, k = 0;
    while (i < g && j < n) e[k++] = cmp(buf[i], e[j]) > 0 ? e[j++] : buf[i++];
    while (i < g) e[k++] = buf[i++];
}

/*
** The part that insertion sort would take after a pass without swaps.  The
** pass is meant for parts that are nearly in order, where insertion sort is
** cheapest, so insertion sort is tried first with a budget of 4n comparisons;
** past it the part is finished by a stable merge sort, with a buffer kept
** across the parts of one sort (*buf of *taille entries).  Insertion sort
** only ever swaps an entry with a strictly greater one before it, so equal
** entries are still in their first order when the merge sort takes over.
** When no buffer can be had, insertion sort goes on to the end: the same
** order, only more slowly.
*/
template <typename T, typename Cmp>
static void list_tri_stable(T *e, int n, Cmp &cmp, T **buf, size_t *taille)
{
    int64_t budget = 4 * static_cast<int64_t>(n);
    for (int m = 1; m < n; m++) {
        for (int l = m; l > 0; l--) {
            if (--budget < 0) goto fusion;
            if (cmp(e[l - 1], e[l]) <= 0) break;
            std::swap(e[l], e[l - 1]);
        }
    }
    return;
fusion:
    const size_t besoin = static_cast<size_t>(n + 1) / 2;
    if (*taille < besoin) {
        T *p = static_cast<T *>(realloc(*buf, besoin * sizeof(T)));
        if (p == nullptr) {
            list_tri_insertion(e, n, cmp);
            return;
        }
        *buf = p;
        *taille = besoin;
    }
    list_tri_fusion(e, n, *buf, cmp);
}

/* A part of the entries still to sort. */
template <typename T>
struct ListPartie {
    T *e;
    int n;
};

/*
** The stack of right parts waiting while a left part is sorted: a few
** places inside the record, then the heap.  Returns false when it cannot
** grow (the caller then sorts that part at once: the same result).
*/
template <typename T>
struct ListPile {
    ListPartie<T> local[64];
    ListPartie<T> *p = local;
    size_t nb = 0, cap = 64;
    ~ListPile()
    {
        if (p != local) free(p);
    }
    bool empiler(T *e, int n)
    {
        if (nb == cap) {
            ListPartie<T> *q = static_cast<ListPartie<T> *>(
                p == local ? malloc(2 * cap * sizeof *q) : realloc(p, 2 * cap * sizeof *q));
            if (q == nullptr) return false;
            if (p == local) memcpy(q, local, sizeof local);
            p = q;
            cap *= 2;
        }
        p[nb++] = ListPartie<T>{e, n};
        return true;
    }
};

/* Sort e[0..n-1] by cmp(entry, entry). */
template <typename T, typename Cmp>
static void list_tri_rapide(T *e, int n, Cmp &cmp)
{
    ListPile<T> pile;
    T *buf = nullptr;
    size_t taille = 0;
    for (;;) {
        bool suite = false; /* true: continue with e, n */
        if (n < 7) {
            list_tri_insertion(e, n, cmp);
        } else {
            int m = n / 2;
            if (n > 7) {
                int lo = 0, hi = n - 1;
                if (n > 40) {
                    const int d = n / 8;
                    lo = list_med3(e, lo, lo + d, lo + 2 * d, cmp);
                    m = list_med3(e, m - d, m, m + d, cmp);
                    hi = list_med3(e, hi - 2 * d, hi - d, hi, cmp);
                }
                m = list_med3(e, lo, m, hi, cmp);
            }
            std::swap(e[0], e[m]);

            /* e[0] is the pivot.  Invariant: [1, pa) == pivot, [pa, pb) < pivot,
            ** (pc, pd] > pivot, (pd, n) == pivot. */
            bool echange = false;
            int pa = 1, pb = 1, pc = n - 1, pd = n - 1;
            for (;;) {
                int r;
                while (pb <= pc && (r = cmp(e[pb], e[0])) <= 0) {
                    if (r == 0) {
                        echange = true;
                        std::swap(e[pa], e[pb]);
                        pa++;
                    }
                    pb++;
                }
                while (pb <= pc && (r = cmp(e[pc], e[0])) >= 0) {
                    if (r == 0) {
                        echange = true;
                        std::swap(e[pc], e[pd]);
                        pd--;
                    }
                    pc--;
                }
                if (pb > pc) break;
                std::swap(e[pb], e[pc]);
                echange = true;
                pb++;
                pc--;
            }
            if (!echange) {
                list_tri_stable(e, n, cmp, &buf, &taille);
            } else {
                int r = pa < pb - pa ? pa : pb - pa;
                list_echanger_plages(e, 0, pb - r, r);
                r = pd - pc < n - 1 - pd ? pd - pc : n - 1 - pd;
                list_echanger_plages(e, pb, n - r, r);

                /* Left part first, then the right part. */
                T *droite = e + (n - (pd - pc));
                const int nDroite = pd - pc;
                const int nGauche = pb - pa;
                if (nGauche > 1) {
                    if (nDroite > 1 && !pile.empiler(droite, nDroite)) list_tri_rapide(droite, nDroite, cmp);
                    n = nGauche;
                    suite = true;
                } else if (nDroite > 1) {
                    e = droite;
                    n = nDroite;
                    suite = true;
                }
            }
        }
        if (suite) continue;
        if (pile.nb == 0) break;
        const ListPartie<T> partie = pile.p[--pile.nb];
        e = partie.e;
        n = partie.n;
    }
    free(buf);
}

/* Sort e[0..n-1] by cmp(entry, entry, ctx).  Does nothing without entries or cmp. */
void list_qsort(int32_t *e, int n, LIST_QCMP cmp, void *ctx)
{
    if (e == nullptr || cmp == nullptr) return;
    auto comparer = [cmp, ctx](int32_t a, int32_t b) { return cmp(a, b, ctx); };
    list_tri_rapide(e, n, comparer);
}

/* ---------------------------------------------------------------------------
** Sort keys.  A comparison function that reads one field of large records
** makes every comparison of a long sort a fetch from memory far away; when
** the function's order is also that of a 64-bit key of each element, the
** sort can read every element once, keep its key beside its rank, and
** compare keys: the same comparisons' outcomes, so the same permutation.
*/

/* The comparison functions that have a key, with their key function. */
struct ListCle {
    LIST_FCMP fcmp;
    LIST_FCLE cle;
    int exacte;
};
static ListCle s_cles[16];
static int s_nbCles = 0;

/*
** Give fcmp a key: cle(a) < cle(b) must imply fcmp(a, b) < 0; on equal keys
** fcmp decides, unless exacte (equal keys then imply fcmp(a, b) == 0).  A
** later call for the same fcmp replaces its key; a null cle removes it.
** 1, or -1 (EA_INVPRMS) without fcmp or when 16 functions have keys already.
*/
int list_associer_cle(LIST_FCMP fcmp, LIST_FCLE cle, int exacte)
{
    if (fcmp == nullptr) {
        list_signaler(EA_INVPRMS, "list_associer_cle", __LINE__);
        return -1;
    }
    for (int i = 0; i < s_nbCles; i++) {
        if (s_cles[i].fcmp != fcmp) continue;
        if (cle == nullptr) {
            s_cles[i] = s_cles[--s_nbCles];
        } else {
            s_cles[i].cle = cle;
            s_cles[i].exacte = exacte;
        }
        return 1;
    }
    if (cle == nullptr) return 1;
    if (s_nbCles == static_cast<int>(sizeof s_cles / sizeof s_cles[0])) {
        list_signaler(EA_INVPRMS, "list_associer_cle", __LINE__);
        return -1;
    }
    s_cles[s_nbCles++] = ListCle{fcmp, cle, exacte};
    return 1;
}

static const ListCle *list_cle_de(LIST_FCMP fcmp)
{
    for (int i = 0; i < s_nbCles; i++)
        if (s_cles[i].fcmp == fcmp) return &s_cles[i];
    return nullptr;
}

/* An entry of a keyed sort: the key in two halves, then the rank (12 bytes). */
struct ListEntreeCle {
    uint32_t haut, bas;
    int32_t rang;
};

static uint64_t list_cle_entree(const ListEntreeCle &e)
{
    return static_cast<uint64_t>(e.haut) << 32 | e.bas;
}

/*
** How a keyed sort goes.  The keys are read once, in rank order: that is the
** order of the elements in memory, where the index order of a list sorted
** by something else would make every read a fetch from far away.  Their
** common bits are then set aside: (key - smallest key) >> the lowest bit
** that varies is a smaller number in the same order, equal for equal keys
** only (every key has the same bits below that one).  On these reduced keys:
**
** - When no two elements have the same key, the keys alone order the
**   elements as fcmp does (cle(a) < cle(b) implies fcmp(a, b) < 0), with no
**   two elements equal: there is only one sorted order, and any sort finds
**   the permutation that the quicksort would.  Keys that span little more
**   than their number (ranks) are each put at their own place in a table of
**   the span; others are sorted by their bytes, most significant first,
**   each byte distributing the entries in place into 256 buckets (Bentley
**   and McIlroy's American flag sort).  Two equal keys stop both (the order
**   of equal elements is the quicksort's own).
** - Otherwise the quicksort runs on entries in the index order, each the key
**   beside the rank: 8 bytes when the reduced key of an exact key fits in 32
**   bits (a colour, say), else 12; fcmp decides between equal keys unless
**   the key is exact.
*/

/* Below this many entries a bucket is finished by insertion. */
static constexpr int32_t LIST_BASE_PETIT = 16;
/* Below this many elements the quicksort is cheap enough. */
static constexpr int32_t LIST_BASE_MIN = 4096;

/* malloc(octets), advised to large pages. */
static void *list_allouer_travail(size_t octets)
{
    void *p = malloc(octets);
    if (p != nullptr) conseillerGrandesPages(p, octets);
    return p;
}

/* Insertion sort of e[0..n-1] by key; false when two keys are equal. */
static bool list_tri_base_insertion(ListEntreeCle *e, int32_t n)
{
    for (int32_t m = 1; m < n; m++)
        for (int32_t j = m; j > 0 && list_cle_entree(e[j - 1]) >= list_cle_entree(e[j]); j--) {
            if (list_cle_entree(e[j - 1]) == list_cle_entree(e[j])) return false;
            std::swap(e[j - 1], e[j]);
        }
    return true;
}

/*
** Sort e[0..n-1] by key from the byte at bit decalage (56, 48, ..., 0)
** down, the bytes above being equal in all of them.  false as soon as two
** keys are found equal (e is then in no useful order).
*/
static bool list_tri_base(ListEntreeCle *e, int32_t n, int decalage)
{
    if (n <= LIST_BASE_PETIT) return list_tri_base_insertion(e, n);
    int32_t compte[256];
    for (;; decalage -= 8) {
        if (decalage < 0) return false; /* n >= 2 entries, all bytes equal */
        memset(compte, 0, sizeof compte);
        for (int32_t i = 0; i < n; i++) compte[(list_cle_entree(e[i]) >> decalage) & 0xFF]++;
        if (compte[(list_cle_entree(e[0]) >> decalage) & 0xFF] != n) break; /* this byte tells them apart */
    }
    int32_t debut[257], prochain[256];
    debut[0] = 0;
    for (int b = 0; b < 256; b++) debut[b + 1] = debut[b] + compte[b];
    for (int b = 0; b < 256; b++) prochain[b] = debut[b];
    for (int b = 0; b < 256; b++) {
        while (prochain[b] < debut[b + 1]) {
            const int c = static_cast<int>((list_cle_entree(e[prochain[b]]) >> decalage) & 0xFF);
            if (c == b)
                prochain[b]++;
            else
                std::swap(e[prochain[b]], e[prochain[c]++]);
        }
    }
    for (int b = 0; b < 256; b++) {
        if (compte[b] > 1 && !list_tri_base(e + debut[b], compte[b], decalage - 8)) return false;
    }
    return true;
}

/* The keys of a sort, read in rank order, with what they have in common. */
struct ListCles {
    const uint64_t *cle;   /* by rank */
    uint64_t min;          /* the smallest key */
    int bas;               /* the lowest bit that varies (0 when none does) */
    uint64_t etendue;      /* (greatest key - min) >> bas */
};

static uint64_t list_cle_reduite(const ListCles &c, int32_t r)
{
    return (c.cle[r] - c.min) >> c.bas;
}

/*
** Keys all different and at most two per place of their span: a bit per
** place of the span marks the keys present (a second key on a marked place
** is an equal key), then each rank goes to the number of keys below its own,
** counted on the bits (its key itself when the keys fill their span).  The
** bits go in travail.  false on two equal keys (index untouched).
*/
static bool list_trier_par_places(int32_t *index, int32_t n, const ListCles &c, void *travail)
{
    const size_t nbMots = static_cast<size_t>(c.etendue / 64) + 1;
    uint64_t *present = static_cast<uint64_t *>(travail);
    memset(present, 0, nbMots * (sizeof(uint64_t) + sizeof(int32_t)));
    int32_t *avant = reinterpret_cast<int32_t *>(present + nbMots); /* keys in the words before */
    for (int32_t r = 0; r < n; r++) {
        const uint64_t k = list_cle_reduite(c, r);
        const uint64_t bit = uint64_t{1} << (k & 63);
        if (present[k >> 6] & bit) return false;
        present[k >> 6] |= bit;
    }
    if (c.etendue == static_cast<uint64_t>(n) - 1) {
        for (int32_t r = 0; r < n; r++) index[list_cle_reduite(c, r)] = r;
        return true;
    }
    for (size_t m = 1; m < nbMots; m++) avant[m] = avant[m - 1] + __builtin_popcountll(present[m - 1]);
    for (int32_t r = 0; r < n; r++) {
        const uint64_t k = list_cle_reduite(c, r);
        const uint64_t dessous = (uint64_t{1} << (k & 63)) - 1;
        index[avant[k >> 6] + __builtin_popcountll(present[k >> 6] & dessous)] = r;
    }
    return true;
}

/* Keys all different, by their bytes (entries in travail).  false on two equal keys (index untouched). */
static bool list_trier_par_octets(int32_t *index, int32_t n, const ListCles &c, void *travail)
{
    ListEntreeCle *e = static_cast<ListEntreeCle *>(travail);
    for (int32_t r = 0; r < n; r++) {
        const uint64_t k = list_cle_reduite(c, r);
        e[r] = ListEntreeCle{static_cast<uint32_t>(k >> 32), static_cast<uint32_t>(k), r};
    }
    const int haut = 63 - __builtin_clzll(c.etendue); /* etendue > 0: n >= 2 different keys */
    const bool trie = list_tri_base(e, n, haut & ~7);
    if (trie)
        for (int32_t i = 0; i < n; i++) index[i] = e[i].rang;
    return trie;
}

/*
** The quicksort on keys, from the index order.  Exact keys whose reduced
** form fits in 32 bits go in one 64-bit word above the rank; otherwise a
** 12-byte entry, in travail.
*/
static void list_trier_rapide_cles(LIST *l, LIST_FCMP fcmp, bool exacte, const ListCles &c, void *travail)
{
    const int32_t n = l->count;
    int32_t *index = l->primaryIndex;
    constexpr int32_t AVANCE = 16;
    if (exacte && c.etendue <= UINT32_MAX) {
        uint64_t *e = static_cast<uint64_t *>(travail);
        for (int32_t i = 0; i < n; i++) {
            if (i + AVANCE < n) __builtin_prefetch(&c.cle[index[i + AVANCE]]);
            e[i] = list_cle_reduite(c, index[i]) << 32 | static_cast<uint32_t>(index[i]);
        }
        auto comparer = [](uint64_t a, uint64_t b) { return (a >> 32) < (b >> 32) ? -1 : ((a >> 32) > (b >> 32) ? 1 : 0); };
        list_tri_rapide(e, n, comparer);
        for (int32_t i = 0; i < n; i++) index[i] = static_cast<int32_t>(static_cast<uint32_t>(e[i]));
        return;
    }
    ListEntreeCle *e = static_cast<ListEntreeCle *>(travail);
    for (int32_t i = 0; i < n; i++) {
        if (i + AVANCE < n) __builtin_prefetch(&c.cle[index[i + AVANCE]]);
        const uint64_t k = c.cle[index[i]];
        e[i] = ListEntreeCle{static_cast<uint32_t>(k >> 32), static_cast<uint32_t>(k), index[i]};
    }
    auto comparer = [l, fcmp, exacte](const ListEntreeCle &a, const ListEntreeCle &b) {
        if (a.haut != b.haut) return a.haut < b.haut ? -1 : 1;
        if (a.bas != b.bas) return a.bas < b.bas ? -1 : 1;
        return exacte ? 0 : fcmp(list_adresse_rang(l, a.rang), list_adresse_rang(l, b.rang));
    };
    list_tri_rapide(e, n, comparer);
    for (int32_t i = 0; i < n; i++) index[i] = e[i].rang;
}

/*
** Sort the first count entries of the primary index by fcmp: through the
** keys when fcmp has one and there is memory for them (see above), else the
** quicksort on the ranks themselves, comparing elements.
*/
static void list_trier_index(LIST *l, LIST_FCMP fcmp)
{
    const int32_t n = l->count;
    int32_t *index = l->primaryIndex;
    const ListCle *cle = n > 1 ? list_cle_de(fcmp) : nullptr;
    /*
    ** One block for the keys and the work after them (12 bytes per element at
    ** most): freed whole, it stays with the allocator for the next sort of the
    ** list, where two blocks could go back to the system and be faulted in anew.
    */
    const size_t octetsCles = static_cast<size_t>(n) * sizeof(uint64_t);
    char *bloc = cle != nullptr ? static_cast<char *>(list_allouer_travail(octetsCles + static_cast<size_t>(n) * sizeof(ListEntreeCle))) : nullptr;
    if (bloc != nullptr) {
        uint64_t *cles = reinterpret_cast<uint64_t *>(bloc);
        void *travail = bloc + octetsCles;
        uint64_t min = UINT64_MAX, max = 0, ou = 0, et = UINT64_MAX;
        for (int32_t r = 0; r < n; r++) {
            const uint64_t k = cle->cle(list_adresse_rang(l, r));
            cles[r] = k;
            min = k < min ? k : min;
            max = k > max ? k : max;
            ou |= k;
            et &= k;
        }
        const int bas = ou != et ? __builtin_ctzll(ou ^ et) : 0;
        const ListCles c{cles, min, bas, (max - min) >> bas};
        /* n keys spread over fewer than n values cannot all differ (a colour key, say). */
        bool trie = false;
        if (n >= LIST_BASE_MIN && c.etendue >= static_cast<uint64_t>(n) - 1)
            trie = c.etendue < 2 * static_cast<uint64_t>(n) ? list_trier_par_places(index, n, c, travail)
                                                             : list_trier_par_octets(index, n, c, travail);
        if (!trie) list_trier_rapide_cles(l, fcmp, cle->exacte != 0, c, travail);
        free(bloc);
        return;
    }
    auto comparer = [l, fcmp](int32_t a, int32_t b) { return fcmp(list_adresse_rang(l, a), list_adresse_rang(l, b)); };
    list_tri_rapide(index, n, comparer);
}

/* See list.h.  The permutation is checked with one bit per rank. */
int list_installer_ordre(LIST *l, LIST_FCMP fcmp, const int32_t *rangs)
{
    static const char nom[] = "list_installer_ordre";
    if (!list_controler(rangs != nullptr ? l : nullptr, nullptr, {ListControle::liste, ListControle::initialisee}, nom,
                        __LINE__))
        return -1;
    const int32_t n = l->count;
    std::vector<bool> vu;
    try {
        vu.assign(static_cast<size_t>(n), false);
    } catch (const std::bad_alloc &) {
        list_signaler(EX_MALLOC, nom, __LINE__);
        return -1;
    }
    for (int32_t i = 0; i < n; i++) {
        if (rangs[i] < 0 || rangs[i] >= n || vu[rangs[i]]) {
            list_signaler(EA_INVPRMS, nom, __LINE__);
            return -1;
        }
        vu[rangs[i]] = true;
    }
    if (!l->primaryActive && list_activer_indexe_primaire(l) != 1) return -1;
    std::copy(rangs, rangs + n, l->primaryIndex);
    l->fcmp = fcmp;
    l->primarySorted = 1;
    return 1;
}
