/* The evaluation reports, on a small instance prepared by hand, byte for byte. */
#include <gtest/gtest.h>

#include <unistd.h>

#include <limits>
#include <string>

#include "QueltoDecodageLignesFichiers.h"
#include "applistd.h"
#include "testutil.h"

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

int parRang(const void *a, const void *b)
{
    return static_cast<const Vehicule *>(a)->i_rangSeq - static_cast<const Vehicule *>(b)->i_rangSeq;
}

void ajouterEcart(LIST *l, const char *nom, int p, int q)
{
    EcartCritere e{};
    snprintf(e.s_nomEcart, sizeof e.s_nomEcart, "%s", nom);
    e.i_numerateur = p;
    e.i_denominateur = q;
    e.d_ratio = p * 100.0 / q;
    ASSERT_EQ(list_append(l, &e, 0), 1);
}

/* Flags live in static storage: the records keep pointers to them. */
/* Flags by sequence rank: RC1 ***-, RC2 *---, RC3 *---. */
int32_t g_prio[4][2] = {{1, 1}, {1, 0}, {1, 0}, {0, 0}};
int32_t g_nonPrio[4][1] = {{1}, {0}, {0}, {0}};

/*
** Two high priority constraints RC1 1/2 and RC2 2/3, one low RC3 1/5 (none
** when sansNonPrio); day-D vehicles appended in rank order 3, 1, 4, 2 with
** colours 1, 2, 1, 1; the last frozen vehicle has colour 2.  The derived
** figures and the results are consistent with that sequence.
*/
struct Cas {
    testutil::TempDir dir;  /* where the reports of the case are written */
    int32_t violPrio[2] = {2, 0}, violNonPrio[1] = {0};
    double pourcentPrio[2] = {75.0, 25.0}, pourcentNonPrio[1] = {25.0};
    int32_t parNbEcarts[4] = {1, 2, 0, 1};
    InstancePb inst{};
    IndicateursSolution ind{.s_nomInstance = "inst_A", .s_nomCandidat = "solverX", .i_flagRapportComplet = 1,
                            .i_nbPurges = 1, .d_longMoyRafales = 4.0, .i_flagLongMaxRafTeintesOk = 1,
                            .i_teinteRafaleTropLongue = -1, .i_longRafaleTropLongue = -1,
                            .i_vectNbViolEcPrio = violPrio, .i_vectNbViolEcNonPrio = violNonPrio,
                            .i_nbViolEcPrio = 2, .i_nbViolEcNonPrio = 0, .d_note = 2000001.0};

    explicit Cas(bool sansNonPrio = false)
    {
        snprintf(inst.s_nomInstance, sizeof inst.s_nomInstance, "inst_A");
        const char *objectifs[] = {"high_priority_level_and_easy_to_satisfy_ratio_constraints",
                                   "low_priority_level_ratio_constraints", "paint_color_batches"};
        for (int i = 0; i < 3; i++) snprintf(inst.s_nomsObjectifs[i], 101, "%s", objectifs[i]);
        inst.i_nbObjectifs = 3;
        inst.d_poidsEcPrio = 1000000;
        inst.d_poidsEcNonPrio = 1000;
        inst.d_poidsPurges = 1;
        list_init(&inst.l_ecartsPrio, 0, 0, sizeof(EcartCritere), nullptr);
        list_init(&inst.l_ecartsNonPrio, 0, 0, sizeof(EcartCritere), nullptr);
        ajouterEcart(&inst.l_ecartsPrio, "RC1", 1, 2);
        ajouterEcart(&inst.l_ecartsPrio, "RC2", 2, 3);
        if (!sansNonPrio) ajouterEcart(&inst.l_ecartsNonPrio, "RC3", 1, 5);
        snprintf(inst.s_jourJMoins1, 31, "2024-01-01");
        snprintf(inst.s_jourJ, 31, "2024-01-02");
        list_init(&inst.l_vehFiges, 0, 0, sizeof(Vehicule), nullptr);
        list_init(&inst.l_vehAOrdonnancer, 0, 0, sizeof(Vehicule), nullptr);
        Vehicule f{};
        list_append(&inst.l_vehFiges, &f, 0);
        list_append(&inst.l_vehFiges, &f, 0);
        const int rangs[4] = {3, 1, 4, 2}, teintes[4] = {1, 2, 1, 1};
        for (int i = 0; i < 4; i++) {
            Vehicule v{};
            v.i_rangSeq = rangs[i];
            v.i_teinte = teintes[i];
            v.i_vectBoolEcPrio = g_prio[rangs[i] - 1];
            v.i_vectBoolEcNonPrio = g_nonPrio[rangs[i] - 1];
            list_append(&inst.l_vehAOrdonnancer, &v, 0);
        }
        list_trier(&inst.l_vehAOrdonnancer, parRang);
        inst.i_longFilm = 4;
        inst.i_nbEcartsPrio = 2;
        inst.i_nbEcartsNonPrio = sansNonPrio ? 0 : 1;
        inst.i_nbTeintes = 2;
        inst.i_longMaxRafTeintes = 3;
        inst.i_teintePos_1 = 2;
        inst.i_nbMinimalPurges = 1;
        inst.d_vectPourcentVehEcPrio = pourcentPrio;
        inst.d_vectPourcentVehEcNonPrio = pourcentNonPrio;
        inst.i_vectNbVehParNbEcarts = parNbEcarts;
        if (sansNonPrio) parNbEcarts[2] = 1;  /* V1 then carries 2 options */
    }
};

