/*
** What the fuzz targets share: a private working folder, the cutting of one
** input into several files, and the running of each input in a child.
**
** The program never frees what it builds and keeps process-wide state (the
** settings table, the trace log, blocks that modules carve records from), so
** each input runs in a child process of its own and starts afresh.  Forking
** the fuzzer itself for every input is slow once its memory has grown, so a
** small fork server is split off at initialisation; for each input the
** fuzzer puts the bytes in a shared mapping and asks the server, which forks
** a child that runs the target's body on them and exits with its status.
**
** The coverage the child gathers must still reach the fuzzer: the child
** copies its inline 8-bit counters into the shared mapping before it exits,
** and the fuzzer copies them back over its own, which it reads after each
** input.  The counters are found by wrapping their registration (link with
** -Wl,--wrap=__sanitizer_cov_8bit_counters_init); naming the linker's section
** bounds instead breaks the registration itself.
**
** Verdict: the child's status must be one the target allows.  A sanitizer
** report, a crash, a hang (the child is killed after FUZZ_SECONDES_MAX
** seconds) or any other status makes the fuzzer print the child's standard
** error and abort, which it records as a finding.
**
** Include this header in exactly one source file of a fuzz target, call
** fuzzDemarrer() from LLVMFuzzerInitialize and fuzzExecuter() from
** LLVMFuzzerTestOneInput.
*/
#ifndef FUZZ_COMMUN_H
#define FUZZ_COMMUN_H

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

/* A child still running after this many seconds is a hang. */
inline constexpr unsigned FUZZ_SECONDES_MAX = 10;

/* Longest input handed to a child (the mapping is reserved, not filled). */
inline constexpr size_t FUZZ_TAILLE_MAX = size_t{64} << 20;

/* Separates the files of one input: a line holding "@@@@". */
inline const std::string FUZZ_SEPARATEUR = "\n@@@@\n";

/* The working folder of this fuzzing process, made on first use under $TMPDIR (or /tmp). */
inline const std::string &fuzzDossier()
{
    static const std::string dossier = [] {
        const char *tmp = getenv("TMPDIR");
        std::string modele = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quelto-fuzz-XXXXXX";
        if (mkdtemp(modele.data()) == nullptr) abort();
        return modele;
    }();
    return dossier;
}

