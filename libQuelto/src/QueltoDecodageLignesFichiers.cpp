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
**   - each stored vehicle owns flag arrays of list_length(l_ecartsPrio) and
**     list_length(l_ecartsNonPrio) places (allocated with at least one place
**     so that an empty array is a valid pointer), never freed.
**
** The reports only read the InstancePb and the IndicateursSolution; the
** sequence is l_vehAOrdonnancer walked in the order of its primary index,
** which the caller has sorted.
*/
#include "QueltoDecodageLignesFichiers.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
static void mQuelto_avertir(const MessageQuelto &m)
{
    fputs(m.texte, stdout);
    fflush(stdout);
    f_dbg_trace(nullptr, 0, nullptr, 0, "%s", m.texte);
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

/*
** Vehicles file: initialises l_vehFiges and l_vehAOrdonnancer empty and both
** days empty, then reads one vehicle per data line.  Needs the constraint
** lists read already (their lengths give the flag columns).  -1 when the file
** is missing (S_MSG_ERR_0017, lists not initialised) or a line is refused.
*/
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
    ContexteDecodage ctx;
    return mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneVeh, &ctx);
}

/*
** Read nb option flags of one priority from the fields that follow *suivant
** into flags: a field beginning with "1" gives 1, one beginning with "0"
** gives 0, anything else refuses the line with S_MSG_ERR_0021 (high
** priority, prio true) or S_MSG_ERR_0022 (low priority) naming the line, the
** field and its place counted from 1.  0 / -1.
*/
static int mQuelto_lireFlagsVeh(const char *ligne, const ContexteDecodage *ctx, int *suivant, int32_t *flags, int nb,
                                bool prio)
{
    char champ[OSUP_LONG_CHAMP];
    for (int k = 1; k <= nb; k++) {
        int debut = *suivant;
        if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, debut, suivant, champ) != 0) return -1;
        if (champ[0] == '1' || champ[0] == '0') {
            flags[k - 1] = champ[0] - '0';
            continue;
        }
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
** The two flag arrays of a vehicle whose flags lus are nbPrio high priority
** then nbNonPrio low priority flags: those of an equal combination met
** earlier in the file, or new ones.  premiereLigne starts the table afresh.
** 0, or -1 when memory runs out.
*/
static int mQuelto_partagerFlags(const int32_t *lus, int nbPrio, int nbNonPrio, bool premiereLigne, Vehicule *v)
{
    TableFlags &t = s_tableFlags;
    if (premiereLigne || t.nbPrio != nbPrio || t.nbNonPrio != nbNonPrio) {
        free(t.cases);
        t = TableFlags{};
        t.nbPrio = nbPrio;
        t.nbNonPrio = nbNonPrio;
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

    char champs[4][OSUP_LONG_CHAMP];
    int debut = 0, suivant = 0;
    for (auto &champ : champs) {
        if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, debut, &suivant, champ) != 0) return -1;
        debut = suivant;
    }
    const char *date = champs[0], *rang = champs[1], *ident = champs[2], *teinte = champs[3];

    MessageQuelto m;
    Vehicule veh{};
    veh.i_rangSeq = mQuelto_lireEntier(rang);
    if (veh.i_rangSeq < 1) {
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0023 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid "
                         "sequence rank (%s) !!\n",
                         ctx->i_numLigne, rang);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    veh.i_teinte = mQuelto_lireEntier(teinte);
    if (veh.i_teinte < 1) {
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0024 : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid paint "
                         "color (%s) !!\n",
                         ctx->i_numLigne, teinte);
        mQuelto_signaler(__LINE__, m);
        return -1;
    }
    og_strncpyz(veh.s_date, date, QUELTO_LONG_DATE);
    og_strncpyz(veh.s_ident, ident, QUELTO_LONG_IDENT);
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
    if (instance->s_jourJ[0] != '\0' && strcmp(veh.s_date, instance->s_jourJ) == 0) {
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
    } else if (strcmp(veh.s_date, instance->s_jourJMoins1) == 0) {
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
    if (mQuelto_lireFlagsVeh(ligne, ctx, &suivant, lus, nbPrio, true) != 0) return -1;
    if (mQuelto_lireFlagsVeh(ligne, ctx, &suivant, lus + nbPrio, nbNonPrio, false) != 0) return -1;
    if (mQuelto_partagerFlags(lus, nbPrio, nbNonPrio, ctx->i_numLigne == 2, stocke) != 0) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    return 0;
}