const std::string ENTETE_REF = "Reporting on the reference solution of instance (inst_A) on (<DATE>): \n";
const std::string ENTETE_CAND = "Reporting on the solution of instance (inst_A) from candidate (solverX) on (<DATE>): \n";
const std::string OBJECTIFS =
    "\n\nOptimization objectives : \n"
    "\n0 - high_priority_level_and_easy_to_satisfy_ratio_constraints"
    "\n1 - low_priority_level_ratio_constraints"
    "\n2 - paint_color_batches"
    "\n\nWeight of violations of high priority level ratio constraints = 1000000.000000"
    "\nWeight of violations of low priority level ratio constraints = 1000.000000"
    "\nWeight of paint color changes = 1.000000";
const std::string ERREURS =
    "\n\nS_MSG_ERR_0031 : the limitation on the upper batch size of paint color batches is not satisfied => THE "
    "SOLUTION IS INVALID !!\n"
    "S_MSG_ERR_0032 : a batch with paint color (1) has a length of (3) vehicles !!\n\n";
const std::string CHIFFRES_DEBUT =
    "\n\nMark of the solution = 2000001.000000\n"
    "\n\nFigures on vehicles : \n"
    "\n2024-01-01 : 2 vehicles from day D-1"
    "\n2024-01-02 : 4 vehicles from day D"
    "\n\nViolations of high priority level ratio constraints : \n"
    "\nRC1 1/2 : 2 (ratio = 50.00% and cars matched day D = 75.00%)"
    "\nRC2 2/3 : 0 (ratio = 66.67% and cars matched day D = 25.00%)"
    "\n\nTotal number of violations of high priority level ratio constraints = 2"
    "\n\nViolations of low priority level ratio constraints : \n";
const std::string RC3 = "\nRC3 1/5 : 0 (ratio = 20.00% and cars matched day D = 25.00%)";
const std::string CHIFFRES_FIN =
    "\n\nTotal number of violations of low priority level ratio constraints = 0"
    "\n\nFigures on the vehicles matched by ratio constraints : \n"
    "\ncars matched by 0 ratio constraints = 25.00%"
    "\ncars matched by 1 ratio constraints = 50.00%";
const std::string TEINTES =
    "\n\nFigures on paint color batches : \n"
    "\nNumber of paint colors : 2"
    "\nLimitation on the upper batch size of paint color batches : 3";
const std::string PURGES =
    "\nTotal number of paint color changes = 1"
    "\nMedian length of paint color batches = 4.000000";
const std::string SEQUENCE = "\n\nPaint color sequence (* = paint color change) : \n\n(2)*(1)(1)(1)";
const std::string SEQ_PRIO =
    "\n\nSequence for each high priority level ratio constraint (* = the car matches the ratio constraint)\n"
    "\n\nRC1 1/2 : 2 violations (ratio = 50.00% and cars matched day D = 75.00%)\n***-"
    "\n\nRC2 2/3 : 0 violations (ratio = 66.67% and cars matched day D = 25.00%)\n*---"
    "\n\nSequences for each low priority level ratio constraint (* = the car matches the ratio constraint)\n";
const std::string SEQ_RC3 = "\n\nRC3 1/5 : 0 violations (ratio = 20.00% and cars matched day D = 25.00%)\n*---";
const std::string FIN = "\n\nEnd of the reporting\n";

const std::string COMPLET = OBJECTIFS + CHIFFRES_DEBUT + RC3 + CHIFFRES_FIN +
                            "\ncars matched by 3 ratio constraints = 25.00%" + TEINTES + PURGES + SEQUENCE + SEQ_PRIO +
                            SEQ_RC3 + FIN;

std::string rapport(const std::string &chemin) { return testutil::masquerDates(testutil::lireFichier(chemin)); }

}  // namespace

TEST(Rapport, CompleteReportsOfReferenceAndCandidate)
{
    Cas c;
    ASSERT_EQ(Quelto_ecrireRapportSurSeqInitiale(&c.inst, &c.ind, (c.dir / "ref").c_str()), 0);
    EXPECT_EQ(rapport(c.dir / "ref"), ENTETE_REF + COMPLET);
    /* An existing file is replaced; the candidate's header takes its names from the record. */
    snprintf(c.inst.s_nomInstance, sizeof c.inst.s_nomInstance, "other");
    ASSERT_EQ(Quelto_ecrireRapportSurNumSeqCalcule(&c.inst, &c.ind, (c.dir / "ref").c_str()), 0);
    EXPECT_EQ(rapport(c.dir / "ref"), ENTETE_CAND + COMPLET);
}

