// The About box.
#include "app/TAboutBox.h"

#include "app/AboutTexts.h"
#include "app/DesktopServices.h"
#include "app/MainTexts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace velda {

namespace {

constexpr int kPanelWidth = 289;
constexpr int kAboutFontPixels = 11;

QPixmap instrumentPicture() {
    QPixmap picture(81, 65);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x3a, 0x5f, 0x8f));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(14, 2, 53, 61), 6, 6);
    painter.setBrush(QColor(0xc8, 0xe0, 0xc0));
    painter.drawRect(QRectF(20, 8, 41, 22));
    painter.setBrush(Qt::white);
    for (int k = 0; k < 3; ++k)
        painter.drawEllipse(QRectF(21 + 14 * k, 40, 9, 9));
    return picture;
}

QLabel *makeLink(const QString &text, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

// The version line, wrapped only before its date: the day, month, year and year mark (the line's last
// four words) stay together on one line. The text itself is unchanged.
class VersionLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override {
        QString shown = text();
        int kept = 0;
        for (qsizetype i = shown.size() - 1; i >= 0 && kept < 3; --i) {
            if (shown[i] == QLatin1Char(' ')) {
                shown[i] = QChar(QChar::Nbsp);
                ++kept;
            }
        }
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextWordWrap, shown);
    }
};

} // namespace

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(303, 226);
    QFont boxFont = font();
    boxFont.setPixelSize(kAboutFontPixels);
    setFont(boxFont);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(8, 8, 289, 169);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(8, 0, 81, 65);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(instrumentPicture());
    ProgramIcon->setCursor(Qt::PointingHandCursor);
    ProgramIcon->installEventFilter(this);

    ProductName = new QLabel(Panel1);
    ProductName->move(96, 16);
    Version = new VersionLabel(QStringLiteral("Version"), Panel1);
    // The date line in words may need a second line beside the picture.
    Version->setGeometry(96, 34, kPanelWidth - 96 - 4, 30);
    Version->setWordWrap(true);
    txtCopyright = new QLabel(QStringLiteral("Copyright"), Panel1);
    txtCopyright->move(8, 64);
    Comments = new QLabel(QStringLiteral("тел./факс."), Panel1);
    Comments->move(8, 88);
    Comments->setWordWrap(true);
    Label1 = new QLabel(QString::fromUtf8(kMakerPhones), Panel1);
    Label1->setGeometry(68, 90, 75, 39);
    Label1->setWordWrap(true);
    Label2 = new QLabel(QStringLiteral("(многоканальный)"), Panel1);
    Label2->move(148, 89);
    LabelEMail = makeLink(QString::fromLatin1(kMakerEmail), Panel1);
    LabelEMail->move(192, 144);
    LabelEMail->setToolTip(Pick(TxtMailHint));
    LabelEMail->installEventFilter(this);
    LabelWWW = makeLink(QString::fromLatin1(kMakerWeb), Panel1);
    LabelWWW->move(8, 144);
    LabelWWW->setToolTip(Pick(TxtWebHint));
    LabelWWW->installEventFilter(this);
    ProgramIcon->setToolTip(Pick(TxtWebHint));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setGeometry(116, 188, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
    for (QLabel *label : {ProductName, txtCopyright, Comments, Label2, LabelEMail, LabelWWW})
        label->adjustSize();
    // Keep the mail link inside the panel whatever the font makes of its width.
    LabelEMail->move(std::min(LabelEMail->x(), kPanelWidth - LabelEMail->width() - 4), LabelEMail->y());
}

void TAboutBox::FormCreate() {
    setWindowTitle(Pick(TxtAbout));
    ProductName->setText(Pick(TxtProductName));
    const std::uint8_t language = LanguageIndex;
    const auto line = VersionLine(QStringLiteral(VELDA_VERSION), BuildDate(), language);
    if (!line) return;
    Comments->setText(Pick(TxtPhoneCaption));
    Label2->setText(Pick(TxtChannelNote));
    Version->setText(*line);
    txtCopyright->setText(QString::fromUtf8(kLegalNotice));
}

void TAboutBox::LabelEMailClick() {
    const QString title = ApplicationTitle(QCoreApplication::applicationFilePath());
    OpenUrl(QUrl(MailtoText(LabelEMail->text(), title), QUrl::TolerantMode));
}

void TAboutBox::LabelWWWClick() {
    OpenUrl(QUrl(LabelWWW->text(), QUrl::TolerantMode));
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == LabelEMail) {
            LabelEMailClick();
            return true;
        }
        if (watched == LabelWWW || watched == ProgramIcon) {
            LabelWWWClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velda
