/*
** Tests of instance preparation, the results record and sequence evaluation.
** Instances are built by hand (constraint and vehicle lists filled directly);
** the window counting is checked against a plain recount over the explicit
** sequence history + day D on random small instances.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "list.h"
#include "osuptraces.h"
#include "testutil.h"
#include "traces.h"

namespace {

using Drapeaux = std::vector<int>;

/* Builds an InstancePb as the file readers would leave it. */
class Constructeur {
public:
    InstancePb *inst;

    Constructeur()
    {
        inst = static_cast<InstancePb *>(calloc(1, sizeof(InstancePb)));
        list_init(&inst->l_ecartsPrio, 0, 0, sizeof(EcartCritere), nullptr);
        list_init(&inst->l_ecartsNonPrio, 0, 0, sizeof(EcartCritere), nullptr);
        list_init(&inst->l_vehFiges, 200, 0, sizeof(Vehicule), nullptr);
        list_init(&inst->l_vehAOrdonnancer, 2000, 0, sizeof(Vehicule), nullptr);
        inst->i_longMaxRafTeintes = 1000;
        objectifs({1, 2, 3});
    }
    Constructeur &ecart(bool prio, int p, int q)
    {
        EcartCritere e{};
        e.i_numerateur = p;
        e.i_denominateur = q;
        list_append(prio ? &inst->l_ecartsPrio : &inst->l_ecartsNonPrio, &e, 0);
        return *this;
    }
    Constructeur &objectifs(std::vector<int> codes)
    {
        inst->i_nbObjectifs = static_cast<int>(codes.size());
        for (int i = 0; i < QUELTO_NB_MAX_OBJECTIFS; i++)
            inst->i_codesObjectifs[i] = i < inst->i_nbObjectifs ? codes[i] : -1;
        return *this;
    }
    Constructeur &fige(int rang, int teinte, Drapeaux p = {}, Drapeaux np = {})
    {
        return vehicule(&inst->l_vehFiges, rang, teinte, p, np, "F");
    }
    Constructeur &jour(int rang, int teinte, Drapeaux p = {}, Drapeaux np = {}, const char *ident = "V")
    {
        return vehicule(&inst->l_vehAOrdonnancer, rang, teinte, p, np, ident);
    }

private:
    static int32_t *drapeaux(const Drapeaux &d, int nb)
    {
        int32_t *t = static_cast<int32_t *>(calloc(nb > 0 ? nb : 1, sizeof(int32_t)));
        for (size_t k = 0; k < d.size() && static_cast<int>(k) < nb; k++) t[k] = d[k];
        return t;
    }
    Constructeur &vehicule(LIST *l, int rang, int teinte, const Drapeaux &p, const Drapeaux &np, const char *ident)
    {
        Vehicule v{};
        snprintf(v.s_ident, sizeof v.s_ident, "%s", ident);
        v.i_rangSeq = rang;
        v.i_rangSeqCandidat = -1;
        v.i_teinte = teinte;
        v.i_vectBoolEcPrio = drapeaux(p, list_length(&inst->l_ecartsPrio));
        v.i_vectBoolEcNonPrio = drapeaux(np, list_length(&inst->l_ecartsNonPrio));
        list_append(l, &v, 0);
        return *this;
    }
};

/* Every test writes its trace log into its own folder. */
class GesDonnees : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::string log = dir / "trace.log";
    FILE *rapport = nullptr;  // error reports, kept off the test's standard error
    void SetUp() override
    {
        ASSERT_EQ(0, f_set_dbg_logfile_name(log.c_str(), "w"));
        rapport = fopen((dir / "rapport.txt").c_str(), "w");
        OSupTrace_SetStream(rapport);
    }
    void TearDown() override
    {
        OSupTrace_SetStream(nullptr);
        if (rapport != nullptr) fclose(rapport);
    }
    std::string trace() { return testutil::lireFichier(log); }
    int nbErreursInternes()
    {
        std::string t = trace(), motif = "[libQuelto/src/QueltoGesDonnees,";
        int n = 0;
        for (size_t pos = t.find(motif); pos != std::string::npos; pos = t.find(motif, pos + 1)) n++;
        return n;
    }
};

