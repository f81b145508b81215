/*
** Tests of instance preparation and sequence evaluation, on instances built
** by hand as the file readers leave them.  The evaluation is checked against
** a plain recount over the explicit sequence (frozen history, then day D),
** preparation without sorting against preparation with it, and the sort keys
** against the comparators they stand for.
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "QueltoGesDonnees.h"
#include "osuptraces.h"
#include "testutil.h"
#include "traces.h"

namespace {

using quelto::EvaluatedSequence;
using quelto::Priority;
using Drapeaux = std::vector<int>;

/*
** Builds an InstancePb as the file readers leave it.  A vehicle's flags are
** those of the high then of the low priority constraints; its identifier is
** by default its rank in its list.
*/
struct Constructeur {
    InstancePb *inst = static_cast<InstancePb *>(calloc(1, sizeof(InstancePb)));

    explicit Constructeur(const std::vector<int> &codes = {1, 2, 3}, int limite = 1000)
    {
        for (LIST *l : {&inst->l_ecartsPrio, &inst->l_ecartsNonPrio}) list_init(l, 0, 0, sizeof(EcartCritere), nullptr);
        for (LIST *l : {&inst->l_vehFiges, &inst->l_vehAOrdonnancer}) list_init(l, 0, 0, sizeof(Vehicule), nullptr);
        inst->i_longMaxRafTeintes = limite;
        for (int code : codes) inst->i_codesObjectifs[inst->i_nbObjectifs++] = code;
    }
    Constructeur &ecart(bool prio, int p, int q)
    {
        EcartCritere e{};
        e.i_numerateur = p, e.i_denominateur = q;
        list_append(prio ? &inst->l_ecartsPrio : &inst->l_ecartsNonPrio, &e, 0);
        return *this;
    }
    Constructeur &vehicule(bool fige, int rang, int teinte, const Drapeaux &d = {}, std::string ident = "")
    {
        LIST *l = fige ? &inst->l_vehFiges : &inst->l_vehAOrdonnancer;
        Vehicule v{};
        snprintf(v.s_ident, sizeof v.s_ident, "%s", (ident.empty() ? std::to_string(list_length(l)) : ident).c_str());
        v.i_rangSeq = rang, v.i_rangSeqCandidat = -1, v.i_teinte = teinte;
        const size_t nbP = list_length(&inst->l_ecartsPrio), nb = nbP + list_length(&inst->l_ecartsNonPrio);
        v.i_vectBoolEcPrio = static_cast<int32_t *>(calloc(nb + 1, sizeof(int32_t)));
        v.i_vectBoolEcNonPrio = static_cast<int32_t *>(calloc(nb + 1, sizeof(int32_t)));
        for (size_t k = 0; k < nb && k < d.size(); k++)
            (k < nbP ? v.i_vectBoolEcPrio[k] : v.i_vectBoolEcNonPrio[k - nbP]) = d[k];
        list_append(l, &v, 0);
        return *this;
    }
    Constructeur &fige(int rang, int teinte, const Drapeaux &d = {}) { return vehicule(true, rang, teinte, d); }
    Constructeur &jour(int rang, int teinte, const Drapeaux &d = {}) { return vehicule(false, rang, teinte, d); }
};

/* The figures of a results record, its violation arrays included. */
std::vector<double> chiffres(const IndicateursSolution &r, const InstancePb *inst)
{
    std::vector<double> c = {double(r.i_nbPurges), r.d_longMoyRafales, double(r.i_flagLongMaxRafTeintesOk),
                             double(r.i_teinteRafaleTropLongue), double(r.i_longRafaleTropLongue),
                             double(r.i_nbViolEcPrio), double(r.i_nbViolEcNonPrio), r.d_note};
    c.insert(c.end(), r.i_vectNbViolEcPrio, r.i_vectNbViolEcPrio + inst->i_nbEcartsPrio);
    c.insert(c.end(), r.i_vectNbViolEcNonPrio, r.i_vectNbViolEcNonPrio + inst->i_nbEcartsNonPrio);
    return c;
}

