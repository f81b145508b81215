/*
** Benchmark instances imported through quelto-gen --csplib, then run: a
** feasible sequence scores 0 high priority violations.  The 10-car example's
** reference order was counted by hand, window by window (short windows at the
** end of day D and prefixes reaching into day D-1 included): 3 2 2 2 4.
*/
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

using namespace testutil;
namespace fs = std::filesystem;

const std::string DONNEES = std::string(QUELTO_TEST_DATA) + "/csplib/";

std::string generateur()
{
    return (fs::path(QUELTO_EXE).parent_path() / "quelto-gen").string();
}

/* The figure of each high priority constraint, then the total, from a report. */
std::vector<int> violationsHautes(const std::string &rapport)
{
    std::vector<int> v;
    const std::string debut = "Violations of high priority level ratio constraints : \n";
    const std::string total = "Total number of violations of high priority level ratio constraints = ";
    std::size_t p = rapport.find(debut), fin = rapport.find(total);
    if (p == std::string::npos || fin == std::string::npos) return v;
    std::istringstream lignes(rapport.substr(p + debut.size(), fin - p - debut.size()));
    for (std::string l; std::getline(lignes, l);)
        if (!l.empty()) v.push_back(std::atoi(l.c_str() + l.find(" : ") + 3));
    v.push_back(std::atoi(rapport.c_str() + fin + total.size()));
    return v;
}

struct Cas {
    const char *instance;
    const char *sequence;  /* below solutions/, or "" for the reference order */
    std::vector<int> attendu;  /* per constraint, then the total; empty: all 0 */
};

class Import : public ::testing::TestWithParam<Cas> {};

TEST_P(Import, CandidateScoresWhatTheSequenceDeserves)
{
    if (!existe(generateur())) GTEST_SKIP() << "quelto-gen not built";
    const Cas &c = GetParam();
    TempDir d;
    std::string cmd = generateur() + " --csplib '" + DONNEES + "instances/" + c.instance + ".txt'";
    if (*c.sequence) cmd += std::string(" --sequence '") + DONNEES + "solutions/" + c.sequence + "'";
    ASSERT_EQ(0, std::system((cmd + " --candidate cand --out '" + d.path() + "'").c_str()));
    const Execution e = lancerExe(d.path());
    ASSERT_EQ(0, e.status) << e.out << e.err;
    EXPECT_EQ(std::string::npos, e.out.find("S_MSG_ERR")) << e.out;

    const std::vector<int> v = violationsHautes(lireFichier(d / ("results/" + std::string(c.instance) + "_candidate_report.txt")));
    ASSERT_GE(v.size(), 2u);
    if (c.attendu.empty())
        EXPECT_EQ(std::vector<int>(v.size(), 0), v);
    else
        EXPECT_EQ(c.attendu, v);
}

INSTANTIATE_TEST_SUITE_P(Csplib, Import,
                         ::testing::Values(Cas{"dincbas10", "dincbas10.seq", {}},
                                           Cas{"dincbas10", "dincbas10-alt.seq", {}},
                                           Cas{"dincbas10", "", {3, 2, 2, 2, 4, 13}},
                                           Cas{"4_72", "computed/4_72.seq", {}},
                                           Cas{"rp0", "computed/rp0.seq", {}},
                                           Cas{"90-10", "computed/90-10.seq", {}},
                                           Cas{"pb_400_05", "computed/pb_400_05.seq", {}}),
                         [](const ::testing::TestParamInfo<Cas> &i) {
                             std::string n = std::string(i.param.instance) + (*i.param.sequence ? "_seq" : "_ref") +
                                             std::to_string(i.index);
                             for (char &ch : n) if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

/* Sequences and instances that do not fit are refused with a message, nothing half written. */
TEST(Import, MismatchedSequenceOrInstanceIsRefused)
{
    if (!existe(generateur())) GTEST_SKIP() << "quelto-gen not built";
    TempDir d;
    const std::string inst = d / "i.txt";
    const struct {
        const char *instance, *sequence, *extra;  /* sequence "": none */
    } refus[] = {
        {"4 1 2\n1\n2\n0 2 1\n1 1 0\n", "", ""},     /* demands add up to 3 */
        {"4 1 2\n1\n2\n0 2 1\n2 2 0\n", "", ""},     /* class lines out of order */
        {"4 1 2\n1\n2\n0 2 1\n1 2 0", "0 1 0 2\n", ""},    /* class 2 unknown */
        {"4 1 2\n1\n2\n0 2 1\n1 2 0", "0 1 0 0\n", ""},    /* class 0 over its demand */
        {"4 1 2\n1\n2\n0 2 1\n1 2 0", "# short\n0 1 0\n", ""},
        {"4 1 2\n1\n2\n0 2 1\n1 2 0", "", " --vehicles 10"},
        {"4 1 2\n1\n2\n0 2 1\n1 2 0", "", " --frozen 0"},
    };
    for (const auto &r : refus) {
        ecrireFichier(inst, r.instance);
        std::string cmd = generateur() + " --csplib '" + inst + "'" + r.extra;
        if (*r.sequence) {
            ecrireFichier(d / "s.seq", r.sequence);
            cmd += " --sequence '" + (d / "s.seq") + "'";
        }
        EXPECT_NE(0, std::system((cmd + " --out '" + (d / "w") + "' 2>/dev/null").c_str())) << r.instance << r.sequence;
        EXPECT_FALSE(existe(d / "w")) << r.instance;
    }
}

}  // namespace
