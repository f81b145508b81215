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
**     vehicles with equal flags of a priority share them (PartageDrapeaux).
**
** The state a reader keeps from one line to the next belongs to that reading
** (the decoder finds it in the ContexteDecodage); the only state that outlives
** a call is the anticipated reading of the solution file, which belongs to
** the caller's evaluation context (mQuelto_anticiperFichSeqSolution): that
** reading, on another thread, only reads the day-D vehicles' identifiers and
** writes their candidate ranks, reports nothing, and its messages are
** replayed in order by the run's reading of the file.
**
** The reports are functions of the instance and of an evaluated sequence.
*/
#include "QueltoDecodageLignesFichiers.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
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

int32_t Quelto_lireEntier(const char *texte)
{
    return mQuelto_lireEntier(texte);
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

/*
** Whether the file at chemin exists (the existence test of every reader);
** when it does not, "\nS_MSG_ERR_<code> : <fonction> : file (<chemin>) not
** found !!\n" is reported, located at ligneSource, and printed on standard
** output too when aussiSortie.
*/
static bool mQuelto_fichierTrouve(const char *chemin, const char *code, const char *fonction, int ligneSource,
                                  bool aussiSortie = false)
{
    if (testerExistenceFichier(chemin, nullptr) == 1) return true;
    MessageQuelto m;
    mQuelto_formater(m, "\nS_MSG_ERR_%s : %s : file (%s) not found !!\n", code, fonction, chemin);
    mQuelto_signaler(ligneSource, m);
    if (aussiSortie) {
        fputs(m.texte, stdout);
        fflush(stdout);
    }
    return false;
}

/* Hand the file to the line reader with a fresh context, the reader's state given.  0 / -1. */
static int mQuelto_lireFichier(InstancePb *instance, const char *chemin, OSupUtils_FonctionDecodage decode,
                               ContexteDecodage *ctx, void *etat = nullptr)
{
    ctx->p_instancePb = instance;
    ctx->s_separateur = QUELTO_SEPARATEUR;
    ctx->i_numLigne = 0;
    ctx->p_etatLecture = etat;
    return OSupUtils_lireFichierParLigne(chemin, decode, ctx, QUELTO_LONG_LIGNE) == 0 ? 0 : -1;
}

/*
** Paint batch limit file: sets i_longMaxRafTeintes from the last data line.
** -1 when the file is missing (S_MSG_ERR_0013), a line is refused, or the file
** has no data line at all (S_MSG_ERR_0036): a limit must come from the file.
*/
int mQuelto_lireFichLongMaxTeinteEtMajInstancePb(InstancePb *instance)
{
    const char *chemin = instance->s_fichLongMaxRafTeintes;
    if (!mQuelto_fichierTrouve(chemin, "0013", "mQuelto_lireFichLongMaxTeinteEtMajInstancePb", __LINE__)) return -1;
    ContexteDecodage ctx{};
    if (mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneLongMaxTeinte, &ctx) != 0) return -1;
    if (ctx.i_numLigne < 2) {
        MessageQuelto m;
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
    if (!mQuelto_fichierTrouve(chemin, "0015", "mQuelto_lireFichObjectifsEtMajInstancePb", __LINE__)) return -1;
    instance->i_nbObjectifs = 0;
    for (int i = 0; i < QUELTO_NB_MAX_OBJECTIFS; i++) {
        instance->s_nomsObjectifs[i][0] = '\0';
        instance->i_codesObjectifs[i] = -1;
    }
    ContexteDecodage ctx{};
    return mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneObjectifs, &ctx);
}

