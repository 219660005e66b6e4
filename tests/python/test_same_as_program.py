"""The module against the `mikado` program on the same settings: bit for bit."""

import numpy as np
import pytest

import mikado

DEFAULT_LINE = ("num_fibers 10000;length 2e-07;diameter 2e-09;vf 0.000785398;"
                "number of contacts 725")

# (keywords of Network, the same as options)
CASES = [
    (dict(fibers=4000, length=3e-7, seed=7),
     ["-n", "4000", "-l", "3e-7", "-s", "7"]),
    (dict(fibers=3000, length=3e-7, box=1.5e-6, periodic=True, seed=3),
     ["-n", "3000", "-l", "3e-7", "--box", "1.5e-6", "--periodic", "-s", "3"]),
    (dict(fibers=3000, length_dist="uniform:1e-7:4e-7", diameter_dist="lognormal:3e-9:1e-9",
          orientation="aligned:30", axis="x", box=(2e-6, 1e-6, 1.5e-6), periodic="xy", seed=11),
     ["-n", "3000", "--length-dist", "uniform:1e-7:4e-7", "--diameter-dist",
      "lognormal:3e-9:1e-9", "--orientation", "aligned:30", "--axis", "x",
      "--box", "2e-6,1e-6,1.5e-6", "--periodic", "xy", "-s", "11"]),
    (dict(fibers=2000, orientation="planar", seed=0),
     ["-n", "2000", "--orientation", "planar", "-s", "0"]),
]


def test_default_network_prints_the_programs_line(run_mikado):
    # summary() finds the contacts itself when asked first.
    assert mikado.Network().summary() == DEFAULT_LINE
    lines, _, _ = run_mikado()
    assert lines[0] == DEFAULT_LINE


@pytest.mark.parametrize("kw,args", CASES, ids=["plain", "periodic", "populations", "planar"])
def test_fibers_contacts_and_clusters_match(run_mikado, kw, args):
    lines, fibers, contacts = run_mikado("--stats", *args)
    n = mikado.Network(**kw).find_contacts(threads=2)
    assert n.summary() == lines[0]

    ends = n.ends.reshape(-1, 6)
    for k, col in enumerate(["x1", "y1", "z1", "x2", "y2", "z2"]):
        np.testing.assert_array_equal(ends[:, k], fibers[col].astype(np.float32))
    if "diameter" in fibers:
        np.testing.assert_array_equal(n.diameters, fibers["diameter"].astype(np.float32))

    c = n.contacts
    assert c.size == contacts["i"].size
    np.testing.assert_array_equal(c["i"], contacts["i"].astype(np.int32))
    np.testing.assert_array_equal(c["j"], contacts["j"].astype(np.int32))
    for f in ("distance", "x", "y", "z"):
        np.testing.assert_array_equal(c[f], contacts[f].astype(np.float32))

    cl = n.clusters()
    np.testing.assert_array_equal(cl.cluster_ids, fibers["cluster"].astype(np.int32))
    stats = (f"clusters {cl.count};largest {cl.largest};contacts per fiber "
             f"{cl.contacts_per_fiber:g};spanning x {int(cl.spanning_x)} y {int(cl.spanning_y)} "
             f"z {int(cl.spanning_z)}")
    assert stats == lines[1]


COMMON = (dict(fibers=20000, length=6e-7, seed=5), ["-n", "20000", "-l", "6e-7", "-s", "5"])
# A film periodic in its plane: 1 V across the y period, its width along x.
FILM = (dict(fibers=600, length=5e-7, diameter=4e-8, seed=7, orientation="planar",
             box=(4e-6, 3e-6, 2e-7), periodic="xy"),
        ["-n", "600", "-l", "5e-7", "-d", "4e-8", "-s", "7", "--orientation", "planar",
         "--box", "4e-6,3e-6,2e-7", "--periodic", "xy"])


@pytest.mark.parametrize("net,electrodes,rj,rho", [(COMMON, "x", 1.0, 0.0),
                                                   (COMMON, "z", 50.0, 1e-6),
                                                   (FILM, "y", 2.0, 1e-8)],
                         ids=["ideal", "wires", "film"])
def test_conductance_matches(run_mikado, net, electrodes, rj, rho):
    kw, args = net
    lines, fibers, _ = run_mikado(*args, "--conductance", "--electrodes", electrodes,
                                  "--junction-resistance", repr(rj), "--resistivity", repr(rho))
    n = mikado.Network(**kw)
    g = n.conductance(electrodes=electrodes, junction_resistance=rj, resistivity=rho)
    line = next(l for l in lines if l.startswith("conductance "))
    text = f"conductance {g['conductance']:g} S;conductivity {g['conductivity']:g} S/m"
    assert ("sheet_resistance" in g) == (net is FILM)
    if net is FILM:
        text += f";sheet resistance {g['sheet_resistance']:g} ohm/sq"
        assert g["sheet_resistance"] == pytest.approx(4e-6 / (g["conductance"] * 3e-6), rel=1e-6)
    assert line == text
    assert g["conductance"] > 0
    np.testing.assert_allclose(g["potential"], fibers["potential"], rtol=1e-12, equal_nan=True)


def test_files_are_the_programs(run_mikado, tmp_path):
    _, fibers, contacts = run_mikado("-n", "3000", "-s", "9")
    n = mikado.Network(fibers=3000, seed=9)
    n.write_csv(fibers=tmp_path / "f.csv", contacts=tmp_path / "c.csv")
    from conftest import read_csv
    mine_f, mine_c = read_csv(tmp_path / "f.csv"), read_csv(tmp_path / "c.csv")
    assert mine_f.keys() == fibers.keys() and mine_c.keys() == contacts.keys()
    for k in fibers:
        np.testing.assert_array_equal(mine_f[k], fibers[k])
    for k in contacts:
        np.testing.assert_array_equal(mine_c[k], contacts[k])
    n.write_vtk(tmp_path / "n.vtk")
    text = (tmp_path / "n.vtk").read_text()
    assert text.startswith("# vtk DataFile Version 3.0") and "POINTS 6" in text
