#!/usr/bin/python3
"""editor_desktop_test.py KELVANE SCREENSHOT_TOOL: the program as a desktop
starts it (a launcher, a scheduler) and the job editor as its users meet it,
through the real program on a desktop: a screen reader through the
accessibility bus (AT-SPI), a keyboard user through keys sent from outside.

Runs under tests/support/desktop_session.sh inside dbus-run-session, with the
accessibility bridge on (NO_AT_BRIDGE unset). Screenshots go to
$KELVANE_ARTIFACTS.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi

KELVANE, SCREENSHOT = sys.argv[1], sys.argv[2]
ARTIFACTS = os.environ.get("KELVANE_ARTIFACTS", "test-artifacts")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, file=sys.stderr)
    return condition


def wait(predicate, timeout=20.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            found = predicate()
        except Exception:  # the tree changes under the walk
            found = None
        if found:
            return found
        time.sleep(0.1)
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def find(node, role, name=None, start=None):
    for item in walk(node):
        if item.getRoleName() == role and (
                (name is None or item.name == name) and (start is None or item.name.startswith(start))):
            return item
    return None


def click(node):
    """Presses the control as a screen reader does, by its action."""
    if check(node is not None, "nothing to press"):
        node.queryAction().doAction(0)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def labelled_by(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return []


class Program:
    """The program started with `args`, its windows seen through AT-SPI."""

    def __init__(self, args, work, executable=KELVANE, env=None, stderr=None):
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "profile"), **(env or {}))
        self.process = subprocess.Popen([executable] + args, env=env, cwd=work,
                                        stderr=stderr and open(stderr, "w"))
        self.app = wait(lambda: next(a for a in pyatspi.Registry.getDesktop(0)
                                     if a is not None and a.get_process_id() == self.process.pid))
        check(self.app is not None, f"{args}: the program never reached the accessibility bus")

    def window(self, title, timeout=20.0):
        """The shown window of that title (a prefix when it ends in '*')."""
        def match(frame):
            name = frame.name
            return name.startswith(title[:-1]) if title.endswith("*") else name == title
        return wait(lambda: next(f for f in self.app if f is not None and match(f) and showing(f)),
                    timeout)

    def exit_status(self, timeout=30):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return "still running"


def show_page(editor, page, role, name, timeout=20.0):
    """Selects the editor's page `page` and waits for its control `name`."""
    pages = find(editor, "table", "Pages")
    pages.querySelection().selectChild(next(i for i, c in enumerate(pages) if c.name == page))
    return wait(lambda: next(n for n in walk(editor) if n.getRoleName() == role
                             and n.name == name and showing(n)), timeout)


def x_properties(title):
    """WM_CLASS and WM_STATE of the window of that title the window manager
    manages (GTK's hidden leader window has no WM_STATE), shown or iconic."""
    ids = subprocess.run(["xdotool", "search", "--name", f"^{title}$"],
                         capture_output=True, text=True).stdout.split()
    for window in ids:
        said = subprocess.run(["xprop", "-id", window, "WM_CLASS", "WM_STATE"],
                              capture_output=True, text=True).stdout
        if "window state" in said:
            return said
    return ""


def x_window(title):
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                         capture_output=True, text=True).stdout.split()
    return ids[-1] if ids else None


def press(title, *keys, verb="key"):
    """The keys (or with verb "type", the text) as the user gives them to the
    window of that title."""
    window = wait(lambda: x_window(title), 5)
    if not check(window is not None, f"no window \"{title}\" to press {keys} in"):
        return
    subprocess.run(["xdotool", "windowactivate", "--sync", window, verb, "--clearmodifiers"] + list(keys),
                   stderr=subprocess.DEVNULL)


def geometry(title):
    """Where the window's client area is, and how large, as X says."""
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", x_window(title)],
                         capture_output=True, text=True).stdout
    values = dict(line.split("=") for line in out.split())
    return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def settled_geometry(title):
    """The geometry once the window manager has stopped moving the window:
    the same in three looks in a row."""
    looks = []

    def still():
        looks.append(geometry(title))
        return len(looks) >= 3 and looks[-1] == looks[-2] == looks[-3]
    wait(still, 5)
    return looks[-1] if looks else geometry(title)