/* Prepare, install the reference order, evaluate.  The status of the first failure. */
int evaluer(InstancePb *inst)
{
    if (Quelto_majInstancePb(inst) != 0) return -1;
    list_trier(&inst->l_vehAOrdonnancer, mQuelto_comparerVehRangSeq);
    return Quelto_calculerIndicateursSurSeqInitiale(inst);
}

/*
** One high priority constraint p/q; frozen flags oldest first, day-D flags in
** sequence order.  qMax > q adds a low priority 0/qMax constraint without
** options to raise the greatest denominator.
*/
InstancePb *uneContrainte(int p, int q, Drapeaux hist, Drapeaux jourJ, int qMax = 0)
{
    Constructeur c;
    c.ecart(true, p, q);
    if (qMax > q) c.ecart(false, 0, qMax);
    for (size_t j = 0; j < hist.size(); j++) c.fige(static_cast<int>(j) + 1, 1, {hist[j]});
    for (size_t i = 0; i < jourJ.size(); i++) c.jour(static_cast<int>(i) + 1, 1, {jourJ[i]});
    return c.inst;
}

}  // namespace

TEST_F(GesDonnees, CompteursPourcentagesEtPurgesMinimales)
{
    Constructeur c;
    c.ecart(true, 1, 2).ecart(false, 1, 2);
    c.fige(1, 9).fige(2, 4);
    c.jour(3, 1, {1}, {1}).jour(1, 1, {1}, {0}).jour(2, 2, {0}, {0});
    c.inst->i_longMaxRafTeintes = 5;
    ASSERT_EQ(0, Quelto_majInstancePb(c.inst));
    EXPECT_EQ(3, c.inst->i_longFilm);
    EXPECT_EQ(2, c.inst->i_denominateurMax);
    EXPECT_EQ(4, c.inst->i_nbTeintes);  // last frozen colour counts, an earlier frozen one does not
    EXPECT_EQ(4, c.inst->i_teintePos_1);
    EXPECT_EQ(66.0, c.inst->d_vectPourcentVehEcPrio[0]);  // 2 of 3, truncated
    EXPECT_EQ(33.0, c.inst->d_vectPourcentVehEcNonPrio[0]);
    EXPECT_EQ(1, c.inst->i_vectNbVehParNbEcarts[0]);
    EXPECT_EQ(1, c.inst->i_vectNbVehParNbEcarts[1]);
    EXPECT_EQ(1, c.inst->i_vectNbVehParNbEcarts[2]);
    EXPECT_EQ(1, c.inst->i_nbMinimalPurges);  // colours 1, 1, 2 with limit 5

    Constructeur dix;
    dix.objectifs({3}).fige(1, 1);
    for (int i = 1; i <= 10; i++) dix.jour(i, 7);
    dix.inst->i_longMaxRafTeintes = 3;
    ASSERT_EQ(0, Quelto_majInstancePb(dix.inst));
    EXPECT_EQ(3, dix.inst->i_nbMinimalPurges);

    Constructeur seul;
    seul.fige(1, 1).jour(1, 2);
    ASSERT_EQ(0, Quelto_majInstancePb(seul.inst));
    EXPECT_EQ(0, seul.inst->i_nbMinimalPurges);
}

TEST_F(GesDonnees, HistoriqueFige)
{
    // Two frozen vehicles for a greatest denominator of 5: the history keeps the last one.
    Constructeur court;
    court.ecart(true, 1, 5).fige(2, 1, {1}).fige(1, 1, {0}).jour(1, 1).jour(2, 1).jour(3, 1).jour(4, 1);
    ASSERT_EQ(0, Quelto_majInstancePb(court.inst));
    EXPECT_NE(std::string::npos,
              trace().find("\nS_MSG_ERR_0001 : mQuelto_majIndicesInInstancePb : there are not enough vehicles from "
                           "day D-1 !! number of cars from day D-1 = 2 and greatest denominator of ratio constraints "
                           "= 5\n"));
    EXPECT_EQ(2, court.inst->i_denominateurMax);
    EXPECT_EQ(0, court.inst->i_vectRangVehFiges[0]);  // rang 2 was appended first
    EXPECT_EQ(1, court.inst->i_matBoolEcPrioVehFiges[0][0]);

    // Ten frozen vehicles appended out of order, q = 4: the three greatest ranks, oldest first.
    Constructeur dix;
    dix.ecart(true, 1, 4);
    const int rangs[10] = {40, 100, 10, 90, 20, 80, 30, 70, 60, 50};
    for (int r : rangs) dix.fige(r, 1, {r == 90 ? 1 : 0});
    dix.jour(1, 1).jour(2, 1).jour(3, 1);
    ASSERT_EQ(0, Quelto_majInstancePb(dix.inst));
    EXPECT_EQ(5, dix.inst->i_vectRangVehFiges[0]);  // rank 80
    EXPECT_EQ(3, dix.inst->i_vectRangVehFiges[1]);  // rank 90
    EXPECT_EQ(1, dix.inst->i_vectRangVehFiges[2]);  // rank 100
    EXPECT_EQ(0, dix.inst->i_matBoolEcPrioVehFiges[0][0]);
    EXPECT_EQ(1, dix.inst->i_matBoolEcPrioVehFiges[0][1]);
}

