/* Tests of the indexed list: sort, search, insertion, growth, tags, failures. */
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "applierrno.h"
#include "list.h"
#include "testutil.h"
#include "traces.h"

namespace {

/* num is the element's rank: the order of appending. */
struct Elt {
    int cle, cle2, num;
};

int signe(int x, int y) { return (x > y) - (x < y); }
int parCle(const void *a, const void *b) { return signe(((const Elt *)a)->cle, ((const Elt *)b)->cle); }
int parCle2(const void *a, const void *b) { return signe(((const Elt *)a)->cle2, ((const Elt *)b)->cle2); }

Elt *trie(const LIST &l, int i) { return static_cast<Elt *>(list_element_trie(&l, i)); }

/* The last failure recorded is code with message nom, from the list's source. */
void attendreErreur(const ApplErrno &code, const char *nom)
{
    const ApplLastError &e = appli_last_error();
    EXPECT_EQ(e.code, &code) << (e.code ? e.code->name : "none") << " instead of " << code.name;
    EXPECT_STREQ(e.message ? e.message : "(null)", nom);
    EXPECT_STREQ(e.sourceFile ? e.sourceFile : "(null)", "liboutilsgeneraux/src/list");
}
#define ECHEC(appel, resultat, code, nom) \
    do {                                  \
        EXPECT_EQ(appel, resultat);       \
        attendreErreur(code, nom);        \
    } while (0)

/* Entries compared by their keys, counting the calls. */
struct Cles {
    std::vector<long> k;
    long appels = 0;
};
int parEntree(int32_t a, int32_t b, void *ctx)
{
    Cles *c = static_cast<Cles *>(ctx);
    c->appels++;
    return (c->k[a] > c->k[b]) - (c->k[a] < c->k[b]);
}

/*
** The reference: the container's sort written plainly (recursion on the left
** part, insertion sort after a pass without swaps), whose permutations and
** comparison counts the vectors file gives.  list_qsort must leave the same
** permutations with fewer comparisons where insertion sort is slow.
*/
void referenceQsort(int32_t *e, int n, Cles &c)
{
    auto cmp = [&](int i, int j) { return parEntree(e[i], e[j], &c); };
    auto insertion = [&] {
        for (int m = 1; m < n; m++)
            for (int l = m; l > 0 && cmp(l - 1, l) > 0; l--) std::swap(e[l], e[l - 1]);
    };
    auto med3 = [&](int a, int b, int d) {
        return cmp(a, b) < 0 ? (cmp(b, d) < 0 ? b : cmp(a, d) < 0 ? d : a)
                             : (cmp(b, d) > 0 ? b : cmp(a, d) < 0 ? a : d);
    };
    for (;;) {
        if (n < 7) return insertion();
        int m = n / 2, lo = 0, hi = n - 1;
        if (n > 40) {
            const int d = n / 8;
            lo = med3(lo, lo + d, lo + 2 * d);
            m = med3(m - d, m, m + d);
            hi = med3(hi - 2 * d, hi - d, hi);
        }
        if (n > 7) m = med3(lo, m, hi);
        std::swap(e[0], e[m]);
        bool echange = false;
        int pa = 1, pb = 1, pc = n - 1, pd = n - 1, r;
        for (;;) {
            for (; pb <= pc && (r = cmp(pb, 0)) <= 0; pb++)
                if (r == 0) echange = true, std::swap(e[pa++], e[pb]);
            for (; pb <= pc && (r = cmp(pc, 0)) >= 0; pc--)
                if (r == 0) echange = true, std::swap(e[pc], e[pd--]);
            if (pb > pc) break;
            echange = true;
            std::swap(e[pb++], e[pc--]);
        }
        if (!echange) return insertion();
        r = std::min(pa, pb - pa);
        for (int k = 0; k < r; k++) std::swap(e[k], e[pb - r + k]);
        r = std::min(pd - pc, n - 1 - pd);
        for (int k = 0; k < r; k++) std::swap(e[pb + k], e[n - r + k]);
        if (pb - pa > 1) referenceQsort(e, pb - pa, c);
        if (pd - pc <= 1) return;
        e += n - (pd - pc);
        n = pd - pc;
    }
}

/* Keys m-1..0, m, n-1..m+1 (m = n/2): the first pass swaps nothing, so the
** reference hands two descending runs to insertion sort. */
std::vector<long> clesAdverses(int n)
{
    const int m = n / 2;
    std::vector<long> k(static_cast<size_t>(n));
    for (int i = 0; i < n; i++) k[i] = i < m ? m - 1 - i : i == m ? m : n + m - i;
    return k;
}

/* list_qsort and the reference leave the same permutation; returns it. */
std::vector<int32_t> comparerALaReference(Cles &c, const std::string &nom, long ncmpReference = -1)
{
    std::vector<int32_t> e(c.k.size()), ref(c.k.size());
    for (size_t i = 0; i < e.size(); i++) e[i] = ref[i] = static_cast<int32_t>(i);
    Cles cr = c;
    referenceQsort(ref.data(), static_cast<int>(ref.size()), cr);
    if (ncmpReference >= 0) {
        EXPECT_EQ(cr.appels, ncmpReference) << nom;
    }
    list_qsort(e.data(), static_cast<int>(e.size()), parEntree, &c);
    EXPECT_EQ(e, ref) << nom;
    return ref;
}

}  // namespace

