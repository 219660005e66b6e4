"""Arrays in and out: layout, float32 rounding, views and their lifetime."""

import gc
import subprocess

import numpy as np
import pytest

import mikado


@pytest.fixture(scope="module")
def net():
    return mikado.Network(fibers=3000, length=3e-7, seed=21).find_contacts()


def test_ends_is_a_read_only_view_that_outlives_its_network():
    n = mikado.Network(fibers=500, seed=4)
    ends = n.ends
    assert ends.shape == (500, 2, 3) and ends.dtype == np.float32
    assert not ends.flags.writeable and not ends.flags.owndata
    # Two reads share the engine's storage rather than copying it.
    assert np.shares_memory(ends, n.ends)
    with pytest.raises(ValueError):
        ends[0, 0, 0] = 1.0
    first = ends.copy()
    del n
    gc.collect()
    mikado.Network(fibers=500, seed=5)  # would reuse freed memory
    np.testing.assert_array_equal(ends, first)
    # Start and end are the two rows of a fiber: the centre lies inside the box.
    centre = ends.mean(axis=1)
    assert np.all(np.abs(centre) <= 1e-6)
    np.testing.assert_allclose(np.linalg.norm(ends[:, 1] - ends[:, 0], axis=1), 2e-7, rtol=1e-5)


def test_contacts_layout(net):
    c = net.contacts
    assert c.dtype.names == ("i", "j", "distance", "x", "y", "z")
    assert [c.dtype[k] for k in range(6)] == [np.dtype(np.int32)] * 2 + [np.dtype(np.float32)] * 4
    assert c.size > 0
    assert np.all(c["i"] < c["j"]) and np.all(c["distance"] <= 2e-9)
    # The point lies between the two fibers' axes: near both fibers' segments.
    e = net.ends
    for row in c[:20]:
        p = np.array([row["x"], row["y"], row["z"]], dtype=np.float64)
        for f in (row["i"], row["j"]):
            a, b = e[f].astype(np.float64)
            t = np.clip(np.dot(p - a, b - a) / np.dot(b - a, b - a), 0, 1)
            assert np.linalg.norm(a + t * (b - a) - p) <= 2e-9
    # A copy: a later search with a cap does not change an array already handed out.
    before = c.copy()
    net2 = mikado.Network.from_arrays(net.ends)
    net2.find_contacts(max_contacts=5)
    assert net2.capacity_reached and net2.contacts.size == 5
    np.testing.assert_array_equal(net2.contacts, before[:5])


@pytest.mark.parametrize("diameter", [2e-9, np.float32(2e-9), np.array(2e-9), np.full(3000, 2e-9)])
def test_round_trip_through_from_arrays(net, diameter):
    again = mikado.Network.from_arrays(net.ends, diameters=diameter).find_contacts()
    np.testing.assert_array_equal(again.contacts, net.contacts)
    np.testing.assert_array_equal(again.cluster_ids, net.cluster_ids)


def test_float64_input_is_rounded_to_float32(net):
    wide = net.ends.reshape(-1, 6).astype(np.float64)
    # Below float32 resolution: lost in the conversion, so the contacts are the same.
    wide_nudged = wide * (1 + 1e-12)
    a = mikado.Network.from_arrays(wide_nudged).find_contacts()
    np.testing.assert_array_equal(a.ends, net.ends)
    np.testing.assert_array_equal(a.contacts, net.contacts)


@pytest.mark.parametrize("layout", ["fortran", "strided", "transposed_back", "int"])
def test_memory_layouts_read_by_element(layout):
    rng = np.random.default_rng(1)
    ends = rng.uniform(-1e-6, 1e-6, size=(400, 2, 3)).astype(np.float32)
    if layout == "fortran":
        given = np.asfortranarray(ends)
    elif layout == "strided":
        big = np.zeros((800, 2, 3), np.float32)
        big[::2] = ends
        given = big[::2]
    elif layout == "transposed_back":
        given = ends.reshape(400, 6).T.copy().T  # (N, 6) in column-major memory
    else:
        ends = np.round(ends * 1e7).astype(np.float32)
        given = ends.astype(np.int64)
    n = mikado.Network.from_arrays(given, box=2e7 if layout == "int" else 2e-6,
                                   diameters=0.05 if layout == "int" else 2e-9)
    np.testing.assert_array_equal(n.ends, ends.reshape(400, 2, 3))


def test_per_fiber_diameters_change_contacts():
    # Two parallel fibers 3 nm apart touch when their mean diameter reaches 3 nm.
    ends = np.array([[[0, 0, -1e-7], [0, 0, 1e-7]], [[3e-9, 0, -1e-7], [3e-9, 0, 1e-7]]])
    assert mikado.Network.from_arrays(ends).find_contacts().contacts.size == 0
    n = mikado.Network.from_arrays(ends, diameters=np.array([2e-9, 4.5e-9])).find_contacts()
    assert n.contacts.size == 1 and tuple(n.contacts[["i", "j"]][0]) == (0, 1)
    np.testing.assert_array_equal(n.diameters, np.array([2e-9, 4.5e-9], np.float32))


def test_graph_views_agree_with_contacts(net):
    c = net.contacts
    a = net.adjacency()
    assert a.shape == (len(net), len(net)) and a.nnz == 2 * c.size
    assert (a != a.T).nnz == 0
    assert a[c["i"][0], c["j"][0]] == 1
    # z = 2C/N is the mean degree.
    assert net.clusters().contacts_per_fiber == pytest.approx(a.sum() / len(net))
    nx = pytest.importorskip("networkx")
    g = net.to_networkx()
    assert g.number_of_nodes() == len(net) and g.number_of_edges() == c.size
    assert nx.number_connected_components(g) == net.clusters().count
    largest = max(nx.connected_components(g), key=len)
    assert len(largest) == net.clusters().largest


def test_empty_network():
    n = mikado.Network.from_arrays(np.zeros((0, 2, 3)))
    assert n.ends.shape == (0, 2, 3)
    assert n.contacts.size == 0 and n.contacts.dtype.names[0] == "i"
    assert n.clusters().count == 0
    assert n.adjacency().shape == (0, 0)
    g = mikado.Network(fibers=0)
    assert g.summary().endswith("number of contacts 0")


def test_own_fibers_take_the_smallest_box_holding_them(run_mikado, mikado_bin, tmp_path):
    """from_arrays without a box takes the box `mikado --fibers-in` takes (fibers sticking out of
    the 1e-6 cube they were placed in make it larger), and the program's cluster line of the same
    fibers agrees."""
    _, fibers, _ = run_mikado("-n", "3000", "-l", "6e-7", "--box", "1e-6", "-s", "3")
    names = ("x1", "y1", "z1", "x2", "y2", "z2")
    ends = np.stack([fibers[k] for k in names], axis=1).astype(np.float32)
    table = tmp_path / "own.csv"
    np.savetxt(table, ends, delimiter=",", header=",".join(names), comments="", fmt="%.9g")
    out = subprocess.run([mikado_bin, "--no-view", "--stats", "--fibers-in", str(table)],
                         check=True, capture_output=True, text=True).stdout.splitlines()
    net = mikado.Network.from_arrays(ends).find_contacts()
    assert list(net.box) == [2 * float(np.abs(ends[:, k::3]).max()) for k in range(3)]
    c = net.clusters()
    spans = f"spanning x {int(c.spanning_x)} y {int(c.spanning_y)} z {int(c.spanning_z)}"
    assert out[1].endswith(spans), (out[1], spans)
