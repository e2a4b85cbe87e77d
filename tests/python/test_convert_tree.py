"""The Dask example converts the sample tree on a two-worker local cluster."""

import pathlib
import subprocess
import sys

import stitchkit
from conftest import SAMPLES

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "convert_tree.py"
UNREADABLE = {"csd", "emb", "hus", "pcs", "sew", "u01", "vip"}


def test_sample_tree_converts_on_two_workers(tmp_path):
    run = subprocess.run([sys.executable, str(EXAMPLE), str(SAMPLES), str(tmp_path), "--to", "exp",
                          "--workers", "2", "--set", "MaxLength=100"],
                         capture_output=True, text=True, timeout=300)
    assert run.returncode == 1, run.stderr  # the formats without a reader fail
    table, _, failures = run.stdout.partition("\nfailures:\n")
    rows = [line.split() for line in table.splitlines()[1:-1]]
    results = {pathlib.Path(row[0]).relative_to(SAMPLES): int(row[1]) for row in rows}
    assert len(results) == sum(1 for p in SAMPLES.glob("*/*") if p.parent.name != "README.md")
    for source, result in results.items():
        target = tmp_path / source.with_suffix(".exp")
        if source.parent.name in UNREADABLE:
            assert result == stitchkit.READ_FAILED and str(SAMPLES / source) in failures
            assert not target.exists()
        else:
            assert result == stitchkit.OK, source
            assert stitchkit.read(target).stats.max_move <= 100
    # Nothing but the converted files: no temporary file is left behind.
    written = sorted(p for p in tmp_path.rglob("*") if p.is_file())
    assert len(written) == sum(1 for r in results.values() if r == stitchkit.OK)
