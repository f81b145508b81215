/* Tests of the indexed list: growth, tags, failures, sort, search, insertion. */
#include <gtest/gtest.h>

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

struct Elt {
    int cle;
    int num;
};

int comparerCle(const void *a, const void *b)
{
    const int x = static_cast<const Elt *>(a)->cle, y = static_cast<const Elt *>(b)->cle;
    return (x > y) - (x < y);
}

int comparerNum(const void *a, const void *b)
{
    const int x = static_cast<const Elt *>(a)->num, y = static_cast<const Elt *>(b)->num;
    return (x > y) - (x < y);
}

/* The last recorded failure is code with message nom, from the list's source. */
void attendreErreur(const ApplErrno &code, const char *nom)
{
    const ApplLastError &e = appli_last_error();
    EXPECT_EQ(e.code, &code) << (e.code ? e.code->name : "none") << " instead of " << code.name;
    ASSERT_NE(e.message, nullptr);
    EXPECT_STREQ(e.message, nom);
    ASSERT_NE(e.sourceFile, nullptr);
    EXPECT_STREQ(e.sourceFile, "liboutilsgeneraux/src/list");
}

int rangDe(const LIST &l, const void *p)
{
    for (int r = 0; r < l.count; r++)
        if (list_element(&l, r) == p) return r;
    return -1;
}

std::vector<int> ordreIndex(const LIST &l)
{
    std::vector<int> v;
    for (int i = 0; i < l.count; i++) v.push_back(rangDe(l, list_element_trie(&l, i)));
    return v;
}

/* Comparison of entries i and j by keys[i] - keys[j], counting the calls. */
struct Cles {
    std::vector<long> k;
    long appels = 0;
};

int comparerEntrees(int32_t a, int32_t b, void *ctx)
{
    Cles *c = static_cast<Cles *>(ctx);
    c->appels++;
    return (c->k[a] > c->k[b]) - (c->k[a] < c->k[b]);
}

}  // namespace

TEST(ListQsort, ReproduitLesVecteursDeReference)
{
    std::ifstream in(QUELTO_TEST_DATA "/sort-ties-vectors.txt");
    ASSERT_TRUE(in) << "missing reference vectors";
    std::string ligne;
    int nbCas = 0;
    while (std::getline(in, ligne)) {
        if (ligne.empty() || ligne[0] == '#') continue;
        std::istringstream s(ligne);
        std::string mot;
        Cles c;
        std::vector<int32_t> attendu;
        long ncmp = -1;
        std::string nom;
        s >> mot;
        ASSERT_EQ(mot, "keys");
        while (s >> mot && mot != "|") c.k.push_back(std::stol(mot));
        s >> mot;
        ASSERT_EQ(mot, "perm");
        while (s >> mot && mot != "|") attendu.push_back(std::stoi(mot));
        s >> mot >> ncmp >> mot >> mot >> nom;
        ASSERT_EQ(attendu.size(), c.k.size()) << ligne;

        std::vector<int32_t> e(c.k.size());
        for (size_t i = 0; i < e.size(); i++) e[i] = static_cast<int32_t>(i);
        list_qsort(e.data(), static_cast<int>(e.size()), comparerEntrees, &c);
        EXPECT_EQ(e, attendu) << nom;
        EXPECT_EQ(c.appels, ncmp) << nom;
        nbCas++;
    }
    EXPECT_EQ(nbCas, 2177);
}

