#!/bin/sh
# The kernel's layers look down only: the renderer (kern/video/) and the
# allocator (kern/memory) never include the console, the command registry
# or the command table; they are told where to write, or their callers
# write. Fails naming every include that runs back up.
#
# usage: layers.sh SOURCE_DIR
set -eu
cd "$1"
UPPER='"kern/(console|command|commands|echo|input)\.h"'
bad=$(grep -nE "#include $UPPER" kern/video/*.cpp kern/video/*.h kern/memory.cpp kern/memory.h || true)
if [ -n "$bad" ]; then
    echo "includes that run back up:"
    echo "$bad"
    exit 1
fi
echo "the renderer and the allocator include nothing above them"
