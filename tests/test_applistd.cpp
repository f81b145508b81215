/* Settings table, settings file loader, reference expansion, date formatting, text utilities. */
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "applierrno.h"
#include "applistd.h"
#include "list.h"
#include "testutil.h"
#include "util_string.h"

using testutil::ecrireFichier;
using testutil::TempDir;

namespace {

/* The value of name as a string, "<null>" when undefined. */
std::string val(const char *name)
{
    const char *v = og_getenv(name);
    return v == nullptr ? "<null>" : v;
}

/* A temporary folder that is also the working directory. */
struct DossierCourant {
    TempDir dir;
    DossierCourant() { EXPECT_EQ(chdir(dir.path().c_str()), 0); }
    ~DossierCourant() { (void)chdir("/"); }
};

std::string dernierMessage()
{
    const char *m = appli_last_error().message;
    return m == nullptr ? "" : m;
}

/* Each name of the table has the value beside it ("<null>": undefined). */
void attendreValeurs(std::initializer_list<std::pair<const char *, std::string>> table)
{
    for (const auto &[nom, valeur] : table) EXPECT_EQ(val(nom), valeur) << nom;
}

}  // namespace

TEST(UtilString, HelpersAndDateFormat)
{
    EXPECT_TRUE(og_is_blank("   "));
    EXPECT_FALSE(og_is_blank(" \t "));
    EXPECT_STREQ(og_skip_spaces(" \t\n\v\f\rx y"), "x y");
    EXPECT_EQ(og_skip_spaces(" \t\r\n"), nullptr);
    char t[] = "ab \t\n \n";
    og_trim_right(t, " \t\n");
    EXPECT_STREQ(t, "ab");

    char d[8];
    memset(d, '#', sizeof d);
    og_strncpyz(d, "abcdefghij", 5);
    EXPECT_STREQ(d, "abcde");
    EXPECT_EQ(d[6], '#');  /* nothing written past position n */

    /* Date formatting refuses a result longer than its buffer. */
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_STREQ(og_format_date(86400 * 365 + 3600 + 61, "le %d/%m/%Y a %H:%M:%S"), "le 01/01/1971 a 01:01:01");
    EXPECT_GE(atoi(og_format_date(0, "%Y")), 2024);
    EXPECT_EQ(og_format_date(0, ""), nullptr);
    EXPECT_EQ(appli_last_error().code, &EA_FMTCPLX);
    EXPECT_EQ(dernierMessage(), "LONGBUF < taille de la chaine formattee");
    EXPECT_NE(og_format_date(0, std::string(255, 'x').c_str()), nullptr);
    EXPECT_EQ(og_format_date(0, std::string(256, 'x').c_str()), nullptr);
}

TEST(Settings, AssignmentLines)
{
    DossierCourant d;
    ecrireFichier("s.ini", "  A = b c \nE1=\nE2=   \t\n=x\nX=1 # note\nexport QT_EXP1=1\nexportQT_EXP2=1\n"
                           "\t# comment = no\n[section]\n\nQ=\"a b\"\nK=1\nK=2\n");
    ASSERT_EQ(og_add_envfile("s.ini"), 0);
    attendreValeurs({{"A", "b c"}, {"E1", ""}, {"E2", ""}, {"", "x"}, {"X", "1 # note"}, {"Q", "\"a b\""},
                     {"K", "2"}});
    EXPECT_EQ(list_length(m_og_get_envlist()), 7);  /* A E1 E2 "" X Q K: no export line */
}

TEST(Settings, ReferencesUseTheTableAtThatLine)
{
    DossierCourant d;
    ecrireFichier("s.ini", "QB1=$QTA/sub\nQTA=/data\nQB2=$QTA/sub\nQB3=$QTA$QTA.x\n");
    ASSERT_EQ(og_add_envfile("s.ini"), 0);
    attendreValeurs({{"QB1", "/sub"}, {"QB2", "/data/sub"}, {"QB3", "/data/data.x"}});
    EXPECT_EQ(appli_last_error().code, &EX_VARENV);
    EXPECT_EQ(dernierMessage(), "og_getenv(): variable QTA non definie");
}

TEST(Settings, ExpandInPlace)
{
    ASSERT_NE(m_og_add_envlist("A", "va"), nullptr);
    ASSERT_NE(m_og_add_envlist("AB", "vab"), nullptr);
    /* A small capacity cuts the result and nothing is written past it. */
    const struct {
        const char *texte;
        size_t capacite;
        const char *attendu;
    } cas[] = {{" \t$AB \n", 64, "vab"}, {"x$QT_UNDEF:$A;$/$", 64, "x:va;/"}, {"$AB$AB", 5, "vabv"}};
    char t[64];
    for (const auto &c : cas) {
        memset(t, '#', sizeof t);
        strcpy(t, c.texte);
        og_expand_env(t, c.capacite);
        EXPECT_STREQ(t, c.attendu) << c.texte;
    }
    EXPECT_EQ(t[5], 'B');
}

