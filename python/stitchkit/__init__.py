"""Industrial embroidery stitch files for Python.

read(path, machine=None) gives a Design: its stitches as a NumPy structured array (a view of the
library's records), its figures (stats) and threads (palette); Design.write(path,
machine=None, **options) writes it for a machine format. check(path, machine=None) says
whether a file will load and sew on a machine; render(path, out) draws a preview;
formats() and machines() list the format table and the machine formats. Failures raise
stitchkit.Error, which carries the library's result code and names the file.
"""

from stitchkit._errors import Error
from stitchkit._stitchkit import (
    BAD_REQUEST,
    LAST_STITCH_CODE,
    MACHINE_DIRECTORY,
    OK,
    READ_FAILED,
    STITCH_DTYPE,
    WRITE_FAILED,
    Design,
    Finding,
    Format,
    Machine,
    Stats,
    Thread,
    WriteReport,
    check,
    formats,
    machines,
    read,
    render,
)

__all__ = [
    "BAD_REQUEST",
    "LAST_STITCH_CODE",
    "MACHINE_DIRECTORY",
    "OK",
    "READ_FAILED",
    "STITCH_DTYPE",
    "WRITE_FAILED",
    "Design",
    "Error",
    "Finding",
    "Format",
    "Machine",
    "Stats",
    "Thread",
    "WriteReport",
    "check",
    "formats",
    "machines",
    "read",
    "render",
]
