#include "testutil.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
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

std::string masquerDates(const std::string &text)
{
    static const std::regex longue("(lundi|mardi|mercredi|jeudi|vendredi|samedi|dimanche) [0-9]{2} [a-z]+ "
                                   "[0-9]{4}   [0-9]{2}:[0-9]{2}:[0-9]{2}");
    static const std::regex courte("le [0-9]{2}/[0-9]{2}/[0-9]{4} a [0-9]{2}:[0-9]{2}:[0-9]{2}");
    return std::regex_replace(std::regex_replace(text, longue, "<DATE>"), courte, "le <DATE>");
}

}  // namespace testutil
