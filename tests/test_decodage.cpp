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

/* A content that the reader refuses, and a text its report contains. */
struct CasRefus {
    std::string contenu, message;
};

/* Reading contenu must fail and the trace log must contain message. */
Lecture lireRefus(InstancePb &inst, Fichier type, const testutil::TempDir &dir, const std::string &contenu,
                  const std::string &message)
{
    Lecture l = lire(inst, type, dir, contenu);
    EXPECT_EQ(l.rc, -1) << contenu;
    EXPECT_NE(l.err.find(message), std::string::npos) << contenu << "\n" << l.err;
    return l;
}

const EcartCritere *ecart(InstancePb &inst, bool prio, int r)
{
    return static_cast<const EcartCritere *>(list_element(prio ? &inst.l_ecartsPrio : &inst.l_ecartsNonPrio, r));
}

const Vehicule *veh(LIST &l, int r) { return static_cast<const Vehicule *>(list_element(&l, r)); }

/* A list of constraints as "name p/q ratio flag4" lines. */
std::string texte(LIST &l)
{
    std::string t;
    char b[128];
    for (int r = 0; r < list_length(&l); r++) {
        const EcartCritere *e = static_cast<const EcartCritere *>(list_element(&l, r));
        snprintf(b, sizeof b, "%s %d/%d %.4f %d\n", e->s_nomEcart, e->i_numerateur, e->i_denominateur, e->d_ratio,
                 e->i_flagChamp4);
        t += b;
    }
    return t;
}

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

TEST(Ecarts, ReadsConstraintsInFileOrderWithCutNamesAndCrLf)
{
    testutil::TempDir dir;
    InstancePb inst{};
    Lecture l = lire(inst, ECARTS, dir,
                     "heading\r\n3/5;1;RC1;1\r\n\r\n1/3;0;RC2;\r\n 2/ 7x;1;ABCDEFGHIJKLMNOPQRSTUVWXY;0;more\r\n");
    ASSERT_EQ(l.rc, 0) << l.err;
    EXPECT_EQ(texte(inst.l_ecartsPrio), "RC1 3/5 60.0000 1\nABCDEFGHIJKLMNOPQRST 2/7 28.5714 0\n");
    EXPECT_EQ(texte(inst.l_ecartsNonPrio), "RC2 1/3 33.3333 0\n");

    InstancePb vide{};
    EXPECT_EQ(lire(vide, ECARTS, dir, "heading only\n").rc, 0);
    EXPECT_EQ(list_length(&vide.l_ecartsPrio), 0);
    EXPECT_EQ(list_length(&vide.l_ecartsNonPrio), 0);
}

TEST(Ecarts, RefusalsNameTheLineAndTheField)
{
    testutil::TempDir dir;
    const CasRefus cas[] = {
        {"3/5;1;RC1", "1 UTILS 00003"},
        {"3/5;01;RC1;0", "\nS_MSG_ERR_0010 : mQuelto_decodeLigneEcartCritere : priority flag invalid (01) on line (2) !!\n"},
        {"3-5;1;RC1;0", "\nS_MSG_ERR_0034 : mQuelto_decodeLigneEcartCritere : ratio (3-5) invalid on line (2) !!\n"},
    };
    for (const auto &c : cas) {
        InstancePb inst{};
        Lecture l = lireRefus(inst, ECARTS, dir, "h\n" + c.contenu + "\n", c.message);
        EXPECT_NE(l.err.find(std::string("ligne lue : ]\n")), std::string::npos) << l.err;
    }
    /* A ratio is refused before the priority is looked at. */
    InstancePb inst{};
    Lecture l = lireRefus(inst, ECARTS, dir, "h\n3/0;7;RC1;0\n", "==TRACEDEBUG([" + SRC + ",");
    EXPECT_EQ(l.err.find("S_MSG_ERR_0010"), std::string::npos);

    /* The decoder counts non-empty lines, the line reader physical lines. */
    InstancePb compte{};
    l = lireRefus(compte, ECARTS, dir, "h\n\n3/5;1;A;0\n\n\n3/5;2;B;0\n", "priority flag invalid (2) on line (3) !!");
    EXPECT_NE(l.err.find("1 UTILS 00018 erreur de decodage du fichier [ " + dir / "f0" + " ], ligne (6)"),
              std::string::npos)
        << l.err;
    EXPECT_NE(l.err.find("3/5;2;B;0"), std::string::npos);
    EXPECT_EQ(list_length(&compte.l_ecartsPrio), 1);  /* what was read stays */
}

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