TEST_F(GesDonnees, PoidsEtCleDesFamilles)
{
    auto preparer = [](std::vector<int> codes) {
        Constructeur c;
        c.objectifs(codes).ecart(true, 1, 2).fige(1, 1);
        c.jour(1, 2, {1}).jour(2, 1, {0}).jour(3, 2, {0}).jour(4, 1, {0}).jour(5, 3, {1});
        EXPECT_EQ(0, Quelto_majInstancePb(c.inst));
        return c.inst;
    };
    InstancePb *teinte = preparer({3});
    EXPECT_EQ(1000000.0, teinte->d_poidsPurges);
    EXPECT_EQ(0.0, teinte->d_poidsEcPrio + teinte->d_poidsEcNonPrio);
    EXPECT_EQ(3, teinte->i_nbFamilles);  // by colour alone

    InstancePb *deux = preparer({2, 3});
    EXPECT_EQ(1000000.0, deux->d_poidsEcNonPrio);
    EXPECT_EQ(1000.0, deux->d_poidsPurges);
    EXPECT_EQ(0.0, deux->d_poidsEcPrio);
    EXPECT_EQ(4, deux->i_nbFamilles);  // colour and flags
    const Famille *f0 = static_cast<const Famille *>(list_element(&deux->l_familles, 0));
    EXPECT_EQ(1, f0->i_teinte);
    EXPECT_EQ(2, f0->i_nbVeh);
    std::vector<int> rangs(f0->i_vectRangVeh, f0->i_vectRangVeh + 2);
    std::sort(rangs.begin(), rangs.end());
    EXPECT_EQ((std::vector<int>{1, 3}), rangs);

    InstancePb *prio = preparer({1, 1});
    EXPECT_EQ(1000.0, prio->d_poidsEcPrio);  // the later position stands
    EXPECT_EQ(2, prio->i_nbFamilles);        // flags alone: families mix colours
    const Famille *avec = static_cast<const Famille *>(list_element(&prio->l_familles, 0));
    EXPECT_EQ(2, avec->i_nbVeh);
    EXPECT_EQ(1, avec->i_vectBoolEcPrio[0]);
    EXPECT_EQ(1, prio->i_matBoolTeinte[0][avec->i_teinte]);
    EXPECT_EQ(3, prio->i_vectVFam[1]);

    preparer({7, 3});
    EXPECT_NE(std::string::npos,
              trace().find("\nS_MSG_ERR_0008 : mQuelto_majPoidsObjectifsInInstancePb : 1-th optimization objective (7) "
                           "invalid !!\n"));

    Constructeur aucun;
    aucun.objectifs({}).fige(1, 1).jour(1, 1);
    EXPECT_EQ(-1, Quelto_majInstancePb(aucun.inst));
    EXPECT_NE(std::string::npos, trace().find("==>[\nS_MSG_ERR_0030 : mQuelto_majFamillesInInstancePb : there is no "
                                              "weigth on optimization objectives !!\n]"));
}

