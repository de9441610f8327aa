#!/usr/bin/env python3
"""A FUSE file system holding one file, "disk", a read-only view of IMAGE
whose chosen 512-byte sectors fail with EIO. Mounted with direct_io, every
read reaches it with its own offset and length, so a loop device over
MOUNT/disk fails exactly those sectors, like a disk with bad sectors.

    failing_sectors_fs.py IMAGE MOUNT SECTOR[,SECTOR...]

Runs in the foreground until unmounted.
"""
import errno
import os
import stat
import sys

try:
    from fuse import FUSE, FuseOSError, Operations
except ImportError:  # Debian's python3-fusepy names the module fusepy
    from fusepy import FUSE, FuseOSError, Operations

SECTOR = 512


class FailingSectors(Operations):
    def __init__(self, image, bad):
        self.fd = os.open(image, os.O_RDONLY)
        self.size = os.fstat(self.fd).st_size
        self.bad = bad

    def getattr(self, path, fh=None):
        if path == '/':
            return {'st_mode': stat.S_IFDIR | 0o755, 'st_nlink': 2}
        if path == '/disk':
            return {'st_mode': stat.S_IFREG | 0o444, 'st_nlink': 1, 'st_size': self.size}
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return ['.', '..', 'disk']

    def open(self, path, flags):
        if path != '/disk':
            raise FuseOSError(errno.ENOENT)
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        return 0

    def read(self, path, size, offset, fh):
        first = offset // SECTOR
        last = (offset + max(size, 1) - 1) // SECTOR
        if any(first <= s <= last for s in self.bad):
            raise FuseOSError(errno.EIO)
        return os.pread(self.fd, size, offset)


def main():
    image, mount, sectors = sys.argv[1], sys.argv[2], sys.argv[3]
    bad = [int(s) for s in sectors.split(',') if s]
    FUSE(FailingSectors(image, bad), mount, foreground=True, ro=True, direct_io=True, allow_other=False)


if __name__ == '__main__':
    main()
