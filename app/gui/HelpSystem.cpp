#include "app/gui/HelpSystem.h"

#include "app/gui/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

namespace tambrel {

namespace {

// A window of its own with the pages, and the usual moves between them.
class HelpWindow : public QWidget {
public:
    explicit HelpWindow(const QString& contents) : QWidget(nullptr, Qt::Window)
    {
        setObjectName(QStringLiteral("frmHelp"));
        setWindowTitle(QStringLiteral("Tambrel Help"));
        setAttribute(Qt::WA_QuitOnClose, false);
        browser = new QTextBrowser(this);
        browser->setObjectName(QStringLiteral("helpBrowser"));
        browser->setOpenExternalLinks(true);
        auto* back = new QPushButton(QStringLiteral("&Back"), this);
        auto* forward = new QPushButton(QStringLiteral("&Forward"), this);
        auto* home = new QPushButton(QStringLiteral("&Contents"), this);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(home);
        buttons->addWidget(back);
        buttons->addWidget(forward);
        buttons->addStretch();
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(buttons);
        layout->addWidget(browser);
        connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
        connect(forward, &QPushButton::clicked, browser, &QTextBrowser::forward);
        connect(home, &QPushButton::clicked, browser,
                [this, contents] { browser->setSource(QUrl::fromLocalFile(contents)); });
        connect(browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
        connect(browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
        resize(760, 640);
    }
    QTextBrowser* browser;
};

} // namespace

HelpSystem::HelpSystem(MessageBoxes& messages, std::filesystem::path programFolder)
    : m_messages(messages), m_programFolder(std::move(programFolder))
{
}

HelpSystem::~HelpSystem()
{
    delete m_window;
}

void HelpSystem::Command(const QString& command, const QString& topic, QWidget* parent)
{
    if (command == QLatin1String("OPEN")) {
        Open();
    } else if (command == QLatin1String("SHOW")) {
        Show(topic, parent);
    } else if (command == QLatin1String("CLOSE")) {
        Close();
    }
}

void HelpSystem::Open()
{
    m_contents.clear();
    for (const std::filesystem::path& folder :
         {m_programFolder / "help", m_programFolder / ".." / "share" / "tambrel" / "help"}) {
        const QFileInfo contents(QString::fromStdString((folder / kContents).string()));
        if (contents.isFile()) {
            m_contents = contents.canonicalFilePath();
            return;
        }
    }
}

void HelpSystem::Show(const QString& topic, QWidget* parent)
{
    if (m_contents.isEmpty() || !QFileInfo(m_contents).isFile()) {
        m_messages.Show(parent, BoxKind::Information, kMsgHelpMissing);
        return;
    }
    if (m_window == nullptr) {
        m_window = new HelpWindow(m_contents);
    }
    auto* window = static_cast<HelpWindow*>(m_window.data());
    // A topic may name a section of its page after a "#".
    const QString file = topic.section(QLatin1Char('#'), 0, 0);
    QUrl page = QUrl::fromLocalFile(file.isEmpty() ? m_contents
                                                   : QFileInfo(m_contents).absolutePath() +
                                                         QLatin1Char('/') + file);
    if (topic.contains(QLatin1Char('#'))) {
        page.setFragment(topic.section(QLatin1Char('#'), 1), QUrl::DecodedMode);
    }
    window->browser->setSource(page);
    window->show();
    window->raise();
    window->activateWindow();
}

void HelpSystem::Close()
{
    if (m_window != nullptr) {
        m_window->hide();
    }
}

QTextBrowser* HelpSystem::Browser() const
{
    return m_window != nullptr ? static_cast<HelpWindow*>(m_window.data())->browser : nullptr;
}

bool HelpSystem::Visible() const
{
    return m_window != nullptr && m_window->isVisible();
}

bool DialogHelpKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeWindow());
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier && dialog != nullptr) {
            auto* help = dialog->findChild<QAbstractButton*>(QStringLiteral("butHelp"));
            if (help != nullptr && help->isVisible() && help->isEnabled()) {
                help->click();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tambrel
