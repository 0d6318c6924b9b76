#!/usr/bin/env bash
# The help file holds the start page, the three topics the program opens
# and the pages on repair, removable disks, the tray and the command line.
set -euo pipefail
pages=$(chmls list "$1" 2>/dev/null)
for page in "/index.htm" "/Splitting a file.htm" "/Joining split files.htm" "/Setting up options.htm" \
            "/Repairing and protecting a set.htm" "/The command line.htm" \
            "/Removable disks.htm" "/The tray and the window.htm" \
            "/Corvane Split.hhc" "/Corvane Split.hhk"; do
  if ! grep -qF "$page" <<<"$pages"; then
    echo "missing from $1: $page" >&2
    exit 1
  fi
done
echo "help file: 8 pages, contents and index present"