TEST(Settings, LineWithoutEqualsAndIncludes)
{
    DossierCourant d;
    ecrireFichier("bad.ini", "L1=1\nL2=2\n# c\n\nL5=5\nL6=6\n  K7  \nL8=8\n");
    EXPECT_EQ(og_add_envfile("bad.ini"), -1);
    EXPECT_EQ(appli_last_error().code, &EA_FMTFICH);
    EXPECT_EQ(dernierMessage(), "og_add_envfile(): format du fichier bad.ini erronne, ligne 7");
    attendreValeurs({{"L1", "1"}, {"L6", "6"}, {"L8", "<null>"}});

    /* Includes: a missing one is skipped, a broken one keeps its earlier lines (names distinct from above). */
    ecrireFichier("main.ini", "QI1=a\n. other.ini\nQI3=$QI2/c\n.  missing.ini \n. broken.ini\nQI4=ok\n");
    ecrireFichier("other.ini", "QI2=b\nQI1=z\n");
    ecrireFichier("broken.ini", "QK1=1\nbroken\nQK2=2\n");
    ASSERT_EQ(og_add_envfile("main.ini"), 0);
    attendreValeurs({{"QI1", "z"}, {"QI3", "b/c"}, {"QK1", "1"}, {"QK2", "<null>"}, {"QI4", "ok"}});
}

TEST(Settings, MissingFileAndEnvironmentFallback)
{
    DossierCourant d;
    EXPECT_EQ(m_og_get_envlist(), nullptr);
    EXPECT_EQ(og_add_envfile("absent.ini"), -1);
    EXPECT_EQ(appli_last_error().code, nullptr);  /* the caller reports */
    ASSERT_NE(m_og_get_envlist(), nullptr);
    EXPECT_EQ(list_length(m_og_get_envlist()), 0);

    setenv("QT_ENVONLY", "fromenv", 1);
    setenv("QT_HIDDEN", "env", 1);
    ecrireFichier("s.ini", "QT_HIDDEN=file\n");
    ASSERT_EQ(og_add_envfile("s.ini"), 0);
    EXPECT_EQ(val("QT_HIDDEN"), "file");
    EXPECT_EQ(list_length(m_og_get_envlist()), 1);
    EXPECT_EQ(val("QT_ENVONLY"), "fromenv");
    EXPECT_EQ(list_length(m_og_get_envlist()), 2);
    unsetenv("QT_ENVONLY");
    EXPECT_EQ(val("QT_ENVONLY"), "fromenv");
    EXPECT_STREQ(getenv("QT_HIDDEN"), "env");
    EXPECT_EQ(val("QT_NOWHERE"), "<null>");
    EXPECT_EQ(dernierMessage(), "og_getenv(): variable QT_NOWHERE non definie");
}

TEST(Settings, IncludeDepthIsBounded)
{
    DossierCourant d;
    /* A self-including file is read again down to the 16th nested level. */
    ecrireFichier("self.ini", "QS=$QS.\n. self.ini\n");
    EXPECT_EQ(og_add_envfile("self.ini"), 0);
    attendreValeurs({{"QS", std::string(17, '.')}});

    /* An include of a device that never ends is ignored; the file goes on. */
    ecrireFichier("zero.ini", ". /dev/zero\nQZ=1\n");
    EXPECT_EQ(og_add_envfile("zero.ini"), 0);
    EXPECT_EQ(og_add_envfile("/dev/zero"), -1);
    attendreValeurs({{"QZ", "1"}});

    /* f0 includes f1 ... includes f20: f0 to f16 load, f17 is refused. */
    for (int i = 0; i <= 20; i++)
        ecrireFichier(std::string("f") + std::to_string(i) + ".ini",
                      std::string("D") + std::to_string(i) + "=1\n. f" + std::to_string(i + 1) + ".ini\n");
    EXPECT_EQ(og_add_envfile("f0.ini"), 0);
    attendreValeurs({{"D16", "1"}, {"D17", "<null>"}});
}

TEST(Settings, OverlongTextsAreCut)
{
    DossierCourant d;
    std::string n300(300, 'N'), n259(259, 'N');
    ecrireFichier("s.ini", "QV=" + std::string(1000, 'x') + "\nQW=$QV$QV\n" + n259 + "=v\nQR=$" + n300 + "/t\nQL=" +
                               std::string(1020, 'y') + "QN=5\nQP=" + std::string(1019, 'z') + "\r\nbad\n");
    EXPECT_EQ(og_add_envfile("s.ini"), -1);
    EXPECT_EQ(dernierMessage(), "og_add_envfile(): format du fichier s.ini erronne, ligne 9");
    /* "\r" cut from "\n" by the piece end */
    attendreValeurs({{"QW", std::string(1023, 'x')}, {"QR", "v/t"}, {"QL", std::string(1020, 'y')}, {"QN", "5"},
                     {"QP", std::string(1019, 'z')}});

    EXPECT_EQ(og_add_envfile(std::string(1100, 'f').c_str()), -1);
    EXPECT_EQ(appli_last_error().code, &EA_INVPRMS);
}

TEST(Settings, CrLfAndSections)
{
    DossierCourant d;
    ecrireFichier("s.ini", "QC1=a b \r\n. inc.ini\r\nQC3=$QC2\r\nQC4=last\r");
    ecrireFichier("inc.ini", "QC2=x\r\n");
    ASSERT_EQ(og_add_envfile("s.ini"), 0);
    attendreValeurs({{"QC1", "a b"}, {"QC3", "x"}, {"QC4", "last"}});

    ecrireFichier("sec.ini", "S0=1\n[a]\nSA=1\n [b] \nSB=1\n[a\nSC=1\n[a]x\r\nSD=1\n");
    ASSERT_EQ(og_add_envfile("sec.ini", "a"), 0);
    attendreValeurs({{"SA", "1"}, {"SD", "1"}, {"S0", "<null>"}, {"SB", "<null>"}, {"SC", "<null>"}});
}
