/*
** The process-wide trace log.
**
** Every module writes its progress and error messages to one stream, which is
** the standard error stream until f_set_dbg_logfile_name() points it at a file
** (or at a standard stream).  A write passes two filters first, so that a
** filtered message costs no formatting: its level must be at most the trace
** level, and its debug key, when it has one, must be in the active key list.
** Every write is flushed at once: the log is complete up to the last message
** even when the run stops abruptly.  A log file is framed by an opening
** banner when it is pointed at and by a closing banner when it is left.
**
** The module's own failures (bad open mode, unopenable file, failed write,
** full key list, memory) are recorded in the last-error record and returned
** as -1; they are never written to the log itself.
**
** Invariants of the state:
**   - s_flux is null only before the first operation that writes or switches;
**     from then on it is stderr, stdout, or the one log file this module
**     opened (and alone closes);
**   - s_nomLog is the name of the destination of s_flux, at most 1023 chars;
**   - s_cles[0 .. s_nbCles-1] are non-empty heap copies, never freed (the key
**     list lives as long as the process), s_nbCles <= TRACE_NB_CLES_MAX.
*/
#include "traces.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "applierrno.h"
#include "applistd.h"

static constexpr int TRACE_LONG_NOM = 1024;
static constexpr int TRACE_NB_CLES_MAX = 256;
static constexpr int TRACE_LONG_DATE = 100;

/* Format of the banner dates, through og_format_date(). */
static const char *const TRACE_FMT_DATE = "le %d/%m/%Y a %H:%M:%S";

static FILE *s_flux = nullptr;
static char s_nomLog[TRACE_LONG_NOM] = "stderr";
static int s_niveau = 0;
static char *s_cles[TRACE_NB_CLES_MAX];
static int s_nbCles = 0;
static char *s_listeCles = nullptr;   /* text of GetDebugKeyList(), reused */
static size_t s_capListeCles = 0;

/* The current stream; an unset stream becomes the standard error stream. */
static FILE *fluxCourant()
{
    if (s_flux == nullptr) s_flux = stderr;
    return s_flux;
}

static bool estFluxStandard(const FILE *flux)
{
    return flux == stderr || flux == stdout || flux == stdin;
}

/* Record a failed formatted write of count status (EX_FILACCES). */
static void noterEchecEcriture(int status, int line)
{
    char message[64];
    snprintf(message, sizeof message, "status de vfprintf = %d", status);
    appli_set_errno(EX_FILACCES, message, APPLI_SOURCE, line);
}

/*
** Write one message to flux, located when srcFile is given, and flush.  Only
** the message's own write decides the result: it fails when vfprintf returns
** a negative count or when the flush that follows it cannot deliver it (a
** buffered write succeeds even on a full disk).  The header is flushed ahead
** of the message and the closing "]" after it, and failures of either are
** not reported.  The stream's error flag is cleared first, so that a write
** after a failed one tries again.  Returns the count of the message's write,
** negative on failure; records nothing (each caller records as its own).
*/
int f_ecrire_message(FILE *flux, const char *srcFile, int line, const char *key, int level, const char *fmt,
                     va_list args)
{
    clearerr(flux);
    if (srcFile != nullptr) {
        fprintf(flux, "\n==TRACEDEBUG([%s,%d],[%s,%d])==>[", srcFile, line,
                key != nullptr ? key : "TOUJOURS ACTIVE", level);
        fflush(flux);
        clearerr(flux);
    }
    int status = vfprintf(flux, fmt != nullptr ? fmt : "", args);
    if (fflush(flux) != 0 && status >= 0) status = -1;
    if (srcFile != nullptr) {
        fputs("]\n", flux);
        fflush(flux);
    }
    return status;
}

/* f_ecrire_message, with a failure recorded (EX_FILACCES).  0 or -1. */
static int ecrireMessage(FILE *flux, const char *srcFile, int line, const char *key, int level, const char *fmt,
                         va_list args)
{
    int status = f_ecrire_message(flux, srcFile, line, key, level, fmt, args);
    if (status < 0) {
        noterEchecEcriture(status, __LINE__);
        return -1;
    }
    return 0;
}

/* Whether a message of this level and key passes the filters. */
static bool passeFiltres(const char *key, int level)
{
    if (level > s_niveau) return false;
    if (key != nullptr && IsDebugKeyActive(key) != 1) return false;
    return true;
}

