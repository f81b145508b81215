/*
** Reading of the instance files and of the candidate's solution file into the
** InstancePb, and the text reports on an evaluated sequence.
**
** Every reader has the same shape: it tests that its file exists, prepares
** the fields of the InstancePb that the file fills, and hands the file to the
** line reader (OSupUtils_lireFichierParLigne) with a ContexteDecodage and its
** decoding function.  A decoding function receives one non-empty line, counts
** it in i_numLigne (the heading line is line 1; the solution decoder does not
** count), takes its fields into buffers of OSUP_LONG_CHAMP characters (a
** longer field is cut to 255 characters) and stores one record.  It returns 0
** to go on; on a refused line it reports why through OSupTrace_Report and
** returns -1, and the line reader adds the refused line and stops.  Whatever
** was stored before a refused line stays in the InstancePb.
**
** Numbers are read leniently (mQuelto_lireEntier): leading white space and a
** sign are accepted, reading stops at the first non-digit, a text without a
** digit reads 0, and a value beyond the 32-bit range saturates.
**
** Invariants kept on the InstancePb once the vehicles file is read:
**   - every vehicle of l_vehFiges is dated s_jourJMoins1, every vehicle of
**     l_vehAOrdonnancer is dated s_jourJ, which is non-empty as soon as one
**     vehicle is in l_vehAOrdonnancer and compares greater than s_jourJMoins1;
**   - s_jourJMoins1 is never empty once a vehicle has been stored;
**   - each stored vehicle has flag arrays of list_length(l_ecartsPrio) and
**     list_length(l_ecartsNonPrio) places (at least one place, so that an
**     empty array is a valid pointer), never written again and never freed;
**     vehicles with equal flags may share them (see mQuelto_partagerFlags).
**
** The solution file may also be read ahead, on another thread, once the
** vehicles file is read (mQuelto_anticiperFichSeqSolution): that reading
** only reads the day-D vehicles' identifiers and writes their candidate
** ranks, reports nothing, and its messages are replayed in order by the
** run's reading of the file.
**
** The reports only read the InstancePb and the IndicateursSolution; the
** sequence is l_vehAOrdonnancer walked in the order of its primary index,
** which the caller has sorted.
*/
#include "QueltoDecodageLignesFichiers.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "QueltoGesDonnees.h"
#include "applierrno.h"
#include "applistd.h"
#include "commande_unix.h"
#include "list.h"
#include "osuptraces.h"
#include "osuputils.h"
#include "traces.h"
#include "util_string.h"

/* Line buffer length given to the line reader by every reader. */
static constexpr int QUELTO_LONG_LIGNE = 10000;
/* The field separator of every file of the instance. */
static const char *const QUELTO_SEPARATEUR = ";";

/* ------------------------------------------------------------------------ */
/* Messages                                                                  */
/* ------------------------------------------------------------------------ */

/*
** A formatted message.  The text lives in the fixed buffer when it fits,
** otherwise in a heap copy of its full length that the destructor frees, so a
** message is never cut (a path of any length included).  Should that copy be
** impossible, the text stays cut to the fixed buffer.
*/
struct MessageQuelto {
    char fixe[4096];
    char *tas = nullptr;
    const char *texte = fixe;
    MessageQuelto() { fixe[0] = '\0'; }
    ~MessageQuelto() { free(tas); }
    MessageQuelto(const MessageQuelto &) = delete;
    MessageQuelto &operator=(const MessageQuelto &) = delete;
};

static void mQuelto_formater(MessageQuelto &m, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

static void mQuelto_formater(MessageQuelto &m, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(m.fixe, sizeof m.fixe, fmt, ap);
    va_end(ap);
    if (n < 0 || static_cast<size_t>(n) < sizeof m.fixe) return;
    char *p = static_cast<char *>(malloc(static_cast<size_t>(n) + 1));
    if (p == nullptr) return;
    va_start(ap, fmt);
    vsnprintf(p, static_cast<size_t>(n) + 1, fmt, ap);
    va_end(ap);
    m.tas = p;
    m.texte = p;
}

/* Report the message through the error report, located at ligneSource here. */
static void mQuelto_signaler(int ligneSource, const MessageQuelto &m)
{
    OSupTrace_Report(APPLI_SOURCE, ligneSource, nullptr, 0, "%s", m.texte);
}

/* Report an empty message: an internal failure whose location is the news. */
static void mQuelto_signalerVide(int ligneSource)
{
    OSupTrace_Report(APPLI_SOURCE, ligneSource, nullptr, 0, "%s", "");
}

/*
** A warning of the solution file: the text on standard output (flushed), then
** the same text in the trace log without location.
*/
static void mQuelto_avertir(const char *texte)
{
    fputs(texte, stdout);
    fflush(stdout);
    f_dbg_trace(nullptr, 0, nullptr, 0, "%s", texte);
}

static void mQuelto_avertir(const MessageQuelto &m)
{
    mQuelto_avertir(m.texte);
}

/* ------------------------------------------------------------------------ */
/* Numbers                                                                   */
/* ------------------------------------------------------------------------ */

static bool mQuelto_estEspace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/*
** Read a decimal integer at the start of texte: white space skipped, one
** optional sign, then digits up to the first non-digit.  A value beyond the
** 32-bit range gives INT32_MAX or INT32_MIN.  *fin receives the character after
** the last digit, or texte itself when there is no digit (the value is then
** 0); *luOut, when given, tells whether a digit was read.
*/
static int32_t mQuelto_lireEntierDe(const char *texte, const char **fin, bool *luOut)
{
    const char *c = texte;
    while (mQuelto_estEspace(*c)) c++;
    bool negatif = false;
    if (*c == '+' || *c == '-') negatif = (*c++ == '-');
    int64_t valeur = 0;
    const char *debutChiffres = c;
    for (; *c >= '0' && *c <= '9'; c++) {
        if (valeur <= INT64_C(2147483648)) valeur = valeur * 10 + (*c - '0');
    }
    bool lu = c != debutChiffres;
    if (luOut != nullptr) *luOut = lu;
    if (fin != nullptr) *fin = lu ? c : texte;
    if (!lu) return 0;
    if (negatif) return valeur >= INT64_C(2147483648) ? INT32_MIN : static_cast<int32_t>(-valeur);
    return valeur > INT32_MAX ? INT32_MAX : static_cast<int32_t>(valeur);
}

/* The lenient reading of a whole field (0 when it holds no number). */
static int32_t mQuelto_lireEntier(const char *texte)
{
    return mQuelto_lireEntierDe(texte, nullptr, nullptr);
}

/*
** Read a ratio "p/q" as the pattern "%d/%d" of formatted input reads it: each
** number after optional white space and sign, the "/" right after the digits
** of p, anything after q ignored.  true when both numbers were read; the
** numbers saturate at the 32-bit range.
*/
static bool mQuelto_lireRatio(const char *texte, int32_t *p, int32_t *q)
{
    const char *c = nullptr;
    bool lu = false;
    *p = mQuelto_lireEntierDe(texte, &c, &lu);
    if (!lu || *c != '/') return false;
    *q = mQuelto_lireEntierDe(c + 1, &c, &lu);
    return lu;
}

/*
** The fields of one line taken in turn as OSupUtils_extraireChamp takes them
** (the same fields, the same cut to OSUP_LONG_CHAMP - 1 characters, the same
** next start), with the line's length taken once (the line reader knows it)
** rather than measured at every field: a vehicle line has some twenty fields.  A field asked for past the
** end of the line goes to OSupUtils_extraireChamp itself, which reports it
** (1 UTILS 00003) and fails.
*/
struct ChampsLigne {
    const char *ligne;
    const char *separateur;
    size_t longueur;
    int suivant;      /* where the next field starts */
};

static ChampsLigne mQuelto_champs(const char *ligne, const char *separateur)
{
    return ChampsLigne{ligne, separateur, OSupUtils_longueurLigne(ligne), 0};
}

/*
** The next field: its first character, its length in *longueurChamp (the
** text is not terminated); null when the line has no more field (reported).
*/
static const char *mQuelto_champSuivant(ChampsLigne &c, size_t *longueurChamp)
{
    if (c.separateur == nullptr || static_cast<size_t>(c.suivant) > c.longueur) {
        char champ[OSUP_LONG_CHAMP];
        const int debut = c.suivant;
        OSupUtils_extraireChamp(c.ligne, c.separateur, debut, &c.suivant, champ); /* fails, and reports */
        return nullptr;
    }
    /* Fields are short (a rank, an identifier): a plain scan beats a call. */
    const char *debut = c.ligne + c.suivant, *finLigne = c.ligne + c.longueur;
    const char sep = c.separateur[0];
    const char *fin = debut;
    while (fin < finLigne && *fin != sep) fin++;
    *longueurChamp = static_cast<size_t>(fin - debut);
    c.suivant = static_cast<int>(fin - c.ligne) + 1;
    return debut;
}

/* The next field copied into champ (OSUP_LONG_CHAMP places, cut).  0, or -1 when missing (reported). */
static int mQuelto_extraireChamp(ChampsLigne &c, char *champ)
{
    size_t n = 0;
    const char *texte = mQuelto_champSuivant(c, &n);
    if (texte == nullptr) return -1;
    if (n > static_cast<size_t>(OSUP_LONG_CHAMP) - 1) n = static_cast<size_t>(OSUP_LONG_CHAMP) - 1;
    memcpy(champ, texte, n);
    champ[n] = '\0';
    return 0;
}

/* ------------------------------------------------------------------------ */
/* The four instance files                                                   */
/* ------------------------------------------------------------------------ */

/*
** Read the four instance files whose paths are in the instance: paint batch
** limit, objectives, ratio constraints, vehicles, stopping at the first that
** fails.  0 when all four were read, else -1 (each reader has reported).
*/
int Quelto_lireFichiersEtMajInstancePb(InstancePb *instance)
{
    if (mQuelto_lireFichLongMaxTeinteEtMajInstancePb(instance) != 0) return -1;
    if (mQuelto_lireFichObjectifsEtMajInstancePb(instance) != 0) return -1;
    if (mQuelto_lireFichEcartsCritEtMajInstancePb(instance) != 0) return -1;
    if (mQuelto_lireFichVehEtMajInstancePb(instance) != 0) return -1;
    return 0;
}

/*
** Count one more non-empty line in the context and return its number; the
** count stays at its greatest value rather than overflow.
*/
static int32_t mQuelto_compterLigne(ContexteDecodage *ctx)
{
    if (ctx->i_numLigne < INT32_MAX) ctx->i_numLigne++;
    return ctx->i_numLigne;
}

/* 1 when the file at chemin exists (the existence test of every reader). */
static bool mQuelto_fichierExiste(const char *chemin)
{
    return testerExistenceFichier(chemin, nullptr) == 1;
}

/* Hand the file to the line reader with a fresh context.  0 / -1. */
static int mQuelto_lireFichier(InstancePb *instance, const char *chemin, OSupUtils_FonctionDecodage decode,
                               ContexteDecodage *ctx)
{
    ctx->p_instancePb = instance;
    ctx->s_separateur = QUELTO_SEPARATEUR;
    ctx->i_numLigne = 0;
    return OSupUtils_lireFichierParLigne(chemin, decode, ctx, QUELTO_LONG_LIGNE) == 0 ? 0 : -1;
}

/*
** Paint batch limit file: sets i_longMaxRafTeintes from the last data line.
** -1 when the file is missing (S_MSG_ERR_0013), a line is refused, or the file
** has no data line at all (S_MSG_ERR_0036): a limit must come from the file.
*/
int mQuelto_lireFichLongMaxTeinteEtMajInstancePb(InstancePb *instance)
{
    MessageQuelto m;
    const char *chemin = instance->s_fichLongMaxRafTeintes;
    if (!mQuelto_fichierExiste(chemin)) {
        mQuelto_formater(m, "\nS_MSG_ERR_0013 : mQuelto_lireFichLongMaxTeinteEtMajInstancePb : file (%s) not found !!\n",
                         chemin);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    ContexteDecodage ctx;
    if (mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneLongMaxTeinte, &ctx) != 0) return -1;
    if (ctx.i_numLigne < 2) {
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0036 : mQuelto_lireFichLongMaxTeinteEtMajInstancePb : file (%s) gives no "
                         "limitation on the upper batch size of paint color batches !!\n",
                         chemin);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    return 0;
}

/*
** One line of the paint batch limit file: after the heading, field 1 read as
** an integer must be greater than 0 (else S_MSG_ERR_0014) and becomes the
** limit.  0 / -1.
*/
int mQuelto_decodeLigneLongMaxTeinte(char *ligne, void *contexte)
{
    ContexteDecodage *ctx = static_cast<ContexteDecodage *>(contexte);
    if (mQuelto_compterLigne(ctx) == 1) return 0;  /* heading */

    char champ1[OSUP_LONG_CHAMP];
    int suivant = 0;
    if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, 0, &suivant, champ1) != 0) return -1;
    int32_t limite = mQuelto_lireEntier(champ1);
    if (limite > 0) {
        ctx->p_instancePb->i_longMaxRafTeintes = limite;
        return 0;
    }
    MessageQuelto m;
    mQuelto_formater(m,
                     "\nS_MSG_ERR_0014 : mQuelto_decodeLigneLongMaxTeinte : Limitation on the upper batch size of "
                     "paint color batches (%s) invalid !!\n",
                     champ1);
    mQuelto_signaler(__LINE__, m);
    return -1;
}

