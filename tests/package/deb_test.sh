#!/usr/bin/env bash
# Builds the .deb from the build tree, unpacks it into a scratch root and runs what it holds
# there: the command (no LD_LIBRARY_PATH: it links Debian's libraries only), its manual and
# completion, the Python package under Debian's interpreter.
# usage: deb_test.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2 version=$3
scratch=$(mktemp -d "$build/deb-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --build "$build" -j2 --target cdmadiag_cli cdmadiag_python >/dev/null
(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log" >&2; fail "cpack"; }
deb=$scratch/out/cdmadiag_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $(basename "$deb") in: $(ls "$scratch/out")"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libfmt libproj libsqlite3 zlib1g libstdc++6 python3-pandas; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib"
done

root=$scratch/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin/cdmadiag
[[ -x $bin ]] || fail "no usr/bin/cdmadiag"
! readelf -d "$bin" | grep -qE 'RPATH|RUNPATH' || fail "the installed command keeps a run path"
! env -u LD_LIBRARY_PATH ldd "$bin" | grep 'not found' || fail "libraries not found"

[[ $("$bin" --version) =~ ^cdmadiag\ ${version//./\\.}\ \(git\ ([0-9a-f]{7}(-dirty)?|unknown)\)$ ]] ||
  fail "--version says: $("$bin" --version)"
env -u LD_LIBRARY_PATH "$bin" decode -q "$source/examples/sample.log" >"$scratch/installed.txt" ||
  fail "installed decode failed"
"$build/app/cdmadiag" decode -q "$source/examples/sample.log" >"$scratch/built.txt"
[[ -s $scratch/installed.txt ]] || fail "installed decode wrote nothing"
cmp -s "$scratch/installed.txt" "$scratch/built.txt" || fail "installed decode differs from the build tree's"

gzip -t "$root/usr/share/man/man1/cdmadiag.1.gz" || fail "manual page"
man -l "$root/usr/share/man/man1/cdmadiag.1.gz" 2>/dev/null | grep -q 'cdmadiag decode' || fail "man does not read the page"
bash --norc -c "source '$root/usr/share/bash-completion/completions/cdmadiag' && complete -p cdmadiag" >/dev/null ||
  fail "completion script"

site=$(echo "$root"/usr/lib/python3*/dist-packages)
[[ -f $site/cdmadiag/__init__.py ]] || fail "no Python package in usr/lib/python3*/dist-packages"
packets=$(PYTHONPATH=$site PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c '
import sys, cdmadiag
assert cdmadiag.__file__.startswith(sys.argv[1]), cdmadiag.__file__
print(sum(1 for _ in cdmadiag.decode(sys.argv[2])))' "$site" "$source/examples/sample.log") || fail "Python package"
echo "installed Python package decodes $packets packets of the sample"
echo "ok"
