/* Line file reader, field extraction and the file existence test. */
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "applierrno.h"
#include "commande_unix.h"
#include "osuputils.h"
#include "testutil.h"
#include "traces.h"

using testutil::ecrireFichier;
using testutil::TempDir;

/* Collects the lines it is given; refuses a line that begins with "KO". */
struct Collecte {
    std::vector<std::string> lignes;
};

static int decoder(char *ligne, void *contexte)
{
    static_cast<Collecte *>(contexte)->lignes.emplace_back(ligne);
    return strncmp(ligne, "KO", 2) == 0 ? -1 : 0;
}

/* Read content from a file of d; the reader's result, lines in c. */
static int lire(const TempDir &d, const std::string &content, Collecte &c, int maxLen = 10000)
{
    ecrireFichier(d / "f.txt", content);
    return OSupUtils_lireFichierParLigne((d / "f.txt").c_str(), decoder, &c, maxLen);
}

using Lignes = std::vector<std::string>;

TEST(LecteurLignes, LignesVidesFinsDeLigneEtMorceaux)
{
    TempDir d;
    /* Empty lines skipped, only "\n" and "\r\n" end a line; a longer line comes in pieces, and
       a CR LF cut between two pieces does not bring the CR to the decoder. */
    const struct {
        const char *contenu;
        int maxLen;
        Lignes attendu;
    } cas[] = {{"", 10000, {}}, {"\n\r\n\n", 10000, {}},
               {"a;1\r\n\nb\rc\n  \n\td\r", 10000, {"a;1", "b\rc", "  ", "\td\r"}},
               {"abcdefg\nxyz\nh", 4, {"abc", "def", "g", "xyz", "h"}},
               {"ab\r\ncd\r\n\r\r\n", 4, {"ab", "cd", "\r"}}, {"a\r\nb", 2, {"a", "b"}}};
    for (const auto &cas1 : cas) {
        Collecte c;
        EXPECT_EQ(lire(d, cas1.contenu, c, cas1.maxLen), 0) << cas1.contenu;
        EXPECT_EQ(c.lignes, cas1.attendu) << cas1.contenu;
    }
}

TEST(LecteurLignes, LigneRefuseeEtFichierIllisible)
{
    TempDir d;
    ASSERT_EQ(f_set_dbg_logfile_name((d / "log").c_str(), "w"), 0);
    appli_reset_errno();
    Collecte c;
    testing::internal::CaptureStderr();
    EXPECT_EQ(lire(d, "h\n\n\r\nabcdefghi\nKO%d\nnon lue\n", c, 5), -1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(c.lignes, (Lignes{"h", "abcd", "efgh", "i", "KO%d"}));
    const std::string f = d / "f.txt";
    const std::string lieu = "\n==TRACEDEBUG([liboutilssupp/src/osuputils,";
    size_t premier = err.find(lieu), second = err.find(lieu, premier + 1);
    ASSERT_NE(second, std::string::npos) << err;
    EXPECT_EQ(err.find(lieu, second + 1), std::string::npos);
    size_t message = err.find("[TOUJOURS ACTIVE,0])==>[1 UTILS 00018 erreur de decodage du fichier [ " + f +
                              " ], ligne (7), ligne lue : ]\n");
    EXPECT_NE(message, std::string::npos) << err;
    EXPECT_LT(message, second);
    EXPECT_EQ(err.substr(err.size() - 10), "==>[KO%d]\n");
    EXPECT_EQ(appli_last_error().code, nullptr);  // a refusal records nothing

    // An unreadable file is a failure that is recorded.
    c.lignes.clear();
    const std::string absent = d / "absent.txt";
    testing::internal::CaptureStderr();
    EXPECT_EQ(OSupUtils_lireFichierParLigne(absent.c_str(), decoder, &c, 10000), -1);
    EXPECT_EQ(appli_last_error().code, &EX_FILACCES);
    EXPECT_EQ(appli_last_error().sysErrno, ENOENT);
    EXPECT_EQ(std::string(appli_last_error().message), "1 UTILS 00016 Probleme d'ouverture du fichier " + absent);
    // A directory opens but cannot be read: a failure, not an empty file.
    EXPECT_EQ(testerExistenceFichier(d.path().c_str(), nullptr), 1);
    EXPECT_EQ(OSupUtils_lireFichierParLigne(d.path().c_str(), decoder, &c, 10000), -1);
    EXPECT_EQ(appli_last_error().code, &EX_FILACCES);
    EXPECT_EQ(appli_last_error().sysErrno, EISDIR);
    // A device that never ends (/dev/zero) is refused the same way, not read forever.
    EXPECT_EQ(OSupUtils_lireFichierParLigne("/dev/zero", decoder, &c, 10000), -1);
    EXPECT_EQ(appli_last_error().code, &EX_FILACCES);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("==>[1 UTILS 00016 Probleme d'ouverture du fichier " + d.path() + "]"), std::string::npos);
    // No room for one character: refused instead of looping.
    EXPECT_EQ(lire(d, "a\n", c, 1), -1);
    EXPECT_EQ(appli_last_error().code, &EA_INVPRMS);
    EXPECT_TRUE(c.lignes.empty());
}