TEST(LongMax, LastDataLineCountsAndNonPositiveIsRefused)
{
    testutil::TempDir dir;
    const struct {
        const char *contenu;
        int limite;
    } bons[] = {{"h\n4\n6\n", 6}, {"h\n6;abc\n", 6}, {"h\n  +12x\n", 12}, {"h\n99999999999\n", 2147483647},
                {"h\n000000000000000000000000000099999999999999999999999999;\n", 2147483647}};
    for (const auto &c : bons) {
        InstancePb inst{};
        EXPECT_EQ(lire(inst, LONGMAX, dir, c.contenu).rc, 0) << c.contenu;
        EXPECT_EQ(inst.i_longMaxRafTeintes, c.limite) << c.contenu;
    }
    for (const char *champ : {"0", "-3", "abc", "", "-99999999999"}) {
        InstancePb inst{};
        lireRefus(inst, LONGMAX, dir, std::string("h\n") + champ + ";x\n",
                  std::string("\nS_MSG_ERR_0014 : mQuelto_decodeLigneLongMaxTeinte : Limitation on the upper batch "
                              "size of paint color batches (") + champ + ") invalid !!\n");
    }
    for (const char *contenu : {"", "h\n", "\n\nh\n\n"}) {
        InstancePb inst{};
        lireRefus(inst, LONGMAX, dir, contenu,
                  "\nS_MSG_ERR_0036 : mQuelto_lireFichLongMaxTeinteEtMajInstancePb : file (" + dir / "f1" +
                      ") gives no limitation on the upper batch size of paint color batches !!\n");
    }
}

