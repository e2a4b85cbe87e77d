#!/usr/bin/python3
"""Converts a directory tree of design files to one format with Dask, one task per file.

    convert_tree.py SOURCE DEST --to dst [--machine NAME] [--set Key=Value]...
                    [--workers N | --scheduler tcp://host:8786]

Every file below SOURCE whose extension is in the format table (stitchkit.formats()) is
read and written below DEST at the same relative path with the extension of --to. Without
--scheduler the script starts a LocalCluster of N single-threaded worker processes; with it,
it uses that cluster, whose workers must import stitchkit and see SOURCE and DEST at the
same paths. Each output is written to a hidden temporary file beside it (".sk...") and
renamed only when complete, so a failed conversion leaves no half-written file (a worker
killed mid-write may leave its temporary file, never a partial output). The results (file,
result code, stitches, seconds) are printed as a table, then the failures (result -1: the
task itself failed, as when its worker died); the exit status is 0 when every file
converted, 1 otherwise, 2 for wrong usage.
"""

import argparse
import logging
import os
import sys
import time
from dataclasses import dataclass

import stitchkit
from dask.distributed import Client, LocalCluster, wait


# The result of a file whose task did not return.
TASK_FAILED = -1


@dataclass
class Converted:
    """What one task did: result is stitchkit.OK or the library's result code."""

    file: str
    result: int
    stitches: int
    seconds: float
    message: str = ""


def convert_one(source, target, machine, options):
    """Reads source and writes target; runs on a worker."""
    started = time.perf_counter()
    try:
        design = stitchkit.read(source)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        report = design.write(target, machine=machine, **options)
    except stitchkit.Error as error:
        return Converted(source, error.result, 0, time.perf_counter() - started, str(error))
    except OSError as error:
        return Converted(source, stitchkit.WRITE_FAILED, 0, time.perf_counter() - started,
                         f"{target}: {error.strerror}")
    return Converted(source, stitchkit.OK, report.stats.stitches, time.perf_counter() - started)


def design_files(source):
    """The files below source whose extension names a format of the format table, sorted."""
    table = stitchkit.formats()
    extensions = {e for f in table for e in f.extensions if e != "."}
    letters = {f.numbered.lower() for f in table if f.numbered}
    found = []
    for folder, _, names in os.walk(source):
        for name in names:
            extension = os.path.splitext(name)[1].lower()
            numbered = len(extension) == 4 and extension[1] in letters and extension[2:].isdigit()
            if extension in extensions or numbered:
                found.append(os.path.join(folder, name))
    return sorted(found)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("source", help="directory tree of design files")
    parser.add_argument("dest", help="directory that receives the converted tree")
    parser.add_argument("--to", required=True, help="extension of the target format (dst, exp, ...)")
    parser.add_argument("--machine", help="machine format to write with (default: the best one)")
    parser.add_argument("--set", action="append", default=[], metavar="KEY=VALUE",
                        help="change a machine option by its profile name (repeatable)")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--workers", type=int, default=2, help="local worker processes (default 2)")
    where.add_argument("--scheduler", help="address of a running Dask scheduler")
    args = parser.parse_args(argv)
    args.options = {}
    for setting in args.set:
        key, sep, value = setting.partition("=")
        if not sep or not key:
            parser.error(f"--set takes KEY=VALUE, not '{setting}'")
        args.options[key] = value
    if args.workers < 1:
        parser.error("--workers takes 1 or more")
    return args


def run(client, args):
    """Converts the tree on client's cluster; the results in file order and the seconds taken."""
    sources = design_files(args.source)
    suffix = "." + args.to.lstrip(".")
    targets = [os.path.join(args.dest, os.path.splitext(os.path.relpath(s, args.source))[0] + suffix)
               for s in sources]
    started = time.perf_counter()
    futures = client.map(convert_one, sources, targets, machine=args.machine,
                         options=args.options, pure=False)
    wait(futures)
    seconds = time.perf_counter() - started
    # A task that did not return (its worker died) is a failure of that file.
    results = [f.result() if f.status == "finished" else
               Converted(s, TASK_FAILED, 0, 0.0, f"{s}: the task failed: {f.exception()!r}")
               for s, f in zip(sources, futures)]
    return results, seconds


def print_table(results, seconds, out=sys.stdout):
    width = max([len(r.file) for r in results] + [4])
    print(f"{'file':<{width}}  result  stitches  seconds", file=out)
    for r in results:
        print(f"{r.file:<{width}}  {r.result:>6}  {r.stitches:>8}  {r.seconds:>7.3f}", file=out)
    failed = [r for r in results if r.result != stitchkit.OK]
    rate = len(results) / seconds if seconds > 0 else 0.0
    print(f"{len(results)} files, {len(results) - len(failed)} converted, {len(failed)} failed, "
          f"{seconds:.2f} s, {rate:.1f} files/s", file=out)
    if failed:
        print("failures:", file=out)
        for r in failed:
            print(f"  {r.message}", file=out)


def main(argv=None):
    args = parse_arguments(argv)

    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        # The workers' own log lines (a heartbeat lost while the cluster shuts down) stay quiet:
        # every file's outcome is in the table.
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None, silence_logs=logging.CRITICAL)
        client = Client(cluster)
    try:
        results, seconds = run(client, args)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    print_table(results, seconds)
    return 0 if all(r.result == stitchkit.OK for r in results) else 1


if __name__ == "__main__":
    sys.exit(main())