/* The silent reader reads the same lines and fails the same way, without a report or a record. */
TEST(LecteurLignes, LecteurSilencieux)
{
    TempDir d;
    ecrireFichier(d / "f.txt", "h\n\r\nabcdefghi\nKO\nnon lue\n");
    appli_reset_errno();
    testing::internal::CaptureStderr();
    Collecte c;
    EXPECT_EQ(OSupUtils_lireFichierEnSilence((d / "f.txt").c_str(), decoder, &c, 5), -1);
    EXPECT_EQ(c.lignes, (Lignes{"h", "abcd", "efgh", "i", "KO"}));
    EXPECT_EQ(OSupUtils_lireFichierEnSilence((d / "absent").c_str(), decoder, &c, 10000), -1);
    EXPECT_EQ(OSupUtils_lireFichierEnSilence(d.path().c_str(), decoder, &c, 10000), -1);
    EXPECT_EQ(OSupUtils_lireFichierEnSilence(nullptr, decoder, &c, 10000), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(appli_last_error().code, nullptr);
    ecrireFichier(d / "f.txt", "a\r\n\nb\n");
    c.lignes.clear();
    EXPECT_EQ(OSupUtils_lireFichierEnSilence((d / "f.txt").c_str(), decoder, &c, 10000), 0);
    EXPECT_EQ(c.lignes, (Lignes{"a", "b"}));
}

/* The reader as a line buffer filled by fgets gives it: the reference of the buffered reader. */
static Lignes lireParFgets(const std::string &chemin, int maxLen)
{
    Lignes lignes;
    FILE *f = fopen(chemin.c_str(), "r");
    std::string ligne(static_cast<size_t>(maxLen), '\0');
    while (!feof(f) && fgets(ligne.data(), maxLen, f) != nullptr) {
        size_t len = strlen(ligne.c_str());
        if (len >= 2 && ligne[len - 2] == '\r' && ligne[len - 1] == '\n') ligne[--len - 1] = '\n';
        else if (len == static_cast<size_t>(maxLen) - 1 && ligne[len - 1] == '\r') {
            int c = getc(f);
            if (c == '\n') ligne[len - 1] = '\n';
            else if (c != EOF) ungetc(c, f);
        }
        if (len > 0 && ligne[len - 1] == '\n') len--;
        if (len > 0) lignes.emplace_back(ligne.data(), len);
    }
    fclose(f);
    return lignes;
}

TEST(LecteurLignes, CommeUnTamponDeLigneSurDesFichiersAuHasard)
{
    /* Line feeds, CRs, NULs and long lines at random, across the refills of the buffer. */
    TempDir d;
    srand(2026);
    const char alphabet[] = {'a', 'b', ';', '\r', '\n', '\n', '\0'};
    for (int essai = 0; essai < 300; essai++) {
        const bool gros = essai % 50 == 0;
        const size_t taille = gros ? 400000 + static_cast<size_t>(rand() % 1000) : static_cast<size_t>(rand() % 40);
        const int maxLen = gros ? (essai % 100 == 0 ? 10000 : 2 + rand() % 300) : 2 + rand() % 8;
        std::string contenu;
        for (size_t i = 0; i < taille; i++)
            contenu += gros && rand() % 4 ? static_cast<char>('c' + i % 7) : alphabet[rand() % sizeof alphabet];
        Collecte c;
        ASSERT_EQ(lire(d, contenu, c, maxLen), 0);
        ASSERT_EQ(c.lignes, lireParFgets(d / "f.txt", maxLen)) << "essai " << essai;
    }
}

TEST(ExtraireChamp, ChampsEtSeparateurs)
{
    ASSERT_EQ(f_set_dbg_logfile_name("stdout", "w"), 0);
    char champ[OSUP_LONG_CHAMP];
    int suivant = -7;
    /* Start == length is an empty field; ";" has two empty ones. */
    const struct {
        const char *ligne;
        int debut;
        const char *champ;
        int suivant;
    } cas[] = {{"a;b", 0, "a", 2}, {";", 0, "", 1}, {";", 1, "", 2}, {"a;b;", 4, "", 5}, {"x; y ", 2, " y ", 6}, {"a;b", 2, "b", 4}};
    for (const auto &c : cas) {
        EXPECT_EQ(OSupUtils_extraireChamp(c.ligne, ";", c.debut, &suivant, champ), 0) << c.ligne << " " << c.debut;
        EXPECT_STREQ(champ, c.champ) << c.ligne << " " << c.debut;
        EXPECT_EQ(suivant, c.suivant) << c.ligne << " " << c.debut;
    }
    /* Past the end: refused, the outputs untouched. */
    testing::internal::CaptureStderr();
    EXPECT_EQ(OSupUtils_extraireChamp("a;b", ";", 4, &suivant, champ), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "==>[1 UTILS 00003 numero de caractere de debut superieur a la longueur de la string: 4]"),
              std::string::npos);
    EXPECT_EQ(appli_last_error().code, &EA_INVPRMS);
    EXPECT_STREQ(champ, "b");
    EXPECT_EQ(suivant, 4);

    EXPECT_EQ(OSupUtils_extraireChamp("a;b", ";", -1, &suivant, champ), -1);
}

