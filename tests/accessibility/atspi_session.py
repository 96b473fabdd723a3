"""A private desktop for reading a running Ripwell over AT-SPI.

Starts Xvfb, a private D-Bus session bus and the AT-SPI bus launcher, then the
application with accessibility switched on, and offers small look-ups by role
and accessible name. Everything it starts is ended by close(), the registry
daemon (which detaches from its parent) by its PID.
"""

import os
import subprocess
import time


class Session:
    def __init__(self, app, env_extra, size="1024x768x24", log_path=None):
        self._procs = []
        self.log_path = log_path or os.devnull
        try:
            self._start(app, env_extra, size)
        except BaseException:
            self.close()  # nothing started may outlive a failed start
            raise

    def _start(self, app, env_extra, size):
        # A display of our own, away from the low numbers that other X
        # servers on the machine take; the lock file says whether it is free.
        # (-noreset: the server would otherwise reset whenever its last
        # client leaves.)
        xvfb, display = None, None
        for n in [(os.getpid() + k * 7) % 400 + 100 for k in range(40)]:
            if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
                continue
            xvfb = subprocess.Popen(["Xvfb", f":{n}", "-noreset", "-screen", "0", size, "-nolisten", "tcp"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 10
            while xvfb.poll() is None and not os.path.exists(f"/tmp/.X11-unix/X{n}") and time.monotonic() < deadline:
                time.sleep(0.05)
            if xvfb.poll() is None and os.path.exists(f"/tmp/.X11-unix/X{n}"):
                display = str(n)
                break
            if xvfb.poll() is None:
                xvfb.kill()
            xvfb.wait()
            xvfb = None
        if xvfb is None:
            raise AssertionError("no X display could be started")
        self._procs.append(xvfb)
        os.environ["DISPLAY"] = ":" + display
        time.sleep(0.2)  # the socket comes a moment before the server takes connections
        dbus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self._procs.append(dbus)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = dbus.stdout.readline().strip()
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._procs.append(launcher)

        import pyatspi  # only now: it connects to the bus named above
        self.pyatspi = pyatspi

        env = dict(os.environ)
        env.pop("AT_SPI_BUS_ADDRESS", None)  # with it set, the app never shows on the bus
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env.update(env_extra)
        # The app's output goes to a file: a pipe nobody reads would stall it.
        with open(self.log_path, "wb") as log:
            self.app_proc = subprocess.Popen(app, env=env, stdout=log, stderr=subprocess.STDOUT)
        self._procs.append(self.app_proc)
        self.app = self.wait_for(self._find_app, "the application on the accessibility bus", 30)
        # Read every state live: a cached one goes stale when a whole screen
        # is hidden (its buttons are not told one by one).
        from gi.repository import Atspi
        self.app.set_cache_mask(Atspi.Cache.NONE)

    def _find_app(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            a = desktop.getChildAtIndex(i)
            if a is not None and a.name == "Ripwell":
                return a
        return None

    @staticmethod
    def wait_for(fn, what, seconds=15):
        deadline = time.monotonic() + seconds
        while True:
            try:
                found = fn()
            except Exception:  # a node went away while we read it
                found = None
            if found:
                return found
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for " + what)
            time.sleep(0.1)

    # --- reading the tree -------------------------------------------------

    def walk(self, root=None):
        stack = [root or self.app]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            yield node
            try:
                if not node.getState().contains(self.pyatspi.STATE_SHOWING) and node is not (root or self.app):
                    continue
                stack.extend(node.getChildAtIndex(i) for i in reversed(range(node.childCount)))
            except Exception:
                continue

    def find_all(self, role=None, name=None, root=None, showing=True):
        out = []
        for n in self.walk(root):
            try:
                if role is not None and n.getRoleName() != role:
                    continue
                if name is not None and n.name != name:
                    continue
                if showing and not n.getState().contains(self.pyatspi.STATE_SHOWING):
                    continue
                out.append(n)
            except Exception:
                continue
        return out

    def find(self, role, name, seconds=15):
        """The topmost showing node (the last in the tree: menus and alerts
        come after the screens they cover). A screen hidden under another
        may still call its buttons showing: Qt tells the hidden view, not
        each of its buttons."""
        return self.wait_for(lambda: (self.find_all(role, name) or [None])[-1], f"{role} '{name}'", seconds)

    def dump(self):
        """What a screen reader sees now, one node a line, for a failure's report."""
        lines = []
        for n in self.walk():
            try:
                if n.getState().contains(self.pyatspi.STATE_SHOWING):
                    lines.append(f"{n.getRoleName()}: {n.name!r} {n.description!r}")
            except Exception:
                continue
        return "\n".join(lines)

    def names(self, role):
        return [n.name for n in self.find_all(role)]

    # --- acting -----------------------------------------------------------

    def press(self, role, name, seconds=15):
        """Runs the node's first action (a button's Press)."""
        node = self.find(role, name, seconds)
        self.settled(node)  # a menu may still slide in
        node.queryAction().doAction(0)
        return node

    def extents(self, node):
        return node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)

    def settled(self, node, seconds=10):
        """Waits until the node stays in place (a screen may still slide in)."""
        last = [None]

        def still():
            e = self.extents(node)
            now = (e.x, e.y, e.width, e.height)
            same = now == last[0]
            last[0] = now
            return same

        def check():
            if still():
                return True
            time.sleep(0.25)
            return False

        self.wait_for(check, "a node to stand still", seconds)
        return node

    def click(self, node):
        """A left click in the middle of the node, through the X server."""
        self.settled(node)
        ext = self.extents(node)
        x, y = ext.x + ext.width // 2, ext.y + ext.height // 2
        self.pyatspi.Registry.generateMouseEvent(x, y, self.pyatspi.MOUSE_B1C)
        return node

    def close(self):
        for p in reversed(self._procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        # The registry daemon detaches from the launcher: end it by its PID.
        out = subprocess.run(["pgrep", "-f", "at-spi2-registryd"], capture_output=True, text=True).stdout.split()
        bus = os.environ.get("DBUS_SESSION_BUS_ADDRESS", "")
        for pid in out:
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if bus.encode() in f.read():
                        os.kill(int(pid), 15)
            except OSError:
                pass
