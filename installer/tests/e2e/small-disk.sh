#!/usr/bin/env bash
# small-disk.sh <bytes> <command> [args...]
# Runs the command with FERRYLIFT_TEST_SMALL_DISK naming the folder of a tmpfs of <bytes>,
# mounted for the run (needs root): a disk that really fills up, for programs that cannot
# mount one themselves (the Windows tests under Wine).
set -euo pipefail
size=$1; shift
disk=$(mktemp -d "${TMPDIR:-/tmp}/ferrylift-small-disk-XXXXXX")
cleanup() { umount "$disk" 2>/dev/null || true; rmdir "$disk"; }
trap cleanup EXIT
mount -t tmpfs -o "size=$size" tmpfs "$disk"
export FERRYLIFT_TEST_SMALL_DISK=$disk
"$@"
