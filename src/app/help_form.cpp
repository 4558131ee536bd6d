#include "app/help_form.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

TFormHelp::TFormHelp(const QString& folder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(folder) {
    setWindowTitle(QStringLiteral("Справка"));
    resize(760, 620);
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    BtnContents = new QPushButton(QStringLiteral("Содержание"), this);
    BtnBack = new QPushButton(QStringLiteral("Назад"), this);
    BtnForward = new QPushButton(QStringLiteral("Вперёд"), this);
    BtnBack->setEnabled(false);
    BtnForward->setEnabled(false);
    buttons->addWidget(BtnContents);
    buttons->addWidget(BtnBack);
    buttons->addWidget(BtnForward);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    BrowserHelp = new QTextBrowser(this);
    BrowserHelp->setSearchPaths({folder_});
    // Links to other sites, if a page ever has one, open in the desktop's browser.
    BrowserHelp->setOpenExternalLinks(true);
    layout->addWidget(BrowserHelp, 1);

    connect(BtnContents, &QPushButton::clicked, this,
            [this] { ShowPage(QString::fromLatin1(kHelpContents)); });
    connect(BtnBack, &QPushButton::clicked, BrowserHelp, &QTextBrowser::backward);
    connect(BtnForward, &QPushButton::clicked, BrowserHelp, &QTextBrowser::forward);
    connect(BrowserHelp, &QTextBrowser::backwardAvailable, BtnBack, &QPushButton::setEnabled);
    connect(BrowserHelp, &QTextBrowser::forwardAvailable, BtnForward, &QPushButton::setEnabled);
    connect(BrowserHelp, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = BrowserHelp->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("Справка")
                                       : QStringLiteral("Справка: ") + title);
    });
}

void TFormHelp::ShowPage(const QString& page) {
    const qsizetype hash = page.indexOf(u'#');
    QUrl url = QUrl::fromLocalFile(QDir(folder_).filePath(hash < 0 ? page : page.left(hash)));
    if (hash >= 0) {
        url.setFragment(page.mid(hash + 1));
    }
    BrowserHelp->setSource(url);
    show();
    raise();
    activateWindow();
}

QString TFormHelp::CurrentPage() const {
    const QUrl url = BrowserHelp->source();
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    return url.hasFragment() ? name + u'#' + url.fragment() : name;
}

QString FindHelpFolder(const QString& program_dir) {
    const QDir dir(program_dir);
    for (const QString& candidate : {dir.filePath(QStringLiteral("help")),
                                     dir.filePath(QStringLiteral("../share/skerrow/help"))}) {
        if (QFileInfo::exists(QDir(candidate).filePath(QString::fromLatin1(kHelpContents)))) {
            return QDir::cleanPath(candidate);
        }
    }
    return QString();
}
