#!/usr/bin/env bash
# Installs a build with cmake --install, or makes its package with cpack (the
# .deb, installed by dpkg into a scratch root; or the static build's archive,
# checked against its checksum and unpacked), and checks what lands there.
# Usage: install.sh install|package SOURCE-DIR BUILD-DIR dynamic|static [EMULATOR...]
set -euo pipefail

mode=$1 source_dir=$2 build=$3 linkage=$4 emulator=("${@:5}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A stopped test, such as one of a release that fails or is interrupted,
# leaves no scratch folder either.
trap 'exit 1' INT TERM HUP
# The packages must not depend on the builder's umask: take a loose one.
umask 002

fail() {
	echo "FAIL $*"
	exit 1
}

if [ "$mode" = install ]; then
	cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
	prefix=$scratch/prefix
	cmp "$prefix/bin/zentu" "$build/zentu" || fail "installed zentu differs from the built one"
elif [ "$linkage" = static ]; then
	(cd "$scratch" && cpack -G TGZ --config "$build/CPackConfig.cmake" >/dev/null)
	archive=$(echo "$scratch"/zentu-*-linux.tar.gz)
	(cd "$scratch" && sha256sum --check --quiet "$archive.sha256") || fail "$archive does not match its checksum"
	tar -C "$scratch" -xzf "$archive"
	prefix=${archive%.tar.gz}
else
	# cpack -G DEB needs file and dpkg-shlibdeps; dpkg-dev brings
	# dpkg-parsechangelog too.
	for tool in dpkg-deb dpkg-shlibdeps file; do
		if ! "$tool" --version >/dev/null 2>&1; then
			echo "SKIP $tool cannot run here (on Debian: apt-get install dpkg-dev file)"
			exit 77
		fi
	done
	cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null
	package=$(echo "$scratch"/out/zentu_*_amd64.deb)
	[ -f "$package" ] || fail "cpack made no zentu_*_amd64.deb"
	depends=$(dpkg-deb --field "$package" Depends)
	[[ $depends =~ (^|, )libc6( |,|$) ]] || fail "the package does not depend on libc6: Depends: $depends"
	members=$(ar tv "$package" | awk '$1 != "rw-r--r--"')
	[ -z "$members" ] || fail "members of the .deb not 0644:"$'\n'"$members"
	directories=$(dpkg-deb --contents "$package" | awk '$NF ~ /\/$/ && $1 != "drwxr-xr-x"')
	[ -z "$directories" ] || fail "directories in the package not 0755:"$'\n'"$directories"
	root=$scratch/root
	mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
	touch "$root/var/lib/dpkg/status"
	# The scratch root has no libc6 registered, so that dependency is waived.
	dpkg --root="$root" --force-not-root --force-depends --log=/dev/null \
		--install "$package" >/dev/null 2>&1 || fail "dpkg could not install $package"
	prefix=$root/usr
	zcat "$prefix/share/doc/zentu/changelog.gz" >"$scratch/changelog"
	dpkg-parsechangelog -l "$scratch/changelog" >/dev/null || fail "changelog.gz does not parse"
fi

if [ "$linkage" = static ]; then
	docs=share/doc/zentu/LICENSE
else
	docs=$'share/doc/zentu/changelog.gz\nshare/doc/zentu/copyright'
fi
files=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$files" = $'bin/zentu\n'"$docs"$'\nshare/man/man1/zentu.1.gz' ] ||
	fail "other files than zentu, its manual page and its documents under $prefix:"$'\n'"$files"
if [ "$mode" = package ] && readelf --sections "$prefix/bin/zentu" | grep -q '\.symtab'; then
	fail "packaged zentu is not stripped"
fi
zcat "$prefix/share/man/man1/zentu.1.gz" | cmp - "$source_dir/zentu.1" || fail "manual page changed"
# gzip -9n: no name, no time stamp, the best compression (header bytes 3 to 8).
[ "$(od -An -tx1 -j3 -N6 "$prefix/share/man/man1/zentu.1.gz")" = " 00 00 00 00 00 02" ] ||
	fail "manual page not compressed by gzip -9n"
if [ "$linkage" = dynamic ]; then
	# The licence, as Debian's machine-readable copyright file gives it.
	sed -n '/^License: Expat$/,$ { /^License/d; s/^ //; s/^\.$//; p }' "$prefix/share/doc/zentu/copyright" |
		cmp - <(sed -n '/^Permission/,$p' "$source_dir/LICENSE") || fail "copyright does not hold LICENSE"
	grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
		"$prefix/share/doc/zentu/copyright" || fail "copyright is not machine-readable"
fi
# The key is not known here: the result line must only have the right form.
output=$("${emulator[@]}" "$prefix/bin/zentu" 'installed?' 2>&1) || fail "installed zentu failed: $output"
banner="Applying Zentu Industry's Certified unbreakable algorithm."
[[ $output =~ ^"Your plain text: installed?"$'\n'"$banner"$'\n''Final: 0x'[0-9a-f]{20}$ ]] ||
	fail "installed zentu printed:"$'\n'"$output"
