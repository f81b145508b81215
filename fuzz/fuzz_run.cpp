/*
** Fuzz target: the whole run on five mutated files (batch limit, objectives,
** ratio constraints, vehicles, solution; fixed settings).  It must end with 0
** or -1, and a 0 must come with both reports complete and message 1004 logged.
*/
#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <sstream>

#include "exeQuelto.h"
#include "fuzz_commun.h"

namespace {

const char *const PARAMETRES =
    "S_QUELTO_LOGS_DIRECTORY=logs/\n"
    "S_QUELTO_EXE_LOGFILE_FILE_NAME=run.log\n"
    "S_QUELTO_RACINE_PATH_NAME=instances/\n"
    "S_QUELTO_INSTANCE_PB_NAME=fz\n"
    "S_QUELTO_ECARTS_CRITERES_FILE_NAME=ratios.txt\n"
    "S_QUELTO_LONG_MAX_RAF_TEINTES_FILE_NAME=batch.txt\n"
    "S_QUELTO_OBJECTIF_OPTIM_FILE_NAME=objectives.txt\n"
    "S_QUELTO_VEHICULES_FILE_NAME=vehicles.txt\n"
    "S_QUELTO_RESULT_DIRECTORY=results/\n"
    "S_QUELTO_INDIC_SEQ_INITIAL_SUFFIX_NAME=_ref.txt\n"
    "S_QUELTO_INDIC_SEQ_FINAL_SUFFIX_NAME=_cand.txt\n"
    "S_QUELTO_CANDIDATE_NAME=fuzz\n"
    "S_QUELTO_FLAG_PRINT_NB_MINIMAL_PURGES=1\n";

/* True when the file at chemin ends with fin, or with fin and the date text, ")" and a newline. */
bool finitPar(const char *chemin, const std::string &fin, bool date = false)
{
    std::ifstream in(chemin, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    std::string t = s.str();
    if (date) {
        if (t.size() < 2 || t.compare(t.size() - 2, 2, ")\n") != 0) return false;
        t.resize(t.rfind('(') == std::string::npos ? 0 : t.rfind('(') + 1);
    }
    return t.size() >= fin.size() && t.compare(t.size() - fin.size(), fin.size(), fin) == 0;
}

/* One input: the working directory laid down, the run, its verdict. */
int corps(const uint8_t *data, size_t size)
{
    for (const char *d : {"logs", "results", "instances", "instances/fz"}) mkdir(d, 0700);
    fuzzEcrire("exeQuelto.ini", PARAMETRES);
    const std::vector<std::string> parts = fuzzDecouper(data, size, 5);
    const char *const fichiers[5] = {"instances/fz/batch.txt", "instances/fz/objectives.txt", "instances/fz/ratios.txt",
                                     "instances/fz/vehicles.txt", "results/fz"};
    for (size_t i = 0; i < 5; i++) fuzzEcrire(fichiers[i], parts[i]);
    remove("results/fz_ref.txt");
    remove("results/fz_cand.txt");

    int rc = exeQuelto_run();
    if (rc == -1) return 255;
    if (rc != 0) return 3;
    const std::string fin = "\n\nEnd of the reporting\n";
    if (!finitPar("results/fz_ref.txt", fin) || !finitPar("results/fz_cand.txt", fin)) return 4;
    if (!finitPar("logs/run.log", "\nS_MSG_INFO_1004 : End of the program (", true)) return 5;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzDemarrer(corps, {0, 255});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzExecuter(data, size);
    return 0;
}
