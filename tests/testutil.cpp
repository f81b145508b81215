#include "testutil.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testutil {

std::string lireFichier(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void ecrireFichier(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool existe(const std::string &path)
{
    return std::filesystem::exists(path);
}

TempDir::TempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "quelto-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

Execution lancerExe(const std::string &dir)
{
    std::string out = dir + "/.stdout", err = dir + "/.stderr";
    std::string cmd = "cd '" + dir + "' && '" QUELTO_EXE "' </dev/null >'" + out + "' 2>'" + err + "'";
    int rc = std::system(cmd.c_str());
    Execution e;
    e.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : 1000 + rc;
    e.out = lireFichier(out);
    e.err = lireFichier(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return e;
}

namespace {

bool chiffres(const std::string &t, size_t pos, size_t n)
{
    if (pos + n > t.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (t[pos + i] < '0' || t[pos + i] > '9') return false;
    return true;
}

/* Length of "dd month yyyy   hh:mm:ss" at pos (after a day name and blank), or 0. */
size_t longueurSuiteDateLongue(const std::string &t, size_t pos)
{
    if (!chiffres(t, pos, 2) || pos + 2 >= t.size() || t[pos + 2] != ' ') return 0;
    size_t p = pos + 3, m = p;
    while (m < t.size() && t[m] >= 'a' && t[m] <= 'z') ++m;
    if (m == p || t.compare(m, 1, " ") != 0 || !chiffres(t, m + 1, 4)) return 0;
    p = m + 5;
    if (t.compare(p, 3, "   ") != 0 || !chiffres(t, p + 3, 2) || t.compare(p + 5, 1, ":") != 0 ||
        !chiffres(t, p + 6, 2) || t.compare(p + 8, 1, ":") != 0 || !chiffres(t, p + 9, 2))
        return 0;
    return p + 11 - pos;
}

/* Length of "dd/mm/yyyy a hh:mm:ss" at pos, or 0. */
size_t longueurDateCourte(const std::string &t, size_t pos)
{
    const char *forme = "00/00/0000 a 00:00:00";
    size_t n = std::char_traits<char>::length(forme);
    if (pos + n > t.size()) return 0;
    for (size_t i = 0; i < n; ++i) {
        char f = forme[i], c = t[pos + i];
        if (f == '0' ? (c < '0' || c > '9') : c != f) return 0;
    }
    return n;
}

}  // namespace

std::string masquerDates(const std::string &text)
{
    static const char *const jours[] = {"lundi ",    "mardi ",  "mercredi ", "jeudi ",
                                        "vendredi ", "samedi ", "dimanche "};
    std::string r;
    size_t i = 0;
    while (i < text.size()) {
        bool fait = false;
        for (const char *j : jours) {
            size_t lj = std::char_traits<char>::length(j);
            if (text.compare(i, lj, j) == 0) {
                if (size_t n = longueurSuiteDateLongue(text, i + lj)) {
                    r += "<DATE>";
                    i += lj + n;
                    fait = true;
                }
                break;
            }
        }
        if (!fait && text.compare(i, 3, "le ") == 0) {
            if (size_t n = longueurDateCourte(text, i + 3)) {
                r += "le <DATE>";
                i += 3 + n;
                fait = true;
            }
        }
        if (!fait) r += text[i++];
    }
    return r;
}

}  // namespace testutil
