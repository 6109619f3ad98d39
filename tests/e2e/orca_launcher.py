"""Runs the screen reader Orca in this process, as /usr/bin/orca would, for
a test that listens to what it says.

Usage: orca_launcher.py PREFS_DIR DEBUG_FILE SPEECH_FILE

/usr/bin/orca is not used: it refuses to start while any other process
named orca of the same user runs on the machine, and its --replace ends
them. Orca's debug output goes to DEBUG_FILE a line at a time (at the level
ORCA_DEBUG_LEVEL names, INFO unless set: ALL tells of every event too), and
each string it sends to speech goes to SPEECH_FILE as it is sent, one line
each, as SPEECH OUTPUT: '...' with line breaks written as \\n. Key echo is
off, so that only what the program presents is heard.
"""

import logging
import os
import sys

from orca import debug

debug.debugLevel = getattr(debug, "LEVEL_" + os.environ.get("ORCA_DEBUG_LEVEL", "INFO"))
debug.eventDebugLevel = debug.LEVEL_OFF
debug.debugFile = open(sys.argv[2], "w", encoding="utf-8", buffering=1)

from orca import orca  # noqa: E402  (after the debug file is set, as /usr/bin/orca does)


class OneLine(logging.Formatter):
    def format(self, record):
        return super().format(record).replace("\n", "\\n")


handler = logging.FileHandler(sys.argv[3], encoding="utf-8")  # flushed after each line
handler.setFormatter(OneLine("%(message)s"))
speech_log = logging.getLogger("speech")
speech_log.setLevel(logging.INFO)
speech_log.addHandler(handler)

manager = orca.getSettingsManager()
manager.activate(sys.argv[1], {
    "enableKeyEcho": False,
    "enableEchoByCharacter": False,
    "enableEchoByWord": False,
    "enableEchoBySentence": False,
})
sys.path.insert(0, manager.getPrefsDir())
sys.exit(orca.main())