/*
** Objectives file: resets the three objective places, then fills them in
** file order.  -1 when the file is missing (S_MSG_ERR_0015, nothing reset) or
** a line is refused.
*/
int mQuelto_lireFichObjectifsEtMajInstancePb(InstancePb *instance)
{
    const char *chemin = instance->s_fichObjectifOptim;
    if (!mQuelto_fichierExiste(chemin)) {
        MessageQuelto m;
        mQuelto_formater(m, "\nS_MSG_ERR_0015 : mQuelto_lireFichObjectifsEtMajInstancePb : file (%s) not found !!\n",
                         chemin);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    instance->i_nbObjectifs = 0;
    for (int i = 0; i < QUELTO_NB_MAX_OBJECTIFS; i++) {
        instance->s_nomsObjectifs[i][0] = '\0';
        instance->i_codesObjectifs[i] = -1;
    }
    ContexteDecodage ctx;
    return mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneObjectifs, &ctx);
}

/* The objective keywords and their codes, searched in this order. */
static const struct {
    const char *motCle;
    int32_t code;
} g_QueltoObjectifs[] = {
    {"high_priority_level_and_easy_to_satisfy_ratio_constraints", QUELTO_OBJ_ECARTS_PRIO},
    {"high_priority_level_and_difficult_to_satisfy_ratio_constraints", QUELTO_OBJ_ECARTS_PRIO},
    {"low_priority_level_ratio_constraints", QUELTO_OBJ_ECARTS_NON_PRIO},
    {"paint_color_batches", QUELTO_OBJ_TEINTES},
};

/*
** One line of the objectives file: after the heading, field 2 must be one of
** the keywords (else S_MSG_ERR_0016) and takes the next objective place; a
** fourth valid objective has no place (S_MSG_ERR_0035).  0 / -1.
*/
int mQuelto_decodeLigneObjectifs(char *ligne, void *contexte)
{
    ContexteDecodage *ctx = static_cast<ContexteDecodage *>(contexte);
    if (mQuelto_compterLigne(ctx) == 1) return 0;  /* heading */

    char champ1[OSUP_LONG_CHAMP], champ2[OSUP_LONG_CHAMP];
    int debut = 0, suivant = 0;
    if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, debut, &suivant, champ1) != 0) return -1;
    debut = suivant;
    if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, debut, &suivant, champ2) != 0) return -1;

    int32_t code = -1;
    for (const auto &obj : g_QueltoObjectifs) {
        if (strcmp(champ2, obj.motCle) == 0) {
            code = obj.code;
            break;
        }
    }
    MessageQuelto m;
    if (code < 0) {
        mQuelto_formater(m, "\nS_MSG_ERR_0016 : mQuelto_decodeLigneObjectifs : optimization objective (%s) invalid !!\n",
                         champ2);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    InstancePb *instance = ctx->p_instancePb;
    if (instance->i_nbObjectifs < 0 || instance->i_nbObjectifs >= QUELTO_NB_MAX_OBJECTIFS) {
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0035 : mQuelto_decodeLigneObjectifs : too many optimization objectives, (%s) "
                         "refused !!\n",
                         champ2);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    og_strncpyz(instance->s_nomsObjectifs[instance->i_nbObjectifs], champ2, QUELTO_LONG_NOM_OBJECTIF);
    instance->i_codesObjectifs[instance->i_nbObjectifs] = code;
    instance->i_nbObjectifs++;
    return 0;
}

/*
** Ratio constraints file: initialises l_ecartsPrio and l_ecartsNonPrio empty,
** then appends one EcartCritere per data line in file order.  -1 when the
** file is missing (S_MSG_ERR_0009, no list initialised) or a line is refused.
*/
int mQuelto_lireFichEcartsCritEtMajInstancePb(InstancePb *instance)
{
    const char *chemin = instance->s_fichEcartsCriteres;
    if (!mQuelto_fichierExiste(chemin)) {
        MessageQuelto m;
        mQuelto_formater(m, "\nS_MSG_ERR_0009 : mQuelto_lireFichEcartsCritEtMajInstancePb : file (%s) not found !!\n",
                         chemin);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    if (list_init(&instance->l_ecartsPrio, 0, 0, sizeof(EcartCritere), nullptr) == nullptr ||
        list_init(&instance->l_ecartsNonPrio, 0, 0, sizeof(EcartCritere), nullptr) == nullptr) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    ContexteDecodage ctx;
    return mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneEcartCritere, &ctx);
}

/*
** One line of the ratio constraints file, "p/q;priority;name;field4": after
** the heading, refuses a ratio that is not "p/q" with q >= 1 and p >= 0
** (S_MSG_ERR_0034) and a priority that is neither "1" nor "0"
** (S_MSG_ERR_0010); appends the constraint to the list of its priority
** (S_MSG_ERR_0011 / 0012 when that fails).  0 / -1.
*/
int mQuelto_decodeLigneEcartCritere(char *ligne, void *contexte)
{
    ContexteDecodage *ctx = static_cast<ContexteDecodage *>(contexte);
    if (mQuelto_compterLigne(ctx) == 1) return 0;  /* heading */

    char champs[4][OSUP_LONG_CHAMP];
    int debut = 0, suivant = 0;
    for (auto &champ : champs) {
        if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, debut, &suivant, champ) != 0) return -1;
        debut = suivant;
    }
    const char *ratio = champs[0], *priorite = champs[1], *nom = champs[2], *champ4 = champs[3];

    MessageQuelto m;
    EcartCritere ecart{};
    if (!mQuelto_lireRatio(ratio, &ecart.i_numerateur, &ecart.i_denominateur) || ecart.i_denominateur < 1 ||
        ecart.i_numerateur < 0) {
        mQuelto_formater(m, "\nS_MSG_ERR_0034 : mQuelto_decodeLigneEcartCritere : ratio (%s) invalid on line (%d) !!\n",
                         ratio, ctx->i_numLigne);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    ecart.i_flagChamp4 = strcmp(champ4, "1") == 0 ? 1 : 0;
    og_strncpyz(ecart.s_nomEcart, nom, QUELTO_LONG_NOM_ECART);
    ecart.d_ratio = ecart.i_numerateur * 100.0 / ecart.i_denominateur;

    InstancePb *instance = ctx->p_instancePb;
    if (strcmp(priorite, "1") == 0) {
        if (list_append(&instance->l_ecartsPrio, &ecart, 0) != 1) {
            mQuelto_formater(m,
                             "\nS_MSG_ERR_0011 : mQuelto_decodeLigneEcartCritere : pb pour inserer l'ecart (%s) dans "
                             "la liste des ecarts prio !!\n",
                             nom);
            mQuelto_signaler(__LINE__, m);
            return -1;
        }
    } else if (strcmp(priorite, "0") == 0) {
        if (list_append(&instance->l_ecartsNonPrio, &ecart, 0) != 1) {
            mQuelto_formater(m,
                             "\nS_MSG_ERR_0012 : mQuelto_decodeLigneEcartCritere : pb pour inserer l'ecart (%s) dans "
                             "la liste des ecarts non prio !!\n",
                             nom);
            mQuelto_signaler(__LINE__, m);
            return -1;
        }
    } else {
        mQuelto_formater(m, "\nS_MSG_ERR_0010 : mQuelto_decodeLigneEcartCritere : priority flag invalid (%s) on line (%d) !!\n",
                         priorite, ctx->i_numLigne);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    return 0;
}

/* Size in bytes of the vehicles file being read (0 when unknown). */
static uint64_t s_tailleFichierVeh = 0;

static void mQuelto_oublierDeBruijn();

/*
** Vehicles file: initialises l_vehFiges and l_vehAOrdonnancer empty and both
** days empty, then reads one vehicle per data line.  Needs the constraint
** lists read already (their lengths give the flag columns).  -1 when the file
** is missing (S_MSG_ERR_0017, lists not initialised) or a line is refused.
*/
/*
** The hashes of the day-D vehicles' identifiers, in rank order, taken while
** a large vehicles file is read (at least QUELTO_NB_VEH_HACHAGES lines by
** the estimate of its first data line): the identifier table of an
** anticipated reading of the solution file is then built from them, instead
** of from the records, which it would read from end to end.  They stand
** for the list liste while they number its vehicles and no candidate rank
** has been written: the first reading of a solution file takes them or
** drops them.  Given up when memory runs short.
*/
struct HachagesJour {
    const LIST *liste = nullptr;   /* the list they are of; null: none */
    uint64_t *h = nullptr;
    size_t nb = 0, capacite = 0;
};
static HachagesJour s_hachagesJour;
static constexpr uint64_t QUELTO_NB_VEH_HACHAGES = 16384;

static uint64_t mQuelto_hacherIdentVeh(const Vehicule *v);

/* Drop the hashes. */
static void mQuelto_oublierHachagesJour()
{
    free(s_hachagesJour.h);
    s_hachagesJour = HachagesJour{};
}

/* Start the hashes of the vehicles of l, for about nbLignes vehicles (none for a small day). */
static void mQuelto_commencerHachagesJour(const LIST *l, uint64_t nbLignes)
{
    mQuelto_oublierHachagesJour();
    if (nbLignes < QUELTO_NB_VEH_HACHAGES || nbLignes > (uint64_t{1} << 30)) return;
    const size_t capacite = static_cast<size_t>(nbLignes);
    uint64_t *h = static_cast<uint64_t *>(malloc(capacite * sizeof(uint64_t)));
    if (h != nullptr) s_hachagesJour = HachagesJour{l, h, 0, capacite};
}

/* Note the hash of v, just appended to l. */
static void mQuelto_noterHachage(const LIST *l, const Vehicule *v)
{
    HachagesJour &hj = s_hachagesJour;
    if (hj.liste != l) return;
    if (hj.nb == hj.capacite) {
        void *plus = hj.capacite <= (size_t{1} << 30) ? realloc(hj.h, 2 * hj.capacite * sizeof(uint64_t)) : nullptr;
        if (plus == nullptr) {
            mQuelto_oublierHachagesJour();
            return;
        }
        hj.h = static_cast<uint64_t *>(plus);
        hj.capacite *= 2;
    }
    hj.h[hj.nb++] = mQuelto_hacherIdentVeh(v);
}

int mQuelto_lireFichVehEtMajInstancePb(InstancePb *instance)
{
    const char *chemin = instance->s_fichVehicules;
    if (!mQuelto_fichierExiste(chemin)) {
        MessageQuelto m;
        mQuelto_formater(m, "\nS_MSG_ERR_0017 : mQuelto_lireFichVehEtMajInstancePb : file (%s) not found !!\n", chemin);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    if (list_init(&instance->l_vehFiges, 200, 0, sizeof(Vehicule), nullptr) == nullptr ||
        list_init(&instance->l_vehAOrdonnancer, 2000, 0, sizeof(Vehicule), nullptr) == nullptr) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    instance->s_jourJ[0] = '\0';
    instance->s_jourJMoins1[0] = '\0';
    mQuelto_oublierHachagesJour();
    std::error_code erreur;
    const uintmax_t taille = std::filesystem::file_size(chemin, erreur);
    s_tailleFichierVeh = erreur || taille == static_cast<uintmax_t>(-1) ? 0 : static_cast<uint64_t>(taille);
    ContexteDecodage ctx;
    const int rc = mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneVeh, &ctx);
    mQuelto_oublierDeBruijn();
    return rc;
}

/*
** The four flags of the 8 characters at texte when they read "f;f;f;f;"
** (each f a 0 or a 1, ";" standing for sep) as the bits of an integer, the
** first flag highest; UINT64_MAX otherwise.
*/
static uint64_t mQuelto_quatreFlags(const char *texte, char sep)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t x;
    memcpy(&x, texte, sizeof x);
    const uint64_t seps = UINT64_C(0x0100010001000100) * static_cast<unsigned char>(sep);
    if ((x & UINT64_C(0xFF00FF00FF00FF00)) != seps || (x & UINT64_C(0x00FE00FE00FE00FE)) != UINT64_C(0x0030003000300030))
        return UINT64_MAX;
    return (x & 1) << 3 | (x >> 16 & 1) << 2 | (x >> 32 & 1) << 1 | (x >> 48 & 1);
#else
    uint64_t bits = 0;
    for (int j = 0; j < 4; j++) {
        if ((texte[2 * j] != '0' && texte[2 * j] != '1') || texte[2 * j + 1] != sep) return UINT64_MAX;
        bits = bits << 1 | static_cast<uint64_t>(texte[2 * j] - '0');
    }
    return bits;
#endif
}

