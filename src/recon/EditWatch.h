// EditWatch: push invalidation of the growth's search memos. A memo that holds lists the
// records it read, each with the kinds of data read of it (its state, its fan, whether its fan
// has more than one entry, its connected points, its neighbour list, its normal); the memo is
// a subscriber of those records. The first edit of a watched kind of a record since the last
// flush keeps a copy of the data before the edit; a flush (every memo look-up starts with one)
// compares each copied record with its copy and invalidates the subscribers of the kinds that
// differ. A valid memo is thus answered without reading what it read, and the work of a flush
// is proportional to the edits since the last one. A record put back as it was (a refused
// completion attempt) invalidates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Kinds of data of a record that a memo may read, as bits of a set.
inline constexpr uint8_t WATCH_STATE = 1;
inline constexpr uint8_t WATCH_FAN = 2;      // the accepted fan: its size and entries
inline constexpr uint8_t WATCH_FAN_SIZE = 4; // whether the accepted fan has more than one entry
inline constexpr uint8_t WATCH_LINKS = 8;    // the connected points
inline constexpr uint8_t WATCH_ROW = 16;     // the neighbour list
inline constexpr uint8_t WATCH_NORMAL = 32;

// The watched kinds an edit of the given kind of data may change: a fan edit may also change
// whether the fan has more than one entry.
constexpr uint8_t kindsEditedBy(uint8_t kind) {
    return kind == WATCH_FAN ? static_cast<uint8_t>(WATCH_FAN | WATCH_FAN_SIZE) : kind;
}

struct EditWatch {
    // One memo that read a record: the memo (see memoId), the token it holds while valid and
    // the kinds of data it read of the record.
    struct Subscriber {
        uint32_t memo;
        uint32_t token;
        uint8_t kinds;
    };
    // The subscribers of one record; entries of memos since invalidated or replaced linger
    // until the list is compacted or the record is edited.
    struct List {
        std::vector<Subscriber> subscribers;
        size_t compactAt = 8;
    };
    // A copy of one kind of data of one record, taken before its first edit since the last
    // flush; the data are words begin..end of copies.
    struct Copy {
        int32_t record;
        uint8_t kind;
        uint32_t begin;
        uint32_t end;
    };

    // Per record: the kinds some subscriber may read (a superset), the kinds copied since
    // the last flush, and its subscriber list (index into lists, -1 for none). Empty outside
    // growth, when no edit is looked at.
    std::vector<uint8_t> watched;
    std::vector<uint8_t> copied;
    std::vector<int32_t> listOf;
    std::vector<List> lists;
    std::vector<Copy> log;
    std::vector<int32_t> copies;
    std::vector<int32_t> scratch; // the data of a copied record now, at a flush
    // The last token handed out; 0 is never a valid token.
    uint32_t lastToken = 0;

    bool active() const { return !watched.empty(); }
    // Watches count records, none of them subscribed yet.
    void start(size_t count) {
        watched.assign(count, 0);
        copied.assign(count, 0);
        listOf.assign(count, -1);
        lists.clear();
        log.clear();
        copies.clear();
    }
    // Stops watching and returns the storage.
    void release() {
        std::vector<uint8_t>().swap(watched);
        std::vector<uint8_t>().swap(copied);
        std::vector<int32_t>().swap(listOf);
        std::vector<List>().swap(lists);
        std::vector<Copy>().swap(log);
        std::vector<int32_t>().swap(copies);
    }
    // The subscriber list of x, made when it has none.
    List& listFor(int32_t x) {
        int32_t& at = listOf[static_cast<size_t>(x)];
        if (at < 0) {
            at = static_cast<int32_t>(lists.size());
            lists.emplace_back();
        }
        return lists[static_cast<size_t>(at)];
    }
};

// The records one memo reads, each once with the kinds read of it; gathered while the memo's
// inputs are walked.
struct WatchedReads {
    struct Read {
        int32_t record;
        uint8_t kinds;
    };
    std::vector<Read> reads;
    // Per record: its place in reads. A place that is past the end of reads, or whose entry
    // is another record's, is left over from an earlier list: the record is not listed. No
    // per-record clearing is needed between lists.
    std::vector<uint32_t> places;

    // Starts a new list for count records.
    void begin(size_t count) {
        reads.clear();
        if (places.size() < count) {
            places.resize(count, 0);
        }
    }
    // Notes that the given kinds of x are read.
    void add(int32_t x, uint8_t kinds) {
        uint32_t& place = places[static_cast<size_t>(x)];
        if (place < reads.size() && reads[place].record == x) {
            reads[place].kinds |= kinds;
        } else {
            place = static_cast<uint32_t>(reads.size());
            reads.push_back(Read{x, kinds});
        }
    }
};
