#!/usr/bin/env bash
# Marks a class whose hand-ins hold every status against its golden marks,
# then fails unless a second marking refuses the MARKS that the first wrote,
# and unless MARKS stands alone in its folder, with one link.
# Usage: mark.sh SOURCE-DIR
set -euo pipefail

source_dir=$1 class=$1/tests/marks
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A stopped test, such as one of a release that fails or is interrupted,
# leaves no scratch folder either.
trap 'exit 1' INT TERM HUP
mkdir "$scratch/marking"
mark() {
	"$source_dir/zentu-lab" mark --answers "$class/answers.tsv" --answers "$class/late.tsv" \
		--handed-in "$class/handed-in.tsv" --marks "$scratch/marking/marks.tsv" >"$scratch/out" 2>"$scratch/err"
}
fail() {
	echo "FAIL $*"
	exit 1
}

mark || fail "the marking failed: $(cat "$scratch/err")"
diff -u "$class/marks.tsv" "$scratch/marking/marks.tsv" || fail "marks.tsv differs from the golden marks"
printf '3 correct, 1 wrong, 1 missing, 1 blanks, 1 copied, 1 unknown\ncy handed in the key of ada\n' |
	diff -u - "$scratch/out" || fail "standard output differs"
[ ! -s "$scratch/err" ] || fail "standard error: $(cat "$scratch/err")"
[ "$(ls -A "$scratch/marking")" = marks.tsv ] || fail "the marking left beside MARKS: $(ls -A "$scratch/marking")"
[ "$(stat -c %h "$scratch/marking/marks.tsv")" = 1 ] || fail "marks.tsv has a second link"

if mark; then
	fail "a second marking overwrote marks.tsv"
fi
grep -q "marks.tsv exists already" "$scratch/err" || fail "refused without saying why: $(cat "$scratch/err")"
[ ! -s "$scratch/out" ] || fail "a refused marking printed: $(cat "$scratch/out")"
cmp -s "$class/marks.tsv" "$scratch/marking/marks.tsv" || fail "the refused marking changed marks.tsv"
