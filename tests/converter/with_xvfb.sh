#!/bin/bash
# Runs a command under a virtual X server of its own. xvfb-run -a picks the first free
# display number and races with servers starting at the same moment (another build's tests
# on this machine): the search starts at a number of this process's own.
exec xvfb-run -a -n $((100 + $$ % 800)) -s "-screen 0 1024x768x24" "$@"