/*
** Read nb option flags of one priority from the fields that follow in
** champs into flags: a field beginning with "1" gives 1, one beginning with
** "0" gives 0, anything else refuses the line with S_MSG_ERR_0021 (high
** priority, prio true) or S_MSG_ERR_0022 (low priority) naming the line, the
** field (cut to 255 characters) and its place counted from 1.  *combinaison
** receives the flags as the bits of an integer, the first flag highest (the
** last 64 flags when there are more).  0 / -1.
*/
static int mQuelto_lireFlagsVeh(ChampsLigne &champs, const ContexteDecodage *ctx, int32_t *flags, int nb, bool prio,
                                uint64_t *combinaison)
{
    uint64_t bits = 0;
    const char sep = champs.separateur != nullptr ? champs.separateur[0] : '\0';
    const char *const ligne = champs.ligne;
    const size_t longueur = champs.longueur;
    for (int k = 1; k <= nb; k++) {
        const size_t debut = static_cast<size_t>(champs.suivant);
        if (k + 3 <= nb && debut + 8 <= longueur && champs.separateur != nullptr) {
            /* Four usual fields at once: "f;f;f;f;" with each f a 0 or a 1. */
            const uint64_t groupe = mQuelto_quatreFlags(ligne + debut, sep);
            if (groupe != UINT64_MAX) {
                for (int j = 0; j < 4; j++) flags[k - 1 + j] = static_cast<int32_t>(groupe >> (3 - j) & 1);
                bits = bits << 4 | groupe;
                champs.suivant = static_cast<int>(debut) + 8;
                k += 3;
                continue;
            }
        }
        /* The usual field: one digit, then the separator or the end of the line. */
        if (debut < longueur && champs.separateur != nullptr) {
            const char c = ligne[debut];
            if ((c == '0' || c == '1') && (debut + 1 == longueur || ligne[debut + 1] == sep)) {
                champs.suivant = static_cast<int>(debut) + 2;
                flags[k - 1] = c - '0';
                bits = bits << 1 | static_cast<uint64_t>(c - '0');
                continue;
            }
        }
        size_t n = 0;
        const char *texte = mQuelto_champSuivant(champs, &n);
        if (texte == nullptr) return -1;
        if (n > 0 && (texte[0] == '1' || texte[0] == '0')) {
            flags[k - 1] = texte[0] - '0';
            bits = bits << 1 | static_cast<uint64_t>(texte[0] - '0');
            continue;
        }
        char champ[OSUP_LONG_CHAMP];
        if (n > static_cast<size_t>(OSUP_LONG_CHAMP) - 1) n = static_cast<size_t>(OSUP_LONG_CHAMP) - 1;
        memcpy(champ, texte, n);
        champ[n] = '\0';
        MessageQuelto m;
        if (prio)
            mQuelto_formater(m,
                             "\nS_MSG_ERR_0021 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid "
                             "flag (%s) on the %d-th high priority level ratio constraint  !!\n",
                             ctx->i_numLigne, champ, k);
        else
            mQuelto_formater(m,
                             "\nS_MSG_ERR_0022 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid "
                             "flag (%s) on the %d-th low priority level ratio constraint !!\n",
                             ctx->i_numLigne, champ, k);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    *combinaison = bits;
    return 0;
}

/*
** A zeroed flag array of nb places (at least one), or null when memory runs
** out.  A day may hold millions of vehicles and each needs two small arrays,
** so they are carved from zero-filled blocks of 64 KiB (a heap block per
** array would cost more than the flags); an array larger than a block gets
** its own.  Like every record of the instance, they are never freed.
*/
static int32_t *mQuelto_allouerFlags(int nb)
{
    static constexpr size_t PLACES_PAR_BLOC = 65536 / sizeof(int32_t);
    static int32_t *bloc = nullptr;   /* the block being carved */
    static size_t placesLibres = 0;   /* places left at its end */
    const size_t n = nb > 0 ? static_cast<size_t>(nb) : 1;
    if (n > PLACES_PAR_BLOC / 4) return static_cast<int32_t *>(calloc(n, sizeof(int32_t)));
    if (n > placesLibres) {
        int32_t *nouveau = static_cast<int32_t *>(calloc(PLACES_PAR_BLOC, sizeof(int32_t)));
        if (nouveau == nullptr) return nullptr;
        bloc = nouveau;
        placesLibres = PLACES_PAR_BLOC;
    }
    int32_t *flags = bloc + (PLACES_PAR_BLOC - placesLibres);
    placesLibres -= n;
    return flags;
}

/*
** The flag arrays of the vehicles of one vehicles file, shared between the
** vehicles whose flags are equal.  A day holds far fewer distinct option
** combinations than vehicles, and each vehicle's two arrays cost more than
** its record, so a vehicle whose flags were met already points at the arrays
** of the first vehicle that had them: the two arrays of one combination are
** carved together (high priority places, then low priority places, at least
** one place each).  Nothing writes a vehicle's flags once they are read.
**
** The combinations met are found again through an open addressing table of
** their arrays (at most half full).  It starts afresh with each vehicles file
** (its first data line) and is given up, for the rest of the file, when so
** many vehicles bring a new combination that the table (up to four places per
** combination) would cost more than it saves.
*/
struct TableFlags {
    int32_t **cases = nullptr;   /* capacity places, a power of 2; null: free */
    size_t capacite = 0;
    size_t nbCombinaisons = 0;
    size_t nbVehicules = 0;
    int nbPrio = 0, nbNonPrio = 0;
    bool abandonnee = false;
};
static TableFlags s_tableFlags;

/* Places of each of the two arrays of a combination. */
static int mQuelto_places(int nb)
{
    return nb > 0 ? nb : 1;
}

static size_t mQuelto_hacherFlags(const int32_t *lus, int nb)
{
    uint64_t h = 0x9e3779b97f4a7c15u;
    for (int k = 0; k < nb; k++) h = (h ^ static_cast<uint32_t>(lus[k])) * 0x100000001b3u + static_cast<uint64_t>(k);
    return static_cast<size_t>(h ^ (h >> 29));
}

/* Put the combination arrays a in the table t (which has a free place). */
static void mQuelto_placerFlags(TableFlags &t, int32_t *a, const int32_t *lus)
{
    size_t i = mQuelto_hacherFlags(lus, t.nbPrio + t.nbNonPrio) & (t.capacite - 1);
    while (t.cases[i] != nullptr) i = (i + 1) & (t.capacite - 1);
    t.cases[i] = a;
}

/* Double the table (or create it); false when memory runs out. */
static bool mQuelto_agrandirTableFlags(TableFlags &t)
{
    const size_t capacite = t.capacite == 0 ? 1024 : 2 * t.capacite;
    int32_t **cases = static_cast<int32_t **>(calloc(capacite, sizeof(int32_t *)));
    if (cases == nullptr) return false;
    TableFlags nouvelle = t;
    nouvelle.cases = cases;
    nouvelle.capacite = capacite;
    int32_t *lus = nullptr;
    for (size_t i = 0; i < t.capacite; i++) {
        int32_t *a = t.cases[i];
        if (a == nullptr) continue;
        /* The combination read back from its two arrays, for its hash. */
        const int nb = t.nbPrio + t.nbNonPrio;
        if (lus == nullptr) lus = static_cast<int32_t *>(malloc(static_cast<size_t>(mQuelto_places(nb)) * sizeof(int32_t)));
        if (lus == nullptr) {
            free(cases);
            return false;
        }
        memcpy(lus, a, static_cast<size_t>(t.nbPrio) * sizeof(int32_t));
        memcpy(lus + t.nbPrio, a + mQuelto_places(t.nbPrio), static_cast<size_t>(t.nbNonPrio) * sizeof(int32_t));
        mQuelto_placerFlags(nouvelle, a, lus);
    }
    free(lus);
    free(t.cases);
    t = nouvelle;
    return true;
}

/* The arrays of combination lus in the table, or null. */
static int32_t *mQuelto_chercherFlags(const TableFlags &t, const int32_t *lus)
{
    const size_t nbOctetsP = static_cast<size_t>(t.nbPrio) * sizeof(int32_t);
    const size_t nbOctetsNP = static_cast<size_t>(t.nbNonPrio) * sizeof(int32_t);
    size_t i = mQuelto_hacherFlags(lus, t.nbPrio + t.nbNonPrio) & (t.capacite - 1);
    for (; t.cases[i] != nullptr; i = (i + 1) & (t.capacite - 1)) {
        const int32_t *a = t.cases[i];
        if (memcmp(a, lus, nbOctetsP) == 0 && memcmp(a + mQuelto_places(t.nbPrio), lus + t.nbPrio, nbOctetsNP) == 0)
            return t.cases[i];
    }
    return nullptr;
}

/*
** All the combinations of the flags of one priority at once, for a file so
** long that most combinations are likely to occur (ten random options of a
** priority over a million vehicles): the windows of k consecutive places of
** a binary de Bruijn sequence of order k, k being the number of constraints
** of the priority, in which every combination of k flags appears exactly
** once as a window (the first k - 1 places are repeated after the 2^k places
** of the sequence, so that the windows that wrap round are contiguous too).
** A vehicle's array of a priority is the window of its combination.  The
** day then costs 4 * 2^k bytes of flags per priority instead of up to 4 * k
** per vehicle, small enough to stay near the processor while a sequence is
** walked.  The start of each combination's window (another 4 * 2^k bytes)
** is kept while the file is read.
*/
struct SequenceDeBruijn {
    int k = 0;
    int32_t *places = nullptr;    /* 2^k + k places, the last one spare; never freed */
    int32_t *fenetre = nullptr;   /* by combination (place 0 as highest bit): start of its window */
};
struct DeBruijnFlags {
    bool actif = false;
    SequenceDeBruijn prio, nonPrio;
};
static DeBruijnFlags s_deBruijn;

/* The greatest k for which a sequence is built (2^24 places: 64 MiB). */
static constexpr int QUELTO_K_MAX_DE_BRUIJN = 24;

/* Leave de Bruijn flags (the places stay: vehicles point into them). */
static void mQuelto_oublierDeBruijn()
{
    free(s_deBruijn.prio.fenetre);
    free(s_deBruijn.nonPrio.fenetre);
    s_deBruijn = DeBruijnFlags{};
}

/*
** Build the sequence of order k (0 <= k <= QUELTO_K_MAX_DE_BRUIJN) as the
** concatenation, in lexicographic order, of the Lyndon words whose length
** divides k (Fredricksen, Kessler and Maiorana), then the start of every
** window (order 0: one place, the window of the empty combination).  false
** when memory runs out (nothing kept).
*/
static bool mQuelto_construireDeBruijn(SequenceDeBruijn &s, int k)
{
    const size_t n = size_t{1} << k;
    int32_t *places = static_cast<int32_t *>(calloc(n + static_cast<size_t>(k), sizeof(int32_t)));
    int32_t *fenetre = static_cast<int32_t *>(calloc(n, sizeof(int32_t)));
    if (places == nullptr || fenetre == nullptr) {
        free(places);
        free(fenetre);
        return false;
    }
    if (k > 0) {
        int32_t a[QUELTO_K_MAX_DE_BRUIJN + 1] = {0}; /* a[1..k]: the current prenecklace */
        size_t longueur = 0;
        for (int i = 1;;) {
            if (k % i == 0)
                for (int j = 1; j <= i; j++) places[longueur++] = a[j];
            i = k;
            while (i > 0 && a[i] == 1) i--;
            if (i == 0) break;
            a[i] = 1;
            for (int j = i + 1; j <= k; j++) a[j] = a[j - i];
        }
        for (int j = 0; j < k - 1; j++) places[n + static_cast<size_t>(j)] = places[j];
        uint32_t v = 0;
        for (int j = 0; j < k - 1; j++) v = v << 1 | static_cast<uint32_t>(places[j]);
        for (size_t p = 0; p < n; p++) {
            v = (v << 1 | static_cast<uint32_t>(places[p + static_cast<size_t>(k) - 1])) &
                static_cast<uint32_t>(n - 1);
            fenetre[v] = static_cast<int32_t>(p);
        }
    }
    s = SequenceDeBruijn{k, places, fenetre};
    return true;
}

/*
** At the first data line of a vehicles file: use de Bruijn flags when the
** file is expected to hold at least half as many vehicles (nbLignes,
** estimated from the file's size) as there are combinations of either
** priority, so that the sequences cost at most 8 bytes per vehicle each.
** Otherwise, or when memory runs out, the combinations are shared through
** the table below.
*/
static void mQuelto_choisirDeBruijn(int nbPrio, int nbNonPrio, uint64_t nbLignes)
{
    mQuelto_oublierDeBruijn();
    for (int k : {nbPrio, nbNonPrio})
        if (k > QUELTO_K_MAX_DE_BRUIJN || (uint64_t{1} << k) > 2 * nbLignes) return;
    if (nbPrio + nbNonPrio == 0) return;
    DeBruijnFlags d;
    if (!mQuelto_construireDeBruijn(d.prio, nbPrio)) return;
    if (!mQuelto_construireDeBruijn(d.nonPrio, nbNonPrio)) {
        free(d.prio.places); /* no vehicle points into it yet */
        free(d.prio.fenetre);
        return;
    }
    d.actif = true;
    s_deBruijn = d;
}

/* The window of s for the combination of its s.k flags (the first flag highest). */
static int32_t *mQuelto_fenetreDeBruijn(const SequenceDeBruijn &s, uint64_t combinaison)
{
    return s.places + s.fenetre[combinaison & ((uint64_t{1} << s.k) - 1)];
}

/*
** The two flag arrays of a vehicle whose flags lus are nbPrio high priority
** then nbNonPrio low priority flags (combinaisons: the same flags as the bits
** of one integer per priority, see mQuelto_lireFlagsVeh): those of an equal
** combination met earlier in the file, or new ones, or their de Bruijn
** window.  premiereLigne
** starts afresh and chooses between the table and the de Bruijn sequence by
** nbLignes, the number of lines the file is expected to hold.  0, or -1 when
** memory runs out.
*/
static int mQuelto_partagerFlags(const int32_t *lus, const uint64_t combinaisons[2], int nbPrio, int nbNonPrio,
                                 bool premiereLigne, uint64_t nbLignes, Vehicule *v)
{
    TableFlags &t = s_tableFlags;
    if (premiereLigne || t.nbPrio != nbPrio || t.nbNonPrio != nbNonPrio) {
        free(t.cases);
        t = TableFlags{};
        t.nbPrio = nbPrio;
        t.nbNonPrio = nbNonPrio;
        mQuelto_choisirDeBruijn(nbPrio, nbNonPrio, premiereLigne ? nbLignes : 0);
    }
    if (s_deBruijn.actif) {
        v->i_vectBoolEcPrio = mQuelto_fenetreDeBruijn(s_deBruijn.prio, combinaisons[0]);
        v->i_vectBoolEcNonPrio = mQuelto_fenetreDeBruijn(s_deBruijn.nonPrio, combinaisons[1]);
        return 0;
    }
    t.nbVehicules++;
    int32_t *a = t.cases != nullptr ? mQuelto_chercherFlags(t, lus) : nullptr;
    if (a == nullptr) {
        a = mQuelto_allouerFlags(mQuelto_places(nbPrio) + mQuelto_places(nbNonPrio));
        if (a == nullptr) return -1;
        memcpy(a, lus, static_cast<size_t>(nbPrio) * sizeof(int32_t));
        memcpy(a + mQuelto_places(nbPrio), lus + nbPrio, static_cast<size_t>(nbNonPrio) * sizeof(int32_t));
        if (!t.abandonnee) {
            t.nbCombinaisons++;
            const size_t octets = static_cast<size_t>(mQuelto_places(nbPrio) + mQuelto_places(nbNonPrio)) * sizeof(int32_t);
            if (t.nbVehicules >= 65536 && t.nbCombinaisons * (octets + 4 * sizeof(int32_t *)) > t.nbVehicules * octets) {
                free(t.cases);
                t.cases = nullptr;
                t.capacite = 0;
                t.abandonnee = true;
            } else if (2 * t.nbCombinaisons > t.capacite && !mQuelto_agrandirTableFlags(t)) {
                return -1;
            } else {
                mQuelto_placerFlags(t, a, lus);
            }
        }
    }
    v->i_vectBoolEcPrio = a;
    v->i_vectBoolEcNonPrio = a + mQuelto_places(nbPrio);
    return 0;
}

/* Room for the nb flags of one line (kept from line to line), or null. */
static int32_t *mQuelto_tamponFlags(int nb)
{
    static int32_t *tampon = nullptr;
    static int places = 0;
    if (nb > places) {
        int32_t *p = static_cast<int32_t *>(realloc(tampon, static_cast<size_t>(nb) * sizeof(int32_t)));
        if (p == nullptr) return nullptr;
        tampon = p;
        places = nb;
    }
    return tampon != nullptr ? tampon : mQuelto_allouerFlags(1);
}

/*
** A field of a vehicle line, in place in the line: its first character and
** its length (the text is not terminated; the separator or the end of the
** line follows it).
*/
struct ChampVeh {
    const char *texte = nullptr;
    size_t longueur = 0;
};

/* The field cut to OSUP_LONG_CHAMP - 1 characters and terminated, in champ; returns champ. */
static const char *mQuelto_copierChamp(const ChampVeh &c, char *champ)
{
    const size_t n = c.longueur < static_cast<size_t>(OSUP_LONG_CHAMP) - 1 ? c.longueur
                                                                          : static_cast<size_t>(OSUP_LONG_CHAMP) - 1;
    memcpy(champ, c.texte, n);
    champ[n] = '\0';
    return champ;
}

/*
** The field read as an integer as mQuelto_lireEntier reads its copy cut to
** OSUP_LONG_CHAMP - 1 characters.  A field that fits is read in place when
** what follows it (the end of the line, or a separator that is neither
** white space, a sign nor a digit) stops the reading as the terminator of
** the copy would.
*/
static int32_t mQuelto_lireEntierChamp(const ChampVeh &c)
{
    /* The usual field: one to nine digits and nothing else. */
    if (c.longueur - 1 < 9) {
        int32_t valeur = 0;
        size_t i = 0;
        for (; i < c.longueur && c.texte[i] >= '0' && c.texte[i] <= '9'; i++) valeur = valeur * 10 + (c.texte[i] - '0');
        if (i == c.longueur) return valeur;
    }
    if (c.longueur < static_cast<size_t>(OSUP_LONG_CHAMP)) {
        const char suite = c.texte[c.longueur];
        if (suite == '\0' || (!mQuelto_estEspace(suite) && (suite < '0' || suite > '9') && suite != '+' && suite != '-'))
            return mQuelto_lireEntier(c.texte);
    }
    char champ[OSUP_LONG_CHAMP];
    return mQuelto_lireEntier(mQuelto_copierChamp(c, champ));
}

/*
** The field stored into a zeroed text of capacity + 1 places as og_strncpyz
** stores its copy cut to OSUP_LONG_CHAMP - 1 characters: its first capacity
** characters at most, terminated.
*/
static void mQuelto_copierTexte(const ChampVeh &c, char *texte, size_t capacite)
{
    const size_t n = c.longueur < capacite ? c.longueur : capacite;
    memcpy(texte, c.texte, n);
    texte[n] = '\0';
}

/*
** Whether the date stored from field c equals jour (a text of capacity
** QUELTO_LONG_DATE + 1): its length is known, so comparing the bytes up to its
** terminator included tells as strcmp would.
*/
static bool mQuelto_dateEgale(const char *date, const ChampVeh &c, const char *jour)
{
    const size_t n = (c.longueur < static_cast<size_t>(QUELTO_LONG_DATE) ? c.longueur : QUELTO_LONG_DATE) + 1;
    if (n < 8) return memcmp(date, jour, n) == 0;
    /* Eight bytes at a time, the last eight overlapping the ones before. */
    uint64_t a, b;
    for (size_t i = 0; i + 8 <= n; i += 8) {
        memcpy(&a, date + i, 8);
        memcpy(&b, jour + i, 8);
        if (a != b) return false;
    }
    memcpy(&a, date + n - 8, 8);
    memcpy(&b, jour + n - 8, 8);
    return a == b;
}

/*
** One line of the vehicles file, "date;rank;ident;colour;flags...": after the
** heading, refuses a rank or a colour below 1 (S_MSG_ERR_0023 / 0024), an
** empty first date (S_MSG_ERR_0037), a date that is neither day D-1 nor day D
** (S_MSG_ERR_0018) and a flag not beginning with "1" or "0" (0021 / 0022).
** The first data line sets day D-1, the first later date day D.  The vehicle
** is appended to its day's list, then its flag arrays are allocated on the
** stored record and filled.  0 / -1.
*/
int mQuelto_decodeLigneVeh(char *ligne, void *contexte)
{
    ContexteDecodage *ctx = static_cast<ContexteDecodage *>(contexte);
    if (mQuelto_compterLigne(ctx) == 1) return 0;  /* heading */

    ChampsLigne champs = mQuelto_champs(ligne, ctx->s_separateur);
    ChampVeh premiers[4];
    for (auto &champ : premiers) {
        champ.texte = mQuelto_champSuivant(champs, &champ.longueur);
        if (champ.texte == nullptr) return -1;
    }
    const ChampVeh &date = premiers[0], &rang = premiers[1], &ident = premiers[2], &teinte = premiers[3];

    MessageQuelto m;
    /* Zeroed by copy: a zeroing loop of the size of a record starts slowly on some processors. */
    static const Vehicule s_vehiculeNul{};
    Vehicule veh;
    memcpy(&veh, &s_vehiculeNul, sizeof veh);
    veh.i_rangSeq = mQuelto_lireEntierChamp(rang);
    if (veh.i_rangSeq < 1) {
        char champ[OSUP_LONG_CHAMP];
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0023 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid "
                         "sequence rank (%s) !!\n",
                         ctx->i_numLigne, mQuelto_copierChamp(rang, champ));
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    veh.i_teinte = mQuelto_lireEntierChamp(teinte);
    if (veh.i_teinte < 1) {
        char champ[OSUP_LONG_CHAMP];
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0024 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid paint "
                         "color (%s) !!\n",
                         ctx->i_numLigne, mQuelto_copierChamp(teinte, champ));
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    mQuelto_copierTexte(date, veh.s_date, QUELTO_LONG_DATE);
    mQuelto_copierTexte(ident, veh.s_ident, QUELTO_LONG_IDENT);
    veh.i_rangSeqCandidat = -1;

    /* The days: D-1 from the first data line, D from the first later date. */
    InstancePb *instance = ctx->p_instancePb;
    if (ctx->i_numLigne == 2) {
        if (veh.s_date[0] == '\0') {
            mQuelto_formater(m, "\nS_MSG_ERR_0037 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an empty date !!\n",
                             ctx->i_numLigne);
            mQuelto_signaler(__LINE__, m);
            return -1;
        }
        og_strncpyz(instance->s_jourJMoins1, veh.s_date, QUELTO_LONG_DATE);
    } else if (instance->s_jourJ[0] == '\0' && strcmp(veh.s_date, instance->s_jourJMoins1) > 0) {
        og_strncpyz(instance->s_jourJ, veh.s_date, QUELTO_LONG_DATE);
    }

    /* Placement; a vehicle joins day D only once day D is known. */
    LIST *liste = nullptr;
    if (instance->s_jourJ[0] != '\0' && mQuelto_dateEgale(veh.s_date, date, instance->s_jourJ)) {
        liste = &instance->l_vehAOrdonnancer;
        if (list_append(liste, &veh, 0) != 1) {
            mQuelto_formater(m,
                             "\nS_MSG_ERR_0019 : mQuelto_decodeLigneVeh : pb insertion du vehicule de la ligne (%d) "
                             "dans la liste des veh \xe0"
                             " ordonnancer !!\n",
                             ctx->i_numLigne);
            mQuelto_signaler(__LINE__, m);
            return -1;
        }
    } else if (mQuelto_dateEgale(veh.s_date, date, instance->s_jourJMoins1)) {
        liste = &instance->l_vehFiges;
        if (list_append(liste, &veh, 0) != 1) {
            mQuelto_formater(m,
                             "\nS_MSG_ERR_0020 : mQuelto_decodeLigneVeh : pb insertion du vehicule de la ligne (%d) "
                             "dans la liste des veh fig\xe9s !!\n",
                             ctx->i_numLigne);
            mQuelto_signaler(__LINE__, m);
            return -1;
        }
    } else {
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0018 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid date "
                         "(%s) : day D-1 = %s and day D = %s !!\n",
                         ctx->i_numLigne, veh.s_date, instance->s_jourJMoins1, instance->s_jourJ);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }

    /* From here on, the record as stored in its list. */
    int nbPrio = list_length(&instance->l_ecartsPrio);
    int nbNonPrio = list_length(&instance->l_ecartsNonPrio);
    Vehicule *stocke = static_cast<Vehicule *>(list_element(liste, list_length(liste) - 1));
    if (stocke == nullptr || nbPrio < 0 || nbNonPrio < 0) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    int32_t *lus = mQuelto_tamponFlags(nbPrio + nbNonPrio);
    if (lus == nullptr) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    uint64_t combinaisons[2] = {0, 0};
    if (mQuelto_lireFlagsVeh(champs, ctx, lus, nbPrio, true, &combinaisons[0]) != 0) return -1;
    if (mQuelto_lireFlagsVeh(champs, ctx, lus + nbPrio, nbNonPrio, false, &combinaisons[1]) != 0) return -1;
    const bool premiereLigne = ctx->i_numLigne == 2;
    const uint64_t nbLignes = premiereLigne ? s_tailleFichierVeh / (strlen(ligne) + 1) : 0;
    if (mQuelto_partagerFlags(lus, combinaisons, nbPrio, nbNonPrio, premiereLigne, nbLignes, stocke) != 0) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    if (premiereLigne) mQuelto_commencerHachagesJour(&instance->l_vehAOrdonnancer, nbLignes);
    if (liste == &instance->l_vehAOrdonnancer) mQuelto_noterHachage(liste, stocke);
    return 0;
}

