/*
** The settings table and date formatting.
**
** The variable table m_OgEnvlist is one process-wide indexed list of
** OG_ENVLIST_ELT entries, created on first use and never destroyed.  Its
** primary index stays in ascending byte-wise order of the names, so a lookup
** is a binary search and a definition a sorted insertion.  Names are unique
** in the table; values are final texts (references were expanded when their
** line was loaded).  The process environment is read, never changed.
*/
#ifndef APPLISTD_H
#define APPLISTD_H

#include <ctime>

struct LIST;

/* One variable: two heap texts owned by the table. */
struct OG_ENVLIST_ELT {
    char *nom;
    char *val;
};

/* Capacity of the working buffers of the loader and of the expansion. */
inline constexpr int OG_LONG_BUF = 1024;
/* Longest reference name kept by the expansion ("$" + at most 259 chars). */
inline constexpr int OG_LONG_NOM_REF = 259;
/* Deepest nesting of "." include lines that is still loaded. */
inline constexpr int OG_PROFONDEUR_INCLUDE_MAX = 16;

/*
** Load a settings file into the table.  section is null (every line counts)
** or a non-empty section name.  Returns 0 when the whole file was read, -1 on
** failure: file not openable (nothing recorded), a line without "=" (EA_FMTFICH,
** "og_add_envfile(): format du fichier %s erronne, ligne %d"), a read error
** (EX_FILACCES), memory.  Definitions made before a failure stay.
*/
int og_add_envfile(const char *fileName, const char *section = nullptr);

/*
** The value of a variable: the table first, then the process environment
** (which is then copied into the table).  Null when neither defines it
** (EX_VARENV "og_getenv(): variable %s non definie" recorded).
*/
const char *og_getenv(const char *name);

/* Create the table if needed: 0, or -1 when memory is short (EX_MALLOC). */
int m_og_init_envlist();

/* Define or redefine a variable; the table entry, or null on failure. */
OG_ENVLIST_ELT *m_og_add_envlist(const char *name, const char *value);

/* The table itself (null until created); for tests and listings. */
LIST *m_og_get_envlist();

/*
** Expand, in place, the "$NAME" references of text, whose storage holds
** capacity bytes (at least 1).  The result is cut to min(capacity, 1024) - 1
** characters; a reference name is cut to 259 characters.
*/
void og_expand_env(char *text, int capacity = OG_LONG_BUF);

/*
** Format time t (the current time when t is 0) in local time with the
** strftime format fmt into a static 256-character buffer.  Null, with
** EA_FMTCPLX "LONGBUF < taille de la chaine formattee", when the result is
** empty or does not fit.
*/
const char *og_format_date(time_t t, const char *fmt);

#endif
