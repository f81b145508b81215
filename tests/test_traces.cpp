/* Last-error record, trace log and error report. */
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "applierrno.h"
#include "osuptraces.h"
#include "testutil.h"
#include "traces.h"

using testutil::lireFichier;
using testutil::masquerDates;
using testutil::TempDir;

static std::vector<std::string> lignes(const std::string &texte)
{
    std::vector<std::string> v(1);
    for (char c : texte) {
        if (c == '\n') v.emplace_back();
        else v.back() += c;
    }
    return v;
}

static const std::string DEBUT = "**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**";
static const std::string FIN = "***FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN***";
static const std::string BANNIERE = "\n\n\n" + DEBUT + "\n\nOUVERTURE le <DATE>\n\n\n\n";

TEST(AppliErrno, EnregistrementEtNomSource)
{
    errno = ENOSPC;
    appli_set_errno(EA_FMTFICH, "ligne sans =", "a/src/b", 7);
    const ApplLastError &e = appli_last_error();
    EXPECT_EQ(e.code, &EA_FMTFICH);
    EXPECT_EQ(e.sysErrno, 0);
    EXPECT_STREQ(e.message, "ligne sans =");
    EXPECT_STREQ(e.sourceFile, "a/src/b");
    EXPECT_EQ(e.line, 7);

    errno = ENOMEM;
    std::string long2000(2000, 'x');
    appli_set_errno(EX_MALLOC, long2000.c_str(), "c", 9);
    EXPECT_EQ(e.code, &EX_MALLOC);
    EXPECT_EQ(e.sysErrno, ENOMEM);
    EXPECT_EQ(std::string(e.message), std::string(1023, 'x'));
    EXPECT_EQ(errno, ENOMEM);

    appli_set_errno(EX_FILACCES, nullptr, "d", 11);
    EXPECT_EQ(e.message, nullptr);
    EXPECT_STREQ(e.messageBuf, "");
    EXPECT_EQ(e.line, 11);

    // Source names: the path below the root, without extension.
    const std::pair<const char *, const char *> noms[] = {
        {"/any/where/libQuelto/src/QueltoGesDonnees.cpp", "libQuelto/src/QueltoGesDonnees"},
        {"/a/src/lib/src/y.v2.cpp", "lib/src/y.v2"}, {"seul.cpp", "seul"}, {nullptr, ""}};
    for (const auto &[chemin, nom] : noms) EXPECT_STREQ(appli_nom_source(chemin), nom) << (chemin ? chemin : "null");
    EXPECT_STREQ(APPLI_SOURCE, "tests/test_traces");
}

TEST(Traces, AvantLeFichierToutVaSurStderr)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(f_dbg_trace(nullptr, 0, nullptr, 0, "%s", "simple"), 0);
    EXPECT_EQ(f_dbg_trace("lib/src/m", 3, nullptr, 0, "%s", ""), 0);
    EXPECT_EQ(OSupTrace_Report("lib/src/m", 4, nullptr, 0, "%s", "deux"), 0);
    const std::string r = "\n==TRACEDEBUG([lib/src/m,4],[TOUJOURS ACTIVE,0])==>[deux]\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "simple\n==TRACEDEBUG([lib/src/m,3],[TOUJOURS ACTIVE,0])==>[]\n" + r + r);
    EXPECT_STREQ(f_get_dbg_logfile_name(), "stderr");
}

