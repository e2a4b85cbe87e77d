"""Type stubs of the stitchkit package."""

from stitchkit._errors import Error as Error
from stitchkit._stitchkit import (
    BAD_REQUEST as BAD_REQUEST,
    LAST_STITCH_CODE as LAST_STITCH_CODE,
    MACHINE_DIRECTORY as MACHINE_DIRECTORY,
    OK as OK,
    READ_FAILED as READ_FAILED,
    STITCH_DTYPE as STITCH_DTYPE,
    WRITE_FAILED as WRITE_FAILED,
    Design as Design,
    Finding as Finding,
    Format as Format,
    Machine as Machine,
    Stats as Stats,
    Thread as Thread,
    WriteReport as WriteReport,
    check as check,
    formats as formats,
    machines as machines,
    read as read,
    render as render,
)