def shoot(title, name):
    x, y, width, height = geometry(title)
    os.makedirs(ARTIFACTS, exist_ok=True)
    subprocess.run([SCREENSHOT, os.path.join(ARTIFACTS, name + ".png"), str(x - 4), str(y - 40),
                    str(width + 8), str(height + 44)])


def make_job(work, name="Daily"):
    os.makedirs(os.path.join(work, "data"), exist_ok=True)
    os.makedirs(os.path.join(work, "out"), exist_ok=True)
    with open(os.path.join(work, "data", "a.txt"), "w") as f:
        f.write("text\n")
    job = {"Backup": {"Type": 1, "ArchiveFolder": os.path.join(work, "out"), "ArchiveName": name,
                      "ArchiveCompLevel": 6, "WhiteList": ["*.*"], "BlackList": [],
                      "IncludeFolders": [os.path.join(work, "data")], "ExcludeFolders": []}}
    path = os.path.join(work, name + ".kvnjob")
    with open(path, "w") as f:
        json.dump(job, f)
    return path


def start_and_return(program, editor_title, round_name):
    """Start from the keyboard (Alt and the button's letter); the run window
    says how it went; closing it brings the editor back, the process alive."""
    press(editor_title, "alt+t")
    run = program.window("Kelvane - Daily")
    if not check(run is not None, f"{round_name}: no run window"):
        return False
    close = wait(lambda: find(run, "push button", "Close"), 30)
    outcome = find(run, "label", start="Done: 1 of 1 files")
    check(outcome is not None and outcome.name.endswith("Daily.zip, 0 error(s)."),
          f"{round_name}: the run window does not say how it went")
    if close is None:
        return check(False, f"{round_name}: the run window offers no Close at the end")
    if round_name == "start 0, run 0":
        shoot("Kelvane - Daily", "run-window-end-en")
    press("Kelvane - Daily", "Return")
    back = program.window(editor_title)
    check(back is not None, f"{round_name}: the editor did not come back")
    return check(program.process.poll() is None, f"{round_name}: the program ended after the run")


def test_start_keeps_the_editor_and_its_place():
    """Five program starts, each with a run (the first with two): the editor
    stays, comes back where it was, and closes with status 0."""
    work = tempfile.mkdtemp()
    job = make_job(work)
    title = "Kelvane - " + job
    first = None
    for round_number in range(5):
        program = Program([job], work)
        if not check(program.window(title) is not None, f"start {round_number}: no editor"):
            break
        before = settled_geometry(title)
        if first is None:
            first = before
            shoot(title, "editor-before-run")
        for run_number in range(2 if round_number == 0 else 1):
            name = f"start {round_number}, run {run_number}"
            if not start_and_return(program, title, name):
                break
            after = settled_geometry(title)
            check(all(abs(a - b) <= 2 for a, b in zip(after, before)),
                  f"{name}: the editor came back at {after}, not {before}")
        check(all(abs(a - b) <= 2 for a, b in zip(before, first)),
              f"start {round_number}: the editor opened at {before}, not {first}")
        press(title, "ctrl+w")
        check(program.exit_status() == 0, f"start {round_number}: closing did not end with 0")
    shutil.rmtree(work)


def german_program(work):
    """A copy of the program beside a language file that chooses German."""
    folder = os.path.join(work, "de")
    os.makedirs(folder)
    shutil.copy(KELVANE, folder)
    with open(os.path.join(os.path.dirname(KELVANE), "Config.json")) as f:
        config = json.load(f)
    config["Language"]["Current"] = 2
    with open(os.path.join(folder, "Config.json"), "w") as f:
        json.dump(config, f, ensure_ascii=False)
    return os.path.join(folder, "kelvane"), {t for e in config["Language"]["2"] for t in e.items()}


def inside(inner, outer):
    return (inner.x >= outer.x and inner.y >= outer.y and inner.x + inner.width <= outer.x + outer.width
            and inner.y + inner.height <= outer.y + outer.height)


