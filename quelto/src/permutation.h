/*
** The quick reading of a solution file that simply lists the day's vehicles:
** one line "position;identifier" per day-D vehicle, every vehicle once, every
** position from 1 to N once.  That is what a solver writes, and what a batch
** of a thousand candidates is made of; for such a file the program's own
** reader (see solution.h), which keeps every line's number and warns about
** each problem in the order of the lines, leaves one result only: vehicle v
** at the position its line gives.  This reader finds that result in one pass
** over the file read whole, and says no, leaving the file to the program's
** reader, as soon as the file is anything else or anything it is not sure to
** read as that reader does:
**   - a line other than digits (at most 10), ";", an identifier of 1 to 30
**     bytes holding none of NUL, CR, LF and ";", then LF or CR LF (the last
**     line may end without either);
**   - an empty line, a position 0 or above N, a position or a vehicle met
**     twice, an identifier no day-D vehicle has or several of them share;
**   - a file that is not a regular file, cannot be opened or read whole, or
**     is longer than such a list of N vehicles can be.
** So a file this reader accepts is one the program's reader reads without a
** problem, into the same positions.
**
** Vehicles are named by their rank in the day's list (list_element), which
** no sort of the list changes.
**
** Invariants: the table holds each identifier of the day once: the high half
** of its hash, and the rank r of the first vehicle that has it (-2 - r when
** others have it too); keys_ holds each vehicle's identifier by rank.  The
** table has a power-of-two number of slots, at least twice the number of
** vehicles, so that a search always meets a free slot.  Slots are small so
** that the table stays in the processor's nearest caches.
*/
#ifndef QUELTO_PERMUTATION_H
#define QUELTO_PERMUTATION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Quelto.h"
#include "list.h"

namespace quelto {

class PermutationReader {
public:
    /*
    ** The identifiers of the first n vehicles of the list day, by rank: the
    ** addresses of their s_ident fields, which stay where they are for the
    ** life of the list (its element storage never moves).  Throws
    ** std::bad_alloc when memory runs out.
    */
    static std::vector<const char *> identifiers(const LIST &day, int32_t n);

    /*
    ** The reader of the files of a day whose vehicles have the given
    ** identifiers, by rank (each a NUL-terminated text of at most
    ** QUELTO_LONG_IDENT bytes).  It reads only those texts: it may be built
    ** on one thread while another uses the list, as long as nothing writes
    ** an identifier.  Throws std::bad_alloc when memory runs out.
    */
    explicit PermutationReader(const std::vector<const char *> &identifiers);

    /* The reader of the files of a day whose n vehicles are the first n of the list day. */
    PermutationReader(const LIST &day, int32_t n) : PermutationReader(identifiers(day, n)) {}

    /*
    ** When the file at path lists every vehicle once at a position of its
    ** own (see above): true, and order[p] is the rank of the vehicle at
    ** position p + 1 (n entries).  false otherwise, order then unspecified;
    ** nothing is reported, errno is left as it was.
    */
    bool read(const std::string &path, std::vector<int32_t> &order);

    /* The rank of the one vehicle of identifier text (which holds no NUL), -1 when none or several have it. */
    int32_t find(std::string_view text) const;

private:
    bool read_whole(const std::string &path);
    bool parse(std::vector<int32_t> &order);

    /* An identifier's bytes, zero after its end (no identifier holds a NUL). */
    struct Key {
        uint64_t words[4];
        bool operator==(const Key &) const = default;
    };
    static_assert(sizeof(Key) > QUELTO_LONG_IDENT, "a key holds any identifier");
    struct Slot {
        uint32_t tag;       /* the high half of the identifier's hash */
        int32_t rank;       /* r, or -2 - r when shared (see above); -1: a free slot */
    };
    static constexpr int32_t FREE = -1;
    /* A line waiting for its vehicle: its key, the key's hash, its position. */
    struct Line {
        Key key;
        uint64_t hash;
        int32_t position;
    };
    static constexpr int BATCH = 16;

    static Key key_of(std::string_view text);
    Key key_in_buffer(const char *text, size_t length) const;
    static uint64_t hash_of(const Key &key);
    int32_t find(const Key &key, uint64_t hash) const;
    bool place(const Line *lines, int count, std::vector<int32_t> &order);

    int32_t n_ = 0;
    std::vector<Key> keys_;                /* by rank */
    std::vector<Slot> slots_;
    /* The most bytes a file of n_ lines can take: 10 digits, ";", the identifier, CR LF each. */
    size_t longest_file() const { return (10 + 1 + QUELTO_LONG_IDENT + 2) * static_cast<size_t>(n_); }

    std::vector<char> buffer_;             /* the last file read, then at least 1 + sizeof(Key) bytes */
    size_t length_ = 0;                    /* the file's bytes in buffer_ */
    std::vector<uint32_t> seen_;           /* by position and by rank: the file that met it */
    uint32_t reading_ = 0;                 /* the number of the file being read */
};

}  // namespace quelto

#endif
