#!/bin/sh
# Shared code of the simulated Mac's command-line tools (POSIX sh; runs under dash).
#
# Every stub (<root>/usr/bin/x, <root>/usr/sbin/x) sets SIM_ROOT to the root folder and
# sources <root>/.sim/lib.sh (a symlink to this file), then calls
#     sim_main <tool> "$@"
# sim_main turns the exact arguments into a key, records the call when <root>/.sim/calls.log
# exists, and replays <key>.out / .err / .status from .sim/override/ or else .sim/data/.
# It never returns: it exits with the replayed status.

SIM_DIR=$SIM_ROOT/.sim

# The line break, for the loops below that cut text at line breaks.
sim_nl='
'
# Blanks that may stand around a number in a fixture file: space, tab and carriage return.
sim_blank=" $(printf '\t\r')"

# sim_escape TEXT: prints TEXT with every line break written as the two characters \n,
# so that one call always takes exactly one line of calls.log.
sim_escape() {
    sim_rest=$1
    sim_out=
    while :; do
        case $sim_rest in
            *"$sim_nl"*)
                sim_out=$sim_out${sim_rest%%"$sim_nl"*}'\n'
                sim_rest=${sim_rest#*"$sim_nl"}
                ;;
            *)
                sim_out=$sim_out$sim_rest
                break
                ;;
        esac
    done
    printf '%s' "$sim_out"
}

# sim_log KEY FIELD...: appends "KEY<TAB>FIELD<TAB>FIELD..." to calls.log, if it exists.
# Recording is opt-in: nothing is written unless someone created the file.
sim_log() {
    [ -f "$SIM_DIR/calls.log" ] || return 0
    sim_line=$1
    shift
    for sim_a in "$@"; do
        sim_line="$sim_line	$(sim_escape "$sim_a")"
    done
    # One printf per call, so concurrent callers append whole lines.
    printf '%s\n' "$sim_line" >>"$SIM_DIR/calls.log"
}

# sim_file KEY EXT: sets sim_f to the file that answers for KEY.EXT (override first, then the
# bundled data); returns 1 and leaves sim_f empty when neither exists.
sim_file() {
    sim_f=$SIM_DIR/override/$1.$2
    [ -f "$sim_f" ] && return 0
    sim_f=$SIM_DIR/data/$1.$2
    [ -f "$sim_f" ] && return 0
    sim_f=
    return 1
}