/*
** The families of a prepared instance in family order: what the family key
** holds of each (with cle: colour, flags) and its sorted ranks.  Checks the
** size and colour flags of each on the way.
*/
std::string familles(const InstancePb *inst, bool cle)
{
    std::ostringstream s;
    const LIST_FCMP f = inst->l_vehAOrdonnancer.fcmp;
    for (int k = 0; k < inst->i_nbFamilles; k++) {
        const auto *fam = static_cast<const Famille *>(list_element(&inst->l_familles, k));
        EXPECT_EQ(fam->i_nbVeh, inst->i_vectVFam[k]);
        EXPECT_EQ(1, mQuelto_drapeauTeinteFamille(inst, k, fam->i_teinte));
        EXPECT_TRUE(inst->i_matBoolTeinte == nullptr || inst->i_matBoolTeinte[k][fam->i_teinte] == 1);
        std::vector<int> rangs(fam->i_vectRangVeh, fam->i_vectRangVeh + fam->i_nbVeh);
        std::sort(rangs.begin(), rangs.end());
        s << (k > 0 ? "|" : "") << (cle && f != mQuelto_comparerVehEcarts ? std::string("t") + std::to_string(fam->i_teinte) : "");
        const bool drapeaux = cle && f != mQuelto_comparerVehTeinte;
        for (int j = 0; drapeaux && j < inst->i_nbEcartsPrio; j++) s << fam->i_vectBoolEcPrio[j];
        for (int j = 0; drapeaux && j < inst->i_nbEcartsNonPrio; j++) s << fam->i_vectBoolEcNonPrio[j];
        for (size_t j = 0; j < rangs.size(); j++) s << (j > 0 || cle ? " " : "") << rangs[j];
    }
    return s.str();
}

/*
** What the evaluation of the order installed on day D must find, recounted
** from the vehicles.  The explicit sequence is the history, the last M - 1
** frozen vehicles by rank (M the greatest denominator, lowered to the number
** of frozen vehicles when M - 1 exceeds it) at positions -(M - 1)..-1, then
** day D.  The windows of a p/q constraint start at 1 - q .. -1 (q positions
** each) and at 0 .. N - p - 1 (cut at the end of day D); places before the
** history carry no option.  Nothing when day D is too short for a window.
*/
std::optional<EvaluatedSequence> recompter(const InstancePb *inst)
{
    const LIST *l = &inst->l_vehAOrdonnancer, *ecarts[2] = {&inst->l_ecartsPrio, &inst->l_ecartsNonPrio};
    const int n = list_length(l), nbF = list_length(&inst->l_vehFiges);
    std::vector<const Vehicule *> seq;  // the vehicle at position t is seq[t + h]
    for (int r = 0; r < nbF; r++) seq.push_back(static_cast<const Vehicule *>(list_element(&inst->l_vehFiges, r)));
    std::sort(seq.begin(), seq.end(), [](auto *a, auto *b) { return a->i_rangSeq < b->i_rangSeq; });
    const int32_t avant = seq.back()->i_teinte;
    int m = 1;
    for (const LIST *e : ecarts)
        for (int k = 0; k < list_length(e); k++)
            m = std::max(m, static_cast<const EcartCritere *>(list_element(e, k))->i_denominateur);
    const int h = (m - 1 > nbF ? nbF : m) - 1;
    seq.erase(seq.begin(), seq.end() - h);
    EvaluatedSequence s;
    s.reset(n, list_length(ecarts[0]), list_length(ecarts[1]), inst->indicateursSeqInitiale);
    s.detail.emplace();
    for (int i = 0; i < n; i++) {
        seq.push_back(static_cast<const Vehicule *>(list_element_trie(l, i)));
        s.order[i] = std::stoi(seq.back()->s_ident), s.colours[i] = seq.back()->i_teinte;
    }
    int32_t total[2] = {0, 0};
    for (int bas = 0; bas < 2; bas++) {
        const Priority prio = bas ? Priority::low : Priority::high;
        for (int k = 0; k < list_length(ecarts[bas]); k++) {
            const auto *e = static_cast<const EcartCritere *>(list_element(ecarts[bas], k));
            const int p = e->i_numerateur, q = e->i_denominateur;
            std::vector<int> somme{0};  // at t + h, the options of positions -h .. t - 1
            for (auto *v : seq)
                somme.push_back(somme.back() + ((bas ? v->i_vectBoolEcNonPrio : v->i_vectBoolEcPrio)[k] == 1));
            uint64_t *ligne = s.options(prio).row(k);
            for (int i = 0; i < n; i++) ligne[i / 64] |= uint64_t(somme[h + i + 1] - somme[h + i]) << i % 64;
            for (int debut = 1 - q; debut < 0 || debut < n - p; debut++) {
                const int fin = debut < 0 ? debut + q - 1 : std::min(debut + q, n) - 1;
                if (fin >= n) return std::nullopt;
                const int nb = somme[fin + h + 1] - somme[std::max(debut, -h) + h];
                if (nb <= p) continue;
                s.violations(prio)[k] += nb - p;
                s.detail->windows.push_back({prio, k, debut, fin, nb, nb - p, debut < 0});
            }
            total[bas] += s.violations(prio)[k];
        }
    }
    IndicateursSolution &r = s.results;
    r.i_nbPurges = 0;
    for (int i = 0, debut = 0; i < n; i++) {
        if (s.colours[i] != (i == 0 ? avant : s.colours[i - 1])) r.i_nbPurges++, s.detail->colour_changes.push_back(i);
        if (i > 0 && s.colours[i] != s.colours[i - 1]) debut = i;
        const int longueur = i + 1 - debut;
        if ((i + 1 < n && s.colours[i + 1] == s.colours[i]) || longueur <= inst->i_longMaxRafTeintes) continue;
        if (!(inst->d_poidsPurges > 0)) continue;
        s.detail->long_batches.push_back({s.colours[i], debut, longueur});
        if (r.i_flagLongMaxRafTeintesOk == 0) continue;
        r.i_flagLongMaxRafTeintesOk = 0, r.i_teinteRafaleTropLongue = s.colours[i], r.i_longRafaleTropLongue = longueur;
    }
    r.d_longMoyRafales = r.i_nbPurges > 0 ? double(n) / r.i_nbPurges : HUGE_VAL;
    r.i_nbViolEcPrio = total[0], r.i_nbViolEcNonPrio = total[1];
    r.d_note = (total[0] * inst->d_poidsEcPrio + total[1] * inst->d_poidsEcNonPrio) +
               r.i_nbPurges * inst->d_poidsPurges;
    return s;
}

