#pragma once
// Draws one laid-out page with a QPainter, in device units of a given resolution: the
// preview's images, the printer, the PDF. Fonts are in points, so the painter's device
// must report the same resolution (a QImage with its dots per metre set, as RenderPage does).
//
//   QImage image = RenderPage(paginator, page, 96 * zoom);
//
// Never raises.

#include <QImage>

class QPainter;
class TPaginator;
struct TPage;

// Paints the page's elements; (0, 0) is the page's top-left corner and dotsPerMm the
// device's resolution.
void PaintPage(QPainter& painter, const TPaginator& paginator, const TPage& page, double dotsPerMm);

// The page as a white image at dpi dots per inch.
QImage RenderPage(const TPaginator& paginator, const TPage& page, double dpi);