int f_dbg_vtrace(const char *srcFile, int line, const char *key, int level, const char *fmt, va_list args)
{
    if (!passeFiltres(key, level)) return 0;
    return ecrireMessage(fluxCourant(), srcFile, line, key, level, fmt, args);
}

int f_dbg_trace(const char *srcFile, int line, const char *key, int level, const char *fmt, ...)
{
    if (!passeFiltres(key, level)) return 0;
    va_list args;
    va_start(args, fmt);
    int rc = ecrireMessage(fluxCourant(), srcFile, line, key, level, fmt, args);
    va_end(args);
    return rc;
}

int f_dbg_print(int level, const char *fmt, ...)
{
    if (level > s_niveau) return 0;
    va_list args;
    va_start(args, fmt);
    int rc = ecrireMessage(fluxCourant(), nullptr, 0, nullptr, level, fmt, args);
    va_end(args);
    return rc;
}

int f_get_dbg_level()
{
    return s_niveau;
}

void f_set_dbg_level(int level)
{
    s_niveau = level;
}

FILE *f_get_dbg_stream()
{
    return s_flux != nullptr ? s_flux : stderr;
}

const char *f_get_dbg_logfile_name()
{
    return s_nomLog;
}

/* The banner date, or "" when it cannot be formatted (EA_FMTCPLX recorded). */
static const char *dateBanniere()
{
    const char *date = og_format_date(0, TRACE_FMT_DATE);
    return date != nullptr ? date : "";
}

/* The closing banner, written to the current stream. */
static void ecrireBanniereFermeture()
{
    f_dbg_print(0, "\n\nFERMETURE %s\n", dateBanniere());
    f_dbg_print(0, "\n***FIN**FIN**FIN**FIN**FIN**FIN**FIN**FIN");
    f_dbg_print(0, "**FIN**FIN**FIN**FIN**FIN**FIN**FIN***\n\n\n");
}

/* The opening banner, written to the current stream. */
static void ecrireBanniereOuverture()
{
    f_dbg_print(0, "\n\n\n**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**");
    f_dbg_print(0, "DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**\n\n");
    f_dbg_print(0, "OUVERTURE %s\n\n\n\n", dateBanniere());
}

/* Whether path names the very file that the open stream flux writes. */
static bool memeFichier(FILE *flux, const char *path)
{
    struct stat etatFlux, etatPath;
    if (fstat(fileno(flux), &etatFlux) != 0 || stat(path, &etatPath) != 0) return false;
    return etatFlux.st_dev == etatPath.st_dev && etatFlux.st_ino == etatPath.st_ino;
}

/*
** Point the log at name with mode "w" or "a".  The new destination is opened
** before the old one is left, so a failure leaves the log as it was.  The
** previous log file gets its closing banner, then is closed; a new log file
** gets the opening banner.  When name is the file being left, its closing
** banner is written before it is opened again, so that a "w" reopening
** truncates a complete file instead of racing two streams over one file.
** Returns 0; -1 with EA_INVPRMS (bad mode, no name) or EX_FILACCES (no text:
** the file cannot be opened).
*/
int f_set_dbg_logfile_name(const char *name, const char *mode)
{
    FILE *ancien = fluxCourant();
    if (mode == nullptr || (strcmp(mode, "a") != 0 && strcmp(mode, "w") != 0)) {
        appli_set_errno(EA_INVPRMS, "f_set_dbg_logfile_name(): open_mode invalide", APPLI_SOURCE, __LINE__);
        return -1;
    }
    if (name == nullptr) {
        appli_set_errno(EA_INVPRMS, "f_set_dbg_logfile_name(): nom de fichier absent", APPLI_SOURCE, __LINE__);
        return -1;
    }
    const bool ancienEstFichier = !estFluxStandard(ancien);
    bool ancienFerme = false;
    FILE *nouveau;
    if (strcmp(name, "stderr") == 0) {
        nouveau = stderr;
    } else if (strcmp(name, "stdout") == 0) {
        nouveau = stdout;
    } else {
        if (ancienEstFichier && memeFichier(ancien, name)) {
            ecrireBanniereFermeture();
            ancienFerme = true;
        }
        nouveau = fopen(name, mode);
        if (nouveau == nullptr) {
            appli_set_errno(EX_FILACCES, nullptr, APPLI_SOURCE, __LINE__);
            return -1;
        }
    }
    if (ancienEstFichier && nouveau != ancien) {
        if (!ancienFerme) ecrireBanniereFermeture();
        fflush(ancien);
        fclose(ancien);
    }
    s_flux = nouveau;
    size_t n = strnlen(name, TRACE_LONG_NOM - 1);
    memcpy(s_nomLog, name, n);
    s_nomLog[n] = '\0';
    if (!estFluxStandard(nouveau)) ecrireBanniereOuverture();
    return 0;
}