TEST_F(GesDonnees, PreparationRefusee)
{
    Constructeur sansJourJ;
    sansJourJ.fige(1, 1);
    EXPECT_EQ(-1, Quelto_majInstancePb(sansJourJ.inst));
    Constructeur sansFige;
    sansFige.jour(1, 1);
    EXPECT_EQ(-1, Quelto_majInstancePb(sansFige.inst));
    EXPECT_NE(std::string::npos, trace().find("[libQuelto/src/QueltoGesDonnees,"));
    EXPECT_NE(std::string::npos, trace().find("==>[]"));


    Constructeur teinteNulle;  // a colour outside 1..i_nbTeintes: message, all-zero row
    teinteNulle.objectifs({3}).fige(1, 2).jour(1, 0).jour(2, 2);
    ASSERT_EQ(0, Quelto_majInstancePb(teinteNulle.inst));
    EXPECT_NE(std::string::npos, trace().find("\nS_MSG_ERR_0002 : mQuelto_majRafalesTeintesInInstancePb : la teinte "
                                              "caisse (0) de la famille 0 est invalide !!\n"));
    EXPECT_EQ(0, teinteNulle.inst->i_matBoolTeinte[0][0] + teinteNulle.inst->i_matBoolTeinte[0][1]);
    EXPECT_EQ(0, mQuelto_drapeauTeinteFamille(teinteNulle.inst, 0, 0));
}

TEST_F(GesDonnees, FenetresExemples)
{
    struct Cas {
        int p, q;
        Drapeaux hist, jour;
        int qMax, attendu;
    } cas[] = {
        {1, 3, {0, 1}, {1, 1, 0, 0, 1}, 0, 4},           // straddling (0, 1 | 1) and (1 | 1, 1)
        {2, 4, {0, 0, 0}, {0, 0, 1, 1, 1}, 0, 2},        // a truncated window at the end counts
        {1, 3, {1, 0, 0, 1}, {1, 1, 0, 0, 1}, 5, 4},     // q < M: only the last q - 1 history entries
        {0, 1, {1}, {1, 0, 1, 1}, 0, 3},                 // q = 1: one per vehicle, no straddling window
        {3, 4, {1, 1, 1}, {1, 1, 1}, 0, 3},              // p = N: only the three straddling windows
        {1, 5, {1, 1}, {1, 0, 0, 1, 0, 0}, 6, 6},        // history cut to the last frozen vehicle: older places count 0
    };
    for (const Cas &c : cas) {
        InstancePb *inst = uneContrainte(c.p, c.q, c.hist, c.jour, c.qMax);
        ASSERT_EQ(0, evaluer(inst)) << c.p << "/" << c.q;
        EXPECT_EQ(c.attendu, inst->indicateursSeqInitiale.i_vectNbViolEcPrio[0]) << c.p << "/" << c.q;
        EXPECT_EQ(c.attendu, inst->indicateursSeqInitiale.i_nbViolEcPrio);
    }
    EXPECT_EQ(0, nbErreursInternes());

    // A day D shorter than q - 1: the step and the evaluation each report an internal error.
    InstancePb *court = uneContrainte(1, 4, {0, 0, 0}, {1, 1});
    EXPECT_EQ(-1, evaluer(court));
    EXPECT_EQ(2, nbErreursInternes());
}

