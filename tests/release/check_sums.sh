#!/usr/bin/env bash
# A release into a dist/ that still holds an earlier version's files: those
# are gone afterwards, nothing tracked is touched, and SHA256SUMS
# names every file the release left in dist/, each with its sum. The Windows
# packages are stand-ins (the cross build is not this test's business); the
# release copies them as it copies the real ones.
set -euo pipefail
cd "$(dirname "$0")/../.."

work=$(mktemp -d "${TMPDIR:-/tmp}/mnemora-sums.XXXXXX")
trap 'rm -rf "$work"' EXIT
git clone --quiet --no-hardlinks . "$work/clone"
git -C "$work/clone" checkout --quiet "$(git rev-parse HEAD)"
cd "$work/clone"
version=$(node -p 'require("./package.json").version')

mkdir -p dist
for old in Mnemora-1.1.0-win64.zip Mnemora-1.1.0-win64-setup.exe mnemora-1.1.0.html; do
    echo "$old" >"dist/$old"
done
(cd dist && sha256sum Mnemora-1.1.0-win64.zip Mnemora-1.1.0-win64-setup.exe mnemora-1.1.0.html >SHA256SUMS)
mkdir build-windows
for f in "Mnemora-$version-win64.zip" "Mnemora-$version-win64-setup.exe"; do
    echo "stand-in $f" >"build-windows/$f"
done
# `make windows-package` has made them already.
mkdir "$work/bin"
printf '#!/bin/sh\ncase " $* " in *" windows-package "*) exit 0 ;; esac\nexec /usr/bin/make "$@"\n' >"$work/bin/make"
chmod +x "$work/bin/make"
PATH=$work/bin:$PATH tools/release --parts windows,source >"$work/release.log" 2>&1 || {
    cat "$work/release.log"; echo "FAIL: the release failed"; exit 1
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cd dist
listed=$(awk '{ sub(/^\*/, "", $2); print $2 }' SHA256SUMS | sort)
left=$(find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\n' | sort | comm -23 - <(git ls-files . | sort))
[ "$listed" = "$left" ] || fail "SHA256SUMS names ${listed//$'\n'/ } but dist/ holds ${left//$'\n'/ }"
sha256sum --quiet -c SHA256SUMS || fail "a sum in SHA256SUMS is wrong"
for f in "Mnemora-$version-win64.zip" "Mnemora-$version-win64-setup.exe" "mnemora-$version-src.tar.gz"; do
    grep -q " $f\$" SHA256SUMS || fail "SHA256SUMS has no line for $f"
done
[ -z "$(git status --porcelain --ignored=no .)" ] || fail "a tracked file changed: $(git status --porcelain .)"
exit "$failures"
