/*
** Where the results go, and the progress bar of a long batch.
**
** Output: standard output, or a file written under a temporary name in the
** file's folder and renamed over it only once complete, so that an earlier
** file of that name is never lost to a batch that fails or is interrupted.
**
** Progress: on standard error, only when it is a terminal and the batch has
** run for more than a second; nothing of the sort on a pipe or a file.
*/
#ifndef QUELTO_OUTPUT_H
#define QUELTO_OUTPUT_H

#include <chrono>
#include <cstdio>
#include <string>

namespace quelto {

class Output {
public:
    /* Standard output when path is empty; else a temporary file beside path.  Throws UsageError when it cannot be created. */
    explicit Output(const std::string &path);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    FILE *stream() { return stream_; }

    /* Flush, close and rename the file over path; false (message on standard error) when a write failed. */
    bool commit();

private:
    std::string path_, temporary_;
    FILE *stream_ = nullptr;
    bool committed_ = false;
};

class Progress {
public:
    Progress(const char *what, size_t total);
    ~Progress();
    void step(size_t done);

private:
    const char *what_;
    size_t total_;
    bool terminal_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace quelto

#endif
