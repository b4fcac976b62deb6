"""Reconstruction runs without the interpreter lock and gives each thread its own result."""
import threading
import time

import numpy as np

import fanmesh
from conftest import sample


def test_other_threads_run_during_a_reconstruction():
    points = sample("torus", 2500, 5)
    started = time.perf_counter()
    expected = fanmesh.reconstruct(points)
    duration = time.perf_counter() - started

    results = {}
    worker = threading.Thread(target=lambda: results.update(faces=fanmesh.reconstruct(points)))
    # With the lock held by the call, this loop would stall for the whole reconstruction.
    ticks = [time.perf_counter()]
    worker.start()
    while worker.is_alive():
        time.sleep(0.001)
        ticks.append(time.perf_counter())
    worker.join()
    assert max(np.diff(ticks)) < duration / 2
    assert len(ticks) > 10
    np.testing.assert_array_equal(results["faces"], expected)


def test_concurrent_calls_give_the_sequential_results():
    clouds = [sample("torus", 800, 2), sample("halftorus", 800, 4, "--noise", "0.2")]
    expected = [fanmesh.reconstruct_full(cloud, keep_inconsistent_fans=True) for cloud in clouds]
    results = [None, None]

    def run(index):
        results[index] = fanmesh.reconstruct_full(clouds[index], keep_inconsistent_fans=True)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for got, want in zip(results, expected):
        assert got.faces.tobytes() == want.faces.tobytes()
        assert got.normals.tobytes() == want.normals.tobytes()
