// Push invalidation of the search memos: the copies taken before edits of watched records,
// the flush that compares them and invalidates the memos that read what changed, and the
// subscriber lists of the records.
#include <cstring>

#include "recon/ReconstructionState.h"

namespace {

// Appends the data of the given kind of record x to out.
void copyData(const ReconstructionState& state, uint8_t kind, int32_t x,
              std::vector<int32_t>& out) {
    const Vertex& v = state.vertices[x];
    switch (kind) {
    case WATCH_STATE:
        out.push_back(state.pointState[static_cast<size_t>(x)]);
        break;
    case WATCH_FAN: {
        const int32_t* entries = v.triangleFan.first(v.triangleFanCount);
        out.push_back(v.triangleFanCount);
        out.insert(out.end(), entries, entries + v.triangleFanCount);
        break;
    }
    case WATCH_LINKS:
        out.push_back(static_cast<int32_t>(v.connectedPoints.size()));
        out.insert(out.end(), v.connectedPoints.begin(), v.connectedPoints.end());
        break;
    case WATCH_ROW:
        out.insert(out.end(), v.neighbours, v.neighbours + NEIGHBOUR_COUNT);
        break;
    case WATCH_NORMAL: {
        int32_t words[6];
        std::memcpy(words, &v.normal.x, sizeof(double));
        std::memcpy(words + 2, &v.normal.y, sizeof(double));
        std::memcpy(words + 4, &v.normal.z, sizeof(double));
        out.insert(out.end(), words, words + 6);
        break;
    }
    default:
        break;
    }
}

} // namespace

void ReconstructionState::copyBeforeEdit(uint8_t kind, int32_t x) {
    EditWatch& watch = editWatch;
    if ((watch.copied[static_cast<size_t>(x)] & kind) != 0) {
        return; // copied before its first edit since the last flush
    }
    EditWatch::Copy copy{x, kind, static_cast<uint32_t>(watch.copies.size()), 0};
    copyData(*this, kind, x, watch.copies);
    copy.end = static_cast<uint32_t>(watch.copies.size());
    watch.log.push_back(copy);
    watch.copied[static_cast<size_t>(x)] |= kind;
}

void ReconstructionState::startEditWatch(size_t count) {
    resetPassRefusals(count);
    if (count == 0) {
        editWatch.release();
        watchedKinds = nullptr;
        return;
    }
    editWatch.start(count);
    watchedKinds = editWatch.watched.data();
}

void ReconstructionState::flushCopiedEdits() {
    EditWatch& watch = editWatch;
    std::vector<int32_t>& now = watch.scratch;
    for (const EditWatch::Copy& copy : watch.log) {
        const int32_t x = copy.record;
        now.clear();
        copyData(*this, copy.kind, x, now);
        const int32_t* before = watch.copies.data() + copy.begin;
        const size_t length = copy.end - copy.begin;
        uint8_t changed = 0;
        if (now.size() != length || !std::equal(now.begin(), now.end(), before)) {
            changed = copy.kind;
        }
        if (copy.kind == WATCH_FAN && (now[0] > 1) != (before[0] > 1)) {
            changed |= WATCH_FAN_SIZE;
        }
        const int32_t at = watch.listOf[static_cast<size_t>(x)];
        if (changed == 0 || at < 0) {
            continue;
        }
        std::vector<EditWatch::Subscriber>& subscribers =
            watch.lists[static_cast<size_t>(at)].subscribers;
        uint8_t kept = 0;
        size_t w = 0;
        for (const EditWatch::Subscriber& s : subscribers) {
            if ((s.kinds & changed) != 0) {
                invalidateMemo(s.memo, s.token);
                continue;
            }
            kept |= s.kinds;
            subscribers[w++] = s;
        }
        subscribers.resize(w);
        watch.watched[static_cast<size_t>(x)] = kept;
    }
    for (const EditWatch::Copy& copy : watch.log) {
        watch.copied[static_cast<size_t>(copy.record)] = 0;
    }
    watch.log.clear();
    watch.copies.clear();
}

