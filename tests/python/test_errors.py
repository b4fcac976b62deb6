"""Bad points raise ValueError (fanmesh.Error) with the message the command line prints."""
import numpy as np
import pytest

import fanmesh
from conftest import sample


def test_points_the_program_refuses(command_line):
    points = sample("torus", 200, 1)
    for bad in (points[:16], np.tile(points[:1], (40, 1))):
        with pytest.raises(fanmesh.Error) as raised:
            fanmesh.reconstruct(bad)
        assert str(raised.value) == command_line.error(bad)
    for value, reason in ((np.nan, "is not a finite number"), (-np.inf, "is not a finite number"),
                          (1e39, "is beyond the single-precision range")):
        points[41, 2] = value
        message = rf"^point 42 \(counting from 1\): a coordinate {reason}"
        for call in (fanmesh.reconstruct, fanmesh.reconstruct_full):
            with pytest.raises(ValueError, match=message):
                call(points)
    with pytest.raises(ValueError, match="^too few points: 0 read"):
        fanmesh.reconstruct(np.zeros((0, 3), dtype=np.float32))


@pytest.mark.parametrize("points,message", [
    (np.zeros((20, 2)), r"shape \(n, 3\), not \(20, 2\)"),
    (np.zeros(60), r"shape \(n, 3\), not \(60,\)"),
    (np.zeros((20, 3, 1)), r"shape \(n, 3\), not \(20, 3, 1\)"),
    ([[0.0, 1.0], [2.0, 3.0]], r"not \(2, 2\)"),
    (np.zeros((20, 3), dtype=np.int64), "float64 or float32 values, not int64"),
    (np.zeros((20, 3), dtype=np.float16), "float64 or float32 values, not float16"),
])
def test_wrong_arrays(points, message):
    with pytest.raises(ValueError, match=message):
        fanmesh.reconstruct(points)