/* ------------------------------------------------------------------------ */
/* The candidate's solution file                                             */
/* ------------------------------------------------------------------------ */

/*
** The search of the solution file's identifiers.  Each line must reach the
** vehicle that list_bsearch finds on the primary index sorted by identifier:
** the one vehicle with that identifier or, among vehicles with equal
** identifiers, the one whose index position the bisection probes first.  A
** bisection of a million vehicles reads some twenty vehicles scattered in
** memory per line; instead, before the file is read, an open addressing
** table hashed on the identifier gets one place per different identifier,
** holding the rank of its vehicle and the high 32 bits of its hash.  The
** table is filled walking the vehicles in rank order, the order of memory;
** an identifier met again keeps its place and is marked as shared.  A line
** then costs one hash, one table place and, as a rule, one vehicle read (its
** identifier compared, its candidate rank written): a place whose hash
** bits differ from the line's is passed without reading its vehicle.  Places
** are chosen by the hash's low 32 bits over nbPlaces (about 1.25 places per
** vehicle), and a search runs on from there to the first free place.
**
** The table answers only for a list whose primary index is marked sorted by
** mQuelto_comparerVehIdent, or while that sort is still to come (the
** anticipated reading); otherwise, or when memory is short, each line is
** searched with list_bsearch itself and placed on its vehicle at once.
*/
struct PlaceIdent {
    uint32_t etiquette;   /* high 32 bits of the identifier's hash */
    int32_t rang;         /* rank of the vehicle (and mark), -1 for a free place */
};
struct TableIdents {
    const LIST *liste = nullptr;       /* the list the table answers for, or null */
    PlaceIdent *places = nullptr;
    size_t nbPlaces = 0;
};

/* Mark on the rank of a place whose identifier several vehicles share. */
static constexpr int32_t QUELTO_IDENT_PARTAGE = 0x40000000;

/* Hash of the longueur bytes of an identifier. */
static uint64_t mQuelto_hacherIdent(const char *ident, size_t longueur)
{
    uint64_t h = 0x9e3779b97f4a7c15u ^ longueur;
    for (size_t i = 0; i < longueur; i += 8) {
        uint64_t mot = 0;
        memcpy(&mot, ident + i, longueur - i < 8 ? longueur - i : 8);
        h = (h ^ mot) * 0xff51afd7ed558ccdu;
        h ^= h >> 29;
    }
    /* Every byte must reach the low bits that choose the place and the high ones kept. */
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53u;
    return h ^ (h >> 33);
}

/* Hash of a vehicle's identifier (its bytes up to the terminator). */
static uint64_t mQuelto_hacherIdentVeh(const Vehicule *v)
{
    return mQuelto_hacherIdent(v->s_ident, strnlen(v->s_ident, QUELTO_LONG_IDENT + 1));
}

/* The place where the search for an identifier of hash h starts. */
static size_t mQuelto_placeInitiale(const TableIdents &t, uint64_t h)
{
    return static_cast<size_t>(((h & 0xffffffffu) * t.nbPlaces) >> 32);
}

