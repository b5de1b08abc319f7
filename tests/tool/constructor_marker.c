/* An ELF module whose constructor leaves a marker file: reading its resources must not
   create the marker, since reading resources never runs a module's code. */
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void LeaveMarker(void) {
    const char* marker = getenv("NAVOTOOLS_TEST_MARKER");
    if (!marker || !*marker) return;
    int fd = open(marker, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);
}
