#!/bin/sh
# Runs the writer benchmark from an existing build folder; builds nothing.
# usage: bench/writer/run.sh BUILD_DIR [folder] [lines] [runs]
set -eu
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [folder] [lines] [runs]" >&2
    exit 2
fi
build=$1
shift
program="$build/bench/writer/bench_writer"
if [ ! -x "$program" ]; then
    echo "$program not found: build the bench_writer target first" >&2
    exit 1
fi
exec "$program" "$@"
