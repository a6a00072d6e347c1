#!/usr/bin/python3
"""Compares a picture grabbed from the screen with the one it should be (both binary PPM).

    same_picture.py SEEN.ppm WANTED.ppm [TOLERANCE [SHARE]]

Same size, and every channel within TOLERANCE (default 0: exact) of the wanted one, but for at
most SHARE (a fraction, default 0) of the pixels: a desktop that scales a picture of the same
size still resamples it, and its edges blur. Prints what it found on one line; exit status 0
when the pictures match, 1 when not, 2 when a file cannot be read.
"""
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        if pos >= len(data):
            raise ValueError(f"{path}: not a PPM (empty or cut short)")
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        header = b" ".join(fields).decode(errors="replace")
        raise ValueError(f"{path}: not an 8-bit binary PPM ({header})")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + width * height * 3]
    if len(pixels) != width * height * 3:
        raise ValueError(f"{path}: truncated")
    return width, height, pixels


def main(argv):
    if len(argv) not in (3, 4, 5):
        print(__doc__.strip().splitlines()[2].strip())
        return 2
    tolerance = int(argv[3]) if len(argv) > 3 else 0
    share = float(argv[4]) if len(argv) > 4 else 0.0
    try:
        seen, wanted = read_ppm(argv[1]), read_ppm(argv[2])
    except (OSError, ValueError, IndexError) as e:
        print(f"unreadable: {e}")
        return 2
    if seen[:2] != wanted[:2]:
        print(f"size {seen[0]}x{seen[1]}, want {wanted[0]}x{wanted[1]}")
        return 1
    width, a, b = seen[0], seen[2], wanted[2]
    if a == b:
        print("same")
        return 0
    off, first, worst = 0, None, 0
    for i in range(0, len(a), 3):
        d = max(abs(a[i] - b[i]), abs(a[i + 1] - b[i + 1]), abs(a[i + 2] - b[i + 2]))
        worst = max(worst, d)
        if d > tolerance:
            off += 1
            if first is None:
                first = (i // 3 % width, i // 3 // width, tuple(a[i:i + 3]), tuple(b[i:i + 3]))
    total = len(a) // 3
    if off <= share * total:
        print(f"within {tolerance}: {off} of {total} pixels beyond, largest difference {worst}")
        return 0
    x, y, got, want = first
    print(f"{off} of {total} pixels differ by more than {tolerance} (largest {worst}); "
          f"first at ({x}, {y}): {got}, want {want}")
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