/* list_trier sorts the index from the order the previous sort left. */
TEST(ListTrier, PartDeLOrdreCourantDeLIndex)
{
    std::mt19937 alea(7);
    LIST l;
    list_init(&l, 0, 0, sizeof(Elt), nullptr);
    Cles parCle, parNum;
    for (int i = 0; i < 300; i++) {
        Elt x{static_cast<int>(alea() % 4), static_cast<int>(alea() % 5)};
        ASSERT_EQ(list_append(&l, &x, 0), 1);
        parCle.k.push_back(x.cle);
        parNum.k.push_back(x.num);
    }
    std::vector<int32_t> e(300);
    for (int i = 0; i < 300; i++) e[i] = i;
    list_qsort(e.data(), 300, comparerEntrees, &parCle);
    list_qsort(e.data(), 300, comparerEntrees, &parNum);

    list_trier(&l, comparerCle);
    list_trier(&l, comparerNum);
    EXPECT_EQ(ordreIndex(l), std::vector<int>(e.begin(), e.end()));
    EXPECT_EQ(l.fcmp, &comparerNum);
    EXPECT_EQ(l.primarySorted, 1);
    for (int r = 0; r < 300; r++)  /* ranks are untouched */
        EXPECT_EQ(static_cast<Elt *>(list_element(&l, r))->cle, parCle.k[r]);

    /* Sorting again with the installed function keeps the index sorted. */
    list_trier(&l, nullptr);
    for (int i = 1; i < 300; i++)
        EXPECT_LE(comparerNum(list_element_trie(&l, i - 1), list_element_trie(&l, i)), 0);
}

TEST(ListCroissance, CapacitesEtAdressesStables)
{
    LIST l;
    ASSERT_EQ(list_init(&l, 2000, 0, sizeof(Elt), nullptr), &l);
    EXPECT_EQ(list_length(&l), 0);
    const int capacites[] = {1, 3, 3, 7, 7, 7, 7, 15};
    std::vector<Elt *> adresses;
    for (int i = 0; i < 1000; i++) {
        Elt x{i, -i};
        ASSERT_EQ(list_append(&l, &x, i), 1);
        if (i < 8) {
            EXPECT_EQ(l.capacity, capacites[i]) << i;
        }
        adresses.push_back(static_cast<Elt *>(list_element(&l, i)));
    }
    EXPECT_EQ(l.capacity, 1023);
    EXPECT_EQ(l.nbBlocks, 10);
    for (int i = 0; i < 1000; i++) {
        EXPECT_EQ(list_element(&l, i), adresses[i]);
        EXPECT_EQ(adresses[i]->cle, i);
        int r = -2;
        ASSERT_EQ(list_rang_from_handle(&l, i, &r), 1);
        EXPECT_EQ(r, i);
    }
    /* A free slot within the capacity reads as rank -1; one past it is invalid. */
    int r = 0;
    EXPECT_EQ(list_rang_from_handle(&l, 1022, &r), 1);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(list_rang_from_handle(&l, 1023, &r), -1);
    attendreErreur(EA_LIST_HND_INV, "list_rang_from_handle");

    LIST p;
    list_init(&p, 100, 10, sizeof(Elt), nullptr);
    for (int i = 0; i < 101; i++) {
        Elt x{i, i};
        ASSERT_EQ(list_append(&p, &x, 0), 1);
        EXPECT_EQ(p.capacity, i < 100 ? 100 : 110);
    }
    LIST q; /* positive step and no initial allocation: the step from the start */
    list_init(&q, 0, 5, sizeof(Elt), nullptr);
    Elt x{1, 1};
    ASSERT_EQ(list_append(&q, &x, 0), 1);
    EXPECT_EQ(q.capacity, 5);
}