TEST(ListTri, ReproduitLesVecteursDeReference)
{
    std::ifstream in(QUELTO_TEST_DATA "/sort-ties-vectors.txt");
    ASSERT_TRUE(in);
    std::string ligne, mot, nom;
    int nbCas = 0;
    while (std::getline(in, ligne)) {
        if (ligne.empty() || ligne[0] == '#') continue;
        std::istringstream s(ligne);
        Cles c;
        std::vector<int32_t> attendu;
        long ncmp = -1;
        s >> mot;
        while (s >> mot && mot != "|") c.k.push_back(std::stol(mot));
        s >> mot;
        while (s >> mot && mot != "|") attendu.push_back(std::stoi(mot));
        s >> mot >> ncmp >> mot >> mot >> nom;
        EXPECT_EQ(comparerALaReference(c, nom, ncmp), attendu) << nom;
        nbCas++;
    }
    EXPECT_EQ(nbCas, 2177);
}

/* Random keys with many ties, every size around the thresholds 7 and 40 and
** larger ones; then the quadratic pattern, in O(n log n) comparisons. */
TEST(ListTri, MemesPermutationsQueLaReferenceEnMoinsDeComparaisons)
{
    std::mt19937 alea(5);
    for (int essai = 0; essai < 3000; essai++) {
        const int n = essai < 2000 ? essai % 100 : static_cast<int>(alea() % 3000);
        const long plage = 1 + static_cast<long>(alea() % (essai % 3 == 0 ? 4 : n + 2));
        Cles c;
        for (int i = 0; i < n; i++) {
            const long presque = i / 3 % plage; /* runs sorted or reversed, with ties */
            c.k.push_back(essai % 5 == 0 ? presque : essai % 5 == 1 ? plage - presque : static_cast<long>(alea() % plage));
        }
        comparerALaReference(c, "essai " + std::to_string(essai));
    }
    for (int n : {41, 100, 1001, 20000}) {
        Cles c;
        c.k = clesAdverses(n);
        comparerALaReference(c, "adverse " + std::to_string(n));
        if (n == 20000) {
            EXPECT_LT(c.appels, 40L * n);
        }
    }
    std::vector<int32_t> e(1000000); /* in O(n^2), this would not end */
    Cles c;
    c.k = clesAdverses(static_cast<int>(e.size()));
    for (size_t i = 0; i < e.size(); i++) e[i] = static_cast<int32_t>(i);
    list_qsort(e.data(), static_cast<int>(e.size()), parEntree, &c);
    for (size_t i = 0; i < e.size(); i++) ASSERT_EQ(c.k[e[i]], static_cast<long>(i));
}

