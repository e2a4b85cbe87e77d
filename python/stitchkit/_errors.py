"""The exception every stitchkit function raises for a file it cannot process."""


class Error(Exception):
    """A design file could not be read or written as asked.

    result is the library's result code (stitchkit.READ_FAILED, BAD_REQUEST or
    WRITE_FAILED), path the file concerned; str(error) is "path: reason".
    """

    def __init__(self, message: str, result: int, path: str) -> None:
        super().__init__(message)
        self.result = result
        self.path = path