/* Cut the input into n parts at the first n - 1 separators; missing parts are empty. */
inline std::vector<std::string> fuzzDecouper(const uint8_t *data, size_t size, size_t n)
{
    std::string texte(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> parts;
    size_t debut = 0;
    while (parts.size() + 1 < n) {
        size_t pos = texte.find(FUZZ_SEPARATEUR, debut);
        if (pos == std::string::npos) break;
        parts.push_back(texte.substr(debut, pos - debut));
        debut = pos + FUZZ_SEPARATEUR.size();
    }
    parts.push_back(texte.substr(debut));
    parts.resize(n);
    return parts;
}

/* Write content to the file rel of the working folder, from a child (aborts when it cannot). */
inline void fuzzEcrire(const std::string &rel, const std::string &contenu)
{
    FILE *f = fopen(rel.c_str(), "wb");
    if (f == nullptr || fwrite(contenu.data(), 1, contenu.size(), f) != contenu.size() || fclose(f) != 0) abort();
}

/* The program's coverage counters: one region, registered before main. */
static uint8_t *g_fuzzCompteurs = nullptr;
static size_t g_fuzzNbCompteurs = 0;

extern "C" void __real___sanitizer_cov_8bit_counters_init(uint8_t *debut, uint8_t *fin);
extern "C" void __wrap___sanitizer_cov_8bit_counters_init(uint8_t *debut, uint8_t *fin)
{
    if (g_fuzzCompteurs != nullptr && g_fuzzCompteurs != debut) abort(); /* a second region: not foreseen */
    g_fuzzCompteurs = debut;
    g_fuzzNbCompteurs = static_cast<size_t>(fin - debut);
    __real___sanitizer_cov_8bit_counters_init(debut, fin);
}

/* The body of one input, run in a child; its result is the child's exit status. */
typedef int (*FuzzCorps)(const uint8_t *data, size_t size);

/* Shared with the server and the children: the input, then the counters. */
struct FuzzPartage {
    size_t taille;
    uint8_t *compteurs;          /* g_fuzzNbCompteurs bytes after the input */
    uint8_t donnees[FUZZ_TAILLE_MAX];
};

static FuzzPartage *g_fuzzPartage = nullptr;
static int g_fuzzDemande = -1, g_fuzzReponse = -1;   /* pipes to and from the server */
static std::vector<int> g_fuzzAttendus;

/* Read or write exactly n bytes; false at the end of the pipe or on error. */
inline bool fuzzTransferer(int fd, void *octets, size_t n, bool ecrire)
{
    char *p = static_cast<char *>(octets);
    while (n > 0) {
        ssize_t k = ecrire ? write(fd, p, n) : read(fd, p, n);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

/*
** The server, in the working folder: one child per request, its wait status
** as the answer.  A child reads nothing from standard input (an include of
** "/dev/stdin" must not wait for a terminal) and writes its standard output
** nowhere.
*/
[[noreturn]] inline void fuzzServir(FuzzCorps corps, int demande, int reponse)
{
    if (chdir(fuzzDossier().c_str()) != 0) _exit(98);
    char c;
    while (fuzzTransferer(demande, &c, 1, false)) {
        pid_t pid = fork();
        if (pid == 0) {
            alarm(FUZZ_SECONDES_MAX);
            int nul = open("/dev/null", O_RDWR);
            int err = open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (nul < 0 || err < 0 || dup2(nul, 0) < 0 || dup2(nul, 1) < 0 || dup2(err, 2) < 0) _exit(99);
            int status = corps(g_fuzzPartage->donnees, g_fuzzPartage->taille);
            fflush(nullptr);
            if (g_fuzzCompteurs != nullptr) memcpy(g_fuzzPartage->compteurs, g_fuzzCompteurs, g_fuzzNbCompteurs);
            _exit(status);
        }
        int etat = -1;
        if (pid > 0)
            while (waitpid(pid, &etat, 0) < 0 && errno == EINTR) {
            }
        if (!fuzzTransferer(reponse, &etat, sizeof etat, true)) break;
    }
    _exit(0);
}

/*
** Split off the fork server that will run corps on each input, in the
** working folder; attendus are the exit statuses that are no finding.
*/
inline void fuzzDemarrer(FuzzCorps corps, std::initializer_list<int> attendus)
{
    g_fuzzAttendus.assign(attendus);
    fuzzDossier(); /* made here, so that the server and the fuzzer share it */
    void *m = mmap(nullptr, sizeof(FuzzPartage) + g_fuzzNbCompteurs, PROT_READ | PROT_WRITE,
                   MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (m == MAP_FAILED) abort();
    g_fuzzPartage = static_cast<FuzzPartage *>(m);
    g_fuzzPartage->compteurs = reinterpret_cast<uint8_t *>(g_fuzzPartage + 1);
    int versServeur[2], versFuzzer[2];
    if (pipe(versServeur) != 0 || pipe(versFuzzer) != 0) abort();
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) abort();
    if (pid == 0) {
        close(versServeur[1]);
        close(versFuzzer[0]);
        fuzzServir(corps, versServeur[0], versFuzzer[1]);
    }
    close(versServeur[0]);
    close(versFuzzer[1]);
    g_fuzzDemande = versServeur[1];
    g_fuzzReponse = versFuzzer[0];
    signal(SIGPIPE, SIG_IGN);
}

/* Run one input in a child and judge its status (see the head of this file). */
inline void fuzzExecuter(const uint8_t *data, size_t size)
{
    if (g_fuzzPartage == nullptr || size > FUZZ_TAILLE_MAX) abort();
    memcpy(g_fuzzPartage->donnees, data, size);
    g_fuzzPartage->taille = size;
    char c = 'x';
    int etat = -1;
    if (!fuzzTransferer(g_fuzzDemande, &c, 1, true) || !fuzzTransferer(g_fuzzReponse, &etat, sizeof etat, false)) {
        fputs("fuzz: the fork server is gone\n", stderr);
        abort();
    }
    if (g_fuzzCompteurs != nullptr) memcpy(g_fuzzCompteurs, g_fuzzPartage->compteurs, g_fuzzNbCompteurs);
    if (etat != -1 && WIFEXITED(etat)) {
        for (int s : g_fuzzAttendus)
            if (WEXITSTATUS(etat) == s) return;
    }
    const std::string commande = "tail -c 20000 '" + fuzzDossier() + "/stderr' >&2";
    if (system(commande.c_str()) != 0) fputs("(no standard error)\n", stderr);
    fprintf(stderr, "\nfuzz: the child ended with %s %d\n", WIFEXITED(etat) ? "status" : "signal",
            WIFEXITED(etat) ? WEXITSTATUS(etat) : WTERMSIG(etat));
    abort();
}

#endif
