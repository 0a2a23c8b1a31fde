#pragma once

#include "display/TBellCard.h"

#include <QString>

class QPrinter;

namespace tambrel {

inline const QString kMsgPrintFailed =
    QStringLiteral("The print job could not be started.\r\rCheck the printer or the file name "
                   "chosen in Setup.");

// Prints the page's current view `copies` times, each copy a job of its own titled with the
// method's name. A printer that writes a file gets every copy in that one file, one after
// another, rather than each copy overwriting the last. Returns "" when printed, else the
// message to show.
QString PrintCard(TBellCard& card, QPrinter& printer, int copies);

// True when printing writes a PDF file: there is no print queue on the system, or the set-up
// chose a file.
bool PrintsToFile(const QPrinter& printer);

// The file first offered when a method is printed to a file: its name with ".pdf", in the
// user's documents folder (the home folder when there is none).
QString SuggestedPrintFile(const QString& methodName);

// The page picture as far as it is drawn, onto the clipboard; and emptying the clipboard.
void CopyToClipboard(const TBellCard& card);
void ClearClipboard();
bool ClipboardHasPicture();

} // namespace tambrel
