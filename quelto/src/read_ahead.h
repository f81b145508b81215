/*
** Reading a batch's solution files ahead of their evaluation.
**
** Of a candidate's time, the quick reading of its file (see permutation.h)
** is a third, and it touches nothing but the reader and the file: a thread
** of its own builds the reader, then reads the files one after the other
** while the caller evaluates the reference and the files read before.  The
** readings are handed over in the order of the files, whatever each one
** found, so that the batch's results and the order of its work are those of
** a reading in turn.  When no thread can be started, next() builds the
** reader and reads each file itself.
**
** Invariants: the thread alone uses the reader source and the reader while
** it runs; a slot of the ring is either the thread's to fill (ready false)
** or the caller's to take (ready true); slots are taken in the order of the
** paths, and the thread never runs more than the ring's size ahead of the
** caller.
*/
#ifndef QUELTO_READ_AHEAD_H
#define QUELTO_READ_AHEAD_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "permutation.h"

namespace quelto {

class ReadAhead {
public:
    /*
    ** The reader that source gives (at its first call; it may throw
    ** std::bad_alloc, and every file then goes to the program's reader).
    ** Neither the source nor its reader may be used by anyone else until
    ** this object is gone.
    */
    using ReaderSource = std::function<PermutationReader &()>;

    /*
    ** Start reading the files at paths with the reader of source.  Throws
    ** std::bad_alloc when memory runs out; a thread that cannot start is not
    ** an error.
    */
    ReadAhead(ReaderSource source, std::vector<std::string> paths);
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

    ReaderSource source_;
    PermutationReader *reader_ = nullptr; /* once the source has given it */
    bool no_reader_ = false;             /* the source could not give it */
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
