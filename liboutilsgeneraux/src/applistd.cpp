/*
** The settings table, the settings file loader, the "$NAME" expansion and the
** short date formatting.
**
** A settings file is a shell-like script: "NAME = value" assignments, "#"
** comments, "export" lines (skipped), "[section]" headers and ". file"
** includes.  Every assignment goes into one process-wide variable table,
** m_OgEnvlist, an indexed list of OG_ENVLIST_ELT entries kept in ascending
** byte-wise order of the names by sorted insertion, so that a lookup is a
** binary search.  A lookup that misses the table reads the process
** environment and copies what it finds into the table; the environment itself
** is never changed.
**
** Invariants:
**   - m_OgEnvlist is null until the first load or definition, then one list
**     that lives, growing, until the process ends;
**   - names are unique in the table; nom and val of every entry are heap
**     texts owned by the table; values are final (already expanded);
**   - a value replaced by a redefinition is not released: a text returned by
**     og_getenv stays readable for the life of the process;
**   - every working buffer holds OG_LONG_BUF bytes and nothing is ever written
**     past it: over-long texts are cut (see og_expand_env) or, for a file name
**     that would be cut, refused;
**   - includes nest at most OG_PROFONDEUR_INCLUDE_MAX levels deep (a file
**     that includes itself is read that many times over, then the deepest
**     include line is ignored), and one load follows at most
**     OG_NB_INCLUSIONS_MAX include lines in all, so that files which include
**     one another several times cannot make the work grow exponentially.
**
** Failures are recorded in the last-error record only; formatted messages are
** first built in the module's message buffer.  Nothing here writes to the
** trace log or to a standard stream.
*/
#include "applistd.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "applierrno.h"
#include "commande_unix.h"
#include "list.h"
#include "util_string.h"

/* Capacity of the formatted date buffer, terminator included. */
static constexpr size_t OG_LONG_DATE = 256;

/* Characters cut at the end of names, values and included file names. */
static const char *const OG_BLANCS_FIN = " \t\n";

/* Include lines that one top-level load follows at most, all depths together. */
static constexpr int OG_NB_INCLUSIONS_MAX = 4096;

/* Characters that end a reference name after "$". */
static const char *const OG_SEPARATEURS_REF = " #$/\\:;\t.";

/* The variable table; null until first use. */
static LIST *m_OgEnvlist = nullptr;

/* Process-wide buffer of the formatted failure messages of this module. */
static char s_ogMessage[OG_LONG_BUF];

/* Order of the table: byte-wise comparison of the names. */
static int comparerNomsEnv(const void *a, const void *b)
{
    return strcmp(static_cast<const OG_ENVLIST_ELT *>(a)->nom,
                  static_cast<const OG_ENVLIST_ELT *>(b)->nom);
}

/* A heap copy of text, or null when memory is short (nothing recorded). */
static char *copierTexte(const char *text)
{
    size_t n = strlen(text) + 1;
    char *copie = static_cast<char *>(malloc(n));
    if (copie != nullptr) memcpy(copie, text, n);
    return copie;
}

/*
** Create the table if it does not exist yet.  0, or -1 with EX_MALLOC when
** the record cannot be allocated.
*/
int m_og_init_envlist()
{
    if (m_OgEnvlist != nullptr) return 0;
    LIST *p_liste = static_cast<LIST *>(malloc(sizeof(LIST)));
    if (p_liste == nullptr) {
        appli_set_errno(EX_MALLOC, "m_og_init_envlist(): pb alloc m_OgEnvlist", APPLI_SOURCE, __LINE__);
        return -1;
    }
    list_init(p_liste, 100, 10, static_cast<int>(sizeof(OG_ENVLIST_ELT)), comparerNomsEnv);
    m_OgEnvlist = p_liste;
    return 0;
}

LIST *m_og_get_envlist()
{
    return m_OgEnvlist;
}

/* The table entry of name, or null (also when there is no table). */
static OG_ENVLIST_ELT *chercherVariable(const char *name)
{
    if (m_OgEnvlist == nullptr) return nullptr;
    OG_ENVLIST_ELT cle{const_cast<char *>(name), nullptr};
    int rang = 0;
    return static_cast<OG_ENVLIST_ELT *>(list_bsearch(m_OgEnvlist, &cle, &rang));
}

