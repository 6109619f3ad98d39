#pragma once

#include <QString>

class QPlainTextEdit;

namespace hiduke {

// The text of the note box. A line of many thousand characters (an old file
// may hold one) would take the box minutes to wrap as one paragraph, so it
// is shown in pieces, each a paragraph of its own that starts with an
// invisible mark saying it continues the line before it. The marks are
// characters, so editing, undo and the clipboard carry them along; the note
// read back from the box joins the pieces again and saves back exactly.
void SetNoteBoxText(QPlainTextEdit* box, const QString& note);
QString NoteBoxText(const QPlainTextEdit* box);

}  // namespace hiduke
