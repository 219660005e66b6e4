"""The conductance that mikado prints, against a dense numpy solve of the same circuit built here
from its CSV files. Usage: conductance_check.py MIKADO WORKDIR"""

import json
import os
import subprocess
import sys

import numpy as np
import vtk
from vtk.util.numpy_support import vtk_to_numpy
from scipy.sparse import coo_matrix
from scipy.sparse.csgraph import connected_components


def run(mikado, work, args):
    files = {k: os.path.join(work, k) for k in ("f.csv", "c.csv", "r.json", "n.vtk")}
    out = subprocess.run([mikado, "--no-view", "--conductance", "--fibers-out", files["f.csv"],
                          "--contacts-out", files["c.csv"], "--json", files["r.json"],
                          "--vtk", files["n.vtk"]] + args, check=True, stdout=subprocess.PIPE,
                         text=True).stdout
    fibers = np.genfromtxt(files["f.csv"], delimiter=",", skip_header=1)
    contacts = np.genfromtxt(files["c.csv"], delimiter=",", skip_header=1, ndmin=2)
    with open(files["r.json"]) as f:
        report = json.load(f)
    return fibers, contacts, report, out.splitlines()[-1]


def reference(fibers, contacts, side, periodic, axis, rj, rho, diameter):
    """G, and per fiber the mean potential (open along the axis) and largest wire current
    (rho > 0). side and periodic per axis; contacts wrap every periodic axis, and only a step
    across the period along the axis adds a volt."""
    start, end = fibers[:, 1:4], fibers[:, 4:7]
    n, half = len(fibers), side[axis] / 2
    period = np.where(periodic, side, 0.0)
    f32 = np.float32
    mid = ((start.astype(np.float64) + end) * 0.5).astype(f32).astype(np.float64)
    # Points along each fiber: (fiber, t, tag); tag -1 lower face, -2 upper face, else contact.
    points = [[] for _ in range(n)]

    def along(f, p):
        d = end[f] - start[f]
        return min(max(np.dot(p - start[f], d) / np.dot(d, d), 0.0), 1.0)

    for k, (i, j, _, x, y, z) in enumerate(contacts):
        for f in (int(i), int(j)):
            p = np.array([x, y, z])
            wrap = np.round(np.divide(mid[f] - p, period, out=np.zeros(3), where=period > 0))
            points[f].append((along(f, p + wrap * period), k))
    if not periodic[axis]:
        for f in range(n):
            d = end[f, axis] - start[f, axis]
            for face, tag in ((-half, -1), (half, -2)):
                if min(start[f, axis], end[f, axis]) <= -half if tag == -1 else \
                        max(start[f, axis], end[f, axis]) >= half:
                    t = (face - start[f, axis]) / d if d != 0 else 0.0
                    points[f].append((min(max(t, 0.0), 1.0), tag))
    nodes, node_of, fixed, wires = [], {}, {}, []
    for f in range(n):
        pts = sorted(points[f])
        last = None
        for t, tag in pts:
            if last is None or (rho > 0 and t != nodes[-1][1]):
                if last is not None:
                    length = (t - nodes[-1][1]) * np.linalg.norm(end[f] - start[f])
                    wires.append((len(nodes) - 1, len(nodes), np.pi * diameter ** 2 / 4 / (rho * length)))
                nodes.append((f, t))
                last = t
            node_of[(f, tag)] = len(nodes) - 1
            if tag < 0:
                fixed[len(nodes) - 1] = 1.0 if tag == -2 else 0.0
    edges = list(wires)
    for k, (i, j, *_) in enumerate(contacts):
        shift = np.round((mid[int(i), axis] - mid[int(j), axis]) / side[axis]) \
            if periodic[axis] else 0.0
        edges.append((node_of[(int(i), k)], node_of[(int(j), k)], 1 / rj, shift))
    edges = [e if len(e) == 4 else (*e, 0.0) for e in edges]
    m = len(nodes)
    p, q, g, k = (np.array(c) for c in zip(*edges)) if edges else (np.zeros(0),) * 4
    p, q = p.astype(int), q.astype(int)
    # Each component held at one node: an electrode's where it has one, else its first.
    _, comp = connected_components(coo_matrix((np.ones(len(p)), (p, q)), shape=(m, m)),
                                   directed=False)
    for c in np.unique(comp):
        members = np.flatnonzero(comp == c)
        if not any(v in fixed for v in members):
            fixed[members[0]] = 0.0
    A = np.zeros((m, m))
    b = np.zeros(m)
    for a_, b_, g_, k_ in zip(p, q, g, k):
        A[a_, a_] += g_
        A[b_, b_] += g_
        A[a_, b_] -= g_
        A[b_, a_] -= g_
        b[a_] += g_ * k_
        b[b_] -= g_ * k_
    for v, value in fixed.items():
        b -= A[:, v] * value
        A[v, :] = 0
        A[:, v] = 0
        A[v, v] = 1
        b[v] = value
    V = np.linalg.solve(A, b)
    drop = V[p] - V[q] - k
    G = float(np.sum(g * drop * drop))
    mean = np.full(n, np.nan)
    for f in range(n):
        own = [v for v, (ff, _) in enumerate(nodes) if ff == f]
        if own:
            mean[f] = V[own].mean()
    along_current = np.zeros(n)
    for (a_, b_, g_) in wires:
        f = nodes[a_][0]
        along_current[f] = max(along_current[f], abs(g_ * (V[a_] - V[b_])))
    return G, mean, along_current