TEST(ExtraireChamp, ChampTropLongCoupe)
{
    std::string ligne = std::string(300, 'z') + ";fin";
    char champ[OSUP_LONG_CHAMP + 8];
    memset(champ, '#', sizeof champ);
    int suivant = 0;
    EXPECT_EQ(OSupUtils_extraireChamp(ligne.c_str(), ";", 0, &suivant, champ), 0);
    EXPECT_EQ(std::string(champ), std::string(255, 'z'));
    EXPECT_EQ(champ[OSUP_LONG_CHAMP], '#');
    EXPECT_EQ(suivant, 301);
    EXPECT_EQ(OSupUtils_extraireChamp("abcdef", ";", 1, &suivant, champ, 1), 0);
    EXPECT_STREQ(champ, "");
    EXPECT_EQ(champ[1], 'z');
    EXPECT_EQ(suivant, 7);
}

TEST(ExistenceFichier, FichierAbsentComposant)
{
    TempDir d;
    ecrireFichier(d / "f.txt", "x");
    EXPECT_EQ(testerExistenceFichier((d / "f.txt").c_str(), nullptr), 1);
    EXPECT_EQ(testerExistenceFichier(d.path().c_str(), "f.txt"), 1);
    EXPECT_EQ(testerExistenceFichier((d.path() + "\\f.txt").c_str(), nullptr), 1);
    EXPECT_EQ(testerExistenceFichier((d / "g.txt").c_str(), nullptr), 0);
    EXPECT_EQ(testerExistenceFichier(nullptr, nullptr), -1);
}
