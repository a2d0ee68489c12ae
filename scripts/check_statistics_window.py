"""The statistics window on a desktop, as a screen reader and a keyboard user meet it.

Called by scripts/check-accessibility inside its session bus and virtual display. Counts a text
of thirteen sentences (one in each bar of five words), opens the window with Ctrl+I in the list
and checks over AT-SPI that every figure is heard with its value, that Tab, Shift+Tab,
Ctrl+Tab and Ctrl+Shift+Tab leave the table, that a reader asking for the cells it knew
after a recount with fewer rows makes the program log no invalid index, and that Escape
closes the window. Then opens it
at QT_SCALE_FACTOR=2 on the 1920x1080 screen and at 100 % on a 1366x768 one: the window,
frame included, lies within the screen's free area. With BRINTALE_A11Y_SHOTS set to a folder,
a screenshot of each is left there.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time

# Sentences of 1, 6, ..., 61 words: thirteen bars of the histogram, one sentence each, each
# starting with a capital, so that a reader counts thirteen as well.
TEXT = " ".join(("Go " + "w " * (5 * bar - 1) if bar else "") + "end." for bar in range(13))

# What the figures are heard as: exactly, or by a pattern.
FIGURES = [
    "Sentences: 13",
    "Words: 403",
    re.compile(r"Characters: \d+"),
    "Mean words per sentence: 31.0",
    "Median words per sentence: 31",
    "90th percentile of words per sentence: 56",
    "Most words in a sentence: 61",
    re.compile(r"Longest sentence: Go (w ){20,}.*\u2026"),
    "Sentences longer than 25 words: 8",
    "By your separators: 13; as a reader counts (Unicode rules): 13",
]


def pump(seconds):
    from gi.repository import GLib
    context = GLib.MainContext.default()
    end = time.time() + seconds
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def find_app(pyatspi, pid, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except Exception:  # gone meanwhile
                pass
        time.sleep(0.2)
    return None


def nodes(node, found=None):
    """Every object under node, the rows of lists and tables left out."""
    found = [] if found is None else found
    try:
        role = node.getRoleName()
    except Exception:
        return found
    found.append(node)
    if role in ("list", "table", "tree", "tree table"):
        return found
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            nodes(child, found)
    return found


# The statistics window as a screen reader names it.
WINDOW = "Statistics of the sentences"


def frame(pyatspi, app, name=WINDOW):
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is not None and window.name == name and \
                window.getState().contains(pyatspi.STATE_SHOWING):
            return window
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "Press"):
            action.doAction(i)
            return


def key(*keys, display=None):
    env = dict(os.environ, DISPLAY=display) if display else None
    for k in keys:
        subprocess.run(["xdotool", "key", k], check=False, env=env)


def count(everything, text):
    """Types the text into the text box and presses Start Counting, both over AT-SPI."""
    box = [n for n in everything if n.getRoleName() == "text" and n.name == "Text to count"]
    start = [n for n in everything if n.getRoleName() == "push button" and
             n.name == "Start Counting"]
    box[0].queryEditableText().setTextContents(text)
    press(start[0])
    pump(2)


def open_statistics(pyatspi, binary, env, display=None, log=None):
    """Starts brintale, counts TEXT and opens the statistics window by keys; returns the
    process, its accessible application and the window, or a failure text."""
    run_env = dict(env, DISPLAY=display) if display else env
    process = subprocess.Popen([binary], env=run_env, stderr=log)
    app = find_app(pyatspi, process.pid, 30)
    if app is None:
        return process, None, None, "brintale never reached the accessibility bus"
    everything = nodes(app)
    texts = [n for n in everything if n.getRoleName() == "text" and n.name == "Text to count"]
    buttons = [n for n in everything if n.getRoleName() == "push button" and
               n.name == "Start Counting"]
    lists = [n for n in everything if n.getRoleName() == "list" and
             n.name.startswith(("Result(s)", "Total Sentence Count"))]
    if not texts or not buttons or not lists:
        return process, app, None, "no text box, Start Counting button or results list"
    count(everything, TEXT)
    lists[0].queryComponent().grabFocus()
    pump(0.5)
    key("ctrl+i", display=display)
    deadline = time.time() + 10
    window = None
    while window is None and time.time() < deadline:
        pump(0.2)
        window = frame(pyatspi, app)
    if window is None:
        return process, app, None, "Ctrl+I in the list did not open the statistics window"
    pump(1)
    return process, app, window, None


def stop(process):
    process.terminate()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()


def heard_figures(pyatspi, window):
    failures = []
    deadline = time.time() + 10
    while True:
        names = [n.name for n in nodes(window) if n.getRoleName() == "label"]
        if not any("still counting" in n for n in names) or time.time() > deadline:
            break
        pump(0.2)
    print("statistics window labels heard: " + "; ".join(repr(n) for n in names))
    for figure in FIGURES:
        if isinstance(figure, str):
            ok = figure in names
        else:
            ok = any(figure.fullmatch(n) for n in names)
        if not ok:
            failures.append(f"no figure heard as {getattr(figure, 'pattern', figure)!r}")
    return failures


def tab_leaves_table(pyatspi, window, display=None):
    tables = [n for n in nodes(window) if n.getRoleName() == "table"]
    if not tables:
        return ["the statistics window has no table"]
    table = tables[0]
    failures = []
    # A table offers no focus action: a click on its first row gives it the focus, as it
    # would a user.
    x, y, width, height = table.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    env = dict(os.environ, DISPLAY=display) if display else None
    for keys in ("Tab", "shift+Tab", "ctrl+Tab", "ctrl+shift+Tab"):
        subprocess.run(["xdotool", "mousemove", str(x + width // 4), str(y + height // 3),
                        "click", "1"], check=False, env=env)
        pump(0.5)
        if not table.getState().contains(pyatspi.STATE_FOCUSED):
            failures.append("a click did not give the table the focus")
            break
        key("Down", display=display)
        key(keys, display=display)
        pump(0.7)
        focused = [n for n in nodes(window)[1:] if n.getState().contains(pyatspi.STATE_FOCUSED)]
        where = [f"{n.getRoleName()} {n.name!r}" for n in focused]
        print(f"after {keys} in the table the focus is on {where}")
        if table.getState().contains(pyatspi.STATE_FOCUSED):
            failures.append(f"{keys} did not leave the table")
        elif not any(n.name for n in focused):
            failures.append(f"{keys} left the table for nothing a reader can name")
    return failures


def stale_reader(pyatspi, app, window):
    """A reader that knew the table's cells asks for them after a recount that left fewer
    rows: the program must not warn of invalid indexes (read from its log afterwards)."""
    tables = [n for n in nodes(window) if n.getRoleName() == "table"]
    if not tables:
        return ["the statistics window has no table"]
    known = tables[0].childCount
    count(nodes(app), "One. Two words here.")
    for i in range(known):
        try:
            tables[0].getChildAtIndex(i)
        except Exception:  # the table it knew is gone, which is what it is told
            pass
    pump(0.5)
    return []


def escape_closes(pyatspi, app, display=None):
    key("Escape", display=display)
    pump(1)
    if frame(pyatspi, app) is not None:
        return ["Escape did not close the statistics window"]
    return []


def window_box(display):
    """The statistics window with its frame, and the screen's free area, as X sees them."""
    env = dict(os.environ, DISPLAY=display) if display else None
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Statistics$"],
                           capture_output=True, text=True, env=env).stdout.split()
    if not found:
        return None, None
    window = found[0]
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                          env=env).stdout
    extents = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"],
                             capture_output=True, text=True, env=env).stdout
    field = {}
    for line in info.splitlines():
        name, _, value = line.strip().partition(":")
        field[name] = value.strip()
    x, y = int(field["Absolute upper-left X"]), int(field["Absolute upper-left Y"])
    width, height = int(field["Width"]), int(field["Height"])
    left = right = top = bottom = 0
    if "=" in extents:
        left, right, top, bottom = (int(v) for v in extents.split("=")[1].split(","))
    box = (x - left, y - top, x + width + right, y + height + bottom)
    area = subprocess.run(["xprop", "-root", "_NET_WORKAREA"], capture_output=True, text=True,
                          env=env).stdout
    if "=" in area:
        ax, ay, aw, ah = (int(v) for v in area.split("=")[1].split(",")[:4])
    else:
        root = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True,
                              env=env).stdout
        dims = {k.strip(): v.strip() for k, _, v in
                (line.partition(":") for line in root.splitlines())}
        ax, ay, aw, ah = 0, 0, int(dims["Width"]), int(dims["Height"])
    return box, (ax, ay, ax + aw, ay + ah)


