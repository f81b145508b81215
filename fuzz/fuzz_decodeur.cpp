/*
** Fuzz targets: the decoders of the input files through the line reader, one
** per macro FUZZ_DECODEUR_ECARTS, _LIMITE, _OBJECTIFS, _VEHICULES, _SOLUTION
** (the last two read the constraints or vehicles first; the solution is read
** ahead on another thread for half the inputs).  A reader answers 0 or -1,
** and a successful read leaves its records' invariants intact.
*/
#include <cstdint>
#include <cstring>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "fuzz_commun.h"
#include "list.h"

namespace {

/* A status that is neither 0 nor -1 is a finding. */
int verifierStatut(int rc)
{
    if (rc != 0 && rc != -1) abort();
    return rc;
}

#if defined(FUZZ_DECODEUR_VEHICULES)
/* After a successful vehicles read: days, dates, ranks, colours and flags as stored. */
void verifierVehicules(InstancePb &inst)
{
    const int nbPrio = list_length(&inst.l_ecartsPrio), nbNonPrio = list_length(&inst.l_ecartsNonPrio);
    const LIST *listes[2] = {&inst.l_vehFiges, &inst.l_vehAOrdonnancer};
    const char *jours[2] = {inst.s_jourJMoins1, inst.s_jourJ};
    if (list_length(listes[1]) > 0 && strcmp(inst.s_jourJ, inst.s_jourJMoins1) <= 0) abort();
    for (int j = 0; j < 2; j++) {
        for (int r = 0; r < list_length(listes[j]); r++) {
            const Vehicule *v = static_cast<const Vehicule *>(list_element(listes[j], r));
            if (v == nullptr || strcmp(v->s_date, jours[j]) != 0 || v->i_rangSeq < 1 || v->i_teinte < 1 ||
                v->i_rangSeqCandidat != -1 || v->i_vectBoolEcPrio == nullptr || v->i_vectBoolEcNonPrio == nullptr)
                abort();
            for (int k = 0; k < nbPrio; k++)
                if (v->i_vectBoolEcPrio[k] != 0 && v->i_vectBoolEcPrio[k] != 1) abort();
            for (int k = 0; k < nbNonPrio; k++)
                if (v->i_vectBoolEcNonPrio[k] != 0 && v->i_vectBoolEcNonPrio[k] != 1) abort();
        }
    }
}
#endif

/* Read the instance's files from the input; the fuzzed reader's status. */
int lire(InstancePb &inst, const uint8_t *data, size_t size)
{
    const std::string dossier = fuzzDossier() + "/";
    snprintf(inst.s_fichEcartsCriteres, sizeof inst.s_fichEcartsCriteres, "%sratios.txt", dossier.c_str());
    snprintf(inst.s_fichLongMaxRafTeintes, sizeof inst.s_fichLongMaxRafTeintes, "%sbatch.txt", dossier.c_str());
    snprintf(inst.s_fichObjectifOptim, sizeof inst.s_fichObjectifOptim, "%sobjectives.txt", dossier.c_str());
    snprintf(inst.s_fichVehicules, sizeof inst.s_fichVehicules, "%svehicles.txt", dossier.c_str());
#if defined(FUZZ_DECODEUR_ECARTS)
    fuzzEcrire("ratios.txt", std::string(reinterpret_cast<const char *>(data), size));
    int rc = verifierStatut(mQuelto_lireFichEcartsCritEtMajInstancePb(&inst));
    if (rc == 0)
        for (const LIST *l : {&inst.l_ecartsPrio, &inst.l_ecartsNonPrio})
            for (int k = 0; k < list_length(l); k++) {
                const EcartCritere *e = static_cast<const EcartCritere *>(list_element(l, k));
                if (e == nullptr || e->i_denominateur < 1 || e->i_numerateur < 0) abort();
            }
    return rc;
#elif defined(FUZZ_DECODEUR_LIMITE)
    fuzzEcrire("batch.txt", std::string(reinterpret_cast<const char *>(data), size));
    int rc = verifierStatut(mQuelto_lireFichLongMaxTeinteEtMajInstancePb(&inst));
    if (rc == 0 && inst.i_longMaxRafTeintes < 1) abort();
    return rc;
#elif defined(FUZZ_DECODEUR_OBJECTIFS)
    fuzzEcrire("objectives.txt", std::string(reinterpret_cast<const char *>(data), size));
    int rc = verifierStatut(mQuelto_lireFichObjectifsEtMajInstancePb(&inst));
    if (inst.i_nbObjectifs < 0 || inst.i_nbObjectifs > QUELTO_NB_MAX_OBJECTIFS) abort();
    return rc;
#elif defined(FUZZ_DECODEUR_VEHICULES)
    const std::vector<std::string> parts = fuzzDecouper(data, size, 2);
    fuzzEcrire("ratios.txt", parts[0]);
    fuzzEcrire("vehicles.txt", parts[1]);
    if (verifierStatut(mQuelto_lireFichEcartsCritEtMajInstancePb(&inst)) != 0) return 0;
    int rc = verifierStatut(mQuelto_lireFichVehEtMajInstancePb(&inst));
    if (rc == 0) verifierVehicules(inst);
    return rc;
#elif defined(FUZZ_DECODEUR_SOLUTION)
    const std::vector<std::string> parts = fuzzDecouper(data, size, 2);
    fuzzEcrire("ratios.txt", "Ratio;Prio;Name;F4\n");
    fuzzEcrire("vehicles.txt", parts[0]);
    fuzzEcrire("solution.txt", parts[1]);
    if (mQuelto_lireFichEcartsCritEtMajInstancePb(&inst) != 0) abort();
    ContexteEvaluation contexte;
    verifierStatut(mQuelto_lireFichVehEtMajInstancePb(&inst));
    inst.i_longFilm = list_length(&inst.l_vehAOrdonnancer);
    /* Half the inputs have the solution read ahead, on another thread, as the run does on large days. */
    const std::string solution = dossier + "solution.txt";
    if (size > 0 && (data[size - 1] & 1) != 0) mQuelto_anticiperFichSeqSolution(&contexte, &inst, solution.c_str());
    list_trier(&inst.l_vehAOrdonnancer, mQuelto_comparerVehIdent);
    int rc = verifierStatut(mQuelto_lireFichSeqSolutionEtMajInstancePb(&inst, solution.c_str(), &contexte));
    for (int r = 0; rc == 0 && r < inst.i_longFilm; r++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(&inst.l_vehAOrdonnancer, r));
        if (v == nullptr || v->i_rangSeqCandidat == 0 || v->i_rangSeqCandidat < -1 ||
            v->i_rangSeqCandidat > inst.i_longFilm)
            abort();
    }
    return rc;
#else
#error "name the decoder: FUZZ_DECODEUR_ECARTS, _LIMITE, _OBJECTIFS, _VEHICULES or _SOLUTION"
#endif
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzDemarrer(
        [](const uint8_t *data, size_t size) {
            static InstancePb inst;
            lire(inst, data, size);
            return 0;
        },
        {0});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzExecuter(data, size);
    return 0;
}
