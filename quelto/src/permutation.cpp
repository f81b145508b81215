/*
** The quick reading of a solution file that lists the day's vehicles (see
** permutation.h).
*/
#include "permutation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cassert>
#include <cerrno>
#include <cstring>

#include "Quelto.h"

namespace quelto {

namespace {

/* errno as it was when the object was made, given back when it goes. */
class KeepErrno {
public:
    KeepErrno() : saved_(errno) {}
    ~KeepErrno() { errno = saved_; }
    KeepErrno(const KeepErrno &) = delete;
    KeepErrno &operator=(const KeepErrno &) = delete;

private:
    int saved_;
};

/* Closes a file descriptor when it goes. */
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

PermutationReader::Key PermutationReader::key_of(std::string_view text)
{
    assert(text.size() < sizeof(Key));
    Key k{};
    memcpy(k.words, text.data(), text.size());
    return k;
}

/* The key's words mixed so that every bit of them moves the low bits (which choose the slot). */
uint64_t PermutationReader::hash_of(const Key &key)
{
    uint64_t h = key.words[0] ^ std::rotl(key.words[1], 17) ^ std::rotl(key.words[2], 31) ^ std::rotl(key.words[3], 47);
    h = (h ^ h >> 33) * 0xff51afd7ed558ccdu;
    h = (h ^ h >> 33) * 0xc4ceb9fe1a85ec53u;
    return h ^ h >> 33;
}

std::vector<const char *> PermutationReader::identifiers(const LIST &day, int32_t n)
{
    assert(n >= 0 && n <= list_length(&day));
    std::vector<const char *> texts(static_cast<size_t>(n));
    for (int32_t rank = 0; rank < n; rank++) {
        const Vehicule *v = static_cast<const Vehicule *>(list_element(&day, rank));
        assert(v != nullptr);
        texts[static_cast<size_t>(rank)] = v->s_ident;
    }
    return texts;
}

PermutationReader::PermutationReader(const std::vector<const char *> &identifiers)
    : n_(static_cast<int32_t>(identifiers.size()))
{
    size_t size = 16;
    while (size < 2 * static_cast<size_t>(n_)) size *= 2;
    slots_.assign(size, Slot{0, FREE});
    keys_.resize(static_cast<size_t>(n_));
    seen_.assign(2 * static_cast<size_t>(n_) + 1, 0);
    for (int32_t rank = 0; rank < n_; rank++) {
        const char *text = identifiers[static_cast<size_t>(rank)];
        const Key key = key_of(std::string_view(text, strnlen(text, QUELTO_LONG_IDENT)));
        keys_[static_cast<size_t>(rank)] = key;
        const uint64_t h = hash_of(key);
        for (size_t i = h & (size - 1);; i = (i + 1) & (size - 1)) {
            Slot &s = slots_[i];
            if (s.rank == FREE) {
                s = Slot{static_cast<uint32_t>(h >> 32), rank};
                break;
            }
            const int32_t first = s.rank >= 0 ? s.rank : -2 - s.rank;
            if (s.tag == static_cast<uint32_t>(h >> 32) && keys_[static_cast<size_t>(first)] == key) {
                s.rank = -2 - first;
                break;
            }
        }
    }
}

/*
** The key of the length bytes (fewer than a key holds) at text, in buffer_:
** whole words read, the bytes past the identifier masked.  The room after
** the file makes the words readable; copying length bytes instead and
** reading them back as words costs the processor a stall at every line.
*/
PermutationReader::Key PermutationReader::key_in_buffer(const char *text, size_t length) const
{
    assert(text >= buffer_.data() && text + sizeof(Key) <= buffer_.data() + buffer_.size() && length < sizeof(Key));
    if constexpr (std::endian::native != std::endian::little) return key_of(std::string_view(text, length));
    Key k;
    memcpy(k.words, text, sizeof k.words);
    for (size_t w = 0; w < 4; w++) {
        const size_t in = length <= 8 * w ? 0 : std::min<size_t>(length - 8 * w, 8); /* its bytes in word w */
        k.words[w] &= in == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * in)) - 1;
    }
    return k;
}

int32_t PermutationReader::find(std::string_view text) const
{
    if (text.size() >= sizeof(Key)) return -1;
    assert(memchr(text.data(), '\0', text.size()) == nullptr);
    const Key key = key_of(text);
    return find(key, hash_of(key));
}

