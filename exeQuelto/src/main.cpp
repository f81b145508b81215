/* Entry point of exeQuelto: the run's status is the exit status (0 or 255). */
#include "exeQuelto.h"

int main()
{
    return exeQuelto_run();
}
