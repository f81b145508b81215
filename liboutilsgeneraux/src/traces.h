/*
** The process-wide trace log.
**
** Every module writes its progress and error messages to one stream: the
** standard error stream until f_set_dbg_logfile_name() points it at a file
** (or at "stdout"/"stderr").  Each write is filtered by its level (written
** only when level <= the trace level, 0 at start) and by its optional debug
** key (written only when the key is in the active list), and is flushed at
** once.  A write with a source file is "located": it is framed as
**     \n==TRACEDEBUG([file,line],[key or TOUJOURS ACTIVE,level])==>[message]\n
** The trace module records its own failures in the last-error record only;
** it never writes them to the log.
**
** Callers that already hold a formatted message pass it as an argument of
** "%s", never as the format, so a "%" in it reaches the log as it stands.
*/
#ifndef TRACES_H
#define TRACES_H

#include <cstdarg>
#include <cstdio>

/*
** Point the log at name ("stderr", "stdout" or a file path) opened with mode
** "w" or "a".  A previous log file receives its closing banner and is closed;
** a new log file receives the opening banner.  Returns 0, or -1 (invalid mode:
** EA_INVPRMS; file cannot be opened: EX_FILACCES) with the log unchanged.
*/
int f_set_dbg_logfile_name(const char *name, const char *mode);

/*
** General trace write: source file (or null for a plain write), line, key (or
** null), level, printf-style format and arguments.  Returns 0 (also when
** filtered out), or -1 when the formatted write failed (EX_FILACCES recorded).
*/
int f_dbg_trace(const char *srcFile, int line, const char *key, int level, const char *fmt, ...)
    __attribute__((format(printf, 5, 6)));

/*
** f_dbg_trace with the arguments as a va_list, for a module that forwards
** its own caller's arguments (the error report).  Same filters and result.
*/
int f_dbg_vtrace(const char *srcFile, int line, const char *key, int level, const char *fmt, va_list args)
    __attribute__((format(printf, 5, 0)));

/*
** Write one message to the stream flux, framed as a located line when srcFile
** is given, and flush.  Returns the count of the message's own write, negative
** when it (or the flush that delivers it) failed; records nothing.  Shared by
** the trace log and the error report, which each record their own failures.
*/
int f_ecrire_message(FILE *flux, const char *srcFile, int line, const char *key, int level, const char *fmt,
                     va_list args);

/* A write without location or key (banners).  0, or -1 as f_dbg_trace. */
int f_dbg_print(int level, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

int f_get_dbg_level();
void f_set_dbg_level(int level);

/* The current log stream (standard error while unset) and its name. */
FILE *f_get_dbg_stream();
const char *f_get_dbg_logfile_name();

/* 1 when key is an active debug key (exact comparison), else 0. */
int IsDebugKeyActive(const char *key);

/*
** Append key to the active debug keys.  An empty key is ignored (0).  -1 when
** 256 keys are active already (EA_INVPRMS) or memory is short (EX_MALLOC).
*/
int AddDebugKeyList(const char *key);

/* The active keys joined by ","; "" when none; null on allocation failure. */
const char *GetDebugKeyList();

/*
** The current local date and time as French text, for instance
** "jeudi 01 juillet 2004   14:05:09".  Static buffer, overwritten by the next
** call.
*/
const char *GetCurrentDateText();

/* The same text for a given time (tests, and GetCurrentDateText itself). */
const char *GetDateText(long long t);

#endif