TEST(Rapport, BatchLimitViolatedShortOrCompleteAsTheRecordAsks)
{
    Cas c;
    c.ind.i_flagLongMaxRafTeintesOk = 0;
    c.ind.i_teinteRafaleTropLongue = 1;
    c.ind.i_longRafaleTropLongue = 3;
    ASSERT_EQ(Quelto_ecrireRapportSurSeqInitiale(&c.inst, &c.ind, (c.dir / "ref").c_str()), 0);
    EXPECT_EQ(rapport(c.dir / "ref"), ENTETE_REF + OBJECTIFS + ERREURS + COMPLET.substr(OBJECTIFS.size()));
    /* Short report; the first vehicle is marked when the last frozen colour differs. */
    c.ind.i_flagRapportComplet = 0;
    c.inst.i_teintePos_1 = 1;
    ASSERT_EQ(Quelto_ecrireRapportSurNumSeqCalcule(&c.inst, &c.ind, (c.dir / "cand").c_str()), 0);
    EXPECT_EQ(rapport(c.dir / "cand"), ENTETE_CAND + OBJECTIFS + ERREURS +
                                         "\n\nPaint color sequence (* = paint color change) : \n\n*(2)*(1)(1)(1)" + FIN);
}

TEST(Rapport, MinimalPurgesLineOnlyForExactlyOne)
{
    Cas c;
    std::string avec = ENTETE_REF + COMPLET;
    avec.insert(avec.find(PURGES), "\nNombre minimal de purges : 1\n");
    for (const char *valeur : {"1", "0", " 1", "1 ", "yes"}) {
        ASSERT_NE(m_og_add_envlist("S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES", valeur), nullptr);
        ASSERT_EQ(Quelto_ecrireRapportSurSeqInitiale(&c.inst, &c.ind, (c.dir / "r").c_str()), 0);
        EXPECT_EQ(rapport(c.dir / "r"), std::string(valeur) == "1" ? avec : ENTETE_REF + COMPLET) << valeur;
    }
}

TEST(Rapport, NoLowPriorityConstraintAndInfiniteMeanBatch)
{
    Cas c(true);
    c.ind.d_longMoyRafales = std::numeric_limits<double>::infinity();
    ASSERT_EQ(Quelto_ecrireRapportSurSeqInitiale(&c.inst, &c.ind, (c.dir / "r").c_str()), 0);
    EXPECT_EQ(rapport(c.dir / "r"),
              ENTETE_REF + OBJECTIFS + CHIFFRES_DEBUT + CHIFFRES_FIN + "\ncars matched by 2 ratio constraints = 25.00%" + TEINTES +
                  "\nTotal number of paint color changes = 1\nMedian length of paint color batches = inf" + SEQUENCE +
                  SEQ_PRIO + FIN);
}

TEST(Rapport, FailuresAreReportedAndNeverTakenForSuccess)
{
    Cas c;
    /* A path that cannot be created, named in full however long. */
    std::string chemin = c.dir / (std::string(3000, 'd') + "/r");
    CaptureStderr();
    EXPECT_EQ(Quelto_ecrireRapportSurSeqInitiale(&c.inst, &c.ind, chemin.c_str()), -1);
    std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("==TRACEDEBUG([libQuelto/src/QueltoDecodageLignesFichiers,"), std::string::npos);
    EXPECT_NE(err.find("\nS_MSG_ERR_0033 : impossible de creer le fichier (" + chemin + ") !!\n"), std::string::npos);

    /* A full device: every write is lost, and the writer says so. */
    ASSERT_EQ(symlink("/dev/full", (c.dir / "plein").c_str()), 0);
    const char *noms[] = {"Quelto_ecrireRapportSurSeqInitiale", "Quelto_ecrireRapportSurNumSeqCalcule"};
    for (int i = 0; i < 2; i++) {
        CaptureStderr();
        int rc = i == 0 ? Quelto_ecrireRapportSurSeqInitiale(&c.inst, &c.ind, (c.dir / "plein").c_str())
                        : Quelto_ecrireRapportSurNumSeqCalcule(&c.inst, &c.ind, (c.dir / "plein").c_str());
        err = GetCapturedStderr();
        EXPECT_EQ(rc, -1);
        EXPECT_NE(err.find(std::string("\nS_MSG_ERR_0038 : ") + noms[i] + " : error while writing the file (" +
                           c.dir / "plein" + ") !!\n"),
                  std::string::npos)
            << err;
    }

    /* A sequence without an active index cannot be walked: cut short, -1. */
    Cas brut;
    list_init(&brut.inst.l_vehAOrdonnancer, 0, 0, sizeof(Vehicule), nullptr);
    CaptureStderr();
    EXPECT_EQ(Quelto_ecrireRapportSurSeqInitiale(&brut.inst, &brut.ind, (c.dir / "coupe").c_str()), -1);
    err = GetCapturedStderr();
    EXPECT_NE(err.find("==>[]"), std::string::npos) << err;
}
