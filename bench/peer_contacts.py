#!/usr/bin/python3
"""The contacts of a fibers CSV as a scientist would find them with numpy and scipy, for
comparison with mikado: cKDTree pairs of fiber midpoints closer than the longest fiber (no pair
farther apart can touch), then the closest points of the two axes for every pair at once, in
double precision. Two fibers touch when their midpoints are closer than their half-lengths
summed, the closest points of their axes lie strictly inside both segments and the axes are at
most the diameter apart; in the periodic box (a cube of side A centred on the origin) the second
fiber of a pair is taken at its image nearest the first. mikado applies the same rule with its
float32 roundings, so the two may differ on pairs at the very limit.

Prints `contacts N` and `seconds S` (tree, pairs and test; reading the file is not counted).
Usage: peer_contacts.py FIBERS.csv [--diameter D] [--periodic A] [--out CONTACTS.csv]"""
import argparse
import sys
import time

import numpy as np
from scipy.spatial import cKDTree


def read_fibers(path):
    with open(path) as f:
        header = f.readline().strip().split(",")
    try:
        columns = [header.index(name) for name in ("x1", "y1", "z1", "x2", "y2", "z2")]
    except ValueError:
        sys.exit(f"peer_contacts: {path}: needs the columns x1,y1,z1,x2,y2,z2")
    ends = np.loadtxt(path, delimiter=",", skiprows=1, usecols=columns, ndmin=2)
    return ends[:, :3], ends[:, 3:]


def find_contacts(start, end, diameter, box):
    mid = (start + end) / 2
    axis = end - start
    half = np.linalg.norm(axis, axis=1) / 2
    reach = 2 * half.max() if len(half) else 0.0
    if box:
        # The tree's periodic box runs from 0 to A.
        wrapped = np.mod(mid + box / 2, box)
        wrapped[wrapped >= box] = 0.0
        tree = cKDTree(wrapped, boxsize=box)
    else:
        tree = cKDTree(mid)
    pairs = tree.query_pairs(reach, output_type="ndarray")
    i, j = pairs[:, 0], pairs[:, 1]
    shift = -box * np.round((mid[j] - mid[i]) / box) if box else 0.0
    pa, ua = start[i], axis[i]
    pb, ub = start[j] + shift, axis[j]
    gap = mid[j] + shift - mid[i]
    near = np.einsum("ij,ij->i", gap, gap) < (half[i] + half[j]) ** 2
    w = pa - pb
    a = np.einsum("ij,ij->i", ua, ua)
    b = np.einsum("ij,ij->i", ua, ub)
    c = np.einsum("ij,ij->i", ub, ub)
    d = np.einsum("ij,ij->i", ua, w)
    e = np.einsum("ij,ij->i", ub, w)
    den = a * c - b * b
    crossing = den > 1e-12 * a * c  # parallel axes have no single pair of closest points
    with np.errstate(divide="ignore", invalid="ignore"):
        s = (b * e - c * d) / den
        t = (a * e - b * d) / den
    p1 = pa + s[:, None] * ua
    p2 = pb + t[:, None] * ub
    distance = np.linalg.norm(p1 - p2, axis=1)
    keep = near & crossing & (s > 0) & (s < 1) & (t > 0) & (t < 1) & (distance <= diameter)
    point = (p1[keep] + p2[keep]) / 2
    if box:
        point = np.mod(point + box / 2, box) - box / 2
    order = np.lexsort((j[keep], i[keep]))
    return i[keep][order], j[keep][order], distance[keep][order], point[order]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("fibers")
    parser.add_argument("--diameter", type=float, default=2e-9)
    parser.add_argument("--periodic", type=float, default=0.0, metavar="A")
    parser.add_argument("--out")
    args = parser.parse_args()
    start, end = read_fibers(args.fibers)
    began = time.perf_counter()
    i, j, distance, point = find_contacts(start, end, args.diameter, args.periodic)
    seconds = time.perf_counter() - began
    print(f"contacts {len(i)}")
    print(f"seconds {seconds:.4f}")
    if args.out:
        table = np.column_stack([i, j, distance, point])
        np.savetxt(args.out, table, delimiter=",", fmt=["%d", "%d", "%.9g", "%.9g", "%.9g", "%.9g"],
                   header="i,j,distance,x,y,z", comments="")


if __name__ == "__main__":
    main()
