/*
** The indexed list: an ordered container of fixed-size records copied in by
** value.  Every collection of the system is one.
**
** An element is reached by its rank (its position in appending order), by its
** handle (the number of the storage slot that holds it) and by its index (its
** position in the primary index, a second order given by a comparison
** function).  Element storage comes in blocks that are never moved or freed,
** so the address of a stored element stays valid for the life of the list;
** only the small arrays indexed by block, the primary index and the tag
** bytes are reallocated when the list grows.
**
** Invariants (count = number of elements, capacity = slots allocated):
**   - handles 0..capacity-1 run across the blocks in order: block 0 starts at
**     handle 0 and block b+1 at blockFirst[b] + blockSize[b];
**   - nothing deletes elements, so ranks and handles coincide: the maps by
**     rank and by handle (handleAt, rankOf, blockOf) would be identities or
**     follow from the block sizes, and stay null; the element of handle h
**     lives in the block b holding h, at blocks[b] + (h - blockFirst[b]) *
**     elementSize;
**   - tags is null until a tag other than 0 is given (every tag is then 0);
**   - primaryIndex[0..count-1] is a permutation of the ranks whenever the
**     primary index is active and its array exists.
**
** Status convention: 1 success, -1 refused call, -2 memory exhausted; element
** accessors return the element's address or null.  Failures are recorded in
** the last-error record with the operation's name as message; some also go to
** the trace log (see list.cpp).
*/
#ifndef LIST_H
#define LIST_H

#include <cstdint>

#include "applierrno.h"

/* Comparison of two elements (in searches, the key comes first). */
typedef int (*LIST_FCMP)(const void *a, const void *b);

inline constexpr int32_t LIST_MARQUEUR_INIT = 1111111;

struct LIST {
    int32_t initMarker;      /* LIST_MARQUEUR_INIT once initialised */
    int32_t elementSize;     /* bytes per element */
    int32_t count;           /* number of elements */
    int32_t capacity;        /* slots allocated, all blocks together */
    int32_t initialAlloc;    /* slots of the first block when expansionStep > 0 */
    int32_t expansionStep;   /* slots per later growth; <= 0 selects doubling */
    int32_t maxExpansion;    /* bound on one doubling growth; <= 0: none */
    int32_t *handleAt;       /* null: by rank, the handle is the rank */
    int32_t *rankOf;         /* null: by handle, the rank is the handle */
    int32_t *blockOf;        /* null: by handle, the block follows from blockFirst */
    int32_t *blockFirst;     /* by block: first handle */
    int32_t *blockSize;      /* by block: number of slots */
    int32_t nbBlocks;
    int32_t lastExpansion;   /* size of the last doubling growth, 0 before */
    char **blocks;           /* by block: element storage */
    int32_t *primaryIndex;   /* by index: rank */
    int32_t primaryActive;   /* 1: the primary index exists or will at next growth */
    int32_t primarySorted;   /* 1: primaryIndex follows fcmp */
    LIST_FCMP fcmp;          /* the installed comparison function, or null */
    unsigned char *tags;     /* by rank: one tag byte per element; null while all are 0 */
};

/* Error codes of the container (class 1). */
#define LIST_CODE(n, t) inline constexpr ApplErrno n{#n, t, 1, "liboutilsgeneraux/src/list"}
LIST_CODE(EA_LIST_PT_NULL, "pointeur liste a NULL");
LIST_CODE(EA_LIST_NON_INIT, "liste non initialisee");
LIST_CODE(EA_LIST_RANG_INV, "rang invalide");
LIST_CODE(EA_LIST_INDICE_INV, "indice invalide");
LIST_CODE(EA_LIST_HND_INV, "handle invalide");
LIST_CODE(EA_LIST_INDEX_KO, "indexes non actives");
LIST_CODE(EA_LIST_VIDE, "liste vide");
LIST_CODE(EA_LIST_HND_VIDE, "handle vide");
LIST_CODE(EA_LIST_OBJ_NULL, "objet a NULL");
LIST_CODE(EA_LIST_FCMP_NULL, "fonction de comparaison a NULL");
LIST_CODE(EA_LIST_FPRT_NULL, "fonction de print a NULL");
LIST_CODE(EA_LIST_FILEPRT_NULL, "fichier de print a NULL");
LIST_CODE(EA_LIST_FREAD_NULL, "fonction de read a NULL");
LIST_CODE(EA_LIST_FILEREAD_NULL, "fichier de read a NULL");
LIST_CODE(EA_LIST_INDEX_SUPP_KO, "indexes non desactives");
LIST_CODE(EA_LIST_INDEX_SUPP_DISPO_KO, "plus d''indexes disponibles");
LIST_CODE(EA_LIST_INDEX_SUPP_INIT_KO, "init nbmaxindexes deja faite");
LIST_CODE(EA_LIST_NUM_INDEX_SUPP_KO, "numero d''indexes incorrect");
LIST_CODE(EA_LIST_INDEX_SUPP_INACTIF, "indexe supp inactif");
#undef LIST_CODE

