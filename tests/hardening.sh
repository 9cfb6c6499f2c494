#!/usr/bin/env bash
# Fails unless the executable carries the hardening Debian gives its packages.
# Usage: hardening.sh PATH-TO-ZENTU
set -euo pipefail

headers=$(readelf -W --file-header --program-headers --dynamic "$1")
symbols=$(nm -D "$1")

failures=0
while IFS='|' read -r what source pattern; do
	if ! grep -qE -- "$pattern" <<<"${!source}"; then
		echo "FAIL missing: $what"
		failures=$((failures + 1))
	fi
done <<'EOF_CHECKS'
position-independent executable (ELF type DYN)|headers|Type: +DYN
all symbols bound at start (BIND_NOW)|headers|\(FLAGS\) +BIND_NOW
read-only relocations (GNU_RELRO segment)|headers|^ +GNU_RELRO 
non-executable stack (GNU_STACK without E)|headers|^ +GNU_STACK( +0x[0-9a-f]+){5} RW  
fortified printf (__printf_chk)|symbols| U __printf_chk@
stack protector (__stack_chk_fail)|symbols| U __stack_chk_fail@
EOF_CHECKS
exit $((failures > 0))
