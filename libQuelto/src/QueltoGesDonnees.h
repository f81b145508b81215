/*
** Instance preparation, results record and sequence evaluation.
*/
#ifndef QUELTOGESDONNEES_H
#define QUELTOGESDONNEES_H

#include "Quelto.h"

/* Preparation of a read instance. 0 / -1. */
int Quelto_majInstancePb(InstancePb *instance);
int mQuelto_majIndicesInInstancePb(InstancePb *instance);
int mQuelto_majPoidsObjectifsInInstancePb(InstancePb *instance);
int mQuelto_majFamillesInInstancePb(InstancePb *instance);
int mQuelto_majVehFigesInInstancePb(InstancePb *instance);
int mQuelto_majRafalesTeintesInInstancePb(InstancePb *instance);
int mQuelto_initFamille(int32_t rang, const Vehicule *premier, Famille *famille, InstancePb *instance);

/* Colour flag of family f for colour t (0 or 1), read from the family's colour. */
int mQuelto_drapeauTeinteFamille(const InstancePb *instance, int32_t f, int32_t t);

/* Results record. 0 / -1. */
int Quelto_initIndicateursSolution(InstancePb *instance, IndicateursSolution *indicateurs);

/* Evaluation of the sequence installed on l_vehAOrdonnancer. 0 / -1. */
int Quelto_calculerIndicateursSurSeqInitiale(InstancePb *instance);
int Quelto_calculerIndicateursSurNumSeqCalcule(InstancePb *instance, IndicateursSolution *indicateurs);
int mQuelto_calculerNbViolEcartsPrio(InstancePb *instance, IndicateursSolution *indicateurs);
int mQuelto_calculerNbViolEcartsNonPrio(InstancePb *instance, IndicateursSolution *indicateurs);
int mQuelto_verifierLongMaxRafTeintes(InstancePb *instance, IndicateursSolution *indicateurs);
int mQuelto_calculerNbPurges(InstancePb *instance, IndicateursSolution *indicateurs);

/*
** The sequence evaluated last, as the evaluation saw it, by position: the
** colour, and bit b set when the vehicle carries the option of constraint b
** of a priority (b below i_nbOptions...: at most the first 32 constraints).
** mQuelto_photoSequenceEvaluee gives it only for the record that evaluation
** filled and while the list still holds that sequence; false otherwise.
*/
struct PhotoSequenceEvaluee {
    int32_t i_longFilm;
    const int32_t *i_vectTeintes;
    const uint32_t *i_vectOptionsPrio;          /* constraint b at bit i_decalagePrio + b */
    int i_decalagePrio;
    int32_t i_nbOptionsPrio;
    const uint32_t *i_vectOptionsNonPrio;       /* constraint b at bit i_decalageNonPrio + b */
    int i_decalageNonPrio;
    int32_t i_nbOptionsNonPrio;
};
bool mQuelto_photoSequenceEvaluee(const InstancePb *instance, const IndicateursSolution *indicateurs,
                                  PhotoSequenceEvaluee *photo);

/* Vehicle comparators (negative, 0, positive as a comes before, with, after b). */
int mQuelto_comparerVehTeinte(const void *a, const void *b);
int mQuelto_comparerVehEcarts(const void *a, const void *b);
int mQuelto_comparerVehTeinteEcarts(const void *a, const void *b);
int mQuelto_comparerVehRangSeq(const void *a, const void *b);
int mQuelto_comparerVehIdent(const void *a, const void *b);
int mQuelto_comparerVehRangSeqCandidat(const void *a, const void *b);

/* The two constraint counts read by the flag comparators (set by preparation). */
extern int32_t g_QueltoNbEcartsPrio;
extern int32_t g_QueltoNbEcartsNonPrio;

#endif
