/*
** End-to-end runs of exeQuelto on hand-made working directories.
**
** Each case is a folder of tests/data/e2e/:
**
**     base        optional: name of a case whose input/ is laid down first
**     input/      files copied into a fresh working directory (over the base's)
**     remove      optional: paths (one per line) deleted after the copy
**     expected/   status, stdout, stderr: what the run must give;
**                 files/PATH: files the run must leave, with this content;
**                 absent: paths that must not exist after the run
** Dates compare as "<DATE>", located trace line numbers as "<L>".
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "testutil.h"

namespace fs = std::filesystem;
using namespace testutil;

namespace {

const std::string DONNEES = std::string(QUELTO_TEST_DATA) + "/e2e/";

/* The non-empty lines of a file; none when the file does not exist. */
std::vector<std::string> lignes(const std::string &chemin)
{
    std::vector<std::string> v;
    std::ifstream in(chemin);
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) v.push_back(l);
    return v;
}

/* Lay down the inputs of a case (its base's first) in dest. */
void poserEntrees(const std::string &cas, const std::string &dest)
{
    for (const std::string &base : lignes(DONNEES + cas + "/base")) poserEntrees(base, dest);
    if (fs::exists(DONNEES + cas + "/input"))
        fs::copy(DONNEES + cas + "/input", dest, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    for (const std::string &p : lignes(DONNEES + cas + "/remove")) fs::remove(dest + "/" + p);
}

/* Dates as "<DATE>", line numbers of located traces as "<L>". */
std::string normaliser(const std::string &texte)
{
    static const std::regex ligne(R"((==TRACEDEBUG\(\[[^,\]]*),[0-9]+\])");
    return std::regex_replace(masquerDates(texte), ligne, "$1,<L>]");
}

class CasE2e : public ::testing::TestWithParam<const char *> {};

TEST_P(CasE2e, RunMatchesHandDerivedOutputs)
{
    const std::string cas = GetParam(), attendu = DONNEES + cas + "/expected/";
    TempDir dir;
    poserEntrees(cas, dir.path());
    const Execution e = lancerExe(dir.path());

    EXPECT_EQ(std::stoi(lireFichier(attendu + "status")), e.status);
    EXPECT_EQ(lireFichier(attendu + "stdout"), normaliser(e.out)) << "stdout";
    EXPECT_EQ(lireFichier(attendu + "stderr"), normaliser(e.err)) << "stderr";
    if (fs::exists(attendu + "files")) {
        for (const auto &f : fs::recursive_directory_iterator(attendu + "files")) {
            if (!f.is_regular_file()) continue;
            const std::string rel = fs::relative(f.path(), attendu + "files").string();
            ASSERT_TRUE(existe(dir / rel)) << rel << " missing";
            EXPECT_EQ(lireFichier(f.path().string()), normaliser(lireFichier(dir / rel))) << rel;
        }
    }
    for (const std::string &p : lignes(attendu + "absent")) EXPECT_FALSE(existe(dir / p)) << p << " exists";
}

INSTANTIATE_TEST_SUITE_P(Cas, CasE2e,
                         ::testing::Values("complete", "batch_limit", "missing_vehicle", "ties", "no_ini",
                                           "log_dir_missing", "undefined_setting", "path_too_long", "path_1023",
                                           "missing_instance_file", "solution_missing", "bad_priority_flag",
                                           "short_vehicle_line"),
                         [](const ::testing::TestParamInfo<const char *> &i) { return std::string(i.param); });

/* quelto-gen is built beside the program. */
std::string generateur()
{
    return (fs::path(QUELTO_EXE).parent_path() / "quelto-gen").string();
}

/* Every regular file below dir, by relative path, with its content. */
std::vector<std::pair<std::string, std::string>> contenu(const std::string &dir)
{
    std::vector<std::pair<std::string, std::string>> v;
    for (const auto &f : fs::recursive_directory_iterator(dir))
        if (f.is_regular_file()) v.emplace_back(fs::relative(f.path(), dir).string(), lireFichier(f.path().string()));
    std::sort(v.begin(), v.end());
    return v;
}

const char *const ARGS_DEMO =
    " --seed 2026 --vehicles 400 --frozen 50 --high 5 --low 4 --max-q 8 --colours 10 --batch-limit 6"
    " --objectives high,low,paint --instance demo --candidate greedy";

/* The shipped example is what the documented command generates, and it runs. */
TEST(Exemple, DemoIsReproducibleAndRuns)
{
    if (!existe(generateur())) GTEST_SKIP() << "quelto-gen not built";
    const std::string demo = std::string(QUELTO_TEST_DATA) + "/../../examples/demo";
    TempDir gen;
    ASSERT_EQ(0, std::system((generateur() + ARGS_DEMO + " --out '" + gen.path() + "' >/dev/null").c_str()));
    auto attendu = contenu(gen.path());
    auto livre = contenu(demo);
    std::erase_if(livre, [](const auto &f) { return f.first.rfind("logs/", 0) == 0 || f.first.find("_report") != std::string::npos; });
    EXPECT_EQ(attendu, livre);

    const Execution e = lancerExe(gen.path());
    EXPECT_EQ(0, e.status) << e.out << e.err;
    EXPECT_EQ("", e.err);
    EXPECT_TRUE(existe(gen / "results/demo_reference_report.txt"));
    EXPECT_TRUE(existe(gen / "results/demo_candidate_report.txt"));
    EXPECT_NE(std::string::npos, lireFichier(gen / "logs/exeQuelto.log").find("S_MSG_INFO_1004"));
}

/* The generator is deterministic for a seed and refuses sizes the program cannot use. */
TEST(Generateur, SeedDeterminesFilesAndBadSizesAreRefused)
{
    if (!existe(generateur())) GTEST_SKIP() << "quelto-gen not built";
    TempDir a, b, c;
    const std::string args = " --seed 5 --vehicles 30 --frozen 6 --max-q 4 --out '";
    ASSERT_EQ(0, std::system((generateur() + args + a.path() + "'").c_str()));
    ASSERT_EQ(0, std::system((generateur() + args + b.path() + "'").c_str()));
    EXPECT_EQ(contenu(a.path()), contenu(b.path()));
    ASSERT_EQ(0, std::system((generateur() + " --seed 6 --vehicles 30 --frozen 6 --max-q 4 --out '" + c.path() + "'").c_str()));
    EXPECT_NE(contenu(a.path()), contenu(c.path()));

    EXPECT_NE(0, std::system((generateur() + " --vehicles 3 --max-q 5 --out '" + c.path() + "' 2>/dev/null").c_str()));
    EXPECT_NE(0, std::system((generateur() + " --objectives high,colour --out '" + c.path() + "' 2>/dev/null").c_str()));
    EXPECT_NE(0, std::system((generateur() + " --frozen 0 --out '" + c.path() + "' 2>/dev/null").c_str()));
}

/*
** A large day (its solution file read ahead while the reference is
** prepared): a candidate that is the reference sequence (no batch limit to
** break) gets the reference's report, line for line after the first; and a
** run that fails before the candidate step (the reference report cannot be
** created) stops the reading ahead and ends as usual.
*/
TEST(GrandeJournee, SolutionReadAheadGivesTheReferencesMarks)
{
    if (!existe(generateur())) GTEST_SKIP() << "quelto-gen not built";
    TempDir d;
    ASSERT_EQ(0, std::system((generateur() + " --seed 9 --vehicles 25000 --frozen 30 --high 4 --low 3 --max-q 12"
                                             " --batch-limit 25000 --solution reference --instance grand --out '" + d.path() + "' >/dev/null").c_str()));
    const Execution e = lancerExe(d.path());
    ASSERT_EQ(0, e.status) << e.out << e.err;
    const std::string ref = lireFichier(d / "results/grand_reference_report.txt");
    const std::string cand = lireFichier(d / "results/grand_candidate_report.txt");
    ASSERT_GT(ref.size(), 25000u);
    EXPECT_EQ(ref.substr(ref.find('\n')), cand.substr(cand.find('\n')));

    fs::remove(d / "results/grand_reference_report.txt");
    fs::create_directory(d / "results/grand_reference_report.txt");
    const Execution f = lancerExe(d.path());
    EXPECT_EQ(255, f.status);
    EXPECT_NE(std::string::npos, lireFichier(d / "logs/exeQuelto.log").find("S_MSG_ERR_0033")) << f.out;
}

}  // namespace