TEST(Objectifs, PlacesInFileOrderAndRefusals)
{
    testutil::TempDir dir;
    InstancePb inst{};
    ASSERT_EQ(lire(inst, OBJECTIFS, dir, "h\n1;paint_color_batches\n2;low_priority_level_ratio_constraints;x\n").rc, 0);
    EXPECT_EQ(inst.i_nbObjectifs, 2);
    EXPECT_STREQ(inst.s_nomsObjectifs[0], "paint_color_batches");
    EXPECT_EQ(inst.i_codesObjectifs[0], 3);
    EXPECT_EQ(inst.i_codesObjectifs[1], 2);
    EXPECT_EQ(inst.i_codesObjectifs[2], -1);
    EXPECT_STREQ(inst.s_nomsObjectifs[2], "");

    /* A new reading resets the places; heading only gives no objective. */
    ASSERT_EQ(lire(inst, OBJECTIFS, dir, "h\n").rc, 0);
    EXPECT_EQ(inst.i_nbObjectifs, 0);
    EXPECT_EQ(inst.i_codesObjectifs[0], -1);

    const std::string trois = "h\n;high_priority_level_and_easy_to_satisfy_ratio_constraints\n"
                              ";high_priority_level_and_difficult_to_satisfy_ratio_constraints\n"
                              ";paint_color_batches\n";
    const CasRefus cas[] = {
        {"h\n1;Paint_color_batches\n", "\nS_MSG_ERR_0016 : mQuelto_decodeLigneObjectifs : optimization objective "
                                       "(Paint_color_batches) invalid !!\n"},
        {trois + "4;low_priority_level_ratio_constraints\n",
         "\nS_MSG_ERR_0035 : mQuelto_decodeLigneObjectifs : too many optimization objectives, "
         "(low_priority_level_ratio_constraints) refused !!\n"},
    };
    for (const auto &c : cas) {
        InstancePb i{};
        lireRefus(i, OBJECTIFS, dir, c.contenu, c.message);
    }
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

TEST(Vehicules, RefusalsInTheOrderOfTheChecks)
{
    testutil::TempDir dir;
    const std::string pre = "\nS_MSG_ERR_00";
    const CasRefus cas[] = {
        {"d1;1;A;1;1;1", "1 UTILS 00003"}, {"d1;1;A", "1 UTILS 00003"},
        {"d1;0;A;0;1;1;1", pre + "23 : mQuelto_decodeLigneVeh : the vehicle from line (2) has an invalid sequence "
                                 "rank (0) !!\n"},
        {"d1;1;A;-2;1;1;1", pre + "24 : mQuelto_decodeLigneVeh : the vehicle from line (2) has an invalid paint "
                                  "color (-2) !!\n"},
        {";1;A;1;1;1;1", pre + "37 : mQuelto_decodeLigneVeh : the vehicle from line (2) has an empty date !!\n"},
        {"d2;1;A;1;1;1;1\nd3;1;B;1;1;1;1\nd4;1;C;1;1;1;1",
         pre + "18 : mQuelto_decodeLigneVeh : the vehicle from line (4) has an invalid date (d4) : day D-1 = d2 and "
               "day D = d3 !!\n"},
        {"d2;1;A;1;1;1;1\nd1;1;C;1;1;1;1", "invalid date (d1) : day D-1 = d2 and day D =  !!"},
        {"d1;1;A;1;;1;1", pre + "21 : mQuelto_decodeLigneVeh : the vehicle from line (2) has an invalid flag () on "
                                "the 1-th high priority level ratio constraint  !!\n"},
        {"d1;1;A;1;1;1;x", pre + "22 : mQuelto_decodeLigneVeh : the vehicle from line (2) has an invalid flag (x) on "
                                 "the 1-th low priority level ratio constraint !!\n"},
    };
    for (const auto &c : cas) {
        InstancePb inst{};
        ASSERT_EQ(lire(inst, ECARTS, dir, ECARTS_2_1).rc, 0);
        lireRefus(inst, VEHICULES, dir, "h\n" + c.contenu + "\n", c.message);
    }
    /* Rank and colour both invalid: the rank only; physical line in 00018. */
    InstancePb inst{};
    ASSERT_EQ(lire(inst, ECARTS, dir, ECARTS_2_1).rc, 0);
    Lecture l = lireRefus(inst, VEHICULES, dir, "h\n\nd1;0;A;0;1;1;1\n", "ligne (3), ligne lue : ");
    EXPECT_EQ(l.err.find("S_MSG_ERR_0024"), std::string::npos);
    EXPECT_NE(l.err.find("==>[d1;0;A;0;1;1;1]"), std::string::npos) << l.err;
}

namespace {

const std::string W = "W" + std::string(39, 'w');

/* Day-D vehicles V3, V1, V2 and W (40 characters, stored cut), frozen F1; sorted by ident. */
void preparerSolution(InstancePb &inst, const testutil::TempDir &dir)
{
    ASSERT_EQ(lire(inst, ECARTS, dir, "h\n").rc, 0);
    ASSERT_EQ(lire(inst, VEHICULES, dir, "h\nd1;1;F1;1\nd2;3;V3;1\nd2;1;V1;1\nd2;2;V2;1\nd2;4;" + W + ";1\n").rc, 0);
    snprintf(inst.s_nomInstance, sizeof inst.s_nomInstance, "inst");
    inst.i_longFilm = list_length(&inst.l_vehAOrdonnancer);
    list_trier(&inst.l_vehAOrdonnancer, mQuelto_comparerVehIdent);
}

int rangCandidat(InstancePb &inst, int r) { return veh(inst.l_vehAOrdonnancer, r)->i_rangSeqCandidat; }

Lecture lireSolution(InstancePb &inst, const testutil::TempDir &dir, const std::string &contenu)
{
    testutil::ecrireFichier(dir / "sol", contenu);
    return capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&inst, (dir / "sol").c_str()); });
}

}  // namespace

