"""Type stubs of the stitchkit extension module."""

import os
from typing import Any, Sequence, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, os.PathLike[str], os.PathLike[bytes]]
_Option = Union[int, bool, str]

OK: int
READ_FAILED: int
BAD_REQUEST: int
WRITE_FAILED: int
LAST_STITCH_CODE: int
MACHINE_DIRECTORY: str
STITCH_DTYPE: np.dtype[np.void]

class Stats:
    """Figures of a design, in 0.1 mm."""

    @property
    def stitches(self) -> int: ...
    @property
    def jumps(self) -> int: ...
    @property
    def trims(self) -> int: ...
    @property
    def commands(self) -> int: ...
    @property
    def colour_changes(self) -> int: ...
    @property
    def needles(self) -> list[int]: ...
    @property
    def block_stitches(self) -> list[int]: ...
    @property
    def min_x(self) -> int: ...
    @property
    def min_y(self) -> int: ...
    @property
    def max_x(self) -> int: ...
    @property
    def max_y(self) -> int: ...
    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...
    @property
    def start(self) -> tuple[int, int]: ...
    @property
    def end(self) -> tuple[int, int]: ...
    @property
    def max_move(self) -> int: ...
    @property
    def thread_length(self) -> float: ...

class Thread:
    """One thread of a palette; rgb is 0xRRGGBB."""

    def __init__(self, rgb: int, name: str = "", code: str = "", manufacturer: str = "") -> None: ...
    @property
    def rgb(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def code(self) -> str: ...
    @property
    def manufacturer(self) -> str: ...

class WriteReport:
    """What Design.write wrote."""

    @property
    def format(self) -> int: ...
    @property
    def machine(self) -> str: ...
    @property
    def end_added(self) -> bool: ...
    @property
    def stats(self) -> Stats: ...
    @property
    def stops(self) -> int: ...

class Design:
    """A design: its stitches, figures and threads."""

    def __init__(self, stitches: npt.NDArray[Any], palette: Sequence[Thread] = ...) -> None:
        """Builds a design from an array with the fields x, y, code and colour (copied)."""
    def __len__(self) -> int: ...
    @property
    def stitches(self) -> npt.NDArray[np.void]:
        """The stitches as a view (dtype STITCH_DTYPE) of the design's own records."""
    @property
    def stats(self) -> Stats: ...
    @property
    def palette(self) -> list[Thread]: ...
    def write(
        self,
        path: _Path,
        machine: str | None = None,
        *,
        format: int | None = None,
        **options: _Option,
    ) -> WriteReport:
        """Writes the design for a machine format; options by their profile names."""

class Format:
    """One row of the disk file format table."""

    @property
    def code(self) -> int: ...
    @property
    def family(self) -> str: ...
    @property
    def extensions(self) -> list[str]: ...
    @property
    def numbered(self) -> str: ...
    @property
    def written_as(self) -> str: ...
    @property
    def role(self) -> str: ...

class Machine:
    """A machine format: a named set of machine options."""

    @property
    def name(self) -> str: ...
    @property
    def formats(self) -> list[int]: ...
    @property
    def format_type(self) -> str: ...
    @property
    def installed(self) -> bool: ...
    @property
    def can_delete(self) -> bool: ...
    @property
    def default(self) -> bool: ...

class Finding:
    """One finding of check: severity "error", "warning" or "note", a code and a message."""

    @property
    def severity(self) -> str: ...
    @property
    def code(self) -> str: ...
    @property
    def message(self) -> str: ...

def check(
    path: _Path,
    machine: str | None = None,
    *,
    field: tuple[float | None, float | None] | None = None,
) -> list[Finding]:
    """Checks a design file against a machine format and a field in millimetres."""

def read(path: _Path, machine: str | None = None) -> Design:
    """Reads the design file at path whole, with a machine format's reading options when
    machine names one; raises stitchkit.Error naming the file."""

def formats() -> list[Format]:
    """The disk file format table."""

def machines() -> list[Machine]:
    """The installed machine formats, then the factory line."""

def render(
    source: _Path | Design,
    out: _Path,
    *,
    width: int = 1000,
    jumps: bool = False,
    background: str = "transparent",
) -> None:
    """Draws a preview of a design file or Design as a .png or .svg picture."""
