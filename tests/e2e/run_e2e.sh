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
  if [[ ! -x "$1" || ! -d "$2" ]]; then
    echo "e2e: no program at $1 or no test folder at $2"
    echo "0 passed, 1 failed"
    exit 1
  fi
  for tool in unshare Xvfb trayer openbox xdotool xwininfo xprop import convert ip iconv timeout \
              sqlite3 cmake; do
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
build_dir=$(dirname "$tests_dir")
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
fake_pids=()
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
  stop_fakes
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
  # The program verifies the certificates of the mail server, the SMS gateway and the
  # marketplaces' product pages against the system's CA bundle: inside the namespace that
  # bundle is the tests' own authority, whose server certificate the fakes serve (--pki).
  mkdir -p "$work/pki"
  "$tests_dir/make_test_pki" "$work/pki" || { fail "test certificates"; exit 1; }
  mount --bind "$work/pki/ca.pem" /etc/ssl/certs/ca-certificates.crt ||
    { fail "private CA bundle"; exit 1; }
  unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER WAYLAND_DISPLAY
  export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home LANG=C.UTF-8 LC_ALL=C.UTF-8
  export QT_QPA_PLATFORM=xcb
  unset XDG_CURRENT_DESKTOP DESKTOP_SESSION BROWSER DEFAULT_BROWSER XDG_DATA_HOME XDG_CONFIG_HOME
  mkdir -p "$XDG_RUNTIME_DIR" "$HOME" "$work/bin"
  chmod 700 "$XDG_RUNTIME_DIR"
  # The desktop's opener, as the program finds it on PATH: it only records what it was given.
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s/opened.txt"\n' "$work" >"$work/bin/xdg-open"
  chmod +x "$work/bin/xdg-open"

  # Xvfb picks a free display number itself and writes it to fd 5 once it accepts clients.
  Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset 5>"$work/display" \
    >"$logs/xvfb.log" 2>&1 &
  helper_pids+=($!)
  if ! wait_for 15 test -s "$work/display"; then fail "Xvfb starts"; exit 1; fi
  export DISPLAY=:$(head -n 1 "$work/display")
  # trayer is an XEmbed system tray; with it the program has a notification area.
  if ! start_tray; then fail "trayer starts"; exit 1; fi
  sleep 0.5
  tray_base=$(tray_window_count)
  say "#  display $DISPLAY, tray window $(tray_window) with $tray_base windows inside"
}

tray_window() { xdotool search --classname panel 2>/dev/null | head -n 1 | grep .; }

# start_tray / stop_tray: the XEmbed system tray (trayer), as a desktop's panel starts and
# stops it.
tray_pid=""
start_tray() {
  trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true \
    --transparent false >>"$logs/trayer.log" 2>&1 &
  tray_pid=$!
  helper_pids+=("$tray_pid")
  wait_for 15 tray_window >/dev/null
}
stop_tray() {
  kill "$tray_pid" 2>/dev/null
  wait "$tray_pid" 2>/dev/null
  wait_for 5 bash -c '! xdotool search --classname panel >/dev/null 2>&1'
}

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
  launch "$dir/korvelin" "$2"
}

# launch <program> <log name> [VAR=value...]: starts the program from another working
# directory, with the stand-in xdg-open first on PATH and the given environment.
launch() {
  local program=$1 log=$2
  shift 2
  (cd "$work/elsewhere" && exec env PATH="$work/bin:$PATH" "$@" "$program") >"$logs/$log.log" 2>&1 &
  app_pid=$!
}

# install_prefix: installs the build into $prefix once (cmake --install) and mounts it
# read-only, as a program under /usr is.
prefix=""
install_prefix() {
  prefix=$work/prefix
  if [[ ! -e "$prefix/bin/korvelin" ]]; then
    cmake --install "$build_dir" --prefix "$prefix" >"$logs/install.log" 2>&1 || return 1
    mount --bind "$prefix" "$prefix" && mount -o remount,ro,bind "$prefix" || return 1
    ro_mounts+=("$prefix")
  fi
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

# main_window <case>: waits for the main window and puts its id into the caller's $wid; when
# it does not appear, records the failure and stops the program, and the caller returns.
main_window() {
  wid=$(wait_window "$title_pattern") && return 0
  fail "$1: the main window appears"
  stop_app
  return 1
}

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
tray_has_icon() { (( $(tray_window_count) > tray_base )); }
window_shown() { find_window "$1" >/dev/null; }

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
  fake_pids+=($!)
  if ! wait_for 10 grep -q "$ready" "$logs/$program.out"; then
    fail "$program starts ($(head -c 300 "$logs/$program.out"))"
    return 1
  fi
}

