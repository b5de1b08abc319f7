// The store's change counter and what it keeps valid: the caches of resolved paths and
// values, and the enumeration cursors.
//
// Every write transaction of this layer moves the counter (a word in the shared file
// "registry.db-seq", mapped) to an odd number before it changes anything and to the next
// even number when it has committed or rolled back. Results read while the counter stood
// still at an even number are kept until it moves.
#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "advapi/registry_store.h"
#include "system/system_state.h"

namespace navo::win32::registry {

namespace {

constexpr size_t kBatchRows = 256;  // the most rows of an enumeration read at once

uint64_t CursorToken(KeyId id, Listing listing) { return uint64_t(id) * 2 + (listing == Listing::kValues ? 1 : 0); }

}  // namespace

LONG Store::OpenCounter() {
    // Next to the database file itself, so that every path to one database shares one
    // counter; never through a link, only a regular file of the user's own.
    std::string file = realPath_ + "-seq";
    int fd = writable_ ? OpenPrivateFile(file, O_RDWR | O_CREAT)
                       : open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Without one a store that may only be read keeps no results (the caches check
        // the counter); a writer must have one, or other processes would keep stale ones.
        return writable_ ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && st.st_size < off_t(sizeof(uint64_t))) ok = writable_ && ftruncate(fd, sizeof(uint64_t)) == 0;
    void* map = ok ? mmap(nullptr, sizeof(uint64_t), writable_ ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0)
                   : MAP_FAILED;
    close(fd);
    if (map != MAP_FAILED) counter_ = static_cast<volatile uint64_t*>(map);
    return counter_ || !writable_ ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

void Store::MoveCounter(bool starting) {
    if (!counter_ || !writable_) return;
    uint64_t* word = const_cast<uint64_t*>(counter_);
    if (starting) {
        // Odd: a write is under way. An odd counter already is a writer that died; it is
        // moved on all the same, so that no result cached under it survives.
        uint64_t now = __atomic_load_n(word, __ATOMIC_SEQ_CST);
        __atomic_fetch_add(word, (now & 1) ? 2 : 1, __ATOMIC_SEQ_CST);
    } else {
        __atomic_fetch_add(word, 1, __ATOMIC_SEQ_CST);
    }
}

uint64_t Store::ChangeCount() const {
    if (!counter_ || writing_) return 1;
    return __atomic_load_n(const_cast<const uint64_t*>(counter_), __ATOMIC_SEQ_CST);
}

bool Store::PrepareCache(uint64_t count) {
    if (count & 1) return false;
    if (count != cachedAt_ || keyCache_.size() + valueCache_.size() > 4096) {
        keyCache_.clear();
        valueCache_.clear();
        cachedAt_ = count;
    }
    return true;
}

std::unordered_map<std::string, KeyRow>* Store::KeyCache(uint64_t count) {
    return PrepareCache(count) ? &keyCache_ : nullptr;
}

std::unordered_map<std::string, Store::CachedValue>* Store::ValueCache(uint64_t count) {
    return PrepareCache(count) ? &valueCache_ : nullptr;
}

bool Store::CursorHolds(KeyId id, DWORD index, Listing listing) {
    auto it = cursors_.find(CursorToken(id, listing));
    if (it == cursors_.end()) return false;
    const Cursor& c = it->second;
    const uint64_t count = ChangeCount();
    if ((count & 1) || c.count != count || c.key != id || c.rows.empty() || index < c.first) return false;
    return index - c.first < c.rows.size() || (c.end && index - c.first >= c.rows.size());
}

LONG Store::RowAt(Listing listing, KeyId id, DWORD index, const Row*& row, Row& single) {
    const uint64_t count = ChangeCount();
    Cursor batch;
    if (count & 1) {
        // Nothing may be kept: the one row alone.
        if (LONG error = ReadRows(listing, id, index, nullptr, 1, batch)) return error;
        if (batch.rows.empty()) return ERROR_NO_MORE_ITEMS;
        single = std::move(batch.rows.front());
        row = &single;
        return ERROR_SUCCESS;
    }
    const uint64_t token = CursorToken(id, listing);
    if (cursors_.size() > 64 && !cursors_.count(token)) cursors_.clear();
    Cursor& c = cursors_[token];
    if (c.count != count || c.key != id) c = Cursor{count, id, 0, false, {}};
    if (!c.rows.empty() && index >= c.first) {
        if (index - c.first < c.rows.size()) {
            row = &c.rows[index - c.first];
            return ERROR_SUCCESS;
        }
        if (c.end) return ERROR_NO_MORE_ITEMS;
    }
    // The next batch after the last row read, twice as long as that one; or, for an index
    // out of order, that row alone.
    const bool follows = !c.rows.empty() && index == c.first + c.rows.size();
    const size_t want = follows ? std::min(c.rows.size() * 2, kBatchRows) : 1;
    if (LONG error = ReadRows(listing, id, index, follows ? &c.rows.back() : nullptr, want, batch)) return error;
    c.first = index;
    c.rows = std::move(batch.rows);
    c.end = batch.end;
    // Written meanwhile: the rows answer this call and are not kept.
    if (ChangeCount() != count) c.count = 1;
    if (c.rows.empty()) return ERROR_NO_MORE_ITEMS;
    row = &c.rows.front();
    return ERROR_SUCCESS;
}

LONG Store::SubKeyAt(KeyId id, DWORD index, std::string& name, std::string& keyClass, int64_t& written) {
    const Row* row = nullptr;
    Row single;
    if (LONG error = RowAt(Listing::kSubKeys, id, index, row, single)) return error;
    name = row->name;
    keyClass = row->extra;
    written = row->number;
    return ERROR_SUCCESS;
}

LONG Store::ValueAt(KeyId id, DWORD index, std::string& name, DWORD& type, std::string& data) {
    const Row* row = nullptr;
    Row single;
    if (LONG error = RowAt(Listing::kValues, id, index, row, single)) return error;
    name = row->name;
    data = row->extra;
    type = DWORD(row->number);
    return ERROR_SUCCESS;
}

}  // namespace navo::win32::registry
