#include "gui/cellstyle.h"

#include <QBrush>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <array>

#include "conversion/joblist.h"

namespace {

constexpr int kIconSize = 16;        // the icons' logical size; drawn at 1x and 2x
constexpr qreal kFadedOpacity = 0.35;

int ClampChannel(int channel) { return std::clamp(channel, 0, 255); }

QColor MarkColor(StatusIcon icon)
{
    switch (icon) {
    case StatusIcon::Ok: return {40, 160, 60};
    case StatusIcon::Question: return {235, 150, 0};
    case StatusIcon::Error: return {210, 40, 40};
    }
    return {};
}

void DrawCheck(QPainter &painter)
{
    QPainterPath check;
    check.moveTo(4.5, 8.3);
    check.lineTo(7.0, 10.8);
    check.lineTo(11.5, 5.5);
    painter.drawPath(check);
}

void DrawQuestionMark(QPainter &painter)
{
    QFont font = painter.font();
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, kIconSize, kIconSize), Qt::AlignCenter, QStringLiteral("?"));
}

void DrawCross(QPainter &painter)
{
    painter.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    painter.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

// One mark at `pixels` x `pixels`: a round disc in the mark's colour with a white glyph.
QPixmap DrawMark(StatusIcon icon, int pixels, qreal opacity)
{
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    painter.scale(qreal(pixels) / kIconSize, qreal(pixels) / kIconSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(MarkColor(icon));
    painter.drawEllipse(QRectF(1, 1, kIconSize - 2, kIconSize - 2));
    painter.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    switch (icon) {
    case StatusIcon::Ok: DrawCheck(painter); break;
    case StatusIcon::Question: DrawQuestionMark(painter); break;
    case StatusIcon::Error: DrawCross(painter); break;
    }
    return pixmap;
}

QIcon MakeMarkIcon(StatusIcon icon, qreal opacity)
{
    QIcon result;
    result.addPixmap(DrawMark(icon, kIconSize, opacity));
    result.addPixmap(DrawMark(icon, 2 * kIconSize, opacity));
    return result;
}

// The marks are drawn once, on first use (pixmaps need the application object).
const QIcon &CachedMark(StatusIcon icon, bool faded)
{
    static const std::array<QIcon, 6> marks{
        MakeMarkIcon(StatusIcon::Ok, 1.0),           MakeMarkIcon(StatusIcon::Question, 1.0),
        MakeMarkIcon(StatusIcon::Error, 1.0),        MakeMarkIcon(StatusIcon::Ok, kFadedOpacity),
        MakeMarkIcon(StatusIcon::Question, kFadedOpacity), MakeMarkIcon(StatusIcon::Error, kFadedOpacity),
    };
    return marks[static_cast<size_t>(icon) + (faded ? 3 : 0)];
}

}  // namespace

QColor ToQColor(Rgb color)
{
    return QColor(ClampChannel(color.red), ClampChannel(color.green), ClampChannel(color.blue));
}

QVariant BackgroundRole(Rgb color) { return QBrush(ToQColor(color)); }

QColor ReadableText(Rgb background)
{
    const QColor color = ToQColor(background);
    // Relative luminance with the Rec. 709 weights, on the 0 .. 255 scale.
    const double luminance = 0.2126 * color.red() + 0.7152 * color.green() + 0.0722 * color.blue();
    return luminance >= 128.0 ? QColor(Qt::black) : QColor(Qt::white);
}

QColor DimmedText(Rgb background)
{
    const QColor text = ReadableText(background);
    const QColor base = ToQColor(background);
    return QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2, (text.blue() + base.blue()) / 2);
}

QIcon StatusIconImage(StatusIcon icon) { return CachedMark(icon, false); }

QIcon FadedStatusIconImage(StatusIcon icon) { return CachedMark(icon, true); }

QIcon JobImage(int image)
{
    return image < 0 ? QIcon() : StatusIconImage(Conversion_JobImageIcon(image));
}

QIcon FaultIcon() { return StatusIconImage(StatusIcon::Error); }
