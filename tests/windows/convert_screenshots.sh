#!/usr/bin/env bash
# Turns the dialog pictures that the Windows tests saved into PNG files, and
# fails when one of them is missing.
set -euo pipefail
folder=$1
status=0
for name in properties-zh properties-ja properties-de uninstall-zh uninstall-ja uninstall-de; do
  if [ -f "$folder/$name.bmp" ]; then
    convert "$folder/$name.bmp" "$folder/$name.png"
    echo "$folder/$name.png"
  else
    echo "missing: $folder/$name.bmp" >&2
    status=1
  fi
done
exit $status
