/*
** The error report: the one call through which the run driver, the problem
** modules and the line reader publish a failure with its source location.
**
** A report is written twice: to the trace log (through f_dbg_vtrace, under
** the log's filters) and to the report stream, which is the standard error
** stream unless OSupTrace_Open()/OSupTrace_SetStream() gave another.  Each
** write is flushed at once.  The report does not touch the last-error record,
** except to record its own failed write to the report stream.
**
** Invariant: s_fluxRapport is null (meaning the standard error stream, made
** explicit at the first report) or a stream given by the caller.
*/
#include "osuptraces.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "applierrno.h"
#include "applistd.h"
#include "traces.h"

static FILE *s_fluxRapport = nullptr;

/*
** Write the message to the report stream with the trace log's own writer
** (located when srcFile is given, flushed, only the message's own write
** decides the result); a failure is recorded here.  0 or -1.
*/
static int ecrireRapport(FILE *flux, const char *srcFile, int line, const char *key, int level, const char *fmt,
                         va_list args)
{
    int status = f_ecrire_message(flux, srcFile, line, key, level, fmt, args);
    if (status < 0) {
        char message[64];
        snprintf(message, sizeof message, "status de vfprintf = %d", status);
        appli_set_errno(EX_FILACCES, message, APPLI_SOURCE, __LINE__);
        return -1;
    }
    return 0;
}

/*
** Report a message: to the trace log (its result is not used), then, when
** the level and key pass the log's filters, to the report stream.  Returns 0,
** or -1 when the write to the report stream failed (EX_FILACCES recorded).
*/
int OSupTrace_Report(const char *srcFile, int line, const char *key, int level, const char *fmt, ...)
{
    if (s_fluxRapport == nullptr) s_fluxRapport = stderr;
    va_list args;
    va_start(args, fmt);
    f_dbg_vtrace(srcFile, line, key, level, fmt, args);
    va_end(args);
    if (level > f_get_dbg_level()) return 0;
    if (key != nullptr && IsDebugKeyActive(key) != 1) return 0;
    va_start(args, fmt);
    int rc = ecrireRapport(s_fluxRapport, srcFile, line, key, level, fmt, args);
    va_end(args);
    return rc;
}

/*
** A stream for the report module: a standard stream by name, or the file
** opened with mode "a" or "w" and started with the opening banner (the same
** text as the trace log's).  Null on an invalid mode or no name (EA_INVPRMS)
** or a file that cannot be opened (EX_FILACCES without text).
*/
FILE *OSupTrace_Open(const char *name, const char *mode)
{
    if (mode == nullptr || (strcmp(mode, "a") != 0 && strcmp(mode, "w") != 0)) {
        appli_set_errno(EA_INVPRMS, "OSupTrace_Open(): open_mode invalide", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    if (name == nullptr) {
        appli_set_errno(EA_INVPRMS, "OSupTrace_Open(): nom de fichier absent", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    if (strcmp(name, "stderr") == 0) return stderr;
    if (strcmp(name, "stdout") == 0) return stdout;
    FILE *flux = fopen(name, mode);
    if (flux == nullptr) {
        appli_set_errno(EX_FILACCES, nullptr, APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    const char *date = og_format_date(0, "le %d/%m/%Y a %H:%M:%S");
    fprintf(flux, "\n\n\n**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**DEBUT**\n\n"
                  "OUVERTURE %s\n\n\n\n",
            date != nullptr ? date : "");
    fflush(flux);
    return flux;
}

void OSupTrace_SetStream(FILE *stream)
{
    s_fluxRapport = stream;
}
