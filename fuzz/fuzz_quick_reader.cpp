/*
** Fuzz target: quelto's quick reader of solution files against the
** program's reader.  The input is a vehicles file and a solution file (cut
** at the separator); whenever the quick reader takes the solution, the
** program's reader must read it without meeting anything but placements,
** one vehicle at each position, and leave every vehicle at the position the
** quick reader found.
*/
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "QueltoDecodageLignesFichiers.h"
#include "QueltoGesDonnees.h"
#include "fuzz_commun.h"
#include "list.h"
#include "permutation.h"

namespace {

/* Counts what is not a plain placement, and the vehicles placed at each position. */
class Problems : public RecepteurSolution {
public:
    explicit Problems(int32_t n) : at(static_cast<size_t>(n) + 1, 0) {}
    void identifiantVide(int64_t, const char *) override { count++; }
    void rangInvalide(int64_t, const char *, const char *) override { count++; }
    void identifiantInconnu(int64_t, const char *) override { count++; }
    void vehiculePlace(int64_t, int32_t, int32_t position) override
    {
        if (position < 1 || static_cast<size_t>(position) >= at.size()) abort();
        at[static_cast<size_t>(position)]++;
    }
    void deuxRangs(int64_t, int32_t, int32_t, int32_t) override { count++; }
    void champUnique(int64_t) override { count++; }
    int count = 0;
    std::vector<int> at;
};

int compare(const uint8_t *data, size_t size)
{
    static InstancePb inst;
    const std::string dossier = fuzzDossier() + "/";
    snprintf(inst.s_fichEcartsCriteres, sizeof inst.s_fichEcartsCriteres, "%sratios.txt", dossier.c_str());
    snprintf(inst.s_fichVehicules, sizeof inst.s_fichVehicules, "%svehicles.txt", dossier.c_str());
    const std::vector<std::string> parts = fuzzDecouper(data, size, 2);
    fuzzEcrire("ratios.txt", "Ratio;Prio;Name;F4\n");
    fuzzEcrire("vehicles.txt", parts[0]);
    fuzzEcrire("solution.txt", parts[1]);
    if (mQuelto_lireFichEcartsCritEtMajInstancePb(&inst) != 0) abort();
    if (mQuelto_lireFichVehEtMajInstancePb(&inst) != 0) return 0;
    LIST *day = &inst.l_vehAOrdonnancer;
    inst.i_longFilm = list_length(day);
    if (inst.i_longFilm == 0) return 0;
    list_trier(day, mQuelto_comparerVehIdent);
    quelto::PermutationReader reader(*day, inst.i_longFilm);
    const std::string solution = dossier + "solution.txt";
    std::vector<int32_t> order;
    const bool listed = reader.read(solution, order);
    Problems problems(inst.i_longFilm);
    const int rc = Quelto_lireSolution(&inst, solution.c_str(), &problems);
    if (!listed) return 0;
    if (rc != 0 || problems.count != 0 || order.size() != static_cast<size_t>(inst.i_longFilm)) abort();
    for (size_t p = 1; p < problems.at.size(); p++)
        if (problems.at[p] != 1) abort();
    for (size_t p = 0; p < order.size(); p++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(day, order[p]));
        if (v == nullptr || v->i_rangSeqCandidat != static_cast<int32_t>(p) + 1) abort();
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzDemarrer(compare, {0});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzExecuter(data, size);
    return 0;
}