TEST(ListCroissance, EchecDAllocationLaisseLaListeUtilisable)
{
    /* Fail each allocation of a growth in turn; then the growth must succeed
    ** as if nothing had happened. */
    for (int permises = 0;; permises++) {
        LIST l;
        list_init(&l, 0, 0, sizeof(Elt), comparerCle);
        for (int i = 0; i < 3; i++) {
            Elt x{i, i};
            ASSERT_EQ(list_append(&l, &x, i), 1);
        }
        Elt *premier = static_cast<Elt *>(list_element(&l, 0));
        list_test_limiter_allocations(permises);
        Elt x{3, 3};
        const int rc = list_append(&l, &x, 3);
        list_test_limiter_allocations(-1);
        if (rc == 1) {
            EXPECT_GE(permises, 8);
            break;
        }
        ASSERT_EQ(rc, -2);
        attendreErreur(EX_MALLOC, "list_realloc");
        EXPECT_EQ(l.count, 3);
        EXPECT_EQ(l.capacity, 3);
        EXPECT_EQ(l.lastExpansion, 2);
        ASSERT_EQ(list_append(&l, &x, 3), 1);
        EXPECT_EQ(l.capacity, 7);
        EXPECT_EQ(list_element(&l, 0), premier);
        list_trier(&l, nullptr);
        for (int i = 0; i < 4; i++) {
            uint32_t tag = 99;
            EXPECT_EQ(static_cast<Elt *>(list_element_trie(&l, i, &tag))->cle, i);
            EXPECT_EQ(tag, static_cast<uint32_t>(i));
        }
    }

    LIST a;
    list_init(&a, 0, 0, sizeof(Elt), nullptr);
    Elt x{0, 0};
    ASSERT_EQ(list_append(&a, &x, 0), 1);
    list_test_limiter_allocations(0);
    EXPECT_EQ(list_activer_indexe_primaire(&a), -1);
    list_test_limiter_allocations(-1);
    attendreErreur(EX_MALLOC, "list_activer_indexe_primaire : malloc");
    EXPECT_EQ(a.primaryActive, 0);

    /* 32-bit counts: a full list refuses to grow, without touching memory. */
    LIST plein;
    list_init(&plein, 0, 10, sizeof(Elt), nullptr);
    plein.count = plein.capacity = INT32_MAX;
    plein.nbBlocks = 1;
    EXPECT_EQ(list_append(&plein, &x, 0), -2);
    attendreErreur(EX_MALLOC, "list_realloc");
    EXPECT_EQ(plein.count, INT32_MAX);
}

TEST(ListTags, SeulsLesHuitBitsBasSontGardes)
{
    LIST l;
    list_init(&l, 0, 0, sizeof(Elt), comparerCle);
    const int tags[] = {-1, 0, 263, 255};
    const uint32_t lus[] = {255, 0, 7, 255};
    for (int i = 0; i < 4; i++) {
        Elt x{i, 0};
        ASSERT_EQ(list_insert(&l, &x, tags[i]), 1);
    }
    for (int i = 0; i < 4; i++) {
        uint32_t t1 = 1234, t2 = 1234, t3 = 1234;
        Elt cle{i, 0};
        int r;
        list_element(&l, i, &t1);
        list_element_trie(&l, i, &t2);
        list_bsearch(&l, &cle, &r, &t3);
        EXPECT_EQ(t1, lus[i]);
        EXPECT_EQ(t2, lus[i]);
        EXPECT_EQ(t3, lus[i]);
    }
}

