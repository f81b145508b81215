/*
** The results of a batch in the three formats: a text table for a person,
** CSV (RFC 4180, a header row) and JSON (schema 1, documented field by field
** in docs/quelto.md) for a program.  Every figure is read from the
** evaluated sequences; the writers compute nothing but presentation.
**
** Texts of the instance files are ISO 8859-1; CSV and JSON are written in
** UTF-8 (each byte of a name becomes its character).  Positions count from 1
** as in a solution file; a window that reaches back into day D-1 starts at 0
** or below (0 is the last frozen vehicle, -1 the one before).
**
** A writer is given the instances one after the other (begin, instance...,
** end) and writes as it goes, so that a batch keeps only one instance in
** memory; the text table, whose columns are aligned, is written at the end.
*/
#ifndef QUELTO_WRITERS_H
#define QUELTO_WRITERS_H

#include <cstdio>
#include <memory>
#include <string>

#include "batch.h"

namespace quelto {

enum class Format { text, csv, json };

class Writer {
public:
    virtual ~Writer() = default;
    virtual void begin() {}
    virtual void instance(const InstanceResult &result) = 0;
    virtual void end() {}
};

/* A writer of format to out; windows adds where each sequence breaks (JSON only). */
std::unique_ptr<Writer> make_writer(Format format, FILE *out, bool windows);

/* The UTF-8 form of an ISO 8859-1 text. */
std::string utf8_of_latin1(const std::string &text);

}  // namespace quelto

#endif
