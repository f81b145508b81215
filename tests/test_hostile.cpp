/*
** Hostile inputs and outputs, on the e2e case "complete" altered: the run ends
** with 0 or -1 and a clear message, in bounded time and memory (wait4), and
** never reports success with an incomplete output.
*/
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using namespace testutil;

const std::string INSTANCE = "instances/tiny/";

/* One run: exit status (-1 when killed), standard output and error, time, peak memory. */
struct Mesure {
    int status = -1;
    std::string out, err;
    double secondes = 0;
    long kio = 0;
};

/* A working directory made from the case "complete", whose files a test rewrites. */
class Dossier {
public:
    Dossier()
    {
        fs::copy(std::string(QUELTO_TEST_DATA) + "/e2e/complete/input", dir_.path(), fs::copy_options::recursive);
    }
    std::string operator/(const std::string &rel) const { return dir_ / rel; }
    void ecrire(const std::string &rel, const std::string &texte) const { ecrireFichier(dir_ / rel, texte); }
    std::string lire(const std::string &rel) const { return masquerDates(lireFichier(dir_ / rel)); }

    /* Run the program here; env ("NAME=value") is added to its environment. */
    Mesure lancer(const char *env = nullptr) const
    {
        const std::string out = dir_ / ".out", err = dir_ / ".err";
        const auto debut = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir_.path().c_str()) != 0 || !freopen(out.c_str(), "w", stdout) ||
                !freopen(err.c_str(), "w", stderr))
                _exit(126);
            if (env != nullptr) putenv(const_cast<char *>(env));
            alarm(60); /* a hang ends the child, and the case fails */
            execl(QUELTO_EXE, QUELTO_EXE, static_cast<char *>(nullptr));
            _exit(127);
        }
        int etat = 0;
        struct rusage ru {};
        wait4(pid, &etat, 0, &ru);
        Mesure m;
        m.secondes = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
        m.kio = ru.ru_maxrss;
        m.status = WIFEXITED(etat) ? WEXITSTATUS(etat) : -1;
        m.out = lireFichier(out);
        m.err = lireFichier(err);
        return m;
    }

private:
    TempDir dir_;
};

bool contient(const std::string &texte, const std::string &motif)
{
    return texte.find(motif) != std::string::npos;
}

size_t compter(const std::string &texte, const std::string &motif)
{
    size_t n = 0;
    for (size_t p = texte.find(motif); p != std::string::npos; p = texte.find(motif, p + 1)) n++;
    return n;
}

/* A refused run: status 255, a located error report, and message among the reports when given. */
void attendreRefus(const Mesure &m, const std::string &message = "")
{
    EXPECT_EQ(m.status, 255) << m.err;
    EXPECT_TRUE(contient(m.err, "==TRACEDEBUG([")) << m.err;
    EXPECT_TRUE(contient(m.err, message)) << m.err.substr(0, 2000);
    EXPECT_LT(m.secondes, 10.0);
}

TEST(Hostile, DenominatorsUpToTheLargestIntegerEndWithAReport)
{
    Dossier d;
    d.ecrire(INSTANCE + "ratios.txt", "Ratio;Prio;Name;F4\n1/2147483647;1;HA;0\n2147483647/2147483647;0;LB;1\n");
    /* The windows reaching back into day D-1 need q - 1 day-D vehicles: an internal error. */
    attendreRefus(d.lancer());
}

