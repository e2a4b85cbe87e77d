"""Reading, writing and building designs from Python."""

import concurrent.futures
import os
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import stitchkit
from conftest import SAMPLES, samples

READABLE = samples("dst", "dsb", "dsz", "exp", "jef", "pec", "pes", "xxx", "z01")
UNREADABLE = samples("csd", "emb", "hus", "pcs", "sew", "u01", "vip")
CLI = os.environ.get("STITCHKIT_CLI")


@pytest.mark.parametrize("path", READABLE)
@pytest.mark.parametrize("target", ["same", ".dst", ".exp"])
def test_round_trip(path, target, tmp_path):
    design = stitchkit.read(path)
    before = design.stitches.copy()
    suffix = path.suffix.lower() if target == "same" else target
    (tmp_path / "py").mkdir()
    out = tmp_path / "py" / ("out" + suffix)
    report = design.write(out)
    back = stitchkit.read(out)
    assert report.stats.stitches == back.stats.stitches > 0
    assert (design.stitches == before).all()  # the writer shaped a copy
    # The module writes what the command-line tool writes.
    if CLI:
        (tmp_path / "cli").mkdir()
        subprocess.run([CLI, "convert", str(path), str(tmp_path / "cli" / out.name)],
                       check=True, capture_output=True)
        assert (tmp_path / "cli" / out.name).read_bytes() == out.read_bytes()


def test_stitches_are_a_view_of_the_design(bean, tmp_path):
    design = stitchkit.read(bean)
    stitches = design.stitches
    assert stitches.shape == (len(design),)
    assert stitches.dtype == stitchkit.STITCH_DTYPE
    assert stitches.dtype.itemsize == 24
    assert [stitches.dtype[f] for f in ("x", "y", "code", "colour")] == [
        np.dtype("int16"), np.dtype("int16"), np.dtype("uint8"), np.dtype("uint16")]
    assert not stitches.flags.owndata
    # A change through one view is seen by another and written to the file.
    stitches["x"] += 10
    assert (design.stitches["x"] == stitches["x"]).all()
    design.write(tmp_path / "moved.dst")
    moved = stitchkit.read(tmp_path / "moved.dst").stitches
    original = stitchkit.read(bean).stitches
    assert moved["x"][-1] == original["x"][-1] + 10
    # The view keeps the design alive.
    del design
    assert stitches["x"].sum() == original["x"].sum() + 10 * len(original)


def test_design_from_array_round_trips(tmp_path):
    stitches = np.zeros(5, dtype=[("x", "i4"), ("y", "i4"), ("code", "i4"), ("colour", "i4")])
    stitches["x"] = [0, 100, 100, 0, 0]
    stitches["y"] = [0, 0, 100, 100, 0]
    stitches["code"] = [0, 0, 2, 0, 7]
    stitches["colour"] = [0, 0, 1, 1, 1]
    design = stitchkit.Design(stitches, [stitchkit.Thread(0xFF0000, "red"), stitchkit.Thread(0x0000FF)])
    assert [t.rgb for t in design.palette] == [0xFF0000, 0x0000FF]
    assert (design.stats.width, design.stats.height) == (100, 100)
    design.write(tmp_path / "square.dst")
    back = stitchkit.read(tmp_path / "square.dst")
    assert (back.stats.width, back.stats.height) == (100, 100)
    assert back.stats.needles == [0, 1]


@pytest.mark.parametrize("field, value, message", [
    ("x", 40000, "x 40000 is outside"),
    ("y", -40000, "y -40000 is outside"),
    ("code", stitchkit.LAST_STITCH_CODE + 1, "code"),
    ("colour", -1, "colour -1 is outside"),
])
def test_design_from_array_checks_values(field, value, message):
    stitches = np.zeros(3, dtype=[("x", "i8"), ("y", "i8"), ("code", "i8"), ("colour", "i8")])
    stitches[field][1] = value
    with pytest.raises(ValueError, match=message):
        stitchkit.Design(stitches)


def test_design_from_array_needs_the_fields():
    with pytest.raises(ValueError, match="fields x, y, code and colour"):
        stitchkit.Design(np.zeros(3, dtype=[("x", "i2"), ("y", "i2")]))
    with pytest.raises(ValueError, match="field x must hold whole numbers"):
        stitchkit.Design(np.zeros(3, dtype=[("x", "f8"), ("y", "i2"), ("code", "u1"), ("colour", "u2")]))
    with pytest.raises(ValueError, match="one-dimensional"):
        stitchkit.Design(np.zeros((2, 2), dtype=stitchkit.STITCH_DTYPE))


