// Makes the README's pictures: the main window over the bundled collection, each view of a
// well-known method, and the dialogs a ringer meets first. Run by scripts/screenshots.sh.
#include "app/gui/HelpSystem.h"
#include "app/gui/MessageBoxes.h"
#include "app/gui/TfrmEdit.h"
#include "app/gui/TfrmIntMeth.h"
#include "app/gui/TfrmMain.h"
#include "app/gui/TfrmOpen.h"
#include "display/TBellPageWidget.h"
#include "library/TfrmDataMod.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

void Settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}

bool Save(QWidget& widget, const QString& file)
{
    Settle();
    if (!widget.grab().save(file, "PNG")) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tambrel screenshots"));
    QApplication::setOrganizationName(QStringLiteral("Tambrel screenshots"));
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DATA-FOLDER OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path data = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    const QString library = QDir::temp().filePath(
        QStringLiteral("tambrel-screenshots-%1").arg(QCoreApplication::applicationPid()));
    QDir(library).removeRecursively();

    bool ok = true;
    {
        tambrel::TfrmDataMod tables(library.toStdString(), data);
        if (const tambrel::Status created = tables.frmDataModCreate(); !created) {
            std::fprintf(stderr, "%s\n", created.error.c_str());
            return 2;
        }
        tambrel::MessageBoxes messages;
        messages.hook = [](tambrel::BoxKind, const QString&, const QString& text) {
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
            return false; // the harmless answer
        };
        tambrel::HelpSystem help(messages, std::filesystem::path(argv[0]).parent_path());
        tambrel::TfrmMain window(tables, help, messages);
        window.aboutAtFirstActivation = false;
        std::function<void(QDialog&)> onDialog;
        window.execDialog = [&](QDialog& dialog) {
            if (onDialog) {
                onDialog(dialog);
            }
            return dialog.result();
        };
        window.resize(1100, 760);
        window.show();
        Settle();

        const auto enter = [&](int bells, const QString& name, const QString& notation,
                               const QString& picture) {
            onDialog = [&](QDialog& dialog) {
                auto& edit = dynamic_cast<tambrel::TfrmEdit&>(dialog);
                edit.setResult(QDialog::Rejected);
                edit.cboBells->setCurrentIndex(bells - 4);
                edit.edtName->setText(name);
                edit.edtPlaces->setText(notation);
                if (!picture.isEmpty()) {
                    edit.show();
                    ok = Save(edit, picture) && ok;
                    edit.hide();
                }
                edit.butOKClick();
            };
            window.MethodAction(QStringLiteral("NEW"));
            onDialog = nullptr;
        };
        enter(8, QStringLiteral("Cambridge Surprise Major"),
              QStringLiteral("-38-14-1258-36-14-58-16-78LH12"), out + "/new-method.png");
        ok = Save(window, out + "/main-window.png") && ok;
        window.ChooseView(1);
        ok = Save(window, out + "/view-statistics.png") && ok;
        window.ChooseView(2);
        ok = Save(window, out + "/view-composition.png") && ok;
        window.ChooseView(0);

        // Yorkshire against Cambridge, chosen in the second-method dialog.
        enter(8, QStringLiteral("Yorkshire Surprise Major"),
              QStringLiteral("-38-14-58-16-12-38-14-78LH12"), {});
        onDialog = [&](QDialog& dialog) {
            dialog.setResult(QDialog::Rejected);
            if (auto* second = dynamic_cast<tambrel::TfrmIntMeth*>(&dialog)) {
                dialog.show();
                ok = Save(dialog, out + "/second-method.png") && ok;
                second->butOkClick();
                dialog.setResult(QDialog::Accepted);
                dialog.hide();
            }
        };
        window.ChooseView(3);
        onDialog = nullptr;
        ok = Save(window, out + "/view-inter-method.png") && ok;
        window.ChooseView(0);

        // The dialog shown, pictured and cancelled; the browser first finds a method.
        const auto picture = [&](const QString& file) {
            onDialog = [&, file](QDialog& dialog) {
                dialog.setResult(QDialog::Rejected);
                dialog.show();
                if (auto* open = dynamic_cast<tambrel::TfrmOpen*>(&dialog)) {
                    QTest::keyClicks(open->edtFind, "cambridge");
                }
                ok = Save(dialog, out + file) && ok;
                dialog.hide();
            };
        };
        picture("/open-method.png");
        window.MethodAction(QStringLiteral("OPEN"));
        picture("/options.png");
        window.SetOptions();
        picture("/find-similar.png");
        window.FindSimilar();
        onDialog = nullptr;

        enter(7, QStringLiteral("Stedman Triples"), QStringLiteral("3.1.7.3.1.3,1"), {});
        ok = Save(window, out + "/stedman-triples.png") && ok;

        // Every stage at once, narrowed to the Bristols, the notations in the Council's form.
        window.GlobalOptions.CCNotation = true;
        onDialog = [&](QDialog& dialog) {
            auto& open = dynamic_cast<tambrel::TfrmOpen&>(dialog);
            dialog.setResult(QDialog::Rejected);
            dialog.show();
            open.cboBells->setCurrentIndex(0);
            emit open.cboBells->activated(0);
            QTest::keyClicks(open.edtFilter, "bristol");
            ok = Save(dialog, out + "/open-all-stages.png") && ok;
            dialog.hide();
        };
        window.MethodAction(QStringLiteral("OPEN"));
        // Major narrowed to a small class, nothing typed.
        onDialog = [&](QDialog& dialog) {
            auto& open = dynamic_cast<tambrel::TfrmOpen&>(dialog);
            dialog.setResult(QDialog::Rejected);
            dialog.show();
            const auto choose = [](QComboBox* box, int index) {
                box->setCurrentIndex(index);
                emit box->activated(index);
            };
            choose(open.cboBells,
                   open.cboBells->findText(QStringLiteral("8 - Major"), Qt::MatchEndsWith));
            choose(open.cboClass, open.cboClass->findText(QStringLiteral("Little Surprise")));
            if (open.cboClass->currentText() != QStringLiteral("Little Surprise")) {
                std::fprintf(stderr, "no Little Surprise methods on 8 bells\n");
                ok = false;
            }
            QTest::qWait(500); // the clear button of the filter typed last time fades out
            ok = Save(dialog, out + "/open-class-filter.png") && ok;
            dialog.hide();
        };
        window.MethodAction(QStringLiteral("OPEN"));
        onDialog = nullptr;
        enter(8, QStringLiteral("Bristol Surprise Major"),
              QStringLiteral("-58-14.58-58.36.14-14.58-14-18,18"), {});
        ok = Save(window, out + "/notation-cc.png") && ok;
        // Touches of Cambridge (the first tab): by positions, a false one, and spliced with
        // Yorkshire (the second).
        window.tbsMain->setCurrentIndex(window.tbsMain->indexOf(&window.Page(1)));
        window.ChooseView(4);
        const auto touch = [&](const QString& calling, bool byPositions, const QString& file) {
            if (window.chkByPositions->isChecked() != byPositions) {
                window.chkByPositions->click();
            }
            window.edtCalling->clear();
            QTest::keyClicks(window.edtCalling, calling);
            ok = Save(window, out + file) && ok;
        };
        touch(QStringLiteral("H H H"), true, "/touch-true.png");
        touch(QStringLiteral("W H H*3"), true, "/touch-false.png");
        touch(QStringLiteral("(p 2:p 2:p p 2:p p b)3"), false, "/touch-spliced.png");
        window.ChooseView(0);

        // Saving a method named without its class words: the full title offered, then
        // cancelled with Escape, so nothing is saved.
        enter(8, QStringLiteral("Lincoln"), QStringLiteral("-38-14-56-16-12-58-14-58,12"), {});
        QTimer offer;
        QObject::connect(&offer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                offer.stop();
                ok = Save(*box, out + "/save-title-offer.png") && ok;
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        offer.start(50);
        window.SaveMethod();
        offer.stop();

        // The smallest window the program allows, the lead fitted to it.
        window.resize(1, 1);
        QTest::qWait(500); // the page is drawn again once the size has settled
        ok = Save(window, out + "/smallest-window.png") && ok;
        window.CloseAll();
    }
    QDir(library).removeRecursively();
    return ok ? 0 : 1;
}
