#!/bin/sh
# CI: every fuzz target for 12 seconds on its seed corpus, one at a time
# (about a minute in all). Usage: fuzz/run-short.sh
set -e
exec "$(dirname "$0")/run-long.sh" 12 1