def test_write_refuses_a_code_written_into_the_view(bean, tmp_path):
    design = stitchkit.read(bean)
    design.stitches["code"][3] = 200
    with pytest.raises(stitchkit.Error) as caught:
        design.write(tmp_path / "bad.dst")
    assert caught.value.result == stitchkit.BAD_REQUEST
    assert "stitch 3 has code 200" in str(caught.value)
    assert not (tmp_path / "bad.dst").exists()


def test_options_by_profile_name(tmp_path):
    design = stitchkit.read(SAMPLES / "dst" / "catalogue__Cake_3.dst")
    plain = design.write(tmp_path / "plain.dst", MaxLength=121)
    short = design.write(tmp_path / "short.dst", MaxLength=30)
    assert short.stats.stitches > plain.stats.stitches
    assert stitchkit.read(tmp_path / "short.dst").stats.max_move <= 30
    assert design.write(tmp_path / "named.dst", machine="DST").machine == "DST"


@pytest.mark.parametrize("kwargs, reason", [
    ({"NoSuchOption": 1}, "unknown option"),
    ({"MaxLength": "many"}, "not a whole number"),
    ({"MaxLength": 100000}, "takes"),
    ({"machine": "no such machine"}, "no such machine"),
])
def test_bad_requests_name_the_file(bean, tmp_path, kwargs, reason):
    out = tmp_path / "out.dst"
    with pytest.raises(stitchkit.Error, match=reason) as caught:
        stitchkit.read(bean).write(out, **kwargs)
    assert caught.value.result == stitchkit.BAD_REQUEST
    assert caught.value.path == str(out) and str(caught.value).startswith(str(out))
    assert not out.exists()


def test_read_errors(tmp_path):
    broken = tmp_path / "broken.dst"
    broken.write_bytes((SAMPLES / "dst" / "catalogue__Bean.dst").read_bytes()[:512] + b"\xff" * 30)
    truncated = tmp_path / "truncated.pes"
    truncated.write_bytes((SAMPLES / "pes" / "emodder__Star.pes").read_bytes()[:300])
    cases = [tmp_path / "missing.dst", tmp_path, broken, truncated]
    cases += [p.values[0] for p in UNREADABLE]
    for path in cases:
        with pytest.raises(stitchkit.Error) as caught:
            stitchkit.read(path)
        assert caught.value.result == stitchkit.READ_FAILED, path
        assert str(caught.value).startswith(f"{path}: ")


def test_read_with_a_machine_format(bean):
    assert len(stitchkit.read(bean, machine="DST")) == len(stitchkit.read(bean))
    for machine in ["EXP", "No such machine"]:
        with pytest.raises(stitchkit.Error) as caught:
            stitchkit.read(bean, machine=machine)
        assert caught.value.result == stitchkit.BAD_REQUEST, machine


def test_write_errors_leave_nothing_behind(bean, tmp_path):
    design = stitchkit.read(bean)
    occupied = tmp_path / "occupied.dst"
    occupied.mkdir()
    (occupied / "keep").write_bytes(b"keep")
    for out in [tmp_path / "missing" / "out.dst", occupied]:
        with pytest.raises(stitchkit.Error) as caught:
            design.write(out)
        assert caught.value.result == stitchkit.WRITE_FAILED, out
    assert sorted(p.name for p in tmp_path.iterdir()) == ["occupied.dst"]
    assert (occupied / "keep").read_bytes() == b"keep"


def test_threads_convert_in_parallel(tmp_path):
    sources = [p.values[0] for p in samples("dst", "exp", "dsb", "dsz")]

    def convert(index_source):
        index, source = index_source
        out = tmp_path / f"{index}.exp"
        return stitchkit.read(source).write(out).stats.stitches, out

    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(convert, enumerate(sources)))
    for source, (stitches, out) in zip(sources, results):
        assert stitchkit.read(out).stats.stitches == stitches
        single = tmp_path / "single.exp"
        stitchkit.read(source).write(single)
        assert single.read_bytes() == out.read_bytes()


