"""Reconstruction runs without the interpreter lock."""
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
    ticks = [time.perf_counter()]  # would stall for the whole call if it held the lock
    worker.start()
    while worker.is_alive():
        time.sleep(0.001)
        ticks.append(time.perf_counter())
    assert len(ticks) > 10 and max(np.diff(ticks)) < duration / 2
    np.testing.assert_array_equal(results["faces"], expected)