TEST(Traces, FichierLigneParLigneEtBascule)
{
    TempDir d;
    ASSERT_EQ(f_set_dbg_logfile_name((d / "a.log").c_str(), "w"), 0);
    EXPECT_EQ(f_dbg_trace("libQuelto/src/X", 12, nullptr, 0, "%s", "\nS_MSG_ERR_0001 : f : texte !!\n"), 0);
    EXPECT_EQ(f_dbg_trace(nullptr, 0, nullptr, 0, "%s", "100% %d"), 0);
    ASSERT_EQ(f_set_dbg_logfile_name((d / "b.log").c_str(), "w"), 0);
    std::vector<std::string> attendu = {"", "", "", DEBUT, "", "OUVERTURE le <DATE>", "", "", "", "",
                                        "==TRACEDEBUG([libQuelto/src/X,12],[TOUJOURS ACTIVE,0])==>[",
                                        "S_MSG_ERR_0001 : f : texte !!", "]", "100% %d", "", "FERMETURE le <DATE>",
                                        "", FIN, "", "", ""};
    EXPECT_EQ(lignes(masquerDates(lireFichier(d / "a.log"))), attendu);
    EXPECT_EQ(masquerDates(lireFichier(d / "b.log")), BANNIERE);
    EXPECT_STREQ(f_get_dbg_logfile_name(), (d / "b.log").c_str());

    // Leaving a file for a standard stream closes it the same way.
    ASSERT_EQ(f_set_dbg_logfile_name("stdout", "a"), 0);
    EXPECT_EQ(f_get_dbg_stream(), stdout);
    EXPECT_NE(lireFichier(d / "b.log").find(FIN + "\n\n\n"), std::string::npos);
}

TEST(Traces, ModesWEtAOuvertureRefuseeLaisseLeJournal)
{
    TempDir d;
    testutil::ecrireFichier(d / "a.log", "ancien\n");
    ASSERT_EQ(f_set_dbg_logfile_name((d / "a.log").c_str(), "w"), 0);
    EXPECT_EQ(masquerDates(lireFichier(d / "a.log")), BANNIERE);
    f_dbg_print(0, "un");
    // Reopening the current file: closed with its banner first, then reopened.
    ASSERT_EQ(f_set_dbg_logfile_name((d / "a.log").c_str(), "a"), 0);
    f_dbg_print(0, "deux");
    const std::string fermeture = "\n\nFERMETURE le <DATE>\n\n" + FIN + "\n\n\n";
    EXPECT_EQ(masquerDates(lireFichier(d / "a.log")), BANNIERE + "un" + fermeture + BANNIERE + "deux");

    // A refused opening leaves the current log in place.
    EXPECT_EQ(f_set_dbg_logfile_name((d / "b.log").c_str(), "r"), -1);
    EXPECT_EQ(appli_last_error().code, &EA_INVPRMS);
    EXPECT_STREQ(appli_last_error().message, "f_set_dbg_logfile_name(): open_mode invalide");
    EXPECT_EQ(f_set_dbg_logfile_name((d / "absent/b.log").c_str(), "w"), -1);
    EXPECT_EQ(appli_last_error().code, &EX_FILACCES);
    EXPECT_EQ(appli_last_error().message, nullptr);
    EXPECT_EQ(appli_last_error().sysErrno, ENOENT);
    f_dbg_print(0, "toujours ici");
    EXPECT_EQ(masquerDates(lireFichier(d / "a.log")), BANNIERE + "un" + fermeture + BANNIERE + "deuxtoujours ici");
    EXPECT_FALSE(testutil::existe(d / "b.log"));
}

TEST(Traces, FiltresNiveauEtCle)
{
    TempDir d;
    ASSERT_EQ(f_set_dbg_logfile_name((d / "a.log").c_str(), "w"), 0);
    EXPECT_EQ(f_dbg_trace("m", 1, nullptr, 1, "%s", "niveau1"), 0);
    EXPECT_EQ(f_dbg_trace("m", 2, "X", 0, "%s", "cleX"), 0);
    EXPECT_EQ(OSupTrace_Report("m", 3, nullptr, 1, "%s", "rapport1"), 0);
    EXPECT_EQ(masquerDates(lireFichier(d / "a.log")), BANNIERE);
    ASSERT_EQ(AddDebugKeyList("X"), 0);
    EXPECT_EQ(IsDebugKeyActive("X"), 1);
    EXPECT_EQ(f_dbg_trace("m", 2, "X", 0, "%s", "cleX"), 0);
    f_set_dbg_level(1);
    EXPECT_EQ(f_dbg_print(1, "niveau1"), 0);
    EXPECT_EQ(masquerDates(lireFichier(d / "a.log")), BANNIERE + "\n==TRACEDEBUG([m,2],[X,0])==>[cleX]\nniveau1");
}