/* Every test writes its trace log into its own folder, and its error reports beside it. */
class GesDonnees : public ::testing::Test {
protected:
    testutil::TempDir dir;
    FILE *rapport = fopen((dir / "rapport.txt").c_str(), "w");
    void SetUp() override
    {
        ASSERT_EQ(0, f_set_dbg_logfile_name((dir / "trace.log").c_str(), "w"));
        OSupTrace_SetStream(rapport);
    }
    void TearDown() override { OSupTrace_SetStream(nullptr), fclose(rapport); }
    /* Whether the trace log holds, as a line, the text of tests/data/evaluation/messages.txt under key. */
    bool traceContientMessage(const std::string &cle)
    {
        const std::string t = testutil::lireFichier(QUELTO_TEST_DATA "/evaluation/messages.txt");
        const size_t debut = t.find(std::string("\n") + cle + " ") + cle.size() + 2;
        return nbDans(std::string("\n") + t.substr(debut, t.find('\n', debut) - debut) + "\n") > 0;
    }
    int nbErreursInternes() { return nbDans("[libQuelto/src/QueltoGesDonnees,"); }
    int nbDans(const std::string &motif)
    {
        const std::string t = testutil::lireFichier(dir / "trace.log");
        int n = 0;
        for (size_t pos = t.find(motif); pos != std::string::npos; pos = t.find(motif, pos + 1)) n++;
        return n;
    }

    /*
    ** The reference order of a prepared instance evaluated with its detail
    ** (into evaluee), then without (when the window counter takes its
    ** shortcuts), both as the recount finds it; on a day D too short, -1
    ** and two internal errors.
    */
    EvaluatedSequence evaluee;
    void verifierReference(InstancePb *inst)
    {
        list_trier(&inst->l_vehAOrdonnancer, mQuelto_comparerVehRangSeq);
        std::optional<EvaluatedSequence> attendu = recompter(inst);
        const int erreurs = nbErreursInternes();
        const int statut = Quelto_evaluerSequence(inst, &inst->indicateursSeqInitiale, true, &evaluee);
        EXPECT_EQ(attendu ? 0 : -1, statut);
        EXPECT_EQ(erreurs + (attendu ? 0 : 2), nbErreursInternes());
        if (!attendu || statut != 0) return;
        EXPECT_EQ(chiffres(attendu->results, inst), chiffres(evaluee.results, inst));
        EXPECT_TRUE(*attendu == evaluee);  // order, colours, options and detail too
        EvaluatedSequence sans;
        ASSERT_EQ(0, Quelto_calculerIndicateursSurSeqInitiale(inst, &sans));
        EXPECT_EQ(chiffres(attendu->results, inst), chiffres(inst->indicateursSeqInitiale, inst));
        attendu->detail.reset();
        EXPECT_TRUE(*attendu == sans);
    }
};
using Evaluation = GesDonnees;

}  // namespace