stop_fakes() {
  local pid
  for pid in "${fake_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${fake_pids[@]}"; do wait "$pid" 2>/dev/null; done
  fake_pids=()
}

# http_get <host> <path>: a plain HTTP/1.0 GET through the namespace's hosts file, with
# bash's own sockets; prints the whole reply.
http_get() {
  local reply
  reply=$(timeout 5 bash -c 'exec 3<>"/dev/tcp/$0/80" && printf "GET %s HTTP/1.0\r\nHost: %s\r\n\r\n" "$1" "$0" >&3 && cat <&3' "$1" "$2" 2>/dev/null)
  printf '%s' "$reply"
}

# The window has a fixed layout: the tab control sits at (-1, -1) of the client area and every
# control at a fixed place relative to it. These are client coordinates of control centres.
at_frequency=(84 116)        # 编辑框频率
at_start=(129 115)           # 按钮开始监控
at_stop=(183 115)            # 按钮停止监控
at_mail_alerts=(186 37)      # 选择框开启邮件通知
at_open_page=(77 61)         # 选择框自动打开链接
at_sms=(85 86)               # 选择框短息通知
at_phone=(222 85)            # 编辑框手机号码
at_add_product=(437 40)      # 按钮加入一个产品
at_sender=(152 61)           # 编辑框发件邮箱 (page 1)
at_password=(152 97)         # 编辑框发件密码 (page 1)
at_recipient=(152 132)       # 编辑框收件邮箱 (page 1)
at_connect=(256 133)         # 按钮重新链接邮件 (page 1)
# The product list view: its top-left corner, the height of its header and of a row, and the
# x of the row check boxes.
list_x=333
list_y=64
list_header=18
list_row=16
list_check_x=$((list_x + 12))

# click <window> <x> <y>: a left click at client coordinates of the window.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.3
}

# type_into <window> <x> <y> <text>: replaces the text of the edit box at (x, y).
type_into() {
  click "$1" "$2" "$3"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 30 "$4"
  sleep 0.2
}

# tick_row <window> <row index>: clicks the check box of a product row.
tick_row() {
  click "$1" "$list_check_x" $((list_y + 1 + list_header + $2 * list_row + list_row / 2))
}

next_tab() {
  xdotool windowfocus --sync "$1" 2>/dev/null
  xdotool key --clearmodifiers ctrl+Tab
  sleep 0.5
}

# requests_for <log> <code>: how many reviews-page requests of that code the fake received.
requests_for() { grep -c "^GET /product-reviews/$2 " "$1" 2>/dev/null; }

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
  main_window "first start" || return
  pass "first start: the main window appears"
  settle
  expect "first start: the window title is exact" window_title_is "$wid" "$main_title"
  expect "first start: no message box" bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1"
  expected_default_list >"$work/expected_default.txt"
  expect "first start: $list_name holds the 17 built-in lines byte for byte" \
    same_bytes "$dir/$list_name" "$work/expected_default.txt"
  [[ -e "$dir/$list_name" ]] || say "#  folder holds: $(ls -A "$dir" | tr '\n' ' ')"
  expect "first start: the tray icon is embedded in the system tray" wait_for 5 tray_has_icon
  # The mail password lives in memory: the process writes no core file.
  expect "first start: the program's core file limit is 0" \
    grep -Eq '^Max core file size +0 +0 ' "/proc/$app_pid/limits"

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
  main_window "read-only folder" || return
  pass "read-only folder: the main window appears"
  settle 1.5
  expect "read-only folder: no message box" bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1"
  expect "read-only folder: no list file is created" no_file "$dir/$list_name"
  expect "read-only folder: nothing but the program in the folder" \
    test "$(ls -A "$dir")" == korvelin
  # As for an installed program, the list lives in the user's data folder.
  expected_default_list >"$work/expected_default.txt"
  expect "read-only folder: the 674-byte built-in list is in ~/.local/share/korvelin" \
    same_bytes "$HOME/.local/share/korvelin/$list_name" "$work/expected_default.txt"
  expect "read-only folder: the program is still running" app_alive
  stop_app
}

