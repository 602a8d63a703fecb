#!/usr/bin/env bash
# The Windows packages are reproducible: made twice, in two folders and at two
# times, from the programs `make windows-package` packaged, the zip and the
# installer are the same bytes.
# Usage: test_package_reproducible.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir=$1 build_dir=$2 version=$3
programs=("$build_dir/package/Mnemora-$version-win64/"*.exe)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for run in one two; do
    python3 "$source_dir/packaging/windows/package.py" --version "$version" --source "$source_dir" \
        --out "$work/$run" "${programs[@]}" >/dev/null
    sleep 1 # a clock that leaked into a package would now differ
done
status=0
for package in "Mnemora-$version-win64.zip" "Mnemora-$version-win64-setup.exe"; do
    if ! cmp "$work/one/$package" "$work/two/$package"; then
        echo "$package differs between two runs" >&2
        status=1
    fi
done
exit $status