TEST(Traces, ListeDesClesEtDatesEnFrancais)
{
    EXPECT_STREQ(GetDebugKeyList(), "");
    EXPECT_EQ(AddDebugKeyList(""), 0);
    EXPECT_STREQ(GetDebugKeyList(), "");
    for (int i = 0; i < 256; i++) {
        char cle[8];
        snprintf(cle, sizeof cle, "k%d", i);
        ASSERT_EQ(AddDebugKeyList(cle), 0);
    }
    EXPECT_EQ(AddDebugKeyList(""), 0);
    EXPECT_EQ(AddDebugKeyList("k256"), -1);
    EXPECT_EQ(appli_last_error().code, &EA_INVPRMS);
    EXPECT_STREQ(appli_last_error().message, "AddDebugKeyList(): liste mots cles actifs pleine");
    std::string attendu = "k0";
    for (int i = 1; i < 256; i++) attendu += ",k" + std::to_string(i);
    EXPECT_EQ(GetDebugKeyList(), attendu);

    // Dates in French, independent of the key list.
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_STREQ(GetDateText(1733011200LL), "dimanche 01 decembre 2024   00:00:00");  // 2024-12-01
    EXPECT_STREQ(GetDateText(1077926400LL), "samedi 28 fevrier 2004   00:00:00");
    EXPECT_EQ(masquerDates(GetCurrentDateText()), "<DATE>");
}

TEST(Traces, EcritureEchoueeEstSignalee)
{
    if (!testutil::existe("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_EQ(f_set_dbg_logfile_name("/dev/full", "w"), 0);
    appli_reset_errno();
    EXPECT_EQ(f_dbg_trace("m", 1, nullptr, 0, "%s", "perdu"), -1);
    EXPECT_EQ(appli_last_error().code, &EX_FILACCES);
    EXPECT_STREQ(appli_last_error().message, "status de vfprintf = -1");
    EXPECT_EQ(f_dbg_print(0, "encore"), -1);  // the next write tries again
}

TEST(OSupTrace, RapportDansLeJournalEtSurStderr)
{
    TempDir d;
    ASSERT_EQ(f_set_dbg_logfile_name((d / "a.log").c_str(), "w"), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(OSupTrace_Report("libQuelto/src/X", 7, nullptr, 0, "%s", "\nS_MSG_ERR_0002 : g : 50% !!\n"), 0);
    EXPECT_EQ(OSupTrace_Report(nullptr, 0, nullptr, 0, "%s", "nu %s"), 0);
    const std::string attendu =
        "\n==TRACEDEBUG([libQuelto/src/X,7],[TOUJOURS ACTIVE,0])==>[\nS_MSG_ERR_0002 : g : 50% !!\n]\nnu %s";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), attendu);
    EXPECT_EQ(masquerDates(lireFichier(d / "a.log")), BANNIERE + attendu);
}

TEST(OSupTrace, FluxDeRapport)
{
    TempDir d;
    EXPECT_EQ(OSupTrace_Open((d / "r.log").c_str(), "r"), nullptr);
    EXPECT_STREQ(appli_last_error().message, "OSupTrace_Open(): open_mode invalide");
    EXPECT_EQ(OSupTrace_Open((d / "absent/r.log").c_str(), "w"), nullptr);
    EXPECT_EQ(appli_last_error().code, &EX_FILACCES);
    EXPECT_EQ(OSupTrace_Open("stdout", "a"), stdout);
    FILE *f = OSupTrace_Open((d / "r.log").c_str(), "w");
    ASSERT_NE(f, nullptr);
    OSupTrace_SetStream(f);
    ASSERT_EQ(f_set_dbg_logfile_name((d / "a.log").c_str(), "w"), 0);
    EXPECT_EQ(OSupTrace_Report("m", 1, nullptr, 0, "%s", "x"), 0);
    EXPECT_EQ(masquerDates(lireFichier(d / "r.log")), BANNIERE + "\n==TRACEDEBUG([m,1],[TOUJOURS ACTIVE,0])==>[x]\n");
    if (testutil::existe("/dev/full")) {
        FILE *plein = fopen("/dev/full", "w");
        ASSERT_NE(plein, nullptr);
        OSupTrace_SetStream(plein);
        EXPECT_EQ(OSupTrace_Report("m", 2, nullptr, 0, "%s", "y"), -1);
        EXPECT_EQ(appli_last_error().code, &EX_FILACCES);
    }
}
