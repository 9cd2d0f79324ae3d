"""Advisory locks on files (flock), held by an open file of this process.

Python opens files that no child inherits, so a Wine server or a guest that
a locked step starts never keeps the lock held while it lives.
"""

import fcntl
import os


class FileLock:
    """One lock file; `with FileLock(path):` holds it exclusively."""

    def __init__(self, path, shared=False):
        self.path = path
        self.shared = shared
        self.descriptor = None

    def acquire(self, shared=None, wait=True):
        shared = self.shared if shared is None else shared
        if self.descriptor is None:
            self.descriptor = os.open(self.path, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o644)
        mode = fcntl.LOCK_SH if shared else fcntl.LOCK_EX
        try:
            fcntl.flock(self.descriptor, mode if wait else mode | fcntl.LOCK_NB)
        except BlockingIOError:
            return False
        return True

    def release(self):
        if self.descriptor is not None:
            os.close(self.descriptor)
            self.descriptor = None

    def __enter__(self):
        self.acquire()
        return self

    def __exit__(self, *_):
        self.release()
