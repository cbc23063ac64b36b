/* Preloaded into a benchmark's workstations: every disk sync takes 10 ms longer, as on a file share. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <time.h>

static void wait_10ms(void)
{
    const struct timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, NULL);
}

int fsync(int fd)
{
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    wait_10ms();
    return real(fd);
}

int fdatasync(int fd)
{
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    wait_10ms();
    return real(fd);
}
