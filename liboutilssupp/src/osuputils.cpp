/*
** Reading of line files: one record per line, fields separated by one
** character.
**
** OSupUtils_lireFichierParLigne() owns the file and one buffer for the whole
** reading.  It cuts the file in pieces of at most maxLen - 1 characters (a
** physical line longer than that arrives in several pieces, exactly as a
** line buffer of maxLen characters filled by fgets would), counts every piece
** as one physical line, empty ones included, and hands each non-empty piece,
** without its line feed, to the caller's decoding function; a NUL byte ends
** the text of its piece.  The pieces are handed in place inside a buffer
** that holds a large window of the file, one copy fewer than a line buffer.
** The first refusal stops the reading; what the decoder stored before stays
** stored.
**
** Line ends: files come from many systems, so a CR LF end reads as LF on
** every platform; a lone CR is data.  When a piece is cut between the CR and
** the LF of a long line, the LF is taken from the stream at once and the
** piece ends the line, so the CR never reaches the decoder.
**
** A read error (for instance a directory opened as a file) is a failure,
** never the end of an empty file.
**
** OSupUtils_extraireChamp() takes fields verbatim: no trimming, quoting nor
** escaping.  A line has as many fields as separators plus one; once the last
** field is taken, the next start is length + 1 and one more request fails.
**
** Messages of this module begin with "1 UTILS " and a five-digit number; they
** are formatted first and passed to the error report through "%s".
*/
#include "osuputils.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "applierrno.h"
#include "osuptraces.h"

/* Capacity of the message buffer; longer messages are formatted on the heap. */
static constexpr int OSUP_LONG_MESSAGE = 1024;

/*
** Format a message, record it with code (when code is not null) and report
** it through OSupTrace_Report, naming this source file and line.  errno is
** kept as the caller left it, so that a system-class record carries the
** cause of the failure.  A message longer than the local buffer is formatted
** on the heap, or cut when memory is short.
*/
__attribute__((format(printf, 3, 4))) static void signaler(int line, const ApplErrno *code, const char *fmt, ...)
{
    const int errnoAppelant = errno;
    char local[OSUP_LONG_MESSAGE];
    char *message = local;
    va_list args;
    va_start(args, fmt);
    int n = vsnprintf(local, sizeof local, fmt, args);
    va_end(args);
    if (n < 0) {
        local[0] = '\0';
    } else if (n >= OSUP_LONG_MESSAGE) {
        char *tas = static_cast<char *>(malloc(static_cast<size_t>(n) + 1));
        if (tas != nullptr) {
            va_start(args, fmt);
            vsnprintf(tas, static_cast<size_t>(n) + 1, fmt, args);
            va_end(args);
            message = tas;
        }
    }
    errno = errnoAppelant;
    if (code != nullptr) appli_set_errno(*code, message, APPLI_SOURCE, line);
    OSupTrace_Report(APPLI_SOURCE, line, nullptr, 0, "%s", message);
    if (message != local) free(message);
}

/*
** The file being read and the window of it held in memory.  The file is
** read in large chunks into one buffer; a piece (a line, or a part of a long
** line) is handed to the decoder in place, terminated where its line feed was
** (or, for a piece cut inside a line, on the next byte, which is put back
** after the decoder's call).  Invariants: 0 <= debut <= fin < capacite; the
** bytes [debut, fin) are read but not yet handed out; the byte at fin is
** spare, so that a piece ending there can be terminated.
*/
struct LecteurLignes {
    int fd;
    char *tampon;
    size_t capacite;
    size_t debut, fin;
    bool finFichier;   /* read() has answered 0: nothing comes after fin */
};

/*
** Bytes read from the file at each refill, beyond the room kept for one
** piece: a file of a million lines is read in a few hundred system calls,
** into a buffer that stays in the processor's cache.
*/
static constexpr size_t OSUP_MORCEAU_LECTURE = size_t{1} << 17;

/*
** Move the unread bytes to the head of the buffer and read what follows
** them.  false on a read error (errno tells which); at the end of the file
** finFichier becomes true.
*/
static bool remplir(LecteurLignes &l)
{
    if (l.debut > 0) {
        memmove(l.tampon, l.tampon + l.debut, l.fin - l.debut);
        l.fin -= l.debut;
        l.debut = 0;
    }
    for (;;) {
        const ssize_t lu = read(l.fd, l.tampon + l.fin, l.capacite - 1 - l.fin);
        if (lu > 0) {
            l.fin += static_cast<size_t>(lu);
            return true;
        }
        if (lu == 0) {
            l.finFichier = true;
            return true;
        }
        if (errno != EINTR) return false;
    }
}