/* ------------------------------------------------------------------------ */
/* The candidate's solution file                                             */
/* ------------------------------------------------------------------------ */

/*
** Solution file at chemin: sets i_rangSeqCandidat of the first i_longFilm
** day-D vehicles to -1, then to the rank that the file gives each of them.
** The primary index of l_vehAOrdonnancer must be sorted by identifier
** (mQuelto_comparerVehIdent).  -1 when the file is missing (S_MSG_ERR_0017,
** reported then printed on standard output), a vehicle cannot be had (empty
** report), or a line has a single field.
*/
int mQuelto_lireFichSeqSolutionEtMajInstancePb(InstancePb *instance, const char *chemin)
{
    if (!mQuelto_fichierExiste(chemin)) {
        MessageQuelto m;
        mQuelto_formater(m, "\nS_MSG_ERR_0017 : mQuelto_lireFichVehEtMajInstancePb : file (%s) not found !!\n", chemin);
        mQuelto_signaler(__LINE__, m);
        fputs(m.texte, stdout);
        fflush(stdout);
        return -1;
    }
    for (int r = 0; r < instance->i_longFilm; r++) {
        Vehicule *veh = static_cast<Vehicule *>(list_element(&instance->l_vehAOrdonnancer, r));
        if (veh == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        veh->i_rangSeqCandidat = -1;
    }
    ContexteDecodage ctx;
    return mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneSeqSolution, &ctx);
}

/*
** One line "rank;ident" of the solution file.  Lines with an empty ident are
** skipped silently; a rank outside 1..i_longFilm (S_MSG_ERR_0027), an unknown
** ident (S_MSG_ERR_0028) and a vehicle ranked twice (S_MSG_ERR_0029, the
** first rank kept) are warned about and skipped.  -1 only for a line with a
** single field.  Works without any allocation.
*/
int mQuelto_decodeLigneSeqSolution(char *ligne, void *contexte)
{
    ContexteDecodage *ctx = static_cast<ContexteDecodage *>(contexte);
    char champ1[OSUP_LONG_CHAMP], champ2[OSUP_LONG_CHAMP];
    int debut = 0, suivant = 0;
    if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, debut, &suivant, champ1) != 0) return -1;
    debut = suivant;
    if (OSupUtils_extraireChamp(ligne, ctx->s_separateur, debut, &suivant, champ2) != 0) return -1;
    if (champ2[0] == '\0') return 0;

    InstancePb *instance = ctx->p_instancePb;
    MessageQuelto m;
    int32_t rang = mQuelto_lireEntier(champ1);
    if (rang < 1 || rang > instance->i_longFilm) {
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0027 : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (%s) has "
                         "an invalid sequence rank (%s) !!\n",
                         champ2, champ1);
        mQuelto_avertir(m);
        return 0;
    }
    Vehicule cle{};
    og_strncpyz(cle.s_ident, champ2, QUELTO_LONG_IDENT);
    int rangListe = 0;
    Vehicule *veh = static_cast<Vehicule *>(list_bsearch(&instance->l_vehAOrdonnancer, &cle, &rangListe));
    if (veh == nullptr) {
        mQuelto_formater(m,
                         "\nS_MSG_ERR_0028 : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (%s) does "
                         "not exist in the instance (%s) !!\n",
                         champ2, instance->s_nomInstance);
        mQuelto_avertir(m);
        return 0;
    }
    if (veh->i_rangSeqCandidat == -1) {
        veh->i_rangSeqCandidat = rang;
        return 0;
    }
    mQuelto_formater(m,
                     "\nS_MSG_ERR_0029 : mQuelto_decodeLigneSeqSolution : the vehicle with ident number (%s) has 2 "
                     "sequence ranks : (%d) and (%d) !!\n",
                     veh->s_ident, veh->i_rangSeqCandidat, rang);
    mQuelto_avertir(m);
    return 0;
}

