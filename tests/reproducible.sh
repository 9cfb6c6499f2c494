#!/usr/bin/env bash
# Builds the source twice, from copies at two different paths into build
# folders of different names, and fails unless both executables are identical.
# Usage: reproducible.sh SOURCE-DIR [CMAKE-ARGUMENT...]
set -euo pipefail

source_dir=$1
shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A stopped test, such as one of a release that fails or is interrupted,
# leaves no scratch folder either.
trap 'exit 1' INT TERM HUP

build() { # COPY-PATH BUILD-PATH [CMAKE-ARGUMENT...]
	local copy=$1 out=$2
	shift 2
	mkdir -p "$copy"
	tar -C "$source_dir" --exclude=./.git --exclude='./build*' --exclude=./release -cf - . | tar -C "$copy" -xf -
	cmake -S "$copy" -B "$out" -DBUILD_TESTING=OFF "$@" >/dev/null
	cmake --build "$out" --target zentu >/dev/null
}
build "$scratch/one/src" "$scratch/one/out" "$@"
build "$scratch/second copy/zentu-source" "$scratch/build-elsewhere" "$@"
cmp "$scratch/one/out/zentu" "$scratch/build-elsewhere/zentu"
