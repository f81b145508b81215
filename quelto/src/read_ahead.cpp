/*
** Reading a batch's solution files ahead of their evaluation (see
** read_ahead.h).
*/
#include "read_ahead.h"

#include <new>
#include <system_error>
#include <utility>

namespace quelto {

ReadAhead::ReadAhead(ReaderSource source, std::vector<std::string> paths)
    : source_(std::move(source)), paths_(std::move(paths)), ring_(DEPTH)
{
    if (paths_.empty()) return;
    try {
        thread_ = std::thread(&ReadAhead::run, this);
    } catch (const std::system_error &) {
        /* No thread: next() reads each file itself. */
    }
}

ReadAhead::~ReadAhead()
{
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    emptied_.notify_all();
    thread_.join();
}

/*
** The quick reading of path k into order, the reader first asked for when
** there is none yet; false when the file is not such a list or memory ran
** out (in the reading, or in the building of the reader).
*/
bool ReadAhead::read_one(size_t k, std::vector<int32_t> &order)
{
    try {
        if (reader_ == nullptr && !no_reader_) {
            no_reader_ = true;
            reader_ = &source_();
            no_reader_ = false;
        }
        return reader_ != nullptr && reader_->read(paths_[k], order);
    } catch (const std::bad_alloc &) {
        return false;
    }
}

/* The thread: each path in turn into its slot, once the caller has taken what the slot held. */
void ReadAhead::run()
{
    for (size_t k = 0; k < paths_.size(); k++) {
        Slot &slot = ring_[k % DEPTH];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            emptied_.wait(lock, [&] { return stop_ || !slot.ready; });
            if (stop_) return;
        }
        /* The slot is this thread's until ready is set: its order is filled without the lock. */
        const bool listed = read_one(k, slot.order);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.listed = listed;
            slot.ready = true;
        }
        filled_.notify_one();
    }
}

bool ReadAhead::next(std::vector<int32_t> &order)
{
    if (taken_ >= paths_.size()) return false;
    if (!thread_.joinable()) return read_one(taken_++, order);
    Slot &slot = ring_[taken_ % DEPTH];
    bool listed;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        filled_.wait(lock, [&] { return slot.ready; });
        order.swap(slot.order);
        listed = slot.listed;
        slot.ready = false;
        taken_++;
    }
    emptied_.notify_one();
    return listed;
}

}  // namespace quelto
