#!/usr/bin/python3
"""The contacts of a fibers CSV as a scientist would find them with numpy and scipy, for
comparison with mikado: cKDTree pairs of fiber midpoints closer than the longest fiber (no pair
farther apart can touch), then the axis distance and the closest points of the two axes for
every pair at once, in double precision. Two fibers touch when their midpoints are closer than
their half-lengths summed, the closest points of their axes lie strictly inside both segments
and the axes are at most the diameter apart; in the periodic box (a cube of side A centred on
the origin) the second fiber of a pair is taken at its image nearest the first. mikado applies
the same rule with its float32 roundings, so the two may differ on pairs at the very limit.

Prints `contacts N` and `seconds S` (tree, pairs and test; reading the file is not counted).
Usage: peer_contacts.py FIBERS.csv [--diameter D] [--periodic A] [--out CONTACTS.csv]"""
import argparse
import sys
import time
import warnings

import numpy as np
from scipy.spatial import cKDTree


def read_fibers(path):
    with open(path) as f:
        header = f.readline().strip().split(",")
    try:
        columns = [header.index(name) for name in ("x1", "y1", "z1", "x2", "y2", "z2")]
    except ValueError:
        sys.exit(f"peer_contacts: {path}: needs the columns x1,y1,z1,x2,y2,z2")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # a network of no fibers is a valid file
        ends = np.loadtxt(path, delimiter=",", skiprows=1, usecols=columns, ndmin=2)
    return ends[:, :3], ends[:, 3:]


def dot(u, v):
    return np.einsum("ij,ij->i", u, v)


def touching(i, j, mid, axis, half, diameter, box):
    """The pairs i[k], j[k] that touch, their axis distances and contact points (unwrapped)."""
    gap = mid[j] - mid[i]
    if box:
        gap -= box * np.round(gap / box)  # the image of j nearest i
    keep = dot(gap, gap) < (half[i] + half[j]) ** 2
    i, j, gap = i[keep], j[keep], gap[keep]
    # The axis distance first, from the common normal: few pairs pass it, so the closest points
    # are solved only for those.
    ua, ub = axis[i], axis[j]
    normal = np.cross(ua, ub)
    nn = dot(normal, normal)
    along = dot(normal, gap)
    # Parallel axes have no single pair of closest points.
    keep = (along * along <= diameter * diameter * nn) & (nn > 1e-12 * dot(ua, ua) * dot(ub, ub))
    i, j, gap, ua, ub = i[keep], j[keep], gap[keep], ua[keep], ub[keep]
    normal, nn = normal[keep], nn[keep]
    # Closest points mid_i + s ua and mid_i + gap + t ub, strictly inside when |s|, |t| < 1/2.
    s = dot(np.cross(gap, ub), normal) / nn
    t = dot(np.cross(gap, ua), normal) / nn
    keep = (np.abs(s) < 0.5) & (np.abs(t) < 0.5)
    i, j = i[keep], j[keep]
    p1 = mid[i] + s[keep, None] * ua[keep]
    p2 = mid[i] + gap[keep] + t[keep, None] * ub[keep]
    return i, j, np.linalg.norm(p1 - p2, axis=1), (p1 + p2) / 2


# Pairs per vectorised step: the temporaries stay in cache instead of each being a fresh
# allocation of hundreds of MB (at 10^6 fibers the whole list is 2 x 10^7 pairs).
BLOCK = 1 << 14


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
    parts = [touching(pairs[k:k + BLOCK, 0], pairs[k:k + BLOCK, 1], mid, axis, half, diameter, box)
             for k in range(0, len(pairs), BLOCK)]
    if not parts:
        parts = [touching(pairs[:, 0], pairs[:, 1], mid, axis, half, diameter, box)]
    i, j, distance, point = (np.concatenate(column) for column in zip(*parts))
    if box:
        point = np.mod(point + box / 2, box) - box / 2
    order = np.lexsort((j, i))
    return i[order], j[order], distance[order], point[order]


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
