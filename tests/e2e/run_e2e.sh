#!/usr/bin/env bash
# End-to-end run of the built program, unchanged.
#
#   bash run_e2e.sh <korvelin binary> <build tests dir> <source dir>
#
# The script re-runs itself inside a private network, mount and process namespace
# (unshare; as root, or as a mapped root in a user namespace otherwise). There it brings
# the loopback interface up, bind-mounts a hosts file that points every marketplace host,
# the mail host and the SMS gateway at 127.0.0.1, starts Xvfb with a system tray (trayer)
# and runs each case against a fresh copy of the binary in an empty folder. Every wait is
# bounded; when the script ends, the namespace's process tree ends with it. Screenshots and
# logs go to <build tests dir>/e2e. The last line is "N passed, M failed".
set -uo pipefail

# ------------------------------------------------------------------------------------------
# Outside: check the tools, then enter the namespaces.

if [[ "${1:-}" != --inside ]]; then
  if (( $# != 3 )); then
    echo "usage: run_e2e.sh <korvelin binary> <build tests dir> <source dir>" >&2
    exit 2
  fi
  for tool in unshare Xvfb trayer xdotool xwininfo import ip iconv timeout; do
    if ! command -v "$tool" >/dev/null; then
      echo "e2e: $tool is missing (scripts/setup installs it)"
      echo "0 passed, 1 failed"
      exit 1
    fi
  done
  ns=(--net --mount --pid --fork --mount-proc --kill-child)
  # Root creates the namespaces directly; anyone else (or a root without the capability, as
  # in some containers) through a user namespace in which it is root.
  if ! unshare "${ns[@]}" true 2>/dev/null; then
    ns=(--map-root-user "${ns[@]}")
    if ! unshare "${ns[@]}" true 2>/dev/null; then
      echo "e2e: cannot create network, mount and process namespaces here (unshare refused)"
      echo "0 passed, 1 failed"
      exit 1
    fi
  fi
  timeout -k 10 540 unshare "${ns[@]}" bash "$0" --inside "$(realpath "$1")" \
    "$(realpath "$2")" "$(realpath "$3")"
  rc=$?
  if (( rc == 124 || rc == 137 )); then
    echo "e2e: the run did not end within 540 s and was stopped"
    echo "0 passed, 1 failed"
  fi
  exit "$rc"
fi

# ------------------------------------------------------------------------------------------
# Inside the namespaces.

binary=$2
tests_dir=$3
source_dir=$4
out_dir=$tests_dir/e2e
mkdir -p "$out_dir"
work=$(mktemp -d /tmp/korvelin-e2e.XXXXXX)
logs=$out_dir/logs
rm -rf "$logs"
mkdir -p "$logs" "$work/elsewhere"

list_name='监控列表_默认.txt'
title_pattern='^Korvelin - '
box_title='^信息：$'
main_title='Korvelin - 测试版 - 同一产品10分钟内不重复报警 - 监控范围(亚马逊)：中国 | 德国 | 日本 | 美国 | 加拿大 | 英国 | 法国 | 意大利 | 荷兰'
hosts=(www.amazon.cn www.amazon.de www.amazon.co.jp www.amazon.com www.amazon.ca
       www.amazon.co.uk www.amazon.fr www.amazon.it www.amazon.nl smtp.qq.com textbelt.com)

passed=0
failed=0
app_pid=""
helper_pids=()
ro_mounts=()
tray_base=0

say() { printf '%s\n' "$*"; }
pass() { passed=$((passed + 1)); say "ok   - $*"; }
fail() { failed=$((failed + 1)); say "FAIL - $*"; }
# expect <description> <command...>: one check; passes when the command succeeds.
expect() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

finish() {
  trap - EXIT
  stop_app
  local pid
  for pid in "${helper_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${helper_pids[@]}"; do wait "$pid" 2>/dev/null; done
  local m
  for m in "${ro_mounts[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$work"
  say "$passed passed, $failed failed"
  (( failed == 0 && passed > 0 ))
  exit $?
}
trap finish EXIT

# wait_for <seconds> <command...>: polls the command every 0.1 s until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  while ! "$@"; do
    (( SECONDS < deadline )) || return 1
    sleep 0.1
  done
}

start_namespace_env() {
  ip link set lo up || { fail "loopback up"; exit 1; }
  {
    echo "127.0.0.1 localhost"
    echo "127.0.0.1 ${hosts[*]}"
  } >"$work/hosts"
  mount --bind "$work/hosts" /etc/hosts || { fail "private hosts file"; exit 1; }
  unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER WAYLAND_DISPLAY
  export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home LANG=C.UTF-8 LC_ALL=C.UTF-8
  export QT_QPA_PLATFORM=xcb
  mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
  chmod 700 "$XDG_RUNTIME_DIR"

  # Xvfb picks a free display number itself and writes it to fd 5 once it accepts clients.
  Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset 5>"$work/display" \
    >"$logs/xvfb.log" 2>&1 &
  helper_pids+=($!)
  if ! wait_for 15 test -s "$work/display"; then fail "Xvfb starts"; exit 1; fi
  export DISPLAY=:$(head -n 1 "$work/display")
  # trayer is an XEmbed system tray; with it the program has a notification area.
  trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
    --transparent false >"$logs/trayer.log" 2>&1 &
  helper_pids+=($!)
  if ! wait_for 15 tray_window >/dev/null; then fail "trayer starts"; exit 1; fi
  sleep 0.5
  tray_base=$(tray_window_count)
  say "#  display $DISPLAY, tray window $(tray_window) with $tray_base windows inside"
}

tray_window() { xdotool search --classname panel 2>/dev/null | head -n 1 | grep .; }

# new_folder <name>: an empty folder for one case.
new_folder() {
  local dir=$work/$1
  rm -rf "$dir"
  mkdir -p "$dir"
  printf '%s' "$dir"
}

# start_app <folder> <log name>: copies the binary into the folder and starts it from
# another working directory, so the list file can only come from the program's own folder.
start_app() {
  local dir=$1
  [[ -e "$dir/korvelin" ]] || cp "$binary" "$dir/korvelin"
  (cd "$work/elsewhere" && exec "$dir/korvelin") >"$logs/$2.log" 2>&1 &
  app_pid=$!
}

app_alive() { [[ -n "$app_pid" ]] && kill -0 "$app_pid" 2>/dev/null; }

stop_app() {
  [[ -n "$app_pid" ]] || return 0
  kill "$app_pid" 2>/dev/null
  wait_for 5 bash -c "! kill -0 $app_pid 2>/dev/null" || kill -9 "$app_pid" 2>/dev/null
  wait "$app_pid" 2>/dev/null
  app_pid=""
}

# find_window <title regex>: the id of a visible window of that title, if any.
find_window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 | grep .; }

