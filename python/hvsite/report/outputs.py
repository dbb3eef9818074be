# SPDX-License-Identifier: GPL-3.0-or-later
"""Writing report files: checked before any work, written whole or not at all."""

import os
import tempfile


def check_folder(path, what):
    """None when the folder of path exists, else the reason (one line)."""
    folder = os.path.dirname(path) or "."
    if not os.path.isdir(folder):
        return f"{what} {path}: folder {folder} does not exist"
    if os.path.isdir(path):
        return f"{what} {path} is a folder"
    return None


def write_atomically(path, write, suffix=""):
    """Calls write(temporary path) beside path, then renames it into place, so that a
    failure leaves no partial file and does not touch an earlier one."""
    fd, temp = tempfile.mkstemp(suffix=suffix, dir=os.path.dirname(path) or ".")
    os.close(fd)
    try:
        write(temp)
        mask = os.umask(0)
        os.umask(mask)
        os.chmod(temp, 0o666 & ~mask)  # mkstemp's 0600 is not what a report file needs
        os.replace(temp, path)
    finally:
        if os.path.exists(temp):
            os.remove(temp)


def write_text(path, text):
    def write(temp):
        with open(temp, "w", encoding="utf-8") as f:
            f.write(text)

    write_atomically(path, write, ".tmp")