/* The place after i, the last one followed by the first. */
static size_t mQuelto_placeSuivante(const TableIdents &t, size_t i)
{
    return i + 1 == t.nbPlaces ? 0 : i + 1;
}

/* Free the table's places; the table answers no more. */
static void mQuelto_oublierTableIdents(TableIdents &t)
{
    free(t.places);
    t = TableIdents{};
}

/*
** Give the vehicle of rank rang, whose identifier hashes to h, a place in t,
** unless its identifier has one already, which is then marked as shared
** (*nbPartages counts the marked places).  false when a vehicle cannot be had.
*/
static bool mQuelto_placerIdent(TableIdents &t, const LIST *l, int32_t rang, uint64_t h, int64_t *nbPartages)
{
    const uint32_t etiquette = static_cast<uint32_t>(h >> 32);
    for (size_t i = mQuelto_placeInitiale(t, h);; i = mQuelto_placeSuivante(t, i)) {
        PlaceIdent &p = t.places[i];
        if (p.rang == -1) {
            p = PlaceIdent{etiquette, rang};
            return true;
        }
        if (p.etiquette != etiquette) continue;
        const Vehicule *dejaLa = static_cast<const Vehicule *>(list_element(l, p.rang & ~QUELTO_IDENT_PARTAGE));
        const Vehicule *v = static_cast<const Vehicule *>(list_element(l, rang));
        if (dejaLa == nullptr || v == nullptr) return false;
        if (mQuelto_comparerVehIdent(dejaLa, v) != 0) continue;
        if ((p.rang & QUELTO_IDENT_PARTAGE) == 0) {
            p.rang |= QUELTO_IDENT_PARTAGE;
            (*nbPartages)++;
        }
        return true;
    }
}

/*
** Give each identifier shared by several vehicles the rank of the vehicle
** that list_bsearch finds for it.  false when one is not found (the index is
** then not in the order its flag says) or a vehicle cannot be had.
*/
static bool mQuelto_resoudrePartages(TableIdents &t, const LIST *l)
{
    for (size_t i = 0; i < t.nbPlaces; i++) {
        PlaceIdent &p = t.places[i];
        if (p.rang == -1 || (p.rang & QUELTO_IDENT_PARTAGE) == 0) continue;
        const void *v = list_element(l, p.rang & ~QUELTO_IDENT_PARTAGE);
        int rang = 0;
        if (v == nullptr || list_bsearch(l, v, &rang) == nullptr) return false;
        p.rang = rang;
    }
    return true;
}

/*
** Take, in t, the places of a table for a day of n vehicles, not filled:
** false when memory is short.  The thread that starts an anticipated
** reading takes them, so that they come from the run's own heap.
*/
static bool mQuelto_reserverTableIdents(TableIdents &t, int32_t n)
{
    mQuelto_oublierTableIdents(t);
    t.nbPlaces = static_cast<size_t>(n) + static_cast<size_t>(n) / 4 + 64;
    t.places = static_cast<PlaceIdent *>(malloc(t.nbPlaces * sizeof(PlaceIdent)));
    if (t.places == nullptr) t.nbPlaces = 0;
    return t.places != nullptr;
}

/*
** Fill the places reserved in t with the n vehicles of l (see above), shared
** identifiers marked, not resolved, and set the candidate rank of every
** vehicle to -1 on the way; or, given the hashes of their identifiers
** (hachages, in rank order), without reading the vehicles but where two
** identifiers may be equal, and leaving their candidate ranks as they are.
** Each vehicle's place is asked for AVANCE vehicles before it is written.
** false when a vehicle cannot be had (t is then given up).
*/
static bool mQuelto_remplirTableIdents(TableIdents &t, LIST *l, int32_t n, int64_t *nbPartages,
                                       const uint64_t *hachagesLus = nullptr)
{
    conseillerGrandesPages(t.places, t.nbPlaces * sizeof(PlaceIdent));
    memset(t.places, 0xff, t.nbPlaces * sizeof(PlaceIdent));
    bool ok = true;
    constexpr int32_t AVANCE = 16;
    uint64_t hachages[AVANCE]; /* of the vehicles waiting, by rank modulo AVANCE */
    *nbPartages = 0;
    for (int32_t r = 0; r < n && ok; r++) {
        if (r >= AVANCE) ok = mQuelto_placerIdent(t, l, r - AVANCE, hachages[r % AVANCE], nbPartages);
        if (!ok) break;
        if (hachagesLus != nullptr) {
            hachages[r % AVANCE] = hachagesLus[r];
        } else {
            Vehicule *v = static_cast<Vehicule *>(list_element(l, r));
            if (v == nullptr) {
                ok = false;
                break;
            }
            /* Written only when it must change: the line may be read meanwhile on another processor. */
            if (v->i_rangSeqCandidat != -1) v->i_rangSeqCandidat = -1;
            hachages[r % AVANCE] = mQuelto_hacherIdentVeh(v);
        }
        __builtin_prefetch(&t.places[mQuelto_placeInitiale(t, hachages[r % AVANCE])]);
    }
    for (int32_t r = n > AVANCE ? n - AVANCE : 0; r < n && ok; r++)
        ok = mQuelto_placerIdent(t, l, r, hachages[r % AVANCE], nbPartages);
    if (!ok) mQuelto_oublierTableIdents(t);
    else t.liste = l;
    return ok;
}

/*
** The rank of the vehicle of the table's list whose identifier is texte
** (coupe characters, hash h): the rank with its mark when shared and not
** resolved, -1 when no vehicle has it.
*/
static int32_t mQuelto_chercherRangIdent(const TableIdents &t, uint64_t h, const char *texte, size_t coupe)
{
    const uint32_t etiquette = static_cast<uint32_t>(h >> 32);
    for (size_t i = mQuelto_placeInitiale(t, h); t.places[i].rang != -1; i = mQuelto_placeSuivante(t, i)) {
        const PlaceIdent &p = t.places[i];
        if (p.etiquette != etiquette) continue;
        const Vehicule *v = static_cast<const Vehicule *>(list_element(t.liste, p.rang & ~QUELTO_IDENT_PARTAGE));
        if (v != nullptr && memcmp(v->s_ident, texte, coupe) == 0 && v->s_ident[coupe] == '\0') return p.rang;
    }
    return -1;
}

/* ------------------------------------------------------------------------ */

/*
** A line of the solution file on its way to its vehicle: its rank, its
** identifier as read (the second field, cut to capacite - 1 characters,
** terminated), the number coupe of its first characters (at most
** QUELTO_LONG_IDENT) that are searched and their hash, and once searched
** the rank of its vehicle (rangVeh, as mQuelto_chercherRangIdent gives it).
** Lines wait with their identifier in a short array; a line handled alone
** keeps the whole field, which its messages print.
*/
template <size_t capacite>
struct LigneSolution {
    int32_t rang;
    int32_t rangVeh;
    size_t coupe;
    uint64_t hachage;
    char champ2[capacite];
};
static constexpr size_t QUELTO_LONG_IDENT_ATTENTE = 48;
using LigneSeule = LigneSolution<OSUP_LONG_CHAMP>;
using LigneAttente = LigneSolution<QUELTO_LONG_IDENT_ATTENTE>;

/* Fill ligne with rank rang and identifier texte of longueur characters (< capacite). */
template <size_t capacite>
static void mQuelto_preparerLigne(LigneSolution<capacite> &ligne, int32_t rang, const char *texte, size_t longueur)
{
    ligne.rang = rang;
    ligne.rangVeh = -1;
    memcpy(ligne.champ2, texte, longueur);
    ligne.champ2[longueur] = '\0';
    ligne.coupe = longueur < static_cast<size_t>(QUELTO_LONG_IDENT) ? longueur : QUELTO_LONG_IDENT;
    ligne.hachage = mQuelto_hacherIdent(ligne.champ2, ligne.coupe);
}

/*
** A message of the anticipated reading, or a line of it whose vehicle is
** still to be found: one whose identifier several vehicles share, which
** list_bsearch places when the events are replayed, once the day is sorted
** by identifier.
*/
struct EvenementSolution {
    bool partage;         /* a line to place (else a message) */
    int32_t rang;         /* the line's rank */
    size_t coupe;         /* the characters of texte that the line searches */
    std::string texte;    /* the message, or the line's second field */
};

/* The most events an anticipated reading keeps; past them the reading is left to the run. */
static constexpr size_t QUELTO_NB_MAX_EVENEMENTS = 4096;

/*
** One reading of a solution file.  Lines are taken in batches of
** QUELTO_LOT_LIGNES (hashed as they arrive); when the batch is full, one
** pass asks for the lines' table places, a second reads them and asks for
** the vehicles they name, a third searches the lines, and a last one places
** them in their order (each with its message if any).  Each pass makes
** independent fetches from far away, which the processor overlaps, where a
** line handled alone waits for each in turn.  Every message of the reading
** keeps the order of the lines: a line that writes a message of its own (an
** invalid rank, a single field) or whose field is too long to wait first
** finishes the lines before it, and the reader finishes the last lines when
** the file ends.
**
** Messages go to standard output and the trace log at once, or, for an
** anticipated reading (evenements not null), to its events, replayed later.
*/
static constexpr int QUELTO_LOT_LIGNES = 64;
struct LectureSolution {
    InstancePb *instance = nullptr;
    TableIdents table;
    int32_t nbVehicules = 0;              /* the day's size, which bounds the ranks */
    std::vector<EvenementSolution> *evenements = nullptr;
    const std::atomic<bool> *arreter = nullptr;   /* set: an anticipated reading gives up */
    bool abandonnee = false;              /* an anticipated reading met what only the run may report */
    int nb = 0;                           /* lines waiting */
    LigneAttente lignes[QUELTO_LOT_LIGNES];
};

/* The reading of the run (the one that writes its messages). */
static LectureSolution s_lecture;

/* A warning text of the solution file, written or kept as an event. */
static void mQuelto_publier(LectureSolution &lec, const MessageQuelto &m)
{
    if (lec.evenements == nullptr) {
        mQuelto_avertir(m);
        return;
    }
    if (lec.evenements->size() >= QUELTO_NB_MAX_EVENEMENTS) {
        lec.abandonnee = true;
        return;
    }
    lec.evenements->push_back(EvenementSolution{false, 0, 0, m.texte});
}

/* S_MSG_ERR_0028: no vehicle has the identifier champ2 of a line. */
static void mQuelto_signalerIdentInconnu(LectureSolution &lec, const char *champ2)
{
    MessageQuelto m;
    mQuelto_formater(m,
                     "\nS_MSG_ERR_0028 : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (%s) does "
                     "not exist in the instance (%s) !!\n",
                     champ2, lec.instance->s_nomInstance);
    mQuelto_publier(lec, m);
}

/* S_MSG_ERR_0029: the vehicle of identifier ident, of candidate rank premier, is given rank second too. */
static void mQuelto_signalerDeuxRangs(LectureSolution &lec, const char *ident, int32_t premier, int32_t second)
{
    MessageQuelto m;
    mQuelto_formater(m,
                     "\nS_MSG_ERR_0029 : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (%s) has 2 "
                     "sequence ranks : (%d) and (%d) !!\n",
                     ident, premier, second);
    mQuelto_publier(lec, m);
}

/*
** Give rank rang to the vehicle veh that a line found, or S_MSG_ERR_0029
** when the vehicle has a rank already (the first stays).
*/
static void mQuelto_donnerRang(LectureSolution &lec, Vehicule *veh, int32_t rang)
{
    if (veh->i_rangSeqCandidat == -1) veh->i_rangSeqCandidat = rang;
    else mQuelto_signalerDeuxRangs(lec, veh->s_ident, veh->i_rangSeqCandidat, rang);
}

/*
** Place the line of rank rang and second field champ2, of which coupe
** characters are searched, on the vehicle that list_bsearch finds for it
** (S_MSG_ERR_0028 when none).
*/
static void mQuelto_placerParBisection(LectureSolution &lec, int32_t rang, const char *champ2, size_t coupe)
{
    Vehicule cle{};
    memcpy(cle.s_ident, champ2, coupe);
    int rangListe = 0;
    Vehicule *veh = static_cast<Vehicule *>(list_bsearch(&lec.instance->l_vehAOrdonnancer, &cle, &rangListe));
    if (veh == nullptr) mQuelto_signalerIdentInconnu(lec, champ2);
    else mQuelto_donnerRang(lec, veh, rang);
}

/*
** Place a line searched in the table: S_MSG_ERR_0028 when no vehicle has its
** identifier, its vehicle's rank otherwise; a line whose identifier several
** vehicles share, when the table does not know which one, becomes an event
** of an anticipated reading (or, in the run's reading, is placed by
** list_bsearch at once).
*/
template <size_t capacite>
static void mQuelto_placerLigne(LectureSolution &lec, const LigneSolution<capacite> &ligne)
{
    if ((ligne.rangVeh & QUELTO_IDENT_PARTAGE) != 0 && ligne.rangVeh != -1) {
        if (lec.evenements == nullptr) mQuelto_placerParBisection(lec, ligne.rang, ligne.champ2, ligne.coupe);
        else if (lec.evenements->size() >= QUELTO_NB_MAX_EVENEMENTS) lec.abandonnee = true;
        else lec.evenements->push_back(EvenementSolution{true, ligne.rang, ligne.coupe, ligne.champ2});
        return;
    }
    Vehicule *veh = ligne.rangVeh == -1 ? nullptr : static_cast<Vehicule *>(list_element(lec.table.liste, ligne.rangVeh));
    if (veh == nullptr) mQuelto_signalerIdentInconnu(lec, ligne.champ2);
    else mQuelto_donnerRang(lec, veh, ligne.rang);
}