TEST(ListErreurs, ChaqueCodeDesTables)
{
    LIST l, nonInit, sansIndex, vide;
    memset(&nonInit, 0, sizeof nonInit);
    list_init(&l, 0, 0, sizeof(Elt), comparerCle);
    list_init(&sansIndex, 0, 0, sizeof(Elt), nullptr);
    list_init(&vide, 0, 0, sizeof(Elt), nullptr);
    Elt x{1, 1};
    ASSERT_EQ(list_insert(&l, &x, 0), 1);
    ASSERT_EQ(list_append(&sansIndex, &x, 0), 1);
    int out = 77;
    uint32_t tag = 0;

    EXPECT_EQ(list_init(nullptr, 0, 0, 4, nullptr), nullptr);
    EXPECT_EQ(list_length(nullptr), -1);
    attendreErreur(EA_INVPRMS, "list_length");
    EXPECT_EQ(list_length(&nonInit), -1);
    attendreErreur(EA_LIST_NON_INIT, "list_length");

    EXPECT_EQ(list_append(nullptr, &x, 0), -1);
    attendreErreur(EA_LIST_PT_NULL, "list_append");
    EXPECT_EQ(list_append(&nonInit, nullptr, 0), -1);
    attendreErreur(EA_LIST_OBJ_NULL, "list_append");
    EXPECT_EQ(list_append(&nonInit, &x, 0), -1);
    attendreErreur(EA_LIST_NON_INIT, "list_append");

    EXPECT_EQ(list_element(nullptr, 0), nullptr);
    attendreErreur(EA_LIST_PT_NULL, "list_element");
    EXPECT_EQ(list_element(&nonInit, 0), nullptr);
    attendreErreur(EA_LIST_NON_INIT, "list_element");
    EXPECT_EQ(list_element(&vide, 0), nullptr);
    attendreErreur(EA_LIST_RANG_INV, "list_element");
    EXPECT_EQ(list_element(&l, -1), nullptr);
    attendreErreur(EA_LIST_RANG_INV, "list_element");
    EXPECT_EQ(list_element(&l, 1, &tag), nullptr);
    attendreErreur(EA_LIST_RANG_INV, "list_element");

    EXPECT_EQ(list_rang_from_handle(nullptr, 0, &out), -1);
    attendreErreur(EA_LIST_PT_NULL, "list_rang_from_handle");
    EXPECT_EQ(list_rang_from_handle(&nonInit, 0, &out), -1);
    attendreErreur(EA_LIST_NON_INIT, "list_rang_from_handle");
    EXPECT_EQ(list_rang_from_handle(&vide, 0, &out), -1);
    attendreErreur(EA_LIST_VIDE, "list_rang_from_handle");
    EXPECT_EQ(list_rang_from_handle(&l, -1, &out), -1);
    attendreErreur(EA_LIST_HND_INV, "list_rang_from_handle");

    EXPECT_EQ(list_activer_indexe_primaire(nullptr), -1);
    attendreErreur(EA_LIST_PT_NULL, "list_activer_indexe_primaire");
    EXPECT_EQ(list_activer_indexe_primaire(&nonInit), -1);
    attendreErreur(EA_LIST_NON_INIT, "list_activer_indexe_primaire");

    const struct {
        const char *nom;
        bool handle;
    } accesseurs[] = {{"list_element_trie", false}, {"list_handle_from_indice", true}};
    for (const auto &a : accesseurs) {
        auto appel = [&](const LIST *lst, int i) {
            return a.handle ? list_handle_from_indice(lst, i, &out) == 1
                            : list_element_trie(lst, i) != nullptr;
        };
        EXPECT_FALSE(appel(nullptr, 0));
        attendreErreur(EA_LIST_PT_NULL, a.nom);
        EXPECT_FALSE(appel(&sansIndex, 0));
        attendreErreur(EA_LIST_INDEX_KO, a.nom);
        nonInit.primaryActive = 1; /* the index check comes before the marker's */
        EXPECT_FALSE(appel(&nonInit, 0));
        attendreErreur(EA_LIST_NON_INIT, a.nom);
        nonInit.primaryActive = 0;
        EXPECT_FALSE(appel(&l, 1));
        attendreErreur(EA_LIST_INDICE_INV, a.nom);
        EXPECT_FALSE(appel(&l, -1));
        attendreErreur(EA_LIST_INDICE_INV, a.nom);
    }
    EXPECT_EQ(list_handle_from_indice(&l, 0, &out), 1);
    EXPECT_EQ(out, 0);

    for (int trie = 0; trie < 2; trie++) {
        const char *nom = trie ? "list_bsearch_trie" : "list_bsearch";
        auto chercher = [&](const LIST *lst, const void *cle) {
            out = 77;
            void *p = trie ? list_bsearch_trie(lst, cle, &out) : list_bsearch(lst, cle, &out);
            EXPECT_EQ(p, nullptr);
            EXPECT_EQ(out, 0);
        };
        chercher(nullptr, &x);
        attendreErreur(EA_LIST_PT_NULL, nom);
        chercher(&sansIndex, &x);
        attendreErreur(EA_LIST_INDEX_KO, nom);
        list_activer_indexe_primaire(&vide);
        chercher(&vide, &x);
        attendreErreur(EA_LIST_FCMP_NULL, nom);
        nonInit.primaryActive = 1;
        nonInit.fcmp = comparerCle;
        chercher(&nonInit, &x);
        attendreErreur(EA_LIST_NON_INIT, nom);
        nonInit.primaryActive = 0;
        nonInit.fcmp = nullptr;
        chercher(&l, nullptr);
        attendreErreur(EA_LIST_OBJ_NULL, nom);
        /* An empty list: no element, 0, nothing recorded. */
        LIST v;
        list_init(&v, 0, 0, sizeof(Elt), comparerCle);
        appli_reset_errno();
        chercher(&v, &x);
        EXPECT_EQ(appli_last_error().code, nullptr);
    }

    EXPECT_EQ(list_insert(nullptr, &x, 0), -1);
    attendreErreur(EA_LIST_PT_NULL, "list_insert");
    EXPECT_EQ(list_insert(&l, nullptr, 0), -1);
    attendreErreur(EA_LIST_OBJ_NULL, "list_insert");
    EXPECT_EQ(list_insert(&nonInit, &x, 0), -1);
    attendreErreur(EA_LIST_NON_INIT, "list_insert");
    EXPECT_EQ(list_insert(&vide, &x, 0), -1); /* active index, no function */
    attendreErreur(EA_LIST_FCMP_NULL, "list_insert");

    /* An append unsorts the index: insertion is refused until a sort. */
    ASSERT_EQ(list_append(&l, &x, 0), 1);
    EXPECT_EQ(list_insert(&l, &x, 0), -1);
    attendreErreur(EA_LIST_FCMP_NULL, "list_insert");
    list_trier(&l, nullptr);
    EXPECT_EQ(list_insert(&l, &x, 0), 1);
    EXPECT_EQ(list_length(&l), 3);

    /* Without an index, list_insert is a plain append. */
    EXPECT_EQ(list_insert(&sansIndex, &x, 0), 1);
    EXPECT_EQ(list_length(&sansIndex), 2);
    EXPECT_EQ(sansIndex.primaryActive, 0);

    /* list_trier with no function at all, or on a list not initialised: nothing. */
    appli_reset_errno();
    list_trier(&sansIndex, nullptr);
    list_trier(&nonInit, comparerCle);
    list_trier(nullptr, comparerCle);
    EXPECT_EQ(appli_last_error().code, nullptr);
    EXPECT_EQ(sansIndex.primaryActive, 0);
    EXPECT_EQ(sansIndex.primarySorted, 0);
}

