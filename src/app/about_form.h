#pragma once
// The About window: the application's title, the year, the copyright line and the product
// family over two pictures drawn at run time.

#include <QDialog>

class QLabel;
class QPushButton;

class TFormAbout : public QDialog {
    Q_OBJECT

public:
    explicit TFormAbout(QWidget* parent = nullptr);

    QLabel* LabelApplication = nullptr;
    QLabel* LabelYear = nullptr;
    QLabel* LabelBeta = nullptr;
    QPushButton* ButtonOk = nullptr;
    QLabel* LabelCopyright = nullptr;
    QLabel* LabelProduct = nullptr;

    void FormCreate();
    // The line the main window puts into LabelCopyright before each showing.
    static QString CopyrightLine();
    static QString ProductName();
};