/* Ask for the vehicle at the first table place of the line, when its hash bits are the line's. */
static void mQuelto_demanderVehicule(const TableIdents &t, const LigneAttente &ligne)
{
    const PlaceIdent &p = t.places[mQuelto_placeInitiale(t, ligne.hachage)];
    if (p.rang == -1 || p.etiquette != static_cast<uint32_t>(ligne.hachage >> 32)) return;
    const char *v = static_cast<const char *>(list_element(t.liste, p.rang & ~QUELTO_IDENT_PARTAGE));
    if (v != nullptr) __builtin_prefetch(v + offsetof(Vehicule, s_ident));
}

/* Finish every waiting line of lec, in order. */
static void mQuelto_finirLignes(LectureSolution &lec)
{
    const TableIdents &t = lec.table;
    const int nb = std::exchange(lec.nb, 0);
    for (int i = 0; i < nb; i++) __builtin_prefetch(&t.places[mQuelto_placeInitiale(t, lec.lignes[i].hachage)]);
    for (int i = 0; i < nb; i++) mQuelto_demanderVehicule(t, lec.lignes[i]);
    for (int i = 0; i < nb; i++) {
        LigneAttente &ligne = lec.lignes[i];
        ligne.rangVeh = mQuelto_chercherRangIdent(t, ligne.hachage, ligne.champ2, ligne.coupe);
        mQuelto_placerLigne(lec, ligne);
    }
}

/* Take a line of rank rang and identifier texte (longueur < QUELTO_LONG_IDENT_ATTENTE characters) to wait. */
static void mQuelto_attendreLigne(LectureSolution &lec, int32_t rang, const char *texte, size_t longueur)
{
    if (lec.nb == QUELTO_LOT_LIGNES) mQuelto_finirLignes(lec);
    mQuelto_preparerLigne(lec.lignes[lec.nb++], rang, texte, longueur);
}

/*
** One line "rank;ident" of the solution file for lec (see
** mQuelto_decodeLigneSeqSolution).  An anticipated reading gives up,
** without a word, at a line with a single field.
*/
static int mQuelto_lireLigneSolution(LectureSolution &lec, char *ligne, const char *separateur)
{
    char champ1[OSUP_LONG_CHAMP];
    ChampsLigne champs = mQuelto_champs(ligne, separateur);
    if (mQuelto_extraireChamp(champs, champ1) != 0) return -1;
    if (static_cast<size_t>(champs.suivant) > champs.longueur) {
        /* A single field: its failure comes next, after the lines before it. */
        if (lec.evenements != nullptr) {
            lec.abandonnee = true;
            return -1;
        }
        mQuelto_finirLignes(lec);
    }
    size_t longueur = 0;
    const char *champ2 = mQuelto_champSuivant(champs, &longueur);
    if (champ2 == nullptr) return -1;
    if (longueur == 0) return 0;
    if (longueur > static_cast<size_t>(OSUP_LONG_CHAMP) - 1) longueur = static_cast<size_t>(OSUP_LONG_CHAMP) - 1;

    const int32_t rang = mQuelto_lireEntier(champ1);
    const bool rangValide = rang >= 1 && rang <= lec.nbVehicules;
    if (lec.table.liste != nullptr && rangValide && longueur < QUELTO_LONG_IDENT_ATTENTE) {
        mQuelto_attendreLigne(lec, rang, champ2, longueur);
        return 0;
    }
    mQuelto_finirLignes(lec);
    LigneSeule seule;
    mQuelto_preparerLigne(seule, rang, champ2, longueur);
    if (!rangValide) {
        MessageQuelto m;
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0027 : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (%s) has "
                         "an invalid sequence rank (%s) !!\n",
                         seule.champ2, champ1);
        mQuelto_publier(lec, m);
        return 0;
    }
    if (lec.table.liste != nullptr) {
        seule.rangVeh = mQuelto_chercherRangIdent(lec.table, seule.hachage, seule.champ2, seule.coupe);
        mQuelto_placerLigne(lec, seule);
        return 0;
    }
    /* Without the table: the vehicle that list_bsearch finds, placed at once. */
    mQuelto_placerParBisection(lec, rang, seule.champ2, seule.coupe);
    return 0;
}

/*
** Set i_rangSeqCandidat of the first n day-D vehicles to -1.  false when a
** vehicle cannot be had.
*/
static bool mQuelto_oublierRangsCandidat(InstancePb *instance, int32_t n)
{
    for (int32_t r = 0; r < n; r++) {
        Vehicule *veh = static_cast<Vehicule *>(list_element(&instance->l_vehAOrdonnancer, r));
        if (veh == nullptr) return false;
        veh->i_rangSeqCandidat = -1;
    }
    return true;
}

/* True when l's primary index is marked sorted by identifier, for a day of n vehicles. */
static bool mQuelto_trieeParIdent(const LIST *l, int32_t n)
{
    return l->initMarker == LIST_MARQUEUR_INIT && l->count > 0 && l->primaryActive && l->primarySorted &&
           l->fcmp == mQuelto_comparerVehIdent && l->primaryIndex != nullptr && l->count < QUELTO_IDENT_PARTAGE &&
           l->count == n;
}

/* ------------------------------------------------------------------------ */

/*
** The anticipated reading.  On a large day the solution file is read while
** the run prepares and evaluates the reference sequence, on another
** processor: the day's vehicles are complete once the vehicles file is
** read, and nothing else reads or writes their candidate ranks before the
** run comes to the solution file; the reading reads their identifiers and
** writes their candidate ranks, and keeps its messages aside.  When the run
** comes to the solution file, it takes what the anticipated reading did if
** that reading covers the same file and day and went through, and replays
** it: the messages in the order of the lines, with the lines whose
** identifier several vehicles share placed then by list_bsearch (only then
** is the day sorted by identifier).  Otherwise it reads the file itself,
** from the start, the candidate ranks set to -1 first.
**
** The anticipated reading writes nothing but candidate ranks and reports
** nothing; it gives up without a word at whatever only the run may report
** (a file that cannot be opened or read, a line with a single field, more
** than QUELTO_NB_MAX_EVENEMENTS events) or when asked to stop.  Its table
** is taken before the thread starts, so that its memory, freed by the
** thread once the file is read, goes back to where the run's next arrays
** come from.
*/
struct AnticipationSolution {
    std::string chemin;
    uint64_t *hachages = nullptr;   /* of the day's identifiers, taken from the vehicles file's reading, or null */
    std::atomic<bool> arreter{false};
    std::vector<EvenementSolution> evenements;
    LectureSolution lecture;
    bool reussie = false;     /* the whole file was read; set by the reading thread */
    std::thread fil;

    ~AnticipationSolution()
    {
        arreter = true;
        if (fil.joinable()) fil.join();
        mQuelto_oublierTableIdents(lecture.table);
        free(hachages);
    }
};
static std::unique_ptr<AnticipationSolution> s_anticipation;

/* The line decoder of the anticipated reading (its context is the reading). */
static int mQuelto_decodeLigneAnticipee(char *ligne, void *contexte)
{
    LectureSolution &lec = *static_cast<LectureSolution *>(contexte);
    if (lec.arreter->load(std::memory_order_relaxed) || lec.abandonnee) return -1;
    const int rc = mQuelto_lireLigneSolution(lec, ligne, QUELTO_SEPARATEUR);
    return lec.abandonnee ? -1 : rc;
}

/* The work of the anticipated reading's thread. */
static void mQuelto_lireEnAvance(AnticipationSolution *a)
{
    LectureSolution &lec = a->lecture;
    try {
        int64_t nbPartages = 0;
        const bool table =
            mQuelto_remplirTableIdents(lec.table, &lec.instance->l_vehAOrdonnancer, lec.nbVehicules, &nbPartages, a->hachages);
        free(std::exchange(a->hachages, nullptr));
        if (table &&
            OSupUtils_lireFichierEnSilence(a->chemin.c_str(), mQuelto_decodeLigneAnticipee, &lec, QUELTO_LONG_LIGNE) == 0) {
            mQuelto_finirLignes(lec);
            a->reussie = !lec.abandonnee;
        }
    } catch (const std::exception &) {
        /* Memory ran short for an event: the run reads the file itself. */
    }
    mQuelto_oublierTableIdents(lec.table);
}

void mQuelto_anticiperFichSeqSolution(InstancePb *instance, const char *chemin)
{
    s_anticipation.reset();
    LIST *l = instance != nullptr ? &instance->l_vehAOrdonnancer : nullptr;
    /* The hashes noted while the vehicles file was read, when they are this day's and still stand. */
    uint64_t *hachages = nullptr;
    if (l != nullptr && s_hachagesJour.liste == l && s_hachagesJour.nb == static_cast<size_t>(l->count))
        hachages = std::exchange(s_hachagesJour.h, nullptr);
    mQuelto_oublierHachagesJour();
    struct stat etat;
    if (l == nullptr || chemin == nullptr || l->initMarker != LIST_MARQUEUR_INIT || l->count <= 0 ||
        l->count >= QUELTO_IDENT_PARTAGE || stat(chemin, &etat) != 0 || !S_ISREG(etat.st_mode)) {
        free(hachages);
        return;
    }
    try {
        auto a = std::make_unique<AnticipationSolution>();
        a->hachages = std::exchange(hachages, nullptr);
        a->chemin = chemin;
        a->lecture.instance = instance;
        a->lecture.nbVehicules = l->count;
        a->lecture.evenements = &a->evenements;
        a->lecture.arreter = &a->arreter;
        a->evenements.reserve(64);
        if (!mQuelto_reserverTableIdents(a->lecture.table, l->count)) return;
        a->fil = std::thread(mQuelto_lireEnAvance, a.get());
        s_anticipation = std::move(a);
    } catch (const std::exception &) {
        /* No thread or no memory: the run reads the file itself. */
        free(hachages);
    }
}

void mQuelto_oublierAnticipation()
{
    s_anticipation.reset();
}

/*
** The anticipated reading of the file at chemin for instance, finished, when
** it went through and still holds (the day sorted by identifier, of the
** size it had); null otherwise.  Either way no reading runs any more.
*/
static std::unique_ptr<AnticipationSolution> mQuelto_prendreAnticipation(InstancePb *instance, const char *chemin)
{
    std::unique_ptr<AnticipationSolution> a = std::move(s_anticipation);
    if (a == nullptr) return nullptr;
    const bool memeLecture = a->lecture.instance == instance && a->chemin == chemin;
    if (!memeLecture) a->arreter = true;
    a->fil.join();
    if (!memeLecture || !a->reussie || a->lecture.nbVehicules != instance->i_longFilm ||
        !mQuelto_trieeParIdent(&instance->l_vehAOrdonnancer, instance->i_longFilm))
        return nullptr;
    return a;
}

/* Replay the anticipated reading a (see above): its messages, its lines still to place, in order. */
static void mQuelto_rejouerAnticipation(AnticipationSolution &a)
{
    LectureSolution &lec = a.lecture;
    lec.evenements = nullptr;
    for (const EvenementSolution &e : a.evenements) {
        if (e.partage) mQuelto_placerParBisection(lec, e.rang, e.texte.c_str(), e.coupe);
        else mQuelto_avertir(e.texte.c_str());
    }
}

/*
** Solution file at chemin: sets i_rangSeqCandidat of the first i_longFilm
** day-D vehicles to -1, then to the rank that the file gives each of them.
** The primary index of l_vehAOrdonnancer must be sorted by identifier
** (mQuelto_comparerVehIdent).  -1 when the file is missing (S_MSG_ERR_0017,
** reported then printed on standard output), a vehicle cannot be had (empty
** report), or a line has a single field (the lines before it placed).
*/
int mQuelto_lireFichSeqSolutionEtMajInstancePb(InstancePb *instance, const char *chemin)
{
    mQuelto_oublierHachagesJour();
    std::unique_ptr<AnticipationSolution> anticipee = mQuelto_prendreAnticipation(instance, chemin);
    if (!mQuelto_fichierExiste(chemin)) {
        MessageQuelto m;
        mQuelto_formater(m, "\nS_MSG_ERR_0017 : mQuelto_lireFichVehEtMajInstancePb : file (%s) not found !!\n", chemin);
        mQuelto_signaler(__LINE__, m);
        fputs(m.texte, stdout);
        fflush(stdout);
        return -1;
    }
    if (anticipee != nullptr) {
        mQuelto_rejouerAnticipation(*anticipee);
        return 0;
    }
    LectureSolution &lec = s_lecture;
    mQuelto_oublierTableIdents(lec.table);
    lec.instance = instance;
    lec.nbVehicules = instance->i_longFilm;
    lec.nb = 0;
    LIST *l = &instance->l_vehAOrdonnancer;
    int64_t nbPartages = 0;
    if (mQuelto_trieeParIdent(l, instance->i_longFilm) && mQuelto_reserverTableIdents(lec.table, instance->i_longFilm) &&
        mQuelto_remplirTableIdents(lec.table, l, instance->i_longFilm, &nbPartages) && nbPartages > 0 &&
        !mQuelto_resoudrePartages(lec.table, l))
        mQuelto_oublierTableIdents(lec.table);
    if (lec.table.liste == nullptr && !mQuelto_oublierRangsCandidat(instance, instance->i_longFilm)) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    ContexteDecodage ctx;
    const int rc = mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneSeqSolution, &ctx);
    mQuelto_finirLignes(lec);
    mQuelto_oublierTableIdents(lec.table);
    return rc;
}

