"""Helpers of the Python module tests: clouds from the project's sample generator, and runs
of the command line (`fanmesh INPUT -o OUTPUT`) on the same points."""
import json
import os
import subprocess

import numpy as np
import pytest

BINARY_DIR = os.environ.get("FANMESH_BINARY_DIR", "build")
EXECUTABLE = os.environ.get("FANMESH_EXECUTABLE", os.path.join(BINARY_DIR, "fanmesh"))


def sample(shape, count, seed, noise=0.0):
    """Points of generate_sample as an (n, 3) float64 array."""
    command = [os.path.join(BINARY_DIR, "generate_sample"), shape, str(count), str(seed),
               "--noise", str(noise)]
    text = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    return np.loadtxt(text.splitlines()).reshape(-1, 3)


class CommandLine:
    """Runs the program on points written (17 significant digits, so that it reads the same
    doubles) to a file in a temporary folder."""

    def __init__(self, folder):
        self.input, self.mesh, self.report = (folder / name for name in
                                              ("points.txt", "mesh.ply", "report.json"))

    def _run(self, points, *flags):
        self.input.write_text("".join(f"{x!r} {y!r} {z!r}\n" for x, y, z in points))
        return subprocess.run([EXECUTABLE, str(self.input), "-o", str(self.mesh), "-q",
                               "--report", str(self.report), *flags],
                              capture_output=True, text=True)

    def run(self, points, *flags):
        """(faces, report dict) of a successful run."""
        assert self._run(points, *flags).returncode == 0
        lines = self.mesh.read_text().splitlines()
        counts = {l.split()[1]: int(l.split()[2]) for l in lines if l.startswith("element")}
        first = lines.index("end_header") + 1 + counts["vertex"]
        faces = np.array([l.split() for l in lines[first:first + counts["face"]]], dtype=int)
        assert (faces[:, 0] == 3).all()
        return faces[:, 1:], json.loads(self.report.read_text())

    def error(self, points):
        """The message of a failed run, without its "fanmesh: INPUT: " prefix."""
        done = self._run(points)
        assert done.returncode == 1 and not self.mesh.exists()
        return done.stderr.strip().removeprefix(f"fanmesh: {self.input}: ")


@pytest.fixture
def command_line(tmp_path):
    return CommandLine(tmp_path)
