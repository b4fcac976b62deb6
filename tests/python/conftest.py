"""Shared helpers of the Python module tests: sample clouds from the project's generator and
runs of the command line in path mode on the same points."""
import json
import os
import subprocess

import numpy as np
import pytest

BINARY_DIR = os.environ.get("FANMESH_BINARY_DIR", "build")
EXECUTABLE = os.environ.get("FANMESH_EXECUTABLE", os.path.join(BINARY_DIR, "fanmesh"))


def sample(shape, count, seed, *flags):
    """Points of build/generate_sample as an (n, 3) float64 array."""
    text = subprocess.run(
        [os.path.join(BINARY_DIR, "generate_sample"), shape, str(count), str(seed), *flags],
        check=True, capture_output=True, text=True).stdout
    return np.loadtxt(text.splitlines()).reshape(-1, 3)


def write_points(points, path):
    """Writes points with 17 significant digits, so that the program reads the same doubles."""
    with open(path, "w") as file:
        for x, y, z in np.asarray(points, dtype=np.float64):
            file.write(f"{x!r} {y!r} {z!r}\n")


def read_ply_faces(path):
    """The faces of an ASCII PLY mesh as an (m, 3) array."""
    with open(path) as file:
        lines = file.read().splitlines()
    vertices = int(next(l for l in lines if l.startswith("element vertex")).split()[2])
    faces = int(next(l for l in lines if l.startswith("element face")).split()[2])
    body = lines.index("end_header") + 1 + vertices
    rows = [line.split() for line in lines[body:body + faces]]
    assert all(row[0] == "3" for row in rows)
    return np.array([row[1:] for row in rows], dtype=np.int64).reshape(-1, 3)


class CommandLine:
    """Runs `fanmesh INPUT -o OUTPUT` on points written to a file in a temporary folder."""

    def __init__(self, folder):
        self.folder = folder

    def run(self, points, *flags):
        """Returns (faces, report dict) of a successful run."""
        input_path = self.folder / "points.txt"
        write_points(points, input_path)
        mesh, report = self.folder / "mesh.ply", self.folder / "report.json"
        subprocess.run([EXECUTABLE, str(input_path), "-o", str(mesh), "-q", "--report",
                        str(report), *flags], check=True, capture_output=True)
        return read_ply_faces(mesh), json.loads(report.read_text())

    def error(self, points):
        """The message of a failed run, without the "fanmesh: FILE: " prefix."""
        input_path = self.folder / "bad.txt"
        write_points(points, input_path)
        done = subprocess.run([EXECUTABLE, str(input_path), "-o", str(self.folder / "bad.ply")],
                              capture_output=True, text=True)
        assert done.returncode == 1
        assert not (self.folder / "bad.ply").exists()
        return done.stderr.strip().removeprefix(f"fanmesh: {input_path}: ")


@pytest.fixture
def command_line(tmp_path):
    return CommandLine(tmp_path)