/*
** Define name with value, or give an existing name the new value (the last
** definition wins).  Returns the table entry, or null: null argument
** (EA_INVPRMS), table or copy not allocated (EX_MALLOC), insertion refused by
** the list (recorded by the list).  A failed redefinition keeps the old value.
*/
OG_ENVLIST_ELT *m_og_add_envlist(const char *name, const char *value)
{
    if (name == nullptr || value == nullptr) {
        appli_set_errno(EA_INVPRMS, "m_og_add_envlist(): nom ou valeur a NULL", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    if (m_og_init_envlist() != 0) return nullptr;

    OG_ENVLIST_ELT *p_elt = chercherVariable(name);
    if (p_elt != nullptr) {
        char *s_val = copierTexte(value);
        if (s_val == nullptr) {
            appli_set_errno(EX_MALLOC, "m_og_add_envlist(): pb alloc OG_ENVLIST_ELT_VAL__IO()", APPLI_SOURCE, __LINE__);
            return nullptr;
        }
        p_elt->val = s_val;     /* the old text stays allocated, see invariants */
        return p_elt;
    }

    OG_ENVLIST_ELT nouveau{copierTexte(name), nullptr};
    if (nouveau.nom == nullptr) {
        appli_set_errno(EX_MALLOC, "m_og_add_envlist(): pb alloc OG_ENVLIST_ELT_NOM__IO", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    nouveau.val = copierTexte(value);
    if (nouveau.val == nullptr) {
        free(nouveau.nom);
        appli_set_errno(EX_MALLOC, "m_og_add_envlist(): pb alloc OG_ENVLIST_ELT_VAL__IO", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    if (list_insert(m_OgEnvlist, &nouveau, 0) != 1) {
        free(nouveau.nom);
        free(nouveau.val);
        return nullptr;
    }
    return static_cast<OG_ENVLIST_ELT *>(list_element(m_OgEnvlist, list_length(m_OgEnvlist) - 1));
}

/*
** The value of name: the table first, then the process environment, whose
** value is then copied into the table (the table's copy is returned).  Null
** when neither defines it (EX_VARENV "og_getenv(): variable %s non definie"),
** when name is null (EA_INVPRMS) or when the copy into the table fails.
*/
const char *og_getenv(const char *name)
{
    if (name == nullptr) {
        appli_set_errno(EA_INVPRMS, "og_getenv(): nom a NULL", APPLI_SOURCE, __LINE__);
        return nullptr;
    }
    const OG_ENVLIST_ELT *p_elt = chercherVariable(name);
    if (p_elt != nullptr) return p_elt->val;

    const char *s_env = getenv(name);
    if (s_env != nullptr) {
        p_elt = m_og_add_envlist(name, s_env);
        return p_elt == nullptr ? nullptr : p_elt->val;
    }
    snprintf(s_ogMessage, sizeof s_ogMessage, "og_getenv(): variable %s non definie", name);
    appli_set_errno(EX_VARENV, s_ogMessage, APPLI_SOURCE, __LINE__);
    return nullptr;
}

/* Append at most n characters of src to the result res[*len..limite); true when all fit. */
static bool ajouterTexte(char *res, int *len, int limite, const char *src, size_t n)
{
    size_t place = static_cast<size_t>(limite - *len);
    size_t copie = n < place ? n : place;
    memcpy(res + *len, src, copie);
    *len += static_cast<int>(copie);
    return copie == n;
}

/*
** The expansion of og_expand_env; returns true when the result had to be cut
** (to fit min(capacity, OG_LONG_BUF) - 1 characters).
*/
static bool expanserReferences(char *text, int capacity)
{
    if (text == nullptr || capacity < 1 || og_is_blank(text)) return false;
    const char *src = og_skip_spaces(text);
    if (src == nullptr) {        /* white space only: nothing is left */
        text[0] = '\0';
        return false;
    }
    og_trim_right(text, OG_BLANCS_FIN);

    char res[OG_LONG_BUF];
    int limite = (capacity < OG_LONG_BUF ? capacity : OG_LONG_BUF) - 1;
    int len = 0;
    bool coupe = false;
    while (*src != '\0') {
        if (*src != '$') {
            size_t n = strcspn(src, "$");
            coupe |= !ajouterTexte(res, &len, limite, src, n);
            src += n;
            continue;
        }
        /* A reference: "$" and the longest run of non-separators. */
        src++;
        size_t longNom = strcspn(src, OG_SEPARATEURS_REF);
        char nom[OG_LONG_NOM_REF + 1];
        og_strncpyz(nom, src, longNom < static_cast<size_t>(OG_LONG_NOM_REF)
                                  ? static_cast<int>(longNom) : OG_LONG_NOM_REF);
        src += longNom;          /* the part of a name past 259 characters goes too */
        const char *s_val = og_getenv(nom);
        if (s_val != nullptr) coupe |= !ajouterTexte(res, &len, limite, s_val, strlen(s_val));
    }
    res[len] = '\0';
    memcpy(text, res, static_cast<size_t>(len) + 1);
    return coupe;
}

/*
** Replace, in place, every "$NAME" of text by the value og_getenv gives for
** NAME (nothing when undefined; the undefined name is then recorded with
** EX_VARENV).  NAME is the longest run of characters other than
** " #$/\:;", tab and "."; its first 259 characters are looked up and the rest
** is dropped.  Leading white space and trailing spaces, tabs and newlines go.
** A null, empty or all-space text is left alone.  The result is cut to
** min(capacity, 1024) - 1 characters; capacity is the size of text's storage.
*/
void og_expand_env(char *text, int capacity)
{
    expanserReferences(text, capacity);
}

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

/* ---------------------------------------------------------------------- */
/* The settings file loader.                                               */

/*
** The state of one top-level load: how many files are open in the chain of
** includes, outermost first, and how many include lines it has followed.
*/
struct ChaineInclusions {
    int nbFichiers;
    int nbInclusions;
};

static int chargerFichier(const char *fileName, const char *section, ChaineInclusions *chaine);
static int lireLignes(FILE *fp, const char *fileName, const char *section, ChaineInclusions *chaine);

/*
** Read the next line of fp into line (OG_LONG_BUF bytes) as fgets does: a
** line of OG_LONG_BUF characters or more comes as several pieces.  A carriage
** return that ends the line (before its newline, or at the end of the file)
** is removed, also when it ends a piece whose newline is the next character.
** False at the end of the file or on a read error.
*/
static bool lireLigne(FILE *fp, char *line)
{
    if (fgets(line, OG_LONG_BUF, fp) == nullptr) return false;
    size_t n = strlen(line);
    if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') {
        line[n - 2] = '\n';
        line[n - 1] = '\0';
    } else if (n >= 1 && line[n - 1] == '\r') {
        int c = getc(fp);
        if (c == '\n' || c == EOF) line[n - 1] = '\0';
        if (c != EOF) ungetc(c, fp);
    }
    return true;
}

/*
** Follow the include line whose text after "." is rest.  A nested load that
** would go deeper than OG_PROFONDEUR_INCLUDE_MAX, or past the
** OG_NB_INCLUSIONS_MAX include lines of the whole load, is not made
** (recorded with EA_FMTFICH).  The nested load's result is ignored by design.
*/
static void suivreInclusion(char *rest, const char *fileName, int numLigne, ChaineInclusions *chaine)
{
    char *nom = og_skip_spaces(rest);
    if (nom == nullptr) return;
    og_trim_right(nom, OG_BLANCS_FIN);
    if (*nom == '\0') return;
    const char *refus = nullptr;
    if (chaine->nbFichiers > OG_PROFONDEUR_INCLUDE_MAX)
        refus = "inclusion trop profonde";
    else if (chaine->nbInclusions >= OG_NB_INCLUSIONS_MAX)
        refus = "trop d'inclusions";
    if (refus != nullptr) {
        snprintf(s_ogMessage, sizeof s_ogMessage, "og_add_envfile(): %s dans le fichier %s, ligne %d", refus,
                 fileName, numLigne);
        appli_set_errno(EA_FMTFICH, s_ogMessage, APPLI_SOURCE, __LINE__);
        return;
    }
    chaine->nbInclusions++;
    (void)chargerFichier(nom, nullptr, chaine);
}

/*
** Define the variable of the assignment line that starts at start and whose
** first "=" is egal.  0, or -1 when the definition failed.
*/
static int definirAffectation(char *start, char *egal)
{
    *egal = '\0';
    og_trim_right(start, OG_BLANCS_FIN);

    char valeur[OG_LONG_BUF];
    const char *debutVal = og_skip_spaces(egal + 1);
    og_strncpyz(valeur, debutVal == nullptr ? "" : debutVal, OG_LONG_BUF - 1);
    og_trim_right(valeur, OG_BLANCS_FIN);
    og_expand_env(valeur, OG_LONG_BUF);
    return m_og_add_envlist(start, valeur) == nullptr ? -1 : 0;
}

/*
** Load the settings file fileName (its "$NAME" references expanded) as the
** next file of the include chain.  The contract is og_add_envfile's.
*/
static int chargerFichier(const char *fileName, const char *section, ChaineInclusions *chaine)
{
    if (m_og_init_envlist() != 0) return -1;
    if (fileName == nullptr) {
        appli_set_errno(EA_INVPRMS, "og_add_envfile(): nom de fichier a NULL", APPLI_SOURCE, __LINE__);
        return -1;
    }

    /* A name that does not fit the buffer, before or after expansion, would
       open another file than the one meant: refuse it. */
    char nomFichier[OG_LONG_BUF];
    bool tropLong = strlen(fileName) >= sizeof nomFichier;
    if (!tropLong) {
        og_strncpyz(nomFichier, fileName, OG_LONG_BUF - 1);
        tropLong = expanserReferences(nomFichier, OG_LONG_BUF);
    }
    if (tropLong) {
        snprintf(s_ogMessage, sizeof s_ogMessage, "og_add_envfile(): nom de fichier %s trop long", fileName);
        appli_set_errno(EA_INVPRMS, s_ogMessage, APPLI_SOURCE, __LINE__);
        return -1;
    }

    FILE *fp = fopen(nomFichier, "r");
    if (fp == nullptr) return -1;
    if (!estFluxLisible(fp)) {
        /* A directory or a device (/dev/zero would never end): not a settings file. */
        fclose(fp);
        return -1;
    }
    chaine->nbFichiers++;
    int rc = lireLignes(fp, fileName, section, chaine);
    chaine->nbFichiers--;
    fclose(fp);
    return rc;
}

/*
** Read the lines of the open settings file fp (named fileName in messages)
** into the table, with the rules of og_add_envfile.  0 at the end of the
** file; -1 on a line without "=", a failed definition or a read error.
*/
static int lireLignes(FILE *fp, const char *fileName, const char *section, ChaineInclusions *chaine)
{
    bool dedans = (section == nullptr);
    char line[OG_LONG_BUF];
    int numLigne = 0;
    while (lireLigne(fp, line)) {
        if (numLigne < INT_MAX) numLigne++;
        char *start = og_skip_spaces(line);
        if (start == nullptr) continue;

        if (section != nullptr && *start == '[') {
            char *fin = strchr(start, ']');
            if (fin == nullptr) {
                dedans = false;
            } else {
                *fin = '\0';
                dedans = (strcmp(start + 1, section) == 0);
            }
            continue;
        }
        if (!dedans) continue;
        if (*start == '#' || *start == '[') continue;
        if (strncmp(start, "export", 6) == 0) continue;
        if (*start == '.') {
            suivreInclusion(start + 1, fileName, numLigne, chaine);
            continue;
        }

        char *egal = strchr(start, '=');
        if (egal == nullptr) {
            snprintf(s_ogMessage, sizeof s_ogMessage,
                     "og_add_envfile(): format du fichier %s erronne, ligne %d", fileName, numLigne);
            appli_set_errno(EA_FMTFICH, s_ogMessage, APPLI_SOURCE, __LINE__);
            return -1;
        }
        if (definirAffectation(start, egal) != 0) return -1;
    }

    if (ferror(fp)) {
        appli_set_errno(EX_FILACCES, "og_add_envfile(): erreur sur fgets()", APPLI_SOURCE, __LINE__);
        return -1;
    }
    return 0;
}

/*
** Load the settings file fileName into the table.  section null: every line
** counts; otherwise only the lines under a "[section]" header of that exact
** name.  Returns 0 when the whole file was read; -1 when the table cannot be
** created, the name is null or too long (EA_INVPRMS), the file cannot be
** opened (nothing recorded), a line has no "=" (EA_FMTFICH), a read fails
** (EX_FILACCES) or a definition fails.  Definitions made before a failure
** stay.  Include lines load their file recursively (OG_PROFONDEUR_INCLUDE_MAX
** levels deep at most, a file that includes itself included; at most
** OG_NB_INCLUSIONS_MAX include lines in all); their failures are ignored.
*/
int og_add_envfile(const char *fileName, const char *section)
{
    ChaineInclusions chaine{};
    return chargerFichier(fileName, section, &chaine);
}
