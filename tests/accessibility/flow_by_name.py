"""Walks the window app's main flow by what a screen reader reads of it.

Usage: flow_by_name.py RIPWELL RIPWELL_MAKE_LIBRARY RIPWELL_DROP_TARGET

Over AT-SPI alone (accessible names, roles, states and values; buttons by
their Press action, rows by a real mouse click at their place on screen or
by their own action): pick three songs of which one is protected (one row
clicked, two ticked through their Toggle action, one of them unticked and
ticked again), acknowledge the alert, convert, open the file manager from the
completion menu, go down into the artist's album by pressing the rows, drag a
file out of the window onto another program (a real drag through the X
server, dropped on RIPWELL_DROP_TARGET), play a file by pressing its row, open the mail composer and read its fields by name,
delete one file, quit, and land on the main screen with its welcome message.
Then the files on disk are checked.
"""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_session import Session  # noqa: E402

WELCOME_1 = "Create backups by extracting your songs from your music library."


def fail(message):
    raise AssertionError(message)


def has_state(s, node, state):
    return node.getState().contains(state)


def step(text):
    print("accessibility flow: " + text, file=sys.stderr, flush=True)


def main():
    # A test runner's timeout ends us with SIGTERM: clean up all the same.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    ripwell, make_library, drop_target = sys.argv[1], sys.argv[2], sys.argv[3]
    work = tempfile.mkdtemp(prefix="ripwell-atspi-")
    session = None
    target = None
    try:
        library = os.path.join(work, "Music")
        documents = os.path.join(work, "Documents")
        subprocess.run([make_library, "--songs", "3", "--seconds", "0.2", "--formats", "mp3,aac,m4p", "--quiet",
                        library], check=True)
        env = {
            "RIPWELL_LIBRARY": library,
            "RIPWELL_DOCUMENTS": documents,
            "XDG_DATA_HOME": os.path.join(work, "data"),
            "XDG_RUNTIME_DIR": work,
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "LANGUAGE": "",
            "QT_QPA_PLATFORM": "xcb",
            "RIPWELL_SENDMAIL": "/bin/false",
        }
        log = os.path.join(work, "ripwell.log")
        try:
            session = Session([ripwell], env, log_path=log)
        finally:
            with open(log, "rb") if os.path.exists(log) else open(os.devnull, "rb") as f:
                app_output = f.read().decode(errors="replace")
            if app_output.strip() and session is None:
                print(app_output, file=sys.stderr)
        s = session
        P = s.pyatspi
        # The other program, to the right of the app's window.
        target = subprocess.Popen([drop_target, "700", "100"], env={**os.environ, "QT_QPA_PLATFORM": "xcb"},
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        if target.stdout.readline().strip() != "ready":
            fail("the drop target did not start")

        # The main screen: every control has a name, the icon-only one too.
        for name in ("Select songs", "File manager"):
            s.find("push button", name)
        step("the picker")
        s.press("push button", "Select songs")

        # The picker: rows by title; a row says whether it is ticked.
        titles = ["Morning Tide", "Copper Sky", "Why? (Live)"]

        def ticked(title, want):
            s.wait_for(lambda: has_state(s, s.find("list item", title), P.STATE_CHECKED) == want,
                       f"row '{title}' to say it is {'ticked' if want else 'unticked'}", 10)

        def toggle(title):
            row = s.find("list item", title)
            action = row.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
            if "Toggle" not in names:
                fail(f"row '{title}' offers the actions {names}")
            action.doAction(names.index("Toggle"))

        for title in titles:
            if has_state(s, s.find("list item", title), P.STATE_CHECKED):
                fail(f"row '{title}' is ticked before it was tapped")
        s.click(s.find("list item", titles[0]))
        ticked(titles[0], True)
        for title in titles[1:]:
            toggle(title)
            ticked(title, True)
        toggle(titles[1])  # the action unticks as a second click does
        ticked(titles[1], False)
        toggle(titles[1])
        ticked(titles[1], True)
        step("the alert")
        s.press("push button", "Done")

        # The alert about the protected song, read whole, then OK.
        alert = s.wait_for(lambda: (s.find_all("alert") or [None])[0], "the skipped-songs alert", 15)
        text = (alert.name or "") + " " + (alert.description or "")
        if "Skipped files: 1" not in text:
            fail(f"the alert reads '{text}'")
        s.press("push button", "OK")

        # Two songs shown, then convert.
        s.find("label", "Selected items: 2")
        step("convert")
        s.press("push button", "Convert")

        # The conversion screen's progress bar tells its value (the run is
        # over in a moment, and the bar then gives way to the result mark).
        bar = s.wait_for(lambda: (s.find_all("progress bar", "Progress", showing=False) or [None])[0],
                         "the progress bar", 20)
        value = bar.queryValue()
        if not (value.minimumValue == 0 and value.maximumValue == 100 and 0 <= value.currentValue <= 100):
            fail(f"the progress bar's value {value.currentValue} of {value.minimumValue}..{value.maximumValue}")

        # The completion menu: File manager.
        step("the file manager")
        # A press over AT-SPI can go unanswered on a loaded machine, as with
        # Delete below (seen once, under AddressSanitizer in the full suite):
        # while the menu still offers the button, press again, at most twice more.
        s.press("push button", "File manager", 30)
        for attempt in range(3):
            try:
                artist = s.find("list item", "The Lanterns")
                break
            except AssertionError:
                if attempt == 2 or not s.find_all("push button", "File manager"):
                    raise
                print("accessibility flow: the file manager did not open; pressing again", file=sys.stderr)
                s.press("push button", "File manager")

        # The browser: rows by their names; down into artist and album, the
        # first by a click, the second by the row's Press action.
        s.click(artist)  # the row, named by its text
        s.wait_for(lambda: not s.find_all("label", "The Lanterns"), "the folder 'The Lanterns' to open", 10)
        s.press("list item", "Harbour Lights")
        s.wait_for(lambda: not s.find_all("label", "Harbour Lights"), "the folder 'Harbour Lights' to open", 10)
        s.find("label", "..")

        # A file's row dragged onto the other program hands it the file; the
        # drag is no tap (the row is not played).
        step("drag a file out")
        row = s.settled(s.find("list item", "Morning Tide"))
        e = s.extents(row)
        x, y = e.x + e.width // 3, e.y + e.height // 2
        to_x, to_y = 820, 220
        R = P.Registry
        R.generateMouseEvent(x, y, P.MOUSE_ABS)
        R.generateMouseEvent(x, y, P.MOUSE_B1P)
        # The pointer moves as a hand does, a step at a time (a drag starts
        # on motion, and the drop protocol follows each step).
        for i in range(1, 26):
            R.generateMouseEvent(x + (to_x - x) * i // 25, y + (to_y - y) * i // 25, P.MOUSE_ABS)
            time.sleep(0.04)

        def target_says():
            ready, _, _ = select.select([target.stdout], [], [], 15)
            return target.stdout.readline().strip() if ready else ""

        if (entered := target_says()) != "entered":
            fail(f"the drag did not reach the drop target (it said '{entered}')")
        R.generateMouseEvent(to_x, to_y, P.MOUSE_B1R)
        dropped = target_says()
        expected = os.path.join(documents, "The Lanterns", "Harbour Lights", "Morning Tide.mp3")
        if dropped != "dropped " + expected:
            fail(f"the drop target got '{dropped}', not {expected}")
        if has_state(s, s.find("list item", "Morning Tide"), P.STATE_SELECTED):
            fail("the dragged row was played")

        # Pressing a file's row plays it: the row is then the selected one.
        step("play a file")
        s.press("list item", "Morning Tide")
        s.wait_for(lambda: has_state(s, s.find("list item", "Morning Tide"), P.STATE_SELECTED),
                   "the played row to say it is selected", 10)

        # The mail composer: every field read by its name.
        step("the mail composer")
        s.press("push button", "E-Mail")  # each file row's mail button has a name
        s.find("push button", "Send", 20)
        for name in ("To:", "Cc:", "Bcc:", "Subject:"):
            field = s.find("text", name)
            relations = [r.getRelationType() for r in field.getRelationSet()]
            if P.RELATION_LABELLED_BY not in relations:
                fail(f"the field '{name}' is not labelled by its label: {relations}")
        s.find("label", "Message")  # the message text, read-only
        s.press("push button", "Cancel")
        s.wait_for(lambda: not s.find_all("push button", "Send"), "the composer to close", 20)

        # Delete "Morning Tide": Edit, the row's delete control, its Delete button.
        step("delete a file")
        s.press("push button", "Edit")
        row_label = s.find("label", "Morning Tide")
        row_ext = row_label.queryComponent().getExtents(P.DESKTOP_COORDS)

        def controls_in_row():
            out = []
            for b in s.find_all("push button", "Delete"):
                e = b.queryComponent().getExtents(P.DESKTOP_COORDS)
                if e.width > 0 and e.y <= row_ext.y + row_ext.height // 2 <= e.y + e.height:
                    out.append((e.x, b))
            return sorted(out, key=lambda t: t[0])

        song = os.path.join(documents, "The Lanterns", "Harbour Lights", "Morning Tide.mp3")
        # Under a loaded machine a press sent over AT-SPI is now and then not
        # followed by the row going (seen twice in many runs, under
        # AddressSanitizer in the full suite): a screen-reader user would press
        # again, and so does the flow, saying so, at most twice more.
        for attempt in range(3):
            controls = s.wait_for(lambda: controls_in_row() or None, "the row's delete control", 10)
            if len(controls) < 2:  # not already asking for the confirmation
                controls[0][1].queryAction().doAction(0)
            confirm = s.wait_for(lambda: controls_in_row()[1:] or None, "the row's Delete button", 10)
            confirm[-1][1].queryAction().doAction(0)
            try:
                s.wait_for(lambda: not s.find_all("label", "Morning Tide"), "the row to go", 10)
                break
            except AssertionError:
                if attempt == 2:
                    raise
                if not os.path.exists(song):
                    fail("the song is gone from disk, but its row is still listed")
                print("accessibility flow: the row and the song stayed after Delete; pressing again", file=sys.stderr)

        # Quit: back on the main screen, welcome message 1.
        step("quit")
        s.press("push button", "Done")
        s.find("label", WELCOME_1, 20)
        s.find("push button", "Select songs")

        # On disk: the M4A is there, the MP3 is gone.
        found = []
        for root, _dirs, files in os.walk(documents):
            found += [os.path.relpath(os.path.join(root, f), documents) for f in files]
        album = os.path.join("The Lanterns", "Harbour Lights")
        if any(f.endswith(".mp3") for f in found) or not any(f.startswith(album) and f.endswith(".m4a") for f in found):
            fail(f"files on disk: {sorted(found)}")
        if s.app_proc.poll() is not None:
            fail("the application ended during the flow")
        print("accessibility flow: passed")
        return 0
    except AssertionError:
        if session:
            print("on screen:\n" + session.dump(), file=sys.stderr)
        raise
    finally:
        if target and target.poll() is None:
            target.kill()
            target.wait()
        if session:
            session.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
