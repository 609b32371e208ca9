#!/usr/bin/env bash
# Builds the release packages in dist/: installs what that needs, then runs
# tools/release/make_release.sh (which says what the packages hold).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release
exec tools/release/make_release.sh "$@"
