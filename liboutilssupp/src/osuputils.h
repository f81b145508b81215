/*
** Reading of line files: one record per line, fields separated by one
** character.  The line reader owns the file and the line buffer and hands
** each non-empty line to a decoding function with an opaque context; it stops
** at the first line the decoder refuses.
*/
#ifndef OSUPUTILS_H
#define OSUPUTILS_H

#include <cstddef>

/* Capacity of a field buffer of the decoders: a field keeps 255 characters. */
inline constexpr int OSUP_LONG_CHAMP = 256;

/* A decoding function: 0 to go on, anything else stops the reading. */
typedef int (*OSupUtils_FonctionDecodage)(char *ligne, void *contexte);

/*
** Read path line by line (lines of at most maxLen - 1 characters, a longer
** one arriving in pieces; CR LF reads as LF), calling decode on each
** non-empty line.  0 when the whole file was read and every line accepted,
** -1 otherwise (messages 1 UTILS 00016, 00005, 00018 reported).
*/
int OSupUtils_lireFichierParLigne(const char *path, OSupUtils_FonctionDecodage decode, void *contexte,
                                  int maxLen);

/* The same reading, which reports nothing: for a reading that another will redo if it fails. */
int OSupUtils_lireFichierEnSilence(const char *path, OSupUtils_FonctionDecodage decode, void *contexte, int maxLen);

/*
** Length of ligne.  While the reader hands a line to its decoding function,
** the length of that line (as handed, before the decoder changes it) is
** known without a scan; any other text is measured with strlen.  0 for null.
*/
size_t OSupUtils_longueurLigne(const char *ligne);

/*
** The physical line number (from 1, empty lines and the pieces of a long
** line counted, as in the reader's messages) of the line that the reader is
** handing to its decoding function on this thread; 0 outside a reading.
*/
long long OSupUtils_numeroLigne();

/* Remove one trailing line feed in place; return the remaining length. */
int OSupUtils_supprimerFinLigne(char *ligne);

/*
** Copy into champ (capacity champCap, at least 1; longer fields are cut) the
** field of ligne that begins at index debut, set *suivant to the index where
** the next field begins, return 0.  -1 (1 UTILS 00003 recorded and reported,
** champ and *suivant untouched) when debut is beyond the end of the line.
*/
int OSupUtils_extraireChamp(const char *ligne, const char *separateur, int debut, int *suivant, char *champ,
                            int champCap = OSUP_LONG_CHAMP);

#endif
