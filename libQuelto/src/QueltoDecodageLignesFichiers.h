/*
** Reading of the instance files and of the candidate's solution file, and
** the evaluation reports.
*/
#ifndef QUELTODECODAGELIGNESFICHIERS_H
#define QUELTODECODAGELIGNESFICHIERS_H

#include <memory>

#include "Quelto.h"
#include "evaluated_sequence.h"

/*
** The evaluation context: what the readings of one instance keep from one
** call to the next, owned by the caller (the run driver, a test, a program
** that evaluates many candidates) rather than by the library: the
** anticipated reading of the solution file (mQuelto_anticiperFichSeqSolution),
** whose thread reads the instance's vehicles, and the identifier table of
** the last reading of a solution file, for the next readings of the same
** day.  A context must go before the instance it serves, and going stops
** that reading.  A context serves one
** instance at a time; nothing in it is shared between contexts.
*/
class ContexteEvaluation {
public:
    ContexteEvaluation();
    ~ContexteEvaluation();
    ContexteEvaluation(const ContexteEvaluation &) = delete;
    ContexteEvaluation &operator=(const ContexteEvaluation &) = delete;

    struct Etat; /* defined by the readers */
    Etat &etat() { return *p_etat; }

private:
    std::unique_ptr<Etat> p_etat;
};

/*
** A number of an input file as every reader reads it: leading white space
** and one sign accepted, reading stops at the first non-digit, a text
** without a digit reads 0, a value beyond the 32-bit range saturates.
*/
int32_t Quelto_lireEntier(const char *texte);

/* Read the four instance files (batch limit, objectives, constraints, vehicles). 0 / -1. */
int Quelto_lireFichiersEtMajInstancePb(InstancePb *instance);

int mQuelto_lireFichLongMaxTeinteEtMajInstancePb(InstancePb *instance);
int mQuelto_decodeLigneLongMaxTeinte(char *ligne, void *contexte);
int mQuelto_lireFichObjectifsEtMajInstancePb(InstancePb *instance);
int mQuelto_decodeLigneObjectifs(char *ligne, void *contexte);
int mQuelto_lireFichEcartsCritEtMajInstancePb(InstancePb *instance);
int mQuelto_decodeLigneEcartCritere(char *ligne, void *contexte);
int mQuelto_lireFichVehEtMajInstancePb(InstancePb *instance);
int mQuelto_decodeLigneVeh(char *ligne, void *contexte);

/*
** The candidate's solution file: sets i_rangSeqCandidat of the day-D
** vehicles, or replays the reading of that file that contexte anticipated
** (the context may be null: no anticipated reading).  0 / -1.
*/
int mQuelto_lireFichSeqSolutionEtMajInstancePb(InstancePb *instance, const char *chemin, ContexteEvaluation *contexte);
int mQuelto_decodeLigneSeqSolution(char *ligne, void *contexte);

/*
** What a reading of a solution file meets, line by line in file order (line
** numbers are the file's physical lines, from 1), for a caller that wants it
** rather than the run's messages: a line with an empty identifier (which the
** run skips silently), an invalid rank (S_MSG_ERR_0027), an identifier of no
** day-D vehicle (S_MSG_ERR_0028), a vehicle placed (its rank rang in
** l_vehAOrdonnancer, at the position the line gives), a vehicle placed
** already (S_MSG_ERR_0029: its first position stays), a line with a single
** field (the reading stops there, as the run does).
*/
class RecepteurSolution {
public:
    virtual ~RecepteurSolution() = default;
    virtual void identifiantVide(int64_t ligne, const char *champ1) = 0;
    virtual void rangInvalide(int64_t ligne, const char *champ2, const char *champ1) = 0;
    virtual void identifiantInconnu(int64_t ligne, const char *champ2) = 0;
    virtual void vehiculePlace(int64_t ligne, int32_t rang, int32_t position) = 0;
    virtual void deuxRangs(int64_t ligne, int32_t rang, int32_t premiere, int32_t seconde) = 0;
    virtual void champUnique(int64_t ligne) = 0;
};

/*
** Read the solution file at chemin as mQuelto_lireFichSeqSolutionEtMajInstancePb
** does (the same candidate ranks result, l_vehAOrdonnancer sorted by
** identifier), telling recepteur what it meets instead of writing messages:
** nothing is written to any stream.  With a context, the identifier table
** of a reading serves the next readings of the same day.  0, or -1 when the
** file cannot be read or a line has a single field.
*/
int Quelto_lireSolution(InstancePb *instance, const char *chemin, RecepteurSolution *recepteur,
                        ContexteEvaluation *contexte = nullptr);

/*
** Start reading the solution file at chemin for the day-D vehicles of
** instance on another thread, once the vehicles file is read: the reading of
** that file by mQuelto_lireFichSeqSolutionEtMajInstancePb with the same
** context then replays what was found, when it covers the same file and
** day.  The anticipated reading writes nothing but candidate ranks and
** reports nothing: whatever goes wrong is left to the run's own reading.
** The vehicles' identifiers must not change meanwhile, nor their candidate
** ranks be read or written.  Replaces any reading the context anticipated.
*/
void mQuelto_anticiperFichSeqSolution(ContexteEvaluation *contexte, InstancePb *instance, const char *chemin);

/*
** The reports on an evaluated sequence of the instance (the reference's and
** the candidate's first line differ; the candidate's names are those of
** the sequence's results record), written to chemin.  0 / -1.
*/
int Quelto_ecrireRapportSurSeqInitiale(const InstancePb *instance, const quelto::EvaluatedSequence &sequence,
                                       const char *chemin);
int Quelto_ecrireRapportSurNumSeqCalcule(const InstancePb *instance, const quelto::EvaluatedSequence &sequence,
                                         const char *chemin);

#endif