def shot(name, display=None):
    folder = os.environ.get("BRINTALE_A11Y_SHOTS")
    if not folder or shutil.which("import") is None:
        return
    os.makedirs(folder, exist_ok=True)
    env = dict(os.environ, DISPLAY=display) if display else None
    path = os.path.join(folder, name)
    subprocess.run(["import", "-window", "root", path], check=False, env=env)
    print(f"screenshot: {path}")


def fits(pyatspi, binary, env, what, display=None):
    process, app, window, failure = open_statistics(pyatspi, binary, env, display)
    try:
        if failure:
            return [f"{what}: {failure}"]
        time.sleep(1)  # the manager frames and places it
        box, area = window_box(display)
        shot(f"statistics-{what.replace(' ', '-')}.png", display)
        if box is None:
            return [f"{what}: the statistics window is not on the screen"]
        print(f"{what}: the statistics window with its frame spans {box} of the free area {area}")
        if box[0] < area[0] or box[1] < area[1] or box[2] > area[2] or box[3] > area[3]:
            return [f"{what}: the statistics window leaves the screen: {box} of {area}"]
        return []
    finally:
        stop(process)


def small_screen():
    """Another virtual display of 1366x768 with openbox; its name, and what to stop."""
    if shutil.which("Xvfb") is None or shutil.which("openbox") is None:
        return None, []
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1366x768x24",
                               "-nolisten", "tcp"], pass_fds=(write,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip():
        server.terminate()
        return None, []
    display = ":" + number.decode().strip()
    manager = subprocess.Popen(["openbox", "--sm-disable"], env=dict(os.environ, DISPLAY=display),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 10
    while time.time() < deadline:
        probe = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True,
                               text=True, env=dict(os.environ, DISPLAY=display))
        if "window id" in probe.stdout:
            break
        time.sleep(0.1)
    return display, [manager, server]


def check(binary):
    """Runs every check of the statistics window; returns the failures."""
    import pyatspi
    config = tempfile.mkdtemp(prefix="brintale-statistics-")
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
               QT_ACCESSIBILITY="1", XDG_CONFIG_HOME=config, BROWSER="true")
    failures = []
    try:
        with tempfile.TemporaryFile("w+") as log:
            process, app, window, failure = open_statistics(pyatspi, binary, env, log=log)
            try:
                if failure:
                    return [failure]
                shot("statistics-100.png")
                failures += heard_figures(pyatspi, window)
                failures += tab_leaves_table(pyatspi, window)
                failures += stale_reader(pyatspi, app, window)
                failures += escape_closes(pyatspi, app)
            finally:
                stop(process)
            log.seek(0)
            warnings = [line for line in log.read().splitlines()
                        if "Invalid index" in line or "invalid index" in line]
            if warnings:
                failures.append(f"a recount made Qt warn: {warnings[0]} ({len(warnings)} in all)")
        failures += fits(pyatspi, binary, dict(env, QT_SCALE_FACTOR="2"), "scale 2 on 1920x1080")
        display, helpers = small_screen()
        if display is None:
            failures.append("no second virtual display for the 1366x768 check")
        else:
            try:
                failures += fits(pyatspi, binary, env, "100 % on 1366x768", display)
            finally:
                for helper in helpers:
                    helper.terminate()
                    helper.wait(10)
    finally:
        shutil.rmtree(config, ignore_errors=True)
    return ["statistics window: " + f for f in failures]
