/*
** The run driver of exeQuelto: the whole control flow of the program.
**
** A run does one fixed job, in a fixed order, and stops at the first step
** that fails:
**
**    1. load "exeQuelto.ini" into the variable table;
**    2. point the trace log at the file the settings name;
**    3. copy the instance name and compose the four instance file paths;
**    4. read the four instance files;
**    5. prepare the instance (which also initialises the reference's results);
**    6. sort the day-D vehicles by reference rank and evaluate them;
**    7. write the reference report;
**    8. initialise the candidate's results, sort the day-D vehicles by
**       identifier and read the candidate's solution file;
**    9. sort the day-D vehicles by candidate rank and evaluate them;
**   10. write the candidate report.
**
** Each phase is announced by a progress message S_MSG_INFO_nnnn with the
** date, on standard output and in the trace log.  A callee that fails has
** already reported its own failure; the driver then only returns -1.  The
** driver's own failures (settings file not loaded, trace log not created,
** a setting it needs not defined, a composed path too long) are printed on
** standard output, without a newline, and reported through OSupTrace_Report.
**
** The driver owns, in its own frame, the instance record (which embeds the
** reference's results), the candidate's results record, the evaluation
** context of the instance and each evaluated sequence while its report is
** written.  Nothing of the instance is freed: its lists and arrays live
** until the process ends.
**
** On a large day the candidate's solution file is read on another thread
** while steps 5 to 7 run (see anticiperSolution); step 8 then only replays
** what that reading did, so what the run shows stays the same.
**
** Paths: directory settings are plain prefixes (the driver inserts no
** separator after them); the only separator inserted is the "/" between the
** instance name and the name of an instance file.  Every composed path must
** stay under 1024 characters; the instance record's path fields hold 1023.
** Paths always use the full instance name, even when the records hold a
** copy cut to 100 characters.
*/
#include "exeQuelto.h"

#include <cstdio>
#include <new>
#include <string>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "applierrno.h"
#include "applistd.h"
#include "list.h"
#include "osuptraces.h"
#include "traces.h"
#include "util_string.h"

