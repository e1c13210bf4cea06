#!/usr/bin/python3
"""What a screen reader gets of a running program, through the accessibility bus (AT-SPI).

Usage: screen-reader.py APPLICATION SECONDS

Waits for the application of that name, prints each of its accessible objects as a JSON line
({"role", "name", "description", "value"}), then listens SECONDS seconds for changes of accessible
names and prints one line {"announced": {subject: count}, "seconds": how long it listened}, the
subject being what the name says before its colon ("Countdown"). Exits 1 when the application does not come up.
"""

import json
import sys
import time

import pyatspi
from gi.repository import GLib


def find_application(name, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            application = desktop.getChildAtIndex(index)
            if application is not None and application.name == name and application.childCount:
                return application
        time.sleep(0.2)
    return None


def walk(accessible):
    yield accessible
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            yield from walk(child)


def describe(accessible):
    value = None
    try:
        value = accessible.queryValue().currentValue
    except NotImplementedError:
        pass
    return {
        "role": accessible.getRoleName(),
        "name": accessible.name,
        "description": accessible.description,
        "value": value,
    }


def main():
    name, seconds = sys.argv[1], float(sys.argv[2])
    application = find_application(name, 20)
    if application is None:
        print(f"no application {name} on the accessibility bus", file=sys.stderr)
        return 1
    for accessible in walk(application):
        print(json.dumps(describe(accessible)), flush=True)

    changed = []

    def on_name_change(event):
        changed.append(event.source)

    started = time.monotonic()
    pyatspi.Registry.registerEventListener(on_name_change, "object:property-change:accessible-name")
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    listened = time.monotonic() - started
    announced = {}
    for source in changed:
        label = source.name.split(":")[0]
        announced[label] = announced.get(label, 0) + 1
    print(json.dumps({"announced": announced, "seconds": listened}), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