/* The objective keywords and their codes, searched in this order. */
static constexpr struct {
    const char *motCle;
    int32_t code;
} QUELTO_MOTS_CLES_OBJECTIFS[] = {
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
    for (const auto &obj : QUELTO_MOTS_CLES_OBJECTIFS) {
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
    if (!mQuelto_fichierTrouve(chemin, "0009", "mQuelto_lireFichEcartsCritEtMajInstancePb", __LINE__)) return -1;
    list_init(&instance->l_ecartsPrio, 0, 0, sizeof(EcartCritere), nullptr);
    list_init(&instance->l_ecartsNonPrio, 0, 0, sizeof(EcartCritere), nullptr);
    ContexteDecodage ctx{};
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

/* ------------------------------------------------------------------------ */
/* The vehicles file                                                         */
/* ------------------------------------------------------------------------ */

/*
** Zero-filled flag arrays, carved from blocks of 64 KiB: a day may hold
** millions of vehicles and a heap block per array would cost more than its
** flags.  An array larger than a quarter of a block gets its own.  Like every
** record of the instance the arrays are never freed: the vehicles point at
** them until the process ends.
*/
class BlocsDrapeaux {
public:
    /* An array of n places (n >= 1), or null when memory runs out. */
    int32_t *allouer(size_t n)
    {
        if (n > PLACES_PAR_BLOC / 4) return static_cast<int32_t *>(calloc(n, sizeof(int32_t)));
        if (n > libres_) {
            int32_t *nouveau = static_cast<int32_t *>(calloc(PLACES_PAR_BLOC, sizeof(int32_t)));
            if (nouveau == nullptr) return nullptr;
            bloc_ = nouveau;
            libres_ = PLACES_PAR_BLOC;
        }
        int32_t *a = bloc_ + (PLACES_PAR_BLOC - libres_);
        libres_ -= n;
        return a;
    }

private:
    static constexpr size_t PLACES_PAR_BLOC = 65536 / sizeof(int32_t);
    int32_t *bloc_ = nullptr; /* the block being carved */
    size_t libres_ = 0;       /* places left at its end */
};

/*
** The flag arrays of one priority, shared between the vehicles whose flags
** of that priority are equal.  A day holds far fewer distinct combinations of
** one priority's options than vehicles, and each vehicle's arrays would cost
** more than its record; a vehicle whose combination was met already points at
** the array of the first vehicle that had it (nothing writes a vehicle's
** flags once they are read, and the vehicles' comparators and the evaluation
** find equal arrays at once).  The combinations met are found again through
** an open addressing table, at most half full, hashed on the combination's
** bits; it lives for one reading of the vehicles file.  Every array has at
** least one place, so that a priority without constraint still gives a
** valid pointer.
*/
class PartageDrapeaux {
public:
    PartageDrapeaux(int nb, BlocsDrapeaux *blocs) : nb_(nb), blocs_(blocs) {}

    /*
    ** The shared array holding the flags lus[0..nb-1], whose bits (the last 64
    ** flags when there are more) are combinaison.  Null when memory runs out.
    */
    int32_t *partager(const int32_t *lus, uint64_t combinaison)
    {
        if (2 * (nbCombinaisons_ + 1) > cases_.size() && !agrandir()) return nullptr;
        const size_t octets = static_cast<size_t>(nb_) * sizeof(int32_t);
        size_t i = place(combinaison);
        for (; cases_[i].drapeaux != nullptr; i = (i + 1) & (cases_.size() - 1)) {
            const Case &c = cases_[i];
            if (c.combinaison == combinaison && memcmp(c.drapeaux, lus, octets) == 0) return c.drapeaux;
        }
        int32_t *a = blocs_->allouer(nb_ > 0 ? static_cast<size_t>(nb_) : 1);
        if (a == nullptr) return nullptr;
        memcpy(a, lus, octets);
        cases_[i] = Case{combinaison, a};
        nbCombinaisons_++;
        return a;
    }

private:
    struct Case {
        uint64_t combinaison;
        int32_t *drapeaux; /* null: a free place */
    };

    size_t place(uint64_t combinaison) const
    {
        return static_cast<size_t>((combinaison * 0x9e3779b97f4a7c15u) >> 32) & (cases_.size() - 1);
    }

    /* Double the table (or create it); false when memory runs out. */
    bool agrandir()
    {
        std::vector<Case> anciennes;
        try {
            anciennes = std::exchange(cases_, std::vector<Case>(cases_.empty() ? 1024 : 2 * cases_.size()));
        } catch (const std::bad_alloc &) {
            return false;
        }
        for (const Case &c : anciennes) {
            if (c.drapeaux == nullptr) continue;
            size_t i = place(c.combinaison);
            while (cases_[i].drapeaux != nullptr) i = (i + 1) & (cases_.size() - 1);
            cases_[i] = c;
        }
        return true;
    }

    int nb_;
    BlocsDrapeaux *blocs_;
    std::vector<Case> cases_;
    size_t nbCombinaisons_ = 0;
};

/*
** What one reading of a vehicles file keeps from one line to the next: the
** shared flag arrays of each priority and the room for the flags of a line.
*/
struct LectureVehicules {
    BlocsDrapeaux blocs;
    PartageDrapeaux partage[2];
    std::vector<int32_t> lus;

    LectureVehicules(int nbPrio, int nbNonPrio)
        : partage{PartageDrapeaux(nbPrio, &blocs), PartageDrapeaux(nbNonPrio, &blocs)},
          lus(static_cast<size_t>(nbPrio + nbNonPrio + 1))
    {
    }
};

/*
** Vehicles file: initialises l_vehFiges and l_vehAOrdonnancer empty and both
** days empty, then reads one vehicle per data line.  Needs the constraint
** lists read already (their lengths give the flag columns).  -1 when the file
** is missing (S_MSG_ERR_0017, lists not initialised) or a line is refused.
*/
int mQuelto_lireFichVehEtMajInstancePb(InstancePb *instance)
{
    const char *chemin = instance->s_fichVehicules;
    if (!mQuelto_fichierTrouve(chemin, "0017", "mQuelto_lireFichVehEtMajInstancePb", __LINE__)) return -1;
    list_init(&instance->l_vehFiges, 200, 0, sizeof(Vehicule), nullptr);
    list_init(&instance->l_vehAOrdonnancer, 2000, 0, sizeof(Vehicule), nullptr);
    instance->s_jourJ[0] = '\0';
    instance->s_jourJMoins1[0] = '\0';
    const int nbPrio = list_length(&instance->l_ecartsPrio), nbNonPrio = list_length(&instance->l_ecartsNonPrio);
    assert(nbPrio >= 0 && nbNonPrio >= 0);
    std::optional<LectureVehicules> lecture;
    try {
        lecture.emplace(nbPrio, nbNonPrio);
    } catch (const std::bad_alloc &) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
    ContexteDecodage ctx{};
    return mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneVeh, &ctx, &*lecture);
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
** Refuse a vehicle line whose number field c (what it is: quoi) is below 1:
** "\nS_MSG_ERR_<code> : mQuelto_decodeLigneVeh : the vehicle from line (N)
** has an invalid <quoi> (<field>) !!\n", located at ligneSource.  -1.
*/
static int mQuelto_refuserNombreVeh(const ContexteDecodage *ctx, const char *code, const char *quoi,
                                    const ChampVeh &c, int ligneSource)
{
    char champ[OSUP_LONG_CHAMP];
    MessageQuelto m;
    mQuelto_formater(m, "\nS_MSG_ERR_%s : mQuelto_decodeLigneVeh : the vehicle from line (%d) has an invalid %s (%s) !!\n",
                     code, ctx->i_numLigne, quoi, mQuelto_copierChamp(c, champ));
    mQuelto_signaler(ligneSource, m);
    return -1;
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
    if (veh.i_rangSeq < 1) return mQuelto_refuserNombreVeh(ctx, "0023", "sequence rank", rang, __LINE__);
    veh.i_teinte = mQuelto_lireEntierChamp(teinte);
    if (veh.i_teinte < 1) return mQuelto_refuserNombreVeh(ctx, "0024", "paint color", teinte, __LINE__);
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
    LectureVehicules &lecture = *static_cast<LectureVehicules *>(ctx->p_etatLecture);
    const int nbPrio = list_length(&instance->l_ecartsPrio), nbNonPrio = list_length(&instance->l_ecartsNonPrio);
    Vehicule *stocke = static_cast<Vehicule *>(list_element(liste, list_length(liste) - 1));
    assert(stocke != nullptr && lecture.lus.size() == static_cast<size_t>(nbPrio + nbNonPrio + 1));
    int32_t *lus = lecture.lus.data();
    uint64_t combinaisons[2] = {0, 0};
    if (mQuelto_lireFlagsVeh(champs, ctx, lus, nbPrio, true, &combinaisons[0]) != 0) return -1;
    if (mQuelto_lireFlagsVeh(champs, ctx, lus + nbPrio, nbNonPrio, false, &combinaisons[1]) != 0) return -1;
    stocke->i_vectBoolEcPrio = lecture.partage[0].partager(lus, combinaisons[0]);
    stocke->i_vectBoolEcNonPrio = lecture.partage[1].partager(lus + nbPrio, combinaisons[1]);
    if (stocke->i_vectBoolEcPrio == nullptr || stocke->i_vectBoolEcNonPrio == nullptr) {
        mQuelto_signalerVide(__LINE__);
        return -1;
    }
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
** vehicle to -1 on the way.  Each vehicle's place is asked for AVANCE
** vehicles before it is written.  false when a vehicle cannot be had (t is
** then given up).
*/
static bool mQuelto_remplirTableIdents(TableIdents &t, LIST *l, int32_t n, int64_t *nbPartages)
{
    conseillerGrandesPages(t.places, t.nbPlaces * sizeof(PlaceIdent));
    memset(t.places, 0xff, t.nbPlaces * sizeof(PlaceIdent));
    bool ok = true;
    constexpr int32_t AVANCE = 16;
    uint64_t hachages[AVANCE]; /* of the vehicles waiting, by rank modulo AVANCE */
    *nbPartages = 0;
    for (int32_t r = 0; r < n && ok; r++) {
        if (r >= AVANCE) ok = mQuelto_placerIdent(t, l, r - AVANCE, hachages[r % AVANCE], nbPartages);
        Vehicule *v = static_cast<Vehicule *>(list_element(l, r));
        assert(v != nullptr);
        /* Written only when it must change: the line may be read meanwhile on another processor. */
        if (v->i_rangSeqCandidat != -1) v->i_rangSeqCandidat = -1;
        hachages[r % AVANCE] = mQuelto_hacherIdentVeh(v);
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
    int64_t numLigne;     /* its physical line number in the file */
    char champ2[capacite];
};
static constexpr size_t QUELTO_LONG_IDENT_ATTENTE = 48;
using LigneSeule = LigneSolution<OSUP_LONG_CHAMP>;
using LigneAttente = LigneSolution<QUELTO_LONG_IDENT_ATTENTE>;

/* Fill ligne with rank rang and identifier texte of longueur characters (< capacite). */
template <size_t capacite>
static void mQuelto_preparerLigne(LigneSolution<capacite> &ligne, int32_t rang, const char *texte, size_t longueur)
{
    ligne.numLigne = OSupUtils_numeroLigne();
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
    RecepteurSolution *recepteur = nullptr;       /* given: what the reading meets goes there, not to messages */
    const std::atomic<bool> *arreter = nullptr;   /* set: an anticipated reading gives up */
    bool abandonnee = false;              /* an anticipated reading met what only the run may report */
    int nb = 0;                           /* lines waiting */
    LigneAttente lignes[QUELTO_LOT_LIGNES];
};

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

/* S_MSG_ERR_0028: no vehicle has the identifier champ2 of the line numLigne. */
static void mQuelto_signalerIdentInconnu(LectureSolution &lec, const char *champ2, int64_t numLigne)
{
    if (lec.recepteur != nullptr) {
        lec.recepteur->identifiantInconnu(numLigne, champ2);
        return;
    }
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
** Give rank rang to the vehicle veh (of rank rangListe in the day's list)
** that the line numLigne found, or S_MSG_ERR_0029 when the vehicle has a
** rank already (the first stays).
*/
static void mQuelto_donnerRang(LectureSolution &lec, Vehicule *veh, int32_t rangListe, int32_t rang, int64_t numLigne)
{
    if (veh->i_rangSeqCandidat == -1) {
        veh->i_rangSeqCandidat = rang;
        if (lec.recepteur != nullptr) lec.recepteur->vehiculePlace(numLigne, rangListe, rang);
    } else if (lec.recepteur != nullptr) {
        lec.recepteur->deuxRangs(numLigne, rangListe, veh->i_rangSeqCandidat, rang);
    } else {
        mQuelto_signalerDeuxRangs(lec, veh->s_ident, veh->i_rangSeqCandidat, rang);
    }
}

/*
** Place the line of rank rang and second field champ2, of which coupe
** characters are searched, on the vehicle that list_bsearch finds for it
** (S_MSG_ERR_0028 when none).
*/
static void mQuelto_placerParBisection(LectureSolution &lec, int32_t rang, const char *champ2, size_t coupe,
                                       int64_t numLigne)
{
    Vehicule cle{};
    memcpy(cle.s_ident, champ2, coupe);
    int rangListe = 0;
    Vehicule *veh = static_cast<Vehicule *>(list_bsearch(&lec.instance->l_vehAOrdonnancer, &cle, &rangListe));
    if (veh == nullptr) mQuelto_signalerIdentInconnu(lec, champ2, numLigne);
    else mQuelto_donnerRang(lec, veh, rangListe, rang, numLigne);
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
        if (lec.evenements == nullptr) mQuelto_placerParBisection(lec, ligne.rang, ligne.champ2, ligne.coupe, ligne.numLigne);
        else if (lec.evenements->size() >= QUELTO_NB_MAX_EVENEMENTS) lec.abandonnee = true;
        else lec.evenements->push_back(EvenementSolution{true, ligne.rang, ligne.coupe, ligne.champ2});
        return;
    }
    Vehicule *veh = ligne.rangVeh == -1 ? nullptr : static_cast<Vehicule *>(list_element(lec.table.liste, ligne.rangVeh));
    if (veh == nullptr) mQuelto_signalerIdentInconnu(lec, ligne.champ2, ligne.numLigne);
    else mQuelto_donnerRang(lec, veh, ligne.rangVeh, ligne.rang, ligne.numLigne);
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
        if (lec.recepteur != nullptr) {
            lec.recepteur->champUnique(OSupUtils_numeroLigne());
            return -1;
        }
    }
    size_t longueur = 0;
    const char *champ2 = mQuelto_champSuivant(champs, &longueur);
    if (champ2 == nullptr) return -1;
    if (longueur == 0) {
        if (lec.recepteur != nullptr) lec.recepteur->identifiantVide(OSupUtils_numeroLigne(), champ1);
        return 0;
    }
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
    if (!rangValide && lec.recepteur != nullptr) {
        lec.recepteur->rangInvalide(seule.numLigne, seule.champ2, champ1);
        return 0;
    }
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
    mQuelto_placerParBisection(lec, rang, seule.champ2, seule.coupe, seule.numLigne);
    return 0;
}

/* Set i_rangSeqCandidat of the first n day-D vehicles (n at most the list's length) to -1. */
static void mQuelto_oublierRangsCandidat(InstancePb *instance, int32_t n)
{
    for (int32_t r = 0; r < n; r++) {
        Vehicule *veh = static_cast<Vehicule *>(list_element(&instance->l_vehAOrdonnancer, r));
        assert(veh != nullptr);
        veh->i_rangSeqCandidat = -1;
    }
}

/* True when l's primary index is marked sorted by identifier, for a day of n vehicles. */
static bool mQuelto_trieeParIdent(const LIST *l, int32_t n)
{
    return l->initMarker == LIST_MARQUEUR_INIT && l->count > 0 && l->primaryActive && l->primarySorted &&
           l->fcmp == mQuelto_comparerVehIdent && l->primaryIndex != nullptr && l->count < QUELTO_IDENT_PARTAGE &&
           l->count == n;
}

/*
** An identifier table kept by an evaluation context for the next readings of
** the same day: its places hold the identifiers of the list, which do not
** change, and, for the identifiers that several vehicles share, the vehicle
** that list_bsearch finds in the order of the reading, which may: the
** shared places are noted (place, first vehicle with the mark) and searched
** again at each reading.
*/
struct TableMemorisee {
    TableIdents table;
    int32_t n = 0;
    std::vector<std::pair<size_t, int32_t>> partages;

    ~TableMemorisee() { mQuelto_oublierTableIdents(table); }
};

/* Note the shared places of a table just filled (before they are resolved). */
static void mQuelto_noterPartages(TableMemorisee &m)
{
    m.partages.clear();
    for (size_t i = 0; i < m.table.nbPlaces; i++)
        if (m.table.places[i].rang != -1 && (m.table.places[i].rang & QUELTO_IDENT_PARTAGE) != 0)
            m.partages.emplace_back(i, m.table.places[i].rang);
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
** come from.  The reading belongs to the evaluation context that started
** it, which stops it before it goes.
*/
struct AnticipationSolution {
    std::string chemin;
    std::atomic<bool> arreter{false};
    std::vector<EvenementSolution> evenements;
    LectureSolution lecture;
    bool reussie = false;           /* the whole file was read; set by the reading thread */
    std::thread fil;

    ~AnticipationSolution()
    {
        arreter = true;
        if (fil.joinable()) fil.join();
        mQuelto_oublierTableIdents(lecture.table);
    }
};

/*
** The state of an evaluation context: the anticipated reading of the
** solution file, if one was started, and the identifier table of the last
** reading, for the next ones of the same day.
*/
struct ContexteEvaluation::Etat {
    std::unique_ptr<AnticipationSolution> anticipation;
    TableMemorisee table;
};

ContexteEvaluation::ContexteEvaluation() : p_etat(std::make_unique<Etat>()) {}

/* The anticipated reading is stopped first: it reads the vehicles of an instance that may go next. */
ContexteEvaluation::~ContexteEvaluation()
{
    p_etat->anticipation.reset();
}

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
            mQuelto_remplirTableIdents(lec.table, &lec.instance->l_vehAOrdonnancer, lec.nbVehicules, &nbPartages);
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

void mQuelto_anticiperFichSeqSolution(ContexteEvaluation *contexte, InstancePb *instance, const char *chemin)
{
    ContexteEvaluation::Etat &etat = contexte->etat();
    etat.anticipation.reset();
    LIST *l = &instance->l_vehAOrdonnancer;
    struct stat fichier;
    if (l->initMarker != LIST_MARQUEUR_INIT || l->count <= 0 || l->count >= QUELTO_IDENT_PARTAGE ||
        stat(chemin, &fichier) != 0 || !S_ISREG(fichier.st_mode))
        return;
    try {
        auto a = std::make_unique<AnticipationSolution>();
        a->chemin = chemin;
        a->lecture.instance = instance;
        a->lecture.nbVehicules = l->count;
        a->lecture.evenements = &a->evenements;
        a->lecture.arreter = &a->arreter;
        a->evenements.reserve(64);
        if (!mQuelto_reserverTableIdents(a->lecture.table, l->count)) return;
        a->fil = std::thread(mQuelto_lireEnAvance, a.get());
        etat.anticipation = std::move(a);
    } catch (const std::exception &) {
        /* No thread or no memory: the run reads the file itself. */
    }
}

/*
** The anticipated reading of the file at chemin for instance, finished, when
** it went through and still holds (the day sorted by identifier, of the
** size it had); null otherwise.  Either way no reading runs any more.
*/
static std::unique_ptr<AnticipationSolution> mQuelto_prendreAnticipation(ContexteEvaluation *contexte,
                                                                        InstancePb *instance, const char *chemin)
{
    std::unique_ptr<AnticipationSolution> a = std::move(contexte->etat().anticipation);
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
        if (e.partage) mQuelto_placerParBisection(lec, e.rang, e.texte.c_str(), e.coupe, 0);
        else mQuelto_avertir(e.texte.c_str());
    }
}

/*
** The identifier table of the day-D list l (sorted by identifier, n vehicles)
** into lec, every candidate rank set to -1: memo's when it was made for that
** list (its shared identifiers searched again), else a new one, which memo
** keeps when given.  false when memory is short or a shared identifier is not
** found: the reading then searches each line.
*/
static bool mQuelto_preparerTable(LectureSolution &lec, InstancePb *instance, TableMemorisee *memo)
{
    LIST *l = &instance->l_vehAOrdonnancer;
    const int32_t n = instance->i_longFilm;
    if (memo != nullptr && memo->table.liste == l && memo->n == n) {
        mQuelto_oublierRangsCandidat(instance, n);
        for (const auto &[i, rang] : memo->partages) memo->table.places[i].rang = rang;
        lec.table = memo->table;
        return mQuelto_resoudrePartages(lec.table, l);
    }
    int64_t nbPartages = 0;
    if (!mQuelto_reserverTableIdents(lec.table, n) || !mQuelto_remplirTableIdents(lec.table, l, n, &nbPartages))
        return false;
    if (memo != nullptr) {
        mQuelto_oublierTableIdents(memo->table);
        memo->table = lec.table;
        memo->n = n;
        mQuelto_noterPartages(*memo);
    }
    return nbPartages == 0 || mQuelto_resoudrePartages(lec.table, l);
}

/*
** The run's own reading of the solution file into lec: the identifier table
** when the day is sorted by identifier (see mQuelto_preparerTable), else
** each line searched with list_bsearch (the ranks set to -1 first).  0, or
** -1 as mQuelto_lireFichSeqSolutionEtMajInstancePb.
*/
static int mQuelto_lireSolution(LectureSolution &lec, InstancePb *instance, const char *chemin, TableMemorisee *memo)
{
    lec.instance = instance;
    lec.nbVehicules = instance->i_longFilm;
    if (!mQuelto_trieeParIdent(&instance->l_vehAOrdonnancer, instance->i_longFilm) ||
        !mQuelto_preparerTable(lec, instance, memo)) {
        if (memo == nullptr || lec.table.places != memo->table.places) mQuelto_oublierTableIdents(lec.table);
        lec.table = TableIdents{};
        mQuelto_oublierRangsCandidat(instance, instance->i_longFilm);
    }
    ContexteDecodage ctx{instance, QUELTO_SEPARATEUR, 0, &lec};
    const int rc = lec.recepteur != nullptr ? (OSupUtils_lireFichierEnSilence(chemin, mQuelto_decodeLigneSeqSolution, &ctx,
                                                                             QUELTO_LONG_LIGNE) == 0 ? 0 : -1)
                                            : mQuelto_lireFichier(instance, chemin, mQuelto_decodeLigneSeqSolution, &ctx, &lec);
    mQuelto_finirLignes(lec);
    if (memo == nullptr || lec.table.places != memo->table.places) mQuelto_oublierTableIdents(lec.table);
    lec.table = TableIdents{};
    return rc;
}

/*
** Solution file at chemin: sets i_rangSeqCandidat of the first i_longFilm
** day-D vehicles to -1, then to the rank that the file gives each of them,
** or replays the context's anticipated reading of that file.  The primary
** index of l_vehAOrdonnancer must be sorted by identifier
** (mQuelto_comparerVehIdent).  -1 when the file is missing (S_MSG_ERR_0017,
** reported then printed on standard output) or a line has a single field (the
** lines before it placed).
*/
int mQuelto_lireFichSeqSolutionEtMajInstancePb(InstancePb *instance, const char *chemin, ContexteEvaluation *contexte)
{
    std::unique_ptr<AnticipationSolution> anticipee =
        contexte != nullptr ? mQuelto_prendreAnticipation(contexte, instance, chemin) : nullptr;
    /* This reader gives the vehicles reader's message, on standard output as well. */
    if (!mQuelto_fichierTrouve(chemin, "0017", "mQuelto_lireFichVehEtMajInstancePb", __LINE__, true)) return -1;
    if (anticipee != nullptr) {
        mQuelto_rejouerAnticipation(*anticipee);
        return 0;
    }
    auto lec = std::make_unique<LectureSolution>();
    return mQuelto_lireSolution(*lec, instance, chemin, nullptr);
}

int Quelto_lireSolution(InstancePb *instance, const char *chemin, RecepteurSolution *recepteur,
                        ContexteEvaluation *contexte)
{
    assert(instance != nullptr && chemin != nullptr && recepteur != nullptr);
    auto lec = std::make_unique<LectureSolution>();
    lec->recepteur = recepteur;
    return mQuelto_lireSolution(*lec, instance, chemin, contexte != nullptr ? &contexte->etat().table : nullptr);
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
    LectureSolution &lec = *static_cast<LectureSolution *>(ctx->p_etatLecture);
    return mQuelto_lireLigneSolution(lec, ligne, ctx->s_separateur);
}

/* ------------------------------------------------------------------------ */
/* Reports                                                                   */
/* ------------------------------------------------------------------------ */

/*
** A report is a function of the instance and of an evaluated sequence: it
** reads the figures of preparation in the instance, and the results record,
** the colours and the option rows of the sequence in the value.  A report of
** a day of a million vehicles is tens of megabytes, nearly all of it long
** lines (the colour sequence and one line of marks per constraint), so the
** body is composed in a buffer that goes to the file in one write each time
** it fills.  Whatever has been composed is handed to the file before the
** body returns; write errors stay in the stream's error indicator, which the
** caller checks when it finishes the file.
*/

/* Capacity of the composition buffer (the widest single piece is far smaller). */
static constexpr size_t QUELTO_TAMPON_RAPPORT = 1 << 16;

/* The report being composed: its stream and the bytes not yet written. */
struct EcrivainRapport {
    FILE *f;
    size_t n = 0;
    char tampon[QUELTO_TAMPON_RAPPORT];

    explicit EcrivainRapport(FILE *flux) : f(flux) {}
    ~EcrivainRapport() { vider(); }
    EcrivainRapport(const EcrivainRapport &) = delete;
    EcrivainRapport &operator=(const EcrivainRapport &) = delete;

    /* Hand the composed bytes to the stream. */
    void vider()
    {
        if (n > 0) fwrite(tampon, 1, n, f);
        n = 0;
    }

    /* Room for at least place bytes (place <= capacity) at tampon + n. */
    char *reserver(size_t place)
    {
        if (QUELTO_TAMPON_RAPPORT - n < place) vider();
        return tampon + n;
    }

    /* Append the longueur bytes of s. */
    void ecrire(const char *s, size_t longueur)
    {
        while (longueur > 0) {
            reserver(1);
            const size_t m = std::min(QUELTO_TAMPON_RAPPORT - n, longueur);
            memcpy(tampon + n, s, m);
            n += m;
            s += m;
            longueur -= m;
        }
    }

    void ecrire(const char *s) { ecrire(s, strlen(s)); }

    /* Append the formatted text; one wider than the whole buffer goes to the stream directly. */
    void format(const char *fmt, ...) __attribute__((format(printf, 2, 3)))
    {
        for (int essai = 0; essai < 2; essai++) {
            va_list ap;
            va_start(ap, fmt);
            const size_t libre = QUELTO_TAMPON_RAPPORT - n;
            const int r = vsnprintf(tampon + n, libre, fmt, ap);
            va_end(ap);
            if (r < 0) return;
            if (static_cast<size_t>(r) < libre) {
                n += static_cast<size_t>(r);
                return;
            }
            vider();
        }
        va_list ap;
        va_start(ap, fmt);
        vfprintf(f, fmt, ap);
        va_end(ap);
    }
};

/* One priority of ratio constraints in a report: its list, its figures, its texts. */
struct PrioriteRapport {
    quelto::Priority priorite;
    const LIST *l_ecarts;
    const double *d_vectPourcentVeh;
    int32_t i_nbViol;
    const char *titreViolations, *titreTotal, *titreSequences;
};

/*
** Call f(ecart, violations, pourcent) for each constraint of the priority,
** in list order, with its violations in the sequence and the share of day-D
** vehicles that carry its option.
*/
template <typename F>
static void mQuelto_pourChaqueEcart(const PrioriteRapport &pr, const quelto::EvaluatedSequence &seq, F &&f)
{
    const int32_t *viol = seq.violations(pr.priorite);
    for (int32_t k = 0; k < seq.options(pr.priorite).constraints(); k++) {
        const EcartCritere *ec = static_cast<const EcartCritere *>(list_element(pr.l_ecarts, k));
        assert(ec != nullptr);
        f(k, *ec, viol[k], pr.d_vectPourcentVeh[k]);
    }
}

/* The violations section of one priority: heading, one line per constraint, total. */
static void mQuelto_ecrireViolations(EcrivainRapport &w, const PrioriteRapport &pr, const quelto::EvaluatedSequence &seq)
{
    w.ecrire(pr.titreViolations);
    mQuelto_pourChaqueEcart(pr, seq, [&w](int32_t, const EcartCritere &ec, int32_t viol, double pourcent) {
        w.format("\n%s %d/%d : %d (ratio = %0.2f%% and cars matched day D = %0.2f%%)", ec.s_nomEcart, ec.i_numerateur,
                 ec.i_denominateur, viol, ec.d_ratio, pourcent);
    });
    w.format("%s%d", pr.titreTotal, pr.i_nbViol);
}

/*
** The marks of a row of option bits: "*" for a vehicle that carries the
** option, else "-", eight marks at a time ("*" is "-" - 3).
*/
static void mQuelto_ecrireMarques(EcrivainRapport &w, const quelto::OptionRows &options, int32_t k)
{
    const uint64_t *ligne = options.row(k);
    constexpr uint64_t TIRETS = 0x2d2d2d2d2d2d2d2du;
    for (int32_t j = 0; j < options.positions(); j += 64) {
        const int32_t nb = std::min(64, options.positions() - j);
        char *p = w.reserver(64);
        const uint64_t mot = ligne[j / 64];
        for (int o = 0; o < 8; o++) {
            const uint64_t marques = TIRETS - 3 * QUELTO_OCTETS_DES_BITS.v[mot >> (8 * o) & 0xffu];
            memcpy(p + 8 * o, &marques, 8);
        }
        w.n += static_cast<size_t>(nb);
    }
}

/* The per-constraint sequences of one priority: a heading, then per constraint its summary line and its marks. */
static void mQuelto_ecrireSequencesEcarts(EcrivainRapport &w, const PrioriteRapport &pr,
                                          const quelto::EvaluatedSequence &seq)
{
    w.ecrire(pr.titreSequences);
    mQuelto_pourChaqueEcart(pr, seq, [&](int32_t k, const EcartCritere &ec, int32_t viol, double pourcent) {
        w.format("\n\n%s %d/%d : %d violations (ratio = %0.2f%% and cars matched day D = %0.2f%%)\n", ec.s_nomEcart,
                 ec.i_numerateur, ec.i_denominateur, viol, ec.d_ratio, pourcent);
        mQuelto_ecrireMarques(w, seq.options(pr.priorite), k);
    });
}

/* "(t)" for colour t at p (at most 13 bytes); the position after it. */
static char *mQuelto_ecrireTeinte(char *p, int32_t t)
{
    *p++ = '(';
    uint32_t u = static_cast<uint32_t>(t);
    if (t < 0) {
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
    *p++ = ')';
    return p;
}

/* The paint colour sequence of seq behind the last frozen colour, a "*" before each colour change. */
static void mQuelto_ecrireSequenceTeintes(EcrivainRapport &w, const InstancePb *instance,
                                          const quelto::EvaluatedSequence &seq)
{
    w.ecrire("\n\nPaint color sequence (* = paint color change) : \n\n");
    mQuelto_pourChaqueRafale(seq.colours.data(), seq.size(), instance->i_teintePos_1,
                             [&w](int32_t, int32_t longueur, int32_t teinte, bool changement) {
                                 char texte[16];
                                 const size_t l = static_cast<size_t>(mQuelto_ecrireTeinte(texte, teinte) - texte);
                                 if (changement) w.ecrire("*", 1);
                                 for (int32_t i = 0; i < longueur; i++) {
                                     memcpy(w.reserver(sizeof texte), texte, sizeof texte);
                                     w.n += l;
                                 }
                             });
}

/* The figures on the vehicles and on the paint colour batches. */
static void mQuelto_ecrireChiffres(EcrivainRapport &w, const InstancePb *instance, const IndicateursSolution &ind)
{
    w.ecrire("\n\nFigures on the vehicles matched by ratio constraints : \n");
    const int nbEcarts = instance->i_nbEcartsPrio + instance->i_nbEcartsNonPrio;
    for (int c = 0; c <= nbEcarts; c++) {
        if (instance->i_vectNbVehParNbEcarts[c] > 0)
            w.format("\ncars matched by %d ratio constraints = %0.2f%%", c,
                     instance->i_vectNbVehParNbEcarts[c] * 100.0 / instance->i_longFilm);
    }
    w.ecrire("\n\nFigures on paint color batches : \n");
    w.format("\nNumber of paint colors : %d", instance->i_nbTeintes);
    w.format("\nLimitation on the upper batch size of paint color batches : %d", instance->i_longMaxRafTeintes);
    const char *flag = og_getenv("S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES");
    if (flag != nullptr && strcmp(flag, "1") == 0) w.format("\nNombre minimal de purges : %d\n", instance->i_nbMinimalPurges);
    w.format("\nTotal number of paint color changes = %d", ind.i_nbPurges);
    w.format("\nMedian length of paint color batches = %f", ind.d_longMoyRafales);
}

/*
** Everything of a report after its first line, written to f.  The figures
** and the per-constraint sequences appear when the batch limit holds or the
** results record asks for a complete report; otherwise only the colour
** sequence follows the error lines.  Write errors are the caller's to
** detect.
*/
static void mQuelto_ecrireCorpsRapport(const InstancePb *instance, FILE *f, const quelto::EvaluatedSequence &seq)
{
    const IndicateursSolution &ind = seq.results;
    assert(seq.size() == instance->i_longFilm && seq.high.constraints() == instance->i_nbEcartsPrio &&
           seq.low.constraints() == instance->i_nbEcartsNonPrio);
    const bool detail = ind.i_flagLongMaxRafTeintesOk == 1 ||
                        (ind.i_flagLongMaxRafTeintesOk == 0 && ind.i_flagRapportComplet == 1);
    const PrioriteRapport priorites[2] = {
        {quelto::Priority::high, &instance->l_ecartsPrio, instance->d_vectPourcentVehEcPrio, ind.i_nbViolEcPrio,
         "\n\nViolations of high priority level ratio constraints : \n",
         "\n\nTotal number of violations of high priority level ratio constraints = ",
         "\n\nSequence for each high priority level ratio constraint (* = the car matches the ratio constraint)\n"},
        {quelto::Priority::low, &instance->l_ecartsNonPrio, instance->d_vectPourcentVehEcNonPrio, ind.i_nbViolEcNonPrio,
         "\n\nViolations of low priority level ratio constraints : \n",
         "\n\nTotal number of violations of low priority level ratio constraints = ",
         "\n\nSequences for each low priority level ratio constraint (* = the car matches the ratio constraint)\n"},
    };
    EcrivainRapport w(f);
    w.ecrire("\n\nOptimization objectives : \n");
    for (int i = 0; i < instance->i_nbObjectifs && i < QUELTO_NB_MAX_OBJECTIFS; i++)
        w.format("\n%d - %s", i, instance->s_nomsObjectifs[i]);
    w.format("\n\nWeight of violations of high priority level ratio constraints = %f", instance->d_poidsEcPrio);
    w.format("\nWeight of violations of low priority level ratio constraints = %f", instance->d_poidsEcNonPrio);
    w.format("\nWeight of paint color changes = %f", instance->d_poidsPurges);
    if (ind.i_flagLongMaxRafTeintesOk == 0) {
        w.ecrire("\n\nS_MSG_ERR_0031 : the limitation on the upper batch size of paint color batches is not "
                 "satisfied => THE SOLUTION IS INVALID !!\n");
        w.format("S_MSG_ERR_0032 : a batch with paint color (%d) has a length of (%d) vehicles !!\n\n",
                 ind.i_teinteRafaleTropLongue, ind.i_longRafaleTropLongue);
    }
    if (detail) {
        w.format("\n\nMark of the solution = %f\n", ind.d_note);
        w.ecrire("\n\nFigures on vehicles : \n");
        w.format("\n%s : %d vehicles from day D-1", instance->s_jourJMoins1, list_length(&instance->l_vehFiges));
        w.format("\n%s : %d vehicles from day D", instance->s_jourJ, instance->i_longFilm);
        for (const PrioriteRapport &pr : priorites) mQuelto_ecrireViolations(w, pr, seq);
        mQuelto_ecrireChiffres(w, instance, ind);
    }
    mQuelto_ecrireSequenceTeintes(w, instance, seq);
    if (detail)
        for (const PrioriteRapport &pr : priorites) mQuelto_ecrireSequencesEcarts(w, pr, seq);
    w.ecrire("\n\nEnd of the reporting\n");
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
** Write the body after the first line and finish the file: flushed and
** closed; a write or close that failed is reported as S_MSG_ERR_0038 naming
** fonction and the path (-1), since the report is then incomplete.  0 on
** success.
*/
static int mQuelto_terminerRapport(const InstancePb *instance, FILE *f, const quelto::EvaluatedSequence &seq,
                                   const char *chemin, const char *fonction)
{
    mQuelto_ecrireCorpsRapport(instance, f, seq);
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

int Quelto_ecrireRapportSurSeqInitiale(const InstancePb *instance, const quelto::EvaluatedSequence &sequence,
                                       const char *chemin)
{
    FILE *f = mQuelto_ouvrirRapport(chemin);
    if (f == nullptr) return -1;
    fprintf(f, "Reporting on the reference solution of instance (%s) on (%s): \n", instance->s_nomInstance,
            GetCurrentDateText());
    return mQuelto_terminerRapport(instance, f, sequence, chemin, "Quelto_ecrireRapportSurSeqInitiale");
}

int Quelto_ecrireRapportSurNumSeqCalcule(const InstancePb *instance, const quelto::EvaluatedSequence &sequence,
                                         const char *chemin)
{
    FILE *f = mQuelto_ouvrirRapport(chemin);
    if (f == nullptr) return -1;
    fprintf(f, "Reporting on the solution of instance (%s) from candidate (%s) on (%s): \n",
            sequence.results.s_nomInstance, sequence.results.s_nomCandidat, GetCurrentDateText());
    return mQuelto_terminerRapport(instance, f, sequence, chemin, "Quelto_ecrireRapportSurNumSeqCalcule");
}
