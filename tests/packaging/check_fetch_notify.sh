#!/usr/bin/env bash
# The daily fetch's script (desktop/tavrin-fetch-notify) with a stand-in
# tavrin-cli beside it and a stand-in notify-send on the path:
#   check_fetch_notify.sh SOURCE_DIR
# It runs `tavrin-cli fetch prices --report`, passes its exit status on,
# shows the report (or the failure) through notify-send when there is one,
# runs without one, and never shows the key.
set -euo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/bin" "$work/tools"
cp "$source/desktop/tavrin-fetch-notify" "$work/bin/"
[ -x "$work/bin/tavrin-fetch-notify" ] || fail "desktop/tavrin-fetch-notify is not executable"
# The tools the script may use, and nothing else: no notify-send of this machine.
for t in sh awk sed grep head tail wc cat mktemp rm dirname; do ln -s "$(command -v "$t")" "$work/tools/$t"; done
# tavrin-cli: records its arguments; prints what CLI_OUT and CLI_ERR say and exits with CLI_STATUS.
cat >"$work/bin/tavrin-cli" <<'CLI'
#!/bin/sh
printf '%s\n' "$*" >"$RECORD/cli-args"
[ -z "${CLI_OUT:-}" ] || printf '%s\n' "$CLI_OUT"
[ -z "${CLI_ERR:-}" ] || printf '%s\n' "$CLI_ERR" >&2
exit "${CLI_STATUS:-0}"
CLI
# notify-send: records each argument on a line of its own.
mkdir -p "$work/notify"
cat >"$work/notify/notify-send" <<'NOTIFY'
#!/bin/sh
for a in "$@"; do printf '%s\n' "$a"; done >"$RECORD/notify-args"
NOTIFY
chmod +x "$work/bin/tavrin-cli" "$work/notify/notify-send"

key=secret-key-4711
run() {  # run PATH_EXTRA; the status in $status, stdout in $work/out
  rm -f "$work"/record/*
  mkdir -p "$work/record"
  set +e
  env -i PATH="$1$work/tools" RECORD="$work/record" TAVRIN_JQUANTS_API_KEY="$key" CLI_OUT="${CLI_OUT:-}" \
    CLI_ERR="${CLI_ERR:-}" CLI_STATUS="${CLI_STATUS:-0}" "$work/bin/tavrin-fetch-notify" >"$work/out" 2>"$work/err"
  status=$?
  set -e
}

# A fetch with its report: shown under the title "Tavrin", markup characters escaped.
CLI_OUT=$'2026-12-08: 3,812 stocks\n7203 トヨタ自動車: B1 横這から上昇\n8411 S&P <test>' CLI_ERR= CLI_STATUS=0
run "$work/notify:"
[ "$status" -eq 0 ] || fail "status $status after a fetch that worked"
[ "$(cat "$work/record/cli-args")" = "fetch prices --report" ] || fail "tavrin-cli was run as: $(cat "$work/record/cli-args")"
grep -qx 'Tavrin' "$work/record/notify-args" || fail "no notification titled Tavrin: $(cat "$work/record/notify-args")"
grep -qx '7203 トヨタ自動車: B1 横這から上昇' "$work/record/notify-args" || fail "the report is not in the notification"
grep -qx '8411 S&amp;P &lt;test&gt;' "$work/record/notify-args" || fail "markup characters are not escaped"
grep -q '横這から上昇' "$work/out" || fail "the report does not reach the journal"

# A long report is cut to 30 lines and says how many more there were.
CLI_OUT=$(seq 1 45 | sed 's/^/line /')
run "$work/notify:"
grep -qx 'line 30' "$work/record/notify-args" || fail "the first 30 lines are not shown"
! grep -qx 'line 31' "$work/record/notify-args" || fail "a long report is not cut"
grep -q 'ほか 15 行' "$work/record/notify-args" || fail "the lines left out are not counted"

# A failure: its status is passed on, its message shown without the progress
# before it, the key masked wherever it appears.
CLI_OUT="partial $key"
CLI_ERR=$'fetching 2024-12-02 (1/3)\ntavrin-cli: fetch prices: the key '"$key"$' was refused (HTTP 401)' CLI_STATUS=3
run "$work/notify:"
[ "$status" -eq 3 ] || fail "status $status, not tavrin-cli's 3"
grep -q 'was refused (HTTP 401)' "$work/record/notify-args" || fail "the failure is not in the notification"
! grep -q 'fetching' "$work/record/notify-args" || fail "the progress is in the notification"
grep -q 'fetching 2024-12-02' "$work/err" || fail "the progress does not reach the journal"
grep -qx -- '--urgency=critical' "$work/record/notify-args" || fail "a failure is not urgent"
! grep -q "$key" "$work/record/notify-args" "$work/out" "$work/err" || fail "the key was shown"

# A failure without a message still says so.
CLI_OUT= CLI_ERR= CLI_STATUS=2
run "$work/notify:"
grep -q '終了コード 2' "$work/record/notify-args" || fail "a silent failure is not reported"

# Without notify-send: the fetch runs and its status is passed on.
CLI_OUT="report" CLI_ERR= CLI_STATUS=0
run ""
[ "$status" -eq 0 ] || fail "status $status without notify-send"
[ -f "$work/record/cli-args" ] || fail "tavrin-cli did not run without notify-send"
[ ! -e "$work/record/notify-args" ] || fail "a notification without notify-send"
grep -qx report "$work/out" || fail "the report does not reach the journal without notify-send"
echo "ok: fetch notify"
