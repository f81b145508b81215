/*
** Small text utilities of the settings loader and of the run driver.
**
** Every function works on zero-terminated texts in place or into a
** caller-provided buffer; none allocates.  A null text is accepted where the
** contract says so and treated as the absence of text.  The white-space set of
** og_skip_spaces is the C locale's (" \t\n\v\f\r"); og_is_blank deliberately
** counts only the space character as blank.
*/
#include "util_string.h"

#include <cstring>

/* True when c is one of " \t\n\v\f\r" (independent of the current locale). */
static bool estEspace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/*
** True when text is null, empty, or made only of " " characters.  A tab, a
** newline or any other character makes the text non-blank.
*/
bool og_is_blank(const char *text)
{
    if (text == nullptr) return true;
    while (*text == ' ') text++;
    return *text == '\0';
}

/*
** The first character of text that is not white space, or null when the text
** is null or holds white space only.
*/
const char *og_skip_spaces(const char *text)
{
    if (text == nullptr) return nullptr;
    while (estEspace(*text)) text++;
    return *text == '\0' ? nullptr : text;
}

char *og_skip_spaces(char *text)
{
    return const_cast<char *>(og_skip_spaces(static_cast<const char *>(text)));
}

/*
** Cut, in place, every trailing character of text that belongs to set.  A
** null text or a null set leaves everything as it is.
*/
void og_trim_right(char *text, const char *set)
{
    if (text == nullptr || set == nullptr) return;
    size_t n = strlen(text);
    while (n > 0 && strchr(set, text[n - 1]) != nullptr) n--;
    text[n] = '\0';
}

/*
** Copy at most n characters of src into dst, stop at the end of src, and
** terminate both after the copied text and at dst[n]; dst must hold n + 1
** characters.  A null src copies the empty text; a negative n counts as 0.
** Returns dst (null when dst is null).
*/
char *og_strncpyz(char *dst, const char *src, int n)
{
    if (dst == nullptr) return nullptr;
    if (n < 0) n = 0;
    int i = 0;
    if (src != nullptr) {
        for (; i < n && src[i] != '\0'; i++) dst[i] = src[i];
    }
    dst[i] = '\0';
    dst[n] = '\0';
    return dst;
}
