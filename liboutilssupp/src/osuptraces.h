/*
** The error report: the call through which the run driver, the problem
** modules and the line reader publish a failure with its source location.
** A report goes to the trace log (f_dbg_trace) and to the report stream,
** which is the standard error stream unless OSupTrace_Open() gave another.
*/
#ifndef OSUPTRACES_H
#define OSUPTRACES_H

#include <cstdio>

/*
** Write the message to the trace log and to the report stream, each under
** the level and key filters.  Returns 0, or -1 when the write to the report
** stream failed (EX_FILACCES "status de vfprintf = %d" recorded).
** Callers with an already formatted message pass it through "%s".
*/
int OSupTrace_Report(const char *srcFile, int line, const char *key, int level, const char *fmt, ...)
    __attribute__((format(printf, 5, 6)));

/*
** A stream for the report module: "stderr", "stdout", or the file name opened
** with mode "a" or "w" and started with the opening banner.  Null on an
** invalid mode (EA_INVPRMS) or an unopenable file (EX_FILACCES).
*/
FILE *OSupTrace_Open(const char *name, const char *mode);

/* Make stream the report stream (null: back to the standard error stream). */
void OSupTrace_SetStream(FILE *stream);

#endif
