/* Readers of the instance files and of the candidate's solution file, through real files. */
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "testutil.h"
#include "traces.h"

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

const std::string SRC = "libQuelto/src/QueltoDecodageLignesFichiers";

struct Lecture {
    int rc;
    std::string out, err;
};

template <class F>
Lecture capturer(F f)
{
    CaptureStdout();
    CaptureStderr();
    Lecture l{f(), "", ""};
    l.err = GetCapturedStderr();
    l.out = GetCapturedStdout();
    return l;
}

enum Fichier { ECARTS, LONGMAX, OBJECTIFS, VEHICULES };

/* The reader of each kind of file, and the field of the instance naming that file. */
int (*const LECTEURS[])(InstancePb *) = {mQuelto_lireFichEcartsCritEtMajInstancePb,
                                         mQuelto_lireFichLongMaxTeinteEtMajInstancePb,
                                         mQuelto_lireFichObjectifsEtMajInstancePb, mQuelto_lireFichVehEtMajInstancePb};

char *champFichier(InstancePb &inst, int type)
{
    char *champ[] = {inst.s_fichEcartsCriteres, inst.s_fichLongMaxRafTeintes, inst.s_fichObjectifOptim,
                     inst.s_fichVehicules};
    return champ[type];
}

/* Write contenu to a file of dir and read it with the reader of that kind. */
Lecture lire(InstancePb &inst, Fichier type, const testutil::TempDir &dir, const std::string &contenu)
{
    std::string chemin = dir / ("f" + std::to_string(type));
    testutil::ecrireFichier(chemin, contenu);
    snprintf(champFichier(inst, type), QUELTO_LONG_CHEMIN + 1, "%s", chemin.c_str());
    return capturer([&] { return LECTEURS[type](&inst); });
}

const EcartCritere *ecart(InstancePb &inst, bool prio, int r)
{
    return static_cast<const EcartCritere *>(list_element(prio ? &inst.l_ecartsPrio : &inst.l_ecartsNonPrio, r));
}

const Vehicule *veh(LIST &l, int r) { return static_cast<const Vehicule *>(list_element(&l, r)); }

/* A list of vehicles (two high, one low priority flag) as "date ident rank colour cand flags" lines. */
std::string texteVeh(LIST &l)
{
    std::string t;
    char b[256];
    for (int r = 0; r < list_length(&l); r++) {
        const Vehicule *v = veh(l, r);
        snprintf(b, sizeof b, "%s %s %d %d %d %d%d%d\n", v->s_date, v->s_ident, v->i_rangSeq, v->i_teinte,
                 v->i_rangSeqCandidat, v->i_vectBoolEcPrio[0], v->i_vectBoolEcPrio[1], v->i_vectBoolEcNonPrio[0]);
        t += b;
    }
    return t;
}

/* Two high and one low priority constraints, as the vehicle tests expect. */
const std::string ECARTS_2_1 = "ratio;prio;nom;x\n1/2;1;P1;\n1/3;1;P2;\n1/5;0;N1;\n";

}  // namespace

TEST(Ecarts, RatioReadingAgreesWithFormattedInput)
{
    /* Reference: the pattern "%d/%d" of sscanf on texts that cannot overflow. */
    testutil::TempDir dir;
    const char *ratios[] = {"3/5", " 3/5", "+3/+5", "3/ 5", "3/5x", "3/5/7", "\t2/-4", "-/5", "3/", "/5",
                            "", "0/1", "- 3/5", "3/+", "07/010", "3//5", "a3/5", "2/ \t9rest"};
    for (const char *r : ratios) {
        int p = 0, q = 0;
        bool attendu = sscanf(r, "%d/%d", &p, &q) == 2 && q >= 1 && p >= 0;
        InstancePb inst{};
        Lecture l = lire(inst, ECARTS, dir, std::string("h\n") + r + ";1;N;\n");
        ASSERT_EQ(l.rc == 0, attendu) << "[" << r << "]";
        if (attendu) {
            EXPECT_EQ(ecart(inst, true, 0)->i_numerateur, p) << r;
            EXPECT_EQ(ecart(inst, true, 0)->i_denominateur, q) << r;
        }
    }
    InstancePb grand{};
    ASSERT_EQ(lire(grand, ECARTS, dir, "h\n99999999999/3;0;N;\n").rc, 0);
    EXPECT_EQ(ecart(grand, false, 0)->i_numerateur, 2147483647);
}

