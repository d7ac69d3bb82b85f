# Sourced by tools/run.sh: a short tour of the resident program on the simulated PC, for a
# newcomer on a machine without a desktop. Each step drives the program as its user or the
# machine would and saves a screenshot of the X screen.
# Needs from run.sh: simctl (runs build/simbin/simctl.exe, output in $simctl_out), $program,
# $root, DISPLAY.

# The README's picture, regenerated here when the tray menu looks different.
tour_readme_picture=docs/tour-tray-menu.png
tour_menu_place=""

tour_step_failed() {  # tour_step_failed WHAT: prints why a step stopped
  echo "tour: $1:" >&2
  sed 's/^/tour:   /' "$simctl_out" >&2
  return 1
}

tour_shot() {  # tour_shot FILE: the whole X screen, once the window has had time to paint
  sleep 0.5
  import -display "$DISPLAY" -window root "$1" || { echo "tour: the screenshot $1 failed" >&2; return 1; }
}

# tour_update_readme_picture SHOT: the tray menu cut out of the screen at the place simctl
# printed for it ("at X,Y size WxH"); the committed file is replaced only when its pixels differ.
tour_update_readme_picture() {
  local cut=$1.cut.png target=$root/$tour_readme_picture
  [ -n "$tour_menu_place" ] || return 1
  convert "$1" -crop "$tour_menu_place" +repage -strip "$cut" || return 1
  if [ -f "$target" ] && compare -metric AE "$cut" "$target" null: >/dev/null 2>&1; then
    rm -f "$cut"
    return 0
  fi
  mkdir -p "$(dirname "$target")"
  mv "$cut" "$target"
  echo "tour: $tour_readme_picture was updated (the tray menu looks different now)"
}

# tour DIR: the four steps; their pictures go to DIR, replacing an earlier tour's.
tour() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  echo "tour: waiting for Solvane.exe to come up"
  simctl wait-window Solvane 60 || { tour_step_failed "Solvane.exe did not come up"; return 1; }
  # The icon is added once the main window has been created; give the shell a moment.
  sleep 1

  # 1. A left click on the tray icon: after the double-click time the plan menu opens.
  simctl tray-click left || { tour_step_failed "the tray click was refused"; return 1; }
  simctl wait-window '#32768' 10 || { tour_step_failed "the left-click menu did not open"; return 1; }
  tour_menu_place=$(sed -n 's/.* at \([0-9]*\),\([0-9]*\) size \([0-9]*x[0-9]*\).*/\3+\1+\2/p' "$simctl_out" | tr -d '\r')
  tour_shot "$dir/1-tray-menu.png" || return 1
  # Escape ends the menu as it does for the user.
  xdotool key Escape
  simctl wait-window --gone '#32768' 10 || { tour_step_failed "the menu did not close"; return 1; }

  # 2. The ECO button: the notification window shows the modes, the next mode selected; two
  #    seconds later the plan of that mode is activated and the window goes.
  simctl press-eco || { tour_step_failed "the ECO button press was refused"; return 1; }
  simctl wait-window EcoOSDWndProc 10 || { tour_step_failed "no notification window opened"; return 1; }
  tour_shot "$dir/2-eco-button.png" || return 1
  simctl wait-window --gone EcoOSDWndProc 15 || { tour_step_failed "the notification window stayed"; return 1; }

  # 3. A second start with /PowerScheme: the resident program opens the plan sheet.
  local sheet_title="電源プランの設定変更"
  /usr/lib/wine/wine64 "$program" /PowerScheme >"$simctl_out" 2>&1 </dev/null
  simctl wait-window --title "$sheet_title" '#32770' 20 || { tour_step_failed "the plan sheet did not open"; return 1; }
  tour_shot "$dir/3-plan-sheet.png" || return 1
  simctl close-window --title "$sheet_title" '#32770' || { tour_step_failed "the plan sheet did not close"; return 1; }

  # 4. A second start with /EcoMode: the ECO mode settings dialog with its modes and gauges.
  local eco_title="ECOモードの設定(省電力設定)"
  /usr/lib/wine/wine64 "$program" /EcoMode >"$simctl_out" 2>&1 </dev/null
  simctl wait-window --title "$eco_title" '#32770' 20 || { tour_step_failed "the ECO mode dialog did not open"; return 1; }
  tour_shot "$dir/4-eco-modes.png" || return 1
  simctl close-window --title "$eco_title" '#32770' || { tour_step_failed "the ECO mode dialog did not close"; return 1; }

  tour_update_readme_picture "$dir/1-tray-menu.png" || echo "tour: $tour_readme_picture was not updated" >&2
  cat <<TOUR
tour: screenshots in $dir
tour:   1-tray-menu.png   the tray icon's left-click menu: the power plans, the active one marked
tour:   2-eco-button.png  an ECO-button press: the notification window with the ECO modes
tour:   3-plan-sheet.png  the power-plan settings sheet ("/PowerScheme" to the resident program)
tour:   4-eco-modes.png   the ECO mode settings ("/EcoMode"): the plan of each mode, its gauges
TOUR
}