/* The rank of the one vehicle whose key is key (of hash hash); -1 when none or several have it. */
int32_t PermutationReader::find(const Key &key, uint64_t hash) const
{
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask; slots_[i].rank != FREE; i = (i + 1) & mask) {
        const Slot &s = slots_[i];
        const int32_t first = s.rank >= 0 ? s.rank : -2 - s.rank;
        if (s.tag == static_cast<uint32_t>(hash >> 32) && keys_[static_cast<size_t>(first)] == key)
            return s.rank >= 0 ? s.rank : -1;
    }
    return -1;
}

bool PermutationReader::read(const std::string &path, std::vector<int32_t> &order)
{
    KeepErrno keep;
    if (!read_whole(path)) return false;
    order.resize(static_cast<size_t>(n_));
    if (++reading_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0);
        reading_ = 1;
    }
    return parse(order);
}

/*
** The file at path into buffer_: false when it is not a regular file, cannot
** be read, is too long or changed size while it was read.  The buffer grows
** to the longest file read so far: sized for the longest file possible, it
** would zero three times what a solver writes.
*/
bool PermutationReader::read_whole(const std::string &path)
{
    /* Not blocking: a pipe must be left, unread, to the program's reader. */
    const FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > longest_file()) return false;
    /* One byte more than the file holds, to see that it grew; the room of a key after it (see key_in_buffer). */
    const size_t room = static_cast<size_t>(st.st_size) + 1;
    if (buffer_.size() < room + sizeof(Key)) buffer_.resize(room + sizeof(Key));
    length_ = 0;
    for (;;) {
        const ssize_t k = ::read(fd.get(), buffer_.data() + length_, room - length_);
        if (k < 0 && errno == EINTR) continue;
        if (k < 0) return false;
        if (k == 0) break;
        length_ += static_cast<size_t>(k);
        if (length_ == room) return false; /* it grew meanwhile */
    }
    return length_ == static_cast<size_t>(st.st_size);
}

/*
** Place count lines on their vehicles in order: false when one names no
** vehicle, a shared identifier or a vehicle placed already.
*/
bool PermutationReader::place(const Line *lines, int count, std::vector<int32_t> &order)
{
    uint32_t *const vehicle_seen = seen_.data() + n_ + 1;
    for (int i = 0; i < count; i++) {
        const int32_t rank = find(lines[i].key, lines[i].hash);
        if (rank < 0 || vehicle_seen[rank] == reading_) return false;
        vehicle_seen[rank] = reading_;
        order[static_cast<size_t>(lines[i].position - 1)] = rank;
    }
    return true;
}

/*
** The file in buffer_ as the list of the day's vehicles, into order (see
** read).  Lines are taken BATCH at a time: the table slot of each is asked
** for as the line is read, and the lines are placed once the batch is full,
** so that the processor fetches the slots of a batch together rather than
** one after the other.
*/
bool PermutationReader::parse(std::vector<int32_t> &order)
{
    const char *p = buffer_.data(), *const end = p + length_;
    uint32_t *const position_seen = seen_.data();
    const size_t mask = slots_.size() - 1;
    Line batch[BATCH];
    int waiting = 0, lines = 0;
    while (p < end) {
        int64_t position = 0;
        const char *const digits = p;
        while (p < end && *p >= '0' && *p <= '9') {
            position = position * 10 + (*p++ - '0');
            if (position > n_ || p - digits > 10) return false;
        }
        if (p == digits || p == end || *p != ';' || position == 0 || position_seen[position] == reading_) return false;
        position_seen[position] = reading_;
        const char *const identifier = ++p;
        while (p < end && *p != ';' && *p != '\n' && *p != '\r' && *p != '\0') p++;
        const size_t length = static_cast<size_t>(p - identifier);
        if (length == 0 || length > static_cast<size_t>(QUELTO_LONG_IDENT)) return false;
        if (p < end && *p == '\r' && p + 1 < end && p[1] == '\n') p += 2;
        else if (p < end && *p == '\n') p++;
        else if (p < end) return false;
        Line &line = batch[waiting++];
        line.key = key_in_buffer(identifier, length);
        line.hash = hash_of(line.key);
        line.position = static_cast<int32_t>(position);
        __builtin_prefetch(&slots_[line.hash & mask]);
        lines++;
        if (waiting == BATCH) {
            if (!place(batch, waiting, order)) return false;
            waiting = 0;
        }
    }
    return place(batch, waiting, order) && lines == n_;
}

}  // namespace quelto
