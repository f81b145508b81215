/*
** The records of the vehicle-sequencing problem: the instance (InstancePb)
** with its ratio constraints (EcartCritere) and vehicles (Vehicule), the
** families of interchangeable day-D vehicles (Famille), the results of one
** evaluated sequence (IndicateursSolution), and the context that a file
** reader passes to its decoding function (ContexteDecodage).
**
** Texts are terminated character arrays of fixed capacity; longer values are
** cut, never refused.  Every collection is an indexed list holding copies of
** its records; a sequence is the list of day-D vehicles walked in the order of
** the comparison function installed last on it.  Nothing is freed before the
** process ends.
*/
#ifndef QUELTO_H
#define QUELTO_H

#include <cstdint>

#include "list.h"

inline constexpr int QUELTO_LONG_NOM_INSTANCE = 100;
inline constexpr int QUELTO_LONG_CHEMIN = 1023;
inline constexpr int QUELTO_LONG_DATE = 30;
inline constexpr int QUELTO_LONG_IDENT = 30;
inline constexpr int QUELTO_LONG_NOM_ECART = 20;
inline constexpr int QUELTO_LONG_NOM_OBJECTIF = 100;
inline constexpr int QUELTO_LONG_NOM_CANDIDAT = 50;
inline constexpr int QUELTO_NB_MAX_OBJECTIFS = 3;

/* Objective codes. */
inline constexpr int QUELTO_OBJ_ECARTS_PRIO = 1;
inline constexpr int QUELTO_OBJ_ECARTS_NON_PRIO = 2;
inline constexpr int QUELTO_OBJ_TEINTES = 3;

/* One ratio constraint: at most p vehicles with the option in any q consecutive. */
struct EcartCritere {
    int32_t i_denominateur;                      /* q */
    char s_nomEcart[QUELTO_LONG_NOM_ECART + 1];
    double d_ratio;                              /* p * 100.0 / q */
    int32_t i_numerateur;                        /* p */
    int32_t i_flagChamp4;                        /* field 4 is exactly "1" */
};

/* One vehicle of day D-1 (frozen) or of day D. */
struct Vehicule {
    char s_date[QUELTO_LONG_DATE + 1];
    char s_ident[QUELTO_LONG_IDENT + 1];
    int32_t i_rangSeq;                           /* reference rank, >= 1 */
    int32_t i_rangSeqCandidat;                   /* candidate rank, -1 when unplaced */
    int32_t *i_vectBoolEcPrio;                   /* one 0/1 flag per high priority constraint */
    int32_t *i_vectBoolEcNonPrio;                /* one 0/1 flag per low priority constraint */
    int32_t i_teinte;                            /* paint colour, >= 1 */
};

/* A family of day-D vehicles equal under the family key. */
struct Famille {
    int32_t *i_vectRangVeh;                      /* ranks in l_vehAOrdonnancer, i_nbVeh of them */
    int32_t i_nbVeh;
    int32_t i_teinte;
    int32_t *i_vectBoolEcPrio;
    int32_t *i_vectBoolEcNonPrio;
};

/* Results of one evaluated sequence. */
struct IndicateursSolution {
    char s_nomInstance[QUELTO_LONG_NOM_INSTANCE + 1];
    char s_nomCandidat[QUELTO_LONG_NOM_CANDIDAT + 1];
    int32_t i_flagRapportComplet;
    int32_t i_nbPurges;
    double d_longMoyRafales;
    int32_t i_flagLongMaxRafTeintesOk;
    int32_t i_teinteRafaleTropLongue;
    int32_t i_longRafaleTropLongue;
    int32_t *i_vectNbViolEcPrio;
    int32_t *i_vectNbViolEcNonPrio;
    int32_t i_nbViolEcPrio;
    int32_t i_nbViolEcNonPrio;
    double d_note;
};

/* The instance: input fields, then the fields derived by preparation. */
struct InstancePb {
    char s_nomInstance[QUELTO_LONG_NOM_INSTANCE + 1];
    char s_fichEcartsCriteres[QUELTO_LONG_CHEMIN + 1];
    char s_fichLongMaxRafTeintes[QUELTO_LONG_CHEMIN + 1];
    char s_fichObjectifOptim[QUELTO_LONG_CHEMIN + 1];
    char s_fichVehicules[QUELTO_LONG_CHEMIN + 1];
    int32_t i_longMaxRafTeintes;
    LIST l_ecartsPrio;                           /* of EcartCritere, file order */
    LIST l_ecartsNonPrio;                        /* of EcartCritere, file order */
    LIST l_vehFiges;                             /* of Vehicule, day D-1 */
    char s_jourJMoins1[QUELTO_LONG_DATE + 1];
    char s_jourJ[QUELTO_LONG_DATE + 1];
    char s_nomsObjectifs[QUELTO_NB_MAX_OBJECTIFS][QUELTO_LONG_NOM_OBJECTIF + 1];
    int32_t i_codesObjectifs[QUELTO_NB_MAX_OBJECTIFS];
    int32_t i_nbObjectifs;
    LIST l_vehAOrdonnancer;                      /* of Vehicule, day D */

    /* Derived by preparation. */
    int32_t i_denominateurMax;
    int32_t i_longFilm;
    int32_t i_nbEcartsPrio;
    int32_t i_nbEcartsNonPrio;
    int32_t i_nbTeintes;
    double *d_vectPourcentVehEcPrio;
    double *d_vectPourcentVehEcNonPrio;
    int32_t *i_vectNbVehParNbEcarts;
    int32_t *i_vectVFam;
    LIST l_familles;                             /* of Famille */
    int32_t i_nbFamilles;
    int32_t *i_vectRangVehFiges;
    int32_t **i_matBoolEcPrioVehFiges;
    int32_t **i_matBoolEcNonPrioVehFiges;
    int32_t **i_matBoolTeinte;
    int32_t i_teintePos_1;
    int32_t i_nbMinimalPurges;
    double d_poidsEcPrio;
    double d_poidsEcNonPrio;
    double d_poidsPurges;
    IndicateursSolution indicateursSeqInitiale;
};

/*
** What a file reader passes through the line reader to its decoder: the
** instance, the field separator, the count of non-empty lines, and the
** reader's own state from one line to the next (which reader, which state:
** see the reader).
*/
struct ContexteDecodage {
    InstancePb *p_instancePb;
    const char *s_separateur;
    int32_t i_numLigne;
    void *p_etatLecture;
};

#endif
