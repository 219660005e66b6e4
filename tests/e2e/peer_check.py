#!/usr/bin/python3
"""mikado's contacts against the numpy/scipy peer (bench/peer_contacts.py) on the same fibers, in
the open and the periodic box: the same pairs, and distances and points that agree to float32
rounding. The peer works in double precision; no pair of these networks lies at the very limit.
Usage: peer_check.py MIKADO PEER_SCRIPT WORK_DIR"""
import importlib.util
import os
import subprocess
import sys

import numpy as np

mikado, peer_path, work = sys.argv[1:4]
os.makedirs(work, exist_ok=True)
spec = importlib.util.spec_from_file_location("peer", peer_path)
peer = importlib.util.module_from_spec(spec)
spec.loader.exec_module(peer)

box, diameter = 1.2e-6, 1.5e-8
for periodic in (False, True):
    fibers, contacts = os.path.join(work, "f.csv"), os.path.join(work, "c.csv")
    subprocess.run([mikado, "--no-view", "-n", "3000", "-l", "3e-7", "-d", str(diameter),
                    "--box", str(box), "-s", "8", "--fibers-out", fibers, "--contacts-out",
                    contacts] + (["--periodic"] if periodic else []),
                   check=True, stdout=subprocess.DEVNULL)
    ours = np.loadtxt(contacts, delimiter=",", skiprows=1, ndmin=2)
    start, end = peer.read_fibers(fibers)
    i, j, distance, point = peer.find_contacts(start, end, diameter, box if periodic else 0.0)
    what = "periodic" if periodic else "open"
    assert len(ours) > 1000, f"{what}: only {len(ours)} contacts"
    assert len(ours) == len(i), f"{what}: mikado {len(ours)} contacts, the peer {len(i)}"
    assert (ours[:, 0] == i).all() and (ours[:, 1] == j).all(), f"{what}: other pairs"
    # The axis distance as mikado measures it, along its float32 unit normal.
    assert np.allclose(ours[:, 2], distance, rtol=2e-3, atol=0), f"{what}: distances differ"
    assert np.abs(ours[:, 3:] - point).max() < 1e-12, f"{what}: contact points differ"
    print(f"{what}: {len(i)} contacts agree")