namespace {

/* Violations of one constraint recounted over the explicit sequence; -1 when day D is too short. */
long long recompte(const std::vector<int> &hist, const std::vector<int> &jour, int p, int q)
{
    std::vector<int> seq(hist);
    seq.insert(seq.end(), jour.begin(), jour.end());
    long long h = hist.size(), n = jour.size(), viol = 0;
    auto option = [&](long long t) { return t < 0 ? 0 : seq[t]; };
    for (long long debut = 0; debut < n - p; debut++) {
        long long nb = 0;
        for (long long t = h + debut; t < h + std::min(debut + q, n); t++) nb += option(t);
        viol += std::max(0LL, nb - p);
    }
    for (long long s = h - q + 1; s < h; s++) {  // q consecutive vehicles holding the last frozen one
        if (s + q > h + n) return -1;
        long long nb = 0;
        for (long long t = s; t < s + q; t++) nb += option(t);
        viol += std::max(0LL, nb - p);
    }
    return viol;
}

/* Sizes of the random instances of verifierContreRecompte. */
struct Tailles {
    int essais, nbPMax, nbNPMax, nbFMax, nMax, pMax, qMax;
};

/* The report on the record just evaluated, from the evaluation's photo, and the same report walking the sequence. */
void verifierRapportSurPhoto(InstancePb *inst, const std::string &dossier)
{
    IndicateursSolution copie = inst->indicateursSeqInitiale;  // another record: no photo for it
    const std::string avec = dossier + "/photo", sans = dossier + "/parcours";
    ASSERT_EQ(0, Quelto_ecrireRapportSurSeqInitiale(inst, &inst->indicateursSeqInitiale, avec.c_str()));
    ASSERT_EQ(0, Quelto_ecrireRapportSurSeqInitiale(inst, &copie, sans.c_str()));
    auto corps = [](const std::string &f) {
        std::string t = testutil::lireFichier(f);
        return t.substr(t.find('\n'));  // the first line holds the date
    };
    EXPECT_EQ(corps(sans), corps(avec));
}

void verifierContreRecompte(const Tailles &tailles, const std::string &dossier)
{
    std::mt19937 gen(20240611);
    auto tirage = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    for (int essai = 0; essai < tailles.essais; essai++) {
        int nbP = tirage(0, tailles.nbPMax), nbNP = tirage(0, tailles.nbNPMax), nbF = tirage(1, tailles.nbFMax),
            n = tirage(1, tailles.nMax), L = tirage(1, 3);
        Constructeur c;
        std::vector<std::pair<int, int>> ecarts;  // (p, q), high priority first
        for (int k = 0; k < nbP + nbNP; k++) {
            const int p = tirage(0, tirage(0, 1) ? 4 : tailles.pMax), q = tirage(1, tirage(0, 1) ? 6 : tailles.qMax);
            ecarts.push_back({p, q});
            c.ecart(k < nbP, ecarts.back().first, ecarts.back().second);
        }
        auto vehicules = [&](int nb, bool fige, std::vector<std::vector<int>> &flags, std::vector<int> &teintes) {
            std::vector<int> rangs(nb);
            for (int i = 0; i < nb; i++) rangs[i] = 10 * (i + 1);
            std::shuffle(rangs.begin(), rangs.end(), gen);
            flags.assign(nb, {});
            teintes.assign(nb, 0);
            for (int i = 0; i < nb; i++) {  // indexed by sequence position
                Drapeaux tous;
                for (int k = 0; k < nbP + nbNP; k++) tous.push_back(tirage(0, 1));
                const int palette[] = {1, 2, 3, 0, 9, 10, 999, 1000, 123456789, -7};  // the report's digits
                int pos = rangs[i] / 10 - 1, teinte = palette[tirage(0, tailles.nMax > 9 ? 9 : 2)];
                flags[pos] = tous, teintes[pos] = teinte;
                Drapeaux p(tous.begin(), tous.begin() + nbP), np(tous.begin() + nbP, tous.end());
                fige ? c.fige(rangs[i], teinte, p, np) : c.jour(rangs[i], teinte, p, np);
            }
        };
        std::vector<std::vector<int>> fFiges, fJour;
        std::vector<int> tFiges, tJour;
        vehicules(nbF, true, fFiges, tFiges);
        vehicules(n, false, fJour, tJour);
        if (essai % 2 == 1) {  // vehicles with equal flags share their arrays, as the reader makes them
            std::map<std::vector<int32_t>, int32_t *> partages[2];
            for (int r = 0; r < n; r++) {
                auto *v = static_cast<Vehicule *>(list_element(&c.inst->l_vehAOrdonnancer, r));
                for (int prio = 0; prio < 2; prio++) {
                    int32_t *&d = prio ? v->i_vectBoolEcPrio : v->i_vectBoolEcNonPrio;
                    d = partages[prio].emplace(std::vector<int32_t>(d, d + (prio ? nbP : nbNP)), d).first->second;
                }
            }
        }
        c.inst->i_longMaxRafTeintes = L;
        int status = evaluer(c.inst);

        int m = 1;
        for (auto &e : ecarts) m = std::max(m, e.second);
        if (m - 1 > nbF) m = nbF;
        bool echec = false;
        std::vector<long long> attendu;
        for (int k = 0; k < nbP + nbNP; k++) {
            std::vector<int> hist, jour;
            for (int j = nbF - (m - 1); j < nbF; j++) hist.push_back(fFiges[j][k]);
            for (int i = 0; i < n; i++) jour.push_back(fJour[i][k]);
            attendu.push_back(recompte(hist, jour, ecarts[k].first, ecarts[k].second));
            echec = echec || attendu.back() < 0;
        }
        SCOPED_TRACE(essai);
        if (echec) {
            EXPECT_EQ(-1, status);
            continue;
        }
        ASSERT_EQ(0, status);
        const IndicateursSolution &r = c.inst->indicateursSeqInitiale;
        for (int k = 0; k < nbP + nbNP; k++)
            EXPECT_EQ(attendu[k], k < nbP ? r.i_vectNbViolEcPrio[k] : r.i_vectNbViolEcNonPrio[k - nbP]) << k;

        int purges = 0, prec = tFiges.back(), lon = 0, tropLongue = -1, lonTropLongue = -1;
        bool ok = true;
        for (int i = 0; i < n; i++) {
            purges += tJour[i] != prec;
            lon = tJour[i] == prec ? lon + 1 : 1;
            if (lon > L && ok && (i + 1 == n || tJour[i + 1] != tJour[i]))
                tropLongue = tJour[i], lonTropLongue = lon, ok = false;
            prec = tJour[i];
        }
        EXPECT_EQ(purges, r.i_nbPurges);
        EXPECT_EQ(ok ? 1 : 0, r.i_flagLongMaxRafTeintesOk);
        EXPECT_EQ(tropLongue, r.i_teinteRafaleTropLongue);
        EXPECT_EQ(lonTropLongue, r.i_longRafaleTropLongue);
        if (essai % 8 != 0) continue;
        verifierRapportSurPhoto(c.inst, dossier);
        list_trier(&c.inst->l_vehAOrdonnancer, mQuelto_comparerVehTeinte);  // another sequence: the photo is stale
        verifierRapportSurPhoto(c.inst, dossier);
    }
}

}  // namespace

