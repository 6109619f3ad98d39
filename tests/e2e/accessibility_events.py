"""Listens on the AT-SPI bus the way a screen reader does and writes what
one program sends there, a line an event, to a file:

  listening                          the listeners are registered
  registered                         the program is on the desktop
  focus<TAB>ROLE<TAB>NAME<TAB>DESCRIPTION<TAB>TEXT
                                     an object took the focus (TEXT: what it
                                     holds, for objects with text)
  description<TAB>ROLE<TAB>NAME<TAB>DESCRIPTION
                                     the description of the object that last
                                     took the focus changed
  days<TAB>GROUP<TAB>COUNT<TAB>FIRST<TAB>LAST
                                     after a focus event on a day whose group
                                     (the month) differs from the one last
                                     written: the days the group holds, its
                                     first and its last

Line breaks, tabs and backslashes in the values are written as \\n, \\t and
\\\\. Usage: accessibility_events.py PID_FILE OUT_FILE

The listeners are registered before the program starts, so that it knows of
them from its first event on; PID_FILE gets the program's process id once it
is started, and only that process's events are written.
"""

import sys

import pyatspi
from gi.repository import GLib

pid_file = sys.argv[1]
out = open(sys.argv[2], "w", encoding="utf-8", buffering=1)
program_pid = None
last_days = None
locus = None  # the object that last took the focus, as a screen reader follows it


def escaped(text):
    return (text or "").replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def write(*fields):
    out.write("\t".join(escaped(field) for field in fields) + "\n")


def known_pid():
    global program_pid
    if program_pid is None:
        try:
            with open(pid_file, encoding="ascii") as file:
                program_pid = int(file.read())
        except (OSError, ValueError):
            pass
    return program_pid


def from_program(event):
    app = event.host_application
    return app is not None and known_pid() is not None and app.get_process_id() == program_pid


def text_of(accessible):
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return ""
    return text.getText(0, -1)


def write_days(day):
    # The group the day belongs to, asked afresh: its children are the days
    # shown, and they change with the month.
    global last_days
    group = day.parent
    if group is None or group.getRoleName() != "panel":
        return
    group.clearCache()
    days = [group.getChildAtIndex(i) for i in range(group.childCount)]
    line = (group.name, str(len(days)), days[0].name if days else "", days[-1].name if days else "")
    if line != last_days:
        last_days = line
        write("days", *line)


def on_event(event):
    global locus
    try:
        if not from_program(event):
            return
        source = event.source
        if event.type.startswith("object:state-changed:focused"):
            if event.detail1 != 1:
                return
            locus = source
            write("focus", source.getRoleName(), source.name, source.description, text_of(source))
            if source.getRoleName() == "push button":
                write_days(source)
        elif event.type.startswith("object:property-change:accessible-description"):
            # A screen reader presents the description of the object it is
            # on. It is read from the object: Qt 6.4 sends the object with
            # the event, not the text.
            if source == locus:
                write("description", source.getRoleName(), source.name, source.description)
    except GLib.Error as error:
        # The object went away before it could be asked about.
        write("error", event.type, str(error))


def find_program():
    if known_pid() is None:
        return True
    desktop = pyatspi.Registry.getDesktop(0)
    desktop.clearCache()
    for app in desktop:
        if app is not None and app.get_process_id() == program_pid:
            write("registered")
            return False
    return True


# The name and description changes are listened to also where they are not
# written: the program then sends them, and the names cached here follow the
# program's, as a screen reader's do.
pyatspi.Registry.registerEventListener(
    on_event,
    "object:state-changed:focused",
    "object:property-change:accessible-description",
    "object:property-change:accessible-name",
)
write("listening")
GLib.timeout_add(100, find_program)
pyatspi.Registry.start()
