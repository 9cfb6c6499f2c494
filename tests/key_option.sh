#!/usr/bin/env bash
# Configure must refuse a ZENTU_KEY that is not five printable ASCII
# characters, and say why; a valid one must become the program's key.
# Usage: key_option.sh SOURCE-DIR [EMULATOR...] -- [CMAKE-ARGUMENT...]
set -euo pipefail

source_dir=$1 emulator=()
shift
while [ "$1" != -- ]; do
	emulator+=("$1")
	shift
done
shift
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
# A stopped test, such as one of a release that fails or is interrupted,
# leaves no scratch folder either.
trap 'exit 1' INT TERM HUP

failures=0
for key in abcd abcdef $'abc\xc3\xa9' $'ab\tcd' $'abcd\x7f'; do
	if message=$(cmake -S "$source_dir" -B "$build" -DBUILD_TESTING=OFF "$@" -DZENTU_KEY_HEX= "-DZENTU_KEY=$key" 2>&1); then
		echo "FAIL configure accepted the key \"$key\""
		failures=$((failures + 1))
	elif ! grep -q 'ZENTU_KEY must be exactly five printable ASCII characters' <<<"$message"; then
		echo "FAIL configure refused the key \"$key\" without stating the rule:"
		echo "$message"
		failures=$((failures + 1))
	fi
done

# Characters that mean something to CMake, C and the shell.
key='Q;"\#'
cmake -S "$source_dir" -B "$build" -DBUILD_TESTING=OFF "$@" -DZENTU_KEY_HEX= "-DZENTU_KEY=$key" >/dev/null
cmake --build "$build" --target zentu >/dev/null
# A text equal to the key enciphers to zeros only with exactly that key.
result=$("${emulator[@]}" "$build/zentu" "$key" | tail -n 1)
if [ "$result" != "Final: 0x0000000000" ]; then
	echo "FAIL built with key \"$key\", enciphering it gives \"$result\""
	failures=$((failures + 1))
fi
if grep -qF -- "$key" "$build/zentu"; then
	echo "FAIL the key \"$key\" stands in the executable"
	failures=$((failures + 1))
fi
exit $((failures > 0))
