"""What the Python tests share: where the sources, the command and the sample drive are,
and a folder of logs as a fleet finds them."""
import os
import shutil

SOURCE = os.environ.get("CDMADIAG_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
CLI = os.environ.get("CDMADIAG_CLI", "cdmadiag")
EXAMPLES = os.path.join(SOURCE, "examples")
SAMPLE = os.path.join(EXAMPLES, "sample.hdlc")
CELLS = os.path.join(EXAMPLES, "cells.csv")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def make_logs(root):
    """root/a.hdlc and root/day2/b.log: the sample drive in both framings."""
    os.makedirs(os.path.join(root, "day2"))
    shutil.copy(SAMPLE, os.path.join(root, "a.hdlc"))
    shutil.copy(os.path.join(EXAMPLES, "sample.log"), os.path.join(root, "day2", "b.log"))