def test_every_field_is_named_by_its_own_label():
    """The settings page's fields are named by their row labels, in the
    program's language, and no control anywhere in the editor is unnamed;
    at its smallest, in either language and at any scale, the editor shows
    its button row whole."""
    work = tempfile.mkdtemp()
    job = make_job(work)
    german, german_texts = german_program(work)
    with open(os.path.join(os.path.dirname(KELVANE), "Config.json")) as f:
        english_texts = {t for e in json.load(f)["Language"]["1"] for t in e.items()}
    placement = os.path.join(work, "profile", "Dravolo", "Kelvane", "profile.json")
    os.makedirs(os.path.dirname(placement))
    for language, executable, texts, scale in (("en", KELVANE, english_texts, {}),
                                               ("de", german, german_texts, {}),
                                               ("de", german, german_texts, {"GDK_SCALE": "2"}),
                                               ("en", KELVANE, english_texts, {"GDK_DPI_SCALE": "1.5"})):
        name = f"{language} {scale or '1x'}"
        text = dict(texts)
        # A stored size far below the smallest the editor allows.
        with open(placement, "w") as f:
            json.dump({"KelvanePrefs": {"DPI": 96, "ShowCmd": 1, "Flags": 0, "Left": 0, "Top": 0,
                                        "Right": 100, "Bottom": 100}}, f)
        program = Program([job], work, executable, scale)
        editor = program.window("Kelvane - " + job)
        if not check(editor is not None, f"{name}: no editor"):
            continue
        settled_geometry("Kelvane - " + job)
        frame = editor.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        for label in ("ui_menu_new", "ui_menu_load", "ui_menu_save", "ui_menu_saveas", "ui_menu_start"):
            button = find(editor, "push button", text[label])
            if check(button is not None, f"{name}: no button \"{text[label]}\""):
                extents = button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                check(inside(extents, frame), f"{name}: \"{text[label]}\" is cut off at the smallest size")
        shoot("Kelvane - " + job, f"editor-smallest-{language}-{'-'.join(scale.values()) or '1'}")
        fields = {"ui_archive_type": "combo box", "ui_archive_folder": "text",
                  "ui_archive_name": "text", "ui_archive_complevel": "combo box",
                  "ui_archive_password": "password text", "ui_archive_password_repeat": "password text",
                  "ui_keep_last": "spin button", "ui_keep_days": "spin button",
                  "ui_keep_weeks": "spin button", "ui_keep_months": "spin button",
                  "ui_full_every": "spin button"}
        for key, role in fields.items():
            field = find(editor, role, text[key])
            if check(field is not None, f"{language}: no {role} named \"{text[key]}\""):
                check(labelled_by(field) == [text[key]],
                      f"{language}: \"{text[key]}\" is labelled by {labelled_by(field)}")
        unnamed = [f"{n.getRoleName()} in \"{n.parent.name}\"" for n in walk(editor)
                   if n.getState().contains(pyatspi.STATE_FOCUSABLE) and not n.name
                   and n.getRoleName() not in ("table cell", "table column header", "menu item")]
        check(not unnamed, f"{language}: focusable controls without a name: {unnamed}")
        press("Kelvane - " + job, "ctrl+w")
        check(program.exit_status() == 0, f"{language}: closing did not end with 0")
    shutil.rmtree(work)


def shown_dialog(program, roles=("alert", "dialog", "file chooser")):
    return wait(lambda: next(f for f in program.app
                             if f is not None and f.getRoleName() in roles and showing(f)), 10)


def test_the_desktops_keys():
    """F1 helps, Ctrl+O opens, Escape closes a dialog and the editor (asking
    about changes), Delete removes the selected source folder."""
    work = tempfile.mkdtemp()
    job = make_job(work)
    title = "Kelvane - " + job
    program = Program([job], work)
    editor = program.window(title)
    if not check(editor is not None, "no editor"):
        return
    press(title, "F1")
    help_box = shown_dialog(program, ("alert",))
    check(help_box is not None and find(help_box, "label", start="Kelvane backs up") is not None,
          "F1 showed no help")
    press("Kelvane", "Escape")
    check(wait(lambda: showing(editor)), "Escape left the help open")
    press(title, "ctrl+o")
    check(program.window("Open a job") is not None, "Ctrl+O opened no dialog titled \"Open a job\"")
    press("Open a job", "Escape")
    check(wait(lambda: showing(editor)), "Escape left the open dialog open")
    # The folder page, its one folder selected, and Delete.
    folders = show_page(editor, "Folders", "table", "Folders to back up")
    if check(folders is not None, "no folder list on the folder page"):
        folders.querySelection().selectChild(1)
        folders.queryComponent().grabFocus()
        press(title, "Delete")
        check(wait(lambda: find(folders, "table cell", os.path.join(work, "data")) is None, 5),
              "Delete did not remove the selected folder")
    # Escape closes as the close box does: unsaved changes are asked about.
    press(title, "Escape")
    question = shown_dialog(program, ("alert", "dialog"))
    if check(question is not None, "closing with changes asked nothing"):
        click(find(question, "push button", "Discard"))
    check(program.exit_status() == 0, "the editor closed by Escape did not end with 0")
    with open(job) as f:
        check(json.load(f)["Backup"]["IncludeFolders"] == [os.path.join(work, "data")],
              "Discard saved the job")
    shutil.rmtree(work)


