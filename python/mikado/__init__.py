"""Random networks of straight fibers in a box: exact contacts, clusters, conductance.

    >>> import mikado
    >>> n = mikado.Network(fibers=10000, seed=-1)
    >>> print(n.summary())   # finds the contacts first when they are not found yet
    num_fibers 10000;length 2e-07;diameter 2e-09;vf 0.000785398;number of contacts 725

All coordinates are float32, as in the engine: arrays given to Network.from_arrays are
converted (rounded) to float32 before anything is computed with them.
"""

import re
from dataclasses import dataclass

import numpy as np

from . import _mikado

__all__ = ["Network", "Clusters"]

_AXES = {"x": 0, "y": 1, "z": 2}
# The command line's decimal numbers: no spaces, underscores or words such as "inf".
_NUMBER = re.compile(r"^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$")


def _number(text, what):
    # The module rounds it to float32, as the command line reads it.
    if not _NUMBER.match(text):
        raise ValueError(f"{what} '{text}': not a number")
    return float(text)


def _distribution(text, option):
    """'fixed', 'uniform:MIN:MAX' or 'lognormal:MEAN:SD' -> (kind, first, second)."""
    if not isinstance(text, str):
        raise TypeError(f"{option} must be a string such as 'uniform:1e-7:3e-7'")
    f = text.split(":")
    if f == ["fixed"]:
        return "fixed", 0.0, 0.0
    if len(f) == 3 and f[0] in ("uniform", "lognormal"):
        return f[0], _number(f[1], option), _number(f[2], option)
    raise ValueError(f"{option} '{text}': must be fixed, uniform:MIN:MAX or lognormal:MEAN:SD")


def _orientation(text):
    if not isinstance(text, str):
        raise TypeError("orientation must be a string such as 'aligned:30'")
    f = text.split(":")
    if f in (["isotropic"], ["planar"]):
        return f[0], 90.0
    if len(f) == 2 and f[0] == "aligned":
        theta = _number(f[1], "orientation")
        if not 0 < theta <= 90:
            raise ValueError(f"orientation '{text}': THETA must be in degrees, above 0 and at most 90")
        return "aligned", theta
    raise ValueError(f"orientation '{text}': must be isotropic, planar or aligned:THETA")


def _whole(value, what):
    """An integer, or a float that is one (1e4); 2.5 fibers is refused, not truncated."""
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, float, np.number)):
        raise TypeError(f"{what} must be a whole number")
    if not np.isfinite(value) or value != int(value):
        raise ValueError(f"{what} {value}: must be a whole number")
    return int(value)


def _axis(name, what):
    if name not in _AXES:
        raise ValueError(f"{what} must be x, y or z, not {name!r}")
    return _AXES[name]


def _box(box):
    if isinstance(box, (int, float, np.number)):
        return [float(box)] * 3
    side = [float(v) for v in box]
    if len(side) != 3:
        raise TypeError("box must be one side or three (x, y, z)")
    return side


def _box_holding(ends):
    """The smallest box on the origin holding every end, as `mikado --fibers-in` takes it: twice
    the farthest float32 coordinate along each axis (exact), the longest fiber across a flat one.
    Ends that are not a numeric (N, 2, 3) or (N, 6) array get the 2e-6 cube, and the engine then
    says what is wrong with them."""
    try:
        a = np.asarray(ends)
        if a.dtype.kind not in "fiu" or a.size == 0 or a.ndim not in (2, 3):
            return 2e-6
        a = a.astype(np.float32).reshape(len(a), 2, 3)
    except (TypeError, ValueError):
        return 2e-6
    far = np.abs(a).max(axis=(0, 1))
    if not np.all(np.isfinite(far)):
        return 2e-6
    d = a[:, 1].astype(np.float64) - a[:, 0]
    longest = np.float32(np.sqrt((d * d).sum(axis=1)).max())
    return [float(2 * f) if f > 0 else float(longest) for f in far]


def _periodic(periodic):
    """False/True for none/every axis, or the axes named, as in --periodic xy."""
    if isinstance(periodic, str):
        if periodic == "" or any(a not in _AXES for a in periodic) or len(set(periodic)) != len(periodic):
            raise ValueError(f"periodic '{periodic}': axes among x, y and z, each once")
        return [a in periodic for a in "xyz"]
    return [bool(periodic)] * 3


@dataclass
class Clusters:
    """The connected components of the contact graph."""

    count: int
    largest: int
    largest_id: int
    contacts_per_fiber: float  # z = 2C/N
    spanning_x: bool
    spanning_y: bool
    spanning_z: bool
    cluster_ids: np.ndarray  # per fiber: the smallest fiber id of its cluster


