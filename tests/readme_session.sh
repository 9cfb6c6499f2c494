#!/usr/bin/env bash
# Replays the README's example session in one shell, with ./build/zentu
# running the built executable, and fails unless each command prints exactly
# what the README shows under it, standard error included.
# Usage: readme_session.sh README [EMULATOR...] PATH-TO-ZENTU
set -euo pipefail

readme=$1 zentu=("${@:2}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A stopped test, such as one of a release that fails or is interrupted,
# leaves no scratch folder either.
trap 'exit 1' INT TERM HUP
mkdir "$scratch/build"
printf '#!/usr/bin/env bash\nexec %s "$@"\n' "${zentu[*]@Q}" >"$scratch/build/zentu"
chmod +x "$scratch/build/zentu"

# The session: every fenced block below the heading "Example session", up
# to the next heading of that level.
shown=$(awk '/^## / { section = ($0 == "## Example session") } section && /^```/ { block = !block; next } section && block' "$readme")
script=
while IFS= read -r line; do
	[[ $line == '$ '* ]] || continue
	script+="printf '%s\\n' $(printf %q "$line"); ${line#'$ '}"$'\n'
done <<<"$shown"
[ -n "$script" ] || { echo "FAIL no example session in $readme"; exit 1; }
replayed=$(cd "$scratch" && bash -c "$script" 2>&1 </dev/null)
diff -u --label README <(printf '%s\n' "$shown") --label replayed <(printf '%s\n' "$replayed")
