#include "render/write_whole.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

int WriteWhole(int fd, const void *data, size_t length)
{
    const char *next = static_cast<const char *>(data);
    while (length > 0) {
        const ssize_t written = write(fd, next, length);
        if (written > 0) {
            next += written;
            length -= static_cast<size_t>(written);
        } else if (written == 0) {
            // Nothing taken and no error: a device that will take nothing more.
            return EIO;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd out{fd, POLLOUT, 0};
            if (poll(&out, 1, -1) < 0 && errno != EINTR)
                return errno;
        } else if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}
