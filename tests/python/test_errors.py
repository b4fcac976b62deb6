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


@pytest.mark.parametrize("option,value,message", [
    ("unwanted_percent", 500, "^the unwanted-point percent 500 is outside 0 to 100$"),
    ("unwanted_percent", -1, "^the unwanted-point percent -1 is outside 0 to 100$"),
    ("max_layers", 0, "^the layer limit 0 is below 1$"),
    ("ray_hit_distance", -1.0, "^the ray hit distance -1 is not a finite number of 0 or more$"),
    ("ray_hit_distance", float("nan"), "^the ray hit distance nan is not a finite number"),
    ("ray_reach", -1.0, "^the ray reach -1 is not a finite number of 0 or more$"),
    ("max_fan_tilt", -1.0, "^the largest fan tilt -1 is not a finite number of 0 or more$"),
    ("open_rise_limit", 91.0, "^the open-rise limit 91 is not a number of degrees from 0 to 90$"),
    ("open_rise_limit", float("nan"), "^the open-rise limit nan is not a number of degrees"),
])
def test_options_out_of_range(option, value, message):
    points = sample("torus", 200, 1)
    for call in (fanmesh.reconstruct, fanmesh.reconstruct_full):
        with pytest.raises(ValueError, match=message):
            call(points, **{option: value})
