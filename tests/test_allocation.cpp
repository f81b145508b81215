/*
** Allocation failures, swept over every allocation of a whole run.  The
** program wraps malloc/calloc/realloc and replaces operator new; for n = 1,
** 2, ... a forked child runs exeQuelto_run() with allocation n failing and
** must end with -1 and an error report, or (where the code makes up for the
** failure exactly) as without failure, outputs included.
*/
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "applierrno.h"
#include "exeQuelto.h"
#include "testutil.h"

extern "C" {
void *__real_malloc(size_t);
void *__real_calloc(size_t, size_t);
void *__real_realloc(void *, size_t);
}

namespace {

/* Allocations counted while armed; number g_echec fails (0: none fails). */
bool g_arme = false;
long g_nbAllocations = 0;
long g_echec = 0;

/* Count one allocation; true when it is the one that must fail. */
bool doitEchouer()
{
    if (!g_arme) return false;
    if (++g_nbAllocations != g_echec) return false;
    errno = ENOMEM;
    return true;
}

}  // namespace

extern "C" {
void *__wrap_malloc(size_t n) { return doitEchouer() ? nullptr : __real_malloc(n); }
void *__wrap_calloc(size_t nb, size_t taille) { return doitEchouer() ? nullptr : __real_calloc(nb, taille); }
void *__wrap_realloc(void *p, size_t n) { return doitEchouer() ? nullptr : __real_realloc(p, n); }
}

void *operator new(size_t n, const std::nothrow_t &) noexcept
{
    return doitEchouer() ? nullptr : __real_malloc(n == 0 ? 1 : n);
}
void *operator new(size_t n)
{
    void *p = operator new(n, std::nothrow);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void *operator new[](size_t n) { return operator new(n); }
void *operator new[](size_t n, const std::nothrow_t &t) noexcept { return operator new(n, t); }
/* Out of line, so that the compiler does not take free() for a mismatch. */
[[gnu::noinline]] static void liberer(void *p) { free(p); }
void operator delete(void *p) noexcept { liberer(p); }
void operator delete[](void *p) noexcept { liberer(p); }
void operator delete(void *p, size_t) noexcept { liberer(p); }
void operator delete[](void *p, size_t) noexcept { liberer(p); }

namespace {

namespace fs = std::filesystem;
using namespace testutil;

/* How one child ended: the run's status and whether allocation n was reached. */
struct Issue {
    bool signal = false;   /* killed, or an exit status of its own (sanitizer) */
    int detail = 0;        /* the signal or that status */
    int rc = 0;            /* exeQuelto_run() */
    bool atteinte = false; /* allocation number n happened (and failed) */
    std::string erreurs;   /* standard error */
    std::string sorties;   /* standard output and every file the run wrote, dates masked */
};

/* The e2e case "complete" laid down, without the file retirer. */
class Dossier {
public:
    explicit Dossier(const char *retirer)
    {
        fs::copy(std::string(QUELTO_TEST_DATA) + "/e2e/complete/input", dir_.path(), fs::copy_options::recursive);
        if (retirer != nullptr) fs::remove(dir_ / retirer);
    }
    const std::string &path() const { return dir_.path(); }
    /* What a run writes, removed before a run and read after it (dates masked). */
    std::string sorties(bool effacer) const
    {
        std::string tout;
        for (const char *f : {".stdout", "logs/run.log", "results/tiny_ref.txt", "results/tiny_cand.txt"}) {
            if (effacer) fs::remove(dir_ / f);
            else tout += std::string(f) + ":\n" + masquerDates(lireFichier(dir_ / f)) + "\n";
        }
        return tout;
    }

private:
    TempDir dir_;
};

/* Run the whole program in dir with allocation n failing, in a child. */
Issue lancerAvecEchec(const Dossier &dir, long n)
{
    dir.sorties(true);
    const std::string sortie = dir.path() + "/.stdout", erreurs = dir.path() + "/.stderr";
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.path().c_str()) != 0 || !freopen(sortie.c_str(), "w", stdout) ||
            !freopen(erreurs.c_str(), "w", stderr))
            _exit(99);
        g_echec = n;
        g_arme = true;
        int rc = exeQuelto_run();
        g_arme = false;
        fflush(nullptr);
        _exit(40 + (rc == 0 ? 0 : 1) + (g_nbAllocations >= n ? 2 : 0));
    }
    int etat = 0;
    waitpid(pid, &etat, 0);
    Issue i;
    if (WIFEXITED(etat) && WEXITSTATUS(etat) >= 40 && WEXITSTATUS(etat) <= 43) {
        i.rc = (WEXITSTATUS(etat) & 1) ? -1 : 0;
        i.atteinte = (WEXITSTATUS(etat) - 40) & 2;
    } else {
        i.signal = true;
        i.detail = WIFEXITED(etat) ? WEXITSTATUS(etat) : 1000 + WTERMSIG(etat);
    }
    i.erreurs = lireFichier(erreurs);
    i.sorties = dir.sorties(false);
    return i;
}

/* The sweep over the case "complete" without retirer; the run's number of allocations. */
long balayer(const char *retirer, int rcNormal)
{
    Dossier dir(retirer);
    const Issue normal = lancerAvecEchec(dir, LONG_MAX);
    EXPECT_FALSE(normal.signal) << normal.erreurs;
    EXPECT_EQ(normal.rc, rcNormal) << normal.erreurs;
    for (long n = 1; n < 100000; n++) {
        const Issue i = lancerAvecEchec(dir, n);
        if (i.signal) {
            ADD_FAILURE() << "allocation " << n << ": the child ended with "
                          << (i.detail >= 1000 ? "signal " + std::to_string(i.detail - 1000)
                                               : "status " + std::to_string(i.detail))
                          << "\n" << i.erreurs;
            return n;
        }
        if (!i.atteinte || i.rc == 0) {
            EXPECT_EQ(i.rc, rcNormal) << "allocation " << n << "\n" << i.erreurs;
            EXPECT_EQ(i.sorties, normal.sorties) << "allocation " << n;
            if (!i.atteinte || ::testing::Test::HasFailure()) return n - 1;
            continue;
        }
        if (i.erreurs.find("==TRACEDEBUG([") == std::string::npos) {
            ADD_FAILURE() << "allocation " << n << " failed: status " << i.rc << ", standard error:\n" << i.erreurs;
            return n;
        }
    }
    ADD_FAILURE() << "no end to the allocations";
    return 0;
}

TEST(Allocation, EveryFailureOfACompleteRunEndsWithMinusOneAndAReport)
{
    EXPECT_GT(balayer(nullptr, 0), 20);
}

TEST(Allocation, EveryFailureOfAFailingRunEndsWithMinusOneAndAReport)
{
    EXPECT_GT(balayer("results/tiny", -1), 20);
}

}  // namespace