/*
** One instance under several objectives: its counts (the colour of the last
** frozen vehicle counts, not that of an earlier one; percentages truncated),
** the frozen history (ten frozen appended out of order, M = 4: the three of
** greatest rank, oldest first), the weights and the families of each key.
*/
TEST_F(GesDonnees, ChiffresPoidsEtFamilles)
{
    struct Cas { std::vector<int> codes; double poidsP, poidsNP, poidsT; const char *familles; } cas[] = {
        {{3}, 0, 0, 1e6, "1 3|0 2 5|4"},         // by colour alone
        {{2, 3}, 0, 1e6, 1e3, "1 3|2|0 5|4"},    // by colour, then the options first
        {{1, 1}, 1e3, 0, 0, "2|0 4 5|1 3"},      // the later position stands; flags alone mix colours
        {{7, 3}, 0, 0, 1e3, "1 3|0 2 5|4"},      // an unknown code weighs nothing
        {{1, 2, 3}, 1e6, 1e3, 1, "1 3|2|0 5|4"},
    };
    for (const Cas &k : cas) {
        SCOPED_TRACE(k.familles);
        Constructeur c(k.codes, 2);
        c.ecart(true, 1, 2).ecart(false, 1, 4);
        for (int r : {40, 100, 10, 90, 20, 80, 30, 70, 60, 50})
            c.fige(r, r > 90 ? 4 : r > 80 ? 9 : 1, {r == 90, r == 80});
        c.jour(1, 2, {1, 0}).jour(2, 1, {0, 0}).jour(3, 2, {1, 1}).jour(4, 1, {0, 0}).jour(5, 3, {1, 0});
        c.jour(6, 2, {1, 0});
        ASSERT_EQ(0, Quelto_majInstancePb(c.inst));
        const InstancePb &i = *c.inst;
        // N, M, colours, last frozen colour, percentages, vehicles by number of options, minimal colour changes
        EXPECT_EQ((std::vector<double>{6, 4, 4, 4, 66, 16, 2, 3, 1, 3}),
                  (std::vector<double>{double(i.i_longFilm), double(i.i_denominateurMax), double(i.i_nbTeintes),
                                       double(i.i_teintePos_1), i.d_vectPourcentVehEcPrio[0],
                                       i.d_vectPourcentVehEcNonPrio[0], double(i.i_vectNbVehParNbEcarts[0]),
                                       double(i.i_vectNbVehParNbEcarts[1]), double(i.i_vectNbVehParNbEcarts[2]),
                                       double(i.i_nbMinimalPurges)}));
        const int32_t *rangs = i.i_vectRangVehFiges, *p = i.i_matBoolEcPrioVehFiges[0];
        const int32_t *np = i.i_matBoolEcNonPrioVehFiges[0];
        EXPECT_EQ((std::vector<int>{5, 3, 1, 0, 1, 0, 1, 0, 0}),
                  (std::vector<int>{rangs[0], rangs[1], rangs[2], p[0], p[1], p[2], np[0], np[1], np[2]}));
        EXPECT_EQ((std::vector<double>{k.poidsP, k.poidsNP, k.poidsT}),
                  (std::vector<double>{i.d_poidsEcPrio, i.d_poidsEcNonPrio, i.d_poidsPurges}));
        EXPECT_EQ(k.familles, familles(c.inst, false));
    }
    EXPECT_TRUE(traceContientMessage("objectif-invalide"));
}

