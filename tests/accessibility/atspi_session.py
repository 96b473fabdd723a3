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
    def __init__(self, app, env_extra, size="1024x768x24"):
        self._procs = []
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", size, "-nolisten", "tcp"],
                                pass_fds=[w], stderr=subprocess.DEVNULL)
        os.close(w)
        self._procs.append(xvfb)
        display = os.read(r, 32).decode().strip()
        os.close(r)
        os.environ["DISPLAY"] = ":" + display
        dbus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self._procs.append(dbus)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = dbus.stdout.readline().strip()
        launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                    stderr=subprocess.DEVNULL)
        self._procs.append(launcher)

        import pyatspi  # only now: it connects to the bus named above
        self.pyatspi = pyatspi

        env = dict(os.environ)
        env.pop("AT_SPI_BUS_ADDRESS", None)  # with it set, the app never shows on the bus
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env.update(env_extra)
        self.app_proc = subprocess.Popen(app, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self._procs.append(self.app_proc)
        self.app = self.wait_for(self._find_app, "the application on the accessibility bus", 30)

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
        return self.wait_for(lambda: (self.find_all(role, name) or [None])[0], f"{role} '{name}'", seconds)

    def names(self, role):
        return [n.name for n in self.find_all(role)]

    # --- acting -----------------------------------------------------------

    def press(self, role, name, seconds=15):
        """Runs the node's first action (a button's Press)."""
        node = self.find(role, name, seconds)
        node.queryAction().doAction(0)
        return node

    def click(self, node):
        """A left click in the middle of the node, through the X server."""
        ext = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
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
