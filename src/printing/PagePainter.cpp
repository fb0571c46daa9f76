#include "printing/PagePainter.h"

#include "printing/Paginator.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <optional>

namespace {

// Room kept between a text and the lines left and right of its box.
constexpr double TextInsetMm = 0.8;

QRectF ToDevice(const QRectF& mm, double dotsPerMm)
{
    return QRectF(mm.x() * dotsPerMm, mm.y() * dotsPerMm, mm.width() * dotsPerMm, mm.height() * dotsPerMm);
}

void PaintFrame(QPainter& painter, const QRectF& rect, const TFrameLines& frame, double dotsPerMm)
{
    if (!frame.Any())
        return;
    painter.setPen(QPen(frame.Color, frame.Width * dotsPerMm, Qt::SolidLine, Qt::SquareCap));
    if (frame.Top)
        painter.drawLine(rect.topLeft(), rect.topRight());
    if (frame.Bottom)
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    if (frame.Left)
        painter.drawLine(rect.topLeft(), rect.bottomLeft());
    if (frame.Right)
        painter.drawLine(rect.topRight(), rect.bottomRight());
}

// Draws texts; keeps the font and its metrics from one text to the next, since the texts
// of a page share a few fonts.
class TTextPainter {
public:
    TTextPainter(QPainter& painter, double dotsPerMm) : painter_(painter), dotsPerMm_(dotsPerMm) {}

    void Paint(const TPlacedElement& element)
    {
        if (element.Text.isEmpty())
            return;
        QRectF rect = ToDevice(element.Rect, dotsPerMm_);
        const double inset = std::min(TextInsetMm * dotsPerMm_, rect.width() / 4);
        rect.adjust(inset, 0, -inset, 0);
        UseFont(element.Font);
        painter_.setPen(Qt::black);  // lines and frames may have left another colour
        int flags = static_cast<int>(element.Alignment) | Qt::TextSingleLine;
        QString text = element.Text;
        if (!element.Clip) {
            flags |= Qt::TextDontClip;
        } else if (text.size() * metrics_->maxWidth() > rect.width()) {
            // Measured only when it may not fit: shaping a text costs as much as drawing it.
            text = metrics_->elidedText(text, Qt::ElideRight, rect.width());
        }
        painter_.drawText(rect, flags, text);
    }

private:
    void UseFont(const QFont& font)
    {
        if (metrics_ && font == font_)
            return;
        font_ = font;
        // No ligatures: text copied or extracted from a PDF must read "office", not "o\uFB03ce".
        QFont drawn = font;
        drawn.setStyleStrategy(QFont::PreferNoShaping);
        painter_.setFont(drawn);
        metrics_.emplace(drawn, painter_.device());
    }

    QPainter& painter_;
    double dotsPerMm_;
    QFont font_;
    std::optional<QFontMetricsF> metrics_;
};

}  // namespace

void PaintPage(QPainter& painter, const TPaginator& paginator, const TPage& page, double dotsPerMm)
{
    const std::vector<TPlacedElement> elements = paginator.PlaceElements(page);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    TTextPainter texts(painter, dotsPerMm);
    // Backgrounds first, so that no band's colour covers a neighbour's frame line.
    for (const TPlacedElement& element : elements)
        if (element.Kind == TPlacedElement::TKind::Band && element.Background.isValid())
            painter.fillRect(ToDevice(element.Rect, dotsPerMm), element.Background);
    for (const TPlacedElement& element : elements) {
        switch (element.Kind) {
            case TPlacedElement::TKind::Band:
                PaintFrame(painter, ToDevice(element.Rect, dotsPerMm), element.Frame, dotsPerMm);
                break;
            case TPlacedElement::TKind::Text:
                texts.Paint(element);
                break;
            case TPlacedElement::TKind::Line: {
                const QRectF rect = ToDevice(element.Rect, dotsPerMm);
                painter.setPen(QPen(element.Color, element.PenWidth * dotsPerMm));
                painter.drawLine(QPointF(rect.center().x(), rect.top()),
                                 QPointF(rect.center().x(), rect.bottom()));
                break;
            }
        }
    }
    painter.restore();
}

QImage RenderPage(const TPaginator& paginator, const TPage& page, double dpi)
{
    const TPageSetup& setup = paginator.Report().Page();
    const double dotsPerMm = dpi / 25.4;
    QImage image(static_cast<int>(std::lround(setup.Width * dotsPerMm)),
                 static_cast<int>(std::lround(setup.Height * dotsPerMm)), QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dotsPerMm * 1000)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dotsPerMm * 1000)));
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintPage(painter, paginator, page, dotsPerMm);
    return image;
}