/*
** One line "rank;ident" of the solution file.  Lines with an empty ident are
** skipped silently; a rank outside 1..i_longFilm (S_MSG_ERR_0027), an unknown
** ident (S_MSG_ERR_0028) and a vehicle ranked twice (S_MSG_ERR_0029, the
** first rank kept) are warned about and skipped.  -1 only for a line with a
** single field.  While the identifier table answers, the line may be
** finished a few lines later (see LectureSolution).
*/
int mQuelto_decodeLigneSeqSolution(char *ligne, void *contexte)
{
    ContexteDecodage *ctx = static_cast<ContexteDecodage *>(contexte);
    LectureSolution &lec = s_lecture;
    mQuelto_oublierHachagesJour();
    if (lec.instance != ctx->p_instancePb) {
        /* A reading of its own (the decoder called outside the reader): no table. */
        mQuelto_finirLignes(lec);
        mQuelto_oublierTableIdents(lec.table);
        lec.instance = ctx->p_instancePb;
    }
    lec.nbVehicules = lec.instance->i_longFilm;
    return mQuelto_lireLigneSolution(lec, ligne, ctx->s_separateur);
}

/* ------------------------------------------------------------------------ */
/* Reports                                                                   */
/* ------------------------------------------------------------------------ */

/*
** A report of a day of a million vehicles is tens of megabytes, nearly all of
** it long lines: the colour sequence and one line of marks per constraint.
** The body is therefore composed in a buffer that goes to the file in one
** write each time it fills (EcrivainRapport), and the option flags that the
** marks show are gathered from the sequence once for up to 32 constraints
** (a walk of the sequence visits the vehicles in no order of memory; one walk
** per constraint and one write per mark cost far more than the marks).
** Whatever has been composed is handed to the file before the body returns,
** on failure too, so a report cut short holds what was composed before the
** failure.  Write errors stay in the stream's error indicator, which the
** caller checks when it finishes the file.
*/

/* Capacity of the composition buffer (the widest single piece is far smaller). */
static constexpr size_t QUELTO_TAMPON_RAPPORT = 1 << 16;

/* The report being composed: its stream and the bytes not yet written. */
struct EcrivainRapport {
    FILE *f;
    size_t n;
    char tampon[QUELTO_TAMPON_RAPPORT];
};

/* One buffer serves every report: reports are written one at a time. */
static EcrivainRapport s_ecrivainRapport;

/* Hand the composed bytes to the stream. */
static void mQuelto_vider(EcrivainRapport &w)
{
    if (w.n > 0) fwrite(w.tampon, 1, w.n, w.f);
    w.n = 0;
}

/* Room for at least place bytes (place <= capacity) at w.tampon + w.n. */
static char *mQuelto_reserver(EcrivainRapport &w, size_t place)
{
    if (QUELTO_TAMPON_RAPPORT - w.n < place) mQuelto_vider(w);
    return w.tampon + w.n;
}

/* Append the text s. */
static void mQuelto_ecrireTexte(EcrivainRapport &w, const char *s)
{
    size_t longueur = strlen(s);
    while (longueur > 0) {
        mQuelto_reserver(w, 1);
        size_t m = QUELTO_TAMPON_RAPPORT - w.n < longueur ? QUELTO_TAMPON_RAPPORT - w.n : longueur;
        memcpy(w.tampon + w.n, s, m);
        w.n += m;
        s += m;
        longueur -= m;
    }
}

/*
** Append the formatted text.  A text wider than the whole buffer goes to the
** stream directly, after what was composed before it.
*/
static void mQuelto_ecrireFormat(EcrivainRapport &w, const char *fmt, ...) __attribute__((format(printf, 2, 3)));

static void mQuelto_ecrireFormat(EcrivainRapport &w, const char *fmt, ...)
{
    for (int essai = 0; essai < 2; essai++) {
        va_list ap;
        va_start(ap, fmt);
        const size_t libre = QUELTO_TAMPON_RAPPORT - w.n;
        const int r = vsnprintf(w.tampon + w.n, libre, fmt, ap);
        va_end(ap);
        if (r < 0) return;
        if (static_cast<size_t>(r) < libre) {
            w.n += static_cast<size_t>(r);
            return;
        }
        mQuelto_vider(w);
    }
    va_list ap;
    va_start(ap, fmt);
    vfprintf(w.f, fmt, ap);
    va_end(ap);
}

