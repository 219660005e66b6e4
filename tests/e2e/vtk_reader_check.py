#!/usr/bin/python3
"""Opens mikado's legacy VTK file with VTK's own reader and checks it against the CSV tables of
the same run: 2N + C points, N lines, C vertices, and the cell arrays in the reader's cell order
(vertices first, then lines).
Usage: vtk_reader_check.py MIKADO WORK_DIR"""
import csv
import os
import subprocess
import sys

import numpy as np
import vtk
from vtk.util.numpy_support import vtk_to_numpy

mikado, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
paths = {name: os.path.join(work, name) for name in ("n.vtk", "f.csv", "c.csv")}
subprocess.run([mikado, "--no-view", "-n", "1200", "--box", "1e-6", "-s", "5",
                "--vtk", paths["n.vtk"], "--fibers-out", paths["f.csv"],
                "--contacts-out", paths["c.csv"]], check=True, stdout=subprocess.DEVNULL)

def table(path):
    with open(path, newline="") as f:
        return list(csv.reader(f))[1:]

fibers = np.array([[float(v) for v in row[1:]] for row in table(paths["f.csv"])], dtype=np.float32)
contacts = table(paths["c.csv"])
n, c = len(fibers), len(contacts)
assert n == 1200 and c > 20, (n, c)

reader = vtk.vtkPolyDataReader()
reader.SetFileName(paths["n.vtk"])
reader.Update()
assert reader.IsFilePolyData(), "not read as POLYDATA"
data = reader.GetOutput()
assert data.GetNumberOfPoints() == 2 * n + c, data.GetNumberOfPoints()
assert data.GetNumberOfLines() == n, data.GetNumberOfLines()
assert data.GetNumberOfVerts() == c, data.GetNumberOfVerts()

points = vtk_to_numpy(data.GetPoints().GetData())
assert points.dtype == np.float32
assert np.array_equal(points[0:2 * n:2], fibers[:, 0:3]), "line starts differ from the fibers"
assert np.array_equal(points[1:2 * n:2], fibers[:, 3:6]), "line ends differ from the fibers"
contact_points = np.array([[float(v) for v in row[3:6]] for row in contacts], dtype=np.float32)
assert np.array_equal(points[2 * n:], contact_points), "vertices differ from the contact points"

# Each line joins its own fiber's two points; each vertex is its contact's point.
for i in (0, n // 2, n - 1):
    ids = data.GetCell(c + i).GetPointIds()
    assert (ids.GetNumberOfIds(), ids.GetId(0), ids.GetId(1)) == (2, 2 * i, 2 * i + 1), i
assert data.GetCell(c - 1).GetPointId(0) == 2 * n + c - 1

cells = data.GetCellData()
arrays = {name: vtk_to_numpy(cells.GetArray(name)) for name in ("fiber_id", "contact_count", "distance")}
for name, values in arrays.items():
    assert len(values) == n + c, (name, len(values))
assert np.array_equal(arrays["fiber_id"][c:], np.arange(n))
assert np.all(arrays["fiber_id"][:c] == -1)
expected_counts = np.zeros(n, dtype=np.int64)
for row in contacts:
    expected_counts[int(row[0])] += 1
    expected_counts[int(row[1])] += 1
assert np.array_equal(arrays["contact_count"][c:], expected_counts), "contact_count"
distances = np.array([float(row[2]) for row in contacts], dtype=np.float32)
assert np.array_equal(arrays["distance"][:c], distances), "distance"
assert np.all(arrays["distance"][c:] == -1)
print(f"VTK file read back: {n} lines, {c} vertices, {2 * n + c} points, 3 cell arrays")