TEST_F(GesDonnees, PreparationRefuseeEtTeinteInvalide)
{
    Constructeur sansPoids(std::vector<int>{}), sansJourJ, sansFige;
    EXPECT_EQ(-1, Quelto_majInstancePb(sansPoids.fige(1, 1).jour(1, 1).inst));
    EXPECT_TRUE(traceContientMessage("sans-poids"));
    for (InstancePb *inst : {sansJourJ.fige(1, 1).inst, sansFige.jour(1, 1).inst}) {
        const int avant = nbErreursInternes();
        EXPECT_EQ(-1, Quelto_majInstancePb(inst));
        EXPECT_EQ(avant + 1, nbErreursInternes());
    }
    EXPECT_LT(0, nbDans("==>[]"));  // an internal error carries no message

    Constructeur nulle(std::vector<int>{3});  // a colour outside 1..i_nbTeintes: message, all-zero row
    ASSERT_EQ(0, Quelto_majInstancePb(nulle.fige(1, 2).jour(1, 0).jour(2, 2).inst));
    EXPECT_TRUE(traceContientMessage("teinte-invalide"));
    const int32_t *ligne = nulle.inst->i_matBoolTeinte[0];
    EXPECT_EQ(0, ligne[0] + ligne[1] + ligne[2] + mQuelto_drapeauTeinteFamille(nulle.inst, 0, 0));
}

/*
** A day whose reference ranks all differ is prepared from compact copies,
** without sorting it; the same day with one shared rank is sorted.  Both
** give the same colour figures and families (up to the order of vehicles
** inside a family, and what a family takes from its first vehicle beyond
** its key), also when vehicles differ only in flags beyond what a key holds;
** the minimal colour changes are the sum of ceil(m / L), less 1.
*/
TEST_F(GesDonnees, PreparationSansTriCommeAvecTri)
{
    std::mt19937 gen(2026);
    const std::vector<std::vector<int>> objectifs = {{3}, {1}, {2, 3}, {1, 2, 3}};
    for (int essai = 0; essai < 120; essai++) {
        SCOPED_TRACE(essai);
        const int n = 1 + gen() % (essai < 100 ? 60 : 3000), nbP = gen() % 4;
        const int nbNP = essai % 9 ? gen() % 4 : 33 + essai % 2 * 37;  // then vehicles alike but for the last 3 flags
        const int limite = std::vector<int>{-1, 0, 1, 2, 3, 1000}[gen() % 6], teinteFigee = 1 + gen() % 4;
        const int etalement = essai % 10 ? 1 : 20;  // ranks too spread to be checked: sorted
        Constructeur a(objectifs[essai % 4], limite), b(objectifs[essai % 4], limite);
        for (int k = 0; k < nbP + nbNP; k++) a.ecart(k < nbP, 1, 2), b.ecart(k < nbP, 1, 2);
        a.fige(1, teinteFigee), b.fige(1, teinteFigee);
        std::vector<int> rangs(n);
        for (int i = 0; i < n; i++) rangs[i] = 1 + i * etalement;
        std::shuffle(rangs.begin(), rangs.end(), gen);
        std::map<int, int> parTeinte;
        for (int i = 0; i < n; i++) {
            Drapeaux d(nbP + nbNP);
            for (size_t k = 0; k < d.size(); k++) d[k] = (nbNP < 33 || k + 3 >= d.size()) && gen() % 3 == 0;
            const int teinte = essai % 7 ? 1 + gen() % 4 : INT32_MAX - gen() % 3;
            parTeinte[teinte]++;
            a.jour(rangs[i], teinte, d);
            b.jour(rangs[i == 1 ? 0 : i], teinte, d);
        }
        ASSERT_TRUE(Quelto_majInstancePb(a.inst) == 0 && Quelto_majInstancePb(b.inst) == 0);
        int lots = 0;
        for (auto [teinte, m] : parTeinte) lots += (m + std::max(limite, 1) - 1) / std::max(limite, 1);
        for (const InstancePb *i : {a.inst, b.inst})
            EXPECT_EQ((std::vector<int>{lots - 1, std::max(parTeinte.rbegin()->first, teinteFigee)}),
                      (std::vector<int>{i->i_nbMinimalPurges, i->i_nbTeintes}));
        EXPECT_EQ(familles(b.inst, true), familles(a.inst, true));
        const LIST *l = &a.inst->l_vehAOrdonnancer;
        EXPECT_EQ(b.inst->l_vehAOrdonnancer.fcmp, l->fcmp);
        for (int i = 1; i < n; i++) EXPECT_LE(l->fcmp(list_element_trie(l, i - 1), list_element_trie(l, i)), 0);
    }
}

