#!/usr/bin/env bash
# Stands in for kvx3-sim where the smoke script itself is under test: a plain
# X window (xmessage) whose behaviour the first line of ./fake-mode beside it
# picks:
#   good          window "Kavex3"; Escape ends it, and it writes its settings
#   no-settings   window "Kavex3"; Escape ends it, no settings are written
#   deaf          window "Kavex3" that Escape does not close
#   other-title   a window with another title
#   crash         no window; ends at once with status 3
#   bad-status    window "Kavex3"; Escape ends it with status 1 after writing settings
set -u
mode=$(head -n1 "$(dirname "$0")/fake-mode")
escape_exits() { # STATUS
    printf 'xmessage*translations: #override <Key>Escape: exit(%s)' "$1"
}
write_settings() {
    mkdir -p "$XDG_CONFIG_HOME/Quorvane"
    printf '[HKEY_CURRENT_USER\\Software\\Quorvane\\kvx3-sim\\Settings\\Device]\n"PIC"="PIC16F873A"\n' \
        >"$XDG_CONFIG_HOME/Quorvane/kvx3-sim.conf"
}
case "$mode" in
good)
    xmessage -title Kavex3 -xrm "$(escape_exits 0)" "simulated window" || exit $?
    write_settings
    ;;
no-settings) exec xmessage -title Kavex3 -xrm "$(escape_exits 0)" "simulated window" ;;
deaf) exec xmessage -title Kavex3 "simulated window" ;;
other-title) exec xmessage -title Other -xrm "$(escape_exits 0)" "simulated window" ;;
crash)
    echo "cannot open the display" >&2
    exit 3
    ;;
bad-status)
    xmessage -title Kavex3 -xrm "$(escape_exits 1)" "simulated window"
    write_settings
    exit 1
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 9
    ;;
esac