/* Initialise a caller-provided record; returns it (null when given null). */
LIST *list_init(LIST *l, int initialAlloc, int expansionStep, int elementSize, LIST_FCMP fcmp);

/* Number of elements, or -1 (no list: EA_INVPRMS; not initialised). */
int list_length(const LIST *l);

/* Copy element into a new slot at rank count.  1, -1 or -2. */
int list_append(LIST *l, const void *element, int tag);

/* Element of that rank, or null; writes its tag when tagOut is given. */
void *list_element(const LIST *l, int rank, uint32_t *tagOut = nullptr);

/* Rank of the slot of handle (-1 for a free slot).  1 or -1. */
int list_rang_from_handle(const LIST *l, int handle, int *rankOut);

/* Create the primary index if the list has none.  1 or -1. */
int list_activer_indexe_primaire(LIST *l);

/* Sort the primary index by fcmp (the installed one when null); install it. */
void list_trier(LIST *l, LIST_FCMP fcmp);

/* Element at position index of the primary index, or null. */
void *list_element_trie(const LIST *l, int index, uint32_t *tagOut = nullptr);

/*
** The ranks of all the elements in the order of the primary index, into
** rangs (room for list_length entries): the order list_element_trie walks.
** 1, or -1 as list_element_trie at index 0 (an empty list included).
*/
int list_rangs_trie(const LIST *l, int32_t *rangs);

/* Handle of the element at position index of the primary index.  1 or -1. */
int list_handle_from_indice(const LIST *l, int index, int *handleOut);

/*
** Binary search of the primary index for key.  The element found, or null.
** rankOut receives its rank, or count when not found (0 on a refused call).
*/
void *list_bsearch(const LIST *l, const void *key, int *rankOut, uint32_t *tagOut = nullptr);

/* The same search; indexOut receives the index found or the insertion point. */
void *list_bsearch_trie(const LIST *l, const void *key, int *indexOut, uint32_t *tagOut = nullptr);

/* Append element and place it in sorted order in the primary index.  1, -1, -2. */
int list_insert(LIST *l, const void *element, int tag);

/*
** The container's sort of index entries e[0..n-1]: quicksort with median of
** three (ninther above 40), three-way partition, insertion sort below 7 and
** after a partition pass that swapped nothing.  Not stable: equal entries end
** in exactly the order these steps give.  cmp(a, b, ctx) compares the
** elements whose ranks are the entry values a and b.
*/
typedef int (*LIST_QCMP)(int32_t a, int32_t b, void *ctx);
void list_qsort(int32_t *e, int n, LIST_QCMP cmp, void *ctx);

/*
** Sort key of an element for a comparison function (see list_associer_cle).
** Let list_trier compare 64-bit keys, read once per element, instead of
** calling fcmp on the elements: cle(a) < cle(b) must imply fcmp(a, b) < 0;
** on equal keys fcmp decides, unless exacte (then equal keys mean equal
** elements).  The permutation is the one fcmp gives.  A null cle removes the
** key.  1, or -1 (EA_INVPRMS) without fcmp or when 16 functions have keys.
*/
typedef uint64_t (*LIST_FCLE)(const void *element);
int list_associer_cle(LIST_FCMP fcmp, LIST_FCLE cle, int exacte);

/*
** Install fcmp with the primary index in the order rangs[0..count-1] (the
** ranks of the elements, each once), which the caller has sorted by fcmp,
** equal elements in any order: for a caller that got that order without
** comparing elements.  1, or -1 without list or order (PT_NULL), on a list
** not initialised (NON_INIT), when rangs is not a permutation of the ranks
** (EA_INVPRMS) or when the index cannot be created; the list is then left
** as it was.
*/
int list_installer_ordre(LIST *l, LIST_FCMP fcmp, const int32_t *rangs);

/*
** Tests only: let the next nbPermises allocations of the container succeed
** and make every later one fail as if memory were exhausted.  A negative
** value removes the limit (the default).
*/
void list_test_limiter_allocations(int nbPermises);

#endif