/*
** Sorts through keys (list_associer_cle) against list_qsort on the elements:
** long lists whose keys are all different (placed by key or sorted by the
** keys' bytes), with one pair of equal keys or many ties (taken back to the
** quicksort), and with keys that are only a prefix of the order (equal
** prefixes decided by the function).
*/
struct Nomme {
    char nom[24];
};
int parNomme(const void *a, const void *b) { return strcmp(((const Nomme *)a)->nom, ((const Nomme *)b)->nom); }
int parFinDuNom(const void *a, const void *b)
{
    const char *x = ((const Nomme *)a)->nom, *y = ((const Nomme *)b)->nom;
    return signe(x[strlen(x) - 1], y[strlen(y) - 1]);
}
uint64_t clePrefixe(const void *a)
{
    uint64_t k = 0;
    const char *s = ((const Nomme *)a)->nom;
    for (int i = 0, fini = 0; i < 8; i++) {
        fini = fini || s[i] == '\0';
        k = k << 8 | (fini ? 0u : static_cast<unsigned char>(s[i]));
    }
    return k;
}
uint64_t cleEntier(const void *a) { return static_cast<uint64_t>(static_cast<uint32_t>(((const Elt *)a)->cle) ^ 0x80000000u) << 32; }

TEST(ListTri, ParClesCommeLaFonctionQuellesSoientDistinctesOuNon)
{
    std::mt19937 alea(11);
    ASSERT_EQ(list_associer_cle(parCle, cleEntier, 1), 1);
    ASSERT_EQ(list_associer_cle(parNomme, clePrefixe, 0), 1);
    auto comparer = [](LIST &l, LIST_FCMP f, const std::string &cas) {
        struct Ctx {
            LIST *l;
            LIST_FCMP f;
        } ctx{&l, f};
        auto parElements = [](int32_t a, int32_t b, void *x) {
            Ctx *c = static_cast<Ctx *>(x);
            return c->f(list_element(c->l, a), list_element(c->l, b));
        };
        std::vector<int32_t> attendu(l.primaryIndex, l.primaryIndex + l.count);
        list_qsort(attendu.data(), l.count, parElements, &ctx);
        list_trier(&l, f);
        ASSERT_EQ(attendu, std::vector<int32_t>(l.primaryIndex, l.primaryIndex + l.count)) << cas;
    };
    for (int essai = 0; essai < 12; essai++) {
        const int n = 4096 + static_cast<int>(alea() % 30000);
        LIST l;
        list_init(&l, 0, 0, sizeof(Elt), nullptr);
        std::vector<int> cles(n);
        for (int i = 0; i < n; i++) /* ranks (with gaps or not), any int, or a colour's few values */
            cles[i] = essai % 3 == 0 ? (essai % 4 < 2 ? i : i + i / 2) - n / 2
                                     : static_cast<int>(essai % 3 == 1 ? alea() : alea() % 50 - 25);
        std::shuffle(cles.begin(), cles.end(), alea);
        if (essai % 2 == 1) cles[alea() % n] = cles[alea() % n]; /* perhaps one pair of equal keys */
        for (int i = 0; i < n; i++) {
            Elt x{cles[i], 0, i};
            ASSERT_EQ(list_append(&l, &x, 0), 1);
        }
        list_trier(&l, parCle2); /* some order other than the ranks' */
        comparer(l, parCle, "entiers " + std::to_string(essai));

        LIST m;
        list_init(&m, 0, 0, sizeof(Nomme), nullptr);
        for (int i = 0; i < n; i++) {
            Nomme x{};
            const int numero = essai % 2 == 0 ? i : static_cast<int>(alea() % (n / 2));
            snprintf(x.nom, sizeof x.nom, essai % 4 < 2 ? "V%07d" : "PREFIXE-%d", numero);
            ASSERT_EQ(list_append(&m, &x, 0), 1);
        }
        list_trier(&m, parFinDuNom);
        comparer(m, parNomme, "noms " + std::to_string(essai));
    }
    list_associer_cle(parCle, nullptr, 0);
    list_associer_cle(parNomme, nullptr, 0);
}