/*
** Sorts through the comparators' keys leave the permutation of the plain
** sort (list_qsort comparing the vehicles), on vehicles with many ties:
** extreme ranks, identifiers alike beyond their first 8 bytes, flags alike
** but for the last six, and more flags than a key holds (32 with the colour,
** 64 without).
*/
TEST_F(GesDonnees, TrisParCleCommeLesComparateurs)
{
    std::mt19937 gen(99);
    const int extremes[] = {INT_MIN, -1, 0, 1, 2, INT_MAX};
    static LIST *l;  // the list and comparator of the plain sort, read by its comparison without context
    static LIST_FCMP f;
    auto parVehicules = [](int32_t a, int32_t b, void *) { return f(list_element(l, a), list_element(l, b)); };
    for (int nbDrapeaux : {3, 40, 70}) {
        Constructeur c;
        for (int k = 0; k < nbDrapeaux; k++) c.ecart(k < nbDrapeaux / 2, 1, 2);
        for (int i = 0; i < 3000; i++) {
            Drapeaux d(nbDrapeaux);
            const int motif = 2 + gen() % 3;
            for (int k = 0; k < nbDrapeaux; k++) d[k] = k < nbDrapeaux - 6 ? k % motif == 0 : gen() % 2;
            c.vehicule(false, gen() % 40, 1 + gen() % 3, d, (gen() % 2 ? "VEHICLE-" : "") + std::to_string(gen() % 50));
            auto *v = static_cast<Vehicule *>(list_element(&c.inst->l_vehAOrdonnancer, i));
            v->i_rangSeqCandidat = extremes[gen() % 6];
            if (gen() % 3 == 0) v->i_rangSeq = extremes[gen() % 6];
        }
        ASSERT_EQ(0, mQuelto_majIndicesInInstancePb(c.fige(1, 1).inst));  // publishes the counts and the keys
        l = &c.inst->l_vehAOrdonnancer;
        for (LIST_FCMP g : {mQuelto_comparerVehTeinte, mQuelto_comparerVehEcarts, mQuelto_comparerVehTeinteEcarts,
                            mQuelto_comparerVehRangSeq, mQuelto_comparerVehIdent, mQuelto_comparerVehRangSeqCandidat}) {
            std::vector<int32_t> attendu(l->primaryIndex, l->primaryIndex + l->count);
            f = g;
            list_qsort(attendu.data(), l->count, parVehicules, nullptr);
            list_trier(l, f);
            EXPECT_EQ(attendu, std::vector<int32_t>(l->primaryIndex, l->primaryIndex + l->count)) << nbDrapeaux;
        }
    }
}

/*
** Worked examples of one high priority p/q constraint: its violations and,
** as first..last:count, its windows with an excess.  A day D too short for
** the windows into day D-1 is an internal error (-1) of the evaluation and
** of its step.
*/
TEST_F(Evaluation, FenetresExemples)
{
    struct Cas { int p, q; Drapeaux hist, jour; int qMax, attendu; const char *fenetres; } cas[] = {
        {1, 3, {0, 1}, {1, 1, 0, 0, 1}, 0, 4, "-2..0:2 -1..1:3 0..2:2"},
        {2, 4, {0, 0, 0}, {0, 0, 1, 1, 1}, 0, 2, "1..4:3 2..4:3"},              // a window cut at the end counts
        {1, 3, {1, 0, 0, 1}, {1, 1, 0, 0, 1}, 5, 4, "-2..0:2 -1..1:3 0..2:2"},  // q < M: the last q - 1 frozen
        {0, 1, {1}, {1, 0, 1, 1}, 0, 3, "0..0:1 2..2:1 3..3:1"},                // q = 1: none into day D-1
        {3, 4, {1, 1, 1}, {1, 1, 1}, 0, 3, "-3..0:4 -2..1:4 -1..2:4"},          // p = N: into day D-1 only
        {1, 5, {1, 0}, {1, 0, 0, 1, 0, 0}, 6, 2, "-1..3:2 0..4:2"},  // M lowered to 2: the first frozen left out
        {1, 4, {0, 0, 0}, {1, 1}, 0, -1, "-2..1:2"},  // day D shorter than q - 1: the windows found before
    };
    for (const Cas &k : cas) {
        SCOPED_TRACE(k.fenetres);
        Constructeur c;
        c.ecart(true, k.p, k.q);
        if (k.qMax > k.q) c.ecart(false, 0, k.qMax);
        for (size_t j = 0; j < k.hist.size(); j++) c.fige(j + 1, 1, {k.hist[j]});
        for (size_t i = 0; i < k.jour.size(); i++) c.jour(i + 1, 1, {k.jour[i]});
        ASSERT_EQ(0, Quelto_majInstancePb(c.inst));
        verifierReference(c.inst);
        std::ostringstream fenetres;
        for (const quelto::Window &w : evaluee.detail->windows)
            fenetres << (fenetres.tellp() > 0 ? " " : "") << w.first << ".." << w.last << ":" << w.count;
        EXPECT_EQ(k.fenetres, fenetres.str());
        EXPECT_EQ(k.attendu, evaluee.results.i_nbViolEcPrio);  // -1: not counted
        EXPECT_EQ(std::max(k.attendu, 0), evaluee.violations(Priority::high)[0]);
        EXPECT_EQ(std::min(k.attendu, 0), mQuelto_calculerNbViolEcartsPrio(c.inst, &evaluee));  // the step alone
    }
    EXPECT_EQ(3, nbErreursInternes());
    EXPECT_TRUE(traceContientMessage("figes-insuffisants"));
}

