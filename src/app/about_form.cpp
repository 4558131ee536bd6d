#include "app/about_form.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/migration_form.h"

namespace {

// Two pictures of our own: a dark-blue gradient with a wave for the top, a slate gradient with
// a row of rising bars (tables moving across) for the bottom.
QPixmap TopPicture() {
    QPixmap picture(300, 100);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 300, 100);
    sky.setColorAt(0, QColor(16, 42, 92));
    sky.setColorAt(1, QColor(40, 110, 170));
    painter.fillRect(picture.rect(), sky);
    QPainterPath wave;
    wave.moveTo(0, 80);
    wave.cubicTo(75, 55, 150, 100, 300, 70);
    wave.lineTo(300, 100);
    wave.lineTo(0, 100);
    wave.closeSubpath();
    painter.fillPath(wave, QColor(255, 255, 255, 40));
    return picture;
}

QPixmap BottomPicture() {
    QPixmap picture(300, 100);
    QPainter painter(&picture);
    QLinearGradient ground(0, 0, 0, 100);
    ground.setColorAt(0, QColor(52, 62, 78));
    ground.setColorAt(1, QColor(24, 30, 40));
    painter.fillRect(picture.rect(), ground);
    for (int i = 0; i < 12; ++i) {
        const int height = 10 + i * 6;
        painter.fillRect(QRect(8 + i * 24, 100 - height, 16, height),
                         QColor(90 + i * 10, 150, 200, 70));
    }
    return picture;
}

QLabel* PictureWithText(QLabel*& text, const QPixmap& pixmap, QWidget* parent) {
    auto* picture = new QLabel(parent);
    picture->setPixmap(pixmap);
    picture->setFixedSize(300, 100);
    auto* layout = new QVBoxLayout(picture);
    text = new QLabel(picture);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    text->setStyleSheet(QStringLiteral("color: white;"));
    layout->addWidget(text);
    return picture;
}

QLabel* DashLine(QWidget* parent) {
    auto* line = new QLabel(QString(60, u'-'), parent);
    line->setAlignment(Qt::AlignCenter);
    return line;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                   ~Qt::WindowContextHelpButtonHint);
    setFixedSize(299, 309);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    layout->addWidget(PictureWithText(LabelApplication, TopPicture(), this));
    QFont big = LabelApplication->font();
    big.setPointSize(16);
    big.setBold(true);
    LabelApplication->setFont(big);
    layout->addWidget(DashLine(this));

    auto* band = new QWidget(this);
    band->setAutoFillBackground(true);
    QPalette black = band->palette();
    black.setColor(QPalette::Window, Qt::black);
    band->setPalette(black);
    auto* band_layout = new QHBoxLayout(band);
    LabelYear = new QLabel(QStringLiteral("2024"), band);
    QFont year = LabelYear->font();
    year.setPointSize(20);
    LabelYear->setFont(year);
    LabelYear->setStyleSheet(QStringLiteral("color: white;"));
    LabelBeta = new QLabel(QStringLiteral("beta"), band);
    LabelBeta->setStyleSheet(QStringLiteral("color: white;"));
    ButtonOk = new QPushButton(QStringLiteral("Ok"), band);
    band_layout->addWidget(LabelYear);
    band_layout->addWidget(LabelBeta);
    band_layout->addStretch(1);
    band_layout->addWidget(ButtonOk);
    layout->addWidget(band);
    layout->addWidget(DashLine(this));

    QLabel* bottom = PictureWithText(LabelCopyright, BottomPicture(), this);
    LabelProduct = new QLabel(bottom);
    LabelProduct->setAlignment(Qt::AlignCenter);
    LabelProduct->setStyleSheet(QStringLiteral("color: white;"));
    QFont bold = LabelProduct->font();
    bold.setBold(true);
    LabelProduct->setFont(bold);
    LabelProduct->setText(ProductName());
    bottom->layout()->addWidget(LabelProduct);
    layout->addWidget(bottom);
    layout->addStretch(1);

    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate();
}

void TFormAbout::FormCreate() {
    LabelApplication->setText(kApplicationTitle);
}

QString TFormAbout::CopyrightLine() {
    return QStringLiteral("© 2024 Vornholt Company");
}

QString TFormAbout::ProductName() {
    return QStringLiteral("Skerrow Database Tools");
}