def any_window(title, timeout=20.0):
    """The shown window of that title, of whichever program on the desktop."""
    return wait(lambda: next(f for a in pyatspi.Registry.getDesktop(0) if a is not None
                             for f in a if f is not None and f.name == title and showing(f)),
                timeout)


def test_the_restore_window():
    """The editor's Restore… opens the restore window (kelvane JOB -restore,
    as on a desktop without -to): every control named for a screen reader,
    the point's tree ticked; Start restores into the folder typed, in the run
    window, which says how it went; the editor comes back."""
    work = tempfile.mkdtemp()
    job = make_job(work)
    subprocess.run([KELVANE, job, "-start", "-console"], capture_output=True,
                   env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "profile")))
    program = Program([job], work)
    editor = program.window("Kelvane - " + job)
    if not check(editor is not None, "no editor"):
        return
    click(find(editor, "push button", "Restore…"))
    window = any_window("Restore - Daily")
    if not check(window is not None, "Restore… showed no restore window"):
        return
    for role, name in (("table", "Restore points"), ("table", "What to restore"),
                       ("text", "Restore into"), ("check box", "Overwrite existing files"),
                       ("push button", "Browse…"), ("push button", "Start"),
                       ("push button", "Close")):
        check(wait(lambda: find(window, role, name), 5) is not None,
              f"the restore window has no {role} named \"{name}\"")
    check(wait(lambda: find(window, "label", "1 file (5 bytes) ticked"), 5) is not None,
          "the restore window does not say what is ticked")
    unnamed = [f"{n.getRoleName()} in \"{n.parent.name}\"" for n in walk(window)
               if n.getState().contains(pyatspi.STATE_FOCUSABLE) and not n.name
               and n.getRoleName() not in ("table cell", "table column header", "menu item")]
    check(not unnamed, f"restore window: focusable controls without a name: {unnamed}")
    settled_geometry("Restore - Daily")
    shoot("Restore - Daily", "restore-window")
    target = os.path.join(work, "restored")
    find(window, "text", "Restore into").queryEditableText().setTextContents(target)
    click(find(window, "push button", "Start"))
    run = any_window("Kelvane - Restore Daily.zip")
    if check(run is not None, "Start showed no run window"):
        close = wait(lambda: find(run, "push button", "Close"), 30)
        check(find(run, "label", start="Restored 1 file (5 bytes) into") is not None,
              "the run window does not say the restore's outcome")
        shoot("Kelvane - Restore Daily.zip", "restore-window-end")
        click(close)
    restored = os.path.join(target, work.lstrip("/"), "data", "a.txt")
    check(wait(lambda: os.path.exists(restored), 10) and open(restored).read() == "text\n",
          "the file did not come back")
    check(program.window("Kelvane - " + job) is not None, "the editor did not come back")
    press("Kelvane - " + job, "Escape")
    check(program.exit_status() == 0, "the editor did not end with 0")
    shutil.rmtree(work)


