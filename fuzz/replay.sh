#!/bin/sh
# Runs a fuzz target once over every kept input that once crashed, hung or leaked.
# Usage: replay.sh <target> <folder>; a missing or empty folder passes.
target="$1"
dir="$2"
[ -d "$dir" ] || exit 0
set -- "$dir"/*
[ -e "$1" ] || exit 0
exec "$target" -timeout=5 -rss_limit_mb=1024 "$@"