TEST(ListErreurs, SeulesLesOperationsTraceesEcriventDansLeJournal)
{
    testutil::TempDir d;
    ASSERT_EQ(f_set_dbg_logfile_name((d / "trace.log").c_str(), "w"), 0);
    Elt x{0, 0};
    list_length(nullptr);
    list_append(nullptr, &x, 0);
    list_activer_indexe_primaire(nullptr);
    list_insert(nullptr, &x, 0);
    list_element(nullptr, 0);
    list_rang_from_handle(nullptr, 0, nullptr);
    list_element_trie(nullptr, 0);
    list_bsearch(nullptr, &x, nullptr);
    const std::string journal = testutil::lireFichier(d / "trace.log");
    for (const char *nom : {"list_length", "list_append", "list_activer_indexe_primaire", "list_insert"})
        EXPECT_NE(journal.find(std::string("==>[") + nom + "]"), std::string::npos) << nom;
    for (const char *nom : {"list_element", "list_rang_from_handle", "list_bsearch"})
        EXPECT_EQ(journal.find(nom), std::string::npos) << nom;
    EXPECT_NE(journal.find("[liboutilsgeneraux/src/list,"), std::string::npos);
}

/*
** The searches against a plain bisection over the index order, on lists with
** many ties; each insertion goes just before the equal element found.
*/
TEST(ListRecherche, ChoixParmiLesEgauxCommeLaBissection)
{
    std::mt19937 alea(11);
    for (int essai = 0; essai < 200; essai++) {
        LIST l;
        list_init(&l, 0, 0, sizeof(Elt), comparerCle);
        const int n = static_cast<int>(alea() % 40);
        const int plage = 1 + static_cast<int>(alea() % 6);
        for (int i = 0; i < n; i++) {
            Elt x{static_cast<int>(alea() % plage), i};
            std::vector<int> cles;
            for (int j = 0; j < l.count; j++) cles.push_back(static_cast<Elt *>(list_element_trie(&l, j))->cle);
            int lo = 0, hi = static_cast<int>(cles.size()), trouve = -1;
            while (lo < hi) {
                const int mid = (lo + hi) / 2;
                if (x.cle == cles[mid]) {
                    trouve = mid;
                    break;
                }
                if (x.cle < cles[mid])
                    hi = mid;
                else
                    lo = mid + 1;
            }
            const int attendu = trouve >= 0 ? trouve : lo;

            int r = -5, p = -5;
            Elt *e1 = static_cast<Elt *>(list_bsearch(&l, &x, &r));
            Elt *e2 = static_cast<Elt *>(list_bsearch_trie(&l, &x, &p));
            EXPECT_EQ(p, attendu);
            EXPECT_EQ(e1, e2);
            if (trouve >= 0) {
                ASSERT_NE(e1, nullptr);
                EXPECT_EQ(e1, list_element_trie(&l, trouve));
                EXPECT_EQ(r, rangDe(l, e1));
            } else {
                EXPECT_EQ(e1, nullptr);
                EXPECT_EQ(r, l.count);
            }
            ASSERT_EQ(list_insert(&l, &x, 0), 1);
            EXPECT_EQ(static_cast<Elt *>(list_element_trie(&l, attendu))->num, i);
        }
        for (int j = 1; j < l.count; j++)
            EXPECT_LE(comparerCle(list_element_trie(&l, j - 1), list_element_trie(&l, j)), 0);
    }
}