/*
** Random days: few or many constraints (more than 64 of one priority: the
** picture gathers 64 per walk), tied reference ranks, vehicles sharing flag
** arrays (as the reader makes them), colour codes up to INT32_MAX, a day D-1
** shorter than the history, days too short, any weights and batch limit.
*/
TEST_F(Evaluation, SequencesAuHasardContreRecompte)
{
    std::mt19937 gen(20240611);
    auto tirage = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    const std::vector<std::vector<int>> objectifs = {{1, 2, 3}, {3}, {1, 2}, {2, 3}, {3, 1}};
    const int palette[] = {1, 2, 3, 0, -7, 9, 1000, 123456789, INT32_MAX};
    for (bool grand : {false, true})
        for (int essai = 0; essai < (grand ? 8 : 400); essai++) {
            SCOPED_TRACE(testing::Message() << grand << " " << essai);
            const int nbP = grand ? 63 + essai : tirage(0, 3), nbNP = grand ? 70 - essai : tirage(0, 2);
            const int nbF = tirage(1, grand ? 320 : 7), n = tirage(1, grand ? 1500 : 9), densite = tirage(0, 100);
            const int qMax = std::min(grand ? 300 : 6, essai % 10 ? n + 1 : INT_MAX);
            Constructeur c(objectifs[essai % 5], tirage(0, 3));
            for (int k = 0; k < nbP + nbNP; k++)
                c.ecart(k < nbP, tirage(0, grand && tirage(0, 1) ? 60 : 4), tirage(1, qMax));
            for (int nb : {nbF, -n}) {  // frozen then day D, appended out of order, tied on some days
                std::vector<int> rangs;
                for (int i = 0; i < std::abs(nb); i++)
                    rangs.push_back(nb > 0 || essai % 3 ? 10 + 10 * i : tirage(1, n / 2 + 1));
                std::shuffle(rangs.begin(), rangs.end(), gen);
                for (int rang : rangs) {
                    Drapeaux d(nbP + nbNP);
                    for (int &x : d) x = tirage(0, 99) < densite;
                    c.vehicule(nb > 0, rang, palette[tirage(0, essai % 4 ? 2 : 8)], d);
                }
            }
            std::map<std::vector<int32_t>, int32_t *> partages[2];  // equal flags, one array
            for (int r = 0; essai % 2 && r < n; r++) {
                auto *v = static_cast<Vehicule *>(list_element(&c.inst->l_vehAOrdonnancer, r));
                for (int bas = 0; bas < 2; bas++) {
                    int32_t *&d = bas ? v->i_vectBoolEcNonPrio : v->i_vectBoolEcPrio;
                    d = partages[bas].emplace(std::vector<int32_t>(d, d + (bas ? nbNP : nbP)), d).first->second;
                }
            }
            ASSERT_EQ(0, Quelto_majInstancePb(c.inst));
            verifierReference(c.inst);
        }
}

