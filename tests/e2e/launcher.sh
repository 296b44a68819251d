#!/bin/bash
# Runs inside the simulated Mac for the end-to-end driver and starts the program
# when told, so that several launches share one simulated disk. Reads commands
# on standard input, one a line, and answers each on standard output:
#   launch   starts PROGRAM (its output goes to LOG)      -> "launched"
#   wait     waits until it ends                          -> "exited STATUS"
#   kill     kills it with SIGKILL, as a forced quit does  -> "exited STATUS"
# Usage: launcher.sh PROGRAM LOG
program=$1 log=$2
# A scenario that is not online has no network for the program's readiness check
# either: port 9 of the loopback refuses every connection.
. /.macsim/machine.env
[[ $MACSIM_ONLINE == 1 ]] || export BNCH_AUTOMATION_NETWORK_CHECK=http://127.0.0.1:9/
pid=
while read -r command; do
  case $command in
    launch)
      "$program" >>"$log" 2>&1 &
      pid=$!
      echo launched
      ;;
    wait | kill)
      [[ $command == kill ]] && kill -KILL "$pid"
      wait "$pid" 2>/dev/null  # (bash would report a killed job)
      echo "exited $?"
      ;;
    *) echo "unknown command: $command" ;;
  esac
done
