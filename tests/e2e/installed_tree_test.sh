#!/usr/bin/env bash
# The install step makes a runnable tree: `cmake --install` into a fresh prefix,
# then the installed benchkit-doctor finds the installed resources (not the
# source tree's) and reports the build's version, and the installed window opens
# in the simulated Mac and walks its first screens.
# Usage: installed_tree_test.sh BUILD_DIR MACSIM SCENARIO VERSION
set -euo pipefail
build=$1 macsim=$2 scenario=$3 version=$4
prefix=$(mktemp -d)
chmod 755 "$prefix"  # the simulated user runs the installed programs
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
config=$(env -u BNCH_RESOURCES_DIR "$prefix/bin/benchkit-doctor" config --json)
field() { python3 -c 'import json,sys; print(json.load(sys.stdin)[sys.argv[1]])' "$1" <<<"$config"; }
[[ "$(field resourcesDirectory)" == "$prefix/Resources" ]] ||
  fail "the installed doctor found its resources in $(field resourcesDirectory), not $prefix/Resources"
[[ "$(field appVersion)" == "$version" ]] || fail "the installed doctor reports version $(field appVersion), not $version"
for folder in example-projects/Python-Example-Project skills; do
  [[ -d "$prefix/Resources/$folder" ]] || fail "$folder is missing from the installed resources"
done

shots=$prefix/screens
mkdir "$shots"
[[ $EUID -eq 0 ]] && chown 501:20 "$shots"  # the simulated user writes them
"$macsim" run "$scenario" --ro "$prefix" --share "$shots" --env QT_QPA_PLATFORM=offscreen \
  --env QT_QUICK_BACKEND=software --env "BNCH_SCREENSHOTS=$shots" --env "XDG_RUNTIME_DIR=$shots" \
  -- "$prefix/bin/benchkit-python" 2>/dev/null ||
  fail "the installed benchkit-python exited with $?"
for screen in consent welcome; do
  [[ -s "$shots/$screen-light.png" ]] || fail "the installed window never showed the $screen screen"
done
echo "installed tree: resources, version and window all right"