/*
** Find the next piece: at most maxLen - 1 bytes, ending after the first line
** feed if one comes within them (the pieces fgets would give).  On return 1,
** [debut, *finPiece) is the piece and, unless the file ends there, at least
** one byte follows a piece of maxLen - 1 bytes without line feed.  0 at the
** end of the file, -1 on a read error.
*/
static int trouverPiece(LecteurLignes &l, size_t maxLen, size_t *finPiece)
{
    for (;;) {
        const size_t dispo = l.fin - l.debut;
        const size_t borne = dispo < maxLen - 1 ? dispo : maxLen - 1;
        const char *lf = static_cast<const char *>(memchr(l.tampon + l.debut, '\n', borne));
        if (lf != nullptr) {
            *finPiece = static_cast<size_t>(lf - l.tampon) + 1;
            return 1;
        }
        if (dispo >= maxLen || (l.finFichier && dispo > 0)) {
            *finPiece = l.debut + borne;
            return 1;
        }
        if (l.finFichier) return 0;
        if (!remplir(l)) return -1;
    }
}

/*
** Length of the piece [debut, finPiece) as the decoder sees it, and the
** index where the next piece starts (*suite).  As with fgets: the text ends
** at its first NUL; a "\r\n" end counts as "\n"; a piece of maxLen - 1 bytes
** ending with CR whose next byte is LF takes that LF as its own end.  The
** final line feed is then removed (as OSupUtils_supprimerFinLigne does).
*/
static size_t longueurPiece(const LecteurLignes &l, size_t finPiece, size_t maxLen, size_t *suite)
{
    const char *ligne = l.tampon + l.debut;
    const size_t taille = finPiece - l.debut;
    const size_t len = strnlen(ligne, taille);
    *suite = finPiece;
    if (len >= 2 && ligne[len - 2] == '\r' && ligne[len - 1] == '\n') return len - 2;
    if (len == maxLen - 1 && ligne[len - 1] == '\r' && finPiece < l.fin && l.tampon[finPiece] == '\n') {
        *suite = finPiece + 1;
        return len - 1;
    }
    if (len > 0 && ligne[len - 1] == '\n') return len - 1;
    return len;
}

/*
** The line the reader is handing to its decoding function (see
** OSupUtils_longueurLigne), one per thread: two readers may run at once.
*/
struct LigneRemise {
    const char *ligne;
    size_t longueur;
    long long numero; /* its physical line number */
};
static thread_local LigneRemise s_ligneRemise = {nullptr, 0, 0};

