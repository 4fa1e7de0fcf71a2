#!/usr/bin/env bash
# Runs one Windows program (a test or KORVEN.exe) under the project's Wine prefix and returns its exit code.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
korven_wine_prefix || exit 1
exec wine "$@"