/*
** The window counter goes 64 starts at a time and skips the blocks whose
** count never exceeds p or never falls to p: every N, q and p near the
** edges of a block, on days where no vehicle, every vehicle or some carry
** each option, after a long day D-1 or one that lowers M.
*/
TEST_F(Evaluation, CompteurAuxBordsDesBlocs)
{
    std::mt19937 gen(64);
    for (int n : {1, 2, 63, 64, 65, 127, 128, 129, 255, 256, 257, 300, 301})
        for (int densite : {0, 100, 3, 50, 95})
            for (int nbF : {400, 3}) {
                SCOPED_TRACE(testing::Message() << "N " << n << " density " << densite << " frozen " << nbF);
                Constructeur c;
                int nbEcarts = 0;
                for (int q : {1, 2, 63, 64, 65, 127, 128, 129, 254, 255, 256, 300, n, n + 1})
                    for (int p : {0, 1, q / 2, q - 1, q, n - 1, n, n + 3})
                        if (q <= n + 1) c.ecart(nbEcarts++ % 2 == 0, p, q);
                for (int j = -nbF; j < n; j++) {
                    Drapeaux d(nbEcarts);
                    for (int &x : d) x = static_cast<int>(gen() % 100) < densite;
                    c.vehicule(j < 0, j + nbF + 1, 1 + (j & 1), d);
                }
                ASSERT_EQ(0, Quelto_majInstancePb(c.inst));
                verifierReference(c.inst);
            }
}

/*
** The reference and a candidate of one instance, evaluated side by side;
** copies and moves keep the results record on the value's own arrays, and
** a difference in any part makes two values unequal.
*/
TEST_F(Evaluation, ValeursCoteACote)
{
    Constructeur c;
    c.ecart(true, 1, 2).ecart(false, 1, 3).fige(1, 1, {1, 0}).fige(2, 2, {1, 1});
    for (int i = 0; i < 8; i++) c.jour(i + 1, 1 + i % 3, {i % 2, i % 3 == 0});
    ASSERT_EQ(0, Quelto_majInstancePb(c.inst));
    LIST *l = &c.inst->l_vehAOrdonnancer;
    for (int r = 0; r < 8; r++) static_cast<Vehicule *>(list_element(l, r))->i_rangSeqCandidat = 8 - r;
    IndicateursSolution candidat{};
    ASSERT_EQ(0, Quelto_initIndicateursSolution(c.inst, &candidat));
    EvaluatedSequence ref, cand, encore;
    list_trier(l, mQuelto_comparerVehRangSeq);
    ASSERT_EQ(0, Quelto_evaluerSequence(c.inst, &c.inst->indicateursSeqInitiale, true, &ref));
    list_trier(l, mQuelto_comparerVehRangSeqCandidat);
    ASSERT_EQ(0, Quelto_calculerIndicateursSurNumSeqCalcule(c.inst, &candidat, &cand));
    list_trier(l, mQuelto_comparerVehRangSeq);
    ASSERT_EQ(0, Quelto_evaluerSequence(c.inst, &c.inst->indicateursSeqInitiale, true, &encore));
    EXPECT_EQ((std::vector<int32_t>{7, 6, 5, 4, 3, 2, 1, 0}), cand.order);
    EXPECT_EQ(chiffres(cand.results, c.inst), chiffres(candidat, c.inst));

    auto pareilles = [](const EvaluatedSequence &a, const EvaluatedSequence &b) {
        return a == b && a.results.i_vectNbViolEcPrio == a.violations(Priority::high) &&
               a.results.i_vectNbViolEcNonPrio == a.violations(Priority::low);
    };
    EXPECT_TRUE(pareilles(ref, encore) && !(ref == cand));
    EvaluatedSequence copie(ref);
    EXPECT_TRUE(pareilles(copie, ref));
    EvaluatedSequence deplace(std::move(copie));
    EXPECT_TRUE(pareilles(deplace, ref) && copie.results.i_vectNbViolEcPrio == nullptr);
    copie = cand;
    EXPECT_TRUE(pareilles(copie, cand));
    deplace = std::move(copie);
    deplace = static_cast<const EvaluatedSequence &>(deplace);
    EXPECT_TRUE(pareilles(deplace, cand));

    void (*const changements[])(EvaluatedSequence &) = {
        [](auto &s) { std::swap(s.order[0], s.order[1]); }, [](auto &s) { s.colours[7]++; },
        [](auto &s) { s.high.row(0)[0] ^= 1; }, [](auto &s) { s.low.row(0)[0] ^= 2; },
        [](auto &s) { s.results.i_vectNbViolEcPrio[0]++; }, [](auto &s) { s.violations(Priority::low)[0]++; },
        [](auto &s) { s.results.d_note++; }, [](auto &s) { s.results.s_nomCandidat[0] = 'x'; },
        [](auto &s) { s.detail->windows.pop_back(); }, [](auto &s) { s.detail.reset(); },
    };
    for (auto changer : changements) {
        EvaluatedSequence autre(ref);
        changer(autre);
        EXPECT_FALSE(autre == ref);
    }
}