def test_the_keep_policy():
    """The settings page says in a sentence what the job's keep policy keeps;
    a number changed through the accessibility bus changes the sentence and,
    saved, the job."""
    work = tempfile.mkdtemp()
    job = make_job(work)
    with open(job) as f:
        document = json.load(f)
    document["Backup"].update({"KeepLast": 3, "KeepDays": 7, "KeepWeeks": 4, "FullEvery": 7})
    with open(job, "w") as f:
        json.dump(document, f)
    program = Program([job], work)
    editor = program.window("Kelvane - " + job)
    if check(editor is not None, "no editor"):
        said = "Keeps the last 3 runs and one a day for 7 days, one a week for 4 weeks"
        check(wait(lambda: find(editor, "label", start=said), 5) is not None,
              "the settings page does not say what the policy keeps")
        months = find(editor, "spin button", "One a month, for months:")
        if check(months is not None, "no spin button for the months"):
            months.queryValue().currentValue = 6
            check(wait(lambda: find(editor, "label", start=said + ", one a month for 6 months"), 5)
                  is not None, "the sentence did not follow the months: "
                  f"{[n.name for n in walk(editor) if n.name.startswith('Keeps')]}")
            check("one a month for 6 months" in months.description,
                  f"the field's description is not the sentence: {months.description!r}")
        settled_geometry("Kelvane - " + job)
        shoot("Kelvane - " + job, "editor-keep-policy")
        press("Kelvane - " + job, "ctrl+s")
        wait(lambda: json.load(open(job))["Backup"].get("KeepMonths") == 6, 10)
        with open(job) as f:
            backup = json.load(f)["Backup"]
        check(backup.get("KeepMonths") == 6 and backup.get("KeepLast") == 3,
              f"the saved job does not hold the policy: {backup}")
        press("Kelvane - " + job, "ctrl+w")
    check(program.exit_status() == 0, "the editor did not end with 0")
    shutil.rmtree(work)


def test_the_storage_locations():
    """The security page lists the job's further storage locations; Test says
    of each whether it can hold backups (a missing folder is not made); Add
    takes a remote typed, and the job saved holds it."""
    work = tempfile.mkdtemp()
    job = make_job(work)
    copy = os.path.join(work, "copy")
    os.makedirs(copy)
    with open(job) as f:
        document = json.load(f)
    document["Backup"]["StorageLocations"] = [copy, os.path.join(work, "unplugged")]
    with open(job, "w") as f:
        json.dump(document, f)
    title = "Kelvane - " + job
    program = Program([job], work)
    editor = program.window(title)
    if not check(editor is not None, "no editor"):
        return
    places = show_page(editor, "Security", "table", "More storage locations")
    if check(places is not None, "no storage-location list on the security page"):
        check(places.getState().contains(pyatspi.STATE_ENABLED), "the list is disabled for a ZIP job")
        check(find(places, "table cell", copy) is not None, "the list does not show the job's folder")
        settled_geometry(title)
        shoot(title, "editor-storage-locations")
    click(find(editor, "push button", "Test"))
    said = shown_dialog(program, ("alert",))
    if check(said is not None, "Test said nothing"):
        lines = [line for n in walk(said) if n.getRoleName() == "label" for line in n.name.split("\n")]
        check(any(line == copy + ": can hold backups." for line in lines) and
              os.path.join(work, "unplugged") + ": Code: 2, No such file or directory." in lines, f"Test does not say of each location how it went: {lines}")
        click(find(said, "push button", "OK"))
    check(not os.path.exists(os.path.join(work, "unplugged")), "Test made a missing location")
    # The security page's Add (the folder page has one too).
    click(next(n for n in walk(editor) if n.getRoleName() == "push button" and n.name == "Add"
               and showing(n)))
    dialog = any_window("Storage location")
    if check(dialog is not None, "Add showed no dialog"):
        field = find(dialog, "text", "Storage location")
        if check(field is not None, "the location's field is not named"):
            field.queryEditableText().setTextContents("offsite:kelvane")
            click(wait(lambda: next(n for n in walk(dialog) if n.getRoleName() == "push button"
                                    and n.name == "OK" and n.getState().contains(pyatspi.STATE_SENSITIVE)), 5))
    check(wait(lambda: find(places, "table cell", "offsite:kelvane"), 5) is not None,
          "the remote added is not in the list")
    press(title, "ctrl+s")
    wait(lambda: len(json.load(open(job))["Backup"].get("StorageLocations", [])) == 3, 10)
    with open(job) as f:
        check(json.load(f)["Backup"].get("StorageLocations", [])[-1:] == ["offsite:kelvane"],
              "the saved job does not hold the location added")
    press(title, "ctrl+w")
    check(program.exit_status() == 0, "the editor did not end with 0")
    shutil.rmtree(work)


