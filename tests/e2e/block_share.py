#!/usr/bin/python3
"""Prints the share, in percent, of the aligned 2x2 pixel blocks of a PNG whose four pixels are
identical: near 100 for a picture merely doubled, far lower for one painted at twice the size.
    block_share.py PICTURE.png"""
import subprocess
import sys


def main(path):
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True, text=True)
    width, height = (int(n) for n in size.stdout.split())
    rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    row = width * 3

    def pixel(x, y):
        at = y * row + x * 3
        return rgb[at:at + 3]

    blocks = same = 0
    for y in range(0, height - 1, 2):
        for x in range(0, width - 1, 2):
            first = pixel(x, y)
            blocks += 1
            same += first == pixel(x + 1, y) == pixel(x, y + 1) == pixel(x + 1, y + 1)
    print(round(100 * same / blocks))


if __name__ == "__main__":
    main(sys.argv[1])