/*
** Small instances, then long ones: many constraints (more than 32 in a
** priority, and both priorities in one word of the photo or not), windows
** wider than the 8-bit counters of the lanes, days longer than a stretch.
** The reports on some of them, from the photo, match those walking the
** sequence, also once the sequence has changed since the photo.
*/
TEST_F(GesDonnees, FenetresEtTeintesContreRecompte)
{
    verifierContreRecompte({400, 3, 2, 7, 9, 4, 6}, dir.path());
    verifierContreRecompte({24, 40, 12, 300, 3000, 60, 400}, dir.path());
}

TEST_F(GesDonnees, TeintesRafalesEtNote)
{
    Constructeur c;
    c.fige(1, 2);
    const int teintes[] = {2, 2, 3, 3, 3, 1};
    for (int i = 0; i < 6; i++) c.jour(i + 1, teintes[i]);
    c.inst->i_longMaxRafTeintes = 2;
    ASSERT_EQ(0, evaluer(c.inst));
    const IndicateursSolution &r = c.inst->indicateursSeqInitiale;
    EXPECT_EQ(2, r.i_nbPurges);
    EXPECT_EQ(3.0, r.d_longMoyRafales);
    EXPECT_EQ(0, r.i_flagLongMaxRafTeintesOk);
    EXPECT_EQ(3, r.i_teinteRafaleTropLongue);
    EXPECT_EQ(3, r.i_longRafaleTropLongue);

    Constructeur cinq;  // the frozen vehicle does not lengthen the batch; no change: infinity
    cinq.fige(1, 5).jour(1, 5).jour(2, 5).jour(3, 5);
    cinq.inst->i_longMaxRafTeintes = 3;
    ASSERT_EQ(0, evaluer(cinq.inst));
    EXPECT_EQ(1, cinq.inst->indicateursSeqInitiale.i_flagLongMaxRafTeintesOk);
    EXPECT_EQ(0, cinq.inst->indicateursSeqInitiale.i_nbPurges);
    EXPECT_TRUE(std::isinf(cinq.inst->indicateursSeqInitiale.d_longMoyRafales));

    Constructeur sansPeinture;  // paint not weighted: no batch check, changes still counted
    sansPeinture.objectifs({1}).ecart(true, 0, 1).fige(1, 1);
    for (int i = 0; i < 5; i++) sansPeinture.jour(i + 1, i < 4 ? 1 : 2, {1});
    sansPeinture.inst->i_longMaxRafTeintes = 1;
    ASSERT_EQ(0, evaluer(sansPeinture.inst));
    const IndicateursSolution &s = sansPeinture.inst->indicateursSeqInitiale;
    EXPECT_EQ(1, s.i_flagLongMaxRafTeintesOk);
    EXPECT_EQ(-1, s.i_teinteRafaleTropLongue);
    EXPECT_EQ(-1, s.i_longRafaleTropLongue);
    EXPECT_EQ(1, s.i_nbPurges);
    EXPECT_EQ(5000000.0, s.d_note);  // 5 violations, weight 1000000

    Constructeur note;  // 2 high, 3 low priority violations and 7 colour changes
    note.ecart(true, 0, 1).ecart(false, 0, 1).fige(1, 1);
    for (int i = 0; i < 8; i++) note.jour(i + 1, 1 + i % 2, {i < 2}, {i < 3});
    ASSERT_EQ(0, evaluer(note.inst));
    EXPECT_EQ(2003007.0, note.inst->indicateursSeqInitiale.d_note);
}