TEST(ListInsertion, BACDonneLesRangsEtLOrdreAttendus)
{
    struct Nom {
        char s[8];
    };
    auto parNom = [](const void *a, const void *b) {
        return strcmp(static_cast<const Nom *>(a)->s, static_cast<const Nom *>(b)->s);
    };
    LIST l;
    list_init(&l, 0, 0, sizeof(Nom), parNom);
    for (const char *s : {"b", "a", "c"}) {
        Nom n{};
        strcpy(n.s, s);
        ASSERT_EQ(list_insert(&l, &n, 0), 1);
    }
    EXPECT_STREQ(static_cast<Nom *>(list_element(&l, 1))->s, "a");
    EXPECT_STREQ(static_cast<Nom *>(list_element_trie(&l, 1))->s, "b");
    for (int i = 0; i < 3; i++) EXPECT_STREQ(static_cast<Nom *>(list_element_trie(&l, i))->s, i == 0 ? "a" : i == 1 ? "b" : "c");
    int h = -1;
    EXPECT_EQ(list_handle_from_indice(&l, 0, &h), 1);
    EXPECT_EQ(h, 1);
    Nom cle{"0"}, grand{"z"};
    int p = -1;
    EXPECT_EQ(list_bsearch_trie(&l, &cle, &p), nullptr);
    EXPECT_EQ(p, 0);
    EXPECT_EQ(list_bsearch_trie(&l, &grand, &p), nullptr);
    EXPECT_EQ(p, 3);
    EXPECT_EQ(list_bsearch(&l, &grand, &p), nullptr);
    EXPECT_EQ(p, 3);
}