def zip_job(work, name, files, kb=20):
    """A ZIP job over `files` files of `kb` kB, level 9. The files are random
    letters of a four-letter alphabet: deflate cannot skip them as it skips
    noise, and at level 9 they cost it about 0.6 s a megabyte, so a run lasts
    long enough to be cancelled."""
    source = os.path.join(work, "src-" + name)
    os.makedirs(source)
    os.makedirs(os.path.join(work, "out"), exist_ok=True)
    letters = bytes(b"abcd"[i & 3] for i in range(256))
    for i in range(files):
        with open(os.path.join(source, f"file{i}.bin"), "wb") as f:
            f.write(os.urandom(kb * 1000).translate(letters))
    path = os.path.join(work, name + ".kvnjob")
    with open(path, "w") as f:
        json.dump({"Backup": {"Type": 1, "ArchiveFolder": os.path.join(work, "out"), "ArchiveName": name,
                              "ArchiveCompLevel": 9, "LogErrors": True, "LogRemoveLog": True,
                              "WhiteList": ["*.*"], "BlackList": [], "IncludeFolders": [source],
                              "ExcludeFolders": []}}, f)
    return path


def test_a_run_from_a_launcher():
    """-start runs in a window named after the job that closes by itself
    (nobody may be watching) and says nothing in the terminal; -minimize runs
    it iconic; -console, and a display that cannot be opened, keep the run in
    the terminal."""
    work = tempfile.mkdtemp()
    for name, args in (("Plain", ["-start"]), ("Small", ["-start", "-minimize"])):
        title = "Kelvane - " + name
        program = Program([zip_job(work, name, 40), *args], work, stderr=os.path.join(work, "err"))
        window = program.window(title) if name == "Plain" else None
        said = wait(lambda: (x_properties(title) if "-minimize" not in args
                             or "Iconic" in x_properties(title) else None), 10) or ""
        check('"kelvane"' in said, f"{args}: no window of class kelvane titled \"{title}\" ({said})")
        if window is not None:
            shoot(title, "run-window-started")
        check(program.exit_status(60) == 0, f"{args}: the run did not end with 0")
        archive = os.path.join(work, "out", name + ".zip")
        check(subprocess.run(["unzip", "-tq", archive], capture_output=True).returncode == 0,
              f"{args}: the window's archive fails unzip -t")
        check("Done:" not in open(os.path.join(work, "err")).read(),
              f"{args}: the window run wrote the console's end line")
    for args, env, line in ((["-console"], {}, "Done:"),
                            ([], {"DISPLAY": ":9999", "WAYLAND_DISPLAY": ""},
                             "The display :9999 cannot be opened; the run goes on in the terminal.")):
        ran = subprocess.run([KELVANE, os.path.join(work, "Small.kvnjob"), "-start", *args],
                             capture_output=True, text=True, timeout=60, env=dict(os.environ, **env))
        check(ran.returncode == 0 and line in ran.stderr and "Done:" in ran.stderr,
              f"{args or env}: the run did not go on in the terminal: {ran.returncode} {ran.stderr}")
    shutil.rmtree(work)


def test_cancelling_a_window_run():
    """Escape during a run asks, and Enter answers Yes (the default button);
    SIGTERM (a shutdown, a scheduler's time limit) ends it as cleanly: status
    2, the older archive as it was, nothing else of the job left."""
    work = tempfile.mkdtemp()
    out = os.path.join(work, "out")
    for name in ("Cancel", "Term"):
        title = "Kelvane - " + name
        job = zip_job(work, name, 400, 40)
        archive = os.path.join(out, name + ".zip")
        with open(archive, "w") as f:
            f.write("an older archive")
        program = Program([job, "-start"], work)
        check(program.window(title) is not None, f"{name}: no run window")
        wait(lambda: any(n.startswith(f".{name}.zip.kvn-") for n in os.listdir(out)), 10)
        if name == "Term":
            program.process.terminate()
        else:
            press(title, "Escape")
            question = shown_dialog(program, ("alert", "dialog"))
            # The question's title is the program's name.
            if check(question is not None and wait(lambda: x_window("Kelvane"), 5),
                     "Escape asked no question"):
                shoot("Kelvane", "run-window-cancel-question")
                press("Kelvane", "Return")
        check(program.exit_status(60) == 2, f"{name}: the run did not end with 2")
        check(open(archive).read() == "an older archive", f"{name}: the older archive changed")
        # The run's summary stays beside the log, as after every run.
        left = [n for n in os.listdir(out) if name in n and n not in (name + ".zip",
                                                                      name + ".kvnlast.json")]
        check(not left, f"{name} left {left}")
    shutil.rmtree(work)


