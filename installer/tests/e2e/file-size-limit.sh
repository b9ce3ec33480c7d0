#!/usr/bin/env bash
# file-size-limit.sh <bytes> <command> [args...]
# Runs the command with no file allowed to grow past <bytes> (RLIMIT_FSIZE). The signal such a
# write raises is ignored, so the write fails (EFBIG) the way it fails on a full disk.
set -euo pipefail
limit=$1; shift
# One run that selects no test, without the limit: a Wine prefix that does not exist yet is
# created here, not under the limit (gtest heeds the last filter given).
"$@" --gtest_filter=-* >/dev/null
trap '' XFSZ
ulimit -f $((limit / 1024))
export FERRYLIFT_TEST_FILE_SIZE_LIMIT=$limit
exec "$@"