namespace {

const char *const FICHIER_PARAMETRES = "exeQuelto.ini";

/* A composed path must be shorter than this. */
constexpr std::size_t LONG_CHEMIN_LIMITE = 1024;

/* Days of at least this many vehicles have their solution file read in advance. */
constexpr int NB_VEH_LECTURE_ANTICIPEE = 20000;

/* Progress messages: each format takes the date text as its only argument. */
const char *const MSG_LECTURE = "\nS_MSG_INFO_1000 : Read input data ... (%s)\n";
const char *const MSG_CALCULS = "\nS_MSG_INFO_1002 : Computations on input data ... (%s)\n";
const char *const MSG_INDIC_REFERENCE =
    "\nS_MSG_INFO_1005 : Compute the reporting on the reference solution (%s)\n";
const char *const MSG_RAPPORT_REFERENCE =
    "\nS_MSG_INFO_1007 : Save on disk of the reporting on the reference solution (%s)\n";
const char *const MSG_INDIC_CANDIDAT =
    "\nS_MSG_INFO_1006 : Compute the reporting on the candidate solution (%s)\n";
const char *const MSG_RAPPORT_CANDIDAT =
    "\nS_MSG_INFO_1008 : Save on disk of the reporting on the candidate solution (%s)\n";
const char *const MSG_FIN = "\nS_MSG_INFO_1004 : End of the program (%s)\n";

/*
** Print a progress message on standard output with the current date, then
** write it to the trace log with a freshly taken date.  The format is one of
** the driver's constants above.
*/
void annoncerEtape(const char *format)
{
    std::printf(format, GetCurrentDateText());
    std::fflush(stdout);
    f_dbg_trace(nullptr, 0, nullptr, 0, format, GetCurrentDateText());
}

/*
** Publish one of the driver's own failures: the text on standard output as
** it stands (no newline added, a "%" in it printed as such), then the error
** report naming this file and the reporting line.
*/
void signalerEchec(int ligne, const std::string &texte)
{
    std::fputs(texte.c_str(), stdout);
    std::fflush(stdout);
    OSupTrace_Report(APPLI_SOURCE, ligne, nullptr, 0, "%s", texte.c_str());
}

/*
** The value of a setting that the driver needs, into valeur.  Returns false
** after publishing "Setting not defined : KEY !!" when neither the settings
** file nor the environment defines it.
*/
bool lireParametre(const char *cle, std::string &valeur)
{
    const char *v = og_getenv(cle);
    if (v == nullptr) {
        signalerEchec(__LINE__, std::string("Setting not defined : ") + cle + " !!");
        return false;
    }
    valeur = v;
    return true;
}

/*
** True when a composed path is short enough; otherwise publishes
** "Path too long : PATH !!" and returns false.
*/
bool cheminAccepte(const std::string &chemin)
{
    if (chemin.size() < LONG_CHEMIN_LIMITE) return true;
    signalerEchec(__LINE__, "Path too long : " + chemin + " !!");
    return false;
}

/*
** Step 1: load the settings file from the working directory.  Whatever made
** the load fail, the message is "File not found : exeQuelto.ini !!".
*/
bool chargerParametres()
{
    if (og_add_envfile(FICHIER_PARAMETRES) == 0) return true;
    signalerEchec(__LINE__, std::string("File not found : ") + FICHIER_PARAMETRES + " !!");
    return false;
}

/* Step 2: point the trace log at LOGS_DIRECTORY + LOGFILE_FILE_NAME, emptied. */
bool ouvrirTrace()
{
    std::string repertoire, nom;
    if (!lireParametre("S_QUELTO_LOGS_DIRECTORY", repertoire)) return false;
    if (!lireParametre("S_QUELTO_EXE_LOGFILE_FILE_NAME", nom)) return false;
    const std::string chemin = repertoire + nom;
    if (!cheminAccepte(chemin)) return false;
    if (f_set_dbg_logfile_name(chemin.c_str(), "w") == 0) return true;
    signalerEchec(__LINE__, "Cannot create logfile : " + chemin + " !!");
    return false;
}

/*
** Compose root + instance + "/" + the file name held by the setting cle into
** the path field champ of the instance record (1023 characters + terminator).
*/
bool composerCheminInstance(const std::string &racine, const std::string &instance, const char *cle,
                            char (&champ)[QUELTO_LONG_CHEMIN + 1])
{
    std::string nomFichier;
    if (!lireParametre(cle, nomFichier)) return false;
    const std::string chemin = racine + instance + "/" + nomFichier;
    if (!cheminAccepte(chemin)) return false;
    og_strncpyz(champ, chemin.c_str(), QUELTO_LONG_CHEMIN);
    return true;
}

/* Step 3: the instance name and the four instance file paths. */
bool nommerInstance(InstancePb &instance, std::string &nomInstance)
{
    if (!lireParametre("S_QUELTO_INSTANCE_PB_NAME", nomInstance)) return false;
    og_strncpyz(instance.s_nomInstance, nomInstance.c_str(), QUELTO_LONG_NOM_INSTANCE);

    std::string racine;
    if (!lireParametre("S_QUELTO_RACINE_PATH_NAME", racine)) return false;
    return composerCheminInstance(racine, nomInstance, "S_QUELTO_ECARTS_CRITERES_FILE_NAME",
                                  instance.s_fichEcartsCriteres) &&
           composerCheminInstance(racine, nomInstance, "S_QUELTO_LONG_MAX_RAF_TEINTES_FILE_NAME",
                                  instance.s_fichLongMaxRafTeintes) &&
           composerCheminInstance(racine, nomInstance, "S_QUELTO_OBJECTIF_OPTIM_FILE_NAME",
                                  instance.s_fichObjectifOptim) &&
           composerCheminInstance(racine, nomInstance, "S_QUELTO_VEHICULES_FILE_NAME",
                                  instance.s_fichVehicules);
}

/*
** A result path: RESULT_DIRECTORY + instance name + the value of the setting
** cleSuffixe (none for the candidate's solution file).
*/
bool composerCheminResultat(const std::string &nomInstance, const char *cleSuffixe, std::string &chemin)
{
    std::string repertoire, suffixe;
    if (!lireParametre("S_QUELTO_RESULT_DIRECTORY", repertoire)) return false;
    if (cleSuffixe != nullptr && !lireParametre(cleSuffixe, suffixe)) return false;
    chemin = repertoire + nomInstance + suffixe;
    return cheminAccepte(chemin);
}

/*
** After step 4, on a large day: start reading the candidate's solution file
** on another thread, when its path can be composed without a word (a
** setting missing or a path too long is left to step 8 to report).
*/
void anticiperSolution(ContexteEvaluation &contexte, InstancePb &instance, const std::string &nomInstance)
{
    if (list_length(&instance.l_vehAOrdonnancer) < NB_VEH_LECTURE_ANTICIPEE) return;
    const char *repertoire = og_getenv("S_QUELTO_RESULT_DIRECTORY");
    if (repertoire == nullptr) return;
    const std::string chemin = repertoire + nomInstance;
    if (chemin.size() < LONG_CHEMIN_LIMITE) mQuelto_anticiperFichSeqSolution(&contexte, &instance, chemin.c_str());
}

/* Steps 5 to 7: preparation, the reference sequence, its evaluation and its report. */
bool traiterReference(InstancePb &instance, const std::string &nomInstance)
{
    annoncerEtape(MSG_CALCULS);
    if (Quelto_majInstancePb(&instance) != 0) return false;

    annoncerEtape(MSG_INDIC_REFERENCE);
    list_trier(&instance.l_vehAOrdonnancer, mQuelto_comparerVehRangSeq);
    quelto::EvaluatedSequence reference;
    if (Quelto_calculerIndicateursSurSeqInitiale(&instance, &reference) != 0) return false;

    annoncerEtape(MSG_RAPPORT_REFERENCE);
    std::string chemin;
    if (!composerCheminResultat(nomInstance, "S_QUELTO_INDIC_SEQ_INITIAL_SUFFIX_NAME", chemin)) return false;
    return Quelto_ecrireRapportSurSeqInitiale(&instance, reference, chemin.c_str()) == 0;
}

/* Steps 8 to 10: the candidate's solution, its evaluation and its report. */
bool traiterCandidat(ContexteEvaluation &contexte, InstancePb &instance, IndicateursSolution &candidat,
                     const std::string &nomInstance)
{
    if (Quelto_initIndicateursSolution(&instance, &candidat) != 0) return false;
    candidat.i_flagRapportComplet = 0;
    og_strncpyz(candidat.s_nomInstance, nomInstance.c_str(), QUELTO_LONG_NOM_INSTANCE);
    std::string nomCandidat;
    if (!lireParametre("S_QUELTO_CANDIDATE_NAME", nomCandidat)) return false;
    og_strncpyz(candidat.s_nomCandidat, nomCandidat.c_str(), QUELTO_LONG_NOM_CANDIDAT);

    /* The solution file reader finds the vehicles by identifier. */
    list_trier(&instance.l_vehAOrdonnancer, mQuelto_comparerVehIdent);
    std::string cheminSolution;
    if (!composerCheminResultat(nomInstance, nullptr, cheminSolution)) return false;
    if (mQuelto_lireFichSeqSolutionEtMajInstancePb(&instance, cheminSolution.c_str(), &contexte) != 0) return false;

    annoncerEtape(MSG_INDIC_CANDIDAT);
    list_trier(&instance.l_vehAOrdonnancer, mQuelto_comparerVehRangSeqCandidat);
    quelto::EvaluatedSequence sequence;
    if (Quelto_calculerIndicateursSurNumSeqCalcule(&instance, &candidat, &sequence) != 0) return false;

    annoncerEtape(MSG_RAPPORT_CANDIDAT);
    std::string cheminRapport;
    if (!composerCheminResultat(nomInstance, "S_QUELTO_INDIC_SEQ_FINAL_SUFFIX_NAME", cheminRapport)) return false;
    return Quelto_ecrireRapportSurNumSeqCalcule(&instance, sequence, cheminRapport.c_str()) == 0;
}

/* The whole sequence; false at the first failure, already published. */
bool executer()
{
    if (!chargerParametres()) return false;
    if (!ouvrirTrace()) return false;

    annoncerEtape(MSG_LECTURE);
    InstancePb instance{};
    IndicateursSolution candidat{};
    /* After the instance: the context goes first, stopping a reading ahead that reads the instance. */
    ContexteEvaluation contexte;
    std::string nomInstance;
    if (!nommerInstance(instance, nomInstance)) return false;
    if (Quelto_lireFichiersEtMajInstancePb(&instance) != 0) return false;
    anticiperSolution(contexte, instance, nomInstance);

    if (!traiterReference(instance, nomInstance)) return false;
    if (!traiterCandidat(contexte, instance, candidat, nomInstance)) return false;

    annoncerEtape(MSG_FIN);
    return true;
}

}  // namespace

/*
** The run: 0 when every step succeeded, -1 at the first failure.  The only
** failure the driver can meet outside the steps is memory running out while
** it composes a text; it is published like its other failures.
*/
int exeQuelto_run()
{
    try {
        return executer() ? 0 : -1;
    } catch (const std::bad_alloc &) {
        /* No allocation here: the text is a literal. */
        static const char texte[] = "Not enough memory !!";
        std::fputs(texte, stdout);
        std::fflush(stdout);
        OSupTrace_Report(APPLI_SOURCE, __LINE__, nullptr, 0, "%s", texte);
        return -1;
    }
}
