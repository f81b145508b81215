/* Helpers shared by the tests: files, temporary folders, running the program. */
#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <string>

namespace testutil {

std::string lireFichier(const std::string &path);
void ecrireFichier(const std::string &path, const std::string &content);
bool existe(const std::string &path);

/* A fresh folder under the system's temporary folder, removed at scope end. */
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

/* What one run of the program left: exit status (0..255), stdout, stderr. */
struct Execution {
    int status;
    std::string out;
    std::string err;
};

/* Run the program (QUELTO_EXE) with dir as working directory. */
Execution lancerExe(const std::string &dir);

/*
** Replace the date texts by fixed markers: the long French date by
** "<DATE>" and the banner date "le dd/mm/yyyy a hh:mm:ss" by "le <DATE>".
*/
std::string masquerDates(const std::string &text);

}  // namespace testutil

#endif
