#!/usr/bin/python3
"""notice_servers.py http PORT RECORD | notifyd: stand-ins for what a run's
notices reach. `http` answers every POST with 200 and appends it to RECORD as
a JSON line (path and body), except below /hang, where it never answers.
`notifyd` owns org.freedesktop.Notifications on the session bus and accepts
every notice, as a desktop's notification service does."""
import json
import sys
import threading
import time


def http(port, record):
    from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
    lock = threading.Lock()

    class Handler(BaseHTTPRequestHandler):
        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode()
            if self.path.startswith("/hang"):
                time.sleep(120)
            with lock, open(record, "a") as f:
                f.write(json.dumps({"path": self.path, "type": self.headers.get("Content-Type"),
                                    "body": body}) + "\n")
            self.send_response(200)
            self.end_headers()

        def log_message(self, *args):
            pass

    ThreadingHTTPServer(("127.0.0.1", int(port)), Handler).serve_forever()


def notifyd():
    import dbus
    import dbus.mainloop.glib
    import dbus.service
    from gi.repository import GLib
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName("org.freedesktop.Notifications", bus)

    class Service(dbus.service.Object):
        @dbus.service.method("org.freedesktop.Notifications", in_signature="susssasa{sv}i",
                             out_signature="u")
        def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
            return 1

        @dbus.service.method("org.freedesktop.Notifications", out_signature="as")
        def GetCapabilities(self):
            return ["body", "body-hyperlinks", "body-markup"]

        @dbus.service.method("org.freedesktop.Notifications", out_signature="ssss")
        def GetServerInformation(self):
            return ("stand-in", "kelvane tests", "1", "1.2")

    Service(bus, "/org/freedesktop/Notifications")
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    http(*sys.argv[2:]) if sys.argv[1] == "http" else notifyd()
