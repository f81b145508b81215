/*
** Entry point of exeQuelto: the run's status is the exit status (0 or 255).
**
** The program takes its whole configuration from exeQuelto.ini; its only
** arguments are --help and --version, which print and exit 0 without
** touching any file.  Any other argument prints the usage on standard error
** and exits 2, touching no file either: a mistyped option must not start a
** run that overwrites the previous reports.
**
** Before the run, the memory allocator is set for what the run does: it
** fills a few large records once and allocates and frees large work arrays
** (sort keys, compact copies of the day) again and again.  Work arrays of up
** to 32 MiB come from the heap and stay there when freed, so that the next
** one reuses pages already in place instead of faulting in fresh ones, and
** the heap is asked for large pages.
*/
#include <cstdio>
#include <cstring>

#include "commande_unix.h"
#include "exeQuelto.h"

#ifndef QUELTO_VERSION
#define QUELTO_VERSION "unknown"
#endif

namespace {

const char USAGE[] =
    "usage: exeQuelto [--help | --version]\n"
    "Evaluates the reference sequence and a candidate's sequence of one instance and writes a\n"
    "report on each.  Everything else comes from exeQuelto.ini in the working directory\n"
    "(see the exeQuelto(1) manual page and docs/guide.md).  Exit status: 0 when every step\n"
    "succeeded, 255 at the first failure, 2 for an argument it does not know.\n";

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 1) {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
            std::puts("exeQuelto " QUELTO_VERSION);
            return 0;
        }
        std::fputs(USAGE, stderr);
        return 2;
    }
    preparerTasPourGrandsTableaux();
    return exeQuelto_run();
}
