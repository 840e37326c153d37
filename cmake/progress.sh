#!/bin/sh
# Runs a build command quietly: its "[ 42%] Building ..." and "Built target" lines become one
# progress line that counts up in place on a terminal (and are left out elsewhere); anything
# else, such as a warning or an error, is shown as it comes. Ends with the command's status.
#   cmake/progress.sh cmake --build build --target ruk
status_file=$(mktemp) || exit 1
trap 'rm -f "$status_file"' EXIT
if [ -t 1 ]; then tty=1; else tty=0; fi
{ "$@" 2>&1; echo $? >"$status_file"; } | awk -v tty="$tty" '
  /^\[ *[0-9]+%\] / {
    if (tty) {
      gsub(/\033\[[0-9;]*m/, "")  # make colours these lines when it writes to a terminal
      name = $NF
      sub(/^.*CMakeFiles\/[^\/]*\.dir\//, "", name)
      sub(/\.o$/, "", name)
      printf "\r  %s %s\033[K", substr($0, 1, index($0, "]")), name
      fflush()
      shown = 1
    }
    next
  }
  {
    if (shown) { printf "\r\033[K"; shown = 0 }
    print; fflush()
  }
  END { if (shown) printf "\r\033[K" }
'
status=$(cat "$status_file")
exit "${status:-1}"
