#!/usr/bin/env bash
# Installs a build, with cmake --install or as the .deb that cpack makes,
# installed by dpkg into a scratch root, and checks what lands there.
# Usage: install.sh install|package SOURCE-DIR BUILD-DIR
set -euo pipefail

mode=$1 source_dir=$2 build=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
	echo "FAIL $*"
	exit 1
}

if [ "$mode" = install ]; then
	cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
	prefix=$scratch/prefix
	cmp "$prefix/bin/zentu" "$build/zentu" || fail "installed zentu differs from the built one"
else
	if ! command -v dpkg-deb >/dev/null; then
		echo "SKIP dpkg-deb is not installed: the .deb is made and checked only on Debian and its derivatives"
		exit 77
	fi
	cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null
	package=$(echo "$scratch"/out/zentu_*_amd64.deb)
	[ -f "$package" ] || fail "cpack made no zentu_*_amd64.deb"
	files=$(dpkg-deb --contents "$package" | awk '$NF !~ /\/$/ { print $NF }')
	[ "$files" = $'./usr/bin/zentu\n./usr/share/man/man1/zentu.1' ] ||
		fail "the package holds other files than zentu and its manual page:"$'\n'"$files"

	root=$scratch/root
	mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
	touch "$root/var/lib/dpkg/status"
	# The scratch root has no libc6 registered, so that dependency is waived.
	dpkg --root="$root" --force-not-root --force-depends --log=/dev/null \
		--install "$package" >/dev/null 2>&1 || fail "dpkg could not install $package"
	prefix=$root/usr
	readelf --sections "$prefix/bin/zentu" | grep -q '\.symtab' && fail "packaged zentu is not stripped"
fi

[ -x "$prefix/bin/zentu" ] || fail "no executable $prefix/bin/zentu"
cmp "$prefix/share/man/man1/zentu.1" "$source_dir/zentu.1" || fail "manual page missing or changed"
[ "$("$prefix/bin/zentu" 'installed?')" = "$("$build/zentu" 'installed?')" ] ||
	fail "installed zentu does not behave as the built one"
