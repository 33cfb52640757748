/* The test bed's slow drive: an empty FUSE file system whose every answer
 * comes after a delay, as from a network share whose server is away.
 *   slow_drive SECONDS MOUNTPOINT [FUSE OPTIONS]   (returns once mounted)
 */
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static unsigned delay;

static int slow_getattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
    (void)fi;
    sleep(delay);
    memset(st, 0, sizeof *st);
    if (strcmp(path, "/") != 0)
        return -ENOENT;
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
}

static int slow_opendir(const char* path, struct fuse_file_info* fi) {
    (void)path, (void)fi;
    sleep(delay);
    return 0;
}

static int slow_readdir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                        struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
    (void)path, (void)offset, (void)fi, (void)flags;
    sleep(delay);
    fill(buffer, ".", NULL, 0, 0);
    fill(buffer, "..", NULL, 0, 0);
    return 0;
}

static int slow_statfs(const char* path, struct statvfs* st) {
    (void)path;
    sleep(delay);
    memset(st, 0, sizeof *st);
    st->f_bsize = 4096;
    st->f_namemax = 255;
    return 0;
}

static const struct fuse_operations operations = {
    .getattr = slow_getattr,
    .opendir = slow_opendir,
    .readdir = slow_readdir,
    .statfs = slow_statfs,
};

int main(int argc, char* argv[]) {
    if (argc < 3)
        return 2;
    delay = (unsigned)atoi(argv[1]);
    argv[1] = argv[0];
    return fuse_main(argc - 1, argv + 1, &operations, NULL);
}
