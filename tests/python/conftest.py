"""Shared fixtures: the sample files, read in place."""

import os
import pathlib

import pytest

SAMPLES = pathlib.Path(os.environ.get("STITCHKIT_SAMPLES_DIR", "/work/shared/samples"))


def samples(*folders):
    """The sample files of the given folders, as pytest parameters named by file."""
    files = sorted(p for folder in folders for p in (SAMPLES / folder).iterdir())
    return [pytest.param(p, id=p.name) for p in files]


@pytest.fixture
def bean():
    return SAMPLES / "dst" / "catalogue__Bean.dst"