case_editor_list() {
  say "# a list written by a Linux editor, in a folder named outside code page 936"
  local dir wid
  dir=$(new_folder 'Größe jörg 📦')
  # UTF-8 without a byte-order mark, LF line ends, as editors on Linux save it.
  printf '%s\n' '爱他美1----B00D8V0972----60----德国' '喜宝有机2----B0084CRNBA----42----法国' \
    'Hipp 3----B008V8YZMM----12.5----日本' 'Bébé 4----B004X0XATQ----7----意大利' \
    '荷兰奶粉----B00BSNAC9C----38----荷兰' >"$dir/$list_name"
  start_app "$dir" editor_list
  main_window "editor list" || return
  pass "editor list: the main window appears"
  settle 1.5
  expect "editor list: no message box" bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1"
  # The save after the load writes the five rows back in code page 936 with CR LF.
  printf '%s\r\n' '爱他美1----B00D8V0972----60----德国' '喜宝有机2----B0084CRNBA----42----法国' \
    'Hipp 3----B008V8YZMM----12.5----日本' 'Bébé 4----B004X0XATQ----7----意大利' \
    '荷兰奶粉----B00BSNAC9C----38----荷兰' | iconv -f UTF-8 -t CP936 >"$work/expected_editor.txt"
  expect "editor list: the five rows are saved in code page 936 with CR LF" \
    same_bytes "$dir/$list_name" "$work/expected_editor.txt"
  expect "editor list: nothing but the program and its list in the folder" \
    test "$(ls -A "$dir" | sort | tr '\n' ' ')" == "korvelin $list_name "
  expect "editor list: the program is still running" app_alive
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

case_tray() {
  say "# the tray icon: double-click hides and shows, 退出 ends the program"
  local dir wid tray x y w h
  dir=$(new_folder tray)
  start_app "$dir" tray
  main_window "tray" || return
  settle
  if ! wait_for 5 tray_has_icon; then
    fail "tray: the icon is in the tray"
    stop_app
    return
  fi
  # The tray holds only our icon, so its middle is the icon.
  tray=$(tray_window)
  eval "$(xdotool getwindowgeometry --shell "$tray" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  x=$((X + WIDTH / 2))
  y=$((Y + HEIGHT / 2))
  xdotool mousemove "$x" "$y" click --repeat 2 --delay 100 1
  expect "tray: a double-click hides the window" \
    wait_for 5 bash -c "! xdotool search --onlyvisible --name '$title_pattern' >/dev/null 2>&1"
  xdotool mousemove "$x" "$y" click --repeat 2 --delay 100 1
  expect "tray: a second double-click shows it again" wait_for 5 window_shown "$title_pattern"
  sleep 0.5
  # The menu offers 隐藏 and 退出 while the window is shown: the second item ends the program.
  xdotool mousemove "$x" "$y" click 3
  sleep 0.7
  xdotool key --clearmodifiers Down Down Return
  expect "tray: 退出 in the tray menu ends the program" \
    wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null"
  expect "tray: the icon is gone from the tray" wait_for 5 eval '! tray_has_icon'
  stop_app
}

case_monitoring() {
  say "# monitoring against the fake marketplace"
  local dir wid log=$logs/marketplace.log before after
  dir=$(new_folder monitoring)
  : >"$log"
  start_fake fake_marketplace "ready" --port 80 --tls-port 443 --pki "$work/pki" --log "$log" \
    --price B00D8V08UK=99,00 --price B00D8V0972=54,99 --price B00D8V092W=12,00 || return
  local page
  page=$(http_get www.amazon.de /product-reviews/B00D8V0972)
  expect "monitoring: the fake marketplace answers as www.amazon.de" grep -q 'EUR 54,99' <<<"$page"
  : >"$log"
  start_app "$dir" monitoring
  main_window "monitoring" || return
  settle
  cp "$dir/$list_name" "$work/list_before_monitoring"
  # Watch rows 1 and 2 (爱他美Pre at 99,00 and 爱他美1 at 54,99), every second.
  tick_row "$wid" 0
  tick_row "$wid" 1
  type_into "$wid" "${at_frequency[@]}" 1
  click "$wid" "${at_start[@]}"
  wait_for 15 bash -c "(( \$(grep -c '^GET /product-reviews/B00D8V0972 ' '$log') >= 3 ))"
  if (( $(requests_for "$log" B00D8V0972) >= 3 && $(requests_for "$log" B00D8V08UK) >= 3 )); then
    pass "monitoring: the ticked rows are fetched every second"
  else
    # The checks below would pass on an idle program; they mean nothing without requests.
    fail "monitoring: the ticked rows are fetched every second ($(grep -c '^GET ' "$log") requests)"
    screenshot "$wid" "$out_dir/screenshot-monitoring.png"
    stop_app
    stop_fakes
    return
  fi
  expect "monitoring: the unticked rows are not fetched" \
    test "$(requests_for "$log" B00D8V092W)" == 0
  local head
  head=$(awk '/^GET \/product-reviews\/B00D8V0972 /{p=1} p{print} p&&/^\r?$/{exit}' "$log" | tr -d '\r')
  printf '%s\n' "$head" >"$logs/one_request.txt"
  expect "monitoring: a request carries the page's headers" bash -c '
    h=$(cat "$0")
    grep -qx "GET /product-reviews/B00D8V0972 HTTP/1.1" <<<"$h" &&
    grep -qx "Host: www.amazon.de" <<<"$h" &&
    grep -qx "Accept: \*/\*" <<<"$h" &&
    grep -qx "Referer: http://www.amazon.de/product-reviews/B00D8V0972" <<<"$h" &&
    grep -qx "Accept-Language: zh-cn" <<<"$h" &&
    grep -qx "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)" <<<"$h" &&
    grep -qx "Content-Type: application/x-www-form-urlencoded" <<<"$h"' "$logs/one_request.txt"
  screenshot "$wid" "$out_dir/screenshot-monitoring.png"
  click "$wid" "${at_stop[@]}"
  sleep 1.5
  before=$(grep -c '^GET ' "$log")
  sleep 2.5
  after=$(grep -c '^GET ' "$log")
  expect "monitoring: no request after 停止" test "$before" == "$after"
  expect "monitoring: the list file is unchanged" same_bytes "$dir/$list_name" "$work/list_before_monitoring"
  expect "monitoring: the program is still running" app_alive
  stop_app
  stop_fakes
}

case_alert_mail() {
  say "# alerts: product page, SMS and mail for two products"
  local dir wid box mails=$logs/smtp.log log=$logs/marketplace_alert.log sms=$logs/gateway.log
  dir=$(new_folder alert)
  : >"$mails"
  : >"$log"
  : >"$sms"
  rm -f "$work/opened.txt"
  # 爱他美1 (target 60) at 54,99 and 爱他美2 (target 38) at 12,00: both at or below target.
  start_fake fake_marketplace "ready" --port 80 --tls-port 0 --log "$log" \
    --price B00D8V0972=54,99 --price B00D8V092W=12,00 || { stop_fakes; return; }
  start_fake fake_smtp "listening" --port 25 --starttls --pki "$work/pki" --log "$mails" ||
    { stop_fakes; return; }
  start_fake fake_gateway "listening" --port 443 --tls --pki "$work/pki" --log "$sms" ||
    { stop_fakes; return; }
  start_app "$dir" alert
  main_window "alerts" || { stop_fakes; return; }
  settle
  # Page 1: the mail account, then "连 接".
  next_tab "$wid"
  type_into "$wid" "${at_sender[@]}" alice@qq.com
  type_into "$wid" "${at_password[@]}" authcode
  type_into "$wid" "${at_recipient[@]}" bob@qq.com
  click "$wid" "${at_connect[@]}"
  if box=$(wait_window "$box_title" 15); then
    pass "alerts: connecting the mail account shows its message box"
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key --clearmodifiers Return
    wait_for 5 bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1"
  else
    fail "alerts: connecting the mail account shows its message box"
  fi
  next_tab "$wid"
  # Page 0: mail, SMS (a number typed with spaces) and the product page on; rows 2 and 3.
  click "$wid" "${at_mail_alerts[@]}"
  click "$wid" "${at_open_page[@]}"
  click "$wid" "${at_sms[@]}"
  type_into "$wid" "${at_phone[@]}" '138 0013 8000'
  tick_row "$wid" 1
  tick_row "$wid" 2
  type_into "$wid" "${at_frequency[@]}" 1
  click "$wid" "${at_start[@]}"
  # Several ticks: the ledger holds each product's mail and page, and the SMS of all
  # products, back for 10 minutes.
  wait_for 25 bash -c "(( \$(grep -c '^GET /product-reviews/B00D8V092W ' '$log') >= 5 ))"
  sleep 1.5
  if (( $(requests_for "$log" B00D8V0972) < 5 || $(requests_for "$log" B00D8V092W) < 5 )); then
    fail "alerts: both rows are checked at least 5 times ($(grep -c '^GET ' "$log") requests)"
    screenshot "$wid" "$out_dir/screenshot-alert.png"
    stop_app
    stop_fakes
    return
  fi
  pass "alerts: both rows are checked at least 5 times"
  expect "alerts: exactly one alert mail per product" \
    test "$(grep -c '^=== message' "$mails")" == 2
  expect "alerts: every mail went over TLS (STARTTLS, the certificate verified)" bash -c '
    (( $(grep -c "^tls: yes$" "$0") == 2 && $(grep -c "^tls: no$" "$0") == 0 ))' "$mails"
  expect "alerts: each mail goes from the sender to the recipient" bash -c '
    (( $(grep -Ec "^from: <?alice@qq.com>?$" "$0") == 2 &&
       $(grep -Ec "^to: <?bob@qq.com>?$" "$0") == 2 &&
       $(grep -c "^login: alice@qq.com$" "$0") >= 2 ))' "$mails"
  expect "alerts: the mails' subjects" bash -c '
    grep -qx "subject: 爱他美1 - 有货啦！" "$0" && grep -qx "subject: 爱他美2 - 有货啦！" "$0"' "$mails"
  tr -d '\r' <"$mails" >"$work/mails.txt"
  expect "alerts: a mail's body names the product and links its reviews page" bash -c '
    grep -qx "产品：爱他美1" "$0" &&
    grep -Eqx "时间：[0-9]{4}年[0-9]{1,2}月[0-9]{1,2}日.*" "$0" &&
    grep -qx "链接：http://www.amazon.de/product-reviews/B00D8V0972" "$0" &&
    grep -qx "链接：http://www.amazon.de/product-reviews/B00D8V092W" "$0"' "$work/mails.txt"
  expect "alerts: each product page is opened once" \
    test "$(sort "$work/opened.txt" 2>/dev/null | tr '\n' ' ')" == \
    "http://www.amazon.de/dp/B00D8V092W http://www.amazon.de/dp/B00D8V0972 "
  expect "alerts: one SMS for both products" test "$(grep -c '^=== request' "$sms")" == 1
  expect "alerts: the SMS goes to the number without spaces, with the gateway key" bash -c '
    grep -q "^POST /text" "$0" && grep -q "phone=13800138000&" "$0" && grep -q "key=textbelt" "$0"' "$sms"
  screenshot "$wid" "$out_dir/screenshot-alert.png"
  click "$wid" "${at_stop[@]}"
  expect "alerts: the program is still running" app_alive
  stop_app
  stop_fakes
}

case_add_product() {
  say "# adding a product with the keyboard"
  local dir wid dialog
  dir=$(new_folder add)
  start_app "$dir" add_product
  main_window "add product" || return
  settle
  click "$wid" "${at_add_product[@]}"
  if ! dialog=$(wait_window '^加入一个产品$' 10); then
    fail "add product: the dialog 加入一个产品 opens"
    stop_app
    return
  fi
  pass "add product: the dialog 加入一个产品 opens"
  xdotool windowfocus --sync "$dialog" 2>/dev/null
  # Name, code, price (with spaces the dialog removes), then the country list one step down
  # (日本), then the confirm button.
  xdotool type --delay 30 '  Milk A '
  xdotool key --clearmodifiers Tab
  xdotool type --delay 30 ' B0 TEST 1234 '
  xdotool key --clearmodifiers Tab
  xdotool type --delay 30 '1 2.5'
  xdotool key --clearmodifiers Tab Down Tab space
  wait_for 10 bash -c "! xdotool search --onlyvisible --name '^加入一个产品$' >/dev/null 2>&1"
  settle
  { expected_default_list; printf 'Milk A----B0TEST1234----12.5----日本\r\n' | iconv -f UTF-8 -t CP936; } \
    >"$work/expected_added.txt"
  expect "add product: the list file holds the 17 lines and the new product" \
    same_bytes "$dir/$list_name" "$work/expected_added.txt"
  expect "add product: the program is still running" app_alive
  stop_app
}

case_installed() {
  say "# the installed program: a read-only prefix and a new user"
  local wid home=$work/home-installed data class wanted
  if ! install_prefix; then
    fail "installed: cmake --install into a prefix ($(tail -n 3 "$logs/install.log"))"
    return
  fi
  expect "installed: the prefix refuses writes" bash -c "! touch '$prefix/bin/probe' 2>/dev/null"
  expect "installed: --version prints the version and ends" \
    bash -c "[[ \"\$(timeout 10 '$prefix/bin/korvelin' --version)\" =~ ^korvelin\ [0-9.]+$ ]]"
  expect "installed: --help prints the usage and ends" \
    bash -c "timeout 10 '$prefix/bin/korvelin' --help | grep -q '^Usage: korvelin'"
  rm -rf "$home"
  mkdir -p "$home"
  data=$home/.local/share/korvelin
  launch "$prefix/bin/korvelin" installed HOME="$home"
  main_window "installed" || return
  pass "installed: the main window appears"
  settle
  expected_default_list >"$work/expected_default.txt"
  expect "installed: the 674-byte built-in list appears in ~/.local/share/korvelin" bash -c "
    [[ \$(stat -c %s '$work/expected_default.txt') == 674 ]] &&
    cmp -s '$data/$list_name' '$work/expected_default.txt'"
  [[ -e "$data/$list_name" ]] || say "#  $home holds: $(cd "$home" && find . | tr '\n' ' ')"
  class=$(xprop -id "$wid" WM_CLASS 2>/dev/null | sed -n 's/.*= "[^"]*", "\([^"]*\)"$/\1/p')
  wanted=$(sed -n 's/^StartupWMClass=//p' "$prefix"/share/applications/*.desktop)
  expect "installed: the window's WM class ($class) is the desktop file's StartupWMClass" \
    test -n "$class" -a "$class" == "$wanted"
  expect "installed: the program is still running" app_alive
  stop_app
}

case_portable_lf_utf8() {
  say "# a list written by a Linux editor (UTF-8, LF) beside a portable copy"
  local dir wid
  dir=$(new_folder portable)
  printf '%s\n' '爱他美1----B00D8V0972----60----德国' 'Milk A----B0TEST1234----12.5----日本' \
    '喜宝有机2----B0084CRNBA----38----英国' >"$dir/$list_name"
  start_app "$dir" portable_lf_utf8
  main_window "portable list" || return
  settle
  printf '%s\r\n' '爱他美1----B00D8V0972----60----德国' 'Milk A----B0TEST1234----12.5----日本' \
    '喜宝有机2----B0084CRNBA----38----英国' | iconv -f UTF-8 -t CP936 >"$work/expected_portable.txt"
  expect "portable list: no message box" bash -c "! xdotool search --onlyvisible --name '$box_title' >/dev/null 2>&1"
  expect "portable list: the three rows load and are saved back in code page 936 with CR LF" \
    same_bytes "$dir/$list_name" "$work/expected_portable.txt"
  expect "portable list: the program is still running" app_alive
  stop_app
}

# tray_point: the middle of the tray, which holds only our icon; sets x and y.
tray_point() {
  local tray X Y WIDTH HEIGHT
  tray=$(tray_window) || return 1
  eval "$(xdotool getwindowgeometry --shell "$tray" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  x=$((X + WIDTH / 2))
  y=$((Y + HEIGHT / 2))
}

# tray_menu_first: opens the tray menu and picks its first item (隐藏 while the window is
# shown, 显示 while it is hidden).
tray_menu_first() {
  xdotool mousemove "$x" "$y" click 3
  sleep 0.7
  xdotool key --clearmodifiers Down Return
}

main_hidden() { ! xdotool search --onlyvisible --name "$title_pattern" >/dev/null 2>&1; }
main_count() { xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null | wc -l; }

case_second_start() {
  say "# a second start of the same list brings the first window back and ends"
  local dir wid first rc x y
  dir=$(new_folder second)
  start_app "$dir" second_start_first
  main_window "second start" || return
  settle
  first=$app_pid
  if ! wait_for 5 tray_has_icon || ! tray_point; then
    fail "second start: the tray icon is there"
    stop_app
    return
  fi
  tray_menu_first
  expect "second start: 隐藏 hides the first window" wait_for 5 main_hidden
  (cd "$work/elsewhere" && timeout 20 "$dir/korvelin") >"$logs/second_start_second.log" 2>&1
  rc=$?
  expect "second start: the second program ends by itself, status 0 (was $rc)" test "$rc" == 0
  expect "second start: the first window is shown again" wait_for 5 window_shown "$title_pattern"
  sleep 1
  expect "second start: exactly one main window" test "$(main_count)" == 1
  expect "second start: the first program is still running" kill -0 "$first"
  stop_app
}

case_late_tray() {
  say "# a tray that appears after the program, and one that goes away"
  local dir wid x y
  stop_tray
  dir=$(new_folder late_tray)
  start_app "$dir" late_tray
  main_window "late tray" || { start_tray; return; }
  settle
  start_tray
  expect "late tray: the icon comes into a tray started after the program" wait_for 10 tray_has_icon
  if tray_point; then
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 100 1
    expect "late tray: a double-click on it hides the window" wait_for 5 main_hidden
  fi
  stop_tray
  expect "late tray: when the tray goes away, the hidden window comes back" \
    wait_for 10 window_shown "$title_pattern"
  start_tray
  expect "late tray: the icon comes back with the tray" wait_for 10 tray_has_icon
  expect "late tray: the program is still running" app_alive
  stop_app
}

case_tray_openbox() {
  say "# the tray double-click under a window manager (openbox)"
  local dir wid x y round ok=1 wm
  openbox --sm-disable >"$logs/openbox.log" 2>&1 &
  wm=$!
  helper_pids+=("$wm")
  if ! wait_for 10 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'; then
    fail "openbox: the window manager runs"
    return
  fi
  dir=$(new_folder openbox)
  start_app "$dir" tray_openbox
  main_window "openbox tray" || { kill "$wm"; return; }
  settle
  if ! wait_for 5 tray_has_icon || ! tray_point; then
    fail "openbox tray: the icon is in the tray"
    stop_app
    kill "$wm"
    return
  fi
  for round in 1 2 3 4 5; do
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 100 1
    # Hidden, and still hidden a moment later (no late state change brings it back).
    if ! wait_for 5 main_hidden || ! { sleep 1; main_hidden; }; then
      fail "openbox tray: double-click $round hides the window"
      ok=0
      break
    fi
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 100 1
    # Shown, and still shown a moment later (it must not flash and hide again).
    if ! wait_for 5 window_shown "$title_pattern" || ! { sleep 1; window_shown "$title_pattern"; }; then
      fail "openbox tray: double-click $round shows the window and it stays"
      ok=0
      break
    fi
  done
  (( ok )) && pass "openbox tray: five double-clicks hide and five show the window, each for good"
  expect "openbox tray: the program is still running" app_alive
  stop_app
  kill "$wm" 2>/dev/null
  wait "$wm" 2>/dev/null
}

case_price_history() {
  say "# price history: a monitoring run's prices in 价格历史.sqlite, the chart from the list menu"
  local dir wid log=$logs/marketplace_history.log db chart empty started ended
  dir=$(new_folder history)
  db=$dir/价格历史.sqlite
  : >"$log"
  start_fake fake_marketplace "ready" --port 80 --tls-port 443 --pki "$work/pki" --log "$log" \
    --price B00D8V08UK=99,00 --price B00D8V0972=54,99 || return
  # A week of earlier prices of 爱他美1, as earlier runs would have left them: the program
  # goes on writing into the same file.
  sqlite3 "$db" "PRAGMA journal_mode=WAL;
    CREATE TABLE price_history(checked_at INTEGER, code TEXT, country TEXT, price REAL, price_text TEXT);
    CREATE INDEX price_history_by_product ON price_history(code, country, checked_at, price);
    PRAGMA user_version=1;
    WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 168)
    INSERT INTO price_history
      SELECT (CAST(strftime('%s','now') AS INTEGER) - (169 - i) * 3600) * 1000, 'B00D8V0972', '德国',
             ROUND(58 + 2.5 * sin(i / 13.0) + 1.2 * sin(i / 3.1) + ((i * 37) % 11) * 0.15 - i * 0.012, 2), 'seed'
      FROM n;" >/dev/null || { fail "price history: the earlier prices are written"; return; }
  start_app "$dir" price_history
  main_window "price history" || return
  settle
  tick_row "$wid" 0
  tick_row "$wid" 1
  type_into "$wid" "${at_frequency[@]}" 1
  started=$(date +%s%3N)
  click "$wid" "${at_start[@]}"
  wait_for 15 bash -c "(( \$(grep -c '^GET /product-reviews/B00D8V0972 ' '$log') >= 3 ))"
  click "$wid" "${at_stop[@]}"
  sleep 1.5  # the last checks end and the history writes its last batch
  ended=$(date +%s%3N)
  local q="SELECT count(*) FROM price_history WHERE checked_at BETWEEN $started AND $ended"
  expect "price history: every check of 爱他美1 is recorded with its price, code and country" \
    test "$(sqlite3 "$db" "$q AND code = 'B00D8V0972' AND country = '德国' AND price = 54.99 AND price_text = '54.99'")" \
         -ge 3
  expect "price history: as many records of 爱他美1 as requests for it" \
    test "$(sqlite3 "$db" "$q AND code = 'B00D8V0972'")" == "$(requests_for "$log" B00D8V0972)"
  expect "price history: 爱他美Pre is recorded at 99" \
    test "$(sqlite3 "$db" "$q AND code = 'B00D8V08UK' AND price = 99.0")" -ge 3
  expect "price history: nothing else is recorded" \
    test "$(sqlite3 "$db" "$q AND code NOT IN ('B00D8V0972', 'B00D8V08UK')")" == 0
  expect "price history: the earlier prices are kept" \
    test "$(sqlite3 "$db" "SELECT count(*) FROM price_history WHERE price_text = 'seed'")" == 168
  expect "price history: the file is in write-ahead-log mode, schema version 1" \
    test "$(sqlite3 "$db" 'PRAGMA journal_mode; PRAGMA user_version' | tr '\n' ' ')" == "wal 1 "

  # The chart of 爱他美1 (row 2) from the list menu: select the row, right click, the last item.
  open_chart() {  # open_chart <row> <name>: prints the chart window's id
    local y=$((list_y + 1 + list_header + $1 * list_row + list_row / 2))
    click "$wid" $((list_x + 120)) "$y"
    xdotool mousemove --window "$wid" $((list_x + 120)) "$y" click 3
    sleep 0.5
    xdotool key --clearmodifiers Up Return
    wait_window "^价格走势 - $2\$" 10
  }
  if ! chart=$(open_chart 1 爱他美1); then
    fail "price history: 价格走势 in the list menu opens the window 价格走势 - 爱他美1"
    stop_app
    stop_fakes
    return
  fi
  pass "price history: 价格走势 in the list menu opens the window 价格走势 - 爱他美1"
  xdotool windowsize "$chart" 820 500 2>/dev/null
  sleep 1.5
  screenshot "$chart" "$out_dir/screenshot-history.png"
  xdotool windowmove "$chart" 1200 760 2>/dev/null  # out of the way of the list
  sleep 0.3
  # A product without records (喜宝益生菌Pre, row 7) for comparison: its chart has no line.
  if empty=$(open_chart 6 喜宝益生菌Pre); then
    sleep 1
    screenshot "$empty" "$out_dir/screenshot-history-empty.png"
  fi
  # The price line's colour, counted in both pictures: only the chart with records draws it.
  line_pixels() {
    convert "$1" -fuzz 12% -fill '#FF00FF' -opaque '#1F6FC5' -fill black +opaque '#FF00FF' \
      -fill white -opaque '#FF00FF' -colorspace Gray -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
  }
  local drawn none
  drawn=$(line_pixels "$out_dir/screenshot-history.png")
  none=$(line_pixels "$out_dir/screenshot-history-empty.png")
  say "#  price-line pixels: $drawn with records, $none without"
  expect "price history: the chart draws the price line (${drawn:-?} pixels against ${none:-?} without records)" \
    test "${drawn:-0}" -gt $(( ${none:-0} + 300 ))
  expect "price history: the program is still running" app_alive
  stop_app
  stop_fakes
}

# ------------------------------------------------------------------------------------------

say "# korvelin end-to-end: $binary"
start_namespace_env
case_todays_page() {
  say "# today's product page when the reviews page sends the visitor to sign in"
  local dir wid log=$logs/marketplace_today.log pages=$source_dir/tests/fixtures/pages
  dir=$(new_folder today)
  : >"$log"
  # 爱他美Pre's reviews page goes to the sign-in page, its product page is a saved page of
  # amazon.de (EUR 109,00); 爱他美1's product page is a robot check.
  start_fake fake_marketplace "ready" --port 80 --tls-port 443 --pki "$work/pki" --log "$log" \
    --product-page "B00D8V08UK=$pages/de-2015-gastroback-kettle.html.gz" \
    --product-page "B00D8V0972=$pages/br-2026-robot-check.html.gz" || return
  start_app "$dir" today
  main_window "today" || { stop_fakes; return; }
  settle
  tick_row "$wid" 0
  type_into "$wid" "${at_frequency[@]}" 1
  click "$wid" "${at_start[@]}"
  expect "today: the product page follows the sign-in redirect" \
    wait_for 15 bash -c "grep -q '^GET /dp/B00D8V08UK ' '$log'"
  local head
  head=$(awk '/^GET \/dp\/B00D8V08UK /{p=1} p{print} p&&/^\r?$/{exit}' "$log" | tr -d '\r')
  printf '%s\n' "$head" >"$logs/today_request.txt"
  expect "today: the product page is asked for like a desktop browser of amazon.de" bash -c '
    h=$(cat "$0")
    grep -qx "Host: www.amazon.de" <<<"$h" &&
    grep -q "^User-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:[0-9.]*) Gecko/20100101 Firefox/" <<<"$h" &&
    grep -q "^Accept: text/html,application/xhtml+xml" <<<"$h" &&
    grep -q "^Accept-Language: de-DE,de" <<<"$h"' "$logs/today_request.txt"
  expect "today: the reviews page was asked first" \
    test "$(requests_for "$log" B00D8V08UK)" -ge 1
  # Now the robot check: tick 爱他美1 as well; its captcha pauses every check of 德国.
  tick_row "$wid" 1
  expect "today: the robot check is fetched" \
    wait_for 15 bash -c "grep -q '^GET /dp/B00D8V0972 ' '$log'"
  sleep 1.5
  local before after
  before=$(grep -c '^GET ' "$log")
  sleep 4
  after=$(grep -c '^GET ' "$log")
  expect "today: after the captcha the marketplace is left alone (no request for 4 s)" \
    test "$before" == "$after"
  screenshot "$wid" "$out_dir/screenshot-today.png"
  expect "today: the program is still running" app_alive
  stop_app
  stop_fakes
}

# KORVELIN_E2E_CASES (a space-separated list such as "first_start monitoring") runs only
# those cases; by default all of them run.
all_cases=(namespace first_start read_only_folder editor_list empty_list_file tray monitoring
           alert_mail add_product todays_page price_history second_start late_tray tray_openbox
           installed portable_lf_utf8)
for name in ${KORVELIN_E2E_CASES:-${all_cases[*]}}; do
  "case_$name"
done
finish