# sim_status KEY: sets sim_st to the exit status recorded for KEY (0 when there is none).
# A status file that does not hold a number 0-255 is a broken fixture: say so and fail with 70
# rather than quietly reporting success.
sim_status() {
    sim_st=0
    sim_file "$1" status || return 0
    sim_raw=$(tr -d ' \t\r\n' <"$sim_f")
    case $sim_raw in
        '' | *[!0-9]*)
            printf 'sim: %s does not hold an exit status (a number 0-255)\n' "$sim_f" >&2
            sim_st=70
            return 0
            ;;
    esac
    # Strip leading zeros so "010" means 10 and not an octal number or an error.
    sim_raw=${sim_raw#"${sim_raw%%[!0]*}"}
    [ -n "$sim_raw" ] || sim_raw=0
    if [ ${#sim_raw} -gt 3 ] || [ "$sim_raw" -gt 255 ]; then
        printf 'sim: %s does not hold an exit status (a number 0-255)\n' "$sim_f" >&2
        sim_st=70
        return 0
    fi
    sim_st=$sim_raw
}

# sim_delay KEY: waits the seconds held in KEY.delay, if there is one, before the call answers;
# that is how a simulated Mac is made as slow as a real one. The value must be a plain decimal
# such as 2 or 0.25 (sleep takes the fraction); anything else is a broken fixture, refused with 70
# rather than answered at the wrong speed.
sim_delay() {
    sim_file "$1" delay || return 0
    sim_raw=$(cat "$sim_f") || sim_raw=
    # Blanks around the number are harmless; blanks inside it are not and stay to be refused.
    sim_raw=${sim_raw#"${sim_raw%%[!"$sim_blank"]*}"}
    sim_raw=${sim_raw%"${sim_raw##*[!"$sim_blank"]}"}
    case $sim_raw in
        '' | *[!0-9.]* | .* | *. | *.*.*)
            printf 'sim: %s does not hold a delay (seconds, such as 0.25)\n' "$sim_f" >&2
            exit 70
            ;;
    esac
    case $sim_raw in
        *[1-9]*) sleep "$sim_raw" ;;
    esac
}

# sim_reply KEY: prints KEY's standard output and standard error byte for byte and exits with
# its status.
sim_reply() {
    sim_status "$1"
    if sim_file "$1" out; then cat "$sim_f"; fi
    if sim_file "$1" err; then cat "$sim_f" >&2; fi
    exit "$sim_st"
}

# sim_usage TEXT: unknown arguments get a usage line and the conventional usage status 64.
sim_usage() {
    printf 'usage: %s\n' "$1" >&2
    exit 64
}

# sim_defaults_read PATH KEY: what `defaults read PATH KEY` prints for an XML property list:
# the value of a top-level key of the file <root>PATH, followed by a line break.
sim_defaults_read() {
    sim_missing="The domain/default pair of ($1, $2) does not exist"
    # A ".." component would let the path climb out of the simulated Mac.
    case /$1/ in
        */../*)
            printf '%s\n' "$sim_missing" >&2
            exit 1
            ;;
    esac
    sim_plist=$SIM_ROOT$1
    if [ ! -f "$sim_plist" ] || [ ! -r "$sim_plist" ]; then
        printf '%s\n' "$sim_missing" >&2
        exit 1
    fi
    # Exit codes of the reader: 0 printed, 1 no such key, 2 value is a dictionary or an
    # array, 3 binary property list.
    SIM_WANT=$2 awk '
        NR == 1 && substr($0, 1, 6) == "bplist" { binary = 1; exit }
        { text = text $0 "\n" }
        END {
            if (binary) exit 3
            want = ENVIRON["SIM_WANT"]
            depth = 0
            found = 0
            while (match(text, /<[^>]*>/)) {
                tag = substr(text, RSTART, RLENGTH)
                text = substr(text, RSTART + RLENGTH)
                if (tag ~ /^<[?!]/) continue
                if (found) {
                    if (tag == "<dict>" || tag == "<array>" || tag == "<dict/>" || tag == "<array/>") exit 2
                    if (tag == "<true/>") { print "1"; exit 0 }
                    if (tag == "<false/>") { print "0"; exit 0 }
                    if (tag == "<string/>") { print ""; exit 0 }
                    end = index(text, "<")
                    value = substr(text, 1, end - 1)
                    gsub(/&lt;/, "<", value)
                    gsub(/&gt;/, ">", value)
                    gsub(/&quot;/, "\"", value)
                    gsub(/&apos;/, "\047", value)
                    gsub(/&amp;/, "\\&", value)
                    print value
                    exit 0
                }
                if (tag == "<dict>" || tag == "<array>") { depth++; continue }
                if (tag == "</dict>" || tag == "</array>") { depth--; continue }
                if (tag == "<key>") {
                    end = index(text, "</key>")
                    name = substr(text, 1, end - 1)
                    text = substr(text, end + 6)
                    # Only keys of the outermost dictionary count, as with the real tool.
                    if (depth == 1 && name == want) found = 1
                }
            }
            exit 1
        }' "$sim_plist"
    case $? in
        0) exit 0 ;;
        1) printf '%s\n' "$sim_missing" >&2 ;;
        2) printf 'sim: %s in %s is not a plain value; this stand-in prints plain values only\n' "$2" "$1" >&2 ;;
        3) printf 'sim: %s is a binary property list; this stand-in reads XML property lists only\n' "$1" >&2 ;;
        *) printf 'sim: could not read %s\n' "$1" >&2 ;;
    esac
    exit 1
}

# sim_main TOOL ARG...: the whole life of one simulated tool call.
sim_main() {
    sim_tool=$1
    shift
    sim_key=
    case $sim_tool in
        csrutil)
            if [ $# -eq 1 ] && [ "$1" = status ]; then
                sim_key=csrutil-status
            elif [ $# -eq 2 ] && [ "$1" = authenticated-root ] && [ "$2" = status ]; then
                sim_key=csrutil-authenticated-root
            else
                sim_usage 'csrutil status | csrutil authenticated-root status'
            fi
            ;;
        spctl)
            { [ $# -eq 1 ] && [ "$1" = --status ]; } || sim_usage 'spctl --status'
            sim_key=spctl-status
            ;;
        fdesetup)
            { [ $# -eq 1 ] && [ "$1" = status ]; } || sim_usage 'fdesetup status'
            sim_key=fdesetup-status
            ;;
        system_profiler)
            if [ $# -eq 1 ]; then
                case $1 in
                    SPiBridgeDataType | SPHardwareDataType | SPDisplaysDataType) sim_key=system_profiler-$1 ;;
                esac
            fi
            [ -n "$sim_key" ] || sim_usage 'system_profiler SPiBridgeDataType | SPHardwareDataType | SPDisplaysDataType'
            ;;
        softwareupdate)
            if [ $# -eq 1 ] && [ "$1" = -l ]; then
                sim_key=softwareupdate-list
            elif [ $# -eq 2 ] && [ "$2" = --include-config-data ]; then
                case $1 in
                    -l) sim_key=softwareupdate-list ;;
                    -ia) sim_key=softwareupdate-install-all ;;
                    -da) sim_key=softwareupdate-download-all ;;
                esac
            elif [ $# -eq 3 ] && [ "$2" = --include-config-data ] && [ -n "$3" ]; then
                case $1 in
                    -i) sim_key=softwareupdate-install-named ;;
                    -d) sim_key=softwareupdate-download-named ;;
                esac
            fi
            [ -n "$sim_key" ] || sim_usage 'softwareupdate -l [--include-config-data] | -ia|-da --include-config-data | -i|-d --include-config-data <label>'
            ;;
        AssetCacheManagerUtil)
            { [ $# -eq 1 ] && [ "$1" = isActivated ]; } || sim_usage 'AssetCacheManagerUtil isActivated'
            sim_key=AssetCacheManagerUtil-isActivated
            ;;
        defaults)
            if [ $# -eq 3 ] && [ "$1" = read ]; then
                case $2 in
                    /*) sim_key=defaults-read ;;
                esac
            fi
            [ -n "$sim_key" ] || sim_usage 'defaults read </absolute/path/Info.plist> <key>'
            ;;
        log)
            if [ $# -eq 8 ] && [ "$1" = show ] && [ "$2" = --predicate ] &&
                [ "$3" = 'subsystem == "com.apple.XProtectFramework.PluginAPI" AND category == "XPEvent.structured"' ] &&
                [ "$4" = --style ] && [ "$5" = json ] && [ "$6" = --info ] && [ "$7" = --last ] && [ "$8" = 1d ]; then
                sim_key=log-show-xpr
            elif [ $# -eq 3 ] && [ "$1" = show ] && [ "$2" = --last ] && [ "$3" = 2 ]; then
                sim_key=log-show-last
            else
                sim_usage 'log show --predicate <XProtect Remediator predicate> --style json --info --last 1d | log show --last 2'
            fi
            ;;
        id)
            { [ $# -eq 2 ] && [ "$1" = -G ] && [ -n "$2" ]; } || sim_usage 'id -G <user>'
            sim_key=id-G
            ;;
        osascript)
            [ $# -eq 0 ] || sim_usage 'osascript  (the script comes on standard input)'
            # Read the whole script; the trailing x keeps final line breaks that $(...) would drop.
            sim_script=$(cat; printf x)
            sim_script=${sim_script%x}
            sim_log osascript "$sim_script"
            sim_delay osascript
            sim_reply osascript
            ;;
        open)
            { [ $# -eq 1 ] && [ -n "$1" ]; } || sim_usage 'open <address>'
            sim_key=open
            ;;
        *)
            printf 'sim: no simulated tool called %s\n' "$sim_tool" >&2
            exit 70
            ;;
    esac

    sim_log "$sim_key" "$@"
    sim_delay "$sim_key"

    if [ "$sim_key" = defaults-read ] &&
        [ ! -f "$SIM_DIR/override/defaults-read.out" ] && [ ! -f "$SIM_DIR/override/defaults-read.status" ]; then
        sim_defaults_read "$2" "$3"
    fi
    sim_reply "$sim_key"
}
