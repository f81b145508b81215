/* File-system queries of the support library. */
#ifndef COMMANDE_UNIX_H
#define COMMANDE_UNIX_H

/*
** Whether the file directory (name null) or directory/name exists: 1 when it
** does, 0 when it does not (or a path component is not a directory), -1 when
** the test itself fails for another reason.
*/
int testerExistenceFichier(const char *directory, const char *name);

#endif
