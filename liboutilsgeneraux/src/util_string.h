/* Small text utilities of the settings loader and of the run driver. */
#ifndef UTIL_STRING_H
#define UTIL_STRING_H

/* True when text is empty or holds only " " characters (tabs are not blank). */
bool og_is_blank(const char *text);

/* First character of text that is not white space (" \t\n\v\f\r"), or null. */
const char *og_skip_spaces(const char *text);
char *og_skip_spaces(char *text);

/* Cut, in place, every trailing character of text that belongs to set. */
void og_trim_right(char *text, const char *set);

/*
** Copy at most n characters of src into dst and write a terminator at dst[n]
** (and after the copied text).  dst must hold n + 1 characters.
*/
char *og_strncpyz(char *dst, const char *src, int n);

#endif
