/*
** Reading of the instance files and of the candidate's solution file, and
** the evaluation reports.
*/
#ifndef QUELTODECODAGELIGNESFICHIERS_H
#define QUELTODECODAGELIGNESFICHIERS_H

#include "Quelto.h"

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

/* The candidate's solution file: sets i_rangSeqCandidat of the day-D vehicles. 0 / -1. */
int mQuelto_lireFichSeqSolutionEtMajInstancePb(InstancePb *instance, const char *chemin);
int mQuelto_decodeLigneSeqSolution(char *ligne, void *contexte);

/*
** Start reading the solution file at chemin for the day-D vehicles of
** instance on another thread, once the vehicles file is read: the reading of
** that file by mQuelto_lireFichSeqSolutionEtMajInstancePb then replays what
** was found, when it covers the same file and day.  The anticipated reading
** writes nothing but candidate ranks and reports nothing: whatever goes
** wrong is left to the run's own reading.  The vehicles' identifiers must
** not change meanwhile, nor their candidate ranks be read or written.
** Replaces any reading anticipated before.
*/
void mQuelto_anticiperFichSeqSolution(InstancePb *instance, const char *chemin);

/*
** Stop the anticipated reading, if any, and forget it: to be done before its
** InstancePb goes away (it reads the day's vehicles until stopped).
*/
void mQuelto_oublierAnticipation();

/* Reports. 0 / -1. */
int Quelto_ecrireRapportSurSeqInitiale(InstancePb *instance, IndicateursSolution *indicateurs, const char *chemin);
int Quelto_ecrireRapportSurNumSeqCalcule(InstancePb *instance, IndicateursSolution *indicateurs, const char *chemin);

#endif
