/*
** File-system queries of the support library: the existence test that every
** file reader runs before opening its file.
**
** The test composes the path, brings it to the platform's form ("\" becomes
** "/", trailing separators are dropped so that "dir/" and "file/" name what
** they name without the separator) and asks for the file's status.  It tells
** "absent" (0) from "cannot tell" (-1): only a missing file or a path
** component that is not a directory count as absent.
*/
#include "commande_unix.h"

#include <sys/stat.h>

#include <cerrno>
#include <new>
#include <string>

/* directory, or directory "/" name, in the platform's form. */
static std::string composerChemin(const char *directory, const char *name)
{
    std::string chemin(directory);
    if (name != nullptr) {
        chemin += '/';
        chemin += name;
    }
    for (char &c : chemin) {
        if (c == '\\') c = '/';
    }
    while (chemin.size() > 1 && chemin.back() == '/') chemin.pop_back();
    return chemin;
}

/*
** 1 when the file exists, 0 when it does not or a path component is not a
** directory, -1 when the test fails otherwise (no directory given, memory,
** permission denied on a component, a name too long, ...).  Nothing recorded.
*/
int testerExistenceFichier(const char *directory, const char *name)
{
    if (directory == nullptr) return -1;
    std::string chemin;
    try {
        chemin = composerChemin(directory, name);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    struct stat etat;
    if (stat(chemin.c_str(), &etat) == 0) return 1;
    if (errno == ENOENT || errno == ENOTDIR) return 0;
    return -1;
}
