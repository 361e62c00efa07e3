#!/bin/sh
# Prints the number the map headers (hw/memmap.h, hw/ports.h) define as
# NAME, so that the scripts read an address or port from where it is
# written once; prints nothing if neither defines it.
#
#   tools/map_value.sh NAME
set -eu
hw=$(dirname "$0")/../hw
sed -n "s/^#define $1 *\(0x[0-9A-Fa-f]*\).*/\1/p" "$hw/memmap.h" "$hw/ports.h"