TEST(Vehicules, DecodesFieldsFlagsAndInterleavedDays)
{
    testutil::TempDir dir;
    InstancePb inst{};
    ASSERT_EQ(lire(inst, ECARTS, dir, ECARTS_2_1).rc, 0);
    const std::string longue(40, 'x');
    Lecture l = lire(inst, VEHICULES, dir,
                     "date;rang;id;teinte\n\nd1;12;V0042;5;1;0;1\nd2; 3;V7;+2;1abc;0x;0;extra\nd1;1;" + longue +
                         ";1;0;0;0\r\nd2;4;V8;1;0;1;1\n");
    ASSERT_EQ(l.rc, 0) << l.err;
    EXPECT_STREQ(inst.s_jourJMoins1, "d1");
    EXPECT_STREQ(inst.s_jourJ, "d2");
    EXPECT_EQ(texteVeh(inst.l_vehFiges), "d1 V0042 12 5 -1 101\nd1 " + longue.substr(0, 30) + " 1 1 -1 000\n");
    EXPECT_EQ(texteVeh(inst.l_vehAOrdonnancer), "d2 V7 3 2 -1 100\nd2 V8 4 1 -1 011\n");

    /* One date only: every vehicle is frozen.  No constraint: four fields suffice. */
    InstancePb seul{};
    ASSERT_EQ(lire(seul, ECARTS, dir, "h\n").rc, 0);
    ASSERT_EQ(lire(seul, VEHICULES, dir, "h\nd5;1;A;1\nd5;2;B;1\n").rc, 0);
    EXPECT_EQ(list_length(&seul.l_vehFiges), 2);
    EXPECT_EQ(list_length(&seul.l_vehAOrdonnancer), 0);
    EXPECT_STREQ(seul.s_jourJ, "");
}

TEST(Vehicules, RankAndColourReadAsStrtollReadsTheCutField)
{
    /* Reference: strtoll on the field cut to 255 characters, saturated to 32 bits; below 1 refused. */
    testutil::TempDir dir;
    const std::string textes[] = {"12", " 7", "+3", "-0", "5x", "", "0012", "99999999999", "1 2", "\t4", "123456789",
                                  "1234567890", "2147483648", "-", "+", "0", std::string(300, ' ') + "9",
                                  std::string(254, ' ') + "86", std::string(260, '1')};
    for (const std::string &t : textes) {
        const std::string coupe = t.substr(0, 255);
        long long v = strtoll(coupe.c_str(), nullptr, 10);
        const int attendu = static_cast<int>(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v);
        for (int colonne = 0; colonne < 2; colonne++) {
            InstancePb inst{};
            ASSERT_EQ(lire(inst, ECARTS, dir, ECARTS_2_1).rc, 0);
            const std::string ligne = colonne == 0 ? "d1;" + t + ";A;3;1;0;1\n" : "d1;4;A;" + t + ";1;0;1\n";
            Lecture l = lire(inst, VEHICULES, dir, "h\n" + ligne);
            ASSERT_EQ(l.rc == 0, attendu >= 1) << "[" << t << "] " << l.err;
            if (attendu < 1) {
                EXPECT_NE(l.err.find("(" + coupe + ") !!"), std::string::npos) << l.err;
                continue;
            }
            const Vehicule *v1 = veh(inst.l_vehFiges, 0);
            EXPECT_EQ(colonne == 0 ? v1->i_rangSeq : v1->i_teinte, attendu) << "[" << t << "]";
        }
    }
}

TEST(Vehicules, ManyFlagsReadAsTheirFirstCharacter)
{
    /* Nine high and six low priority flags, usual and unusual fields mixed at random; reference:
       each field's first character, the first other than 0 or 1 refusing the line (0021 / 0022). */
    testutil::TempDir dir;
    std::string ecarts = "h\n";
    for (int i = 0; i < 15; i++) ecarts += std::string("1/2;") + (i < 9 ? "1" : "0") + ";E" + std::to_string(i) + ";\n";
    const char *flags[] = {"0", "1", "0", "1", "0", "1", "1abc", "0x", "", " 1", "2", "10"};
    InstancePb base{};
    ASSERT_EQ(lire(base, ECARTS, dir, ecarts).rc, 0);
    srand(7);
    for (int essai = 0; essai < 120; essai++) {
        std::string ligne = "d1;1;A;1";
        int attendus[15], refus = -1;
        const int nbUsuels = essai % 3 == 0 ? 12 : 6; /* mostly 0 and 1 */
        for (int k = 0; k < 15; k++) {
            const char *f = flags[rand() % nbUsuels];
            ligne += std::string(";") + f;
            attendus[k] = f[0] - '0';
            if (refus < 0 && f[0] != '0' && f[0] != '1') refus = k;
        }
        if (rand() % 2) ligne += ";";
        InstancePb inst = base; /* the constraint lists shared, read once */
        Lecture l = lire(inst, VEHICULES, dir, "h\n" + ligne + "\n");
        ASSERT_EQ(l.rc == 0, refus < 0) << ligne << "\n" << l.err;
        if (refus >= 0) {
            const std::string place = " on the " + std::to_string(refus < 9 ? refus + 1 : refus - 8) + "-th " +
                                      (refus < 9 ? "high" : "low") + " priority";
            EXPECT_NE(l.err.find(place), std::string::npos) << ligne << "\n" << l.err;
            continue;
        }
        const Vehicule *v = veh(inst.l_vehFiges, 0);
        for (int k = 0; k < 15; k++)
            EXPECT_EQ(k < 9 ? v->i_vectBoolEcPrio[k] : v->i_vectBoolEcNonPrio[k - 9], attendus[k]) << ligne << " " << k;
    }
}

