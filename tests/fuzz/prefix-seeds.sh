#!/bin/sh
# prefix-seeds.sh OCTAL FOLDER FILE...: copies each file into FOLDER with
# the byte \OCTAL in front (the decode harness's format choice).
set -eu
byte=$1 folder=$2
shift 2
for file in "$@"; do
  { printf "\\$byte"; cat "$file"; } > "$folder/$(basename "$file")"
done
