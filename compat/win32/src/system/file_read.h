// Opening and reading the files that the layer's readers are given: bounded whole-file
// reads, and opens that never wait on a FIFO or a device.
//
// open() without O_NONBLOCK waits on a FIFO until a writer comes (forever when none does)
// and on some devices until they are ready, before any check of what the file is can run.
// Every reader of the layer therefore opens through OpenForReading: without blocking and
// without taking a terminal as the controlling one, and keeps the descriptor only when it
// holds a regular file. O_NONBLOCK has no effect on a regular file's reads, so it stays.
// The one exception is the version reader, which only ever reads with pread (refused at
// once by a FIFO, socket, terminal or folder) and asks a file's type only when its bytes
// are no module's: its reads are made per file by the hundred.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>

namespace navo::win32 {

// A file descriptor, closed by its owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.Release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    int Get() const { return fd_; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Opens `path` read-only (following symbolic links) and fills `st`. Returns the
// descriptor, or -1 with errno: open's or fstat's own, EISDIR for a folder, ENXIO for
// anything else that is not a regular file. `extraFlags` are added to the open (O_NOFOLLOW,
// O_CREAT with `mode`, ...).
inline int OpenForReading(const std::string& path, struct stat& st, int extraFlags = 0, mode_t mode = 0600) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | extraFlags, mode);
    if (fd < 0) return -1;
    int refusal = 0;
    if (fstat(fd, &st) != 0) refusal = errno;
    else if (S_ISDIR(st.st_mode)) refusal = EISDIR;
    else if (!S_ISREG(st.st_mode)) refusal = ENXIO;
    if (refusal) {
        close(fd);
        errno = refusal;
        return -1;
    }
    return fd;
}

// OpenForReading for callers that turn open's errno into the platform's error: anything
// that is not a regular file or a folder comes back as EACCES, which the platform's
// answer for a device opened as a file (ERROR_ACCESS_DENIED) matches.
inline int OpenRegularFile(const std::string& path) {
    struct stat st{};
    int fd = OpenForReading(path, st);
    if (fd < 0 && errno == ENXIO) errno = EACCES;
    return fd;
}

// Reads the regular file open on `fd`, of the size in `st`, into `bytes` (a std::string
// or std::vector of bytes). Returns 0, EFBIG for a file larger than maxBytes, or the errno
// of a read that failed. A file that ends early keeps what was read; one that has grown
// is read to its size in `st`.
template <typename Bytes>
int ReadOpenFile(int fd, const struct stat& st, size_t maxBytes, Bytes& bytes) {
    if (st.st_size < 0 || size_t(st.st_size) > maxBytes) return EFBIG;
    bytes.resize(size_t(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        done += size_t(n);
    }
    bytes.resize(done);
    return 0;
}

// Reads the regular file at `path` into `bytes`. Returns 0, or why it did not: the errno
// of open, EISDIR for a folder, EFBIG for a file larger than maxBytes, EINVAL for anything
// else that is not a regular file (a FIFO or a device is refused without waiting on it).
template <typename Bytes>
int ReadFileBounded(const std::string& path, size_t maxBytes, Bytes& bytes) {
    struct stat st{};
    const Fd fd(OpenForReading(path, st));
    if (fd.Get() < 0) return errno == ENXIO ? EINVAL : errno;
    return ReadOpenFile(fd.Get(), st, maxBytes, bytes);
}

}  // namespace navo::win32