TEST(Hostile, LinesAndIdentifiersOfHundredThousandCharactersEndWithAReport)
{
    const std::string longue(100000, 'W');
    {
        Dossier d; /* read in pieces: the first piece of the line lacks fields */
        d.ecrire(INSTANCE + "vehicles.txt", lireFichier(d / (INSTANCE + "vehicles.txt")) + "2026-12-06;4;" + longue + ";1;1;0\n");
        attendreRefus(d.lancer(), "1 UTILS 00018 erreur de decodage du fichier [ instances/tiny/vehicles.txt ]");
    }
    {
        Dossier d;
        d.ecrire("results/tiny", "1;" + longue + "\n");
        const Mesure m = d.lancer();
        attendreRefus(m, "1 UTILS 00003");
        EXPECT_TRUE(contient(m.out, "S_MSG_ERR_0028 : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (" +
                                        std::string(255, 'W') + ") does not exist"));
    }
    {
        Dossier d; /* a settings line of 100000 characters: its second piece has no "=" */
        d.ecrire("exeQuelto.ini", "X=" + longue + "\n" + lireFichier(d / "exeQuelto.ini"));
        const Mesure m = d.lancer();
        attendreRefus(m, "File not found : exeQuelto.ini !!");
        EXPECT_EQ(m.out, "File not found : exeQuelto.ini !!");
    }
    {
        Dossier d; /* a setting of 100000 characters from the environment */
        std::string ini = lireFichier(d / "exeQuelto.ini");
        ini.erase(ini.find("S_QUELTO_INSTANCE_PB_NAME=tiny\n"), 31);
        d.ecrire("exeQuelto.ini", ini);
        static std::string env = "S_QUELTO_INSTANCE_PB_NAME=" + longue;
        attendreRefus(d.lancer(env.c_str()), "Path too long : instances/" + longue);
    }
}

TEST(Hostile, SettingsFilesThatIncludeThemselvesEnd)
{
    Dossier d;
    d.ecrire("exeQuelto.ini", ". exeQuelto.ini\n. autre.ini\n" + lireFichier(d / "exeQuelto.ini") +
                                  ". exeQuelto.ini\n. autre.ini\n. exeQuelto.ini\n");
    d.ecrire("autre.ini", ". exeQuelto.ini\n. autre.ini\n. exeQuelto.ini\nAUTRE=1\n");
    const Mesure m = d.lancer();
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(m.err, "");
    EXPECT_LT(m.secondes, 5.0);
}

TEST(Hostile, AMillionEmptyLinesChangeNothing)
{
    Dossier simple, vide;
    ASSERT_EQ(simple.lancer().status, 0);
    const std::string million(1000000, '\n');
    std::string vehicules = lireFichier(vide / (INSTANCE + "vehicles.txt"));
    vehicules.insert(vehicules.find('\n') + 1, million);
    vide.ecrire(INSTANCE + "vehicles.txt", vehicules);
    vide.ecrire("exeQuelto.ini", million + lireFichier(vide / "exeQuelto.ini"));
    vide.ecrire("results/tiny", million + lireFichier(vide / "results/tiny") + million);
    const Mesure m = vide.lancer();
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_LT(m.secondes, 10.0);
    for (const char *f : {"results/tiny_ref.txt", "results/tiny_cand.txt"}) EXPECT_EQ(vide.lire(f), simple.lire(f)) << f;
}

/*
** Every repetition is warned about (S_MSG_ERR_0029) on standard output and in
** the trace log; memory stays flat and time grows with the number of lines.
** (A million repetitions behave alike; the suite keeps to fewer for time.)
*/
TEST(Hostile, OneVehicleNamedOverAndOverInTheSolution)
{
    Mesure mesures[2];
    const int repetitions[2] = {25000, 100000};
    for (int i = 0; i < 2; i++) {
        Dossier d;
        std::string solution;
        for (int r = 0; r < repetitions[i]; r++) solution += "1;V1\n";
        d.ecrire("results/tiny", solution);
        mesures[i] = d.lancer();
        EXPECT_EQ(mesures[i].status, 0) << mesures[i].err.substr(0, 2000);
        EXPECT_EQ(compter(mesures[i].out, "S_MSG_ERR_0029"), static_cast<size_t>(repetitions[i] - 1));
    }
    EXPECT_LT(mesures[1].kio, mesures[0].kio + 32 * 1024);
    EXPECT_LT(mesures[1].secondes, 8 * mesures[0].secondes + 1.0);
}