/* Both searches against a plain bisection, on lists with many ties; each
** insertion lands just before the equal element found. */
TEST(ListRecherche, ChoixParmiLesEgauxCommeLaBissection)
{
    std::mt19937 alea(11);
    for (int essai = 0; essai < 200; essai++) {
        LIST l;
        list_init(&l, 0, 0, sizeof(Elt), parCle);
        const int n = static_cast<int>(alea() % 40), plage = 1 + static_cast<int>(alea() % 6);
        for (int i = 0; i < n; i++) {
            Elt x{static_cast<int>(alea() % plage), 0, i};
            int lo = 0, hi = l.count, trouve = -1;
            while (lo < hi && trouve < 0) {
                const int mid = (lo + hi) / 2, k = trie(l, mid)->cle;
                if (x.cle == k) trouve = mid;
                else if (x.cle < k) hi = mid;
                else lo = mid + 1;
            }
            int r = -5, p = -5;
            Elt *e1 = static_cast<Elt *>(list_bsearch(&l, &x, &r));
            Elt *e2 = static_cast<Elt *>(list_bsearch_trie(&l, &x, &p));
            EXPECT_EQ(e1, e2);
            ASSERT_EQ(e1, trouve >= 0 ? trie(l, trouve) : nullptr);
            EXPECT_EQ(r, trouve >= 0 ? e1->num : l.count);
            EXPECT_EQ(p, trouve >= 0 ? trouve : lo);
            ASSERT_EQ(list_insert(&l, &x, 0), 1);
            EXPECT_EQ(trie(l, p)->num, i);
        }
        for (int j = 1; j < l.count; j++) EXPECT_LE(trie(l, j - 1)->cle, trie(l, j)->cle);
    }
}

TEST(ListStockage, CroissanceAdressesStablesEtTags)
{
    LIST l, p;
    list_init(&l, 2000, 0, sizeof(Elt), nullptr);
    const int capacites[] = {1, 3, 3, 7, 7, 7, 7, 15};
    std::vector<Elt *> adresses;
    for (int i = 0; i < 1000; i++) {
        Elt x{i, 0, i};
        ASSERT_EQ(list_append(&l, &x, i - 1), 1);
        EXPECT_EQ(l.capacity, i < 8 ? capacites[i] : l.capacity);
        adresses.push_back(static_cast<Elt *>(list_element(&l, i)));
    }
    EXPECT_EQ(l.capacity, 1023);
    for (int i = 0; i < 1000; i++) {
        uint32_t tag = 1234;
        int r = -2;
        EXPECT_EQ(list_element(&l, i, &tag), adresses[i]);
        EXPECT_EQ(adresses[i]->num, i);
        EXPECT_EQ(tag, static_cast<uint32_t>((i - 1) & 0xFF)); /* -1 reads 255 */
        EXPECT_EQ(list_rang_from_handle(&l, i, &r), 1);
        EXPECT_EQ(r, i);
    }
    int r = 0; /* a free slot within the capacity reads as rank -1 */
    EXPECT_EQ(list_rang_from_handle(&l, 1022, &r), 1);
    EXPECT_EQ(r, -1);
    ECHEC(list_rang_from_handle(&l, 1023, &r), -1, EA_LIST_HND_INV, "list_rang_from_handle");

    list_init(&p, 100, 10, sizeof(Elt), nullptr);
    for (int i = 0; i < 101; i++) ASSERT_EQ(list_append(&p, &l, 0), 1); /* any 12 bytes */
    EXPECT_EQ(p.capacity, 110);
}