namespace {

int rangCandidat(InstancePb &inst, int r) { return veh(inst.l_vehAOrdonnancer, r)->i_rangSeqCandidat; }

}  // namespace

namespace {

/* A day of n vehicles with many equal identifiers (long ones sharing a prefix too), not sorted. */
void preparerJourAleatoire(InstancePb &inst, int n, unsigned graine)
{
    list_init(&inst.l_vehAOrdonnancer, 0, 0, sizeof(Vehicule), nullptr);
    snprintf(inst.s_nomInstance, sizeof inst.s_nomInstance, "inst");
    const int nbIdents = 1 + n / 3;
    for (int i = 0; i < n; i++) {
        graine = graine * 1103515245u + 12345u;
        const unsigned k = (graine >> 8) % nbIdents;
        Vehicule v{};
        snprintf(v.s_ident, sizeof v.s_ident, "%s%u", k % 2 ? "PREFIXE-COMMUN-" : "V", k);
        v.i_rangSeqCandidat = -1;
        ASSERT_EQ(list_append(&inst.l_vehAOrdonnancer, &v, 0), 1);
    }
    inst.i_longFilm = n;
}

std::vector<int> rangsCandidat(InstancePb &inst)
{
    std::vector<int> rangs;
    for (int r = 0; r < inst.i_longFilm; r++) rangs.push_back(rangCandidat(inst, r));
    return rangs;
}

/*
** Read the solution file sol of dir for a fresh copy of the random day of n
** vehicles: sorted by identifier just before the reading, as the run does,
** and with the reading anticipated first when anticiper (on the file
** anticipe, which is sol by default).
*/
Lecture lireJour(InstancePb &inst, int n, const testutil::TempDir &dir, bool anticiper, const char *anticipe = "sol")
{
    preparerJourAleatoire(inst, n, 777);
    ContexteEvaluation contexte;
    if (anticiper) mQuelto_anticiperFichSeqSolution(&contexte, &inst, (dir / anticipe).c_str());
    list_trier(&inst.l_vehAOrdonnancer, mQuelto_comparerVehIdent);
    return capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&inst, (dir / "sol").c_str(), &contexte); });
}

}  // namespace

