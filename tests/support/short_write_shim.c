/* Preloaded into the printer application by tests: writes to a terminal
 * take a few bytes at a time, and now and then none at all, interrupted as
 * by a signal, as a slow serial line may. Other writes pass unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdatomic.h>
#include <unistd.h>

ssize_t write(int fd, const void *data, size_t count)
{
    static ssize_t (*real)(int, const void *, size_t);
    static atomic_uint calls;
    if (real == NULL)
        *(void **)&real = dlsym(RTLD_NEXT, "write");
    const int saved = errno;
    const int terminal = count > 1 && isatty(fd);
    errno = saved;
    if (terminal) {
        const unsigned call = atomic_fetch_add(&calls, 1) + 1;
        if (call % 5 == 0) {
            errno = EINTR;
            return -1;
        }
        const size_t most = 1 + call % 7;
        if (count > most)
            count = most;
    }
    return real(fd, data, count);
}
