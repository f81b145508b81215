/*
** File-system queries of the support library: the existence test that every
** file reader runs before opening its file.
**
** The test composes the path, brings it to the platform's form ("\" becomes
** "/", trailing separators are dropped so that "dir/" and "file/" name what
** they name without the separator) and asks for the file's status.  It tells
** "absent" (0) from "cannot tell" (-1): only a missing file or a path
** component that is not a directory count as absent.
**
** Also the one memory request the support library makes of the system: the
** advice that a large block be backed by large pages.
*/
#include "commande_unix.h"

#include <limits.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

/*
** directory, or directory "/" name, in the platform's form, into chemin
** (PATH_MAX bytes).  False when the path does not fit: no file can have it.
** Works in place, without allocating, so that the test cannot fail for want
** of memory and be taken for an absent file.
*/
static bool composerChemin(const char *directory, const char *name, char (&chemin)[PATH_MAX])
{
    size_t n = strlen(directory);
    size_t m = name != nullptr ? strlen(name) + 1 : 0;
    if (n + m >= sizeof chemin) return false;
    memcpy(chemin, directory, n);
    if (name != nullptr) {
        chemin[n] = '/';
        memcpy(chemin + n + 1, name, m - 1);
    }
    n += m;
    chemin[n] = '\0';
    for (size_t i = 0; i < n; i++) {
        if (chemin[i] == '\\') chemin[i] = '/';
    }
    while (n > 1 && chemin[n - 1] == '/') chemin[--n] = '\0';
    return true;
}

/*
** 1 when the file exists, 0 when it does not or a path component is not a
** directory, -1 when the test fails otherwise (no directory given, a path
** too long, permission denied on a component, ...).  Nothing recorded.
*/
int testerExistenceFichier(const char *directory, const char *name)
{
    if (directory == nullptr) return -1;
    char chemin[PATH_MAX];
    if (!composerChemin(directory, name, chemin)) return -1;
    struct stat etat;
    if (stat(chemin, &etat) == 0) return 1;
    if (errno == ENOENT || errno == ENOTDIR) return 0;
    return -1;
}

bool estFluxLisible(FILE *fp)
{
    struct stat etat;
    if (fp == nullptr) return false;
    if (fstat(fileno(fp), &etat) != 0) return true;
    return !S_ISDIR(etat.st_mode) && !S_ISCHR(etat.st_mode) && !S_ISBLK(etat.st_mode);
}

void conseillerGrandesPages(void *p, size_t octets)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t GRANDE_PAGE = uintptr_t{1} << 21;
    if (p == nullptr || octets < GRANDE_PAGE) return;
    const uintptr_t debut = (reinterpret_cast<uintptr_t>(p) + GRANDE_PAGE - 1) & ~(GRANDE_PAGE - 1);
    const uintptr_t fin = (reinterpret_cast<uintptr_t>(p) + octets) & ~(GRANDE_PAGE - 1);
    if (fin <= debut) return;
    const int errnoAvant = errno;
    madvise(reinterpret_cast<void *>(debut), fin - debut, MADV_HUGEPAGE);
    errno = errnoAvant;
#else
    (void)p;
    (void)octets;
#endif
}

void preparerTasPourGrandsTableaux()
{
#if defined(__linux__) && defined(M_MMAP_THRESHOLD) && defined(MADV_HUGEPAGE)
    constexpr int SEUIL_MMAP = 32 << 20, PAS_TAS = 256 << 20;
    mallopt(M_MMAP_THRESHOLD, SEUIL_MMAP);
    mallopt(M_TRIM_THRESHOLD, 2 * PAS_TAS);
    mallopt(M_TOP_PAD, PAS_TAS);
    /* A first block larger than what is left makes the heap grow by a step; all of it is then advised. */
    void *premier = malloc(1 << 20);
    if (premier == nullptr) return;
    const int errnoAvant = errno;
    void *fin = sbrk(0);
    errno = errnoAvant;
    /* Only when the block does lie in the heap just grown (an allocator of its own, a checker's, may not). */
    const char *debutBloc = static_cast<char *>(premier), *finTas = static_cast<char *>(fin);
    if (fin != reinterpret_cast<void *>(-1) && finTas > debutBloc && finTas - debutBloc <= 2 * PAS_TAS)
        conseillerGrandesPages(premier, static_cast<size_t>(finTas - debutBloc));
    free(premier);
#endif
}