/*
** The reader finds each identifier without bisecting the list: among equal
** identifiers it must reach the vehicle that list_bsearch reaches.  Random
** days with many duplicates, lines naming unknown identifiers, invalid
** ranks, empty identifiers and long fields, against a plain replay of the
** lines with list_bsearch; the reading anticipated on another thread must
** then give the same ranks and the same messages, in the same order.
*/
TEST(Solution, EqualIdentifiersReachTheVehicleOfTheBisection)
{
    testutil::TempDir dir;
    unsigned graine = 12345;
    auto hasard = [&graine](unsigned n) {
        graine = graine * 1103515245u + 12345u;
        return (graine >> 8) % n;
    };
    for (int n : {1, 2, 5, 6, 7, 40, 41, 333, 2000}) {
        InstancePb inst{};
        preparerJourAleatoire(inst, n, 777);
        list_trier(&inst.l_vehAOrdonnancer, mQuelto_comparerVehIdent);
        const int nbIdents = 1 + n / 3;
        std::string contenu;
        std::vector<int> attendu(n, -1);
        for (int ligne = 0; ligne < 2 * n; ligne++) {
            const int rang = hasard(20) == 0 ? n + 1 : 1 + static_cast<int>(hasard(n));
            const unsigned k = hasard(nbIdents + 2);
            std::string id = (k % 2 ? "PREFIXE-COMMUN-" : "V") + std::to_string(k);
            if (hasard(30) == 0) id = "";
            if (hasard(30) == 0) id += std::string(60, 'x');
            contenu += std::to_string(rang) + ";" + id + "\n";
            Vehicule cle{};
            snprintf(cle.s_ident, sizeof cle.s_ident, "%s", id.c_str());
            int r = -1;
            if (!id.empty() && rang <= n && list_bsearch(&inst.l_vehAOrdonnancer, &cle, &r) != nullptr &&
                attendu[r] == -1)
                attendu[r] = rang;
        }
        testutil::ecrireFichier(dir / "sol", contenu);
        InstancePb seule{}, anticipee{};
        const Lecture l = lireJour(seule, n, dir, false);
        ASSERT_EQ(l.rc, 0);
        EXPECT_EQ(rangsCandidat(seule), attendu) << "n " << n;
        const Lecture a = lireJour(anticipee, n, dir, true);
        ASSERT_EQ(a.rc, 0);
        EXPECT_EQ(rangsCandidat(anticipee), attendu) << "n " << n;
        EXPECT_EQ(a.out, l.out) << "n " << n;
        EXPECT_EQ(a.err, l.err) << "n " << n;
    }
}

/*
** An anticipated reading that cannot stand for the run's own (a line with a
** single field, another file, a day no longer sorted by identifier, more
** messages than it keeps) leaves the reading to the run, which then shows
** exactly what it shows without one; candidate ranks the anticipated
** reading wrote are set back first.  A plain file is the control.
*/
TEST(Solution, AnticipatedReadingGivenUpLeavesTheRunsOwn)
{
    testutil::TempDir dir;
    const int n = 300;
    std::string inconnus;
    for (int i = 0; i < 5000; i++) inconnus += "1;absent" + std::to_string(i) + "\n";
    const std::string cas[] = {"1;V1\n2;V3\n7\n3;V5\n", "1;V1\n2;V3\n3;V5\n1;V1\n", inconnus + "2;V3\n"};
    for (const std::string &contenu : cas) {
        testutil::ecrireFichier(dir / "sol", contenu);
        testutil::ecrireFichier(dir / "autre", "5;V1\n6;V3\n");
        InstancePb seule{}, anticipee{}, autre{};
        const Lecture l = lireJour(seule, n, dir, false);
        for (InstancePb *inst : {&anticipee, &autre}) {
            const Lecture a = lireJour(*inst, n, dir, true, inst == &autre ? "autre" : "sol");
            EXPECT_EQ(a.rc, l.rc);
            EXPECT_EQ(a.out, l.out);
            EXPECT_EQ(a.err, l.err);
            EXPECT_EQ(rangsCandidat(*inst), rangsCandidat(seule));
        }
    }
    /* Not sorted by identifier when the run reads: the run's own reading, ranks set back. */
    InstancePb seule{}, anticipee{};
    preparerJourAleatoire(seule, n, 777);
    preparerJourAleatoire(anticipee, n, 777);
    ContexteEvaluation contexte;
    mQuelto_anticiperFichSeqSolution(&contexte, &anticipee, (dir / "autre").c_str());
    const Lecture l =
        capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&seule, (dir / "sol").c_str(), nullptr); });
    const Lecture a =
        capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&anticipee, (dir / "sol").c_str(), &contexte); });
    EXPECT_EQ(a.out, l.out);
    EXPECT_EQ(rangsCandidat(anticipee), rangsCandidat(seule));
    /* Nothing to anticipate: no file, a directory; an anticipation dropped unread. */
    InstancePb rien{};
    preparerJourAleatoire(rien, n, 777);
    for (const std::string &chemin : {dir / "none", std::string(dir.path())}) {
        const Lecture r = capturer([&] {
            ContexteEvaluation c;
            mQuelto_anticiperFichSeqSolution(&c, &rien, chemin.c_str());
            return 0;
        });
        EXPECT_EQ(r.out + r.err, "");
    }
    /* Dropped unread (the next one replaces it, or its context goes): stopped without a word. */
    const Lecture r = capturer([&] {
        ContexteEvaluation c;
        mQuelto_anticiperFichSeqSolution(&c, &rien, (dir / "sol").c_str());
        mQuelto_anticiperFichSeqSolution(&c, &rien, (dir / "autre").c_str());
        return 0;
    });
    EXPECT_EQ(r.out + r.err, "");
}

