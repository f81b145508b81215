/* File-system queries of the support library. */
#ifndef COMMANDE_UNIX_H
#define COMMANDE_UNIX_H

#include <cstddef>
#include <cstdio>

/*
** Whether the file directory (name null) or directory/name exists: 1 when it
** does, 0 when it does not (or a path component is not a directory), -1 when
** the test itself fails for another reason.
*/
int testerExistenceFichier(const char *directory, const char *name);

/*
** Whether the open stream fp reads a file that ends: false for a directory
** and for a character or block device (such as /dev/zero, which would feed
** a line reader forever).  A stream whose status cannot be had counts as
** readable; its reads then fail on their own.
*/
bool estFluxLisible(FILE *fp);

/*
** Ask the system to back the whole 2 MiB pages inside the block p of octets
** bytes with large pages, before the block is first written.  A block of
** several megabytes that is filled once and then read in every order costs
** less so: with small pages both its first writes (one fault per 4 KiB) and
** its reads (an address translation missed per element) cost more than its
** data.  Only the whole 2 MiB pages inside the block are advised; a refusal
** changes nothing, and errno is kept.
*/
void conseillerGrandesPages(void *p, size_t octets);

/*
** Set the process's allocator for a program that allocates and frees large
** work arrays: blocks up to 32 MiB come from the heap, freed memory stays in
** the process for the next block, and the heap grows by steps of 256 MiB of
** address space (memory is taken only when written), which are advised to
** large pages.  For a program's start; a refusal changes nothing.
*/
void preparerTasPourGrandsTableaux();

#endif
