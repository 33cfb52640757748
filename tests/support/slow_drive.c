/* The test bed's slow drive: an empty FUSE file system standing for a
 * network share whose server answers late or never, for the programs under
 * test only.
 *   slow_drive CONTROL LOG MOUNTPOINT PROGRAM...      (returns once mounted)
 * CONTROL is a file holding the delay in seconds, or "never". It is read
 * again every 100 ms while a request waits, so a test can change it, and so
 * a waiting request ends when the drive is unmounted.
 * Every request of a PROGRAM (matched by the name of its executable) waits;
 * everyone else's is answered at once: Wine's server, its loaders and its
 * mount manager stand for the system, which on Windows never waits for a
 * share's server.
 * The stat of the root is answered at once for everyone: on Windows a drive
 * letter's existence is local, but Wine stats every drive's root under one
 * lock of each process, so a root that never answers would stop every
 * thread of the program whatever drive it asks about.
 * LOG gets a line for every listing a PROGRAM asks for: "list PATH".
 */
#define FUSE_USE_VERSION 31
#include <fuse.h>
#include <fuse_lowlevel.h>

#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static const char* control;
static const char* logPath;
static char** programs;
static int programCount;

/* The last part of the asking process's executable, as Wine shows it: a
 * Windows or Unix path. */
static int isProgram(pid_t pid) {
    char path[64], command[4096] = "";
    snprintf(path, sizeof path, "/proc/%d/cmdline", (int)pid);
    FILE* file = fopen(path, "r");
    if (file == NULL)
        return 0;
    const size_t length = fread(command, 1, sizeof command - 1, file);
    fclose(file);
    command[length] = '\0';
    const char* name = command;
    for (const char* c = command; *c != '\0'; ++c)
        if (*c == '/' || *c == '\\')
            name = c + 1;
    for (int i = 0; i < programCount; ++i)
        if (strcasecmp(name, programs[i]) == 0)
            return 1;
    return 0;
}

/* Milliseconds to wait, -1 for never. */
static long delayMs(void) {
    char text[32] = "";
    FILE* file = fopen(control, "r");
    if (file != NULL) {
        if (fgets(text, sizeof text, file) == NULL)
            text[0] = '\0';
        fclose(file);
    }
    if (strncmp(text, "never", 5) == 0)
        return -1;
    return atol(text) * 1000;
}

static long elapsedMs(const struct timespec* since) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - since->tv_sec) * 1000 + (now.tv_nsec - since->tv_nsec) / 1000000;
}

/* The asking thread is gone or being killed (its process is ending). On
 * Windows the redirector cancels an ended process's requests; here a request
 * already read is no longer interruptible once the kernel kills its thread,
 * and one whose interrupt never came would keep the process from ending. */
static int askerEnding(pid_t thread) {
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)thread);
    FILE* file = fopen(path, "r");
    if (file == NULL)
        return 1;
    int ending = 0;
    while (fgets(line, sizeof line, file) != NULL) {
        unsigned long long pending = 0;
        if ((sscanf(line, "SigPnd: %llx", &pending) == 1 ||
             sscanf(line, "ShdPnd: %llx", &pending) == 1) &&
            (pending & 1ull << (SIGKILL - 1)) != 0)
            ending = 1;
    }
    fclose(file);
    return ending;
}

/* 0 once the asker may have its answer; -EINTR when it gave up. */
static int waitTurn(void) {
    struct fuse_context* context = fuse_get_context();
    if (!isProgram(context->pid))
        return 0;
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        const long delay = delayMs();
        if (delay >= 0 && elapsedMs(&start) >= delay)
            return 0;
        if (fuse_interrupted() || fuse_session_exited(fuse_get_session(context->fuse)) ||
            askerEnding(context->pid))
            return -EINTR;
        const struct timespec slice = {0, 100 * 1000 * 1000};
        nanosleep(&slice, NULL);
    }
}

static void logListing(const char* path) {
    if (!isProgram(fuse_get_context()->pid))
        return;
    char line[4200];
    const int length = snprintf(line, sizeof line, "list %s\n", path);
    const int file = open(logPath, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (file >= 0) {
        if (write(file, line, (size_t)length) < 0)
            line[0] = '\0';
        close(file);
    }
}

static int slowGetattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    (void)fi;
    memset(st, 0, sizeof *st);
    if (strcmp(path, "/") != 0) {
        const int waited = waitTurn();
        return waited != 0 ? waited : -ENOENT;
    }
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
}

static int slowOpendir(const char* path, struct fuse_file_info* fi) {
    (void)fi;
    logListing(path);
    return waitTurn();
}

static int slowReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                       struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
    (void)path, (void)offset, (void)fi, (void)flags;
    const int waited = waitTurn();
    if (waited != 0)
        return waited;
    fill(buffer, ".", NULL, 0, 0);
    fill(buffer, "..", NULL, 0, 0);
    return 0;
}

static int slowStatfs(const char* path, struct statvfs* st) {
    (void)path;
    memset(st, 0, sizeof *st);
    st->f_bsize = 4096;
    st->f_namemax = 255;
    return waitTurn();
}

static const struct fuse_operations operations = {
    .getattr = slowGetattr,
    .opendir = slowOpendir,
    .readdir = slowReaddir,
    .statfs = slowStatfs,
};

int main(int argc, char* argv[]) {
    if (argc < 5)
        return 2;
    control = argv[1];
    logPath = argv[2];
    programs = argv + 4;
    programCount = argc - 4;
    /* Requests that never end each hold a thread of the file system: room
     * for many, so the answers owed at once never queue behind them. */
    char* fuseArgs[] = {argv[0], "-o", "max_threads=1000", argv[3], NULL};
    return fuse_main(4, fuseArgs, &operations, NULL);
}
