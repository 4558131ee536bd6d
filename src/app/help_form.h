#pragma once
// The program's own help: the HTML pages shipped beside the program (one per wizard step, a
// contents page and a page on the working files), shown in a window of its own with links
// between the pages. One instance per main window, reused; it does not block the wizard.
// User-interface thread.

#include <QWidget>

class QPushButton;
class QTextBrowser;

// Page names inside the help folder.
inline constexpr char kHelpContents[] = "index.html";

class TFormHelp : public QWidget {
    Q_OBJECT

public:
    // folder holds the pages.
    explicit TFormHelp(const QString& folder, QWidget* parent = nullptr);

    QTextBrowser* BrowserHelp = nullptr;
    QPushButton* BtnContents = nullptr;
    QPushButton* BtnBack = nullptr;
    QPushButton* BtnForward = nullptr;

    // Shows a page of the folder ("step3.html", "step6.html#pause") and brings the window up.
    void ShowPage(const QString& page);
    // The page shown now, with its anchor ("step6.html#pause").
    QString CurrentPage() const;

private:
    QString folder_;
};

// The help folder beside the program: <program folder>/help, or the shared data folder of an
// installed program (<prefix>/share/skerrow/help). Empty when neither holds the contents page.
QString FindHelpFolder(const QString& program_dir);
