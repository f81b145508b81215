/*
** The settings table and the short date formatting.
**
** (work in progress: the settings table follows.)
*/
#include "applistd.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "applierrno.h"
#include "list.h"
#include "util_string.h"

/* Capacity of the formatted date buffer, terminator included. */
static constexpr size_t OG_LONG_DATE = 256;

/*
** Format time t (the current time when t is 0) in local time with the
** strftime format fmt.  The result lives in a static buffer that the next call
** overwrites.  Null with EA_FMTCPLX when the result is empty or does not fit
** in 255 characters; null with EA_INVPRMS when fmt is null or the time cannot
** be converted to local time.
*/
const char *og_format_date(time_t t, const char *fmt)
{
    static char s_date[OG_LONG_DATE];
    if (fmt == nullptr) {
        appli_set_errno(EA_INVPRMS, "og_format_date(): format a NULL", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    if (t == 0) t = time(nullptr);
    const struct tm *p_tm = localtime(&t);
    if (p_tm == nullptr) {
        appli_set_errno(EA_INVPRMS, "og_format_date(): date invalide", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    if (strftime(s_date, sizeof s_date, fmt, p_tm) == 0) {
        s_date[0] = '\0';
        appli_set_errno(EA_FMTCPLX, "LONGBUF < taille de la chaine formattee", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    return s_date;
}

/* Temporary stubs until the settings table lands. */
int og_add_envfile(const char *, const char *) { return -1; }
const char *og_getenv(const char *) { return nullptr; }
int m_og_init_envlist() { return -1; }
OG_ENVLIST_ELT *m_og_add_envlist(const char *, const char *) { return nullptr; }
LIST *m_og_get_envlist() { return nullptr; }
void og_expand_env(char *, int) {}