class Network:
    """A network of straight fibers; the keywords and defaults are those of the `mikado` command.

    box is one side (a cube) or three; periodic is False, True or the axes, e.g. "xy";
    orientation is "isotropic", "planar" or "aligned:THETA"; length_dist and diameter_dist are
    "fixed", "uniform:MIN:MAX" or "lognormal:MEAN:SD"; axis is the aligned fibers' axis.
    """

    def __init__(self, fibers=10000, length=2e-7, diameter=2e-9, box=2e-6, seed=-1,
                 periodic=False, orientation="isotropic", length_dist="fixed",
                 diameter_dist="fixed", axis="z", *, _core=None):
        if _core is not None:
            self._n = _core
            return
        fibers, seed = _whole(fibers, "fibers"), _whole(seed, "seed")
        kind, cap = _orientation(orientation)
        lk, l1, l2 = _distribution(length_dist, "length_dist")
        dk, d1, d2 = _distribution(diameter_dist, "diameter_dist")
        self._n = _mikado.Network(fibers, float(length), float(diameter), _box(box),
                                  _periodic(periodic), seed, kind, cap, _axis(axis, "axis"),
                                  lk, l1, l2, dk, d1, d2)

    @classmethod
    def from_arrays(cls, ends, diameters=None, box=None, periodic=False):
        """Fibers of your own: ends (N, 2, 3) or (N, 6) [x1 y1 z1 x2 y2 z2], converted to float32.

        diameters: one for all (default 2e-9) or one per fiber; box: one side or three, by
        default the smallest box on the origin holding every end (as `mikado --fibers-in`).
        """
        if diameters is None:
            diameters = 2e-9
        if box is None:
            box = _box_holding(ends)
        return cls(_core=_mikado.Network.from_arrays(
            ends, diameters, _box(box), _periodic(periodic)))

    # Arrays
    @property
    def ends(self):
        """(N, 2, 3) float32, a read-only view of the engine's fibers."""
        return self._n.ends

    @property
    def diameters(self):
        """(N,) float32: the fibers' own diameters, or the one diameter repeated."""
        return self._n.diameters

    @property
    def contacts(self):
        """Structured array with fields i, j (int32), distance, x, y, z (float32): a copy of
        those found, empty before find_contacts()."""
        return self._n.contacts

    @property
    def cluster_ids(self):
        return self.clusters().cluster_ids

    def __len__(self):
        return self._n.count

    @property
    def box(self):
        return self._n.box

    @property
    def periodic(self):
        return self._n.periodic

    @property
    def capacity_reached(self):
        return self._n.capacity_reached

    def volume_fraction(self):
        return self._n.volume_fraction()

    def find_contacts(self, threads=0, max_contacts=None):
        """Finds every touching pair (threads 0: one per core); other Python threads run meanwhile."""
        self._n.find_contacts(int(threads), None if max_contacts is None else int(max_contacts))
        return self

    def _detected(self):
        if not self._n.detected:
            self.find_contacts()

    def clusters(self):
        self._detected()
        r = self._n.clusters()
        sx, sy, sz = r["spanning"]
        return Clusters(r["count"], r["largest"], r["largest_id"], r["contacts_per_fiber"],
                        sx, sy, sz, r["cluster_ids"])

    def conductance(self, electrodes="x", junction_resistance=1.0, resistivity=0.0):
        """Conductance in S between the faces across `electrodes` (or across the period); also
        conductivity, potential and current per fiber, and sheet_resistance for a film."""
        self._detected()
        return self._n.conductance(_axis(electrodes, "electrodes"), float(junction_resistance),
                                   float(resistivity))

    def summary(self):
        """The line `mikado` prints for this network."""
        return self._n.summary()

    def write_csv(self, fibers=None, contacts=None):
        self._detected()
        self._n.write_csv(None if fibers is None else str(fibers),
                          None if contacts is None else str(contacts))

    def write_vtk(self, path):
        self._detected()
        self._n.write_vtk(str(path))

    def adjacency(self):
        """The contact graph as a symmetric scipy.sparse csr_matrix of 0/1 (N x N)."""
        import scipy.sparse

        self._detected()
        c = self.contacts
        n = len(self)
        rows = np.concatenate([c["i"], c["j"]])
        cols = np.concatenate([c["j"], c["i"]])
        data = np.ones(rows.size, dtype=np.int8)
        return scipy.sparse.csr_matrix((data, (rows, cols)), shape=(n, n))

    def to_networkx(self):
        """A networkx Graph: a node per fiber, an edge per contact with its distance and point."""
        import networkx

        self._detected()
        g = networkx.Graph()
        g.add_nodes_from(range(len(self)))
        for c in self.contacts.tolist():
            g.add_edge(c[0], c[1], distance=c[2], point=(c[3], c[4], c[5]))
        return g

    def __repr__(self):
        n = getattr(self, "_n", None)
        return f"<mikado.Network of {n.count} fibers>" if n else "<mikado.Network, not made>"