def test_other_threads_run_while_a_file_is_written_and_read(tmp_path):
    zigzag = np.zeros(1_000_000, dtype=stitchkit.STITCH_DTYPE)
    zigzag["x"] = np.arange(len(zigzag)) % 50
    zigzag["y"] = np.arange(len(zigzag)) // 50 % 50
    design = stitchkit.Design(zigzag)
    out = tmp_path / "zigzag.dst"
    for call in (lambda: design.write(out), lambda: stitchkit.read(out)):
        window = []

        def timed():
            window.append(time.perf_counter())
            call()
            window.append(time.perf_counter())

        # Threads give the interpreter lock up only where they block (sleep, the library's
        # calls), so this thread runs during the call only if the call releases the lock.
        interval = sys.getswitchinterval()
        sys.setswitchinterval(10.0)
        try:
            worker = threading.Thread(target=timed)
            ticks = []
            worker.start()
            while worker.is_alive():
                ticks.append(time.perf_counter())
                time.sleep(0)
            worker.join()
        finally:
            sys.setswitchinterval(interval)
        start, end = window
        assert any(start < t < end for t in ticks)


@pytest.mark.skipif(not CLI, reason="needs the command-line tool")
def test_machine_formats_the_tool_installs_are_found(tmp_path):
    subprocess.run([CLI, "machines", "add", "Short", "--from", "DST", "--set", "MaxLength=40"],
                   check=True, capture_output=True)
    try:
        installed = {m.name: m for m in stitchkit.machines() if m.installed}
        assert installed["Short"].formats == [0] and installed["Short"].can_delete
        design = stitchkit.read(SAMPLES / "dst" / "catalogue__Cake_3.dst")
        assert design.write(tmp_path / "short.dst", "Short").machine == "Short"
        assert stitchkit.read(tmp_path / "short.dst").stats.max_move <= 40
    finally:
        subprocess.run([CLI, "machines", "remove", "Short"], check=True, capture_output=True)


def test_formats_and_machines():
    codes = {f.code: f for f in stitchkit.formats()}
    assert ".dst" in codes[0].extensions and codes[0].family == "DST"
    names = {m.name: m for m in stitchkit.machines()}
    assert names["DST"].formats[0] == 0 and not names["DST"].installed
    assert stitchkit.MACHINE_DIRECTORY.endswith("stitchkit/machines")


@pytest.mark.parametrize("name, machine, field, errors", [
    ("catalogue__Bean.dst", None, None, set()),
    ("catalogue__Bean.dst", None, (10, None), {"field-size"}),
    ("catalogue__01Peacock.dst", "EXP", None, {"machine-format"}),
])
def test_check_findings(name, machine, field, errors):
    findings = stitchkit.check(SAMPLES / "dst" / name, machine, field=field)
    assert {f.code for f in findings if f.severity == "error"} == errors


def test_check_errors(bean):
    with pytest.raises(stitchkit.Error) as caught:
        stitchkit.check(SAMPLES / "missing.dst")
    assert caught.value.result == stitchkit.READ_FAILED
    with pytest.raises(stitchkit.Error) as caught:
        stitchkit.check(bean, "no such machine")
    assert caught.value.result == stitchkit.BAD_REQUEST


def test_render_draws_files_and_designs(bean, tmp_path):
    stitchkit.render(bean, tmp_path / "bean.png", width=200, background="white")
    png = (tmp_path / "bean.png").read_bytes()
    assert png[:8] == b"\x89PNG\r\n\x1a\n" and int.from_bytes(png[16:20], "big") == 200
    stitchkit.render(stitchkit.read(bean), tmp_path / "bean.svg", jumps=True)
    assert b"<svg" in (tmp_path / "bean.svg").read_bytes()


@pytest.mark.parametrize("source, out, width, result", [
    ("missing.dst", "out.png", 100, stitchkit.READ_FAILED),
    (None, "out.jpg", 100, stitchkit.BAD_REQUEST),
    (None, "out.png", 5, stitchkit.BAD_REQUEST),
    (None, "missing/out.png", 100, stitchkit.WRITE_FAILED),
])
def test_render_errors(bean, tmp_path, source, out, width, result):
    with pytest.raises(stitchkit.Error) as caught:
        stitchkit.render(tmp_path / source if source else bean, tmp_path / out, width=width)
    assert caught.value.result == result
    assert not (tmp_path / out).exists()
