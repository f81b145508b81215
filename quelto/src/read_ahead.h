/*
** Reading a batch's solution files ahead of their evaluation.
**
** Of a candidate's time, the quick reading of its file (see permutation.h)
** is a third, and it touches nothing but the reader and the file: a thread
** of its own reads the next files while the caller evaluates the current
** one.  The readings are handed over in the order of the files, whatever
** each one found, so that the batch's results and the order of its work are
** those of a reading in turn.  When no thread can be started, next() reads
** the file itself.
**
** Invariants: the thread alone uses the reader while it runs; a slot of the
** ring is either the thread's to fill (ready false) or the caller's to take
** (ready true); slots are taken in the order of the paths, and the thread
** never runs more than the ring's size ahead of the caller.
*/
#ifndef QUELTO_READ_AHEAD_H
#define QUELTO_READ_AHEAD_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "permutation.h"

namespace quelto {

class ReadAhead {
public:
    /*
    ** Start reading the files at paths with reader, which the caller does not
    ** use until this object is gone.  Throws std::bad_alloc when memory runs
    ** out; a thread that cannot start is not an error.
    */
    ReadAhead(PermutationReader &reader, std::vector<std::string> paths);
    /* Stops the reading and waits for the thread. */
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    /*
    ** The quick reading of the next file, in the order of the paths: true and
    ** order as PermutationReader::read gives it, or false (also when every
    ** path has been taken, or memory ran out in the reading): the file is
    ** then the program's reader's.
    */
    bool next(std::vector<int32_t> &order);

private:
    struct Slot {
        bool ready = false;
        bool listed = false;
        std::vector<int32_t> order;
    };
    static constexpr size_t DEPTH = 8;

    void run();
    bool read_one(size_t k, std::vector<int32_t> &order);

    PermutationReader &reader_;
    const std::vector<std::string> paths_;
    std::vector<Slot> ring_;             /* path k in slot k % DEPTH */
    size_t taken_ = 0;                   /* the paths handed to the caller */
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable filled_, emptied_;
    std::thread thread_;                 /* not joinable when the reading is the caller's */
};

}  // namespace quelto

#endif