int IsDebugKeyActive(const char *key)
{
    if (key == nullptr) return 0;
    for (int i = 0; i < s_nbCles; i++) {
        if (strcmp(s_cles[i], key) == 0) return 1;
    }
    return 0;
}

/*
** Append a copy of key to the active keys (duplicates are not looked for).
** A null or empty key is ignored: 0.  -1 when the list is full (EA_INVPRMS)
** or the copy cannot be allocated (EX_MALLOC).
*/
int AddDebugKeyList(const char *key)
{
    if (key == nullptr || key[0] == '\0') return 0;
    if (s_nbCles >= TRACE_NB_CLES_MAX) {
        appli_set_errno(EA_INVPRMS, "AddDebugKeyList(): liste mots cles actifs pleine", APPLI_SOURCE, __LINE__);
        return -1;
    }
    size_t n = strlen(key);
    char *copie = static_cast<char *>(malloc(n + 1));
    if (copie == nullptr) {
        appli_set_errno(EX_MALLOC, "AddDebugKeyList()", APPLI_SOURCE, __LINE__);
        return -1;
    }
    memcpy(copie, key, n + 1);
    s_cles[s_nbCles++] = copie;
    return 0;
}

/*
** The active keys joined by "," in list order ("" for none), in a buffer that
** the next call reuses.  Null with EX_MALLOC when the buffer cannot grow (the
** previous text is then still allocated, but not returned).
*/
const char *GetDebugKeyList()
{
    size_t total = 1;
    for (int i = 0; i < s_nbCles; i++) total += strlen(s_cles[i]) + 1;
    if (total > s_capListeCles) {
        char *plus = static_cast<char *>(realloc(s_listeCles, total));
        if (plus == nullptr) {
            appli_set_errno(EX_MALLOC, "GetDebugKeyList()", APPLI_SOURCE, __LINE__);
            return nullptr;
        }
        s_listeCles = plus;
        s_capListeCles = total;
    }
    char *p = s_listeCles;
    for (int i = 0; i < s_nbCles; i++) {
        if (i > 0) *p++ = ',';
        size_t n = strlen(s_cles[i]);
        memcpy(p, s_cles[i], n);
        p += n;
    }
    *p = '\0';
    return s_listeCles;
}

/* Week days indexed as tm_wday (0 is Sunday), months as tm_mon. */
static const char *const s_jours[7] = {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"};
static const char *const s_mois[12] = {"janvier", "fevrier",  "mars",    "avril",    "mai",      "juin",
                                       "juillet", "aout",     "septembre", "octobre", "novembre", "decembre"};

/*
** The long French date of time t in local time, for instance
** "jeudi 01 juillet 2004   14:05:09", in a static buffer that the next call
** overwrites.  "" (EA_INVPRMS recorded) when t cannot be converted.
*/
const char *GetDateText(long long t)
{
    static char s_date[TRACE_LONG_DATE];
    time_t tt = static_cast<time_t>(t);
    const struct tm *p_tm = localtime(&tt);
    if (p_tm == nullptr || p_tm->tm_wday < 0 || p_tm->tm_wday > 6 || p_tm->tm_mon < 0 || p_tm->tm_mon > 11) {
        appli_set_errno(EA_INVPRMS, "GetDateText(): date invalide", APPLI_SOURCE, __LINE__);
        s_date[0] = '\0';
        return s_date;
    }
    char jour[12], heure[12], minute[12], seconde[12];
    snprintf(jour, sizeof jour, "%02d", p_tm->tm_mday);
    snprintf(heure, sizeof heure, "%02d", p_tm->tm_hour);
    snprintf(minute, sizeof minute, "%02d", p_tm->tm_min);
    snprintf(seconde, sizeof seconde, "%02d", p_tm->tm_sec);
    snprintf(s_date, sizeof s_date, "%s %s %s %lld   %s:%s:%s", s_jours[p_tm->tm_wday], jour, s_mois[p_tm->tm_mon],
             static_cast<long long>(p_tm->tm_year) + 1900, heure, minute, seconde);
    return s_date;
}

const char *GetCurrentDateText()
{
    return GetDateText(static_cast<long long>(time(nullptr)));
}