/* Each allocation of a growth failed in turn: -2, nothing lost, and the next
** growth goes as if nothing had happened. */
TEST(ListStockage, EchecDAllocationLaisseLaListeUtilisable)
{
    Elt x{3, 0, 3};
    int permises = 0;
    for (;; permises++) {
        LIST l;
        list_init(&l, 0, 0, sizeof(Elt), parCle);
        for (int i = 0; i < 3; i++) {
            Elt y{i, 0, i};
            ASSERT_EQ(list_insert(&l, &y, i), 1);
        }
        void *premier = list_element(&l, 0);
        list_test_limiter_allocations(permises);
        const int rc = list_insert(&l, &x, 3);
        list_test_limiter_allocations(-1);
        if (rc == 1) break;
        ECHEC(rc, -2, EX_MALLOC, "list_realloc");
        EXPECT_EQ(l.count, 3);
        EXPECT_EQ(l.capacity, 3);
        ASSERT_EQ(list_insert(&l, &x, 3), 1);
        EXPECT_EQ(l.capacity, 7);
        EXPECT_EQ(list_element(&l, 0), premier);
        for (int i = 0; i < 4; i++) EXPECT_EQ(trie(l, i)->cle, i);
    }
    EXPECT_EQ(permises, 5); /* 5 arrays by block and by rank; the small block comes from the shared zone */
    LIST g; /* a large block has an allocation of its own, which may fail too */
    static char gros[1 << 20] = {7};
    list_init(&g, 0, 0, sizeof gros, nullptr);
    list_test_limiter_allocations(3);
    ECHEC(list_append(&g, gros, 0), -2, EX_MALLOC, "list_realloc");
    list_test_limiter_allocations(-1);
    EXPECT_EQ(g.capacity, 0);
    ASSERT_EQ(list_append(&g, gros, 0), 1);
    EXPECT_EQ(memcmp(list_element(&g, 0), gros, sizeof gros), 0);
    LIST a;
    list_init(&a, 0, 0, sizeof(Elt), nullptr);
    ASSERT_EQ(list_append(&a, &x, 0), 1);
    list_test_limiter_allocations(0);
    ECHEC(list_activer_indexe_primaire(&a), -1, EX_MALLOC, "list_activer_indexe_primaire : malloc");
    list_test_limiter_allocations(-1);
    EXPECT_EQ(a.primaryActive, 0);

    a.count = a.capacity = INT32_MAX; /* 32-bit counts: a full list cannot grow */
    ECHEC(list_append(&a, &x, 0), -2, EX_MALLOC, "list_realloc");
}