/* Sorts through the comparators' keys leave the permutation of the plain
** sort (list_qsort comparing the vehicles), on vehicles with many ties:
** extreme ranks, identifiers alike beyond their first 8 bytes, and more
** flags than a key holds. */
TEST_F(GesDonnees, TrisParCleCommeLesComparateurs)
{
    std::mt19937 gen(99);
    for (int nbDrapeaux : {3, 40}) {
        Constructeur c;
        for (int k = 0; k < nbDrapeaux; k++) c.ecart(k % 2 == 0, 1, 2);
        c.fige(1, 1);
        const int extremes[] = {INT_MIN, -1, 0, 1, 2, INT_MAX};
        for (int i = 0; i < 3000; i++) {
            Drapeaux p, np;
            for (int k = 0; k < nbDrapeaux; k++) (k % 2 == 0 ? p : np).push_back(gen() % 5 == 0 ? 0 : (k < 30 ? 1 : gen() % 2));
            const std::string ident = (gen() % 2 ? "VEHICULE-" : "V") + std::to_string(gen() % 50);
            c.jour(static_cast<int>(gen() % 40), 1 + static_cast<int>(gen() % 3), p, np, ident.c_str());
            auto *v = static_cast<Vehicule *>(list_element(&c.inst->l_vehAOrdonnancer, i));
            v->i_rangSeqCandidat = extremes[gen() % 6];
            if (gen() % 3 == 0) v->i_rangSeq = extremes[gen() % 6];
        }
        ASSERT_EQ(0, mQuelto_majIndicesInInstancePb(c.inst));  // publishes the counts and the keys
        LIST *l = &c.inst->l_vehAOrdonnancer;
        struct Ctx {
            LIST *l;
            LIST_FCMP f;
        };
        auto parVehicules = [](int32_t a, int32_t b, void *x) {
            Ctx *ctx = static_cast<Ctx *>(x);
            return ctx->f(list_element(ctx->l, a), list_element(ctx->l, b));
        };
        for (LIST_FCMP f : {mQuelto_comparerVehTeinte, mQuelto_comparerVehEcarts, mQuelto_comparerVehTeinteEcarts,
                            mQuelto_comparerVehRangSeq, mQuelto_comparerVehIdent, mQuelto_comparerVehRangSeqCandidat}) {
            std::vector<int32_t> attendu(l->primaryIndex, l->primaryIndex + l->count);
            Ctx ctx{l, f};
            list_qsort(attendu.data(), l->count, parVehicules, &ctx);
            list_trier(l, f);
            EXPECT_EQ(attendu, std::vector<int32_t>(l->primaryIndex, l->primaryIndex + l->count)) << nbDrapeaux;
        }
    }
}

