/*
** Entry point of exeQuelto: the run's status is the exit status (0 or 255).
**
** Before the run, the memory allocator is set for what the run does: it
** fills a few large records once and allocates and frees large work arrays
** (sort keys, compact copies of the day) again and again.  Work arrays of up
** to 32 MiB come from the heap and stay there when freed, so that the next
** one reuses pages already in place instead of faulting in fresh ones, and
** the heap is asked for large pages.
*/
#include "commande_unix.h"
#include "exeQuelto.h"

int main()
{
    preparerTasPourGrandsTableaux();
    return exeQuelto_run();
}
