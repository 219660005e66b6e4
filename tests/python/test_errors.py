"""Bad input becomes a Python exception with the engine's words, never a crash."""

import numpy as np
import pytest

import mikado

GOOD = np.array([[[0, 0, 0], [1e-7, 0, 0]]], dtype=np.float32)


@pytest.mark.parametrize("kw,words", [
    (dict(fibers=-1), "fibers"),
    (dict(length=0), "length"),
    (dict(diameter=float("nan")), "diameter"),
    (dict(box=-2e-6), "box"),
    (dict(length_dist="uniform:3e-7:1e-7"), "length distribution"),
    (dict(length_dist="uniform:1e-7"), "length_dist"),
    (dict(length_dist="uniform:inf:1"), "length_dist"),
    (dict(diameter_dist="lognormal:0:1e-9"), ""),
    (dict(orientation="aligned:120"), "THETA"),
    (dict(orientation="sideways"), "orientation"),
    (dict(axis="w"), "axis"),
    (dict(periodic="xq"), "periodic"),
    (dict(periodic=True, box=3e-7), ""),  # not above 2 L + D
    (dict(seed=2**40), "seed"),
    (dict(fibers=2.5), "fibers"),
    (dict(fibers=float("inf")), "fibers"),
])
def test_settings_refused_with_value_error(kw, words):
    with pytest.raises(ValueError, match=words):
        mikado.Network(fibers=kw.pop("fibers", 10), **kw)


@pytest.mark.parametrize("ends", [
    np.zeros((3, 5)),
    np.zeros((3, 2, 2)),
    np.zeros((2, 3, 2)),
    np.zeros(6),
    np.array([[["a", "b", "c"], ["d", "e", "f"]]]),
    np.array([[None] * 6], dtype=object),
    np.zeros((1, 6), dtype=complex),
    "not an array",
])
def test_wrong_arrays_refused_with_type_error(ends):
    with pytest.raises(TypeError):
        mikado.Network.from_arrays(ends)


@pytest.mark.parametrize("ends,diameters", [
    (np.where(np.arange(6).reshape(1, 2, 3) == 4, np.nan, GOOD), None),
    (np.full((1, 2, 3), np.inf), None),
    (np.zeros((2, 2, 3)), None),  # fibers of length 0
    (GOOD, np.array([2e-9, 2e-9])),  # not one per fiber
    (GOOD, -1.0),
    (GOOD, np.array([np.nan])),
])
def test_bad_fibers_refused_with_value_error(ends, diameters):
    with pytest.raises(ValueError):
        mikado.Network.from_arrays(ends, diameters=diameters)


def test_bad_calls():
    n = mikado.Network(fibers=100)
    with pytest.raises(ValueError):
        n.find_contacts(threads=-1)
    with pytest.raises(ValueError):
        n.find_contacts(max_contacts=-5)
    with pytest.raises(ValueError):
        n.conductance(electrodes="w")
    with pytest.raises(ValueError):
        n.conductance(junction_resistance=0)
    with pytest.raises(ValueError):
        n.write_csv(fibers="/nonexistent-folder/f.csv")
    with pytest.raises(TypeError):
        mikado.Network.from_arrays(GOOD, diameters="thick")


def test_memory_refusal_is_memory_error():
    # The engine's own refusal of a network that cannot be held.
    with pytest.raises(MemoryError):
        mikado.Network(fibers=2**31 - 1, length=1e-9, box=1.0).find_contacts()