def test_a_start_without_a_usable_job():
    """From a launcher there is no terminal: a job that cannot be loaded is
    said in a message box as well (and named on stderr), then the editor
    comes up on a new job and the file stays as it was; with -start the
    status says the job did not run. With "load the last job" on, the last
    job comes up without a file named; one deleted since gives a new job and
    is not forgotten."""
    work = tempfile.mkdtemp()
    broken = os.path.join(work, "broken.kvnjob")
    with open(broken, "w") as f:
        f.write('{"Backup": [1, 2')
    for args, status in ((["missing.kvnjob", "-start"], 3), (["broken.kvnjob"], 0)):
        program = Program(args, work, stderr=os.path.join(work, "err"))
        box = shown_dialog(program, ("alert",))
        if check(box is not None, f"{args}: no message box"):
            click(find(box, "push button", "OK"))
            wait(lambda: not showing(box), 5)
        if check(program.window("Kelvane") is not None, f"{args}: no editor after the message"):
            press("Kelvane", "ctrl+w")
        check(program.exit_status() == status, f"{args}: the exit status is not {status}")
        check(args[0] in open(os.path.join(work, "err")).read(), f"{args}: not named on stderr")
    check(open(broken).read() == '{"Backup": [1, 2', "the broken job file changed")
    profile = os.path.join(work, "profile", "Dravolo", "Kelvane", "profile.json")
    os.makedirs(os.path.dirname(profile), exist_ok=True)
    for recent, title in ((make_job(work), "Kelvane - " + os.path.join(work, "Daily.kvnjob")),
                          (os.path.join(work, "gone.kvnjob"), "Kelvane")):
        with open(profile, "w") as f:
            json.dump({"Main": {"LoadRecentFile": 1, "RecentFile": recent}}, f)
        program = Program([], work)
        if check(program.window(title) is not None, f"recent job {recent}: no editor \"{title}\""):
            press(title, "ctrl+w")
        check(program.exit_status() == 0, f"recent job {recent}: closing did not end with 0")
    check("gone.kvnjob" in open(profile).read(), "a vanished recent job was forgotten at start")
    shutil.rmtree(work)


def test_the_notices():
    """The program page names the job's notices for a screen reader; Test
    says of the webhook typed that it could not be sent (nothing listens),
    the last backup is in sight, and Ctrl+S saves the URL into the job."""
    work = tempfile.mkdtemp()
    job = make_job(work)
    title = "Kelvane - " + job
    program = Program([job], work)
    editor = program.window(title)
    if not check(editor is not None, "no editor"):
        return
    url = "http://127.0.0.1:9/ping/kelvane"
    field = show_page(editor, "Program", "text", "Webhook URL:", 5)
    if check(field is not None, "no field named \"Webhook URL:\" on the program page"):
        field.queryEditableText().setTextContents(url)
    check(find(editor, "label", "Last backup: never") is not None, "the last backup is not in sight")
    settled_geometry(title)
    shoot(title, "editor-notices")
    click(next((n for n in walk(editor) if n.getRoleName() == "push button" and n.name == "Test"
                and showing(n)), None))
    said = shown_dialog(program, ("alert",))
    if check(said is not None, "Test said nothing"):
        lines = [n.name for n in walk(said) if n.getRoleName() == "label"]
        check(any(f"webhook {url}/start" not in line and f"webhook {url}: not sent" in line
                  for line in lines), f"Test does not say how the webhook went: {lines}")
        click(find(said, "push button", "OK"))
    press(title, "ctrl+s")
    wait(lambda: json.load(open(job))["Backup"].get("NotifyWebhook") == url, 10)
    with open(job) as f:
        check(json.load(f)["Backup"].get("NotifyWebhook") == url, "the saved job has no webhook")
    press(title, "ctrl+w")
    check(program.exit_status() == 0, "the editor did not end with 0")
    shutil.rmtree(work)


for test in (test_start_keeps_the_editor_and_its_place, test_every_field_is_named_by_its_own_label,
             test_the_desktops_keys, test_the_restore_window,
             test_the_keep_policy, test_the_storage_locations, test_a_run_from_a_launcher,
             test_cancelling_a_window_run, test_a_start_without_a_usable_job, test_the_notices):
    print("--", test.__name__, flush=True)
    test()
if failures:
    print(f"{len(failures)} check(s) failed", file=sys.stderr)
    sys.exit(1)
print("all editor desktop checks passed")
