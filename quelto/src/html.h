/*
** The picture of a batch's sequences as one self-contained HTML file (see
** html.cpp).
*/
#ifndef QUELTO_HTML_H
#define QUELTO_HTML_H

#include <cstdio>
#include <memory>

#include "writers.h"

namespace quelto {

/* A writer of the picture to out; the sequences must carry their detail. */
std::unique_ptr<Writer> make_html_writer(FILE *out);

}  // namespace quelto

#endif
