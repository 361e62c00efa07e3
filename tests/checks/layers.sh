#!/bin/sh
# The kernel's layers look down only: the renderer (kern/video/), the
# allocator (kern/memory) and the command registry (kern/command) never
# include the console or the command table, nor the first two the registry;
# they are told where to write, or their callers write. Fails naming every
# include that runs back up.
#
# usage: layers.sh SOURCE_DIR
set -eu
cd "$1"
UPPER='"kern/(console|command|commands|echo|input)\.h"'
bad=$( (grep -nE "#include $UPPER" kern/video/*.cpp kern/video/*.h kern/memory.cpp kern/memory.h;
       grep -nE '#include "kern/(console|commands|echo|input)\.h"' kern/command.cpp kern/command.h) || true)
if [ -n "$bad" ]; then
    echo "includes that run back up:"
    echo "$bad"
    exit 1
fi
echo "the renderer, the allocator and the command registry include nothing above them"