/*
** A day whose reference ranks all differ is prepared from compact copies,
** without sorting it; the same day with one shared rank is sorted as usual.
** Both must give the same colour figures and the same families (the order
** of vehicles inside a family and what a family takes from its first
** vehicle beyond its key are the only freedom), and the minimal colour changes must match
** a plain walk over the sorted colours.
*/
TEST_F(GesDonnees, PreparationSansTriCommeAvecTri)
{
    std::mt19937 gen(2026);
    const std::vector<std::vector<int>> objectifs = {{3}, {1}, {2, 3}, {1, 2, 3}};
    for (int essai = 0; essai < 120; essai++) {
        const int n = 1 + static_cast<int>(gen() % (essai < 100 ? 60 : 3000));
        const int nbP = static_cast<int>(gen() % 4), nbNP = static_cast<int>(gen() % 4);
        const int limite = std::vector<int>{-1, 0, 1, 2, 3, 1000}[gen() % 6];
        const int etalement = essai % 10 == 0 ? 20 : 1;  // ranks too spread to be checked: sorted as usual
        const bool grandesTeintes = essai % 7 == 0;
        const auto &codes = objectifs[gen() % objectifs.size()];
        std::vector<int> rangs(n);
        for (int i = 0; i < n; i++) rangs[i] = 1 + i * etalement;
        std::shuffle(rangs.begin(), rangs.end(), gen);
        Constructeur a, b;
        std::vector<int> teintes;
        const int teinteFigee = 1 + static_cast<int>(gen() % 4);
        for (Constructeur *c : {&a, &b}) {
            c->objectifs(codes);
            for (int k = 0; k < nbP + nbNP; k++) c->ecart(k < nbP, 1, 2);
            c->fige(1, teinteFigee);
            c->inst->i_longMaxRafTeintes = limite;
        }
        for (int i = 0; i < n; i++) {
            Drapeaux p, np;
            for (int k = 0; k < nbP; k++) p.push_back(gen() % 3 == 0);
            for (int k = 0; k < nbNP; k++) np.push_back(gen() % 3 == 0);
            const int teinte = grandesTeintes ? INT32_MAX - static_cast<int>(gen() % 3) : 1 + static_cast<int>(gen() % 4);
            teintes.push_back(teinte);
            a.jour(rangs[i], teinte, p, np);
            b.jour(i == 1 ? rangs[0] : rangs[i], teinte, p, np);
        }
        ASSERT_EQ(0, Quelto_majInstancePb(a.inst));
        ASSERT_EQ(0, Quelto_majInstancePb(b.inst));

        std::sort(teintes.begin(), teintes.end());
        int purges = 0, rafale = 1;
        for (int i = 1; i < n; i++) {
            if (teintes[i] == teintes[i - 1] && ++rafale <= limite) continue;
            rafale = 1;
            purges++;
        }
        EXPECT_EQ(purges, a.inst->i_nbMinimalPurges) << essai;
        EXPECT_EQ(purges, b.inst->i_nbMinimalPurges) << essai;
        EXPECT_EQ(b.inst->i_nbTeintes, a.inst->i_nbTeintes) << essai;
        ASSERT_EQ(b.inst->i_nbFamilles, a.inst->i_nbFamilles) << essai;

        const LIST *l = &a.inst->l_vehAOrdonnancer;
        const LIST_FCMP cle = l->fcmp;
        EXPECT_EQ(b.inst->l_vehAOrdonnancer.fcmp, cle);
        for (int i = 1; i < n; i++)
            EXPECT_LE(cle(list_element_trie(l, i - 1), list_element_trie(l, i)), 0) << essai;
        for (int f = 0; f < a.inst->i_nbFamilles; f++) {
            const auto *fa = static_cast<const Famille *>(list_element(&a.inst->l_familles, f));
            const auto *fb = static_cast<const Famille *>(list_element(&b.inst->l_familles, f));
            ASSERT_EQ(fb->i_nbVeh, fa->i_nbVeh);
            std::vector<int> ma(fa->i_vectRangVeh, fa->i_vectRangVeh + fa->i_nbVeh);
            std::vector<int> mb(fb->i_vectRangVeh, fb->i_vectRangVeh + fb->i_nbVeh);
            std::sort(mb.begin(), mb.end());
            if (etalement == 1) {
                EXPECT_TRUE(std::is_sorted(ma.begin(), ma.end()));  // ties left in rank order
            }
            std::sort(ma.begin(), ma.end());
            EXPECT_EQ(mb, ma) << essai << " family " << f;
            if (cle != mQuelto_comparerVehEcarts) {
                EXPECT_EQ(fb->i_teinte, fa->i_teinte);
            }
            if (cle != mQuelto_comparerVehTeinte) {
                EXPECT_TRUE(std::equal(fa->i_vectBoolEcPrio, fa->i_vectBoolEcPrio + nbP, fb->i_vectBoolEcPrio));
                EXPECT_TRUE(
                    std::equal(fa->i_vectBoolEcNonPrio, fa->i_vectBoolEcNonPrio + nbNP, fb->i_vectBoolEcNonPrio));
            }
        }
    }
}