/* A day of a few thousand vehicles, large colour codes and many families. */
TEST(Hostile, ThousandsOfVehiclesStayUnderOneGibibyte)
{
    std::mt19937 alea(2026);
    const int H = 10, L = 10, FIGES = 500, N = 4000;
    std::string ratios = "Ratio;Prio;Name;F4\n";
    for (int k = 0; k < H + L; k++)
        ratios += std::to_string(1 + k % 3) + "/" + std::to_string(2 + 37 * k) + (k < H ? ";1;" : ";0;") + "R" +
                  std::to_string(k) + ";0\n";
    std::string vehicules = "Date;Rank;Ident;Colour;flags\n", solution;
    for (int i = 0; i < FIGES + N; i++) {
        const bool jourJ = i >= FIGES;
        vehicules += std::string(jourJ ? "d2;" : "d1;") + std::to_string(i + 1) + ";V" + std::to_string(i) + ";" +
                     std::to_string(1 + alea() % 2147483647u);
        for (int k = 0; k < H + L; k++) vehicules += alea() % 2 ? ";1" : ";0";
        vehicules += "\n";
        if (jourJ) solution += std::to_string(FIGES + N - i) + ";V" + std::to_string(i) + "\n";
    }
    Dossier d;
    d.ecrire(INSTANCE + "ratios.txt", ratios);
    d.ecrire(INSTANCE + "vehicles.txt", vehicules);
    d.ecrire("results/tiny", solution);
    const Mesure m = d.lancer();
    EXPECT_EQ(m.status, 0) << m.err.substr(0, 2000);
    EXPECT_LT(m.kio, 1024L * 1024) << "peak resident memory in KiB";
    EXPECT_LT(m.secondes, 20.0);
    EXPECT_TRUE(contient(d.lire("results/tiny_cand.txt"), "\n\nEnd of the reporting\n"));
}

/* Colour codes 7, 1000000 and 2147483647 give the reports of codes 1, 2 and 3. */
TEST(Hostile, PaintColourCodesAreCodesNotCounts)
{
    auto jour = [](const char *a, const char *b, const char *c) {
        return std::string("Date;Rank;Ident;Colour;HA;LB\n") + "d1;1;F1;" + c + ";1;0\nd1;2;F2;" + a +
               ";0;1\nd2;1;V1;" + a + ";1;0\nd2;2;V2;" + a + ";0;0\nd2;3;V3;" + b + ";1;1\nd2;4;V4;" + c +
               ";0;1\nd2;5;V5;" + c + ";1;0\nd2;6;V6;" + b + ";0;0\nd2;7;V7;" + c + ";1;1\n";
    };
    Dossier petits, grands;
    petits.ecrire(INSTANCE + "vehicles.txt", jour("1", "2", "3"));
    grands.ecrire(INSTANCE + "vehicles.txt", jour("7", "1000000", "2147483647"));
    /* The candidate's last three vehicles make a batch over the limit of 2 (S_MSG_ERR_0032). */
    for (const Dossier *d : {&petits, &grands}) d->ecrire("results/tiny", "1;V1\n2;V2\n3;V6\n4;V3\n5;V4\n6;V5\n7;V7\n");
    const Mesure mp = petits.lancer(), mg = grands.lancer();
    ASSERT_EQ(mp.status, 0) << mp.err;
    ASSERT_EQ(mg.status, 0) << mg.err;
    for (const char *f : {"results/tiny_ref.txt", "results/tiny_cand.txt"}) {
        std::string texte = grands.lire(f);
        for (auto [grand, petit] : {std::pair{"(2147483647)", "(3)"}, {"(1000000)", "(2)"}, {"(7)", "(1)"},
                                    {"colors : 2147483647", "colors : 3"}})
            for (size_t p; (p = texte.find(grand)) != std::string::npos;) texte.replace(p, strlen(grand), petit);
        EXPECT_EQ(texte, petits.lire(f)) << f;
    }
    EXPECT_TRUE(contient(grands.lire("results/tiny_cand.txt"), "paint color (2147483647) has a length of (3)"));
}

/* A report or trace log on a full disk: the run ends with -1 and says why. */
TEST(Hostile, OutputsOnAFullDiskAreNeverTakenForSuccess)
{
    const std::pair<const char *, const char *> cas[] = {
        {"results/tiny_ref.txt", "S_MSG_ERR_0038 : Quelto_ecrireRapportSurSeqInitiale : error while writing the file"},
        {"results/tiny_cand.txt", "S_MSG_ERR_0038 : Quelto_ecrireRapportSurNumSeqCalcule : error while writing the file"}};
    for (auto [fichier, message] : cas) {
        Dossier d;
        ASSERT_EQ(symlink("/dev/full", (d / fichier).c_str()), 0);
        attendreRefus(d.lancer(), message);
    }
}

}  // namespace
