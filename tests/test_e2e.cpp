/*
** End-to-end runs of exeQuelto on hand-made working directories.
**
** Cases kept as folders of tests/data/e2e/:
**
**     base        optional: name of a case whose input/ is laid down first
**     input/      files copied into a fresh working directory (over the base's)
**     remove      optional: paths (one per line) deleted after the copy
**     expected/   status, stdout, stderr: what the run must give;
**                 files/PATH: files the run must leave, with this content;
**                 absent: paths that must not exist after the run
** (a folder without expected/ only serves as a base).
**
** Many small cases are kept in the .txt files of tests/data/cases/ instead.
** Each line of such a file is, by its first byte:
**
**     "|"         one line of the block above it, its newline included;
**                 any bytes may follow (ISO 8859-1, CR, "|", "#", ...)
**     "\"         the block above ends without a final newline (the rest
**                 of this line is ignored)
**     "#"         a comment; empty lines are skipped too
**     else        a directive: a keyword, one blank, its argument
**
** A case begins at "case NAME" (letters, digits and _; the name of the
** test) and is made, in its order, of
**
**     base FOLDER     lay down the inputs of a folder case (as above)
**     write PATH      write the block that follows to PATH (folders made)
**     remove PATH     delete PATH
**     status N        the exit status the run must give
**     stdout, stderr  (blocks) what the run must print
**     expect PATH     (block) a file the run must leave, with this content
**     absent PATH     a path that must not exist after the run
**
** status, stdout and stderr are required.  tests/data/cases/record.py
** (re)writes the expected blocks from a run of a given exeQuelto (and
** checks them with --check), so a new case can be written with its
** inputs and its "expect" and "absent" lines only.  (ctest learns of a new
** case when test_e2e is built again.)
**
** Dates compare as "<DATE>", located trace line numbers as "<L>".
*/
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "testutil.h"

namespace fs = std::filesystem;
using namespace testutil;

namespace {

const std::string DONNEES = std::string(QUELTO_TEST_DATA) + "/e2e/";
const std::string TEXTES = std::string(QUELTO_TEST_DATA) + "/cases/";

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

/* One directive of a case: its keyword, its argument and its block. */
struct Directive {
    std::string mot, arg, bloc;
};

/* A case, folder or text: its name, where it is written, its directives. */
struct Cas {
    std::string nom, lieu;
    std::vector<Directive> d;
};

void PrintTo(const Cas &c, std::ostream *os) { *os << c.lieu; }

/* The folder case cas, as the directives that a text case would give. */
Cas casDossier(const std::string &cas)
{
    const std::string att = DONNEES + cas + "/expected/";
    Cas c{cas, "e2e/" + cas, {{"base", cas, ""}, {"status", lireFichier(att + "status"), ""},
                              {"stdout", "", lireFichier(att + "stdout")}, {"stderr", "", lireFichier(att + "stderr")}}};
    if (fs::exists(att + "files"))
        for (const auto &f : fs::recursive_directory_iterator(att + "files"))
            if (f.is_regular_file())
                c.d.push_back({"expect", fs::relative(f.path(), att + "files").string(), lireFichier(f.path().string())});
    for (const std::string &p : lignes(att + "absent")) c.d.push_back({"absent", p, ""});
    return c;
}

/* Every folder of tests/data/e2e that has expected outputs, by name. */
std::vector<Cas> casDossiers()
{
    std::vector<Cas> v;
    for (const auto &f : fs::directory_iterator(DONNEES))
        if (fs::exists(f.path() / "expected")) v.push_back(casDossier(f.path().filename().string()));
    std::sort(v.begin(), v.end(), [](const Cas &a, const Cas &b) { return a.nom < b.nom; });
    return v;
}

/* Every case of the .txt files of tests/data/cases/; a line out of the syntax stops the program. */
std::vector<Cas> casTextes()
{
    std::vector<std::string> fichiers;
    for (const auto &f : fs::directory_iterator(TEXTES))
        if (f.path().extension() == ".txt") fichiers.push_back(f.path().filename().string());
    std::sort(fichiers.begin(), fichiers.end());
    std::vector<Cas> v;
    for (const std::string &f : fichiers) {
        std::istringstream in(lireFichier(TEXTES + f));
        int n = 0;
        for (std::string l; std::getline(in, l);) {
            const std::string lieu = f + ":" + std::to_string(++n);
            if (l.empty() || l[0] == '#') continue;
            if (l.rfind("case ", 0) == 0) {
                v.push_back({l.substr(5), lieu, {}});
                continue;
            }
            const bool bloc = l[0] == '|' || l[0] == '\\';
            const std::string mot = v.empty() || v.back().d.empty() ? "" : v.back().d.back().mot;
            if (v.empty() || (bloc && mot != "write" && mot != "stdout" && mot != "stderr" && mot != "expect") ||
                (l[0] == '\\' && (v.back().d.back().bloc.empty() || v.back().d.back().bloc.back() != '\n')))
                throw std::runtime_error(TEXTES + lieu + ": line out of place");
            const size_t blanc = l.find(' ');
            if (l[0] == '|') v.back().d.back().bloc += l.substr(1) + "\n";
            else if (l[0] == '\\') v.back().d.back().bloc.pop_back();
            else v.back().d.push_back({l.substr(0, blanc), blanc == std::string::npos ? "" : l.substr(blanc + 1), ""});
        }
    }
    return v;
}

class CasE2e : public ::testing::TestWithParam<Cas> {};

TEST_P(CasE2e, RunMatchesHandDerivedOutputs)
{
    const Cas &c = GetParam();
    TempDir dir;
    for (const Directive &d : c.d) {
        if (d.mot == "base") poserEntrees(d.arg, dir.path());
        if (d.mot == "remove") fs::remove(dir / d.arg);
        if (d.mot == "write") {
            fs::create_directories(fs::path(dir / d.arg).parent_path());
            ecrireFichier(dir / d.arg, d.bloc);
        }
    }
    const Execution e = lancerExe(dir.path());
    int sorties = 0;
    for (const Directive &d : c.d) {
        sorties += d.mot == "status" || d.mot == "stdout" || d.mot == "stderr";
        if (d.mot == "status") EXPECT_EQ(std::stoi(d.arg), e.status);
        else if (d.mot == "stdout") EXPECT_EQ(d.bloc, normaliser(e.out)) << "stdout";
        else if (d.mot == "stderr") EXPECT_EQ(d.bloc, normaliser(e.err)) << "stderr";
        else if (d.mot == "absent") EXPECT_FALSE(existe(dir / d.arg)) << d.arg << " exists";
        else if (d.mot == "expect" && !existe(dir / d.arg)) ADD_FAILURE() << d.arg << " missing";
        else if (d.mot == "expect") EXPECT_EQ(d.bloc, normaliser(lireFichier(dir / d.arg))) << d.arg;
        else if (d.mot != "base" && d.mot != "write" && d.mot != "remove") ADD_FAILURE() << c.lieu << ": unknown " << d.mot;
    }
    EXPECT_EQ(3, sorties) << c.lieu << ": a case needs status, stdout and stderr once each";
}

std::string nomCas(const ::testing::TestParamInfo<Cas> &i) { return i.param.nom; }

INSTANTIATE_TEST_SUITE_P(Cas, CasE2e, ::testing::ValuesIn(casDossiers()), nomCas);
INSTANTIATE_TEST_SUITE_P(Textes, CasE2e, ::testing::ValuesIn(casTextes()), nomCas);

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