/*
** Open path for reading; -1 (errno set) when it cannot be opened or names a
** directory or a device: nothing a line reader can come to the end of.
*/
static int ouvrirFichier(const char *path)
{
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat etat;
    if (fstat(fd, &etat) == 0 && (S_ISDIR(etat.st_mode) || S_ISCHR(etat.st_mode) || S_ISBLK(etat.st_mode))) {
        close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

/*
** Read path line by line and call decode(line, contexte) on each non-empty
** line (see the head of this file).  Returns 0 when the whole file was read
** and every line accepted, -1 otherwise:
**   - null path or decoder, or maxLen < 2 (no room for one character):
**     EA_INVPRMS recorded and reported;
**   - the file cannot be opened, is a directory or a device, or reading it
**     fails: 1 UTILS 00016, EX_FILACCES recorded;
**   - the buffer cannot be allocated: 1 UTILS 00005, EX_FILACCES;
**   - a line refused: 1 UTILS 00018 with the physical line number, then the
**     line itself as a second report; nothing recorded.
** The file is closed and the buffer freed on every path.  The failures are
** reported (and recorded) only when parler is true.
*/
static int lireParLigne(const char *path, OSupUtils_FonctionDecodage decode, void *contexte, int maxLen, bool parler)
{
    if (path == nullptr || decode == nullptr || maxLen < 2) {
        if (parler)
            signaler(__LINE__, &EA_INVPRMS,
                     "OSupUtils_lireFichierParLigne(): parametres d'appel invalides (fichier %s, longueur %d)",
                     path != nullptr ? path : "", maxLen);
        return -1;
    }
    const int fd = ouvrirFichier(path);
    if (fd < 0) {
        if (parler) signaler(__LINE__, &EX_FILACCES, "1 UTILS 00016 Probleme d'ouverture du fichier %s", path);
        return -1;
    }
    const size_t longueurMax = static_cast<size_t>(maxLen);
    LecteurLignes l{fd, nullptr, longueurMax + OSUP_MORCEAU_LECTURE + 1, 0, 0, false};
    l.tampon = static_cast<char *>(malloc(l.capacite));
    if (l.tampon == nullptr) {
        if (parler) signaler(__LINE__, &EX_FILACCES, "1 UTILS 00005 Erreur d'allocation memoire");
        close(fd);
        return -1;
    }
    long long numLigne = 0;
    int rc = 0;
    for (;;) {
        size_t finPiece = 0;
        const int trouve = trouverPiece(l, longueurMax, &finPiece);
        if (trouve == 0) break;
        if (trouve < 0) {
            if (parler) signaler(__LINE__, &EX_FILACCES, "1 UTILS 00016 Probleme d'ouverture du fichier %s", path);
            rc = -1;
            break;
        }
        numLigne++;
        size_t suite = 0;
        const size_t longueur = longueurPiece(l, finPiece, longueurMax, &suite);
        char *ligne = l.tampon + l.debut;
        l.debut = suite;
        if (longueur == 0) continue;
        /* Terminated in place; the byte replaced may start the next piece. */
        const char remplace = ligne[longueur];
        ligne[longueur] = '\0';
        const LigneRemise avant = s_ligneRemise; /* a decoder may read another file */
        s_ligneRemise = LigneRemise{ligne, longueur, numLigne};
        const int refus = decode(ligne, contexte);
        s_ligneRemise = avant;
        if (refus != 0) {
            if (parler) {
                signaler(__LINE__, nullptr,
                         "1 UTILS 00018 erreur de decodage du fichier [ %s ], ligne (%lld), ligne lue : ", path,
                         numLigne);
                OSupTrace_Report(APPLI_SOURCE, __LINE__, nullptr, 0, "%s", ligne);
            }
            rc = -1;
            break;
        }
        ligne[longueur] = remplace;
    }
    free(l.tampon);
    close(fd);
    return rc;
}

int OSupUtils_lireFichierParLigne(const char *path, OSupUtils_FonctionDecodage decode, void *contexte, int maxLen)
{
    return lireParLigne(path, decode, contexte, maxLen, true);
}

int OSupUtils_lireFichierEnSilence(const char *path, OSupUtils_FonctionDecodage decode, void *contexte, int maxLen)
{
    return lireParLigne(path, decode, contexte, maxLen, false);
}

long long OSupUtils_numeroLigne()
{
    return s_ligneRemise.ligne != nullptr ? s_ligneRemise.numero : 0;
}

/* The line being handed to a decoding function and its length, or null. */
size_t OSupUtils_longueurLigne(const char *ligne)
{
    if (ligne == nullptr) return 0;
    if (ligne == s_ligneRemise.ligne) return s_ligneRemise.longueur;
    return strlen(ligne);
}

/* Remove one trailing line feed in place; the remaining length (0 for null). */
int OSupUtils_supprimerFinLigne(char *ligne)
{
    if (ligne == nullptr) return 0;
    size_t len = strlen(ligne);
    if (len > 0 && ligne[len - 1] == '\n') ligne[--len] = '\0';
    return static_cast<int>(len);
}

/*
** Copy into champ the field of ligne that starts at index debut: the
** characters up to the first separateur[0] or the end of the line, cut to
** champCap - 1 characters, always terminated.  *suivant becomes the index
** after the separator (length + 1 when the field ends the line).  Returns 0;
** -1 with champ and *suivant untouched when debut is beyond the end of the
** line (1 UTILS 00003, EA_INVPRMS) or an argument is unusable (null pointer,
** negative debut, champCap < 1: EA_INVPRMS).  Both failures are reported.
*/
int OSupUtils_extraireChamp(const char *ligne, const char *separateur, int debut, int *suivant, char *champ,
                            int champCap)
{
    if (ligne == nullptr || separateur == nullptr || suivant == nullptr || champ == nullptr || champCap < 1 ||
        debut < 0) {
        signaler(__LINE__, &EA_INVPRMS, "OSupUtils_extraireChamp(): parametres d'appel invalides (debut %d)", debut);
        return -1;
    }
    size_t longueur = strlen(ligne);
    if (static_cast<size_t>(debut) > longueur) {
        signaler(__LINE__, &EA_INVPRMS,
                 "1 UTILS 00003 numero de caractere de debut superieur a la longueur de la string: %d", debut);
        return -1;
    }
    const char sep = separateur[0];
    size_t fin = static_cast<size_t>(debut);
    while (ligne[fin] != '\0' && ligne[fin] != sep) fin++;
    size_t n = fin - static_cast<size_t>(debut);
    if (n > static_cast<size_t>(champCap) - 1) n = static_cast<size_t>(champCap) - 1;
    memmove(champ, ligne + debut, n);
    champ[n] = '\0';
    *suivant = static_cast<int>(fin + 1);
    return 0;
}
