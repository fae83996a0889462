#!/usr/bin/env python3
"""Makes a tree of exactly N directories for bench/search.sh: maketree.py FOLDER N.
Directory k (from 1) is d<k>, inside directory (k - 1) // 10 (0 is FOLDER),
so every directory has up to ten subdirectories; each holds one small file."""
import os
import sys


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    paths = [folder]
    os.makedirs(folder)
    for k in range(1, count + 1):
        path = os.path.join(paths[(k - 1) // 10], "d%d" % k)
        os.mkdir(path)
        with open(os.path.join(path, "f.txt"), "wb") as f:
            f.write(b"x")
        paths.append(path)


main()
