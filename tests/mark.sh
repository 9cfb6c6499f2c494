#!/usr/bin/env bash
# Marks a class whose hand-ins hold every status against its golden marks,
# then fails unless a second marking refuses the MARKS that the first wrote.
# Usage: mark.sh SOURCE-DIR
set -euo pipefail

source_dir=$1 class=$1/tests/marks
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mark() {
	cmake "-DANSWERS=$class/answers.tsv;$class/late.tsv" "-DHANDED_IN=$class/handed-in.tsv" \
		"-DMARKS=$scratch/marks.tsv" -P "$source_dir/packaging/mark.cmake" >"$scratch/out" 2>"$scratch/err"
}
fail() {
	echo "FAIL $*"
	exit 1
}

mark || fail "the marking failed: $(cat "$scratch/err")"
diff -u "$class/marks.tsv" "$scratch/marks.tsv" || fail "marks.tsv differs from the golden marks"
printf '3 correct, 1 wrong, 1 missing, 1 blanks, 1 copied, 1 unknown\ncy handed in the key of ada\n' |
	diff -u - "$scratch/out" || fail "standard output differs"
[ ! -s "$scratch/err" ] || fail "standard error: $(cat "$scratch/err")"

if mark; then
	fail "a second marking overwrote marks.tsv"
fi
grep -q "marks.tsv exists already" "$scratch/err" || fail "refused without saying why: $(cat "$scratch/err")"
[ ! -s "$scratch/out" ] || fail "a refused marking printed: $(cat "$scratch/out")"
cmp -s "$class/marks.tsv" "$scratch/marks.tsv" || fail "the refused marking changed marks.tsv"
