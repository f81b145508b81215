/*
** Error codes and the last-error record of the support library.
**
** A code is a constant descriptor (ApplErrno); its identity is its address, so
** two codes are equal when they are the same object.  The support modules
** (settings table, trace log, indexed list, line reader) store their latest
** failure in the process-wide last-error record with appli_set_errno() and
** return a failure status; nothing in a run reads the record back, but tests
** and callers that want the detail can.
**
** Invariants of the record:
**   - every call of appli_set_errno() overwrites every field;
**   - sysErrno is the errno of the moment for class-2 (system) codes, else 0;
**   - message is either null or points at the record's own buffer, which holds
**     at most APPL_MESSAGE_MAX characters and is always terminated.
*/
#ifndef APPLIERRNO_H
#define APPLIERRNO_H

#include <string>

/* One error code: name, short French description, class, defining source. */
struct ApplErrno {
    const char *name;
    const char *text;
    int errorClass;          /* 2: system (EX_...), 1: application (EA_...) */
    const char *sourceFile;
};

inline constexpr int APPL_CLASSE_SYSTEME = 2;
inline constexpr int APPL_CLASSE_APPLI = 1;

inline constexpr ApplErrno EX_FILACCES{"EX_FILACCES", "erreur d'acces fichier", 2, "liboutilsgeneraux/src/applierrno"};
inline constexpr ApplErrno EX_MALLOC{"EX_MALLOC", "memoire insuffisante", 2, "liboutilsgeneraux/src/applierrno"};
inline constexpr ApplErrno EX_VARENV{"EX_VARENV", "variable d'environnement non definie", 2, "liboutilsgeneraux/src/applierrno"};
inline constexpr ApplErrno EA_FMTFICH{"EA_FMTFICH", "format de fichier errone", 1, "liboutilsgeneraux/src/applierrno"};
inline constexpr ApplErrno EA_INVPRMS{"EA_INVPRMS", "parametres d'appel invalides", 1, "liboutilsgeneraux/src/applierrno"};
inline constexpr ApplErrno EA_FMTCPLX{"EA_FMTCPLX", "chaine formatee trop longue", 1, "liboutilsgeneraux/src/applierrno"};

inline constexpr int APPL_MESSAGE_MAX = 1023;

/* The last-error record.  message is null when the recording gave no text. */
struct ApplLastError {
    const ApplErrno *code = nullptr;
    int sysErrno = 0;
    const char *message = nullptr;
    const char *sourceFile = nullptr;
    int line = 0;
    char messageBuf[APPL_MESSAGE_MAX + 1] = {};
};

/*
** Overwrite the last-error record with code, message (or null), the source file
** name and the line of the recording code.  Keeps the first 1023 characters of
** a longer message.  Never fails, writes nothing anywhere.
*/
void appli_set_errno(const ApplErrno &code, const char *message, const char *sourceFile, int line);

/* Read access to the last-error record (for callers that want the detail). */
const ApplLastError &appli_last_error();

/* Empty the record again (tests). */
void appli_reset_errno();

/*
** The name under which a source file reports itself: its path below the
** source root without extension, e.g. "libQuelto/src/QueltoGesDonnees" for
** __FILE__ = "/any/where/libQuelto/src/QueltoGesDonnees.cpp".  The folder
** that precedes the last "/src/" component is kept; the extension is dropped.
** Returns a text that lives as long as the process.
*/
const char *appli_nom_source(const char *file);

/* The calling file's report name, computed once per translation unit. */
#define APPLI_SOURCE (appli_nom_source(__FILE__))

#endif
