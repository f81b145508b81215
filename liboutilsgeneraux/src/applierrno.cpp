/*
** The last-error record of the support library, and the report names of the
** source files.
**
** The support modules (settings table, trace log, indexed list, line reader)
** do not print their failures: they store the code, an optional message and
** the location of the recording code in one process-wide record and return a
** failure status.  Each recording overwrites every field, so the record always
** describes the latest failure and nothing else.
**
** Invariants of the record (s_dernier):
**   - code is null until the first recording, then a descriptor of the
**     EX_/EA_ family (compared by address);
**   - sysErrno is the errno of the recording moment for class-2 codes, else 0;
**   - message is null, or points at messageBuf, which is always terminated
**     and holds at most APPL_MESSAGE_MAX characters.
**
** Report names: every error report names its source file by its path below
** the source root without extension ("libQuelto/src/QueltoGesDonnees").  The
** name is derived from __FILE__ on each report, so the derivation is interned:
** each distinct input is worked out once and kept in a map for the life of the
** process; later calls cost one lookup and allocate nothing.
*/
#include "applierrno.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>

static ApplLastError s_dernier;

/*
** Overwrite the record.  errno is read first, before anything here can touch
** it.  The message may lie inside the record's own buffer (a caller copying
** the previous message): memmove keeps that case sound.
*/
void appli_set_errno(const ApplErrno &code, const char *message, const char *sourceFile, int line)
{
    const int errnoCourant = errno;
    s_dernier.code = &code;
    s_dernier.sysErrno = (code.errorClass == APPL_CLASSE_SYSTEME) ? errnoCourant : 0;
    if (message != nullptr) {
        size_t n = strnlen(message, APPL_MESSAGE_MAX);
        memmove(s_dernier.messageBuf, message, n);
        s_dernier.messageBuf[n] = '\0';
        s_dernier.message = s_dernier.messageBuf;
    } else {
        s_dernier.messageBuf[0] = '\0';
        s_dernier.message = nullptr;
    }
    s_dernier.sourceFile = sourceFile;
    s_dernier.line = line;
    errno = errnoCourant;
}

const ApplLastError &appli_last_error()
{
    return s_dernier;
}

void appli_reset_errno()
{
    s_dernier.code = nullptr;
    s_dernier.sysErrno = 0;
    s_dernier.message = nullptr;
    s_dernier.messageBuf[0] = '\0';
    s_dernier.sourceFile = nullptr;
    s_dernier.line = 0;
}

/*
** Work out the report name of a path:
**   - with a "/src/" component, keep the folder that precedes the last one,
**     then everything after it ("/a/b/libQuelto/src/X.cpp" gives
**     "libQuelto/src/X"); a path that begins with "src/" is kept whole;
**   - otherwise keep the parent folder and the file name ("/a/tests/t.cpp"
**     gives "tests/t"), or the file name alone when there is no folder;
** and drop the extension of the file name (from its last '.', unless that
** '.' begins the name).
*/
static std::string nomSourceDe(std::string_view chemin)
{
    size_t debut = 0;
    size_t src = chemin.rfind("/src/");
    if (src != std::string_view::npos) {
        size_t sep = (src == 0) ? std::string_view::npos : chemin.rfind('/', src - 1);
        debut = (sep == std::string_view::npos) ? 0 : sep + 1;
    } else if (chemin.substr(0, 4) != "src/") {
        size_t dernier = chemin.rfind('/');
        if (dernier != std::string_view::npos && dernier > 0) {
            size_t sep = chemin.rfind('/', dernier - 1);
            debut = (sep == std::string_view::npos) ? 0 : sep + 1;
        }
    }
    std::string_view nom = chemin.substr(debut);
    size_t slash = nom.rfind('/');
    size_t debutNom = (slash == std::string_view::npos) ? 0 : slash + 1;
    size_t point = nom.rfind('.');
    if (point != std::string_view::npos && point > debutNom) nom = nom.substr(0, point);
    return std::string(nom);
}

/*
** The interned report name of file.  Null gives "".  Should memory run out
** while a new name is interned, the path itself is returned: still a valid
** text (a __FILE__ literal lives as long as the process), only longer.
** The map is allocated once and never destroyed, so that a report made while
** the process exits still finds it and its texts.
*/
const char *appli_nom_source(const char *file)
{
    using Noms = std::map<std::string, std::string, std::less<>>;
    static Noms *const s_noms = new (std::nothrow) Noms();
    if (file == nullptr) return "";
    if (s_noms == nullptr) return file;
    std::string_view chemin(file);
    auto it = s_noms->find(chemin);
    if (it != s_noms->end()) return it->second.c_str();
    try {
        auto res = s_noms->emplace(std::string(chemin), nomSourceDe(chemin));
        return res.first->second.c_str();
    } catch (const std::bad_alloc &) {
        return file;
    }
}