/* Write v in decimal at p; the position after it (at most 11 bytes). */
static char *mQuelto_ecrireEntier(char *p, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    if (v < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    char chiffres[10];
    int k = 0;
    do {
        chiffres[k++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    while (k > 0) *p++ = chiffres[--k];
    return p;
}

/* What one priority of ratio constraints contributes to a report. */
struct PrioriteRapport {
    const LIST *l_ecarts;
    int32_t i_nbEcarts;
    const int32_t *i_vectNbViol;
    const double *d_vectPourcentVeh;
    int32_t i_nbViol;
    bool prio;                     /* which flag array of the vehicles */
};

/*
** The option flags of the sequence for a group of at most 32 constraints,
** numbered high priority first then low priority (constraint c of the low
** priority is number nbPrio + c): bit b of bits[j] is 1 when the vehicle at
** position j carries the option of constraint premier + b.  bits is null
** when its N entries could not be had: every mark is then read from its
** vehicle.
*/
struct MarquesRapport {
    uint32_t *bits;
    int32_t nbPrio;
    int32_t nbEcarts;              /* high and low priority together */
    int32_t premier, nb;           /* the group gathered (nb == 0: none yet) */
    const PhotoSequenceEvaluee *photo;  /* the evaluation's photo of the sequence, or null */
};
static constexpr int32_t QUELTO_MARQUES_PAR_PASSE = 32;

/*
** Whether v carries the option of constraint c (numbered as in
** MarquesRapport): its flag equals 1.  A vehicle without flags carries none.
*/
static bool mQuelto_porteOption(const Vehicule *v, int32_t c, int32_t nbPrio)
{
    const int32_t *d = c < nbPrio ? v->i_vectBoolEcPrio : v->i_vectBoolEcNonPrio;
    const int32_t k = c < nbPrio ? c : c - nbPrio;
    return d != nullptr && d[k] == 1;
}

/* The option bits of v for the group of m (see MarquesRapport), a priority at a time. */
static uint32_t mQuelto_bitsOptions(const Vehicule *v, const MarquesRapport &m)
{
    uint32_t bits = 0;
    const int32_t fin = m.premier + m.nb;
    const int32_t finPrio = fin < m.nbPrio ? fin : m.nbPrio;
    const int32_t *d = v->i_vectBoolEcPrio;
    if (d != nullptr)
        for (int32_t c = m.premier; c < finPrio; c++) bits |= static_cast<uint32_t>(d[c] == 1) << (c - m.premier);
    const int32_t debutNonPrio = m.premier > m.nbPrio ? m.premier : m.nbPrio;
    d = v->i_vectBoolEcNonPrio;
    if (d != nullptr)
        for (int32_t c = debutNonPrio; c < fin; c++)
            bits |= static_cast<uint32_t>(d[c - m.nbPrio] == 1) << (c - m.premier);
    return bits;
}

/* The first group of m, or none when there is no array or no constraint. */
static void mQuelto_choisirGroupe(MarquesRapport &m, int32_t premier)
{
    m.premier = premier;
    m.nb = m.bits == nullptr ? 0 : m.nbEcarts - premier;
    if (m.nb > QUELTO_MARQUES_PAR_PASSE) m.nb = QUELTO_MARQUES_PAR_PASSE;
    if (m.nb < 0) m.nb = 0;
}

/*
** Ask for the vehicle a few positions ahead of j, and for its flags, before
** they are needed.  A position that cannot be had is left to the walk.
*/
static void mQuelto_anticiper(const LIST *l, int32_t j, int32_t n, const MarquesRapport *m)
{
    constexpr int32_t AVANCE = 8;
    if (j + 2 * AVANCE < n) __builtin_prefetch(list_element_trie(l, j + 2 * AVANCE));
    if (m == nullptr || m->nb == 0 || j + AVANCE >= n) return;
    const Vehicule *w = static_cast<const Vehicule *>(list_element_trie(l, j + AVANCE));
    if (w == nullptr) return;
    if (m->premier < m->nbPrio && w->i_vectBoolEcPrio != nullptr) __builtin_prefetch(w->i_vectBoolEcPrio + m->premier);
    if (m->premier + m->nb > m->nbPrio && w->i_vectBoolEcNonPrio != nullptr) __builtin_prefetch(w->i_vectBoolEcNonPrio);
}

/*
** Gather the group of m that starts at constraint premier, in one walk of
** the sequence.  0, or -1 (empty report) when a position cannot be had.
*/
static int mQuelto_rassemblerMarques(const InstancePb *instance, MarquesRapport &m, int32_t premier)
{
    mQuelto_choisirGroupe(m, premier);
    if (m.nb == 0) return 0;
    const LIST *l = &instance->l_vehAOrdonnancer;
    const int32_t n = instance->i_longFilm;
    for (int32_t j = 0; j < n; j++) {
        mQuelto_anticiper(l, j, n, &m);
        const Vehicule *veh = static_cast<const Vehicule *>(list_element_trie(l, j));
        if (veh == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        m.bits[j] = mQuelto_bitsOptions(veh, m);
    }
    return 0;
}

/*
** The violations section of one priority (heading, one line per constraint,
** total).  0, or -1 when a constraint cannot be had (empty report).
*/
static int mQuelto_ecrireViolations(EcrivainRapport &w, const PrioriteRapport &pr, const char *titre,
                                    const char *titreTotal)
{
    mQuelto_ecrireTexte(w, titre);
    for (int k = 0; k < pr.i_nbEcarts; k++) {
        const EcartCritere *ec = static_cast<const EcartCritere *>(list_element(pr.l_ecarts, k));
        if (ec == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        mQuelto_ecrireFormat(w, "\n%s %d/%d : %d (ratio = %0.2f%% and cars matched day D = %0.2f%%)",
                             ec->s_nomEcart, ec->i_numerateur, ec->i_denominateur, pr.i_vectNbViol[k], ec->d_ratio,
                             pr.d_vectPourcentVeh[k]);
    }
    mQuelto_ecrireFormat(w, "%s%d", titreTotal, pr.i_nbViol);
    return 0;
}

/*
** Where the option of constraint c is in a photo of the sequence: its words
** into *bits and its bit into *b.  false when the photo does not hold it.
*/
static bool mQuelto_optionDansPhoto(const PhotoSequenceEvaluee *ph, int32_t c, int32_t nbPrio, const uint32_t **bits,
                                    int *b)
{
    if (ph == nullptr) return false;
    if (c < nbPrio) {
        *bits = ph->i_vectOptionsPrio;
        *b = ph->i_decalagePrio + c;
        return c < ph->i_nbOptionsPrio;
    }
    *bits = ph->i_vectOptionsNonPrio;
    *b = ph->i_decalageNonPrio + (c - nbPrio);
    return c - nbPrio < ph->i_nbOptionsNonPrio;
}

/*
** The marks of constraint c over the whole sequence: "*" for a vehicle that
** carries its option, else "-".  From the photo of the sequence when it
** holds c, or from the gathered bits when c is in the group of m, else read
** from each vehicle.  0 / -1 (empty report).
*/
static int mQuelto_ecrireMarques(EcrivainRapport &w, const InstancePb *instance, const MarquesRapport &m, int32_t c)
{
    const int32_t n = instance->i_longFilm;
    const uint32_t *mots = nullptr;  /* bit b of mots[j]: the vehicle at j carries the option */
    int b = 0;
    if (!mQuelto_optionDansPhoto(m.photo, c, m.nbPrio, &mots, &b)) {
        mots = nullptr;
        if (c >= m.premier && c < m.premier + m.nb) {
            mots = m.bits;
            b = c - m.premier;
        }
    }
    if (mots != nullptr) {
        for (int32_t j = 0; j < n;) {
            char *p = mQuelto_reserver(w, 1);
            const size_t libre = QUELTO_TAMPON_RAPPORT - w.n;
            const int32_t nb = static_cast<size_t>(n - j) < libre ? n - j : static_cast<int32_t>(libre);
            /* '*' is '-' - 3: no branch, so that the compiler can work on many marks at once. */
            const uint32_t *bits = mots + j;
            for (int32_t i = 0; i < nb; i++) p[i] = static_cast<char>('-' - 3 * static_cast<int>((bits[i] >> b) & 1u));
            w.n += static_cast<size_t>(nb);
            j += nb;
        }
        return 0;
    }
    const LIST *l = &instance->l_vehAOrdonnancer;
    for (int32_t j = 0; j < n; j++) {
        mQuelto_anticiper(l, j, n, nullptr);
        const Vehicule *veh = static_cast<const Vehicule *>(list_element_trie(l, j));
        if (veh == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        *mQuelto_reserver(w, 1) = mQuelto_porteOption(veh, c, m.nbPrio) ? '*' : '-';
        w.n++;
    }
    return 0;
}

/*
** The per-constraint sequences of one priority: a heading, then per
** constraint its summary line and one mark per vehicle of the sequence ("*"
** when it carries the option, else "-").  0 / -1 (empty report).
*/
static int mQuelto_ecrireSequencesEcarts(EcrivainRapport &w, const InstancePb *instance, const PrioriteRapport &pr,
                                         const char *titre, MarquesRapport &m)
{
    mQuelto_ecrireTexte(w, titre);
    for (int k = 0; k < pr.i_nbEcarts; k++) {
        const EcartCritere *ec = static_cast<const EcartCritere *>(list_element(pr.l_ecarts, k));
        if (ec == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        mQuelto_ecrireFormat(w, "\n\n%s %d/%d : %d violations (ratio = %0.2f%% and cars matched day D = %0.2f%%)\n",
                             ec->s_nomEcart, ec->i_numerateur, ec->i_denominateur, pr.i_vectNbViol[k], ec->d_ratio,
                             pr.d_vectPourcentVeh[k]);
        const int32_t c = pr.prio ? k : m.nbPrio + k;
        const uint32_t *mots = nullptr;
        int b = 0;
        if (!mQuelto_optionDansPhoto(m.photo, c, m.nbPrio, &mots, &b) && m.bits != nullptr &&
            c >= m.premier + m.nb && mQuelto_rassemblerMarques(instance, m, c) != 0)
            return -1;
        if (mQuelto_ecrireMarques(w, instance, m, c) != 0) return -1;
    }
    return 0;
}

/* "(t)" for the colours t below 1000, padded to 8 bytes, with its length. */
struct TableTeintes {
    static constexpr int32_t NB = 1000;
    char texte[NB][8];
    uint8_t longueur[NB];
    constexpr TableTeintes() : texte(), longueur()
    {
        for (int32_t t = 0; t < NB; t++) {
            char chiffres[3] = {};
            int k = 0;
            for (int32_t u = t; k == 0 || u != 0; u /= 10) chiffres[k++] = static_cast<char>('0' + u % 10);
            int l = 0;
            texte[t][l++] = '(';
            while (k > 0) texte[t][l++] = chiffres[--k];
            texte[t][l++] = ')';
            longueur[t] = static_cast<uint8_t>(l);
        }
    }
};
static constexpr TableTeintes QUELTO_TEINTES{};

/* The paint colour sequence of the photo ph, a "*" before each colour change. */
static void mQuelto_ecrireTeintesPhoto(EcrivainRapport &w, const InstancePb *instance, const PhotoSequenceEvaluee &ph)
{
    int32_t precedente = instance->i_teintePos_1;
    const int32_t *teintes = ph.i_vectTeintes;
    for (int32_t j = 0; j < ph.i_longFilm; j++) {
        char *p = mQuelto_reserver(w, 16);
        char *debut = p;
        const int32_t teinte = teintes[j];
        *p = '*';
        p += teinte != precedente;
        if (teinte >= 0 && teinte < TableTeintes::NB) {
            memcpy(p, QUELTO_TEINTES.texte[teinte], 8);
            p += QUELTO_TEINTES.longueur[teinte];
        } else {
            *p++ = '(';
            p = mQuelto_ecrireEntier(p, teinte);
            *p++ = ')';
        }
        w.n += static_cast<size_t>(p - debut);
        precedente = teinte;
    }
}

/*
** The paint colour sequence, a "*" before each colour change: from the
** photo of m when there is one, else in a walk of the sequence, which also
** gathers the first group of m (when m is given).  0 / -1 (empty report).
*/
static int mQuelto_ecrireSequenceTeintes(EcrivainRapport &w, const InstancePb *instance, MarquesRapport *m,
                                         const PhotoSequenceEvaluee *photo)
{
    mQuelto_ecrireTexte(w, "\n\nPaint color sequence (* = paint color change) : \n\n");
    if (photo != nullptr) {
        mQuelto_ecrireTeintesPhoto(w, instance, *photo);
        return 0;
    }
    if (m != nullptr) mQuelto_choisirGroupe(*m, 0);
    const bool rassembler = m != nullptr && m->nb > 0;
    const LIST *l = &instance->l_vehAOrdonnancer;
    const int32_t n = instance->i_longFilm;
    int32_t precedente = instance->i_teintePos_1;
    for (int32_t j = 0; j < n; j++) {
        mQuelto_anticiper(l, j, n, m);
        const Vehicule *veh = static_cast<const Vehicule *>(list_element_trie(l, j));
        if (veh == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        char *p = mQuelto_reserver(w, 16);
        char *debut = p;
        if (veh->i_teinte != precedente) *p++ = '*';
        *p++ = '(';
        p = mQuelto_ecrireEntier(p, veh->i_teinte);
        *p++ = ')';
        w.n += static_cast<size_t>(p - debut);
        precedente = veh->i_teinte;
        if (rassembler) m->bits[j] = mQuelto_bitsOptions(veh, *m);
    }
    return 0;
}

/* The figures on the vehicles and on the paint colour batches. */
static void mQuelto_ecrireChiffres(EcrivainRapport &w, const InstancePb *instance, const IndicateursSolution *ind)
{
    mQuelto_ecrireTexte(w, "\n\nFigures on the vehicles matched by ratio constraints : \n");
    int nbEcarts = instance->i_nbEcartsPrio + instance->i_nbEcartsNonPrio;
    for (int c = 0; c <= nbEcarts; c++) {
        if (instance->i_vectNbVehParNbEcarts[c] > 0)
            mQuelto_ecrireFormat(w, "\ncars matched by %d ratio constraints = %0.2f%%", c,
                                 instance->i_vectNbVehParNbEcarts[c] * 100.0 / instance->i_longFilm);
    }
    mQuelto_ecrireTexte(w, "\n\nFigures on paint color batches : \n");
    mQuelto_ecrireFormat(w, "\nNumber of paint colors : %d", instance->i_nbTeintes);
    mQuelto_ecrireFormat(w, "\nLimitation on the upper batch size of paint color batches : %d",
                         instance->i_longMaxRafTeintes);
    const char *flag = og_getenv("S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES");
    if (flag != nullptr && strcmp(flag, "1") == 0)
        mQuelto_ecrireFormat(w, "\nNombre minimal de purges : %d\n", instance->i_nbMinimalPurges);
    mQuelto_ecrireFormat(w, "\nTotal number of paint color changes = %d", ind->i_nbPurges);
    mQuelto_ecrireFormat(w, "\nMedian length of paint color batches = %f", ind->d_longMoyRafales);
}

/*
** The body composed into w (see mQuelto_ecrireCorpsRapport); the marks'
** array of m is the caller's.  0 / -1.
*/
static int mQuelto_composerCorps(EcrivainRapport &w, InstancePb *instance, const IndicateursSolution *ind,
                                 bool detail, MarquesRapport &m)
{
    PrioriteRapport prio{&instance->l_ecartsPrio, instance->i_nbEcartsPrio, ind->i_vectNbViolEcPrio,
                         instance->d_vectPourcentVehEcPrio, ind->i_nbViolEcPrio, true};
    PrioriteRapport nonPrio{&instance->l_ecartsNonPrio, instance->i_nbEcartsNonPrio, ind->i_vectNbViolEcNonPrio,
                            instance->d_vectPourcentVehEcNonPrio, ind->i_nbViolEcNonPrio, false};

    mQuelto_ecrireTexte(w, "\n\nOptimization objectives : \n");
    for (int i = 0; i < instance->i_nbObjectifs && i < QUELTO_NB_MAX_OBJECTIFS; i++)
        mQuelto_ecrireFormat(w, "\n%d - %s", i, instance->s_nomsObjectifs[i]);
    mQuelto_ecrireFormat(w, "\n\nWeight of violations of high priority level ratio constraints = %f",
                         instance->d_poidsEcPrio);
    mQuelto_ecrireFormat(w, "\nWeight of violations of low priority level ratio constraints = %f",
                         instance->d_poidsEcNonPrio);
    mQuelto_ecrireFormat(w, "\nWeight of paint color changes = %f", instance->d_poidsPurges);

    if (ind->i_flagLongMaxRafTeintesOk == 0) {
        mQuelto_ecrireTexte(w, "\n\nS_MSG_ERR_0031 : the limitation on the upper batch size of paint color batches "
                               "is not satisfied => THE SOLUTION IS INVALID !!\n");
        mQuelto_ecrireFormat(w, "S_MSG_ERR_0032 : a batch with paint color (%d) has a length of (%d) vehicles !!\n\n",
                             ind->i_teinteRafaleTropLongue, ind->i_longRafaleTropLongue);
    }

    if (detail) {
        mQuelto_ecrireFormat(w, "\n\nMark of the solution = %f\n", ind->d_note);
        mQuelto_ecrireTexte(w, "\n\nFigures on vehicles : \n");
        mQuelto_ecrireFormat(w, "\n%s : %d vehicles from day D-1", instance->s_jourJMoins1,
                             list_length(&instance->l_vehFiges));
        mQuelto_ecrireFormat(w, "\n%s : %d vehicles from day D", instance->s_jourJ, instance->i_longFilm);
        if (mQuelto_ecrireViolations(w, prio, "\n\nViolations of high priority level ratio constraints : \n",
                                     "\n\nTotal number of violations of high priority level ratio constraints = ") != 0)
            return -1;
        if (mQuelto_ecrireViolations(w, nonPrio, "\n\nViolations of low priority level ratio constraints : \n",
                                     "\n\nTotal number of violations of low priority level ratio constraints = ") != 0)
            return -1;
        mQuelto_ecrireChiffres(w, instance, ind);
    }

    if (mQuelto_ecrireSequenceTeintes(w, instance, detail ? &m : nullptr, m.photo) != 0) return -1;

    if (detail) {
        if (mQuelto_ecrireSequencesEcarts(w, instance, prio,
                                          "\n\nSequence for each high priority level ratio constraint (* = the car "
                                          "matches the ratio constraint)\n",
                                          m) != 0)
            return -1;
        if (mQuelto_ecrireSequencesEcarts(w, instance, nonPrio,
                                          "\n\nSequences for each low priority level ratio constraint (* = the car "
                                          "matches the ratio constraint)\n",
                                          m) != 0)
            return -1;
    }
    mQuelto_ecrireTexte(w, "\n\nEnd of the reporting\n");
    return 0;
}

/*
** Everything of a report after its first line, written to f.  The figures
** and the per-constraint sequences appear when the batch limit holds or the
** record asks for a complete report; otherwise only the colour sequence
** follows the error lines.  0, or -1 when an element cannot be had (empty
** report, the report left cut short).  The marks' array (4 bytes per
** vehicle) lives for this call only.  Write errors are the caller's to
** detect.
*/
static int mQuelto_ecrireCorpsRapport(InstancePb *instance, FILE *f, const IndicateursSolution *ind)
{
    const bool detail = ind->i_flagLongMaxRafTeintesOk == 1 ||
                        (ind->i_flagLongMaxRafTeintesOk == 0 && ind->i_flagRapportComplet == 1);
    PhotoSequenceEvaluee photo{};
    const bool avecPhoto = mQuelto_photoSequenceEvaluee(instance, ind, &photo);
    MarquesRapport m{nullptr, instance->i_nbEcartsPrio, 0, 0, 0, avecPhoto ? &photo : nullptr};
    m.nbEcarts = instance->i_nbEcartsPrio + instance->i_nbEcartsNonPrio;
    const bool photoComplete = avecPhoto && photo.i_nbOptionsPrio == instance->i_nbEcartsPrio &&
                               photo.i_nbOptionsNonPrio == instance->i_nbEcartsNonPrio;
    if (detail && m.nbEcarts > 0 && instance->i_longFilm > 0 && !photoComplete)
        m.bits = static_cast<uint32_t *>(malloc(static_cast<size_t>(instance->i_longFilm) * sizeof(uint32_t)));
    EcrivainRapport &w = s_ecrivainRapport;
    w.f = f;
    w.n = 0;
    const int rc = mQuelto_composerCorps(w, instance, ind, detail, m);
    mQuelto_vider(w);
    free(m.bits);
    return rc;
}

/*
** Open chemin for writing, or report S_MSG_ERR_0033 with the whole path and
** give null.
*/
static FILE *mQuelto_ouvrirRapport(const char *chemin)
{
    FILE *f = fopen(chemin, "w");
    if (f == nullptr) {
        MessageQuelto m;
        mQuelto_formater(m, "\nS_MSG_ERR_0033 : impossible de creer le fichier (%s) !!\n", chemin);
        mQuelto_signaler(__LINE__, m);
    }
    return f;
}

/*
** Write the body after the first line and finish the file.  A failing body
** leaves the file open and cut short (-1).  Otherwise the file is flushed and
** closed; a write or close that failed is reported as S_MSG_ERR_0038 naming
** fonction and the path (-1), since the report is then incomplete.  0 on
** success.
*/
static int mQuelto_terminerRapport(InstancePb *instance, FILE *f, const IndicateursSolution *ind,
                                   const char *chemin, const char *fonction)
{
    if (mQuelto_ecrireCorpsRapport(instance, f, ind) != 0) return -1;
    bool echec = fflush(f) != 0 || ferror(f) != 0;
    if (fclose(f) != 0) echec = true;
    if (echec) {
        MessageQuelto m;
        mQuelto_formater(m, "\nS_MSG_ERR_0038 : %s : error while writing the file (%s) !!\n", fonction, chemin);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    return 0;
}

/*
** The report on the reference sequence (l_vehAOrdonnancer sorted by
** i_rangSeq) with the results in indicateurs, written to chemin.  0 / -1.
*/
int Quelto_ecrireRapportSurSeqInitiale(InstancePb *instance, IndicateursSolution *indicateurs, const char *chemin)
{
    FILE *f = mQuelto_ouvrirRapport(chemin);
    if (f == nullptr) return -1;
    fprintf(f, "Reporting on the reference solution of instance (%s) on (%s): \n", instance->s_nomInstance,
            GetCurrentDateText());
    return mQuelto_terminerRapport(instance, f, indicateurs, chemin, "Quelto_ecrireRapportSurSeqInitiale");
}

/*
** The report on the candidate's sequence (l_vehAOrdonnancer sorted by
** i_rangSeqCandidat) with the candidate's results, written to chemin; short
** when the batch limit fails and the record does not ask for a complete
** report.  0 / -1.
*/
int Quelto_ecrireRapportSurNumSeqCalcule(InstancePb *instance, IndicateursSolution *indicateurs, const char *chemin)
{
    FILE *f = mQuelto_ouvrirRapport(chemin);
    if (f == nullptr) return -1;
    fprintf(f, "Reporting on the solution of instance (%s) from candidate (%s) on (%s): \n", indicateurs->s_nomInstance,
            indicateurs->s_nomCandidat, GetCurrentDateText());
    return mQuelto_terminerRapport(instance, f, indicateurs, chemin, "Quelto_ecrireRapportSurNumSeqCalcule");
}
