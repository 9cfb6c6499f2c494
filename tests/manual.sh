#!/usr/bin/env bash
# The manual page must be clean under mandoc's lint and quote the program's
# own messages as the program prints them.
# Usage: manual.sh PAGE [EMULATOR...] PATH-TO-ZENTU
set -euo pipefail

page=$1 zentu=("${@:2}")
# mandoc's lint also looks up the page this one refers to, which xxd brings.
for package in mandoc xxd; do
	if ! command -v "$package" >/dev/null; then
		echo "SKIP $package is not installed (Debian package $package)"
		exit 77
	fi
done
# The one style message accepted: .Os names zentu and its version, so that
# man-db shows them in place of "BSD".
lint=$(mandoc -Tlint "$page" | grep -v ': STYLE: operating system explicitly specified: Os zentu ' || true)
[ -z "$lint" ] || { echo "FAIL mandoc -Tlint:"; echo "$lint"; exit 1; }

# Rendered text, bold and underline overstrikes removed.
rendered=$(mandoc -Tascii -Owidth=200 "$page" | sed 's/.\x08//g')
usage=$("${zentu[@]}" || true)
banner=$("${zentu[@]}" text | sed -n 2p)
write_error=$("${zentu[@]}" text 2>&1 >/dev/full | sed 's/: [^:]*$/: /' || true)

failures=0
for message in "$usage" "$banner" "Your plain text: " "Final: 0x" "$write_error"; do
	if ! grep -qF -- "$message" <<<"$rendered"; then
		echo "FAIL the manual page does not quote \"$message\""
		failures=$((failures + 1))
	fi
done
exit $((failures > 0))
