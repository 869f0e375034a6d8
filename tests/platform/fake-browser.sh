#!/bin/sh
# Stands in for tressik-browser: records its arguments and every line it is
# sent, and behaves as FAKE_BROWSER_MODE says.
log="$FAKE_BROWSER_LOG"
printf '%s\n' "$@" >"$log.args"
echo $$ >>"$log.pids"
case "${FAKE_BROWSER_MODE:-}" in
  fail) exit 3 ;;
  crash) echo shown; sleep 0.2; kill -SEGV $$ ;;
  noisy) echo "Opening a window"; printf '%0300d\n' 0; printf 'sho'; sleep 0.1; echo wn ;;
  userclose) echo shown; sleep 0.2; echo closed; exit 0 ;;
  # Never answers, never reads, never goes of itself.
  silent) exec sleep 600 ;;
  # Says its window is gone, then stays.
  linger) echo shown; sleep 0.2; echo closed; exec sleep 600 ;;
  *) echo shown ;;
esac
while IFS= read -r line; do
  echo "$line" >>"$log"
  if [ "$line" = close ]; then echo closed; exit 0; fi
done
echo "(end of input)" >>"$log"
