# Sourced by the end-to-end scripts: waiting for what a program under test does, and reading pixels.

# Waits up to $1 tenths of a second for a command to succeed.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# The colour of one pixel of a picture: pixel FILE X Y.
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }
