#include "gui/aboutpanel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>

#include "gui/cellstyle.h"
#include "gui/dialogs.h"
#include "session/views.h"

namespace {

constexpr int kColumnWidth = 720;

// A document shipped with the program: installed beside it under share/doc, or in the source
// tree the program was built from. Empty when neither exists.
QString DocumentUrl(const QString &name)
{
    const QDir programDirectory(QCoreApplication::applicationDirPath());
    const QStringList candidates{programDirectory.filePath("../share/doc/quelvor/" + name),
                                 programDirectory.filePath("../../" + name)};
    for (const QString &candidate : candidates) {
        const QFileInfo file(candidate);
        if (file.exists()) return QUrl::fromLocalFile(file.canonicalFilePath()).toString();
    }
    return {};
}

QLabel *Link(const QString &objectName, const QString &url, const QString &text)
{
    auto *label = new QLabel(url.isEmpty() ? text : QString("<a href=\"%1\">%2</a>").arg(url, text.toHtmlEscaped()));
    label->setObjectName(objectName);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    return label;
}

QLabel *Paragraph(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

QLabel *Heading(const QString &text)
{
    auto *label = new QLabel(text);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    label->setFont(font);
    return label;
}

}  // namespace

QPixmap LogoPixmap(int size, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(250, 250, 255));
    painter.setPen(QPen(QColor(90, 90, 110), size / 32.0));
    painter.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), size / 6.0, size / 6.0);
    const auto wave = [&](double phase, Rgb color) {
        QPainterPath path;
        for (int step = 0; step <= 64; ++step) {
            const double x = size * (0.12 + 0.76 * step / 64.0);
            const double y = size * (0.5 - 0.3 * std::sin(2 * std::numbers::pi * step / 32.0 + phase));
            step == 0 ? path.moveTo(x, y) : path.lineTo(x, y);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(ToQColor(color), size / 16.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(path);
    };
    wave(0.0, kTraceI);
    wave(std::numbers::pi / 2, kTraceQ);
    return pixmap;
}

AboutPanel::AboutPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName("ABOUT");
    auto *picture = new QLabel;
    picture->setPixmap(LogoPixmap(96, devicePixelRatioF()));
    auto *title = Heading(kWindowTitle);

    // The text stands in a column of reading width in the middle of the window.
    auto *column = new QWidget;
    column->setMaximumWidth(kColumnWidth);
    auto *outer = new QHBoxLayout(this);
    outer->addStretch();
    outer->addWidget(column, 1);
    outer->addStretch();
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 30, 0, 20);
    layout->setSpacing(10);
    auto *top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(16);
    top->addWidget(title, 1);
    layout->addLayout(top);
    layout->addWidget(Paragraph("Converts I/Q waveform files of almost any layout into \".wv\" waveform files "
                                "for vector signal generators."));

    layout->addWidget(Heading("Further Information & Updates"));
    layout->addWidget(Paragraph("This software accompanies a user's guide that explains the conversion step by "
                                "step. The guide, the latest version and example configuration files are "
                                "published together."));
    layout->addWidget(Link("HYPERLINK_AN", DocumentUrl("docs/guide.md"), "User's guide"));

    layout->addWidget(Heading("Terms & Conditions"));
    layout->addWidget(Paragraph("This software is distributed freely. The terms under which it may be used and "
                                "passed on are published with it."));
    layout->addWidget(Link("HYPERLINK_TC", DocumentUrl("README.md"), "Terms and read-me"));

    layout->addWidget(Heading("Contact"));
    layout->addWidget(Paragraph("Comments and suggestions are welcome: write to the maintainers of your copy."));
    const QString subject = QUrl::toPercentEncoding(QString("%1 %2").arg(kProgramName, kProgramVersion));
    layout->addWidget(Link("HYPERLINK_EM", "mailto:?subject=" + subject, "Write an e-mail"));
    layout->addStretch();

    auto *close = new QPushButton("Close");
    close->setObjectName("BUTTON_CLOSE");
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &AboutPanel::closeRequested);
    layout->addWidget(close, 0, Qt::AlignRight);
}
