/*
** Reading of line files: one record per line, fields separated by one
** character.
**
** OSupUtils_lireFichierParLigne() owns the file and one line buffer for the
** whole reading.  It reads the file in pieces of at most maxLen - 1
** characters (a physical line longer than that arrives in several pieces),
** counts every piece as one physical line, empty ones included, and hands
** each non-empty piece, without its line feed, to the caller's decoding
** function.  The first refusal stops the reading; what the decoder stored
** before stays stored.
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

#include "applierrno.h"
#include "commande_unix.h"
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
** Read the next piece of the file into ligne (capacity maxLen >= 2), its
** length (up to its first NUL) into *longueur.  Returns 1 when a piece was
** read, 0 at the end of the file, -1 on a read error.  A "\r\n" end becomes
** "\n"; a full piece that ends with CR while LF comes next in the stream
** takes that LF as its own end.
*/
static int lirePiece(FILE *fichier, char *ligne, int maxLen, size_t *longueur)
{
    if (feof(fichier)) return 0;
    if (fgets(ligne, maxLen, fichier) == nullptr) return ferror(fichier) ? -1 : 0;
    size_t len = strlen(ligne);
    if (len >= 2 && ligne[len - 2] == '\r' && ligne[len - 1] == '\n') {
        ligne[len - 2] = '\n';
        ligne[len - 1] = '\0';
        len--;
    } else if (len == static_cast<size_t>(maxLen) - 1 && ligne[len - 1] == '\r') {
        int suivant = getc(fichier);
        if (suivant == '\n') {
            ligne[len - 1] = '\n';
        } else if (suivant != EOF) {
            ungetc(suivant, fichier);
        }
    }
    *longueur = len;
    return 1;
}

/*
** Capacity of the stream buffer of the line reader: a file of a million
** lines is read in a few hundred system calls rather than some twenty
** thousand.  Without memory for it, the stream keeps its own buffer.
*/
static constexpr size_t OSUP_TAMPON_LECTURE = size_t{1} << 18;

/*
** Read path line by line and call decode(line, contexte) on each non-empty
** line (see the head of this file).  Returns 0 when the whole file was read
** and every line accepted, -1 otherwise:
**   - null path or decoder, or maxLen < 2 (no room for one character):
**     EA_INVPRMS recorded and reported;
**   - the file cannot be opened, or reading it fails: 1 UTILS 00016,
**     EX_FILACCES recorded;
**   - the line buffer cannot be allocated: 1 UTILS 00005, EX_FILACCES;
**   - a line refused: 1 UTILS 00018 with the physical line number, then the
**     line itself as a second report; nothing recorded.
** The file is closed and the buffer freed on every path.
*/
int OSupUtils_lireFichierParLigne(const char *path, OSupUtils_FonctionDecodage decode, void *contexte, int maxLen)
{
    if (path == nullptr || decode == nullptr || maxLen < 2) {
        signaler(__LINE__, &EA_INVPRMS,
                 "OSupUtils_lireFichierParLigne(): parametres d'appel invalides (fichier %s, longueur %d)",
                 path != nullptr ? path : "", maxLen);
        return -1;
    }
    FILE *fichier = fopen(path, "r");
    if (fichier != nullptr && !estFluxLisible(fichier)) {
        /* A directory or a device: nothing a line reader can come to the end of. */
        fclose(fichier);
        errno = EISDIR;
        fichier = nullptr;
    }
    if (fichier == nullptr) {
        signaler(__LINE__, &EX_FILACCES, "1 UTILS 00016 Probleme d'ouverture du fichier %s", path);
        return -1;
    }
    char *ligne = static_cast<char *>(malloc(static_cast<size_t>(maxLen)));
    if (ligne == nullptr) {
        signaler(__LINE__, &EX_FILACCES, "1 UTILS 00005 Erreur d'allocation memoire");
        fclose(fichier);
        return -1;
    }
    char *tampon = static_cast<char *>(malloc(OSUP_TAMPON_LECTURE));
    if (tampon != nullptr && setvbuf(fichier, tampon, _IOFBF, OSUP_TAMPON_LECTURE) != 0) {
        free(tampon);
        tampon = nullptr;
    }
    long long numLigne = 0;
    int rc = 0;
    for (;;) {
        size_t longueur = 0;
        int lu = lirePiece(fichier, ligne, maxLen, &longueur);
        if (lu == 0) break;
        if (lu < 0) {
            signaler(__LINE__, &EX_FILACCES, "1 UTILS 00016 Probleme d'ouverture du fichier %s", path);
            rc = -1;
            break;
        }
        numLigne++;
        /* The line feed removed as OSupUtils_supprimerFinLigne does, the length known. */
        if (longueur > 0 && ligne[longueur - 1] == '\n') ligne[--longueur] = '\0';
        if (longueur == 0) continue;
        if (decode(ligne, contexte) != 0) {
            signaler(__LINE__, nullptr,
                     "1 UTILS 00018 erreur de decodage du fichier [ %s ], ligne (%lld), ligne lue : ", path,
                     numLigne);
            OSupTrace_Report(APPLI_SOURCE, __LINE__, nullptr, 0, "%s", ligne);
            rc = -1;
            break;
        }
    }
    free(ligne);
    fclose(fichier);
    free(tampon); /* only once the stream, which used it, is closed */
    return rc;
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
