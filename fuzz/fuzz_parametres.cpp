/*
** Fuzz target: the settings loader on three mutated files that include one
** another (cycles too), then look-ups and expansion into roomy and tight
** buffers.  The loader must answer 0 or -1.
*/
#include <cstdint>
#include <cstring>

#include "applistd.h"
#include "fuzz_commun.h"

namespace {

int corps(const uint8_t *data, size_t size)
{
    const std::vector<std::string> parts = fuzzDecouper(data, size, 3);
    fuzzEcrire("exeQuelto.ini", parts[0]);
    fuzzEcrire("a.ini", parts[1]);
    fuzzEcrire("b.ini", parts[2]);
    int rc = og_add_envfile("exeQuelto.ini");
    int rcSection = og_add_envfile("a.ini", "S");
    if ((rc != 0 && rc != -1) || (rcSection != 0 && rcSection != -1)) return 3;
    for (const char *nom : {"A", "", "S_QUELTO_INSTANCE_PB_NAME", "HOME"}) (void)og_getenv(nom);
    char texte[OG_LONG_BUF];
    size_t n = parts[0].size() < sizeof texte - 1 ? parts[0].size() : sizeof texte - 1;
    memcpy(texte, parts[0].data(), n);
    texte[n] = '\0';
    char court[8];
    memcpy(court, texte, sizeof court - 1);
    court[sizeof court - 1] = '\0';
    og_expand_env(texte, sizeof texte);
    og_expand_env(court, sizeof court);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzDemarrer(corps, {0});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzExecuter(data, size);
    return 0;
}
