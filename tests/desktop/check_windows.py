#!/usr/bin/python3
"""Opens every window of the built program on a real X display and reads it through the
AT-SPI accessibility tree, as a screen reader does (python3-pyatspi): fails on a control
without a name, on a control the keyboard reaches without a description, and on a window that
is not wholly on the screen. Optionally saves a picture of the Options window.

    check_windows.py <mixgen> <demo folder> <work folder> [--screenshot FILE]

Run inside Xvfb and dbus-run-session with QT_ACCESSIBILITY=1 and
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 (scripts/desktop-check.sh does).
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

# The roles a reader stops at and reads by name. Frames, panels, fillers, scroll bars and the
# rows of a list (read by their own text) are not among them.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_LIST, pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_LABEL, pyatspi.ROLE_STATIC,
    pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_IMAGE, pyatspi.ROLE_SPIN_BUTTON,
}
problems = []


def wait_for(what, find, timeout=20.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            found = find()
        except GLib.GError:  # an object gone while the tree was read: a window closed or opened
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    raise SystemExit(f"check_windows: gave up waiting for {what}")


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def nodes(accessible):
    yield accessible
    for child in accessible:
        if child is not None:
            yield from nodes(child)


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def window_with(app, role, name):
    """The showing window of app that holds a control of that role and name."""
    for window in app:
        if window is None or not showing(window):
            continue
        for node in nodes(window):
            if node.getRole() == role and node.name == name and showing(node):
                return window
    return None


def control(window, role, name):
    for node in nodes(window):
        if node.getRole() == role and node.name == name:
            return node
    raise SystemExit(f"check_windows: no {pyatspi.Role(role)} '{name}' in '{window.name}'")


def press(window, name):
    button = control(window, pyatspi.ROLE_PUSH_BUTTON, name)
    button.queryAction().doAction(0)


def visible_windows(pid):
    out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid), ""],
                         capture_output=True, text=True).stdout
    return [line for line in out.split() if line]


def geometry(window_id):
    info = subprocess.run(["xwininfo", "-id", window_id], capture_output=True,
                          text=True).stdout
    values = {}
    for line in info.splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def screen_size():
    info = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True).stdout
    size = {}
    for line in info.splitlines():
        key, _, value = line.strip().partition(":")
        size[key] = value.strip()
    return int(size["Width"]), int(size["Height"])


def check(window, what, pid):
    reported = len(problems)
    if not window.name:
        problems.append(f"{what}: the window has no name")
    for node in nodes(window):
        role = node.getRole()
        if role not in CONTROL_ROLES:
            continue
        label = f"{what}: {node.getRoleName()}"
        if not node.name.strip():
            problems.append(f"{label} without a name (description '{node.description}')")
        elif (node.getState().contains(pyatspi.STATE_FOCUSABLE) and role != pyatspi.ROLE_LABEL
              and not node.description.strip()):
            problems.append(f"{label} '{node.name}' without a description")
    width, height = screen_size()
    for window_id in visible_windows(pid):
        x, y, w, h = geometry(window_id)
        if w > width or h > height:
            # Too big for the screen: at its top left corner.
            if (x, y) != (0, 0):
                problems.append(f"{what}: a window of {w}x{h}, bigger than the {width}x{height} "
                                f"screen, is at {x},{y} instead of its top left corner")
        elif x < 0 or y < 0 or x + w > width or y + h > height:
            problems.append(f"{what}: a window at {x},{y} size {w}x{h} is not wholly on the "
                            f"{width}x{height} screen")
    for problem in problems[reported:]:
        print("check_windows:", problem, file=sys.stderr)
    print(f"checked {what}: {len(problems) - reported} problems")


def visit(app, pid, owner, button, what, role, name, close="Cancel"):
    """Opens a window with owner's button, waits for the control that tells it (role, name),
    checks the window as what and closes it again with its close button."""
    press(owner, button)
    window = wait_for("the " + what, lambda: window_with(app, role, name))
    check(window, what, pid)
    press(window, close)


def main():
    program, demo, work = sys.argv[1:4]
    screenshot = sys.argv[5] if len(sys.argv) > 5 and sys.argv[4] == "--screenshot" else None
    home = os.path.join(work, "home")
    env = dict(os.environ, HOME=home, TEMP=os.path.join(home, "tmp"),
               XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"))
    os.makedirs(env["TEMP"], exist_ok=True)
    settings = os.path.join(env["XDG_CONFIG_HOME"], "MIXGEN")
    os.makedirs(settings, exist_ok=True)
    # The program's own pickers, and the splash at start.
    with open(os.path.join(settings, "MIXGEN.ini"), "w") as ini:
        ini.write("[Settings]\nInternalDlg=1\nSplashScreen=1\n")

    started = subprocess.Popen([program], env=env)
    try:
        pid = started.pid
        app = wait_for("the program on the accessibility bus", lambda: application(pid))
        splash = wait_for("the splash", lambda: window_with(
            app, pyatspi.ROLE_CHECK_BOX, "Show splash screen at startup"))
        check(splash, "splash", pid)

        main_window = wait_for("the main window", lambda: window_with(
            app, pyatspi.ROLE_PUSH_BUTTON, "Create playlist"))
        check(main_window, "main window", pid)

        press(main_window, "Options")
        options = wait_for("the options", lambda: window_with(app, pyatspi.ROLE_PUSH_BUTTON,
                                                              "Apply"))
        check(options, "options window", pid)
        if screenshot:
            time.sleep(0.5)
            ids = [i for i in visible_windows(pid) if geometry(i)[2] > 600]
            subprocess.run(["import", "-window", ids[-1], screenshot], check=True)
        visit(app, pid, options, "Playlist style...", "playlist style window",
              pyatspi.ROLE_CHECK_BOX, "Extended M3U (titles and lengths)")
        press(options, "Cancel")

        visit(app, pid, main_window, "Browse for a path to search for mp3's", "folder picker",
              pyatspi.ROLE_PUSH_BUTTON, "Add path")
        visit(app, pid, main_window, "Browse for the output file", "file picker",
              pyatspi.ROLE_PUSH_BUTTON, "Save")
        visit(app, pid, main_window, "Create playlist", "message box", pyatspi.ROLE_PUSH_BUTTON,
              "OK", close="OK")

        path = control(main_window, pyatspi.ROLE_TEXT,
                       "Path(s) to search for mp3's, seperate multiple with ; (semicolon)")
        path.queryEditableText().setTextContents(demo)
        output = control(main_window, pyatspi.ROLE_TEXT, "Output file (.M3U)")
        output.queryEditableText().setTextContents(os.path.join(work, "mix.m3u"))
        press(main_window, "Create playlist")
        playlist = wait_for("the playlist", lambda: window_with(app, pyatspi.ROLE_PUSH_BUTTON,
                                                                "Redo operation"))
        check(playlist, "playlist window", pid)
        press(playlist, "Close")
        wait_for("the main window again", lambda: window_with(
            app, pyatspi.ROLE_PUSH_BUTTON, "Create playlist"))
        press(main_window, "Exit")
        started.wait(20)
    finally:
        if started.poll() is None:
            started.kill()

    helped = subprocess.Popen([program, "/?"], env=env)
    try:
        app = wait_for("the program on the accessibility bus", lambda: application(helped.pid))
        help_window = wait_for("the help", lambda: window_with(app, pyatspi.ROLE_PUSH_BUTTON,
                                                               "Close"))
        check(help_window, "help window", helped.pid)
        press(help_window, "Close")
        helped.wait(20)
    finally:
        if helped.poll() is None:
            helped.kill()

    print(f"check_windows: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
