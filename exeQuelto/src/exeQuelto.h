/* The run driver of exeQuelto. */
#ifndef EXEQUELTO_H
#define EXEQUELTO_H

/* The whole run: 0 when every step succeeded, -1 at the first failure. */
int exeQuelto_run();

#endif