/* ------------------------------------------------------------------------ */
/* Reports                                                                   */
/* ------------------------------------------------------------------------ */

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
** The violations section of one priority (heading, one line per constraint,
** total).  0, or -1 when a constraint cannot be had (empty report).
*/
static int mQuelto_ecrireViolations(FILE *f, const PrioriteRapport &pr, const char *titre, const char *titreTotal)
{
    fprintf(f, "%s", titre);
    for (int k = 0; k < pr.i_nbEcarts; k++) {
        const EcartCritere *ec = static_cast<const EcartCritere *>(list_element(pr.l_ecarts, k));
        if (ec == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        fprintf(f, "\n%s %d/%d : %d (ratio = %0.2f%% and cars matched day D = %0.2f%%)", ec->s_nomEcart,
                ec->i_numerateur, ec->i_denominateur, pr.i_vectNbViol[k], ec->d_ratio, pr.d_vectPourcentVeh[k]);
    }
    fprintf(f, "%s%d", titreTotal, pr.i_nbViol);
    return 0;
}

/*
** The per-constraint sequences of one priority: a heading, then per
** constraint its summary line and one mark per vehicle of the sequence ("*"
** when it carries the option, else "-").  0 / -1 (empty report).
*/
static int mQuelto_ecrireSequencesEcarts(FILE *f, const InstancePb *instance, const PrioriteRapport &pr,
                                         const char *titre)
{
    fprintf(f, "%s", titre);
    for (int k = 0; k < pr.i_nbEcarts; k++) {
        const EcartCritere *ec = static_cast<const EcartCritere *>(list_element(pr.l_ecarts, k));
        if (ec == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        fprintf(f, "\n\n%s %d/%d : %d violations (ratio = %0.2f%% and cars matched day D = %0.2f%%)\n", ec->s_nomEcart,
                ec->i_numerateur, ec->i_denominateur, pr.i_vectNbViol[k], ec->d_ratio, pr.d_vectPourcentVeh[k]);
        for (int j = 0; j < instance->i_longFilm; j++) {
            const Vehicule *veh = static_cast<const Vehicule *>(list_element_trie(&instance->l_vehAOrdonnancer, j));
            if (veh == nullptr) {
                mQuelto_signalerVide(__LINE__);
                return -1;
            }
            const int32_t *flags = pr.prio ? veh->i_vectBoolEcPrio : veh->i_vectBoolEcNonPrio;
            fputs(flags[k] == 1 ? "*" : "-", f);
        }
    }
    return 0;
}

/* The paint colour sequence, a "*" before each colour change.  0 / -1. */
static int mQuelto_ecrireSequenceTeintes(FILE *f, const InstancePb *instance)
{
    fprintf(f, "\n\nPaint color sequence (* = paint color change) : \n\n");
    int32_t precedente = instance->i_teintePos_1;
    for (int j = 0; j < instance->i_longFilm; j++) {
        const Vehicule *veh = static_cast<const Vehicule *>(list_element_trie(&instance->l_vehAOrdonnancer, j));
        if (veh == nullptr) {
            mQuelto_signalerVide(__LINE__);
            return -1;
        }
        if (veh->i_teinte != precedente) fputs("*", f);
        fprintf(f, "(%d)", veh->i_teinte);
        precedente = veh->i_teinte;
    }
    return 0;
}

/* The figures on the vehicles and on the paint colour batches. */
static void mQuelto_ecrireChiffres(FILE *f, const InstancePb *instance, const IndicateursSolution *ind)
{
    fprintf(f, "\n\nFigures on the vehicles matched by ratio constraints : \n");
    int nbEcarts = instance->i_nbEcartsPrio + instance->i_nbEcartsNonPrio;
    for (int c = 0; c <= nbEcarts; c++) {
        if (instance->i_vectNbVehParNbEcarts[c] > 0)
            fprintf(f, "\ncars matched by %d ratio constraints = %0.2f%%", c,
                    instance->i_vectNbVehParNbEcarts[c] * 100.0 / instance->i_longFilm);
    }
    fprintf(f, "\n\nFigures on paint color batches : \n");
    fprintf(f, "\nNumber of paint colors : %d", instance->i_nbTeintes);
    fprintf(f, "\nLimitation on the upper batch size of paint color batches : %d", instance->i_longMaxRafTeintes);
    const char *flag = og_getenv("S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES");
    if (flag != nullptr && strcmp(flag, "1") == 0)
        fprintf(f, "\nNombre minimal de purges : %d\n", instance->i_nbMinimalPurges);
    fprintf(f, "\nTotal number of paint color changes = %d", ind->i_nbPurges);
    fprintf(f, "\nMedian length of paint color batches = %f", ind->d_longMoyRafales);
}

/*
** Everything of a report after its first line.  The figures and the
** per-constraint sequences appear when the batch limit holds or the record
** asks for a complete report; otherwise only the colour sequence follows the
** error lines.  0, or -1 when an element cannot be had (empty report, the
** report left cut short).  Write errors are the caller's to detect.
*/
static int mQuelto_ecrireCorpsRapport(InstancePb *instance, FILE *f, const IndicateursSolution *ind)
{
    bool detail = ind->i_flagLongMaxRafTeintesOk == 1 ||
                  (ind->i_flagLongMaxRafTeintesOk == 0 && ind->i_flagRapportComplet == 1);
    PrioriteRapport prio{&instance->l_ecartsPrio, instance->i_nbEcartsPrio, ind->i_vectNbViolEcPrio,
                         instance->d_vectPourcentVehEcPrio, ind->i_nbViolEcPrio, true};
    PrioriteRapport nonPrio{&instance->l_ecartsNonPrio, instance->i_nbEcartsNonPrio, ind->i_vectNbViolEcNonPrio,
                            instance->d_vectPourcentVehEcNonPrio, ind->i_nbViolEcNonPrio, false};

    fprintf(f, "\n\nOptimization objectives : \n");
    for (int i = 0; i < instance->i_nbObjectifs && i < QUELTO_NB_MAX_OBJECTIFS; i++)
        fprintf(f, "\n%d - %s", i, instance->s_nomsObjectifs[i]);
    fprintf(f, "\n\nWeight of violations of high priority level ratio constraints = %f", instance->d_poidsEcPrio);
    fprintf(f, "\nWeight of violations of low priority level ratio constraints = %f", instance->d_poidsEcNonPrio);
    fprintf(f, "\nWeight of paint color changes = %f", instance->d_poidsPurges);

    if (ind->i_flagLongMaxRafTeintesOk == 0) {
        fprintf(f, "\n\nS_MSG_ERR_0031 : the limitation on the upper batch size of paint color batches is not "
                   "satisfied => THE SOLUTION IS INVALID !!\n");
        fprintf(f, "S_MSG_ERR_0032 : a batch with paint color (%d) has a length of (%d) vehicles !!\n\n",
                ind->i_teinteRafaleTropLongue, ind->i_longRafaleTropLongue);
    }

    if (detail) {
        fprintf(f, "\n\nMark of the solution = %f\n", ind->d_note);
        fprintf(f, "\n\nFigures on vehicles : \n");
        fprintf(f, "\n%s : %d vehicles from day D-1", instance->s_jourJMoins1, list_length(&instance->l_vehFiges));
        fprintf(f, "\n%s : %d vehicles from day D", instance->s_jourJ, instance->i_longFilm);
        if (mQuelto_ecrireViolations(f, prio, "\n\nViolations of high priority level ratio constraints : \n",
                                     "\n\nTotal number of violations of high priority level ratio constraints = ") != 0)
            return -1;
        if (mQuelto_ecrireViolations(f, nonPrio, "\n\nViolations of low priority level ratio constraints : \n",
                                     "\n\nTotal number of violations of low priority level ratio constraints = ") != 0)
            return -1;
        mQuelto_ecrireChiffres(f, instance, ind);
    }

    if (mQuelto_ecrireSequenceTeintes(f, instance) != 0) return -1;

    if (detail) {
        if (mQuelto_ecrireSequencesEcarts(f, instance, prio,
                                          "\n\nSequence for each high priority level ratio constraint (* = the car "
                                          "matches the ratio constraint)\n") != 0)
            return -1;
        if (mQuelto_ecrireSequencesEcarts(f, instance, nonPrio,
                                          "\n\nSequences for each low priority level ratio constraint (* = the car "
                                          "matches the ratio constraint)\n") != 0)
            return -1;
    }
    fprintf(f, "\n\nEnd of the reporting\n");
    return 0;
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
