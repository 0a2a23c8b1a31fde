#include "app/cli/RenderCommand.h"
#include "app/cli/CliSupport.h"

#include "analysis/TBellComp.h"
#include "analysis/TBellIntMeth.h"
#include "app/cli/LibraryCommands.h"
#include "app/cli/MethodFacts.h"
#include "display/TBellCard.h"
#include "engine/Bells.h"

#include "tables/FileIo.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <ostream>

#include <sys/stat.h>
#include <unistd.h>

namespace tambrel {

namespace {

// Drawing needs fonts, so a GUI application; without a display it runs offscreen.
void EnsureGuiApplication()
{
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Qt wants a private runtime folder and warns on every start without one.
        // Only a folder of the user's own: one planted by another user is left alone.
        const std::filesystem::path runtime =
            std::filesystem::temp_directory_path() / ("runtime-" + std::to_string(::getuid()));
        ::mkdir(runtime.c_str(), 0700);
        struct stat info {};
        if (::lstat(runtime.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
            info.st_uid == ::getuid() && ::chmod(runtime.c_str(), 0700) == 0) {
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
        }
    }
    static int argc = 1;
    static char name[] = "tambrel-cli";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
}

std::string Extension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// The drawn file, replacing an older one only once it is whole.
int WriteOutput(const std::string& path, const QByteArray& bytes, std::ostream& err)
{
    OutputFile file(path);
    Status status = file.Open();
    if (status) {
        status =
            file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    if (status) {
        status = file.Commit();
    }
    return status ? 0 : Refuse(err, status.error);
}

// A call code the calls library has for the stage, lines of bells the stage has.
std::string CallProblem(const CallsLibrary& library, int bells, const std::string& key,
                        const std::string& value)
{
    if (key == "BobType" || key == "SingleType") {
        if (library.Find(bells, value) != nullptr) {
            return {};
        }
        std::string codes;
        for (int code = 1; code <= 99; ++code) {
            const std::string ref = CallsLibrary::NormalRef(std::to_string(code));
            if (library.Find(bells, ref) != nullptr) {
                codes += (codes.empty() ? "" : ", ") + ref;
            }
        }
        return "The calls library has no call " + value + " on " + std::to_string(bells) +
               " bells" + (codes.empty() ? "." : "; it has " + codes + ".");
    }
    for (const char symbol : value) {
        if (BellOf(symbol) > bells) {
            return "The option " + key +
                   " names a bell the method does not have: " + std::string(1, symbol) + ".";
        }
    }
    return {};
}

bool IsCallKey(std::string_view key)
{
    return key == "BobType" || key == "BobLines" || key == "SingleType" || key == "SingleLines";
}

} // namespace

int RunRender(const RenderOptions& options, const std::filesystem::path& programFolder,
              std::ostream& out, std::ostream& err)
{
    (void)out;
    const std::string extension = Extension(options.output);
    if (extension != ".png" && extension != ".svg" && extension != ".pdf") {
        return Refuse(err, "The output file must end in .png, .svg or .pdf.");
    }
    static const std::map<std::string, PageView> kViews = {{"diagram", PageView::Diagram},
                                                           {"stats", PageView::Statistics},
                                                           {"comp", PageView::Composition},
                                                           {"intmeth", PageView::InterMethod},
                                                           {"touch", PageView::Touch}};
    const auto named = kViews.find(options.view);
    if (named == kViews.end()) {
        return Refuse(err, "The view must be diagram, stats, comp, intmeth or touch.");
    }
    const PageView view = named->second;
    if (view != PageView::InterMethod && (!options.bNotation.empty() || !options.bBells.empty())) {
        return Refuse(err, "A second method is drawn only with --view intmeth.");
    }
    if ((view == PageView::Touch) == options.calling.empty()) {
        return Refuse(err, view == PageView::Touch ? "A touch is drawn from its --calling."
                                                   : "A calling is drawn only with --view touch.");
    }
    if (options.width < 100 || options.width > 20000 || options.height < 100 ||
        options.height > 20000) {
        return Refuse(err, "The width and height must be 100 to 20000 pixels.");
    }

    // Check everything before drawing anything.
    auto card = std::make_unique<TBellCard>();
    TBellOptions& page = card->PageOptions;
    const std::optional<int> bells = ParseBells(options.bells);
    if (bells) {
        page.InitialiseFrom(TBellOptions(), *bells);
    }
    std::vector<std::pair<std::string, std::string>> calls;
    for (const std::string& setting : options.settings) {
        const std::size_t equals = setting.find('=');
        if (equals == std::string::npos) {
            return Refuse(err, "A setting is written KEY=VALUE, not \"" + setting + "\".");
        }
        const std::string key = setting.substr(0, equals);
        const std::string value = setting.substr(equals + 1);
        if (std::string problem = TBellOptions::StrictProblem(key, value); !problem.empty()) {
            return Refuse(err, problem);
        }
        if (std::string problem = page.SetValue(key, value); !problem.empty()) {
            return Refuse(err, problem);
        }
        if (IsCallKey(key)) {
            calls.emplace_back(key, value);
        }
    }
    CallsLibrary library;
    std::string callsError;
    if (!LoadCliCalls(options.library, programFolder, library, err, callsError)) {
        return Refuse(err, callsError);
    }
    TBellStore& store = card->Store();
    store.SetCallsLibrary(&library);
    if (std::string error = CalculateMethod(store, options.bells, options.name, options.notation);
        !error.empty()) {
        return Refuse(err, error);
    }
    if (!calls.empty()) {
        // The calculation chose the default calls; the ones asked for replace them, when the
        // calls library has them for this stage.
        for (const auto& [key, value] : calls) {
            if (const std::string problem = CallProblem(library, store.Bells(), key, value);
                !problem.empty()) {
                return Refuse(err, problem);
            }
            page.SetValue(key, value);
        }
        store.RecalcCalls();
    }
    // The sheets the desktop program would refuse are refused here too.
    auto second = std::make_unique<TBellStore>();
    if (view == PageView::Composition) {
        if (std::string refusal = TBellComp::Refusal(store); !refusal.empty()) {
            return Refuse(err, refusal);
        }
    } else if (view == PageView::InterMethod) {
        const TBellStore* b = &store;
        if (!options.bNotation.empty()) {
            const std::string& bBells = options.bBells.empty() ? options.bells : options.bBells;
            if (std::string error =
                    CalculateMethod(*second, bBells, options.bName, options.bNotation);
                !error.empty()) {
                return Refuse(err, "Method B: " + error);
            }
            b = second.get();
        } else if (!options.bBells.empty()) {
            return Refuse(err, "--b-bells needs --b-notation.");
        }
        if (std::string refusal = TBellIntMeth::Refusal(store, *b); !refusal.empty()) {
            return Refuse(err, refusal);
        }
        card->IntMeth().openMethod = [b](int) { return b; };
        card->IntMeth().Choose(1, *b);
    } else if (view == PageView::Touch) {
        // Page 1 is the method itself, as with prove.
        card->Calling = options.calling;
        card->Touch().pageMethod = [&store](int k) { return k == 1 ? &store : nullptr; };
        card->Touch().Compute();
        if (!card->Touch().Proved()) {
            return Refuse(err, card->Touch().ResultText().toStdString());
        }
    }

    EnsureGuiApplication();
    const QSize client(options.width, options.height);
    // What the status line would say of the drawing, then the file.
    const auto finish = [&](const QByteArray& bytes) {
        if (const QString note = card->ViewObject(view).DoneStatus(); !note.isEmpty()) {
            err << "Warning:" << note.toStdString() << '\n';
        }
        return WriteOutput(options.output, bytes, err);
    };
    QBuffer drawn;
    drawn.open(QIODevice::WriteOnly);
    if (extension == ".pdf") {
        {
            QPdfWriter writer(&drawn);
            writer.setResolution(1200);
            writer.setTitle(QString::fromStdString(store.Name()));
            writer.setPageLayout(QPageLayout(
                QPageSize(QPageSize::A4),
                page.PrintOrient == "Portrait" ? QPageLayout::Portrait : QPageLayout::Landscape,
                QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
            QPainter painter;
            if (!painter.begin(&writer)) {
                return Refuse(err, "Cannot write the file " + options.output + ".");
            }
            PrinterSurface surface(writer, painter);
            TBellView& rendered = card->ViewObject(view);
            rendered.Compute();
            rendered.Render(surface);
            painter.end();
        }
        return finish(drawn.data());
    }

    card->Client = client;
    card->Screen = client;
    card->Show(view);
    const QImage picture = card->ClipboardImage();
    if (extension == ".png") {
        if (!picture.save(&drawn, "PNG")) {
            return Refuse(err, "Cannot write the file " + options.output + ".");
        }
        return finish(drawn.data());
    }
    // SVG: the same drawing again, onto a generator of the size the picture ended at.
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&drawn);
        generator.setResolution(96);
        generator.setSize(picture.size());
        generator.setViewBox(QRect(QPoint(0, 0), picture.size()));
        generator.setTitle(QString::fromStdString(store.Name()));
        QPainter painter;
        if (!painter.begin(&generator)) {
            return Refuse(err, "Cannot write the file " + options.output + ".");
        }
        VectorSurface surface(painter, client, client);
        card->ViewObject(view).Render(surface); // what the picture showed, drawn again
        painter.end();
    }
    return finish(drawn.data());
}

} // namespace tambrel
