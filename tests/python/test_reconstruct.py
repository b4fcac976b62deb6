"""The module against the command line: same faces, same report figures, options honoured,
every accepted point layout giving the same mesh."""
import tracemalloc

import numpy as np
import pytest

import fanmesh
from conftest import sample


@pytest.mark.parametrize("shape", ["torus", "halftorus"])
def test_faces_and_report_match_command_line(command_line, shape):
    points = sample(shape, 1000, 7)
    expected_faces, expected_report = command_line.run(points)

    faces = fanmesh.reconstruct(points)
    assert faces.dtype == np.int32 and faces.shape == expected_faces.shape
    np.testing.assert_array_equal(faces, expected_faces)

    full = fanmesh.reconstruct_full(points)
    np.testing.assert_array_equal(full.faces, faces)
    report = full.report
    assert (report.points_read, report.points_used, report.faces, report.components,
            report.boundary_loops, report.non_manifold_edges) == (
        expected_report["points_read"], expected_report["points_used"],
        expected_report["faces"], expected_report["connected_components"],
        expected_report["boundary_loops"], expected_report["edges_with_more_than_two_faces"])
    assert full.normals.shape == points.shape
    lengths = np.linalg.norm(full.normals[np.unique(faces)], axis=1)
    np.testing.assert_allclose(lengths, 1.0, atol=1e-9)
    assert full.prepared_coordinates is None


# Each option set changes the mesh of its cloud; the module must give the command line's
# mesh for the same flags.
OPTION_CASES = [
    ("twospheres", 0.0, {"all_components": True}, ["--all-components"]),
    ("torus", 0.3, {"keep_inconsistent_fans": True}, ["--keep-inconsistent-fans"]),
    ("torus", 0.3, {"max_layers": 3}, ["--max-layers", "3"]),
    ("torus", 0.3, {"unwanted_percent": 0}, ["--unwanted-percent", "0"]),
]


@pytest.mark.parametrize("shape,noise,options,flags", OPTION_CASES)
def test_options_match_command_line(command_line, shape, noise, options, flags):
    points = sample(shape, 800, 7, "--noise", str(noise))
    expected, _ = command_line.run(points, *flags)
    faces = fanmesh.reconstruct(points, **options)
    np.testing.assert_array_equal(faces, expected)
    default_faces = fanmesh.reconstruct(points)
    assert not np.array_equal(faces, default_faces)


def test_all_components_keeps_both_spheres():
    points = sample("twospheres", 800, 7)
    assert fanmesh.reconstruct_full(points).report.components == 1
    assert fanmesh.reconstruct_full(points, all_components=True).report.components == 2


def test_layouts_and_precisions_give_the_same_mesh():
    points = sample("torus", 1000, 3)
    faces = fanmesh.reconstruct(points)
    np.testing.assert_array_equal(fanmesh.reconstruct(np.asfortranarray(points)), faces)
    np.testing.assert_array_equal(fanmesh.reconstruct(points.tolist()), faces)
    strided = np.zeros((len(points), 5))
    strided[:, 1:4] = points
    np.testing.assert_array_equal(fanmesh.reconstruct(strided[:, 1:4]), faces)

    single = points.astype(np.float32)
    np.testing.assert_array_equal(fanmesh.reconstruct(single),
                                  fanmesh.reconstruct(single.astype(np.float64)))
    big_endian = points.astype(">f8")
    np.testing.assert_array_equal(fanmesh.reconstruct(big_endian), faces)


def test_float64_rows_are_not_copied():
    points = sample("torus", 1000, 3)
    fortran = np.asfortranarray(points)
    peaks = []
    for array in (points, fortran):
        tracemalloc.start()
        fanmesh.reconstruct(array)
        peaks.append(tracemalloc.get_traced_memory()[1])
        tracemalloc.stop()
    assert peaks[0] < points.nbytes <= peaks[1]


def test_prepared_coordinates_on_request():
    points = sample("torus", 1000, 3)
    prepared = fanmesh.reconstruct_full(points, prepared_coordinates=True).prepared_coordinates
    assert prepared.shape == points.shape and prepared.dtype == np.float64
    # Centred on the bounding box, and a scaled copy of the input.
    np.testing.assert_allclose(prepared.max(axis=0) + prepared.min(axis=0), 0.0, atol=1e-9)
    scale = np.ptp(prepared, axis=0) / np.ptp(points, axis=0)
    np.testing.assert_allclose(scale, scale[0], rtol=1e-9)
