// A whole-file read with a size limit, for the layer's readers of untrusted files.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>

namespace navo::win32 {

// Reads the regular file at `path` into `bytes` (a std::string or std::vector of bytes).
// Returns 0, or why it did not: the errno of open, EISDIR for a folder, EFBIG for a file
// larger than maxBytes, EINVAL for anything else that is not a regular file. A read that
// ends early keeps what was read.
template <typename Bytes>
int ReadFileBounded(const std::string& path, size_t maxBytes, Bytes& bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st{};
    int refusal = 0;
    if (fstat(fd, &st) != 0 || (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))) refusal = EINVAL;
    else if (S_ISDIR(st.st_mode)) refusal = EISDIR;
    else if (size_t(st.st_size) > maxBytes) refusal = EFBIG;
    if (refusal) {
        close(fd);
        return refusal;
    }
    bytes.resize(size_t(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    close(fd);
    bytes.resize(done);
    return 0;
}

}  // namespace navo::win32