TEST(Solution, RanksWarningsAndSkippedLines)
{
    testutil::TempDir dir;
    InstancePb inst{};
    preparerSolution(inst, dir);
    Lecture l = lireSolution(inst, dir, "1;V3\n2;V1\n\n3;V2;x\n4;" + W + "\n5;V1\n3;V1\n5;\nabc;V2\n2;F1\n1;v1\n1;V1 \n3;V3\n");
    ASSERT_EQ(l.rc, 0) << l.err;
    EXPECT_EQ(rangCandidat(inst, 0), 1);  /* V3, in append order */
    EXPECT_EQ(rangCandidat(inst, 1), 2);  /* V1 */
    EXPECT_EQ(rangCandidat(inst, 2), 3);  /* V2 */
    EXPECT_EQ(rangCandidat(inst, 3), 4);  /* W, found by its first 30 characters */
    const std::string p = "\nS_MSG_ERR_00", f = " : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (";
    const std::string attendu = p + "27" + f + "V1) has an invalid sequence rank (5) !!\n" +
                                p + "29" + f + "V1) has 2 sequence ranks : (2) and (3) !!\n" +
                                p + "27" + f + "V2) has an invalid sequence rank (abc) !!\n" +
                                p + "28" + f + "F1) does not exist in the instance (inst) !!\n" +
                                p + "28" + f + "v1) does not exist in the instance (inst) !!\n" +
                                p + "28" + f + "V1 ) does not exist in the instance (inst) !!\n" +
                                p + "29" + f + "V3) has 2 sequence ranks : (1) and (3) !!\n";
    EXPECT_EQ(l.out, attendu);
    EXPECT_EQ(l.err, attendu);  /* the trace log, still the standard error stream */

    /* A new reading starts from -1; an empty file leaves every vehicle unplaced. */
    EXPECT_EQ(lireSolution(inst, dir, "").rc, 0);
    for (int r = 0; r < 4; r++) EXPECT_EQ(rangCandidat(inst, r), -1);
    l = lireSolution(inst, dir, "2;V1\n2;V2\n5\n1;V3\n");
    EXPECT_EQ(l.rc, -1);
    EXPECT_EQ(rangCandidat(inst, 1), 2);
    EXPECT_EQ(rangCandidat(inst, 2), 2);
    EXPECT_EQ(rangCandidat(inst, 0), -1);
    EXPECT_NE(l.err.find("1 UTILS 00003"), std::string::npos);
    EXPECT_NE(l.err.find("ligne (3), ligne lue : "), std::string::npos);
}

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
    if (anticiper) mQuelto_anticiperFichSeqSolution(&inst, (dir / anticipe).c_str());
    list_trier(&inst.l_vehAOrdonnancer, mQuelto_comparerVehIdent);
    return capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&inst, (dir / "sol").c_str()); });
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
    mQuelto_anticiperFichSeqSolution(&anticipee, (dir / "autre").c_str());
    const Lecture l = capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&seule, (dir / "sol").c_str()); });
    const Lecture a = capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&anticipee, (dir / "sol").c_str()); });
    EXPECT_EQ(a.out, l.out);
    EXPECT_EQ(rangsCandidat(anticipee), rangsCandidat(seule));
    /* Nothing to anticipate: no file, a directory; an anticipation dropped unread. */
    InstancePb rien{};
    preparerJourAleatoire(rien, n, 777);
    for (const std::string &chemin : {dir / "none", std::string(dir.path())}) {
        const Lecture r = capturer([&] {
            mQuelto_anticiperFichSeqSolution(&rien, chemin.c_str());
            return 0;
        });
        EXPECT_EQ(r.out + r.err, "");
    }
    /* Dropped unread (the next one replaces it, or the process ends): stopped without a word. */
    const Lecture r = capturer([&] {
        mQuelto_anticiperFichSeqSolution(&rien, (dir / "sol").c_str());
        mQuelto_anticiperFichSeqSolution(nullptr, nullptr);
        return 0;
    });
    EXPECT_EQ(r.out + r.err, "");
}

