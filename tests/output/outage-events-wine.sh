#!/bin/sh
# Runs TestOutageEvents under Wine (the emulator, then the test and its arguments) with the event log's trace on, and
# checks what reached ReportEventW, which Wine traces and otherwise drops: the outage's two entries and nothing else,
# warning 2000 (0x800007d0 with its severity bits) with the reason, then information 1004 (0x400003ec) with how long it
# lasted and the reason. Wine writes a string's characters past ASCII as \xxxx.
set -u
emulator="$1"
shift
output="$(WINEDEBUG=-all,fixme+advapi,+eventlog "$emulator" "$@" 2>&1)"
status=$?
printf '%s\n' "$output"
[ "$status" -eq 0 ] || exit "$status"

# Each call as its type, ID and number of strings; then each string with the channel its type traces on.
calls="$(printf '%s\n' "$output" | sed -n 's/.*fixme:advapi:ReportEventW (\([^)]*\)).*/\1/p' | cut -d, -f2,4,6)"
strings="$(printf '%s\n' "$output" | sed -n 's/^[0-9a-f]*:\([a-z]*:eventlog:ReportEventW .*\)$/\1/p')"
reason='L"\4fdd\5b58\ff8c\ff6b\ff99\ff80\ff9e\304c\5b58\5728\3057\307e\305b\3093 : Z:\\\53d7\4fe1"'
length='L"2\6642\95935\5206"'
expected_calls='0x0002,0x800007d0,0x0001
0x0004,0x400003ec,0x0002'
expected_strings="warn:eventlog:ReportEventW $reason
trace:eventlog:ReportEventW $length
trace:eventlog:ReportEventW $reason"
if [ "$calls" != "$expected_calls" ] || [ "$strings" != "$expected_strings" ]; then
    printf 'outage-events-wine: ReportEventW was given\n%s\n%s\nexpected\n%s\n%s\n' "$calls" "$strings" \
        "$expected_calls" "$expected_strings" >&2
    exit 1
fi
echo "outage-events-wine: two ReportEventW calls, as expected"