# wait_window <title regex> [seconds]: prints the window id; fails when the program ends or
# the time runs out first.
wait_window() {
  local deadline=$((SECONDS + ${2:-30})) id
  while (( SECONDS < deadline )); do
    if id=$(find_window "$1"); then
      printf '%s' "$id"
      return 0
    fi
    app_alive || return 1
    sleep 0.1
  done
  return 1
}

# settle: lets the program finish what it does right after its window appears.
settle() { sleep "${1:-1}"; }

file_size() { stat -c %s "$1" 2>/dev/null; }
no_file() { [[ ! -e "$1" ]]; }
same_bytes() { cmp -s "$1" "$2"; }
window_title_is() { [[ "$(xdotool getwindowname "$1" 2>/dev/null)" == "$2" ]]; }

# The built-in list as the program must write it: 17 lines in code page 936, each ending
# with CR LF. Written out here independently of the program's own table.
expected_default_list() {
  while IFS= read -r line; do printf '%s\r\n' "$line"; done <<'EOF' | iconv -f UTF-8 -t CP936
爱他美Pre----B00D8V08UK----60----德国
爱他美1----B00D8V0972----60----德国
爱他美2----B00D8V092W----38----德国
爱他美3----B00D8V09FE----60----德国
爱他美1+----B00BSNACII----60----德国
爱他美2+----B00BSNAC9C----42----德国
喜宝益生菌Pre----B004X0XATQ----42----德国
喜宝益生菌1----B004X0XB3G----37----德国
喜宝益生菌2----B004X0XBD6----60----德国
喜宝益生菌3----B004X0X9TC----60----德国
喜宝益生菌1+----B004X0XAFK----60----德国
喜宝益生菌2+----B004X0XALE----60----德国
喜宝有机Pre----B004X0XA6E----60----德国
喜宝有机1----B003R7KV34----60----德国
喜宝有机2----B0084CRNBA----60----德国
喜宝有机3----B008V8YZMM----60----德国
喜宝有机12----B007X2CL6E----60----德国
EOF
}

# screenshot <window id> <file>: the window's picture (the whole screen if that fails).
screenshot() {
  import -window "$1" "$2" 2>>"$logs/import.log" || import -window root "$2" 2>>"$logs/import.log"
}

# tray_window_count: the number of windows inside the tray; an icon embedded adds some.
tray_window_count() { xwininfo -tree -id "$(tray_window)" 2>/dev/null | grep -c '^ *0x'; }

# start_fake <program> <ready word> <args...>: starts a loopback fake from the build's test
# folder and waits until it prints its ready line. Its output goes to logs/<program>.out.
start_fake() {
  local program=$1 ready=$2
  shift 2
  if [[ ! -x "$tests_dir/$program" ]]; then
    fail "$program is built"
    return 1
  fi
  : >"$logs/$program.out"
  "$tests_dir/$program" "$@" >"$logs/$program.out" 2>&1 &
  helper_pids+=($!)
  if ! wait_for 10 grep -q "$ready" "$logs/$program.out"; then
    fail "$program starts ($(head -c 300 "$logs/$program.out"))"
    return 1
  fi
}

