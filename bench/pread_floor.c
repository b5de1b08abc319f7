/* The floor of a version read as a whole process: for each FILE, open it, read 8 KiB at
 * its start and 8 KiB after that with two pread calls, and close it. No reader of a file's
 * version can do less system work per file than this (headers first, then one block).
 * Prints the number of files it read and the bytes it got, so that the work is not
 * optimised away and a missing file shows.
 *
 * usage: pread_floor FILE...
 */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
    static unsigned char buffer[2][8192];
    unsigned long long total = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        int fd = open(argv[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            perror(argv[i]);
            failed = 1;
            continue;
        }
        ssize_t first = pread(fd, buffer[0], sizeof buffer[0], 0);
        ssize_t second = pread(fd, buffer[1], sizeof buffer[1], (off_t)sizeof buffer[0]);
        if (first > 0) total += (unsigned long long)first + buffer[0][0];
        if (second > 0) total += (unsigned long long)second + buffer[1][0];
        close(fd);
    }
    printf("%d files, %llu\n", argc - 1, total);
    return failed;
}
