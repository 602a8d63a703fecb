#!/usr/bin/env bash
# tools/check-reproducible must catch a release file that carries the time of
# its build or the folder it was built in, name the file and show the planted
# text; and it must pass the same file built without either. The file is the
# source tarball, the cheapest to build; the plant is a member added to it.
# It must also catch an archive whose order is the file system's.
set -euo pipefail
cd "$(dirname "$0")/../.."

release='tools/release --parts source'
# Adds a member holding the output of $1 to the source tarball, with fixed
# metadata, so that only its content can differ.
plant() {
    printf '%s && cd dist && gzip -d mnemora-*-src.tar.gz && (%s) >built-with && ' "$release" "$1"
    printf 'tar --append --mtime=@0 --owner=0 --group=0 --numeric-owner -f mnemora-*-src.tar built-with && '
    printf 'gzip -9n mnemora-*-src.tar && rm built-with && sha256sum mnemora[-_]* >SHA256SUMS'
}

failures=0
for planted in 'date +%s.%N' 'pwd'; do
    status=0
    out=$(tools/check-reproducible --build "$(plant "$planted")" 2>&1) || status=$?
    if [ "$status" -eq 0 ]; then
        echo "FAIL: planting '$planted' went unnoticed:"; echo "$out"; failures=$((failures + 1))
    elif ! grep -q 'mnemora-.*-src.tar.gz .*DIFFERS' <<<"$out" || ! grep -q 'built-with' <<<"$out"; then
        echo "FAIL: planting '$planted' failed the check without naming the file and the difference:"
        echo "$out"; failures=$((failures + 1))
    else
        echo "ok: planting '$planted' is caught"
    fi
done

# An archive that lists its members in the order the file system returns
# them: the web tarball without its sorting.
status=0
out=$(tools/check-reproducible --reuse-node-modules \
    --build "sed -i 's/ --sort=name / /' tools/release && tools/release --parts web --allow-dirty" 2>&1) || status=$?
if [ "$status" -eq 0 ] || ! grep -q 'mnemora-.*-web.tar.gz .*DIFFERS' <<<"$out"; then
    echo "FAIL: a web tarball in file-system order went unnoticed:"; echo "$out"; failures=$((failures + 1))
else
    echo "ok: a web tarball in file-system order is caught"
fi

if out=$(tools/check-reproducible --build "$release" 2>&1) && grep -q 'src.tar.gz .*reproduced' <<<"$out"; then
    echo "ok: the same file without a plant reproduces"
else
    echo "FAIL: the unplanted source tarball did not reproduce:"; echo "$out"; failures=$((failures + 1))
fi
exit "$failures"