def check(mikado, work, args, side, periodic, axis, rj, rho, diameter, width=None):
    """width: the film's axis across the current, None for no film."""
    side = np.array([float(np.float32(s)) for s in side])
    fibers, contacts, report, line = run(mikado, work, args)
    G, mean, along = reference(fibers, contacts, side, np.array(periodic), axis, rj, rho,
                               diameter)
    results = report["results"]
    got = results["conductance"]
    assert G > 0, args
    assert abs(got - G) <= 1e-9 * G, (args, got, G)
    others = np.prod(np.delete(side, axis))
    assert abs(results["conductivity"] - G * side[axis] / others) <= 1e-9 * G * side[axis] / others
    text = f"conductance {got:g} S;conductivity {results['conductivity']:g} S/m"
    if width is None:
        assert "sheet_resistance" not in results, args
    else:
        sheet = side[width] / (G * side[axis])
        assert abs(results["sheet_resistance"] - sheet) <= 1e-9 * sheet, (args, sheet)
        text += f";sheet resistance {results['sheet_resistance']:g} ohm/sq"
    assert line == text, (line, text)
    carrying = ~np.isnan(fibers[:, 8])
    # Off the current-carrying clusters nothing flows.
    assert np.all(fibers[~carrying, 9] == 0), args
    if not periodic[axis]:
        # Up to the iteration's error, of a few 1e-7 V here.
        assert np.allclose(fibers[carrying, 8], mean[carrying], rtol=0, atol=1e-6), args
    # VTK's own reader takes the same values, -1 for nan.
    reader = vtk.vtkPolyDataReader()
    reader.SetFileName(os.path.join(work, "n.vtk"))
    reader.Update()
    cells = reader.GetOutput().GetCellData()
    c = len(contacts)
    for column, name in ((8, "potential"), (9, "current")):
        values = vtk_to_numpy(cells.GetArray(name))
        assert np.all(values[:c] == -1), name
        assert np.array_equal(values[c:], np.nan_to_num(fibers[:, column], nan=-1)), name
    if rho > 0:
        # Short wire pieces magnify the iteration's error in the potentials.
        assert np.allclose(fibers[:, 9], along, rtol=0, atol=1e-5 * G), args
    print("ok", " ".join(args), got, G)


def main():
    mikado, work = sys.argv[1], sys.argv[2]
    os.makedirs(work, exist_ok=True)
    common = ["-n", "1200", "-l", "5e-7", "-d", "4e-8", "-s", "7"]
    cube = [2e-6] * 3
    diameter = float(np.float32(4e-8))
    check(mikado, work, common + ["--resistivity", "1e-8", "--junction-resistance", "500"],
          cube, [False] * 3, 0, 500, 1e-8, diameter)
    check(mikado, work, common + ["--electrodes", "z", "--junction-resistance", "3"],
          cube, [False] * 3, 2, 3, 0, diameter)
    check(mikado, work, common + ["--periodic", "--resistivity", "1e-8", "--electrodes", "y",
                                  "--junction-resistance", "200"],
          cube, [True] * 3, 1, 200, 1e-8, diameter)
    # Open along the electrodes, contacts wrapping z; the thin side is periodic: no film.
    check(mikado, work, common + ["--box", "2.5e-6,2e-6,1.5e-6", "--periodic", "z",
                                  "--electrodes", "y", "--resistivity", "1e-8",
                                  "--junction-resistance", "300"],
          [2.5e-6, 2e-6, 1.5e-6], [False, False, True], 1, 300, 1e-8, diameter)
    # A film periodic in its plane, 1 V across the x period, contacts wrapping y too; its width
    # lies across y.
    film = ["-n", "600", "-l", "5e-7", "-d", "4e-8", "-s", "7", "--orientation", "planar",
            "--box", "4e-6,3e-6,2e-7", "--periodic", "xy", "--resistivity", "1e-8",
            "--junction-resistance", "500"]
    check(mikado, work, film, [4e-6, 3e-6, 2e-7], [True, True, False], 0, 500, 1e-8, diameter,
          width=1)


if __name__ == "__main__":
    main()
