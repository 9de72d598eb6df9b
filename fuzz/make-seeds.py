#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the hand-made seed inputs into fuzz/corpus/<target>/ (run again after a format change).

Update run input: slots byte, per file a length byte and its bytes, a failure byte, then read
chunks: 0 silent, 1..200 that many bytes, 201.. one whole marker (index l-201), 232..247 a
marker cut in two reads (index, cut), 248.. a flood of 1024 copies of the next byte.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
MARKERS = ["Q9X-SUC", "LOAD  APP", "Send file in binary mode", "Default ChannelList",
           "100 Exit to Main Menu", "lash", "error", "Write Sector", "File OK!", "fin",
           "ptImage->UnzipedCrc", "wrong"]


def data(text):
    b = text.encode("latin-1")
    return bytes([len(b)]) + b


def marker(name):
    return bytes([201 + MARKERS.index(name)])


def split(name, cut):
    return bytes([232, MARKERS.index(name), cut - 1])


def run(files, fail=0, chunks=b""):
    out = bytes([sum(1 << i for i, f in enumerate(files) if f is not None) or 1])
    for f in files:
        if f is not None:
            out += bytes([len(f) - 1]) + f
    return out + bytes([fail]) + chunks


def write(target, name, blob):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(blob)


ok = marker("File OK!") + marker("Write Sector") + marker("ptImage->UnzipedCrc")
f1 = bytes(range(1, 26))
f2 = b"decoder image \x02x tail"
write("update_run", "success-one-file", run([f1], 0, data("boot\r\n") + marker("Q9X-SUC") + ok))
write("update_run", "success-three-files",
      run([f1, f2, b"out!"], 0, marker("LOAD  APP") + ok + ok + data("fin\r\n")))
write("update_run", "markers-split", run([f1], 0, split("Q9X-SUC", 3) + split("Write Sector", 6)
                                         + split("ptImage->UnzipedCrc", 10)))
write("update_run", "binary-prompt", run([f2], 0, marker("Send file in binary mode") + ok))
write("update_run", "wrap-2047", run([f1], 0, bytes([248]) + b"x" + bytes([200]) + b"y" * 200
                                     + data("x" * 200) + data("x" * 200) + data("x" * 20)
                                     + marker("Q9X-SUC")))
write("update_run", "flood-connect", run([f1], 0, bytes([248, ord("z")]) * 70))
write("update_run", "zero-bytes", run([f1], 0, data("LOAD\0  APP") + data("\0Q9X-SUC")))
write("update_run", "flash-loop", run([f1], 0, marker("lash") * 70))
write("update_run", "silent", run([f1], 0, b""))
write("update_run", "channel-list-then-menu",
      run([f1], 0, marker("Default ChannelList") + marker("100 Exit to Main Menu")
          + marker("LOAD  APP") + data("File OK!") + b"\0" * 5 + marker("wrong")))
write("update_run", "write-fails-mid-file", run([bytes(40)], 0x80 | 12, marker("Q9X-SUC") + ok))
write("update_run", "device-gone", run([f1], 0xC0 | 10, marker("Q9X-SUC") + ok))
write("update_run", "error-after-silence", run([f1], 0, b"\0" * 13 + data("error") + b"\0" * 3))

write("port_map", "plain", b"\x00COM1=/dev/ttyS0\nCOM3 = /dev/ttyUSB0 \n# note\n\nCOM99=/dev/x\n")
write("port_map", "detected", b"\x3fCOM2=/dev/ttyUSB0\n")
write("port_map", "malformed", b"\x01COM1=/dev/a\nnot a port line\nCOM2=/dev/b\n")
write("port_map", "duplicates", b"\x00COM5=/dev/a\r\nCOM5=/dev/b\r\nCOM0=/dev/c\nCOM100=/dev/d\n")
write("port_map", "empty", b"\x07")

write("firm_files", "three-files", bytes([1, 25]) + f1 + bytes([1, 4]) + b"abcd" + bytes([2, 3]))
write("firm_files", "odd-entries", bytes([3, 4, 10]) + b"0123456789" + bytes([5])
      + bytes([1, 0]))
write("firm_files", "links", bytes([7, 5]) + b"hello" + bytes([6, 5]))
