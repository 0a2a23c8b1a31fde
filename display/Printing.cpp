#include "display/Printing.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <algorithm>

namespace tambrel {

QString PrintCard(TBellCard& card, QPrinter& printer, int copies)
{
    copies = std::clamp(copies, 1, 99);
    const QString name = QString::fromStdString(card.Store().Name());
    printer.setDocName(name);
    printer.setCopyCount(1); // our copies are separate jobs; the driver must not multiply them
    TBellView& view = card.ViewObject(card.View);
    const bool toFile =
        printer.outputFormat() == QPrinter::PdfFormat || !printer.outputFileName().isEmpty();
    const int jobs = toFile ? 1 : copies;
    const int perJob = toFile ? copies : 1;
    for (int job = 0; job < jobs; ++job) {
        QPainter painter;
        if (!painter.begin(&printer)) {
            return kMsgPrintFailed;
        }
        PrinterSurface surface(printer, painter);
        for (int copy = 0; copy < perJob; ++copy) {
            if (copy > 0) {
                printer.newPage();
            }
            view.Render(surface);
        }
        painter.end();
    }
    return {};
}

bool PrintsToFile(const QPrinter& printer)
{
    return printer.outputFormat() == QPrinter::PdfFormat ||
           QPrinterInfo::availablePrinters().isEmpty();
}

QString SuggestedPrintFile(const QString& methodName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath(); // a file dialog shown a missing folder shows another instead
    }
    QString name = methodName;
    name.replace(QLatin1Char('/'), QLatin1Char('-')); // a name may hold one, a file name not
    name.replace(QLatin1Char('\\'), QLatin1Char('-'));
    return folder + QLatin1Char('/') + name + QStringLiteral(".pdf");
}

void CopyToClipboard(const TBellCard& card)
{
    QGuiApplication::clipboard()->setImage(card.ClipboardImage());
}

void ClearClipboard()
{
    QGuiApplication::clipboard()->clear();
}

bool ClipboardHasPicture()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage();
}

} // namespace tambrel