/*
** On a large vehicles file the reader notes the hashes of the day's
** identifiers, from which an anticipated reading builds its table without
** reading the vehicles; a reading of a solution file in between drops them
** (the candidate ranks are then no longer fresh).  Same ranks and messages
** as the run's own reading every way.
*/
TEST(Solution, AnticipatedReadingOfALargeDayFromTheNotedHashes)
{
    testutil::TempDir dir;
    const int n = 20000;
    std::string vehicules = "h\nd1;1;F1;1\n", solution;
    for (int i = 0; i < n; i++) vehicules += "d2;" + std::to_string(i + 1) + ";V" + std::to_string(i % 15000) + ";1\n";
    for (int i = 0; i < n + 50; i++) solution += std::to_string(1 + (i * 7919) % (n + 3)) + ";V" + std::to_string(i % 15007) + "\n";
    testutil::ecrireFichier(dir / "sol", solution);
    auto jour = [&](InstancePb &inst) {
        ASSERT_EQ(lire(inst, ECARTS, dir, "h\n").rc, 0);
        ASSERT_EQ(lire(inst, VEHICULES, dir, vehicules).rc, 0);
        snprintf(inst.s_nomInstance, sizeof inst.s_nomInstance, "inst");
        inst.i_longFilm = list_length(&inst.l_vehAOrdonnancer);
        ASSERT_EQ(inst.i_longFilm, n);
    };
    auto lireSol = [&](InstancePb &inst) {
        list_trier(&inst.l_vehAOrdonnancer, mQuelto_comparerVehIdent);
        return capturer([&] { return mQuelto_lireFichSeqSolutionEtMajInstancePb(&inst, (dir / "sol").c_str()); });
    };
    InstancePb seule{}, anticipee{}, relue{};
    jour(seule);
    const Lecture l = lireSol(seule);
    ASSERT_EQ(l.rc, 0);
    EXPECT_NE(l.out.find("S_MSG_ERR_0029"), std::string::npos);
    EXPECT_NE(l.out.find("S_MSG_ERR_0027"), std::string::npos);
    jour(anticipee);
    mQuelto_anticiperFichSeqSolution(&anticipee, (dir / "sol").c_str());
    const Lecture a = lireSol(anticipee);
    EXPECT_EQ(a.out, l.out);
    EXPECT_EQ(rangsCandidat(anticipee), rangsCandidat(seule));
    /* Read once, then anticipated: the ranks written are set back, the hashes no longer used
       (the day sorted twice may hold equal identifiers in another order: read twice as reference). */
    InstancePb deuxFois{};
    jour(deuxFois);
    lireSol(deuxFois);
    const Lecture d = lireSol(deuxFois);
    jour(relue);
    lireSol(relue);
    mQuelto_anticiperFichSeqSolution(&relue, (dir / "sol").c_str());
    const Lecture r = lireSol(relue);
    EXPECT_EQ(r.out, d.out);
    EXPECT_EQ(rangsCandidat(relue), rangsCandidat(deuxFois));
}

TEST(Lecture, MissingFilesNamedInTheReadersMessages)
{
    testutil::TempDir dir;
    const std::string absent = dir / "none";
    const char *fonctions[] = {"0009 : mQuelto_lireFichEcartsCritEtMajInstancePb",
                               "0013 : mQuelto_lireFichLongMaxTeinteEtMajInstancePb",
                               "0015 : mQuelto_lireFichObjectifsEtMajInstancePb", "0017 : mQuelto_lireFichVehEtMajInstancePb"};
    for (int i = 0; i < 4; i++) {
        InstancePb inst{};
        inst.i_nbObjectifs = 7;
        for (int f = 0; f < 4; f++) snprintf(champFichier(inst, f), QUELTO_LONG_CHEMIN + 1, "%s", absent.c_str());
        Lecture l = capturer([&] { return LECTEURS[i](&inst); });
        EXPECT_EQ(l.rc, -1);
        EXPECT_EQ(inst.i_nbObjectifs, 7);  /* nothing reset */
        EXPECT_NE(l.err.find(std::string("\nS_MSG_ERR_") + fonctions[i] + " : file (" + absent + ") not found !!\n"),
                  std::string::npos)
            << l.err;
    }
}