/*
** Refused calls: each records its code with the operation's name, and only
** the operations that the program's trace log shows (length, append,
** insertion, index creation) write there.
*/
TEST(ListErreurs, CodesEtTracesDesAppelsRefuses)
{
    testutil::TempDir d;
    ASSERT_EQ(f_set_dbg_logfile_name((d / "trace.log").c_str(), "w"), 0);
    LIST l, ni, sansIndex, sansFcmp, vide;
    memset(&ni, 0, sizeof ni);
    list_init(&l, 0, 0, sizeof(Elt), parCle);
    list_init(&sansIndex, 0, 0, sizeof(Elt), nullptr);
    list_init(&sansFcmp, 0, 0, sizeof(Elt), nullptr);
    list_init(&vide, 0, 0, sizeof(Elt), parCle);
    list_activer_indexe_primaire(&sansFcmp);
    Elt x{1, 1, 0};
    ASSERT_EQ(list_insert(&l, &x, 0), 1);
    ASSERT_EQ(list_append(&sansIndex, &x, 0), 1);
    int out = 77;
    const struct {
        bool refuse;
        const ApplErrno &code;
        const char *nom;
        bool trace;
    } cas[] = {
        {list_length(nullptr) == -1, EA_INVPRMS, "list_length", true},
        {list_append(&ni, nullptr, 0) == -1, EA_LIST_OBJ_NULL, "list_append", true},
        {list_insert(&sansFcmp, &x, 0) == -1, EA_LIST_FCMP_NULL, "list_insert", true},
        {list_activer_indexe_primaire(&ni) == -1, EA_LIST_NON_INIT, "list_activer_indexe_primaire", true},
        {list_element(nullptr, 0) == nullptr, EA_LIST_PT_NULL, "list_element", false},
        {list_element(&vide, 0) == nullptr, EA_LIST_RANG_INV, "list_element", false},
        {list_rang_from_handle(&vide, 0, &out) == -1, EA_LIST_VIDE, "list_rang_from_handle", false},
        {list_rang_from_handle(&l, -1, &out) == -1, EA_LIST_HND_INV, "list_rang_from_handle", false},
        {list_element_trie(&sansIndex, 0) == nullptr, EA_LIST_INDEX_KO, "list_element_trie", false},
        {list_element_trie(&l, 1) == nullptr, EA_LIST_INDICE_INV, "list_element_trie", false},
        {list_rangs_trie(&vide, &out) == -1, EA_LIST_INDEX_KO, "list_rangs_trie", false},
        {list_bsearch(&sansFcmp, &x, &out) == nullptr && out == 0, EA_LIST_FCMP_NULL, "list_bsearch", false},
        {list_bsearch_trie(&l, nullptr, &out) == nullptr && out == 0, EA_LIST_OBJ_NULL, "list_bsearch_trie", false},
    };
    const std::string journal = testutil::lireFichier(d / "trace.log");
    for (const auto &c : cas) {
        SCOPED_TRACE(c.nom);
        EXPECT_TRUE(c.refuse);
        EXPECT_EQ(c.trace, journal.find(std::string("==>[") + c.nom + "]") != std::string::npos);
    }
    /* The record keeps the last refusal; an empty list is searched without one. */
    ECHEC(list_rang_from_handle(&l, 1, &out), -1, EA_LIST_HND_INV, "list_rang_from_handle");
    appli_reset_errno();
    EXPECT_EQ(list_bsearch(&vide, &x, &out), nullptr);
    EXPECT_EQ(appli_last_error().code, nullptr);

    /* An append unsorts the index: insertion is refused until a sort; without an index it appends. */
    ASSERT_EQ(list_append(&l, &x, 0), 1);
    ECHEC(list_insert(&l, &x, 0), -1, EA_LIST_FCMP_NULL, "list_insert");
    list_trier(&l, nullptr);
    EXPECT_EQ(list_insert(&l, &x, 0), 1);
    EXPECT_EQ(list_insert(&sansIndex, &x, 0), 1);
    EXPECT_EQ(list_length(&sansIndex), 2);
}

/* An order given by the caller is installed only when it is a permutation of the ranks. */
TEST(ListErreurs, OrdreInstalleSeulementSiPermutation)
{
    LIST l, ni;
    memset(&ni, 0, sizeof ni);
    list_init(&l, 0, 0, sizeof(Elt), nullptr);
    for (int i = 0; i < 4; i++) {
        Elt x{3 - i, i, 0};
        ASSERT_EQ(list_append(&l, &x, 0), 1);
    }
    const int32_t doublon[] = {3, 2, 2, 0}, horsBornes[] = {3, 2, 1, 4}, bon[] = {3, 2, 1, 0};
    ECHEC(list_installer_ordre(nullptr, parCle, bon), -1, EA_LIST_PT_NULL, "list_installer_ordre");
    ECHEC(list_installer_ordre(&ni, parCle, bon), -1, EA_LIST_NON_INIT, "list_installer_ordre");
    ECHEC(list_installer_ordre(&l, parCle, doublon), -1, EA_INVPRMS, "list_installer_ordre");
    ECHEC(list_installer_ordre(&l, parCle, horsBornes), -1, EA_INVPRMS, "list_installer_ordre");
    EXPECT_EQ(l.primaryActive + l.primarySorted, 0);
    EXPECT_EQ(l.fcmp, nullptr);

    ASSERT_EQ(list_installer_ordre(&l, parCle, bon), 1);
    EXPECT_EQ(l.fcmp, parCle);
    for (int i = 0; i < 4; i++) EXPECT_EQ(static_cast<const Elt *>(list_element_trie(&l, i))->cle, i);
    Elt cherche{2, 0, 0};
    int indice = -1;
    ASSERT_NE(list_bsearch_trie(&l, &cherche, &indice), nullptr);
    EXPECT_EQ(indice, 2);
}