# http_get <host> <path>: a plain HTTP/1.0 GET through the namespace's hosts file, with
# bash's own sockets; prints the whole reply.
http_get() {
  local reply
  reply=$(timeout 5 bash -c 'exec 3<>"/dev/tcp/$0/80" && printf "GET %s HTTP/1.0\r\nHost: %s\r\n\r\n" "$1" "$0" >&3 && cat <&3' "$1" "$2" 2>/dev/null)
  printf '%s' "$reply"
}

# ------------------------------------------------------------------------------------------
# The cases.

case_namespace() {
  say "# the private network"
  expect "namespace: no interface but loopback" \
    bash -c '[[ "$(ip -o link show | grep -vc " lo:")" == 0 ]]'
  expect "namespace: www.amazon.de and smtp.qq.com resolve to 127.0.0.1" \
    bash -c '[[ "$(getent hosts www.amazon.de)" == 127.0.0.1* && "$(getent hosts smtp.qq.com | head -n 1)" == 127.0.0.1* ]]'
}

case_first_start() {
  say "# first start in an empty folder"
  local dir wid
  dir=$(new_folder first)
  start_app "$dir" first_start
  if ! wid=$(wait_window "$title_pattern"); then
    fail "first start: the main window appears"
    stop_app
    return
  fi
  pass "first start: the main window appears"
  settle
  expect "first start: the window title is exact" window_title_is "$wid" "$main_title"
  expect "first start: no message box" bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1"
  expected_default_list >"$work/expected_default.txt"
  expect "first start: $list_name holds the 17 built-in lines byte for byte" \
    same_bytes "$dir/$list_name" "$work/expected_default.txt"
  [[ -e "$dir/$list_name" ]] || say "#  folder holds: $(ls -A "$dir" | tr '\n' ' ')"
  expect "first start: the tray icon is embedded in the system tray" \
    test "$(tray_window_count)" -gt "$tray_base"

  # Pictures of both tab pages for the README: page 0 as it starts, then page 1.
  screenshot "$wid" "$out_dir/screenshot-monitor.png"
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key --clearmodifiers ctrl+Tab
  sleep 0.7
  screenshot "$wid" "$out_dir/screenshot-mail.png"
  if cmp -s "$out_dir/screenshot-monitor.png" "$out_dir/screenshot-mail.png"; then
    # The key did not reach the tab control: click the second tab instead.
    say "#  ctrl+Tab changed nothing; clicking the second tab"
    xdotool mousemove --window "$wid" 130 12 click 1
    sleep 0.7
    screenshot "$wid" "$out_dir/screenshot-mail.png"
  fi
  expect "first start: the second tab page shows something else than the first" \
    bash -c "! cmp -s '$out_dir/screenshot-monitor.png' '$out_dir/screenshot-mail.png'"
  expect "first start: the program is still running" app_alive
  stop_app
}

case_read_only_folder() {
  say "# start from a read-only folder"
  local dir wid
  dir=$(new_folder readonly)
  cp "$binary" "$dir/korvelin"
  # Root ignores file modes, so the folder is made read-only by a read-only bind mount.
  if ! mount --bind "$dir" "$dir" || ! mount -o remount,ro,bind "$dir"; then
    fail "read-only folder: read-only bind mount"
    return
  fi
  ro_mounts+=("$dir")
  if touch "$dir/probe" 2>/dev/null; then
    fail "read-only folder: the folder refuses writes"
    return
  fi
  start_app "$dir" read_only
  if ! wid=$(wait_window "$title_pattern"); then
    fail "read-only folder: the main window appears"
    stop_app
    return
  fi
  pass "read-only folder: the main window appears"
  settle 1.5
  expect "read-only folder: no message box" bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1"
  expect "read-only folder: no list file is created" no_file "$dir/$list_name"
  expect "read-only folder: nothing but the program in the folder" \
    test "$(ls -A "$dir")" == korvelin
  expect "read-only folder: the program is still running" app_alive
  stop_app
}

case_empty_list_file() {
  say "# start with an empty list file"
  local dir box wid
  dir=$(new_folder empty)
  : >"$dir/$list_name"
  start_app "$dir" empty_list
  if ! box=$(wait_window "$box_title"); then
    fail "empty list file: a message box titled 信息： appears"
    stop_app
    return
  fi
  pass "empty list file: a message box titled 信息： appears"
  expect "empty list file: the file is still empty while the box is open" \
    test "$(file_size "$dir/$list_name")" == 0
  # Confirm the box with its OK button (Return on the box's default button).
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key --clearmodifiers Return
  wait_for 5 bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1" ||
    { xdotool mousemove --window "$box" 10 10 click 1; xdotool key --window "$box" Return; }
  if wid=$(wait_window "$title_pattern" 20); then
    pass "empty list file: the main window appears after the box"
  else
    fail "empty list file: the main window appears after the box"
  fi
  settle
  expect "empty list file: the file stays 0 bytes" test "$(file_size "$dir/$list_name")" == 0
  expect "empty list file: the program is still running" app_alive
  stop_app
}

# ------------------------------------------------------------------------------------------

say "# korvelin end-to-end: $binary"
start_namespace_env
case_namespace
case_first_start
case_read_only_folder
case_empty_list_file
finish
