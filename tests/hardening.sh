#!/usr/bin/env bash
# Fails unless the executable carries the hardening Debian gives its packages,
# with its architecture's control-flow protection, and, when static, needs
# nothing at all from the system; with "printf", unless its printf is the
# fortified one; with "environment", if it imports a way to read the
# environment.
# Usage: hardening.sh PATH-TO-ZENTU "hardened dynamic|static [pie]"|printf|environment OBJDUMP
set -euo pipefail

zentu=$1 checks=$2 objdump=$3
headers=$(readelf -W --file-header --program-headers --dynamic "$zentu")
# The machine the file is for, as readelf names it (X86-64, 80386, AArch64...),
# sets its control-flow protection whatever the build asked for; and where
# the C library can start a static-pie program, position independence.
if [[ " $checks " == *" hardened "* ]]; then
	machine=$(awk '$1 == "Machine:" { print $NF }' <<<"$headers")
	checks+=" $machine"
	case $machine in X86-64 | 80386 | AArch64) checks+=" pie" ;; esac
fi
# A dynamic executable imports the symbols (U name@version); a static one
# holds them (T name).
symbols=$(nm "$zentu")
# Control-flow protection puts its marker first in each function.
main=$("$objdump" -d "$zentu" | awk 'main == 1 { print; main = 2 } /<main>:$/ { main = 1 }')

failures=0
while IFS='|' read -r check wanted what pattern; do
	[[ " $checks " == *" $check "* ]] || continue
	if grep -qE -- "$pattern" <<<"$headers"$'\n'"$symbols"$'\n'"$main"; then found=present; else found=absent; fi
	if [ "$found" != "$wanted" ]; then
		echo "FAIL $what: $found"
		failures=$((failures + 1))
	fi
done <<'EOF_CHECKS'
pie|present|position-independent executable (ELF type DYN)|Type: +DYN
pie|present|all symbols bound at start (BIND_NOW)|\(FLAGS\) +BIND_NOW
hardened|present|read-only relocations (GNU_RELRO segment)|^ +GNU_RELRO 
hardened|present|non-executable stack (GNU_STACK without E)|^ +GNU_STACK( +0x[0-9a-f]+){5} RW  
hardened|present|stack protector (__stack_chk_fail)| [TU] __stack_chk_fail(@|$)
X86-64|present|indirect branch tracking (main begins with endbr64)|^ +[0-9a-f]+:.*[[:space:]]endbr64$
80386|present|indirect branch tracking (main begins with endbr32)|^ +[0-9a-f]+:.*[[:space:]]endbr32$
AArch64|present|return address signing (main begins with paciasp)|^ +[0-9a-f]+:.*[[:space:]]paciasp$
static|absent|program interpreter (INTERP segment)|^ +INTERP 
static|absent|shared library needed (NEEDED)|\(NEEDED\)
printf|present|fortified printf (__printf_chk)| [TU] __printf_chk(@|$)
environment|absent|a way to read the environment (getenv, secure_getenv, environ)| [UBVDW] (getenv|secure_getenv|_*environ)@
EOF_CHECKS
exit $((failures > 0))
