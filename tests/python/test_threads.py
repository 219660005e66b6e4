"""Networks on Python threads at once: the GIL is released and nothing is shared."""

import threading

import numpy as np

import mikado


def run(seed):
    n = mikado.Network(fibers=8000, length=2.5e-7, seed=seed).find_contacts(threads=1)
    return n.contacts, n.clusters().cluster_ids, n.conductance("y")["conductance"]


def test_two_threads_give_the_sequential_results():
    seeds = [17, 18]
    alone = [run(s) for s in seeds]
    together = [None, None]

    def work(k):
        together[k] = run(seeds[k])

    threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for a, b in zip(alone, together):
        np.testing.assert_array_equal(a[0], b[0])
        np.testing.assert_array_equal(a[1], b[1])
        assert a[2] == b[2]
    assert alone[0][0].size != alone[1][0].size or not np.array_equal(alone[0][0], alone[1][0])


def test_one_network_shared_by_threads():
    n = mikado.Network(fibers=6000, seed=2)
    results = []

    def work():
        n.find_contacts(threads=1)
        results.append(n.contacts)

    def read():
        # Between or after detections, never a half-written table.
        for _ in range(50):
            c = n.contacts
            if c.size:
                results.append(c)

    threads = [threading.Thread(target=work) for _ in range(3)] + [threading.Thread(target=read)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert len(results) >= 3
    for r in results:
        np.testing.assert_array_equal(r, results[0])