#ifdef FANMESH_CHECK_FAN_MEMO
int32_t ReconstructionState::firstChangedRecord(int32_t except) {
    std::vector<int32_t> now;
    for (const EditWatch::Copy& copy : editWatch.log) {
        if (copy.record == except) {
            continue;
        }
        now.clear();
        copyData(*this, copy.kind, copy.record, now);
        const int32_t* before = editWatch.copies.data() + copy.begin;
        if (now.size() != copy.end - copy.begin || !std::equal(now.begin(), now.end(), before)) {
            return copy.record;
        }
    }
    return -1;
}
#endif

bool ReconstructionState::memoHoldsToken(uint32_t memo, uint32_t token) {
    const int64_t key = static_cast<int64_t>(memo >> 2);
    switch (memo & 3) {
    case 0: {
        const FanSearchMemo* fan = fanSearchMemos.find(key);
        return fan != nullptr && (fan->entries[0].token == token || fan->entries[1].token == token);
    }
    case 1: {
        const CoverMemo* cover = coverMemos.find(key);
        return cover != nullptr && cover->token == token;
    }
    case 2: {
        const CompletionMemo* attempt = completionMemos.find(key);
        return attempt != nullptr && attempt->token == token;
    }
    default: {
        const size_t p = static_cast<size_t>(key >> 2);
        return p < passRefusals.size() &&
               passRefusals.get(p, static_cast<size_t>(key & 3)) == token;
    }
    }
}

void ReconstructionState::invalidateMemo(uint32_t memo, uint32_t token) {
    const int64_t key = static_cast<int64_t>(memo >> 2);
    switch (memo & 3) {
    case 0:
        if (FanSearchMemo* fan = fanSearchMemos.find(key)) {
            for (FanSearchMemo::Entry& entry : fan->entries) {
                if (entry.token == token) {
                    entry.token = 0;
                    ++memoInvalidations;
                }
            }
        }
        break;
    case 1:
        if (CoverMemo* cover = coverMemos.find(key)) {
            if (cover->token == token) {
                cover->token = 0;
                ++memoInvalidations;
            }
        }
        break;
    case 2:
        if (CompletionMemo* attempt = completionMemos.find(key)) {
            if (attempt->token == token) {
                attempt->token = 0;
                ++memoInvalidations;
            }
        }
        break;
    default: {
        const size_t p = static_cast<size_t>(key >> 2);
        const size_t k = static_cast<size_t>(key & 3);
        if (p < passRefusals.size() && passRefusals.get(p, k) == token) {
            passRefusals.put(p, k, 0);
            ++memoInvalidations;
        }
        break;
    }
    }
}

uint32_t ReconstructionState::subscribeMemo(uint32_t memo, const WatchedReads& reads) {
    EditWatch& watch = editWatch;
    if (!watch.active()) {
        return 0; // edits are not announced: the memo's inputs are walked at every look-up
    }
    if (watch.lastToken == UINT32_MAX) {
        // Tokens ran out: every memo is invalid, no list holds anyone, numbering starts again.
        fanSearchMemos.forEach([](int64_t, FanSearchMemo& m) {
            m.entries[0].token = 0;
            m.entries[1].token = 0;
        });
        coverMemos.forEach([](int64_t, CoverMemo& m) { m.token = 0; });
        completionMemos.forEach([](int64_t, CompletionMemo& m) { m.token = 0; });
        passRefusals.zeroAll();
        for (EditWatch::List& list : watch.lists) {
            list.subscribers.clear();
        }
        std::fill(watch.watched.begin(), watch.watched.end(), 0);
        watch.lastToken = 0;
    }
    const uint32_t token = ++watch.lastToken;
    for (const WatchedReads::Read& read : reads.reads) {
        const size_t at = static_cast<size_t>(read.record);
        EditWatch::List& list = watch.listFor(read.record);
        if (list.subscribers.size() >= list.compactAt) {
            // Drop the entries of memos invalidated or replaced meanwhile.
            uint8_t kept = 0;
            size_t w = 0;
            for (const EditWatch::Subscriber& s : list.subscribers) {
                if (memoHoldsToken(s.memo, s.token)) {
                    kept |= s.kinds;
                    list.subscribers[w++] = s;
                }
            }
            list.subscribers.resize(w);
            list.compactAt = std::max<size_t>(8, 2 * w);
            watch.watched[at] = kept;
        }
        list.subscribers.push_back(EditWatch::Subscriber{memo, token, read.kinds});
        watch.watched[at] |= read.kinds;
    }
    return token;
}
