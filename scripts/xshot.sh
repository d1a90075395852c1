#!/usr/bin/env bash
# A picture of a whole X display, for trying the client on a virtual display (Xvfb):
#   scripts/xshot.sh :97 /tmp/shot.png
#
# The root window is read in one request (ImageMagick's import), which gives exactly what the
# screen shows. `xwd -root` does not: every window the client opens has a colormap of its own
# (Qt creates one per visual, not the screen's default), so xwd reads the screen window by window,
# and a window lying wholly inside a lower one of the same kind (a message box, a modal dialog or
# a popup over its owner) is read through that lower window, whose hidden part the X server hands
# back black. Such windows then look like black rectangles in the picture although they are drawn
# on the screen; moving them partly outside their owner makes them appear.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 DISPLAY OUT.png" >&2
  exit 2
fi
if ! command -v import >/dev/null 2>&1; then
  echo "$0: ImageMagick's import is needed (apt-get install imagemagick)" >&2
  exit 1
fi
DISPLAY="$1" import -window root "$2"
